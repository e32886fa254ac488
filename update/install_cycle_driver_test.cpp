// The package's scripts under Wine's cmd: unpack HM_Plugin-client.zip, install into a fresh game
// folder with INSTALOVAT.cmd, check it with ZKONTROLOVAT.cmd, then break one thing at a time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "tools/e2e/e2e_harness.h"

namespace hm {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string WinPath(const std::string& host) {
    std::string p = "Z:" + host;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

struct Result {
    int code = -1;
    std::string out;
};

class InstallCycle : public ::testing::Test {
protected:
    std::string dir, pkg, game;

    void SetUp() override {
        if (Env("HM_WIN32_BIN").empty() || Env("HM_WINE_RUN").empty())
            GTEST_SKIP() << "needs the Wine session of the host build (HM_WIN32_BUILD)";
        const std::string zip = Env("HM_WIN32_BIN") + "/../HM_Plugin-client.zip";
        ASSERT_TRUE(Exists(zip)) << "build the win32 target `package` first";
        char tmpl[] = "/tmp/hm_install_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        pkg = dir + "/balik";
        game = dir + "/GTA San Andreas";
        ASSERT_EQ(std::system(("python3 -m zipfile -e " + Quote(zip) + " " + Quote(pkg)).c_str()), 0);
        ASSERT_EQ(::mkdir(game.c_str(), 0755), 0);
        WriteAll(game + "/gta_sa.exe", "MZ");
    }
    void TearDown() override {
        if (!dir.empty()) std::system(("rm -rf " + Quote(dir)).c_str());
    }

