#include "tools/pe/stub_branding.h"

#include <stdio.h>

#include "payload/payload_format.h"
#include "resources/resource_ids.h"
#include "text/utf8.h"
#include "tools/files/file_system.h"
#include "tools/installer/entry_names.h"
#include "tools/pe/language_branding.h"
#include "tools/pe/version_resource.h"
#include "tools/pictures/pictures.h"

namespace qjxpack {

namespace {

// The string-table block of the branding texts, and each text's place in it.
constexpr uint32_t BRANDING_BLOCK = IDS_BRAND_TITLE / 16 + 1;
constexpr size_t TITLE = IDS_BRAND_TITLE % 16, PACKAGE = IDS_BRAND_PACKAGE % 16,
                 TRANSFORM_DE = IDS_BRAND_TRANSFORM_GERMAN % 16,
                 TRANSFORM_JA = IDS_BRAND_TRANSFORM_JAPANESE % 16,
                 ERROR_TITLE = IDS_BRAND_ERROR_TITLE % 16;
static_assert(IDS_BRAND_ERROR_TITLE / 16 + 1 == BRANDING_BLOCK, "one block of branding texts");
constexpr uint32_t ICON_GROUP = IDI_PROGRAM;
constexpr uint32_t STUB_VERSION = IDR_STUB_VERSION;
constexpr uint32_t RT_MANIFEST_ID = 24;
constexpr uint32_t MANIFEST = 1;
constexpr size_t STRINGS_PER_BLOCK = 16;

uint32_t Le(const std::vector<uint8_t>& bytes, size_t at, size_t count) {
    return static_cast<uint32_t>(ReadLittleEndian(bytes.data() + at, count));
}

// The entries of one type and name, whatever their language.
std::vector<ResourceTable::iterator> Find(ResourceTable* table, uint32_t type, uint32_t name) {
    std::vector<ResourceTable::iterator> found;
    for (auto it = table->begin(); it != table->end(); ++it) {
        if (it->first.type == ResourceName::Id(type) && it->first.name == ResourceName::Id(name)) {
            found.push_back(it);
        }
    }
    return found;
}

const ResourceData* FindConst(const ResourceTable& table, uint32_t type, uint32_t name) {
    for (const auto& item : table) {
        if (item.first.type == ResourceName::Id(type) &&
            item.first.name == ResourceName::Id(name)) {
            return &item.second;
        }
    }
    return nullptr;
}

// Replaces a resource in the language it has (US English when new).
void SetResource(ResourceTable* table, uint32_t type, uint32_t name, std::vector<uint8_t> bytes) {
    ResourceKey key{ResourceName::Id(type), ResourceName::Id(name), LANGUAGE_US_ENGLISH};
    for (auto it : Find(table, type, name)) {
        key.language = it->first.language;
        table->erase(it);
    }
    (*table)[key].bytes = std::move(bytes);
}

}  // namespace

std::u16string ToUtf16(const std::string& text) {
    std::u16string units(text.size() + 1, u'\0');
    uint32_t written = 0;
    Utf8ToUtf16(text.data(), static_cast<uint32_t>(text.size()), &units[0],
                static_cast<uint32_t>(units.size()), &written, nullptr);
    units.resize(written);
    return units;
}

std::string ToUtf8(const std::u16string& units) {
    std::string text(units.size() * 3 + 1, '\0');
    uint32_t written = 0;
    Utf16ToUtf8(units.data(), static_cast<uint32_t>(units.size()), &text[0],
                static_cast<uint32_t>(text.size()), &written);
    text.resize(written);
    return text;
}

namespace {

// The sixteen texts of a string-table block; false when the block is damaged.
bool ReadStringBlock(const std::vector<uint8_t>& bytes, std::vector<std::u16string>* texts) {
    texts->assign(STRINGS_PER_BLOCK, std::u16string());
    size_t at = 0;
    for (std::u16string& text : *texts) {
        if (bytes.size() - at < 2) return false;
        const size_t length = Le(bytes, at, 2);
        at += 2;
        if ((bytes.size() - at) / 2 < length) return false;
        for (size_t i = 0; i < length; ++i, at += 2) {
            text.push_back(static_cast<char16_t>(Le(bytes, at, 2)));
        }
    }
    return true;
}

std::vector<uint8_t> StringBlock(const std::vector<std::u16string>& texts) {
    std::vector<uint8_t> bytes;
    for (const std::u16string& text : texts) {
        bytes.push_back(static_cast<uint8_t>(text.size()));
        bytes.push_back(static_cast<uint8_t>(text.size() >> 8));
        for (char16_t unit : text) {
            bytes.push_back(static_cast<uint8_t>(unit));
            bytes.push_back(static_cast<uint8_t>(unit >> 8));
        }
    }
    return bytes;
}

}  // namespace

// A text the version resource and the title can hold: valid UTF-8, no control characters, not
// longer than the stub reads.
std::string BrandingTextProblem(const std::string& text) {
    if (!IsValidUtf8(text.c_str()) || text.find('\0') != std::string::npos) {
        return "is not valid UTF-8";
    }
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) return "holds a control character";
    }
    const size_t units = ToUtf16(text).size();
    if (units > MAX_BRANDING_UNITS) {
        return "is " + std::to_string(units) + " UTF-16 units long; at most " +
               std::to_string(MAX_BRANDING_UNITS) + " fit";
    }
    return std::string();
}

