#include "language/InstalledLanguage.h"

#include "platform/Registry.h"
#include "support/DiagnosticLog.h"
#include "support/Handles.h"
#include "support/ProductIdentity.h"
#include "support/Traced.h"

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>
#include <msxml2.h>

// MinGW's libuuid lacks these two; msxml2.h only declares them.
#include <initguid.h>
DEFINE_GUID(CLSID_DOMDocument40, 0x88d969c0, 0xf192, 0x11d4, 0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5);
DEFINE_GUID(IID_IXMLDOMDocument2, 0x2933bf95, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60);

#include <climits>

#include <strsafe.h>

namespace
{
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Zel\\DRVS9";
constexpr wchar_t kProductPathValue[] = L"Path";
constexpr wchar_t kSettingsFileName[] = L"crmiini.xml";
constexpr wchar_t kDefaultLanguageId[] = L"1033";

// All four: in-process server and handler, local and remote server.
constexpr DWORD kDocumentClassContext = 0x17;

// What the read answers when a DOM call failed, gave back no object, or a
// string could not be allocated: the caller's "com exception" (status -2).
constexpr LONG kDomFailed = LONG_MIN;

class UniqueBstr
{
public:
    explicit UniqueBstr(const wchar_t* text) : m_bstr(SysAllocString(text)) {}
    ~UniqueBstr() { SysFreeString(m_bstr); }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;

    explicit operator bool() const noexcept { return m_bstr != nullptr; }
    BSTR get() const noexcept { return m_bstr; }

private:
    BSTR m_bstr;
};

class UniqueVariant
{
public:
    UniqueVariant() noexcept { VariantInit(&m_value); }
    ~UniqueVariant() { VariantClear(&m_value); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;

    VARIANT* get() noexcept { return &m_value; }
    void Clear() noexcept { VariantClear(&m_value); }

private:
    VARIANT m_value;
};

void CopyDefaultLanguage(wchar_t* languageId)
{
    StringCchCopyW(languageId, kCchText, kDefaultLanguageId);
}

// A settings file that cannot be read answers the default language, with the
// status that says why and, where there is one, the line that says it.
LONG AnswerDefaultLanguage(wchar_t* languageId, LONG status, const char* line = nullptr)
{
    if (line != nullptr)
        LogMessage(kLogError, line);
    CopyDefaultLanguage(languageId);
    return status;
}

// Steps of the read after COM is up. Every holder lives in this frame, so
// they are all released before the caller uninitialises COM.
LONG ReadLanguageId(const wchar_t* crmiPath, wchar_t* languageId)
{
    ComPtr<IXMLDOMDocument2> spDoc;
    {
        ComPtr<IUnknown> created;
        bool ready = SUCCEEDED(CoCreateInstance(CLSID_DOMDocument40, nullptr, kDocumentClassContext, IID_IUnknown,
                                                reinterpret_cast<void**>(created.receive())));
        ready = ready && SUCCEEDED(OleRun(created.get()));
        ready = ready && SUCCEEDED(created->QueryInterface(IID_IXMLDOMDocument2,
                                                           reinterpret_cast<void**>(spDoc.receive())));
        if (!ready || !spDoc)
            return AnswerDefaultLanguage(languageId, -4, "MorvantoBootStrapper.GetLangIdFromCrmi: failed to create "
                                                         "instance of COM DOM document");
    }

    if (FAILED(spDoc->put_async(VARIANT_FALSE)))
        return kDomFailed;

    // The string stays the holder's; the variant only lends it to the call.
    UniqueBstr pathText(crmiPath);
    if (!pathText)
        return kDomFailed;
    VARIANT path;
    VariantInit(&path);
    V_VT(&path) = VT_BSTR;
    V_BSTR(&path) = pathText.get();
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(spDoc->load(path, &loaded)))
        return kDomFailed;
    if (loaded != VARIANT_TRUE)
        return AnswerDefaultLanguage(languageId, -5,
                                     "MorvantoBootStrapper.GetLangIdFromCrmi: error while loading document.");

    ComPtr<IXMLDOMElement> spRootNode;
    if (FAILED(spDoc->get_documentElement(spRootNode.receive())) || !spRootNode)
        return kDomFailed;

    ComPtr<IXMLDOMNodeList> spNLChildren;
    UniqueBstr tagName(L"Language");
    if (!tagName || FAILED(spRootNode->getElementsByTagName(tagName.get(), spNLChildren.receive())) ||
        !spNLChildren)
        return kDomFailed;

    long length = 0;
    if (FAILED(spNLChildren->get_length(&length)))
        return kDomFailed;
    if (length == 0)
        return -1;

    ComPtr<IXMLDOMNode> first;
    if (FAILED(spNLChildren->get_item(0, first.receive())) || !first)
        return kDomFailed;
    ComPtr<IXMLDOMElement> spElemL1;
    HRESULT hr = first->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(spElemL1.receive()));
    if (hr != E_NOINTERFACE && FAILED(hr))
        return kDomFailed;
    if (!spElemL1)
        return AnswerDefaultLanguage(languageId, -6);

    UniqueVariant wsLang;
    UniqueBstr attributeName(L"id");
    if (!attributeName || FAILED(spElemL1->getAttribute(attributeName.get(), wsLang.get())))
        return kDomFailed;

