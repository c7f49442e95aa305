#pragma once
// GoogleTest's Notification for a compiler without std::mutex: the x86
// build's win32 thread model, which keeps winpthread out of the kit. Found
// before GoogleTest's own empty header of this name (tests/CMakeLists.txt).

#define GTEST_HAS_NOTIFICATION_ 1

#include <windows.h>

namespace testing
{
namespace internal
{
class Notification
{
public:
    Notification() : m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(m_event); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(m_event); }
    void WaitForNotification() { WaitForSingleObject(m_event, INFINITE); }

private:
    HANDLE m_event;
};
}  // namespace internal
}  // namespace testing
