// End-to-end scenarios: the fake API in this process, the fake game with the real plugin under
// 32-bit Wine, both driven from a native test. One Scenario is one fresh folder holding a copy
// of gta_sa.exe and HM_Plugin.dll (from $HM_WIN32_BIN), the plugin's INI and what the run
// leaves behind (screenshots, the game's output in game.log).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/pixels.h"
#include "tools/fake_api/fake_api.h"

namespace hm::e2e {

// The -h value that the plugin's start-up gate accepts: the community server's address the
// plugin is built with (HM_COMMUNITY_SERVER; host and win32 builds take the same default).
std::string CommunityHost();

struct GameOptions {
    std::string exeName = "gta_sa.exe";  // copied under this name
    bool withPlugin = true;              // copy HM_Plugin.dll beside it
    // Copy the test-hooks build in as HM_Plugin.dll: for the commands that need a test door
    // (overlay, cursor, photo, dialog) while no real path exists. Otherwise the shipped DLL.
    bool testHooks = false;
    std::string host = CommunityHost();  // -h; empty: no host switch at all
    int port = 7777;                      // -p; 0: no port switch
    std::string name = "Test_Player";     // -n; empty: no name switch
    std::vector<std::string> extraArgs;   // after the game's switches
    std::chrono::milliseconds startTimeout{std::chrono::seconds(120)};
};

// The game's own switches as a SA-MP launcher passes them: -c -h <host> -p <port> -n <name>.
std::vector<std::string> GameArguments(const GameOptions& options);

// "Z:\..." for a path of this machine, as Wine's programs see it.
std::string WindowsPath(const std::string& unixPath);

// The integer after "name=" in a game answer such as "ok loaded=1 worker_stage=4"; throws when
// the field is missing.
int Field(const std::string& answer, const std::string& name);

// session_probe.exe of the win32 build under Wine: the plugin's own session code outside the game
// ("save-plugin <api url> <credential>" writes the remembered device, "forget-plugin" removes it).
// Its output goes to <dir>/probe.out. Returns its exit code, -1 when it did not exit.
int RunSessionProbe(const std::string& dir, const std::vector<std::string>& args);

// Forgets the remembered device at scope end: every later game in the prefix would resume with it.
struct ForgetDeviceAtEnd {
    std::string dir;
    ~ForgetDeviceAtEnd() { RunSessionProbe(dir, {"forget-plugin"}); }
};

using IniKeys = std::vector<std::pair<std::string, std::string>>;

class Scenario;
// Starts the game so that the plugin resumes a remembered device by itself: the demo world's
// credential saved for the scenario's fake API, AutoConnect=1, the game's 2-D pass routine in
// place for the clean-frame hook (added to `options`), and ALSA_CONFIG_PATH=`alsaConfig` when
// given. The caller holds a ForgetDeviceAtEnd. Throws on failure.
void StartWithRememberedDevice(Scenario& s, GameOptions options, const std::string& alsaConfig = {});
void StartWithRememberedDevice(Scenario& s);
// The fake samp.dll beside the game and loaded before the plugin (the chat and dialog state).
void AddFakeSamp(Scenario& s, GameOptions& options);

class Scenario {
public:
    // A fresh folder named after the scenario under $HM_E2E_DIR (default ./e2e-runs).
    explicit Scenario(const std::string& name);
    ~Scenario();  // ends the game if it still runs
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    const std::string& dir() const { return dir_; }
    fake::FakeApi& api();  // started on first use

    // Enabled=1, ApiUrl of the in-process fake API, AllowLocalHttp=1.
    IniKeys DefaultIni();
    // Writes HM_Plugin.ini (section HM_Plugin) beside the plugin.
    void WriteIni(const IniKeys& keys);

    // Copies the programs, starts the game under Wine and waits for its greeting.
    // Throws std::runtime_error when the game does not come up.
    void StartGame(const GameOptions& options = {});
    const std::string& greeting() const { return greeting_; }

    // Sends one command line and returns the game's answer line. Throws on time-out or when
    // the game went away.
    std::string Command(const std::string& line, std::chrono::milliseconds timeout = std::chrono::seconds(300));
    // As Command, but throws unless the answer begins with "ok"; returns the text after "ok ".
    std::string Ok(const std::string& line, std::chrono::milliseconds timeout = std::chrono::seconds(300));

