// bsbench.exe: the Windows side of scripts/benchmark.sh. Runs the kit's
// SetupBootstrapper.exe and a minimal reference program alternately (ABAB...,
// so that whatever drifts during the run affects both alike) and prints each
// run's time, the medians, and the median of the run-by-run ratios.
//
//   bsbench.exe silent <runs>   start until the setup stand-in's process
//                                exists; reference: minimal_launcher.exe
//   bsbench.exe silent-platform <runs>
//                                the same against minimal_silent_platform.exe,
//                                which makes the silent run's platform calls
//                                and writes its log: what of the silent
//                                figure is the platform's
//   bsbench.exe silent-floor <runs>
//                                minimal_silent_platform.exe against
//                                minimal_launcher.exe: what the silent run's
//                                platform work costs over starting the setup
//                                alone, the lowest silent figure any program
//                                doing the bootstrapper's work could reach
//   bsbench.exe dialog <runs>   start until the first dialog is visible;
//                                reference: minimal_dialog.exe
//   bsbench.exe dialog-platform <runs>
//                                the same against minimal_dialog_platform.exe,
//                                which makes the full-UI run's platform calls
//                                until its dialog is visible and writes its
//                                log: what of the dialog figure is the
//                                platform's
//
// Run in the kit folder, which also holds the reference programs. Each
// program is started in a job of its own: the job reports the stand-in's
// creation, and the next run begins only when every process of the job has
// ended. Times are QueryPerformanceCounter readings taken in this process.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace
{
constexpr DWORD kRunTimeoutMs = 30000;

// The silent command line: the answer file only matters to the setup.
constexpr wchar_t kSilentArguments[] = L"/s setup.iss";
// What the bootstrapper hands the stand-in in a silent run here (its shape;
// the log path does not change the stand-in's work).
constexpr wchar_t kSetupCommandLine[] =
    L"morvanto9.exe /s /f1\"setup.iss\" -l1033 /vProductLanguage=1033 /qn /v\"/L*v\\\"C:\\DRAVO_v9_InstallKitLog.log\\\"\"";

double Milliseconds(LONGLONG ticks)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

class Job
{
public:
    Job()
    {
        m_job = CreateJobObjectW(nullptr, nullptr);
        m_port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
        association.CompletionKey = m_job;
        association.CompletionPort = m_port;
        m_ready = m_job != nullptr && m_port != nullptr &&
                  SetInformationJobObject(m_job, JobObjectAssociateCompletionPortInformation, &association,
                                          sizeof(association));
    }
    ~Job()
    {
        if (m_process.hProcess != nullptr)
        {
            CloseHandle(m_process.hThread);
            CloseHandle(m_process.hProcess);
        }
        if (m_port != nullptr)
            CloseHandle(m_port);
        if (m_job != nullptr)
        {
            TerminateJobObject(m_job, 1);
            CloseHandle(m_job);
        }
    }
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Started suspended, so that the program is in the job before it runs
    // and starts its own children there.
    bool Start(const std::wstring& commandLine)
    {
        if (!m_ready)
            return false;
        std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back(L'\0');
        STARTUPINFOW startupInfo = {};
        startupInfo.cb = sizeof(startupInfo);
        if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                            &startupInfo, &m_process))
        {
            m_process = {};
            return false;
        }
        if (!AssignProcessToJobObject(m_job, m_process.hProcess))
        {
            TerminateProcess(m_process.hProcess, 1);  // still suspended, outside the job
            return false;
        }
        return ResumeThread(m_process.hThread) != static_cast<DWORD>(-1);
    }

    DWORD ProcessId() const { return m_process.dwProcessId; }
    bool Ended() const { return WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0; }

    // Waits for the next job message; false on time-out.
    bool Next(DWORD* message, DWORD* processId, DWORD timeoutMs)
    {
        DWORD code = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED overlapped = nullptr;
        if (!GetQueuedCompletionStatus(m_port, &code, &key, &overlapped, timeoutMs))
            return false;
        *message = code;
        *processId = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(overlapped));
        return true;
    }

    // The time a process other than the started one was created in the job.
    bool WaitForChildStart(LONGLONG* when)
    {
        DWORD message = 0;
        DWORD processId = 0;
        while (Next(&message, &processId, kRunTimeoutMs))
        {
            if (message == JOB_OBJECT_MSG_NEW_PROCESS && processId != ProcessId())
            {
                *when = Now();
                return true;
            }
            if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
                return false;
        }
        return false;
    }

    bool WaitUntilEmpty()
    {
        DWORD message = 0;
        DWORD processId = 0;
        while (Next(&message, &processId, kRunTimeoutMs))
        {
            if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
                return true;
        }
        return false;
    }

