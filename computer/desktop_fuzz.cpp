// libFuzzer target over what the desktop makes of a server's state: placement, draw lists,
// input on every layout and the payload. Only std::runtime_error may come out of the parser;
// after it nothing may throw, every grid position has one owner, positions stay bounded and a
// position body is three lines.
//   build/fuzz/bin/desktop_fuzz computer/fuzz_corpus/desktop_fuzz -max_total_time=60
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/text1250.h"
#include "computer/backdrop.h"
#include "computer/book_viewer.h"
#include "computer/desktop_draw.h"
#include "computer/dialog_panel.h"
#include "computer/document_list.h"
#include "computer/document_screen.h"
#include "computer/entry_panel.h"
#include "computer/signature_sheet.h"

namespace {

void CheckPlacement(const hm::EditorState& s, const hm::DesktopPlacement& p) {
    std::size_t in_grid = 0;
    for (std::size_t i = 0; i < s.items.size(); ++i) {
        const long long pos = p.position[i];
        if (pos < 0) continue;
        ++in_grid;
        if (pos > hm::kMaxSlot + hm::kMaxItemsFileManager) std::abort();
        const auto it = p.at.find(pos);
        if (it == p.at.end() || it->second != int(i)) std::abort();
    }
    if (in_grid != p.at.size() || p.pages < 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    hm::EditorState parsed;
    try {
        parsed = hm::ParseEditorState(body);
    } catch (const std::runtime_error&) {
        return 0;
    }
    for (const int kind : {hm::screen_kind::kComputer, hm::screen_kind::kSignatureSheet, hm::screen_kind::kAttachmentList,
                           hm::screen_kind::kSearchResults, hm::screen_kind::kBook, 5, 6}) {
        hm::EditorState s = parsed;
        s.kind = kind;
        hm::RebuildContentRows(s);  // kinds 5 and 6: the rows of the content text
        if (s.items.size() > std::size_t(hm::kMaxItemsFileManager)) std::abort();
        hm::DocumentScreen d;
        hm::ResetDocumentScreen(d, s);
        CheckPlacement(s, d.desktop.placement);
        hm::Tick now = 1000;
        // Events from the body's own bytes: message, point, time step.
        for (std::size_t i = 0; i + 4 < std::min<std::size_t>(size, 200); i += 5) {
            constexpr std::uint32_t kMessages[] = {0x201, 0x200, 0x202, 0x203, 0x100, 0x20A, 0x204, 0x102, 0x204};
            const std::uint32_t message = kMessages[data[i] % 9];
            const std::uint32_t lparam = std::uint32_t(data[i + 1]) << 2 | std::uint32_t(data[i + 2]) << 18 |
                                         (data[i + 3] & 0x80 ? 0xFFFFu : 0u);
            now += data[i + 4];
            hm::ScreenInput in;
            if (message == 0x100) in = hm::DocumentKey(d, s, message, data[i + 1] % 0x60, (data[i + 2] & 1) != 0);
            else if (message == 0x102)  // a typed unit, surrogate halves included
                in = hm::DocumentKey(d, s, message, std::uint32_t(data[i + 1]) << 8 | data[i + 2]);
            else in = hm::DocumentPointer(d, s, message, lparam >> 8, lparam, now, 500);
            if (in.paste) hm::DocumentPaste(d, std::u16string(std::size_t(data[i + 3]), char16_t(0xD800 + data[i + 4])));
            // An icon move, a reorder and an attachment body have three line breaks, a signature
            // removal, a page and a book page one.
            const long lines =
                in.body_kind == hm::EditorBody::kSignatureDelete || in.body_kind == hm::EditorBody::kPage ||
                        in.body_kind == hm::EditorBody::kBook
                    ? 1
                : in.body_kind == hm::EditorBody::kAttachment ? 3
                                                               : 2;
            if (!in.body.empty() && std::count(in.body.begin(), in.body.end(), '\n') != lines) std::abort();
            if (d.menu.dialog == 3 && d.menu.text.size() > std::size_t(hm::kPositionLimit)) std::abort();
            CheckPlacement(s, d.desktop.placement);
            if (in.answer) {
                const hm::PayloadOutcome out = hm::BuildPayload(hm::PayloadInputsFor(d, s, *in.answer));
                if (out.kind == hm::PayloadOutcome::Kind::kSend && out.payload.rfind("{\\rtf1", 0) != 0) std::abort();
            }
        }
        (void)hm::WholeScreenDrawList(d, s, {});
        (void)hm::BuildDesktopDrawList(s, d.desktop, {});
        (void)hm::BuildSheetDrawList(s, d.sheet);
        (void)hm::BuildDocumentListDrawList(s, d.desktop);
        (void)hm::BuildBookDrawList(s, d.book, L"", false, {int(size % 3000), int(size % 7)});
        // The card lines of the text as the control would hold it: inside the text, in order.
        const std::u16string text = hm::Cp1250ToUtf16(s.content);
        const hm::CardTextLines card = hm::FindCardLines(text);
        if (card.state_line && std::size_t(*card.state_line) > text.size()) std::abort();
        if (card.popis_line && (!card.state_line || std::size_t(*card.popis_line) > text.size())) std::abort();
        const std::optional<hm::UiRect> area = hm::CardDecoration(154, int(size % 700), int(data[0]) * 3);
        if (area && (area->bottom <= area->top || area->right - area->left != 500)) std::abort();
        // Over a kept backdrop: only an entry panel declines its mask, and only panels draw it.
        const hm::Backdrop behind = hm::BackdropBehind(s, (size & 1) != 0);
        if (hm::ScreenMaskInputs(s, behind).app_declines_mask && !hm::IsEntryPanel(s)) std::abort();
        (void)hm::BuildDialogPanelDrawList(s, d.desktop, area, behind, L"12:00");
        (void)hm::BuildEntryPanelDrawList(s, L"", false, behind, L"12:00");
        (void)hm::BuildPictureChooserDrawList(s, d.pictures);
    }
    return 0;
}
