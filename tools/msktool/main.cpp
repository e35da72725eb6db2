// msktool: the update package tool for the people who build updates.
//
//   msktool create PACKAGE FOLDER --password P [--root NAME]
//   msktool list PACKAGE --password P
//   msktool verify PACKAGE --password P
//   msktool info PACKAGE [--password P]
//   msktool extract PACKAGE DEST --password P
//
// Paths are host paths. Exit status: 0 success, 1 failure (the error on stderr), 2 usage error.
#include "wceui/core/FhScramble.h"
#include "package/MskFormat.h"
#include "package/MskInflate.h"
#include "package/MskUnpacker.h"
#include "package/MskWriter.h"
#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "tools/common/ToolSupport.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: msktool COMMAND ARGUMENTS [OPTIONS]\n"
    "\n"
    "Builds, lists, checks and unpacks update packages (.msk files).\n"
    "\n"
    "commands:\n"
    "  create PACKAGE FOLDER --password P [--root NAME]\n"
    "      pack the folders and files below FOLDER; they unpack into the root folder NAME\n"
    "      (default: FOLDER's own name)\n"
    "  list PACKAGE --password P\n"
    "      one entry a line: d or f, unpacked size, stored size, path\n"
    "  verify PACKAGE --password P\n"
    "      check the password, the file table and every file's data, writing nothing\n"
    "  info PACKAGE [--password P]\n"
    "      the header fields; with the password also the entry counts and sizes\n"
    "  extract PACKAGE DEST --password P\n"
    "      unpack into DEST (an existing folder) as the unit does: the tree lands in DEST/ROOT\n"
    "\n"
    "options:\n"
    "  --password P   the package password; 'gps' stands for the navigation unit's password\n"
    "                 (pwd_tanzo) and 'nvq' for the main navigation application's (pwd_ruv)\n"
    "  --root NAME    root folder name for create\n"
    "  --decoder D    zlib or libdeflate (the default when built in), for comparisons\n"
    "  -h, --help     this text\n"
    "\n"
    "exit status: 0 success, 1 failure (the error on stderr), 2 usage error\n";

int Usage(const char* problem) {
    if (problem)
        std::fprintf(stderr, "msktool: %s\n", problem);
    std::fputs(kUsage, stderr);
    return 2;
}

// The framework's log lines of the current command, shown under its error.
tooling::LogLines* g_logLines = nullptr;

int Fail(const std::u16string& error) {
    std::fprintf(stderr, "msktool: %s\n", WideToUtf8(error).c_str());
    if (g_logLines)
        g_logLines->Print("  ");
    return 1;
}

std::u16string PasswordText(const std::string& password) {
    if (password == "gps")
        return MSK_PASSWORD_GPS;
    if (password == "nvq")
        return MSK_PASSWORD_NVQ;
    return Utf8ToWide(password);
}

std::u16string DevicePath(const std::string& hostPath) {
    return tooling::DevicePath(hostPath);
}

BOOL UnpackProgress(LPVOID context, LONG index, LPCWSTR, LONG total) {
    static_cast<tooling::ProgressBar*>(context)->Show(static_cast<size_t>(index) + 1,
                                                      static_cast<size_t>(total));
    return TRUE;
}

struct Args {
    std::string command;
    std::vector<std::string> positional;
    std::string password;
    bool havePassword = false;
    std::string root;
    bool haveRoot = false;
    std::string decoder;
    bool haveDecoder = false;
    bool help = false;
};

// Returns an empty text, or what is wrong with the command line.
std::string Parse(int argc, char** argv, Args& args) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* name, std::string& out, bool& have) -> std::string {
            size_t n = std::strlen(name);
            if (a.size() > n && a.compare(0, n, name) == 0 && a[n] == '=') {
                out = a.substr(n + 1);
            } else if (i + 1 < argc) {
                out = argv[++i];
            } else {
                return std::string(name) + " needs a value";
            }
            have = true;
            return std::string();
        };
        if (a == "-h" || a == "--help") {
            args.help = true;
        } else if (a == "--password" || a.rfind("--password=", 0) == 0) {
            std::string problem = value("--password", args.password, args.havePassword);
            if (!problem.empty())
                return problem;
        } else if (a == "--root" || a.rfind("--root=", 0) == 0) {
            std::string problem = value("--root", args.root, args.haveRoot);
            if (!problem.empty())
                return problem;
        } else if (a == "--decoder" || a.rfind("--decoder=", 0) == 0) {
            std::string problem = value("--decoder", args.decoder, args.haveDecoder);
            if (!problem.empty())
                return problem;
            if (args.decoder != "zlib" && args.decoder != "libdeflate")
                return "--decoder is zlib or libdeflate";
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else if (args.command.empty()) {
            args.command = a;
        } else {
            args.positional.push_back(a);
        }
    }
    return std::string();
}

