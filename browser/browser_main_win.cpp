// HM_PluginBrowser: the 64-bit helper that renders the TV page off-screen and writes each frame
// into the shared TvFrameBlock whose name it gets on its command line. It is also the
// framework's own child process (renderer, GPU ...), so the first thing it does is ask the
// framework whether this process is one of those.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "browser/cef_capi.h"
#include "tv/browser_rules.h"
#include "tv/frame_block.h"

namespace hm {
namespace {

struct HelperState {
    HANDLE mapping = nullptr;
    HANDLE mutex = nullptr;
    TvFrameBlock* block = nullptr;
    std::u16string allowed_address;
    cef_browser_t* browser = nullptr;
    std::atomic<bool> browser_closed{false};
    // A page status the title callback could not write (the frame mutex was busy); the loop
    // writes it at its next hold of the mutex, so a status change is late, never lost. -1 none.
    std::atomic<std::int64_t> pending_status{-1};
    std::wstring cache_dir;
};
HelperState& State() {
    static HelperState& s = *new HelperState;
    return s;
}

// The framework hands every object argument over with a reference the receiver gives back.
void Release(void* object) {
    auto* base = static_cast<cef_base_ref_counted_t*>(object);
    if (base && base->release) base->release(base);
}

// Our objects are static: counting references on them has nothing to free.
void __stdcall StaticAddRef(cef_base_ref_counted_t*) {}
int __stdcall StaticRelease(cef_base_ref_counted_t*) { return 0; }
int __stdcall StaticHasRef(cef_base_ref_counted_t*) { return 1; }

template <typename T>
T MakeStatic() {
    T object;
    std::memset(&object, 0, sizeof object);
    object.base.size = sizeof object;
    object.base.add_ref = StaticAddRef;
    object.base.release = StaticRelease;
    object.base.has_one_ref = StaticHasRef;
    object.base.has_at_least_one_ref = StaticHasRef;
    return object;
}

cef_string_t Borrowed(const std::u16string& text) {
    return cef_string_t{const_cast<char16_t*>(text.data()), text.size(), nullptr};
}
cef_string_t Borrowed(const std::wstring& text) {
    return cef_string_t{reinterpret_cast<char16_t*>(const_cast<wchar_t*>(text.data())), text.size(), nullptr};
}
std::u16string Text(const cef_string_t* s) {
    if (!s || !s->str) return {};
    return std::u16string(s->str, s->length);
}

// The frame mutex, never waited for in a callback. An abandoned mutex is ours all the same.
bool TryFrameMutex(DWORD wait_ms) {
    const DWORD r = WaitForSingleObject(State().mutex, wait_ms);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

void __stdcall OnBeforeCommandLineProcessing(cef_app_t*, const cef_string_t* process_type, cef_command_line_t* command_line) {
    // Only the browser process decides about autoplay; the children get it from there.
    if (command_line && (!process_type || process_type->length == 0)) {
        const std::u16string name = u"autoplay-policy", value = u"no-user-gesture-required";
        const cef_string_t n = Borrowed(name), v = Borrowed(value);
        command_line->append_switch_with_value(command_line, &n, &v);
    }
    Release(command_line);
}

void __stdcall GetViewRect(cef_render_handler_t*, cef_browser_t* browser, cef_rect_t* rect) {
    if (rect) *rect = cef_rect_t{0, 0, static_cast<int>(kTvFrameWidth), static_cast<int>(kTvFrameHeight)};
    Release(browser);
}

void __stdcall OnPaint(cef_render_handler_t*, cef_browser_t* browser, int type, size_t, const cef_rect_t*, const void* buffer,
                       int width, int height) {
    HelperState& s = State();
    if (PaintCopied(type == PET_VIEW, width, height, buffer) && TryFrameMutex(0)) {
        std::memcpy(s.block->frame, buffer, kTvFrameBytes);
        ++s.block->frame_counter;
        ReleaseMutex(s.mutex);
    }
    Release(browser);
}

void __stdcall OnTitleChange(cef_display_handler_t*, cef_browser_t* browser, const cef_string_t* title) {
    HelperState& s = State();
    const std::uint32_t status = PageStatusOfTitle(Text(title));
    if (TryFrameMutex(0)) {
        s.block->status = status;
        s.pending_status = -1;
        ReleaseMutex(s.mutex);
    } else {
        s.pending_status = status;
    }
    Release(browser);
}

void __stdcall OnBeforeClose(cef_life_span_handler_t*, cef_browser_t* browser) {
    State().browser_closed = true;
    Release(browser);
}

int __stdcall OnBeforeBrowse(cef_request_handler_t*, cef_browser_t* browser, cef_frame_t* frame, cef_request_t* request, int,
                             int) {
    const bool main_frame = frame && frame->is_main(frame) != 0;
    std::u16string url;
    if (request) {
        cef_string_userfree_t u = request->get_url(request);
        url = Text(u);
        if (u) cef_string_userfree_utf16_free(u);
    }
    const bool allowed = NavigationAllowed(url, State().allowed_address, main_frame);
    Release(browser);
    Release(frame);
    Release(request);
    return allowed ? 0 : 1;
}

cef_app_t& App() {
    static cef_app_t app = [] {
        auto a = MakeStatic<cef_app_t>();
        a.on_before_command_line_processing = OnBeforeCommandLineProcessing;
        return a;
    }();
    return app;
}

cef_display_handler_t* __stdcall GetDisplayHandler(cef_client_t*) {
    static cef_display_handler_t h = [] {
        auto x = MakeStatic<cef_display_handler_t>();
        x.on_title_change = OnTitleChange;
        return x;
    }();
    return &h;
}
cef_life_span_handler_t* __stdcall GetLifeSpanHandler(cef_client_t*) {
    static cef_life_span_handler_t h = [] {
        auto x = MakeStatic<cef_life_span_handler_t>();
        x.on_before_close = OnBeforeClose;
        return x;
    }();
    return &h;
}
cef_render_handler_t* __stdcall GetRenderHandler(cef_client_t*) {
    static cef_render_handler_t h = [] {
        auto x = MakeStatic<cef_render_handler_t>();
        x.get_view_rect = GetViewRect;
        x.on_paint = OnPaint;
        return x;
    }();
    return &h;
}
cef_request_handler_t* __stdcall GetRequestHandler(cef_client_t*) {
    static cef_request_handler_t h = [] {
        auto x = MakeStatic<cef_request_handler_t>();
        x.on_before_browse = OnBeforeBrowse;
        return x;
    }();
    return &h;
}
cef_client_t& Client() {
    static cef_client_t client = [] {
        auto c = MakeStatic<cef_client_t>();
        c.get_display_handler = GetDisplayHandler;
        c.get_life_span_handler = GetLifeSpanHandler;
        c.get_render_handler = GetRenderHandler;
        c.get_request_handler = GetRequestHandler;
        return c;
    }();
    return client;
}

// Removes the directory and everything in it; false while something inside is still held.
void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
                RemoveDirectoryW(path.c_str());
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
}

// The framework's processes may hold files in the cache a moment after shutdown.
void RemoveCacheDir(const std::wstring& dir) {
    for (int attempt = 0; attempt < kCacheRemovalAttempts; ++attempt) {
        RemoveTree(dir);
        if (RemoveDirectoryW(dir.c_str())) return;
        const DWORD error = GetLastError();
        if (error != ERROR_DIR_NOT_EMPTY && error != ERROR_ACCESS_DENIED) return;
        Sleep(100);
    }
}

void CloseBlock() {
    HelperState& s = State();
    if (s.block) UnmapViewOfFile(s.block);
    if (s.mutex) CloseHandle(s.mutex);
    if (s.mapping) CloseHandle(s.mapping);
    s.block = nullptr;
    s.mutex = s.mapping = nullptr;
}

std::vector<std::u16string> Arguments() {
    std::vector<std::u16string> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 0; i < count; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    LocalFree(argv);
    return args;
}

// Attempts to create the browser: the framework gives none until its context is ready,
// which takes some message-loop work after cef_initialize.
constexpr int kBrowserCreateAttempts = 500;
// A close the framework never confirms must not keep the helper alive for ever.
constexpr ULONGLONG kCloseConfirmLimitMs = 5000;

int RunHelper(HINSTANCE instance) {
    // Step 1: the interface version first, in every process the framework starts.
    if (!cef_api_hash(kCefApiVersion, 0)) return kHelperExitInitialize;
    const cef_main_args_t main_args{instance};
    const int child = cef_execute_process(&main_args, &App(), nullptr);
    if (child >= 0) return child;

    // Steps 2-3: the command line and the block.
    const HelperArgs args = ParseHelperArgs(Arguments());
    if (args.exit_code != kHelperExitOk) return args.exit_code;
    HelperState& s = State();
    const std::wstring mapping_name(args.mapping_name.begin(), args.mapping_name.end());
    s.mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, mapping_name.c_str());
    s.mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, (mapping_name + kTvMutexSuffix).c_str());
    if (!s.mapping || !s.mutex) {
        CloseBlock();
        return kHelperExitOpen;
    }
    s.block = static_cast<TvFrameBlock*>(MapViewOfFile(s.mapping, FILE_MAP_ALL_ACCESS, 0, 0, kTvBlockBytes));
    if (!s.block || s.block->magic != kTvBlockMagic || s.block->version != kTvBlockVersion) {
        CloseBlock();
        return kHelperExitBlock;
    }

