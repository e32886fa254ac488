#include "tools/e2e/e2e_harness.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "core/identity.h"
#include "tools/e2e/png_reader.h"
#include "tools/fake_api/demo_world.h"
#include "voice/mulaw.h"

namespace hm::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v) throw std::runtime_error(std::string("e2e: environment variable ") + name + " is not set");
    return v;
}

std::string Tail(const std::string& text, std::size_t max = 2000) {
    return text.size() <= max ? text : "..." + text.substr(text.size() - max);
}

// Every process below `root` (children of children...), read from /proc.
std::vector<pid_t> Descendants(pid_t root) {
    std::vector<std::pair<pid_t, pid_t>> parentOf;  // (pid, ppid)
    if (DIR* d = opendir("/proc")) {
        while (dirent* e = readdir(d)) {
            const pid_t pid = pid_t(std::atoi(e->d_name));
            if (pid <= 0) continue;
            std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
            std::string line;
            std::getline(stat, line);
            const std::size_t close = line.rfind(')');
            if (close == std::string::npos) continue;
            std::istringstream rest(line.substr(close + 2));
            char state;
            pid_t ppid = 0;
            rest >> state >> ppid;
            parentOf.emplace_back(pid, ppid);
        }
        closedir(d);
    }
    std::vector<pid_t> out{root};
    for (std::size_t i = 0; i < out.size(); ++i)
        for (const auto& [pid, ppid] : parentOf)
            if (ppid == out[i]) out.push_back(pid);
    out.erase(out.begin());
    return out;
}

// Wine's audio driver reads its configuration when the game starts.
void StartGameWithAudio(Scenario& s, const GameOptions& options, const std::string& alsaConfig) {
    if (!alsaConfig.empty()) setenv("ALSA_CONFIG_PATH", alsaConfig.c_str(), 1);
    try {
        s.StartGame(options);
    } catch (...) {
        unsetenv("ALSA_CONFIG_PATH");
        throw;
    }
    unsetenv("ALSA_CONFIG_PATH");
}

}  // namespace

std::string CommunityHost() {
    std::string host;
    for (const wchar_t* c = CommunityServerAddress(); *c; ++c) host += char(*c);  // an ASCII host name
    return host;
}

std::vector<std::string> GameArguments(const GameOptions& o) {
    std::vector<std::string> args{"-c"};
    if (!o.host.empty()) args.insert(args.end(), {"-h", o.host});
    if (o.port) args.insert(args.end(), {"-p", std::to_string(o.port)});
    if (!o.name.empty()) args.insert(args.end(), {"-n", o.name});
    args.insert(args.end(), o.extraArgs.begin(), o.extraArgs.end());
    return args;
}

