#include "update/updater.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <vector>

#include "base/fnv1a.h"

namespace hm {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

const std::wstring kLoaded = L"HM Plugin v1.00 BETA nacten.";
const std::wstring kFailure =
    L"HM Plugin: aktualizaci se nepodarilo stahnout nebo overit.\nCtrl+F9: rucni stazeni. Hra a plugin zustavaji beze zmen.";

ApiClient TestClient(const std::wstring& base = L"/HM/MEDIA-PLUGIN/test-api") {
    ApiClient c;
    c.host = L"api.example.cz";
    c.base_path = base;
    return c;
}

// A server answering "GET path" from a map; a missing entry is a transport failure.
struct ScriptedApi {
    std::map<std::string, ApiResponse> answers;
    std::vector<std::string> asked;
    ApiRequestFn Fn() {
        return [this](const ApiClient&, const std::string& method, const std::string& path, const std::string& bearer,
                      const std::string&, std::uint32_t) {
            EXPECT_EQ(bearer, "") << "release and update requests carry no bearer";
            asked.push_back(method + " " + path);
            auto it = answers.find(path);
            if (it == answers.end()) throw std::runtime_error("HTTP request failed");
            return it->second;
        };
    }
};

std::string Release(int build, const std::string& version) {
    return "HMPLUGIN\n" + std::to_string(build) + "\n" + version + "\n";
}

// ---- version texts -----------------------------------------------------------------------

TEST(VersionText, BoundaryBetweenLoadedAndNewer) {
    EXPECT_EQ(VersionText({0, ""}), kLoaded);
    EXPECT_EQ(VersionText({17305, "1.00"}), kLoaded);
    EXPECT_EQ(VersionText({17306, "1.01"}),
              L"Mate HM Plugin 1.00 BETA. Aktualni verze je 1.01 BETA.\nCtrl+F9: stazeni aktualizace (instalovat pri "
              L"vypnute hre).");
}

// ---- release check -----------------------------------------------------------------------

struct ReleaseFixture : ::testing::Test {
    ScriptedApi api;
    ReleaseCheckRecord record;
    ReleaseCheckEffects fx;
    bool auto_download = true;
    std::vector<int> started;
    std::vector<std::wstring> statuses;
    void SetUp() override {
        fx.request = api.Fn();
        fx.auto_download = [this] { return auto_download; };
        fx.start_download = [this](int build) { started.push_back(build); };
        fx.status = [this](const std::wstring& text, Tick ms) {
            EXPECT_EQ(ms, 20000u);
            statuses.push_back(text);
        };
    }
    void Check(Tick now) { ReleaseCheck(record, TestClient(), now, fx); }
};

TEST_F(ReleaseFixture, FailedCheckRetriesAfterAMinuteGoodOneAfterFive) {
    api.answers["/client/release"] = {503, ""};
    EXPECT_THROW(
        try { Check(1000); } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "release unavailable");
            throw;
        },
        std::runtime_error);
    Check(60999);  // not due yet
    EXPECT_EQ(api.asked.size(), 1u);
    api.answers["/client/release"] = {200, Release(17305, "1.00")};
    Check(61000);
    EXPECT_EQ(api.asked.size(), 2u);
    Check(361000 - 1);
    EXPECT_EQ(api.asked.size(), 2u);
    Check(361000);
    EXPECT_EQ(api.asked.size(), 3u);
    EXPECT_THAT(started, IsEmpty());
    EXPECT_THAT(statuses, IsEmpty());
}

TEST_F(ReleaseFixture, MalformedBodyIsAFailedStepWithItsOwnTextAndTheShortDeadline) {
    api.answers["/client/release"] = {200, "HMPLUGIN\n017306\n1.01\n"};
    try {
        Check(0);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "invalid release build");
    }
    EXPECT_EQ(record.deadline, 60000u);
}

TEST_F(ReleaseFixture, NewerBuildAnnouncedOncePerBuildAndDownloadedEveryTime) {
    api.answers["/client/release"] = {200, Release(17306, "1.01")};
    Check(0);
    Check(300000);
    EXPECT_THAT(started, ElementsAre(17306, 17306));
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0], VersionText({17306, "1.01"}));
    api.answers["/client/release"] = {200, Release(17400, "1.02")};
    Check(600000);
    EXPECT_EQ(statuses.size(), 2u);
    ResetReleaseCheck(record);  // a new connection: due at once, announced again
    Check(600001);
    EXPECT_EQ(statuses.size(), 3u);
}

