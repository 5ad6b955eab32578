// Where qjxpack looks for its stock stubs: in the Windows zip's layout, in the Linux package's
// layout wherever it is unpacked, and in a build tree.
#include "tools/cli/stub_location.h"

#include <gtest/gtest.h>

#include "packer_test_support.h"
#include "tools/files/file_system.h"

using packer_test::ScratchFolder;

namespace {

class StubLocationTest : public ::testing::Test {
  protected:
    // The folder a qjxpack at relative would see as its own, with the closing separator.
    std::string ProgramFolder(const std::string& relative) {
        return scratch_.MakeFolder(relative) + qjxpack::PathSeparator();
    }
    std::string Find(const std::string& program_folder, const std::string& arch,
                     const std::string& built = std::string()) {
        return qjxpack::FirstFile(qjxpack::StubPlaces(program_folder, arch, built));
    }

    ScratchFolder scratch_;
};

TEST_F(StubLocationTest, TheZipHoldsEachArchitectureInAFolderBesideThePacker) {
    std::string folder = ProgramFolder("unpacked");
    std::string x86 = scratch_.Write("unpacked/x86/qjxsea.exe", "x86");
    std::string x64 = scratch_.Write("unpacked/x64/qjxsea.exe", "x64");
    EXPECT_EQ(Find(folder, "x86"), x86);
    EXPECT_EQ(Find(folder, "x64"), x64);
}

TEST_F(StubLocationTest, ThePackageHoldsThemInItsLibraryFolderWhereverItIsUnpacked) {
    std::string folder = ProgramFolder("opt/usr/bin");
    std::string x86 = scratch_.Write("opt/usr/lib/qjxpack/x86/qjxsea.exe", "x86");
    EXPECT_EQ(Find(folder, "x86"), x86);
    // The other architecture is missing from this one: nothing is found, not the wrong stub.
    EXPECT_EQ(Find(folder, "x64"), "");
}

TEST_F(StubLocationTest, TheBuildTreesStubIsTheLastResort) {
    std::string folder = ProgramFolder("build/host/tools");
    std::string built = scratch_.Write("build/win64/startup/qjxsea.exe", "built");
    EXPECT_EQ(Find(folder, "x64", built), built);
    std::string shipped = scratch_.Write("build/host/tools/x64/qjxsea.exe", "shipped");
    EXPECT_EQ(Find(folder, "x64", built), shipped);
    // A folder of the stub's name is no stub.
    scratch_.MakeFolder("build/host/tools/x86/qjxsea.exe");
    EXPECT_EQ(Find(folder, "x86", built), built);
}

TEST_F(StubLocationTest, AProgramFolderThatIsUnknownLeavesOnlyTheBuiltStub) {
    EXPECT_EQ(qjxpack::StubPlaces("", "x86", "built.exe"), std::vector<std::string>{"built.exe"});
    EXPECT_TRUE(qjxpack::StubPlaces("", "x86", "").empty());
}

}  // namespace
