// skinc: compiles a skin source folder (UTF-8 text and PNG images) into the resource pack a program
// reads, after checking every file with the framework's own loaders.
#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "tools/common/ToolSupport.h"
#include "tools/imaging/PngFile.h"
#include "tools/imaging/RgbaBitmaps.h"
#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/bitmap/ReadBitmapConfInfo.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/res/FhConfDoc.h"
#include "wceui/res/FhPackWriter.h"
#include "wceui/res/ReadFontConfInfo.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/FhStyleFile.h"
#include "wceui/style/WceUiStyle.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
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
    "folder. Any failure prints the framework's lines and exits 1 without writing the pack.\n"
    "\n"
    "  --keep DIR   also leave the compiled files (the pack's content) in DIR: a new or empty folder,\n"
    "               or one that an earlier --keep made\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

int Usage(const char* why) {
    return tooling::UsageError("skinc", why);
}

using tooling::LogLines;

// Marks a --keep folder as skinc's own, which a later run may empty.
const char kKeepMarker[] = ".skinc-output";

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && 0 == Lower(s).compare(s.size() - tail.size(), tail.size(), tail);
}

bool ReadHostFile(const fs::path& path, std::string* pOut) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    pOut->assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteHostFile(const fs::path& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF) to UTF-16LE with the byte
// order mark. A UTF-8 byte order mark at the start is dropped. False with the line of the first bad
// byte.
bool Utf8ToUtf16File(const std::string& in, std::string* pOut, int* pBadLine) {
    size_t i = 0;
    if (in.size() >= 3 && 0 == in.compare(0, 3, "\xEF\xBB\xBF")) {
        i = 3;
    }
    std::string out("\xFF\xFE", 2);
    int line = 1;
    auto put = [&](unsigned u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    while (i < in.size()) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        unsigned cp = 0;
        size_t n = 0;
        if (c < 0x80) {
            cp = c, n = 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F, n = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F, n = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            cp = c & 0x07, n = 4;
        } else {
            *pBadLine = line;
            return false;
        }
        if (i + n > in.size()) {
            *pBadLine = line;
            return false;
        }
        for (size_t k = 1; k < n; ++k) {
            const unsigned char cc = static_cast<unsigned char>(in[i + k]);
            if (0x80 != (cc & 0xC0)) {
                *pBadLine = line;
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((3 == n && cp < 0x800) || (4 == n && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            *pBadLine = line;
            return false;
        }
        if ('\n' == cp) {
            ++line;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
        i += n;
    }
    *pOut = out;
    return true;
}

// ---- compiling ----

struct Compiled {
    std::vector<std::string> items; // paths relative to the output folder, "/" separated
};

bool IsTextSource(const std::string& name) {
    return EndsWith(name, ".xml") || EndsWith(name, ".conf") || EndsWith(name, ".ini") ||
           EndsWith(name, ".color");
}

// Converts one source file into the output folder. Prints the reason and returns false on failure.
bool CompileFile(const fs::path& src, const std::string& rel, const fs::path& outDir, Compiled* pOut) {
    const std::string name = fs::path(rel).filename().string();
    if (IsTextSource(name)) {
        std::string bytes, utf16;
        if (!ReadHostFile(src, &bytes)) {
            fprintf(stderr, "skinc: cannot read %s\n", src.string().c_str());
            return false;
        }
        if (bytes.size() >= 2 && '\xFF' == bytes[0] && '\xFE' == bytes[1]) {
            utf16 = bytes; // already the framework's form
        } else {
            int line = 0;
            if (!Utf8ToUtf16File(bytes, &utf16, &line)) {
                fprintf(stderr, "skinc: %s: line %d is not UTF-8\n", src.string().c_str(), line);
                return false;
            }
        }
        if (!WriteHostFile(outDir / rel, utf16)) {
            fprintf(stderr, "skinc: cannot write %s\n", (outDir / rel).string().c_str());
            return false;
        }
        pOut->items.push_back(rel);
        return true;
    }
    if (EndsWith(name, ".png")) {
        RgbaImage image;
        std::string error;
        if (!ReadPng(src.string(), &image, &error)) {
            fprintf(stderr, "skinc: cannot read %s: %s\n", src.string().c_str(), error.c_str());
            return false;
        }
        std::string stem = rel.substr(0, rel.size() - 4);
        std::string format, confRel;
        if (EndsWith(stem, ".32")) {
            stem.resize(stem.size() - 3);
            format = "32";
            confRel = stem + ".32.conf";
        } else {
            format = imaging::HasTransparency(image) ? "565a" : "565";
            confRel = stem + "." + format + ".conf";
        }
        const std::string bmpRel = stem + ".bmp";
        const std::string bmpName = fs::path(bmpRel).filename().string();
        std::error_code ec;
        fs::create_directories((outDir / bmpRel).parent_path(), ec);
        LogLines log;
        auto pBmp = imaging::BitmapFromRgba(image, format);
        bool bRemoved = false;
        if (!pBmp || !imaging::SaveBitmapFiles(*pBmp, (outDir / bmpRel).string(), &bRemoved, &error)) {
            fprintf(stderr, "skinc: cannot convert %s%s%s\n", src.string().c_str(), error.empty() ? "" : ": ",
                    error.c_str());
            log.Print("  ");
            return false;
        }
        pOut->items.push_back(bmpRel);
        if ("565a" == format) {
            pOut->items.push_back(stem + ".alpha");
        }
        std::string conf = "src=" + bmpName + "\n";
        if ("565" != format) {
            conf += "pa=true\n";
        }
        std::string utf16;
        int line = 0;
        Utf8ToUtf16File(conf, &utf16, &line);
        if (!WriteHostFile(outDir / confRel, utf16)) {
            fprintf(stderr, "skinc: cannot write %s\n", (outDir / confRel).string().c_str());
            return false;
        }
        pOut->items.push_back(confRel);
        return true;
    }
    if (EndsWith(name, ".bmp") || EndsWith(name, ".alpha")) {
        std::string bytes;
        if (!ReadHostFile(src, &bytes) || !WriteHostFile(outDir / rel, bytes)) {
            fprintf(stderr, "skinc: cannot copy %s\n", src.string().c_str());
            return false;
        }
        pOut->items.push_back(rel);
        return true;
    }
    fprintf(stderr, "skinc: %s: not a kind of skin source (.xml, .conf, .ini, .color, .png, .bmp, .alpha)\n",
            src.string().c_str());
    return false;
}

// ---- checking ----

class Checker {
public:
    explicit Checker(const fs::path& outDir) : m_outDir(outDir) {}

    // Checks every compiled file; returns the number of failures.
    int Run(const std::vector<std::string>& items);

private:
    struct SizeFolder {
        std::set<std::string> bitmaps; // lower-case ids, "\" separated
        std::set<std::string> fonts;
        std::unique_ptr<CFhConfDoc> colors;
        std::vector<std::unique_ptr<CFhConfDoc>> languages;
        std::vector<std::string> languageNames;
    };

    std::u16string Device(const std::string& rel) const {
        return tooling::DevicePath((m_outDir / rel).string());
    }
    void Failed(const std::string& rel, const std::string& what, const LogLines& log);
    bool CheckStyleFile(const std::string& rel, CFhStyleFile* pFile, const LogLines& log);
    static bool CheckReferences(const CWceUiXmlDoc& doc, const SizeFolder& size, const CFhStyleFile* pStyles,
                                std::string* pWhy);

    fs::path m_outDir;
    int m_failures = 0;
};

void Checker::Failed(const std::string& rel, const std::string& what, const LogLines& log) {
    fprintf(stderr, "skinc: %s: %s\n", rel.c_str(), what.c_str());
    log.Print("  ");
    ++m_failures;
}

// The size folder of an item ("800x480/wnd/a.xml" -> "800x480") and the rest of its path.
void SplitSize(const std::string& rel, std::string* pSize, std::string* pRest) {
    const size_t slash = rel.find('/');
    *pSize = std::string::npos == slash ? std::string() : rel.substr(0, slash);
    *pRest = std::string::npos == slash ? rel : rel.substr(slash + 1);
}

std::string IdOf(const std::string& pathUnder) {
    std::string id = Lower(pathUnder);
    std::replace(id.begin(), id.end(), '/', '\\');
    return id;
}

bool Checker::CheckStyleFile(const std::string& rel, CFhStyleFile* pFile, const LogLines& log) {
    if (!pFile->LoadStyleFile(Device(rel).c_str())) {
        Failed(rel, "not a style file", log);
        return false;
    }
    bool ok = true;
    for (int i = 0; i < pFile->GetStyleCount(); ++i) {
        CWceUiStyle style;
        if (!pFile->GetStyleData(pFile->GetStyleName(i), &style)) {
            ok = false;
        }
    }
    const CWceUiXmlDoc& doc = pFile->GetXmlDoc();
    CWceUiXmlElem* pAnimate = doc.FindChildElem(doc.GetRootElem(), u"animate");
    for (CWceUiXmlElem* pItem = doc.GetFirstChild(pAnimate); pItem; pItem = doc.GetNextSibling(pItem)) {
        std::unique_ptr<CWceUiWndAnimate> pAni(pFile->GetWndAnimate(doc.GetElemName(pItem)));
        if (!pAni) {
            ok = false;
        }
    }
    if (!ok) {
        Failed(rel, "a style or an animation does not load", log);
    }
    return ok;
}

bool IsColorAttr(const std::string& name) {
    return "color" == name || "textcolor_select" == name;
}

bool IsStyleAttr(const std::string& name) {
    return "style" == name || "common.style" == name || "down.style" == name || "focus.style" == name;
}

// Every bitmap, font, colour, text and style that the document names must exist.
bool Checker::CheckReferences(const CWceUiXmlDoc& doc, const SizeFolder& size, const CFhStyleFile* pStyles,
                              std::string* pWhy) {
    std::vector<CWceUiXmlElem*> stack;
    if (doc.GetRootElem()) {
        stack.push_back(doc.GetRootElem());
    }
    bool ok = true;
    auto fail = [&](const std::string& why) {
        *pWhy += (pWhy->empty() ? "" : "; ") + why;
        ok = false;
    };
    while (!stack.empty()) {
        CWceUiXmlElem* pElem = stack.back();
        stack.pop_back();
        for (CWceUiXmlElem* p = doc.GetFirstChild(pElem); p; p = doc.GetNextSibling(p)) {
            stack.push_back(p);
        }
        const std::string tag = Lower(WideToUtf8(doc.GetElemName(pElem)));
        for (const CWceUiXmlAttr* pAttr = pElem->attrs.GetHead(); pAttr; pAttr = pAttr->pNext) {
            const std::string name = Lower(WideToUtf8(pAttr->pName));
            const std::string value = WideToUtf8(pAttr->pValue);
            if (value.empty()) {
                continue;
            }
            if (EndsWith(value, ".conf")) {
                const bool bFont = "font" == tag && "id" == name;
                const std::set<std::string>& known = bFont ? size.fonts : size.bitmaps;
                if (!known.count(IdOf(value))) {
                    fail(std::string(bFont ? "font" : "bitmap") + " " + value + " does not exist");
                }
            } else if (IsColorAttr(name) && "transparent" != Lower(value) &&
                       !(value.size() > 2 && '0' == value[0] && 'x' == value[1])) {
                if (!size.colors || NULL == size.colors->GetValue(pAttr->pValue)) {
                    fail("colour " + value + " is not in wceui.color");
                }
            } else if ("res-id" == name) {
                if (size.languages.empty()) {
                    fail("text " + value + " named, but there is no language file");
                }
                for (size_t i = 0; i < size.languages.size(); ++i) {
                    if (NULL == size.languages[i]->GetValue(pAttr->pValue)) {
                        fail("text " + value + " is not in " + size.languageNames[i]);
                    }
                }
            } else if (pStyles && IsStyleAttr(name) && pStyles->GetStyleNameIndex(pAttr->pValue) < 0) {
                fail("style " + value + " is not in the style file");
            }
        }
    }
    return ok;
}

int Checker::Run(const std::vector<std::string>& items) {
    tooling::UseHostFileSystem();
    LogLines log;
    std::map<std::string, SizeFolder> sizes;

    // First what others refer to: bitmaps, fonts, colours and texts.
    for (const std::string& rel : items) {
        std::string sizeName, rest;
        SplitSize(rel, &sizeName, &rest);
        SizeFolder& size = sizes[sizeName];
        const std::string lrest = Lower(rest);
        log.Clear();
        if (0 == lrest.rfind("res/bitmap/", 0) && EndsWith(rest, ".conf")) {
            std::unique_ptr<CWceUiGenericBitmap> pBmp(FhLoadBitmapFromConfFile(Device(rel).c_str()));
            if (!pBmp) {
                Failed(rel, "the bitmap does not load", log);
                continue;
            }
            size.bitmaps.insert(IdOf(rest.substr(11)));
        } else if (0 == lrest.rfind("res/font/", 0) && EndsWith(rest, ".conf")) {
            CReadFontConfInfo font;
            if (!font.LoadFontConfFile(Device(rel).c_str())) {
                Failed(rel, "the font description does not load", log);
                continue;
            }
            size.fonts.insert(IdOf(rest.substr(9)));
        } else if ("res/color/wceui.color" == lrest) {
            auto pDoc = std::make_unique<CFhConfDoc>();
            if (!pDoc->LoadFile(Device(rel).c_str())) {
                Failed(rel, "the colour table does not load", log);
                continue;
            }
            size.colors = std::move(pDoc);
        } else if (0 == lrest.rfind("language/", 0) && EndsWith(rest, ".ini")) {
            auto pDoc = std::make_unique<CFhConfDoc>();
            if (!pDoc->LoadFile(Device(rel).c_str())) {
                Failed(rel, "the language file does not load", log);
                continue;
            }
            size.languages.push_back(std::move(pDoc));
            size.languageNames.push_back(rel);
        } else if (EndsWith(rest, ".conf") || EndsWith(rest, ".ini") || EndsWith(rest, ".color")) {
            CFhConfDoc doc;
            if (!doc.LoadFile(Device(rel).c_str())) {
                Failed(rel, "not a configuration document", log);
            }
        }
    }

    // Then the dialogs and styles that use them.
    for (const std::string& rel : items) {
        std::string sizeName, rest;
        SplitSize(rel, &sizeName, &rest);
        const SizeFolder& size = sizes[sizeName];
        log.Clear();
        std::string why;
        if (EndsWith(rel, ".style.xml")) {
            CFhStyleFile file;
            if (CheckStyleFile(rel, &file, log) && !CheckReferences(file.GetXmlDoc(), size, NULL, &why)) {
                Failed(rel, why, log);
            }
        } else if (EndsWith(rel, ".dlg.xml")) {
            CWceUiXmlDoc doc;
            if (!doc.LoadXmlFile(Device(rel).c_str())) {
                Failed(rel, "not an XML document", log);
                continue;
            }
            if (NULL == doc.FindChildElem(doc.GetRootElem(), u"body")) {
                Failed(rel, "no \"body\" element under the root element", log);
                continue;
            }
            const std::string styleRel = rel.substr(0, rel.size() - 8) + ".style.xml";
            CFhStyleFile styles;
            if (!std::count(items.begin(), items.end(), styleRel)) {
                Failed(rel, "no style file " + styleRel + " beside it", log);
                continue;
            }
            if (!styles.LoadStyleFile(Device(styleRel).c_str())) {
                continue; // reported with the style file
            }
            if (!CheckReferences(doc, size, &styles, &why)) {
                Failed(rel, why, log);
            }
        } else if (EndsWith(rel, ".xml")) {
            CWceUiXmlDoc doc;
            if (!doc.LoadXmlFile(Device(rel).c_str())) {
                Failed(rel, "not an XML document", log);
            }
        }
    }
    return m_failures;
}

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

    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(source, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) {
            files.push_back(it->path());
        }
    }
    if (ec) {
        fprintf(stderr, "skinc: cannot walk %s: %s\n", source.string().c_str(), ec.message().c_str());
        return 1;
    }
    std::sort(files.begin(), files.end());
    tooling::UseHostFileSystem();
    Compiled compiled;
    for (const fs::path& file : files) {
        if (!CompileFile(file, file.lexically_relative(source).generic_string(), outDir, &compiled)) {
            return 1;
        }
    }

    Checker checker(outDir);
    const int failures = checker.Run(compiled.items);
    if (failures > 0) {
        fprintf(stderr, "skinc: %d file%s of %s failed; no pack written\n", failures,
                1 == failures ? "" : "s", source.string().c_str());
        return 1;
    }

    CFhPackWriter writer;
    writer.SetPackName(Utf8ToWide(pack.filename().string()).c_str());
    std::sort(compiled.items.begin(), compiled.items.end());
    for (const std::string& rel : compiled.items) {
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
    printf("%s: %zu items from %zu source files, %zu bytes\n", pack.string().c_str(), compiled.items.size(),
           files.size(), out.size());
    return 0;
}