TEST_F(ReleaseFixture, AutoDownloadOffStillAnnouncesAndIsReadEachTime) {
    api.answers["/client/release"] = {200, Release(17306, "1.01")};
    auto_download = false;
    Check(0);
    EXPECT_THAT(started, IsEmpty());
    EXPECT_EQ(statuses.size(), 1u);
    auto_download = true;
    Check(300000);
    EXPECT_THAT(started, ElementsAre(17306));
}

// ---- who starts a download --------------------------------------------------------------

TEST(ClaimDownload, OneAtATimeAndNeverTheSameBuildTwice) {
    UpdateState s;
    EXPECT_TRUE(ClaimDownload(s, 17306));
    EXPECT_FALSE(ClaimDownload(s, 17307)) << "one download at a time";
    s.download_running = false;
    s.downloaded_build = 17306;
    EXPECT_FALSE(ClaimDownload(s, 17306));
    EXPECT_FALSE(s.download_running.load());
    EXPECT_TRUE(ClaimDownload(s, 17307));
}

// ---- Ctrl+F9 dialog ----------------------------------------------------------------------

TEST(UpdateDialog, EveryBranch) {
    const std::wstring head = L"Nainstalováno: HM Plugin 1.00 BETA\n\n";
    const std::wstring tail = L"\n\nKamera: zapnuta";
    struct Case {
        const char* name;
        std::wstring folder;
        bool answered;
        ApiResponse answer;
        std::wstring body;
        std::wstring first;
        int build;
    } cases[] = {
        {"package ready", L"C:\\Users\\p\\Downloads\\HM_Plugin\\17306", true, {200, Release(17306, "1.01")},
         head + L"Aktualizace je stažena a ověřena.\nPřed instalací vypni hru.\n\nSložka s balíčkem:\n"
                L"C:\\Users\\p\\Downloads\\HM_Plugin\\17306",
         L"Rozumím", 0},
        {"current", L"", true, {200, Release(17305, "1.00")},
         head + L"Aktuální verze: 1.00 BETA\n\nMáš aktuální verzi pluginu.", L"Zavrit", 17305},
        {"newer", L"", true, {200, Release(17306, "1.01-rc")},
         head + L"Aktuální verze: 1.01-rc BETA\n\nBalíček lze stáhnout na pozadí. Instaluj jej až po vypnutí hry.",
         L"Stahnout aktualizaci", 17306},
        {"status", L"", true, {404, Release(17306, "1.01")}, L"Informace o aktualizaci nejsou dostupné.", L"Zavrit", 0},
        {"malformed", L"", true, {200, "HMPLUGIN\n17306\n1.01\nx"}, L"Informace o aktualizaci nejsou dostupné.",
         L"Zavrit", 0},
        {"network", L"", false, {}, L"Informace o aktualizaci nejsou dostupné.", L"Zavrit", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedApi api;
        if (c.answered) api.answers["/client/release"] = c.answer;
        const UpdateDialogContent d = BuildUpdateDialog(c.folder, TestClient(), api.Fn(), L"Kamera: zapnuta");
        EXPECT_EQ(d.title, L"HM Plugin – aktualizace");
        EXPECT_EQ(d.body, c.body + tail);
        EXPECT_EQ(d.first_button, c.first);
        EXPECT_EQ(d.download_build, c.build);
        EXPECT_EQ(api.asked.size(), c.folder.empty() ? 1u : 0u) << "a ready package needs no request";
    }
}

// ---- package path and instructions -------------------------------------------------------

TEST(PackagePath, TestClientOnlyForTheExactTestBase) {
    const std::pair<std::wstring, std::string> cases[] = {
        {L"/HM/MEDIA-PLUGIN/test-api", "/downloads/HM_Plugin-test-client.zip"},
        {L"/HM/MEDIA-PLUGIN/api", "/downloads/HM_Plugin-client.zip"},
        {L"/HM/MEDIA-PLUGIN/test-api2", "/downloads/HM_Plugin-client.zip"},
        {L"/hm/media-plugin/test-api", "/downloads/HM_Plugin-client.zip"},
        {L"", "/downloads/HM_Plugin-client.zip"},
    };
    for (const auto& [base, path] : cases) EXPECT_EQ(PackagePath(TestClient(base)), path) << std::string(base.begin(), base.end());
}

TEST(InstructionsText, EveryLineEndsInCrLf) {
    const std::string text = InstructionsText();
    EXPECT_EQ(text.rfind("1. Vypni GTA.\r\n", 0), 0u);
    EXPECT_THAT(text, HasSubstr("Kompletni balik umoznuje preskocit meziverze.\r\n"));
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') {
            EXPECT_EQ(text[i - 1], '\r') << "bare LF at " << i;
        }
}

