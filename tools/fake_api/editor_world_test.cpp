// The editor world of the fake API, met by the plugin's own EditorSync through an independent
// HTTP client: the form opens, polls carry "?current=7" and get the clock, an answer closes it,
// a sketch arrives as a PNG.
#include "tools/fake_api/editor_world.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include "base/text1250.h"
#include "computer/editor_sync.h"
#include "computer/rtf_text.h"
#include "tools/fake_api/demo_world.h"
#include "ui/png_file.h"

namespace hm::fake {
namespace {

class EditorWorldTest : public testing::Test {
protected:
    void Start(EditorWorldOptions options) {
        world = std::make_unique<EditorWorld>(options);
        world->Attach(api);
        client = std::make_unique<httplib::Client>("127.0.0.1", api.port());
        fx.request = [this](const ApiClient&, const std::string& method, const std::string& path,
                            const std::string& bearer, const std::string& body, std::uint32_t) {
            httplib::Headers headers{{"Authorization", "Bearer " + bearer}};
            const std::string target = api.BasePath() + path;
            auto res = method == "GET" ? client->Get(target.c_str(), headers)
                                       : client->Post(target.c_str(), headers, body, "application/octet-stream");
            if (!res) throw std::runtime_error("HTTPS request failed");
            return ApiResponse{res->status, res->body};
        };
        fx.encode_sketch = [](const Pixels& p) {
            const std::vector<std::uint8_t> png = EncodePng(p);
            return std::string(png.begin(), png.end());
        };
        window.start = [this](const EditorState& s) {
            if (!ClaimEditorOpen(ex, s)) return false;
            shown.push_back(s);
            return true;
        };
        window.post_new_state = [this](const EditorState& s) {
            shown.push_back(s);
            return true;
        };
        window.post_close = [this] {
            ++closes;
            EditorWindowGone(ex);
            ReleaseEditorOpen(ex);
            return true;
        };
        fx.window = &window;
        OfferEditorSession(sync, ApiClient{}, kDemoSessionToken);
    }
    void Pass() {
        EditorSyncPass(ex, sync, fx, now, EditorKeys{});
        now += kEditorPacingMs;
    }

    FakeApi api;
    std::unique_ptr<EditorWorld> world;
    std::unique_ptr<httplib::Client> client;
    OverlayState overlay;
    EditorExchange ex{overlay};
    EditorSyncRecord sync;
    EditorSyncEffects fx;
    EditorWindowSeam window;
    std::vector<EditorState> shown;
    int closes = 0;
    Tick now = 1000;
};

TEST_F(EditorWorldTest, TheFormOpensWaitsForItsAnswerAndClosesAfterIt) {
    Start({2, 1234, 0, 0});
    Pass();
    Pass();
    EXPECT_TRUE(shown.empty()) << "204 before the form opens";
    Pass();
    ASSERT_EQ(shown.size(), 1u);
    const EditorState& form = shown[0];
    EXPECT_EQ(form.request_id, 7);
    EXPECT_EQ(form.kind, 10);
    EXPECT_EQ(Cp1250ToUtf16(form.title), u"Žádost o vyjádření");
    EXPECT_EQ(form.buttons[0], "Odeslat");
    EXPECT_EQ(GameClockText(ex), L"20:34");
    Pass();
    const auto polls = api.RequestsTo("GET", "/editor/state");
    EXPECT_EQ(polls.back().query, "current=7");
    EXPECT_EQ(api.Requests().back().Header("Authorization"), "Bearer " + kDemoSessionToken);

    ASSERT_TRUE(SubmitEditorResult(ex, {7, 1, "{\\rtf1\\ansi ahoj}"}, true, now));
    Pass();
    EXPECT_THAT(world->Results(), testing::ElementsAre("7\n1\n{\\rtf1\\ansi ahoj}"));
    Pass();
    EXPECT_EQ(closes, 1) << "204 after the answer";
    EXPECT_FALSE(world->FormOpen());
}

// Rounds for a long session: every answer closes the form, and it opens again a few polls later.
TEST_F(EditorWorldTest, WithReopenTheFormComesBackAfterEachAnswer) {
    EditorWorldOptions options;
    options.open_after_polls = 1;
    options.reopen_after_polls = 2;
    Start(options);
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        const std::size_t before = shown.size();
        for (int i = 0; i < 3 && shown.size() == before; ++i) Pass();
        ASSERT_EQ(shown.size(), before + 1) << "the form opens again";
        const int id = 7 + 10 * (round - 1);  // a new screen each round
        EXPECT_EQ(shown.back().request_id, id);
        EXPECT_EQ(world->FormId(), id);
        EXPECT_EQ(world->Openings(), round);
        EXPECT_TRUE(world->FormOpen());
        ASSERT_TRUE(SubmitEditorResult(ex, {id, 0, ""}, true, now));
        Pass();
        EXPECT_FALSE(world->FormOpen());
        Pass();
        EXPECT_EQ(closes, round) << "204 after the answer";
    }
    // Open, but polled without "?current=" (the plugin lost it): offered again with a new id.
    for (int i = 0; i < 3 && world->Openings() == 3; ++i) Pass();
    ASSERT_EQ(world->Openings(), 4);
    auto again = client->Get((api.BasePath() + "/editor/state").c_str());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200);
    EXPECT_EQ(again->body.rfind("47\n", 0), 0u) << again->body;
    EXPECT_EQ(world->Openings(), 5);
}

