// Branding a real stub: the resource writer's image (layout, sorting, determinism, refusals),
// every field read back through list's scan, the launch-name checks of create and verify, the
// picture conversion (colour limits, derived backgrounds, RLE8), and a vendor's languages (their
// checks, the resource, their pictures, the caption's contrast).
#include <gtest/gtest.h>

#include "packer_test_support.h"
#include "payload/payload_digest.h"
#include "payload/payload_format.h"
#include "tools/cli/commands.h"
#include "tools/installer/installer_scan.h"
#include "tools/pe/language_branding.h"
#include "tools/pe/pe_checksum.h"
#include "tools/pe/pe_resources.h"
#include "tools/pe/stub_branding.h"
#include "tools/pictures/pictures.h"

using packer_test::Captured;
using packer_test::ReadWholeFile;
using packer_test::ScratchFolder;
using qjxpack::ResourceName;
using qjxpack::ResourceTable;
using qjxpack::StubImage;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(ReadLittleEndian(bytes.data() + at, 4));
}

// A 24-bit BMP file of the given pixels (0xRRGGBB, rows top-down).
std::string BmpFile(int width, int height, const std::vector<uint32_t>& pixels) {
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> file(54 + stride * static_cast<size_t>(height), 0);
    file[0] = 'B';
    file[1] = 'M';
    WriteLittleEndian(file.size(), file.data() + 2, 4);
    WriteLittleEndian(54, file.data() + 10, 4);
    WriteLittleEndian(40, file.data() + 14, 4);
    WriteLittleEndian(static_cast<uint64_t>(width), file.data() + 18, 4);
    WriteLittleEndian(static_cast<uint64_t>(height), file.data() + 22, 4);
    WriteLittleEndian(1, file.data() + 26, 2);
    WriteLittleEndian(24, file.data() + 28, 2);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = file.data() + 54 + stride * static_cast<size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = pixels[static_cast<size_t>(y * width + x)];
            row[x * 3] = static_cast<uint8_t>(pixel);
            row[x * 3 + 1] = static_cast<uint8_t>(pixel >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(pixel >> 16);
        }
    }
    return std::string(file.begin(), file.end());
}

// A picture of width x height in colours different colours (a gradient of blues).
std::string Picture(int width, int height, int colours) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = 0x203000u + static_cast<uint32_t>(static_cast<int>(i) % colours);
    }
    return BmpFile(width, height, pixels);
}

// The rows of colour indices an RLE8 stream decodes to.
std::vector<uint8_t> DecodeRle8(const std::vector<uint8_t>& data, int width, int height) {
    std::vector<uint8_t> rows(static_cast<size_t>(width * height), 0xEE);
    size_t at = 0, x = 0, y = 0;
    while (at + 1 < data.size()) {
        const uint8_t count = data[at], value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i) rows.at(y * static_cast<size_t>(width) + x++) = value;
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            EXPECT_EQ(at, data.size()) << "data after the end of the bitmap";
            return rows;
        } else {
            EXPECT_GE(value, 3) << "absolute runs are 3 pixels or more";
            for (int i = 0; i < value; ++i) {
                rows.at(y * static_cast<size_t>(width) + x++) = data.at(at++);
            }
            at += value % 2;
        }
    }
    ADD_FAILURE() << "no end of bitmap";
    return rows;
}

class BrandingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        stub_ = ReadWholeFile(QJX_TEST_STUB);
        if (stub_.empty()) GTEST_SKIP() << "no stub at " << QJX_TEST_STUB << " (build win32)";
        stub_path_ = scratch_.Write("stub.exe", stub_);
    }

    StubImage Image(const std::string& bytes) {
        StubImage image;
        std::string error;
        EXPECT_TRUE(qjxpack::ParseStubImage(Bytes(bytes), &image, &error)) << error;
        return image;
    }

    ResourceTable Table(const StubImage& image) {
        ResourceTable table;
        std::string error;
        EXPECT_TRUE(qjxpack::ReadResources(image, &table, &error)) << error;
        return table;
    }

    // The launch names' files at the payload's root, under the names given.
    std::string Payload(const std::string& package, const std::string& de, const std::string& ja) {
        const std::string folder = "payload_" + std::to_string(++payloads_);
        for (const std::string& name : {package, de, ja}) {
            if (!name.empty()) scratch_.Write(folder + "/" + name, name);
        }
        scratch_.Write(folder + "/docs/readme.txt", "read me");
        return scratch_.At(folder) + "/.";
    }

    Captured Create(const qjxpack::CreateRequest& request) {
        return packer_test::Capture(
            scratch_, [&](FILE* out, FILE* err) { return qjxpack::RunCreate(request, out, err); });
    }

    qjxpack::CreateRequest Request(const std::string& input) {
        qjxpack::CreateRequest request;
        request.stub = stub_path_;
        request.output = scratch_.At("Setup.exe");
        request.inputs = {input};
        return request;
    }

    // A folder with every 96-DPI picture but the 1- and 4-bit backgrounds.
    std::string Pictures() {
        for (const qjxpack::PictureRule& rule : qjxpack::PictureRules()) {
            if (rule.id < 105 || rule.rle) continue;
            scratch_.Write(std::string("pictures/") + rule.name + ".bmp",
                           Picture(rule.width, rule.height, rule.id == 105 ? 200 : 30));
        }
        return scratch_.At("pictures");
    }

    ScratchFolder scratch_;
    std::string stub_;
    std::string stub_path_;
    int payloads_ = 0;
};

}  // namespace

// Rewriting the stub's own resources keeps the layout the loader needs and everything else.
TEST_F(BrandingTest, RebuiltImageKeepsCodeRelocationsAndASortedValidTree) {
    for (const std::string& path : {std::string(QJX_TEST_STUB), std::string(QJX_TEST_STUB_X64)}) {
        SCOPED_TRACE(path);
        const std::string original = ReadWholeFile(path);
        if (original.empty()) continue;  // the other tree is not built
        const StubImage stock = Image(original);
        EXPECT_TRUE(qjxpack::HasValidChecksum(stock));
        ResourceTable table = Table(stock);
        // Grow the section by more than a file alignment, so that .reloc has to move.
        table[{ResourceName::Id(qjxpack::RT_RCDATA_ID), ResourceName::Id(300), 1033}].bytes.assign(
            5000, 7);
        const std::vector<uint8_t> rebuilt = qjxpack::WithResources(stock, table);
        const StubImage image = Image(std::string(rebuilt.begin(), rebuilt.end()));
        EXPECT_TRUE(qjxpack::HasValidChecksum(image));
        EXPECT_GT(image.reloc_raw, stock.reloc_raw);
        EXPECT_GT(image.reloc_rva, stock.reloc_rva);
        EXPECT_EQ(qjxpack::StubDifference(stock, image), "");
        EXPECT_EQ(Table(image), table);
        // The root's type ids ascend, as the loader's binary search needs.
        const std::vector<uint8_t>& bytes = image.bytes;
        const size_t root = image.rsrc_raw;
        const uint32_t count = Le32(bytes, root + 12) >> 16;
        for (uint32_t i = 1; i < count; ++i) {
            EXPECT_LT(Le32(bytes, root + 16 + (i - 1) * 8), Le32(bytes, root + 16 + i * 8));
        }
        // A changed code byte is not "apart from its resources".
        std::string patched = original;
        patched[0x400] = static_cast<char>(patched[0x400] ^ 1);
        EXPECT_NE(qjxpack::StubDifference(stock, Image(patched)), "");
    }
}

