// The request header block of ApiRequest: which lines, in which order, under which conditions.
#pragma once

#include <cstdint>
#include <string>

#include "base/shared_state.h"

namespace hm {

struct HeaderInputs {
    bool secure = false;             // the client speaks HTTPS
    bool consent_given = false;      // ConsentGiven
    std::string path;                // relative path ("/presence")
    std::string hardware_id;         // HardwareId, empty when unknown
    PlayerIdentity identity;         // copied under SharedStateLock
    std::string bearer;              // empty: no Authorization
    std::uint32_t shot = 0;          // 0: no X-HMMedia-Shot
};

// Lines ended by CR LF, in the fixed order: Content-Type, X-HMPlugin-Build, X-HMPlugin-Hardware
// (HTTPS + consent + "/presence" + known id), X-HMPlugin-Player/-Port/-Consent (consent + known
// name, every path), Authorization, X-HMMedia-Shot.
std::string BuildHeaderBlock(const HeaderInputs& in);

// The same as wide text for WinHTTP; every byte becomes one unit.
std::wstring WidenHeaderBlock(const std::string& block);

}  // namespace hm
