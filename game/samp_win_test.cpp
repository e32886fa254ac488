// The live SA-MP path against a fake samp.dll laid out like one known build.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "game/samp_win.h"

namespace hm {
namespace {

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct FakeSamp {
    HMODULE module = nullptr;
    int (*lineCount)() = nullptr;
    const char* (*line)(int) = nullptr;
    void* (*lastObject)() = nullptr;
    void* (*chatObject)() = nullptr;
    void (*setChatOpen)(int) = nullptr;
    void (*setDialogShown)(int) = nullptr;

    FakeSamp() {
        wchar_t self[MAX_PATH];
        std::wstring dir(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
        dir.resize(dir.find_last_of(L'\\') + 1);
        module = LoadLibraryW((dir + L"samp.dll").c_str());
        if (!module) return;
        lineCount = Export<int (*)()>(module, "FakeSampLineCount");
        line = Export<const char* (*)(int)>(module, "FakeSampLine");
        lastObject = Export<void* (*)()>(module, "FakeSampLastObject");
        chatObject = Export<void* (*)()>(module, "FakeSampChatObject");
        setChatOpen = Export<void (*)(int)>(module, "FakeSampSetChatOpen");
        setDialogShown = Export<void (*)(int)>(module, "FakeSampSetDialogShown");
    }
    ~FakeSamp() {
        if (module) FreeLibrary(module);
    }
};

TEST(SampLive, WithoutSampNothingIsFreeOrSent) {
    ASSERT_EQ(GetModuleHandleW(L"samp.dll"), nullptr);
    EXPECT_FALSE(IsChatFree());
    EXPECT_FALSE(SendChatInput("/hmpluginbind 1234"));
}

TEST(SampLive, KnownBuildIsFoundAndTheLineReachesTheRoutine) {
    FakeSamp samp;
    ASSERT_NE(samp.module, nullptr) << GetLastError();
    ASSERT_NE(samp.lineCount, nullptr);
    // The fake is really laid out like the build: its PE entry point is the table's.
    const auto* base = reinterpret_cast<const BYTE*>(samp.module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.AddressOfEntryPoint, 0xCC4D0u);

    EXPECT_TRUE(IsChatFree());
    ASSERT_TRUE(SendChatInput("/hmpluginbind 5f2c9a"));
    ASSERT_TRUE(SendChatInput("/hmladderkey 3"));
    ASSERT_EQ(samp.lineCount(), 2);
    EXPECT_STREQ(samp.line(0), "/hmpluginbind 5f2c9a");
    EXPECT_STREQ(samp.line(1), "/hmladderkey 3");
    // Called as a member function of the chat input object.
    EXPECT_EQ(samp.lastObject(), samp.chatObject());
    EXPECT_FALSE(SendChatInput(nullptr));

    samp.setChatOpen(1);
    EXPECT_FALSE(IsChatFree());
    samp.setChatOpen(0);
    samp.setDialogShown(7);
    EXPECT_FALSE(IsChatFree());
    samp.setDialogShown(0);
    EXPECT_TRUE(IsChatFree());
}

TEST(SampLive, GuardedReadsRefuseBadAddressesWithoutFaulting) {
    std::uint32_t v = 0;
    EXPECT_FALSE(GuardedRead32(ProcessMemory(), 0x10000, v));
    void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_READWRITE);  // not committed
    ASSERT_NE(reserved, nullptr);
    EXPECT_FALSE(GuardedRead32(ProcessMemory(), GameAddress(reinterpret_cast<std::uintptr_t>(reserved)), v));
    VirtualFree(reserved, 0, MEM_RELEASE);
    EXPECT_FALSE(GuardedRead32(ProcessMemory(), GameAddress(reinterpret_cast<std::uintptr_t>(reserved)), v));
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(GuardedRead32(ProcessMemory(), GameAddress(reinterpret_cast<std::uintptr_t>(page)), v));
    DWORD old = 0;
    VirtualProtect(page, 4096, PAGE_READWRITE, &old);
    *static_cast<std::uint32_t*>(page) = 0xCAFEF00D;
    EXPECT_TRUE(GuardedRead32(ProcessMemory(), GameAddress(reinterpret_cast<std::uintptr_t>(page)), v));
    EXPECT_EQ(v, 0xCAFEF00Du);
    // A read that runs from a readable page into a guarded one is refused as a whole.
    char* two = static_cast<char*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(two, nullptr);
    VirtualProtect(two + 4096, 4096, PAGE_READWRITE | PAGE_GUARD, &old);
    EXPECT_TRUE(GuardedRead32(ProcessMemory(), GameAddress(reinterpret_cast<std::uintptr_t>(two + 4092)), v));
    EXPECT_FALSE(GuardedRead32(ProcessMemory(), GameAddress(reinterpret_cast<std::uintptr_t>(two + 4094)), v));
    VirtualFree(two, 0, MEM_RELEASE);
    VirtualFree(page, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace hm