// ---- download state machine --------------------------------------------------------------

// Stand-in digest over pieces: FNV-1a, so a flipped byte or a different split shows.
class FakeHasher : public PackageHasher {
public:
    explicit FakeHasher(int fail_at = -1) : fail_at_(fail_at) {}
    void Add(const char* data, std::size_t size) override {
        if (calls_++ == fail_at_) throw std::runtime_error("hash data");
        h_ = Fnv1a32Bytes(data, size, h_);
    }
    std::string FinishHex() override { return Digest(h_); }
    static std::string Digest(std::uint32_t h) {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", unsigned(h));
        std::string out;
        for (int i = 0; i < 8; ++i) out += hex;
        return out;
    }
    static std::string Of(const std::string& bytes) { return Digest(Fnv1a32(bytes)); }

private:
    int fail_at_;
    int calls_ = 0;
    std::uint32_t h_ = kFnv1aOffset;
};

// Hands out the body in pieces of at most `piece` bytes; can fail or raise StopFlag on a read.
class ScriptedSource : public PackageSource {
public:
    ScriptedSource(std::string body, std::size_t piece) : body_(std::move(body)), piece_(piece) {}
    std::size_t Read(char* into, std::size_t capacity) override {
        EXPECT_EQ(capacity, kPackagePieceBytes);
        ++reads;
        if (counter) ++*counter;
        if (reads == fail_read) throw std::runtime_error("update read");
        if (reads == stop_after_read && stop) stop->store(true);
        const std::size_t n = std::min({capacity, piece_, body_.size() - at_});
        body_.copy(into, n, at_);
        at_ += n;
        return n;
    }
    int reads = 0;
    int fail_read = -1;
    int stop_after_read = -1;
    std::atomic<bool>* stop = nullptr;
    int* counter = nullptr;  // outlives the source

private:
    std::string body_;
    std::size_t piece_;
    std::size_t at_ = 0;
};

// The package folder in memory. A file is present when its optional holds a value.
class FakeStore : public PackageStore {
public:
    std::map<std::string, std::string> files;  // "zip", "part", "txt"
    bool part_open = false;
    bool fail_folder = false, fail_open = false, fail_write = false, fail_close = false;
    int rename_error = 0;
    int part_removals = 0;

    std::wstring MakeFolder(int build) override {
        if (fail_folder) throw std::runtime_error("Windows API call failed");
        folder = L"D:\\Downloads\\HM_Plugin\\" + std::to_wstring(build);
        return folder;
    }
    std::int64_t PackageSize() override { return files.count("zip") ? std::int64_t(files["zip"].size()) : -1; }
    std::string PackageHash() override { return FakeHasher::Of(files.at("zip")); }
    void RemovePart() noexcept override {
        ++part_removals;
        files.erase("part");
    }
    void OpenPart() override {
        if (fail_open) throw std::runtime_error("update file");
        files["part"].clear();
        part_open = true;
    }
    void AppendPart(const char* data, std::size_t size) override {
        EXPECT_TRUE(part_open);
        if (fail_write) throw std::runtime_error("update write");
        files["part"].append(data, size);
    }
    bool ClosePart() override {
        part_open = false;
        return !fail_close;
    }
    void MovePartOntoPackage() override {
        EXPECT_FALSE(part_open) << "moved while still open";
        if (rename_error) throw std::runtime_error("update rename: " + std::to_string(rename_error));
        files["zip"] = files.at("part");
        files.erase("part");
    }
    void WriteInstructions(const std::string& text) override { files["txt"] = text; }
    std::wstring folder;
};

std::string Package(std::size_t size) {
    std::string p(size, '\0');
    for (std::size_t i = 0; i < size; ++i) p[i] = char(i * 7 + i / 251);
    return p;
}

std::string UpdateBody(int build, std::uint64_t size, const std::string& hash) {
    return "HMUPDATE\n" + std::to_string(build) + "\n1.01\n" + std::to_string(size) + "\n" + hash + "\n";
}