private:
    HANDLE m_job = nullptr;
    HANDLE m_port = nullptr;
    bool m_ready = false;
    PROCESS_INFORMATION m_process = {};
};

struct DialogSearch
{
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<DialogSearch*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window))
        return TRUE;
    wchar_t className[16] = L"";
    GetClassNameW(window, className, ARRAYSIZE(className));
    if (std::wcscmp(className, L"#32770") != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

std::wstring KitFile(const wchar_t* name)
{
    wchar_t directory[MAX_PATH];
    DWORD cch = GetCurrentDirectoryW(ARRAYSIZE(directory), directory);
    if (cch == 0 || cch >= ARRAYSIZE(directory))
        return name;
    return std::wstring(L"\"") + directory + L"\\" + name + L"\"";
}

// Each program writes its own log here; a fresh one for every run keeps the
// bootstrapper's appends from growing across runs.
void ForgetLogs()
{
    wchar_t temp[MAX_PATH];
    DWORD cch = GetTempPathW(ARRAYSIZE(temp), temp);
    if (cch == 0 || cch >= ARRAYSIZE(temp))
        return;
    DeleteFileW((std::wstring(temp) + L"dravo_v9_installhelperBS.csv").c_str());
}

// Why the last measurement failed, for the message that reports it.
const wchar_t* g_failure = L"";

double Failed(const wchar_t* why)
{
    g_failure = why;
    return -1;
}

// Milliseconds from the start until the setup stand-in's process exists;
// negative when it never started.
double TimeToSetupStart(const std::wstring& commandLine)
{
    ForgetLogs();
    Job job;
    LONGLONG start = Now();
    if (!job.Start(commandLine))
        return Failed(L"the program could not be started");
    LONGLONG setupStarted = 0;
    if (!job.WaitForChildStart(&setupStarted))
        return Failed(L"the setup was not started");
    if (!job.WaitUntilEmpty())
        return Failed(L"the processes did not end");
    return Milliseconds(setupStarted - start);
}

// Milliseconds from the start until the program's first dialog is visible;
// the dialog is then cancelled and the run ends. Negative on failure.
double TimeToVisibleDialog(const std::wstring& commandLine)
{
    ForgetLogs();
    Job job;
    LONGLONG start = Now();
    if (!job.Start(commandLine))
        return Failed(L"the program could not be started");
    DialogSearch search = {job.ProcessId(), nullptr};
    LONGLONG visible = 0;
    for (;;)
    {
        EnumWindows(FindVisibleDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
        {
            visible = Now();
            break;
        }
        // A second instance, for one, ends without a window of its own.
        if (job.Ended())
            return Failed(L"the program ended without showing a dialog");
        if (Milliseconds(Now() - start) > kRunTimeoutMs)
            return Failed(L"no dialog became visible in time");
        Sleep(1);
    }
    PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    if (!job.WaitUntilEmpty())
        return Failed(L"the processes did not end after the dialog was cancelled");
    return Milliseconds(visible - start);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

int Measure(const wchar_t* figure, double (*measure)(const std::wstring&), const std::wstring& product,
            const std::wstring& reference, int runs, const wchar_t* productLabel = L"bootstrapper")
{
    // One unmeasured run of each: the first start of a program pays for
    // reading it from disk.
    for (const std::wstring* program : {&product, &reference})
    {
        if (measure(*program) < 0)
        {
            std::fwprintf(stderr, L"bsbench: %ls: the warm-up run of %ls failed: %ls\n", figure, program->c_str(),
                          g_failure);
            return 1;
        }
    }
    std::vector<double> productTimes;
    std::vector<double> referenceTimes;
    for (int i = 0; i < runs; ++i)
    {
        double times[2] = {};
        for (int which = 0; which < 2; ++which)
        {
            const std::wstring& program = which == 0 ? product : reference;
            times[which] = measure(program);
            if (times[which] < 0)
            {
                std::fwprintf(stderr, L"bsbench: %ls: run %d of %ls failed: %ls\n", figure, i + 1, program.c_str(),
                              g_failure);
                return 1;
            }
        }
        const double a = times[0];
        const double b = times[1];
        productTimes.push_back(a);
        referenceTimes.push_back(b);
        std::wprintf(L"%ls run %2d: %ls %8.1f ms  reference %8.1f ms\n", figure, i + 1, productLabel, a, b);
        std::fflush(stdout);
    }
    // The figure is the median of the run-by-run ratios: the two runs of a
    // pair follow each other, so they share whatever state the machine is in,
    // which the ratio of the two medians does not cancel (docs/benchmark.md).
    std::vector<double> ratios;
    for (size_t i = 0; i < productTimes.size(); ++i)
        ratios.push_back(productTimes[i] / referenceTimes[i]);
    const double a = Median(productTimes);
    const double b = Median(referenceTimes);
    std::wprintf(L"%ls median of %d: %ls %.1f ms  reference %.1f ms  ratio of the medians %.2f  ratio %.2f\n", figure,
                 runs, productLabel, a, b, a / b, Median(ratios));
    return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
    {
        std::fwprintf(stderr, L"usage: bsbench.exe silent|silent-platform|silent-floor|dialog|dialog-platform <runs>\n");
        return 2;
    }
    // Wine starts its desktop process for the first program that asks for the
    // desktop window, as a child of that program. Asked here, outside any
    // job, so that a measured program's job does not take the desktop in
    // and then never become empty.
    GetDesktopWindow();
    std::wstring mode = argv[1];
    int runs = _wtoi(argv[2]);
    if (runs < 1)
        runs = 10;
    if (mode == L"silent")
        return Measure(L"silent", TimeToSetupStart, KitFile(L"SetupBootstrapper.exe") + L" " + kSilentArguments,
                       KitFile(L"minimal_launcher.exe") + L" " + kSetupCommandLine, runs);
    // Given the bootstrapper's own arguments: its command line is split as
    // the bootstrapper's is, and the setup gets the same answer file.
    if (mode == L"silent-platform")
        return Measure(L"silent-platform", TimeToSetupStart,
                       KitFile(L"SetupBootstrapper.exe") + L" " + kSilentArguments,
                       KitFile(L"minimal_silent_platform.exe") + L" " + kSilentArguments, runs);
    if (mode == L"silent-floor")
        return Measure(L"silent-floor", TimeToSetupStart,
                       KitFile(L"minimal_silent_platform.exe") + L" " + kSilentArguments,
                       KitFile(L"minimal_launcher.exe") + L" " + kSetupCommandLine, runs, L"platform work");
    if (mode == L"dialog")
        return Measure(L"dialog", TimeToVisibleDialog, KitFile(L"SetupBootstrapper.exe"),
                       KitFile(L"minimal_dialog.exe"), runs);
    if (mode == L"dialog-platform")
        return Measure(L"dialog-platform", TimeToVisibleDialog, KitFile(L"SetupBootstrapper.exe"),
                       KitFile(L"minimal_dialog_platform.exe"), runs);
    std::fwprintf(stderr, L"bsbench: unknown figure %ls\n", argv[1]);
    return 2;
}
