#pragma once
// Registration of bsprobe operations: one static ProbeCommand per operation,
// in the probe file of its subsystem.
//
//   static ProbeCommand isWindows2K(L"IsWindows2K", [](int, wchar_t**) {
//       ProbePrint(L"answer", IsWindows2K() ? 1 : 0);
//       return 0;
//   });

struct ProbeCommand
{
    ProbeCommand(const wchar_t* commandName, int (*commandRun)(int argc, wchar_t** argv));
    const wchar_t* name;
    int (*run)(int argc, wchar_t** argv);
    ProbeCommand* next;
};

void ProbePrint(const wchar_t* name, const wchar_t* value);
void ProbePrint(const wchar_t* name, long long value);
