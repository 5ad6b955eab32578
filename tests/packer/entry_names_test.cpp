// Which names the stub can create below its folder.
#include "tools/installer/entry_names.h"

#include <gtest/gtest.h>

using qjxpack::EntryNameProblem;
using qjxpack::MAX_ENTRY_NAME_BYTES;

TEST(EntryNames, AcceptsOrdinaryNamesUpToTheBudget) {
    EXPECT_EQ(EntryNameProblem("\\Velmora.msi"), "");
    EXPECT_EQ(EntryNameProblem("\\docs\\read me.txt"), "");
    EXPECT_EQ(EntryNameProblem("\\Gr\xC3\xB6\xC3\x9F"
                               "e\\\xE6\x97\xA5\xE6\x9C\xAC.txt"),
              "");
    EXPECT_EQ(EntryNameProblem("\\console.txt"), "");  // only the bare device names are taken
    EXPECT_EQ(EntryNameProblem("\\com0"), "");
    EXPECT_EQ(EntryNameProblem("\\" + std::string(MAX_ENTRY_NAME_BYTES - 1, 'n')), "");
}

TEST(EntryNames, RefusesNamesOverTheBudgetAndSaysWhatItIs) {
    std::string problem = EntryNameProblem("\\" + std::string(MAX_ENTRY_NAME_BYTES, 'n'));
    EXPECT_NE(problem.find("160 bytes"), std::string::npos) << problem;
    EXPECT_NE(problem.find("159"), std::string::npos) << problem;
}

TEST(EntryNames, RefusesNamesThatLeaveTheFolder) {
    for (const char* name : {"", "Velmora.msi", "\\..\\x", "\\a\\..\\..\\x", "\\.", "\\a\\\\b",
                             "\\a\\", "\\C:\\x", "\\\\server\\share"}) {
        EXPECT_NE(EntryNameProblem(name), "") << name;
    }
}

TEST(EntryNames, RefusesNamesWindowsCannotHold) {
    for (const char* name :
         {"\\a<b", "\\a>b", "\\a:b", "\\a\"b", "\\a|b", "\\a?b", "\\a*b", "\\tab\there",
          "\\trailing.", "\\dir \\x", "\\con", "\\CON", "\\sub\\nul.txt", "\\LPT1", "\\com9.log",
          "\\aux \\x", "\\bad\xFF", "\\cut\xC3"}) {
        EXPECT_NE(EntryNameProblem(name), "") << name;
    }
    EXPECT_NE(EntryNameProblem(std::string("\\nul\0x", 6)), "");
    // A device name says so, naming the part.
    EXPECT_EQ(EntryNameProblem("\\docs\\CON.txt"),
              "holds CON.txt, a reserved device name, which Windows opens as a device");
    EXPECT_EQ(EntryNameProblem("\\console.txt"), "");
    EXPECT_EQ(EntryNameProblem("\\com10"), "");
}

TEST(EntryNames, FoldsAsciiCase) {
    EXPECT_EQ(qjxpack::FoldCase("\\Docs\\README.TXT"), "\\docs\\readme.txt");
}