TEST_F(EditorWorldTest, ASketchArrivesAsAPngOfItsSize) {
    Start({0, 1234, 1, 3});
    Pass();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].picture_slot, 1);
    EXPECT_EQ(shown[0].picture_mode, 3);
    SetPendingSketch(ex, 7, MakePixels(267, 294));
    Pass();
    const auto sketches = world->Sketches();
    ASSERT_EQ(sketches.size(), 1u);
    EXPECT_EQ(sketches[0].query, "request=7");
    EXPECT_EQ(sketches[0].width, 267u);
    EXPECT_EQ(sketches[0].height, 294u);
    // Awaiting the server after the upload: the form comes again and reaches the window.
    Pass();
    EXPECT_EQ(shown.size(), 2u);
}

TEST_F(EditorWorldTest, TheComputerMovesIconsOpensTheContractAndSignsIt) {
    Start({0, 1234, 0, 0});
    world->OpenComputer();
    Pass();
    ASSERT_EQ(shown.size(), 1u);
    const EditorState& desktop = shown[0];
    EXPECT_EQ(desktop.request_id, kDesktopScreenId);
    EXPECT_EQ(desktop.kind, 16);
    EXPECT_EQ(desktop.Flags(), 0x82u);
    ASSERT_EQ(desktop.items.size(), 5u);
    EXPECT_EQ(desktop.items[2].id, kContractItemId);
    EXPECT_EQ(desktop.items[2].tag, "app:doc12");
    EXPECT_EQ(desktop.items[3].id, kBookItemId);
    EXPECT_EQ(desktop.items[4].slot, "22");
    EXPECT_EQ(GameClockText(ex), L"20:34");

    // A move to an empty slot, then one onto Mail: the icons swap; the refresh shows them.
    PostEditorBody(ex, EditorBody::kDesktopPosition, "31\nword\n7");
    Pass();
    Pass();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].items[0].slot, "7");
    PostEditorBody(ex, EditorBody::kDesktopPosition, "31\nword\n1");
    Pass();
    Pass();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[2].items[0].slot, "1");
    EXPECT_EQ(shown[2].items[1].slot, "7");
    // Keys the desktop does not hold and bodies it cannot read are refused.
    for (const char* bad : {"31\nnone\n2", "31\nword\n-1", "31\nword", "30\nword\n2", "31\nword\n2147483648"}) {
        PostEditorBody(ex, EditorBody::kDesktopPosition, bad);
        Pass();
        EXPECT_EQ(api.Requests().back().path, "/editor/desktop-position");
    }
    EXPECT_EQ(world->PositionBodies().size(), 7u);

    // Double click on the contract: its sheet; the second signing click signs it.
    ASSERT_TRUE(SubmitEditorResult(ex, {kDesktopScreenId, 1, "{\\rtf1\\hmsel12 }"}, true, now));
    Pass();
    Pass();
    ASSERT_EQ(shown.back().request_id, kContractSheetId);
    EXPECT_EQ(shown.back().kind, 1);
    EXPECT_TRUE(shown.back().signable);
    EXPECT_TRUE(shown.back().electronic_signatures.empty());
    ASSERT_TRUE(SubmitEditorResult(ex, {kContractSheetId, 2, "{\\rtf1\\hmsign1 }"}, true, now));
    Pass();
    Pass();
    EXPECT_TRUE(world->Signed());
    ASSERT_EQ(shown.back().electronic_signatures.size(), 1u);
    EXPECT_EQ(shown.back().electronic_signatures[0], "Test_Player, 10. 12. 2026");
    EXPECT_EQ(shown.back().content, shown[shown.size() - 2].content);
    EXPECT_TRUE(shown.back().removable);

    // Removing it: only the one signature there is, on the sheet; a refused body leaves the
    // signature and tells the player.
    for (const char* bad : {"40\n1", "31\n0", "40\n-1", "40"}) {
        PostEditorBody(ex, EditorBody::kSignatureDelete, bad);
        Pass();
        EXPECT_EQ(api.Requests().back().path, "/editor/signatures/delete");
        EXPECT_EQ(shown.back().status_text, L"Změna se nepodařila (HTTP 400). Otevři dokument znovu.");
    }
    EXPECT_TRUE(world->Signed());
    PostEditorBody(ex, EditorBody::kSignatureDelete, "40\n0");
    Pass();
    Pass();
    EXPECT_FALSE(world->Signed());
    EXPECT_TRUE(shown.back().electronic_signatures.empty());
    EXPECT_FALSE(shown.back().removable);
    EXPECT_EQ(world->SignatureDeleteBodies().size(), 5u);
}

