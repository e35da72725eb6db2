// packtool: builds, lists and extracts resource packs, prints what the framework reads for a path, and
// checks skin files with the framework's own XML and configuration parsers.
#include "platform/DeviceNames.h"
#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "tools/common/JsonWriter.h"
#include "tools/common/ToolSupport.h"
#include "tools/skinc/SkinCompiler.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/res/FhConfDoc.h"
#include "wceui/res/FhPackFile.h"
#include "wceui/res/FhPackWriter.h"
#include "wceui/res/WceUiReadFile.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/style/FhStyleFile.h"
#include "wceui/style/WceUiStyle.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kUsage[] = "usage: packtool create PACK FOLDER [--password P] [--name NAME]\n"
                      "       packtool list PACK [--password P] [--json] [-q|-v]\n"
                      "       packtool extract PACK DEST [--password P]\n"
                      "       packtool cat PATH [--device DIR] [--password P]\n"
                      "       packtool check FILE...\n"
                      "       packtool --help | --version\n";

const char kHelp[] =
    "\n"
    "Resource packs hold the skin files of a program in one file: each item compressed with zlib,\n"
    "behind a directory scrambled with the key of a password. The framework reads packs with an\n"
    "absent password, which is also the default here.\n"
    "\n"
    "  create PACK FOLDER   packs every file under FOLDER; item paths are the files' paths relative to\n"
    "                       FOLDER, stored in lower case with \"\\\" separators\n"
    "  list PACK            one line per item: unpacked size, stored size, path; then a summary\n"
    "                       (-q: the paths only; -v: also each item's offset in the pack; --json:\n"
    "                       one JSON object, see the README)\n"
    "  extract PACK DEST    writes every item under DEST\n"
    "  cat PATH             writes to stdout the bytes the framework reads for a device path: a plain\n"
    "                       file, or an item reached through a \".pack\\\" component, e.g.\n"
    "                       'Program\\travlek.pack\\800x480\\res\\color\\wceui.color'. The device root\n"
    "                       is the current folder unless --device DIR is given\n"
    "  check FILE...        loads each host file as what its name says (.style.xml: style file, every\n"
    "                       style and animation made; .xml: XML document with its includes; .conf,\n"
    "                       .ini, .color: configuration document) and prints the framework's error\n"
    "                       lines. A text file may be in the skin source form (UTF-8, checked as skinc\n"
    "                       compiles it) or in the framework's form (UTF-16LE with the byte order mark)\n"
    "\n"
    "  --password P         the pack password (create, list, extract, cat)\n"
    "  --name NAME          the name stored in the pack's directory (default: PACK's file name)\n"
    "  --device DIR         the device root folder for cat\n"
    "  --json               for list: the result as one JSON object on stdout, also on failure\n"
    "  -q, --quiet          for list: the paths only\n"
    "  -v, --verbose        for list: each item's offset too\n"
    "  -h, --help           this text\n"
    "  --version            the program's version\n"
    "\n"
    "PACK, FOLDER, DEST and FILE are host paths. Exit status: 0 success, 1 failure, 2 usage error.\n";

int Usage(const char* why) {
    return tooling::UsageError("packtool", why ? why : "no command given");
}

// Set by --json: the result, or the failure, goes to stdout as one JSON object.
bool g_json = false;

void JsonFailure(const std::string& why) {
    if (!g_json) {
        return;
    }
    tooling::JsonWriter json;
    json.BeginObject().Member("ok", false).Member("error", why).EndObject();
    fputs(json.Text().c_str(), stdout);
}

int Fail(const std::string& why) {
    fprintf(stderr, "packtool: %s\n", why.c_str());
    JsonFailure(why);
    return 1;
}

using tooling::LogLines;
using Progress = tooling::ProgressBar;

struct Options {
    std::vector<std::string> args;
    bool hasPassword = false;
    std::string password;
    bool hasName = false;
    std::string name;
    std::string device;
    bool help = false;
    bool json = false;
    bool quiet = false;
    bool verbose = false;
};

// Parses options anywhere after the command. Returns an error text, or empty.
std::string ParseOptions(int argc, char** argv, Options* opt) {
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string* out) -> bool {
            if (i + 1 >= argc) {
                return false;
            }
            *out = argv[++i];
            return true;
        };
        if ("--help" == a || "-h" == a) {
            opt->help = true;
        } else if ("--json" == a) {
            opt->json = true;
        } else if ("-q" == a || "--quiet" == a) {
            opt->quiet = true;
        } else if ("-v" == a || "--verbose" == a) {
            opt->verbose = true;
        } else if ("--password" == a) {
            if (!value(&opt->password)) {
                return "--password needs a value";
            }
            opt->hasPassword = true;
        } else if ("--name" == a) {
            if (!value(&opt->name)) {
                return "--name needs a value";
            }
            opt->hasName = true;
        } else if ("--device" == a) {
            if (!value(&opt->device)) {
                return "--device needs a value";
            }
        } else if (a.size() > 1 && '-' == a[0]) {
            return "unknown option " + a;
        } else {
            opt->args.push_back(a);
        }
    }
    return std::string();
}

