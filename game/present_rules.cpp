#include "game/present_rules.h"

#include <algorithm>

namespace hm {

const wchar_t kPhotoTimeoutNotice[] =
    L"HM Plugin: snimek nebyl ulozen. Pri foceni mirte hledackem fotoaparatu; pohled za postavou se neuklada.";
const wchar_t kFrameFailureNotice[] =
    L"HM Plugin: obraz nelze zpracovat. Zkontrolujte 32bitovy rezim a kompatibilitu D3D9.";
const wchar_t kCleanFrameFailureNotice[] = L"HM Plugin: cisty snimek nelze poridit. Fotografie nebyla odeslana.";
const char kPairingCommandPrefix[] = "/hmpluginbind ";

namespace {
constexpr float kCanvasW = 810.0f;
constexpr float kCanvasH = 760.0f;
}  // namespace

CanvasPlacement PlaceOverlay(float vw, float vh) {
    CanvasPlacement p;
    p.scale = std::min(0.9f * vw / 1000.0f, 0.9f * vh / 760.0f);
    p.offset_x = (vw - kCanvasW * p.scale) / 2.0f;
    p.offset_y = (vh - kCanvasH * p.scale) / 2.0f;
    return p;
}

std::array<ScreenVertex, 4> OverlayQuad(const CanvasPlacement& p) {
    const float l = p.offset_x - 0.5f, t = p.offset_y - 0.5f;
    const float r = p.offset_x + kCanvasW * p.scale - 0.5f, b = p.offset_y + kCanvasH * p.scale - 0.5f;
    return {{{l, t, 0, 0}, {r, t, 1, 0}, {l, b, 0, 1}, {r, b, 1, 1}}};
}

void CursorHotSpot(const CanvasPlacement& p, int cursor_x, int cursor_y, float& x, float& y) {
    x = float(cursor_x) * p.scale + p.offset_x;
    y = float(cursor_y) * p.scale + p.offset_y;
}

std::array<ColouredVertex, 18> CursorTriangles(float hx, float hy, float scale) {
    struct P {
        float x, y;
    };
    static constexpr P kShape[18] = {
        {0, 0},  {0, 22},  {17, 15}, {5, 16}, {10, 28}, {15, 26}, {5, 16}, {15, 26}, {10, 14},  // dark
        {7, 16}, {11, 25}, {13, 25}, {7, 16}, {13, 25}, {9, 15},  {2, 4},  {2, 18},  {13, 14},  // light
    };
    const float unit = std::max(scale, 0.65f);
    std::array<ColouredVertex, 18> out{};
    for (int i = 0; i < 18; ++i)
        out[std::size_t(i)] = {hx + kShape[i].x * unit, hy + kShape[i].y * unit, i < 9 ? kCursorDark : kCursorLight};
    return out;
}

RegionCut CutScreenRegion(std::uint32_t w, std::uint32_t h) {
    // 64-bit products: a 4096-pixel buffer times 275 fits 32 bits, but the rule must not depend on it.
    RegionCut c;
    c.x = std::uint32_t(std::uint64_t(w) * 178 / 640);
    c.y = std::uint32_t(std::uint64_t(h) * 106 / 448);
    c.width = std::uint32_t(std::uint64_t(w) * 267 / 640);
    c.height = std::uint32_t(std::uint64_t(h) * 275 / 448);
    return c;
}

bool RegionFits(const RegionCut& c, std::uint32_t w, std::uint32_t h) {
    return c.width > 0 && c.height > 0 && std::uint64_t(c.x) + c.width <= w && std::uint64_t(c.y) + c.height <= h;
}

bool ScreenRegionTracker::Due(int id, Tick now) {
    if (id != last_seen_) {
        last_seen_ = id;
        serve_at_ = now + kWaitMs;
    }
    if (id >= 1) return id != last_served_ && IsDue(now, serve_at_);
    if (id == 0) {
        last_served_ = 0;
    }
    return false;
}

PhotoRequestState& PluginPhotoRequest() {
    static PhotoRequestState& state = *new PhotoRequestState;
    return state;
}

void ArmPhotoRequest(PhotoRequestState& state, int id, Tick deadline) {
    state.deadline.store(deadline);
    state.request.store(id);
}

int DueTimedOutPhotoRequest(const PhotoRequestState& state, Tick now) {
    const int id = state.request.load();
    return id > 0 && IsDue(now, state.deadline.load()) ? id : 0;
}

bool TakePhotoRequest(PhotoRequestState& state, int id) {
    // Only the id that was found due: the worker may have armed the next shot meanwhile.
    return id > 0 && state.request.compare_exchange_strong(id, 0);
}

bool TakeTimedOutPhotoRequest(PhotoRequestState& state, Tick now) {
    return TakePhotoRequest(state, DueTimedOutPhotoRequest(state, now));
}

bool PairingCommandDue(const PairingInputs& in, Tick now, Tick next_allowed) {
    return in.connected && in.consent_given && !in.computer_ui_running && IsDue(now, next_allowed) &&
           in.game_in_front && in.chat_free;
}

std::string PairingCommandLine(const PairingInputs& in, Tick now, Tick& next_allowed, const std::string& bind_code) {
    if (bind_code.empty() || !PairingCommandDue(in, now, next_allowed)) return {};
    next_allowed = now + kPairingCommandIntervalMs;
    return kPairingCommandPrefix + bind_code;
}

std::string PairingCommandStep(PairingInputs in, Tick now, Tick& next_allowed, std::mutex& lock,
                               const std::string& bind_code, const PairingProbes& probes) {
    in.game_in_front = in.chat_free = true;  // not asked yet
    if (!PairingCommandDue(in, now, next_allowed)) return {};
    std::string code;
    {
        std::unique_lock<std::mutex> guard(lock, std::try_to_lock);
        if (!guard.owns_lock() || bind_code.empty()) return {};  // busy: next frame
        code = bind_code;
    }
    in.game_in_front = probes.game_in_front();
    in.chat_free = in.game_in_front && probes.chat_free();
    return PairingCommandLine(in, now, next_allowed, code);
}

}  // namespace hm

#include "base/notices.h"

namespace hm {

void RenderNoticeOutbox::Post(const wchar_t* text) {
    for (int i = 0; i < count_; ++i)
        if (pending_[i] == text) return;
    if (count_ == kSlots) {  // the oldest gives way; the banner shows one notice at a time anyway
        for (int i = 1; i < kSlots; ++i) pending_[i - 1] = pending_[i];
        --count_;
    }
    pending_[count_++] = text;
}

bool RenderNoticeOutbox::Flush(std::mutex& lock, NoticeState& notices, Tick now) {
    if (count_ == 0) return true;
    std::unique_lock<std::mutex> guard(lock, std::try_to_lock);
    if (!guard.owns_lock()) return false;
    for (int i = 0; i < count_; ++i) PostNotice(notices, now, pending_[i], false);
    count_ = 0;
    return true;
}

}  // namespace hm