TEST_F(EditorWorldTest, TheBookOpensFromTheDesktopTurnsItsPagesAndCloses) {
    Start({0, 1234, 0, 0});
    world->OpenComputer();
    Pass();
    ASSERT_TRUE(SubmitEditorResult(ex, {kDesktopScreenId, 1, "{\\rtf1\\hmsel15 }"}, true, now));
    Pass();
    Pass();
    ASSERT_EQ(world->ComputerScreen(), kBookScreenId);
    const EditorState cover = shown.back();
    EXPECT_EQ(cover.request_id, kBookScreenId);
    EXPECT_EQ(cover.kind, 15);
    EXPECT_EQ(cover.page, 0);
    EXPECT_EQ(cover.page_count, kBookPages);
    EXPECT_EQ(cover.record_count, 3);
    EXPECT_EQ(cover.cover_type, 1);
    EXPECT_EQ(cover.cover_title, Utf16ToCp1250(u"Provozní řád městského úřadu"));
    ASSERT_EQ(cover.items.size(), 3u);
    EXPECT_EQ(cover.items[1].id, 3) << "the contents name their pages";
    EXPECT_EQ(cover.items[1].label, Utf16ToCp1250(u"Úřední hodiny"));
    EXPECT_TRUE(cover.content.empty());

    // Each page the book has: its state follows the body; the page's RTF reads as its text.
    struct Page {
        int page;
        std::u16string text;
    } const pages[] = {
        {3, u"Článek 2\r\nPo\t8:00–16:00\r\nÚt\t8:00–12:00\r\n"},
        {2, u"Článek 1 – Úvodní ustanovení\r\nProvozní řád platí pro všechny úředníky.\r\n"},
        {4, u"Článek 3\r\nKaždou listinu podepisuje úředník, který ji vydal.\r\n"},
        {1, u""},
        {0, u""},
    };
    for (const Page& p : pages) {
        PostEditorBody(ex, EditorBody::kBook, "50\n" + std::to_string(p.page));
        Pass();
        Pass();
        EXPECT_EQ(world->BookPage(), p.page);
        EXPECT_EQ(shown.back().page, p.page);
        EXPECT_EQ(RtfToText(shown.back().content), p.text) << p.page;
    }
    // Pages it has not, other screens and unreadable bodies are refused; the player is told.
    for (const char* bad : {"50\n5", "50\n-1", "50\n", "50\n12", "50", "31\n2", "50\n2\n"}) {
        PostEditorBody(ex, EditorBody::kBook, bad);
        Pass();
        EXPECT_EQ(api.Requests().back().path, "/editor/book") << bad;
        EXPECT_EQ(shown.back().status_text, L"Akci server odmítl (HTTP 400). Ověř oprávnění a aktuální stav spisu.")
            << bad;
    }
    EXPECT_EQ(world->BookPage(), 0);
    EXPECT_EQ(world->BookBodies().size(), 12u);

    // "Zavřít" answers 4: back to the desktop; from there the book opens on its cover again.
    PostEditorBody(ex, EditorBody::kBook, "50\n3");
    Pass();
    Pass();
    ASSERT_TRUE(SubmitEditorResult(ex, {kBookScreenId, 4, "{\\rtf1}"}, true, now));
    Pass();
    Pass();
    EXPECT_EQ(world->ComputerScreen(), kDesktopScreenId);
    EXPECT_EQ(shown.back().request_id, kDesktopScreenId);
    ASSERT_TRUE(SubmitEditorResult(ex, {kDesktopScreenId, 1, "{\\rtf1\\hmsel15 }"}, true, now));
    Pass();
    Pass();
    EXPECT_EQ(shown.back().page, 0);
    ASSERT_TRUE(SubmitEditorResult(ex, {kBookScreenId, 0, "{\\rtf1}"}, true, now));
    Pass();
    EXPECT_EQ(world->ComputerScreen(), 0);
}

TEST_F(EditorWorldTest, TheDesktopCanFollowTheAnsweredForm) {
    EditorWorldOptions options;
    options.computer_after_polls = 2;
    Start(options);
    Pass();
    ASSERT_TRUE(SubmitEditorResult(ex, {7, 1, "{\\rtf1}"}, true, now));
    Pass();
    Pass();
    EXPECT_EQ(closes, 1);
    Pass();
    EXPECT_EQ(world->ComputerScreen(), 0);
    Pass();
    EXPECT_EQ(world->ComputerScreen(), kDesktopScreenId);
    EXPECT_EQ(shown.back().request_id, kDesktopScreenId);
}

TEST(EditorWorldLog, BodiesAreReadable) {
    EXPECT_EQ(DescribeEditorBody("7\n1\n{\\rtf1 \xe8\x61j}"), "7\\n1\\n{\\\\rtf1 \\xe8aj}");
    std::string png = "\x89PNG\r\n\x1a\n" + std::string("\0\0\0\x0dIHDR\0\0\x01\x0b\0\0\x01\x26", 16) + "rest";
    EXPECT_EQ(DescribeEditorBody(png), "PNG 267 x 294, 28 bytes");
}

}  // namespace
}  // namespace hm::fake