    // An absent attribute comes back as a null variant. Taking it as an empty
    // identifier would make the update install without language arguments;
    // answering the default language instead keeps the installation English,
    // as for every other unreadable settings file.
    if (V_VT(wsLang.get()) == VT_NULL || V_VT(wsLang.get()) == VT_EMPTY)
        return AnswerDefaultLanguage(languageId, -7,
                                     "MorvantoBootStrapper.GetLangIdFromCrmi: language element has no id attribute");
    if (V_VT(wsLang.get()) != VT_BSTR && FAILED(VariantChangeType(wsLang.get(), wsLang.get(), 0, VT_BSTR)))
        return kDomFailed;

    // An identifier is a handful of digits; one that cannot be held whole in
    // the caller's buffer is refused rather than cut into another number.
    const wchar_t* value = V_BSTR(wsLang.get()) != nullptr ? V_BSTR(wsLang.get()) : L"";
    size_t cchValue = 0;
    if (FAILED(StringCchLengthW(value, kCchText, &cchValue)))
        return AnswerDefaultLanguage(languageId, -8, "MorvantoBootStrapper.GetLangIdFromCrmi: language id is too long "
                                                     "(1024 characters or more)");

    StringCchCopyW(languageId, kCchText, value);
    LogMessage(kLogInfo, "MorvantoBootStrapper.GetLangIdFromCrmi: language id retrieved from crmi is: %s", value);
    wsLang.Clear();
    return 0;
}
}  // namespace

LONG GetLangIdFromCrmi(const wchar_t* crmiPath, wchar_t* languageId)
{
    LogMessage(kLogInfo, "MorvantoBootStrapper.GetLangIdFromCrmi >>");
    LONG status = -1;
    if (FAILED(CoInitialize(nullptr)))
    {
        LogMessage(kLogInfo, "MorvantoBootStrapper.GetLangIdFromCrmi: erorr while initializing COM library, "
                             "error returned:%d",
                   static_cast<int>(GetLastError()));
        LogMessage(kLogInfo, "MorvantoBootStrapper.GetLangIdFromCrmi <<");
        return -3;
    }

    const char* caught = nullptr;
    if (!RunGuarded(&status, [&] { return ReadLanguageId(crmiPath, languageId); }))
    {
        // The holders of the interrupted read are not released; COM is
        // still uninitialised below, as after any other end of the read.
        caught = "MorvantoBootStrapper.GetLangIdFromCrmi: exception caught, error returned %d";
        status = -1;
    }
    else if (status == kDomFailed)
    {
        caught = "MorvantoBootStrapper.GetLangIdFromCrmi: com exception caught, error returned %d";
        status = -2;
    }

    CoUninitialize();
    if (caught != nullptr)
    {
        // After an exception there is no exit line.
        LogMessage(kLogError, caught, static_cast<int>(GetLastError()));
        CopyDefaultLanguage(languageId);
        return status;
    }
    LogMessage(kLogInfo, "MorvantoBootStrapper.GetLangIdFromCrmi <<");
    return status;
}

BOOL GetInstalledAppPath(wchar_t* appPath)
{
    return RunTraced(
        "MorvantoBootStrapper.GetInstalledAppPath >>", "MorvantoBootStrapper.GetInstalledAppPath <<", kLogError,
        "MorvantoBootStrapper.GetInstalledAppPath: exception caught, error returned: %d", [&] {
            BOOL found = QueryStringValueFromRegistry(kProductKey, kProductPathValue, appPath);
            return found;
        });
}

int GetInstalledLangID(wchar_t* languageId)
{
    LogMessage(kLogInfo, "MorvantoBootStrapper.GetInstalledLangID >>");
    wchar_t wsTempLanguageID[kCchText];
    StringCchCopyW(wsTempLanguageID, ARRAYSIZE(wsTempLanguageID), kDefaultLanguageId);
    const bool completed = RunGuarded([&] {
        // Zero-filled: the registry reader adds no terminator of its own.
        wchar_t wsAppPath[kCchText] = {};
        if (!GetInstalledAppPath(wsAppPath))
        {
            LogMessage(kLogInfo, "MorvantoBootStrapper.GetInstalledLangID: app installation path not found ");
        }
        else
        {
            LogMessage(kLogInfo, "MorvantoBootStrapper.GetInstalledLangID: app installation path is: %s", wsAppPath);
            // One separator is always added; a folder that already ends in one
            // gives a doubled separator, which the platform reads as one.
            wchar_t pwzCrmiPath[kCchText];
            StringCchPrintfW(pwzCrmiPath, ARRAYSIZE(pwzCrmiPath), L"%s\\%s", wsAppPath, kSettingsFileName);

            wchar_t languageID[kCchText] = {};
            if (GetLangIdFromCrmi(pwzCrmiPath, languageID) == 0)
            {
                StringCchCopyW(wsTempLanguageID, ARRAYSIZE(wsTempLanguageID), languageID);
                LogMessage(kLogInfo, "MorvantoBootStrapper.GetInstalledLangID: app language ID is: %s", languageID);
            }
            else
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.GetInstalledLangID: failed to take app language ID");
            }
        }
    });
    if (!completed)
        LogMessage(kLogError, "MorvantoBootStrapper.GetInstalledLangID: exception caugth, error returned: %d",
                   static_cast<int>(GetLastError()));
    LogMessage(kLogInfo, "MorvantoBootStrapper.GetInstalledLangID <<");
    StringCchCopyW(languageId, kCchText, wsTempLanguageID);
    return 0;
}
