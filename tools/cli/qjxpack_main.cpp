// qjxpack: make, inspect, verify and extract installers.
#include <CLI/CLI.hpp>

#include "tools/cli/commands.h"
#include "tools/cli/stub_location.h"
#include "tools/files/file_system.h"
#include "tools/installer/entry_names.h"
#include "tools/pe/language_branding.h"

namespace {

// The stub of that architecture that came with this program (installed or unpacked), else the
// one a build tree beside this one made. Empty, with a message, when there is none.
std::string StockStub(const std::string& arch) {
    std::string built;
#if defined(QJX_BUILT_STUB_X86) && defined(QJX_BUILT_STUB_X64)
    built = arch == "x64" ? QJX_BUILT_STUB_X64 : QJX_BUILT_STUB_X86;
#endif
    std::vector<std::string> places = qjxpack::StubPlaces(qjxpack::ProgramFolder(), arch, built);
    std::string stub = qjxpack::FirstFile(places);
    if (stub.empty()) {
        std::string looked;
        for (const std::string& place : places) looked += (looked.empty() ? "" : ", ") + place;
        fprintf(stderr,
                "qjxpack: error: no %s stub came with qjxpack (looked for %s); name one "
                "with --stub\n",
                arch.c_str(), looked.c_str());
    }
    return stub;
}

// The raw --language and --transform values, taken into the request once the line is parsed.
struct LanguageValues {
    std::vector<std::string> languages;
    std::vector<std::string> transforms;
};

void AddBrandingOptions(CLI::App* command, qjxpack::BrandingRequest* branding,
                        LanguageValues* values) {
    command->add_option("--product-name", branding->product_name,
                        "window title and product name (UTF-8)");
    command->add_option("--company", branding->company,
                        "company in the version resource and the manifest's name");
    command->add_option("--description", branding->description,
                        "file description (default with --product-name: \"NAME Setup\")");
    command->add_option("--copyright", branding->copyright, "copyright in the version resource");
    command->add_option("--trademarks", branding->trademarks, "trademarks in the version resource");
    command->add_option("--comments", branding->comments, "comments in the version resource");
    command->add_option("--original-filename", branding->original_filename,
                        "original file name in the version resource (Setup.exe, say)");
    command->add_option("--internal-name", branding->internal_name,
                        "internal name in the version resource");
    command
        ->add_option("--product-version", branding->product_version,
                     "product version text, when it is not --version; as a.b.c.d also the "
                     "product version number")
        ->type_name("TEXT");
    command
        ->add_option("--version-language", branding->version_language,
                     "language of the version texts, a Windows language id (default 1033, US "
                     "English)")
        ->type_name("LANGID");
    command
        ->add_option("--version", branding->version,
                     "file and product version, a.b.c.d (numbers up to 65535)")
        ->type_name("A.B.C.D");
    command->add_option("--icon", branding->icon, "icon file (.ico): all its images")
        ->type_name("FILE.ico");
    command
        ->add_option("--pictures", branding->pictures,
                     "folder with the window pictures, PNG or BMP (see the footer)")
        ->type_name("DIR");
    command->add_option("--package", branding->package, "package every language button installs")
        ->type_name("NAME");
    // One value a use, so that the inputs after it stay inputs.
    command
        ->add_option("--language", values->languages,
                     "a language button, in order, 1 to " + std::to_string(MAX_LANGUAGES) +
                         ": a language tag (en, pt-BR, zh-Hans) and the button's text in that "
                         "language (UTF-8, at most " +
                         std::to_string(qjxpack::MAX_LANGUAGE_TEXT_CHARACTERS) +
                         " characters; & marks the mnemonic, && is an ampersand); replaces the "
                         "stock three")
        ->type_name("CODE=TEXT")
        ->allow_extra_args(false);
    command
        ->add_option("--transform", values->transforms,
                     "a listed language's transform, once for each; without --language, de= or "
                     "ja= for the stock German and Japanese buttons")
        ->type_name("CODE=NAME")
        ->allow_extra_args(false);
    command
        ->add_option("--caption", branding->caption,
                     "the text over the buttons (UTF-8, at most " +
                         std::to_string(qjxpack::MAX_CAPTION_CHARACTERS) +
                         " characters; default \"Select a Language:\")")
        ->type_name("TEXT");
    command
        ->add_option("--caption-colour", branding->caption_colour,
                     "the caption's colour (default 000000, black); create warns below a "
                     "contrast of 4.5:1 with the background")
        ->type_name("RRGGBB");
}

constexpr const char* BRANDING_FOOTER =
    "\n\nBranding: --pictures DIR holds background_8bit and the six buttons "
    "(button_english_pressed, button_english_normal, button_german_pressed, button_german_normal, "
    "button_japanese_pressed, button_japanese_normal), each NAME.png or NAME.bmp, 256x256 and "
    "68x22 "
    "pixels; background_4bit and background_1bit are derived from background_8bit unless given. "
    "The set for twice the display scale, all seven or none: background_8bit@2x (512x512) and "
    "button_..._normal@2x/_pressed@2x (136x44); without it the stub's own is removed. Colours are "
    "kept exactly: at most 256 for a background, 93 for a normal and 40 for a pressed button, 16 "
    "and 2 for the 4- and 1-bit backgrounds. With --language the stock buttons' pictures are "
    "optional, and the stub draws each language's button, unless DIR holds button_CODE_normal "
    "and button_CODE_pressed for every language (or none), all of one size (68 to 236 by 22 to "
    "44 pixels), with button_CODE_normal@2x and button_CODE_pressed@2x at twice the size for all "
    "or none.";

constexpr const char* EXIT_CODES =
    "Exit codes:\n"
    "  0  success\n"
    "  1  a bad input: a file, folder, stub, icon, picture or installer qjxpack cannot use, a "
    "signature that does not match; or the work failed (a disk full, say)\n"
    "  2  a bad command line: an unknown command or option, a missing or empty value, a value "
    "of the wrong form (a version, a name, a transform)";

constexpr const char* COMMANDS[] = {"create", "brand", "list", "verify", "extract"};

// A first word that is no command and no option: named, with the commands there are.
bool IsUnknownCommand(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2 || arguments[1].empty() || arguments[1][0] == '-') return false;
    for (const char* command : COMMANDS) {
        if (arguments[1] == command) return false;
    }
    fprintf(stderr,
            "qjxpack: error: %s is not a command; give create, brand, list, verify or extract "
            "(see qjxpack --help)\n",
            arguments[1].c_str());
    return true;
}

