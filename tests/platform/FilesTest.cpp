#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "TempHome.h"
#include "platform/FileLock.h"
#include "platform/Files.h"

namespace {

TEST(FilesTest, ProgramDirectoryFollowsVembrixHome) {
    TempHome home;
    EXPECT_EQ(home.path(), platform::programDirectory());
    setenv("VEMBRIX_HOME", (home.path() + "/").c_str(), 1);
    EXPECT_EQ(home.path(), platform::programDirectory());
    unsetenv("VEMBRIX_HOME");
    std::string exe = platform::executablePath();
    EXPECT_EQ(exe.substr(0, exe.rfind('/')), platform::programDirectory());
    EXPECT_EQ("platform_tests", platform::fileNameOf(exe));
    // What ships with the program stays beside it, in a build tree also its libraries and
    // pictures.
    setenv("VEMBRIX_HOME", home.path().c_str(), 1);
    EXPECT_EQ(exe.substr(0, exe.rfind('/')), platform::executableDirectory());
    EXPECT_EQ(platform::executableDirectory(), platform::libraryDirectory());
    EXPECT_EQ(platform::executableDirectory(), platform::dataDirectory());
}

// Sets an environment variable (nullptr: unsets it) until the end of the scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(FilesTest, UserConfigFolderIsMadeWhereXdgSaysAndOnlyForTheUser) {
    TempHome home;
    const std::string xdg = home.file("xdg");
    const std::string dotConfig = home.file("user/.config");
    struct Case {
        std::optional<std::string> xdgConfigHome;
        std::string expected;
    } cases[] = {
        {xdg, xdg + "/vembrix"},
        {xdg + "//", xdg + "/vembrix"},
        {std::nullopt, dotConfig + "/vembrix"},
        {"", dotConfig + "/vembrix"},
        {"relative/config", dotConfig + "/vembrix"},  // such a value is to be ignored
    };
    ScopedVariable user("HOME", home.file("user").c_str());
    for (const Case& c : cases) {
        ScopedVariable variable("XDG_CONFIG_HOME",
                                c.xdgConfigHome ? c.xdgConfigHome->c_str() : nullptr);
        SCOPED_TRACE(c.xdgConfigHome.value_or("(unset)"));
        EXPECT_EQ(c.expected, platform::userConfigFolder("vembrix"));
        for (const std::string& folder : {c.expected, platform::folderOf(c.expected)}) {
            struct stat info {};
            ASSERT_EQ(0, stat(folder.c_str(), &info)) << folder;
            EXPECT_EQ(0700u, info.st_mode & 0777) << folder;
        }
    }
}

// A bounded read takes a file of exactly the bound and refuses one byte more, whatever
// size the file system claims; a FIFO refuses at once instead of waiting for data.
TEST(FilesTest, BoundedReadStopsAtItsBoundAndNeverWaits) {
    TempHome home;
    home.writeFile("four", "1234");
    EXPECT_EQ(platform::readFileBounded(home.file("four"), 4), "1234");
    std::string why;
    EXPECT_EQ(platform::readFileBounded(home.file("four"), 3, &why), std::nullopt);
    EXPECT_EQ(why, "larger than 3 bytes");
    EXPECT_EQ(platform::readFileBounded("/dev/zero", 1 << 20), std::nullopt);
    const std::string fifo = home.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Without a writer it would read as an empty file.
    EXPECT_EQ(platform::readFileBounded(fifo, 16, &why), std::nullopt);
    EXPECT_EQ(why, "a pipe, not a file");
    int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);  // a writer that sends nothing
    ASSERT_GE(writer, 0);
    EXPECT_EQ(platform::readFileBounded(fifo, 16, &why), std::nullopt);
    close(writer);
    EXPECT_FALSE(platform::canOpenForReading(fifo));
    EXPECT_FALSE(platform::canOpenForReading(home.path()));
    EXPECT_TRUE(platform::canOpenForReading(home.file("four")));
}

TEST(FilesTest, AppendKeepsWhatIsThere) {
    TempHome home;
    const std::string path = home.file("a.txt");
    EXPECT_TRUE(platform::appendToFile(path, "one", 3));
    EXPECT_TRUE(platform::appendToFile(path, "two", 3));
    EXPECT_EQ("onetwo", *platform::readWholeFile(path));
    EXPECT_EQ(6u, *platform::fileSize(path));
    EXPECT_FALSE(platform::appendToFile(home.file("missing/a.txt"), "x", 1));
}

TEST(FilesTest, DirectoriesAreNotReadableFiles) {
    TempHome home;
    EXPECT_FALSE(platform::canOpenForReading(home.path()));
    EXPECT_FALSE(platform::canOpenForReading(home.file("absent")));
    home.writeFile("present", "");
    EXPECT_TRUE(platform::canOpenForReading(home.file("present")));
    EXPECT_TRUE(platform::createDirectory(home.file("Log")));
    EXPECT_FALSE(platform::createDirectory(home.file("Log")));  // exists already
}

