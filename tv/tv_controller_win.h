// The TV controller's Windows side: starting the browser helper into a kill-on-close job with a
// fresh shared block, stopping it, the heartbeat, and the record the worker and the render thread
// share. A news video keeps its own BrowserHelperLink and uses the same calls without TvLock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "tv/frame_block.h"
#include "tv/tv_state.h"

namespace hm {

// One running helper. Handles are stored as soon as they exist, so a failed start leaves
// nothing that ReleaseHelperLink does not close.
struct BrowserHelperLink {
    HANDLE job = nullptr;
    HANDLE process = nullptr;
    HANDLE mapping = nullptr;
    TvFrameBlock* view = nullptr;
    HANDLE mutex = nullptr;
    std::uint32_t last_counter = 0;  // frame counter value last copied
};

// The Windows calls of a start, replaceable so tests can make each fail in turn.
struct HelperStartCalls {
    decltype(&CreateFileMappingW) create_mapping = &CreateFileMappingW;
    decltype(&MapViewOfFile) map_view = &MapViewOfFile;
    decltype(&CreateMutexW) create_mutex = &CreateMutexW;
    decltype(&CreateJobObjectW) create_job = &CreateJobObjectW;
    decltype(&SetInformationJobObject) set_job_information = &SetInformationJobObject;
    decltype(&CreateProcessW) create_process = &CreateProcessW;
    decltype(&AssignProcessToJobObject) assign_process = &AssignProcessToJobObject;
    decltype(&CloseHandle) close_handle = &CloseHandle;
    decltype(&UnmapViewOfFile) unmap_view = &UnmapViewOfFile;
};
const HelperStartCalls& WindowsHelperCalls();

// Starts the helper found under `plugin_dir` for `url`; returns at once while the link's helper
// still runs. Throws std::runtime_error with one of the start texts.
void StartBrowserHelper(BrowserHelperLink& link, const std::wstring& url, const std::wstring& plugin_dir,
                        const HelperStartCalls& calls = WindowsHelperCalls());
// Closes the job (which ends the helper), the process, the view, the mapping and the mutex.
void ReleaseHelperLink(BrowserHelperLink& link, const HelperStartCalls& calls = WindowsHelperCalls());
// Writes the current tick as heartbeat if the link has a view and its frame mutex is free.
void BeatHelperLink(BrowserHelperLink& link);

// A news video's look for a frame on its own link (no TvLock): writes the heartbeat first, so
// the helper lives as long as someone watches, then copies a frame newer than the last one into
// `frame` (kTvFrameBytes) if the frame mutex is free at once. True when it copied one.
bool TakeLatestHelperFrame(BrowserHelperLink& link, std::uint8_t* frame);

// The TV controller of the plugin: TvScreenId and TvFrameDeadline, and the link under TvLock.
struct TvController {
    TvScreenState screen;
    std::mutex lock;  // TvLock
    BrowserHelperLink link;
    TvStateRecord state;  // worker only
};
TvController& PluginTv();  // process-wide, never destroyed

// The folder that holds the plugin library.
std::wstring PluginLibraryFolder();

// Screen id and deadline to 0, then the link released under TvLock.
void StopTelevision();
// Heartbeat of the TV's link, under TvLock without waiting for it.
void WriteTelevisionHeartbeat();
// The TV state step with the plugin's transport, notices and helper (worker thread).
void RunTelevisionStateStep(const ApiClient& client, bool television, Tick now, const std::string& token);

}  // namespace hm