TEST_F(BrandingTest, NamedResourcesComeFirstAndReadBack) {
    const StubImage stock = Image(stub_);
    ResourceTable table = Table(stock);
    ResourceName named;
    named.text = u"ZETA";
    table[{ResourceName::Id(qjxpack::RT_RCDATA_ID), named, 1033}].bytes = {1, 2, 3};
    named.text = u"ALPHA";
    table[{named, ResourceName::Id(1), 0}].bytes = {4};
    const std::vector<uint8_t> rebuilt = qjxpack::WithResources(stock, table);
    const StubImage image = Image(std::string(rebuilt.begin(), rebuilt.end()));
    EXPECT_EQ(Table(image), table);
    EXPECT_EQ(Le32(image.bytes, image.rsrc_raw + 12) & 0xFFFF, 1u) << "one named type";
    EXPECT_NE(Le32(image.bytes, image.rsrc_raw + 16) & 0x80000000u, 0u);
}

TEST_F(BrandingTest, RefusesALayoutItDoesNotKnow) {
    const StubImage stock = Image(stub_);
    auto refused = [this](const std::string& bytes) {
        StubImage image;
        std::string error;
        EXPECT_FALSE(qjxpack::ParseStubImage(Bytes(bytes), &image, &error));
        EXPECT_NE(error.find("unknown stub layout"), std::string::npos) << error;
    };
    refused(stub_ + "overlay");  // data after .reloc
    std::string renamed = stub_;
    renamed[stock.reloc_header + 1] = 'X';  // .reloc is not the last section
    refused(renamed);
    std::string pointing = stub_;  // the import directory pointing into .rsrc
    WriteLittleEndian(stock.rsrc_rva + 16,
                      reinterpret_cast<uint8_t*>(&pointing[stock.directories + 8]), 4);
    refused(pointing);
    refused("MZ just text");

    // A stub changed after its build (the checksum no longer matches) is not branded.
    std::string changed = stub_;
    changed[0x400] = static_cast<char>(changed[0x400] ^ 1);
    qjxpack::CreateRequest request =
        Request(Payload("Velmora.msi", "Velmora_German.mst", "Velmora_Japanese.mst"));
    request.stub = scratch_.Write("changed.exe", changed);
    request.branding.product_name = "Korrin";
    Captured result = Create(request);
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find("CheckSum does not match"), std::string::npos) << result.err;
}

// The whole round trip: brand through create, read every field back; unbranded keeps the stub.
TEST_F(BrandingTest, CreateBrandsEveryFieldAndListReadsThemBack) {
    const std::string input = Payload("Korrin.msi", "korrin_DE.mst", "Korrin_ja.mst");
    qjxpack::CreateRequest request = Request(input);
    qjxpack::BrandingRequest& branding = request.branding;
    branding.product_name = "Korrin Suite ダウンロード";
    branding.company = "Korrin Läbs";
    branding.copyright = "© 2026 Korrin";
    branding.version = "2.10.300.65535";
    branding.product_version = "2026 R1";
    branding.original_filename = "KorrinSetup.exe";
    branding.internal_name = "KorrinSetup";
    branding.comments = "Built <nightly> & signed";
    branding.trademarks = "Korrin™";
    branding.version_language = "0x0407";
    branding.package = "Korrin.msi";
    branding.transform_de = "Korrin_de.mst";  // matches korrin_DE.mst: names ignore case
    branding.transform_ja = "Korrin_ja.mst";
    // An icon of two images: 48 x 48 and 256 x 256 (width 0).
    std::string icon("\0\0\1\0\2\0", 6);
    auto entry = [&icon](char size, uint32_t bytes, uint32_t offset) {
        icon += std::string(1, size) + std::string(1, size) + std::string("\0\0\1\0\x20\0", 6);
        for (uint32_t v : {bytes, offset}) {
            for (int i = 0; i < 4; ++i) icon += static_cast<char>(v >> (8 * i));
        }
    };
    entry(48, 10, 38);
    entry(0, 5, 48);
    icon += "0123456789PNG!!";
    branding.icon = scratch_.Write("brand.ico", icon);
    branding.pictures = Pictures();
    Captured result = Create(request);
    ASSERT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_EQ(result.err, "");

    qjxpack::InstallerScan scan;
    std::string error;
    ASSERT_TRUE(qjxpack::ScanInstaller(request.output, &scan, &error)) << error;
    EXPECT_TRUE(scan.errors.empty()) << scan.errors[0];
    ASSERT_TRUE(scan.has_version);
    // A product version that is no number leaves the number the version's.
    EXPECT_EQ(scan.version.file_version, "2.10.300.65535");
    EXPECT_EQ(scan.version.product_version, "2.10.300.65535");
    EXPECT_EQ(scan.version.table_key, "040704B0");
    using Text = std::pair<std::string, std::string>;
    EXPECT_EQ(scan.version.strings,
              (std::vector<Text>{{"Comments", "Built <nightly> & signed"},
                                 {"CompanyName", "Korrin Läbs"},
                                 {"FileDescription", "Korrin Suite ダウンロード Setup"},
                                 {"FileVersion", "2.10.300.65535"},
                                 {"InternalName", "KorrinSetup"},
                                 {"LegalCopyright", "© 2026 Korrin"},
                                 {"LegalTrademarks", "Korrin™"},
                                 {"OriginalFilename", "KorrinSetup.exe"},
                                 {"ProductName", "Korrin Suite ダウンロード"},
                                 {"ProductVersion", "2026 R1"}}));
    const qjxpack::StubBranding& read = scan.branding;
    EXPECT_EQ(read.title, "Korrin Suite ダウンロード");
    EXPECT_EQ(read.package, "Korrin.msi");
    EXPECT_EQ(read.transform_de, "Korrin_de.mst");
    EXPECT_EQ(read.transform_ja, "Korrin_ja.mst");
    EXPECT_EQ(read.stub_version, QJX_TEST_VERSION) << "the stub's own version stays";
    EXPECT_EQ(read.icon_sizes, (std::vector<std::string>{"48x48, 32 bits", "256x256, 32 bits"}));
    std::vector<std::string> pictures;
    for (const qjxpack::PictureInfo& p : read.pictures) {
        pictures.push_back(std::to_string(p.id) + " " + std::to_string(p.width) + "x" +
                           std::to_string(p.height) + "x" + std::to_string(p.bits));
    }
    // Derived 1- and 4-bit backgrounds; no larger set, so the stock one is gone.
    EXPECT_EQ(pictures, (std::vector<std::string>{"103 256x256x1", "104 256x256x4", "105 256x256x8",
                                                  "106 68x22x8", "107 68x22x8", "108 68x22x8",
                                                  "109 68x22x8", "110 68x22x8", "111 68x22x8"}));
    // list shows the same, as text and as JSON.
    Captured text = packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
        return qjxpack::RunList(request.output, false, out, err);
    });
    EXPECT_NE(text.out.find("stub version: " QJX_TEST_VERSION "\ntitle: Korrin Suite ダウンロード\n"
                            "package: Korrin.msi\ntransforms: de Korrin_de.mst, ja Korrin_ja.mst\n"
                            "icon: 48x48, 32 bits; 256x256, 32 bits\npictures: 103: 256x256, 1 "
                            "bits; 104: 256x256, 4 bits;"),
              std::string::npos)
        << text.out;
    Captured json = packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
        return qjxpack::RunList(request.output, true, out, err);
    });
    EXPECT_NE(
        json.out.find("\"branding\": {\"product\": \"Korrin Suite ダウンロード\", \"company\": "
                      "\"Korrin Läbs\", \"version\": \"2.10.300.65535\", \"title\": "
                      "\"Korrin Suite ダウンロード\", \"package\": \"Korrin.msi\", "
                      "\"transforms\": {\"de\": \"Korrin_de.mst\", \"ja\": \"Korrin_ja.mst\"}, "
                      "\"stub_version\": \"" QJX_TEST_VERSION "\", \"icon\": [\"48x48, 32 "
                      "bits\", \"256x256, 32 bits\"], \"pictures\": [{\"id\": 103, "
                      "\"width\": 256, \"height\": 256, \"bits\": 1, \"compressed\": false}"),
        std::string::npos)
        << json.out;

    // The icon images themselves, and the stub apart from its resources.
    const std::string installer = ReadWholeFile(request.output);
    const StubImage image = Image(installer.substr(0, scan.trailer.payload_offset));
    const ResourceTable table = Table(image);
    const auto icon_image = table.find(
        {ResourceName::Id(qjxpack::RT_ICON_ID), ResourceName::Id(2), qjxpack::LANGUAGE_US_ENGLISH});
    ASSERT_NE(icon_image, table.end());
    EXPECT_EQ(icon_image->second.bytes, Bytes("PNG!!"));
    EXPECT_EQ(qjxpack::StubDifference(Image(stub_), image), "");

    // The same inputs give the same bytes.
    request.output = scratch_.At("Again.exe");
    ASSERT_EQ(Create(request).status, qjxpack::EXIT_OK);
    EXPECT_TRUE(ReadWholeFile(request.output) == installer) << "two runs differ";

    // Unbranded, the installer starts with the stub as it is, resources and all, apart from the
    // payload's digest and the checksum (CreateBindsThePayloadToTheStub holds it to those), and
    // the checksum covers the whole file, the payload too.
    request = Request(Payload("Velmora.msi", "Velmora_German.mst", "Velmora_Japanese.mst"));
    ASSERT_EQ(Create(request).status, qjxpack::EXIT_OK);
    const std::string whole = ReadWholeFile(request.output);
    const std::string unbranded = whole.substr(0, stub_.size());
    EXPECT_EQ(Table(Image(stub_)).size(), Table(Image(unbranded)).size());
    EXPECT_EQ(qjxpack::StubDifference(Image(stub_), Image(unbranded)), "");
    EXPECT_EQ(Image(stub_).rsrc_size, Image(unbranded).rsrc_size);
    const std::vector<uint8_t> written(whole.begin(), whole.end());
    uint64_t checksum_at = 0;
    ASSERT_TRUE(qjxpack::ChecksumOffset(written.data(), written.size(), &checksum_at));
    EXPECT_EQ(ReadLittleEndian(written.data() + checksum_at, 4),
              qjxpack::ImageChecksum(written, checksum_at));
}

