#pragma once
// Lets one bootstrapper run at a time. One object of this class lives for the
// whole process (created by static initialization, before WinMain) and holds
// the machine-wide named mutex, so that the guard also covers the time the
// product's setup runs.

#include <windows.h>

class SingleInstanceGuard
{
public:
    // Creates (or opens) the named mutex, not owned, default security, and
    // keeps the last-error value of that call.
    explicit SingleInstanceGuard(const wchar_t* mutexName);
    ~SingleInstanceGuard();

    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    // True exactly when the mutex already existed. A mutex that could not be
    // created at all (access denied, say) means no other instance runs.
    bool IsAnotherInstanceRunning() const { return lastError == ERROR_ALREADY_EXISTS; }

private:
    DWORD lastError;
    HANDLE mutexHandle;
};
