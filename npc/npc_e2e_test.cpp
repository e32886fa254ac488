// "The receptionist" in the fake game: the plugin, resumed from a remembered device, hears the
// fake API's NPC stage through ALSA file devices (a WAV per opened device, so one per clip), with
// the fake samp.dll for the chat state.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/e2e/e2e_harness.h"
#include "tools/fake_api/npc_stage.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;

const std::string kCredential = "0dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba110dd0ba11";
const std::string kToken = "7ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea007ea7ea00";

long long Npc(Scenario& s, int which) { return std::stoll(s.Ok("npc " + std::to_string(which))); }

// Mu-law bytes of a saw-tooth walk through the code table, never a silence code (0xFF, 0x7F).
std::string ToneClip(std::size_t bytes, int seed) {
    std::string clip;
    for (std::size_t i = 0; i < bytes; ++i) {
        unsigned char b = static_cast<unsigned char>((i * std::size_t(5 + 2 * seed)) % 251);
        if (b == 0x7F) b = 0x7E;
        clip.push_back(char(b));
    }
    return clip;
}

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), {});
}

// sox decodes the clip, independently of the plugin's decoder; then volume 75 x gain 255 / 25500.
std::vector<std::int16_t> Expected(const std::string& dir, const std::string& clip, const std::string& name) {
    std::ofstream(dir + "/" + name + ".ul", std::ios::binary) << clip;
    const std::string cmd = "sox -t ul -r 16000 -c 1 '" + dir + "/" + name + ".ul' -t raw -e signed-integer -b 16 -L '" +
                            dir + "/" + name + ".pcm'";
    if (std::system(cmd.c_str()) != 0) return {};
    std::vector<std::int16_t> out;
    for (std::int16_t s : NonZeroSamples(ReadAll(dir + "/" + name + ".pcm"))) {
        const std::int16_t v = std::int16_t(s * 75 * 255 / 25500);
        if (v != 0) out.push_back(v);
    }
    return out;
}

// The WAVs of the playback device with sound in them, in the order they were opened.
std::vector<std::vector<std::int16_t>> PlayedClips(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(dir))
        if (f.path().filename().string().rfind("npc.wav", 0) == 0) names.push_back(f.path().string());
    std::sort(names.begin(), names.end());  // npc.wav, npc.wav.0001, ...
    std::vector<std::vector<std::int16_t>> clips;
    for (const auto& n : names) {
        auto samples = NonZeroWavSamples(n);
        if (!samples.empty()) clips.push_back(std::move(samples));
    }
    return clips;
}

