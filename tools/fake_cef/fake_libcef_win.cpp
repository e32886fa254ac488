// A stand-in libcef.dll (64-bit) for the browser helper's tests. It drives the framework's whole
// life cycle against the helper: child-process question, initialize, a browser that exists only
// once the context is ready, paints of a test card at the set rate, scripted titles and
// navigations, close and shutdown. It checks what the real framework would insist on -- call
// order, structure sizes (against its own literals, not the helper's declarations), settings,
// references and freed strings -- and ends the process with kBreachExit on any breach.
//
// Script: fake_cef_script.txt, record: fake_cef_record.txt, both in the folder named by the
// environment variable HM_FAKE_CEF_DIR, else beside this DLL. Script lines (key=value):
//   api_version=N          the version cef_api_hash knows (15200)
//   execute_process=N      answer as a child process of type "renderer" with N
//   initialize=fail        cef_initialize returns 0
//   browser=none           no browser is ever created
//   context_ready_after=N  message-loop units after initialize before a browser can exist (3; "never")
//   close=never            a close request is never confirmed
//   odd_paints=1           every frame is preceded by a pop-up, a 1920 x 1080 and a null paint
//   paused=1               the page stands still: no paints at all
//   exit_after_frames=N    after N frames end the process with exit_code=X
//   hold_cache_file_ms=N   at shutdown a file in the cache folder stays held for N ms
//   title=F:text           at frame F the page sets its title
//   navigate=F:main|sub:url  at frame F the page navigates
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/fake_cef/test_card.h"

namespace {

constexpr int kBreachExit = 77;
constexpr std::size_t kBaseSize = 40;
constexpr std::size_t Slot(int k) { return kBaseSize + 8 * static_cast<std::size_t>(k - 1); }

// --- Script and record ------------------------------------------------------------------------
struct Timed {
    std::uint32_t frame;
    std::string kind;  // "main"/"sub" for navigations
    std::u16string text;
};

struct Script {
    int api_version = 15200;
    int execute_process = -1;
    bool initialize_fails = false;
    bool no_browser = false;
    long context_ready_after = 3;  // -1: never
    bool close_never = false;
    bool odd_paints = false;
    bool paused = false;
    long exit_after_frames = -1;
    unsigned exit_code = 0;
    unsigned hold_cache_file_ms = 0;
    std::vector<Timed> titles, navigations;
};

std::wstring g_dir;
Script g_script;
HMODULE g_self = nullptr;

std::u16string Utf16(const std::string& s) {
    std::u16string out;
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return std::u16string(w.begin(), w.end());
}
std::string Utf8(const std::u16string& s) {
    const std::wstring w(s.begin(), s.end());
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void Record(const std::string& line) {
    FILE* f = _wfopen((g_dir + L"\\fake_cef_record.txt").c_str(), L"ab");
    if (!f) return;
    std::fputs((line + "\n").c_str(), f);
    std::fclose(f);
}

[[noreturn]] void Breach(const std::string& why) {
    Record("breach " + why);
    ExitProcess(kBreachExit);
}

void LoadScript() {
    wchar_t buf[MAX_PATH];
    const DWORD env = GetEnvironmentVariableW(L"HM_FAKE_CEF_DIR", buf, MAX_PATH);
    if (env > 0 && env < MAX_PATH) {
        g_dir = buf;
    } else {
        const DWORD n = GetModuleFileNameW(g_self, buf, MAX_PATH);
        g_dir.assign(buf, n);
        g_dir = g_dir.substr(0, g_dir.find_last_of(L'\\'));
    }
    FILE* f = _wfopen((g_dir + L"\\fake_cef_script.txt").c_str(), L"rb");
    if (!f) return;
    char line[4096];
    while (std::fgets(line, sizeof line, f)) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        const std::size_t eq = s.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = s.substr(0, eq), value = s.substr(eq + 1);
        const auto num = [&] { return std::strtol(value.c_str(), nullptr, 0); };
        if (key == "api_version") g_script.api_version = static_cast<int>(num());
        else if (key == "execute_process") g_script.execute_process = static_cast<int>(num());
        else if (key == "initialize") g_script.initialize_fails = value == "fail";
        else if (key == "browser") g_script.no_browser = value == "none";
        else if (key == "context_ready_after") g_script.context_ready_after = value == "never" ? -1 : num();
        else if (key == "close") g_script.close_never = value == "never";
        else if (key == "odd_paints") g_script.odd_paints = value == "1";
        else if (key == "paused") g_script.paused = value == "1";
        else if (key == "exit_after_frames") g_script.exit_after_frames = num();
        else if (key == "exit_code") g_script.exit_code = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 0));
        else if (key == "hold_cache_file_ms") g_script.hold_cache_file_ms = static_cast<unsigned>(num());
        else if (key == "title" || key == "navigate") {
            Timed t;
            const std::size_t c1 = value.find(':');
            t.frame = static_cast<std::uint32_t>(std::strtoul(value.substr(0, c1).c_str(), nullptr, 10));
            std::string rest = c1 == std::string::npos ? "" : value.substr(c1 + 1);
            if (key == "navigate") {
                const std::size_t c2 = rest.find(':');
                t.kind = rest.substr(0, c2);
                rest = c2 == std::string::npos ? "" : rest.substr(c2 + 1);
                t.text = Utf16(rest);
                g_script.navigations.push_back(t);
            } else {
                t.text = Utf16(rest);
                g_script.titles.push_back(t);
            }
        }
    }
    std::fclose(f);
}