struct DownloadWorld {
    DownloadWorld(const DownloadWorld&) = delete;
    ScriptedApi api;
    FakeStore store;
    UpdateState state;
    DownloadEffects fx;
    std::atomic<bool> stop{false};
    std::string served = Package(200000);  // three full pieces and a partial one
    std::size_t piece = kPackagePieceBytes;
    std::unique_ptr<ScriptedSource> next_source;
    int reads = 0;
    std::vector<std::string> opened_paths;
    const char* open_failure = nullptr;
    int hasher_fails_at = -1;
    std::vector<std::wstring> statuses;
    std::wstring published;

    DownloadWorld() {
        Announce(17306, served.size(), FakeHasher::Of(served));
        fx.request = api.Fn();
        fx.open_source = [this](const ApiClient&, const std::string& path) -> std::unique_ptr<PackageSource> {
            opened_paths.push_back(path);
            if (open_failure) throw std::runtime_error(open_failure);
            auto s = std::make_unique<ScriptedSource>(served, piece);
            s->stop = &stop;
            if (configure) configure(*s);
            s->counter = &reads;
            return s;
        };
        fx.make_hasher = [this] { return std::make_unique<FakeHasher>(hasher_fails_at); };
        fx.store = &store;
        fx.status = [this](const std::wstring& text, Tick ms) {
            EXPECT_EQ(ms, 20000u);
            statuses.push_back(text);
        };
        fx.publish_folder = [this](const std::wstring& f) { published = f; };
        fx.stop = &stop;
        state.download_running = true;  // as ClaimDownload left it
    }
    void Announce(int build, std::uint64_t size, const std::string& hash) {
        api.answers["/client/update"] = {200, UpdateBody(build, size, hash)};
    }
    std::string Download(int target = 17306) { return RunPackageDownload(TestClient(), target, state, fx); }
    std::function<void(ScriptedSource&)> configure;

    void ExpectFailedCleanly(const std::string& reason, const std::string& got) {
        EXPECT_EQ(got, reason);
        EXPECT_EQ(store.files.count("part"), 0u) << "no .part may stay";
        EXPECT_FALSE(store.part_open);
        EXPECT_FALSE(state.download_running.load());
        EXPECT_EQ(state.downloaded_build.load(), 0);
        EXPECT_EQ(published, L"");
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(statuses.back(), kFailure);
    }
};

struct DownloadFixture : ::testing::Test, DownloadWorld {};

TEST_F(DownloadFixture, VerifiedPackageIsPublishedWithInstructions) {
    EXPECT_EQ(Download(), "");
    EXPECT_EQ(store.files["zip"], served);
    EXPECT_EQ(store.files.count("part"), 0u);
    EXPECT_EQ(store.files["txt"], InstructionsText());
    EXPECT_THAT(opened_paths, ElementsAre("/downloads/HM_Plugin-test-client.zip"));
    EXPECT_EQ(published, L"D:\\Downloads\\HM_Plugin\\17306");
    EXPECT_EQ(state.downloaded_build.load(), 17306);
    EXPECT_FALSE(state.download_running.load());
    EXPECT_THAT(statuses,
                ElementsAre(L"HM Plugin: stahuji aktualizaci 1.01 BETA na pozadi. Hru muzes dal pouzivat.",
                            L"HM Plugin 1.01 BETA stazen a overen. Ctrl+F9: otevrit slozku.\nNejdrive vypni hru, pak "
                            L"rozbal ZIP a spust INSTALOVAT.cmd."));
}

TEST_F(DownloadFixture, PackageOfOnePieceAndOfManySmallPieces) {
    for (std::size_t size : {std::size_t(1), kPackagePieceBytes, kPackagePieceBytes + 1}) {
        SCOPED_TRACE(size);
        served = Package(size);
        Announce(17306, size, FakeHasher::Of(served));
        store.files.clear();
        piece = size == 1 ? 1 : 1000;
        state.download_running = true;
        EXPECT_EQ(Download(), "");
        EXPECT_EQ(store.files["zip"], served);
    }
}

