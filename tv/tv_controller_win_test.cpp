// StartBrowserHelper, ReleaseHelperLink and the heartbeat under 32-bit Wine, with the stand-in
// helper (tools/fake_cef/standin_browser_win.cpp) installed in a plugin folder of the test's own.
#include "tv/tv_controller_win.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "tv/tv_rules.h"

namespace hm {
namespace {

std::wstring BinDir() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe(self, n);
    return exe.substr(0, exe.find_last_of(L'\\'));
}

void Touch(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW f;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &f);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = f.cFileName;
            if (name == L"." || name == L"..") continue;
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(dir + L"\\" + name);
            else
                DeleteFileW((dir + L"\\" + name).c_str());
        } while (FindNextFileW(find, &f));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

// A plugin folder with a helper folder of `folder`/`program` and the runtime files but `skip`;
// `as_folder` becomes a folder instead of a file.
struct PluginFolder {
    std::wstring root;
    PluginFolder(const std::wstring& folder = L"HM_PluginBrowser", const std::wstring& program = L"HM_PluginBrowser.exe",
                 const std::wstring& skip = L"", const std::wstring& as_folder = L"") {
        static int serial = 0;
        root = BinDir() + L"\\tv_plugin_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
        RemoveTree(root);
        CreateDirectoryW(root.c_str(), nullptr);
        if (folder.empty()) return;
        const std::wstring dir = root + L"\\" + folder;
        CreateDirectoryW(dir.c_str(), nullptr);
        if (program == as_folder)
            CreateDirectoryW((dir + L"\\" + program).c_str(), nullptr);
        else
            CopyFileW((BinDir() + L"\\standin_browser.exe").c_str(), (dir + L"\\" + program).c_str(), FALSE);
        for (const wchar_t* file : kHelperRuntimeFiles) {
            if (file == skip) continue;
            if (file == as_folder)
                CreateDirectoryW((dir + L"\\" + file).c_str(), nullptr);
            else
                Touch(dir + L"\\" + file);
        }
    }
    ~PluginFolder() { RemoveTree(root); }
};

const std::wstring kUrl = L"https://127.0.0.1:8443/HM/MEDIA-PLUGIN/test-api/tv/player#ab12";

// Wrapped calls: a chosen one fails, every handle and view they hand out is tracked until closed.
struct Tracker {
    std::set<HANDLE> handles;
    std::set<LPCVOID> views;
    int failing = -1;  // index into the calls below
    int mappings_made = 0;
    HANDLE assigned_child = nullptr;  // a duplicate of the child whose assignment failed
};
Tracker g;

enum Call { kMapping, kView, kMutex, kJob, kJobLimit, kProcess, kAssign };

