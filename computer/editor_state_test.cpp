#include "computer/editor_state.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/text1250.h"

namespace hm {
namespace {

// A /editor/state body by its parts; counts follow the parts unless overridden.
struct StateBody {
    std::vector<std::string> head{"7", "Titulek", "obsah", "OK", "Zpět", "", "", "0", "podpis", "10", "form:7", "Popis"};
    std::optional<std::string> item_count;
    std::vector<std::string> items;
    std::vector<std::string> pages{"2", "5", "9"};
    std::optional<std::string> signature_count;
    std::vector<std::string> signatures;
    std::vector<std::string> paper_signable{"1", "1"};
    std::optional<std::string> electronic_count;
    std::vector<std::string> electronic;
    std::vector<std::string> tail{"1", "0", "1", "2", "Kniha", "3", "1", "67108864", "1", "init", "clock=600"};

    std::vector<std::string> Lines() const {
        std::vector<std::string> l = head;
        l.push_back(item_count.value_or(std::to_string(items.size())));
        l.insert(l.end(), items.begin(), items.end());
        l.insert(l.end(), pages.begin(), pages.end());
        l.push_back(signature_count.value_or(std::to_string(signatures.size())));
        l.insert(l.end(), signatures.begin(), signatures.end());
        l.insert(l.end(), paper_signable.begin(), paper_signable.end());
        l.push_back(electronic_count.value_or(std::to_string(electronic.size())));
        l.insert(l.end(), electronic.begin(), electronic.end());
        l.insert(l.end(), tail.begin(), tail.end());
        return l;
    }
    std::string Body(const char* eol = "\n") const {
        std::string body;
        for (const std::string& line : Lines()) body += line + eol;
        return body;
    }
};

std::vector<std::string> ItemRows(int n) {
    std::vector<std::string> rows;
    rows.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) rows.push_back(std::to_string(i + 1) + "\tPoložka\tapp:x");
    return rows;
}

// The reason text of the parse failure, or "" when the body parses.
std::string Failure(const std::string& body) {
    try {
        ParseEditorState(body);
        return "";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

TEST(EditorStateParse, EveryFieldInBodyOrder) {
    StateBody b;
    b.items = {"11\tSpis\tapp:files\t3\t255", "12\tPošta\tapp:mail"};
    b.signatures = {"J. Novák", "P. Dvořák"};
    b.electronic = {"el1", "el2", "el3"};
    const EditorState s = ParseEditorState(b.Body());
    EXPECT_EQ(s.request_id, 7);
    EXPECT_EQ(s.title, "Titulek");
    EXPECT_EQ(s.content, "obsah");
    EXPECT_THAT(s.buttons, testing::ElementsAre("OK", "Zpět", "", ""));
    EXPECT_FALSE(s.read_only);
    EXPECT_EQ(s.signature_line, "podpis");
    EXPECT_EQ(s.kind, 10);
    EXPECT_EQ(s.screen_id, "form:7");
    EXPECT_EQ(s.caption, "Popis");
    ASSERT_EQ(s.items.size(), 2u);
    EXPECT_EQ(s.items[0], (EditorItem{11, "Spis", "app:files", "3", 255}));
    EXPECT_EQ(s.items[1], (EditorItem{12, "Pošta", "app:mail", "", 0}));
    EXPECT_EQ(s.page, 2);
    EXPECT_EQ(s.page_count, 5);
    EXPECT_EQ(s.record_count, 9);
    EXPECT_THAT(s.signatures, testing::ElementsAre("J. Novák", "P. Dvořák"));
    EXPECT_TRUE(s.paper);
    EXPECT_TRUE(s.signable);
    EXPECT_THAT(s.electronic_signatures, testing::ElementsAre("el1", "el2", "el3"));
    EXPECT_TRUE(s.removable);
    EXPECT_FALSE(s.option);
    EXPECT_TRUE(s.scanned);
    EXPECT_EQ(s.cover_type, 2);
    EXPECT_EQ(s.cover_title, "Kniha");
    EXPECT_EQ(s.picture_mode, 3);
    EXPECT_EQ(s.picture_count, 1);
    EXPECT_EQ(s.Flags(), kLiveScreenFlag);
    EXPECT_EQ(s.picture_slot, 1);
    EXPECT_EQ(s.initial_text, "init");
    EXPECT_EQ(s.clock_line, "clock=600");
    EXPECT_TRUE(s.status_text.empty());
    EXPECT_FALSE(s.picture);
}

TEST(EditorStateParse, AnEarlyEndLeavesTheRestAtDefaults) {
    // Stopping after line 10: no items, no signatures, all flags false.
    StateBody b;
    b.head[7] = "1";
    std::string body;
    for (int i = 0; i < 10; ++i) body += b.head[std::size_t(i)] + "\n";
    const EditorState s = ParseEditorState(body);
    EXPECT_EQ(s.kind, 10);
    EXPECT_TRUE(s.read_only);
    EXPECT_TRUE(s.screen_id.empty());
    EXPECT_TRUE(s.items.empty());
    EXPECT_TRUE(s.signatures.empty());
    EXPECT_FALSE(s.paper || s.signable || s.removable || s.option || s.scanned);
    EXPECT_EQ(s.flags, 0);

    // A final "\n" ends the last line; it does not start an empty (non-numeric) count line.
    EXPECT_EQ(Failure("5\nT\nC\n\n\n\n\n0\n\n4\nid\ncap\n"), "");
    EXPECT_EQ(Failure(""), "");
    EXPECT_EQ(ParseEditorState("").request_id, 0);
}

TEST(EditorStateParse, CountsAtAndPastTheirLimits) {
    struct Case {
        const char* what;
        int kind;
        int items, signatures, electronic;
        const char* failure;
    } cases[] = {
        {"1000 items, kind 5", 5, 1000, 0, 0, ""},
        {"1001 items, kind 5", 5, 1001, 0, 0, "attachment count"},
        {"1001 items, unknown kind 99", 99, 1001, 0, 0, "attachment count"},
        {"10000 items, kind 35", 35, 10000, 0, 0, ""},
        {"1001 items, kind 35", 35, 1001, 0, 0, ""},
        {"10001 items, kind 35", 35, 10001, 0, 0, "attachment count"},
        {"2000 items, kind 15", 15, 2000, 0, 0, ""},
        {"2001 items, kind 15", 15, 2001, 0, 0, "attachment count"},
        {"32 signatures", 4, 0, 32, 0, ""},
        {"33 signatures", 4, 0, 33, 0, "signature count"},
        {"128 electronic signatures", 4, 0, 0, 128, ""},
        {"129 electronic signatures", 4, 0, 0, 129, "electronic signature count"},
    };
    for (const Case& c : cases) {
        StateBody b;
        b.head[9] = std::to_string(c.kind);
        b.items = ItemRows(c.items);
        b.signatures.assign(std::size_t(c.signatures), "podpis");
        b.electronic.assign(std::size_t(c.electronic), "el");
        EXPECT_EQ(Failure(b.Body()), c.failure) << c.what;
        if (!*c.failure) {
            const EditorState s = ParseEditorState(b.Body());
            EXPECT_EQ(int(s.items.size()), c.items) << c.what;
            EXPECT_EQ(int(s.signatures.size()), c.signatures) << c.what;
            EXPECT_EQ(int(s.electronic_signatures.size()), c.electronic) << c.what;
            EXPECT_EQ(s.clock_line, "clock=600") << c.what << ": the lines after the lists are read in place";
        }
    }
    for (const char* negative : {"-1", "-2147483648"}) {
        StateBody items, sigs, els;
        items.item_count = negative;
        sigs.signature_count = negative;
        els.electronic_count = negative;
        EXPECT_EQ(Failure(items.Body()), "attachment count") << negative;
        EXPECT_EQ(Failure(sigs.Body()), "signature count") << negative;
        EXPECT_EQ(Failure(els.Body()), "electronic signature count") << negative;
    }
}

TEST(EditorStateParse, RowsMissingAfterTheirCount) {
    auto cut = [](const StateBody& b, std::size_t keep) {
        std::string body;
        const std::vector<std::string> lines = b.Lines();
        for (std::size_t i = 0; i < keep; ++i) body += lines[i] + "\n";
        return body;
    };
    StateBody items;
    items.items = ItemRows(3);
    EXPECT_EQ(Failure(cut(items, 13 + 2)), "attachment row") << "two of three rows";
    items.items[1] = "5\tjen popisek";
    EXPECT_EQ(Failure(items.Body()), "attachment row") << "a row of two fields";
    items.items[1] = "";
    EXPECT_EQ(Failure(items.Body()), "attachment row") << "an empty row";
    items.items[1] = "x\tlabel\ttag";
    EXPECT_EQ(Failure(items.Body()), "invalid stoi argument") << "a row whose id is not a number";

    StateBody sigs;
    sigs.signatures = {"a", "b"};
    EXPECT_EQ(Failure(cut(sigs, 12 + 1 + 3 + 1 + 1)), "signature line");
    StateBody els;
    els.electronic = {"a", "b"};
    EXPECT_EQ(Failure(cut(els, 12 + 1 + 3 + 1 + 2 + 1 + 1)), "electronic signature");
}

TEST(EditorStateParse, IntegerLines) {
    struct Case {
        const char* line;
        int value;
        const char* failure;
    } cases[] = {
        {"42", 42, ""},
        {"  42", 42, ""},
        {"+42", 42, ""},
        {"-5", -5, ""},
        {"12abc", 12, ""},
        {"12\r", 12, ""},
        {"2147483647", 2147483647, ""},
        {"-2147483648", -2147483647 - 1, ""},
        {"2147483648", 0, "stoi argument out of range"},
        {"-2147483649", 0, "stoi argument out of range"},
        {"99999999999999999999999", 0, "stoi argument out of range"},
        {"", 0, "invalid stoi argument"},
        {"abc", 0, "invalid stoi argument"},
        {"- 5", 0, "invalid stoi argument"},
        {"0x10", 0, ""},
    };
    for (const Case& c : cases) {
        StateBody b;
        b.head[9] = c.line;  // kind
        b.tail[7] = c.line;  // flags
        EXPECT_EQ(Failure(b.Body()), c.failure) << '"' << c.line << '"';
        if (!*c.failure) {
            const EditorState s = ParseEditorState(b.Body());
            EXPECT_EQ(s.kind, c.value) << c.line;
            EXPECT_EQ(s.flags, c.value) << c.line;
        }
    }
}

TEST(EditorStateParse, ItemNumbers) {
    struct Case {
        const char* row;
        std::uint32_t number;
        const char* failure;
    } cases[] = {
        {"1\ta\tb\tslot\t4294967295", 4294967295u, ""},
        {"1\ta\tb\tslot\t4294967296", 0, "stoul argument out of range"},
        {"1\ta\tb\tslot\tff", 0, "invalid stoul argument"},
        {"1\ta\tb\tslot\t-1", 0, "invalid stoul argument"},
        {"1\ta\tb\tslot\t", 0, ""},
        {"1\ta\tb\tslot\t7\textra\tfields", 7, ""},
        {"1\ta\tb", 0, ""},
    };
    for (const Case& c : cases) {
        StateBody b;
        b.items = {c.row};
        EXPECT_EQ(Failure(b.Body()), c.failure) << c.row;
        if (!*c.failure) {
            EXPECT_EQ(ParseEditorState(b.Body()).items.at(0).number, c.number) << c.row;
        }
    }
}

TEST(EditorStateParse, FlagsAreTrueOnlyForExactlyOne) {
    for (const char* line : {"1\r", " 1", "01", "11", "true", "2", "", "0"}) {
        StateBody b;
        b.head[7] = line;
        b.paper_signable = {line, line};
        for (int i : {0, 1, 2}) b.tail[std::size_t(i)] = line;
        const EditorState s = ParseEditorState(b.Body());
        EXPECT_FALSE(s.read_only || s.paper || s.signable || s.removable || s.option || s.scanned) << '"' << line << '"';
    }
}

TEST(EditorStateParse, CrLfBodiesReadNoFlagsButTheirNumbers) {
    StateBody b;
    b.head[7] = "1";
    b.items = {"3\tlabel\ttag"};
    const EditorState s = ParseEditorState(b.Body("\r\n"));
    EXPECT_EQ(s.request_id, 7);
    EXPECT_EQ(s.kind, 10);
    EXPECT_FALSE(s.read_only || s.paper || s.signable || s.removable || s.scanned);
    EXPECT_EQ(s.title, "Titulek\r");
    EXPECT_EQ(s.items.at(0).tag, "tag\r");
    EXPECT_EQ(s.Flags(), kLiveScreenFlag);
}

TEST(EditorStateParse, NegativeRequestIdsAreNeverTheServers) {
    for (const char* id : {"-1", "-2", "-2147483648"}) {
        StateBody b;
        b.head[0] = id;
        EXPECT_EQ(Failure(b.Body()), "negative request id") << id;
    }
    StateBody zero;
    zero.head[0] = "0";
    EXPECT_EQ(Failure(zero.Body()), "");
}

TEST(EditorStateParse, TextsKeepTheirBytes) {
    StateBody b;
    const std::string odd = std::string("a\0b", 3) + "\x81\x83\x88\x90\x98\xff";
    b.head[1] = odd;
    b.head[2] = std::string(4 * 1024 * 1024, 'x');
    b.head[2].front() = '{';
    b.items = {"1\t" + odd + "\t" + odd};
    const EditorState s = ParseEditorState(b.Body());
    EXPECT_EQ(s.title, odd);
    EXPECT_EQ(s.content.size(), 4u * 1024 * 1024);
    EXPECT_EQ(s.items.at(0).label, odd);
    EXPECT_EQ(s.items.at(0).tag, odd);
    EXPECT_EQ(s.clock_line, "clock=600");
}

TEST(EditorStateRules, LoginScreens) {
    struct Case {
        int kind;
        int flags;
        std::u16string title;
        bool login;
    } cases[] = {
        {16, 3, u"Plocha", true},
        {16, 3 | 0x40, u"Plocha", true},
        {16, 7, u"Plocha", false},
        {16, 1, u"Plocha", false},
        {16, 0, u"Přihlášení do systému", true},
        {16, 0, u"Registrace", true},
        {16, 0, u"Prihlaseni", false},
        {4, 3, u"Přihlášení", false},
    };
    for (const Case& c : cases) {
        EditorState s;
        s.kind = c.kind;
        s.flags = c.flags;
        s.title = Utf16ToCp1250(c.title);
        EXPECT_EQ(IsLoginScreen(s), c.login) << c.kind << " " << c.flags << " " << s.title;
    }
}

TEST(EditorStateRules, ClockLines) {
    struct Case {
        const char* line;
        std::optional<int> minutes;
    } cases[] = {
        {"clock=0", 0},          {"clock=1439", 1439},    {"clock=600\r", 600},     {"clock=1440", std::nullopt},
        {"clock=-1", std::nullopt}, {"clock=abc", std::nullopt}, {"clock=", std::nullopt}, {"clck=5", std::nullopt},
        {"", std::nullopt},      {"clock=99999999999", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseClockLine(c.line), c.minutes) << c.line;
}

TEST(EditorStateRules, AnIncomingStatusTextWinsOverTheKeptOne) {
    EditorState incoming;
    const std::wstring kept = L"Zpracovávám…";
    EXPECT_EQ(StatusTextAfterUpdate(kept, incoming), kept);
    incoming.status_text = L"Změna se nepodařila (HTTP 500). Otevři dokument znovu.";
    EXPECT_EQ(StatusTextAfterUpdate(kept, incoming), incoming.status_text);
}

TEST(EditorStateRules, ResultText) {
    EXPECT_EQ((EditorResult{7, 1, "{\\rtf1 ahoj}"}).Text(), "7\n1\n{\\rtf1 ahoj}");
    EXPECT_EQ((EditorResult{12, 0, ""}).Text(), "12\n0\n");
}

}  // namespace
}  // namespace hm
