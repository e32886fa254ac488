// Test program: one ApiRequest as the plugin makes it, result on standard output. Driven by the
// host's transport tests against the fake API.
//   api_request_probe.exe <url> <allowLocalHttp 0|1> <consent 0|1> <name|-> <port>
//                         <method> <path> <bearer|-> <shot> <body bytes> [<trusted certificate .der>]
// The optional certificate is put into the current user's "Root" store for the request and
// taken out again afterwards: how a test server's self-signed certificate becomes trusted
// without the transport relaxing any check.
// Prints "status=<n> size=<bytes> fnv=<hex> ms=<elapsed> body=<up to 200 bytes>" or
// "error=<text> ms=<elapsed>".
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <string>

#include "base/fnv1a.h"
#include "base/plugin.h"
#include "base/shared_state.h"
#include "net/api_request_win.h"
#include "net/url_policy_win.h"

namespace {

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

HCERTSTORE OpenRoot() { return CertOpenSystemStoreW(0, L"Root"); }

// Closing the store is what writes the addition to the registry, where the chain engine of
// WinHTTP finds it; a context kept open would hold the store (and the write) back.
bool Trust(const std::string& der) {
    HCERTSTORE root = OpenRoot();
    if (!root) return false;
    const BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING,
                                                        reinterpret_cast<const BYTE*>(der.data()), DWORD(der.size()),
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(root, 0);
    return added != FALSE;
}

// Removed through the registry store itself: a deletion through the system store's collection
// is kept in memory by Wine and never written back.
void Untrust(const std::string& der) {
    PCCERT_CONTEXT wanted =
        CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), DWORD(der.size()));
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (wanted && root) {
        PCCERT_CONTEXT found = CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr);
        if (found) CertDeleteCertificateFromStore(found);  // frees the context as well
        CertControlStore(root, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    if (root) CertCloseStore(root, 0);
    if (wanted) CertFreeCertificateContext(wanted);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 11 && argc != 12) {
        std::fprintf(stderr, "usage: api_request_probe url local consent name port method path bearer shot bytes [cert.der]\n");
        return 2;
    }
    const std::string trusted = argc == 12 ? ReadFile(argv[11]) : std::string();
    if (argc == 12 && (trusted.empty() || !Trust(trusted))) {
        std::printf("error=cannot trust the certificate %s (%lu)\n", argv[11], GetLastError());
        return 3;
    }
    const std::string url = argv[1];
    const std::string name = std::string(argv[4]) == "-" ? "" : argv[4];
    const std::string bearer = std::string(argv[8]) == "-" ? "" : argv[8];
    hm::Plugin().consent_given.store(std::atoi(argv[3]) != 0);
    {
        hm::SharedState& shared = hm::PluginShared();
        std::lock_guard<std::mutex> guard(shared.lock);
        shared.identity.name = name;
        shared.identity.port = std::uint16_t(std::atoi(argv[5]));
    }
    std::string body(std::size_t(std::strtoul(argv[10], nullptr, 10)), 'b');
    const ULONGLONG start = GetTickCount64();
    try {
        const hm::ApiClient client = hm::MakeApiClient(std::wstring(url.begin(), url.end()), std::atoi(argv[2]) != 0);
        const hm::ApiResponse r = hm::ApiRequest(client, argv[6], argv[7], bearer, body,
                                                 std::uint32_t(std::strtoul(argv[9], nullptr, 10)));
        std::printf("status=%d size=%u fnv=%08x ms=%llu body=%s\n", int(r.status), unsigned(r.body.size()),
                    unsigned(hm::Fnv1a32(r.body)), GetTickCount64() - start, r.body.substr(0, 200).c_str());
    } catch (const std::exception& e) {
        std::printf("error=%s ms=%llu\n", e.what(), GetTickCount64() - start);
    }
    if (!trusted.empty()) Untrust(trusted);
    return 0;
}
