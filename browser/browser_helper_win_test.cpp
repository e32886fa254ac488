// HM_PluginBrowser against the fake framework under 64-bit Wine: the block contract, exit codes,
// frames, titles, navigation, heartbeat close and the cache folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "tools/fake_cef/test_card.h"
#include "tv/frame_block.h"

namespace hm {
namespace {

std::wstring BinDir() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe(self, n);
    return exe.substr(0, exe.find_last_of(L'\\'));
}

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// One block as the plugin makes it, a script for the fake and a running helper.
class HelperRun {
public:
    explicit HelperRun(const std::string& script, std::size_t mapping_bytes = kTvBlockBytes) {
        static int serial = 0;
        name_ = L"Local\\HMMedia-TV-" + std::to_wstring(GetCurrentProcessId()) + L"{00000000-0000-0000-0000-0000000" +
                std::to_wstring(10000 + ++serial) + L"}";
        dir_ = BinDir() + L"\\fake_cef_run";
        CreateDirectoryW(dir_.c_str(), nullptr);
        DeleteFileW((dir_ + L"\\fake_cef_record.txt").c_str());
        if (FILE* f = _wfopen((dir_ + L"\\fake_cef_script.txt").c_str(), L"wb")) {
            std::fwrite(script.data(), 1, script.size(), f);
            std::fclose(f);
        }
        SetEnvironmentVariableW(L"HM_FAKE_CEF_DIR", dir_.c_str());
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(mapping_bytes),
                                      name_.c_str());
        mutex_ = CreateMutexW(nullptr, FALSE, (name_ + L"-lock").c_str());
        view_ = static_cast<std::uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (mapping_bytes >= 24) {
            Block()->magic = kTvBlockMagic;
            Block()->version = kTvBlockVersion;
            Block()->heartbeat = GetTickCount64();
        }
        if (mapping_bytes == kTvBlockBytes) SetUrl(u"https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/player#ab12");
    }
    ~HelperRun() {
        if (process_) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
            CloseHandle(process_);
        }
        UnmapViewOfFile(view_);
        CloseHandle(mutex_);
        CloseHandle(mapping_);
        SetEnvironmentVariableW(L"HM_FAKE_CEF_DIR", nullptr);
    }
    TvFrameBlock* Block() { return reinterpret_cast<TvFrameBlock*>(view_); }
    const std::wstring& Name() const { return name_; }
    void SetUrl(const std::u16string& url) {
        std::memset(Block()->url, 0, sizeof Block()->url);
        std::memcpy(Block()->url, url.data(), url.size() * 2);
    }
    void Start(const std::wstring& args) {
        const std::wstring exe = BinDir() + L"\\HM_PluginBrowser.exe";
        std::wstring cmd = L"\"" + exe + L"\" " + args;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
    }
    void StartNamed(const std::wstring& extra = L"") { Start(L"\"" + name_ + L"\"" + extra); }
    // The exit code, or 259 when the helper still runs after `ms`.
    DWORD Wait(DWORD ms) {
        if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }
    bool Running() { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    template <typename Fn>
    void Locked(Fn&& fn) {
        WaitForSingleObject(mutex_, INFINITE);
        fn(*Block());
        ReleaseMutex(mutex_);
    }
    void Beat() {
        Locked([](TvFrameBlock& b) { b.heartbeat = GetTickCount64(); });
    }
    // Keeps the heartbeat fresh until `done` holds or `ms` pass.
    template <typename Fn>
    bool BeatUntil(DWORD ms, Fn&& done) {
        const ULONGLONG end = GetTickCount64() + ms;
        while (GetTickCount64() < end) {
            Beat();
            bool ok = false;
            Locked([&](TvFrameBlock& b) { ok = done(b); });
            if (ok) return true;
            if (!Running()) return false;
            Sleep(20);
        }
        return false;
    }
    // The number after `key` in the record, -1 without one.
    long long Figure(const std::string& key) const {
        const std::string text = RecordText();
        const std::size_t at = text.find(key);
        return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + key.size());
    }
    std::string RecordText() const {
        std::string text;
        if (FILE* f = _wfopen((dir_ + L"\\fake_cef_record.txt").c_str(), L"rb")) {
            char buf[4096];
            for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
            std::fclose(f);
        }
        return text;
    }
    int Count(const std::string& line) const {
        const std::string text = RecordText();
        int n = 0;
        for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
        return n;
    }
    std::wstring CacheDir() const {
        const std::string text = RecordText();
        const std::size_t at = text.find("initialize cache=");
        if (at == std::string::npos) return {};
        const std::size_t start = at + 17;
        return Widen(text.substr(start, text.find('\n', start) - start));
    }

