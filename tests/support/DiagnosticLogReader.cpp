#include "tests/support/DiagnosticLogReader.h"

#include "support/DiagnosticLog.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

namespace test
{
bool HasLogTimestamp(const std::wstring& line)
{
    // MM/DD/YYYY hh:mm:ss and a space: twenty characters.
    static const wchar_t kShape[] = L"00/00/0000 00:00:00 ";
    if (line.size() < 20)
        return false;
    for (size_t i = 0; i < 20; ++i)
    {
        if (kShape[i] == L'0' ? !std::iswdigit(line[i]) : line[i] != kShape[i])
            return false;
    }
    return true;
}

DiagnosticLogContents ReadDiagnosticLog(const std::wstring& path)
{
    DiagnosticLogContents contents;
    if (!FileExists(path))
        return contents;
    contents.exists = true;
    std::string bytes = ReadFileBytes(path);
    size_t offset = 0;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
    {
        contents.startsWithByteOrderMark = true;
        offset = 2;
    }
    contents.text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + offset), (bytes.size() - offset) / 2);
    contents.endsWithCrLf = contents.text.size() >= 2 && contents.text.compare(contents.text.size() - 2, 2, L"\r\n") == 0;

    size_t start = 0;
    while (start < contents.text.size())
    {
        size_t end = contents.text.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = contents.text.size();
        std::wstring line = contents.text.substr(start, end - start);
        contents.lines.push_back(line);
        contents.messages.push_back(HasLogTimestamp(line) ? line.substr(20) : line);
        start = end + 2;
    }
    return contents;
}

std::wstring DiagnosticLogIn(const std::wstring& tempFolder)
{
    return JoinPath(tempFolder, L"dravo_v9_installhelperBS.csv");
}

namespace
{
std::wstring CurrentValue(const wchar_t* name)
{
    wchar_t value[4096];
    DWORD cch = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return cch > 0 && cch < ARRAYSIZE(value) ? std::wstring(value, cch) : std::wstring();
}

void RestoreValue(const wchar_t* name, const std::wstring& value)
{
    SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
}
}  // namespace

LogCapture::LogCapture() : m_scratch(L"log"), m_oldTmp(CurrentValue(L"TMP")), m_oldTemp(CurrentValue(L"TEMP"))
{
    m_tempFolder = m_scratch.Path() + L"\\";
    SetEnvironmentVariableW(L"TMP", m_scratch.Path().c_str());
    SetEnvironmentVariableW(L"TEMP", m_scratch.Path().c_str());
    ForgetDiagnosticLogPath();
}

LogCapture::~LogCapture()
{
    RestoreValue(L"TMP", m_oldTmp);
    RestoreValue(L"TEMP", m_oldTemp);
    ForgetDiagnosticLogPath();
}

std::vector<std::wstring> LogCapture::Messages() const
{
    return ReadDiagnosticLog(LogPath()).messages;
}

std::string DescribeMessages(const std::vector<std::wstring>& messages)
{
    std::string text;
    for (const auto& message : messages)
        text += "  | " + WideToUtf8(message) + "\n";
    return text;
}
}  // namespace test
