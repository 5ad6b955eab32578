// Writes a small seed corpus for one fuzz target:
// make_fuzz_seeds decode|encode|extract|resources|sha256|languages FOLDER
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "payload/payload_writer.h"
#include "tools/pe/language_branding.h"
#include "tools/pe/pe_resources.h"

namespace {

void WriteSeed(const std::string& folder, int number, const std::string& bytes) {
    const std::string path = folder + "/seed" + std::to_string(number);
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) return;
    fwrite(bytes.data(), 1, bytes.size(), out);
    fclose(out);
}

struct Entry {
    const char* name;
    std::string data;
    bool directory;
};

// The extract target's input: flags, stop, delta, image length, payload.
std::string ExtractSeed(uint8_t flags, uint8_t stop, uint8_t delta,
                        const std::vector<Entry>& entries) {
    FILE* file = tmpfile();
    PayloadWriter writer;
    BeginPayload(&writer, file);
    for (const Entry& entry : entries) {
        if (entry.directory) {
            AddDirectoryEntry(&writer, entry.name);
        } else {
            AddMemoryEntry(&writer, entry.name, entry.data.data(), entry.data.size());
        }
    }
    fflush(file);
    std::string bytes = {static_cast<char>(flags), static_cast<char>(stop),
                         static_cast<char>(delta), 3};
    rewind(file);
    char piece[4096];
    size_t n;
    while ((n = fread(piece, 1, sizeof piece, file)) > 0) bytes.append(piece, n);
    fclose(file);
    return bytes;
}

// A language list of (code, text, transform) triples.
struct Language {
    const char* code;
    const char16_t* text;
    const char16_t* transform;
};

std::string LanguageSeed(const std::vector<Language>& languages, const char16_t* caption,
                         uint32_t colour) {
    LanguageList list;
    ClearLanguageList(&list);
    list.caption_colour = colour;
    memcpy(list.caption, caption, (std::char_traits<char16_t>::length(caption) + 1) * 2);
    for (const Language& language : languages) {
        LanguageEntry& entry = list.entries[list.count++];
        memcpy(entry.code, language.code, strlen(language.code) + 1);
        memcpy(entry.text, language.text,
               (std::char_traits<char16_t>::length(language.text) + 1) * 2);
        memcpy(entry.transform, language.transform,
               (std::char_traits<char16_t>::length(language.transform) + 1) * 2);
    }
    const std::vector<uint8_t> bytes = qjxpack::SerializeLanguageList(list);
    return std::string(bytes.begin(), bytes.end());
}