private:
    std::wstring name_, dir_;
    HANDLE mapping_ = nullptr, mutex_ = nullptr, process_ = nullptr;
    std::uint8_t* view_ = nullptr;
};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(BrowserHelper, RefusesWithItsExitCodes) {
    struct Case {
        const char* what;
        std::string script;
        std::size_t mapping_bytes;
        std::u16string url;    // empty: the good one
        std::wstring args;     // empty: the mapping name
        std::uint32_t magic, version;
        DWORD exit;
    };
    const std::u16string good = u"https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/player#ab12";
    const std::vector<Case> cases = {
        {"unknown switch", "", kTvBlockBytes, u"", L"@ --version", kTvBlockMagic, 1, 2},
        {"no arguments", "", kTvBlockBytes, u"", L" ", kTvBlockMagic, 1, 2},
        {"16-character name", "", kTvBlockBytes, u"", L"Local\\HMMedia-TV", kTvBlockMagic, 1, 3},
        {"121-character name", "", kTvBlockBytes, u"", L"Local\\HMMedia-TV-" + std::wstring(104, L'x'), kTvBlockMagic, 1, 3},
        {"global name", "", kTvBlockBytes, u"", L"Global\\HMMedia-TV-1{x}", kTvBlockMagic, 1, 3},
        {"no such mapping", "", kTvBlockBytes, u"", L"Local\\HMMedia-TV-0{none}", kTvBlockMagic, 1, 4},
        {"smaller mapping", "", 4096, u"", L"", kTvBlockMagic, 1, 5},
        {"wrong magic", "", kTvBlockBytes, u"", L"", 0x484d5457, 1, 5},
        {"version 2", "", kTvBlockBytes, u"", L"", kTvBlockMagic, 2, 5},
        {"no fragment", "", kTvBlockBytes, u"https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/player", L"", kTvBlockMagic, 1, 6},
        {"upper-case scheme", "", kTvBlockBytes, u"HTTPS://127.0.0.1:8443/tv/player#ab12", L"", kTvBlockMagic, 1, 6},
        {"loop-back without switch", "", kTvBlockBytes, u"http://127.0.0.1:8443/tv/player#ab12", L"", kTvBlockMagic, 1, 6},
        {"other loop-back", "", kTvBlockBytes, u"http://127.0.0.10:8443/tv/player#ab12", L"@ --local-test", kTvBlockMagic, 1, 6},
        {"framework of another version", "api_version=15100\n", kTvBlockBytes, u"", L"", kTvBlockMagic, 1, 7},
        {"initialize fails", "initialize=fail\n", kTvBlockBytes, u"", L"", kTvBlockMagic, 1, 7},
        {"no browser", "browser=none\n", kTvBlockBytes, u"", L"", kTvBlockMagic, 1, 8},
        {"context never ready", "context_ready_after=never\n", kTvBlockBytes, u"", L"", kTvBlockMagic, 1, 8},
        {"child process", "execute_process=3\n", kTvBlockBytes, u"", L"", kTvBlockMagic, 1, 3},
        {"child process 0", "execute_process=0\n", kTvBlockBytes, u"", L"@ --bogus", kTvBlockMagic, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HelperRun run(c.script, c.mapping_bytes);
        if (c.mapping_bytes == kTvBlockBytes) {
            run.Block()->magic = c.magic;
            run.Block()->version = c.version;
            if (!c.url.empty()) run.SetUrl(c.url);
        }
        std::wstring args = c.args.empty() ? L"@" : c.args;
        const std::size_t at = args.find(L'@');
        if (at != std::wstring::npos) args.replace(at, 1, L"\"" + run.Name() + L"\"");
        run.Start(args);
        EXPECT_EQ(run.Wait(30000), c.exit);
        EXPECT_EQ(run.Count("api_hash 15200 0"), 1) << "the version is asked first, once";
        // The cache folder of a failed start does not stay behind.
        const std::wstring cache = run.CacheDir();
        if (!cache.empty()) {
            EXPECT_FALSE(Exists(cache));
        }
        EXPECT_EQ(run.Count("breach"), 0) << run.RecordText();
        if (c.script.rfind("execute_process", 0) == 0) {
            EXPECT_EQ(run.Count("switch"), 0) << "no autoplay switch in a child";
        }
    }
}

TEST(BrowserHelper, FramesTitlesNavigationAndAStaleHeartbeat) {
    HelperRun run(
        "title=3:HMMedia:playing\n"
        "title=5:HMMedia:error:404\n"
        "title=7:HMMedia:paused\n"
        "navigate=4:main:https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/player#other\n"
        "navigate=4:main:https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/Player#ab12\n"
        "navigate=4:main:https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/player?q=1#ab12\n"
        "navigate=4:main:https://evil.example/HM/MEDIA-PLUGIN/test-api/tv/player#ab12\n"
        "navigate=4:sub:https://www.youtube.com/embed/x\n");
    run.StartNamed();
    std::vector<std::uint32_t> statuses;
    ASSERT_TRUE(run.BeatUntil(20000, [&](TvFrameBlock& b) {
        if (statuses.empty() || statuses.back() != b.status) statuses.push_back(b.status);
        return b.frame_counter >= 10;
    })) << run.RecordText();
    // The frame in the block is the fake's card of the frame it names, pixel for pixel.
    run.Locked([](TvFrameBlock& b) {
        const std::uint32_t number = fake_cef::CardFrameNumber(b.frame);
        EXPECT_GE(number, 10u);
        std::vector<std::uint8_t> card(kTvFrameBytes);
        fake_cef::PaintCard(number, card.data());
        EXPECT_EQ(std::memcmp(card.data(), b.frame, kTvFrameBytes), 0);
        EXPECT_EQ(b.status, 2u);
    });
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), 1u), statuses.end());
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), 1404u), statuses.end());
    EXPECT_EQ(run.Count("navigate main https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/player#other allow"), 1);
    EXPECT_EQ(run.Count("tv/Player#ab12 cancel"), 1);
    EXPECT_EQ(run.Count("player?q=1#ab12 cancel"), 1);
    EXPECT_EQ(run.Count("evil.example/HM/MEDIA-PLUGIN/test-api/tv/player#ab12 cancel"), 1);
    EXPECT_EQ(run.Count("navigate sub https://www.youtube.com/embed/x allow"), 1);
    EXPECT_EQ(run.Count("switch browser autoplay-policy=no-user-gesture-required"), 1);
    EXPECT_EQ(run.Count("browser url=https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/player#ab12"), 1);
    EXPECT_TRUE(run.Running());

    // 8001 ms without a beat: one forced close, a clean end.
    run.Locked([](TvFrameBlock& b) { b.heartbeat = GetTickCount64() - 8001; });
    EXPECT_EQ(run.Wait(20000), 0u) << run.RecordText();
    EXPECT_EQ(run.Count("close force=1"), 1);
    EXPECT_EQ(run.Count("before_close"), 1);
    EXPECT_EQ(run.Count("breach"), 0) << run.RecordText();
    const std::wstring cache = run.CacheDir();
    ASSERT_FALSE(cache.empty());
    EXPECT_FALSE(Exists(cache));
}