TEST_F(BrandingTest, CreateRefusesMissingLaunchNamesAndBadBranding) {
    auto refused = [this](const qjxpack::CreateRequest& request, const std::string& fragment) {
        Captured result = Create(request);
        EXPECT_EQ(result.status, qjxpack::EXIT_FAILED) << fragment;
        EXPECT_NE(result.err.find(fragment), std::string::npos) << result.err;
        EXPECT_EQ(qjxpack::GetFileInfo(request.output).kind, qjxpack::FileKind::kMissing);
    };
    // The stock names, not in the payload.
    refused(Request(Payload("Other.msi", "Velmora_German.mst", "Velmora_Japanese.mst")),
            "no \"Velmora.msi\" at its root, the package every language button installs: add "
            "it, or name another with --package NAME");
    qjxpack::CreateRequest request =
        Request(Payload("Korrin.msi", "Velmora_German.mst", "Velmora_Japanese.mst"));
    request.branding.package = "Korrin.msi";
    request.branding.transform_de = "Korrin_de.mst";
    refused(request,
            "no \"Korrin_de.mst\" at its root, the German button's transform: add it, "
            "or name another with --transform de=NAME");
    // In a folder, not at the root, does not count.
    request = Request(Payload("", "Velmora_German.mst", "Velmora_Japanese.mst"));
    scratch_.Write("payload_" + std::to_string(payloads_) + "/docs/Velmora.msi", "nested");
    refused(request, "no \"Velmora.msi\"");
    // A quiet installer starts nothing and needs none of them.
    request.quiet = true;
    request.output = scratch_.At("Quiet.exe");
    EXPECT_EQ(Create(request).status, qjxpack::EXIT_OK);

    request = Request(Payload("Velmora.msi", "Velmora_German.mst", "Velmora_Japanese.mst"));
    qjxpack::CreateRequest bad = request;
    bad.branding.package = "Korrin Suite.msi";
    refused(bad, "--package Korrin Suite.msi: the name may hold only ASCII letters");
    bad = request;
    bad.branding.transform_ja = "Überblick.mst";
    refused(bad, "--transform ja=Überblick.mst: the name may hold only ASCII letters");
    bad = request;
    bad.branding.product_name = std::string(259, 'x');
    refused(bad, "--product-name \"" + std::string(259, 'x') + "\" is 259 UTF-16 units long");
    bad = request;
    bad.branding.company = "Tab\there";
    refused(bad, "--company \"Tab?here\" holds a control character");
    bad = request;
    bad.branding.version = "1.2.3";
    refused(bad, "--version 1.2.3: give four numbers of 0 to 65535");
    bad.branding.version = "1.2.3.65536";
    refused(bad, "--version 1.2.3.65536");

    // Pictures: a wrong size, and more colours than the table holds.
    bad = request;
    bad.branding.pictures = Pictures();
    scratch_.Write("pictures/button_german_normal.bmp", Picture(68, 23, 10));
    refused(bad, "button_german_normal.bmp must be 68 x 22 pixels, is 68 x 23");
    scratch_.Write("pictures/button_german_normal.bmp", Picture(68, 22, 94));
    refused(bad, "button_german_normal.bmp has 94 colours; its colour table holds 93");
    scratch_.Write("pictures/button_german_normal.bmp", Picture(68, 22, 93));
    scratch_.Write("pictures/background_8bit@2x.bmp", Picture(512, 512, 10));
    refused(bad, "has part of the set for high display scales; add button_english_pressed@2x");
}

// verify on installers made elsewhere: missing names fail, a stub without the names warns.
TEST_F(BrandingTest, VerifyChecksLaunchNamesOfExistingInstallers) {
    auto installer = [&](const std::string& stub, const std::string& payload, uint32_t flags) {
        std::string bytes = stub + payload;
        bytes += std::string((4096 - bytes.size() % 4096) % 4096, '\0');
        bytes +=
            packer_test::TrailerBytes(static_cast<uint32_t>(stub.size()), payload.size(), 1, flags);
        return scratch_.Write("check.exe", bytes);
    };
    auto verify = [&](const std::string& path) {
        return packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
            return qjxpack::RunVerify(path, stub_path_, "", out, err);
        });
    };
    const std::string payload = packer_test::EntryBytes("\\Velmora.msi", "m");
    Captured result = verify(installer(stub_, payload, 0));
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find("no \"Velmora_German.mst\" at its root"), std::string::npos)
        << result.err;
    EXPECT_NE(result.out.find("the stub is " + stub_path_ + " apart from its resources"),
              std::string::npos)
        << result.out;
    result = verify(installer(stub_, payload, TRAILER_FLAG_QUIET));
    EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;

    // A stub from before the names were resources: a warning, and verify passes.
    const StubImage stock = Image(stub_);
    ResourceTable table = Table(stock);
    table.erase({ResourceName::Id(qjxpack::RT_STRING_ID), ResourceName::Id(321),
                 qjxpack::LANGUAGE_US_ENGLISH});
    const std::vector<uint8_t> older = qjxpack::WithResources(stock, table);
    result = verify(installer(std::string(older.begin(), older.end()), payload, 0));
    EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_NE(result.err.find("warning: " + scratch_.At("check.exe") +
                              ": the stub predates the launch names"),
              std::string::npos)
        << result.err;
    // create takes such a stub with a warning, whatever the payload holds.
    qjxpack::CreateRequest request = Request(Payload("Other.msi", "", ""));
    request.stub = scratch_.Write("older.exe", std::string(older.begin(), older.end()));
    result = Create(request);
    EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_NE(result.err.find("predates the launch names"), std::string::npos) << result.err;
    // and refuses to write names it would not read.
    request.branding.package = "Other.msi";
    result = Create(request);
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find("the stub predates the title and launch names"), std::string::npos)
        << result.err;
}