// A launch name goes unquoted onto msiexec's command line and through the ANSI code page, and
// must be an entry name the packer accepts.
std::string LaunchNameProblem(const std::string& name) {
    for (unsigned char c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '+' || c == '-';
        if (!plain) {
            return "may hold only ASCII letters, digits and _ . + - (it goes unquoted onto "
                   "msiexec's command line, in the ANSI code page)";
        }
    }
    if (name[0] == '.' || name[0] == '+' || name[0] == '-' || name.back() == '.') {
        return "must not start with . + - or end with .";
    }
    if (name.size() + 1 > MAX_ENTRY_NAME_BYTES) {
        return "is longer than " + std::to_string(MAX_ENTRY_NAME_BYTES - 1) + " bytes";
    }
    return EntryNameProblem("\\" + name);
}

namespace {

std::string VersionText(const VersionInfo& info, const std::string& key) {
    for (const auto& text : info.strings) {
        if (text.first == key) return text.second;
    }
    return std::string();
}

// The product's name once branded: the one given, else the stub's own.
std::string ProductName(const BrandingRequest& request, const VersionInfo& info) {
    return request.product_name.empty() ? VersionText(info, "ProductName") : request.product_name;
}

void ApplyManifest(const BrandingRequest& request, const VersionInfo& info, ResourceTable* table);

// A language id, decimal or 0x-hexadecimal, of 1 to 0xFFFF; 0 when text is none.
uint32_t ParseLanguage(const std::string& text) {
    if (text.empty() || text.size() > 6) return 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    uint32_t value = 0;
    for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            digit = static_cast<uint32_t>((c | 0x20) - 'a' + 10);
        } else {
            return 0;
        }
        value = value * (hex ? 16 : 10) + digit;
    }
    return value <= 0xFFFF ? value : 0;
}

// A branded stub's version texts are the vendor's alone: each one given, else the product's own
// value, else left out; nothing of the stock stub's maker stays.
bool ApplyVersion(const BrandingRequest& request, ResourceTable* table, std::string* error) {
    auto entries = Find(table, RT_VERSION_ID, 1);
    VersionInfo info;
    if (entries.size() != 1 ||
        !ParseVersionBlock(entries[0]->second.bytes.data(), entries[0]->second.bytes.size(),
                           &info) ||
        info.table_key.size() != 8) {
        *error = "the stub has no version resource that qjxpack can rewrite";
        return false;
    }
    ApplyManifest(request, info, table);
    const std::string product = ProductName(request, info);
    const std::string file_version =
        request.version.empty() ? VersionText(info, "FileVersion") : request.version;
    const std::string product_version = !request.product_version.empty() ? request.product_version
                                        : !request.version.empty()
                                            ? request.version
                                            : VersionText(info, "ProductVersion");
    std::string description = request.description;
    if (description.empty() && !product.empty()) description = product + " Setup";
    // The fixed part's numbers: a product version of another form (a year, say) leaves them.
    uint32_t high, low;
    if (!request.version.empty()) info.file_version = info.product_version = request.version;
    if (ParseVersionNumbers(request.product_version, &high, &low)) {
        info.product_version = request.product_version;
    }
    if (!request.version_language.empty()) {
        char key[9];
        snprintf(key, sizeof key, "%04X04B0", ParseLanguage(request.version_language));
        info.table_key = key;
    }
    const std::pair<const char*, std::string> texts[] = {
        {"Comments", request.comments},
        {"CompanyName", request.company},
        {"FileDescription", description},
        {"FileVersion", file_version},
        {"InternalName", request.internal_name},
        {"LegalCopyright", request.copyright},
        {"LegalTrademarks", request.trademarks},
        {"OriginalFilename", request.original_filename},
        {"ProductName", product},
        {"ProductVersion", product_version}};
    info.strings.clear();
    for (const auto& text : texts) {
        if (!text.second.empty()) info.strings.emplace_back(text.first, text.second);
    }
    entries[0]->second.bytes = BuildVersionBlock(info);
    return true;
}

