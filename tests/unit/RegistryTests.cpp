// The three registry readers: the view each is fixed to, the 1,024-byte
// limit, raw bytes of every value type, their traces, and Windows 2000's
// plain KEY_READ.

#include "platform/Registry.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/unit/PlatformProbe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using namespace test;
using platform_tests::RunProbe;
using ::testing::ElementsAreArray;

namespace
{
const std::wstring kKey = L"SOFTWARE\\BootstrapperTests\\Registry";
constexpr wchar_t kMarker = L'#';

// A caller's buffer, pre-filled with a marker so that every byte the reader
// writes (and every one it does not) shows.
struct MarkedBuffer
{
    wchar_t text[kCchRegistryStringOutput + 64];
    MarkedBuffer()
    {
        for (auto& c : text)
            c = kMarker;
    }
    bool UntouchedFrom(size_t index) const
    {
        for (size_t i = index; i < ARRAYSIZE(text); ++i)
        {
            if (text[i] != kMarker)
                return false;
        }
        return true;
    }
};

struct StringReader
{
    const char* name;
    const wchar_t* traceName;
    HKEY root;
    RegView view;  // where the reader looks on 64-bit Windows
    BOOL (*read)(const wchar_t*, const wchar_t*, wchar_t*);
};

const StringReader kStringReaders[] = {
    {"HKLM string", L"QueryStringValueFromRegistry", HKEY_LOCAL_MACHINE, RegView::Wow32, QueryStringValueFromRegistry},
    {"HKCU string", L"QueryCurrentUserStringValueFromRegistryEx", HKEY_CURRENT_USER, RegView::Native,
     QueryCurrentUserStringValueFromRegistryEx},
};

// The whole trace of one read: the reader's lines around one IsWindows2K trace.
std::vector<std::wstring> ReadTrace(const std::wstring& reader, const std::wstring& calledFor, bool windows2000,
                                    const std::wstring& outcome)
{
    const std::wstring prefix = L"SetupBootstrapper." + reader;
    std::vector<std::wstring> trace = {
        prefix + L" >>",
        prefix + L": called for " + calledFor,
        L"SetupBootstrapper.IsWindows2K >>",
        windows2000 ? L"SetupBootstrapper.IsWindows2K: the OS is Windows 2000"
                    : L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
        L"SetupBootstrapper.IsWindows2K <<",
    };
    if (windows2000)
        trace.push_back(prefix + L": getting Reg value in Windows 2000 style");
    trace.push_back(prefix + L": " + outcome);
    trace.push_back(prefix + L" <<");
    return trace;
}

std::wstring Key(const std::wstring& leaf)
{
    return kKey + L"\\" + leaf;
}
}  // namespace

TEST(RegistryReaderViews, EachReaderSeesOnlyItsOwnView)
{
    RegistrySandbox registry;
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, Key(L"Only32"), L"S", L"from the 32-bit view");
    registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Wow32, Key(L"Only32"), L"D", 32);
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, Key(L"Only64"), L"S", L"from the 64-bit view");
    registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, Key(L"Only64"), L"D", 64);
    registry.SetString(HKEY_CURRENT_USER, RegView::Native, Key(L"User"), L"S", L"from the user");
    ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Native, Key(L"Only32")));
    ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Wow32, Key(L"Only64")));

    LogCapture capture;
    wchar_t text[kCchRegistryStringOutput] = L"";
    EXPECT_TRUE(QueryStringValueFromRegistry(Key(L"Only32").c_str(), L"S", text));
    EXPECT_STREQ(text, L"from the 32-bit view");
    EXPECT_FALSE(QueryStringValueFromRegistry(Key(L"Only64").c_str(), L"S", text));

    DWORD number = 0;
    EXPECT_FALSE(QueryDWORDValueFromRegistry(Key(L"Only32").c_str(), L"D", &number));
    EXPECT_TRUE(QueryDWORDValueFromRegistry(Key(L"Only64").c_str(), L"D", &number));
    EXPECT_EQ(number, 64u);

    EXPECT_TRUE(QueryCurrentUserStringValueFromRegistryEx(Key(L"User").c_str(), L"S", text));
    EXPECT_STREQ(text, L"from the user");
    EXPECT_FALSE(QueryCurrentUserStringValueFromRegistryEx(Key(L"Only32").c_str(), L"S", text));

    // A key missing from the view fails at the open, with status 2.
    EXPECT_THAT(platform_tests::MessagesStartingWith(capture.Messages(), L"SetupBootstrapper.Query"),
                ::testing::Contains(
                    L"SetupBootstrapper.QueryStringValueFromRegistry: failed to open registry key, error returned: 2"));
}