// Branded at all, a stub names the vendor alone: no resource holds the stock maker's name, the
// manifest's identity and description come from the product and company, and the error boxes
// carry the product's name.
TEST_F(BrandingTest, BrandedStubNamesTheVendorAlone) {
    auto holds = [](const ResourceTable& table, const std::string& text) {
        std::string utf16;
        for (char c : text) utf16 += std::string(1, c) + '\0';
        for (const auto& item : table) {
            const std::string bytes(item.second.bytes.begin(), item.second.bytes.end());
            if (bytes.find(text) != std::string::npos || bytes.find(utf16) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    auto manifest = [](const ResourceTable& table) {
        const auto found =
            table.find({ResourceName::Id(24), ResourceName::Id(1), qjxpack::LANGUAGE_US_ENGLISH});
        return found == table.end()
                   ? std::string()
                   : std::string(found->second.bytes.begin(), found->second.bytes.end());
    };
    ASSERT_TRUE(holds(Table(Image(stub_)), "Dravik")) << "the stock stub names its maker";
    ASSERT_NE(manifest(Table(Image(stub_))), "");

    auto brand = [&](const qjxpack::BrandingRequest& request) {
        const std::string output = scratch_.At("Branded.exe");
        Captured result = packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
            return qjxpack::RunBrand(stub_path_, request, output, out, err);
        });
        EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
        return Table(Image(ReadWholeFile(output)));
    };
    qjxpack::BrandingRequest pictures_only;
    pictures_only.pictures = Pictures();
    ResourceTable table = brand(pictures_only);
    EXPECT_FALSE(holds(table, "Dravik"));
    EXPECT_NE(manifest(table).find("name=\"Velmora.Setup\""), std::string::npos) << manifest(table);
    EXPECT_EQ(qjxpack::ReadStubBranding(table).error_title, "") << "the stock title stays";

    qjxpack::BrandingRequest named;
    named.product_name = "Korrin <Tools> & \"More\"";
    named.company = "Korrin Co.";
    table = brand(named);
    EXPECT_FALSE(holds(table, "Dravik"));
    const std::string text = manifest(table);
    EXPECT_NE(
        text.find("<assemblyIdentity type=\"win32\" name=\"Korrin-Co.Korrin-Tools-More.Setup\""),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("<description>Korrin &lt;Tools&gt; &amp; &quot;More&quot; "
                        "Setup</description>"),
              std::string::npos)
        << text;
    EXPECT_EQ(qjxpack::ReadStubBranding(table).error_title, named.product_name);
}

// A branded stub is no installer, but list shows what it says of itself and verify says why it
// refuses it.
TEST_F(BrandingTest, ListAndVerifyShowAStubWithoutPayload) {
    qjxpack::BrandingRequest request;
    request.product_name = "Korrin Suite";
    request.version = "2.1.0.7";
    const std::string branded = scratch_.At("Branded.exe");
    Captured result = packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
        return qjxpack::RunBrand(stub_path_, request, branded, out, err);
    });
    ASSERT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    for (const std::string& path : {stub_path_, branded}) {
        result = packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
            return qjxpack::RunList(path, false, out, err);
        });
        EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
        EXPECT_NE(result.out.find("a stub (no payload): x"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("stub version: " QJX_TEST_VERSION), std::string::npos)
            << result.out;
        result = packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
            return qjxpack::RunVerify(path, "", "", out, err);
        });
        EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
        EXPECT_NE(result.err.find(path + ": a stub (no payload), not an installer"),
                  std::string::npos)
            << result.err;
    }
    EXPECT_NE(result.out.find("title: Korrin Suite\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("version resource: file 2.1.0.7"), std::string::npos) << result.out;
    result = packer_test::Capture(
        scratch_, [&](FILE* out, FILE* err) { return qjxpack::RunList(branded, true, out, err); });
    EXPECT_NE(result.out.find("\"stub_only\": true, "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\"errors\": []"), std::string::npos) << result.out;
}

TEST(Pictures, Rle8DecodesToTheRowsGiven) {
    // Runs, lone pixels, pairs, odd and even literal stretches, runs longer than 255.
    const int width = 300, height = 3;
    std::vector<uint8_t> rows(static_cast<size_t>(width * height));
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = i < 300   ? 5
                  : i < 310 ? static_cast<uint8_t>(i)
                  : i < 320 ? 9
                            : static_cast<uint8_t>(i / 2);
    }
    EXPECT_EQ(DecodeRle8(qjxpack::EncodeRle8(rows, width, height), width, height), rows);
    const std::vector<uint8_t> small = {1, 2, 2, 3, 4, 5, 6, 6, 6, 7, 8};
    EXPECT_EQ(DecodeRle8(qjxpack::EncodeRle8(small, 11, 1), 11, 1), small);
}

TEST(Pictures, DerivedBackgroundsUseTheStandardColoursAndAThreshold) {
    qjxpack::RgbImage image;
    image.width = 4;
    image.height = 1;
    // The stock field colour, a dark red, mid grey just below and just above the threshold.
    image.pixels = {0xB1BCD6, 0x900000, 0x7F7F7F, 0x808080};
    EXPECT_EQ(qjxpack::ToStandardColours(image).pixels,
              (std::vector<uint32_t>{0xC0C0C0, 0x800000, 0x808080, 0x808080}));
    EXPECT_EQ(qjxpack::ToBlackAndWhite(image).pixels,
              (std::vector<uint32_t>{0xFFFFFF, 0x000000, 0x000000, 0xFFFFFF}));
}

TEST(Pictures, BitmapsHaveTheTableAndPixelsTheWindowReads) {
    const qjxpack::PictureRule rule = {"test", 1, 3, 2, 4, 16, false};
    qjxpack::RgbImage image;
    image.width = 3;
    image.height = 2;
    image.pixels = {0x0000FF, 0x00FF00, 0xFF0000, 0x000000, 0x0000FF, 0x0000FF};
    std::vector<uint8_t> dib;
    std::string error;
    ASSERT_TRUE(qjxpack::MakeBitmap(image, rule, &dib, &error)) << error;
    ASSERT_EQ(dib.size(), 40u + 16 * 4 + 2 * 4);
    EXPECT_EQ(Le32(dib, 32), 16u) << "colour count";
    // Colours ascending: black 0, blue 1, green 2, red 3 (stored blue, green, red, 0).
    EXPECT_EQ(Le32(dib, 40 + 4 * 1), 0x000000FFu);
    EXPECT_EQ(Le32(dib, 40 + 4 * 3), 0x00FF0000u);
    // Bottom-up: the lower row first, two pixels a byte, rows padded to four bytes.
    EXPECT_EQ(std::vector<uint8_t>(dib.begin() + 104, dib.end()),
              (std::vector<uint8_t>{0x01, 0x10, 0, 0, 0x12, 0x30, 0, 0}));
}

