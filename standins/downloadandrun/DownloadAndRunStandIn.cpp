// Stand-in for the download-and-run library downloadandrun.dll.
//
// It downloads nothing. Every call is appended to a journal beside the DLL;
// the answer comes from a control file beside the DLL, else from running the
// package out of the kit's "redist" folder, else it is 0 (installed). See
// README.md in this folder for the file formats.

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include <strsafe.h>

namespace
{
constexpr char kJournalName[] = "downloadandrun-journal.txt";
constexpr char kControlName[] = "downloadandrun-control.ini";
constexpr char kControlSection[] = "Answers";
constexpr char kRedistFolder[] = "redist";
constexpr size_t kCbLine = 8192;

HINSTANCE g_module = nullptr;

// "<folder of module>\<name>"; false when the path does not fit.
bool PathBeside(HMODULE module, const char* name, char* path, size_t cbPath)
{
    char modulePath[MAX_PATH];
    DWORD cch = GetModuleFileNameA(module, modulePath, ARRAYSIZE(modulePath));
    if (cch == 0 || cch >= ARRAYSIZE(modulePath))
        return false;
    char* lastSeparator = std::strrchr(modulePath, '\\');
    if (lastSeparator == nullptr)
        return false;
    lastSeparator[1] = '\0';
    return SUCCEEDED(StringCchPrintfA(path, cbPath, "%s%s", modulePath, name));
}

const char* TextOrNull(const char* text)
{
    return text != nullptr ? text : "(null)";
}

// How many calls for this file the journal already holds: the position of
// this call in the file's answer sequence.
int EarlierCalls(const char* journalPath, const char* fileName)
{
    HANDLE file = CreateFileA(journalPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    char line[kCbLine];
    size_t cbLine = 0;
    char buffer[4096];
    DWORD cbRead = 0;
    auto finishLine = [&]() {
        line[cbLine] = '\0';
        // The third field is the file name.
        char* field = line;
        for (int i = 0; i < 2 && field != nullptr; ++i)
        {
            field = std::strchr(field, '\t');
            if (field != nullptr)
                ++field;
        }
        if (field != nullptr)
        {
            char* end = std::strchr(field, '\t');
            if (end != nullptr)
                *end = '\0';
            // File names are compared as the file system does, without case.
            if (lstrcmpiA(field, fileName) == 0)
                ++count;
        }
        cbLine = 0;
    };
    while (ReadFile(file, buffer, sizeof(buffer), &cbRead, nullptr) && cbRead > 0)
    {
        for (DWORD i = 0; i < cbRead; ++i)
        {
            char c = buffer[i];
            if (c == '\n')
                finishLine();
            else if (c != '\r' && cbLine + 1 < sizeof(line))
                line[cbLine++] = c;
        }
    }
    if (cbLine > 0)
        finishLine();
    CloseHandle(file);
    return count;
}

void AppendToJournal(const char* journalPath, const char* line)
{
    HANDLE file = CreateFileA(journalPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD cbWritten = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &cbWritten, nullptr);
    CloseHandle(file);
}

int ParseAnswer(const char* text)
{
    while (*text == ' ')
        ++text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return static_cast<int>(std::strtoul(text + 2, nullptr, 16));
    return static_cast<int>(std::strtol(text, nullptr, 10));
}

// The answer the control file gives for the n-th call (counted from 0) for
// a file; the last answer of the list stands for every later call. False
// when the file is not named there.
bool ControlledAnswer(const char* fileName, int callIndex, int* answer)
{
    char controlPath[MAX_PATH];
    if (!PathBeside(g_module, kControlName, controlPath, sizeof(controlPath)))
        return false;
    char answers[1024] = "";
    GetPrivateProfileStringA(kControlSection, fileName, "", answers, sizeof(answers), controlPath);
    if (answers[0] == '\0')
        return false;
    int index = 0;
    const char* token = answers;
    for (;;)
    {
        const char* comma = std::strchr(token, ',');
        if (index == callIndex || comma == nullptr)
        {
            *answer = ParseAnswer(token);
            return true;
        }
        token = comma + 1;
        ++index;
    }
}

// Runs <kit>\redist\<file name> with the row's arguments when the kit ships
// it, and answers its exit code. False when there is no such package.
bool RunFromRedist(const char* fileName, const char* arguments, int* answer)
{
    char redistFolder[MAX_PATH];
    char packagePath[MAX_PATH];
    if (fileName == nullptr || fileName[0] == '\0' ||
        !PathBeside(nullptr, kRedistFolder, redistFolder, sizeof(redistFolder)) ||
        FAILED(StringCchPrintfA(packagePath, sizeof(packagePath), "%s\\%s", redistFolder, fileName)))
        return false;
    DWORD attributes = GetFileAttributesA(packagePath);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;

    char commandLine[kCbLine];
    if (FAILED(StringCchPrintfA(commandLine, sizeof(commandLine), "\"%s\" %s", packagePath,
                                arguments != nullptr ? arguments : "")))
    {
        *answer = ERROR_BAD_ARGUMENTS;
        return true;
    }
    STARTUPINFOA startupInfo = {};
    startupInfo.cb = sizeof(startupInfo);
    PROCESS_INFORMATION processInfo = {};
    if (!CreateProcessA(packagePath, commandLine, nullptr, nullptr, FALSE, 0, nullptr, redistFolder, &startupInfo,
                        &processInfo))
    {
        DWORD error = GetLastError();
        *answer = error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
        return true;
    }
    WaitForSingleObject(processInfo.hProcess, INFINITE);
    DWORD exitCode = ERROR_GEN_FAILURE;
    GetExitCodeProcess(processInfo.hProcess, &exitCode);
    CloseHandle(processInfo.hThread);
    CloseHandle(processInfo.hProcess);
    *answer = static_cast<int>(exitCode);
    return true;
}

int Run(HWND window, const char* downloadLocation, const char* fileName, int language, int argument5,
        const char* arguments, int kindNumber, const char* argument8, const char* productCaption,
        const char* displayName, int argument11, int argument12, int argument13, int argument14)
{
    char journalPath[MAX_PATH];
    bool journaled = PathBeside(g_module, kJournalName, journalPath, sizeof(journalPath));
    const char* name = fileName != nullptr ? fileName : "";
    int callIndex = journaled ? EarlierCalls(journalPath, name) : 0;

    // Written before the answer is worked out, so that the call shows while
    // a package from the redist folder still runs.
    if (journaled)
    {
        char line[kCbLine];
        StringCchPrintfA(line, sizeof(line), "%lu\t%s\t%s\t%d\t%d\t%s\t%d\t%s\t%s\t%s\t%d\t%d\t%d\t%d\r\n",
                         static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)),
                         TextOrNull(downloadLocation), TextOrNull(fileName), language, argument5,
                         TextOrNull(arguments), kindNumber, TextOrNull(argument8), TextOrNull(productCaption),
                         TextOrNull(displayName), argument11, argument12, argument13, argument14);
        AppendToJournal(journalPath, line);
    }

    int answer = 0;
    if (ControlledAnswer(name, callIndex, &answer))
        return answer;
    if (RunFromRedist(fileName, arguments, &answer))
        return answer;
    return 0;
}
}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}

#ifdef DOWNLOADANDRUN_WITHOUT_ENTRY_POINT
// A library that loads but lacks the entry point the bootstrapper asks for:
// the same function under a near-miss name.
#define DOWNLOADANDRUN_EXPORT_NAME DownloadAndRun
#else
#define DOWNLOADANDRUN_EXPORT_NAME DownloadAndRunMain
#endif

extern "C" __declspec(dllexport) int WINAPI DOWNLOADANDRUN_EXPORT_NAME(
    HWND window, const char* downloadLocation, const char* fileName, int language, int argument5,
    const char* arguments, int kindNumber, const char* argument8, const char* productCaption, const char* displayName,
    int argument11, int argument12, int argument13, int argument14)
{
    return Run(window, downloadLocation, fileName, language, argument5, arguments, kindNumber, argument8,
               productCaption, displayName, argument11, argument12, argument13, argument14);
}
