// What every program's command line shares (--version, usage errors), and the machine-readable and
// summary output of msktool and packtool, run as the built programs.
#include "ToolRun.h"
#include "tools/common/ToolSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

using nlohmann::json;
using testsupport::WriteHostFile;

namespace {

struct Program {
    const char* name;
    const char* path;
};

const Program kPrograms[] = {
    {"msktool", MSKTOOL_PATH},
    {"packtool", PACKTOOL_PATH},
    {"bmptool", BMPTOOL_PATH},
    {"skinc", SKINC_PATH},
    {"travlek", TRAVLEK_PATH},
    {"travlek-device", TRAVLEK_DEVICE_PATH},
    {"wceui-preview", WCEUI_PREVIEW_PATH},
    {"wceui-demo", WCEUI_DEMO_PATH},
    {"wceui-gallery", WCEUI_GALLERY_PATH},
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class ToolConventions : public ::testing::Test {
protected:
    std::string Path(const std::string& relative) const { return m_dir.Path() + "/" + relative; }
    tooltest::Result Run(const char* program, const std::vector<std::string>& args) {
        std::string command = Quote(program);
        for (const std::string& a : args)
            command += " " + Quote(a);
        return tooltest::Run(m_dir.Path(), command);
    }
    tooltest::Result Msktool(const std::vector<std::string>& args) { return Run(MSKTOOL_PATH, args); }
    tooltest::Result Packtool(const std::vector<std::string>& args) { return Run(PACKTOOL_PATH, args); }

    // stdout as JSON; a parse error fails the test with the text that did not parse.
    static json Parse(const tooltest::Result& r) {
        json j = json::parse(r.out, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << "not JSON: " << r.out;
        return j;
    }
    static void ExpectJsonFailure(const tooltest::Result& r, const char* program) {
        EXPECT_EQ(r.status, 1);
        json j = Parse(r);
        ASSERT_TRUE(j.is_object()) << r.out;
        EXPECT_EQ(j["ok"], false);
        ASSERT_TRUE(j["error"].is_string());
        EXPECT_FALSE(j["error"].get<std::string>().empty());
        // People still read the failure on stderr.
        EXPECT_EQ(r.err.rfind(std::string(program) + ": ", 0), 0u) << r.err;
    }

    // A tree with a name beyond ASCII, which JSON must carry as UTF-8, packed
    // with the unit's password into app.msk.
    void MakePackage() {
        WriteHostFile(Path("tree/nvqmain.exe"), std::string(3000, 'x'));
        WriteHostFile(Path("tree/config/settings.ini"), "[unit]\nlanguage=english\n");
        WriteHostFile(Path("tree/lang/it's \xC3\xA9.txt"), "OK=OK\n");
        testsupport::MakeHostFolders(Path("tree/logs"));
        tooltest::Result r =
            Msktool({"create", Path("app.msk"), Path("tree"), "--password", "gps", "--root", "app"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    const std::map<std::string, uint64_t> kFiles = {
        {"nvqmain.exe", 3000}, {"config/settings.ini", 24}, {"lang/it's \xC3\xA9.txt", 6}};
    const uint64_t kFileBytes = 3000 + 24 + 6;

    testsupport::TempFolder m_dir;
};

TEST_F(ToolConventions, EveryProgramPrintsTheBuildsVersion) {
    for (const Program& p : kPrograms) {
        tooltest::Result r = Run(p.path, {"--version"});
        EXPECT_EQ(r.status, 0) << p.name;
        EXPECT_EQ(r.out, std::string(p.name) + " " + TOOL_VERSION + "\n");
        EXPECT_EQ(r.err, "") << p.name;
    }
}

TEST_F(ToolConventions, AUsageErrorIsOneLineAndWhereTheHelpIs) {
    // An option no program knows, given where each reads its options.
    for (const Program& p : kPrograms) {
        tooltest::Result r = Run(p.path, {"--no-such-option"});
        EXPECT_EQ(r.status, 2) << p.name;
        EXPECT_EQ(r.out, "") << p.name;
        const std::string hint = std::string("\ntry '") + p.name + " --help'\n";
        ASSERT_GT(r.err.size(), hint.size()) << p.name;
        EXPECT_EQ(r.err.rfind(std::string(p.name) + ": ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - hint.size()), hint) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
    }
    // Mistakes found after the options are read, and the subcommands with a help of their own.
    struct Case {
        const char* path;
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {MSKTOOL_PATH, {"list", "x.msk"}, "msktool: list needs --password\ntry 'msktool --help'\n"},
        {MSKTOOL_PATH,
         {"info", "x.msk", "-v"},
         "msktool: -v is only for list and extract\ntry 'msktool --help'\n"},
        {MSKTOOL_PATH, {}, "msktool: no command given\ntry 'msktool --help'\n"},
        {PACKTOOL_PATH, {"list"}, "packtool: list takes PACK\ntry 'packtool --help'\n"},
        {PACKTOOL_PATH,
         {"create", "a.pack", "dir", "--json"},
         "packtool: --json is only for list\ntry 'packtool --help'\n"},
        {SKINC_PATH, {"only-one"}, "skinc: skinc takes SKIN_SOURCE and OUT.pack\ntry 'skinc --help'\n"},
        {BMPTOOL_PATH,
         {"text", "--bogus"},
         "bmptool text: unknown option --bogus\ntry 'bmptool text --help'\n"},
        {TRAVLEK_PATH, {"--bpp", "8"}, "travlek: --bpp takes 16 or 32\ntry 'travlek --help'\n"},
    };
    for (const Case& c : cases) {
        tooltest::Result r = Run(c.path, c.args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(ToolConventions, MsktoolJsonCarriesTheEntriesHeaderAndVerdict) {
    MakePackage();
    tooltest::Result r = Msktool({"list", Path("app.msk"), "--password", "gps", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    json list = Parse(r);
    EXPECT_EQ(list["ok"], true);
    EXPECT_EQ(list["root"], "app");
    EXPECT_EQ(list["package"], Path("app.msk"));
    std::map<std::string, uint64_t> files;
    std::vector<std::string> folders;
    for (const json& e : list["entries"]) {
        if (e["type"] == "file") {
            files[e["path"].get<std::string>()] = e["size"].get<uint64_t>();
            EXPECT_GT(e["stored"].get<uint64_t>(), 0u);
        } else {
            EXPECT_EQ(e["type"], "folder");
            folders.push_back(e["path"].get<std::string>());
        }
    }
    EXPECT_EQ(files, kFiles);
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::string>{"config", "lang", "logs"}));

    r = Msktool({"info", Path("app.msk"), "--password", "gps", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    json info = Parse(r);
    EXPECT_EQ(info["ok"], true);
    EXPECT_EQ(info["file_size"].get<uint64_t>(), std::filesystem::file_size(Path("app.msk")));
    EXPECT_EQ(info["password"], "given");
    EXPECT_EQ(info["root"], "app");
    EXPECT_EQ(info["entries"], 6);
    EXPECT_EQ(info["files"], 3);
    EXPECT_EQ(info["folders"], 3);
    EXPECT_EQ(info["unpacked_size"].get<uint64_t>(), kFileBytes);
    EXPECT_EQ(info["table_end"].get<uint64_t>() + info["data_region"].get<uint64_t>(),
              info["file_size"].get<uint64_t>());
    // Without a password the unit's own are tried and the one that opens is named.
    r = Msktool({"info", Path("app.msk"), "--json"});
    EXPECT_EQ(Parse(r)["password"], "gps");

    r = Msktool({"verify", Path("app.msk"), "--password", "gps", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    json verify = Parse(r);
    EXPECT_EQ(verify["ok"], true);
    EXPECT_EQ(verify["files"], 3);
    EXPECT_EQ(verify["folders"], 3);
    EXPECT_EQ(verify["bytes"].get<uint64_t>(), kFileBytes);
    EXPECT_TRUE(verify["signature_key"].is_null());
}

TEST_F(ToolConventions, JsonFailuresAreObjectsWithTheErrorAndExitNonZero) {
    MakePackage();
    ExpectJsonFailure(Msktool({"list", Path("app.msk"), "--password", "nvq", "--json"}), "msktool");
    ExpectJsonFailure(Msktool({"verify", Path("app.msk"), "--password", "nvq", "--json"}), "msktool");
    ExpectJsonFailure(Msktool({"info", Path("missing.msk"), "--json"}), "msktool");
    ExpectJsonFailure(Packtool({"list", Path("missing.pack"), "--json"}), "packtool");
    // A package no password of the unit opens is no failure for info: the password is null.
    ASSERT_EQ(Msktool({"create", Path("other.msk"), Path("tree"), "--password", "other"}).status, 0);
    tooltest::Result r = Msktool({"info", Path("other.msk"), "--json"});
    EXPECT_EQ(r.status, 0);
    json info = Parse(r);
    EXPECT_TRUE(info["password"].is_null());
    EXPECT_FALSE(info.contains("root"));
}

TEST_F(ToolConventions, PacktoolListJsonAndQuietListing) {
    WriteHostFile(Path("skin/Res/Color.txt"), "abc");
    WriteHostFile(Path("skin/wnd/main.xml"), "<dlg/>\n");
    ASSERT_EQ(Packtool({"create", Path("s.pack"), Path("skin"), "--name", "s"}).status, 0);
    tooltest::Result r = Packtool({"list", Path("s.pack"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    json j = Parse(r);
    EXPECT_EQ(j["ok"], true);
    EXPECT_EQ(j["name"], "s");
    std::map<std::string, uint64_t> items;
    for (const json& item : j["items"])
        items[item["path"].get<std::string>()] = item["size"].get<uint64_t>();
    EXPECT_EQ(items, (std::map<std::string, uint64_t>{{"res/color.txt", 3}, {"wnd/main.xml", 7}}));
    EXPECT_EQ(j["unpacked"], 10);

    r = Packtool({"list", Path("s.pack"), "-q"});
    EXPECT_EQ(r.out, "res\\color.txt\nwnd\\main.xml\n");
    r = Packtool({"list", Path("s.pack")});
    EXPECT_NE(r.out.find("2 items, "), std::string::npos) << r.out;
}

TEST_F(ToolConventions, MsktoolExtractSaysWhatItWroteAndListsWithVerbosity) {
    MakePackage();
    tooltest::Result r = Msktool({"extract", Path("app.msk"), Path("out"), "--password", "gps"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string size = tooling::HumanBytes(kFileBytes);
    EXPECT_TRUE(std::regex_match(
        r.out, std::regex(Path("out") + "/app: 3 files, 3 folders, " + size + " in [0-9]+\\.[0-9]{2} s\n")))
        << r.out;
    // -q: nothing but the files; -v: every entry as written, then the summary.
    r = Msktool({"extract", Path("app.msk"), Path("quiet"), "--password", "gps", "-q"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(std::filesystem::is_regular_file(Path("quiet/app/nvqmain.exe")));
    r = Msktool({"extract", Path("app.msk"), Path("loud"), "--password", "gps", "-v"});
    EXPECT_NE(r.out.find(Path("loud") + "/app/config/settings.ini\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(Path("loud") + "/app/logs\n"), std::string::npos) << r.out;

    r = Msktool({"list", Path("app.msk"), "--password", "gps", "-q"});
    std::vector<std::string> paths;
    for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
        paths.push_back(r.out.substr(at, end - at));
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"config", "config\\settings.ini", "lang",
                                               "lang\\it's \xC3\xA9.txt", "logs", "nvqmain.exe"}));
    r = Msktool({"list", Path("app.msk"), "--password", "gps", "-v"});
    EXPECT_NE(r.out.find("3 files, 3 folders, "), std::string::npos) << r.out;
}

TEST_F(ToolConventions, OneFileAndOneFolderAreCountedInTheSingular) {
    WriteHostFile(Path("one/sub/only.txt"), "1");
    ASSERT_EQ(Msktool({"create", Path("one.msk"), Path("one"), "--password", "gps"}).status, 0);
    tooltest::Result r = Msktool({"extract", Path("one.msk"), Path("out"), "--password", "gps"});
    EXPECT_NE(r.out.find(": 1 file, 1 folder, 1 B in "), std::string::npos) << r.out;
    r = Msktool({"verify", Path("one.msk"), "--password", "gps"});
    EXPECT_NE(r.out.find("OK, 2 entries, 1 file, 1 byte\n"), std::string::npos) << r.out;
    r = Msktool({"install", Path("one.msk"), Path("app"), "--password", "gps"});
    EXPECT_NE(r.out.find("installed 1 file, 1 folder, 1 byte from "), std::string::npos) << r.out;
    WriteHostFile(Path("skin/a.txt"), "a");
    ASSERT_EQ(Packtool({"create", Path("s.pack"), Path("skin")}).status, 0);
    r = Packtool({"list", Path("s.pack")});
    EXPECT_NE(r.out.find("\n1 item, 1 byte unpacked, "), std::string::npos) << r.out;
}

} // namespace