int Create(const Args& args) {
    namespace fs = std::filesystem;
    const std::string& packageHost = args.positional[0];
    const std::string& folderHost = args.positional[1];
    std::error_code ec;
    fs::path folder = fs::weakly_canonical(folderHost, ec);
    if (ec || !fs::is_directory(folder))
        return Fail(u"not a folder: " + Utf8ToWide(folderHost));
    fs::path package = fs::weakly_canonical(packageHost, ec);
    fs::path inside = package.lexically_relative(folder);
    if (!inside.empty() && *inside.begin() != "..")
        return Fail(u"the package may not be written inside the folder it packs");
    std::u16string root = args.haveRoot ? Utf8ToWide(args.root) : Utf8ToWide(folder.filename().string());

    CMskWriter writer;
    std::u16string error;
    if (!writer.AddHostTree(folder.string(), error))
        return Fail(error);
    tooling::ProgressBar bar("packing");
    writer.SetProgressCallback(&UnpackProgress, &bar);
    BOOL ok = writer.Write(DevicePath(packageHost).c_str(), root,
                           FhPasswordToKey(PasswordText(args.password).c_str()), error);
    bar.Done();
    if (!ok)
        return Fail(error);
    const MskWriterStats& s = writer.GetStats();
    std::printf("%s: root %s, %u folders, %u files, %" PRIu64 " bytes packed into %" PRIu64 "\n",
                packageHost.c_str(), WideToUtf8(root).c_str(), s.folders, s.files,
                static_cast<uint64_t>(s.unpackedTotal), static_cast<uint64_t>(s.packageSize));
    return 0;
}

int List(const Args& args) {
    CMskUnpacker unpacker;
    std::u16string error;
    if (!unpacker.ReadTable(DevicePath(args.positional[0]).c_str(),
                            FhPasswordToKey(PasswordText(args.password).c_str()), error))
        return Fail(error);
    for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
        const MskEntry* e = unpacker.GetEntry(i);
        char type = e->type == MSK_ENTRY_FOLDER ? 'd' : e->type == MSK_ENTRY_FILE ? 'f' : '?';
        std::printf("%c %u %u %s\n", type, e->type == MSK_ENTRY_FILE ? e->unpackedSize : 0,
                    e->type == MSK_ENTRY_FILE ? e->storedSize : 0, WideToUtf8(e->path).c_str());
    }
    return 0;
}

int Verify(const Args& args) {
    std::u16string package = DevicePath(args.positional[0]);
    DWORD key = FhPasswordToKey(PasswordText(args.password).c_str());
    tooling::ProgressBar bar("checking");
    CMskUnpacker unpacker(&UnpackProgress, &bar);
    std::u16string error;
    BOOL ok = unpacker.Open(package.c_str(), key, error) && unpacker.Verify(package.c_str(), key, error);
    bar.Done();
    if (!ok)
        return Fail(error);
    int files = 0;
    for (int i = 0; i < unpacker.GetEntryCount(); ++i)
        files += unpacker.GetEntry(i)->type == MSK_ENTRY_FILE;
    std::printf("%s: OK, %d entries, %d files, %" PRIu64 " bytes\n", args.positional[0].c_str(),
                unpacker.GetEntryCount(), files, static_cast<uint64_t>(unpacker.GetUnpackedTotal()));
    return 0;
}

int Extract(const Args& args) {
    std::u16string package = DevicePath(args.positional[0]);
    std::u16string dest = DevicePath(args.positional[1]);
    tooling::ConfineTo(args.positional[1]);
    DWORD key = FhPasswordToKey(PasswordText(args.password).c_str());
    tooling::ProgressBar bar("unpacking");
    CMskUnpacker unpacker(&UnpackProgress, &bar);
    std::u16string error;
    BOOL ok = unpacker.Open(package.c_str(), key, error) &&
              unpacker.Unpack(package.c_str(), dest.c_str(), key, error);
    bar.Done();
    if (!ok) {
        std::string note = tooling::RefusedLinkNote();
        if (!note.empty())
            error += u"\n" + Utf8ToWide("msktool: " + note);
        return Fail(error);
    }
    return 0;
}