// --- Raw access to the client's structures: offsets are this fake's own literals -------------
template <typename T>
T At(const void* object, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const char*>(object) + offset, sizeof value);
    return value;
}
std::size_t SizeOf(const void* object) { return At<std::size_t>(object, 0); }
void ExpectSize(const void* object, std::size_t size, const char* what) {
    if (!object) Breach(std::string("null ") + what);
    if (SizeOf(object) != size) Breach(std::string("size ") + what + " " + std::to_string(SizeOf(object)));
}
template <typename Fn>
Fn SlotOf(const void* object, int k, const char* what) {
    const Fn fn = At<Fn>(object, Slot(k));
    if (!fn) Breach(std::string("empty slot ") + what);
    return fn;
}

struct FakeString {  // cef_string_t
    char16_t* str;
    std::size_t length;
    void (*dtor)(char16_t*);
};
std::u16string TextOf(const void* cef_string) {
    if (!cef_string) return {};
    const FakeString s = At<FakeString>(cef_string, 0);
    return s.str ? std::u16string(s.str, s.length) : std::u16string();
}

// --- The framework's own objects: reference counted, counted by the fake ---------------------
struct FakeObject {
    std::uintptr_t words[40];  // base (size + 4 functions) and the slots
    std::atomic<long> refs{1};  // the fake's own reference
    const char* kind = "";
};

void __stdcall AddRef(void* self) { ++static_cast<FakeObject*>(self)->refs; }
int __stdcall ReleaseRef(void* self) {
    auto* o = static_cast<FakeObject*>(self);
    if (--o->refs <= 0) Breach(std::string("released too often ") + o->kind);
    return 0;
}
int __stdcall HasOneRef(void* self) { return static_cast<FakeObject*>(self)->refs == 1; }
int __stdcall HasAtLeastOneRef(void* self) { return static_cast<FakeObject*>(self)->refs >= 1; }

void InitObject(FakeObject& o, std::size_t size, const char* kind) {
    std::memset(o.words, 0, sizeof o.words);
    o.words[0] = size;
    o.words[1] = reinterpret_cast<std::uintptr_t>(&AddRef);
    o.words[2] = reinterpret_cast<std::uintptr_t>(&ReleaseRef);
    o.words[3] = reinterpret_cast<std::uintptr_t>(&HasOneRef);
    o.words[4] = reinterpret_cast<std::uintptr_t>(&HasAtLeastOneRef);
    o.kind = kind;
}
template <typename Fn>
void SetSlot(FakeObject& o, int k, Fn fn) {
    o.words[4 + k] = reinterpret_cast<std::uintptr_t>(fn);
}
// Hands the object over as an argument: the receiver owns one reference.
void* Give(FakeObject& o) {
    ++o.refs;
    return &o;
}

FakeObject g_browser, g_host, g_main_frame, g_sub_frame, g_request, g_command_line;
std::u16string g_request_url;
std::vector<std::string> g_switches;
std::atomic<long> g_userfree_out{0};

