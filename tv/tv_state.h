// The TV state step: asks /tv/state every 700 ms while the Television switch is on and starts,
// renews or stops the TV. Worker thread. Portable: the Windows side hands in the helper's start
// and stop through TvStateEffects.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "base/ticks.h"
#include "net/api_types.h"

namespace hm {

constexpr Tick kTvStateIntervalMs = 700;
constexpr Tick kTvRetryAfterFailureMs = 15000;
constexpr Tick kTvFrameLifetimeMs = 3500;

// Shared by the worker and the render thread without a lock.
struct TvScreenState {
    std::atomic<int> screen_id{0};         // TvScreenId: 0 no TV
    std::atomic<Tick> frame_deadline{0};   // TvFrameDeadline: the picture goes when it is due
};

struct TvStateRecord {
    Tick next_due = 0;
};

struct TvStateEffects {
    ApiRequestFn request;
    std::function<void(const std::wstring& url)> start;  // StartBrowserHelper on the TV's link; throws
    std::function<void()> stop;                           // StopTelevision
    std::function<void(const std::wstring& text, bool sticky)> notice;
};

// Called on every OK state answer; keeps its own timer. Never throws: a failure stops the TV,
// shows "HM Plugin: " + its text and quiets the step for 15 s.
void TvStateStep(TvStateRecord& record, TvScreenState& screen, const TvStateEffects& fx, const ApiClient& client,
                 bool television, Tick now, const std::string& token);

// The picture may be drawn: a screen is set and its deadline has not passed.
bool TvPictureLive(const TvScreenState& screen, Tick now);

}  // namespace hm
