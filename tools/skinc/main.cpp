// skinc: compiles a skin source folder (UTF-8 text and PNG images) into the resource pack a program
// reads, after checking every file with the framework's own loaders.
#include "platform/Platform.h"
#include "tools/common/ToolSupport.h"
#include "tools/skinc/SkinCompiler.h"
#include "wceui/res/FhPackWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kUsage[] = "usage: skinc SKIN_SOURCE OUT.pack [--keep DIR]\n"
                      "       skinc --help\n";

const char kHelp[] =
    "\n"
    "Compiles a skin source folder into a resource pack:\n"
    "  - text files (.xml, .conf, .ini, .color) are UTF-8 in the source and become UTF-16LE with the\n"
    "    byte order mark;\n"
    "  - NAME.png becomes NAME.bmp with the description NAME.565a.conf (565 with the alpha plane\n"
    "    NAME.alpha) when the image has any transparency, else NAME.565.conf (plain 565);\n"
    "    NAME.32.png becomes the 32-bit NAME.bmp with NAME.32.conf;\n"
    "  - .bmp and .alpha files are taken as they are.\n"
    "Then every file is loaded the way the framework will: dialog files as XML documents with their\n"
    "\"body\", style files style by style with every animation, bitmap descriptions with their bitmaps,\n"
    "font descriptions, the colour table and language files as configuration documents; and every\n"
    "bitmap, font, colour, text and style a dialog or style file names must exist in the same size\n"
    "folder. Every problem of the run is printed as FILE:LINE:COLUMN: what (the line and column where\n"
    "they are known), with the framework's lines below it; then skinc exits 1 without writing the pack.\n"
    "\n"
    "  --keep DIR   also leave the compiled files (the pack's content) in DIR: a new or empty folder,\n"
    "               or one that an earlier --keep made\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

int Usage(const char* why) {
    return tooling::UsageError("skinc", why);
}

// Marks a --keep folder as skinc's own, which a later run may empty.
const char kKeepMarker[] = ".skinc-output";

using tooling::ReadHostFile;
using tooling::WriteHostFile;

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ("--help" == a || "-h" == a) {
            fputs(kUsage, stdout);
            fputs(kHelp, stdout);
            return 0;
        }
        if ("--version" == a) {
            tooling::PrintVersion("skinc");
            return 0;
        }
        if ("--keep" == a) {
            if (i + 1 >= argc) {
                return Usage("--keep needs a folder");
            }
            keep = argv[++i];
        } else if (a.size() > 1 && '-' == a[0]) {
            return Usage(("unknown option " + a).c_str());
        } else {
            args.push_back(a);
        }
    }
    if (2 != args.size()) {
        return Usage("skinc takes SKIN_SOURCE and OUT.pack");
    }
    const fs::path source = args[0];
    const fs::path pack = args[1];
    std::error_code ec;
    if (!fs::is_directory(source, ec)) {
        fprintf(stderr, "skinc: %s is not a folder\n", source.string().c_str());
        return 1;
    }

    // The compiled files go to a fresh folder: the one asked for, or a temporary one.
    fs::path outDir;
    bool bTemporary = keep.empty();
    if (bTemporary) {
        std::string tmpl = (fs::temp_directory_path(ec) / "skinc.XXXXXX").string();
        if (NULL == mkdtemp(tmpl.data())) {
            fprintf(stderr, "skinc: cannot make a temporary folder\n");
            return 1;
        }
        outDir = tmpl;
    } else {
        // Only a folder that an earlier run made is emptied; anything else must be new or empty.
        outDir = fs::absolute(keep, ec);
        if (fs::exists(outDir, ec) && !fs::is_empty(outDir, ec)) {
            if (!fs::is_regular_file(outDir / kKeepMarker, ec)) {
                fprintf(stderr, "skinc: %s is not empty and not an earlier --keep folder; not touching it\n",
                        outDir.string().c_str());
                return 1;
            }
            fs::remove_all(outDir, ec);
        }
        fs::create_directories(outDir, ec);
        if (ec || !WriteHostFile(outDir / kKeepMarker, "compiled by skinc; emptied by its next run\n")) {
            fprintf(stderr, "skinc: cannot make %s\n", outDir.string().c_str());
            return 1;
        }
    }
    struct Cleanup {
        fs::path dir;
        bool on;
        ~Cleanup() {
            std::error_code e;
            if (on) {
                fs::remove_all(dir, e);
            }
        }
    } cleanup{outDir, bTemporary};

    // Every problem of the run is reported, each against the file and line the author wrote.
    CSkinCompiler compiler(source, args[0], outDir);
    compiler.Compile();
    compiler.Check();
    if (!compiler.Problems().empty()) {
        // File by file, each file's problems in the order they were found.
        std::vector<SkinProblem> problems = compiler.Problems();
        std::stable_sort(problems.begin(), problems.end(),
                         [](const SkinProblem& a, const SkinProblem& b) { return a.file < b.file; });
        for (const SkinProblem& problem : problems) {
            fputs(problem.Text().c_str(), stderr);
        }
        const size_t nProblems = compiler.Problems().size(), nFiles = compiler.FilesWithProblems();
        fprintf(stderr, "skinc: %zu problem%s in %zu file%s of %s; no pack written\n", nProblems,
                1 == nProblems ? "" : "s", nFiles, 1 == nFiles ? "" : "s", args[0].c_str());
        return 1;
    }
    std::vector<std::string> items = compiler.Items();

    CFhPackWriter writer;
    writer.SetPackName(Utf8ToWide(pack.filename().string()).c_str());
    std::sort(items.begin(), items.end());
    for (const std::string& rel : items) {
        std::string bytes, error;
        if (!ReadHostFile(outDir / rel, &bytes)) {
            fprintf(stderr, "skinc: cannot read %s\n", (outDir / rel).string().c_str());
            return 1;
        }
        if (!writer.AddItem(Utf8ToWide(rel).c_str(), bytes.data(), bytes.size(), &error)) {
            fprintf(stderr, "skinc: %s\n", error.c_str());
            return 1;
        }
    }
    std::vector<BYTE> out;
    std::string error;
    {
        tooling::ProgressBar progress("packing");
        if (!writer.Build(&out, &error, [&](size_t done, size_t total) { progress.Show(done, total); })) {
            fprintf(stderr, "skinc: %s\n", error.c_str());
            return 1;
        }
    }
    if (pack.has_parent_path()) {
        fs::create_directories(pack.parent_path(), ec);
    }
    if (!WriteHostFile(pack, std::string(out.begin(), out.end()))) {
        fprintf(stderr, "skinc: cannot write %s\n", pack.string().c_str());
        return 1;
    }
    printf("%s: %zu items from %zu source files, %zu bytes\n", pack.string().c_str(), items.size(),
           compiler.SourceCount(), out.size());
    return 0;
}
