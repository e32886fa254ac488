#include "tv/tv_controller_win.h"

#include <objbase.h>

#include <cstring>
#include <stdexcept>

#include "base/notices_win.h"
#include "net/api_request_win.h"
#include "tv/tv_rules.h"

namespace hm {

namespace {

bool IsFile(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FreshGuid() {
    GUID guid;
    if (FAILED(CoCreateGuid(&guid))) throw std::runtime_error(kTvMappingFailedText);
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

// The helper program beside the plugin: its path and its folder.
std::wstring FindHelper(const std::wstring& plugin_dir, std::wstring& helper_dir) {
    for (const HelperPlace& place : kHelperPlaces) {
        const std::wstring dir = plugin_dir + L"\\" + place.folder;
        const std::wstring path = dir + L"\\" + place.program;
        if (IsFile(path)) {
            helper_dir = dir;
            return path;
        }
    }
    throw std::runtime_error(kHelperMissingText);
}

}  // namespace

const HelperStartCalls& WindowsHelperCalls() {
    static const HelperStartCalls calls;
    return calls;
}

void ReleaseHelperLink(BrowserHelperLink& link, const HelperStartCalls& w) {
    // The job first: closing it ends the helper at once.
    if (link.job) w.close_handle(link.job);
    if (link.process) w.close_handle(link.process);
    if (link.view) w.unmap_view(link.view);
    if (link.mapping) w.close_handle(link.mapping);
    if (link.mutex) w.close_handle(link.mutex);
    link = BrowserHelperLink{};
}

void StartBrowserHelper(BrowserHelperLink& link, const std::wstring& url, const std::wstring& plugin_dir,
                        const HelperStartCalls& w) {
    if (link.process) {
        if (WaitForSingleObject(link.process, 0) == WAIT_TIMEOUT) return;
        DWORD code = 0;
        GetExitCodeProcess(link.process, &code);
        ReleaseHelperLink(link, w);
        throw std::runtime_error(HelperEndedText(code));
    }
    // Whatever a failed start left is closed before the new one opens anything.
    ReleaseHelperLink(link, w);
    if (url.size() > kTvMaxUrlChars) throw std::runtime_error(kTvUrlTooLongText);

    const std::wstring name = TvMappingName(GetCurrentProcessId(), FreshGuid());
    link.mapping = w.create_mapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(kTvBlockBytes),
                                    name.c_str());
    if (!link.mapping) throw std::runtime_error(kTvMappingFailedText);
    link.view = static_cast<TvFrameBlock*>(w.map_view(link.mapping, FILE_MAP_ALL_ACCESS, 0, 0, kTvBlockBytes));
    if (!link.view) throw std::runtime_error(kTvViewFailedText);
    link.mutex = w.create_mutex(nullptr, FALSE, TvMutexName(name).c_str());
    if (!link.mutex) throw std::runtime_error(kTvMutexFailedText);

    std::memset(link.view, 0, kTvBlockBytes);
    link.view->magic = kTvBlockMagic;
    link.view->version = kTvBlockVersion;
    link.view->heartbeat = GetTickCount64();
    for (std::size_t i = 0; i < url.size(); ++i) link.view->url[i] = static_cast<char16_t>(url[i]);

    std::wstring helper_dir;
    const std::wstring helper = FindHelper(plugin_dir, helper_dir);
    for (const wchar_t* file : kHelperRuntimeFiles)
        if (!IsFile(helper_dir + L"\\" + file)) throw std::runtime_error(kHelperIncompleteText);

    link.job = w.create_job(nullptr, nullptr);
    if (!link.job) throw std::runtime_error(kTvJobFailedText);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!w.set_job_information(link.job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
        throw std::runtime_error(kTvJobFailedText);

    std::wstring command_line = HelperCommandLine(helper, name);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!w.create_process(helper.c_str(), command_line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                          nullptr, helper_dir.c_str(), &si, &pi))
        throw std::runtime_error(HelperNotStartedText(GetLastError()));
    if (!w.assign_process(link.job, pi.hProcess)) {
        TerminateProcess(pi.hProcess, 1);
        w.close_handle(pi.hThread);
        w.close_handle(pi.hProcess);
        throw std::runtime_error(kTvJobAssignmentFailedText);
    }
    link.process = pi.hProcess;
    ResumeThread(pi.hThread);
    w.close_handle(pi.hThread);
}

void BeatHelperLink(BrowserHelperLink& link) {
    if (!link.view || !link.mutex) return;
    const DWORD r = WaitForSingleObject(link.mutex, 0);
    if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) return;
    link.view->heartbeat = GetTickCount64();
    ReleaseMutex(link.mutex);
}

bool TakeLatestHelperFrame(BrowserHelperLink& link, std::uint8_t* frame) {
    if (!link.view || !link.mutex) return false;
    const DWORD r = WaitForSingleObject(link.mutex, 0);
    if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) return false;
    link.view->heartbeat = GetTickCount64();
    const bool fresh = link.view->frame_counter != link.last_counter;
    if (fresh) {
        std::memcpy(frame, link.view->frame, kTvFrameBytes);
        link.last_counter = link.view->frame_counter;
    }
    ReleaseMutex(link.mutex);
    return fresh;
}

TvController& PluginTv() {
    static TvController& tv = *new TvController;
    return tv;
}

std::wstring PluginLibraryFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&PluginLibraryFolder), &self);
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L'\\'));
}

void StopTelevision() {
    TvController& tv = PluginTv();
    tv.screen.screen_id.store(0);
    tv.screen.frame_deadline.store(0);
    std::lock_guard<std::mutex> hold(tv.lock);
    ReleaseHelperLink(tv.link);
}

void WriteTelevisionHeartbeat() {
    TvController& tv = PluginTv();
    std::unique_lock<std::mutex> hold(tv.lock, std::try_to_lock);
    if (!hold.owns_lock()) return;
    BeatHelperLink(tv.link);
}

void RunTelevisionStateStep(const ApiClient& client, bool television, Tick now, const std::string& token) {
    TvController& tv = PluginTv();
    TvStateEffects fx;
    fx.request = ApiRequest;
    fx.start = [&tv](const std::wstring& url) {
        std::lock_guard<std::mutex> hold(tv.lock);
        StartBrowserHelper(tv.link, url, PluginLibraryFolder());
    };
    fx.stop = [] { StopTelevision(); };
    fx.notice = [](const std::wstring& text, bool sticky) { ShowNotice(text, sticky); };
    TvStateStep(tv.state, tv.screen, fx, client, television, now, token);
}

}  // namespace hm