// Writes a whole host file; on failure returns why (the system's reason, such as a full disk).
std::string WriteHostFile(const fs::path& path, const BYTE* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        return strerror(errno);
    }
    bool ok = 0 == size || 1 == fwrite(data, size, 1, f);
    int error = ok ? 0 : errno;
    // A full disk often shows only when the buffered data is flushed.
    if (0 != fclose(f) && ok) {
        ok = false;
        error = errno;
    }
    return ok ? std::string() : std::string(strerror(error));
}

// The reason behind one of the platform's error codes, as a user reads it.
std::string PlatformErrorText(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
            return "No space left on device";
        case ERROR_ACCESS_DENIED:
            return "Access denied (error 5)";
        case ERROR_PATH_NOT_FOUND:
            return "Path not found (error 3)";
        case ERROR_SHARING_VIOLATION:
            return "The file is in use (error 32)";
        default:
            return "error " + std::to_string(error);
    }
}

int Create(const Options& opt) {
    if (2 != opt.args.size()) {
        return Usage("create takes PACK and FOLDER");
    }
    const fs::path pack = opt.args[0];
    const fs::path folder = opt.args[1];
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        return Fail(folder.string() + " is not a folder");
    }
    CFhPackWriter writer;
    const std::u16string password = Utf8ToWide(opt.password);
    writer.SetPassword(opt.hasPassword ? password.c_str() : NULL);
    const std::u16string name = Utf8ToWide(opt.hasName ? opt.name : pack.filename().string());
    if (!writer.SetPackName(name.c_str())) {
        return Fail("the pack name is longer than 258 characters");
    }

    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) {
            files.push_back(it->path());
        }
    }
    if (ec) {
        return Fail("cannot walk " + folder.string() + ": " + ec.message());
    }
    std::sort(files.begin(), files.end());
    const fs::path absPack = fs::absolute(pack, ec);
    for (const fs::path& file : files) {
        if (!ec && fs::equivalent(file, absPack, ec)) {
            continue; // an earlier run's pack inside the folder
        }
        std::ifstream in(file, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) {
            return Fail("cannot read " + file.string());
        }
        const std::u16string item = Utf8ToWide(file.lexically_relative(folder).generic_string());
        std::string error;
        if (!writer.AddItem(item.c_str(), bytes.data(), bytes.size(), &error)) {
            return Fail(error);
        }
    }

    std::vector<BYTE> out;
    std::string error;
    {
        Progress progress("compressing");
        if (!writer.Build(&out, &error, [&](size_t done, size_t total) { progress.Show(done, total); })) {
            return Fail(error);
        }
    }
    if (pack.has_parent_path()) {
        fs::create_directories(pack.parent_path(), ec);
    }
    const std::string why = WriteHostFile(pack, out.data(), out.size());
    if (!why.empty()) {
        return Fail("cannot write " + pack.string() + ": " + why);
    }
    printf("%s: %zu items, %zu bytes\n", pack.string().c_str(), writer.GetItemCount(), out.size());
    return 0;
}

// Loads a pack's directory through the framework's reader.
bool OpenPack(const Options& opt, const std::string& hostPack, std::unique_ptr<CFhPackFile>* pack,
              const LogLines& log) {
    std::error_code ec;
    if (!fs::is_regular_file(hostPack, ec)) {
        Fail(hostPack + " is not a file");
        return false;
    }
    tooling::UseHostFileSystem();
    const std::u16string device = tooling::DevicePath(hostPack);
    pack->reset(new CFhPackFile(device.c_str()));
    const std::u16string password = Utf8ToWide(opt.password);
    if (!(*pack)->Load(opt.hasPassword ? password.c_str() : NULL)) {
        fprintf(stderr, "packtool: cannot load %s\n", hostPack.c_str());
        log.Print("  ");
        JsonFailure("cannot load " + hostPack);
        return false;
    }
    return true;
}