void* __stdcall BrowserGetHost(void*) { return Give(g_host); }
bool g_close_pending = false;
bool g_closed = false;
void __stdcall HostCloseBrowser(void*, int force) {
    Record("close force=" + std::to_string(force));
    if (g_closed) Breach("close after before_close");
    g_close_pending = true;
}
int __stdcall FrameIsMainMain(void*) { return 1; }
int __stdcall FrameIsMainSub(void*) { return 0; }

void __stdcall StringDtor(char16_t* s) { delete[] s; }
void* __stdcall RequestGetUrl(void*) {
    auto* s = new FakeString{new char16_t[g_request_url.size() + 1], g_request_url.size(), &StringDtor};
    std::memcpy(s->str, g_request_url.c_str(), (g_request_url.size() + 1) * 2);
    ++g_userfree_out;
    return s;
}
void __stdcall CommandLineAppendSwitchWithValue(void*, const void* name, const void* value) {
    g_switches.push_back(Utf8(TextOf(name)) + "=" + Utf8(TextOf(value)));
}

void MakeObjects() {
    InitObject(g_browser, 0, "browser");
    SetSlot(g_browser, 2, &BrowserGetHost);
    InitObject(g_host, 0, "host");
    SetSlot(g_host, 2, &HostCloseBrowser);
    InitObject(g_main_frame, 0, "frame");
    SetSlot(g_main_frame, 16, &FrameIsMainMain);
    InitObject(g_sub_frame, 0, "sub-frame");
    SetSlot(g_sub_frame, 16, &FrameIsMainSub);
    InitObject(g_request, 0, "request");
    SetSlot(g_request, 2, &RequestGetUrl);
    InitObject(g_command_line, 0, "command line");
    SetSlot(g_command_line, 16, &CommandLineAppendSwitchWithValue);
}

// --- Life cycle -------------------------------------------------------------------------------
enum class Phase { Loaded, Hashed, Executed, Initialized, Shutdown };
Phase g_phase = Phase::Loaded;
void* g_client = nullptr;
std::wstring g_cache_dir;
long g_units_after_init = 0;
int g_frame_rate = 0;
std::uint32_t g_frames = 0;
ULONGLONG g_last_paint = 0;
bool g_browser_made = false;
std::vector<std::uint8_t> g_card(static_cast<std::size_t>(hm::fake_cef::kCardWidth) * hm::fake_cef::kCardHeight * 4);

void ExpectPhase(Phase at_least, const char* call) {
    if (g_phase == Phase::Shutdown) Breach(std::string(call) + " after shutdown");
    if (g_phase < at_least) Breach(std::string(call) + " out of order");
}

// The app's command-line callback, as the framework calls it for a process of `type`.
void AskApp(void* app, const char16_t* type) {
    ExpectSize(app, 80, "app");
    using Fn = void(__stdcall*)(void*, const void*, void*);
    const Fn fn = At<Fn>(app, Slot(1));
    if (!fn) return;
    const std::u16string t(type);
    FakeString s{const_cast<char16_t*>(t.c_str()), t.size(), nullptr};
    const std::size_t before = g_switches.size();
    fn(app, &s, Give(g_command_line));
    for (std::size_t i = before; i < g_switches.size(); ++i) Record("switch " + (t.empty() ? std::string("browser") : Utf8(t)) + " " + g_switches[i]);
}

void* Handler(int client_slot, std::size_t size, const char* what) {
    using Get = void*(__stdcall*)(void*);
    void* h = SlotOf<Get>(g_client, client_slot, what)(g_client);
    ExpectSize(h, size, what);
    return h;
}

void Paint(int type, const void* buffer, int width, int height) {
    void* render = Handler(17, 176, "render handler");
    using Fn = void(__stdcall*)(void*, void*, int, std::size_t, const void*, const void*, int, int);
    const int rect[4] = {0, 0, width, height};
    SlotOf<Fn>(render, 8, "on_paint")(render, Give(g_browser), type, 1, rect, buffer, width, height);
}

void SendTitle(const std::u16string& title) {
    void* display = Handler(5, 144, "display handler");
    using Fn = void(__stdcall*)(void*, void*, const void*);
    FakeString s{const_cast<char16_t*>(title.c_str()), title.size(), nullptr};
    SlotOf<Fn>(display, 2, "on_title_change")(display, Give(g_browser), &s);
    Record("title " + Utf8(title));
}