int Info(const Args& args) {
    std::u16string package = DevicePath(args.positional[0]);
    HANDLE h = CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (INVALID_HANDLE_VALUE == h)
        return Fail(WFormat(u"open file %s failed, error code is %d", package.c_str(),
                            static_cast<int>(GetLastError())));
    DWORD high = 0;
    DWORD low = GetFileSize(h, &high);
    uint64_t fileSize = static_cast<uint64_t>(high) << 32 | low;
    BYTE header[MSK_HEADER_SIZE] = {};
    DWORD got = 0;
    ReadFile(h, header, sizeof(header), &got, NULL);
    CloseHandle(h);
    if (got < 2 || (header[0] | header[1] << 8) != MSK_MAGIC)
        return Fail(u"invalid_msk_file");
    std::printf("file size:     %" PRIu64 "\n", fileSize);
    std::printf("magic:         0x%04X\n", MSK_MAGIC);
    if (got < MSK_HEADER_SIZE)
        return Fail(u"file_format_error");
    DWORD tableEnd = MskReadDword(header + MSK_TABLE_END_OFFSET);
    std::printf("table end:     %u\n", tableEnd);
    std::printf("table length:  %ld\n", static_cast<long>(tableEnd) - static_cast<long>(MSK_HEADER_SIZE));
    std::printf("header word:   0x%08X (offset 36)\n", MskReadDword(header + MSK_HEADER_WORD36_OFFSET));
    std::printf("check word:    0x%08X\n", MskReadDword(header + MSK_CHECK_WORD_OFFSET));
    if (tableEnd >= MSK_HEADER_SIZE && tableEnd <= fileSize)
        std::printf("data region:   %" PRIu64 " bytes\n", fileSize - tableEnd);
    CMskUnpacker unpacker;
    std::u16string error;
    if (args.havePassword) {
        DWORD key = FhPasswordToKey(PasswordText(args.password).c_str());
        if (!unpacker.Open(package.c_str(), key, error) || !unpacker.ReadTable(package.c_str(), key, error)) {
            std::printf("password:      does not open the table\n");
            return Fail(error);
        }
        std::printf("password:      matches\n");
    } else {
        // Without a password, the unit's own two are tried: packages for the unit open with one.
        const char* found = NULL;
        for (const char* name : {"gps", "nvq"}) {
            DWORD key = FhPasswordToKey(PasswordText(name).c_str());
            std::u16string ignored;
            if (unpacker.Open(package.c_str(), key, ignored) &&
                unpacker.ReadTable(package.c_str(), key, ignored)) {
                found = name;
                break;
            }
        }
        if (!found) {
            std::printf("password:      neither gps nor nvq (give --password to read the file table)\n");
            return 0;
        }
        std::printf("password:      %s\n", found);
    }
    int folders = 0, files = 0, other = 0;
    uint64_t unpacked = 0, stored = 0;
    for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
        const MskEntry* e = unpacker.GetEntry(i);
        if (e->type == MSK_ENTRY_FOLDER) {
            ++folders;
        } else if (e->type == MSK_ENTRY_FILE) {
            ++files;
            unpacked += e->unpackedSize;
            stored += e->storedSize;
        } else {
            ++other;
        }
    }
    std::printf("root folder:   %s\n", WideToUtf8(unpacker.GetRootName()).c_str());
    std::printf("entries:       %d (%d folders, %d files, %d of other types)\n", unpacker.GetEntryCount(),
                folders, files, other);
    std::printf("unpacked size: %" PRIu64 "\n", unpacked);
    std::printf("stored size:   %" PRIu64 "\n", stored);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Args args;
    std::string problem = Parse(argc, argv, args);
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!problem.empty())
        return Usage(problem.c_str());
    if (args.command.empty())
        return Usage(NULL);

    struct Command {
        const char* name;
        size_t positional;
        bool needsPassword;
        int (*run)(const Args&);
    };
    static const Command kCommands[] = {
        {"create", 2, true, &Create}, {"list", 1, true, &List},       {"verify", 1, true, &Verify},
        {"info", 1, false, &Info},    {"extract", 2, true, &Extract},
    };
    for (const Command& c : kCommands) {
        if (args.command != c.name)
            continue;
        if (args.positional.size() != c.positional)
            return Usage(("wrong number of arguments for " + args.command).c_str());
        if (c.needsPassword && !args.havePassword)
            return Usage((args.command + " needs --password").c_str());
        if (args.haveRoot && args.command != "create")
            return Usage("--root is only for create");
        if (args.haveDecoder) {
            if (args.decoder == "libdeflate" && !MskHaveLibdeflate()) {
                std::fprintf(stderr, "msktool: this build has no libdeflate\n");
                return 1;
            }
            MskSetDecoder(args.decoder == "zlib" ? MSK_DECODER_ZLIB : MSK_DECODER_LIBDEFLATE);
        }
        tooling::UseHostFileSystem();
        tooling::LogLines logLines;
        g_logLines = &logLines;
        int status = c.run(args);
        g_logLines = nullptr;
        return status;
    }
    return Usage(("unknown command " + args.command).c_str());
}
