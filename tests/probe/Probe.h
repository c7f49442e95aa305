#pragma once
// Registration of bsprobe operations: one static ProbeCommand per operation,
// in the probe file of its subsystem.
//
//   ProbeCommand osChecks(L"OsChecks", [](int, wchar_t**) {
//       ProbePrint(L"IsWindows2K", IsWindows2K() ? 1 : 0);
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
