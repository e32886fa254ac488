// The download thread's steps under 32-bit Wine (package_download_probe.exe) against the fake
// API: the package request on the wire, a real download verified with CryptoAPI, the second run
// that finds the package complete, and the bad packages and servers that must end in one
// failure with no ".part" left.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "tools/fake_api/fake_api.h"

namespace hm {
namespace {

using ::testing::HasSubstr;

constexpr const char* kPackagePath = "/downloads/HM_Plugin-test-client.zip";

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

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string Sha256Hex(const std::string& bytes, const std::string& scratch) {
    {
        std::ofstream out(scratch, std::ios::binary);
        out << bytes;
    }
    FILE* p = ::popen(("sha256sum " + Quote(scratch)).c_str(), "r");
    char hex[65] = {};
    if (p) {
        if (std::fread(hex, 1, 64, p) != 64) hex[0] = 0;
        ::pclose(p);
    }
    std::remove(scratch.c_str());
    return hex;
}

std::string Package(std::size_t size) {
    std::string p(size, '\0');
    unsigned x = 12345;
    for (char& c : p) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    return p;
}

struct Outcome {
    std::string line;
    std::string Field(const std::string& key) const {
        const std::size_t at = line.find(key + "=");
        if (at == std::string::npos) return "?";
        const std::size_t from = at + key.size() + 1;
        const std::size_t next = line.find(" ms=", from);
        if (key == "reason") return line.substr(from, next - from);
        if (key == "folder") return line.substr(from);
        return line.substr(from, line.find(' ', from) - from);
    }
};

class PackageDownload : public ::testing::Test {
protected:
    fake::FakeApi api;
    std::string dir;        // host path of the test's Downloads folder
    std::string package;    // served bytes
    std::string folder;     // dir + /HM_Plugin/17306

    void SetUp() override {
        if (Env("HM_WIN32_BIN").empty() || Env("HM_WINE_RUN").empty())
            GTEST_SKIP() << "needs the Wine session of the host build (HM_WIN32_BUILD)";
        char tmpl[] = "/tmp/hm_download_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        folder = dir + "/HM_Plugin/17306";
        Serve(Package(3 * 65536 + 4321));
    }
    void TearDown() override {
        if (!dir.empty()) std::system(("chmod -R u+w " + Quote(dir) + "; rm -rf " + Quote(dir)).c_str());
    }

    // Announces `bytes` truly and serves them.
    void Serve(const std::string& bytes) {
        package = bytes;
        Announce(bytes.size(), Sha256Hex(bytes, dir + "/.scratch"));
        api.Script("GET", kPackagePath, fake::Reply(200, bytes));
    }
    void Announce(std::size_t size, const std::string& hash, int build = 17306) {
        api.Script("GET", "/client/update",
                   fake::Reply(200, "HMUPDATE\n" + std::to_string(build) + "\n1.01\n" + std::to_string(size) + "\n" +
                                        hash + "\n"));
    }

    Outcome Run(const std::string& downloads = "") {
        const std::string out = dir + "/.probe.out";
        std::string cmd = Quote(Env("HM_WINE_RUN")) + " win32 " + Quote(Env("HM_WIN32_BIN") + "/package_download_probe.exe");
        const std::string where = downloads == "-" ? downloads : "Z:" + (downloads.empty() ? dir : downloads);
        cmd += " " + Quote(api.BaseUrl()) + " " + Quote(where) + " 17306";
        cmd += " >" + Quote(out) + " 2>&1";
        std::system(cmd.c_str());
        std::ifstream in(out);
        std::string line, last;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.rfind("reason=", 0) == 0) last = line;
        }
        std::remove(out.c_str());
        EXPECT_FALSE(last.empty()) << "probe printed no result";
        return Outcome{last};
    }

    void ExpectFailure(const Outcome& o, const std::string& reason) {
        EXPECT_EQ(o.Field("reason"), reason) << o.line;
        EXPECT_EQ(o.Field("running"), "0") << o.line;
        EXPECT_EQ(o.Field("bytes"), "-1") << "no PackageFolder after a failure: " << o.line;
        EXPECT_FALSE(Exists(folder + "/HM_Plugin-client.zip.part")) << "a .part was left";
    }
};

