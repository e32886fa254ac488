// Soak: the fake game with the shipped plugin against the hostile fake API for a few minutes
// (HM_SOAK_MINUTES, default 3; HM_SOAK_SEED replays a run), while the player presses the
// hotkeys, lets the server ask for photos, looks at them and talks. The game must stay alive and
// keep presenting, every notice must be one of the plugin's texts, nothing half-written may be
// left behind, and the process's handles and private bytes must stay within a bound after the
// warm-up. Wine 8 answers GetProcessHandleCount and GetProcessMemoryInfo with zeros, so the game
// process is sampled from Linux: its open descriptors (Wine keeps files, sockets, mappings and
// waitable objects as descriptors) and its anonymous resident memory (RssAnon), both from /proc.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "tools/e2e/e2e_harness.h"
#include "tools/fake_api/demo_world.h"
#include "tools/fake_api/hostile.h"

namespace hm::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What the banner may say: the plugin's notices, whole or (for the two with a tail) by their head.
const char* const kNotices[] = {
    "HM Plugin v1.00 BETA nacten. Ctrl+F9: verze a aktualizace",
    "HM Plugin spojeno. Fotoaparat uklada nove snimky; /galerie u PC. Ctrl+F10: vypnout",
    "HM Plugin: API není dostupné. Připojení zkus znovu.",
    "HM Plugin: obnovuji zapamatovane pripojeni.",
    "HM Plugin: spojeni vyprselo. Ctrl+F10 pro nove sparovani.",
    "HM Plugin: zapamatovane pripojeni zruseno. Ctrl+F10 pro nove sparovani.",
    "HM Plugin: spojeni je docasne nedostupne, obnovuji automaticky.",
    "HM Plugin: spojeno, ale sparovani se nepodarilo ulozit.",
    "HM Plugin: sparovani zapamatovano. Priste se pripoji automaticky.",
    "HM Plugin: přezdívka nebo port nesouhlasí. Zkontroluj připojení pluginu.",
    "HM Plugin: připojení vypnuto.",
    "Souhlas nebyl udělen. Zvol Odpojit v dialogu serveru.",
    "Aktualizace se stahuje. Ctrl+F9 zobrazí její stav.",
    "HM Plugin: obraz nelze zpracovat. Zkontrolujte 32bitovy rezim a kompatibilitu D3D9.",
    "HM Plugin: cisty snimek nelze poridit. Fotografie nebyla odeslana.",
    "HM Plugin: snimek nebyl ulozen. Pri foceni mirte hledackem fotoaparatu; pohled za postavou se neuklada.",
    "HM Plugin: aktualizaci se nepodarilo stahnout nebo overit.\nCtrl+F9: rucni stazeni. Hra a plugin zustavaji beze zmen.",
    "Hlasový chat vypnutý. Ctrl+M: zapnout.",
    "Hlasový chat zapnutý. Pro mluvení podrž M.",
    "Mikrofon nelze otevřít. Zkontroluj výchozí mikrofon a oprávnění Windows.",
};
const char* const kNoticeHeads[] = {
    "HM Plugin: fotografie zustala pouze lokalne; server odmitl upload (",
    "HM Plugin: stahuji aktualizaci ",
};

bool KnownNotice(const std::string& text) {
    if (text.empty()) return true;
    for (const char* n : kNotices)
        if (text == n) return true;
    for (const char* h : kNoticeHeads)
        if (text.rfind(h, 0) == 0) return true;
    return false;
}

long long Counter(Scenario& s, int which) { return std::stoll(s.Ok("graphics " + std::to_string(which))); }

void Press(Scenario& s, std::initializer_list<const char*> keys) {
    for (const char* k : keys) s.Ok(std::string("key down ") + k);
    s.Ok("run 150");
    for (auto k = std::rbegin(keys); k != std::rend(keys); ++k) s.Ok(std::string("key up ") + *k);
}