// create binds the payload to the stub: the digest in the stub's resources, the checksum after
// it; a byte changed after create fails verify and extract, and an installer made without the
// digest is unbound, with a warning.
TEST_F(BrandingTest, CreateBindsThePayloadToTheStub) {
    qjxpack::CreateRequest request = Request(Payload("", "", ""));
    request.quiet = true;
    Captured result = Create(request);
    ASSERT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    const std::string installer = ReadWholeFile(request.output);
    PayloadTrailer trailer;
    ASSERT_TRUE(ParseTrailer(
        reinterpret_cast<const uint8_t*>(installer.data()) + installer.size() - TRAILER_SIZE,
        &trailer));
    const StubImage image = Image(installer.substr(0, trailer.payload_offset));
    // The checksum, last, covers the whole file.
    const std::vector<uint8_t> whole(installer.begin(), installer.end());
    uint64_t checksum_at = 0;
    ASSERT_TRUE(qjxpack::ChecksumOffset(whole.data(), whole.size(), &checksum_at));
    EXPECT_EQ(ReadLittleEndian(whole.data() + checksum_at, 4),
              qjxpack::ImageChecksum(whole, checksum_at));
    EXPECT_EQ("", qjxpack::StubDifference(Image(stub_), image));
    size_t offset = 0, size = 0;
    ASSERT_TRUE(qjxpack::FindResourceData(image, qjxpack::RT_RCDATA_ID, 202, &offset, &size));
    PayloadDigest digest = {};
    ASSERT_TRUE(ParsePayloadDigest(image.bytes.data() + offset, size, &digest));
    EXPECT_TRUE(digest.bound);
    EXPECT_EQ(trailer.payload_size, digest.payload_size);
    // The stock stub carries the placeholder, and only the record and the checksum changed.
    ASSERT_TRUE(
        ParsePayloadDigest(reinterpret_cast<const uint8_t*>(stub_.data()) + offset, size, &digest));
    EXPECT_FALSE(digest.bound);
    std::string unbound = installer.substr(0, trailer.payload_offset);
    unbound.replace(offset, size, stub_.substr(offset, size));
    const size_t checksum = image.optional_header + 64;
    unbound.replace(checksum, 4, stub_.substr(checksum, 4));
    EXPECT_TRUE(unbound == stub_) << "the stub changed beyond its digest and checksum";

    auto run = [&](const std::string& path, bool extract) {
        return packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
            return extract
                       ? qjxpack::RunExtract(path, scratch_.At("out"), false, false, "", out, err)
                       : qjxpack::RunList(path, false, out, err);
        });
    };
    result = run(request.output, false);
    EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_NE(result.out.find("payload bound to the stub: SHA-256 "), std::string::npos)
        << result.out;
    EXPECT_EQ("", result.err);

    // One byte of the payload changed after create.
    std::string changed = installer;
    changed[trailer.payload_offset + 9] ^= 1;
    const std::string changed_path = scratch_.Write("changed.exe", changed);
    result = run(changed_path, true);
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find("the payload is not the one the stub was made with"),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(packer_test::ReadWholeFile(scratch_.At("out/docs/readme.txt")) == "read me");

    // The same payload behind the stock stub, as an earlier packer wrote it: unbound, it passes.
    const std::string earlier =
        scratch_.Write("earlier.exe", stub_ + installer.substr(trailer.payload_offset));
    result = run(earlier, false);
    EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_NE(result.out.find("payload unbound"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("warning: " + earlier + ": unbound"), std::string::npos)
        << result.err;
}

// Every refusal of the language options names the option and the fix; values at the limits pass.
TEST(Languages, RefusedValuesNameTheOptionAndTheFix) {
    struct Case {
        std::vector<std::string> languages;
        std::vector<std::string> transforms;
        std::string caption;
        std::string colour;
        std::string problem;  // empty: accepted
    };
    const std::string thirty(30, 'x');
    std::string thirty_cjk, thirty_astral, nine_languages;
    for (int i = 0; i < 30; ++i) thirty_cjk += "\xE4\xB8\xAD";         // U+4E2D, 3 bytes
    for (int i = 0; i < 30; ++i) thirty_astral += "\xF0\x9F\x98\x80";  // a surrogate pair each
    std::vector<std::string> nine;
    for (const char* code : {"en", "fr", "es", "pt-BR", "zh-Hans", "de", "it", "pl", "nl"}) {
        nine.push_back(std::string(code) + "=" + code);
    }
    const Case cases[] = {
        // The form of the values.
        {{"fr"}, {}, "", "", "--language fr: give CODE=TEXT"},
        {{"=Fran\u00e7ais"}, {}, "", "", "give CODE=TEXT"},
        {{"en=English"},
         {"fr=Korrin_fr.mst"},
         "",
         "",
         "--transform fr=Korrin_fr.mst: fr is not listed; add --language fr=TEXT"},
        {{"en=English"}, {"en="}, "", "", "--transform en=: give CODE=NAME"},
        {{},
         {"fr=Korrin_fr.mst"},
         "",
         "",
         "fr is no stock button's language (de, ja); list it with --language fr=TEXT"},
        {{"fr=Fran\u00e7ais"}, {"fr=a.mst", "FR=b.mst"}, "", "", "fr has a transform already"},
        {{"fr=Fran\u00e7ais"},
         {"fr=Korrin fr.mst"},
         "",
         "",
         "--transform fr=Korrin fr.mst: the name may hold only"},
        // The codes.
        {{"english=English"}, {}, "", "", "english is not a language tag; give one as en, pt-BR"},
        {{"pt_BR=Portugu\xC3\xAAs"}, {}, "", "", "pt_BR is not a language tag"},
        {{"auto=Automatic"}, {}, "", "", "auto is reserved (/SeaLang:auto"},
        {{"Auto=Automatic"}, {}, "", "", "Auto is reserved"},
        {{"en=English", "pt-BR=Brasil", "EN=Again"},
         {},
         "",
         "",
         "--language EN=Again: EN is listed already, as en (codes ignore case)"},
        {nine, {}, "", "", "--language: 9 languages given; the window offers at most 8"},
        // The texts.
        {{"fr="}, {}, "", "", "--language fr=: the text is empty"},
        {{"fr=Fran\tais"},
         {},
         "",
         "",
         "--language fr=Fran?ais: the text holds a control character"},
        {{"fr=Fran\xC3("}, {}, "", "", "the text is not valid UTF-8"},
        {{"en=" + thirty + "y"},
         {},
         "",
         "",
         "the text is 31 characters long; a button shows at most 30 (the & of a mnemonic not "
         "counted)"},
        {{"en=&" + thirty.substr(2) + "&&"}, {}, "", "", ""},  // 30 shown: 28 x, one &&, x marked
        {{"zh-Hans=" + thirty_cjk, "ja=" + thirty_astral}, {}, "", "", ""},
        {{"zh-Hans=" + thirty_cjk + "\xE4\xB8\xAD"}, {}, "", "", "is 31 characters long"},
        // Mnemonics: one a text, each its own, "&&" none at all.
        {{"de=&Deutsch", "da=&dansk"},
         {},
         "",
         "",
         "--language da=&dansk: the mnemonic &d is de's too"},
        {{"ru=&\xD0\xA0\xD1\x83\xD1\x81", "uk=&\xD1\x80\xD1\x96\xD0\xB4"},
         {},
         "",
         "",
         "the mnemonic &\xD1\x80 is ru's too"},  // Р and р, Cyrillic
        {{"fr=&Fr&an\u00e7ais"}, {}, "", "", "the text marks 2 mnemonics with &"},
        {{"fr=Fran\u00e7ais&"}, {}, "", "", "ends in a lone &"},
        {{"en=R&&D", "fr=r&&d", "de=&Deutsch", "es=&Espa\u00f1ol"}, {}, "", "", ""},
        // The caption and its colour.
        {{}, {}, std::string(60, 'c'), "#1f3A5c", ""},
        {{},
         {},
         std::string(61, 'c'),
         "",
         "--caption \"" + std::string(61, 'c') + "\" is 61 characters long; at most 60 fit"},
        {{}, {}, "Choose\n", "", "--caption \"Choose?\" holds a control character"},
        {{}, {}, "", "12345", "--caption-colour 12345: give six hexadecimal digits RRGGBB"},
        {{}, {}, "", "GG0000", "--caption-colour GG0000: give six"},
        {{}, {}, "", "#1234567", "give six hexadecimal digits"},
    };
    for (const Case& c : cases) {
        qjxpack::BrandingRequest request;
        request.caption = c.caption;
        request.caption_colour = c.colour;
        std::string problem = qjxpack::TakeLanguageOptions(c.languages, c.transforms, &request);
        if (problem.empty()) problem = qjxpack::BrandingValueProblem(request);
        const std::string given = c.languages.empty() ? c.caption + c.colour : c.languages.back();
        if (c.problem.empty()) {
            EXPECT_EQ(problem, "") << given;
        } else {
            EXPECT_NE(problem.find(c.problem), std::string::npos)
                << given << "\n  said: " << problem << "\n  want: " << c.problem;
        }
    }
    // Transforms find their language whatever the case, and the order of the buttons is kept.
    qjxpack::BrandingRequest request;
    EXPECT_EQ(qjxpack::TakeLanguageOptions({"zh-Hans=\xE4\xB8\xAD", "de=Deutsch=Allemand"},
                                           {"ZH-hans=K_zh.mst", "de=K_de.mst"}, &request),
              "");
    ASSERT_EQ(request.languages.size(), 2u);
    EXPECT_EQ(request.languages[0].transform, "K_zh.mst");
    EXPECT_EQ(request.languages[1].text, "Deutsch=Allemand");
    EXPECT_EQ(request.transform_de, "") << "a listed language's transform is its own";
}

