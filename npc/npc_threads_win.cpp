#include "npc/npc_threads_win.h"

#include <windows.h>

#include "base/edge.h"
#include "base/owners_win.h"
#include "base/plugin.h"
#include "base/thread_cpu_win.h"
#include "net/api_request_win.h"

namespace hm {

namespace {

struct EventsStart {
    ApiClient client;
    NpcThreadSeams seams;
};

void RunEvents(const EventsStart& start) {
    NpcState& state = PluginNpc();
    NpcEventsRecord record;
    NpcEventsSeams seams;
    seams.get = [&start](const std::string& path, const std::string& bearer) {
        return ApiRequest(start.client, "GET", path, bearer, std::string(), 0);
    };
    seams.session = start.seams.session;
    seams.now = [] { return Tick(GetTickCount64()); };
    seams.sleep = [](int ms) { Sleep(DWORD(ms)); };
    while (!Plugin().stop_flag.load()) {
        AtTheEdgeOr([&] { NpcEventsPass(record, state, seams); }, [] { Sleep(800); });
        RecordThreadCpu(state.events_cpu);
    }
}

void RunPlayer(const NpcThreadSeams& start) {
    NpcState& state = PluginNpc();
    NpcPlayerRecord record;
    NpcPlayerSeams seams;
    seams.generation = start.generation;
    seams.now = [] { return Tick(GetTickCount64()); };
    seams.new_output = start.new_output;
    seams.inputs = start.inputs;
    seams.notice = start.notice;
    unsigned passes = 0;
    while (!Plugin().stop_flag.load()) {
        const int ms = AtTheEdge(40, [&] { return NpcPlayerPass(record, state, seams); });
        if ((++passes & 15) == 0) RecordThreadCpu(state.player_cpu);
        Sleep(DWORD(ms));
    }
    AtTheEdge([&] { EndNpcPlayer(record, state); });
}

DWORD WINAPI EventsThread(LPVOID param) {
    std::unique_ptr<EventsStart> start(static_cast<EventsStart*>(param));
    AtTheEdge([&] { RunEvents(*start); });
    return 0;
}

DWORD WINAPI PlayerThread(LPVOID param) {
    std::unique_ptr<NpcThreadSeams> seams(static_cast<NpcThreadSeams*>(param));
    AtTheEdge([&] { RunPlayer(*seams); });
    return 0;
}

}  // namespace

void StartNpcThreads(const ApiClient& client, const NpcThreadSeams& seams) {
    auto events = std::make_unique<EventsStart>(EventsStart{client, seams});
    UniqueKernelHandle e(CreateThread(nullptr, 0, &EventsThread, events.get(), 0, nullptr));
    ThrowIfNull(1801, e.get());
    events.release();  // the events thread owns it now
    auto player = std::make_unique<NpcThreadSeams>(seams);
    UniqueKernelHandle p(CreateThread(nullptr, 0, &PlayerThread, player.get(), 0, nullptr));
    ThrowIfNull(1802, p.get());
    player.release();
}

}  // namespace hm

// ---- Diagnostics export (tests and support) -----------------------------------------------------
// NPC voices: 0 events cursor, 1 cached clips, 2 cached bytes, 3 queued items, 4 playing event id,
// 5 NpcGain, 6 switched on, 7 volume, 8 and 9 CPU time of the events and player threads (100 ns
// units); -1 otherwise.
extern "C" __declspec(dllexport) long long HM_NpcCounter(int which) {
    return hm::AtTheEdge(-1LL, [which]() -> long long {
        const hm::NpcState& s = hm::PluginNpc();
        switch (which) {
            case 0: return (long long)s.cursor.load();
            case 1: return s.cached_clips.load();
            case 2: return s.cached_bytes.load();
            case 3: return s.queued.load();
            case 4: return (long long)s.playing_id.load();
            case 5: return s.gain.load();
            case 6: return s.enabled.load();
            case 7: return s.volume.load();
            case 8: return s.events_cpu.load();
            case 9: return s.player_cpu.load();
            default: return -1;
        }
    });
}
