// msktool end to end: the built program, run on host folders.
#include "wceui/core/FhScramble.h"
#include "package/MskUnpacker.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
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

    ToolRun Tool(const std::vector<std::string>& args) {
        std::string command = Quote(MSKTOOL_PATH);
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
    EXPECT_EQ(r.err, "msktool: crc_check_fail\n");
}

TEST_F(Msktool, FailuresAndUsageErrorsHaveTheirExitStatus) {
    ToolRun r = Tool({});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: msktool"), std::string::npos);
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
    EXPECT_NE(r.err.find("failed, GetLastError is 2"), std::string::npos) << r.err;
    WriteHostFile(Path("junk.msk"), "not a package at all, just text");
    r = Tool({"info", Path("junk.msk")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: invalid_msk_file\n");
    r = Tool({"extract", Path("junk.msk"), Path("nowhere"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "msktool: invalid_msk_file\n");

    MakeTree();
    r = Tool({"create", Path("tree/inside.msk"), Path("tree"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("tree/inside.msk")));
    ASSERT_EQ(Tool({"create", Path("ok.msk"), Path("tree"), "--password", "gps"}).status, 0);
    r = Tool({"extract", Path("ok.msk"), Path("no-such-folder"), "--password", "gps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the unpack directory '"), std::string::npos) << r.err;
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