// text as an XML attribute value or element content.
std::string XmlEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&apos;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// The letters, digits and . _ - of text, which an assembly's name may hold; each run of
// anything else becomes one '-', and none leads or ends it.
std::string IdentityPart(const std::string& text) {
    std::string part;
    bool gap = false;
    for (unsigned char c : text) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!kept) {
            gap = true;
            continue;
        }
        if (gap && !part.empty()) part += '-';
        gap = false;
        part += static_cast<char>(c);
    }
    while (!part.empty() && (part.back() == '.' || part.back() == '-')) part.pop_back();
    while (!part.empty() && (part[0] == '.' || part[0] == '-')) part.erase(0, 1);
    return part;
}

// Replaces what lies between the first from and the next to after it; false when either is
// missing.
bool ReplaceBetween(std::string* text, size_t start, const std::string& from, const std::string& to,
                    const std::string& value) {
    const size_t begin = text->find(from, start);
    if (begin == std::string::npos) return false;
    const size_t end = text->find(to, begin + from.size());
    if (end == std::string::npos) return false;
    text->replace(begin + from.size(), end - begin - from.size(), value);
    return true;
}

// The manifest names the program: its identity (company.product.Setup) and description become
// the vendor's. A manifest without them is left as it is.
void ApplyManifest(const BrandingRequest& request, const VersionInfo& info, ResourceTable* table) {
    for (auto entry : Find(table, RT_MANIFEST_ID, MANIFEST)) {
        std::string text(entry->second.bytes.begin(), entry->second.bytes.end());
        const size_t identity = text.find("<assemblyIdentity");
        if (identity == std::string::npos) continue;
        std::string name;
        for (const std::string& part :
             {IdentityPart(request.company), IdentityPart(ProductName(request, info))}) {
            if (!part.empty()) name += part + ".";
        }
        name += "Setup";
        ReplaceBetween(&text, identity, " name=\"", "\"", name);
        uint32_t high, low;
        if (ParseVersionNumbers(request.version, &high, &low)) {
            ReplaceBetween(&text, identity, " version=\"", "\"", request.version);
        }
        std::string description = request.description;
        if (description.empty()) description = ProductName(request, info) + " Setup";
        ReplaceBetween(&text, 0, "<description>", "</description>", XmlEscaped(description));
        entry->second.bytes.assign(text.begin(), text.end());
    }
}

void ApplyStrings(const BrandingRequest& request, ResourceTable* table) {
    std::vector<std::u16string> texts(STRINGS_PER_BLOCK);
    auto entries = Find(table, RT_STRING_ID, BRANDING_BLOCK);
    if (!entries.empty()) ReadStringBlock(entries[0]->second.bytes, &texts);
    const std::pair<size_t, const std::string*> given[] = {{TITLE, &request.product_name},
                                                           {ERROR_TITLE, &request.product_name},
                                                           {PACKAGE, &request.package},
                                                           {TRANSFORM_DE, &request.transform_de},
                                                           {TRANSFORM_JA, &request.transform_ja}};
    bool changed = false;
    for (const auto& text : given) {
        if (text.second->empty()) continue;
        texts[text.first] = ToUtf16(*text.second);
        changed = true;
    }
    if (changed) SetResource(table, RT_STRING_ID, BRANDING_BLOCK, StringBlock(texts));
}

// An .ico file's images become the icon group's, under the lowest free icon ids.
bool ApplyIcon(const std::string& path, ResourceTable* table, std::string* error) {
    std::vector<uint8_t> file;
    if (!ReadFileBytes(path, &file, 16u << 20)) {
        *error = "--icon " + path + ": cannot be read";
        return false;
    }
    auto refuse = [&](const std::string& why) {
        *error = "--icon " + path + ": " + why;
        return false;
    };
    if (file.size() < 6 || Le(file, 0, 2) != 0 || Le(file, 2, 2) != 1 || Le(file, 4, 2) == 0) {
        return refuse("not an icon file (.ico)");
    }
    const size_t count = Le(file, 4, 2);
    if (file.size() < 6 + 16 * count) return refuse("cut short");
    // The old group's images go with it.
    for (auto group : Find(table, RT_GROUP_ICON_ID, ICON_GROUP)) {
        const std::vector<uint8_t>& bytes = group->second.bytes;
        for (size_t i = 0;
             bytes.size() >= 6 && i < Le(bytes, 4, 2) && 6 + 14 * (i + 1) <= bytes.size(); ++i) {
            for (auto image : Find(table, RT_ICON_ID, Le(bytes, 6 + 14 * i + 12, 2))) {
                table->erase(image);
            }
        }
    }
    std::vector<uint8_t> group(file.begin(), file.begin() + 6);
    uint32_t id = 1;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * i;
        const uint32_t size = Le(file, entry + 8, 4);
        const uint32_t offset = Le(file, entry + 12, 4);
        if (size == 0 || offset > file.size() || size > file.size() - offset) {
            return refuse("image " + std::to_string(i + 1) + " lies outside the file");
        }
        while (!Find(table, RT_ICON_ID, id).empty()) ++id;
        if (id > 0xFFFF) return refuse("too many images");
        SetResource(table, RT_ICON_ID, id,
                    std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + size));
        group.insert(group.end(), file.begin() + static_cast<std::ptrdiff_t>(entry),
                     file.begin() + static_cast<std::ptrdiff_t>(entry + 12));
        group.push_back(static_cast<uint8_t>(id));
        group.push_back(static_cast<uint8_t>(id >> 8));
    }
    SetResource(table, RT_GROUP_ICON_ID, ICON_GROUP, group);
    return true;
}

}  // namespace

