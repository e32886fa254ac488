#include "computer/desktop_input.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace hm {
namespace {

namespace df = desktop_flag;

constexpr std::uint32_t kVkReturn = 0x0D, kVkEscape = 0x1B, kVkPrior = 0x21, kVkNext = 0x22, kVkLeft = 0x25,
                        kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28;

bool Inside(const UiRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
bool Carried(const EditorState& s) { return AnyBit(s.Flags(), df::kCarried); }
bool IsWeb(const EditorState& s) { return ChooseComputerLayout(s) == ComputerLayout::kWebDesktop; }

// The tile index on the page under a point, -1 when none: cards where they are drawn, grid
// tiles by their 146 x 108 cells.
int TileIndexAt(const EditorState& s, int per_page, int x, int y) {
    if (Carried(s)) {
        for (int i = 0; i < per_page; ++i)
            if (Inside(DesktopTileRect(s, i), x, y)) return i;
        return -1;
    }
    if (x < kTileOriginX || x >= kTileOriginX + kDesktopColumns * kTileStepX || y < kTileOriginY ||
        y >= kTileOriginY + kDesktopRows * kTileStepY)
        return -1;
    const int index = (x - kTileOriginX) / kTileStepX + kDesktopColumns * ((y - kTileOriginY) / kTileStepY);
    return index < per_page ? index : -1;
}

int ItemAt(const DesktopView& v, long long position) {
    const auto it = v.placement.at.find(position);
    return it == v.placement.at.end() ? -1 : it->second;
}

long long PositionOf(const DesktopView& v, int item) {
    return item >= 0 && std::size_t(item) < v.placement.position.size() ? v.placement.position[std::size_t(item)] : -1;
}

void Select(DesktopView& v, int item) {
    v.selected = item;
    const long long p = PositionOf(v, item);
    if (p >= 0) v.page = p / v.placement.per_page;
}

// Step of Up and Down: the grid's column count; 2 in the carried view; 1 where a page holds 8.
int RowStep(const EditorState& s) {
    if (Carried(s)) return kCarriedColumns;
    if (TilesPerPage(s) == 8) return 1;
    return kDesktopColumns;
}

// The occupied position nearest to `target` in the direction of travel, skipping empty ones.
long long WalkTo(const DesktopView& v, long long target, int direction) {
    const auto& at = v.placement.at;
    if (at.empty()) return -1;
    if (direction > 0) {
        const auto it = at.lower_bound(target);
        return it == at.end() ? -1 : it->first;
    }
    auto it = at.upper_bound(target);
    if (it == at.begin()) return -1;
    return std::prev(it)->first;
}

// Steps 3: a finished drag of `item` to `target`. The item there takes the old position.
void Drop(DesktopView& v, EditorState& s, int item, long long target, DesktopOutcome& out) {
    const long long from = PositionOf(v, item);
    if (from < 0 || target == from || !v.placement.slot_placement) return;
    EditorItem& dragged = s.items[std::size_t(item)];
    if (dragged.tag.size() < 4) return;  // no icon key: the server could not place it
    const int other = ItemAt(v, target);
    dragged.slot = SlotText(target);
    if (other >= 0) s.items[std::size_t(other)].slot = SlotText(from);
    out.position_body = std::to_string(s.request_id) + "\n" + dragged.tag.substr(4) + "\n" + SlotText(target);
    v.placement = PlaceDesktop(s);
    Select(v, item);
}

}  // namespace

UiRect DesktopTileRect(const EditorState& s, int index) {
    if (Carried(s)) {
        const int c = index % kCarriedColumns, r = index / kCarriedColumns;
        const int left = kCardOriginX + kCardStepX * c, top = kCardOriginY + kCardStepY * r;
        return {left, top, left + kCardWidth, top + kCardHeight};
    }
    const int c = index % kDesktopColumns, r = index / kDesktopColumns;
    const int left = kTileOriginX + kTileStepX * c, top = kTileOriginY + kTileStepY * r;
    return {left, top, left + kTileStepX - 6, top + kTileStepY - 6};
}

UiRect HomeButtonRect() { return {42, 632, 194, 668}; }
UiRect LogoutButtonRect(bool home_shown) {
    const int left = home_shown ? 210 : 42;
    return {left, 632, left + 172, 668};
}
UiRect PagingRow(const EditorState& s, const DesktopPlacement& p) {
    return p.slot_placement && !Carried(s) ? UiRect{40, 580, 770, 616} : UiRect{40, 640, 770, 676};
}

int AnswerButtonCount(const EditorState& s) {
    if (AnyBit(s.Flags(), df::kFourButtons)) return 4;
    if (s.screen_id == "hospic-record" && s.record_count > 0) return 3;
    return 2;
}

UiRect AnswerButtonRect(const EditorState& s, int index) {
    const int width = 740 / AnswerButtonCount(s);
    const int left = 40 + width * index;
    return {left, 706, left + width - 8, 742};
}

int CloseAnswer(const EditorState& s) {
    if (s.screen_id == "police-instruction") return 1;
    if (AnyBit(s.Flags(), df::kFourButtons)) return 4;
    if (!s.buttons[1].empty()) return 2;
    return 0;
}

DesktopView MakeDesktopView(const EditorState& s) {
    DesktopView v;
    v.placement = PlaceDesktop(s);
    return v;
}

void UpdateDesktopView(DesktopView& v, const EditorState& s, std::optional<int> chosen_id) {
    v.placement = PlaceDesktop(s);
    v.selected = -1;
    v.pressed = v.dragging = false;
    v.press_item = -1;
    if (chosen_id)
        for (std::size_t i = 0; i < s.items.size(); ++i)
            if (s.items[i].id == *chosen_id) {
                v.selected = int(i);
                break;
            }
    v.page = std::clamp<long long>(v.page, 0, v.placement.pages - 1);
}

bool PressRow(DesktopView& v, long long index, Tick now, bool double_click_message) {
    const bool again =
        v.last_click_position == index && now >= v.last_click_time && now - v.last_click_time <= kListDoubleClickMs;
    v.selected = int(index);
    if (double_click_message || again) {
        v.last_click_position = -1;
        return true;
    }
    v.last_click_position = index;
    v.last_click_time = now;
    return false;
}

bool CanMinimise(const EditorState& s) {
    if (s.kind != screen_kind::kComputer || s.paper || IsLoginScreen(s)) return false;
    if (AnyBit(s.Flags(), desktop_flag::kInstitution | desktop_flag::kCarried)) return false;
    const ComputerLayout l = ChooseComputerLayout(s);
    return l != ComputerLayout::kDialogPanel && l != ComputerLayout::kEntryPanel;
}

UiRect MinimiseArea(const EditorState& s) { return IsCompactFrame(s) ? kCompactMinimiseArea : kMinimiseArea; }

DesktopHit HitDesktop(const DesktopView& v, const EditorState& s, int x, int y) {
    DesktopHit h;
    if (x < 0 || y < 0 || x >= 810 || y >= 760) return h;
    const DesktopPlacement& p = v.placement;
    const int tile = TileIndexAt(s, p.per_page, x, y);
    if (tile >= 0) {
        h.kind = DesktopHitKind::kTile;
        h.value = tile + p.per_page * v.page;
        return h;
    }
    if (p.home >= 0 && Inside(HomeButtonRect(), x, y)) {
        h.kind = DesktopHitKind::kHome;
        return h;
    }
    if (p.logout >= 0 && Inside(LogoutButtonRect(p.home >= 0), x, y)) {
        h.kind = DesktopHitKind::kLogout;
        return h;
    }
    if (Inside(kDesktopCloseArea, x, y) || (IsWeb(s) && Inside(kWebBackButton, x, y))) {
        h.kind = DesktopHitKind::kClose;
        h.value = CloseAnswer(s);
        return h;
    }
    if (y >= 706 && y < 742) {
        const int n = AnswerButtonCount(s);
        const int i = std::clamp((x - 40) / (740 / n) + 1, 1, n);
        if (!s.buttons[std::size_t(i - 1)].empty()) {
            h.kind = DesktopHitKind::kAnswer;
            h.value = i;
        }
        return h;
    }
    const UiRect row = PagingRow(s, p);
    if (p.pages > 1 && y >= row.top && y < row.bottom) {
        if (x < 136) h.kind = DesktopHitKind::kPreviousPage;
        else if (x > 673) h.kind = DesktopHitKind::kNextPage;
    }
    return h;
}

CanvasPoint16 DecodeCanvasPoint(std::uint32_t lparam) {
    return {int(std::int16_t(lparam & 0xFFFFu)), int(std::int16_t(lparam >> 16))};
}

DesktopOutcome DesktopPointer(DesktopView& v, EditorState& s, PointerEvent e, int x, int y, Tick now,
                              Tick double_click_ms) {
    DesktopOutcome out;
    if (e == PointerEvent::kMove) {
        if (!v.pressed) return out;
        v.cursor_x = x;
        v.cursor_y = y;
        if (!v.dragging && v.press_item >= 0 &&
            (std::abs(x - v.press_x) > kDragThreshold || std::abs(y - v.press_y) > kDragThreshold))
            v.dragging = true;
        out.redraw = v.dragging;
        return out;
    }
    const DesktopHit hit = HitDesktop(v, s, x, y);
    if (e == PointerEvent::kDown) {
        v.pressed = true;
        v.dragging = false;
        v.press_item = -1;
        v.press_x = v.cursor_x = x;
        v.press_y = v.cursor_y = y;
        out.redraw = true;
        switch (hit.kind) {
            case DesktopHitKind::kTile: {
                const int item = ItemAt(v, hit.value);
                if (item >= 0) {
                    v.selected = item;
                    v.press_item = item;
                }
                break;
            }
            case DesktopHitKind::kHome:
                v.selected = v.placement.home;
                out.answer = 1;
                break;
            case DesktopHitKind::kLogout:
                v.selected = v.placement.logout;
                out.answer = 1;
                break;
            case DesktopHitKind::kClose:
            case DesktopHitKind::kAnswer: out.answer = int(hit.value); break;
            case DesktopHitKind::kPreviousPage: v.page = std::max<long long>(0, v.page - 1); break;
            case DesktopHitKind::kNextPage: v.page = std::min(v.placement.pages - 1, v.page + 1); break;
            case DesktopHitKind::kNothing: break;
        }
        return out;
    }
    // Mouse up.
    if (!v.pressed) return out;
    const bool dragged = v.dragging;
    const int item = v.press_item;
    v.pressed = v.dragging = false;
    v.press_item = -1;
    out.redraw = true;
    if (item < 0) return out;
    if (dragged) {
        if (hit.kind == DesktopHitKind::kTile) Drop(v, s, item, hit.value, out);
        v.last_click_position = -1;
        return out;
    }
    if (hit.kind != DesktopHitKind::kTile || ItemAt(v, hit.value) != item) return out;
    if (s.screen_id.rfind("desktop:hospic:", 0) == 0) {
        out.answer = 1;
        return out;
    }
    if (v.last_click_position == hit.value && now - v.last_click_time <= double_click_ms) {
        v.last_click_position = -1;
        out.answer = 1;
        return out;
    }
    v.last_click_position = hit.value;
    v.last_click_time = now;
    return out;
}

DesktopOutcome DesktopKey(DesktopView& v, const EditorState& s, std::uint32_t vk) {
    DesktopOutcome out;
    int step = 0;
    switch (vk) {
        case kVkReturn: out.answer = 1; return out;
        case kVkEscape: out.answer = CloseAnswer(s); return out;
        case kVkPrior:
            v.page = std::max<long long>(0, v.page - 1);
            out.redraw = true;
            return out;
        case kVkNext:
            v.page = std::min(v.placement.pages - 1, v.page + 1);
            out.redraw = true;
            return out;
        case kVkLeft: step = -1; break;
        case kVkRight: step = 1; break;
        case kVkUp: step = -RowStep(s); break;
        case kVkDown: step = RowStep(s); break;
        default: return out;
    }
    out.redraw = true;
    const long long from = PositionOf(v, v.selected);
    if (from < 0) {
        // Nothing selected yet: the first icon of the page.
        const long long first = WalkTo(v, v.page * v.placement.per_page, 1);
        if (first >= 0) Select(v, ItemAt(v, first));
        return out;
    }
    const long long to = WalkTo(v, from + step, step);
    if (to >= 0) Select(v, ItemAt(v, to));
    return out;
}

std::optional<int> SelectedItemId(const DesktopView& v, const EditorState& s) {
    if (v.selected < 0 || std::size_t(v.selected) >= s.items.size()) return std::nullopt;
    return s.items[std::size_t(v.selected)].id;
}

}  // namespace hm
