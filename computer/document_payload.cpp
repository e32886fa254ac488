#include "computer/document_payload.h"

#include "computer/editor_view.h"

namespace hm {
namespace {

constexpr std::uint32_t kWebImageFlag = 0x40000000;
constexpr std::uint32_t kPaperActionsFlag = 0x400000;
constexpr std::size_t kBlockReasonUnits = 127;

bool IsSelectionKind(int k) {
    return k == 2 || k == 5 || k == 6 || k == 7 || k == 12 || k == 14 || k == 16 || k == 34 || k == 35;
}
bool IsDocumentKind(int k) { return k == 0 || k == 10 || k == 11 || k == 16 || k == 37; }

bool SendsDocument(const PayloadInputs& in) {
    const int a = in.action;
    if (a == 0 || in.read_only || !in.document_rtf) return false;
    if (!(a == 1 || a == 2 || (a == 3 && (in.flags & kWebImageFlag) != 0))) return false;
    if (in.kind == 16 && a != 1) return false;
    return IsDocumentKind(in.kind);
}

std::string SelectionGroup(long long id) { return "{\\rtf1\\hmsel" + std::to_string(id) + " }"; }

// Step 6: the selection group that replaces the payload, if any.
std::optional<std::string> SelectionPayload(const PayloadInputs& in) {
    if (in.delete_message_id) return SelectionGroup(*in.delete_message_id);
    if (!in.has_selection) return std::nullopt;
    if (in.action == 1 && IsSelectionKind(in.kind)) return SelectionGroup(in.selected_id);
    if (in.action == in.kind) return SelectionGroup(in.selected_id);
    if (in.action == 1 && in.screen_id == "map:8" && in.selected_tag.rfind("bus-line;", 0) == 0)
        return SelectionGroup(in.selected_id);
    return std::nullopt;
}

PayloadOutcome Refuse(const wchar_t* text) {
    PayloadOutcome out;
    out.kind = PayloadOutcome::Kind::kRefused;
    out.status = text;
    return out;
}

PayloadOutcome Send(std::string payload) {
    PayloadOutcome out;
    out.payload = std::move(payload);
    return out;
}

}  // namespace

std::string RtfEscape(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char16_t u : text) {
        if (u == u'\\' || u == u'{' || u == u'}') {
            out += '\\';
            out += char(u);
        } else if (u >= 32 && u <= 126) {
            out += char(u);
        } else {
            out += "\\u" + std::to_string(int(std::int16_t(u))) + "?";
        }
    }
    return out;
}

std::string ExtendPayload(std::string_view payload, std::string_view word, long long number) {
    std::string out(payload);
    if (!out.empty() && out.back() == '}') out.pop_back();
    out += '\\';
    out += word;
    out += std::to_string(number);
    out += " }";
    return out;
}

PayloadOutcome BuildPayload(const PayloadInputs& in) {
    const int a = in.action;
    // 1: phone line block.
    if (in.kind == 33 && a == 1)
        return Send("{\\rtf1\\hmblock" + std::to_string(in.block_mode) + " " +
                    RtfEscape(std::u16string_view(in.text).substr(0, kBlockReasonUnits)) + "}");
    // 2: CCTV time range.
    if (in.kind == 18 && a == 1) {
        if (in.text.size() != 19 || in.text2.size() != 19)
            return Refuse(L"Vyplň obě data ve formátu RRRR-MM-DD HH:MM:SS.");
        return Send("{\\rtf1 " + RtfEscape(in.text) + "|" + RtfEscape(in.text2) + "}");
    }
    // 3: delivery.
    if (in.kind == 17 && a == 1) {
        const int m = in.delivery_mask;
        if (m == 0) return Refuse(L"Vyber alespoň jeden způsob doručení.");
        if ((m & (1 | 4)) != 0 && in.text.size() < 3) return Refuse(L"Vyplň jméno hráče.");
        if ((m & 2) != 0 && in.text2.find(u'@') == std::u16string::npos)
            return Refuse(L"Vyplň platnou e-mailovou adresu.");
        return Send("{\\rtf1\\hmdispatch" + std::to_string(m) + " " + RtfEscape(in.text) + "|" + RtfEscape(in.text2) +
                    "}");
    }
    // 4: two-step signing.
    const bool sign_button = in.button2 == "Elektronicky podepsat" || in.button2 == "Podepsat";
    if (((a == 2 && in.kind == 0 && !in.paper && sign_button) || (a == 1 && in.kind == 8)) && !in.sign_confirmed) {
        PayloadOutcome out;
        out.kind = PayloadOutcome::Kind::kConfirmFirst;
        out.status = kSignFirstClickText;
        return out;
    }
    // 5 and 6. The document is streamed only when no selection replaces it: a long document must
    // not stand in the way of choosing an item.
    std::string payload(kEmptyRtf);
    if (std::optional<std::string> selection = SelectionPayload(in)) {
        payload = std::move(*selection);
    } else if (SendsDocument(in)) {
        std::optional<std::string> rtf = CutDocumentRtf(in.document_rtf());
        if (!rtf) return Refuse(kDocumentTooLongText);
        payload = std::move(*rtf);
    }
    // 7: extensions.
    PayloadOutcome out;
    if (in.kind == 35) {
        if (a == 4 && in.new_document_allowed) payload = ExtendPayload(payload, "hmnewdocument", 1);
        if (a == 1 && in.file_action > 0) payload = ExtendPayload(payload, "hmfileaction", in.file_action);
        if (a == 1 && in.file_manage) payload = ExtendPayload(payload, "hmfilemanage", 1);
    }
    if ((in.flags & kWebImageFlag) != 0 && a == 3 && in.web_image_id)
        payload = ExtendPayload(payload, "hmwebimage", *in.web_image_id);
    if (in.kind == 16 && (in.flags & kPaperActionsFlag) != 0 && in.paper_action > 0) {
        payload = ExtendPayload(payload, "hmpaperaction", in.paper_action);
        out.paper_action_used = true;
    }
    // 8: electronic signature.
    if (in.kind == 1 && in.sign_confirmed && a == 2) payload = "{\\rtf1\\hmsign1 }";
    out.payload = std::move(payload);
    return out;
}

}  // namespace hm
