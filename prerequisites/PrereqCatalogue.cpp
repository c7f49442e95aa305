#include "prerequisites/PrereqCatalogue.h"

#include "platform/OsChecks.h"
#include "platform/Registry.h"
#include "support/DiagnosticLog.h"
#include "support/ProductIdentity.h"
#include "support/Traced.h"

#include <cwchar>
#include <cwctype>

#include <strsafe.h>

// The rows. Rows 0 to 5 and 7 come from the platform vendor's download host,
// MDAC from the maker's own prerequisites page.
const Prerequisite kDotNet20X86 = {
    "Microsoft .NET Framework 2.0", "dotnetfx.exe", "/q:a /c:\"install /l /q\"",
    "http://download.microsoft.com/download/5/6/7/567758a3-759e-473e-bf8f-52154438565a"};
const Prerequisite kDotNet20X64 = {
    "Microsoft .NET Framework 2.0 x64", "NetFx64.exe", "/q:a /c:\"install /l /q\"",
    "http://download.microsoft.com/download/a/3/f/a3f1bf98-18f3-4036-9b68-8e6de530ce0a"};
const Prerequisite kLanguagePackGermanX86 = {
    "Microsoft .NET Framework 2.0 Language Pack Deutsch (x86)", "langpack.exe", "/q:a /c:\"install /l /q\"",
    "http://download.microsoft.com/download/2/9/7/29768238-56c3-4ea6-abba-4c5246f2bc81"};
const Prerequisite kLanguagePackGermanX64 = {
    "Microsoft .NET Framework 2.0 Language Pack Deutsch (x64)", "langpack.exe", "/q:a /c:\"install /l /q\"",
    "http://download.microsoft.com/download/2/e/f/2ef250ba-a868-4074-a4c9-249004866f87"};
const Prerequisite kLanguagePackItalianX86 = {
    "Microsoft .NET Framework versione 2.0 Language Pack (x86) (italiano)", "langpack.exe",
    "/q:a /c:\"install /l /q\"",
    "http://download.microsoft.com/download/d/7/7/d7712375-6a01-435d-878d-b2b7ff348e30"};
const Prerequisite kLanguagePackItalianX64 = {
    "Microsoft .NET Framework versione 2.0 Language Pack (x64) (italiano)", "langpack.exe",
    "/q:a /c:\"install /l /q\"",
    "http://download.microsoft.com/download/0/5/e/05eae8f0-a1b1-4845-a27e-1edf275118b8"};
const Prerequisite kMdac28 = {
    "Microsoft Data Access Components (MDAC 2.8)", "mdac_typ.exe", "/Q:A /C:\"dasetup /Q /N\"",
    "http://www.zel.com/prerequisites/rindex.php?prodcode=DRVS9RP&string=MDAC28"};
const Prerequisite kWindowsInstaller31 = {
    "Windows Installer 3.1 Redistributable", "WindowsInstaller-KB893803-v2-x86.exe", "/quiet /norestart",
    "http://download.microsoft.com/download/1/4/7/147ded26-931c-4daf-9095-ec7baf996f46"};

const Prerequisite& DotNetRow(bool x64)
{
    return x64 ? kDotNet20X64 : kDotNet20X86;
}

namespace
{
// By system, then German, Italian, English and every other language.
const LanguagePackChoice kLanguagePackChoices[2][4] = {
    {{&kLanguagePackGermanX86,
      "SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x86 Language Pack 1031 added to prerequistes list",
      "SetupBootstrapper.InstallPrerequisites: DownloadAndRun .NET Framework 2.0 x86 Language Pack 1031"},
     {&kLanguagePackItalianX86,
      "SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x86 Language Pack 1040 added to prerequistes list",
      "SetupBootstrapper.InstallPrerequisites: DownloadAndRun .NET Framework 2.0 x86 Language Pack 1040"},
     {nullptr,
      "SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x86 Language Pack not added tp prerequistes list - "
      "it is an English OS",
      "SetupBootstrapper.InstallPrerequisites: .NET Framework 2.0 x86 Language Pack not installed - it is an "
      "English OS"},
     {nullptr,
      "SetupBootstrapper.OnInitPrereqDialog: (Default) .NET Framework 2.0 x86 Language Pack not added tp "
      "prerequistes list - it is an English OS",
      "SetupBootstrapper.InstallPrerequisites: (Default) .NET Framework 2.0 x86 Language Pack not installed - it "
      "is an English OS"}},
    {{&kLanguagePackGermanX64,
      "SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x64 Language Pack 1031 added to prerequistes list",
      "SetupBootstrapper.InstallPrerequisites: DownloadAndRun .NET Framework 2.0 x64 Language Pack 1031"},
     {&kLanguagePackItalianX64,
      "SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x64 Language Pack 1040 added to prerequistes list",
      "SetupBootstrapper.InstallPrerequisites: DownloadAndRun .NET Framework 2.0 x64 Language Pack 1040"},
     {nullptr,
      "SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x64 Language Pack not added to prerequistes list - "
      "it is an English OS",
      "SetupBootstrapper.InstallPrerequisites: .NET Framework 2.0 x64 Language Pack not installed - it is an "
      "English OS"},
     {nullptr,
      "SetupBootstrapper.OnInitPrereqDialog: (Default) .NET Framework 2.0 x64 Language Pack not added tp "
      "prerequistes list - it is an English OS",
      "SetupBootstrapper.InstallPrerequisites: (Default) .NET Framework 2.0 x64 Language Pack not installed - it "
      "is an English OS"}},
};
}  // namespace