    // Steps 4-5: the page and the address it may keep.
    std::u16string page;
    if (args.selftest) {
        page = kSelftestPage;
    } else {
        page = AcceptedPageUrl(s.block->url, kTvUrlChars, args.local_test);
        if (page.empty()) {
            CloseBlock();
            return kHelperExitUrl;
        }
    }
    s.allowed_address = AllowedPageAddress(page);

    // Step 6: a cache folder of this run only.
    wchar_t temp[MAX_PATH + 1];
    const DWORD temp_len = GetTempPathW(MAX_PATH + 1, temp);
    if (temp_len == 0 || temp_len > MAX_PATH) {
        CloseBlock();
        return kHelperExitCache;
    }
    s.cache_dir = std::wstring(temp, temp_len) + L"HM_PluginBrowser-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(GetTickCount64());
    if (!CreateDirectoryW(s.cache_dir.c_str(), nullptr)) {
        CloseBlock();
        return kHelperExitCache;
    }

    // Step 7: the framework.
    cef_settings_t settings;
    std::memset(&settings, 0, sizeof settings);
    settings.size = sizeof settings;
    settings.no_sandbox = 1;
    settings.windowless_rendering_enabled = 1;
    settings.root_cache_path = Borrowed(s.cache_dir);
    settings.log_severity = LOGSEVERITY_DISABLE;
    if (!cef_initialize(&main_args, &settings, &App(), nullptr)) {
        RemoveCacheDir(s.cache_dir);
        CloseBlock();
        return kHelperExitInitialize;
    }

