#include "tools/fake_api/editor_world.h"

#include <cstdio>

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

FakeApi::Responder EditorWorld::StateResponder() {
    return [this](const RecordedRequest& request) {
        std::lock_guard<std::mutex> hold(lock_);
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
        if (request.body.rfind(std::to_string(IdOfRound()) + "\n", 0) != 0) return Reply{404, ""};
        closed_ = true;
        return Reply{200, ""};
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