TEST(BrowserHelper, EndsCleanlyInTheseCases) {
    struct Case {
        const char* what;
        std::string script;
        std::wstring extra;
        bool close_request;  // else the heartbeat stops
        DWORD exit;
    };
    const std::vector<Case> cases = {
        {"close request", "", L"", true, 0},
        {"a heartbeat ahead is fresh, the close request still counts", "", L"", true, 0},
        {"cache file held for a moment", "hold_cache_file_ms=400\n", L"", true, 0},
        {"odd paints", "odd_paints=1\n", L"", true, 0},
        {"close never confirmed", "close=never\n", L"", true, 0},
        {"selftest page", "", L" --selftest", true, 0},
        {"helper crash", "exit_after_frames=5\nexit_code=0xC0000005\n", L"", true, 0xC0000005u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HelperRun run(c.script);
        run.StartNamed(c.extra);
        const bool framed = run.BeatUntil(20000, [](TvFrameBlock& b) { return b.frame_counter >= 3; });
        if (c.exit != 0) {
            EXPECT_EQ(run.Wait(20000), c.exit);
            continue;
        }
        ASSERT_TRUE(framed) << run.RecordText();
        run.Locked([&](TvFrameBlock& b) {
            // Only the card's own frames land: no pop-up, scaled or empty paint.
            const std::uint32_t number = fake_cef::CardFrameNumber(b.frame);
            std::vector<std::uint8_t> card(kTvFrameBytes);
            fake_cef::PaintCard(number, card.data());
            EXPECT_EQ(std::memcmp(card.data(), b.frame, kTvFrameBytes), 0);
            EXPECT_LE(b.frame_counter, number);
            b.heartbeat = GetTickCount64() + 60000;
            b.close_request = 1;
        });
        EXPECT_EQ(run.Wait(20000), 0u) << run.RecordText();
        EXPECT_EQ(run.Count("close force=1"), 1);
        EXPECT_EQ(run.Count("breach"), 0) << run.RecordText();
        const std::wstring cache = run.CacheDir();
        ASSERT_FALSE(cache.empty());
        EXPECT_FALSE(Exists(cache));
        if (c.extra == L" --selftest") {
            EXPECT_EQ(run.Count("browser url=data:text/html,"), 1);
        }
    }
}

// A title change that finds the frame mutex taken is written once the mutex is free again.
TEST(BrowserHelper, StatusOfATitleSeenWhileTheMutexWasBusyArrivesLate) {
    HelperRun run("title=3:HMMedia:paused\n");
    HANDLE held = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, (run.Name() + L"-lock").c_str());
    ASSERT_NE(held, nullptr);
    ASSERT_EQ(WaitForSingleObject(held, INFINITE), WAIT_OBJECT_0);
    run.Block()->heartbeat = GetTickCount64();
    run.StartNamed();
    const ULONGLONG end = GetTickCount64() + 20000;
    while (run.Count("title HMMedia:paused") == 0 && GetTickCount64() < end) Sleep(20);
    ASSERT_EQ(run.Count("title HMMedia:paused"), 1) << run.RecordText();
    EXPECT_EQ(run.Block()->status, 0u);
    ReleaseMutex(held);
    CloseHandle(held);
    EXPECT_TRUE(run.BeatUntil(5000, [](TvFrameBlock& b) { return b.status == 2; }));
    run.Locked([](TvFrameBlock& b) { b.close_request = 1; });
    EXPECT_EQ(run.Wait(20000), 0u);
}

