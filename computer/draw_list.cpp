#include "computer/draw_list.h"

#include <utility>

namespace hm {

void AddFill(DrawList& l, UiRect r, ColorRef c) {
    DrawOp op;
    op.kind = DrawOpKind::kFill;
    op.r = r;
    op.colour = c;
    l.push_back(std::move(op));
}

void AddRoundFill(DrawList& l, UiRect r, ColorRef c, int radius) {
    DrawOp op;
    op.kind = DrawOpKind::kRoundFill;
    op.r = r;
    op.colour = c;
    op.radius = radius;
    l.push_back(std::move(op));
}

void AddText(DrawList& l, UiRect r, std::wstring text, ColorRef c, unsigned format, DrawFont font) {
    if (text.empty()) return;
    DrawOp op;
    op.kind = DrawOpKind::kText;
    op.r = r;
    op.colour = c;
    op.text = std::move(text);
    op.format = format;
    op.font = font;
    l.push_back(std::move(op));
}

void AddButton(DrawList& l, UiRect r, std::wstring label, bool primary, std::uint32_t flags) {
    DrawOp op;
    op.kind = DrawOpKind::kButton;
    op.r = r;
    op.text = std::move(label);
    op.primary = primary;
    op.flags = flags;
    l.push_back(std::move(op));
}

const DrawOp* FindText(const DrawList& l, const std::wstring& text) {
    for (const DrawOp& op : l)
        if ((op.kind == DrawOpKind::kText || op.kind == DrawOpKind::kButton) && op.text == text) return &op;
    return nullptr;
}

}  // namespace hm