    // Keeps the game rendering ("run <slice>") until done() holds or the time is up; returns
    // done(). For waiting on the plugin while frames go on, e.g. for a request to reach api().
    bool RenderUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                     std::chrono::milliseconds slice = std::chrono::milliseconds(300));

    // Asks the game for a screenshot saved as <dir>/<fileName> and reads it back.
    Pixels Screenshot(const std::string& fileName);

    // Asks the game to quit and returns its exit code (-1 when it had to be killed). When Wine
    // killed the finished process during its teardown, the code the game reported in "bye".
    int Quit(std::chrono::milliseconds timeout = std::chrono::seconds(90));
    // Waits for the game to end by itself; -1 on time-out (the game is then killed).
    int WaitExit(std::chrono::milliseconds timeout);
    bool running() const { return pid_ > 0; }

    std::string GameLog() const;  // what Wine and the game wrote to their standard streams

private:
    void Kill();
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    void ReadFarewell(std::chrono::milliseconds timeout);

    std::string name_;
    std::string dir_;
    std::unique_ptr<fake::FakeApi> api_;
    pid_t pid_ = -1;
    int exitCode_ = -1;
    int listenFd_ = -1;
    int controlFd_ = -1;
    std::string inbox_;
    std::string greeting_;
    std::optional<int> farewell_;  // the code in the game's "bye <code>" line
};

// A remembered device, resumed: the scenario's fake API answers /resume with `token`, /state
// with an idle OK and /presence with 204; session_probe saves `credential` as the plugin's
// remembered device (the caller holds a ForgetDeviceAtEnd), the INI adds AutoConnect=1 and
// `extraIni`, and the game starts with ALSA_CONFIG_PATH=`alsaConfig` (when given) and, with
// `samp`, the fake samp.dll, and `extraArgs` after the game's switches. Throws when the probe or
// the game fails.
void StartResumedGame(Scenario& s, const std::string& credential, const std::string& token, const IniKeys& extraIni,
                      const std::string& alsaConfig, bool samp, const std::vector<std::string>& extraArgs = {});

// The plugin's photos folder in the game's Wine prefix (LocalAppData of its user).
std::filesystem::path PhotosFolder();

// A microphone and a speaker for Wine's ALSA driver made of files in `dir`: the microphone plays
// clip.raw (a clip without silence, 16 kHz mono S16_BE) over and over, what is played goes to
// speaker.wav. Writes both and <dir>/alsa.conf (for StartResumedGame and
// StartWithRememberedDevice); returns the clip's mu-law bytes twice over, so that a piece
// crossing the clip's end is found too.
std::string WriteMicrophoneClip(const std::string& dir);

// The samples of a 16-bit little-endian WAV (after its "data" header) that are not 0, in order.
std::vector<std::int16_t> NonZeroWavSamples(const std::string& path);
// The same over raw 16-bit little-endian bytes from `from` on.
std::vector<std::int16_t> NonZeroSamples(const std::string& pcm, std::size_t from = 0);

// The plugin's 810 x 760 canvas in the game picture, through the fake game's canvaspixel: the
// colour (0xRRGGBB) shown at canvas point (x, y), or -1 when the game cannot tell.
long CanvasColour(Scenario& s, int x, int y);
// Keeps the game rendering until canvas point (x, y) shows `rgb` (0xRRGGBB); returns whether it did.
bool RenderUntilCanvasColour(Scenario& s, int x, int y, unsigned rgb, std::chrono::milliseconds timeout);

// Canvas points of the session dialogs' first and second buttons.
struct CanvasPoint {
    int x, y;
};
constexpr CanvasPoint kConsentAgree{116, 728};    // "Souhlasím"
constexpr CanvasPoint kConsentHeader{300, 20};    // the dialog's header bar, RGB(25,43,65)
constexpr CanvasPoint kUpdateFirstButton{274, 510};
constexpr CanvasPoint kUpdateHeader{400, 220};
constexpr unsigned kDialogHeaderRgb = 0x192B41;
// The restore bar of a minimised computer, left of its label, and its colour.
constexpr CanvasPoint kRestoreBar{50, 732};
constexpr unsigned kRestoreBarRgb = 0x193556;

}  // namespace hm::e2e
