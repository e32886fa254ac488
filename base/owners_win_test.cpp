// Resource owners and throw helpers: each resource closed exactly once on every path, and each
// error convention named with its call site.
#include <windows.h>
#include <unknwn.h>  // IUnknown: WIN32_LEAN_AND_MEAN leaves it out

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "base/owners_win.h"

namespace hm {
namespace {

bool IsOpen(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != 0;
}

TEST(UniqueHandle, ClosesOnceAndPutReleaseAndMoveHandOver) {
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(first);
    {
        UniqueKernelHandle owner(first);
        EXPECT_TRUE(owner);
        UniqueKernelHandle moved(std::move(owner));
        EXPECT_FALSE(owner);
        EXPECT_EQ(moved.get(), first);
        EXPECT_TRUE(IsOpen(first));
    }
    EXPECT_FALSE(IsOpen(first));

    UniqueKernelHandle owner(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE before = owner.get();
    *owner.put() = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // put() closes what it held
    EXPECT_FALSE(IsOpen(before));
    HANDLE kept = owner.release();
    EXPECT_FALSE(owner);
    EXPECT_TRUE(IsOpen(kept));
    CloseHandle(kept);

    UniqueFile none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);
    UniqueFile file(CreateFileW(L"Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(file);  // INVALID_HANDLE_VALUE is "none", not a handle to close
}

struct CountedUnknown : IUnknown {
    long refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }
};

TEST(ComPtr, ReleasesOnceOnEveryHandOver) {
    CountedUnknown a, b;
    {
        ComPtr<IUnknown> p(&a);
        ComPtr<IUnknown> q = ComPtr<IUnknown>::Share(&a);
        EXPECT_EQ(a.refs, 2);
        *p.put() = &b;  // put() releases a's reference first
        EXPECT_EQ(a.refs, 1);
        ComPtr<IUnknown> r(std::move(p));
        EXPECT_FALSE(p);
        EXPECT_EQ(r.get(), &b);
        IUnknown* given = q.release();
        EXPECT_EQ(given, &a);
    }
    EXPECT_EQ(a.refs, 1);  // given away, not released
    EXPECT_EQ(b.refs, 0);
}

TEST(ScopeExit, RunsWhenAThrowLeavesTheScopeAndNotWhenDismissed) {
    int runs = 0;
    try {
        auto undo = OnScopeExit([&] { ++runs; });
        throw std::runtime_error("x");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(runs, 1);
    {
        auto undo = OnScopeExit([&] { ++runs; });
        undo.dismiss();
    }
    EXPECT_EQ(runs, 1);
}

std::string Thrown(void (*call)()) {
    try {
        call();
    } catch (const WinApiFailure& e) {
        return e.what();
    }
    return "nothing";
}

TEST(ThrowHelpers, EachConventionNamesItsSiteAndTheRightCode) {
    struct Case {
        const char* name;
        void (*call)();
        const char* text;
    } cases[] = {
        {"failed HRESULT", [] { ThrowIfFailed(11, E_OUTOFMEMORY); }, "Windows API failure at line 11: 0x8007000e"},
        {"null out-pointer after success", [] { ThrowIfFailedOrNull(12, S_OK, nullptr); },
         "Windows API failure at line 12: 0x80004003"},
        {"failed HRESULT with null out", [] { ThrowIfFailedOrNull(13, E_INVALIDARG, nullptr); },
         "Windows API failure at line 13: 0x80070057"},
        {"FALSE with last error", [] { SetLastError(ERROR_ACCESS_DENIED); ThrowIfFalse(14, FALSE); },
         "Windows API failure at line 14: 0x80070005"},
        {"FALSE without last error", [] { SetLastError(0); ThrowIfFalse(15, FALSE); },
         "Windows API failure at line 15: 0x80004005"},
        {"null handle", [] { SetLastError(ERROR_FILE_NOT_FOUND); ThrowIfNull(16, HANDLE(nullptr)); },
         "Windows API failure at line 16: 0x80070002"},
        {"returned code", [] { ThrowIfError(17, ERROR_MORE_DATA); }, "Windows API failure at line 17: 0x800700ea"},
        {"successes", [] {
             int x = 0;
             ThrowIfFailed(1, S_FALSE);
             ThrowIfFailedOrNull(2, S_OK, &x);
             ThrowIfFalse(3, TRUE);
             ThrowIfNull(4, &x);
             ThrowIfError(5, 0);
         }, "nothing"},
    };
    for (const Case& c : cases) EXPECT_EQ(Thrown(c.call), c.text) << c.name;
}

}  // namespace
}  // namespace hm