// The game's process (qemu running Wine's loader): the one whose command line names gta_sa.exe
// in this scenario's folder. Descriptors and RssAnon bytes; -1 when not found.
std::pair<long long, long long> GameProcessFigures(const std::string& dir) {
    const std::string folder = std::filesystem::path(dir).filename().string();
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream cmd(entry.path() / "cmdline", std::ios::binary);
        std::string line((std::istreambuf_iterator<char>(cmd)), std::istreambuf_iterator<char>());
        if (line.find("gta_sa.exe") == std::string::npos || line.find(folder) == std::string::npos) continue;
        if (line.find("wine-run.sh") != std::string::npos || line.rfind("timeout", 0) == 0) continue;
        std::error_code ec;
        long long fds = 0;
        for (auto it = std::filesystem::directory_iterator(entry.path() / "fd", ec);
             !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
            ++fds;
        std::ifstream status(entry.path() / "status");
        long long anon = -1;
        for (std::string l; std::getline(status, l);)
            if (l.rfind("RssAnon:", 0) == 0) anon = std::atoll(l.c_str() + 8) * 1024;
        if (anon > 0) return {fds, anon};
    }
    return {-1, -1};
}

// Files the plugin writes under a temporary name first; one left over would be read as half.
std::vector<std::string> LeftOverTemporaries(const std::vector<std::string>& roots) {
    std::vector<std::string> found;
    for (const std::string& root : roots) {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(
                 root, std::filesystem::directory_options::skip_permission_denied, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            const std::string ext = it->path().extension().string();
            if (ext == ".tmp" || ext == ".part") found.push_back(it->path().string());
        }
    }
    return found;
}