bool BrandingRequest::Empty() const {
    return product_name.empty() && company.empty() && description.empty() && copyright.empty() &&
           version.empty() && package.empty() && transform_de.empty() && transform_ja.empty() &&
           icon.empty() && pictures.empty() && original_filename.empty() && internal_name.empty() &&
           comments.empty() && trademarks.empty() && product_version.empty() &&
           version_language.empty() && !HasLanguageList();
}

std::string BrandingValueProblem(const BrandingRequest& request) {
    const std::pair<const char*, const std::string*> texts[] = {
        {"--product-name", &request.product_name},
        {"--company", &request.company},
        {"--description", &request.description},
        {"--copyright", &request.copyright},
        {"--original-filename", &request.original_filename},
        {"--internal-name", &request.internal_name},
        {"--comments", &request.comments},
        {"--trademarks", &request.trademarks},
        {"--product-version", &request.product_version}};
    for (const auto& text : texts) {
        if (text.second->empty()) continue;
        const std::string problem = BrandingTextProblem(*text.second);
        if (!problem.empty()) {
            return std::string(text.first) + " \"" + PrintableName(*text.second) + "\" " + problem;
        }
    }
    const std::pair<const char*, const std::string*> names[] = {
        {"--package", &request.package},
        {"--transform de=", &request.transform_de},
        {"--transform ja=", &request.transform_ja}};
    for (const auto& name : names) {
        if (name.second->empty()) continue;
        const std::string problem = LaunchNameProblem(*name.second);
        if (!problem.empty()) {
            const std::string option = name.first;
            return option + (option.back() == '=' ? "" : " ") + PrintableName(*name.second) +
                   ": the name " + problem;
        }
    }
    uint32_t high, low;
    if (!request.version.empty() && !ParseVersionNumbers(request.version, &high, &low)) {
        return "--version " + PrintableName(request.version) +
               ": give four numbers of 0 to 65535, as 1.2.3.4";
    }
    if (!request.version_language.empty() && ParseLanguage(request.version_language) == 0) {
        return "--version-language " + PrintableName(request.version_language) +
               ": give a language id of 1 to 65535, as 1033 or 0x0409 (US English)";
    }
    return LanguageValueProblem(request);
}

bool ApplyBranding(const BrandingRequest& request, ResourceTable* table,
                   std::vector<std::string>* warnings, std::string* error) {
    *error = BrandingValueProblem(request);
    if (!error->empty()) return false;
    const bool names_given = !request.product_name.empty() || !request.package.empty() ||
                             !request.transform_de.empty() || !request.transform_ja.empty();
    if (names_given && Find(table, RT_STRING_ID, BRANDING_BLOCK).empty()) {
        *error = "the stub predates the title and launch names in its resources; use a newer stub";
        return false;
    }
    ApplyStrings(request, table);
    if (!ApplyVersion(request, table, error)) return false;
    if (!request.icon.empty() && !ApplyIcon(request.icon, table, error)) return false;
    std::vector<std::string> codes;
    for (const LanguageOption& language : request.languages) codes.push_back(language.code);
    bool language_pictures = false;
    if (!request.pictures.empty() &&
        !ApplyPictures(request.pictures, codes, table, warnings, error, &language_pictures)) {
        return false;
    }
    return ApplyLanguages(request, language_pictures, table, warnings, error);
}

