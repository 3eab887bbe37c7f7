#include "INIHelper.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <memory>

#include "ChildProcess.h"
#include "ConfigTestSupport.h"

namespace {

class IniTest : public ConfigTest {
protected:
    std::string value(CINIHelper& ini, const std::string& section, const std::string& key) {
        std::string text;
        EXPECT_TRUE(ini.GetString(section, key, "<missing>", text)) << section << "|" << key;
        return text;
    }
    // Sets, saves through the destructor, and returns the bytes written.
    std::string rewrite(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& newValue) {
        writeIni(file);
        {
            CINIHelper ini;
            EXPECT_TRUE(ini.SetString(section, key, newValue));
        }
        return iniBytes();
    }
};

constexpr uid_t kNobody = ChildProcess::kNobody;
constexpr auto npos = std::string::npos;

const char* const kCommentedFile =
    "; Vembrix configuration\n"
    "' written by hand\n"
    "\n"
    "[Vembrix]   ; the service itself\n"
    "ListenPort=8080   ; HTTP port\n"
    "// the window\n"
    "ShowWindow = 1\n"
    "\n"
    "DeviceLog=0\n"
    "[Printer1]\n"
    "PrinterType=2\n"
    "Physical=\"Front desk printer\" ; its own name\n"
    "; the serial line\n"
    "PortType=32\n"
    "PortName=\"/dev/ttyUSB0\"\n"
    "   \n"
    "BaudRate=19200\n"
    "not a key line\n"
    "[Printer2]\n"
    "PortName=\"10.0.0.9\"   'office\n"
    "PortType=2\n";

// --- The round trip ----------------------------------------------------------------

TEST_F(IniTest, RewriteKeepsEveryUntouchedLineByteForByte) {
    writeIni(kCommentedFile);
    {
        CINIHelper ini;
        // Setting a line to the text it already has makes the store write everything.
        ASSERT_TRUE(ini.SetString("Printer1", "PrinterType", "2"));
        ASSERT_TRUE(ini.Save());
        EXPECT_FALSE(ini.IsDirty());
    }
    EXPECT_EQ(iniBytes(), crlf(kCommentedFile));
}

TEST_F(IniTest, ChangedLineKeepsItsPlaceAndComment) {
    std::string written = rewrite(kCommentedFile, "Vembrix", "ListenPort", "9000");
    std::string expected = kCommentedFile;
    expected.replace(expected.find("ListenPort=8080"), 15, "ListenPort=9000");
    EXPECT_EQ(written, crlf(expected));
}

TEST_F(IniTest, UnchangedStoreDoesNotWrite) {
    writeIni(kCommentedFile);
    auto ini = std::make_unique<CINIHelper>();
    writeIniBytes("changed behind the store's back");
    EXPECT_TRUE(ini->Save());
    ini.reset();
    EXPECT_EQ(iniBytes(), "changed behind the store's back");
}

TEST_F(IniTest, DestructionSavesPendingChanges) {
    writeIni("[A]\nx=1\n");
    {
        CINIHelper ini;
        ini.SetInt("A", "x", 2);
    }
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=2\n"));
}

// --- Reading --------------------------------------------------------------------

TEST_F(IniTest, FirstSpecialCharacterDecidesTheLineType) {
    writeIni(
        "key;x=1\n"  // comment: the semicolon comes first
        "a[b]=c\n"   // header named b
        "k=v[x]\n"   // key line
        "plain\n");  // nothing special: not a key
    CINIHelper ini;
    std::string text;
    EXPECT_FALSE(ini.GetString("", "key;x", "d", text));
    EXPECT_FALSE(ini.GetString("", "key", "d", text));
    EXPECT_EQ(ini.GetSectionList(), "b|");
    EXPECT_EQ(value(ini, "b", "k"), "v[x]");
    EXPECT_FALSE(ini.GetString("b", "plain", "d", text));
    EXPECT_EQ(text, "d");
}

TEST_F(IniTest, ValuesAreTrimmedAndUnquotedAndLoseTheirTrailingComments) {
    writeIni(
        "[S]\n"
        "  Port  =  9100   ; printer port\n"
        "Name=\" a b \" ; note\n"
        "Path=C:/dir\n"
        "Tab=\tx\t\n"
        "Open=\"no closing quote\n");
    CINIHelper ini;
    EXPECT_EQ(value(ini, "S", "Port"), "9100");
    EXPECT_EQ(value(ini, "S", "Name"), "a b");
    EXPECT_EQ(value(ini, "S", "Path"), "C:");
    EXPECT_EQ(value(ini, "S", "Tab"), "x");
    EXPECT_EQ(value(ini, "S", "Open"), "");
}

TEST_F(IniTest, GetIntTakesOnlyPlainDigits) {
    writeIni("[S]\nempty=\nneg=-1\nsp= 12 \nbig=99999999999\nhex=0x10\nok=0042\n");
    CINIHelper ini;
    int n = 0;
    EXPECT_TRUE(ini.GetInt("S", "empty", 7, n));
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(ini.GetInt("S", "neg", 7, n));
    EXPECT_EQ(n, 7);
    EXPECT_TRUE(ini.GetInt("S", "sp", 7, n));
    EXPECT_EQ(n, 12);
    EXPECT_FALSE(ini.GetInt("S", "big", 7, n));
    EXPECT_EQ(n, 7);
    EXPECT_FALSE(ini.GetInt("S", "hex", 7, n));
    EXPECT_TRUE(ini.GetInt("S", "ok", 7, n));
    EXPECT_EQ(n, 42);
    EXPECT_FALSE(ini.GetInt("S", "absent", 7, n));
    EXPECT_EQ(n, 7);
}

TEST_F(IniTest, NamesAreCaseSensitiveAndTheLastDuplicateWins) {
    writeIni("[A]\nx=1\nx=2\n[a]\nx=3\n");
    CINIHelper ini;
    EXPECT_EQ(value(ini, "A", "x"), "2");
    EXPECT_EQ(value(ini, "a", "x"), "3");
    std::string text;
    EXPECT_FALSE(ini.GetString("A", "X", "d", text));
}

TEST_F(IniTest, SectionListHoldsEachNameOnceInFirstOccurrenceOrder) {
    writeIni("[Vembrix]\n[Printer1]\n[Vembrix]\n[]\n[unclosed\n[ Printer2 ]\n[Printer1]\n");
    CINIHelper ini;
    EXPECT_EQ(ini.GetSectionList(), "Vembrix|Printer1|Printer2|");
    EXPECT_EQ(ini.GetSectionCount(), 3);
}

TEST_F(IniTest, MissingFileIsTracedAndASaveCreatesIt) {
    {
        CINIHelper ini;
        EXPECT_EQ(ini.GetSectionCount(), 0);
        int n = 0;
        EXPECT_FALSE(ini.GetInt("Vembrix", "ListenPort", 8080, n));
        EXPECT_EQ(n, 8080);
        ini.SetString("Vembrix", "ListenPort", "8081");
    }
    EXPECT_TRUE(traced("CINIHelper::load> no exist file : " + home.file("vembrix.ini")));
    EXPECT_EQ(iniBytes(), crlf("[Vembrix]\nListenPort=8081\n"));
}

// --- Rewrite rules -------------------------------------------------------------

TEST_F(IniTest, NewKeyFollowsItsSectionsExistingKeys) {
    EXPECT_EQ(rewrite("[A]\nx=1\n[B]\ny=2\n", "A", "z", "3"), crlf("[A]\nx=1\nz=3\n[B]\ny=2\n"));
    // After the last key, not before the comments that follow it.
    EXPECT_EQ(rewrite("[A]\nx=1\n; about y\ny=2\n\n; about B\n[B]\n", "A", "z", "3"),
              crlf("[A]\nx=1\n; about y\ny=2\nz=3\n\n; about B\n[B]\n"));
    // A section without keys gets them right under its header.
    EXPECT_EQ(rewrite("[A]\n; empty\n[B]\n", "A", "z", "3"), crlf("[A]\nz=3\n; empty\n[B]\n"));
}

TEST_F(IniTest, NewSectionGoesToTheEnd) {
    EXPECT_EQ(rewrite("[A]\nx=1\n[B]\ny=2\n", "New", "k", "v"),
              crlf("[A]\nx=1\n[B]\ny=2\n[New]\nk=v\n"));
}

TEST_F(IniTest, ValuesWithBlanksOrCommentCharactersAreQuotedAndReadBackExactly) {
    EXPECT_EQ(rewrite("[A]\nx=1\n", "A", "x", "a b"), crlf("[A]\nx=\"a b\"\n"));
    EXPECT_EQ(rewrite("[A]\n", "A", "PortName", "/dev/ttyUSB0"),
              crlf("[A]\nPortName=\"/dev/ttyUSB0\"\n"));
    for (std::string tricky : {"/dev/ttyUSB0", "C:/dir", "a;b", "it's", "a ;b", "x ' y", "=v"}) {
        writeIni("[A]\nk=1 ; kept\n");
        {
            CINIHelper ini;
            ini.SetString("A", "k", tricky);
            ini.SetString("A", "n", tricky);
        }
        CINIHelper ini;
        EXPECT_EQ(value(ini, "A", "k"), tricky);
        EXPECT_EQ(value(ini, "A", "n"), tricky);
    }
}

TEST_F(IniTest, CommentAfterQuotedValueIsKeptAndReplacedValueKeepsIt) {
    EXPECT_EQ(rewrite("[S]\nName=\" a b \" ; note\n", "S", "Name", "c"),
              crlf("[S]\nName=c ; note\n"));
    EXPECT_EQ(rewrite("[S]\nName=\"a\"'note\n", "S", "Name", "b c"),
              crlf("[S]\nName=\"b c\"'note\n"));
}

TEST_F(IniTest, CommentCharactersInsideQuotesAreNeverTakenForAComment) {
    // A blank before the opening quote used to start the comment search inside it.
    writeIni("[S]\nx= \"ab;c\"\n");
    {
        CINIHelper ini;
        EXPECT_EQ(value(ini, "S", "x"), "ab;c");
        ini.SetString("S", "x", "ab;c");
    }
    EXPECT_EQ(iniBytes(), crlf("[S]\nx=\"ab;c\"\n"));
}

TEST_F(IniTest, QuoteAfterTheStartOfAValueIsTextAndNeverOpensAQuotedValue) {
    writeIni(
        "[S]\n"
        "ListenPort=9090 ; 12\" rack\n"
        "PortName=192.168.0.5 ; shop \"front\" till\n"
        "Size=12\" rack\n"
        "Quoted= \"a b\" ; the \"real\" one\n");
    {
        CINIHelper ini;
        int port = 0;
        EXPECT_TRUE(ini.GetInt("S", "ListenPort", 0, port));
        EXPECT_EQ(port, 9090);
        EXPECT_EQ(value(ini, "S", "PortName"), "192.168.0.5");
        EXPECT_EQ(value(ini, "S", "Size"), "12\" rack");
        EXPECT_EQ(value(ini, "S", "Quoted"), "a b");
        ini.SetString("S", "PortName", "192.168.0.6");
    }
    // A rewrite keeps the address's place and the comment, quotes and all.
    EXPECT_NE(iniBytes().find("\r\nPortName=192.168.0.6 ; shop \"front\" till\r\n"), npos);
}

TEST_F(IniTest, UnstorableTextsAreRefusedAndChangeNothing) {
    writeIni("[A]\nx=1\n");
    {
        CINIHelper ini;
        EXPECT_FALSE(ini.SetString("A", "x", "two\nlines"));
        EXPECT_FALSE(ini.SetString("A", "x", "say \"hi\""));
        EXPECT_FALSE(ini.SetString("A]", "x", "1"));
        EXPECT_FALSE(ini.SetString("A\n[B", "x", "1"));
        EXPECT_FALSE(ini.SetString("A", "k=v", "1"));
        EXPECT_FALSE(ini.SetString("A", "", "1"));
        EXPECT_FALSE(ini.IsDirty());
        EXPECT_EQ(value(ini, "A", "x"), "1");
    }
    EXPECT_TRUE(traced("<ERROR> cannot store [A] x=two"));
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=1\n"));
}

TEST_F(IniTest, RepeatedHeaderIsDroppedAndItsKeysJoinTheFirst) {
    EXPECT_EQ(rewrite("[A]\nx=1\n; A\n[B]\ny=2\n[A]\n; second A\nz=3\n", "B", "y", "5"),
              crlf("[A]\nx=1\nz=3\n; A\n[B]\ny=5\n; second A\n"));
}

TEST_F(IniTest, DuplicateKeyIsWrittenTwiceWithTheLastText) {
    EXPECT_EQ(rewrite("[A]\nx=1\nx=2 ; two\n", "A", "y", "3"),
              crlf("[A]\nx=2 ; two\nx=2 ; two\ny=3\n"));
}

TEST_F(IniTest, RemoveSectionLeavesCommentAndBlankLines) {
    writeIni("[A]\nx=1\n; about A\n\n[B]\ny=2\n[A]\nz=3\n");
    {
        CINIHelper ini;
        ini.RemoveSection("A");
        EXPECT_TRUE(ini.IsDirty());
        std::string text;
        EXPECT_FALSE(ini.GetString("A", "x", "", text));
    }
    // The repeated header and its key go as well: no empty [A] comes back to life.
    EXPECT_EQ(iniBytes(), crlf("; about A\n\n[B]\ny=2\n"));

    CINIHelper ini;
    ini.RemoveSection("Absent");
    EXPECT_FALSE(ini.IsDirty());
}

TEST_F(IniTest, SectionRemovedAndSetAgainIsWrittenAtTheEnd) {
    writeIni("[A]\nx=1\n[B]\ny=2\n");
    {
        CINIHelper ini;
        ini.RemoveSection("A");
        ini.SetString("A", "x", "9");
        EXPECT_EQ(value(ini, "A", "x"), "9");
    }
    EXPECT_EQ(iniBytes(), crlf("[B]\ny=2\n[A]\nx=9\n"));
}

// --- Lines that used to be lost or mangled --------------------------------------

TEST_F(IniTest, KeysBeforeTheFirstHeaderAreWrittenBack) {
    writeIni("; top\nloose=1\n\n[A]\nx=1\n");
    {
        CINIHelper ini;
        EXPECT_EQ(value(ini, "", "loose"), "1");
        ini.SetString("A", "x", "2");
        ini.SetString("", "added", "3");
    }
    EXPECT_EQ(iniBytes(), crlf("; top\nloose=1\nadded=3\n\n[A]\nx=2\n"));
    CINIHelper ini;
    EXPECT_EQ(value(ini, "", "added"), "3");
}

TEST_F(IniTest, UnnamedKeyAddedToAFileWithoutOneGoesBeforeTheFirstHeader) {
    EXPECT_EQ(rewrite("; top\n[A]\nx=1\n", "", "k", "v"), crlf("; top\nk=v\n[A]\nx=1\n"));
}

TEST_F(IniTest, MalformedHeadersAndTheirKeysSurviveARewrite) {
    const std::string file = "; c\n[A]\nx=1\n[]\nq=1\n[unclosed\nr=2\n[ ]\n";
    EXPECT_EQ(rewrite(file, "A", "x", "1"), crlf(file));
}

TEST_F(IniTest, LongLineStaysOneLine) {
    const std::string longValue(1500, 'v');
    const std::string longComment = "; " + std::string(2100, 'c');
    const std::string file = longComment + "\n[A]\nlong=" + longValue + "\nx=1\n";
    writeIni(file);
    {
        CINIHelper ini;
        EXPECT_EQ(value(ini, "A", "long"), longValue);
        ini.SetString("A", "x", "1");
    }
    EXPECT_EQ(iniBytes(), crlf(file));
    // A CR LF split across two read pieces is still one line end.
    const std::string filler(1024 - 8, 'w');  // CR ends a 1024-byte read
    writeIni("[A]\nk=" + filler + "\n");
    CINIHelper ini;
    EXPECT_EQ(value(ini, "A", "k"), filler);
}

TEST_F(IniTest, LastLineWithoutLineEndDoesNotRunIntoAnAddedLine) {
    writeIniBytes(crlf("[A]\nx=1"));
    {
        CINIHelper ini;
        ini.SetString("A", "y", "2");
    }
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=1\ny=2\n"));

    // With nothing after it, the last line keeps its missing line end.
    writeIniBytes(crlf("[A]\nx=1\n; end"));
    {
        CINIHelper ini;
        ini.SetString("A", "x", "2");
    }
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=2\n; end"));
}

TEST_F(IniTest, LinesWithAnEmptyKeyKeepTheirOwnText) {
    // An empty key shares its lookup with the header (or, before any header, with the
    // comment lines); the rewrite must not write those lines in its place.
    EXPECT_EQ(rewrite("=5\n; comment\n[A]\n=6\n[A]\nx=1\n", "A", "x", "2"),
              crlf("=5\n; comment\n[A]\n=6\nx=2\n"));
}

TEST_F(IniTest, EveryKindOfLineEndEndsALineAlsoWhenMixed) {
    // CR alone, LF alone and CR LF, as files edited with different tools have them.
    writeIniBytes("[A]\rx=1\r[B]\ny=2\r\nz=3\r\rw=4");
    {
        CINIHelper ini;
        EXPECT_EQ(ini.GetSectionList(), "A|B|");
        EXPECT_EQ(value(ini, "A", "x"), "1");
        EXPECT_EQ(value(ini, "B", "y"), "2");
        EXPECT_EQ(value(ini, "B", "z"), "3");
        EXPECT_EQ(value(ini, "B", "w"), "4");
        ini.SetString("B", "v", "5");
    }
    // No second [B] at the end: the key joins the section that is there.
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=1\n[B]\ny=2\nz=3\n\nw=4\nv=5\n"));
}

TEST_F(IniTest, Utf16FileIsNeitherReadNorReplaced) {
    const std::string text = "[A]\r\nx=1\r\n";
    for (const std::string& bytes :
         {utf16(text, false, true), utf16(text, true, true), utf16(text, false, false)}) {
        writeIniBytes(bytes);
        {
            CINIHelper ini;
            EXPECT_TRUE(ini.IsUnreadable());
            EXPECT_EQ(ini.GetSectionCount(), 0);
            ini.SetString("A", "x", "2");
            EXPECT_FALSE(ini.Save());
            EXPECT_NE(CINIHelper::LastError().find("UTF-16"), npos) << CINIHelper::LastError();
        }
        EXPECT_EQ(iniBytes(), bytes);
    }
}

TEST_F(IniTest, Utf8ByteOrderMarkIsReadPastAndKept) {
    const std::string mark(CINIHelper::kUtf8ByteOrderMark);
    writeIniBytes(mark + crlf("top=1\n[A]\nx=1\n"));
    {
        CINIHelper ini;
        EXPECT_EQ(value(ini, "", "top"), "1");
        ini.SetString("A", "x", "2");
    }
    EXPECT_EQ(iniBytes(), mark + crlf("top=1\n[A]\nx=2\n"));
}

TEST_F(IniTest, SaveThatCannotWriteFailsAndStaysDirty) {
    CINIHelper ini;
    ini.SetString("A", "x", "1");
    // A folder where the file should be: the file cannot be replaced.
    std::filesystem::create_directory(home.file("vembrix.ini"));
    EXPECT_FALSE(ini.Save());
    EXPECT_TRUE(ini.IsDirty());
    EXPECT_TRUE(traced("CINIHelper::Save(") && traced("<ERROR> cannot write file : "));
    std::filesystem::remove(home.file("vembrix.ini"));
    EXPECT_TRUE(ini.Save());
    EXPECT_FALSE(ini.IsDirty());
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=1\n"));
}

TEST_F(IniTest, SaveKeepsTheFilesPermissions) {
    writeIni("[A]\nx=1\n");
    namespace fs = std::filesystem;
    fs::permissions(home.file("vembrix.ini"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    { CINIHelper().SetString("A", "x", "2"); }
    EXPECT_EQ(fs::status(home.file("vembrix.ini")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=2\n"));
    // No temporary file is left beside it.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(home.path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST_F(IniTest, ReadOnlyFileIsReadWholeAndNotReplaced) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    writeIni("[A]\nx=1\n");
    ASSERT_EQ(chmod(home.path().c_str(), 0777), 0);
    ASSERT_EQ(chown(home.file("vembrix.ini").c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(chmod(home.file("vembrix.ini").c_str(), 0400), 0);
    int result = ChildProcess::runAsNobody([] {
        CINIHelper ini;
        std::string x;
        if (!ini.GetString("A", "x", "", x) || x != "1")
            return 1;
        ini.SetString("A", "y", "2");
        return ini.Save() ? 2 : 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=1\n"));
}

TEST_F(IniTest, FileWeCannotReadIsNeverReplaced) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    writeIni("[A]\nx=1\n");
    ASSERT_EQ(chmod(home.path().c_str(), 0777), 0);
    ASSERT_EQ(chmod(home.file("vembrix.ini").c_str(), 0600), 0);  // root's alone
    int result = ChildProcess::runAsNobody([] {
        CINIHelper ini;
        ini.SetString("A", "y", "2");
        return ini.Save() ? 1 : 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=1\n"));
}

// The service's user may write vembrix.ini but not its folder, as in a program folder
// installed read-only.
void makeFolderReadOnlyForNobody(const TempHome& home) {
    ASSERT_EQ(chmod(home.path().c_str(), 0755), 0);
    ASSERT_EQ(chown(home.file("vembrix.ini").c_str(), kNobody, kNobody), 0);
}

TEST_F(IniTest, SaveThatRunsOutOfSpaceLeavesTheOldFileWhole) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    const std::string old = crlf("[A]\nx=1\n");
    for (bool readOnlyFolder : {false, true}) {
        SCOPED_TRACE(readOnlyFolder ? "read-only folder" : "writable folder");
        writeIniBytes(old);
        if (readOnlyFolder)
            makeFolderReadOnlyForNobody(home);
        // A file size limit fails the write part-way, as a full disk does.
        ChildProcess saver = ChildProcess::start(
            [] {
                std::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{4096, 4096};
                setrlimit(RLIMIT_FSIZE, &limit);
                CINIHelper ini;
                ini.SetString("A", "big", std::string(100000, 'b'));
                return ini.Save() ? 1 : 0;
            },
            readOnlyFolder);
        EXPECT_EQ(saver.wait(), 0);
        EXPECT_TRUE(iniBytes() == old) << iniBytes().size() << " bytes";
        EXPECT_FALSE(std::filesystem::exists(home.file("vembrix.ini.tmp")));
    }
}

TEST_F(IniTest, StoreWithoutTheLockReadsButNeverSaves) {
    writeIni("[A]\nx=1\n");
    ChildProcess holder = holdLock(home.file("vembrix.ini"));
    {
        CINIHelper ini(std::chrono::milliseconds(20));
        EXPECT_EQ(value(ini, "A", "x"), "1");
        ini.SetString("A", "x", "2");
        EXPECT_FALSE(ini.Save());
        EXPECT_NE(CINIHelper::LastError().find("another program has held it"), npos);
    }
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=1\n"));
    holder.kill();
    {
        CINIHelper ini(std::chrono::milliseconds(20));
        ini.SetString("A", "x", "2");
        EXPECT_TRUE(ini.Save());
    }
    EXPECT_EQ(iniBytes(), crlf("[A]\nx=2\n"));
}

}  // namespace
