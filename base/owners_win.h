// Owners of OS resources and the throw helpers of the Windows shells.
//
// Every handle kind has a one-line owner (handle type, close function, invalid value); COM
// objects have ComPtr. Owners lend with get(), plug into out-parameters with put() and give away
// with release(), so no exit path releases by hand. The throw helpers turn each Windows error
// convention into WinApiFailure with the caller's call-site number.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

#include "base/win_api_failure.h"

namespace hm {

// ---- Handles ----------------------------------------------------------------------------------
// Close is called once for a valid handle; InvalidValue is the handle's "none" (0 or -1).
template <typename Handle, auto Close, std::intptr_t InvalidValue = 0>
class UniqueHandle {
public:
    static Handle Invalid() { return reinterpret_cast<Handle>(InvalidValue); }

    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != Invalid(); }
    // For an out-parameter: closes what it held and hands out the slot.
    Handle* put() {
        reset();
        return &h_;
    }
    Handle release() { return std::exchange(h_, Invalid()); }
    void reset(Handle h = Invalid()) {
        const Handle old = std::exchange(h_, h);
        if (old != Invalid()) Close(old);
    }

private:
    Handle h_ = Invalid();
};

using UniqueKernelHandle = UniqueHandle<HANDLE, &::CloseHandle>;      // thread, event, mutex, mapping, snapshot
using UniqueFile = UniqueHandle<HANDLE, &::CloseHandle, -1>;          // CreateFileW's INVALID_HANDLE_VALUE
using UniqueWindow = UniqueHandle<HWND, &::DestroyWindow>;
using UniqueModule = UniqueHandle<HMODULE, &::FreeLibrary>;
using UniqueWindowsHook = UniqueHandle<HHOOK, &::UnhookWindowsHookEx>;
using UniqueLocal = UniqueHandle<HLOCAL, &::LocalFree>;              // LocalAlloc'd buffers (DPAPI)

// ---- COM --------------------------------------------------------------------------------------
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : p_(p) {}  // adopts a reference
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : p_(other.release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() {
        reset();
        return &p_;
    }
    // For out-parameters typed void** (QueryInterface, CoCreateInstance).
    void** put_void() { return reinterpret_cast<void**>(put()); }
    T* release() { return std::exchange(p_, nullptr); }
    void reset(T* p = nullptr) {
        if (T* old = std::exchange(p_, p)) old->Release();
    }
    // A second reference to what `p` points at.
    static ComPtr Share(T* p) {
        if (p) p->AddRef();
        return ComPtr(p);
    }

private:
    T* p_ = nullptr;
};

// ---- Scope guard ------------------------------------------------------------------------------
// Runs `f` at scope end unless dismissed: for undo steps that are not a resource (unlock a
// rectangle, put a state back, end a scene).
template <typename F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ~ScopeExit() {
        if (armed_) f_();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    void dismiss() { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};
template <typename F>
[[nodiscard]] ScopeExit<F> OnScopeExit(F f) {
    return ScopeExit<F>(std::move(f));
}

// ---- Throw helpers ----------------------------------------------------------------------------
// HRESULT convention.
inline void ThrowIfFailed(int site, HRESULT hr) {
    if (FAILED(hr)) throw WinApiFailure(site, std::uint32_t(hr));
}
// HRESULT with an out-pointer: a "success" that leaves it null is E_POINTER, never "0x0".
inline void ThrowIfFailedOrNull(int site, HRESULT hr, const void* out) {
    ThrowIfFailed(site, hr);
    if (!out) throw WinApiFailure(site, std::uint32_t(E_POINTER));
}
// The last error as an HRESULT; E_FAIL when the call left none.
inline std::uint32_t LastErrorResult() {
    const DWORD error = GetLastError();
    return error ? std::uint32_t(HRESULT_FROM_WIN32(error)) : std::uint32_t(E_FAIL);
}
// BOOL + last error convention.
inline void ThrowIfFalse(int site, BOOL ok) {
    if (!ok) throw WinApiFailure(site, LastErrorResult());
}
// Null handle + last error convention; returns the handle for chaining.
template <typename Handle>
Handle ThrowIfNull(int site, Handle h) {
    if (!h) throw WinApiFailure(site, LastErrorResult());
    return h;
}
// Returned-code convention (registry, WinSock): the code is a Win32 error, 0 success.
inline void ThrowIfError(int site, LONG code) {
    if (code != 0) throw WinApiFailure(site, std::uint32_t(HRESULT_FROM_WIN32(DWORD(code))));
}

}  // namespace hm