int RunSessionProbe(const std::string& dir, const std::vector<std::string>& args) {
    auto quote = [](const std::string& text) { return "'" + text + "'"; };
    std::string cmd = quote(Env("HM_WINE_RUN")) + " win32 " + quote(Env("HM_WIN32_BIN") + "/session_probe.exe");
    for (const auto& a : args) cmd += " " + quote(a);
    cmd += " >>" + quote(dir + "/probe.out") + " 2>&1";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

int Field(const std::string& answer, const std::string& name) {
    const auto at = answer.find(name + "=");
    if (at == std::string::npos) throw std::runtime_error("no " + name + " in: " + answer);
    return std::stoi(answer.substr(at + name.size() + 1));
}

long CanvasColour(Scenario& s, int x, int y) {
    const std::string answer = s.Command("canvaspixel " + std::to_string(x) + " " + std::to_string(y));
    if (answer.rfind("ok ", 0) != 0) return -1;
    return long(std::stoul(answer.substr(3), nullptr, 16) & 0xFFFFFFu);
}

bool RenderUntilCanvasColour(Scenario& s, int x, int y, unsigned rgb, std::chrono::milliseconds timeout) {
    return s.RenderUntil([&] { return CanvasColour(s, x, y) == long(rgb); }, timeout);
}

std::string WindowsPath(const std::string& unixPath) {
    std::string out = "Z:" + fs::absolute(unixPath).lexically_normal().string();
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

Scenario::Scenario(const std::string& name) : name_(name) {
    const char* root = std::getenv("HM_E2E_DIR");
    fs::path dir = fs::path(root && *root ? root : (fs::current_path() / "e2e-runs").string());
    std::string safe = name;
    for (char& c : safe)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
    dir /= safe;
    fs::remove_all(dir);
    fs::create_directories(dir);
    dir_ = dir.string();
}

Scenario::~Scenario() {
    if (running()) {
        try {
            Quit(std::chrono::seconds(30));
        } catch (...) {
            Kill();
        }
    }
    if (controlFd_ >= 0) ::close(controlFd_);
    if (listenFd_ >= 0) ::close(listenFd_);
}

fake::FakeApi& Scenario::api() {
    if (!api_) api_ = std::make_unique<fake::FakeApi>();
    return *api_;
}

IniKeys Scenario::DefaultIni() { return {{"Enabled", "1"}, {"ApiUrl", api().BaseUrl()}, {"AllowLocalHttp", "1"}}; }

void Scenario::WriteIni(const IniKeys& keys) {
    // Profile files are read by Windows in the ANSI code page; CR LF line ends as Windows writes them.
    std::ofstream ini(dir_ + "/HM_Plugin.ini", std::ios::binary | std::ios::trunc);
    ini << "[HM_Plugin]\r\n";
    for (const auto& [key, value] : keys) ini << key << "=" << value << "\r\n";
    if (!ini) throw std::runtime_error("e2e: cannot write " + dir_ + "/HM_Plugin.ini");
}

void Scenario::StartGame(const GameOptions& options) {
    if (running()) throw std::runtime_error("e2e: the game already runs");
    const fs::path bin = Env("HM_WIN32_BIN");
    const std::string runner = Env("HM_WINE_RUN");
    const fs::path exe = fs::path(dir_) / options.exeName;
    fs::copy_file(bin / "gta_sa.exe", exe, fs::copy_options::overwrite_existing);
    const fs::path plugin = fs::path(dir_) / "HM_Plugin.dll";
    const char* built = options.testHooks ? "HM_Plugin_testhooks.dll" : "HM_Plugin.dll";
    if (options.withPlugin) fs::copy_file(bin / built, plugin, fs::copy_options::overwrite_existing);
    else fs::remove(plugin);

    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 1) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("e2e: cannot listen for the game's control connection");

    std::vector<std::string> args{"bash", runner, "win32", exe.string()};
    for (const auto& a : GameArguments(options)) args.push_back(a);
    args.push_back("--hm-control=" + std::to_string(ntohs(addr.sin_port)));
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string log = dir_ + "/game.log";
    // The child gets a ready environment: after fork only async-signal-safe calls are made.
    std::vector<std::string> env;
    bool timeoutGiven = false;
    for (char** e = environ; *e; ++e) {
        env.emplace_back(*e);
        if (env.back().compare(0, 16, "HM_WINE_TIMEOUT=") == 0) timeoutGiven = true;
    }
    if (!timeoutGiven) env.emplace_back("HM_WINE_TIMEOUT=900");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("e2e: fork failed");
    if (pid_ == 0) {
        ::setpgid(0, 0);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execve("/bin/bash", argv.data(), envp.data());
        ::_exit(127);
    }

    const auto deadline = Clock::now() + options.startTimeout;
    while (controlFd_ < 0) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 250) > 0) {
            controlFd_ = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            break;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            throw std::runtime_error("e2e: the game ended (exit " + std::to_string(exitCode_) +
                                     ") before it connected:\n" + Tail(GameLog()));
        }
        if (Clock::now() > deadline) {
            Kill();
            throw std::runtime_error("e2e: the game did not connect in time:\n" + Tail(GameLog()));
        }
    }
    const int one = 1;
    ::setsockopt(controlFd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const auto hello = ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
    if (!hello || hello->compare(0, 6, "hello ") != 0) {
        Kill();
        throw std::runtime_error("e2e: the game did not come up: " + hello.value_or("(no greeting)") + "\n" +
                                 Tail(GameLog()));
    }
    greeting_ = *hello;
}

