// Which files a web job may name: regular files among the shipped ones and in the
// job-file folder, wherever a name leads through links and "..".
#include "JobFiles.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "CallArguments.h"
#include "TempHome.h"

namespace {

class JobFilesTest : public ::testing::Test {
protected:
    JobFilesTest() {
        for (const char* folder : {"shipped", "shipped/inner", "jobs", "jobs/logos"})
            std::filesystem::create_directory(home.file(folder));
        for (const char* file : {"shipped/logo.bmp", "shipped/LOGO2.BMP", "shipped/vembrix.ini",
                                 "shipped/vembrix", "shipped/inner/deep.bmp", "jobs/label.prn",
                                 "jobs/logos/shop.png", "outside.prn", "jobs/logo.bmp"})
            home.writeFile(file, "x");
        std::filesystem::create_symlink(home.file("outside.prn"), home.file("jobs/out.prn"));
        std::filesystem::create_symlink(home.file("jobs/label.prn"), home.file("jobs/in.prn"));
        mkfifo(home.file("jobs/pipe").c_str(), 0600);
    }

    TempHome home;
};

TEST_F(JobFilesTest, OnlyRegularFilesInTheAllowedFoldersAreNamedAndOthersAreRefusedAlike) {
    const CJobFiles files(home.file("shipped"), "jobs");  // relative: in the program directory
    struct Name {
        std::string name;
        std::string resolved;  // empty: refused
    };
    const Name names[] = {
        {"label.prn", home.file("jobs/label.prn")},
        {"logos/shop.png", home.file("jobs/logos/shop.png")},
        {home.file("jobs/label.prn"), home.file("jobs/label.prn")},
        {"in.prn", home.file("jobs/label.prn")},   // a link that stays inside
        {"logo.bmp", home.file("jobs/logo.bmp")},  // the job-file folder comes first
        {home.file("shipped/logo.bmp"), home.file("shipped/logo.bmp")},
        {"LOGO2.BMP", home.file("shipped/LOGO2.BMP")},
        // Refused, whether the file is there or not.
        {"/etc/passwd", ""},
        {"/proc/self/environ", ""},
        {"/dev/zero", ""},
        {"missing.prn", ""},
        {"../outside.prn", ""},
        {"out.prn", ""},  // a link that leads out
        {"pipe", ""},
        {"logos", ""},
        {home.file("shipped/inner/deep.bmp"), ""},  // only the shipped folder itself
        {"vembrix.ini", ""},                        // and only its pictures
        {home.file("shipped/vembrix"), ""},
        {"", ""},
    };
    for (const Name& n : names)
        EXPECT_EQ(files.resolve(n.name).value_or(""), n.resolved) << n.name;
    EXPECT_EQ(CJobFiles(home.file("shipped"), "").resolve("label.prn"), std::nullopt);
}

// Opening a name is not harmless: a serial line's device would change its modem lines
// and could become the service's terminal. What lies outside is refused unopened.
TEST_F(JobFilesTest, NamesOutsideTheFoldersAreNeverOpened) {
    const CJobFiles files(home.file("shipped"), home.file("jobs"));
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    ASSERT_GE(inotify_add_watch(watcher, home.file("outside.prn").c_str(), IN_OPEN), 0);
    EXPECT_EQ(files.resolve(home.file("outside.prn")), std::nullopt);
    EXPECT_EQ(files.resolve("out.prn"), std::nullopt);
    char event[sizeof(inotify_event) + NAME_MAX + 1];
    EXPECT_EQ(read(watcher, event, sizeof event), -1) << "the file outside was opened";
    close(watcher);
}

TEST_F(JobFilesTest, ConfinedCallsGetFullPathsAndFontFamiliesStayNames) {
    const CJobFiles files(home.file("shipped"), home.file("jobs"));
    CallArguments args;
    args.texts = {"label.prn", "DejaVu Sans", "logos/shop.png", "text"};
    ASSERT_TRUE(files.confine(args, {0}, {1, 2}, "test"));
    EXPECT_EQ(args.texts[0], home.file("jobs/label.prn"));
    EXPECT_EQ(args.texts[1], "DejaVu Sans");
    EXPECT_EQ(args.texts[2], home.file("jobs/logos/shop.png"));
    args.texts = {"label.prn", "/usr/share/fonts", "", ""};
    EXPECT_FALSE(files.confine(args, {0}, {1}, "test"));
}

}  // namespace
