// msktool end to end: the built program, run on host folders.
#include "MskTestSupport.h"
#include "wceui/core/FhScramble.h"
#include "package/MskInstall.h"
#include "package/MskSignature.h"
#include "package/MskUnpacker.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class Msktool : public ::testing::Test {
protected:
    void SetUp() override { m_dir = std::make_unique<testsupport::TempFolder>(); }
    std::string Path(const std::string& relative) const { return m_dir->Path() + "/" + relative; }

    // env: variable assignments for the tool's environment ("NAME=value ..."), if any.
    ToolRun Tool(const std::vector<std::string>& args, const std::string& env = std::string()) {
        std::string command = (env.empty() ? std::string() : env + " ") + Quote(MSKTOOL_PATH);
        for (const auto& a : args)
            command += " " + Quote(a);
        command += " 2>" + Quote(Path("stderr.txt"));
        ToolRun r;
        FILE* p = popen(command.c_str(), "r");
        if (!p)
            return r;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), p)) > 0)
            r.out.append(buf, n);
        int status = pclose(p);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.err = ReadHostFile(Path("stderr.txt"));
        return r;
    }

    void MakeTree() {
        WriteHostFile(Path("tree/nvqmain.exe"), std::string("MZ\x90\0\3\0", 6) + std::string(3000, '\xAB'));
        WriteHostFile(Path("tree/config/settings.ini"), "[unit]\nlanguage=english\n");
        WriteHostFile(Path("tree/lang/english.txt"), "OK=OK\n");
        testsupport::MakeHostFolders(Path("tree/logs"));
    }

    std::unique_ptr<testsupport::TempFolder> m_dir;
};

} // namespace

