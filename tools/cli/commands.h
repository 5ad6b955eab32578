// The packer's commands. Each returns the process exit code: 0 on success, 1 when the input is
// bad or the work failed. Results go to out, one-line errors ("qjxpack: error: ...") to err.
#pragma once

#include <stdio.h>

#include <string>

#include "tools/installer/packer.h"

namespace qjxpack {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

int RunCreate(const CreateRequest& request, FILE* out, FILE* err);
// Writes a branded stub that create --stub takes.
int RunBrand(const std::string& stub, const BrandingRequest& request, const std::string& output,
             FILE* out, FILE* err);
int RunList(const std::string& installer, bool json, FILE* out, FILE* err);
// Exit 0 only when the stub would extract the installer completely and start what its buttons
// name. With stock_stub, also only when the installer's stub is that stub apart from its
// resources (and where .reloc lies).
// ca_file: also only when a signature's chain leads to a certificate in it.
int RunVerify(const std::string& installer, const std::string& stock_stub,
              const std::string& ca_file, FILE* out, FILE* err);
// Extracts with the stub's own extractor after the same checks as verify. Without overwrite, a
// name that exists in folder already (a file, or a folder that is a link or junction) stops the
// extraction there, and the message names it; with it, files are replaced. progress draws a bar
// on err while the payload streams.
int RunExtract(const std::string& installer, const std::string& folder, bool overwrite,
               bool progress, const std::string& ca_file, FILE* out, FILE* err);

// A JSON string literal for text, with bytes that are not UTF-8 kept as \u00XX.
std::string JsonString(const std::string& text);

}  // namespace qjxpack
