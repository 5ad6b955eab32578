#include "tools/pe/authenticode.h"

#include <errno.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdio.h>
#include <string.h>

#include <memory>

#include "files/file_access.h"
#include "payload/payload_format.h"
#include "tools/files/file_system.h"

namespace qjxpack {

namespace {

constexpr const char* SPC_INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4";
constexpr const char* SPC_NESTED_SIGNATURE = "1.3.6.1.4.1.311.2.4.1";
constexpr uint32_t PKCS_SIGNED_DATA = 2;
constexpr uint64_t MAX_TABLE_BYTES = 16u << 20;
// Nested signatures carry signatures in turn; a file that nests deeper is refused.
constexpr int MAX_DEPTH = 8;

struct FreePkcs7 {
    void operator()(PKCS7* p7) const { PKCS7_free(p7); }
};
struct FreeBio {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct FreeStore {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct FreeAlgorithm {
    void operator()(X509_ALGOR* algorithm) const { X509_ALGOR_free(algorithm); }
};
struct FreeDigest {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// One DER element: its tag, and where its contents start and end.
struct Der {
    uint8_t tag = 0;
    size_t content = 0;
    size_t end = 0;
};

bool ReadDer(const uint8_t* data, size_t size, size_t at, Der* element) {
    if (at > size || size - at < 2) return false;
    element->tag = data[at];
    size_t length = data[at + 1];
    size_t content = at + 2;
    if ((length & 0x80) != 0) {
        const size_t count = length & 0x7F;
        if (count == 0 || count > 4 || size - content < count) return false;
        length = 0;
        for (size_t i = 0; i < count; ++i) length = length << 8 | data[content++];
    }
    if (length > size - content) return false;
    element->content = content;
    element->end = content + length;
    return true;
}

std::string Dotted(const ASN1_OBJECT* object) {
    char text[128] = "";
    OBJ_obj2txt(text, sizeof text, object, 1);
    return text;
}

// Where the image hash leaves out the CheckSum field and the security directory's entry.
struct Layout {
    uint64_t checksum_at = 0;
    uint64_t directory_at = 0;
    uint64_t table_offset = 0;
};

bool ReadLayout(FILE* file, uint64_t table_offset, Layout* layout) {
    uint8_t headers[512] = {};
    if (!ReadFileAt(file, 0, headers, 64) || headers[0] != 'M' || headers[1] != 'Z') return false;
    const uint64_t pe = ReadLittleEndian(headers + 0x3C, 4);
    if (!ReadFileAt(file, pe, headers, 24 + 2)) return false;
    const uint64_t magic = ReadLittleEndian(headers + 24, 2);
    if (ReadLittleEndian(headers, 4) != 0x4550 || (magic != 0x10B && magic != 0x20B)) {
        return false;
    }
    layout->checksum_at = pe + 24 + 64;
    // The security directory is the fifth, 8 bytes each.
    layout->directory_at = pe + 24 + (magic == 0x20B ? 112u : 96u) + 32u;
    layout->table_offset = table_offset;
    return layout->directory_at + 8 <= table_offset;
}

class Checker {
  public:
    Checker(FILE* file, const Layout& layout, X509_STORE* store, const std::string& ca_file,
            SignatureReport* report)
        : file_(file), layout_(layout), store_(store), ca_file_(ca_file), report_(report) {}

