#include <gtest/gtest.h>

#include "ProgramFiles.h"
#include "TempHome.h"

namespace {

TEST(ProgramFilesTest, ProductVersionText) {
    EXPECT_EQ("1.0.4", programfiles::productVersionText(0x00010000, 0x00040000));
    EXPECT_EQ("1.0.4P02", programfiles::productVersionText(0x00010000, 0x00040002));
    EXPECT_EQ("2.10.300P15", programfiles::productVersionText(0x0002000A, 0x012C000F));
    EXPECT_EQ("", programfiles::productVersionText("/no/such/program"));
}

TEST(ProgramFilesTest, VersionBlockOfTheProgram) {
    programfiles::VersionStrings strings;
    ASSERT_TRUE(programfiles::versionStrings(programfiles::programFileName(false), strings));
    EXPECT_EQ("Vembrix", strings.productName);
    EXPECT_FALSE(strings.companyName.empty());
    EXPECT_NE(std::string::npos, strings.legalCopyright.find("Copyright"));
    EXPECT_FALSE(programfiles::versionStrings("/no/such/program", strings));
}

TEST(ProgramFilesTest, FileTestRelativeToProgramDirectory) {
    TempHome home;
    EXPECT_FALSE(programfiles::fileTest("trace.txt", true));
    home.writeFile("trace.txt", "");
    EXPECT_TRUE(programfiles::fileTest("trace.txt", true));
    EXPECT_FALSE(programfiles::fileTest("trace.txt", false));  // not in the working directory
    EXPECT_TRUE(programfiles::fileTest(home.file("trace.txt"), false));
}

TEST(ProgramFilesTest, ProgramFileName) {
    EXPECT_EQ("program_files_tests", programfiles::programFileName(true));
    EXPECT_EQ('/', programfiles::programFileName(false).front());
}

}  // namespace
