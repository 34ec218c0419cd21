#include "Certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <ifaddrs.h>
#include <memory>
#include <netdb.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct OpenSslFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(X509* cert) const { X509_free(cert); }
    void operator()(X509_EXTENSION* ext) const { X509_EXTENSION_free(ext); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSslFree>;
using CertPtr = std::unique_ptr<X509, OpenSslFree>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, OpenSslFree>;
using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

constexpr long kTenYears = 10L * 366 * 24 * 3600;

// "DNS:host,DNS:localhost,IP:127.0.0.1,IP:192.168.1.5,…"
std::string SubjectNames()
{
    char host[256] = {};
    std::string names = "DNS:localhost";
    if (::gethostname(host, sizeof host - 1) == 0 && host[0] != '\0' && std::strcmp(host, "localhost") != 0)
        names = "DNS:" + std::string(host) + "," + names;
    const std::vector<std::string> addresses = HostAddresses();
    if (addresses.empty())
        return names + ",IP:127.0.0.1";
    for (const std::string& address : addresses)
        names += ",IP:" + address;
    return names;
}

bool AddExtension(X509* cert, int nid, const std::string& value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    const ExtensionPtr ext(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    return ext && X509_add_ext(cert, ext.get(), -1) == 1;
}

CertPtr MakeCertificate(EVP_PKEY* key)
{
    CertPtr cert(X509_new());
    unsigned char serial[16] = {};
    BIGNUM* number = nullptr;
    bool ok = cert && RAND_bytes(serial, sizeof serial) == 1 && (serial[0] &= 0x7F, true) &&
              (number = BN_bin2bn(serial, sizeof serial, nullptr)) != nullptr &&
              BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get())) != nullptr &&
              X509_set_version(cert.get(), 2) == 1 && X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) &&
              X509_gmtime_adj(X509_getm_notAfter(cert.get()), kTenYears) && X509_set_pubkey(cert.get(), key) == 1;
    BN_free(number);
    X509_NAME* name = ok ? X509_get_subject_name(cert.get()) : nullptr;
    ok = ok && X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                          reinterpret_cast<const unsigned char*>("Lumaro"), -1, -1, 0) == 1 &&
         X509_set_issuer_name(cert.get(), name) == 1 && AddExtension(cert.get(), NID_subject_alt_name, SubjectNames()) &&
         AddExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE") &&
         AddExtension(cert.get(), NID_key_usage, "critical,digitalSignature") &&
         AddExtension(cert.get(), NID_ext_key_usage, "serverAuth") && X509_sign(cert.get(), key, EVP_sha256()) > 0;
    return ok ? std::move(cert) : nullptr;
}

// A new file only its owner may read; null when it exists or cannot be made.
FilePtr CreatePrivate(const char* path)
{
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    return FilePtr(fd >= 0 ? ::fdopen(fd, "w") : nullptr, &std::fclose);
}

}  // namespace

std::vector<std::string> HostAddresses()
{
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return addresses;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || (a->ifa_addr->sa_family != AF_INET && a->ifa_addr->sa_family != AF_INET6))
            continue;
        char text[NI_MAXHOST] = {};
        const socklen_t size = a->ifa_addr->sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        if (::getnameinfo(a->ifa_addr, size, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0 &&
            std::strchr(text, '%') == nullptr)  // a link-local address with its interface: not for a browser
            addresses.emplace_back(text);
    }
    ::freeifaddrs(list);
    return addresses;
}

bool EnsureCertificate(std::string* error)
{
    std::error_code ec;
    const bool haveCertificate = std::filesystem::exists(kCertificateFile, ec);
    const bool haveKey = std::filesystem::exists(kKeyFile, ec);
    if (haveCertificate && haveKey)
        return true;
    if (haveCertificate || haveKey) {  // the owner's, half there: never replaced
        *error = std::string(haveKey ? kKeyFile : kCertificateFile) + " is there without " +
                 (haveKey ? kCertificateFile : kKeyFile);
        return false;
    }
    if (std::filesystem::create_directories(std::filesystem::path(kKeyFile).parent_path(), ec))
        ::chmod(std::filesystem::path(kKeyFile).parent_path().c_str(), 0700);
    const KeyPtr key(EVP_EC_gen("P-256"));
    const CertPtr cert = key ? MakeCertificate(key.get()) : nullptr;
    if (!cert) {
        *error = "cannot make the remote view's certificate (OpenSSL)";
        return false;
    }
    FilePtr keyFile = CreatePrivate(kKeyFile);
    FilePtr certFile = keyFile ? CreatePrivate(kCertificateFile) : FilePtr(nullptr, &std::fclose);
    const bool written = certFile && PEM_write_PrivateKey(keyFile.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1 &&
                         PEM_write_X509(certFile.get(), cert.get()) == 1 && std::fflush(keyFile.get()) == 0 &&
                         std::fflush(certFile.get()) == 0;
    if (!written) {
        *error = std::string("cannot write ") + kKeyFile + " and " + kCertificateFile + ": " + std::strerror(errno);
        keyFile.reset();
        certFile.reset();
        std::filesystem::remove(kKeyFile, ec);
        std::filesystem::remove(kCertificateFile, ec);
    }
    return written;
}

std::string CertificateFingerprint(const std::string& path)
{
    FilePtr file(std::fopen(path.c_str(), "r"), &std::fclose);
    const CertPtr cert(file ? PEM_read_X509(file.get(), nullptr, nullptr, nullptr) : nullptr);
    unsigned char digest[EVP_MAX_MD_SIZE] = {};
    unsigned int size = 0;
    if (!cert || X509_digest(cert.get(), EVP_sha256(), digest, &size) != 1)
        return {};
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        char pair[4] = {};
        std::snprintf(pair, sizeof pair, i + 1 < size ? "%02X:" : "%02X", digest[i]);
        text += pair;
    }
    return text;
}
