// "Radio check" in the fake game: the plugin, resumed from a remembered device, talks through
// ALSA file devices (a synthetic clip as the microphone, a WAV per speaker) to the fake API's
// voice room, with the fake samp.dll for the chat state.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/e2e/e2e_harness.h"
#include "tools/fake_api/voice_room.h"
#include "voice/mulaw.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;

const std::string kCredential = "0dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba11";
const std::string kToken = "7ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea00";


long long Value(Scenario& s, int which) { return std::stoll(s.Ok("voice " + std::to_string(which))); }

TEST(VoiceInGame, RadioCheck) {
    if (!std::getenv("HM_WIN32_BIN") || !std::getenv("HM_WINE_RUN")) GTEST_SKIP() << "needs HM_WIN32_BUILD";
    Scenario s("voice_radio_check");
    fake::VoiceRoom room;
    room.Attach(s.api());
    const std::string clip = WriteMicrophoneClip(s.dir());
    ForgetDeviceAtEnd forget{s.dir()};
    StartResumedGame(s, kCredential, kToken, {}, s.dir() + "/alsa.conf", true);
    s.Ok("autorun 50");

    // Resumed: the exchange runs with the bare cursor while nobody talks.
    ASSERT_TRUE(s.RenderUntil([&] { return room.Exchanges().size() >= 2; }, 60s)) << s.GameLog();
    ASSERT_EQ(s.Ok("focus").find("foreground=1"), 0u);
    EXPECT_EQ(room.Exchanges().back().samples, "");

    // M: nearby channel, samples from the clip.
    const long long capture_cpu0 = Value(s, 10), exchange_cpu0 = Value(s, 11);
    const auto idle_from = std::chrono::steady_clock::now();
    s.Ok("run 6000");  // let the start-up notice run out, so the banner changes once, for the voice
    {
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - idle_from).count();
        std::printf("[ figures  ] idle with a token, no key, over %.1f s: capture thread %.3f %%, exchange thread %.3f %% "
                    "of one CPU (Wine under qemu)\n",
                    wall, (Value(s, 10) - capture_cpu0) / 1e5 / wall, (Value(s, 11) - exchange_cpu0) / 1e5 / wall);
    }
    const long long uploads_before = std::stoll(s.Ok("graphics 2"));
    s.Ok("key down M");
    auto spoken = [&](int channel) {
        for (const auto& e : room.Exchanges())
            if (e.channel == channel && e.samples.size() >= 160) return true;
        return false;
    };
    ASSERT_TRUE(s.RenderUntil([&] { return spoken(0); }, 20s)) << "voice 0=" << Value(s, 0) << " failures=" << Value(s, 6);
    EXPECT_EQ(Value(s, 0), 1);  // capturing: the banner shows "M • Mluvíš k hráčům v okolí"
    EXPECT_EQ(Value(s, 1), 0);
    {
        s.Ok("frames 2");
        const Pixels shot = s.Screenshot("voice-nearby.png");
        EXPECT_EQ(shot.at(12, 12), 0xFF64E2C5u) << "the banner's accent at its top-left corner";
        EXPECT_EQ(std::stoll(s.Ok("graphics 2")), uploads_before + 1) << "one banner upload for the status line";
    }
    int pieces = 0;
    for (const auto& e : room.Exchanges()) {
        EXPECT_TRUE(e.cursor_ok);
        if (e.channel != 0 || e.samples.size() < 160) continue;
        const std::size_t first = e.samples.find_first_not_of("\xFF\x7F");
        if (first != std::string::npos && first + 160 <= e.samples.size() &&
            clip.find(e.samples.substr(first, 160)) != std::string::npos)
            ++pieces;
    }
    EXPECT_GE(pieces, 1) << "no exchange carried a piece of the clip";

    // The chat box opens while M is held: sending stops and does not resume after it closes.
    s.Ok("sampchat 1");
    ASSERT_TRUE(s.RenderUntil([&] { return Value(s, 0) == 0; }, 5s));
    s.Ok("run 400");
    const std::size_t quiet_from = room.Exchanges().size();
    s.Ok("sampchat 0");
    s.Ok("run 1000");
    EXPECT_EQ(Value(s, 0), 0);
    for (std::size_t i = quiet_from; i < room.Exchanges().size(); ++i)
        EXPECT_EQ(room.Exchanges()[i].samples, "") << "sent after the chat box closed, exchange " << i;
    s.Ok("key up M");

    // Capability 35: "!" talks on the work radio; the loopback speaker repeats it.
    room.SetCapability("35");
    room.SetLoopback(7, 200);
    ASSERT_TRUE(s.RenderUntil([&] { return Value(s, 2) == 35; }, 10s));
    EXPECT_EQ(Value(s, 8), 1);
    s.Ok("key down SHIFT");
    s.Ok("key down 1");
    ASSERT_TRUE(s.RenderUntil([&] {
        int n = 0;
        for (const auto& e : room.Exchanges()) n += e.channel == 1 && e.samples.size() >= 160;
        return n >= 4;
    }, 20s));
    EXPECT_EQ(Value(s, 1), 1);  // "! • Pracovní vysílačka"
    s.Ok("key up 1");
    s.Ok("key up SHIFT");
    // Silence for over 2 s releases the speaker: its WAV header is completed.
    ASSERT_TRUE(s.RenderUntil([&] { return Value(s, 5) == 0; }, 10s));

    std::vector<std::int16_t> expected;
    for (const auto& e : room.Exchanges())
        if (e.channel == 1 && e.samples.size() >= 160)
            for (unsigned char b : e.samples) {
                const std::int16_t v = ScaleSample(DecodeMuLaw(b), 80, 200);
                if (v != 0) expected.push_back(v);
            }
    const std::vector<std::int16_t> played = NonZeroWavSamples(s.dir() + "/speaker.wav");
    EXPECT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected) << "the speaker's WAV is not the sent samples scaled by 80 x 200 / 25500";

    // A refusal (403) pauses the exchange for a second and withdraws the radio until the server
    // grants it again.
    const std::size_t before_refusal = room.Exchanges().size();
    room.FailNextExchanges(403);
    ASSERT_TRUE(s.RenderUntil([&] { return room.Exchanges().size() >= before_refusal + 2; }, 10s));
    {
        const auto seen = room.Exchanges();
        std::size_t refused = before_refusal;
        while (seen[refused].status != 403) ++refused;
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(seen[refused + 1].at - seen[refused].at);
        EXPECT_GE(gap.count(), 1000) << "no pause after the refusal";
        std::printf("[ figures  ] pause after 403: %lld ms\n", static_cast<long long>(gap.count()));
    }
    ASSERT_TRUE(s.RenderUntil([&] { return Value(s, 2) == 35; }, 10s));

    // Ctrl+M switches voice chat off with a notice on the banner: no more exchanges.
    const long long uploads_before_toggle = std::stoll(s.Ok("graphics 2"));
    s.Ok("key down CTRL");
    s.Ok("key down M");
    ASSERT_TRUE(s.RenderUntil([&] { return Value(s, 3) == 0; }, 5s));
    EXPECT_TRUE(s.RenderUntil([&] { return std::stoll(s.Ok("graphics 2")) > uploads_before_toggle; }, 5s))
        << "the notice never reached the banner";
    EXPECT_EQ(Value(s, 0), 0);  // Ctrl+M never transmits
    s.Ok("key up M");
    s.Ok("key up CTRL");
    s.Ok("run 500");
    const std::size_t off_at = room.Exchanges().size();
    s.Ok("run 1500");
    EXPECT_EQ(room.Exchanges().size(), off_at);

    int sent = 0, frames = 0;
    for (const auto& e : room.Exchanges()) {
        sent += int(e.samples.size());
        frames += e.frames;
    }
    std::printf("[ figures  ] %zu exchanges, %d samples sent, %d frames got, speaker WAV %zu non-zero samples\n",
                room.Exchanges().size(), sent, frames, played.size());
    EXPECT_EQ(s.Quit(), 0);
}

TEST(VoiceInGame, WithoutSampNothingOpens) {
    if (!std::getenv("HM_WIN32_BIN") || !std::getenv("HM_WINE_RUN")) GTEST_SKIP() << "needs HM_WIN32_BUILD";
    Scenario s("voice_without_samp");
    fake::VoiceRoom room;
    room.Attach(s.api());
    WriteMicrophoneClip(s.dir());
    ForgetDeviceAtEnd forget{s.dir()};
    StartResumedGame(s, kCredential, kToken, {}, s.dir() + "/alsa.conf", false);
    s.Ok("autorun 50");
    ASSERT_TRUE(s.RenderUntil([&] { return room.Exchanges().size() >= 2; }, 60s)) << s.GameLog();
    ASSERT_EQ(s.Ok("focus").find("foreground=1"), 0u);
    s.Ok("key down M");
    s.Ok("run 2000");
    EXPECT_EQ(Value(s, 0), 0);
    EXPECT_EQ(Value(s, 6), 0);  // never tried the microphone
    for (const auto& e : room.Exchanges()) EXPECT_EQ(e.samples, "");
    s.Ok("key up M");
    EXPECT_EQ(s.Quit(), 0);
}

}  // namespace
}  // namespace hm::e2e