TEST(RegistryReaderLimit, StringsUpTo511CharactersAreReadLongerOnesLeaveTheBufferAlone)
{
    RegistrySandbox registry;
    const std::wstring fits(511, L'a');
    const std::wstring tooLong(512, L'b');
    for (const auto& reader : kStringReaders)
    {
        SCOPED_TRACE(reader.name);
        registry.SetString(reader.root, reader.view, kKey, L"Fits", fits);
        registry.SetString(reader.root, reader.view, kKey, L"TooLong", tooLong);

        MarkedBuffer buffer;
        EXPECT_TRUE(reader.read(kKey.c_str(), L"Fits", buffer.text));
        EXPECT_EQ(std::wstring(buffer.text), fits);
        EXPECT_TRUE(buffer.UntouchedFrom(512));

        // However large the caller's buffer, 1,024 bytes is the limit; the
        // failed read leaves no part of the value behind.
        LogCapture capture;
        MarkedBuffer untouched;
        EXPECT_FALSE(reader.read(kKey.c_str(), L"TooLong", untouched.text));
        EXPECT_TRUE(untouched.UntouchedFrom(0));
        EXPECT_THAT(capture.Messages(),
                    ElementsAreArray(ReadTrace(reader.traceName, kKey + L"\\TooLong", false,
                                               L"failed to open registry value, error returned: 234")));
    }
}

TEST(RegistryReaderLimit, NumberReaderTakesAtMostFourBytesOfAnyType)
{
    RegistrySandbox registry;
    const ULONGLONG eightBytes = 0x1122334455667788ull;
    registry.SetBytes(HKEY_LOCAL_MACHINE, RegView::Native, kKey, L"Qword", REG_QWORD, &eightBytes, sizeof(eightBytes));
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kKey, L"OneCharacter", L"a");    // 4 bytes
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kKey, L"TwoCharacters", L"ab");  // 6 bytes
    const BYTE twoBytes[] = {0x34, 0x12};
    registry.SetBytes(HKEY_LOCAL_MACHINE, RegView::Native, kKey, L"TwoBytes", REG_BINARY, twoBytes, sizeof(twoBytes));

    struct Case
    {
        const wchar_t* value;
        BOOL read;
        DWORD after;
    } cases[] = {
        {L"Qword", FALSE, 0xDEADBEEF},
        {L"TwoCharacters", FALSE, 0xDEADBEEF},
        {L"OneCharacter", TRUE, 0x00000061},
        // Only the stored bytes are copied; the rest of the number stays.
        {L"TwoBytes", TRUE, 0xDEAD1234},
    };
    for (const auto& c : cases)
    {
        DWORD number = 0xDEADBEEF;
        EXPECT_EQ(QueryDWORDValueFromRegistry(kKey.c_str(), c.value, &number), c.read) << WideToUtf8(c.value);
        EXPECT_EQ(number, c.after) << WideToUtf8(c.value);
    }
}

TEST(RegistryReaderRawBytes, StringReadersCopyStoredBytesOfAnyTypeAndAddNothing)
{
    RegistrySandbox registry;
    struct Case
    {
        const char* what;
        DWORD type;
        std::wstring stored;  // the exact data, terminators included
    } cases[] = {
        // 0x00420041: the bytes 41 00 42 00, two characters, no terminator.
        {"REG_DWORD", REG_DWORD, std::wstring(L"AB", 2)},
        {"REG_MULTI_SZ", REG_MULTI_SZ, std::wstring(L"one\0two\0\0", 9)},
        {"REG_EXPAND_SZ, unexpanded", REG_EXPAND_SZ, std::wstring(L"%SystemRoot%\\system32\0", 22)},
        {"empty REG_SZ", REG_SZ, std::wstring(L"\0", 1)},
        {"REG_SZ stored without terminator", REG_SZ, std::wstring(L"abc", 3)},
    };
    for (const auto& reader : kStringReaders)
    {
        for (const auto& c : cases)
        {
            SCOPED_TRACE(std::string(reader.name) + ", " + c.what);
            // Something other than a zero behind the data: the registry would
            // otherwise store a string's terminator along with it.
            const std::wstring padded = c.stored + L'#';
            registry.SetBytes(reader.root, reader.view, kKey, L"Raw", c.type, padded.data(),
                              static_cast<DWORD>(c.stored.size() * sizeof(wchar_t)));
            MarkedBuffer buffer;
            EXPECT_TRUE(reader.read(kKey.c_str(), L"Raw", buffer.text));
            EXPECT_EQ(std::wstring(buffer.text, c.stored.size()), c.stored);
            EXPECT_TRUE(buffer.UntouchedFrom(c.stored.size()));
        }
    }
}

