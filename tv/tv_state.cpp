#include "tv/tv_state.h"

#include <stdexcept>

#include "tv/tv_rules.h"

namespace hm {

namespace {

std::wstring NoticeOf(const char* message) {
    std::string text = (message && *message) ? message : kTvUnknownFailureText;
    return L"HM Plugin: " + std::wstring(text.begin(), text.end());
}

}  // namespace

void TvStateStep(TvStateRecord& record, TvScreenState& screen, const TvStateEffects& fx, const ApiClient& client,
                 bool television, Tick now, const std::string& token) {
    if (!television || !IsDue(now, record.next_due)) return;
    record.next_due = now + kTvStateIntervalMs;
    const char* failure = nullptr;
    std::string held;
    try {
        const ApiResponse r = fx.request(client, "GET", "/tv/state", token, std::string(), 0);
        const int id = ParseTvState(r.status, r.body);
        if (id == 0) {
            fx.stop();
            return;
        }
        fx.start(BuildTvPageUrl(client, token));
        screen.screen_id.store(id);
        screen.frame_deadline.store(now + kTvFrameLifetimeMs);
        return;
    } catch (const std::exception& e) {
        held = e.what();
        failure = held.c_str();
    } catch (...) {
        failure = "";
    }
    try {
        fx.stop();
    } catch (...) {
        // Stopping only closes handles; nothing more to undo.
    }
    record.next_due = now + kTvRetryAfterFailureMs;
    if (fx.notice) fx.notice(NoticeOf(failure), false);
}

bool TvPictureLive(const TvScreenState& screen, Tick now) {
    return screen.screen_id.load() != 0 && !IsDue(now, screen.frame_deadline.load());
}

}  // namespace hm