TEST(Languages, SerializedListRoundTripsThroughTheParser) {
    LanguageList list;
    ClearLanguageList(&list);
    list.count = MAX_LANGUAGES;
    list.caption_colour = 0x1F3A5C;
    list.flags = LANGUAGE_FLAG_PICTURES;
    const std::u16string caption(LANGUAGE_CAPTION_CAPACITY - 1, u'\xE9');
    std::copy(caption.begin(), caption.end(), list.caption);
    for (int32_t i = 0; i < MAX_LANGUAGES; ++i) {
        LanguageEntry& entry = list.entries[i];
        // The longest code, text and transform, a surrogate pair, and no transform at all.
        const std::string code = i == 0 ? "en-aaaaaaaa-aaaaaaaa-aaaaaaaa-bbbbb"
                                        : "l" + std::string(1, static_cast<char>('a' + i));
        ASSERT_LE(code.size(), LANGUAGE_CODE_CAPACITY - 1);
        std::copy(code.begin(), code.end(), entry.code);
        const std::u16string text =
            i == 1 ? std::u16string(LANGUAGE_TEXT_CAPACITY - 1, u'x') : u"\xD83D\xDE00 &Name";
        std::copy(text.begin(), text.end(), entry.text);
        const std::u16string transform = i == 2
                                             ? std::u16string(LANGUAGE_TRANSFORM_CAPACITY - 1, u't')
                                         : i == 3 ? u""
                                                  : u"T.mst";
        std::copy(transform.begin(), transform.end(), entry.transform);
    }
    const std::vector<uint8_t> bytes = qjxpack::SerializeLanguageList(list);
    LanguageList read;
    ASSERT_TRUE(ParseLanguageList(bytes.data(), bytes.size(), &read));
    EXPECT_EQ(read.count, list.count);
    EXPECT_EQ(read.caption_colour, list.caption_colour);
    EXPECT_EQ(read.flags, list.flags);
    EXPECT_EQ(std::u16string(read.caption), caption);
    for (int32_t i = 0; i < MAX_LANGUAGES; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(read.entries[i].code, list.entries[i].code);
        EXPECT_EQ(std::u16string(read.entries[i].text), std::u16string(list.entries[i].text));
        EXPECT_EQ(std::u16string(read.entries[i].transform),
                  std::u16string(list.entries[i].transform));
    }
    // The stock list: no entries, the stock caption and colour, a header and an empty caption.
    ClearLanguageList(&list);
    const std::vector<uint8_t> stock = qjxpack::SerializeLanguageList(list);
    EXPECT_EQ(stock.size(), 16u);
    ASSERT_TRUE(ParseLanguageList(stock.data(), stock.size(), &read));
    EXPECT_EQ(read.count, 0);
    EXPECT_EQ(read.caption_colour, LANGUAGE_DEFAULT_COLOUR);
}

TEST(Languages, ContrastFollowsWcagAndTheCaptionBandIsAveraged) {
    EXPECT_DOUBLE_EQ(qjxpack::ContrastRatio(0x000000, 0xFFFFFF), 21.0);
    EXPECT_DOUBLE_EQ(qjxpack::ContrastRatio(0x777777, 0x777777), 1.0);
    // The usual boundary: #767676 on white passes 4.5:1, #777777 does not.
    EXPECT_GT(qjxpack::ContrastRatio(0x767676, 0xFFFFFF), 4.5);
    EXPECT_LT(qjxpack::ContrastRatio(0xFFFFFF, 0x777777), 4.5);
    EXPECT_NEAR(qjxpack::ContrastRatio(0xFF0000, 0xFFFFFF), 3.998, 0.001);

    // An 8-bit picture 6 wide (rows padded to 8) and 100 high: the band is rows 72 to 86 from the
    // top. Its rows alternate red and blue, everything else is white.
    auto dib = [](bool top_down) {
        std::vector<uint8_t> bytes(40 + 3 * 4 + 8 * 100, 0);
        WriteLittleEndian(40, bytes.data(), 4);
        WriteLittleEndian(6, bytes.data() + 4, 4);
        WriteLittleEndian(top_down ? static_cast<uint32_t>(-100) : 100, bytes.data() + 8, 4);
        WriteLittleEndian(1, bytes.data() + 12, 2);
        WriteLittleEndian(8, bytes.data() + 14, 2);
        WriteLittleEndian(3, bytes.data() + 32, 4);
        const uint8_t table[12] = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
        std::copy(table, table + 12, bytes.begin() + 40);
        for (int y = 0; y < 100; ++y) {
            const uint8_t index = y < 72 || y >= 87 ? 0 : y % 2 == 0 ? 1 : 2;  // white, red, blue
            const int row = top_down ? y : 99 - y;
            std::fill_n(bytes.begin() + 52 + 8 * row, 6, index);
        }
        return bytes;
    };
    for (bool top_down : {false, true}) {
        uint32_t colour = 0;
        ASSERT_TRUE(qjxpack::CaptionBandColour(dib(top_down), &colour));
        // 8 red rows (72, 74 ... 86) and 7 blue: 255 * 8 / 15 = 136, 255 * 7 / 15 = 119.
        EXPECT_EQ(colour, 0x880077u) << top_down;
    }
    std::vector<uint8_t> cut = dib(false);
    cut.resize(cut.size() - 1);
    uint32_t colour = 0;
    EXPECT_FALSE(qjxpack::CaptionBandColour(cut, &colour));
}