TEST_F(PackageDownload, DownloadsVerifiesAndOnASecondRunOnlyRewritesTheInstructions) {
    const Outcome o = Run();
    ASSERT_EQ(o.Field("reason"), "") << o.line;
    EXPECT_EQ(o.Field("bytes"), std::to_string(package.size()));
    EXPECT_THAT(o.Field("folder"), HasSubstr("\\HM_Plugin\\17306"));
    EXPECT_TRUE(ReadAll(folder + "/HM_Plugin-client.zip") == package);
    EXPECT_FALSE(Exists(folder + "/HM_Plugin-client.zip.part"));
    EXPECT_EQ(ReadAll(folder + "/INSTALACE.txt"),
              "1. Vypni GTA.\r\n2. Rozbal cely HM_Plugin-client.zip do nove slozky.\r\n3. Spust INSTALOVAT.cmd a "
              "vyber slozku s gta_sa.exe.\r\nKompletni balik umoznuje preskocit meziverze.\r\n");

    const auto requests = api.RequestsTo("GET", kPackagePath);
    ASSERT_EQ(requests.size(), 1u);
    const fake::RecordedRequest& r = requests[0];
    EXPECT_FALSE(r.under_base) << "the package path is absolute on the host";
    EXPECT_EQ(r.Header("User-Agent"), "HM_Plugin updater");
    for (const auto& h : r.headers) {
        EXPECT_NE(strncasecmp(h.first.c_str(), "X-HM", 4), 0) << "identity header " << h.first;
        EXPECT_NE(strcasecmp(h.first.c_str(), "Authorization"), 0);
    }
    const auto meta = api.RequestsTo("GET", "/client/update");
    ASSERT_EQ(meta.size(), 1u);
    EXPECT_EQ(meta[0].Header("Authorization"), "");

    std::remove((folder + "/INSTALACE.txt").c_str());
    api.ClearLog();
    const Outcome again = Run();
    EXPECT_EQ(again.Field("reason"), "") << again.line;
    EXPECT_TRUE(api.RequestsTo("GET", kPackagePath).empty()) << "a complete package is not fetched again";
    EXPECT_TRUE(Exists(folder + "/INSTALACE.txt"));
}

TEST_F(PackageDownload, TheRealPackage) {
    const std::string zip = ReadAll(Env("HM_WIN32_BIN") + "/../HM_Plugin-client.zip");
    ASSERT_FALSE(zip.empty()) << "build the win32 target `package` first";
    Serve(zip);
    const Outcome o = Run();
    ASSERT_EQ(o.Field("reason"), "") << o.line;
    EXPECT_TRUE(ReadAll(folder + "/HM_Plugin-client.zip") == zip);
}

TEST_F(PackageDownload, RightSizeWrongHashIsFetchedAgain) {
    // An existing package of the right size whose bytes differ.
    ASSERT_EQ(std::system(("mkdir -p " + Quote(folder)).c_str()), 0);
    {
        std::ofstream stale(folder + "/HM_Plugin-client.zip", std::ios::binary);
        stale << std::string(package.size(), 'x');
    }
    const Outcome o = Run();
    EXPECT_EQ(o.Field("reason"), "") << o.line;
    EXPECT_EQ(api.RequestsTo("GET", kPackagePath).size(), 1u);
    EXPECT_TRUE(ReadAll(folder + "/HM_Plugin-client.zip") == package);
}

