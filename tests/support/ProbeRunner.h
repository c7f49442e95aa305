#pragma once
// One bsprobe.exe run with a temporary folder of its own: what it printed and
// what it wrote to its diagnostic log.

#include "tests/support/ChildProcess.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace test
{
struct ProbeResult
{
    std::map<std::string, std::string> values;  // the "name=value" lines
    std::vector<std::wstring> log;              // its diagnostic log, timestamps stripped
};

// arguments: the operation and its arguments, quoted where needed. probePath
// may be a copy of bsprobe.exe elsewhere.
inline ProbeResult RunProbe(const std::wstring& arguments, const std::wstring& probePath = ProbePath(),
                            const std::wstring& currentDirectory = {})
{
    ScratchDir temp(L"probe-temp");
    ChildProcess child(Quote(probePath) + L" " + arguments,
                             currentDirectory.empty() ? temp.Path() : currentDirectory,
                             {{L"TMP", temp.Path()}, {L"TEMP", temp.Path()}}, /*captureOutput*/ true);
    EXPECT_TRUE(child.WaitForExit(60000)) << "bsprobe " << WideToUtf8(arguments) << " did not end";

    ProbeResult result;
    std::istringstream output(child.Output());
    for (std::string line; std::getline(output, line);)
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            result.values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    result.log = ReadDiagnosticLog(DiagnosticLogIn(temp.Path())).messages;
    return result;
}

// The same with Wine emulating another Windows version ("win2k", "winxp"...).
inline ProbeResult RunProbeOn(const wchar_t* wineVersion, const std::wstring& arguments)
{
    ScopedWineVersion version(L"bsprobe.exe", wineVersion);
    return RunProbe(arguments);
}
}  // namespace test
