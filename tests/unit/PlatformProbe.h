#pragma once
// One bsprobe.exe run with a temporary folder of its own: what it printed and
// what it wrote to its diagnostic log.

#include "tests/support/ChildProcess.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace platform_tests
{
struct ProbeResult
{
    bool ended = false;
    DWORD exitCode = 0;
    std::map<std::string, std::string> values;  // the "name=value" lines
    std::vector<std::wstring> log;              // its diagnostic log, timestamps stripped
};

// probePath: bsprobe.exe or a copy of it; arguments: the operation and its
// arguments, already quoted where needed.
inline ProbeResult RunProbe(const std::wstring& probePath, const std::wstring& arguments,
                            const std::wstring& currentDirectory = {})
{
    test::ScratchDir temp(L"probe-temp");
    test::ChildProcess child(test::Quote(probePath) + L" " + arguments,
                             currentDirectory.empty() ? temp.Path() : currentDirectory,
                             {{L"TMP", temp.Path()}, {L"TEMP", temp.Path()}}, /*captureOutput*/ true);
    ProbeResult result;
    result.ended = child.WaitForExit(60000);
    EXPECT_TRUE(result.ended) << "bsprobe " << test::WideToUtf8(arguments) << " did not end";
    result.exitCode = child.ExitCode();

    const std::string output = child.Output();
    size_t start = 0;
    while (start < output.size())
    {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            result.values[line.substr(0, equals)] = line.substr(equals + 1);
        start = end + 1;
    }
    result.log = test::ReadDiagnosticLog(test::DiagnosticLogIn(temp.Path())).messages;
    return result;
}

// The messages that begin with prefix, in their order.
inline std::vector<std::wstring> MessagesStartingWith(const std::vector<std::wstring>& messages,
                                                      const std::wstring& prefix)
{
    std::vector<std::wstring> selected;
    for (const auto& message : messages)
    {
        if (message.compare(0, prefix.size(), prefix) == 0)
            selected.push_back(message);
    }
    return selected;
}
}  // namespace platform_tests
