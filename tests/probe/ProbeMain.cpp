// bsprobe.exe <operation> [arguments...]
//
// Runs one operation of the bootstrapper in a process of its own and prints
// "name=value" lines with what it answered. Tests use it for what is fixed at
// process start, such as the Windows version that Wine emulates per program.
// The diagnostic log goes to the process's temporary folder as usual.

#include "tests/probe/Probe.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>

#include <strsafe.h>

namespace
{
ProbeCommand* g_commands = nullptr;
}

ProbeCommand::ProbeCommand(const wchar_t* commandName, int (*commandRun)(int, wchar_t**))
    : name(commandName), run(commandRun), next(g_commands)
{
    g_commands = this;
}

void ProbePrint(const wchar_t* name, const wchar_t* value)
{
    char narrowName[256];
    char narrowValue[8192];
    WideCharToMultiByte(CP_UTF8, 0, name, -1, narrowName, sizeof(narrowName), nullptr, nullptr);
    WideCharToMultiByte(CP_UTF8, 0, value, -1, narrowValue, sizeof(narrowValue), nullptr, nullptr);
    std::printf("%s=%s\n", narrowName, narrowValue);
    std::fflush(stdout);
}

void ProbePrint(const wchar_t* name, long long value)
{
    wchar_t text[32];
    StringCchPrintfW(text, ARRAYSIZE(text), L"%lld", value);
    ProbePrint(name, text);
}

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2)
    {
        std::fprintf(stderr, "usage: bsprobe <operation> [arguments...]\n");
        return 2;
    }
    for (ProbeCommand* command = g_commands; command != nullptr; command = command->next)
    {
        if (std::wcscmp(command->name, argv[1]) == 0)
        {
            int result = command->run(argc - 2, argv + 2);
            LocalFree(argv);
            return result;
        }
    }
    std::fprintf(stderr, "bsprobe: unknown operation\n");
    LocalFree(argv);
    return 2;
}
