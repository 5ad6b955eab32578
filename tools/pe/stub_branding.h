// A vendor's branding written into a copy of the released stub's resources, and read back from
// any stub or installer: the version resource, the title and launch names (one string-table
// block the stub reads at run time), the icon group and the window pictures. The stub's own
// version (RCDATA) is never touched.
#pragma once

#include <stdint.h>

#include <set>
#include <string>
#include <vector>

#include "text/language_list.h"
#include "tools/installer/entry_names.h"
#include "tools/pe/pe_resources.h"

namespace qjxpack {

// A vendor's language button (--language CODE=TEXT, --transform CODE=NAME), texts in UTF-8.
struct LanguageOption {
    std::string code;
    std::string text;
    std::string transform;  // empty: the package as it is
};

// Texts in UTF-8. Branded at all, the version resource and the manifest name the vendor alone:
// an empty text follows the product's (the stub's product name, FileDescription "NAME Setup")
// or is left out.
struct BrandingRequest {
    std::string product_name;  // the window title and ProductName
    std::string company;
    std::string description;  // FileDescription; with only a product name: "<product> Setup"
    std::string copyright;
    std::string version;  // a.b.c.d: file and product version, numbers and texts
    std::string package;
    std::string transform_de;
    std::string transform_ja;
    std::string icon;      // an .ico file whose images replace the icon group
    std::string pictures;  // a folder of pictures (tools/pictures.h)
    // The version resource's other texts; empty ones are left out of a branded stub.
    std::string original_filename;
    std::string internal_name;
    std::string comments;
    std::string trademarks;
    std::string product_version;   // text; default: the version. As a.b.c.d, also the number
    std::string version_language;  // LANGID of the version texts, decimal or 0x...
    // The buttons, in order (tools/pe/language_branding.h); none: the stock three. With them,
    // transform_de and transform_ja stay empty: a listed language carries its own.
    std::vector<LanguageOption> languages;
    std::string caption;         // the caption over the buttons
    std::string caption_colour;  // RRGGBB

    bool Empty() const;
    // Whether the request writes the languages resource (text/language_list.h).
    bool HasLanguageList() const {
        return !languages.empty() || !caption.empty() || !caption_colour.empty();
    }
};

// The longest title or name the stub reads (its buffer less the terminator and a unit that
// tells a cut text from a whole one).
constexpr size_t MAX_BRANDING_UNITS = 258;

// Empty when text is valid UTF-8 without control characters and fits the stub's branding
// buffers, else what is wrong with it ("is not valid UTF-8").
std::string BrandingTextProblem(const std::string& text);
// Empty when name can go onto msiexec's command line as a package or transform, else why not.
std::string LaunchNameProblem(const std::string& name);
std::u16string ToUtf16(const std::string& text);
std::string ToUtf8(const std::u16string& units);

// What is wrong with the request's values themselves (texts, names, the version), naming the
// option; empty when nothing is. A command line's problem, found before any file is read.
std::string BrandingValueProblem(const BrandingRequest& request);

// Applies request to a stub's resources; false with *error naming the option and the problem.
// What it takes but changes (dropped transparency, files it leaves out) goes to *warnings.
bool ApplyBranding(const BrandingRequest& request, ResourceTable* table,
                   std::vector<std::string>* warnings, std::string* error);

// Whether the icon group holds an image in the BMP format (not PNG), which Windows XP and the
// 9x family need to show an icon at all.
bool IconHasBmpImage(const ResourceTable& table);

struct PictureInfo {
    uint32_t id = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t bits = 0;
    bool compressed = false;
};

// What list and verify show, and what the launch check needs.
struct StubBranding {
    bool has_launch_names = false;  // false: a stub older than branding through resources
    std::string title;
    std::string error_title;  // empty: the stub's own
    std::string package;
    std::string transform_de;
    std::string transform_ja;
    std::string stub_version;             // empty when the stub has none
    std::vector<std::string> icon_sizes;  // "32x32, 8 bits", in the group's order
    std::vector<PictureInfo> pictures;
    // The languages resource, when the stub carries one; a damaged one reads as the stock list,
    // as the stub reads it.
    bool has_language_list = false;
    bool language_list_damaged = false;
    std::vector<LanguageOption> languages;
    std::string caption;                                // empty: the stock caption
    uint32_t caption_colour = LANGUAGE_DEFAULT_COLOUR;  // 0x00RRGGBB
    bool language_pictures = false;
};

StubBranding ReadStubBranding(const ResourceTable& table);

// The names of a payload's files at its root ("\\NAME"), folded as Windows compares them.
template <typename Entries>
std::set<std::string> RootFileNames(const Entries& entries) {
    std::set<std::string> names;
    for (const auto& entry : entries) {
        if (!entry.is_directory && entry.name.find('\\', 1) == std::string::npos) {
            names.insert(FoldCase(entry.name));
        }
    }
    return names;
}

// One line per launch name that the payload lacks at its root (root_files: from
// RootFileNames), each naming the option that changes it.
std::vector<std::string> MissingLaunchNames(const StubBranding& branding,
                                            const std::set<std::string>& root_files);

// Reads a stub (or the stub part of an installer) and its resources.
bool LoadStubImage(std::vector<uint8_t> bytes, StubImage* image, ResourceTable* table,
                   std::string* error);

}  // namespace qjxpack
