#include "bootstrap/EmbeddedResources.h"

#include "bootstrap/SetupRunner.h"
#include "platform/OsChecks.h"
#include "resources/resource.h"
#include "support/DiagnosticLog.h"
#include "support/FaultGuard.h"
#include "support/Handles.h"
#include "support/Traced.h"

#include <strsafe.h>

wchar_t resourceFolder[kCchText];

namespace
{
constexpr wchar_t kResourceType[] = L"BIN";

// Works out "<temporary folder>Morvanto9Resources\". False, with an error
// code, when the temporary folder cannot be read or when the folder and the
// longer of the two file names would not fit in a text buffer: a cut path
// would put the libraries (and their registration) somewhere else.
bool BuildResourceFolder(wchar_t* folder, size_t cchFolder)
{
    folder[0] = L'\0';
    wchar_t tempFolder[kCchText];
    DWORD cchTemp = GetTempPathW(ARRAYSIZE(tempFolder), tempFolder);
    if (cchTemp == 0)
        return false;
    if (cchTemp >= ARRAYSIZE(tempFolder))
    {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return false;
    }

    wchar_t longestFile[kCchText];
    if (FAILED(StringCchPrintfW(folder, cchFolder, L"%sMorvanto9Resources\\", tempFolder)) ||
        FAILED(StringCchPrintfW(longestFile, ARRAYSIZE(longestFile), L"%smsxml3r.dll", folder)))
    {
        folder[0] = L'\0';
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

// The path is quoted on the command line (commandFormat holds the quotes): a
// temporary folder on Windows 2000 lies under "Documents and Settings", and
// regsvr32 would otherwise receive the path in pieces.
//
// regsvr32 is named without a folder: the platform's search for a bare
// program name finds it in the system folder. FALSE, with the platform's
// error code, when it was not started; a command line that would not fit
// is not started either, rather than run cut.
BOOL StartRegistrationTool(const wchar_t* commandFormat, const wchar_t* libraryPath, ProcessHandles* tool)
{
    wchar_t wsCommand[kCchText];
    if (FAILED(StringCchPrintfW(wsCommand, ARRAYSIZE(wsCommand), commandFormat, libraryPath)))
    {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }

    return StartChildProcess(wsCommand, tool);
}

// Registering and un-registering run the tool the same way and differ only
// in these texts.
struct RegistrationTexts
{
    const char* announcement;
    const wchar_t* commandFormat;
    const char* waiting;
    const char* succeeded;
    const char* failed;  // "%d": the error of the failed start
};

constexpr RegistrationTexts kRegistration = {
    "SetupBootStrapper.WinMain: registering msxml3.dll",
    L"regsvr32.exe \"%s\" /s",
    "MorvantoBootStrapper.CreateMsiexecProcess: Waitting for msxml3 registration to end",
    "MorvantoBootStrapper.CreateMsiexecProcess: msxml3 succesfully registered",
    "MorvantoBootStrapper.CreateMsiexecProcess: failed to register msxml3, error returned:%d",
};

constexpr RegistrationTexts kUnregistration = {
    "SetupBootStrapper.WinMain: un-registering msxml3.dll",
    L"regsvr32.exe \"%s\" /s /u",
    "MorvantoBootStrapper.CreateMsiexecProcess: Waitting for msxml3 un-registration to end",
    "MorvantoBootStrapper.CreateMsiexecProcess: msxml3 succesfully un-registered",
    "MorvantoBootStrapper.CreateMsiexecProcess: failed to un-register msxml3, error returned:%d",
};

void RunRegistrationTool(const RegistrationTexts& texts, const wchar_t* libraryPath)
{
    LogMessage(kLogError, texts.announcement);
    const bool completed = RunGuarded([&] {
        ProcessHandles tool;
        BOOL started = StartRegistrationTool(texts.commandFormat, libraryPath, &tool);
        DWORD startError = started ? ERROR_SUCCESS : GetLastError();

        LogMessage(kLogInfo, texts.waiting);
        WaitForChildProcess(tool.process.get());
        // The tool's exit code is not read: once started, it has done what
        // it could, and the run goes on either way.
        if (started)
            LogMessage(kLogInfo, texts.succeeded);
        else
            LogMessage(kLogInfo, texts.failed, static_cast<int>(startError));
    });
    if (!completed)
    {
        // The un-registration reports an exception with this line too.
        LogMessage(kLogError,
                   "SetupBootStrapper.WinMain: exception caught while registering msxml3, error returned:%d",
                   static_cast<int>(GetLastError()));
    }
}

// Steps of the clean-up on Windows 2000: un-register, delete both files,
// remove the folder. Each failure is logged and the next step still runs.
void RemoveXmlParser()
{
    // The folder is known once the preparation ran in this process. Without
    // it (the preparation did not run, or found no temporary folder), the
    // clean-up works it out the same way, so that it removes what an earlier
    // run left; an empty folder would otherwise make the paths below relative
    // to the current directory and delete a stranger's msxml3.dll.
    if (resourceFolder[0] == L'\0' && !BuildResourceFolder(resourceFolder, ARRAYSIZE(resourceFolder)))
    {
        LogMessage(kLogError,
                   "SetupBootStrapper.DeleteResFromTemp: no usable temporary folder, nothing removed, error "
                   "returned:%d",
                   static_cast<int>(GetLastError()));
        return;
    }

    wchar_t wsFile[kCchText];
    StringCchPrintfW(wsFile, ARRAYSIZE(wsFile), L"%smsxml3.dll", resourceFolder);  // fits: see BuildResourceFolder
    RunRegistrationTool(kUnregistration, wsFile);

    DeleteResFile(wsFile);
    StringCchPrintfW(wsFile, ARRAYSIZE(wsFile), L"%smsxml3r.dll", resourceFolder);
    DeleteResFile(wsFile);

    LogMessage(kLogInfo, "SetupBootStrapper.DeleteResFromTemp: removing directory: '%s'", resourceFolder);
    if (RemoveDirectoryW(resourceFolder))
        LogMessage(kLogInfo, "SetupBootStrapper.DeleteResFromTemp: directory: '%s' deleted succesfully",
                   resourceFolder);
    else
        LogMessage(kLogInfo, "SetupBootStrapper.DeleteResFromTemp: failed to remove '%s' directory, error returned:%d",
                   resourceFolder, static_cast<int>(GetLastError()));
}
}  // namespace

void PrepareXmlParser()
{
    LogMessage(kLogInfo, "SetupBootStrapper.WinMain: It's Windows 2000, extracting and registerring msxml3.dll");

    // Without a temporary folder there is no place of ours for the
    // libraries: the current directory may be a CD or a network share, and
    // a cut path would be somebody else's folder. The parser is then left
    // as the system has it and the run goes on, as it does after any other
    // failure of the preparation.
    if (!BuildResourceFolder(resourceFolder, ARRAYSIZE(resourceFolder)))
    {
        LogMessage(kLogError,
                   "SetupBootStrapper.WinMain: no usable temporary folder, msxml3.dll neither extracted nor "
                   "registered, error returned:%d",
                   static_cast<int>(GetLastError()));
        return;
    }
    // A folder left by an earlier run is simply used; when the folder cannot
    // be made at all, the extractions below say so.
    CreateDirectoryW(resourceFolder, nullptr);

    wchar_t wsOutputLocation[kCchText];
    StringCchPrintfW(wsOutputLocation, ARRAYSIZE(wsOutputLocation), L"%smsxml3r.dll", resourceFolder);
    if (!ExtractResToTemp(kResourceType, IDR_MSXML3R_DLL, wsOutputLocation))
        LogMessage(kLogError, "SetupBootStrapper.WinMain: failed to extract 'msxml3r.dll'.");

    StringCchPrintfW(wsOutputLocation, ARRAYSIZE(wsOutputLocation), L"%smsxml3.dll", resourceFolder);
    if (!ExtractResToTemp(kResourceType, IDR_MSXML3_DLL, wsOutputLocation))
        LogMessage(kLogError, "SetupBootStrapper.WinMain: failed to extract 'msxml3.dll'. ");

    // Attempted even when an extraction failed: an older copy may still be
    // in place, and regsvr32 reports nothing we would act on anyway.
    RunRegistrationTool(kRegistration, wsOutputLocation);
}

bool ExtractResToTemp(const wchar_t* resourceType, WORD resourceId, const wchar_t* path)
{
    return RunTraced(
        "SetupBootStrapper.ExtractResToTemp >>", nullptr, kLogError,
        "SetupBootStrapper.ExtractResToTemp: exception caught, error returned: %d", [&]() -> bool {
            bool answer = true;
            LogMessage(kLogInfo, "SetupBootStrapper.ExtractResToTemp: called for resource with name:%s and ID %d",
                       resourceType, static_cast<int>(resourceId));
            LogMessage(kLogInfo, "SetupBootStrapper.ExtractResToTemp: resource will be extracted to '%s'", path);

            // Looked up in the executable itself, in whatever language it carries.
            HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(resourceId), resourceType);
            HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
            const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
            const DWORD cbResource = found != nullptr ? SizeofResource(nullptr, found) : 0;

            if (bytes == nullptr)
            {
                // A build without the resource: nothing is created, so that no
                // empty file passes for the library.
                LogMessage(kLogError,
                           "SetupBootStrapper.ExtractResToTemp: resource not found in the executable, nothing "
                           "extracted, error returned:%d",
                           static_cast<int>(GetLastError()));
                answer = false;
            }
            else
            {
                LogMessage(kLogInfo, "SetupBootStrapper.ExtractResToTemp: Creating '%s'", path);
                UniqueHandle file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
                if (!file)
                {
                    LogMessage(kLogInfo,
                               "SetupBootStrapper.ExtractResToTemp: Failed to create file '%s', error "
                               "returned:%d",
                               path, static_cast<int>(GetLastError()));
                    answer = false;
                }
                else
                {
                    LogMessage(kLogInfo, "SetupBootStrapper.ExtractResToTemp: File '%s' succesfully created.", path);
                    LogMessage(kLogInfo, "SetupBootStrapper.ExtractResToTemp: Writting stream data");
                    DWORD cbWritten = 0;
                    BOOL written = WriteFile(file.get(), bytes, cbResource, &cbWritten, nullptr);
                    if (written && cbWritten != cbResource)
                    {
                        // A short write leaves a truncated library: a failure too.
                        written = FALSE;
                        SetLastError(ERROR_WRITE_FAULT);
                    }
                    if (!written)
                    {
                        LogMessage(kLogInfo,
                                   "SetupBootStrapper.ExtractResToTemp: Error while writting stream to file "
                                   "'%s', error returned:%d",
                                   path, static_cast<int>(GetLastError()));
                        file.reset();
                        answer = false;
                    }
                    else
                    {
                        LogMessage(kLogInfo,
                                   "SetupBootStrapper.ExtractResToTemp: stream succesfully written, closing file");
                        file.reset();
                        LogMessage(kLogInfo, "SetupBootStrapper.ExtractResToTemp: resource succesfully extracted to %s",
                                   path);
                    }
                }
            }

            LogMessage(kLogInfo, "SetupBootStrapper.ExtractResToTemp <<");
            return answer;
        });
}

void DeleteResFile(const wchar_t* path)
{
    LogMessage(kLogInfo, "SetupBootStrapper.DeleteResFile >>");
    const bool completed = RunGuarded([&] {
        LogMessage(kLogInfo, "SetupBootStrapper.DeleteResFile: Deleting '%s'", path);
        if (DeleteFileW(path))
            LogMessage(kLogInfo, "SetupBootStrapper.DeleteResFile: file '%s' succesfully deleted", path);
        else
            LogMessage(kLogError, "SetupBootStrapper.DeleteResFile: error while deleting file '%s', error returned:%d",
                       path, static_cast<int>(GetLastError()));
    });
    if (!completed)
    {
        LogMessage(kLogError, "SetupBootStrapper.DeleteResFile: exception caught, error returned: %d",
                   static_cast<int>(GetLastError()));
    }
    LogMessage(kLogInfo, "SetupBootStrapper.DeleteResFile <<");
}

void DeleteResFromTemp()
{
    LogMessage(kLogInfo, "SetupBootStrapper.DeleteResFromTemp >>");
    const bool completed = RunGuarded([&] {
        // Only Windows 2000 was given the parser; elsewhere there is nothing
        // of ours to remove.
        if (IsWindows2K())
            RemoveXmlParser();
    });
    if (!completed)
    {
        LogMessage(kLogError, "SetupBootStrapper.DeleteResFromTemp: exception caught, error returned:%d",
                   static_cast<int>(GetLastError()));
    }
    LogMessage(kLogInfo, "SetupBootStrapper.DeleteResFromTemp <<");
}
