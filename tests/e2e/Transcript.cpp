#include "tests/e2e/Transcript.h"

namespace transcript
{
Log& Log::operator<<(const std::wstring& line)
{
    m_lines.push_back(line);
    return *this;
}

Log& Log::operator<<(const Lines& lines)
{
    m_lines.insert(m_lines.end(), lines.begin(), lines.end());
    return *this;
}

Lines IsWindows2K(const System& system)
{
    return {L"SetupBootstrapper.IsWindows2K >>",
            system.windows2000 ? L"SetupBootstrapper.IsWindows2K: the OS is Windows 2000"
                               : L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
            L"SetupBootstrapper.IsWindows2K <<"};
}

Lines IsVistaOrLater(const System& system)
{
    return {L"SetupBootstrapper.IsVistaOrLater >>",
            system.vistaOrLater ? L"SetupBootstrapper.IsVistaOrLater: the OS is Windows Vista or later"
                                : L"SetupBootstrapper.IsVistaOrLater: the OS is not Windows Vista or later",
            L"SetupBootstrapper.IsVistaOrLater <<"};
}

Lines IsOS64(const System& system)
{
    Log log;
    log << L"SetupBootstrapper.IsOS64 >>" << IsWindows2K(system);
    if (system.windows2000)
        log << L"SetupBootstrapper.IsOS64: OS is Windows 2000 so it is on a x86 platform";
    else
        log << (system.x64 ? L"SetupBootstrapper.IsOS64: OS platform is x64" : L"SetupBootstrapper.IsOS64: OS platform is x86");
    log << L"SetupBootstrapper.IsOS64 <<";
    return log.lines();
}

ReadResult Found(const std::wstring& shown)
{
    return {true, shown, false};
}

ReadResult KeyMissing()
{
    return {false, L"", true};
}

ReadResult ValueMissing()
{
    return {false, L"", false};
}

Lines Read(const System& system, Reader reader, const std::wstring& subKey, const std::wstring& valueName,
           const ReadResult& result)
{
    const std::wstring name = reader == Reader::String ? L"SetupBootstrapper.QueryStringValueFromRegistry"
                              : reader == Reader::Dword ? L"SetupBootstrapper.QueryDWORDValueFromRegistry"
                                                        : L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx";
    Log log;
    log << name + L" >>" << name + L": called for " + subKey + L"\\" + valueName << IsWindows2K(system);
    if (system.windows2000)
        log << name + L": getting Reg value in Windows 2000 style";
    if (!result.found && result.keyMissing)
        log << name + L": failed to open registry key, error returned: 2";
    else if (!result.found)
        log << name + L": failed to open registry value, error returned: 2";
    else
        log << name + L": value succesfully get, value = " + result.shown;
    log << name + L" <<";
    return log.lines();
}

Lines OSLanguageID(const System& system, const std::wstring& installLanguage, const std::wstring& decimal,
                   const std::wstring& familyLine, const std::wstring& supported)
{
    Log log;
    log << L"MorvantoBootStrapper.OSLanguageID >>"
        << Read(system, Reader::String, L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", L"InstallLanguage",
                Found(installLanguage))
        << L"MorvantoBootStrapper.OSLanguageID: OS Language ID is:" + decimal
        << L"MorvantoBootStrapper.OSLanguageID: Determining Desktop language if OS is Vista or later"
        << IsVistaOrLater(system);
    if (system.vistaOrLater)
    {
        log << L"MorvantoBootStrapper.OSLanguageID: Current OS is Vista or later"
            << L"SetupBootstrapper.DetermineDesktopLanguage >>"
            << L"SetupBootstrapper.DetermineDesktopLanguage: called for langID:" + decimal
            << Read(system, Reader::CurrentUserString, L"Control Panel\\Desktop", L"PreferredUILanguages",
                    ValueMissing())
            << L"SetupBootstrapper.DetermineDesktopLanguage: failed to retrieve the current desktop language code"
            << L"SetupBootstrapper.DetermineDesktopLanguage <<";
    }
    else
    {
        log << L"MorvantoBootStrapper.OSLanguageID: Current OS is earlier than Vista";
    }
    log << L"SetupBootstrapper.GetSupportedLangID >>"
        << L"SetupBootstrapper.GetSupportedLangID: called for language " + decimal << familyLine
        << L"SetupBootstrapper.GetSupportedLangID <<"
        << L"MorvantoBootStrapper.OSLanguageID: OS Language after convertion to a known language ID is:" + supported
        << L"MorvantoBootStrapper.OSLanguageID <<";
    return log.lines();
}

Lines IsProductInstalled(const System& system, bool installed)
{
    Log log;
    log << L"MorvantoBootStrapper.IsProductInstalled >>"
        << L"MorvantoBootStrapper.IsProductInstalled: Checking if product with ID "
           L"{CBE19707-CF6D-4819-9574-3DFD568960FA} is installed"
        << Read(system, Reader::String,
                L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{CBE19707-CF6D-4819-9574-3DFD568960FA}",
                L"DisplayName", installed ? Found(L"Zel Morvanto 9.5") : KeyMissing())
        << (installed ? L"MorvantoBootStrapper.IsProductInstalled: Product is installed"
                      : L"MorvantoBootStrapper.IsProductInstalled: Product is not installed")
        << L"MorvantoBootStrapper.IsProductInstalled <<";
    return log.lines();
}

Lines LanguageDialogShown(const std::vector<Section>& catalogue, const std::wstring& defaultLanguage)
{
    Log log;
    log << L"MorvantoBootStrapper.ShowSelectLanguageDialog >>" << L"MorvantoBootStrapper.CreateSelectLanguageDialog >>"
        << L"MorvantoBootStrapper.CreateSelectLanguageDialog: Creating dialog"
        << L"MorvantoBootStrapper.LanguageSelectionDialogCallback: Initializing language selection dialog"
        << L"MorvantoBootStrapper.OnInitDialog >>"
        << L"MorvantoBootStrapper.OnInitDialog: Setting dialog caption and icon"
        << L"MorvantoBootStrapper.GetFileIcon >>" << L"MorvantoBootStrapper.GetFileIcon <<"
        << L"MorvantoBootStrapper.OnInitDialog: Add languages to combo";
    for (const Section& section : catalogue)
    {
        log << L"MorvantoBootStrapper.OnInitDialog: language " + section.name + L" added to combo"
            << L"MorvantoBootStrapper.OnInitDialog: Checking if it should be the default language";
        if (section.productLanguage == defaultLanguage)
            log << L"MorvantoBootStrapper.OnInitDialog: this is the default language, selecting it.";
    }
    log << L"MorvantoBootStrapper.OnInitDialog <<";
    return log.lines();
}

Lines LanguageDialogConfirmed(const Section& chosen)
{
    return {L"MorvantoBootStrapper.LanguageSelectionDialogCallback: OK button pressed",
            L"MorvantoBootStrapper.GetSelectedItemText >>",
            L"MorvantoBootStrapper.GetSelectedItemText <<",
            L"MorvantoBootStrapper.LanguageSelectionDialogCallback: getting selected language command line",
            L"MorvantoBootStrapper.LanguageSelectionDialogCallback: selected language command line is :" + chosen.command,
            L"MorvantoBootStrapper.LanguageSelectionDialogCallback: getting selected language ID",
            L"MorvantoBootStrapper.LanguageSelectionDialogCallback: selected language ID is:" + chosen.productLanguage,
            L"MorvantoBootStrapper.CreateSelectLanguageDialog: Dialog succesfully created",
            L"MorvantoBootStrapper.CreateSelectLanguageDialog <<",
            L"MorvantoBootStrapper.ShowSelectLanguageDialog: dialog succesfully displayed",
            L"MorvantoBootStrapper.ShowSelectLanguageDialog <<"};
}

Lines LanguageDialogCancelled()
{
    return {L"MorvantoBootStrapper.LanguageSelectionDialogCallback: Cancel button pressed",
            L"MorvantoBootStrapper.CreateSelectLanguageDialog: Error while creating dialog",
            L"MorvantoBootStrapper.CreateSelectLanguageDialog <<",
            L"MorvantoBootStrapper.ShowSelectLanguageDialog: error while displaying dialog",
            L"MorvantoBootStrapper.ShowSelectLanguageDialog <<"};
}

Lines Detect(const System& system, const Detections& detections)
{
    const std::wstring dotNetKey = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
    Log log;
    log << L"SetupBootstrapper.ShowPrereqDialog >>" << L"SetupBootstrapper.ShowPrereqDialog: Determine missing prerequisites"
        << L"SetupBootstrapper.ShowPrereqDialog: Checking if Windows Installer 3.1 is installed"
        << L"IsWIInstalled >>"
        << Read(system, Reader::String, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB893803v2",
                L"DisplayName",
                detections.windowsInstallerBuiltIn ? KeyMissing() : Found(L"Windows Installer 3.1 (KB893803v2)"))
        << (detections.windowsInstallerBuiltIn
                ? L"IsWIInstalled: OS already includes a built-in version of Windows Installer 3.1"
                : L"IsWIInstalled: OS is Windows 2000 and Windows Installer 3.1 is already installed")
        << L"IsWIInstalled <<";

    log << L"SetupBootstrapper.ShowPrereqDialog: Checking if .NET Framework 2.0 is installed"
        << L"IsDotNet2Installed: >>"
        << Read(system, Reader::String, dotNetKey, L"Install",
                detections.dotNet ? Found(detections.dotNetShown) : KeyMissing())
        << (detections.dotNet ? L"IsDotNet2Installed: .NET 2.0 is installed" : L"IsDotNet2Installed: .NET 2.0 is not installed")
        << L"IsDotNet2Installed: <<";

    log << L"SetupBootstrapper.ShowPrereqDialog: Checking if .NET Framework 2.0 Language Pack is installed"
        << L"IsDotNet2LPInstalled: >>";
    if (detections.osLanguage == L"1033")
    {
        log << L"IsDotNet2LPInstalled: current language is English - no Language pack is required";
    }
    else
    {
        log << L"IsDotNet2LPInstalled: called for LangID:" + detections.osLanguage
            << Read(system, Reader::String, dotNetKey + L"\\" + detections.osLanguage, L"Install",
                    detections.languagePack ? Found(L"\x0001") : KeyMissing())
            << L"IsDotNet2LPInstalled: .NET 2.0 Language Pack in '" + detections.osLanguage +
                   (detections.languagePack ? L"' is installed" : L"' is not installed");
    }
    log << L"IsDotNet2LPInstalled: <<";

    log << L"SetupBootstrapper.ShowPrereqDialog: Checking if MDAC 2.8 is installed" << L"IsMDAC28Installed: >>"
        << Read(system, Reader::String, L"Software\\Microsoft\\DataAccess", L"FullInstallVer",
                Found(detections.mdacVersion))
        << L"IsMDAC28Installed: MDAC " + detections.mdacVersion + L" is installed" << L"IsMDAC28Installed: <<"
        << L"SetupBootstrapper.ShowPrereqDialog: determining if the prerequisites dialog should be displayed or not";
    return log.lines();
}

Lines SetupRun(const std::wstring& modeLine, const std::wstring& commandLine)
{
    return {L"MorvantoBootStrapper.CreateMsiexecProcess >>",
            L"MorvantoBootStrapper.CreateMsiexecProcess: " + modeLine,
            L"MorvantoBootStrapper.CreateMsiexecProcess: Running: morvanto9.exe with args: " + commandLine,
            L"MorvantoBootStrapper.CreateMsiexecProcess: Waitting for process to end",
            L"MorvantoBootStrapper.CreateMsiexecProcess: Process ended",
            L"MorvantoBootStrapper.CreateMsiexecProcess <<"};
}

namespace
{
bool IsPaintingNoise(const std::wstring& line)
{
    return line == L"SetupBootstrapper.PrereqDialogCallback: unknown message" ||
           line == L"SetupBootstrapper.PrereqDialogCallback: WM_CTCOLORSTATIC" ||
           line == L"SetupBootstrapper.PrereqDialogCallback <<";
}
}  // namespace

Lines WithoutPaintingNoise(const Lines& lines)
{
    Lines kept;
    for (const auto& line : lines)
    {
        if (!IsPaintingNoise(line))
            kept.push_back(line);
    }
    return kept;
}
}  // namespace transcript
