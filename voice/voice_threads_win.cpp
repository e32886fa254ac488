#include "voice/voice_threads_win.h"

#include <memory>

#include "base/edge.h"
#include "base/fault_seam.h"
#include "base/notices_win.h"
#include "base/owners_win.h"
#include "base/plugin.h"
#include "base/thread_cpu_win.h"
#include "game/input_state.h"
#include "game/input_win.h"
#include "game/samp_win.h"
#include "net/api_request_win.h"
#include "voice/exchange.h"
#include "voice/wave_devices_win.h"

namespace hm {

namespace {

bool KeyHeld(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

void RunCapture() {
    VoiceState& state = PluginVoice();
    CaptureRecord record;
    WaveInDevice mic;
    unsigned passes = 0;
    while (!Plugin().stop_flag.load()) {
        // A failing pass (out of memory) must not end push-to-talk for the rest of the game.
        AtTheEdge([&] {
            FaultSiteReached(FaultSite::kCapturePass);
            const CaptureNotices notices = CapturePass(record, state, mic, SampleCaptureInputs());
            if (notices.toggle) ShowNotice(notices.toggle);
            if (notices.microphone) ShowNotice(notices.microphone);
        });
        if ((++passes & 31) == 0) RecordThreadCpu(state.capture_cpu);
        Sleep(15);
    }
    EndCapture(record, state, mic);
}

void RunExchange(const ApiClient& client) {
    VoiceState& state = PluginVoice();
    ExchangeRecord record;
    ExchangeSeams seams;
    seams.request = [&client](const std::string& method, const std::string& path, const std::string& bearer,
                              const std::string& body) { return ApiRequest(client, method, path, bearer, body, 0); };
    seams.now = [] { return Tick(GetTickCount64()); };
    seams.sleep = [](int ms) { Sleep(DWORD(ms)); };
    seams.new_output = [] { return std::unique_ptr<WaveOutPort>(new WaveOutDevice); };
    while (!Plugin().stop_flag.load()) {
        AtTheEdgeOr(
            [&] {
                FaultSiteReached(FaultSite::kExchangePass);
                ExchangePass(record, state, seams);
            },
            [] { Sleep(120); });
        RecordThreadCpu(state.exchange_cpu);
    }
    record.players.clear();
    state.players.store(0);
}

DWORD WINAPI CaptureThread(LPVOID) {
    AtTheEdge([] { RunCapture(); });
    return 0;
}

DWORD WINAPI ExchangeThread(LPVOID param) {
    std::unique_ptr<ApiClient> client(static_cast<ApiClient*>(param));
    AtTheEdge([&] { RunExchange(*client); });
    return 0;
}

}  // namespace

CaptureInputs SampleCaptureInputs() {
    CaptureInputs in;
    in.ctrl = KeyHeld(VK_CONTROL);
    in.m = KeyHeld('M');
    in.bang = IsCharacterKeyDown(L'!');
    in.plus = IsCharacterKeyDown(L'+') || KeyHeld(VK_ADD);
    in.minus = IsCharacterKeyDown(L'-') || KeyHeld(VK_SUBTRACT);
    // With no channel key and no call nothing can transmit or toggle, and the queue is already
    // empty since the last channel change: the focus inputs (SA-MP's memory above all) can wait.
    const bool call = (PluginVoice().capability_mask.load() >> 4) & 1;
    if (!(in.m || in.bang || in.plus || in.minus || call)) return in;
    in.game_in_front = IsGameInFront();
    in.ui_open = PluginInput().ui_window.load() != 0;
    in.photo_visible = Plugin().photo_visible.load();
    in.chat_free = in.game_in_front && !in.ui_open && !in.photo_visible ? IsChatFree() : false;
    return in;
}

void StartVoiceThreads(const ApiClient& client) {
    UniqueKernelHandle capture(CreateThread(nullptr, 0, &CaptureThread, nullptr, 0, nullptr));
    ThrowIfNull(1701, capture.get());
    auto copy = std::make_unique<ApiClient>(client);
    UniqueKernelHandle exchange(CreateThread(nullptr, 0, &ExchangeThread, copy.get(), 0, nullptr));
    ThrowIfNull(1702, exchange.get());
    copy.release();  // the exchange thread owns it now
}

}  // namespace hm

// ---- Diagnostics export (tests and support) -----------------------------------------------------
// Voice state: 0 capturing, 1 status channel, 2 capability mask, 3 enabled, 4 capture queue bytes,
// 5 players, 6 microphone failures, 7 exchange answers played, 8 work radio, 9 volume, 10 and 11
// CPU time of the capture and exchange threads (100 ns units); -1 otherwise.
extern "C" __declspec(dllexport) long long HM_VoiceCounter(int which) {
    return hm::AtTheEdge(-1LL, [which]() -> long long {
        hm::VoiceState& s = hm::PluginVoice();
        switch (which) {
            case 0: return s.capturing.load();
            case 1: return s.status_channel.load();
            case 2: return s.capability_mask.load();
            case 3: return s.enabled.load();
            case 4: {
                std::lock_guard<std::mutex> hold(s.lock);
                return (long long)s.queue.size();
            }
            case 5: return s.players.load();
            case 6: return s.microphone_failures.load();
            case 7: return s.exchanges.load();
            case 8: return s.work_radio.load();
            case 9: return s.volume.load();
            case 10: return s.capture_cpu.load();
            case 11: return s.exchange_cpu.load();
            default: return -1;
        }
    });
}
