// Checks an Authenticode signature without the system's help, with OpenSSL's libcrypto: for
// every signature in the certificate table, nested ones included, the image hash it signed
// against the file's own, and the signer's signature over its signed attributes. Given a file of
// trusted certificates, also the signer's chain. Built only where the system does not check.
#pragma once

#include <string>
#include <vector>

namespace qjxpack {

struct SignatureReport {
    // One line per signature checked: "SHA-256 digest matches", say.
    std::vector<std::string> checked;
    // What makes the file damaged after signing, or its chain untrusted; empty when it is sound.
    std::vector<std::string> problems;
};

// Checks the signatures of the file at path, whose certificate table lies at table_offset
// (table_size bytes). ca_file empty: the certificates are not judged. False with *error only
// when the file cannot be read.
bool CheckAuthenticode(const std::string& path, uint64_t table_offset, uint64_t table_size,
                       const std::string& ca_file, SignatureReport* report, std::string* error);

}  // namespace qjxpack