TEST_F(PackageDownload, BadPackagesAndServers) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string reason;
    } cases[] = {
        {"one byte shorter than announced",
         [&] { api.Script("GET", kPackagePath, fake::Reply(200, package.substr(0, package.size() - 1))); },
         "update verification"},
        {"one byte longer than announced", [&] { api.Script("GET", kPackagePath, fake::Reply(200, package + "!")); },
         "update size"},
        {"one flipped byte",
         [&] {
             std::string bad = package;
             bad[70000] ^= 0x20;
             api.Script("GET", kPackagePath, fake::Reply(200, bad));
         },
         "update verification"},
        {"redirect elsewhere",
         [&] {
             api.Script("GET", kPackagePath, fake::Reply(302, "", {{"Location", api.BaseUrl() + "/elsewhere.zip"}}));
         },
         "update HTTP status"},
        {"not found", [&] { api.Script("GET", kPackagePath, fake::Reply(404, "")); }, "update HTTP status"},
        {"release changed", [&] { Announce(package.size(), Sha256Hex(package, dir + "/.s"), 17307); },
         "release changed"},
        // Wine replaces a read-only file that Windows would refuse; a folder in the package's
        // place makes the rename fail there too.
        {"package name taken by a folder",
         [&] {
             ASSERT_EQ(std::system(("mkdir -p " + Quote(folder + "/HM_Plugin-client.zip")).c_str()), 0);
             std::ofstream(folder + "/HM_Plugin-client.zip/old") << "old";
         },
         "update rename: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::system(("chmod -R u+w " + Quote(dir) + "; rm -rf " + Quote(dir + "/HM_Plugin")).c_str());
        Serve(Package(3 * 65536 + 4321));
        c.arrange();
        api.ClearLog();
        const Outcome o = Run();
        if (c.reason == "update rename: ") {
            EXPECT_EQ(o.Field("reason").rfind(c.reason, 0), 0u) << o.line;
            EXPECT_GT(o.Field("reason").size(), c.reason.size()) << "the Windows error number is missing";
            ExpectFailure(o, o.Field("reason"));
        } else {
            ExpectFailure(o, c.reason);
        }
        if (std::string(c.name) == "redirect elsewhere") {
            EXPECT_TRUE(api.RequestsTo("GET", "/elsewhere.zip").empty()) << "redirect followed";
        }
        if (c.reason == "update rename: ") {
            EXPECT_EQ(ReadAll(folder + "/HM_Plugin-client.zip/old"), "old");
        }
    }
}

TEST_F(PackageDownload, UsersDownloadsKnownFolder) {
    const Outcome o = Run("-");
    ASSERT_EQ(o.Field("reason"), "") << o.line;
    const std::string f = o.Field("folder");
    EXPECT_EQ(f.substr(f.size() - std::string("\\Downloads\\HM_Plugin\\17306").size()), "\\Downloads\\HM_Plugin\\17306")
        << o.line;
    EXPECT_EQ(o.Field("bytes"), std::to_string(package.size()));
}

TEST_F(PackageDownload, DownloadsFolderThatCannotBeCreated) {
    {
        std::ofstream blocker(dir + "/file");
        blocker << "a file where the folder should be";
    }
    const Outcome o = Run(dir + "/file/sub");
    EXPECT_THAT(o.Field("reason"), HasSubstr("Windows API failure")) << o.line;
    EXPECT_EQ(o.Field("running"), "0");
}

// Many pieces through WinHTTP, CryptoAPI and the file; the elapsed time gives the throughput.
TEST_F(PackageDownload, LargePackageVerifiesAndReportsThroughput) {
    Serve(Package(16 * 1024 * 1024));
    const Outcome o = Run();
    ASSERT_EQ(o.Field("reason"), "") << o.line;
    EXPECT_EQ(o.Field("bytes"), std::to_string(package.size()));
    const double ms = std::atof(o.Field("ms").c_str());
    RecordProperty("download_ms", o.Field("ms"));
    std::printf("16 MiB downloaded and verified in %.0f ms: %.1f MB/s\n", ms, ms > 0 ? 16.0 * 1048.576 / ms : 0.0);
}

// Slow cases: each waits for the 15 s receive time-out.
TEST_F(PackageDownload, ServerThatStopsMidBodyOrNeverAnswers) {
    api.Script("GET", kPackagePath,
               fake::Reply(200, package.substr(0, 100000), {{"Content-Length", std::to_string(package.size())}}));
    ExpectFailure(Run(), "update read");
    api.Script("GET", kPackagePath, fake::Reply::NeverAnswer());
    ExpectFailure(Run(), "update connection");
}

}  // namespace
}  // namespace hm