int List(const Options& opt) {
    if (1 != opt.args.size()) {
        return Usage("list takes PACK");
    }
    LogLines log;
    std::unique_ptr<CFhPackFile> pack;
    if (!OpenPack(opt, opt.args[0], &pack, log)) {
        return 1;
    }
    unsigned long long unpacked = 0;
    unsigned long long stored = 0;
    tooling::JsonWriter json;
    json.BeginObject().Member("ok", true).Member("pack", opt.args[0]);
    json.Member("name", std::u16string(pack->GetPackName())).Member("check_word", pack->GetCheckWord());
    json.Key("items").BeginArray();
    for (int i = 0; i < pack->GetItemCount(); ++i) {
        FhPackItemInfo info;
        pack->GetItemInfo(i, &info);
        if (opt.json) {
            std::u16string path = info.pPath;
            std::replace(path.begin(), path.end(), u'\\', u'/');
            json.BeginObject()
                .Member("path", path)
                .Member("size", info.dwUnpackedSize)
                .Member("stored", info.dwStoredSize)
                .Member("offset", info.dwDataOffset)
                .EndObject();
        } else if (opt.quiet) {
            printf("%s\n", WideToUtf8(info.pPath).c_str());
        } else if (opt.verbose) {
            printf("%10u %10u %10u  %s\n", info.dwUnpackedSize, info.dwStoredSize, info.dwDataOffset,
                   WideToUtf8(info.pPath).c_str());
        } else {
            printf("%10u %10u  %s\n", info.dwUnpackedSize, info.dwStoredSize, WideToUtf8(info.pPath).c_str());
        }
        unpacked += info.dwUnpackedSize;
        stored += info.dwStoredSize;
    }
    if (opt.json) {
        json.EndArray().Member("unpacked", unpacked).Member("stored", stored).EndObject();
        fputs(json.Text().c_str(), stdout);
    } else if (!opt.quiet) {
        printf("%s, %s unpacked, %s stored, check word 0x%08X, name \"%s\"\n",
               tooling::Count(pack->GetItemCount(), "item", "items").c_str(),
               tooling::Count(unpacked, "byte", "bytes").c_str(),
               tooling::Count(stored, "byte", "bytes").c_str(), pack->GetCheckWord(),
               WideToUtf8(pack->GetPackName()).c_str());
    }
    return 0;
}

// Why an item path cannot be written below the destination, or NULL: it must be relative, every
// component a name the device takes (the rule the pack writer applies), and no component may be
// empty, "." or "..".
const char* ItemPathProblem(const std::u16string& path) {
    if (path.empty()) {
        return "empty path";
    }
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (std::u16string::npos == end) {
            end = path.size();
        }
        const std::u16string_view comp = std::u16string_view(path).substr(start, end - start);
        if (comp.empty() || u"." == comp || u".." == comp) {
            return 0 == start && comp.empty() ? "absolute path" : "empty, \".\" or \"..\" component";
        }
        if (const char* why = DeviceNameProblem(comp)) {
            return why;
        }
        start = end + 1;
    }
    return NULL;
}

int Extract(const Options& opt) {
    if (2 != opt.args.size()) {
        return Usage("extract takes PACK and DEST");
    }
    LogLines log;
    std::unique_ptr<CFhPackFile> pack;
    if (!OpenPack(opt, opt.args[0], &pack, log)) {
        return 1;
    }
    const fs::path dest = opt.args[1];
    // Every path is checked before anything is written.
    for (int i = 0; i < pack->GetItemCount(); ++i) {
        FhPackItemInfo info;
        pack->GetItemInfo(i, &info);
        if (const char* why = ItemPathProblem(info.pPath)) {
            return Fail("refusing the item path \"" + WideToUtf8(info.pPath) + "\": " + why);
        }
    }
    // DEST and its parents are made when missing, as unzip does.
    std::error_code destError;
    fs::create_directories(dest, destError);
    if (destError) {
        return Fail("cannot create " + dest.string() + ": " + destError.message());
    }
    const std::u16string password = Utf8ToWide(opt.password);
    const std::u16string destDevice = tooling::DevicePath(dest.string());
    tooling::ConfineTo(dest.string());
    Progress progress("extracting");
    for (int i = 0; i < pack->GetItemCount(); ++i) {
        FhPackItemInfo info;
        pack->GetItemInfo(i, &info);
        std::string rel = WideToUtf8(info.pPath);
        std::replace(rel.begin(), rel.end(), '\\', '/');
        log.Clear();
        DWORD length = 0;
        std::unique_ptr<BYTE[]> data(
            pack->ReadItem(info.pPath, opt.hasPassword ? password.c_str() : NULL, &length));
        if (!data) {
            progress.Done();
            fprintf(stderr, "packtool: cannot read %s\n", rel.c_str());
            log.Print("  ");
            return 1;
        }
        const fs::path target = dest / rel;
        // Through the device file system, confined to DEST: links inside it are not followed.
        DWORD error = 0;
        if (!tooling::WriteWholeFile(destDevice + u"\\" + info.pPath, data.get(), length, &error)) {
            progress.Done();
            std::string note = tooling::RefusedLinkNote();
            return Fail("cannot write " + target.string() + ": " + PlatformErrorText(error) +
                        (note.empty() ? "" : "\npacktool: " + note));
        }
        progress.Show(static_cast<size_t>(i) + 1, static_cast<size_t>(pack->GetItemCount()));
    }
    progress.Done();
    printf("%d items extracted to %s\n", pack->GetItemCount(), dest.string().c_str());
    return 0;
}

