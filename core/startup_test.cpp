// Worker start-up order and failure handling, the loop's pass structure and hotkey edges, and
// the dialog mailbox.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/dialog_mailbox.h"
#include "base/plugin.h"
#include "core/startup.h"
#include "core/worker_loop.h"

namespace hm {
namespace {

// Start-up seams that log every call and behave as configured.
struct FakeWindows {
    std::vector<std::string> calls;
    std::map<std::wstring, std::wstring> ini;
    bool gate = true;
    bool com_fails = false;
    bool url_rejected = false;
    bool factory_fails = false;
    bool hooks_fail = false;
    std::vector<std::wstring> args{L"-h", L"play.hollowmarsh-rp.cz", L"-n", L"Karel_Novak", L"-p", L"7778"};
    std::wstring registry_name;
    std::string stored_device;
    std::vector<std::wstring> notices;
    std::vector<std::wstring> debug_lines;
    int factories_released = 0;
    int factory_token = 0;

    StartupSeams Seams() {
        StartupSeams s;
        s.is_on_community_server = [this] { calls.push_back("gate"); return gate; };
        s.pin_module = [this] { calls.push_back("pin"); };
        s.init_com = [this] {
            calls.push_back("com");
            if (com_fails) throw std::runtime_error("Windows API failure at line 1102: 0x80010106");
        };
        s.uninit_com = [this] { calls.push_back("uncom"); };
        s.ini = [this](const wchar_t* key, std::size_t maxChars) {
            auto it = ini.find(key);
            return it == ini.end() ? std::wstring() : it->second.substr(0, maxChars);
        };
        s.local_app_data = [this] { calls.push_back("appdata"); return std::wstring(L"C:\\Local"); };
        s.make_api_client = [this](const std::wstring& url, bool local) {
            calls.push_back("client");
            if (url_rejected) throw std::runtime_error("HTTPS required");
            ApiClient c;
            c.host = url;
            c.secure = !local;
            return c;
        };
        s.command_line_args = [this] { return args; };
        s.registry_player_name = [this] { return registry_name; };
        s.create_imaging_factory = [this]() -> void* {
            calls.push_back("wic");
            if (factory_fails) throw std::runtime_error("Windows API failure at line 1103: 0x80040154");
            return &factory_token;
        };
        s.release_imaging_factory = [this](void* f) {
            EXPECT_EQ(f, &factory_token);
            ++factories_released;
        };
        s.show_notice = [this](const std::wstring& t) { calls.push_back("notice"); notices.push_back(t); };
        s.load_remembered_device = [this](const std::wstring& path, const std::wstring& url) {
            calls.push_back("device");
            EXPECT_EQ(path, L"C:\\Local\\Hollowmarsh\\HMMedia\\device.bin");
            EXPECT_EQ(url, ini[L"ApiUrl"]);
            return stored_device;
        };
        s.debug_output = [this](const wchar_t* line) { debug_lines.push_back(line); };
        s.start_voice_chat = [this](const PluginConfig&) { calls.push_back("voice"); };
        s.start_npc_voices = [this](const PluginConfig&) { calls.push_back("npc"); };
        s.start_camera_data_thread = [this](const PluginConfig&) { calls.push_back("camera"); };
        s.install_direct3d_hooks = [this] {
            calls.push_back("d3d");
            if (hooks_fail) throw std::runtime_error("no device");
        };
        return s;
    }
};

std::string Joined(const std::vector<std::string>& calls) {
    std::string s;
    for (const auto& c : calls) s += (s.empty() ? "" : " ") + c;
    return s;
}

struct StartupRun : ::testing::Test {
    FakeWindows win;
    WorkerContext ctx;
    SharedState shared;
    PluginRecord plugin;
    WorkerStage Run() { return RunStartup(win.Seams(), ctx, shared, plugin); }
    void SetUp() override {
        win.ini = {{L"Enabled", L"1"}, {L"ApiUrl", L"https://api.example/HM/MEDIA-PLUGIN/api"}};
    }
};

TEST_F(StartupRun, GoodConfigurationRunsEveryStepInOrder) {
    EXPECT_EQ(Run(), WorkerStage::Looping);
    EXPECT_EQ(Joined(win.calls), "gate pin com appdata client voice wic npc camera d3d notice");
    ASSERT_EQ(win.notices.size(), 1u);
    EXPECT_EQ(win.notices[0], L"HM Plugin v1.00 BETA nacten. Ctrl+F9: verze a aktualizace");
    EXPECT_TRUE(win.debug_lines.empty());
    EXPECT_EQ(ctx.photos_folder, L"C:\\Local\\Hollowmarsh\\HMMedia\\Photos");
    EXPECT_EQ(ctx.device_file, L"C:\\Local\\Hollowmarsh\\HMMedia\\device.bin");
    EXPECT_EQ(ctx.client.host, L"https://api.example/HM/MEDIA-PLUGIN/api");
    EXPECT_EQ(ctx.imaging_factory, &win.factory_token);
    EXPECT_EQ(shared.identity.name, "Karel_Novak");
    EXPECT_EQ(shared.identity.port, 7778);
    // AutoConnect off: no device is even read, no consent, no prompt.
    EXPECT_FALSE(plugin.consent_given.load());
    EXPECT_FALSE(ctx.auto_prompt_armed);
    EXPECT_TRUE(plugin.cockpit_camera.load());
}

TEST_F(StartupRun, GateRefusedTouchesNothing) {
    win.gate = false;
    EXPECT_EQ(Run(), WorkerStage::GateRefused);
    EXPECT_EQ(Joined(win.calls), "gate");
    EXPECT_TRUE(win.debug_lines.empty());
}

TEST_F(StartupRun, DisabledOrMissingIniStartsNothingAndShowsNothing) {
    for (const wchar_t* enabled : {L"0", L"", L"no"}) {
        FakeWindows fresh;
        fresh.ini = {{L"Enabled", enabled}, {L"ApiUrl", L"https://api.example/x"}};
        WorkerContext c;
        EXPECT_EQ(RunStartup(fresh.Seams(), c, shared, plugin), WorkerStage::Disabled);
        EXPECT_EQ(Joined(fresh.calls), "gate pin com uncom");
        EXPECT_TRUE(fresh.notices.empty());
        EXPECT_TRUE(fresh.debug_lines.empty());
    }
}

TEST_F(StartupRun, FailuresEndWithTheDebugLineAndNoHooks) {
    struct Case {
        const char* name;
        void (*arrange)(FakeWindows&);
        const char* calls;
        int released;
    } cases[] = {
        {"url", [](FakeWindows& w) { w.url_rejected = true; }, "gate pin com appdata client uncom", 0},
        {"factory", [](FakeWindows& w) { w.factory_fails = true; }, "gate pin com appdata client voice wic uncom", 0},
        {"hooks", [](FakeWindows& w) { w.hooks_fail = true; }, "gate pin com appdata client voice wic npc camera d3d uncom", 1},
        // COM never came up: nothing to uninitialise.
        {"com", [](FakeWindows& w) { w.com_fails = true; }, "gate pin com", 0},
    };
    for (const Case& c : cases) {
        FakeWindows fresh;
        fresh.ini = win.ini;
        c.arrange(fresh);
        WorkerContext context;
        PluginRecord record;
        EXPECT_EQ(RunStartup(fresh.Seams(), context, shared, record), WorkerStage::Failed) << c.name;
        EXPECT_EQ(Joined(fresh.calls), c.calls) << c.name;
        ASSERT_EQ(fresh.debug_lines.size(), 1u) << c.name;
        EXPECT_EQ(fresh.debug_lines[0],
                  L"HM Plugin: initialization failed; check HM_Plugin.ini and D3D9 compatibility.\n");
        EXPECT_TRUE(fresh.notices.empty()) << c.name;
        EXPECT_EQ(fresh.factories_released, c.released) << c.name;
        EXPECT_EQ(context.imaging_factory, nullptr) << c.name;
    }
}

TEST_F(StartupRun, AutoConnectLoadsTheDeviceAndSetsConsentAndPrompt) {
    struct Case {
        const char* device;
        std::vector<std::wstring> args;
        bool consent;
        bool prompt;
    } cases[] = {
        {"", {L"-h", L"play.hollowmarsh-rp.cz", L"-n", L"Karel_Novak"}, false, true},
        {"cred", {L"-h", L"play.hollowmarsh-rp.cz", L"-n", L"Karel_Novak"}, true, false},
        {"cred", {L"-h", L"play.hollowmarsh-rp.cz"}, true, true},  // no name known: still prompt
        {"", {L"-h", L"play.hollowmarsh-rp.cz"}, false, true},
    };
    for (const Case& c : cases) {
        FakeWindows fresh;
        fresh.ini = win.ini;
        fresh.ini[L"AutoConnect"] = L"1";
        fresh.args = c.args;
        fresh.stored_device = c.device;
        WorkerContext context;
        PluginRecord record;
        ASSERT_EQ(RunStartup(fresh.Seams(), context, shared, record), WorkerStage::Looping);
        EXPECT_EQ(fresh.calls.back(), "device");
        EXPECT_EQ(context.remembered_device, c.device);
        EXPECT_EQ(record.consent_given.load(), c.consent) << c.device;
        EXPECT_EQ(context.auto_prompt_armed, c.prompt) << c.device;
    }
}

TEST_F(StartupRun, CockpitCameraSwitchIsPublished) {
    win.ini[L"CockpitCamera"] = L"0";
    ASSERT_EQ(Run(), WorkerStage::Looping);
    EXPECT_FALSE(plugin.cockpit_camera.load());
}

TEST(InitialSession, ConsentAndPromptArming) {
    struct Case {
        bool autoConnect, device, name, consent, prompt;
    } cases[] = {
        {false, false, false, false, false}, {false, false, true, false, false},
        {true, false, false, false, true},   {true, false, true, false, true},
        {true, true, false, true, true},     {true, true, true, true, false},
    };
    for (const Case& c : cases) {
        const InitialSession s = InitialSessionFlags(c.autoConnect, c.device, c.name);
        EXPECT_EQ(s.consent_given, c.consent);
        EXPECT_EQ(s.auto_prompt_armed, c.prompt);
    }
}

TEST(HotkeyEdges, EachHotkeyActsOnceOnThePressOnlyWithCtrlInTheGame) {
    HotkeyEdges edges;
    auto keys = [](bool ctrl, bool f9, bool f10, bool f11, bool front) {
        HotkeyKeys k;
        k.ctrl = ctrl;
        k.f9 = f9;
        k.f10 = f10;
        k.f11 = f11;
        k.game_in_foreground = front;
        return k;
    };
    // Ctrl+F10 held for several passes acts once.
    EXPECT_TRUE(edges.Sample(keys(true, false, true, false, true)).consent);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(edges.Sample(keys(true, false, true, false, true)).consent);
    EXPECT_FALSE(edges.Sample(keys(true, false, false, false, true)).consent);
    EXPECT_TRUE(edges.Sample(keys(true, false, true, false, true)).consent);  // pressed again
    // Without Ctrl, or with another program in front, nothing counts.
    edges = HotkeyEdges();
    HotkeyPresses p = edges.Sample(keys(false, true, true, true, true));
    EXPECT_FALSE(p.update_dialog || p.consent || p.photo_visible);
    p = edges.Sample(keys(true, true, true, true, false));
    EXPECT_FALSE(p.update_dialog || p.consent || p.photo_visible);
    // Ctrl pressed late while F11 is held is the press.
    p = edges.Sample(keys(true, false, false, true, true));
    EXPECT_TRUE(p.photo_visible);
    EXPECT_FALSE(p.update_dialog || p.consent);
    p = edges.Sample(keys(true, true, false, true, true));
    EXPECT_TRUE(p.update_dialog);
    EXPECT_FALSE(p.photo_visible);
}

TEST(WorkerPass, CtrlF11HeldTogglesPhotoVisibleOncePerPressWithOrWithoutAPhoto) {
    PluginRecord& plugin = Plugin();
    plugin.photo_visible.store(false);
    WorkerContext ctx;
    HotkeyKeys held;
    held.ctrl = held.f11 = held.game_in_foreground = true;
    HotkeyKeys released = held;
    released.f11 = false;
    Tick now = 1000;
    for (int i = 0; i < 10; ++i) WorkerPass(ctx, now += 30, held);
    EXPECT_TRUE(plugin.photo_visible.load()) << "one toggle while held";
    WorkerPass(ctx, now += 30, released);
    EXPECT_TRUE(plugin.photo_visible.load());
    for (int i = 0; i < 3; ++i) WorkerPass(ctx, now += 30, held);
    EXPECT_FALSE(plugin.photo_visible.load()) << "the next press toggles back";
}

TEST(WorkerLoop, PassesSleepThirtyMsUntilStopThenReleaseTheFactory) {
    WorkerContext ctx;
    int factory = 0;
    ctx.imaging_factory = &factory;
    int passes = 0, released = 0;
    std::vector<unsigned> sleeps;
    WorkerLoopSeams seams;
    seams.stop_requested = [&] { return passes == 3; };
    seams.now = [&] { return Tick(1000 + 30 * passes); };
    seams.sample_keys = [&] {
        ++passes;
        HotkeyKeys k;
        k.ctrl = k.f10 = k.game_in_foreground = true;
        return k;
    };
    seams.sleep = [&](unsigned ms) { sleeps.push_back(ms); };
    seams.release_imaging_factory = [&](WorkerContext& c) {
        ++released;
        c.imaging_factory = nullptr;
    };
    RunWorkerLoop(ctx, seams);
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(sleeps, (std::vector<unsigned>{30, 30, 30}));
    EXPECT_EQ(released, 1);
    EXPECT_EQ(ctx.imaging_factory, nullptr);
    EXPECT_FALSE(ctx.hotkeys.consent);  // held since the first pass: acted on once, then not
}

TEST(DialogMailbox, TakeClearsThePendingAnswer) {
    DialogMailbox box;
    EXPECT_FALSE(box.Take().has_value());
    box.Post({-1, 2, "text"});
    auto got = box.Take();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->dialog_id, -1);
    EXPECT_EQ(got->button, 2);
    EXPECT_EQ(got->text, "text");
    EXPECT_FALSE(box.Take().has_value());
    // An answer not yet taken is replaced by a newer one.
    box.Post({-1, 1, ""});
    box.Post({-2, 0, ""});
    got = box.Take();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->dialog_id, -2);
    EXPECT_EQ(got->button, 0);
}

TEST(DialogMailbox, AnswersPostedFromAnotherThreadArriveWhole) {
    DialogMailbox box;
    std::thread ui([&] {
        for (int i = 1; i <= 2000; ++i) box.Post({-1, i, std::string(std::size_t(i % 50), 'x')});
    });
    int last = 0;
    while (last < 2000) {
        if (auto got = box.Take()) {
            EXPECT_GT(got->button, last);
            EXPECT_EQ(got->text.size(), std::size_t(got->button % 50));
            last = got->button;
        }
    }
    ui.join();
}

}  // namespace
}  // namespace hm