    // Step 8: the off-screen browser, once the framework's context is ready.
    cef_window_info_t window;
    std::memset(&window, 0, sizeof window);
    window.size = sizeof window;
    window.windowless_rendering_enabled = 1;
    window.runtime_style = CEF_RUNTIME_STYLE_ALLOY;
    cef_browser_settings_t browser_settings;
    std::memset(&browser_settings, 0, sizeof browser_settings);
    browser_settings.size = sizeof browser_settings;
    browser_settings.windowless_frame_rate = kHelperFrameRate;
    browser_settings.background_color = 0xFF000000u;
    const cef_string_t url = Borrowed(page);
    for (int attempt = 0; attempt < kBrowserCreateAttempts && !s.browser; ++attempt) {
        s.browser = cef_browser_host_create_browser_sync(&window, &Client(), &url, &browser_settings, nullptr, nullptr);
        if (!s.browser) {
            cef_do_message_loop_work();
            Sleep(10);
        }
    }
    if (!s.browser) {
        cef_shutdown();
        RemoveCacheDir(s.cache_dir);
        CloseBlock();
        return kHelperExitBrowser;
    }

    // The loop: frames flow until the plugin asks us to close or stops beating.
    bool close_asked = false;
    ULONGLONG close_asked_at = 0;
    while (!s.browser_closed) {
        cef_do_message_loop_work();
        if (TryFrameMutex(10)) {
            const ULONGLONG now = GetTickCount64();  // after the wait: a beat written meanwhile is fresh
            const std::int64_t pending = s.pending_status.exchange(-1);
            if (pending >= 0) s.block->status = static_cast<std::uint32_t>(pending);
            const bool close = ShouldCloseBrowser(s.block->close_request, now, s.block->heartbeat);
            ReleaseMutex(s.mutex);
            if (close && !close_asked) {
                cef_browser_host_t* host = s.browser->get_host(s.browser);
                if (host) {
                    host->close_browser(host, 1);
                    Release(host);
                }
                close_asked = true;
                close_asked_at = now;
            }
        }
        if (close_asked && GetTickCount64() - close_asked_at > kCloseConfirmLimitMs) break;
        Sleep(10);
    }

    Release(s.browser);
    s.browser = nullptr;
    cef_shutdown();
    RemoveCacheDir(s.cache_dir);
    CloseBlock();
    return kHelperExitOk;
}

}  // namespace
}  // namespace hm

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) { return hm::RunHelper(instance); }
