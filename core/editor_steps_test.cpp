// The editor exchange inside the worker loop's pass: after the session's steps, with the session's
// token, closed with the session, the minimise key from the loop's key sample.
#include "core/editor_steps.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/session_steps.h"
#include "core/worker_hooks.h"
#include "core/worker_loop.h"

namespace hm {
namespace {

class EditorStepsTest : public testing::Test {
protected:
    void SetUp() override {
        ctx.config.auto_connect = true;
        ctx.remembered_device = std::string(64, 'c');
        shared.identity.name = "Player_One";
        auto request = [this](const ApiClient&, const std::string& method, const std::string& path,
                              const std::string& bearer, const std::string&, std::uint32_t) {
            sent.push_back(method + " " + path + " " + bearer.substr(0, 1));
            ApiResponse r;
            if (path == "/resume") {
                r.status = 201;
                r.body = std::string(64, 'b') + "\n0123456789ab\n";
            } else if (path == "/state") {
                r.status = 401;  // the session expires on its first poll
            } else if (path == "/editor/state") {
                r.status = 200;
                r.body = "7\nFormular\n";
            } else {
                r.status = 204;
            }
            return r;
        };
        SessionEffects fx;
        fx.request = request;
        fx.load_device = [this] { return ctx.remembered_device; };
        fx.plugin = &plugin;
        fx.shared = &shared;
        fx.media = &media;
        InstallEditorSessionHooks(fx.hooks);
        InstallSessionEffects(std::move(fx), [] { return true; }, nullptr);

        window.post_close = [this] {
            ++closes;
            return true;
        };
        window.start = [this](const EditorState& s) {
            started.push_back(s.request_id);
            return true;
        };
        EditorSyncEffects efx;
        efx.request = request;
        efx.window = &window;
        InstallEditorSync(std::move(efx));
    }
    void TearDown() override {
        ReleaseSessionObjects(ctx);
        ReleaseEditorObjects(ctx);
        PluginEditorExchange().current_request_id = 0;
        PluginEditorExchange().next_poll_time = 0;
        PluginOverlay().computer_minimized = false;
        PluginOverlay().editor_open = false;
    }
    void Pass(HotkeyKeys keys = HotkeyKeys{}) {
        keys.game_in_foreground = true;
        WorkerPass(ctx, now, keys);
        now += 30;
    }

    WorkerContext ctx;
    PluginRecord plugin;
    SharedState shared;
    MediaSession media;
    EditorWindowSeam window;
    std::vector<std::string> sent;
    std::vector<int> started;
    int closes = 0;
    Tick now = 50000;
};

TEST_F(EditorStepsTest, TheExchangeRunsAfterTheSessionWithItsTokenAndClosesWithIt) {
    Pass();
    EXPECT_TRUE(sent.empty()) << "no session, no editor requests";
    plugin.last_frame_tick.store(now);
    Pass();
    // Resumed, handed over, then the first state poll expired the session: the editor's poll
    // comes after the session's steps and goes out with no token left.
    EXPECT_THAT(sent, testing::ElementsAre("POST /resume c", "GET /state b"));
    EXPECT_EQ(closes, 1);

    // With a session that stays, the editor polls with its token once the session's steps ran.
    sent.clear();
    PluginSession().record.connected = true;
    PluginSession().record.token = std::string(64, 'b');
    PluginSession().record.state_deadline = ~Tick(0);
    PluginSession().record.presence_deadline = ~Tick(0);
    Pass();
    EXPECT_THAT(sent, testing::ElementsAre("GET /editor/state b"));
    EXPECT_EQ(started, std::vector<int>{7});
}

TEST_F(EditorStepsTest, CtrlF12ReachesTheExchangeWithoutASession) {
    PluginOverlay().editor_open = true;
    HotkeyKeys keys;
    keys.ctrl = keys.f12 = true;
    Pass(keys);
    EXPECT_TRUE(PluginOverlay().computer_minimized.load());
    Pass(keys);
    EXPECT_TRUE(PluginOverlay().computer_minimized.load()) << "held: one toggle";
    EXPECT_TRUE(sent.empty());
}

TEST_F(EditorStepsTest, NothingRunsOnceReleased) {
    ReleaseEditorObjects(ctx);
    PluginOverlay().editor_open = true;
    HotkeyKeys keys;
    keys.ctrl = keys.f12 = true;
    Pass(keys);
    EXPECT_FALSE(PluginOverlay().computer_minimized.load());
}

}  // namespace
}  // namespace hm
