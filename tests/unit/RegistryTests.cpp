// The three registry readers: the view each is fixed to, the 1,024-byte
// limit, raw bytes of every value type, and Windows 2000's plain KEY_READ.

#include "platform/Registry.h"
#include "tests/support/ProbeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using ::testing::Contains;

namespace
{
const std::wstring kKey = L"SOFTWARE\\BootstrapperTests\\Registry";
const std::wstring kOnly32 = kKey + L"\\Only32";
const std::wstring kOnly64 = kKey + L"\\Only64";

// A caller's buffer larger than the readers' limit, pre-filled with a marker
// so that every character a reader writes (and every one it does not) shows.
std::wstring MarkedBuffer()
{
    return std::wstring(kCchRegistryStringOutput + 64, L'#');
}
const size_t kUnmarked = std::wstring::npos;

struct StringReader
{
    const wchar_t* name;
    HKEY root;
    RegView view;  // where it looks on 64-bit Windows
    BOOL (*read)(const wchar_t*, const wchar_t*, wchar_t*);
};
const StringReader kMachineString = {L"QueryStringValueFromRegistry", HKEY_LOCAL_MACHINE, RegView::Wow32,
                                     QueryStringValueFromRegistry};
const StringReader kUserString = {L"QueryCurrentUserStringValueFromRegistryEx", HKEY_CURRENT_USER, RegView::Native,
                                  QueryCurrentUserStringValueFromRegistryEx};
const wchar_t kNumberReader[] = L"QueryDWORDValueFromRegistry";

std::wstring Line(const wchar_t* reader, const std::wstring& text)
{
    return L"SetupBootstrapper." + std::wstring(reader) + L": " + text;
}
}  // namespace

TEST(RegistryReaderViews, StringReaderSeesThe32BitViewAndTheNumberReaderThe64BitOne)
{
    RegistrySandbox registry;
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kOnly32, L"S", L"from the 32-bit view");
    registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Wow32, kOnly32, L"D", 32);
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kOnly64, L"S", L"from the 64-bit view");
    registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, kOnly64, L"D", 0xFFFFFFFF);
    ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Native, kOnly32));
    ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Wow32, kOnly64));

    LogCapture capture;
    wchar_t text[kCchRegistryStringOutput] = L"";
    EXPECT_TRUE(QueryStringValueFromRegistry(kOnly32.c_str(), L"S", text));
    EXPECT_STREQ(text, L"from the 32-bit view");
    EXPECT_FALSE(QueryStringValueFromRegistry(kOnly64.c_str(), L"S", text));
    DWORD number = 0;
    EXPECT_FALSE(QueryDWORDValueFromRegistry(kOnly32.c_str(), L"D", &number));
    EXPECT_TRUE(QueryDWORDValueFromRegistry(kOnly64.c_str(), L"D", &number));
    EXPECT_EQ(number, 0xFFFFFFFFu);
    const std::vector<std::wstring> messages = capture.Messages();
    EXPECT_THAT(messages, Contains(Line(kMachineString.name, L"failed to open registry key, error returned: 2")));
    EXPECT_THAT(messages, Contains(Line(kNumberReader, L"value succesfully get, value = -1")));  // signed
}

TEST(RegistryReaderLimit, StringsUpTo511CharactersAreReadLongerOnesLeaveTheBufferAlone)
{
    RegistrySandbox registry;
    const std::wstring fits(511, L'a');
    for (const StringReader& reader : {kMachineString, kUserString})
    {
        SCOPED_TRACE(WideToUtf8(reader.name));
        registry.SetString(reader.root, reader.view, kKey, L"Fits", fits);
        registry.SetString(reader.root, reader.view, kKey, L"TooLong", std::wstring(512, L'b'));
        std::wstring buffer = MarkedBuffer();
        EXPECT_TRUE(reader.read(kKey.c_str(), L"Fits", buffer.data()));
        EXPECT_EQ(buffer.c_str(), fits);
        EXPECT_EQ(buffer.find_first_not_of(L'#', 512), kUnmarked);

        // However large the caller's buffer, 1,024 bytes is the limit, and a
        // failed read leaves no part of the value behind.
        LogCapture capture;
        buffer = MarkedBuffer();
        EXPECT_FALSE(reader.read(kKey.c_str(), L"TooLong", buffer.data()));
        EXPECT_EQ(buffer.find_first_not_of(L'#'), kUnmarked);
        EXPECT_THAT(capture.Messages(),
                    Contains(Line(reader.name, L"failed to open registry value, error returned: 234")));
    }
}

