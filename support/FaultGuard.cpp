#include "support/FaultGuard.h"

#if defined(__i386__)

// An x86 frame-based handler, registered in the thread's chain (fs:[0]) for
// the length of the call. When an exception reaches it, it unwinds the frames
// registered inside the call (their handlers see the unwind, as a system
// call's own cleanup expects), takes its record out of the chain and jumps
// back into RunGuardedCall. Images built by GNU ld carry no SafeSEH table, so
// the system accepts a handler in this one; the chain keeps its order, so
// SEHOP's check of it still holds.

namespace
{
struct GuardFrame
{
    // The platform's registration record: these two fields first.
    EXCEPTION_REGISTRATION_RECORD* next;
    void* handler;
    // __builtin_setjmp's buffer: frame, resume address, stack.
    void* resume[5];
    DWORD lastError;
};

// The head of the thread's handler chain, the first field of its
// information block (fs:[0]).
EXCEPTION_REGISTRATION_RECORD* ChainHead()
{
    EXCEPTION_REGISTRATION_RECORD* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(EXCEPTION_REGISTRATION_RECORD* head)
{
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
}  // namespace

extern "C" [[noreturn]] void BsUnwindAndResume(GuardFrame* frame, EXCEPTION_RECORD* record);

// Reached from BsUnwindAndResume once RtlUnwind has left the guard's record
// at the head of the chain.
extern "C" [[noreturn]] __attribute__((used)) void BsResumeGuard(GuardFrame* frame)
{
    SetChainHead(frame->next);
    __builtin_longjmp(frame->resume, 1);
}

// RtlUnwind does not keep ebx, esi and edi on every Windows; nothing of the
// caller's is used after it but the frame, kept on the stack.
asm(R"(
    .text
    .globl _BsUnwindAndResume
    .def _BsUnwindAndResume; .scl 2; .type 32; .endef
_BsUnwindAndResume:
    movl 4(%esp), %eax
    movl 8(%esp), %ecx
    pushl %eax
    pushl $0
    pushl %ecx
    pushl $0
    pushl %eax
    call *__imp__RtlUnwind@16
    call _BsResumeGuard
)");

namespace
{
EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT*, void*)
{
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0)
        return ExceptionContinueSearch;
    GuardFrame* frame = static_cast<GuardFrame*>(establisherFrame);
    frame->lastError = GetLastError();
    BsUnwindAndResume(frame, record);
}
}  // namespace

bool RunGuardedCall(void (*call)(void* context), void* context)
{
    GuardFrame frame;
    frame.handler = reinterpret_cast<void*>(&GuardHandler);
    frame.lastError = ERROR_SUCCESS;
    if (__builtin_setjmp(frame.resume) != 0)
    {
        SetLastError(frame.lastError);
        return false;
    }
    frame.next = ChainHead();
    SetChainHead(reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(&frame));
    call(context);
    SetChainHead(frame.next);
    return true;
}

#else

bool RunGuardedCall(void (*call)(void* context), void* context)
{
    call(context);
    return true;
}

#endif