// Five languages through create: the resource read back by list (text and JSON) and verify, each
// listed transform demanded of the payload instead of the stock German and Japanese ones, and
// nothing written for an installer made without the options.
TEST_F(BrandingTest, LanguagesReadBackThroughListAndVerify) {
    const std::string input = Payload("Korrin.msi", "Korrin_fr.mst", "Korrin_zh.mst");
    qjxpack::CreateRequest request = Request(input);
    request.branding.package = "Korrin.msi";
    ASSERT_EQ(qjxpack::TakeLanguageOptions(
                  {"en=&English", "fr=Fran\u00e7ais", "es=Espa\u00f1ol",
                   "pt-BR=Portugu\xC3\xAAs (Brasil)", "zh-Hans=\xE7\xAE\x80\xE4\xBD\x93"},
                  {"fr=Korrin_fr.mst", "zh-hans=Korrin_zh.mst"}, &request.branding),
              "");
    request.branding.caption = "Choisissez \"votre\" langue :";
    request.branding.caption_colour = "1f3a5c";
    Captured result = Create(request);
    ASSERT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_EQ(result.err, "") << "dark blue on the stock background reads well";

    auto run = [&](const std::string& command, const std::string& path) {
        return packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
            return command == "verify" ? qjxpack::RunVerify(path, "", "", out, err)
                                       : qjxpack::RunList(path, command == "json", out, err);
        });
    };
    const std::string lines =
        "languages (5, pictures drawn by the stub):\n"
        "  en  &English  transform none\n"
        "  fr  Fran\u00e7ais  transform Korrin_fr.mst\n"
        "  es  Espa\u00f1ol  transform none\n"
        "  pt-BR  Portugu\xC3\xAAs (Brasil)  transform none\n"
        "  zh-Hans  \xE7\xAE\x80\xE4\xBD\x93  transform Korrin_zh.mst\n"
        "caption: \"Choisissez \"votre\" langue :\", colour 1F3A5C\n";
    result = run("list", request.output);
    EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_NE(result.out.find("package: Korrin.msi\n" + lines), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("transforms: de"), std::string::npos) << "the stock ones are unused";
    result = run("verify", request.output);
    EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_NE(result.out.find(lines), std::string::npos) << result.out;
    result = run("json", request.output);
    EXPECT_NE(result.out.find(
                  "\"languages\": [{\"code\": \"en\", \"text\": \"&English\", \"transform\": "
                  "null}, {\"code\": \"fr\", \"text\": \"Fran\u00e7ais\", \"transform\": "
                  "\"Korrin_fr.mst\"}, {\"code\": \"es\", \"text\": \"Espa\u00f1ol\", "
                  "\"transform\": null}, {\"code\": \"pt-BR\", \"text\": \"Portugu\xC3\xAAs "
                  "(Brasil)\", \"transform\": null}, {\"code\": \"zh-Hans\", \"text\": "
                  "\"\xE7\xAE\x80\xE4\xBD\x93\", \"transform\": \"Korrin_zh.mst\"}], "
                  "\"language_pictures\": false, \"caption\": \"Choisissez \\\"votre\\\" langue "
                  ":\", \"caption_colour\": \"1F3A5C\"}, "),
              std::string::npos)
        << result.out;

    // A listed transform the payload lacks: create refuses, verify of such an installer fails.
    scratch_.Write("lacking/Korrin.msi", "m");
    qjxpack::CreateRequest lacking = request;
    lacking.inputs = {scratch_.At("lacking") + "/."};
    lacking.output = scratch_.At("Lacking.exe");
    result = Create(lacking);
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    const std::string fr =
        "the payload has no \"Korrin_fr.mst\" at its root, the transform of the "
        "fr button (Fran\u00e7ais): add it, or name another with "
        "--transform fr=NAME";
    EXPECT_NE(result.err.find(fr), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("\"Korrin_zh.mst\""), std::string::npos) << result.err;
    const std::string installer = ReadWholeFile(request.output);
    PayloadTrailer trailer;
    ASSERT_TRUE(ParseTrailer(
        reinterpret_cast<const uint8_t*>(installer.data()) + installer.size() - TRAILER_SIZE,
        &trailer));
    const uint32_t stub_size = trailer.payload_offset;
    const std::string payload = packer_test::EntryBytes("\\Korrin.msi", "m") +
                                packer_test::EntryBytes("\\Korrin_zh.mst", "z");
    // The branded stub before any payload bound it, as an earlier packer would have used it.
    const std::string branded = scratch_.At("Branded.exe");
    ASSERT_EQ(packer_test::Capture(scratch_,
                                   [&](FILE* out, FILE* err) {
                                       return qjxpack::RunBrand(stub_path_, request.branding,
                                                                branded, out, err);
                                   })
                  .status,
              qjxpack::EXIT_OK);
    std::string bytes = ReadWholeFile(branded) + payload;
    bytes += std::string((4096 - bytes.size() % 4096) % 4096, '\0');
    bytes += packer_test::TrailerBytes(stub_size, payload.size(), 2);
    result = run("verify", scratch_.Write("check.exe", bytes));
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find(fr), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("Korrin_zh"), std::string::npos) << result.err;

    // A damaged resource: the stub would show the stock buttons, which verify says.
    const StubImage image = Image(installer.substr(0, stub_size));
    ResourceTable table = Table(image);
    const qjxpack::ResourceKey key{ResourceName::Id(qjxpack::RT_RCDATA_ID), ResourceName::Id(203),
                                   qjxpack::LANGUAGE_US_ENGLISH};
    ASSERT_NE(table.find(key), table.end());
    table[key].bytes.push_back(0);
    const std::vector<uint8_t> damaged = qjxpack::WithResources(image, table);
    result =
        run("verify", scratch_.Write("damaged.exe", std::string(damaged.begin(), damaged.end()) +
                                                        installer.substr(stub_size)));
    EXPECT_NE(result.err.find("languages resource is damaged"), std::string::npos) << result.err;

    // The caption alone writes a list without languages: the stock buttons and transforms stay.
    qjxpack::CreateRequest caption = Request(Payload("Velmora.msi", "", "Velmora_Japanese.mst"));
    caption.branding.caption = "Sprache:";
    result = Create(caption);
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find("\"Velmora_German.mst\""), std::string::npos) << result.err;
    caption.inputs = {Payload("Velmora.msi", "Velmora_German.mst", "Velmora_Japanese.mst")};
    ASSERT_EQ(Create(caption).status, qjxpack::EXIT_OK);
    result = run("list", caption.output);
    EXPECT_NE(result.out.find("transforms: de Velmora_German.mst, ja Velmora_Japanese.mst\n"
                              "languages: the stock three\ncaption: \"Sprache:\", colour the "
                              "stock black\n"),
              std::string::npos)
        << result.out;

    // Branded otherwise, an installer carries no languages resource, and list says nothing of it.
    qjxpack::CreateRequest plain = caption;
    plain.branding = qjxpack::BrandingRequest();
    plain.branding.product_name = "Korrin";
    ASSERT_EQ(Create(plain).status, qjxpack::EXIT_OK);
    result = run("json", plain.output);
    EXPECT_NE(result.out.find("\"languages\": null, \"caption\": null, \"caption_colour\": null"),
              std::string::npos)
        << result.out;
    result = run("list", plain.output);
    EXPECT_EQ(result.out.find("caption"), std::string::npos) << result.out;
}

