#include "tools/cli/commands.h"

#include <inttypes.h>
#include <string.h>

#include "files/file_access.h"
#include "payload/extractor.h"
#include "text/utf8.h"
#include "tools/installer/entry_names.h"
#include "tools/installer/installer_scan.h"
#include "tools/pe/pe_resources.h"
#if !defined(_WIN32)
#include "tools/pe/authenticode.h"
#endif

namespace qjxpack {

namespace {

int Error(FILE* err, const std::string& message) {
    fprintf(err, "qjxpack: error: %s\n", message.c_str());
    return EXIT_FAILED;
}

bool Scan(const std::string& installer, InstallerScan* scan, FILE* err) {
    std::string error;
    if (!ScanInstaller(installer, scan, &error)) {
        Error(err, error);
        return false;
    }
    return true;
}

// Prints the scan's errors and warnings, one line each; returns the exit code they call for.
int ReportProblems(const std::string& installer, const InstallerScan& scan, FILE* err,
                   const std::string& error_prefix = std::string()) {
    for (const std::string& warning : scan.warnings) {
        fprintf(err, "qjxpack: warning: %s: %s\n", installer.c_str(), warning.c_str());
    }
    for (const std::string& error : scan.errors) {
        Error(err, error_prefix + installer + ": " + error);
    }
    return scan.errors.empty() ? EXIT_OK : EXIT_FAILED;
}

const char* ResultText(ResultCode code) {
    switch (code) {
        case RESULT_BUFFER_TOO_SMALL:
            return "an entry's path reaches 260 bytes below this folder";
        case RESULT_CANT_CREATE_FILE:
            return "a file or folder could not be created";
        case RESULT_ALREADY_EXISTS:
            return "it exists already (--overwrite replaces files)";
        case RESULT_CANT_OPEN_FILE:
            return "the installer could not be opened";
        case RESULT_WRITE_FAILED:
            return "writing a file failed";
        case RESULT_BAD_PAYLOAD:
            return "the payload is damaged";
        case RESULT_UNSAFE_NAME:
            return "an entry name would escape the folder";
        case RESULT_BAD_UTF8:
            return "an entry name is not valid UTF-8";
        default:
            return "extraction failed";
    }
}

struct ExtractProgress {
    FILE* err;
    ExistingPolicy policy;
    bool draw;
    int last_percent;
    std::string failed_path;
    const InstallerScan* scan;
    size_t next_entry;  // index in scan->entries of the entry the next EVENT_ENTRY_BEGIN starts
};

// Entry names separate folders with '\\'. The host's file access hands paths to the system as
// they are, so on POSIX the handler makes folders and resolves file targets with '/' itself.
// The extractor's path (the folder, a separator, then the entry's "\\name") with the platform's
// separators and without the doubled one between folder and name.
std::string NativePath(const char* path) {
    std::string native;
    for (const char* c = path; *c != 0; ++c) {
        const char unit = *c == '\\' ? PathSeparator() : *c;
        if (IsPathSeparator(unit) && !native.empty() && IsPathSeparator(native.back()) &&
            native.size() > 2) {
            continue;
        }
        native += unit;
    }
    return native;
}

void DrawBar(ExtractProgress* progress, uint64_t done, uint64_t total) {
    int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (percent == progress->last_percent) return;
    progress->last_percent = percent;
    char bar[41];
    int filled = percent * 40 / 100;
    memset(bar, '#', static_cast<size_t>(filled));
    memset(bar + filled, '.', static_cast<size_t>(40 - filled));
    bar[40] = 0;
    fprintf(progress->err, "\r[%s] %3d%%  %.1f of %.1f MiB", bar, percent,
            static_cast<double>(done) / 1048576.0, static_cast<double>(total) / 1048576.0);
    fflush(progress->err);
}

ResultCode OnEvent(int32_t, ExtractEvent* event, void* user) {
    ExtractProgress* progress = static_cast<ExtractProgress*>(user);
    switch (event->kind) {
        case EVENT_PROGRESS:
            if (progress->draw) DrawBar(progress, event->bytes_done, event->bytes_total);
            break;
        case EVENT_ENTRY_BEGIN: {
            const std::vector<ScannedEntry>& entries = progress->scan->entries;
            size_t index = progress->next_entry++;
            if (PathSeparator() != '\\' && index < entries.size() && entries[index].is_directory) {
                // The parents as before, the folder itself under the extraction's policy: a
                // symbolic link in its place would lead the files elsewhere.
                std::string native = NativePath(event->path);
                while (native.size() > 1 && native.back() == PathSeparator()) native.pop_back();
                const size_t last = native.find_last_of(PathSeparator());
                if (last != std::string::npos && last > 0) MakeDirectories(native.substr(0, last));
                const ResultCode made = CreateDirectoryUtf8(native.c_str(), progress->policy);
                if (made != RESULT_OK && progress->policy != EXISTING_REPLACED) {
                    progress->failed_path = native;
                    return made;
                }
            }
            break;
        }
        case EVENT_RESOLVE_TARGET: {
            std::string target = NativePath(event->path);
            if (target.size() >= MAX_PATH_BYTES) return RESULT_BUFFER_TOO_SMALL;
            memcpy(event->target, target.c_str(), target.size() + 1);
            break;
        }
        case EVENT_ERROR:
            progress->failed_path = NativePath(event->path);
            break;
        default:
            break;
    }
    return RESULT_OK;
}

void PrintJsonNumber(FILE* out, const char* key, uint64_t value, bool comma = true) {
    fprintf(out, "\"%s\": %" PRIu64 "%s", key, value, comma ? ", " : "");
}

std::string StubDescription(const InstallerScan& scan) {
    if (scan.stub_architecture == "x86") return "x86 (runs on every Windows)";
    if (scan.stub_architecture == "x64") return "x64 (runs on 64-bit Windows only)";
    return scan.stub_architecture.empty() ? "not a Windows program" : scan.stub_architecture;
}

void PrintVersion(FILE* out, const InstallerScan& scan, bool json) {
    const VersionInfo& version = scan.version;
    if (json) {
        if (!scan.has_version) {
            fprintf(out, "\"version\": null, ");
            return;
        }
        fprintf(out,
                "\"version\": {\"file_version\": \"%s\", \"product_version\": \"%s\", "
                "\"strings\": {",
                version.file_version.c_str(), version.product_version.c_str());
        for (size_t i = 0; i < version.strings.size(); ++i) {
            fprintf(out, "%s%s: %s", i ? ", " : "", JsonString(version.strings[i].first).c_str(),
                    JsonString(version.strings[i].second).c_str());
        }
        fprintf(out, "}}, ");
        return;
    }
    if (!scan.has_version) return;
    fprintf(out, "version resource: file %s, product %s\n", version.file_version.c_str(),
            version.product_version.c_str());
    for (const auto& text : version.strings) {
        fprintf(out, "  %s: %s\n", PrintableName(text.first).c_str(),
                PrintableName(text.second).c_str());
    }
}

std::string ColourText(uint32_t colour) {
    char text[8];
    snprintf(text, sizeof text, "%06" PRIX32, colour & 0xFFFFFFu);
    return text;
}

// The vendor's languages and caption, when the stub carries them; nothing for the stock stub.
void PrintLanguages(FILE* out, const StubBranding& branding) {
    if (!branding.has_language_list) return;
    if (branding.language_list_damaged) {
        fprintf(out, "languages: damaged (the stub shows the stock three buttons)\n");
        return;
    }
    if (branding.languages.empty()) {
        fprintf(out, "languages: the stock three\n");
    } else {
        fprintf(out, "languages (%zu, pictures %s):\n", branding.languages.size(),
                branding.language_pictures ? "of their own" : "drawn by the stub");
        for (const LanguageOption& language : branding.languages) {
            fprintf(
                out, "  %s  %s  transform %s\n", PrintableName(language.code).c_str(),
                PrintableName(language.text).c_str(),
                language.transform.empty() ? "none" : PrintableName(language.transform).c_str());
        }
    }
    fprintf(out, "caption: %s, colour %s\n",
            branding.caption.empty() ? "the stock one"
                                     : ("\"" + PrintableName(branding.caption) + "\"").c_str(),
            branding.caption_colour == LANGUAGE_DEFAULT_COLOUR
                ? "the stock black"
                : ColourText(branding.caption_colour).c_str());
}

void PrintJsonLanguages(FILE* out, const StubBranding& branding) {
    if (!branding.has_language_list || branding.language_list_damaged) {
        fprintf(out, "\"languages\": %s, \"caption\": null, \"caption_colour\": null",
                branding.has_language_list ? "\"damaged\"" : "null");
        return;
    }
    fprintf(out, "\"languages\": [");
    for (size_t i = 0; i < branding.languages.size(); ++i) {
        const LanguageOption& language = branding.languages[i];
        fprintf(out, "%s{\"code\": %s, \"text\": %s, \"transform\": %s}", i ? ", " : "",
                JsonString(language.code).c_str(), JsonString(language.text).c_str(),
                language.transform.empty() ? "null" : JsonString(language.transform).c_str());
    }
    fprintf(out, "], \"language_pictures\": %s, \"caption\": %s, \"caption_colour\": %s",
            branding.language_pictures ? "true" : "false",
            branding.caption.empty() ? "null" : JsonString(branding.caption).c_str(),
            branding.caption_colour == LANGUAGE_DEFAULT_COLOUR
                ? "null"
                : JsonString(ColourText(branding.caption_colour)).c_str());
}

std::string PictureText(const PictureInfo& picture) {
    return std::to_string(picture.id) + ": " + std::to_string(picture.width) + "x" +
           std::to_string(picture.height < 0 ? -picture.height : picture.height) + ", " +
           std::to_string(picture.bits) + " bits" + (picture.compressed ? ", RLE" : "");
}

void PrintBranding(FILE* out, const InstallerScan& scan, bool json) {
    const StubBranding& branding = scan.branding;
    if (json) {
        if (!scan.has_stub_image) {
            fprintf(out, "\"branding\": null, ");
            return;
        }
        auto text = [](const std::string& value) {
            return value.empty() ? std::string("null") : JsonString(value);
        };
        std::string product, company;
        for (const auto& entry : scan.version.strings) {
            if (entry.first == "ProductName") product = entry.second;
            if (entry.first == "CompanyName") company = entry.second;
        }
        fprintf(out,
                "\"branding\": {\"product\": %s, \"company\": %s, \"version\": %s, "
                "\"title\": %s, \"package\": %s, \"transforms\": {\"de\": %s, \"ja\": %s}, "
                "\"stub_version\": %s, \"icon\": [",
                text(product).c_str(), text(company).c_str(),
                text(scan.has_version ? scan.version.file_version : "").c_str(),
                text(branding.title).c_str(), text(branding.package).c_str(),
                text(branding.transform_de).c_str(), text(branding.transform_ja).c_str(),
                text(branding.stub_version).c_str());
        for (size_t i = 0; i < branding.icon_sizes.size(); ++i) {
            fprintf(out, "%s%s", i ? ", " : "", JsonString(branding.icon_sizes[i]).c_str());
        }
        fprintf(out, "], \"pictures\": [");
        for (size_t i = 0; i < branding.pictures.size(); ++i) {
            const PictureInfo& picture = branding.pictures[i];
            fprintf(out,
                    "%s{\"id\": %u, \"width\": %d, \"height\": %d, \"bits\": %u, "
                    "\"compressed\": %s}",
                    i ? ", " : "", picture.id, picture.width, picture.height, picture.bits,
                    picture.compressed ? "true" : "false");
        }
        fprintf(out, "], ");
        PrintJsonLanguages(out, branding);
        fprintf(out, "}, ");
        return;
    }
    if (!scan.has_stub_image) return;
    if (!branding.stub_version.empty()) {
        fprintf(out, "stub version: %s\n", PrintableName(branding.stub_version).c_str());
    }
    if (branding.has_launch_names) {
        fprintf(out, "title: %s\npackage: %s\n", PrintableName(branding.title).c_str(),
                PrintableName(branding.package).c_str());
        // A vendor's buttons carry their own transforms; the stock ones are not used then.
        if (branding.languages.empty()) {
            fprintf(out, "transforms: de %s, ja %s\n", PrintableName(branding.transform_de).c_str(),
                    PrintableName(branding.transform_ja).c_str());
        }
    }
    PrintLanguages(out, branding);
    std::string line;
    for (const std::string& size : branding.icon_sizes) line += (line.empty() ? "" : "; ") + size;
    fprintf(out, "icon: %s\n", line.empty() ? "none" : line.c_str());
    line.clear();
    for (const PictureInfo& picture : branding.pictures) {
        line += (line.empty() ? "" : "; ") + PictureText(picture);
    }
    fprintf(out, "pictures: %s\n", line.empty() ? "none" : line.c_str());
}

const char* BindingText(PayloadBinding binding) {
    switch (binding) {
        case BINDING_MATCH:
            return "bound";
        case BINDING_MISMATCH:
            return "mismatch";
        default:
            return "unbound";
    }
}

// What binds the payload to the stub, for the text form of list and verify.
void PrintBinding(FILE* out, const std::string& installer, const InstallerScan& scan) {
    if (!scan.has_stub_image || !scan.has_trailer) return;
    if (scan.binding == BINDING_MATCH) {
        fprintf(out, "%s: payload bound to the stub: SHA-256 %s matches\n", installer.c_str(),
                scan.digest.c_str());
    } else if (scan.binding == BINDING_MISMATCH) {
        fprintf(out, "%s: payload does NOT match the digest in the stub (SHA-256 %s)\n",
                installer.c_str(), scan.digest.c_str());
    } else {
        fprintf(out, "%s: payload unbound: the stub carries no digest of it\n", installer.c_str());
    }
}

// Checks a signed installer's signature: on Windows the system's check, which the stub obeys;
// elsewhere qjxpack's own over the same digests. What fails goes to scan->errors; what was
// checked goes to out, when given.
void CheckSignature(const std::string& installer, const std::string& ca_file, InstallerScan* scan,
                    FILE* out) {
    if (!scan->signed_file) {
        if (!ca_file.empty()) scan->errors.push_back("--ca: the file is not signed");
        return;
    }
    if (out != nullptr) {
        fprintf(out, "%s: signed; the payload lies %s the signed region", installer.c_str(),
                scan->payload_in_signed_region ? "inside" : "OUTSIDE");
    }
#if defined(_WIN32)
    int32_t answer = 0;
    bool damaged = false;
    if (!AskSystemSignatureCheck(installer, &answer, &damaged)) {
        if (out != nullptr) fprintf(out, " (the system cannot check the signature here)\n");
        return;
    }
    if (out != nullptr) {
        fprintf(out, "; the system's signature check answers 0x%08" PRIX32 "%s\n",
                static_cast<uint32_t>(answer),
                answer == 0 ? " (the signature matches and its certificate is trusted)"
                : damaged   ? ""
                            : " (not a damaged signature: the stub extracts it)");
    }
    // The stub refuses such a file before it extracts anything.
    if (damaged) {
        scan->errors.push_back("the signature does not match the contents: damaged after signing");
    } else if (answer != 0 && !ca_file.empty()) {
        scan->errors.push_back(
            "--ca: the system does not trust the signer's certificate (on "
            "Windows the system's certificate store judges it, not " +
            ca_file + ")");
    }
#else
    if (out != nullptr) fprintf(out, "\n");
    SignatureReport report;
    std::string error;
    if (!CheckAuthenticode(installer, scan->table_offset, scan->table_size, ca_file, &report,
                           &error)) {
        scan->errors.push_back(error);
        return;
    }
    if (out != nullptr) {
        for (const std::string& line : report.checked) {
            fprintf(out, "%s: %s\n", installer.c_str(), line.c_str());
        }
    }
    for (const std::string& problem : report.problems) scan->errors.push_back(problem);
#endif
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char escape[8];
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20) {
            snprintf(escape, sizeof escape, "\\u%04x", c);
            json += escape;
        } else if (c >= 0x80) {
            // Keep a whole UTF-8 sequence; a byte that starts none becomes \u00XX.
            size_t sequence = c < 0xC2 || c > 0xF4 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            char16_t units[3];
            uint32_t consumed = 0;
            if (sequence != 0 && sequence <= text.size() - i &&
                Utf8ToUtf16(text.data() + i, static_cast<uint32_t>(sequence), units, 3, nullptr,
                            &consumed) == RESULT_OK &&
                consumed == sequence) {
                json.append(text, i, sequence);
                i += sequence;
                continue;
            }
            snprintf(escape, sizeof escape, "\\u%04x", c);
            json += escape;
        } else {
            json += static_cast<char>(c);
        }
        ++i;
    }
    return json + "\"";
}