std::optional<std::string> Scenario::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const std::size_t end = inbox_.find('\n');
        if (end != std::string::npos) {
            std::string line = inbox_.substr(0, end);
            inbox_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        pollfd p{controlFd_, POLLIN, 0};
        const int r = ::poll(&p, 1, int(std::min<long long>(left, 1000)));
        if (r < 0 && errno != EINTR) return std::nullopt;
        if (r <= 0) continue;
        char buf[4096];
        const ssize_t n = ::recv(controlFd_, buf, sizeof buf, 0);
        if (n <= 0) return std::nullopt;
        inbox_.append(buf, std::size_t(n));
    }
}

std::string Scenario::Command(const std::string& line, std::chrono::milliseconds timeout) {
    if (controlFd_ < 0) throw std::runtime_error("e2e: no game to send '" + line + "' to");
    const std::string out = line + "\n";
    if (::send(controlFd_, out.data(), out.size(), MSG_NOSIGNAL) != ssize_t(out.size()))
        throw std::runtime_error("e2e: the game's control connection is gone");
    auto answer = ReadLine(timeout);
    if (!answer) throw std::runtime_error("e2e: no answer to '" + line + "':\n" + Tail(GameLog()));
    return *answer;
}

std::string Scenario::Ok(const std::string& line, std::chrono::milliseconds timeout) {
    const std::string answer = Command(line, timeout);
    if (answer.compare(0, 2, "ok") != 0) throw std::runtime_error("e2e: '" + line + "' answered: " + answer);
    return answer.size() > 3 ? answer.substr(3) : "";
}

bool Scenario::RenderUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                           std::chrono::milliseconds slice) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline) return false;
        Ok("run " + std::to_string(slice.count()));
    }
    return true;
}

Pixels Scenario::Screenshot(const std::string& fileName) {
    const std::string path = dir_ + "/" + fileName;
    Ok("screenshot " + WindowsPath(path));
    return ReadPngFile(path);
}

int Scenario::Quit(std::chrono::milliseconds timeout) {
    if (!running()) return exitCode_;
    Command("quit", timeout);
    return WaitExit(timeout);
}

// The game ends its control stream with "bye <code>" once its own work is done.
void Scenario::ReadFarewell(std::chrono::milliseconds timeout) {
    if (controlFd_ < 0 || farewell_) return;
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        const auto line = ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        if (!line) return;  // the stream ended without one
        if (line->compare(0, 4, "bye ") == 0) {
            farewell_ = std::atoi(line->c_str() + 4);
            return;
        }
    }
}

int Scenario::WaitExit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (running()) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (Clock::now() > deadline) {
            Kill();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Wine under emulation can SIGKILL the Unix process during its teardown, after every Windows
    // thread (and so every DLL detach) has ended; the runner then says 137. What the game said
    // last is its real exit code then.
    ReadFarewell(std::chrono::seconds(2));
    if (exitCode_ == 128 + SIGKILL && farewell_) {
        std::fprintf(stderr, "e2e: %s: Wine killed the game's process after it said bye %d; taking %d\n",
                     name_.c_str(), *farewell_, *farewell_);
        exitCode_ = *farewell_;
    } else if (exitCode_ == 128 + SIGKILL) {
        std::fprintf(stderr, "e2e: %s: the game's process was killed before it said bye:\n%s\n", name_.c_str(),
                     Tail(GameLog()).c_str());
    }
    if (controlFd_ >= 0) ::close(controlFd_);
    controlFd_ = -1;
    return exitCode_;
}

void Scenario::Kill() {
    if (pid_ <= 0) return;
    // Only what this scenario started: the runner and everything below it.
    for (pid_t p : Descendants(pid_)) ::kill(p, SIGKILL);
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    exitCode_ = -1;
}