void Navigate(const Timed& n) {
    void* request = Handler(18, 128, "request handler");
    using Fn = int(__stdcall*)(void*, void*, void*, void*, int, int);
    g_request_url = n.text;
    FakeObject& frame = n.kind == "sub" ? g_sub_frame : g_main_frame;
    const int cancel = SlotOf<Fn>(request, 1, "on_before_browse")(request, Give(g_browser), Give(frame), Give(g_request), 0, 0);
    Record("navigate " + n.kind + " " + Utf8(n.text) + (cancel ? " cancel" : " allow"));
}

void PaintFrame() {
    ++g_frames;
    if (g_script.odd_paints) {
        static std::vector<std::uint8_t> big(1920u * 1080u * 4u, 0x55);
        Paint(1, g_card.data(), 200, 100);       // a pop-up
        Paint(0, big.data(), 1920, 1080);        // after a scale change
        Paint(0, nullptr, 960, 540);             // no pixels
    }
    hm::fake_cef::PaintCard(g_frames, g_card.data());
    Paint(0, g_card.data(), hm::fake_cef::kCardWidth, hm::fake_cef::kCardHeight);
    if (g_frames == 1) Record("first frame");
    for (const Timed& t : g_script.titles)
        if (t.frame == g_frames) SendTitle(t.text);
    for (const Timed& n : g_script.navigations)
        if (n.frame == g_frames) Navigate(n);
    if (g_script.exit_after_frames >= 0 && g_frames >= static_cast<std::uint32_t>(g_script.exit_after_frames)) {
        Record("exit " + std::to_string(g_script.exit_code));
        TerminateProcess(GetCurrentProcess(), g_script.exit_code);
    }
}

// This process's user and kernel time so far (another process's times are not known to Wine).
long long CpuMs() {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return -1;
    const auto ticks = [](FILETIME t) { return static_cast<long long>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime); };
    return (ticks(kernel) + ticks(user)) / 10000;
}

void CheckReferences() {
    for (FakeObject* o : {&g_browser, &g_host, &g_main_frame, &g_sub_frame, &g_request, &g_command_line})
        if (o->refs != 1) Breach(std::string("references ") + o->kind + " " + std::to_string(o->refs - 1));
    if (g_userfree_out != 0) Breach("strings not freed " + std::to_string(g_userfree_out.load()));
}

DWORD WINAPI HoldFile(LPVOID param) {
    HANDLE h = static_cast<HANDLE>(param);
    Sleep(g_script.hold_cache_file_ms);
    CloseHandle(h);
    return 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) const char* cef_api_hash(int version, int entry) {
    if (g_phase != Phase::Loaded && g_phase != Phase::Hashed) Breach("api_hash late");
    Record("api_hash " + std::to_string(version) + " " + std::to_string(entry));
    if (version != g_script.api_version) return nullptr;
    g_phase = Phase::Hashed;
    return "6d0ff9b8b2f1e2c4f5e0a1b2c3d4e5f6a7b8c9d0";
}

__declspec(dllexport) int cef_api_version() { return g_script.api_version; }

__declspec(dllexport) int cef_execute_process(const void* args, void* app, void*) {
    ExpectPhase(Phase::Hashed, "execute_process");
    if (g_phase != Phase::Hashed) Breach("execute_process twice");
    if (!args) Breach("null main args");
    g_phase = Phase::Executed;
    Record("execute_process " + std::to_string(g_script.execute_process));
    if (g_script.execute_process >= 0 && app) AskApp(app, u"renderer");
    return g_script.execute_process;
}

__declspec(dllexport) int cef_initialize(const void* args, const void* settings, void* app, void*) {
    ExpectPhase(Phase::Executed, "initialize");
    if (g_phase != Phase::Executed) Breach("initialize twice");
    if (!args) Breach("null main args");
    ExpectSize(settings, 448, "settings");
    if (At<int>(settings, 8) != 1) Breach("sandbox on");
    if (At<int>(settings, 88) != 0) Breach("multi-threaded message loop");
    if (At<int>(settings, 96) != 1) Breach("windowless rendering off");
    if (At<int>(settings, 256) != 99) Breach("logging on");
    const std::u16string cache = TextOf(static_cast<const char*>(settings) + 128);
    g_cache_dir.assign(cache.begin(), cache.end());
    const DWORD attrs = GetFileAttributesW(g_cache_dir.c_str());
    if (g_cache_dir.empty() || attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY))
        Breach("root cache path is no folder");
    if (app) AskApp(app, u"");
    if (g_script.initialize_fails) {
        Record("initialize failed");
        return 0;
    }
    // Something of the framework's own in the cache, as the real one leaves there.
    const std::wstring marker = g_cache_dir + L"\\Local State";
    HANDLE h = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    g_phase = Phase::Initialized;
    Record("initialize cache=" + Utf8(cache));
    return 1;
}