int RunCreate(const CreateRequest& request, FILE* out, FILE* err) {
    CreateResult result;
    std::string error;
    const bool created = CreateInstaller(request, &result, &error);
    // Before an error too: a file left out of the pictures may be why one is missing.
    for (const std::string& warning : result.warnings) {
        fprintf(err, "qjxpack: warning: %s\n", warning.c_str());
    }
    if (!created) return Error(err, error);
    fprintf(out,
            "%s: %" PRIu64 " bytes; %" PRIu64 " entries, payload of %" PRIu64 " bytes at 0x%" PRIx64
            "%s\n",
            request.output.c_str(), result.file_size, result.entry_count, result.payload_size,
            result.payload_offset, request.quiet ? "; quiet" : "");
    return EXIT_OK;
}

int RunBrand(const std::string& stub, const BrandingRequest& request, const std::string& output,
             FILE* out, FILE* err) {
    std::string error;
    std::vector<std::string> warnings;
    const bool branded = BrandStub(stub, request, output, &warnings, &error);
    for (const std::string& warning : warnings) {
        fprintf(err, "qjxpack: warning: %s\n", warning.c_str());
    }
    if (!branded) return Error(err, error);
    fprintf(out, "%s: branded from %s\n", output.c_str(), stub.c_str());
    return EXIT_OK;
}