// Bad packages and failing effects: each ends in the one failure text with no .part left.
TEST(Download, FailureTable) {
    const std::string served = Package(200000);
    const std::string good_hash = FakeHasher::Of(served);
    const std::string flipped = [&] {
        std::string s = served;
        s[123456] ^= 1;
        return s;
    }();
    struct Case {
        const char* name;
        std::function<void(DownloadWorld&)> arrange;
        std::string reason;
    } cases[] = {
        {"one byte shorter", [&](DownloadWorld& f) { f.served.pop_back(); }, "update verification"},
        {"one byte longer", [&](DownloadWorld& f) { f.served.push_back('x'); }, "update size"},
        {"flipped byte", [&](DownloadWorld& f) { f.served = flipped; }, "update verification"},
        {"read fails", [](DownloadWorld& f) { f.configure = [](ScriptedSource& s) { s.fail_read = 3; }; },
         "update read"},
        {"stopped", [](DownloadWorld& f) { f.configure = [](ScriptedSource& s) { s.stop_after_read = 2; }; },
         "update stopped"},
        {"ceiling below the announced size", [](DownloadWorld& f) { f.fx.ceiling = 100000; }, "update size"},
        {"hash fails", [](DownloadWorld& f) { f.hasher_fails_at = 1; }, "hash data"},
        {"part cannot open", [](DownloadWorld& f) { f.store.fail_open = true; }, "update file"},
        {"write fails", [](DownloadWorld& f) { f.store.fail_write = true; }, "update write"},
        {"stream failed at close", [](DownloadWorld& f) { f.store.fail_close = true; }, "update verification"},
        {"rename fails", [](DownloadWorld& f) { f.store.rename_error = 5; }, "update rename: 5"},
        {"redirect or status", [](DownloadWorld& f) { f.open_failure = "update HTTP status"; }, "update HTTP status"},
        {"no connection", [](DownloadWorld& f) { f.open_failure = "update connection"; }, "update connection"},
        {"folder", [](DownloadWorld& f) { f.store.fail_folder = true; }, "Windows API call failed"},
        {"metadata status", [](DownloadWorld& f) { f.api.answers["/client/update"] = {404, ""}; },
         "update unavailable"},
        {"metadata network", [](DownloadWorld& f) { f.api.answers.clear(); }, "HTTP request failed"},
        {"metadata malformed", [&](DownloadWorld& f) { f.Announce(17306, f.served.size(), "ABC"); },
         "invalid update hash/size"},
        {"release changed", [&](DownloadWorld& f) { f.Announce(17307, f.served.size(), good_hash); },
         "release changed"},
        {"not newer", [&](DownloadWorld& f) { f.Announce(17305, f.served.size(), good_hash); }, "release changed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadWorld w;
        c.arrange(w);
        w.ExpectFailedCleanly(c.reason, w.Download());
        if (c.reason == "update size") {
            EXPECT_LE(w.reads, 4) << "the size check runs during the read";
        }
    }
}

TEST_F(DownloadFixture, FailedRenameLeavesTheOldPackageUntouched) {
    store.files["zip"] = "old package";
    store.rename_error = 5;
    ExpectFailedCleanly("update rename: 5", Download());
    EXPECT_EQ(store.files["zip"], "old package");
}

TEST_F(DownloadFixture, CompletePackageIsKeptAndOnlyInstructionsRewritten) {
    store.files["zip"] = served;
    store.files["txt"] = "stale";
    EXPECT_EQ(Download(), "");
    EXPECT_THAT(opened_paths, IsEmpty());
    EXPECT_EQ(store.files["txt"], InstructionsText());
    EXPECT_EQ(state.downloaded_build.load(), 17306);
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_THAT(statuses[0], HasSubstr(L"stazen a overen"));
}

TEST_F(DownloadFixture, PackageOfRightSizeAndWrongHashIsFetchedAgain) {
    store.files["zip"] = Package(served.size() - 1) + "?";
    EXPECT_EQ(Download(), "");
    EXPECT_EQ(opened_paths.size(), 1u);
    EXPECT_EQ(store.files["zip"], served);
}

// A game left mid-download keeps its .part (the thread dies before any clean-up can run); the
// next download must remove it even when it needs no new bytes.
TEST_F(DownloadFixture, StalePartFromAnEarlierRunIsRemoved) {
    store.files["zip"] = served;
    store.files["part"] = std::string(5000, 'p');
    EXPECT_EQ(Download(), "");
    EXPECT_EQ(store.files.count("part"), 0u);
    store.files["part"] = "again";
    state.download_running = true;
    api.answers.clear();  // the next attempt fails before the folder is known: nothing to touch
    EXPECT_EQ(Download(), "HTTP request failed");
    EXPECT_EQ(store.files.count("part"), 1u);
}

}  // namespace
}  // namespace hm
