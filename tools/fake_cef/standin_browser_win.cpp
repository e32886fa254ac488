// A 32-bit stand-in for HM_PluginBrowser that keeps the block contract without a framework, so
// the plugin's start, heartbeat, stop and upload run under 32-bit Wine. The page address tells it
// what to do: "#exit=N" ends at once with N; "#still" writes one frame and then none; anything
// else paints the test card about 30 times a second. It ends with 0 on a close request or a
// heartbeat more than 8000 ms old, like the real helper.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "tools/fake_cef/test_card.h"
#include "tv/browser_rules.h"
#include "tv/frame_block.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 2) return hm::kHelperExitArguments;
    const std::wstring name = argv[1];
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    HANDLE mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, (name + hm::kTvMutexSuffix).c_str());
    if (!mapping || !mutex) return hm::kHelperExitOpen;
    auto* block = static_cast<hm::TvFrameBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, hm::kTvBlockBytes));
    if (!block || block->magic != hm::kTvBlockMagic || block->version != hm::kTvBlockVersion) return hm::kHelperExitBlock;
    const std::u16string url(block->url);
    const std::size_t exit_at = url.find(u"#exit=");
    if (exit_at != std::u16string::npos) {
        const std::string digits(url.begin() + static_cast<std::ptrdiff_t>(exit_at + 6), url.end());
        return static_cast<int>(std::strtoul(digits.c_str(), nullptr, 0));
    }
    const bool still = url.find(u"#still") != std::u16string::npos;
    std::uint32_t frame = 0;
    for (;;) {
        const DWORD r = WaitForSingleObject(mutex, 10);
        if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) {
            if (hm::ShouldCloseBrowser(block->close_request, GetTickCount64(), block->heartbeat)) {
                ReleaseMutex(mutex);
                return 0;
            }
            if (!still || frame == 0) {
                hm::fake_cef::PaintCard(++frame, block->frame);
                ++block->frame_counter;
                block->status = hm::kTvStatusPlaying;
            }
            ReleaseMutex(mutex);
        }
        Sleep(33);
    }
}
