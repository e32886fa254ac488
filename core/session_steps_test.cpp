// The session inside the worker loop's pass: start from the start-up results, Ctrl+F10 from
// the loop's hotkey edges, LastFrameTick from the plugin record, release at stop.
#include "core/session_steps.h"

#include <gtest/gtest.h>

#include "core/worker_hooks.h"
#include "core/worker_loop.h"
#include "voice/voice_state.h"

namespace hm {
namespace {

std::string VoiceToken() {
    std::lock_guard<std::mutex> hold(PluginVoice().lock);
    return PluginVoice().token;
}

class SessionStepsTest : public testing::Test {
protected:
    void SetUp() override {
        ctx.config.api_url = L"https://api.example.cz/HM/MEDIA-PLUGIN/api";
        ctx.config.auto_connect = true;
        ctx.client.base_path = L"/HM/MEDIA-PLUGIN/api";
        ctx.remembered_device = std::string(64, 'c');
        shared.identity.name = "Player_One";
        SessionEffects fx;
        fx.request = [this](const ApiClient&, const std::string& method, const std::string& path,
                            const std::string& bearer, const std::string&, std::uint32_t) {
            sent.push_back(method + " " + path + " " + bearer.substr(0, 1));
            ApiResponse r;
            if (path == "/resume") {
                r.status = 201;
                r.body = std::string(64, 'b') + "\n0123456789ab\n";
            } else if (path == "/state") {
                r.status = 200;
                r.body = "OK 0 0";
            } else {
                r.status = 204;
            }
            return r;
        };
        fx.load_device = [this] { return ctx.remembered_device; };
        fx.forget_device = [this] { ++forgets; };
        fx.show_dialog = [this](const DialogRequest& d) { dialogs.push_back(d.id); };
        fx.plugin = &plugin;
        fx.shared = &shared;
        fx.media = &media;
        InstallSessionEffects(std::move(fx), [this] { return in_front; }, nullptr);
    }
    void TearDown() override { ReleaseSessionObjects(ctx); }

    void Pass(bool ctrl_f10 = false) {
        HotkeyKeys keys;
        keys.ctrl = ctrl_f10;
        keys.f10 = ctrl_f10;
        keys.game_in_foreground = true;
        WorkerPass(ctx, now, keys);
        now += 30;
    }

    WorkerContext ctx;
    PluginRecord plugin;
    SharedState shared;
    MediaSession media;
    std::vector<std::string> sent;
    std::vector<int> dialogs;
    int forgets = 0;
    bool in_front = true;
    Tick now = 50000;
};

TEST_F(SessionStepsTest, WorkerPassesResumeOnceTheGameDrawsAndPublishTheToken) {
    Pass();
    Pass();
    EXPECT_TRUE(sent.empty());  // no frame yet
    EXPECT_TRUE(plugin.consent_given.load());
    plugin.last_frame_tick.store(now);
    Pass();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0], "POST /resume c");
    EXPECT_TRUE(plugin.connected.load());
    EXPECT_EQ(ReadMediaSession(media).token, std::string(64, 'b'));
    EXPECT_EQ(VoiceToken(), std::string(64, 'b'));
}

TEST_F(SessionStepsTest, HeldCtrlF10DisconnectsOnceThenOpensTheConsentDialog) {
    plugin.last_frame_tick.store(now);
    Pass();
    ASSERT_TRUE(plugin.connected.load());
    Pass(true);
    Pass(true);  // still held: no second action
    EXPECT_FALSE(plugin.connected.load());
    EXPECT_EQ(forgets, 1);
    EXPECT_TRUE(dialogs.empty());
    Pass();
    Pass(true);
    EXPECT_EQ(dialogs, std::vector<int>{kConsentDialogId});
    EXPECT_EQ(ReadMediaSession(media).token, "");
    EXPECT_EQ(VoiceToken(), "");
}

TEST_F(SessionStepsTest, NothingRunsOnceReleased) {
    ReleaseSessionObjects(ctx);
    plugin.last_frame_tick.store(now);
    Pass();
    EXPECT_TRUE(sent.empty());
}

}  // namespace
}  // namespace hm