TEST(Soak, ShippedPluginAgainstAHostileServer) {
    const double minutes = std::getenv("HM_SOAK_MINUTES") ? std::atof(std::getenv("HM_SOAK_MINUTES")) : 3.0;
    const std::uint64_t seed = std::getenv("HM_SOAK_SEED")
                                   ? std::strtoull(std::getenv("HM_SOAK_SEED"), nullptr, 10)
                                   : std::uint64_t(std::chrono::system_clock::now().time_since_epoch().count());
    std::printf("soak: seed=%llu minutes=%.1f (replay: HM_SOAK_SEED=%llu)\n", (unsigned long long)seed, minutes,
                (unsigned long long)seed);
    std::printf("soak: no connection is ever reset inside an answer head: Wine 8's WinHTTP kills the process "
                "there (docs/wine-winhttp-reset.md); such cuts end with an orderly close instead\n");
    std::fflush(stdout);
    RecordProperty("seed", std::to_string(seed));

    Scenario s("soak");
    fake::FakeApi& api = s.api();
    fake::ScriptDemoWorld(api, 2);
    // An evening with photos: the server asks for shot 1 now and then and names photo 5.
    api.ScriptSequence("GET", "/state", {fake::Reply{200, "OK\n0\n0\n"}, fake::Reply{200, "OK\n1\n0\n"},
                                         fake::Reply{200, "OK\n1\n5\n1\n"}, fake::Reply{200, "OK\n2\n5\n2\n"},
                                         fake::Reply{200, "OK\n2\n0\n"}});
    api.Script("POST", "/upload", fake::Reply{201, ""});
    api.Script("GET", "/photo/5", fake::Reply{200, std::string("\xff\xd8\xff\xe0", 4) + std::string(2000, 'j')});
    auto hostile = std::make_shared<fake::HostileAnswers>(seed, true);
    api.TwistAnswers([hostile](const fake::RecordedRequest& r, fake::Reply reply) { return hostile->Twist(r, reply); });

    ForgetDeviceAtEnd forget{s.dir()};
    StartWithRememberedDevice(s);
    s.Ok("focus");
    s.Ok("camera 0 46");  // through the camera's viewfinder: shots can be taken

    // The player's evening, one action after another, round and round. The computer (open, type,
    // close) and the phone join this table when they exist.
    const std::vector<std::pair<const char*, std::function<void()>>> actions = {
        {"play", [&] { s.Ok("run 600"); }},
        {"Ctrl+F11 photo", [&] { Press(s, {"CTRL", "F11"}); }},
        {"talk", [&] {
             s.Ok("key down M");
             s.Ok("run 800");
             s.Ok("key up M");
         }},
        {"Ctrl+M", [&] { Press(s, {"CTRL", "M"}); }},
        {"look around", [&] {
             s.Ok("camera 0 4");
             s.Ok("run 300");
             s.Ok("camera 0 46");
         }},
        {"Ctrl+F9 versions", [&] { Press(s, {"CTRL", "F9"}); }},
    };

    const auto start = Clock::now();
    const auto end = start + std::chrono::milliseconds(long(minutes * 60000));
    const auto warmUp = start + std::chrono::milliseconds(long(std::min(40000.0, minutes * 60000 / 4)));
    std::map<std::string, int> notices;
    long long presents = Counter(s, 0);
    long long firstHandles = -1, firstPrivate = -1, lastHandles = -1, lastPrivate = -1, peakHandles = 0,
              peakPrivate = 0;
    std::size_t step = 0;
    while (Clock::now() < end) {
        const auto& action = actions[step++ % actions.size()];
        SCOPED_TRACE(action.first);
        action.second();
        ASSERT_TRUE(s.running()) << "the game died; seed " << seed << "\n" << s.GameLog();
        const std::string notice = s.Ok("notice");
        if (notice != "lock held") ++notices[notice];
        EXPECT_TRUE(KnownNotice(notice)) << "not one of the plugin's notices: '" << notice << "'";
        const long long now = Counter(s, 0);
        EXPECT_GT(now, presents) << "the game stopped presenting through the plugin";
        presents = now;
        if (Clock::now() >= warmUp) {
            const auto figures = GameProcessFigures(s.dir());
            lastHandles = figures.first;
            lastPrivate = figures.second;
            if (firstHandles < 0) {
                firstHandles = lastHandles;
                firstPrivate = lastPrivate;
            }
            peakHandles = std::max(peakHandles, lastHandles);
            peakPrivate = std::max(peakPrivate, lastPrivate);
        }
    }
    const auto counts = hostile->Counts();
    std::printf("soak: %ld answers, %zu requests recorded, %zu actions\n", hostile->Answers(), api.Requests().size(), step);
    for (int lie = 0; lie < int(fake::Lie::kCount); ++lie)
        std::printf("soak:   %-13s %ld\n", fake::LieName(fake::Lie(lie)), counts[lie]);
    for (const auto& [text, n] : notices) std::printf("soak: notice x%d '%s'\n", n, text.c_str());
    std::printf("soak: descriptors %lld -> %lld (peak %lld), anonymous resident bytes %lld -> %lld (peak %lld), after %.0f s warm-up\n",
                firstHandles, lastHandles, peakHandles, firstPrivate, lastPrivate, peakPrivate,
                std::chrono::duration<double>(warmUp - start).count());
    ASSERT_GT(firstHandles, 0) << "the game process was not found after the warm-up";
    ASSERT_GT(firstPrivate, 0);
    EXPECT_LE(lastHandles, firstHandles + 64) << "descriptors keep growing";
    EXPECT_LE(lastPrivate, firstPrivate + 48ll * 1024 * 1024) << "private memory keeps growing";
    EXPECT_EQ(Counter(s, 3), 0) << "frame steps failed";
    EXPECT_EQ(s.Quit(), 0);

    // The Wine prefix of the session (device.bin and photos under the user's AppData, update
    // packages under Downloads) and the game's own folder.
    std::vector<std::string> roots = {s.dir()};
    if (const char* session = std::getenv("HM_WINE_SESSION"))
        roots.push_back(std::filesystem::path(session).parent_path().string() + "/prefix/drive_c/users");
    const auto left = LeftOverTemporaries(roots);
    EXPECT_TRUE(left.empty()) << "half-written: " << (left.empty() ? "" : left.front());
}

}  // namespace
}  // namespace hm::e2e