int RunList(const std::string& installer, bool json, FILE* out, FILE* err) {
    InstallerScan scan;
    if (!Scan(installer, &scan, err)) return EXIT_FAILED;
    const PayloadTrailer& trailer = scan.trailer;
    if (json) {
        fprintf(out, "{\"file\": %s, ", JsonString(installer).c_str());
        PrintJsonNumber(out, "file_size", scan.file_size);
        fprintf(
            out, "\"stub_architecture\": %s, ",
            scan.stub_architecture.empty() ? "null" : JsonString(scan.stub_architecture).c_str());
        fprintf(out, "\"stub_only\": %s, ", scan.stub_only ? "true" : "false");
        PrintVersion(out, scan, true);
        PrintBranding(out, scan, true);
        if (scan.has_trailer) {
            fprintf(out, "\"trailer\": {");
            PrintJsonNumber(out, "offset", scan.trailer_offset);
            PrintJsonNumber(out, "payload_offset", trailer.payload_offset);
            PrintJsonNumber(out, "payload_size", trailer.payload_size);
            PrintJsonNumber(out, "entry_count", trailer.entry_count);
            PrintJsonNumber(out, "flags", trailer.flags);
            fprintf(out, "\"quiet\": %s}, ",
                    (trailer.flags & TRAILER_FLAG_QUIET) ? "true" : "false");
        } else {
            fprintf(out, "\"trailer\": null, ");
        }
        if (scan.signed_file) {
            fprintf(out, "\"signature\": {");
            PrintJsonNumber(out, "table_offset", scan.table_offset);
            PrintJsonNumber(out, "table_size", scan.table_size);
            fprintf(out, "\"payload_in_signed_region\": %s}, ",
                    scan.payload_in_signed_region ? "true" : "false");
        } else {
            fprintf(out, "\"signature\": null, ");
        }
        if (scan.has_stub_image && scan.has_trailer) {
            fprintf(out, "\"payload_digest\": {\"state\": \"%s\", \"sha256\": %s}, ",
                    BindingText(scan.binding),
                    scan.digest.empty() ? "null" : JsonString(scan.digest).c_str());
        } else {
            fprintf(out, "\"payload_digest\": null, ");
        }
        fprintf(out, "\"entries\": [");
        for (size_t i = 0; i < scan.entries.size(); ++i) {
            const ScannedEntry& entry = scan.entries[i];
            fprintf(out, "%s{\"name\": %s, \"type\": \"%s\", ", i ? ", " : "",
                    JsonString(entry.name).c_str(), entry.is_directory ? "directory" : "file");
            PrintJsonNumber(out, "size", entry.size);
            PrintJsonNumber(out, "offset", entry.offset, false);
            fprintf(out, "}");
        }
        fprintf(out, "], \"errors\": [");
        for (size_t i = 0; i < scan.errors.size(); ++i) {
            fprintf(out, "%s%s", i ? ", " : "", JsonString(scan.errors[i]).c_str());
        }
        fprintf(out, "], \"warnings\": [");
        for (size_t i = 0; i < scan.warnings.size(); ++i) {
            fprintf(out, "%s%s", i ? ", " : "", JsonString(scan.warnings[i]).c_str());
        }
        fprintf(out, "]}\n");
    } else if (scan.stub_only) {
        fprintf(out, "%s: %" PRIu64 " bytes; a stub (no payload): %s\n", installer.c_str(),
                scan.file_size, StubDescription(scan).c_str());
        PrintVersion(out, scan, false);
        PrintBranding(out, scan, false);
    } else if (scan.has_trailer) {
        fprintf(out, "%s: %" PRIu64 " bytes; stub: %s\n", installer.c_str(), scan.file_size,
                StubDescription(scan).c_str());
        PrintVersion(out, scan, false);
        PrintBranding(out, scan, false);
        fprintf(out,
                "trailer at 0x%" PRIx64 ": payload_offset 0x%" PRIx32 ", payload_size %" PRIu64
                ", entry_count %" PRIu64 ", flags 0x%" PRIx32 "%s\n",
                scan.trailer_offset, trailer.payload_offset, trailer.payload_size,
                trailer.entry_count, trailer.flags,
                (trailer.flags & TRAILER_FLAG_QUIET) ? " (quiet)" : "");
        PrintBinding(out, installer, scan);
        if (scan.signed_file) {
            fprintf(out,
                    "signature: certificate table at 0x%" PRIx64 ", %" PRIu64
                    " bytes; payload %s the signed region\n",
                    scan.table_offset, scan.table_size,
                    scan.payload_in_signed_region ? "inside" : "OUTSIDE");
        }
        fprintf(out, "%-12s %12s  %s\n", "offset", "size", "name");
        for (const ScannedEntry& entry : scan.entries) {
            char size[24];
            if (entry.is_directory) {
                snprintf(size, sizeof size, "<dir>");
            } else {
                snprintf(size, sizeof size, "%" PRIu64, entry.size);
            }
            fprintf(out, "0x%-10" PRIx64 " %12s  %s\n", entry.offset, size,
                    PrintableName(entry.name).c_str());
        }
    }
    return ReportProblems(installer, scan, err);
}

