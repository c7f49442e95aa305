#include "tests/support/ChildProcess.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <vector>

namespace test
{
namespace
{
struct CaseInsensitiveLess
{
    bool operator()(const std::wstring& a, const std::wstring& b) const { return lstrcmpiW(a.c_str(), b.c_str()) < 0; }
};

std::vector<wchar_t> BuildEnvironmentBlock(const EnvironmentOverrides& overrides)
{
    std::map<std::wstring, std::wstring, CaseInsensitiveLess> variables;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += lstrlenW(entry) + 1)
    {
        std::wstring text = entry;
        size_t equals = text.find(L'=', 1);  // "=C:=C:\..." entries start with "="
        if (equals == std::wstring::npos)
            continue;
        variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& variable : overrides)
    {
        if (variable.second.empty())
            variables.erase(variable.first);
        else
            variables[variable.first] = variable.second;
    }
    std::vector<wchar_t> block;
    for (const auto& variable : variables)
    {
        std::wstring entry = variable.first + L"=" + variable.second;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}
}  // namespace

ChildProcess::ChildProcess(const std::wstring& commandLine, const std::wstring& currentDirectory,
                           const EnvironmentOverrides& environment, bool captureOutput)
{
    std::vector<wchar_t> block = BuildEnvironmentBlock(environment);
    std::vector<wchar_t> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back(L'\0');

    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof(startupInfo);
    HANDLE outputWrite = nullptr;
    BOOL inheritHandles = FALSE;
    if (captureOutput)
    {
        SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
        if (!CreatePipe(&m_outputRead, &outputWrite, &inheritable, 0))
        {
            ADD_FAILURE() << "CreatePipe failed: " << GetLastError();
            return;
        }
        SetHandleInformation(m_outputRead, HANDLE_FLAG_INHERIT, 0);
        startupInfo.dwFlags = STARTF_USESTDHANDLES;
        startupInfo.hStdOutput = outputWrite;
        startupInfo.hStdError = outputWrite;
        startupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        inheritHandles = TRUE;
    }

    PROCESS_INFORMATION info = {};
    BOOL started = CreateProcessW(nullptr, mutableCommandLine.data(), nullptr, nullptr, inheritHandles,
                                  CREATE_UNICODE_ENVIRONMENT, block.data(),
                                  currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startupInfo, &info);
    if (outputWrite != nullptr)
        CloseHandle(outputWrite);
    if (!started)
    {
        ADD_FAILURE() << "cannot start " << WideToUtf8(commandLine) << ": error " << GetLastError();
        return;
    }
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_processId = info.dwProcessId;
}

ChildProcess::~ChildProcess()
{
    Terminate();
    if (m_process != nullptr)
        CloseHandle(m_process);
    if (m_outputRead != nullptr)
        CloseHandle(m_outputRead);
}

bool ChildProcess::WaitForExit(DWORD timeoutMs)
{
    if (m_process == nullptr)
        return false;
    if (m_outputRead == nullptr)
        return WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0;

    // Drain the pipe while waiting, so that a chatty child never blocks on a
    // full pipe.
    DWORD start = GetTickCount();
    for (;;)
    {
        DWORD available = 0;
        while (PeekNamedPipe(m_outputRead, nullptr, 0, nullptr, &available, nullptr) && available > 0)
        {
            char buffer[4096];
            DWORD cbRead = 0;
            if (!ReadFile(m_outputRead, buffer, sizeof(buffer), &cbRead, nullptr) || cbRead == 0)
                break;
            m_output.append(buffer, cbRead);
        }
        if (WaitForSingleObject(m_process, 5) == WAIT_OBJECT_0)
        {
            char buffer[4096];
            DWORD cbRead = 0;
            while (PeekNamedPipe(m_outputRead, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
                   ReadFile(m_outputRead, buffer, sizeof(buffer), &cbRead, nullptr) && cbRead > 0)
                m_output.append(buffer, cbRead);
            return true;
        }
        if (GetTickCount() - start >= timeoutMs)
            return false;
    }
}

bool ChildProcess::HasExited() const
{
    return m_process != nullptr && WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_process != nullptr)
        GetExitCodeProcess(m_process, &code);
    return code;
}

std::string ChildProcess::Output()
{
    return m_output;
}

void ChildProcess::Terminate()
{
    if (m_process != nullptr && !HasExited())
    {
        TerminateProcess(m_process, 999);
        WaitForSingleObject(m_process, 10000);
    }
}

DWORD RunToExit(const std::wstring& commandLine, const std::wstring& currentDirectory,
                const EnvironmentOverrides& environment, DWORD timeoutMs)
{
    ChildProcess child(commandLine, currentDirectory, environment);
    if (!child.Started())
        return static_cast<DWORD>(-1);
    if (!child.WaitForExit(timeoutMs))
    {
        ADD_FAILURE() << WideToUtf8(commandLine) << " did not end within " << timeoutMs << " ms";
        return STILL_ACTIVE;
    }
    return child.ExitCode();
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;)
    {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        // Polling interval, not synchronisation: the condition decides.
        Sleep(10);
    }
}

std::wstring Quote(const std::wstring& argument)
{
    return L"\"" + argument + L"\"";
}
}  // namespace test
