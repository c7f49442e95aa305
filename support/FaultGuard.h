#pragma once
// The catch-all under which every operation runs its body.
//
// The product is built without C++ exceptions: nothing in it throws, and the
// unwinder and type tables that C++ exceptions need were a fifth of the
// executable (docs/benchmark.md). What can still end an operation abruptly is
// a structured exception: an access violation, an exception raised with
// RaiseException (the catalogue reader's out-of-memory), or one raised inside
// a system call. The guard catches those.

#include <windows.h>

// Calls call(context). Answers true when it returned, false when a structured
// exception ended it; the thread's last error is then what it was when the
// exception was raised. Frame-based exception handlers registered inside the
// call are unwound, but C++ destructors of the frames left are not run: what
// an interrupted call held is not released.
//
// Only the x86 build (the product) has the guard. The x64 build, which serves
// the benchmark alone, calls straight through: a fault there ends the process.
bool RunGuardedCall(void (*call)(void* context), void* context);

// RunGuardedCall for a callable that answers a value, stored in *result when
// it returns (left unchanged when an exception ends it).
template <typename Result, typename Body>
bool RunGuarded(Result* result, Body body)
{
    struct Call
    {
        Result* result;
        Body* body;
        static void Invoke(void* context)
        {
            Call* self = static_cast<Call*>(context);
            *self->result = (*self->body)();
        }
    } call{result, &body};
    return RunGuardedCall(&Call::Invoke, &call);
}

// The same for a callable that answers nothing.
template <typename Body>
bool RunGuarded(Body body)
{
    return RunGuardedCall([](void* context) { (*static_cast<Body*>(context))(); }, &body);
}
