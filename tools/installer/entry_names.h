// Which entry names the stub can create. The stub joins its folder (%TEMP%\QJXxxxxx\) and the
// name into one path of fewer than 260 bytes, so a name must leave room for the folder.
#pragma once

#include <stddef.h>

#include <string>

#include "payload/payload_format.h"

namespace qjxpack {

// Bytes kept free for the stub's folder: %TEMP% of up to 91 bytes plus "QJX", five digits and a
// backslash. That covers the usual temporary folders, "C:\users\<name>\Temp\" (Wine),
// "C:\Users\<name>\AppData\Local\Temp\" and
// "C:\Documents and Settings\<name>\Local Settings\Temp\", for user names up to 20 characters.
constexpr size_t TEMP_FOLDER_BUDGET = 100;
constexpr size_t STUB_FOLDER_SUFFIX = 9;  // "QJX" + 5 hex digits + "\"
// The longest entry name in bytes: folder + name must stay below MAX_PATH_BYTES.
constexpr size_t MAX_ENTRY_NAME_BYTES = MAX_PATH_BYTES - 1 - TEMP_FOLDER_BUDGET;
static_assert(MAX_ENTRY_NAME_BYTES == 159, "the documented name budget");
static_assert(MAX_ENTRY_NAME_BYTES + 1 <= ENTRY_NAME_CAPACITY, "names fit the stub's buffer");

// Empty when the stub can create the entry, otherwise the reason it cannot, for a message.
// Covers names the extractor refuses, names Windows cannot hold (reserved characters and device
// names, trailing dots and spaces, invalid UTF-8) and names over the budget. A directory's name
// may end in one separator.
std::string EntryNameProblem(const std::string& name, bool directory = false);

// The name with control characters shown as '?', safe to print on a terminal.
std::string PrintableName(const std::string& name);

// Windows compares names without regard to case: "\A" and "\a" are one file there.
std::string FoldCase(const std::string& name);

}  // namespace qjxpack
