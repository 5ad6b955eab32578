#include "command_line/exit_codes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

// The contract with deployment tools, as the README states it.
TEST(ExitCodes, EveryResultCodeHasItsExitCode) {
    const std::map<ResultCode, std::pair<int, int>> expected = {
        {RESULT_OK, {0, 0}},
        {RESULT_OUT_OF_MEMORY, {1603, 1603}},
        {RESULT_BUFFER_TOO_SMALL, {1603, 1603}},
        {RESULT_ALREADY_EXISTS, {1603, 80}},
        {RESULT_CANT_CREATE_FILE, {1603, 1603}},
        {RESULT_CANT_OPEN_FILE, {1619, 1619}},
        {RESULT_WRITE_FAILED, {1603, 1603}},
        {RESULT_USER_CANCEL, {1602, 1602}},
        {RESULT_TEMP_FOLDER, {1632, 1632}},
        {RESULT_INVALID_INSTALLER, {1620, 1620}},
        {RESULT_BAD_PAYLOAD, {1620, 1620}},
        {RESULT_UNSAFE_NAME, {1620, 1620}},
        {RESULT_BAD_UTF8, {1620, 1620}},
        {RESULT_CONVERSION_FAILED, {1603, 1603}},
        {RESULT_LAUNCH_FAILED, {1603, 1603}},
        {RESULT_WINDOW_FAILED, {1603, 1603}},
        {RESULT_WAIT_FAILED, {1603, 1603}},
        {RESULT_FOLDER_REFUSED, {1603, 1603}},
        {RESULT_LOG_REFUSED, {1639, 1639}},
        {RESULT_BAD_SWITCH, {1639, 1639}},
        {RESULT_FOLDER_NO_SECURITY, {1603, 1603}},
    };
    ASSERT_EQ(expected.size(), RESULT_DESCRIPTION_COUNT);
    for (const auto& [code, codes] : expected) {
        EXPECT_EQ(codes.first, ExitCodeOf(code, false)) << code;
        EXPECT_EQ(codes.second, ExitCodeOf(code, true)) << code;
        EXPECT_STRNE("failure", DescribeResult(code)) << code;
    }
    // STILL_ACTIVE (259) or any success can never come from a code the table lacks.
    EXPECT_EQ(1603, ExitCodeOf(-1, false));
}

// A code added to the header without a row would fall through: every code defined there must
// have its row, and each row a code of its own.
TEST(ExitCodes, TheTableCoversEveryCodeTheHeaderDefines) {
    std::ifstream header(QJX_SOURCE_DIR "/common/result_code.h");
    ASSERT_TRUE(header) << "cannot read result_code.h";
    std::stringstream text;
    text << header.rdbuf();
    const std::string source = text.str();
    const std::regex definition(R"((RESULT_[A-Z0-9_]+)\s*=\s*(-?[0-9]+))");
    std::set<long> defined;
    for (auto it = std::sregex_iterator(source.begin(), source.end(), definition);
         it != std::sregex_iterator(); ++it) {
        defined.insert(std::stol((*it)[2]));
    }
    std::set<long> described;
    for (size_t i = 0; i < RESULT_DESCRIPTION_COUNT; ++i) {
        EXPECT_TRUE(described.insert(RESULT_DESCRIPTIONS[i].code).second)
            << "two rows for " << RESULT_DESCRIPTIONS[i].code;
    }
    EXPECT_EQ(defined, described);
}

}  // namespace