TEST(FilesTest, ReplaceKeepsPermissionsAndLeavesNoTemporaryFile) {
    TempHome home;
    const std::string path = home.file("vembrix.ini");
    home.writeFile("vembrix.ini", "old");
    ASSERT_EQ(0, chmod(path.c_str(), 0600));
    ASSERT_TRUE(platform::replaceFileContents(path, "new\r\n"));
    EXPECT_EQ("new\r\n", *platform::readWholeFile(path));
    struct stat info {};
    ASSERT_EQ(0, stat(path.c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 07777);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(home.path()))
        ++files;
    EXPECT_EQ(1, files);
}

TEST(FilesTest, FailedReplaceCleansUpAndKeepsTheOld) {
    TempHome home;
    // A folder where the file should be: the temporary file cannot take its place.
    std::filesystem::create_directories(home.file("vembrix.ini"));
    home.writeFile("vembrix.ini/kept", "old");
    EXPECT_FALSE(platform::replaceFileContents(home.file("vembrix.ini"), "new"));
    EXPECT_EQ("old", home.readFile("vembrix.ini/kept"));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(home.path()))
        ++entries;
    EXPECT_EQ(1, entries);  // no temporary file left behind
}

TEST(FilesTest, ReplaceThroughASymbolicLinkWritesTheLinkedFile) {
    TempHome home;
    namespace fs = std::filesystem;
    fs::create_directory(home.file("shared"));
    home.writeFile("shared/vembrix.ini", "old");
    fs::create_symlink("shared/vembrix.ini", home.file("vembrix.ini"));
    ASSERT_TRUE(platform::replaceFileContents(home.file("vembrix.ini"), "new"));
    EXPECT_TRUE(fs::is_symlink(home.file("vembrix.ini")));
    EXPECT_EQ("new", home.readFile("shared/vembrix.ini"));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(home.file("shared")))
        ++entries;
    EXPECT_EQ(1, entries);  // the temporary file went beside the linked file, and away
}

TEST(FilesTest, ReplaceKeepsTheFilesOwner) {
    // An administrator's save must not take the file away from the user who runs the
    // service; only root may hand a file to someone else.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file another owner";
    TempHome home;
    const std::string path = home.file("vembrix.ini");
    home.writeFile("vembrix.ini", "old");
    ASSERT_EQ(0, chown(path.c_str(), 4321, 4322));
    ASSERT_TRUE(platform::replaceFileContents(path, "new"));
    struct stat info {};
    ASSERT_EQ(0, stat(path.c_str(), &info));
    EXPECT_EQ(4321u, info.st_uid);
    EXPECT_EQ(4322u, info.st_gid);
}

// Sets or clears the immutable flag of a folder: nothing can be created in it, while the
// files already there stay writable. False where the file system or the rights lack it.
bool setImmutable(const std::string& folder, bool on) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return ok;
}

TEST(FilesTest, ReplaceInAFolderThatTakesNoNewFileIsRefusedAndKeepsTheFile) {
    // A program folder the service may not write, with a vembrix.ini it may: writing
    // the file in place would leave it cut short by a crash or a full disk.
    TempHome home;
    const std::string folder = home.file("locked");
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/vembrix.ini";
    home.writeFile("locked/vembrix.ini", "old old old");
    if (!setImmutable(folder, true))
        GTEST_SKIP() << "cannot lock a folder here";
    std::string why;
    bool replaced = platform::replaceFileContents(path, "new", &why);
    std::optional<std::string> contents = platform::readWholeFile(path);
    setImmutable(folder, false);
    EXPECT_FALSE(replaced);
    EXPECT_EQ("old old old", contents.value_or("<unreadable>"));
    EXPECT_NE(why.find("folder " + folder), std::string::npos) << why;
}

TEST(FilesTest, ReplaceRemovesTheTemporaryFileOfAnInterruptedReplace) {
    TempHome home;
    const std::string path = home.file("vembrix.ini");
    home.writeFile("vembrix.ini", "old");
    home.writeFile("vembrix.ini.tmp", "half a sa");
    ASSERT_TRUE(platform::replaceFileContents(path, "new"));
    EXPECT_EQ("new", home.readFile("vembrix.ini"));
    EXPECT_FALSE(std::filesystem::exists(home.file("vembrix.ini.tmp")));
}

TEST(FilesTest, LockExcludesEveryOtherTakerUntilReleased) {
    TempHome home;
    const std::string path = home.file("vembrix.ini");  // need not exist
    std::string why;
    auto first = platform::FileLock::acquire(path, std::chrono::milliseconds(0), why);
    ASSERT_TRUE(first) << why;
    // Also a taker in the same process (another thread, another store).
    EXPECT_FALSE(platform::FileLock::acquire(path, std::chrono::milliseconds(20), why));
    EXPECT_NE(why.find("another program has held it"), std::string::npos) << why;
    first.reset();
    EXPECT_TRUE(platform::FileLock::acquire(path, std::chrono::milliseconds(0), why));
    EXPECT_FALSE(platform::FileLock::acquire(home.file("no/such/file"), {}, why));
}

TEST(FilesTest, ReplaceIntoMissingFolderFails) {
    TempHome home;
    EXPECT_FALSE(platform::replaceFileContents(home.file("no/such/file"), "x"));
}

}  // namespace