// The helper's own cost between its browser's creation and shutdown (about 3 s), painting 30
// frames a second and with the page standing still (the loop alone), as its process measures it.
TEST(BrowserHelper, CpuAtThirtyFramesAndPaused) {
    double figures[2] = {0, 0};
    for (int paused = 0; paused < 2; ++paused) {
        HelperRun run(paused ? "paused=1\n" : "");
        run.StartNamed();
        ASSERT_TRUE(run.BeatUntil(20000, [&](TvFrameBlock& b) { return paused || b.frame_counter >= 1; })) << run.RecordText();
        run.BeatUntil(3000, [](TvFrameBlock&) { return false; });
        std::uint32_t frames = 0;
        run.Locked([&](TvFrameBlock& b) {
            frames = b.frame_counter;
            b.close_request = 1;
        });
        EXPECT_EQ(run.Wait(20000), 0u);
        const double cpu = double(run.Figure("cpu_ms_at_shutdown=") - run.Figure("cpu_ms_at_browser="));
        const std::string text = run.RecordText();
        const std::size_t t0 = text.find("tick=", text.find("cpu_ms_at_browser="));
        const std::size_t t1 = text.find("tick=", text.find("cpu_ms_at_shutdown="));
        ASSERT_NE(t0, std::string::npos);
        ASSERT_NE(t1, std::string::npos);
        const double elapsed = double(std::atoll(text.c_str() + t1 + 5) - std::atoll(text.c_str() + t0 + 5));
        figures[paused] = cpu / elapsed * 100.0;
        std::printf("[ figures  ] helper %s: %.1f %% of a core over %.0f ms, %u frames\n", paused ? "paused" : "at 30 fps",
                    figures[paused], elapsed, frames);
        if (paused) {
            EXPECT_EQ(frames, 0u);
        } else {
            EXPECT_GE(frames, 45u);
        }
    }
    EXPECT_LE(figures[1], figures[0]);
}

}  // namespace
}  // namespace hm