    Result Cmd(const std::string& script, const std::string& arg) {
        const std::string out = dir + "/cmd.out";
        std::string cmd = Quote(Env("HM_WINE_RUN")) + " win32 cmd /c " + Quote(WinPath(pkg + "/" + script));
        if (!arg.empty()) cmd += " " + Quote(arg);
        cmd += " >" + Quote(out) + " 2>&1";
        const int status = std::system(cmd.c_str());
        Result r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadAll(out);
        return r;
    }
    Result Install() { return Cmd("INSTALOVAT.cmd", WinPath(game)); }
    Result Check() { return Cmd("ZKONTROLOVAT.cmd", WinPath(game)); }
};

TEST_F(InstallCycle, InstallsChecksAndNamesEachBrokenPart) {
    const Result install = Install();
    ASSERT_EQ(install.code, 0) << install.out;
    EXPECT_THAT(install.out, HasSubstr("Pridano: HM_Plugin.ini"));
    EXPECT_EQ(ReadAll(game + "/HM_Plugin.asi"), ReadAll(pkg + "/HM_Plugin.dll"));
    EXPECT_TRUE(Exists(game + "/HM_PluginBrowser/HM_PluginBrowser.exe"));

    const Result ok = Check();
    EXPECT_EQ(ok.code, 0) << ok.out;
    EXPECT_THAT(ok.out, Not(HasSubstr("CHYBA"))) << ok.out;
    EXPECT_THAT(ok.out, HasSubstr("OK    nainstalovany build 17305"));

    // Each broken part: the check names it and fails; putting it back makes it pass again.
    const std::string ini = ReadAll(game + "/HM_Plugin.ini");
    struct Case {
        const char* name;
        std::function<void()> breakIt, mend;
        const char* line;
    } cases[] = {
        {"no INI", [&] { std::remove((game + "/HM_Plugin.ini").c_str()); }, [&] { WriteAll(game + "/HM_Plugin.ini", ini); },
         "CHYBA nastaveni HM_Plugin.ini chybi"},
        {"Enabled=0",
         [&] {
             std::string off = ini;
             off.replace(off.find("Enabled=1"), 9, "Enabled=0");
             WriteAll(game + "/HM_Plugin.ini", off);
         },
         [&] { WriteAll(game + "/HM_Plugin.ini", ini); }, "CHYBA Enabled neni 1"},
        {"no Enabled key",
         [&] {
             std::string none = ini;
             none.erase(none.find("Enabled=1"), 9);
             WriteAll(game + "/HM_Plugin.ini", none);
         },
         [&] { WriteAll(game + "/HM_Plugin.ini", ini); }, "CHYBA Enabled neni 1"},
        {"helper missing",
         [&] { std::rename((game + "/HM_PluginBrowser").c_str(), (dir + "/helper").c_str()); },
         [&] { std::rename((dir + "/helper").c_str(), (game + "/HM_PluginBrowser").c_str()); },
         "CHYBA pomocny program"},
        {"plugin missing",
         [&] { std::rename((game + "/HM_Plugin.asi").c_str(), (dir + "/plugin").c_str()); },
         [&] { std::rename((dir + "/plugin").c_str(), (game + "/HM_Plugin.asi").c_str()); }, "CHYBA plugin HM_Plugin.asi"},
        {"other build installed",
         [&] {
             std::rename((game + "/HM_Plugin.asi").c_str(), (dir + "/plugin").c_str());
             WriteAll(game + "/HM_Plugin.asi", "MZ\r\nHMPLUGIN-BUILD=17304;\r\n");
         },
         [&] { std::rename((dir + "/plugin").c_str(), (game + "/HM_Plugin.asi").c_str()); },
         "CHYBA nainstalovany build neni 17305"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.breakIt();
        const Result broken = Check();
        EXPECT_EQ(broken.code, 1) << broken.out;
        EXPECT_THAT(broken.out, HasSubstr(c.line)) << broken.out;
        c.mend();
        EXPECT_EQ(Check().code, 0);
    }
}

// The fake game in the installed folder loads HM_Plugin.asi as a plugin loader would; with the
// packaged HM_Plugin.ini the plugin starts and reaches its worker loop.
TEST_F(InstallCycle, InstalledPluginReachesItsWorkerLoop) {
    e2e::Scenario s("installed_plugin");
    WriteAll(s.dir() + "/gta_sa.exe", "MZ");
    const Result r = Cmd("INSTALOVAT.cmd", WinPath(s.dir()));
    ASSERT_EQ(r.code, 0) << r.out;
    e2e::GameOptions options;
    options.withPlugin = false;  // no HM_Plugin.dll: the game takes the installed .asi
    s.StartGame(options);
    std::string state;
    for (int i = 0; i < 30; ++i) {
        state = s.Ok("plugin");
        if (state.find("worker_stage=4 ") != std::string::npos) break;
        s.Ok("run 1000");
    }
    EXPECT_THAT(state, HasSubstr("loaded=1 worker_starts=1 worker_stage=4 ")) << s.GameLog();
    EXPECT_EQ(s.Quit(), 0);
}

TEST_F(InstallCycle, SecondInstallKeepsTheSettingsAndBacksUpReplacedFiles) {
    ASSERT_EQ(Install().code, 0);
    WriteAll(game + "/HM_Plugin.ini", "[HM_Plugin]\r\nEnabled=1\r\nVoice=0\r\n");
    WriteAll(game + "/HM_Plugin.asi", "older plugin");
    const Result again = Install();
    ASSERT_EQ(again.code, 0) << again.out;
    EXPECT_THAT(again.out, HasSubstr("Ponechano: HM_Plugin.ini"));
    EXPECT_EQ(ReadAll(game + "/HM_Plugin.ini"), "[HM_Plugin]\r\nEnabled=1\r\nVoice=0\r\n");
    EXPECT_EQ(ReadAll(game + "/HM_Plugin.asi.bak"), "older plugin");
    EXPECT_TRUE(ReadAll(game + "/HM_Plugin.asi") == ReadAll(pkg + "/HM_Plugin.dll"));
}

TEST_F(InstallCycle, RefusesAFolderWithoutTheGame) {
    std::remove((game + "/gta_sa.exe").c_str());
    const Result r = Install();
    EXPECT_EQ(r.code, 3) << r.out;
    EXPECT_THAT(r.out, HasSubstr("neni gta_sa.exe"));
    EXPECT_FALSE(Exists(game + "/HM_Plugin.asi"));
    EXPECT_FALSE(Exists(game + "/HM_Plugin.ini"));
}

}  // namespace
}  // namespace hm
