#pragma once
// Reads the bootstrapper's diagnostic log the way a person would look at it:
// UTF-16 text, one timestamped line per event.

#include "tests/support/TestFiles.h"

#include <string>
#include <vector>

namespace test
{
struct DiagnosticLogContents
{
    bool exists = false;
    bool startsWithByteOrderMark = false;
    bool endsWithCrLf = false;
    std::wstring text;                  // everything behind the byte-order mark
    std::vector<std::wstring> lines;    // split at CR LF, without it
    std::vector<std::wstring> messages; // lines with their "MM/DD/YYYY hh:mm:ss " stripped
};

// A line that does not begin with a timestamp (the continuation of a message
// that held CR LF itself) is taken as it is.
DiagnosticLogContents ReadDiagnosticLog(const std::wstring& path);

bool HasLogTimestamp(const std::wstring& line);

// The log file inside a temporary folder, named as the bootstrapper names it.
std::wstring DiagnosticLogIn(const std::wstring& tempFolder);

// Runs the code under test with a temporary folder of its own, so that its
// diagnostic log is a fresh file that the test can read. Restores TMP/TEMP
// when it goes.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::wstring& TempFolder() const { return m_tempFolder; }  // with a trailing backslash
    std::wstring LogPath() const { return DiagnosticLogIn(m_tempFolder); }

    // Every message written since the capture began.
    std::vector<std::wstring> Messages() const;

private:
    ScratchDir m_scratch;
    std::wstring m_tempFolder;
    std::wstring m_oldTmp;
    std::wstring m_oldTemp;
};

// Two message lists side by side, for a readable failure report.
std::string DescribeMessages(const std::vector<std::wstring>& messages);
}  // namespace test