const LanguagePackChoice& ChooseLanguagePack(int language, bool x64)
{
    const LanguagePackChoice(&choices)[4] = kLanguagePackChoices[x64 ? 1 : 0];
    switch (language)
    {
    case 1031:
        return choices[0];
    case 1040:
        return choices[1];
    case 1033:
        return choices[2];
    default:
        return choices[3];
    }
}

int LanguageNumber(const wchar_t* languageId)
{
    if (languageId == nullptr)
        return 0;
    const wchar_t* p = languageId;
    while (std::iswspace(*p))
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-')
    {
        negative = *p == L'-';
        ++p;
    }
    // Clamped, so that an absurdly long digit string cannot overflow; no
    // language identifier comes near the limit.
    long long value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p)
    {
        value = value * 10 + (*p - L'0');
        if (value > 0x7FFFFFFFLL)
            value = 0x80000000LL;
    }
    if (negative)
        value = -value;
    if (value > 0x7FFFFFFFLL)
        value = 0x7FFFFFFFLL;
    return static_cast<int>(value);
}

void CatalogueTextToWide(const char* text, wchar_t* wide, size_t cchWide)
{
    if (cchWide == 0)
        return;
    wide[0] = L'\0';
    if (text == nullptr)
        return;
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(cchWide)) == 0)
        wide[0] = L'\0';
    wide[cchWide - 1] = L'\0';
}

void WideToCatalogueText(const wchar_t* wide, char* text, size_t cbText)
{
    if (cbText == 0)
        return;
    text[0] = '\0';
    if (wide == nullptr)
        return;
    // A text that does not fit is dropped rather than cut in the middle of a
    // multi-byte character; no caption comes near the limit.
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, text, static_cast<int>(cbText), nullptr, nullptr) == 0)
        text[0] = '\0';
    text[cbText - 1] = '\0';
}

WindowsInstallerVerdict JudgeWindowsInstaller(const OSVERSIONINFOW& versionInfo, bool registered)
{
    struct PackageDecides
    {
        const char* registered;
        const char* missing;
    };
    static const PackageDecides windows2000 = {
        "IsWIInstalled: OS is Windows 2000 and Windows Installer 3.1 is already installed",
        "IsWIInstalled: OS is Windows 2000 but Windows Installer 3.1 is not installed"};
    static const PackageDecides xpBeforeSp3 = {
        "IsWIInstalled: OS is Windows XP SP2 or less and Windows Installer 3.1 is already installed",
        "IsWIInstalled: OS is Windows XP SP2 or less but Windows Installer 3.1 is not installed"};
    static const PackageDecides server2003Gold = {
        "IsWIInstalled: OS is Windows 2003 Gold and Windows Installer 3.1 is already installed",
        "IsWIInstalled: OS is Windows 2003 Gold or less but Windows Installer 3.1 is not installed"};

    // Service-pack texts are compared as the platform stores them, code unit
    // by code unit: "Service Pack 2" and "" sort below "Service Pack 3".
    const PackageDecides* decides = nullptr;
    if (versionInfo.dwMajorVersion == 5 && versionInfo.dwMinorVersion == 0)
        decides = &windows2000;
    else if (versionInfo.dwMajorVersion == 5 && versionInfo.dwMinorVersion == 1 &&
             std::wcscmp(versionInfo.szCSDVersion, L"Service Pack 3") < 0)
        decides = &xpBeforeSp3;
    else if (versionInfo.dwMajorVersion == 5 && versionInfo.dwMinorVersion == 2 &&
             std::wcscmp(versionInfo.szCSDVersion, L"Service Pack 1") < 0)
        decides = &server2003Gold;

    if (decides == nullptr)
        return {1, "IsWIInstalled: OS already includes a built-in version of Windows Installer 3.1"};
    return registered ? WindowsInstallerVerdict{1, decides->registered} : WindowsInstallerVerdict{0, decides->missing};
}

