// The diagnostic log: its line layout, and how the file behaves when created,
// appended to, or held by another writer.

#include "support/DiagnosticLog.h"
#include "tests/support/DiagnosticLogReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using ::testing::ElementsAre;

namespace
{
SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

std::wstring Line(const SYSTEMTIME& time, const wchar_t* message)
{
    wchar_t line[kCchLogLine];
    EXPECT_TRUE(FormatLogLine(time, message, line, ARRAYSIZE(line)));
    return line;
}
}  // namespace

TEST(DiagnosticLogLine, TimestampIsZeroPaddedMonthFirstOn24HourClock)
{
    struct Case
    {
        SYSTEMTIME time;
        const wchar_t* expected;
    } cases[] = {
        {At(2026, 1, 3, 9, 5, 9), L"01/03/2026 09:05:09 hello\r\n"},
        {At(2026, 12, 31, 23, 59, 59), L"12/31/2026 23:59:59 hello\r\n"},
        {At(2027, 10, 10, 10, 10, 10), L"10/10/2027 10:10:10 hello\r\n"},
        {At(2026, 7, 4, 0, 0, 0), L"07/04/2026 00:00:00 hello\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Line(c.time, L"hello"), c.expected);
}

TEST(DiagnosticLogLine, MessageIsCutAfter9900CharactersAndKeptAsItIs)
{
    const SYSTEMTIME time = At(2026, 1, 3, 9, 5, 9);
    EXPECT_EQ(Line(time, L""), L"01/03/2026 09:05:09 \r\n");

    std::wstring long10000(9000, L'a');
    long10000 += std::wstring(1000, L'b');
    std::wstring line = Line(time, long10000.c_str());
    EXPECT_EQ(line.size(), 20u + 9900u + 2u);
    EXPECT_EQ(line.substr(20, 9900), long10000.substr(0, 9900));
    EXPECT_EQ(line.substr(line.size() - 2), L"\r\n");

    // A message that holds CR LF itself is not changed.
    EXPECT_EQ(Line(time, L"one\r\ntwo"), L"01/03/2026 09:05:09 one\r\ntwo\r\n");
}

TEST(DiagnosticLogFile, CreatedWithByteOrderMarkThenAppendedWithoutAnother)
{
    LogCapture capture;
    LogMessage(kLogInfo, L"first %s %d", L"wide", -5);
    LogMessage(kLogError, L"second");

    DiagnosticLogContents log = ReadDiagnosticLog(capture.LogPath());
    ASSERT_TRUE(log.exists);
    EXPECT_TRUE(log.startsWithByteOrderMark);
    EXPECT_TRUE(log.endsWithCrLf);
    EXPECT_EQ(log.text.find(L'\xFEFF'), std::wstring::npos) << "a second byte-order mark";
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_TRUE(HasLogTimestamp(log.lines[0]));
    EXPECT_THAT(log.messages, ElementsAre(L"first wide -5", L"second"));

    // A later run (the path is worked out again) appends below.
    ForgetDiagnosticLogPath();
    LogMessage(kLogInfo, L"third");
    log = ReadDiagnosticLog(capture.LogPath());
    EXPECT_THAT(log.messages, ElementsAre(L"first wide -5", L"second", L"third"));
    EXPECT_EQ(log.text.find(L'\xFEFF'), std::wstring::npos);
}

TEST(DiagnosticLogFile, FormattedMessageKeepsItsFirst9900CharactersWhateverItsLength)
{
    // Formatted messages (the text and its two brackets) of 9,899, 9,900 and
    // 9,901 characters, around the point where a message no longer fits the
    // part a line keeps, and far beyond it: the line holds the beginning.
    for (size_t length : {size_t{0}, size_t{9897}, size_t{9898}, size_t{9899}, size_t{20000}, size_t{102397},
                          size_t{150000}})
    {
        SCOPED_TRACE(length);
        LogCapture capture;
        std::wstring text;
        for (size_t i = 0; i < length; ++i)
            text += static_cast<wchar_t>(L'a' + i % 26);
        LogMessage(kLogInfo, L"<%s>", text.c_str());

        const std::wstring formatted = L"<" + text + L">";
        const std::vector<std::wstring> messages = capture.Messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], formatted.substr(0, 9900));
    }
}

TEST(DiagnosticLogFile, PathIsTemporaryFolderWithDoubledSeparatorAndStaysPut)
{
    LogCapture capture;
    LogMessage(kLogInfo, L"x");
    EXPECT_EQ(std::wstring(DiagnosticLogPath()), capture.TempFolder() + L"\\dravo_v9_installhelperBS.csv");

    // A change of the temporary folder does not move the log.
    ScratchDir elsewhere(L"elsewhere");
    SetEnvironmentVariableW(L"TMP", elsewhere.Path().c_str());
    SetEnvironmentVariableW(L"TEMP", elsewhere.Path().c_str());
    LogMessage(kLogInfo, L"y");
    EXPECT_THAT(capture.Messages(), ElementsAre(L"x", L"y"));
    EXPECT_FALSE(FileExists(DiagnosticLogIn(elsewhere.Path())));
}

TEST(DiagnosticLogFile, LinesAreLostWhileAnotherProcessHoldsTheFileForWriting)
{
    LogCapture capture;
    LogMessage(kLogInfo, L"before");

    HANDLE other = CreateFileW(capture.LogPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    LogMessage(kLogInfo, L"lost");
    CloseHandle(other);

    LogMessage(kLogInfo, L"after");
    EXPECT_THAT(capture.Messages(), ElementsAre(L"before", L"after"));
}

TEST(DiagnosticLogFile, ReaderMayFollowTheLogWhileItGrows)
{
    LogCapture capture;
    LogMessage(kLogInfo, L"one");
    HANDLE reader = CreateFileW(capture.LogPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    LogMessage(kLogInfo, L"two");
    CloseHandle(reader);
    EXPECT_THAT(capture.Messages(), ElementsAre(L"one", L"two"));
}

TEST(DiagnosticLogFile, SeverityAboveThresholdIsNotWrittenAndLastErrorSurvives)
{
    LogCapture capture;
    LogMessage(kLogThreshold + 1, L"too verbose");
    LogMessage(kLogThreshold, L"at the threshold");

    // A caller may log a failure and then still ask for its error code.
    SetLastError(ERROR_ACCESS_DENIED);
    LogMessage(kLogInfo, L"between");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    EXPECT_THAT(capture.Messages(), ElementsAre(L"at the threshold", L"between"));
}

TEST(DiagnosticLogFile, UnsignedErrorCodeAboveIntMaxPrintsNegative)
{
    LogCapture capture;
    LogMessage(kLogInfo, L"error returned: %d", static_cast<int>(0x80004003u));
    EXPECT_THAT(capture.Messages(), ElementsAre(L"error returned: -2147467261"));
}