int RunVerify(const std::string& installer, const std::string& stock_stub,
              const std::string& ca_file, FILE* out, FILE* err) {
    InstallerScan scan;
    if (!Scan(installer, &scan, err)) return EXIT_FAILED;
    if (scan.stub_only) {
        fprintf(out, "%s: a stub (no payload): %s\n", installer.c_str(),
                StubDescription(scan).c_str());
        PrintVersion(out, scan, false);
        PrintBranding(out, scan, false);
        return Error(err, installer + ": a stub (no payload), not an installer; create --stub " +
                              installer + " makes one from it");
    }
    fprintf(out, "%s: stub: %s\n", installer.c_str(), StubDescription(scan).c_str());
    if (!stock_stub.empty()) {
        std::vector<uint8_t> bytes;
        StubImage stock;
        std::string problem;
        if (!ReadFileBytes(stock_stub, &bytes, 64u << 20)) {
            problem = "cannot be read";
        } else if (ParseStubImage(std::move(bytes), &stock, &problem)) {
            problem = scan.has_stub_image
                          ? StubDifference(stock, scan.stub_image)
                          : "the installer's stub has a layout qjxpack does not know";
        }
        if (problem.empty()) {
            fprintf(out,
                    "%s: the stub is %s apart from its resources (the payload's digest among "
                    "them) and its header sums\n",
                    installer.c_str(), stock_stub.c_str());
        } else {
            scan.errors.push_back("the stub is not " + stock_stub + ": " + problem);
        }
    }
    if (scan.has_stub_image) PrintLanguages(out, scan.branding);
    PrintBinding(out, installer, scan);
    CheckSignature(installer, ca_file, &scan, out);
    int status = ReportProblems(installer, scan, err);
    if (status == EXIT_OK) {
        fprintf(out, "%s: OK: %zu entries, %" PRIu64 " payload bytes; the stub extracts it all\n",
                installer.c_str(), scan.entries.size(), scan.trailer.payload_size);
    }
    return status;
}