HANDLE Track(HANDLE h) {
    if (h) g.handles.insert(h);
    return h;
}
HANDLE WINAPI Mapping(HANDLE f, LPSECURITY_ATTRIBUTES s, DWORD p, DWORD hi, DWORD lo, LPCWSTR n) {
    if (g.failing == kMapping) return nullptr;
    ++g.mappings_made;
    return Track(CreateFileMappingW(f, s, p, hi, lo, n));
}
LPVOID WINAPI View(HANDLE m, DWORD a, DWORD hi, DWORD lo, SIZE_T n) {
    if (g.failing == kView) return nullptr;
    LPVOID v = MapViewOfFile(m, a, hi, lo, n);
    if (v) g.views.insert(v);
    return v;
}
HANDLE WINAPI Mutex(LPSECURITY_ATTRIBUTES s, BOOL o, LPCWSTR n) {
    return g.failing == kMutex ? nullptr : Track(CreateMutexW(s, o, n));
}
HANDLE WINAPI Job(LPSECURITY_ATTRIBUTES s, LPCWSTR n) { return g.failing == kJob ? nullptr : Track(CreateJobObjectW(s, n)); }
BOOL WINAPI JobLimit(HANDLE j, JOBOBJECTINFOCLASS c, LPVOID i, DWORD n) {
    return g.failing == kJobLimit ? FALSE : SetInformationJobObject(j, c, i, n);
}
BOOL WINAPI Process(LPCWSTR a, LPWSTR c, LPSECURITY_ATTRIBUTES p, LPSECURITY_ATTRIBUTES t, BOOL i, DWORD f, LPVOID e,
                    LPCWSTR d, LPSTARTUPINFOW s, LPPROCESS_INFORMATION pi) {
    if (g.failing == kProcess) {
        SetLastError(1234);
        return FALSE;
    }
    if (!CreateProcessW(a, c, p, t, i, f, e, d, s, pi)) return FALSE;
    Track(pi->hProcess);
    Track(pi->hThread);
    return TRUE;
}
BOOL WINAPI Assign(HANDLE j, HANDLE p) {
    if (g.failing != kAssign) return AssignProcessToJobObject(j, p);
    DuplicateHandle(GetCurrentProcess(), p, GetCurrentProcess(), &g.assigned_child, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return FALSE;
}
BOOL WINAPI Close(HANDLE h) {
    if (!g.handles.erase(h)) ADD_FAILURE() << "closed a handle it never opened";
    return CloseHandle(h);
}
BOOL WINAPI Unmap(LPCVOID v) {
    if (!g.views.erase(v)) ADD_FAILURE() << "unmapped a view it never mapped";
    return UnmapViewOfFile(v);
}

HelperStartCalls TrackedCalls() {
    HelperStartCalls c;
    c.create_mapping = &Mapping;
    c.map_view = &View;
    c.create_mutex = &Mutex;
    c.create_job = &Job;
    c.set_job_information = &JobLimit;
    c.create_process = &Process;
    c.assign_process = &Assign;
    c.close_handle = &Close;
    c.unmap_view = &Unmap;
    return c;
}

std::string StartFailure(BrowserHelperLink& link, const std::wstring& url, const std::wstring& dir, const HelperStartCalls& calls) {
    try {
        StartBrowserHelper(link, url, dir, calls);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return std::string();
}

TEST(StartBrowserHelper, EachFailingCallGivesItsTextAndLeaksNothing) {
    PluginFolder folder;
    const HelperStartCalls calls = TrackedCalls();
    struct Case {
        Call call;
        std::string text;
    };
    const std::vector<Case> cases = {
        {kMapping, kTvMappingFailedText},
        {kView, kTvViewFailedText},
        {kMutex, kTvMutexFailedText},
        {kJob, kTvJobFailedText},
        {kJobLimit, kTvJobFailedText},
        {kProcess, HelperNotStartedText(1234)},
        {kAssign, kTvJobAssignmentFailedText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        g = Tracker{};
        g.failing = c.call;
        BrowserHelperLink link;
        EXPECT_EQ(StartFailure(link, kUrl, folder.root, calls), c.text);
        EXPECT_EQ(link.process, nullptr);
        ReleaseHelperLink(link, calls);
        EXPECT_TRUE(g.handles.empty()) << g.handles.size() << " handles left open";
        EXPECT_TRUE(g.views.empty());
        if (c.call == kAssign) {
            ASSERT_NE(g.assigned_child, nullptr);
            ASSERT_EQ(WaitForSingleObject(g.assigned_child, 10000), WAIT_OBJECT_0);
            DWORD code = 0;
            GetExitCodeProcess(g.assigned_child, &code);
            EXPECT_EQ(code, 1u) << "a child outside the job is ended with 1";
            CloseHandle(g.assigned_child);
        }
    }
}

TEST(StartBrowserHelper, HelperFolderAndItsFiles) {
    struct Case {
        const char* what;
        std::wstring folder, program, skip, as_folder;
        std::string text;  // empty: starts
    };
    const std::vector<Case> cases = {
        {"complete", L"HM_PluginBrowser", L"HM_PluginBrowser.exe", L"", L"", ""},
        {"older folder name", L"HMMediaBrowser", L"HMMediaBrowser.exe", L"", L"", ""},
        {"no helper", L"", L"", L"", L"", kHelperMissingText},
        {"program is a folder", L"HM_PluginBrowser", L"HM_PluginBrowser.exe", L"", L"HM_PluginBrowser.exe", kHelperMissingText},
        {"no icudtl.dat", L"HM_PluginBrowser", L"HM_PluginBrowser.exe", L"icudtl.dat", L"", kHelperIncompleteText},
        {"no libcef.dll", L"HM_PluginBrowser", L"HM_PluginBrowser.exe", L"libcef.dll", L"", kHelperIncompleteText},
        {"a folder named like a file", L"HM_PluginBrowser", L"HM_PluginBrowser.exe", L"", L"resources.pak", kHelperIncompleteText},
    };
    const HelperStartCalls calls = TrackedCalls();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PluginFolder folder(c.folder, c.program, c.skip, c.as_folder);
        g = Tracker{};
        BrowserHelperLink link;
        EXPECT_EQ(StartFailure(link, kUrl, folder.root, calls), c.text);
        EXPECT_EQ(link.process != nullptr, c.text.empty());
        ReleaseHelperLink(link, calls);
        EXPECT_TRUE(g.handles.empty());
    }
}

TEST(StartBrowserHelper, LongUrlOpensNothing) {
    PluginFolder folder;
    const HelperStartCalls calls = TrackedCalls();
    g = Tracker{};
    BrowserHelperLink link;
    const std::wstring url = L"https://h/tv/player#" + std::wstring(2048 - 20, L'a');
    ASSERT_EQ(url.size(), 2048u);
    EXPECT_EQ(StartFailure(link, url, folder.root, calls), kTvUrlTooLongText);
    EXPECT_EQ(g.mappings_made, 0);
    EXPECT_TRUE(g.handles.empty());
    // 2047 characters still fit, NUL included.
    EXPECT_EQ(StartFailure(link, url.substr(0, 2047), folder.root, calls), "");
    EXPECT_EQ(link.view->url[2046], u'a');
    EXPECT_EQ(link.view->url[2047], u'\0');
    ReleaseHelperLink(link, calls);
    EXPECT_TRUE(g.handles.empty());
}

TEST(StartBrowserHelper, RunningHelperBeatsEndsWithTheJobAndReportsItsExitCode) {
    PluginFolder folder;
    const HelperStartCalls calls = TrackedCalls();
    g = Tracker{};
    BrowserHelperLink link;
    ASSERT_EQ(StartFailure(link, kUrl, folder.root, calls), "");
    ASSERT_NE(link.view, nullptr);
    EXPECT_EQ(link.view->magic, kTvBlockMagic);
    EXPECT_EQ(link.view->version, 1u);
    EXPECT_EQ(std::u16string(link.view->url), std::u16string(kUrl.begin(), kUrl.end()));
    // Frames arrive; a second start with another page changes nothing while it runs.
    const ULONGLONG end = GetTickCount64() + 20000;
    while (link.view->frame_counter < 3 && GetTickCount64() < end) Sleep(20);
    EXPECT_GE(link.view->frame_counter, 3u);
    EXPECT_EQ(StartFailure(link, L"https://other/tv/player#x", folder.root, calls), "");
    EXPECT_EQ(g.mappings_made, 1);
    EXPECT_EQ(link.view->url[8], u'1');
    link.view->heartbeat = 0;
    BeatHelperLink(link);
    EXPECT_GT(link.view->heartbeat, 0u);

    HANDLE child = nullptr;
    DuplicateHandle(GetCurrentProcess(), link.process, GetCurrentProcess(), &child, 0, FALSE, DUPLICATE_SAME_ACCESS);
    ReleaseHelperLink(link, calls);
    EXPECT_EQ(WaitForSingleObject(child, 10000), WAIT_OBJECT_0) << "closing the job ends the helper";
    CloseHandle(child);
    EXPECT_TRUE(g.handles.empty());

    // A helper that ended on its own is reported with its code, in lower-case hexadecimal.
    ASSERT_EQ(StartFailure(link, L"https://h/tv/player#exit=0xC0000005", folder.root, calls), "");
    ASSERT_EQ(WaitForSingleObject(link.process, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(StartFailure(link, kUrl, folder.root, calls), HelperEndedText(0xC0000005u));
    EXPECT_EQ(link.process, nullptr);
    EXPECT_TRUE(g.handles.empty());
}

TEST(NewsPlayback, LookingForFramesKeepsItsHelperAlive) {
    PluginFolder folder;
    BrowserHelperLink link;  // a news video's own link: no TvLock, no worker heartbeat
    ASSERT_EQ(StartFailure(link, L"https://h/tv/player#tok&news=7", folder.root, WindowsHelperCalls()), "");
    std::vector<std::uint8_t> frame(kTvFrameBytes);
    const ULONGLONG end = GetTickCount64() + 20000;
    while (!TakeLatestHelperFrame(link, frame.data()) && GetTickCount64() < end) Sleep(20);
    EXPECT_EQ(link.last_counter, link.view->frame_counter);
    EXPECT_NE(link.last_counter, 0u);
    // A beat 7 s old is renewed by the next look for a frame that finds the mutex free ...
    for (int i = 0; i < 5; ++i) {
        const ULONGLONG old = GetTickCount64() - 7000;
        link.view->heartbeat = old;
        for (int tries = 0; tries < 100 && link.view->heartbeat == old; ++tries) {
            TakeLatestHelperFrame(link, frame.data());
            Sleep(5);
        }
        EXPECT_NE(link.view->heartbeat, old);
        Sleep(500);
    }
    EXPECT_EQ(WaitForSingleObject(link.process, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the helper still runs";
    // ... and without the look the helper goes.
    link.view->heartbeat = GetTickCount64() - 7000;
    EXPECT_EQ(WaitForSingleObject(link.process, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 1;
    GetExitCodeProcess(link.process, &code);
    EXPECT_EQ(code, 0u);
    ReleaseHelperLink(link);
}

}  // namespace
}  // namespace hm