int Cat(const Options& opt) {
    if (1 != opt.args.size()) {
        return Usage("cat takes PATH");
    }
    std::error_code ec;
    const std::string device = opt.device.empty() ? fs::current_path(ec).string() : opt.device;
    if (!fs::is_directory(device, ec)) {
        return Fail(device + " is not a folder");
    }
    PlatformSetDeviceRoot(fs::absolute(device, ec).string());
    CWceUiLogFile::Instance().DisableFile();
    LogLines log;
    const std::u16string path = Utf8ToWide(opt.args[0]);
    const std::u16string password = Utf8ToWide(opt.password);
    DWORD length = 0;
    std::unique_ptr<BYTE[]> data(
        WceUiReadFile(path.c_str(), &length, opt.hasPassword ? password.c_str() : NULL));
    if (!data) {
        fprintf(stderr, "packtool: cannot read %s\n", opt.args[0].c_str());
        log.Print("  ");
        return 1;
    }
    if (length > 0 && 1 != fwrite(data.get(), length, 1, stdout)) {
        return Fail("cannot write to stdout");
    }
    return 0 == fflush(stdout) ? 0 : Fail("cannot write to stdout");
}

std::string LowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return ext;
}

bool IsStyleFile(const std::string& path) {
    std::string name = fs::path(path).filename().string();
    for (char& c : name) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    const std::string ending = ".style.xml";
    return name.size() > ending.size() &&
           0 == name.compare(name.size() - ending.size(), ending.size(), ending);
}

// Parses every style of a style file (bases included) and makes every animation, as dialogs will.
bool CheckStyleFile(const std::u16string& device, std::string* what) {
    CFhStyleFile file;
    if (!file.LoadStyleFile(device.c_str())) {
        return false;
    }
    bool ok = true;
    for (int i = 0; i < file.GetStyleCount(); ++i) {
        // Parsed into the file's cache as a dialog's first use does; the copy a dialog then takes
        // cannot fail on its own.
        LPCWSTR pName = file.GetStyleName(i);
        ok = (NULL != file.GetCachedStyle(pName) || NULL != file.ReadStyleFromFile(pName)) && ok;
    }
    int animations = 0;
    const CWceUiXmlDoc& doc = file.GetXmlDoc();
    CWceUiXmlElem* pAnimate = doc.FindChildElem(doc.GetRootElem(), u"animate");
    for (CWceUiXmlElem* pItem = doc.GetFirstChild(pAnimate); pItem; pItem = doc.GetNextSibling(pItem)) {
        std::unique_ptr<CWceUiWndAnimate> pAni(file.GetWndAnimate(doc.GetElemName(pItem)));
        ok = NULL != pAni && ok;
        ++animations;
    }
    *what = std::to_string(file.GetStyleCount()) + " styles, " + std::to_string(animations) + " animations";
    return ok;
}