__declspec(dllexport) void* cef_browser_host_create_browser_sync(const void* window, void* client, const void* url,
                                                                  const void* settings, void*, void*) {
    ExpectPhase(Phase::Initialized, "create_browser_sync");
    if (g_browser_made) Breach("second browser");
    ExpectSize(window, 112, "window info");
    if (At<int>(window, 80) != 1) Breach("window not windowless");
    if (At<HWND>(window, 64) != nullptr) Breach("parent window");
    if (At<int>(window, 104) != 2) Breach("runtime style " + std::to_string(At<int>(window, 104)));
    ExpectSize(client, 192, "client");
    ExpectSize(settings, 264, "browser settings");
    g_frame_rate = At<int>(settings, 8);
    if (g_frame_rate != 30) Breach("frame rate " + std::to_string(g_frame_rate));
    if (At<std::uint32_t>(settings, 248) != 0xFF000000u) Breach("background colour");
    if (g_script.no_browser) return nullptr;
    if (g_script.context_ready_after < 0 || g_units_after_init < g_script.context_ready_after) return nullptr;
    g_client = client;
    // Every handler the helper names must be of its version's size.
    Handler(5, 144, "display handler");
    Handler(14, 88, "life span handler");
    Handler(17, 176, "render handler");
    Handler(18, 128, "request handler");
    void* render = Handler(17, 176, "render handler");
    using Rect = void(__stdcall*)(void*, void*, int*);
    int rect[4] = {-1, -1, -1, -1};
    SlotOf<Rect>(render, 3, "get_view_rect")(render, Give(g_browser), rect);
    if (rect[0] != 0 || rect[1] != 0 || rect[2] != 960 || rect[3] != 540) Breach("view rectangle");
    g_browser_made = true;
    Record("browser url=" + Utf8(TextOf(url)));
    Record("cpu_ms_at_browser=" + std::to_string(CpuMs()) + " tick=" + std::to_string(GetTickCount64()));
    return Give(g_browser);
}

__declspec(dllexport) void cef_do_message_loop_work() {
    ExpectPhase(Phase::Initialized, "do_message_loop_work");
    ++g_units_after_init;
    if (!g_browser_made || g_closed) return;
    if (g_close_pending) {
        if (g_script.close_never) return;
        g_closed = true;
        void* life = Handler(14, 88, "life span handler");
        using Fn = void(__stdcall*)(void*, void*);
        SlotOf<Fn>(life, 6, "on_before_close")(life, Give(g_browser));
        Record("before_close");
        return;
    }
    const ULONGLONG now = GetTickCount64();
    if (!g_script.paused && now - g_last_paint >= static_cast<ULONGLONG>(1000 / g_frame_rate)) {
        g_last_paint = now;
        PaintFrame();
    }
}

__declspec(dllexport) void cef_shutdown() {
    ExpectPhase(Phase::Initialized, "shutdown");
    if (g_browser_made && !g_closed && !g_script.close_never) Breach("shutdown with an open browser");
    CheckReferences();
    g_phase = Phase::Shutdown;
    if (g_script.hold_cache_file_ms) {
        const std::wstring held = g_cache_dir + L"\\held.tmp";
        HANDLE h = CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(CreateThread(nullptr, 0, HoldFile, h, 0, nullptr));
    }
    Record("shutdown frames=" + std::to_string(g_frames));
    Record("cpu_ms_at_shutdown=" + std::to_string(CpuMs()) + " tick=" + std::to_string(GetTickCount64()));
}

__declspec(dllexport) void cef_string_userfree_utf16_free(void* str) {
    if (!str) return;
    auto* s = static_cast<FakeString*>(str);
    if (s->dtor) s->dtor(s->str);
    delete s;
    --g_userfree_out;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        MakeObjects();
        LoadScript();
    }
    return TRUE;
}
