#include "bootstrap/SingleInstanceGuard.h"

SingleInstanceGuard::SingleInstanceGuard(const wchar_t* mutexName)
    : lastError(ERROR_SUCCESS), mutexHandle(nullptr)
{
    SetLastError(ERROR_SUCCESS);  // a stale value must not read as "already exists"
    mutexHandle = CreateMutexW(nullptr, FALSE, mutexName);
    lastError = GetLastError();
}

SingleInstanceGuard::~SingleInstanceGuard()
{
    if (mutexHandle != nullptr)
    {
        CloseHandle(mutexHandle);
        mutexHandle = nullptr;
    }
}
