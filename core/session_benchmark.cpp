// The worker's session cost per 30 ms pass, without the network: an idle pass (connected,
// nothing due) and a pass that polls the state and handles an OK answer. Plus the state body.
#include <benchmark/benchmark.h>

#include "core/session.h"

namespace hm {
namespace {

const std::string kToken(64, 'a');

struct Bench {
    PluginRecord plugin;
    SharedState shared;
    MediaSession media;
    SessionRecord session;
    SessionEffects fx;
    Bench() {
        fx.request = [](const ApiClient&, const std::string&, const std::string& path, const std::string&,
                        const std::string&, std::uint32_t) {
            ApiResponse r;
            r.status = path == "/state" ? 200 : 204;
            r.body = path == "/state" ? "OK 12 34 5\n" : "";
            return r;
        };
        fx.plugin = &plugin;
        fx.shared = &shared;
        fx.media = &media;
        SessionSettings settings;
        settings.client.base_path = L"/HM/MEDIA-PLUGIN/api";
        StartSession(session, settings, fx);
        session.connected = true;
        session.consent_given = true;
        session.token = kToken;
        session.first_state_seen = true;
    }
};

void BM_SessionIdlePass(benchmark::State& state) {
    Bench b;
    SessionInputs in;
    in.now = 1000;
    in.last_frame_tick = 1000;
    b.session.presence_deadline = b.session.state_deadline = ~Tick(0);
    for (auto _ : state) SessionStep(b.session, in, b.fx);
}
BENCHMARK(BM_SessionIdlePass);

void BM_SessionStatePollPass(benchmark::State& state) {
    Bench b;
    SessionInputs in;
    in.now = 1000;
    in.last_frame_tick = 1000;
    b.session.presence_deadline = ~Tick(0);
    for (auto _ : state) {
        b.session.state_deadline = 0;
        SessionStep(b.session, in, b.fx);
    }
}
BENCHMARK(BM_SessionStatePollPass);

void BM_ParseStateBody(benchmark::State& state) {
    const std::string body = "OK 12 34 5\n";
    for (auto _ : state) benchmark::DoNotOptimize(ParseStateBody(body));
}
BENCHMARK(BM_ParseStateBody);

}  // namespace
}  // namespace hm
