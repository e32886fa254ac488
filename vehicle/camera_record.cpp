#include "vehicle/camera_record.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <cstdlib>
#include <string>
#include <vector>

namespace hm {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSpace(text[i])) ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsSpace(text[i])) ++i;
        if (i > start) out.push_back(text.substr(start, i - start));
        if (out.size() > 9) break;  // one too many is enough to refuse
    }
    return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Optional sign, then digits; at most 9 of them, so the value fits.
bool ParseInt(std::string_view t, int& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    if (i == t.size() || t.size() - i > 9) return false;
    long v = 0;
    for (; i < t.size(); ++i) {
        if (!IsDigit(t[i])) return false;
        v = v * 10 + (t[i] - '0');
    }
    value = int(negative ? -v : v);
    return true;
}

// Decimal text only, whatever the C locale says: [sign] digits [. digits] [e [sign] digits],
// at least one digit before the exponent. No "nan", "inf", hexadecimal or comma.
bool ParseFloat(std::string_view t, float& value) {
    if (t.empty() || t.size() > 64) return false;
    std::size_t i = 0;
    if (t[i] == '+' || t[i] == '-') ++i;
    std::size_t digits = 0;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t exp = 0;
        while (i < t.size() && IsDigit(t[i])) ++i, ++exp;
        if (exp == 0) return false;
    }
    if (i != t.size()) return false;
    // from_chars is exact and ignores the C locale; a leading '+' is ours to skip.
    const char* first = t.data() + (t[0] == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(first, t.data() + t.size(), value, std::chars_format::general);
    return error == std::errc() && end == t.data() + t.size() && std::isfinite(value);
}

}  // namespace

std::optional<CameraRecord> ParseCameraRecord(std::string_view text, int requested_model) {
    const std::vector<std::string_view> t = Tokens(text);
    if (t.size() != 9 || t[0] != "HMCAM2") return std::nullopt;
    int model = 0, a = 0, b = 0;
    CameraRecord r;
    if (!ParseInt(t[1], model) || model != requested_model) return std::nullopt;
    if (!ParseFloat(t[2], r.x) || !ParseFloat(t[3], r.y) || !ParseFloat(t[4], r.z) || !ParseFloat(t[5], r.w) ||
        !ParseFloat(t[6], r.fov))
        return std::nullopt;
    if (!ParseInt(t[7], a) || !ParseInt(t[8], b)) return std::nullopt;
    if (std::fabs(r.x) > 1.5f || std::fabs(r.y) > 3.0f || r.z < 0.2f || r.z > 2.5f || std::fabs(r.w) > 45.0f ||
        r.fov < 40.0f || r.fov > 110.0f)
        return std::nullopt;
    if ((a != 0 && a != 1) || b < -1 || b > 1) return std::nullopt;
    r.fast = a == 1;
    r.body = b;
    return r;
}

CameraRecord DefaultCameraRecord(int model, int vehicle_class) {
    CameraRecord r;
    if (vehicle_class == 2 || vehicle_class == 9 || vehicle_class == 10) {
        r.y = 0.02f, r.z = 0.85f, r.w = -7.0f, r.fov = 82.0f;
    } else if (vehicle_class == 4 || vehicle_class == 8) {
        r.y = -0.35f, r.z = 0.68f, r.fov = 85.0f;
    }
    if (model == 407 || model == 544) {
        r.y = -0.35f, r.z = 0.76f, r.w = -2.0f, r.fov = 85.0f;
    } else if (model == 520) {
        r.y = -0.45f, r.z = 0.66f, r.fov = 85.0f;
    }
    return r;
}

void StoreCameraRecord(CameraCache& cache, int model, const CameraRecord& record) {
    std::lock_guard<std::mutex> hold(cache.lock);
    if (cache.records.size() >= kCameraCacheLimit && cache.records.find(model) == cache.records.end()) {
        auto oldest = cache.records.begin();
        for (auto it = cache.records.begin(); it != cache.records.end(); ++it)
            if (it->second.fetched < oldest->second.fetched) oldest = it;
        cache.records.erase(oldest);
    }
    cache.records[model] = record;
}

void ClearCameraCache(CameraCache& cache) {
    std::lock_guard<std::mutex> hold(cache.lock);
    cache.records.clear();
}

CacheLookup TryFindCameraRecord(CameraCache& cache, int model, CameraRecord& out) {
    std::unique_lock<std::mutex> hold(cache.lock, std::try_to_lock);
    if (!hold.owns_lock()) return CacheLookup::Busy;
    const auto it = cache.records.find(model);
    if (it == cache.records.end()) return CacheLookup::Missing;
    out = it->second;
    return CacheLookup::Found;
}

}  // namespace hm