    void Check(PKCS7* p7, int depth, const std::string& label) {
        if (depth > MAX_DEPTH) return Problem(label + " lies nested too deep");
        if (p7 == nullptr || !PKCS7_type_is_signed(p7) || p7->d.sign == nullptr ||
            p7->d.sign->contents == nullptr) {
            return Problem(label + " is no PKCS#7 SignedData");
        }
        PKCS7* contents = p7->d.sign->contents;
        if (contents->type == nullptr || Dotted(contents->type) != SPC_INDIRECT_DATA ||
            contents->d.other == nullptr || contents->d.other->type != V_ASN1_SEQUENCE) {
            return Problem(label + " signs no Authenticode content");
        }
        const ASN1_STRING* sequence = contents->d.other->value.sequence;
        const uint8_t* data = ASN1_STRING_get0_data(sequence);
        const size_t size = static_cast<size_t>(ASN1_STRING_length(sequence));
        // SpcIndirectDataContent: { SpcAttributeTypeAndOptionalValue, DigestInfo }, and in the
        // DigestInfo { AlgorithmIdentifier, OCTET STRING }.
        Der indirect, attribute, digest_info, algorithm, digest;
        if (!ReadDer(data, size, 0, &indirect) || indirect.tag != 0x30 ||
            !ReadDer(data, indirect.end, indirect.content, &attribute) ||
            !ReadDer(data, indirect.end, attribute.end, &digest_info) || digest_info.tag != 0x30 ||
            !ReadDer(data, digest_info.end, digest_info.content, &algorithm) ||
            !ReadDer(data, digest_info.end, algorithm.end, &digest) || digest.tag != 0x04) {
            return Problem(label + ": its signed content is damaged");
        }
        const uint8_t* algorithm_der = data + digest_info.content;
        std::unique_ptr<X509_ALGOR, FreeAlgorithm> algorithm_id(d2i_X509_ALGOR(
            nullptr, &algorithm_der, static_cast<long>(algorithm.end - digest_info.content)));
        const EVP_MD* md = algorithm_id ? EVP_get_digestbyobj(algorithm_id->algorithm) : nullptr;
        if (md == nullptr) {
            return Problem(label + ": its digest algorithm " +
                           (algorithm_id ? Dotted(algorithm_id->algorithm) : "?") +
                           " is unknown here");
        }
        const std::string name = OBJ_nid2sn(EVP_MD_get_type(md));
        std::vector<uint8_t> hash;
        if (!ImageHash(md, &hash)) return Problem(label + ": the file cannot be read to hash it");
        const size_t signed_length = digest.end - digest.content;
        if (hash.size() != signed_length ||
            memcmp(hash.data(), data + digest.content, signed_length) != 0) {
            return Problem(label + ": the file's " + name +
                           " image hash is not the signed one: damaged after signing");
        }
        std::string line = label + ": " + name + " image hash matches";
        if (!VerifySigner(p7, data + indirect.content, indirect.end - indirect.content, label)) {
            return;
        }
        line += ", the signer's signature verifies";
        if (store_ != nullptr) line += ", its certificate chain leads to " + ca_file_;
        report_->checked.push_back(line);
        CheckNested(p7, depth, label);
    }

  private:
    void Problem(const std::string& text) { report_->problems.push_back(text); }

    bool Hash(EVP_MD_CTX* context, uint64_t from, uint64_t to) {
        uint8_t buffer[65536];
        while (from < to) {
            const size_t piece =
                to - from < sizeof buffer ? static_cast<size_t>(to - from) : sizeof buffer;
            if (!ReadFileAt(file_, from, buffer, piece) ||
                EVP_DigestUpdate(context, buffer, piece) != 1) {
                return false;
            }
            from += piece;
        }
        return true;
    }

    // The Authenticode image hash: the file up to the certificate table, less the CheckSum
    // field and the security directory's entry, which signing itself changes.
    bool ImageHash(const EVP_MD* md, std::vector<uint8_t>* hash) {
        std::unique_ptr<EVP_MD_CTX, FreeDigest> context(EVP_MD_CTX_new());
        unsigned int length = 0;
        hash->assign(EVP_MAX_MD_SIZE, 0);
        const bool ok = context && EVP_DigestInit_ex(context.get(), md, nullptr) == 1 &&
                        Hash(context.get(), 0, layout_.checksum_at) &&
                        Hash(context.get(), layout_.checksum_at + 4, layout_.directory_at) &&
                        Hash(context.get(), layout_.directory_at + 8, layout_.table_offset) &&
                        EVP_DigestFinal_ex(context.get(), hash->data(), &length) == 1;
        hash->resize(length);
        return ok;
    }

    // The signer's signature over its signed attributes, whose message digest covers the
    // content of the SpcIndirectDataContent; with a store, also the signer's chain.
    bool VerifySigner(PKCS7* p7, const uint8_t* content, size_t length, const std::string& label) {
        std::unique_ptr<BIO, FreeBio> bio(BIO_new_mem_buf(content, static_cast<int>(length)));
        std::unique_ptr<X509_STORE, FreeStore> empty(store_ == nullptr ? X509_STORE_new()
                                                                       : nullptr);
        ERR_clear_error();
        const int flags = store_ == nullptr ? PKCS7_NOVERIFY : 0;
        if (bio && PKCS7_verify(p7, nullptr, store_ != nullptr ? store_ : empty.get(), bio.get(),
                                nullptr, flags) == 1) {
            return true;
        }
        const unsigned long code = ERR_peek_error();
        const char* data = nullptr;
        int data_flags = 0;
        ERR_peek_error_data(&data, &data_flags);
        const std::string detail =
            (data_flags & ERR_TXT_STRING) != 0 && data != nullptr ? data : "";
        ERR_clear_error();
        if (ERR_GET_LIB(code) == ERR_LIB_PKCS7 &&
            ERR_GET_REASON(code) == PKCS7_R_CERTIFICATE_VERIFY_ERROR) {
            Problem(label + ": the signer's certificate does not lead to a certificate in " +
                    ca_file_ + (detail.empty() ? "" : " (" + detail + ")"));
        } else {
            Problem(label +
                    ": the signer's signature over its attributes does not verify: damaged "
                    "after signing");
        }
        return false;
    }

