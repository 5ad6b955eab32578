// qjxpack: make, inspect, verify and extract installers.
#include <CLI/CLI.hpp>

#include "tools/commands.h"
#include "tools/entry_names.h"
#include "tools/file_system.h"
#include "tools/stub_location.h"

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

int Run(int argc, char** argv) {
    std::vector<std::string> arguments = qjxpack::Utf8Arguments(argc, argv);
    std::vector<const char*> pointers;
    pointers.reserve(arguments.size());
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());

    CLI::App app(
        "qjxpack: make, inspect, verify and extract self-extracting installers.\n"
        "Exit codes: 0 success, 1 bad installer or failed work, 2 bad command line.",
        "qjxpack");
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
    create_command->add_option("INPUT", create.inputs, "files and folders to pack")->required();

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
        "and on Windows what the system's signature check answers: a signature that does not "
        "match the contents fails, as the stub refuses to extract such a file. Elsewhere check "
        "the signature with osslsigncode verify.");
    verify_command->add_option("INSTALLER", installer, "installer to check")->required();

    std::string folder;
    CLI::App* extract_command = app.add_subcommand(
        "extract", "Extract the payload with the stub's own extractor, after verify's checks.");
    extract_command->add_option("INSTALLER", installer, "installer to read")->required();
    extract_command->add_option("DIR", folder, "folder to extract into (created if missing)")
        ->required();
    bool overwrite = false;
    extract_command->add_flag("--overwrite", overwrite, "replace files that exist in DIR");
    extract_command->footer(
        "Without --overwrite, a name that exists in DIR already (a file, or a folder that is a "
        "symbolic link or junction) stops the extraction with a message naming it; folders that "
        "exist as plain folders are used. Entries before it stay extracted.");

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

    if (*create_command) {
        if (create.stub.empty()) create.stub = StockStub(arch);
        if (create.stub.empty()) return qjxpack::EXIT_FAILED;
        return qjxpack::RunCreate(create, stdout, stderr);
    }
    if (*list_command) return qjxpack::RunList(installer, json, stdout, stderr);
    if (*verify_command) return qjxpack::RunVerify(installer, stdout, stderr);
    return qjxpack::RunExtract(installer, folder, overwrite, qjxpack::IsTerminal(stderr), stdout,
                               stderr);
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