TEST(RegistryReaderLimit, NumberReaderTakesAtMostFourBytesOfAnyType)
{
    RegistrySandbox registry;
    const ULONGLONG eightBytes = 0x1122334455667788ull;
    const BYTE twoBytes[] = {0x34, 0x12};
    registry.SetBytes(HKEY_LOCAL_MACHINE, RegView::Native, kKey, L"Qword", REG_QWORD, &eightBytes, 8);
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kKey, L"OneCharacter", L"a");  // 4 bytes
    registry.SetBytes(HKEY_LOCAL_MACHINE, RegView::Native, kKey, L"TwoBytes", REG_BINARY, twoBytes, 2);
    struct Case { const wchar_t* value; BOOL read; DWORD after; };
    for (const Case& c : {Case{L"Qword", FALSE, 0xDEADBEEF}, Case{L"OneCharacter", TRUE, 0x00000061},
                          Case{L"TwoBytes", TRUE, 0xDEAD1234}})  // only the stored bytes are copied
    {
        DWORD number = 0xDEADBEEF;
        EXPECT_EQ(QueryDWORDValueFromRegistry(kKey.c_str(), c.value, &number), c.read) << WideToUtf8(c.value);
        EXPECT_EQ(number, c.after) << WideToUtf8(c.value);
    }
}

TEST(RegistryReaderRawBytes, StringReadersCopyStoredBytesOfAnyTypeAndAddNothing)
{
    RegistrySandbox registry;
    struct Case { const char* what; DWORD type; std::wstring stored; };  // stored: terminators included
    const Case cases[] = {
        {"REG_DWORD 0x00420041", REG_DWORD, std::wstring(L"AB", 2)},
        {"REG_MULTI_SZ", REG_MULTI_SZ, std::wstring(L"one\0two\0\0", 9)},
        {"REG_EXPAND_SZ, unexpanded", REG_EXPAND_SZ, std::wstring(L"%SystemRoot%\\system32\0", 22)},
        {"empty REG_SZ", REG_SZ, std::wstring(L"\0", 1)},
        {"REG_SZ without terminator", REG_SZ, std::wstring(L"abc", 3)},
    };
    for (const StringReader& reader : {kMachineString, kUserString})
    {
        for (const Case& c : cases)
        {
            SCOPED_TRACE(WideToUtf8(reader.name) + ", " + c.what);
            // A non-zero behind the data, or the registry would store a
            // terminator along with it.
            const std::wstring padded = c.stored + L'#';
            registry.SetBytes(reader.root, reader.view, kKey, L"Raw", c.type, padded.data(),
                              static_cast<DWORD>(c.stored.size() * sizeof(wchar_t)));
            LogCapture capture;
            std::wstring buffer = MarkedBuffer();
            EXPECT_TRUE(reader.read(kKey.c_str(), L"Raw", buffer.data()));
            EXPECT_EQ(buffer.substr(0, c.stored.size()), c.stored);
            EXPECT_EQ(buffer.find_first_not_of(L'#', c.stored.size()), kUnmarked);
            // The line shows the text up to the first terminator, and never
            // runs on into the buffer behind data stored without one.
            const std::wstring shown = c.stored.c_str();
            EXPECT_THAT(capture.Messages(), Contains(Line(reader.name, L"value succesfully get, value = " + shown)));
        }
    }
}

TEST(RegistryReaderOnWindows2000, EveryReaderOpensWithPlainKeyReadAndSaysSo)
{
    // From the 64-bit probe, plain KEY_READ reaches the native view: the
    // string reader then finds what only that view holds, and no longer what
    // only the 32-bit view holds.
    RegistrySandbox registry;
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kOnly64, L"S", L"native");
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kOnly32, L"S", L"wow");
    registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, kKey, L"S", 2000);
    registry.SetString(HKEY_CURRENT_USER, RegView::Native, kKey, L"S", L"user");
    struct Case { const wchar_t* reader; std::wstring key; const char* answer; const char* value; };
    const Case cases[] = {{kMachineString.name, kOnly64, "1", "native"},
                          {kMachineString.name, kOnly32, "0", ""},
                          {kNumberReader, kKey, "1", "2000"},
                          {kUserString.name, kKey, "1", "user"}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.reader + (L" " + c.key)));
        test::ProbeResult probe =
            test::RunProbeOn(L"win2k", c.reader + (L" " + Quote(c.key)) + L" S");
        EXPECT_EQ(probe.values["answer"], c.answer);
        EXPECT_EQ(probe.values["value"], c.value);
        EXPECT_THAT(probe.log, Contains(Line(c.reader, L"getting Reg value in Windows 2000 style")));
    }
}