std::string Data(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7 + i / 300);
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr,
                "usage: make_fuzz_seeds decode|encode|extract|resources|sha256|languages FOLDER\n");
        return 2;
    }
    const std::string kind = argv[1], folder = argv[2];
    if (kind == "decode") {
        const char* texts[] = {
            "\x20"
            "caf\xC3\xA9",
            "\x04"
            "\xF0\x9F\x98\x80\xE2\x82\xAC",
            "\x10"
            "ab\x80"
            "c",
            "\x02"
            "\xED\xA0\x80\xF4\x8F\xBF\xBF"};
        for (size_t i = 0; i < sizeof texts / sizeof *texts; ++i)
            WriteSeed(folder, static_cast<int>(i), texts[i]);
    } else if (kind == "encode") {
        const std::string units[] = {std::string("\x20\x00"
                                                 "a\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE",
                                                 12),
                                     std::string("\x03\x00"
                                                 "a\0\x00\xD8"
                                                 "b\0",
                                                 8)};
        for (size_t i = 0; i < 2; ++i) WriteSeed(folder, static_cast<int>(i), units[i]);
    } else if (kind == "extract") {
        const std::vector<Entry> tree = {{"/sub", "", true},
                                         {"/sub/a.txt", "hello", false},
                                         {"/empty", "", false},
                                         {"/big", Data(6000), false}};
        WriteSeed(folder, 0, ExtractSeed(1, 0, 0, tree));
        WriteSeed(folder, 1, ExtractSeed(0, 0, 0, tree));
        WriteSeed(folder, 2, ExtractSeed(1, 2, 0, {{"/big", Data(12000), false}}));
        WriteSeed(folder, 3, ExtractSeed(1 | 2, 0, 5, tree));
        WriteSeed(folder, 4, ExtractSeed(1 | 4, 0, 40, tree));
        WriteSeed(folder, 5, ExtractSeed(1, 0, 0, {{"/ok", "1", false}, {"/../up", "x", false}}));
        const std::string long_name = "/" + std::string(300, 'n');
        WriteSeed(folder, 6,
                  ExtractSeed(1, 0, 0, {{"/x", "1", false}, {long_name.c_str(), "x", false}}));
        WriteSeed(folder, 7,
                  ExtractSeed(1, 0, 0, {{"/keep", "1", false}, {"/keep\xFF", "2", false}}));
        // New tree and no overwrite: a folder named twice, a second file to the one target.
        const std::vector<Entry> again = {
            {"/d", "", true}, {"/d/", "", true}, {"/f", "1", false}, {"/g", "2", false}};
        WriteSeed(folder, 8, ExtractSeed(1 | 8, 0, 0, again));
        WriteSeed(folder, 9, ExtractSeed(1 | 16, 0, 0, again));
        // Names no file may have: each stops the extraction as a damaged payload.
        WriteSeed(folder, 10,
                  ExtractSeed(1, 0, 0,
                              {{"/ok", "1", false},
                               {"/line\nbreak", "x", false},
                               {"/a<b", "x", false},
                               {"/COM\xC2\xB9.txt", "x", false}}));
    } else if (kind == "sha256") {
        // Piece sizes, then messages around the block's end and across blocks.
        WriteSeed(folder, 0, std::string(1, '\0') + "abc");
        WriteSeed(folder, 1, std::string(1, '\x37') + std::string(55, 'a'));
        WriteSeed(folder, 2, std::string(1, '\xFF') + std::string(200, 'q'));
    } else if (kind == "languages") {
        // The stock list, a vendor's five with scripts beyond Latin and a caption, and the
        // most a list may hold.
        WriteSeed(folder, 0, LanguageSeed({}, u"", LANGUAGE_DEFAULT_COLOUR));
        WriteSeed(folder, 1,
                  LanguageSeed({{"en", u"English", u""},
                                {"fr", u"Fran\u00e7ais", u"Korrin_fr.mst"},
                                {"zh-Hans", u"\u7b80\u4f53\u4e2d\u6587", u"Korrin_zh.mst"},
                                {"ar", u"\u0627\u0644\u0639\u0631\u0628\u064a\u0629", u"ar.mst"},
                                {"pt-BR", u"&Portugu\u00eas (Brasil)", u"pt.mst"}},
                               u"Choisissez :", 0x00FFFFFF));
        std::vector<Language> eight;
        const char* codes[] = {"en", "de", "ja", "pl", "es", "it", "zh-Hant", "sr-Latn-RS"};
        for (const char* code : codes) eight.push_back({code, u"A && B", u"t.mst"});
        WriteSeed(folder, 2, LanguageSeed(eight, u"", 0x00123456));
    } else if (kind == "resources") {
        // A stub's kinds of resources: the branding block, a version block, an icon group, a
        // named one; small data, as the fuzzer's inputs are.
        using qjxpack::ResourceName;
        qjxpack::ResourceTable table;
        auto add = [&table](ResourceName type, ResourceName name, const std::string& data) {
            table[{type, name, 1033}].bytes.assign(data.begin(), data.end());
        };
        add(ResourceName::Id(qjxpack::RT_STRING_ID), ResourceName::Id(321),
            std::string("\3\0V\0e\0l\0", 8) + std::string(30, '\0'));
        add(ResourceName::Id(qjxpack::RT_RCDATA_ID), ResourceName::Id(201), "1.0.0");
        add(ResourceName::Id(qjxpack::RT_GROUP_ICON_ID), ResourceName::Id(99),
            std::string("\0\0\1\0\1\0\x20\x20\0\0\1\0\4\0\x10\0\0\0\1\0", 20));
        ResourceName named;
        named.text = u"NAMED";
        add(named, ResourceName::Id(1), "x");
        const std::vector<uint8_t> section = qjxpack::BuildResourceSection(table, 0x11000);
        WriteSeed(folder, 0, std::string(section.begin(), section.end()));
    } else {
        return 2;
    }
    return 0;
}
