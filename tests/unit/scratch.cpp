#include "scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

ScratchFolder::ScratchFolder() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::random_device random;
    std::string name = "qjx_unit_";
    if (test) name += std::string(test->test_suite_name()) + "_" + test->name() + "_";
    name += std::to_string(random());
    path_ = fs::temp_directory_path() / name;
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchFolder::Utf8WithSeparator() const {
    return Utf8(path_) + static_cast<char>(fs::path::preferred_separator);
}

std::string Utf8(const fs::path& path) {
    return path.u8string();
}

fs::path FromUtf8(const std::string& utf8) {
    return fs::u8path(utf8);
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> ListTree(const fs::path& root) {
    std::vector<std::string> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        std::string text = entry.path().lexically_relative(root).generic_u8string();
        if (entry.is_directory()) text += '/';
        entries.push_back(text);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}
