// Ctrl+F9 in the worker pass: the update dialog's content, the build behind its first button
// and what the mailbox answer starts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "base/text1250.h"
#include "core/session_steps.h"
#include "core/worker_hooks.h"
#include "core/worker_loop.h"

namespace hm {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class UpdateDialogStep : public testing::Test {
protected:
    void SetUp() override {
        ctx.config.api_url = L"https://api.example.cz/HM/MEDIA-PLUGIN/api";
        ctx.client.base_path = L"/HM/MEDIA-PLUGIN/api";
        SessionEffects fx;
        fx.request = [this](const ApiClient&, const std::string& method, const std::string& path, const std::string&,
                            const std::string&, std::uint32_t) {
            sent.push_back(method + " " + path);
            if (path == "/client/release") return ApiResponse{200, release};
            return ApiResponse{404, ""};
        };
        fx.show_dialog = [this](const DialogRequest& d) { dialogs.push_back(d); };
        fx.take_dialog_result = [this] { return std::exchange(answer, std::nullopt); };
        fx.notice = [this](const std::wstring& text, bool) { notices.push_back(text); };
        fx.hooks.start_update_download = [this](int build) { downloads.push_back(build); };
        fx.plugin = &plugin;
        fx.shared = &shared;
        fx.media = &media;
        InstallSessionEffects(std::move(fx), [] { return true; }, [this] { return editor_open; });
        Pass();  // the session starts on the first pass
    }
    void TearDown() override { ReleaseSessionObjects(ctx); }

    void Pass(bool ctrl_f9 = false) {
        HotkeyKeys keys;
        keys.ctrl = ctrl_f9;
        keys.f9 = ctrl_f9;
        keys.game_in_foreground = true;
        WorkerPass(ctx, now, keys);
        now += 30;
    }
    void PressCtrlF9() {
        Pass(true);
        Pass();
    }
    void AnswerFirstButton() {
        answer = DialogResult{kUpdateDialogId, 1, ""};
        Pass();
    }

    WorkerContext ctx;
    PluginRecord plugin;
    SharedState shared;
    MediaSession media;
    std::string release = "HMPLUGIN\n17306\n1.01\n";
    std::optional<DialogResult> answer;
    bool editor_open = false;
    std::vector<std::string> sent;
    std::vector<DialogRequest> dialogs;
    std::vector<std::wstring> notices;
    std::vector<int> downloads;
    Tick now = 1000;
};

TEST_F(UpdateDialogStep, NewerReleaseOffersTheDownloadAndTheFirstButtonStartsIt) {
    PressCtrlF9();
    ASSERT_EQ(dialogs.size(), 1u);
    const DialogRequest& d = dialogs[0];
    EXPECT_EQ(d.id, kUpdateDialogId);
    EXPECT_EQ(d.kind, kUpdateDialogKind);
    EXPECT_EQ(d.title, WideToCp1250(L"HM Plugin – aktualizace"));
    EXPECT_THAT(d.body, HasSubstr(WideToCp1250(L"Aktuální verze: 1.01 BETA")));
    EXPECT_EQ(d.first_button, "Stahnout aktualizaci");
    EXPECT_THAT(sent, ElementsAre("GET /client/release"));
    AnswerFirstButton();
    EXPECT_THAT(downloads, ElementsAre(17306));
    EXPECT_THAT(notices, ElementsAre(L"Aktualizace se stahuje. Ctrl+F9 zobrazí její stav."));
}

TEST_F(UpdateDialogStep, CurrentReleaseOrAFailedCheckStartsNothing) {
    release = "HMPLUGIN\n17305\n1.00\n";
    PressCtrlF9();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].first_button, "Zavrit");
    AnswerFirstButton();
    release = "garbage";
    PressCtrlF9();
    AnswerFirstButton();
    EXPECT_THAT(downloads, IsEmpty());
}

// A ready package's dialog must not keep the build an earlier dialog offered.
TEST_F(UpdateDialogStep, ReadyPackageShowsItsFolderAndForgetsAnEarlierOffer) {
    PressCtrlF9();  // offers 17306
    shared.package_folder = L"C:\\Users\\hráč\\Downloads\\HM_Plugin\\17306";
    sent.clear();
    PressCtrlF9();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_THAT(dialogs[1].body, HasSubstr(WideToCp1250(L"Složka s balíčkem:\nC:\\Users\\hráč\\Downloads\\HM_Plugin\\17306")));
    EXPECT_EQ(dialogs[1].first_button, WideToCp1250(L"Rozumím"));
    EXPECT_THAT(sent, IsEmpty());
    AnswerFirstButton();
    EXPECT_THAT(downloads, IsEmpty());
}

TEST_F(UpdateDialogStep, IgnoredWhileAScreenIsOpen) {
    editor_open = true;
    PressCtrlF9();
    EXPECT_THAT(dialogs, IsEmpty());
    EXPECT_THAT(sent, IsEmpty());
}

}  // namespace
}  // namespace hm