namespace
{
constexpr wchar_t kDotNet20Key[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
constexpr wchar_t kMdacKey[] = L"Software\\Microsoft\\DataAccess";
// Put into a buffer before a read: the reader leaves the buffer untouched
// when the value is absent, so the marker still standing means "missing".
constexpr wchar_t kAbsentMarker[] = L"-";

// The reader copies the stored bytes without a terminator: the buffer is
// cleared first, and the reader never fills more than half of it.
void ReadWithMarker(const wchar_t* key, const wchar_t* valueName, wchar_t (&buffer)[kCchText])
{
    ZeroMemory(buffer, sizeof(buffer));
    StringCchCopyW(buffer, ARRAYSIZE(buffer), kAbsentMarker);
    QueryStringValueFromRegistry(key, valueName, buffer);
}

// Any readable Install value counts, whatever its type or data (0 included):
// only its absence means missing.
bool InstallValueIsReadable(const wchar_t* key)
{
    wchar_t wzBuf[kCchText];
    ReadWithMarker(key, L"Install", wzBuf);
    return std::wcscmp(wzBuf, kAbsentMarker) != 0;
}

// Versions are compared as text, as the installer writes them: "10.0" sorts
// below "2.8". The absent marker "-" sorts below both.
bool IsMdac28OrLater(const wchar_t* version)
{
    return std::wcscmp(version, L"2.8") >= 0;
}

int DetectWindowsInstaller()
{
    // Read on every system, also where the version alone decides, so the log
    // shows the package's registration wherever it is looked at.
    wchar_t wzValue[kCchText];
    ZeroMemory(wzValue, sizeof(wzValue));
    bool registered = QueryStringValueFromRegistry(
                          L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB893803v2", L"DisplayName",
                          wzValue) != FALSE;

    OSVERSIONINFOW versionInfo;
    if (!QueryOsVersion(&versionInfo))
    {
        LogMessage(kLogError, "IsWIInstalled: failed to get System version");
        return 0;
    }
    WindowsInstallerVerdict verdict = JudgeWindowsInstaller(versionInfo, registered);
    LogMessage(kLogInfo, verdict.line);
    return verdict.result;
}

int DetectDotNet()
{
    bool installed = InstallValueIsReadable(kDotNet20Key);
    LogMessage(kLogInfo, installed ? "IsDotNet2Installed: .NET 2.0 is installed"
                                   : "IsDotNet2Installed: .NET 2.0 is not installed");
    return installed ? 1 : 0;
}

int DetectLanguagePack(const wchar_t* language)
{
    if (std::wcscmp(language, L"1033") == 0)
    {
        LogMessage(kLogInfo, "IsDotNet2LPInstalled: current language is English - no Language pack is required");
        return 1;
    }
    // Asked for every other language too, also those for which no pack is
    // offered.
    LogMessage(kLogInfo, "IsDotNet2LPInstalled: called for LangID:%s", language);
    wchar_t wsKey[kCchText];
    StringCchPrintfW(wsKey, ARRAYSIZE(wsKey), L"%s\\%s", kDotNet20Key, language);
    bool installed = InstallValueIsReadable(wsKey);
    LogMessage(kLogInfo,
               installed ? "IsDotNet2LPInstalled: .NET 2.0 Language Pack in '%s' is installed"
                         : "IsDotNet2LPInstalled: .NET 2.0 Language Pack in '%s' is not installed",
               language);
    return installed ? 1 : 0;
}

int DetectMdac()
{
    wchar_t wzBuf[kCchText];
    ReadWithMarker(kMdacKey, L"FullInstallVer", wzBuf);
    if (IsMdac28OrLater(wzBuf))
    {
        LogMessage(kLogInfo, "IsMDAC28Installed: MDAC %s is installed", wzBuf);
        return 1;
    }
    LogMessage(kLogInfo, "IsMDAC28Installed: MDAC 2.8 dows not seem to be installed, checking Rollback key");
    ReadWithMarker(kMdacKey, L"RollbackVersion", wzBuf);
    if (IsMdac28OrLater(wzBuf))
    {
        LogMessage(kLogInfo, "IsMDAC28Installed: rollback key is >=2.8, MDAC %s is installed", wzBuf);
        return 1;
    }
    LogMessage(kLogInfo, "IsMDAC28Installed: MDAC 2.8 is not installed");
    return 0;
}
}  // namespace

int IsWIInstalled()
{
    return RunTraced("IsWIInstalled >>", "IsWIInstalled <<", kLogError,
                     "IsWIInstalled: exception caught, error returned:%d", DetectWindowsInstaller);
}

int IsDotNet2Installed()
{
    return RunTraced("IsDotNet2Installed: >>", "IsDotNet2Installed: <<", kLogError,
                     "IsDotNet2Installed: exception caught, error returned: %d", DetectDotNet);
}

int IsDotNet2LPInstalled(const wchar_t* languageId)
{
    return RunTraced("IsDotNet2LPInstalled: >>", "IsDotNet2LPInstalled: <<", kLogError,
                     "IsDotNet2LPInstalled: exception caught, error returned: %d",
                     [languageId] { return DetectLanguagePack(languageId != nullptr ? languageId : L""); });
}

int IsMDAC28Installed()
{
    return RunTraced("IsMDAC28Installed: >>", "IsMDAC28Installed: <<", kLogError,
                     "IsMDAC28Installed: exception caught, error returned: %d", DetectMdac);
}