// A language's own pictures come for every language or none, all of one size, each set checked
// as the stock pictures are; without --language they are refused.
TEST_F(BrandingTest, LanguagePicturesComeForEveryLanguageAtOneSize) {
    qjxpack::CreateRequest request =
        Request(Payload("Velmora.msi", "Velmora_German.mst", "Velmora_Japanese.mst"));
    request.branding.languages = {{"en", "English", ""}, {"pt-BR", "Portugu\xC3\xAAs", ""}};
    // The background only: with languages the stock buttons' pictures are not needed.
    request.branding.pictures = scratch_.MakeFolder("pictures");
    scratch_.Write("pictures/background_8bit.bmp", Picture(256, 256, 200));
    auto button = [this](const std::string& name, int width, int height, int colours) {
        scratch_.Write("pictures/button_" + name + ".bmp", Picture(width, height, colours));
    };
    auto refused = [this](const qjxpack::CreateRequest& request, const std::string& fragment) {
        Captured result = Create(request);
        EXPECT_EQ(result.status, qjxpack::EXIT_FAILED) << fragment;
        EXPECT_NE(result.err.find(fragment), std::string::npos) << result.err;
    };
    button("en_normal", 96, 26, 93);
    refused(request,
            "has button pictures for some languages only; a language's pictures come for every "
            "language or none: add button_en_pressed, button_pt-BR_normal, button_pt-BR_pressed");
    button("en_pressed", 96, 26, 40);
    button("pt-BR_normal", 96, 26, 93);
    button("pt-BR_pressed", 96, 27, 40);
    refused(request, "button_pt-BR_pressed.bmp must be 96 x 26 pixels, is 96 x 27");
    button("pt-BR_pressed", 96, 26, 41);
    refused(request, "button_pt-BR_pressed.bmp has 41 colours; its colour table holds 40");
    button("pt-BR_pressed", 96, 26, 40);
    button("en_normal@2x", 192, 52, 93);
    refused(request,
            "part of the languages' pictures for high display scales; add "
            "button_en_pressed@2x, button_pt-BR_normal@2x, button_pt-BR_pressed@2x");
    button("en_pressed@2x", 192, 52, 40);
    button("pt-BR_normal@2x", 192, 52, 93);
    button("pt-BR_pressed@2x", 190, 52, 40);
    refused(request, "button_pt-BR_pressed@2x.bmp must be 192 x 52 pixels");
    button("pt-BR_pressed@2x", 192, 52, 40);
    // A picture for a language not listed is left out, with a warning.
    button("fr_normal", 96, 26, 10);
    Captured result = Create(request);
    ASSERT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_NE(result.err.find("button_fr_normal.bmp is left out"), std::string::npos) << result.err;

    qjxpack::InstallerScan scan;
    std::string error;
    ASSERT_TRUE(qjxpack::ScanInstaller(request.output, &scan, &error)) << error;
    EXPECT_TRUE(scan.branding.language_pictures);
    std::vector<std::string> pictures;
    for (const qjxpack::PictureInfo& p : scan.branding.pictures) {
        if (p.id < 140) continue;
        pictures.push_back(std::to_string(p.id) + " " + std::to_string(p.width) + "x" +
                           std::to_string(p.height) + (p.compressed ? " RLE" : ""));
    }
    EXPECT_EQ(pictures, (std::vector<std::string>{"140 96x26", "141 96x26", "142 192x52 RLE",
                                                  "143 192x52 RLE", "144 96x26", "145 96x26",
                                                  "146 192x52 RLE", "147 192x52 RLE"}));
    // The stub's own stock buttons stay where none were given.
    bool stock_button = false;
    for (const qjxpack::PictureInfo& p : scan.branding.pictures) stock_button |= p.id == 107;
    EXPECT_TRUE(stock_button);

    // Outside the sizes a row of the window holds.
    for (const char* name : {"en_normal", "en_pressed", "pt-BR_normal", "pt-BR_pressed"}) {
        button(name, 60, 22, 10);
    }
    refused(request, "is 60 x 22 pixels; a language's button is 68 to 236 wide and 22 to 44 high");

    // Without languages, a language's picture is a mistake, not a file to skip.
    request.branding.languages.clear();
    request.branding.pictures = Pictures();
    refused(request,
            "_normal.bmp is a language's button picture, but no languages are given; "
            "list them with --language CODE=TEXT, or remove it");
}

// The caption's colour against the background the installer carries, the stock one or the
// vendor's: a warning below 4.5:1, nothing above.
TEST_F(BrandingTest, CreateWarnsOfACaptionHardToRead) {
    const std::string input = Payload("Velmora.msi", "Velmora_German.mst", "Velmora_Japanese.mst");
    auto warnings = [&](const std::string& colour, const std::string& pictures) {
        qjxpack::CreateRequest request = Request(input);
        request.branding.caption_colour = colour;
        request.branding.pictures = pictures;
        Captured result = Create(request);
        EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
        return result.err;
    };
    // The stock background behind the caption is a light blue grey.
    EXPECT_EQ(warnings("000000", ""), "");
    EXPECT_NE(warnings("FFFFFF", "")
                  .find("warning: --caption-colour FFFFFF has a contrast of "
                        "1.9:1 with the background behind the caption (on "
                        "average B1BCD6), below the 4.5:1"),
              std::string::npos);
    // A dark band at 72 % of the vendor's background: the stock black is hard to read there,
    // white is fine, though the rest of the picture is white.
    const std::string folder = Pictures();
    std::vector<uint32_t> pixels(256 * 256, 0xFFFFFF);
    for (size_t y = 184; y < 199; ++y) {
        for (size_t x = 0; x < 256; ++x) pixels[y * 256 + x] = x % 2 ? 0x102030 : 0x203040;
    }
    scratch_.Write("pictures/background_8bit.bmp", BmpFile(256, 256, pixels));
    EXPECT_EQ(warnings("FFFFFF", folder), "");
    const std::string dark = warnings("202020", folder);
    EXPECT_NE(dark.find("--caption-colour 202020 has a contrast of 1.0:1 with the background "
                        "behind the caption (on average 182838)"),
              std::string::npos)
        << dark;
}

// A stub branded with languages keeps them through create --stub: a caption given later changes
// the caption alone, new languages replace the list and drop the old languages' pictures, and the
// stock transforms cannot be named for buttons it no longer has.
TEST_F(BrandingTest, BrandedLanguagesStayUntilGivenAgain) {
    qjxpack::BrandingRequest brand;
    brand.languages = {{"en", "English", ""}, {"fr", "Fran\u00e7ais", "K_fr.mst"}};
    brand.caption_colour = "1F3A5C";
    brand.pictures = scratch_.MakeFolder("pictures");
    scratch_.Write("pictures/background_8bit.bmp", Picture(256, 256, 200));
    for (const char* code : {"en", "fr"}) {
        scratch_.Write(std::string("pictures/button_") + code + "_normal.bmp", Picture(80, 22, 9));
        scratch_.Write(std::string("pictures/button_") + code + "_pressed.bmp", Picture(80, 22, 9));
    }
    const std::string branded = scratch_.At("Branded.exe");
    Captured result = packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
        return qjxpack::RunBrand(stub_path_, brand, branded, out, err);
    });
    ASSERT_EQ(result.status, qjxpack::EXIT_OK) << result.err;

    auto created = [&](const qjxpack::BrandingRequest& branding) {
        qjxpack::CreateRequest request = Request(Payload("Velmora.msi", "K_fr.mst", "K_es.mst"));
        request.stub = branded;
        request.branding = branding;
        Captured made = Create(request);
        qjxpack::InstallerScan scan;
        std::string error;
        if (made.status == qjxpack::EXIT_OK) {
            EXPECT_TRUE(qjxpack::ScanInstaller(request.output, &scan, &error)) << error;
        }
        return std::make_pair(made, scan.branding);
    };
    qjxpack::BrandingRequest caption;
    caption.caption = "Langue :";
    auto made = created(caption);
    ASSERT_EQ(made.first.status, qjxpack::EXIT_OK) << made.first.err;
    ASSERT_EQ(made.second.languages.size(), 2u);
    EXPECT_EQ(made.second.languages[1].transform, "K_fr.mst");
    EXPECT_EQ(made.second.caption, "Langue :");
    EXPECT_EQ(made.second.caption_colour, 0x1F3A5Cu);
    EXPECT_TRUE(made.second.language_pictures);

    qjxpack::BrandingRequest others;
    others.languages = {{"es", "Espa\u00f1ol", "K_es.mst"}};
    made = created(others);
    ASSERT_EQ(made.first.status, qjxpack::EXIT_OK) << made.first.err;
    ASSERT_EQ(made.second.languages.size(), 1u);
    EXPECT_FALSE(made.second.language_pictures);
    for (const qjxpack::PictureInfo& picture : made.second.pictures) {
        EXPECT_LT(picture.id, 140u) << "the old languages' picture stayed";
    }
    EXPECT_EQ(made.second.caption_colour, 0x1F3A5Cu) << "what is not given again stays";

    qjxpack::BrandingRequest stock_transform;
    stock_transform.transform_de = "K_de.mst";
    made = created(stock_transform);
    EXPECT_EQ(made.first.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(made.first.err.find("--transform de=: the stub offers languages of its own"),
              std::string::npos)
        << made.first.err;
}
