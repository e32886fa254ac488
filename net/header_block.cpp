#include "net/header_block.h"

#include "net/api_types.h"

namespace hm {

std::string BuildHeaderBlock(const HeaderInputs& in) {
    std::string h;
    h.reserve(256);
    h += "Content-Type: ";
    h += in.path.compare(0, 15, "/voice/exchange") == 0 ? "application/octet-stream" : "image/jpeg";
    h += "\r\n";
    h += "X-HMPlugin-Build: " + std::to_string(kPluginBuild) + "\r\n";
    if (in.secure && in.consent_given && in.path == "/presence" && !in.hardware_id.empty())
        h += "X-HMPlugin-Hardware: " + in.hardware_id + "\r\n";
    if (in.consent_given && !in.identity.name.empty()) {
        h += "X-HMPlugin-Player: " + in.identity.name + "\r\n";
        h += "X-HMPlugin-Port: " + std::to_string(in.identity.port) + "\r\n";
        h += "X-HMPlugin-Consent: 1\r\n";
    }
    if (!in.bearer.empty()) h += "Authorization: Bearer " + in.bearer + "\r\n";
    if (in.shot != 0) h += "X-HMMedia-Shot: " + std::to_string(in.shot) + "\r\n";
    return h;
}

std::wstring WidenHeaderBlock(const std::string& block) {
    std::wstring wide(block.size(), L'\0');
    for (std::size_t i = 0; i < block.size(); ++i) wide[i] = wchar_t(static_cast<unsigned char>(block[i]));
    return wide;
}

}  // namespace hm