TEST_F(Msktool, CreateListVerifyInfoAndExtract) {
    MakeTree();
    ToolRun r = Tool({"create", Path("app.msk"), Path("tree"), "--password", "gps", "--root", "app"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("3 folders, 3 files"), std::string::npos) << r.out;

    r = Tool({"list", Path("app.msk"), "--password", "gps"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string expectedStart = "d 0 0 config\nd 0 0 lang\nd 0 0 logs\nf 24 ";
    EXPECT_EQ(r.out.substr(0, expectedStart.size()), expectedStart) << r.out;
    EXPECT_NE(r.out.find(" config\\settings.ini\n"), std::string::npos);
    EXPECT_NE(r.out.find("f 3006 "), std::string::npos);

    r = Tool({"verify", Path("app.msk"), "--password=gps"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("OK"), std::string::npos);

    r = Tool({"info", Path("app.msk")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("magic:         0xFA45"), std::string::npos) << r.out;
    // Without a password the unit's own are tried.
    EXPECT_NE(r.out.find("password:      gps\nroot folder:   app"), std::string::npos) << r.out;
    r = Tool({"info", Path("app.msk"), "--password", "gps"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("root folder:   app"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("entries:       6 (3 folders, 3 files, 0 of other types)"), std::string::npos);

    std::filesystem::create_directories(Path("out"));
    r = Tool({"extract", Path("app.msk"), Path("out"), "--password", "gps"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadHostFile(Path("out/app/config/settings.ini")), "[unit]\nlanguage=english\n");
    EXPECT_EQ(ReadHostFile(Path("out/app/nvqmain.exe")), ReadHostFile(Path("tree/nvqmain.exe")));
    EXPECT_TRUE(std::filesystem::is_directory(Path("out/app/logs")));
}

// Each kind of failure reads the same in every command that meets it, names the package as typed
// and the entry by its path, and says a system error in words.
TEST_F(Msktool, EachKindOfFailureHasOneSentenceInEveryCommand) {
    WriteHostFile(Path("tree/docs/readme.txt"), std::string(4000, 'r') + "end");
    ASSERT_EQ(Tool({"create", Path("a.msk"), Path("tree"), "--password", "gps", "--root", "app"}).status, 0);
    auto each = [&](const std::string& package, const std::vector<std::string>& commands,
                    const std::string& expected) {
        for (const std::string& command : commands) {
            std::vector<std::string> args = {command, Path(package)};
            if (command == "extract" || command == "install")
                args.push_back(Path(command + "-into"));
            args.insert(args.end(), {"--password", "gps"});
            ToolRun r = Tool(args);
            EXPECT_EQ(r.status, 1) << command;
            EXPECT_EQ(r.err, "msktool: " + expected + "\n") << command;
        }
    };
    const std::vector<std::string> all = {"list", "verify", "info", "extract", "install"};
    each("none.msk", all, "cannot open " + Path("none.msk") + ": No such file or directory");
    const std::string good = ReadHostFile(Path("a.msk"));
    WriteHostFile(Path("b.msk"), good);
    for (const std::string& command : all) {
        std::vector<std::string> args = {command, Path("b.msk"), "--password", "nvq"};
        if (command == "extract" || command == "install")
            args.insert(args.begin() + 2, Path(command + "-into"));
        EXPECT_EQ(Tool(args).err,
                  "msktool: wrong password for " + Path("b.msk") + " (or the file was changed)\n")
            << command;
    }
    // The stream's check value changed: only the commands that decode the streams see it.
    std::string damaged = good;
    damaged.back() ^= 1;
    WriteHostFile(Path("a.msk"), damaged);
    each("a.msk", {"verify", "extract", "install"},
         "entry 'docs\\readme.txt' of " + Path("a.msk") +
             " is damaged: its data does not decompress to its size");
    EXPECT_EQ(Tool({"list", Path("a.msk"), "--password", "gps"}).status, 0);
    // A package cut short names the entry whose data is missing.
    WriteHostFile(Path("a.msk"), good.substr(0, good.size() - 20));
    each("a.msk", all,
         Path("a.msk") +
             " is cut short: the data of entry 'docs\\readme.txt' lies beyond the end of the file");
    EXPECT_FALSE(std::filesystem::exists(Path("install-into")));
}

TEST_F(Msktool, PasswordNamesStandForTheUnitPasswords) {
    MakeTree();
    ASSERT_EQ(Tool({"create", Path("gps.msk"), Path("tree"), "--password", "gps"}).status, 0);
    ASSERT_EQ(Tool({"create", Path("nvq.msk"), Path("tree"), "--password", "nvq"}).status, 0);
    ASSERT_EQ(Tool({"create", Path("literal.msk"), Path("tree"), "--password", "pwd_tanzo"}).status, 0);
    // The same tree and password give the same bytes, whatever name the password had.
    EXPECT_EQ(ReadHostFile(Path("gps.msk")), ReadHostFile(Path("literal.msk")));
    // info finds the unit password by itself, and says so when neither fits.
    EXPECT_NE(Tool({"info", Path("nvq.msk")}).out.find("password:      nvq\n"), std::string::npos);
    ASSERT_EQ(Tool({"create", Path("other.msk"), Path("tree"), "--password", "secret"}).status, 0);
    ToolRun other = Tool({"info", Path("other.msk")});
    EXPECT_EQ(other.status, 0);
    EXPECT_NE(other.out.find("password:      neither gps nor nvq"), std::string::npos) << other.out;

    PlatformSetDeviceRoot(m_dir->Path());
    CMskUnpacker unpacker;
    std::u16string error;
    EXPECT_TRUE(unpacker.Open(u"\\gps.msk", FhPasswordToKey(u"pwd_tanzo"), error)) << WideToUtf8(error);
    EXPECT_TRUE(unpacker.Open(u"\\nvq.msk", FhPasswordToKey(u"pwd_ruv"), error)) << WideToUtf8(error);
    EXPECT_TRUE(unpacker.ReadTable(u"\\gps.msk", FhPasswordToKey(u"pwd_tanzo"), error));
    EXPECT_EQ(std::u16string(unpacker.GetRootName()), u"tree"); // the folder's own name by default

    ToolRun r = Tool({"verify", Path("nvq.msk"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: wrong password for " + Path("nvq.msk") + " (or the file was changed)\n");
}

TEST_F(Msktool, FailuresAndUsageErrorsHaveTheirExitStatus) {
    ToolRun r = Tool({});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "msktool: no command given\ntry 'msktool --help'\n");
    EXPECT_EQ(Tool({"frobnicate", "x"}).status, 2);
    EXPECT_EQ(Tool({"list", Path("x.msk")}).status, 2); // no password
    EXPECT_EQ(Tool({"extract", Path("x.msk"), "--password", "gps"}).status, 2);
    EXPECT_EQ(Tool({"list", Path("x.msk"), "--password"}).status, 2);
    EXPECT_EQ(Tool({"list", Path("x.msk"), "--password", "gps", "--bogus"}).status, 2);
    EXPECT_EQ(Tool({"list", Path("x.msk"), "--password", "gps", "--root", "r"}).status, 2);

    r = Tool({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("extract PACKAGE DEST --password P"), std::string::npos);

    r = Tool({"list", Path("missing.msk"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: cannot open " + Path("missing.msk") + ": No such file or directory\n");
    WriteHostFile(Path("junk.msk"), "not a package at all, just text");
    r = Tool({"info", Path("junk.msk")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: " + Path("junk.msk") + " is not an update package\n");
    r = Tool({"extract", Path("junk.msk"), Path("nowhere"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: " + Path("junk.msk") + " is not an update package\n");

    MakeTree();
    r = Tool({"create", Path("tree/inside.msk"), Path("tree"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("tree/inside.msk")));
    ASSERT_EQ(Tool({"create", Path("ok.msk"), Path("tree"), "--password", "gps"}).status, 0);
    // DEST and its parents are made, as unzip does.
    r = Tool({"extract", Path("ok.msk"), Path("no-such-folder/below"), "--password", "gps"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadHostFile(Path("no-such-folder/below/tree/lang/english.txt")), "OK=OK\n");
    // Messages name host paths as typed, not in the device's form.
    r = Tool({"list", Path("missing.msk"), "--password", "gps"});
    EXPECT_EQ(r.err, "msktool: cannot open " + Path("missing.msk") + ": No such file or directory\n");
    std::filesystem::create_directories(Path("ro/tree/lang/english.txt"));
    r = Tool({"extract", Path("ok.msk"), Path("ro/"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: cannot create " + Path("ro/tree/lang/english.txt") + ": Permission denied\n");
}

TEST_F(Msktool, RefusedTablesSayWhyAndDryRunWritesNothing) {
    msktest::RawPackage bad;
    bad.key = FhPasswordToKey(u"pwd_tanzo");
    bad.entries = {msktest::File(u"good.txt", "g"), msktest::File(u"what?.txt", "b")};
    WriteHostFile(Path("bad.msk"), msktest::Build(bad));
    const std::string why = "msktool: entry 'what?.txt' of " + Path("bad.msk") +
                            " cannot be unpacked safely: wildcard character in a name (* ?)\n";
    ToolRun r = Tool({"verify", Path("bad.msk"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, why);
    r = Tool({"extract", Path("bad.msk"), Path("out"), "--password", "gps"});
    EXPECT_EQ(r.err, why);
    EXPECT_FALSE(std::filesystem::exists(Path("out")));
    // The password is right even though the table is refused.
    r = Tool({"info", Path("bad.msk"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("password:      matches\nfile table:    refused\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, why);
    r = Tool({"info", Path("bad.msk")});
    EXPECT_NE(r.out.find("password:      gps\n"), std::string::npos) << r.out;

    MakeTree();
    ASSERT_EQ(Tool({"create", Path("ok.msk"), Path("tree"), "--password", "gps", "--root", "app"}).status, 0);
    r = Tool({"extract", Path("ok.msk"), Path("dry"), "--password", "gps", "--dry-run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("dry")));
    EXPECT_NE(r.out.find("d " + Path("dry/app/") + "\nd " + Path("dry/app/config/") + "\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("f 3006 " + Path("dry/app/nvqmain.exe") + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("would write 3036 bytes into " + Path("dry/app") + " ("), std::string::npos)
        << r.out;
}

TEST_F(Msktool, CreateRefusesLinksOutOfTheFolderUnlessAsked) {
    MakeTree();
    WriteHostFile(Path("secret.txt"), "outside");
    std::filesystem::create_symlink(Path("secret.txt"), Path("tree/leak.txt"));
    std::filesystem::create_symlink("lang/english.txt", Path("tree/alias.txt"));
    ToolRun r = Tool({"create", Path("a.msk"), Path("tree"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("points outside the folder"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("a.msk")));
    r = Tool({"create", Path("a.msk"), Path("tree"), "--password", "gps", "--follow-outside-links"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Tool({"extract", Path("a.msk"), Path("out"), "--password", "gps"}).status, 0);
    EXPECT_EQ(ReadHostFile(Path("out/tree/leak.txt")), "outside");
    // A link that stays inside is packed as its file without being asked.
    std::filesystem::remove(Path("tree/leak.txt"));
    ASSERT_EQ(Tool({"create", Path("b.msk"), Path("tree"), "--password", "gps"}).status, 0);
}

TEST_F(Msktool, PacktoolMakesDestAndNamesWhyAWriteFailed) {
    WriteHostFile(Path("skin/a.xml"), "alpha");
    std::string command =
        Quote(PACKTOOL_PATH) + " create /dev/full " + Quote(Path("skin")) + " 2>" + Quote(Path("stderr.txt"));
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_NE(ReadHostFile(Path("stderr.txt")).find("cannot write /dev/full: No space left on device"),
              std::string::npos)
        << ReadHostFile(Path("stderr.txt"));
    command = Quote(PACKTOOL_PATH) + " create " + Quote(Path("s.pack")) + " " + Quote(Path("skin")) +
              " >/dev/null && " + Quote(PACKTOOL_PATH) + " extract " + Quote(Path("s.pack")) + " " +
              Quote(Path("new/dest")) + " >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadHostFile(Path("new/dest/a.xml")), "alpha");
}

// Links that a desktop folder may hold inside DEST: nothing lands outside it, whichever the tool.
TEST_F(Msktool, ExtractNeverLeavesTheDestination) {
    MakeTree();
    WriteHostFile(Path("tree/target.txt"), "from the package");
    ASSERT_EQ(Tool({"create", Path("app.msk"), Path("tree"), "--password", "gps", "--root", "app"}).status,
              0);
    WriteHostFile(Path("elsewhere/victim"), "precious");
    WriteHostFile(Path("elsewhere/shared"), "shared data");
    auto outsideUntouched = [&] {
        size_t n = 0;
        for (auto it = std::filesystem::recursive_directory_iterator(Path("elsewhere"));
             it != std::filesystem::recursive_directory_iterator(); ++it)
            ++n;
        return n == 2 && ReadHostFile(Path("elsewhere/victim")) == "precious" &&
               ReadHostFile(Path("elsewhere/shared")) == "shared data";
    };
    struct Case {
        const char* name;
        const char* link; // inside DEST
        bool folder;      // the link stands for a folder of the package
    };
    for (const Case& c : {Case{"folder", "app/config", true}, Case{"case", "app/CONFIG", true},
                          Case{"root", "app", true}, Case{"file", "app/target.txt", false}}) {
        std::string dest = Path(std::string("dest-") + c.name);
        std::filesystem::create_directories(dest + "/app");
        if (std::string(c.link) == "app")
            std::filesystem::remove(dest + "/app");
        std::string target = c.folder ? Path("elsewhere") : Path("elsewhere/victim");
        ASSERT_EQ(symlink(target.c_str(), (dest + "/" + c.link).c_str()), 0);
        ToolRun r = Tool({"extract", Path("app.msk"), dest, "--password", "gps"});
        EXPECT_TRUE(outsideUntouched()) << c.name;
        if (c.folder) {
            EXPECT_EQ(r.status, 1) << c.name;
            EXPECT_NE(r.err.find(dest + "/" + c.link + " is a symbolic link inside the destination"),
                      std::string::npos)
                << c.name << ": " << r.err;
        } else {
            // A file is written whole, so the link is replaced by it.
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(ReadHostFile(dest + "/app/target.txt"), "from the package");
        }
    }
    // A hard link in DEST: the file gets data of its own.
    std::string dest = Path("dest-hard");
    std::filesystem::create_directories(dest + "/app");
    ASSERT_EQ(link(Path("elsewhere/shared").c_str(), (dest + "/app/target.txt").c_str()), 0);
    ToolRun r = Tool({"extract", Path("app.msk"), dest, "--password", "gps"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadHostFile(dest + "/app/target.txt"), "from the package");
    EXPECT_TRUE(outsideUntouched());
}

TEST_F(Msktool, PacktoolExtractNeverLeavesTheDestination) {
    WriteHostFile(Path("skin/img/a.bmp"), "bitmap");
    WriteHostFile(Path("skin/target.txt"), "from the pack");
    std::string packtool = std::filesystem::path(MSKTOOL_PATH).parent_path() / "packtool";
    auto run = [&](const std::string& args) {
        std::string command =
            Quote(packtool) + " " + args + " 2>" + Quote(Path("stderr.txt")) + " >/dev/null";
        return WEXITSTATUS(std::system(command.c_str()));
    };
    ASSERT_EQ(run("create " + Quote(Path("skin.pack")) + " " + Quote(Path("skin"))), 0);
    WriteHostFile(Path("elsewhere/victim"), "precious");
    std::filesystem::create_directories(Path("dest"));
    ASSERT_EQ(symlink(Path("elsewhere").c_str(), Path("dest/IMG").c_str()), 0);
    ASSERT_EQ(symlink(Path("elsewhere/victim").c_str(), Path("dest/target.txt").c_str()), 0);
    EXPECT_EQ(run("extract " + Quote(Path("skin.pack")) + " " + Quote(Path("dest"))), 1);
    EXPECT_NE(ReadHostFile(Path("stderr.txt")).find(Path("dest/IMG") + " is a symbolic link"),
              std::string::npos)
        << ReadHostFile(Path("stderr.txt"));
    EXPECT_FALSE(std::filesystem::exists(Path("elsewhere/a.bmp")));
    EXPECT_EQ(ReadHostFile(Path("elsewhere/victim")), "precious");
    std::filesystem::remove(Path("dest/IMG"));
    EXPECT_EQ(run("extract " + Quote(Path("skin.pack")) + " " + Quote(Path("dest"))), 0);
    EXPECT_EQ(ReadHostFile(Path("dest/target.txt")), "from the pack");
    EXPECT_EQ(ReadHostFile(Path("dest/img/a.bmp")), "bitmap");
    EXPECT_EQ(ReadHostFile(Path("elsewhere/victim")), "precious");
}

// The table of 1,000 entries on one stream (4 TB declared in 3.9 MB) is refused by every command at
// once, with the entries named once and the package's path as typed.
TEST_F(Msktool, TablesWhoseDataOverlapsAreRefusedByEveryCommand) {
    msktest::RawPackage bomb = msktest::SharedStreamPackage(1000, 3900000, 4000000000u);
    bomb.key = FhPasswordToKey(u"pwd_tanzo");
    WriteHostFile(Path("bomb.msk"), msktest::Build(bomb));
    const std::string why = "msktool: the file table of " + Path("bomb.msk") +
                            " is damaged: entry 'f0001.bin': its data overlaps entry 'f0000.bin'\n";
    ToolRun r = Tool({"verify", Path("bomb.msk"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, why);
    r = Tool({"list", Path("bomb.msk"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, why);
    r = Tool({"extract", Path("bomb.msk"), Path("out"), "--password", "gps"});
    EXPECT_EQ(r.err, why);
    EXPECT_FALSE(std::filesystem::exists(Path("out")));
}

// verify counts destination + root + entry path against the device's 260 units, as the unpack does.
TEST_F(Msktool, VerifyRefusesPathsThatReachTheLimitBelowItsDestination) {
    // An entry path of n units below root "app": a folder of 100 units, then the file's name.
    auto package = [&](const std::string& name, size_t n) {
        msktest::RawPackage p;
        p.key = FhPasswordToKey(u"pwd_tanzo");
        const std::u16string folder(100, u'f');
        const std::u16string path = folder + u"\\" + std::u16string(n - 101, u'n');
        p.entries = {msktest::Folder(folder), msktest::File(path, "x")};
        WriteHostFile(Path(name), msktest::Build(p));
        return WideToUtf8(path);
    };
    // Below the unit's \Residentflash2\app\ (20 units) by default.
    package("fits.msk", 239);
    const std::string tooLong = package("long.msk", 240);
    EXPECT_EQ(Tool({"verify", Path("fits.msk"), "--password", "gps"}).status, 0);
    ToolRun r = Tool({"verify", Path("long.msk"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: entry '" + tooLong + "' of " + Path("long.msk") +
                         " is too long to unpack below \\Residentflash2\\app\\\n");
    // A shorter device destination leaves room; a longer one takes it.
    EXPECT_EQ(Tool({"verify", Path("long.msk"), "--password", "gps", "--dest", "\\SDMMC"}).status, 0);
    EXPECT_EQ(Tool({"verify", Path("fits.msk"), "--password", "gps", "--dest=\\Residentflash22"}).status, 1);

    // A host folder is taken as extract takes DEST: verify and extract --dry-run agree at 259 and 260.
    const std::string dest = Path("d");
    const size_t target = dest.size() + std::string("/app/").size();
    package("fits.msk", 259 - target);
    package("long.msk", 260 - target);
    for (const char* name : {"fits.msk", "long.msk"}) {
        ToolRun verify = Tool({"verify", Path(name), "--password", "gps", "--dest", dest});
        ToolRun dry = Tool({"extract", Path(name), dest, "--password", "gps", "--dry-run"});
        EXPECT_EQ(verify.status, std::string(name) == "fits.msk" ? 0 : 1) << name << verify.err;
        EXPECT_EQ(dry.status, verify.status) << name << dry.err;
        EXPECT_EQ(dry.err, verify.err) << name;
    }
    EXPECT_EQ(Tool({"list", Path("fits.msk"), "--password", "gps", "--dest", dest}).status, 2);
}

TEST_F(Msktool, CreateRefusesAPathThatCannotBeInstalled) {
    // "\Residentflash2\app\" is 20 units: an entry path of 240 makes 260.
    const std::string folder(120, 'f');
    WriteHostFile(Path("tree/" + folder + "/" + std::string(119, 'n')), "x");
    ToolRun r = Tool({"create", Path("a.msk"), Path("tree"), "--password", "gps", "--root", "app"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: entry path too long to install below \\Residentflash2\\app\\: '" + folder +
                         "\\" + std::string(119, 'n') +
                         "' is 240 units, 260 in all; the device allows 259\n");
    EXPECT_FALSE(std::filesystem::exists(Path("a.msk")));
    // Another install folder is named with --dest; one unit less fits the unit's.
    r = Tool(
        {"create", Path("a.msk"), Path("tree"), "--password", "gps", "--root", "app", "--dest", "\\SDMMC"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::filesystem::rename(Path("tree/" + folder + "/" + std::string(119, 'n')),
                            Path("tree/" + folder + "/" + std::string(118, 'n')));
    r = Tool({"create", Path("b.msk"), Path("tree"), "--password", "gps", "--root", "app"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Tool({"verify", Path("b.msk"), "--password", "gps"}).status, 0);
}

// extract never leaves a partly written file under a final name, and two never write into one DEST.
TEST_F(Msktool, ExtractWritesWholeFilesOnlyAndOneAtATimeIntoDest) {
    MakeTree();
    std::string big;
    for (int i = 0; big.size() < (1u << 20); ++i)
        big += "record " + std::to_string(i * 7919 % 100003) + "\n"; // several pieces of output
    WriteHostFile(Path("tree/big.bin"), big);
    ASSERT_EQ(Tool({"create", Path("app.msk"), Path("tree"), "--password", "gps", "--root", "app"}).status,
              0);
    ToolRun r = Tool({"extract", Path("app.msk"), Path("out"), "--password", "gps"});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t files = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(Path("out"));
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        EXPECT_EQ(it->path().string().find(".part~"), std::string::npos) << it->path();
        files += it->is_regular_file();
    }
    EXPECT_EQ(files, 4u);
    // Nothing but the tree is left in DEST: the lock is the folder's own.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("out")),
                            std::filesystem::directory_iterator()),
              1);

    // Another holder of DEST's lock (another extract) makes extract fail at once, writing nothing.
    WriteHostFile(Path("out/app/config/settings.ini"), "being written by the other extract");
    int held = open(Path("out").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    r = Tool({"extract", Path("app.msk"), Path("out"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: " + Path("out") +
                         ": another extract or install is writing into it; try again when it has finished\n");
    EXPECT_EQ(ReadHostFile(Path("out/app/config/settings.ini")), "being written by the other extract");
    close(held);
    EXPECT_EQ(Tool({"extract", Path("app.msk"), Path("out"), "--password", "gps"}).status, 0);
    EXPECT_EQ(ReadHostFile(Path("out/app/config/settings.ini")), "[unit]\nlanguage=english\n");

    // A stream found bad after its first pieces were written leaves the older file as it was.
    msktest::RawPackage damaged;
    damaged.key = FhPasswordToKey(u"pwd_tanzo");
    msktest::RawEntry entry = msktest::File(u"big.bin", big);
    std::string stream = msktest::Compress(big);
    stream[stream.size() - 1] ^= 1;
    entry.stream = stream;
    damaged.entries = {entry};
    WriteHostFile(Path("damaged.msk"), msktest::Build(damaged));
    r = Tool({"extract", Path("damaged.msk"), Path("out"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: entry 'big.bin' of " + Path("damaged.msk") +
                         " is damaged: its data does not decompress to its size\n");
    EXPECT_TRUE(ReadHostFile(Path("out/app/big.bin")) == big);
    EXPECT_FALSE(std::filesystem::exists(Path("out/app/big.bin.part~")));
}

TEST_F(Msktool, KeygenSignAndVerifyWithAPublicKey) {
    MakeTree();
    ASSERT_EQ(Tool({"create", Path("app.msk"), Path("tree"), "--password", "gps", "--root", "app"}).status,
              0);
    ToolRun r = Tool({"keygen", Path("maker.key"), Path("maker.pub")});
    ASSERT_EQ(r.status, 0) << r.err;
    auto mode = [&](const std::string& file) {
        return std::filesystem::status(Path(file)).permissions() & std::filesystem::perms::all;
    };
    EXPECT_EQ(mode("maker.key"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string secret = ReadHostFile(Path("maker.key"));
    const std::string pub = ReadHostFile(Path("maker.pub"));
    MskSecretKey key;
    ASSERT_TRUE(MskParseSecretKey(secret, &key, NULL)) << secret;
    EXPECT_EQ(MskPublicKeyLine(key), pub);
    EXPECT_NE(r.out.find(pub.substr(0, pub.size() - 1)), std::string::npos) << r.out;

    // Key files are kept unless --force; neither is written when one of them exists.
    r = Tool({"keygen", Path("maker.key"), Path("maker.pub")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: " + Path("maker.key") + " exists; give --force to replace it\n");
    r = Tool({"keygen", Path("new.key"), Path("maker.pub")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("new.key")));
    EXPECT_EQ(ReadHostFile(Path("maker.key")), secret);
    EXPECT_EQ(ReadHostFile(Path("maker.pub")), pub);
    ASSERT_EQ(Tool({"keygen", Path("other.key"), Path("other.pub")}).status, 0);
    r = Tool({"keygen", Path("other.key"), Path("other.pub"), "--force"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadHostFile(Path("other.pub")), pub);
    EXPECT_EQ(mode("other.key"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    r = Tool({"sign", Path("app.msk"), "--key", Path("maker.key")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string sig = ReadHostFile(Path("app.msk.sig"));
    EXPECT_EQ(sig.rfind("msk-ed25519-blake2b-sig ", 0), 0u) << sig;
    r = Tool({"verify", Path("app.msk"), "--password", "gps", "--pubkey", Path("maker.pub")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("app.msk: signed by the key of " + Path("maker.pub") + "\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(": OK, 6 entries"), std::string::npos) << r.out;

    const std::string sigPath = Path("app.msk.sig");
    r = Tool({"verify", Path("app.msk"), "--password", "gps", "--pubkey", Path("other.pub")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: bad signature '" + sigPath + "': the signature does not match the package's " +
                         std::to_string(std::filesystem::file_size(Path("app.msk"))) +
                         " bytes under this public key: the package changed after it was signed, or another "
                         "key signed it\n");

    // A changed package fails on its signature before its streams are looked at; signing it again
    // replaces the signature whole.
    std::string package = ReadHostFile(Path("app.msk"));
    package[package.size() - 10] ^= 0x20;
    WriteHostFile(Path("app.msk"), package);
    r = Tool({"verify", Path("app.msk"), "--password", "gps", "--pubkey", Path("maker.pub")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("msktool: bad signature '" + sigPath + "'", 0), 0u) << r.err;
    ASSERT_EQ(Tool({"sign", Path("app.msk"), "--key", Path("maker.key")}).status, 0);
    EXPECT_NE(ReadHostFile(sigPath), sig);
    r = Tool({"verify", Path("app.msk"), "--password", "gps", "--pubkey", Path("maker.pub")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("signature"), std::string::npos)
        << r.err; // the stream is refused, not the signature
    package[package.size() - 10] ^= 0x20;
    WriteHostFile(Path("app.msk"), package);
    ASSERT_EQ(Tool({"sign", Path("app.msk"), "--key", Path("maker.key")}).status, 0);
    EXPECT_EQ(ReadHostFile(sigPath), sig);
    // Nothing but the files asked for: no temporary files are left behind.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir->Path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 7u); // app.msk, app.msk.sig, maker.*, other.*, stderr.txt

    struct Case {
        const char* what;
        std::string sigFile; // empty: none; "-": an empty file
        std::string pubFile;
        std::string err;
    };
    const Case cases[] = {
        {"no signature", "", pub, "msktool: unsigned package: there is no signature '" + sigPath + "'\n"},
        {"an empty signature", "-", pub,
         "msktool: malformed signature '" + sigPath + "': the file is empty\n"},
        {"a cut signature", sig.substr(0, 50), pub,
         "msktool: malformed signature '" + sigPath +
             "': the signature has 26 characters after \"msk-ed25519-blake2b-sig \", not the 88 of 64 bytes "
             "in "
             "base64\n"},
        {"a public key as the signature", pub, pub,
         "msktool: malformed signature '" + sigPath +
             "': the signature is of another kind or algorithm: \"msk-ed25519-blake2b-pub\", not "
             "\"msk-ed25519-blake2b-sig\"\n"},
        {"a malformed key", sig, "msk-ed25519-blake2b-pub AAAA\n",
         "msktool: malformed public key " + Path("bad.pub") +
             ": the public key has 4 characters after \"msk-ed25519-blake2b-pub \", not the 44 of 32 bytes "
             "in "
             "base64\n"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(sigPath);
        if (!c.sigFile.empty())
            WriteHostFile(sigPath, c.sigFile == "-" ? std::string() : c.sigFile);
        WriteHostFile(Path("bad.pub"), c.pubFile);
        r = Tool({"verify", Path("app.msk"), "--password", "gps", "--pubkey", Path("bad.pub")});
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
    }
    r = Tool({"verify", Path("app.msk"), "--password", "gps", "--pubkey", Path("missing.pub")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "msktool: cannot read the public key " + Path("missing.pub") + ": there is no such file\n");
    r = Tool({"sign", Path("app.msk"), "--key", Path("maker.pub")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is of another kind or algorithm: \"msk-ed25519-blake2b-pub\""), std::string::npos)
        << r.err;
    r = Tool({"sign", Path("missing.msk"), "--key", Path("maker.key")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("missing.msk.sig")));

    EXPECT_EQ(Tool({"sign", Path("app.msk")}).status, 2);
    EXPECT_EQ(Tool({"keygen", Path("only.key")}).status, 2);
    EXPECT_EQ(Tool({"list", Path("app.msk"), "--password", "gps", "--pubkey", Path("maker.pub")}).status, 2);
    EXPECT_EQ(Tool({"verify", Path("app.msk"), "--password", "gps", "--key", Path("maker.key")}).status, 2);
    EXPECT_EQ(Tool({"sign", Path("app.msk"), "--key", Path("maker.key"), "--force"}).status, 2);
}

namespace {

// A host folder's tree: each entry's path below it, a folder with a closing "/" and nothing after
// it, a file with its bytes.
std::map<std::string, std::string> TreeOf(const std::string& folder) {
    std::map<std::string, std::string> tree;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        std::string below = std::filesystem::relative(it->path(), folder).string();
        if (it->is_directory())
            tree[below + "/"] = "";
        else
            tree[below] = ReadHostFile(it->path().string());
    }
    return tree;
}

// The names in a host folder.
std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Bytes that deflate cannot shrink.
std::string Noise(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        c = static_cast<char>(seed);
    }
    return bytes;
}

bool Killed(const ToolRun& r) {
    return r.status == -1 || r.status == 128 + SIGKILL; // the shell may run the tool as its child
}

class MsktoolInstall : public Msktool {
protected:
    // a.msk holds the fixture's tree under root "app"; b.msk another tree under root "navi".
    void MakePackages() {
        MakeTree();
        ASSERT_EQ(Tool({"create", Path("a.msk"), Path("tree"), "--password", "gps", "--root", "app"}).status,
                  0);
        WriteHostFile(Path("tree2/navi.exe"), "the new application");
        WriteHostFile(Path("tree2/maps/europe.map"), std::string(5000, 'm'));
        testsupport::MakeHostFolders(Path("tree2/empty"));
        ASSERT_EQ(
            Tool({"create", Path("b.msk"), Path("tree2"), "--password", "gps", "--root", "navi"}).status, 0);
        testsupport::MakeHostFolders(Path("apps"));
    }
    ToolRun Install(const std::string& package, const std::string& env = std::string(),
                    const char* password = "gps") {
        return Tool({"install", Path(package), Path("apps/app"), "--password", password}, env);
    }
    void SetUp() override {
        Msktool::SetUp();
        m_app = Path("apps/app");
    }
    std::string m_app;
};

} // namespace

TEST_F(MsktoolInstall, ThePackageTreeReplacesTheFolderAndNothingIsLeftBesideIt) {
    MakePackages();
    ToolRun r = Install("a.msk");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(
        r.out.rfind(m_app + ": installed 3 files, 3 folders, 3036 bytes from " + Path("a.msk") + ", staged, ",
                    0),
        0u)
        << r.out;
    EXPECT_EQ(TreeOf(m_app), TreeOf(Path("tree")));
    EXPECT_EQ(NamesIn(Path("apps")), std::vector<std::string>{"app"});

    // Over an existing tree (named with a closing slash): the old files go, whatever the root is called.
    r = Tool({"install", Path("b.msk"), m_app + "/", "--password", "gps"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("installed 2 files, 2 folders, 5019 bytes"), std::string::npos) << r.out;
    EXPECT_EQ(TreeOf(m_app), TreeOf(Path("tree2")));
    EXPECT_EQ(NamesIn(Path("apps")), std::vector<std::string>{"app"});

    r = Tool({"--help"});
    EXPECT_NE(r.out.find("install PACKAGE APPFOLDER --password P"), std::string::npos);
    EXPECT_NE(r.out.find("whatever\n      the root is called"), std::string::npos);
    EXPECT_EQ(Tool({"install", Path("a.msk"), m_app}).status, 2); // no password
    EXPECT_EQ(Tool({"install", Path("a.msk"), m_app, "--password", "gps", "--dest", "x"}).status, 2);
}

// Every refusal comes before the folder changes: it stays as it was, byte for byte.
TEST_F(MsktoolInstall, ARefusedInstallLeavesTheFolderAsItWas) {
    MakePackages();
    ASSERT_EQ(Install("a.msk").status, 0);
    const auto before = TreeOf(Path("apps"));

    ToolRun r = Install("b.msk", "", "nvq");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: wrong password for " + Path("b.msk") + " (or the file was changed)\n");
    EXPECT_EQ(TreeOf(Path("apps")), before);

    msktest::RawPackage damaged;
    damaged.key = FhPasswordToKey(u"pwd_tanzo");
    const std::string big = Noise(300000, 3);
    msktest::RawEntry entry = msktest::File(u"big.bin", big);
    std::string stream = msktest::Compress(big);
    stream[stream.size() / 2] ^= 0x55;
    entry.stream = stream;
    damaged.entries = {msktest::File(u"first.txt", "fine"), entry};
    WriteHostFile(Path("damaged.msk"), msktest::Build(damaged));
    r = Install("damaged.msk");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: entry 'big.bin' of " + Path("damaged.msk") +
                         " is damaged: its data does not decompress to its size\n");
    EXPECT_EQ(TreeOf(Path("apps")), before);

    // Paths are counted below APPFOLDER itself: one unit short of the device's limit fits.
    auto longPackage = [&](const std::string& name, size_t units) {
        msktest::RawPackage p;
        p.key = FhPasswordToKey(u"pwd_tanzo");
        const std::u16string folder(100, u'f');
        const std::u16string path = folder + u"\\" + std::u16string(units - 101, u'n');
        p.entries = {msktest::Folder(folder), msktest::File(path, "x")};
        WriteHostFile(Path(name), msktest::Build(p));
        return WideToUtf8(path);
    };
    const size_t room = 259 - (m_app.size() + 1); // the longest path that fits below APPFOLDER
    const std::string tooLong = longPackage("long.msk", room + 1);
    r = Install("long.msk");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: entry '" + tooLong + "' of " + Path("long.msk") +
                         " is too long to unpack below " + m_app + "/\n");
    EXPECT_EQ(TreeOf(Path("apps")), before);

    // Another holder of the parent's lock (another install or extract there).
    int held = open(Path("apps").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    r = Install("b.msk");
    close(held);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: " + Path("apps") +
                         ": another extract or install is writing into it; try again when it has finished\n");
    EXPECT_EQ(TreeOf(Path("apps")), before);

    // A dry run checks everything and says how it would install, writing nothing.
    r = Tool({"install", Path("b.msk"), m_app, "--password", "gps", "--dry-run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(m_app + ": would install 2 files, 2 folders, 5019 bytes from " + Path("b.msk") +
                              ", staged (",
                          0),
              0u)
        << r.out;
    EXPECT_EQ(TreeOf(Path("apps")), before);
    testsupport::MakeHostFolders(Path("empty"));
    EXPECT_EQ(Tool({"install", Path("b.msk"), Path("empty/app"), "--password", "gps", "--dry-run"}).status,
              0);
    EXPECT_TRUE(NamesIn(Path("empty")).empty());

    r = Tool({"install", Path("b.msk"), Path("nowhere/app"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: cannot install into " + Path("nowhere/app") + ": its parent folder " +
                         Path("nowhere") + " does not exist\n");
    EXPECT_FALSE(std::filesystem::exists(Path("nowhere")));

    const std::string fits = longPackage("fits.msk", room);
    r = Install("fits.msk");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadHostFile(m_app + "/" + std::string(100, 'f') + "/" + std::string(room - 101, 'n')), "x");
}

// A run killed while it staged or while it switched is settled by the next run before anything else,
// even when that run then fails.
TEST_F(MsktoolInstall, TheNextRunSettlesAKilledInstall) {
    MakePackages();
    ASSERT_EQ(Install("a.msk").status, 0);
    auto wrongPassword = [&](const std::string& package) {
        return "msktool: wrong password for " + Path(package) + " (or the file was changed)\n";
    };

    ToolRun r = Install("b.msk", "WINCE_KILL_AT=create:2:ap+");
    ASSERT_TRUE(Killed(r)) << r.status << r.err;
    EXPECT_EQ(NamesIn(Path("apps")), (std::vector<std::string>{"ap+", "app", "app.phase"}));
    r = Install("b.msk", "", "nvq");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: " + m_app + ": an install from " + Path("b.msk") +
                         " was cut before its switch; rolled back, the folder is the one it replaced\n" +
                         wrongPassword("b.msk"));
    EXPECT_EQ(TreeOf(m_app), TreeOf(Path("tree")));
    EXPECT_EQ(NamesIn(Path("apps")), std::vector<std::string>{"app"});

    // Killed between the renames: the old tree is aside, the new one still staged.
    r = Install("b.msk", "WINCE_KILL_AT=move:1:ap+");
    ASSERT_TRUE(Killed(r)) << r.status << r.err;
    EXPECT_EQ(NamesIn(Path("apps")), (std::vector<std::string>{"ap+", "ap-", "app.phase"}));
    const auto cut = TreeOf(Path("apps"));
    r = Tool({"install", Path("a.msk"), m_app, "--password", "gps", "--dry-run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "msktool: " + m_app + ": an install from " + Path("b.msk") +
                         " was cut during its switch; an install finishes the switch first\n");
    EXPECT_EQ(TreeOf(Path("apps")), cut);
    r = Install("a.msk", "", "nvq");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: " + m_app + ": an install from " + Path("b.msk") +
                         " was cut during its switch; the switch is finished, the folder is its tree\n" +
                         wrongPassword("a.msk"));
    EXPECT_EQ(TreeOf(m_app), TreeOf(Path("tree2")));
    EXPECT_EQ(NamesIn(Path("apps")), std::vector<std::string>{"app"});
}

// Leftovers made by hand as the installer leaves them.
TEST_F(MsktoolInstall, AnIncompleteInPlaceInstallIsReplacedAndAnUnreadableRecordStopsTheRun) {
    MakePackages();
    ASSERT_EQ(Install("a.msk").status, 0);
    PlatformSetDeviceRoot("/");
    std::string oldPackage = Path("old.msk");
    std::replace(oldPackage.begin(), oldPackage.end(), '/', '\\');
    std::string appDevice = m_app;
    std::replace(appDevice.begin(), appDevice.end(), '/', '\\');
    const MskInstallLayout layout = MskInstallLayoutFor(Utf8ToWide(appDevice).c_str());
    MskPhaseRecord record;
    record.phase = MSK_PHASE_UNPACKING;
    record.package = Utf8ToWide(oldPackage);
    ASSERT_TRUE(MskWritePhaseRecord(layout, record));
    std::filesystem::remove_all(m_app + "/lang");

    ToolRun r = Install("b.msk");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "msktool: warning: " + m_app + ": an install from " + Path("old.msk") +
                         " was cut while it refilled the folder in place: the folder is incomplete; this "
                         "install replaces it\n");
    EXPECT_EQ(TreeOf(m_app), TreeOf(Path("tree2")));
    EXPECT_EQ(NamesIn(Path("apps")), std::vector<std::string>{"app"});

    // A staging folder with its record, as a cut left it.
    WriteHostFile(Path("apps/ap+/navi.exe"), "half");
    record.phase = MSK_PHASE_STAGING;
    ASSERT_TRUE(MskWritePhaseRecord(layout, record));
    r = Install("a.msk");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("was cut before its switch; rolled back"), std::string::npos) << r.err;
    EXPECT_EQ(TreeOf(m_app), TreeOf(Path("tree")));
    EXPECT_EQ(NamesIn(Path("apps")), std::vector<std::string>{"app"});

    // A record that cannot be read says nothing of what is safe to remove: the run stops there.
    WriteHostFile(Path("apps/ap-/navi.exe"), "maybe the only copy");
    WriteHostFile(Path("apps/app.phase"), "scrambled");
    const auto before = TreeOf(Path("apps"));
    r = Install("b.msk");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: cannot finish or roll back the install cut beside " + m_app +
                         ": the phase record " + Path("apps") + "/app.phase cannot be read\n");
    EXPECT_EQ(TreeOf(Path("apps")), before);
}

// A volume that cannot hold both trees: the folder is cleared and refilled, and the run says so.
TEST_F(MsktoolInstall, AVolumeTooSmallForBothTreesIsFilledInPlace) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    MakeTree();
    WriteHostFile(Path("old/data.bin"), Noise(120 * 1024, 1));
    WriteHostFile(Path("new/data.bin"), Noise(150 * 1024, 2));
    WriteHostFile(Path("new/readme.txt"), "new");
    ASSERT_EQ(Tool({"create", Path("old.msk"), Path("old"), "--password", "gps"}).status, 0);
    ASSERT_EQ(Tool({"create", Path("new.msk"), Path("new"), "--password", "gps"}).status, 0);
    testsupport::MakeHostFolders(Path("flash"));
    if (mount("tmpfs", Path("flash").c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{Path("flash")};

    const std::string app = Path("flash/app");
    ToolRun r = Tool({"install", Path("old.msk"), app, "--password", "gps"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(", staged, "), std::string::npos) << r.out;
    r = Tool({"install", Path("new.msk"), app, "--password", "gps", "--dry-run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(", in place ("), std::string::npos) << r.out;
    EXPECT_EQ(TreeOf(app), TreeOf(Path("old")));
    r = Tool({"install", Path("new.msk"), app, "--password", "gps"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "msktool: warning: the volume cannot hold both trees: " + app +
                         " is cleared, then refilled; if this run is cut, the next install completes it\n");
    EXPECT_NE(r.out.find(", in place, "), std::string::npos) << r.out;
    EXPECT_EQ(TreeOf(app), TreeOf(Path("new")));
    EXPECT_EQ(NamesIn(Path("flash")), std::vector<std::string>{"app"});
}
