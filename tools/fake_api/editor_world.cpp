#include "tools/fake_api/editor_world.h"

#include <cstdio>
#include <initializer_list>

#include "base/text1250.h"

namespace hm::fake {

bool PngSize(const std::string& bytes, unsigned& width, unsigned& height) {
    static const char kSignature[] = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 24 || bytes.compare(0, 8, kSignature, 8) != 0 || bytes.compare(12, 4, "IHDR") != 0) return false;
    auto be32 = [&](std::size_t at) {
        unsigned v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    width = be32(16);
    height = be32(20);
    return true;
}

std::string EditorWorld::FormBody(int id) const {
    const std::u16string lines[] = {
        Cp1250ToUtf16(std::to_string(id)),
        u"Žádost o vyjádření",
        u"Napiš krátkou odpověď úřednici městského úřadu.",
        u"Odeslat",
        u"Zrušit",
        u"",
        u"",
        u"0",
        u"",
        u"10",
        u"form:7",
        u"Tvoje odpověď (nejvýše 240 znaků):",
        u"0",                                             // items
        u"0", u"0", u"0",                                 // page, page count, records
        u"0",                                             // signatures
        u"0", u"0",                                       // paper, signable
        u"0",                                             // electronic signatures
        u"0", u"0", u"0",                                 // removable, option, scanned
        u"0", u"",                                        // cover
        std::u16string(1, char16_t(u'0' + options_.picture_mode)),
        u"0",                                             // picture count
        u"0",                                             // flags
        std::u16string(1, char16_t(u'0' + options_.picture_slot)),
        u"",
        u"clock=" + std::u16string(Cp1250ToUtf16(std::to_string(options_.clock_minutes))),
    };
    std::string body;
    for (const std::u16string& line : lines) body += Utf16ToCp1250(line) + "\n";
    return body;
}

namespace {

// A state body from its lines (UTF-16), each ended by "\n", in code page 1250.
std::string Body(std::initializer_list<std::u16string> lines) {
    std::string body;
    for (const std::u16string& line : lines) body += Utf16ToCp1250(line) + "\n";
    return body;
}

std::u16string Text(const std::string& ascii) { return Cp1250ToUtf16(ascii); }

}  // namespace

void EditorWorld::OpenComputer() {
    std::lock_guard<std::mutex> hold(lock_);
    OpenComputerLocked();
}

void EditorWorld::OpenComputerLocked() {
    computer_screen_ = kDesktopScreenId;
    signed_ = false;
    icons_ = {{5, u"Word", "app:word", 0},
              {6, u"Mail", "app:mail", 1},
              {kContractItemId, u"Smlouva o prodeji", "app:doc12", 3},
              {kBookItemId, u"Provozní řád", "app:book15", 4},
              {20, u"Archiv", "app:archiv", 22}};
}

std::string EditorWorld::DesktopBody() const {
    std::string body = Body({Text(std::to_string(kDesktopScreenId)), u"Počítač", u"", u"", u"", u"", u"", u"0", u"", u"16",
                             u"desktop:main", u"", Text(std::to_string(icons_.size()))});
    for (const Icon& i : icons_)
        body += Utf16ToCp1250(Text(std::to_string(i.id)) + u"\t" + i.label + u"\t" + Text(i.tag) + u"\t" +
                              Text(std::to_string(i.slot))) +
                "\n";
    body += Body({u"0", u"1", u"0", u"0", u"0", u"0", u"0", u"0", u"0", u"0", u"0", u"", u"0", u"0",
                  Text(std::to_string(0x82)), u"0", u"", u"clock=" + Text(std::to_string(options_.clock_minutes))});
    return body;
}

std::string EditorWorld::SheetBody() const {
    return Body({Text(std::to_string(kContractSheetId)), u"Smlouva o prodeji",
                 u"Kupní smlouva: prodávající předává kupujícímu vozidlo Premier, SPZ 4HM 2026.", u"Zpět", u"", u"",
                 u"", u"0", u"", u"1", u"S-12/2026", u"Smlouva o prodeji vozidla", u"0", u"0", u"1", u"0", u"0",
                 u"0", u"1"}) +
           (signed_ ? Body({u"1", u"Test_Player, 10. 12. 2026"}) : Body({u"0"})) +
           Body({signed_ ? u"1" : u"0", u"0", u"0", u"0", u"", u"0", u"0", u"0", u"0", u"",
                 u"clock=" + Text(std::to_string(options_.clock_minutes))});
}

std::string EditorWorld::BookBody() const {
    // Contents: chapter i is on page i + 1. The pages' text is RTF as the server stores it:
    // tables, \'hh bytes of code page 1250 and \u with its fallback.
    static const char* const kPages[] = {
        "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs22\\b \\'c8l\\'e1nek 1 "
        "\\endash  \\'davodn\\'ed ustanoven\\'ed\\b0\\par Provozn\\'ed \\u345?\\'e1d plat\\'ed pro v\\u353?echny "
        "\\'fa\\u345?edn\\'edky.\\par}",
        "{\\rtf1\\ansi\\ansicpg1250{\\fonttbl{\\f0 Arial;}}\\f0\\b \\'c8l\\'e1nek 2\\b0\\par Po\\tab 8:00\\endash "
        "16:00\\par \\'dat\\tab 8:00\\endash 12:00\\par}",
        "{\\rtf1\\ansi\\ansicpg1250{\\fonttbl{\\f0 Arial;}}{\\*\\generator Msftedit 5.41;}\\f0\\b \\'c8l\\'e1nek "
        "3\\b0\\par Ka\\'9edou listinu podepisuje \\'fa\\u345?edn\\'edk, kter\\'fd ji vydal.\\par}",
    };
    const std::string content = book_page_ >= 2 ? kPages[book_page_ - 2] : "";
    std::string body = Body({Text(std::to_string(kBookScreenId)), u"Provozní řád"}) + content + "\n" +
                       Body({u"", u"", u"", u"", u"1", u"", u"15", u"PR-1/2026", u"", u"3"});
    const std::u16string chapters[] = {u"Úvodní ustanovení", u"Úřední hodiny", u"Podpisy"};
    for (int i = 0; i < 3; ++i) body += Utf16ToCp1250(Text(std::to_string(i + 2)) + u"\t" + chapters[i] + u"\tpage") + "\n";
    body += Body({Text(std::to_string(book_page_)), Text(std::to_string(kBookPages)), u"3", u"0", u"0", u"0", u"0",
                  u"0", u"0", u"0", u"1", u"Provozní řád městského úřadu", u"0", u"0", u"0", u"0", u"",
                  u"clock=" + Text(std::to_string(options_.clock_minutes))});
    return body;
}

Reply EditorWorld::TurnPage(const std::string& body) {
    book_bodies_.push_back(body);
    const std::string prefix = std::to_string(kBookScreenId) + "\n";
    if (computer_screen_ != kBookScreenId || body.rfind(prefix, 0) != 0) return Reply{400, ""};
    const std::string page = body.substr(prefix.size());
    if (page.size() != 1 || page[0] < '0' || page[0] >= char('0' + kBookPages)) return Reply{400, ""};
    book_page_ = page[0] - '0';
    return Reply{200, ""};
}

Reply EditorWorld::ComputerResult(const std::string& body) {
    const std::string desktop = std::to_string(kDesktopScreenId) + "\n", sheet = std::to_string(kContractSheetId) + "\n";
    if (computer_screen_ == kDesktopScreenId && body.rfind(desktop, 0) == 0) {
        if (body == desktop + "1\n{\\rtf1\\hmsel" + std::to_string(kContractItemId) + " }") {
            computer_screen_ = kContractSheetId;
        } else if (body == desktop + "1\n{\\rtf1\\hmsel" + std::to_string(kBookItemId) + " }") {
            computer_screen_ = kBookScreenId;
            book_page_ = 0;
        } else if (body.rfind(desktop + "0\n", 0) == 0) {
            computer_screen_ = 0;
        }
        return Reply{200, ""};
    }
    const std::string book = std::to_string(kBookScreenId) + "\n";
    if (computer_screen_ == kBookScreenId && body.rfind(book, 0) == 0) {
        if (body.rfind(book + "4\n", 0) == 0) computer_screen_ = kDesktopScreenId;
        else if (body.rfind(book + "0\n", 0) == 0) computer_screen_ = 0;
        return Reply{200, ""};
    }
    if (computer_screen_ == kContractSheetId && body.rfind(sheet, 0) == 0) {
        if (body == sheet + "2\n{\\rtf1\\hmsign1 }") signed_ = true;
        else if (body.rfind(sheet + "1\n", 0) == 0) computer_screen_ = kDesktopScreenId;
        else if (body.rfind(sheet + "0\n", 0) == 0) computer_screen_ = 0;
        return Reply{200, ""};
    }
    return Reply{404, ""};
}

Reply EditorWorld::MoveIcon(const std::string& body) {
    position_bodies_.push_back(body);
    const std::size_t a = body.find('\n'), b = a == std::string::npos ? a : body.find('\n', a + 1);
    if (b == std::string::npos || body.substr(0, a) != std::to_string(kDesktopScreenId)) return Reply{400, ""};
    const std::string key = "app:" + body.substr(a + 1, b - a - 1), slot_text = body.substr(b + 1);
    if (slot_text.empty() || slot_text.size() > 6 || slot_text.find_first_not_of("0123456789") != std::string::npos)
        return Reply{400, ""};
    const int slot = std::stoi(slot_text);
    Icon* moved = nullptr;
    for (Icon& i : icons_)
        if (i.tag == key) moved = &i;
    if (!moved) return Reply{400, ""};
    for (Icon& i : icons_)
        if (i.slot == slot) i.slot = moved->slot;
    moved->slot = slot;
    return Reply{200, ""};
}

Reply EditorWorld::DeleteSignature(const std::string& body) {
    signature_delete_bodies_.push_back(body);
    // One signature: index 0 is the only one there is.
    if (computer_screen_ != kContractSheetId || !signed_ || body != std::to_string(kContractSheetId) + "\n0")
        return Reply{400, ""};
    signed_ = false;
    return Reply{200, ""};
}

FakeApi::Responder EditorWorld::StateResponder() {
    return [this](const RecordedRequest& request) {
        std::lock_guard<std::mutex> hold(lock_);
        if (computer_screen_ != 0) {
            if (request.query == "current=" + std::to_string(computer_screen_))
                return Reply{202, "clock=" + std::to_string(options_.clock_minutes) + "\n"};
            return Reply{200, computer_screen_ == kDesktopScreenId ? DesktopBody()
                              : computer_screen_ == kBookScreenId  ? BookBody()
                                                                   : SheetBody()};
        }
        if (closed_ && options_.computer_after_polls >= 0 && polls_after_form_ >= 0 &&
            polls_after_form_++ >= options_.computer_after_polls) {
            polls_after_form_ = -1;  // once
            OpenComputerLocked();
            return Reply{200, DesktopBody()};
        }
        if (closed_ && options_.reopen_after_polls >= 0) {
            // A new round: closed now, open again after the given number of polls.
            closed_ = false;
            polls_ = options_.open_after_polls - options_.reopen_after_polls;
        }
        if (closed_ || polls_ < options_.open_after_polls) {
            ++polls_;
            return Reply{204, ""};
        }
        if (polls_++ == options_.open_after_polls) {
            ++openings_;
        } else if (options_.reopen_after_polls >= 0 && request.query != "current=" + std::to_string(IdOfRound())) {
            // Open here, but the player's computer does not show it (an answer it never got, or
            // a close it was told by mistake): offered again, as a new screen.
            ++openings_;
        }
        if (request.query == "current=" + std::to_string(IdOfRound()))
            return Reply{202, "clock=" + std::to_string(options_.clock_minutes) + "\n"};
        return Reply{200, FormBody(IdOfRound())};
    };
}

void EditorWorld::Attach(FakeApi& api) {
    api.Respond("GET", "/editor/state", StateResponder());
    api.Respond("POST", "/editor/result", [this](const RecordedRequest& request) {
        std::lock_guard<std::mutex> hold(lock_);
        results_.push_back(request.body);
        if (computer_screen_ != 0) return ComputerResult(request.body);
        if (request.body.rfind(std::to_string(IdOfRound()) + "\n", 0) != 0) return Reply{404, ""};
        closed_ = true;
        return Reply{200, ""};
    });
    api.Respond("POST", "/editor/desktop-position", [this](const RecordedRequest& request) {
        std::lock_guard<std::mutex> hold(lock_);
        return MoveIcon(request.body);
    });
    api.Respond("POST", "/editor/signatures/delete", [this](const RecordedRequest& request) {
        std::lock_guard<std::mutex> hold(lock_);
        return DeleteSignature(request.body);
    });
    api.Respond("POST", "/editor/book", [this](const RecordedRequest& request) {
        std::lock_guard<std::mutex> hold(lock_);
        return TurnPage(request.body);
    });
    api.Respond("POST", "/editor/web-sketch", [this](const RecordedRequest& request) {
        std::lock_guard<std::mutex> hold(lock_);
        SketchUpload upload;
        upload.query = request.query;
        upload.bytes = request.body.size();
        const bool png = PngSize(request.body, upload.width, upload.height);
        sketches_.push_back(upload);
        return Reply{png ? 200 : 400, ""};
    });
}

std::vector<std::string> EditorWorld::Results() const {
    std::lock_guard<std::mutex> hold(lock_);
    return results_;
}

std::vector<SketchUpload> EditorWorld::Sketches() const {
    std::lock_guard<std::mutex> hold(lock_);
    return sketches_;
}

int EditorWorld::IdOfRound() const {
    // Each round is a new screen with an id of its own, as the server gives one.
    return kEditorFormId + 10 * (openings_ > 1 ? openings_ - 1 : 0);
}

int EditorWorld::FormId() const {
    std::lock_guard<std::mutex> hold(lock_);
    return IdOfRound();
}

int EditorWorld::Openings() const {
    std::lock_guard<std::mutex> hold(lock_);
    return openings_;
}

bool EditorWorld::FormOpen() const {
    std::lock_guard<std::mutex> hold(lock_);
    return !closed_ && polls_ > options_.open_after_polls;
}

std::vector<std::string> EditorWorld::PositionBodies() const {
    std::lock_guard<std::mutex> hold(lock_);
    return position_bodies_;
}

std::vector<std::string> EditorWorld::SignatureDeleteBodies() const {
    std::lock_guard<std::mutex> hold(lock_);
    return signature_delete_bodies_;
}

bool EditorWorld::Signed() const {
    std::lock_guard<std::mutex> hold(lock_);
    return signed_;
}

std::vector<std::string> EditorWorld::BookBodies() const {
    std::lock_guard<std::mutex> hold(lock_);
    return book_bodies_;
}

int EditorWorld::BookPage() const {
    std::lock_guard<std::mutex> hold(lock_);
    return book_page_;
}

int EditorWorld::ComputerScreen() const {
    std::lock_guard<std::mutex> hold(lock_);
    return computer_screen_;
}

std::string DescribeEditorBody(const std::string& body) {
    unsigned width = 0, height = 0;
    if (PngSize(body, width, height))
        return "PNG " + std::to_string(width) + " x " + std::to_string(height) + ", " + std::to_string(body.size()) +
               " bytes";
    std::string text;
    for (unsigned char c : body) {
        if (c == '\n') {
            text += "\\n";
        } else if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += char(c);
        } else if (c == '\\') {
            text += "\\\\";
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            text += hex;
        }
    }
    return text;
}

}  // namespace hm::fake
