// WinApiFailure: the runtime error for a failing Windows or Direct3D call. Its text names the
// call site (a number unique in the plugin) and the HRESULT:
//   "Windows API failure at line 42: 0x80004005"
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace hm {

std::string WinApiFailureText(int callSite, std::uint32_t hresult);

class WinApiFailure : public std::runtime_error {
public:
    WinApiFailure(int callSite, std::uint32_t hresult)
        : std::runtime_error(WinApiFailureText(callSite, hresult)), call_site_(callSite), hresult_(hresult) {}
    int call_site() const { return call_site_; }
    std::uint32_t hresult() const { return hresult_; }

private:
    int call_site_;
    std::uint32_t hresult_;
};

}  // namespace hm