// An option or input given as an empty text ("") is a mistake, never a way to leave it out.
bool HasEmptyValue(const CLI::App* command) {
    for (const CLI::Option* option : command->get_options()) {
        for (const std::string& value : option->results()) {
            if (!value.empty()) continue;
            fprintf(stderr,
                    "qjxpack: error: %s: the value is empty; give one, or leave the option out "
                    "(see qjxpack %s --help)\n",
                    option->get_name().c_str(), command->get_name().c_str());
            return true;
        }
    }
    return false;
}

int Run(int argc, char** argv) {
    std::vector<std::string> arguments = qjxpack::Utf8Arguments(argc, argv);
    std::vector<const char*> pointers;
    pointers.reserve(arguments.size());
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());

    CLI::App app("qjxpack: make, inspect, verify and extract self-extracting installers.",
                 "qjxpack");
    app.footer(EXIT_CODES);
    app.require_subcommand(1);
    // The same version as the stub's version resource.
    app.set_version_flag("--version", std::string("qjxpack ") + QJX_VERSION);

    qjxpack::CreateRequest create;
    std::string arch = "x86";
    CLI::App* create_command =
        app.add_subcommand("create", "Make an installer: the stub, then INPUT files and folders.");
    create_command->footer(
        "A file becomes \\NAME; a folder becomes \\NAME followed by everything in it; FOLDER/. "
        "adds only what FOLDER holds. Entry names may have " +
        std::to_string(qjxpack::MAX_ENTRY_NAME_BYTES) +
        " bytes at most, so that they fit below a %TEMP% of up to " +
        std::to_string(qjxpack::TEMP_FOLDER_BUDGET - qjxpack::STUB_FOLDER_SUFFIX) +
        " bytes, such as C:\\users\\<name>\\Temp\\. The output is written in full before it "
        "replaces an existing file.");
    create_command->add_option("-o,--output", create.output, "installer to write")->required();
    CLI::Option* arch_option =
        create_command
            ->add_option("--arch", arch,
                         "the stock stub that came with qjxpack: x86 runs on every Windows, x64 "
                         "where 32-bit programs cannot run")
            ->check(CLI::IsMember({"x86", "x64"}))
            ->capture_default_str();
    create_command->add_option("--stub", create.stub, "any other stub program, instead of --arch")
        ->excludes(arch_option);
    create_command->add_flag("--quiet", create.quiet,
                             "extract without any window and start nothing");
    create_command->add_flag("--follow-links", create.follow_links,
                             "pack what symbolic links (and junctions) inside the folders lead "
                             "to, when it lies inside the folder packed; without it they are "
                             "refused");
    create_command->add_option("INPUT", create.inputs, "files and folders to pack")->required();
    LanguageValues language_values;
    AddBrandingOptions(create_command, &create.branding, &language_values);
    create_command->footer(create_command->get_footer() +
                           " Without branding options the installer starts with the stub's "
                           "bytes but for the PE checksum, which covers the whole file. Symbolic "
                           "links (and junctions) inside a folder are refused unless "
                           "--follow-links. Unless --quiet, the payload must hold at its root the "
                           "package "
                           "and transforms the buttons start." +
                           BRANDING_FOOTER);

    std::string brand_output;
    std::string brand_stub;
    std::string brand_arch = "x86";
    qjxpack::BrandingRequest brand;
    CLI::App* brand_command = app.add_subcommand(
        "brand", "Write a branded stub, for create --stub, with the same options as create.");
    brand_command->add_option("-o,--output", brand_output, "branded stub to write")->required();
    CLI::Option* brand_arch_option =
        brand_command
            ->add_option("--arch", brand_arch, "the stock stub that came with qjxpack to brand")
            ->check(CLI::IsMember({"x86", "x64"}))
            ->capture_default_str();
    brand_command->add_option("--stub", brand_stub, "any other stub program to brand")
        ->excludes(brand_arch_option);
    AddBrandingOptions(brand_command, &brand, &language_values);
    brand_command->footer(std::string("Only the stub's resources change; qjxpack verify --stub "
                                      "STOCK tells the result from STOCK by nothing else.") +
                          BRANDING_FOOTER);

    std::string installer;
    bool json = false;
    CLI::App* list_command =
        app.add_subcommand("list", "Show the trailer and every entry (name, size, offset).");
    list_command->add_option("INSTALLER", installer, "installer to read")->required();
    list_command->add_flag("--json", json, "print one JSON object for scripts");

    CLI::App* verify_command = app.add_subcommand(
        "verify", "Check the structure: exit 0 only when the stub would extract everything.");
    verify_command->footer(
        "For a signed installer it also says whether the payload lies inside the signed region, "
        "and checks every signature, nested ones included: the image hash it signed against the "
        "file, and the signer's signature over what it signed. A signature that does not match "
        "fails (\"damaged after signing\"), as the stub refuses to extract such a file. On "
        "Windows the system checks it; elsewhere qjxpack does. The certificate is judged only "
        "with --ca.");
    verify_command->add_option("INSTALLER", installer, "installer to check")->required();
    std::string stock_stub;
    verify_command->add_option("--stub", stock_stub,
                               "also check that the installer's stub is this stub apart from its "
                               "resources (branding)");

    std::string ca_file;
    verify_command
        ->add_option("--ca", ca_file,
                     "certificates (PEM) a signature's chain must lead to; on Windows the "
                     "system's store judges it")
        ->type_name("FILE");

    std::string folder;
    CLI::App* extract_command = app.add_subcommand(
        "extract", "Extract the payload with the stub's own extractor, after verify's checks.");
    extract_command->add_option("INSTALLER", installer, "installer to read")->required();
    extract_command->add_option("DIR", folder, "folder to extract into (created if missing)")
        ->required();
    extract_command
        ->add_option("--ca", ca_file, "certificates (PEM) a signature's chain must lead to")
        ->type_name("FILE");
    bool overwrite = false;
    extract_command->add_flag("--overwrite", overwrite, "replace files that exist in DIR");
    extract_command->footer(
        "Without --overwrite, a name that exists in DIR already (a file, or a folder that is a "
        "symbolic link or junction) stops the extraction with a message naming it; folders that "
        "exist as plain folders are used. Entries before it stay extracted.");

    if (IsUnknownCommand(arguments)) return qjxpack::EXIT_USAGE;
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        fprintf(stderr, "qjxpack: error: %s (see qjxpack --help)\n", e.what());
        return qjxpack::EXIT_USAGE;
    }

    for (const CLI::App* command : app.get_subcommands()) {
        if (HasEmptyValue(command)) return qjxpack::EXIT_USAGE;
    }
    if (*create_command || *brand_command) {
        qjxpack::BrandingRequest* request = *create_command ? &create.branding : &brand;
        std::string problem = qjxpack::TakeLanguageOptions(language_values.languages,
                                                           language_values.transforms, request);
        if (problem.empty()) problem = qjxpack::BrandingValueProblem(*request);
        if (!problem.empty()) {
            fprintf(stderr, "qjxpack: error: %s\n", problem.c_str());
            return qjxpack::EXIT_USAGE;
        }
    }
    if (*create_command) {
        if (create.stub.empty()) create.stub = StockStub(arch);
        if (create.stub.empty()) return qjxpack::EXIT_FAILED;
        return qjxpack::RunCreate(create, stdout, stderr);
    }
    if (*brand_command) {
        if (brand.Empty()) {
            fprintf(stderr,
                    "qjxpack: error: brand: nothing to brand; give at least one branding option "
                    "(see qjxpack brand --help)\n");
            return qjxpack::EXIT_USAGE;
        }
        if (brand_stub.empty()) brand_stub = StockStub(brand_arch);
        if (brand_stub.empty()) return qjxpack::EXIT_FAILED;
        return qjxpack::RunBrand(brand_stub, brand, brand_output, stdout, stderr);
    }
    if (*list_command) return qjxpack::RunList(installer, json, stdout, stderr);
    if (*verify_command) return qjxpack::RunVerify(installer, stock_stub, ca_file, stdout, stderr);
    return qjxpack::RunExtract(installer, folder, overwrite, qjxpack::IsTerminal(stderr), ca_file,
                               stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
    // Running out of memory, say, ends the tool with a message rather than an abort. An output
    // being written replaces nothing until it is complete.
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        fprintf(stderr, "qjxpack: error: %s\n", e.what());
        return qjxpack::EXIT_FAILED;
    }
}