std::string Scenario::GameLog() const {
    std::ifstream in(dir_ + "/game.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void StartResumedGame(Scenario& s, const std::string& credential, const std::string& token, const IniKeys& extraIni,
                      const std::string& alsaConfig, bool samp, const std::vector<std::string>& extraArgs) {
    fake::FakeApi& api = s.api();
    api.Script("POST", "/resume", fake::Reply(201, token + "\n0123456789ab\n"));
    api.Script("GET", "/state", fake::Reply(200, "OK 0 0\n"));
    api.Script("POST", "/presence", fake::Reply(204));
    if (RunSessionProbe(s.dir(), {"save-plugin", api.BaseUrl(), credential}) != 0)
        throw std::runtime_error("session_probe could not save the remembered device: " + s.dir() + "/probe.out");
    IniKeys ini = s.DefaultIni();
    ini.push_back({"AutoConnect", "1"});
    ini.insert(ini.end(), extraIni.begin(), extraIni.end());
    s.WriteIni(ini);
    GameOptions options;
    if (samp) AddFakeSamp(s, options);
    options.extraArgs.insert(options.extraArgs.end(), extraArgs.begin(), extraArgs.end());
    StartGameWithAudio(s, options, alsaConfig);
}

std::vector<std::int16_t> NonZeroSamples(const std::string& pcm, std::size_t from) {
    std::vector<std::int16_t> out;
    for (std::size_t i = from; i + 1 < pcm.size(); i += 2) {
        const std::int16_t v = std::int16_t(std::uint8_t(pcm[i]) | (std::uint8_t(pcm[i + 1]) << 8));
        if (v != 0) out.push_back(v);
    }
    return out;
}

std::vector<std::int16_t> NonZeroWavSamples(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    const std::string wav((std::istreambuf_iterator<char>(f)), {});
    const std::size_t data = wav.find("data");
    if (data == std::string::npos) return {};
    return NonZeroSamples(wav, data + 8);
}

void StartWithRememberedDevice(Scenario& s, GameOptions options, const std::string& alsaConfig) {
    if (RunSessionProbe(s.dir(), {"save-plugin", s.api().BaseUrl(), fake::kDemoDeviceCredential}) != 0)
        throw std::runtime_error("the remembered device could not be saved");
    IniKeys ini = s.DefaultIni();
    ini.push_back({"AutoConnect", "1"});
    s.WriteIni(ini);
    options.extraArgs.push_back("--hm-2d-pass");
    StartGameWithAudio(s, options, alsaConfig);
}

void StartWithRememberedDevice(Scenario& s) { StartWithRememberedDevice(s, GameOptions{}); }

void AddFakeSamp(Scenario& s, GameOptions& options) {
    std::filesystem::copy_file(Env("HM_WIN32_BIN") + "/samp.dll", s.dir() + "/samp.dll",
                               std::filesystem::copy_options::overwrite_existing);
    options.extraArgs.push_back("--hm-samp");
}

std::filesystem::path PhotosFolder() {
    const fs::path prefix = fs::path(Env("HM_WINE_SESSION")).parent_path() / "prefix";
    for (const auto& user : fs::directory_iterator(prefix / "drive_c" / "users")) {
        const auto folder = user.path() / "AppData" / "Local" / "Hollowmarsh" / "HMMedia" / "Photos";
        if (fs::exists(folder.parent_path().parent_path())) return folder;
    }
    return prefix / "drive_c" / "users" / "root" / "AppData" / "Local" / "Hollowmarsh" / "HMMedia" / "Photos";
}

std::string WriteMicrophoneClip(const std::string& dir) {
    std::string raw, encoded;
    for (int i = 0; i < 16000; ++i) {
        std::int16_t v = std::int16_t((i * 37) % 20000 - 10000);
        if (v > -200 && v < 200) v = 300;  // never near zero: no 0xFF/0x7F bytes
        raw.push_back(char((v >> 8) & 0xFF));
        raw.push_back(char(v & 0xFF));
        encoded.push_back(char(EncodeMuLaw(v)));
    }
    std::ofstream(dir + "/clip.raw", std::ios::binary) << raw;
    std::ofstream(dir + "/alsa.conf") << "pcm.null { type null }\npcm.!default {\n  type asym\n"
                                      << "  playback.pcm { type file slave.pcm { type null } file \"" << dir
                                      << "/speaker.wav\" format \"wav\" truncate false }\n"
                                      << "  capture.pcm { type plug slave { pcm { type file slave.pcm { type null } file \""
                                      << dir << "/captured.raw\" infile \"" << dir
                                      << "/clip.raw\" format \"raw\" } format S16_BE } }\n}\n";
    return encoded + encoded;
}

}  // namespace hm::e2e
