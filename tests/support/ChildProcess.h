#pragma once
// Starting a program of the kit as a person (or a script) would, and
// waiting for it with a time-out.

#include <windows.h>

#include <functional>
#include <map>
#include <string>

namespace test
{
// Environment variables to set (or, with an empty value, to remove) for the
// child, on top of the test program's own environment.
using EnvironmentOverrides = std::map<std::wstring, std::wstring>;

class ChildProcess
{
public:
    // commandLine is passed to CreateProcessW as it is (no application name).
    ChildProcess(const std::wstring& commandLine, const std::wstring& currentDirectory,
                 const EnvironmentOverrides& environment = {}, bool captureOutput = false);
    ~ChildProcess();  // ends the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_process != nullptr; }
    DWORD Id() const { return m_processId; }
    HANDLE Handle() const { return m_process; }

    // True when the child ended within the time-out.
    bool WaitForExit(DWORD timeoutMs);
    bool HasExited() const;
    DWORD ExitCode() const;
    // What the child wrote to its standard output (captureOutput only).
    std::string Output();
    void Terminate();

private:
    HANDLE m_process = nullptr;
    DWORD m_processId = 0;
    HANDLE m_outputRead = nullptr;
    std::string m_output;
};

// Runs to the end and answers the exit code; fails the test on a time-out.
DWORD RunToExit(const std::wstring& commandLine, const std::wstring& currentDirectory,
                const EnvironmentOverrides& environment = {}, DWORD timeoutMs = 60000);

// Polls until the condition holds or the time-out passes. The only way the
// tests wait: for a condition, never for a fixed time.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

std::wstring Quote(const std::wstring& argument);
}  // namespace test