TEST(RegistryReaderTrace, ReadsWriteTheirLinesAroundAFullIsWindows2KTrace)
{
    RegistrySandbox registry;
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kKey, L"Text", L"hello");
    registry.SetString(HKEY_CURRENT_USER, RegView::Native, kKey, L"Text", L"hello user");
    registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, kKey, L"Number", 0xFFFFFFFF);
    // Stored without a terminator: the line shows what was read, not what the
    // buffer held behind it.
    registry.SetBytes(HKEY_LOCAL_MACHINE, RegView::Wow32, kKey, L"Bare", REG_SZ, L"abc#", 6);

    struct Case
    {
        const wchar_t* reader;
        std::wstring valueName;
        std::wstring keyName;
        std::wstring outcome;
    } cases[] = {
        {L"QueryStringValueFromRegistry", L"Text", kKey, L"value succesfully get, value = hello"},
        {L"QueryStringValueFromRegistry", L"Bare", kKey, L"value succesfully get, value = abc"},
        {L"QueryStringValueFromRegistry", L"Missing", kKey, L"failed to open registry value, error returned: 2"},
        {L"QueryStringValueFromRegistry", L"Text", Key(L"Missing"), L"failed to open registry key, error returned: 2"},
        {L"QueryCurrentUserStringValueFromRegistryEx", L"Text", kKey, L"value succesfully get, value = hello user"},
        {L"QueryCurrentUserStringValueFromRegistryEx", L"Missing", kKey,
         L"failed to open registry value, error returned: 2"},
        // The number shows as a signed decimal.
        {L"QueryDWORDValueFromRegistry", L"Number", kKey, L"value succesfully get, value = -1"},
        {L"QueryDWORDValueFromRegistry", L"Number", Key(L"Missing"), L"failed to open registry key, error returned: 2"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(std::wstring(c.reader) + L" " + c.valueName));
        LogCapture capture;
        const std::wstring reader = c.reader;
        MarkedBuffer buffer;
        DWORD number = 0;
        if (reader == L"QueryStringValueFromRegistry")
            QueryStringValueFromRegistry(c.keyName.c_str(), c.valueName.c_str(), buffer.text);
        else if (reader == L"QueryCurrentUserStringValueFromRegistryEx")
            QueryCurrentUserStringValueFromRegistryEx(c.keyName.c_str(), c.valueName.c_str(), buffer.text);
        else
            QueryDWORDValueFromRegistry(c.keyName.c_str(), c.valueName.c_str(), &number);
        EXPECT_THAT(capture.Messages(),
                    ElementsAreArray(ReadTrace(reader, c.keyName + L"\\" + c.valueName, false, c.outcome)))
            << DescribeMessages(capture.Messages());
    }
}

TEST(RegistryReaderOnWindows2000, EveryReaderOpensWithPlainKeyReadAndSaysSo)
{
    // From the 64-bit probe, plain KEY_READ reaches the native view: the
    // string reader then finds what only the 64-bit view holds, and no
    // longer what only the 32-bit view holds.
    RegistrySandbox registry;
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, Key(L"Only64"), L"S", L"native");
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, Key(L"Only32"), L"S", L"wow");
    registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, Key(L"Only64"), L"D", 2000);
    registry.SetString(HKEY_CURRENT_USER, RegView::Native, kKey, L"S", L"user");

    struct Case
    {
        const wchar_t* wineVersion;
        const wchar_t* reader;
        std::wstring key;
        const wchar_t* valueName;
        const char* answer;
        std::wstring outcome;
    } cases[] = {
        {L"win2k", L"QueryStringValueFromRegistry", Key(L"Only64"), L"S", "1",
         L"value succesfully get, value = native"},
        {L"win2k", L"QueryStringValueFromRegistry", Key(L"Only32"), L"S", "0",
         L"failed to open registry key, error returned: 2"},
        {L"win2k", L"QueryDWORDValueFromRegistry", Key(L"Only64"), L"D", "1", L"value succesfully get, value = 2000"},
        {L"win2k", L"QueryCurrentUserStringValueFromRegistryEx", kKey, L"S", "1",
         L"value succesfully get, value = user"},
        {L"winxp", L"QueryStringValueFromRegistry", Key(L"Only64"), L"S", "0",
         L"failed to open registry key, error returned: 2"},
        {L"winxp", L"QueryStringValueFromRegistry", Key(L"Only32"), L"S", "1", L"value succesfully get, value = wow"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(std::wstring(c.wineVersion) + L" " + c.reader + L" " + c.key));
        ScopedWineVersion version(L"bsprobe.exe", c.wineVersion);
        platform_tests::ProbeResult probe =
            RunProbe(ProbePath(), std::wstring(c.reader) + L" " + Quote(c.key) + L" " + c.valueName);
        EXPECT_EQ(probe.values["answer"], c.answer);
        const bool windows2000 = std::wstring(c.wineVersion) == L"win2k";
        EXPECT_THAT(probe.log,
                    ElementsAreArray(ReadTrace(c.reader, c.key + L"\\" + c.valueName, windows2000, c.outcome)))
            << DescribeMessages(probe.log);
    }
}
