#pragma once
// Small non-copyable owners for the platform's handles, so that every exit
// path of an operation releases what it took. Moving is allowed; copying is
// not, because two owners of one handle would close it twice.

#include <windows.h>
#include <objbase.h>

#include <utility>

template <typename Traits>
class UniqueResource
{
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept : m_value(Traits::Empty()) {}
    explicit UniqueResource(Type value) noexcept : m_value(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : m_value(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Type get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return Traits::IsValid(m_value); }

    // For out-parameters of creation calls. Whatever was held is released
    // first, so the holder never leaks when it is reused.
    Type* receive() noexcept
    {
        reset();
        return &m_value;
    }

    Type release() noexcept
    {
        Type value = m_value;
        m_value = Traits::Empty();
        return value;
    }

    // Releases the held value (if any) and takes the new one. The platform's
    // last-error value is left as it was, so that a caller can still report
    // the error of the call that failed before the holder was cleaned up.
    void reset(Type value = Traits::Empty()) noexcept
    {
        if (Traits::IsValid(m_value))
        {
            DWORD lastError = GetLastError();
            Traits::Close(m_value);
            SetLastError(lastError);
        }
        m_value = value;
    }

private:
    Type m_value;
};

struct KernelHandleTraits
{
    using Type = HANDLE;
    static Type Empty() noexcept { return nullptr; }
    // Both conventions of the platform: CreateFile answers INVALID_HANDLE_VALUE,
    // most other calls answer null.
    static bool IsValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};

// Handles whose empty value is null and that one platform call closes.
template <typename T, auto CloseFn>
struct NullableHandleTraits
{
    using Type = T;
    static Type Empty() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { CloseFn(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueRegKey = UniqueResource<NullableHandleTraits<HKEY, RegCloseKey>>;
using UniqueModule = UniqueResource<NullableHandleTraits<HMODULE, FreeLibrary>>;
using UniqueLocalMemory = UniqueResource<NullableHandleTraits<HLOCAL, LocalFree>>;
using UniqueGdiObject = UniqueResource<NullableHandleTraits<HGDIOBJ, DeleteObject>>;

// Both handles of a started process.
struct ProcessHandles
{
    UniqueHandle process;
    UniqueHandle thread;

    void Take(const PROCESS_INFORMATION& info) noexcept
    {
        process.reset(info.hProcess);
        thread.reset(info.hThread);
    }
};

// A reference-counted interface holder: Release on every exit path.
template <typename T>
class ComPtr
{
public:
    ComPtr() noexcept = default;
    ~ComPtr() { reset(); }

    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other)
        {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }

    T* get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    T** receive() noexcept
    {
        reset();
        return &m_p;
    }

    void reset() noexcept
    {
        if (m_p != nullptr)
        {
            T* p = m_p;
            m_p = nullptr;
            p->Release();
        }
    }

private:
    T* m_p = nullptr;
};
