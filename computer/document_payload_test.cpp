// The answer payloads: every step of the builder, the escaping of typed texts, extension
// chaining and the 16000-byte limit.
#include "computer/document_payload.h"

#include "computer/document_screen.h"

#include <gtest/gtest.h>

#include <string>

namespace hm {
namespace {

using Kind = PayloadOutcome::Kind;

PayloadInputs Inputs(int kind, int action) {
    PayloadInputs in;
    in.kind = kind;
    in.action = action;
    return in;
}

PayloadInputs Selecting(int kind, int action, int id) {
    PayloadInputs in = Inputs(kind, action);
    in.has_selection = true;
    in.selected_id = id;
    return in;
}

struct PayloadCase {
    const char* name;
    PayloadInputs in;
    std::string payload;
};

TEST(DocumentPayload, SelectionsExtensionsAndFixedGroups) {
    PayloadInputs paper = Selecting(16, 1, 12);
    paper.flags = 0x400000;
    paper.paper_action = 3;
    PayloadInputs paper_no_flag = paper;
    paper_no_flag.flags = 0;
    PayloadInputs new_doc = Inputs(35, 4);
    new_doc.new_document_allowed = true;
    PayloadInputs file_action = Selecting(35, 1, 5);
    file_action.file_action = 2;
    file_action.file_manage = true;
    PayloadInputs web = Inputs(0, 3);
    web.flags = 0x40000000;
    web.web_image_id = 44;
    PayloadInputs web_no_flag = web;
    web_no_flag.flags = 0;
    PayloadInputs sign = Inputs(1, 2);
    sign.sign_confirmed = true;
    PayloadInputs bus = Selecting(16, 1, 3);
    bus.kind = 40;
    bus.screen_id = "map:8";
    bus.selected_tag = "bus-line;12";
    PayloadInputs bus_other = bus;
    bus_other.selected_tag = "stop;12";
    PayloadInputs delete_messages = Inputs(16, 4);
    delete_messages.delete_message_id = 91;
    PayloadInputs block = Inputs(33, 1);
    block.block_mode = 2;
    block.text = u"spam {x}";
    PayloadInputs cctv = Inputs(18, 1);
    cctv.text = u"2026-12-10 10:00:00";
    cctv.text2 = u"2026-12-10 11:00:00";
    PayloadInputs dispatch = Inputs(17, 1);
    dispatch.delivery_mask = 3;
    dispatch.text = u"Jan_Novák";
    dispatch.text2 = u"a@b.cz";
    const PayloadCase cases[] = {
        {"item 0 on the desktop", Selecting(16, 1, 0), "{\\rtf1\\hmsel0 }"},
        {"list kind 2", Selecting(2, 1, 77), "{\\rtf1\\hmsel77 }"},
        {"action equals the kind", Selecting(4, 4, 9), "{\\rtf1\\hmsel9 }"},
        {"no selection", Inputs(2, 1), "{\\rtf1}"},
        {"action 2 on a list", Selecting(5, 2, 77), "{\\rtf1}"},
        {"action 2 on kind 2 equals the kind", Selecting(2, 2, 77), "{\\rtf1\\hmsel77 }"},
        {"close", Selecting(16, 0, 3), "{\\rtf1}"},
        {"paper action 3 on item 12", paper, "{\\rtf1\\hmsel12 \\hmpaperaction3 }"},
        {"paper action without the flag", paper_no_flag, "{\\rtf1\\hmsel12 }"},
        {"new document", new_doc, "{\\rtf1\\hmnewdocument1 }"},
        {"file action and management chained", file_action, "{\\rtf1\\hmsel5 \\hmfileaction2 \\hmfilemanage1 }"},
        {"web image", web, "{\\rtf1\\hmwebimage44 }"},
        {"web image without the flag", web_no_flag, "{\\rtf1}"},
        {"electronic signature", sign, "{\\rtf1\\hmsign1 }"},
        {"signature not confirmed", Inputs(1, 2), "{\\rtf1}"},
        {"bus line on map:8", bus, "{\\rtf1\\hmsel3 }"},
        {"other feature on map:8", bus_other, "{\\rtf1}"},
        {"pending delete-messages", delete_messages, "{\\rtf1\\hmsel91 }"},
        {"block", block, "{\\rtf1\\hmblock2 spam \\{x\\}}"},
        {"cctv", cctv, "{\\rtf1 2026-12-10 10:00:00|2026-12-10 11:00:00}"},
        {"dispatch", dispatch, "{\\rtf1\\hmdispatch3 Jan_Nov\\u225?k|a@b.cz}"},
    };
    for (const PayloadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const PayloadOutcome out = BuildPayload(c.in);
        EXPECT_EQ(out.kind, Kind::kSend);
        EXPECT_EQ(out.payload, c.payload);
    }
    EXPECT_TRUE(BuildPayload(paper).paper_action_used);
    EXPECT_FALSE(BuildPayload(paper_no_flag).paper_action_used);
}

struct RefusalCase {
    const char* name;
    PayloadInputs in;
    std::wstring status;
};

TEST(DocumentPayload, ValidationRefusesWithTheStatusText) {
    PayloadInputs cctv = Inputs(18, 1);
    cctv.text = u"2026-12-10 10:00:00";
    cctv.text2 = u"2026-12-10 11:00";
    PayloadInputs no_way = Inputs(17, 1);
    PayloadInputs sms_short = Inputs(17, 1);
    sms_short.delivery_mask = 1;
    sms_short.text = u"Jo";
    PayloadInputs post_short = sms_short;
    post_short.delivery_mask = 4;
    PayloadInputs mail = Inputs(17, 1);
    mail.delivery_mask = 2;
    mail.text2 = u"nobody";
    const RefusalCase cases[] = {
        {"cctv field of 16", cctv, L"Vyplň obě data ve formátu RRRR-MM-DD HH:MM:SS."},
        {"no delivery", no_way, L"Vyber alespoň jeden způsob doručení."},
        {"sms without a name", sms_short, L"Vyplň jméno hráče."},
        {"post without a name", post_short, L"Vyplň jméno hráče."},
        {"e-mail without @", mail, L"Vyplň platnou e-mailovou adresu."},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        const PayloadOutcome out = BuildPayload(c.in);
        EXPECT_EQ(out.kind, Kind::kRefused);
        EXPECT_EQ(out.status, c.status);
        EXPECT_TRUE(out.payload.empty());
    }
}

TEST(DocumentPayload, TwoStepSigningAsksFirstThenGoesOn) {
    PayloadInputs kind0 = Inputs(0, 2);
    kind0.button2 = "Elektronicky podepsat";
    kind0.document_rtf = [] { return std::string("{\\rtf1 text}"); };
    PayloadInputs kind8 = Inputs(8, 1);
    for (PayloadInputs* in : {&kind0, &kind8}) {
        const PayloadOutcome first = BuildPayload(*in);
        EXPECT_EQ(first.kind, Kind::kConfirmFirst);
        EXPECT_EQ(first.status, kSignFirstClickText);
        in->sign_confirmed = true;
        EXPECT_EQ(BuildPayload(*in).kind, Kind::kSend);
    }
    EXPECT_EQ(BuildPayload(kind0).payload, "{\\rtf1 text}");
    // Paper and other button labels sign at once.
    PayloadInputs paper = kind0;
    paper.sign_confirmed = false;
    paper.paper = true;
    EXPECT_EQ(BuildPayload(paper).kind, Kind::kSend);
    PayloadInputs other = kind0;
    other.sign_confirmed = false;
    other.button2 = "Odeslat";
    EXPECT_EQ(BuildPayload(other).kind, Kind::kSend);
}

TEST(DocumentPayload, TheConfirmLabelGoesOnTheButtonWhoseAnswerWaits) {
    for (const int kind : {0, 8}) {
        SCOPED_TRACE(kind);
        EditorState s;
        s.kind = kind;
        s.buttons = {"Zpět", "Elektronicky podepsat", "", ""};
        DocumentScreen d;
        ResetDocumentScreen(d, s);
        const int action = kind == 8 ? 1 : 2;
        EXPECT_FALSE(ConfirmSignLabel(d, s, action - 1));
        PayloadInputs in = PayloadInputsFor(d, s, action);
        const PayloadOutcome first = BuildPayload(in);
        ASSERT_EQ(first.kind, Kind::kConfirmFirst);
        AfterPayload(d, s, first);
        EXPECT_EQ(ConfirmSignLabel(d, s, action - 1), std::wstring(L"Potvrdit podpis"));
        EXPECT_FALSE(ConfirmSignLabel(d, s, 2 - action));  // the other button keeps its label
        EXPECT_EQ(BuildPayload(PayloadInputsFor(d, s, action)).kind, Kind::kSend);
        UpdateDocumentScreen(d, s, s);  // a new state clears the confirmation
        EXPECT_FALSE(ConfirmSignLabel(d, s, action - 1));
    }
}

TEST(DocumentPayload, DocumentGoesWhole16000BytesOrNotAtAll) {
    const std::string head = "{\\rtf1 ";
    const auto document = [&](std::size_t bytes) { return head + std::string(bytes - head.size() - 1, 'a') + "}"; };
    PayloadInputs in = Inputs(0, 1);
    for (const std::size_t size : {std::size_t(16000), std::size_t(16001)}) {
        SCOPED_TRACE(size);
        std::string text = document(size);
        in.document_rtf = [&] { return text; };
        const PayloadOutcome out = BuildPayload(in);
        if (size == 16000) {
            EXPECT_EQ(out.kind, Kind::kSend);
            EXPECT_EQ(out.payload, text);
        } else {
            EXPECT_EQ(out.kind, Kind::kRefused);
            EXPECT_EQ(out.status, kDocumentTooLongText);
            EXPECT_TRUE(out.payload.empty());
            EXPECT_EQ(text.size(), 16001u) << "the typed document is left as it was";
        }
    }
    // A selection does not stream the document: its size cannot stand in the way.
    PayloadInputs desktop = Selecting(16, 1, 4);
    int streamed = 0;
    desktop.document_rtf = [&] {
        ++streamed;
        return document(20000);
    };
    EXPECT_EQ(BuildPayload(desktop).payload, "{\\rtf1\\hmsel4 }");
    EXPECT_EQ(streamed, 0);
    // Read-only documents, action 0, kind 16's second button: the base payload.
    PayloadInputs read_only = Inputs(0, 1);
    read_only.read_only = true;
    read_only.document_rtf = [&] { return document(100); };
    EXPECT_EQ(BuildPayload(read_only).payload, "{\\rtf1}");
    PayloadInputs desktop2 = Inputs(16, 2);
    desktop2.document_rtf = read_only.document_rtf;
    EXPECT_EQ(BuildPayload(desktop2).payload, "{\\rtf1}");
}

TEST(DocumentPayload, TypedTextIsEscapedPerUtf16Unit) {
    const struct {
        std::u16string text;
        std::string escaped;
    } cases[] = {
        {u"a\\b{c}d", "a\\\\b\\{c\\}d"},
        {u"\r\n", "\\u13?\\u10?"},
        {u"\uFFFF", "\\u-1?"},
        {u"\U0001F600", "\\u-10179?\\u-8704?"},
        {u"ž~ ", "\\u382?~ "},
        {u"\x7F\x1F", "\\u127?\\u31?"},
    };
    for (const auto& c : cases) EXPECT_EQ(RtfEscape(c.text), c.escaped);
    // The block reason keeps 127 units.
    PayloadInputs block = Inputs(33, 1);
    block.text = std::u16string(200, u'x');
    EXPECT_EQ(BuildPayload(block).payload, "{\\rtf1\\hmblock0 " + std::string(127, 'x') + "}");
}

TEST(DocumentPayload, ExtensionsChain) {
    EXPECT_EQ(ExtendPayload(ExtendPayload("{\\rtf1\\hmsel1 }", "hmfileaction", 3), "hmfilemanage", 1),
              "{\\rtf1\\hmsel1 \\hmfileaction3 \\hmfilemanage1 }");
    EXPECT_EQ(ExtendPayload("{\\rtf1}", "hmnewdocument", 1), "{\\rtf1\\hmnewdocument1 }");
}

}  // namespace
}  // namespace hm
