// libFuzzer target over the package download's receiving end: an update body from the server,
// then the package bytes in pieces of the server's choosing. Whatever arrives, the store ends
// with either the whole verified package under its name and no ".part", or the old package
// untouched and no ".part"; only std::runtime_error comes out.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "net/api_formats.h"
#include "update/updater.h"

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

// A digest the input can meet: the byte sum as 64 hex digits.
class SumHasher : public hm::PackageHasher {
public:
    void Add(const char* data, std::size_t size) override {
        for (std::size_t i = 0; i < size; ++i) sum_ += static_cast<unsigned char>(data[i]);
    }
    std::string FinishHex() override {
        char hex[65];
        std::snprintf(hex, sizeof hex, "%064llx", static_cast<unsigned long long>(sum_));
        return hex;
    }

private:
    std::uint64_t sum_ = 0;
};

class MemoryStore : public hm::PackageStore {
public:
    std::string package = "old package";
    std::string part;
    bool part_exists = false;
    bool open = false;

    std::wstring MakeFolder(int) override { return L"C:\\Downloads\\HM_Plugin"; }
    std::int64_t PackageSize() override { return std::int64_t(package.size()); }
    std::string PackageHash() override { return std::string(64, '0'); }
    void RemovePart() noexcept override {
        part.clear();
        part_exists = false;
    }
    void OpenPart() override {
        part.clear();
        part_exists = open = true;
    }
    void AppendPart(const char* data, std::size_t size) override {
        Check(open);
        part.append(data, size);
    }
    bool ClosePart() override {
        open = false;
        return true;
    }
    void MovePartOntoPackage() override {
        Check(part_exists && !open);
        package = part;
        RemovePart();
    }
    void WriteInstructions(const std::string&) override {}
};

// The package in pieces: each piece's length is the byte before it (0 ends the stream).
class PieceSource : public hm::PackageSource {
public:
    explicit PieceSource(std::string_view bytes) : bytes_(bytes) {}
    std::size_t Read(char* into, std::size_t capacity) override {
        if (bytes_.empty()) return 0;
        std::size_t n = static_cast<unsigned char>(bytes_[0]);
        bytes_.remove_prefix(1);
        if (n == 0) return 0;
        n = std::min({n, capacity, bytes_.size()});
        bytes_.copy(into, n);
        delivered.append(bytes_.data(), n);
        bytes_.remove_prefix(n);
        return n;
    }
    std::string delivered;

private:
    std::string_view bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    if (split == std::string_view::npos) return 0;
    hm::UpdateInfo info;
    try {
        info = hm::ParseUpdateBody(input.substr(0, split));
    } catch (const std::runtime_error&) {
        return 0;
    }
    MemoryStore store;
    PieceSource source(input.substr(split + 1));
    hm::DownloadEffects fx;
    fx.store = &store;
    fx.make_hasher = [] { return std::unique_ptr<hm::PackageHasher>(new SumHasher); };
    fx.ceiling = 1u << 20;
    bool received = true;
    try {
        hm::ReceivePackage(source, info, fx);
    } catch (const std::runtime_error&) {
        received = false;
    }
    Check(!store.part_exists && !store.open);
    if (received) {
        Check(store.package == source.delivered && store.package.size() == info.size);
        SumHasher check;
        check.Add(store.package.data(), store.package.size());
        Check(check.FinishHex() == info.sha256);
    } else {
        Check(store.package == "old package");
    }
    return 0;
}