// A text file in the skin source form (UTF-8) is checked in the framework's form: compiled the way
// skinc compiles it into a temporary folder. The folder goes with the object.
class CheckedForm {
public:
    ~CheckedForm() {
        std::error_code ec;
        if (!m_dir.empty()) {
            fs::remove_all(m_dir, ec);
        }
    }
    // The device path to load for a host file, or empty with the reason in why.
    std::u16string Prepare(const std::string& file, std::string* why) {
        std::ifstream in(file, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in && !in.eof()) {
            *why = "cannot read the file: " + std::string(strerror(errno));
            return std::u16string();
        }
        if (!IsSkinTextFile(file) || IsFrameworkText(bytes)) {
            return tooling::DevicePath(file);
        }
        std::string utf16;
        int line = 0, column = 0;
        if (!Utf8ToUtf16File(bytes, &utf16, &line, &column)) {
            *why = file + ":" + std::to_string(line) + ":" + std::to_string(column) +
                   ": not UTF-8; skin files are UTF-8 text (the source form) or UTF-16LE with the byte order "
                   "mark (the framework's form)";
            return std::u16string();
        }
        std::error_code ec;
        std::string tmpl = (fs::temp_directory_path(ec) / "packtool.XXXXXX").string();
        if (m_dir.empty() && NULL != mkdtemp(tmpl.data())) {
            m_dir = tmpl;
        }
        const fs::path compiled = fs::path(m_dir) / fs::path(file).filename();
        std::ofstream out(compiled, std::ios::binary | std::ios::trunc);
        out.write(utf16.data(), static_cast<std::streamsize>(utf16.size()));
        out.close();
        if (m_dir.empty() || out.fail()) {
            *why = "cannot write its compiled form to a temporary folder";
            return std::u16string();
        }
        // The copy has the file's own name, so the folder alone is named as the user's.
        const std::string parent = fs::path(file).parent_path().string();
        m_typed = {{tooling::DevicePath(m_dir), (parent.empty() ? std::string(".") : parent) + "/"}};
        return tooling::DevicePath(compiled.string());
    }
    // The framework's lines, with the temporary file named as the user typed it.
    void Print(const LogLines& log) const {
        for (const std::u16string& line : log.Lines()) {
            fprintf(stderr, "  %s\n", WideToUtf8(tooling::HostPathsInMessage(line, m_typed)).c_str());
        }
    }

private:
    std::string m_dir;
    std::vector<tooling::TypedPath> m_typed;
};

int Check(const Options& opt) {
    if (opt.args.empty()) {
        return Usage("check takes one or more FILEs");
    }
    if (opt.hasPassword || !opt.device.empty() || opt.hasName) {
        return Usage("check takes no options");
    }
    tooling::UseHostFileSystem();
    LogLines log;
    int failed = 0;
    for (const std::string& file : opt.args) {
        const std::string ext = LowerExtension(file);
        CheckedForm form;
        std::string why;
        const std::u16string device = form.Prepare(file, &why);
        if (device.empty() && !why.empty()) {
            fprintf(stderr, "FAIL %s\n  %s\n", file.c_str(), why.c_str());
            ++failed;
            continue;
        }
        log.Clear();
        bool ok = false;
        std::string what;
        if (IsStyleFile(file)) {
            ok = !device.empty() && CheckStyleFile(device, &what);
        } else if (".xml" == ext) {
            CWceUiXmlDoc doc;
            ok = !device.empty() && doc.LoadXmlFile(device.c_str());
            what = ok ? std::to_string(doc.GetNodeCount()) + " nodes" : "";
        } else if (".conf" == ext || ".ini" == ext || ".color" == ext) {
            CFhConfDoc doc;
            ok = !device.empty() && doc.LoadFile(device.c_str());
            what = ok ? std::to_string(doc.GetCount()) + " keys" : "";
        } else {
            fprintf(stderr, "FAIL %s\n  not a kind packtool checks (.style.xml, .xml, .conf, .ini, .color)\n",
                    file.c_str());
            ++failed;
            continue;
        }
        if (ok) {
            printf("ok   %s (%s)\n", file.c_str(), what.c_str());
            // What the framework reports but gets past (a style file's unknown align words).
            form.Print(log);
        } else {
            fprintf(stderr, "FAIL %s\n", file.c_str());
            form.Print(log);
            ++failed;
        }
    }
    return 0 == failed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage(NULL);
    }
    const std::string command = argv[1];
    if ("--help" == command || "-h" == command || "help" == command) {
        fputs(kUsage, stdout);
        fputs(kHelp, stdout);
        return 0;
    }
    if ("--version" == command) {
        tooling::PrintVersion("packtool");
        return 0;
    }
    Options opt;
    const std::string error = ParseOptions(argc, argv, &opt);
    if (!error.empty()) {
        return Usage(error.c_str());
    }
    if (opt.help) {
        fputs(kUsage, stdout);
        fputs(kHelp, stdout);
        return 0;
    }
    if (opt.json && "list" != command) {
        return Usage("--json is only for list");
    }
    if ((opt.quiet || opt.verbose) && "list" != command) {
        return Usage("-q and -v are only for list");
    }
    if (opt.quiet && opt.verbose) {
        return Usage("-q and -v exclude each other");
    }
    g_json = opt.json;
    if ("create" == command) {
        return Create(opt);
    }
    if ("list" == command) {
        return List(opt);
    }
    if ("extract" == command) {
        return Extract(opt);
    }
    if ("cat" == command) {
        return Cat(opt);
    }
    if ("check" == command) {
        return Check(opt);
    }
    return Usage(("unknown command " + command).c_str());
}