TEST(NpcInGame, TheReceptionist) {
    if (!std::getenv("HM_WIN32_BIN") || !std::getenv("HM_WINE_RUN")) GTEST_SKIP() << "needs HM_WIN32_BUILD";
    Scenario s("npc_receptionist");
    fake::NpcStage stage;
    stage.Attach(s.api());

    // 41 greets (1.5 s, the server repeats it); 42 speaks the same clip far away (near 404); 43
    // is a 40 s speech whose first download is one byte short; 44 comes after Ctrl+N.
    const std::string greeting = ToneClip(24000, 1), speech = ToneClip(640000, 2);
    auto event = [](std::uint64_t id, int npc, int delay, const std::string& clip) {
        fake::NpcStageEvent e;
        e.id = id;
        e.npc = npc;
        e.delay_ms = delay;
        e.clip = clip;
        return e;
    };
    fake::NpcStageEvent e41 = event(41, 12, 300, greeting), e42 = event(42, 13, 0, greeting),
                        e43 = event(43, 12, 0, speech), e44 = event(44, 12, 0, ToneClip(1600, 3));
    e41.repeat = true;
    e42.near = {{0, 404, ""}};
    e43.short_once = true;
    for (const auto& e : {e41, e42, e43, e44}) stage.Add(e);
    for (std::uint64_t id : {41, 42, 43}) stage.Announce(id);

    std::ofstream(s.dir() + "/alsa.conf") << "pcm.null { type null }\npcm.!default {\n  type asym\n"
                                          << "  playback.pcm { type file slave.pcm { type null } file \"" << s.dir()
                                          << "/npc.wav\" format \"wav\" truncate false }\n"
                                          << "  capture.pcm { type hw card 9 }\n}\n";
    ForgetDeviceAtEnd forget{s.dir()};
    StartResumedGame(s, kCredential, kToken, {{"NPCVoiceVolume", "75"}}, s.dir() + "/alsa.conf", true);
    s.Ok("autorun 50");
    EXPECT_EQ(Npc(s, 7), 75);

    // 41 plays, 42 is refused, 43 comes back through the cursor and starts after 41.
    ASSERT_TRUE(s.RenderUntil([&] { return Npc(s, 4) == 43; }, 90s)) << s.GameLog();
    EXPECT_EQ(stage.Count("audio", 43), 2) << "the short answer was asked again";
    const auto idle_cpu = [&] { return std::make_pair(Npc(s, 8), Npc(s, 9)); };
    // Near turns 0 while 43 plays: the speech is cut.
    s.Ok("run 1500");
    stage.SetNear(43, {{0, 200, "0"}});
    ASSERT_TRUE(s.RenderUntil([&] { return Npc(s, 4) == 0; }, 10s));
    EXPECT_EQ(Npc(s, 5), 0);

    // Token, nothing playing: the threads' idle cost.
    const auto cpu0 = idle_cpu();
    const auto from = std::chrono::steady_clock::now();
    s.Ok("run 5000");
    {
        const auto cpu1 = idle_cpu();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
        std::printf("[ figures  ] token, nothing playing, over %.1f s: events thread %.3f %%, player thread %.3f %% of one "
                    "CPU (Wine under qemu)\n",
                    wall, (cpu1.first - cpu0.first) / 1e5 / wall, (cpu1.second - cpu0.second) / 1e5 / wall);
    }

    // Ctrl+N with the SA-MP chat open does nothing; with it closed it switches NPC voices off.
    ASSERT_EQ(s.Ok("focus").find("foreground=1"), 0u);
    s.Ok("sampchat 1");
    s.Ok("key down CTRL");
    s.Ok("key down N");
    s.Ok("run 500");
    EXPECT_EQ(Npc(s, 6), 1);
    s.Ok("key up N");
    s.Ok("sampchat 0");
    const long long uploads = std::stoll(s.Ok("graphics 2"));
    s.Ok("key down N");
    ASSERT_TRUE(s.RenderUntil([&] { return Npc(s, 6) == 0; }, 5s));
    EXPECT_TRUE(s.RenderUntil([&] { return std::stoll(s.Ok("graphics 2")) > uploads; }, 5s))
        << "the notice never reached the banner";
    s.Ok("key up N");
    s.Ok("key up CTRL");
    s.Screenshot("npc-voices-off.png");
    stage.Announce(44);
    s.Ok("run 2500");
    EXPECT_EQ(stage.Count("audio", 44) + stage.Count("near", 44), 0) << "switched off: the next event stays silent";
    EXPECT_EQ(s.Quit(), 0);

    const auto played = PlayedClips(s.dir());
    ASSERT_EQ(played.size(), 2u) << "41 once (though repeated), 43 cut; 42 and 44 never";
    const auto want41 = Expected(s.dir(), greeting, "greeting"), want43 = Expected(s.dir(), speech, "speech");
    ASSERT_FALSE(want41.empty()) << "sox could not decode the clip";
    EXPECT_TRUE(played[0] == want41) << "41's WAV is not the clip decoded x 75 x 255 / 25500 (" << played[0].size()
                                     << " of " << want41.size() << " samples)";
    ASSERT_LT(played[1].size(), want43.size()) << "43 was not cut";
    EXPECT_TRUE(std::equal(played[1].begin(), played[1].end(), want43.begin())) << "43's WAV is not a prefix of its clip";
    EXPECT_EQ(stage.Count("audio", 41) + stage.Count("audio", 42), 1) << "one download for the clip of 41 and 42";
    EXPECT_EQ(stage.Count("near", 42), 1);
    EXPECT_GE(stage.Count("near", 41), 1);
    std::size_t bytes = 0;
    for (const auto& seen : stage.Seen())
        if (seen.what == "audio") bytes += seen.bytes;
    std::printf("[ figures  ] %d events requests, %d audio (%zu bytes for clips of %zu bytes), %d near; 43 played %zu of "
                "%zu samples\n",
                stage.Count("events", 0), stage.Count("audio", 0), bytes, greeting.size() + speech.size(),
                stage.Count("near", 0), played[1].size(), want43.size());
}

}  // namespace
}  // namespace hm::e2e
