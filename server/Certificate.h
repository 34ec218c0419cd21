// The remote view's TLS identity in the working folder: remote/cert.pem and
// remote/key.pem. The first time it is needed Lumaro makes an ECDSA P-256
// key (readable by its owner only) and a certificate signed by it, naming
// this PC's host name, localhost and its addresses; a certificate and key
// the owner puts there instead are used as they are.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kCertificateFile = "remote/cert.pem";
inline constexpr const char* kKeyFile = "remote/key.pem";

// Makes the key and certificate when there are none; false with `error`.
bool EnsureCertificate(std::string* error);
// The certificate's SHA-256 fingerprint, "AB:CD:…" as browsers show it;
// empty when it cannot be read.
std::string CertificateFingerprint(const std::string& path = kCertificateFile);
// This PC's addresses, IPv4 and IPv6, loopback included, link-local left out.
std::vector<std::string> HostAddresses();