    void CheckNested(PKCS7* p7, int depth, const std::string& label) {
        STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(p7);
        int count = 0;
        for (int s = 0; s < sk_PKCS7_SIGNER_INFO_num(signers); ++s) {
            STACK_OF(X509_ATTRIBUTE)* attributes =
                sk_PKCS7_SIGNER_INFO_value(signers, s)->unauth_attr;
            for (int a = 0; a < X509at_get_attr_count(attributes); ++a) {
                X509_ATTRIBUTE* attribute = X509at_get_attr(attributes, a);
                if (Dotted(X509_ATTRIBUTE_get0_object(attribute)) != SPC_NESTED_SIGNATURE) continue;
                for (int v = 0; v < X509_ATTRIBUTE_count(attribute); ++v) {
                    const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, v);
                    const std::string nested_label =
                        label + ", nested signature " + std::to_string(++count);
                    if (value == nullptr || value->type != V_ASN1_SEQUENCE) {
                        Problem(nested_label + " is no PKCS#7 SignedData");
                        continue;
                    }
                    const uint8_t* der = ASN1_STRING_get0_data(value->value.sequence);
                    std::unique_ptr<PKCS7, FreePkcs7> nested(
                        d2i_PKCS7(nullptr, &der, ASN1_STRING_length(value->value.sequence)));
                    Check(nested.get(), depth + 1, nested_label);
                }
            }
        }
    }

    FILE* file_;
    Layout layout_;
    X509_STORE* store_;
    std::string ca_file_;
    SignatureReport* report_;
};

}  // namespace

bool CheckAuthenticode(const std::string& path, uint64_t table_offset, uint64_t table_size,
                       const std::string& ca_file, SignatureReport* report, std::string* error) {
    *report = SignatureReport();
    std::unique_ptr<X509_STORE, FreeStore> store;
    if (!ca_file.empty()) {
        store.reset(X509_STORE_new());
        if (!store || X509_STORE_load_file(store.get(), ca_file.c_str()) != 1) {
            ERR_clear_error();
            *error = "--ca " + ca_file + ": no certificates can be read from it (PEM)";
            return false;
        }
        // Code-signing certificates, not mail ones: the chain is judged, not its purpose.
        X509_STORE_set_purpose(store.get(), X509_PURPOSE_ANY);
    }
    FILE* file = OpenPath(path, "rb");
    if (file == nullptr) {
        *error = "cannot open " + path + ": " + strerror(errno);
        return false;
    }
    Layout layout;
    std::vector<uint8_t> table;
    if (table_size <= MAX_TABLE_BYTES && ReadLayout(file, table_offset, &layout)) {
        table.resize(static_cast<size_t>(table_size));
        if (!ReadFileAt(file, table_offset, table.data(), table.size())) table.clear();
    }
    if (table.empty()) {
        fclose(file);
        report->problems.push_back("the certificate table cannot be read");
        return true;
    }
    Checker checker(file, layout, store.get(), ca_file, report);
    // WIN_CERTIFICATE entries: length, revision, type, then the certificate, each 8-aligned.
    int signatures = 0;
    for (size_t at = 0; table.size() - at >= 8;) {
        const size_t length = static_cast<size_t>(ReadLittleEndian(table.data() + at, 4));
        const uint64_t type = ReadLittleEndian(table.data() + at + 6, 2);
        if (length < 8 || length > table.size() - at) {
            report->problems.push_back("the certificate table is damaged");
            break;
        }
        if (type == PKCS_SIGNED_DATA) {
            const uint8_t* der = table.data() + at + 8;
            std::unique_ptr<PKCS7, FreePkcs7> p7(
                d2i_PKCS7(nullptr, &der, static_cast<long>(length - 8)));
            checker.Check(p7.get(), 0, "signature " + std::to_string(++signatures));
        }
        at += (length + 7) / 8 * 8;
        if (at > table.size()) break;
    }
    fclose(file);
    ERR_clear_error();
    if (signatures == 0 && report->problems.empty()) {
        report->problems.push_back("the certificate table holds no Authenticode signature");
    }
    return true;
}

}  // namespace qjxpack