int RunExtract(const std::string& installer, const std::string& folder, bool overwrite,
               bool progress, const std::string& ca_file, FILE* out, FILE* err) {
    InstallerScan scan;
    if (!Scan(installer, &scan, err)) return EXIT_FAILED;
    CheckSignature(installer, ca_file, &scan, nullptr);
    if (ReportProblems(installer, scan, err, "nothing extracted: ") != EXIT_OK) return EXIT_FAILED;
    if (!MakeDirectories(folder)) return Error(err, "cannot create folder " + folder);
    std::string destination = folder;
    if (!IsPathSeparator(destination.back())) destination += PathSeparator();
    ExtractProgress state = {err,
                             overwrite ? EXISTING_REPLACED : EXISTING_FOLDER_KEPT,
                             progress && scan.trailer.payload_size >= (1u << 20),
                             -1,
                             "",
                             &scan,
                             0};
    ResultCode result = ExtractPayload(&scan.trailer, installer.c_str(), destination.c_str(),
                                       OnEvent, &state, state.policy);
    if (PathSeparator() != '\\') {
        // The extractor made each folder once more under its literal name ("\\sub"); those
        // stay empty, as every file went to its translated target.
        for (size_t i = scan.entries.size(); i-- > 0;) {
            if (scan.entries[i].is_directory) RemoveEmptyFolder(destination + scan.entries[i].name);
        }
    }
    if (state.draw) fprintf(err, "\n");
    if (result != RESULT_OK) {
        std::string where = state.failed_path.empty() ? "" : " (" + state.failed_path + ")";
        return Error(err, std::string("extracting into ") + folder +
                              " failed: " + ResultText(result) + where);
    }
    fprintf(out, "%s: extracted %zu entries into %s\n", installer.c_str(), scan.entries.size(),
            folder.c_str());
    return EXIT_OK;
}

}  // namespace qjxpack