bool IconHasBmpImage(const ResourceTable& table) {
    const ResourceData* group = FindConst(table, RT_GROUP_ICON_ID, ICON_GROUP);
    if (group == nullptr) return false;
    const std::vector<uint8_t>& bytes = group->bytes;
    for (size_t i = 0; bytes.size() >= 6 && i < Le(bytes, 4, 2) && 6 + 14 * (i + 1) <= bytes.size();
         ++i) {
        const ResourceData* image = FindConst(table, RT_ICON_ID, Le(bytes, 6 + 14 * i + 12, 2));
        static const uint8_t PNG[4] = {0x89, 'P', 'N', 'G'};
        if (image != nullptr &&
            (image->bytes.size() < 4 || !std::equal(PNG, PNG + 4, image->bytes.begin()))) {
            return true;
        }
    }
    return false;
}

StubBranding ReadStubBranding(const ResourceTable& table) {
    StubBranding branding;
    std::vector<std::u16string> texts;
    const ResourceData* block = FindConst(table, RT_STRING_ID, BRANDING_BLOCK);
    if (block != nullptr && ReadStringBlock(block->bytes, &texts)) {
        branding.has_launch_names = true;
        branding.title = ToUtf8(texts[TITLE]);
        branding.error_title = ToUtf8(texts[ERROR_TITLE]);
        branding.package = ToUtf8(texts[PACKAGE]);
        branding.transform_de = ToUtf8(texts[TRANSFORM_DE]);
        branding.transform_ja = ToUtf8(texts[TRANSFORM_JA]);
    }
    if (const ResourceData* version = FindConst(table, RT_RCDATA_ID, STUB_VERSION)) {
        for (uint8_t c : version->bytes) {
            if (c == 0) break;
            branding.stub_version += static_cast<char>(c);
        }
    }
    if (const ResourceData* group = FindConst(table, RT_GROUP_ICON_ID, ICON_GROUP)) {
        const std::vector<uint8_t>& bytes = group->bytes;
        for (size_t i = 0;
             bytes.size() >= 6 && i < Le(bytes, 4, 2) && 6 + 14 * (i + 1) <= bytes.size(); ++i) {
            const size_t entry = 6 + 14 * i;
            const uint32_t width = bytes[entry] == 0 ? 256 : bytes[entry];
            const uint32_t height = bytes[entry + 1] == 0 ? 256 : bytes[entry + 1];
            branding.icon_sizes.push_back(std::to_string(width) + "x" + std::to_string(height) +
                                          ", " + std::to_string(Le(bytes, entry + 6, 2)) + " bits");
        }
    }
    for (const auto& item : table) {
        const std::vector<uint8_t>& bytes = item.second.bytes;
        if (!(item.first.type == ResourceName::Id(RT_BITMAP_ID)) || bytes.size() < 20) continue;
        PictureInfo picture;
        picture.id = item.first.name.id;
        picture.width = static_cast<int32_t>(Le(bytes, 4, 4));
        picture.height = static_cast<int32_t>(Le(bytes, 8, 4));
        picture.bits = Le(bytes, 14, 2);
        picture.compressed = Le(bytes, 16, 4) != 0;
        branding.pictures.push_back(picture);
    }
    ReadLanguageBranding(table, &branding);
    return branding;
}

std::vector<std::string> MissingLaunchNames(const StubBranding& branding,
                                            const std::set<std::string>& root_files) {
    std::vector<std::string> missing;
    struct Launch {
        std::string name;
        std::string use;
        std::string option;
    };
    std::vector<Launch> launches = {
        {branding.package, "the package every language button installs", "--package NAME"}};
    if (branding.languages.empty()) {
        launches.push_back(
            {branding.transform_de, "the German button's transform", "--transform de=NAME"});
        launches.push_back(
            {branding.transform_ja, "the Japanese button's transform", "--transform ja=NAME"});
    }
    // A vendor's buttons replace the stock three, and their transforms with them.
    for (const LanguageOption& language : branding.languages) {
        launches.push_back({language.transform,
                            "the transform of the " + language.code + " button (" +
                                PrintableName(language.text) + ")",
                            "--transform " + language.code + "=NAME"});
    }
    for (const Launch& launch : launches) {
        if (launch.name.empty() || root_files.count(FoldCase("\\" + launch.name)) != 0) continue;
        missing.push_back("the payload has no \"" + PrintableName(launch.name) +
                          "\" at its root, " + launch.use + ": add it, or name another with " +
                          launch.option);
    }
    return missing;
}

bool LoadStubImage(std::vector<uint8_t> bytes, StubImage* image, ResourceTable* table,
                   std::string* error) {
    return ParseStubImage(std::move(bytes), image, error) && ReadResources(*image, table, error);
}

}  // namespace qjxpack
