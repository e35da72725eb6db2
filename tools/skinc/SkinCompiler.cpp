#include "tools/skinc/SkinCompiler.h"

#include "platform/Platform.h"
#include "tools/common/ToolSupport.h"
#include "tools/imaging/PngFile.h"
#include "tools/imaging/RgbaBitmaps.h"
#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/bitmap/ReadBitmapConfInfo.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/res/FhConfDoc.h"
#include "wceui/res/ReadFontConfInfo.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/FhStyleFile.h"
#include "wceui/style/WceUiStyle.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

using tooling::ReadHostFile;
using tooling::WriteHostFile;

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && 0 == Lower(s).compare(s.size() - tail.size(), tail.size(), tail);
}

// The text of UTF-16LE file bytes after the byte order mark.
std::u16string TextOf(const std::string& utf16) {
    std::u16string text;
    for (size_t i = 2; i + 1 < utf16.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(utf16[i]) |
                                             static_cast<unsigned char>(utf16[i + 1]) << 8));
    }
    return text;
}

// The size folder of an item ("800x480/wnd/a.xml" -> "800x480") and the rest of its path; when the
// source is itself one size folder, every item is in it.
void SplitSize(const std::string& rel, bool bOneSize, std::string* pSize, std::string* pRest) {
    if (bOneSize) {
        pSize->clear();
        *pRest = rel;
        return;
    }
    const size_t slash = rel.find('/');
    *pSize = std::string::npos == slash ? std::string() : rel.substr(0, slash);
    *pRest = std::string::npos == slash ? rel : rel.substr(slash + 1);
}

std::string IdOf(const std::string& pathUnder) {
    std::string id = Lower(pathUnder);
    std::replace(id.begin(), id.end(), '/', '\\');
    return id;
}

// The image a bitmap id names ("button\down.565a.conf" -> "button\down" and "button/down.png"); empty
// for an id that names a hand-written description.
std::string ImageStem(const std::string& id, std::string* pPng) {
    for (const char* tail : {".565a.conf", ".565.conf", ".32.conf"}) {
        if (EndsWith(id, tail)) {
            std::string stem = id.substr(0, id.size() - strlen(tail));
            std::string png = stem + (0 == strcmp(tail, ".32.conf") ? ".32.png" : ".png");
            std::replace(png.begin(), png.end(), '\\', '/');
            *pPng = png;
            return Lower(stem);
        }
    }
    return std::string();
}

// Why an XML document did not load: a syntax error where the parser stopped, or the file itself.
const char* XmlFailure(int errorOffset) {
    return errorOffset >= 0 ? "not an XML document: the parser stops here" : "not an XML document";
}

bool IsColorAttr(const std::string& name) {
    return "color" == name || "textcolor_select" == name;
}

bool IsStyleAttr(const std::string& name) {
    return "style" == name || "common.style" == name || "down.style" == name || "focus.style" == name;
}

} // namespace

struct CSkinCompiler::SizeFolder {
    std::set<std::string> bitmaps;                 // lower-case ids, "\" separated
    std::map<std::string, std::string> imageStems; // lower-case stem -> the id its image compiled to
    std::set<std::string> brokenStems;             // images that did not compile or load
    std::set<std::string> fonts;
    std::set<std::string> brokenFonts;
    std::unique_ptr<CFhConfDoc> colors;
    bool bColorsBroken = false;
    std::vector<std::unique_ptr<CFhConfDoc>> languages;
    std::vector<std::string> languageNames;
    bool bLanguageBroken = false;
};

std::string SkinProblem::Text() const {
    std::string text = file;
    if (line > 0) {
        text += ":" + std::to_string(line);
        if (column > 0) {
            text += ":" + std::to_string(column);
        }
    }
    text += ": " + what + "\n";
    for (const std::string& detail : details) {
        text += "  " + detail + "\n";
    }
    return text;
}

bool Utf8ToUtf16File(const std::string& in, std::string* pOut, int* pBadLine, int* pBadColumn) {
    size_t i = 0;
    if (in.size() >= 3 && 0 == in.compare(0, 3, "\xEF\xBB\xBF")) {
        i = 3;
    }
    std::string out("\xFF\xFE", 2);
    int line = 1;
    int column = 1;
    auto put = [&](unsigned u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    auto bad = [&]() {
        *pBadLine = line;
        if (pBadColumn) {
            *pBadColumn = column;
        }
        return false;
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
            return bad();
        }
        if (i + n > in.size()) {
            return bad();
        }
        for (size_t k = 1; k < n; ++k) {
            const unsigned char cc = static_cast<unsigned char>(in[i + k]);
            if (0x80 != (cc & 0xC0)) {
                return bad();
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((3 == n && cp < 0x800) || (4 == n && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return bad();
        }
        if ('\n' == cp) {
            ++line;
            column = 1;
        } else {
            ++column;
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

bool IsFrameworkText(const std::string& bytes) {
    return bytes.size() >= 2 && '\xFF' == bytes[0] && '\xFE' == bytes[1];
}

bool IsSkinTextFile(const std::string& name) {
    return EndsWith(name, ".xml") || EndsWith(name, ".conf") || EndsWith(name, ".ini") ||
           EndsWith(name, ".color");
}

bool IsSkinSourceFolder(const fs::path& folder) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) {
            continue;
        }
        const std::string name = it->path().filename().string();
        if (EndsWith(name, ".png")) {
            return true;
        }
        std::string bytes;
        if (IsSkinTextFile(name) && ReadHostFile(it->path(), &bytes) && !bytes.empty() &&
            !IsFrameworkText(bytes)) {
            return true;
        }
    }
    return false;
}

int ConfProblemLine(const std::u16string& text) {
    auto white = [](char16_t c) { return u' ' == c || u'\r' == c || u'\t' == c; };
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find(u'\n', i);
        if (std::u16string::npos == end) {
            end = text.size();
        }
        size_t p = i;
        while (p < end && white(text[p])) {
            ++p;
        }
        if (p < end && u';' != text[p] && u'[' != text[p]) {
            // A key, then "=" (white space may stand between them).
            size_t k = p;
            while (k < end && u'=' != text[k] && !white(text[k])) {
                ++k;
            }
            const size_t keyEnd = k;
            while (k < end && white(text[k])) {
                ++k;
            }
            if (keyEnd == p || k == end || u'=' != text[k]) {
                return line;
            }
        }
        i = end + 1;
        ++line;
    }
    return 0;
}

CSkinCompiler::CSkinCompiler(fs::path source, std::string shownSource, fs::path outDir)
    : m_source(std::move(source)), m_shown(std::move(shownSource)), m_outDir(std::move(outDir)) {
    while (m_shown.size() > 1 && '/' == m_shown.back()) {
        m_shown.pop_back();
    }
}

size_t CSkinCompiler::FilesWithProblems() const {
    std::set<std::string> files;
    for (const SkinProblem& p : m_problems) {
        files.insert(p.file);
    }
    return files.size();
}

std::string CSkinCompiler::SourceOf(const std::string& item) const {
    auto it = m_sourceOf.find(item);
    return m_sourceOf.end() == it ? std::string() : it->second;
}

std::u16string CSkinCompiler::Device(const std::string& item) const {
    return tooling::DevicePath((m_outDir / item).string());
}

std::string CSkinCompiler::AuthorsMessage(const std::u16string& message) const {
    return WideToUtf8(
        tooling::HostPathsInMessage(message, {{tooling::DevicePath(m_outDir.string()), m_shown + "/"}}));
}

void CSkinCompiler::Report(const std::string& sourceRel, Place at, const std::string& what,
                           const std::vector<std::u16string>& frameworkLines) {
    SkinProblem problem;
    problem.file = m_shown + "/" + sourceRel;
    problem.line = at.line;
    problem.column = at.column;
    problem.what = what;
    for (const std::u16string& line : frameworkLines) {
        problem.details.push_back(AuthorsMessage(line));
    }
    m_problems.push_back(std::move(problem));
}

void CSkinCompiler::ReportItem(const std::string& item, Place at, const std::string& what,
                               const std::vector<std::u16string>& frameworkLines) {
    const std::string source = SourceOf(item);
    Report(source.empty() ? item : source, at, what, frameworkLines);
}

CSkinCompiler::Place CSkinCompiler::PlaceOfOffset(const std::string& item, long offset) const {
    Place place;
    auto it = m_texts.find(item);
    // Included text shifts everything after it; then no line is better than a wrong one.
    if (offset < 0 || m_texts.end() == it || std::u16string::npos != it->second.find(u"#include_xml") ||
        static_cast<size_t>(offset) > it->second.size()) {
        return place;
    }
    place.line = 1;
    place.column = 1;
    for (long i = 0; i < offset; ++i) {
        if (u'\n' == it->second[i]) {
            ++place.line;
            place.column = 1;
        } else {
            ++place.column;
        }
    }
    return place;
}

CSkinCompiler::Place CSkinCompiler::PlaceOf(const std::string& item, const char16_t* pText,
                                            const char16_t* pAt) const {
    if (NULL == pText || NULL == pAt || pAt < pText) {
        return Place();
    }
    return PlaceOfOffset(item, static_cast<long>(pAt - pText));
}

// ---- compiling ----

bool CSkinCompiler::Compile() {
    tooling::UseHostFileSystem(); // the bitmaps are written through the platform's files
    std::error_code ec;
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(m_source, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) {
            files.push_back(it->path());
        }
    }
    if (ec) {
        SkinProblem problem;
        problem.file = m_shown;
        problem.what = "cannot be read: " + ec.message();
        m_problems.push_back(problem);
        return false;
    }
    std::sort(files.begin(), files.end());
    bool ok = true;
    for (const fs::path& file : files) {
        ++m_nSources;
        const std::string rel = file.lexically_relative(m_source).generic_string();
        if (!CompileFile(file, rel)) {
            m_brokenSources.insert(rel);
            ok = false;
        }
    }
    return ok;
}

bool CSkinCompiler::CompileFile(const fs::path& src, const std::string& rel) {
    const std::string name = fs::path(rel).filename().string();
    if (IsSkinTextFile(name)) {
        std::string bytes, utf16;
        if (!ReadHostFile(src, &bytes)) {
            Report(rel, Place(), "cannot be read");
            return false;
        }
        if (IsFrameworkText(bytes)) {
            utf16 = bytes; // already the framework's form
        } else {
            Place at;
            if (!Utf8ToUtf16File(bytes, &utf16, &at.line, &at.column)) {
                Report(rel, at,
                       "line " + std::to_string(at.line) +
                           " is not UTF-8 (skin text files are UTF-8, or UTF-16LE with the byte order mark)");
                return false;
            }
        }
        if (!WriteHostFile(m_outDir / rel, utf16)) {
            Report(rel, Place(), "cannot write its compiled form " + (m_outDir / rel).string());
            return false;
        }
        m_items.push_back(rel);
        m_sourceOf[rel] = rel;
        m_texts[rel] = TextOf(utf16);
        return true;
    }
    if (EndsWith(name, ".png")) {
        return CompileImage(src, rel);
    }
    if (EndsWith(name, ".bmp") || EndsWith(name, ".alpha")) {
        std::string bytes;
        if (!ReadHostFile(src, &bytes) || !WriteHostFile(m_outDir / rel, bytes)) {
            Report(rel, Place(), "cannot be copied");
            return false;
        }
        m_items.push_back(rel);
        m_sourceOf[rel] = rel;
        return true;
    }
    Report(rel, Place(), "not a kind of skin source (.xml, .conf, .ini, .color, .png, .bmp, .alpha)");
    return false;
}

bool CSkinCompiler::CompileImage(const fs::path& src, const std::string& rel) {
    RgbaImage image;
    std::string error;
    if (!ReadPng(src.string(), &image, &error)) {
        Report(rel, Place(), "the PNG image cannot be read: " + error);
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
    fs::create_directories((m_outDir / bmpRel).parent_path(), ec);
    auto pBmp = imaging::BitmapFromRgba(image, format);
    bool bRemoved = false;
    if (!pBmp || !imaging::SaveBitmapFiles(*pBmp, (m_outDir / bmpRel).string(), &bRemoved, &error)) {
        Report(rel, Place(), "the image cannot be converted" + (error.empty() ? "" : ": " + error));
        return false;
    }
    m_items.push_back(bmpRel);
    m_sourceOf[bmpRel] = rel;
    if ("565a" == format) {
        m_items.push_back(stem + ".alpha");
        m_sourceOf[stem + ".alpha"] = rel;
    }
    std::string conf = "src=" + bmpName + "\n";
    if ("565" != format) {
        conf += "pa=true\n";
    }
    std::string utf16;
    int line = 0;
    Utf8ToUtf16File(conf, &utf16, &line);
    if (!WriteHostFile(m_outDir / confRel, utf16)) {
        Report(rel, Place(), "cannot write its description " + (m_outDir / confRel).string());
        return false;
    }
    m_items.push_back(confRel);
    m_sourceOf[confRel] = rel;
    return true;
}

// ---- checking ----

std::string CSkinCompiler::ImageProblem(const std::string& id, const SizeFolder& size) const {
    std::string png;
    const std::string stem = ImageStem(id, &png);
    if (stem.empty()) {
        return "the bitmap description res/bitmap/" + id + " does not exist";
    }
    if (size.brokenStems.count(stem)) {
        return std::string(); // the image itself is reported
    }
    auto it = size.imageStems.find(stem);
    if (size.imageStems.end() != it) {
        const char* why = EndsWith(it->second, ".565.conf")    ? " (it has no transparent pixel)"
                          : EndsWith(it->second, ".565a.conf") ? " (it has transparent pixels)"
                                                               : "";
        return "the image res/bitmap/" + png + " is compiled as " + it->second + ", not " + id + why;
    }
    return "the image res/bitmap/" + png + " does not exist (named here as " + id + ")";
}

void CSkinCompiler::CheckReferences(const std::string& item, const CWceUiXmlDoc& doc, const SizeFolder& size,
                                    const CFhStyleFile* pStyles) {
    std::vector<CWceUiXmlElem*> order;
    std::vector<CWceUiXmlElem*> stack;
    if (doc.GetRootElem()) {
        stack.push_back(doc.GetRootElem());
    }
    // Depth first in document order, so that problems come out in the order of their lines.
    while (!stack.empty()) {
        CWceUiXmlElem* pElem = stack.back();
        stack.pop_back();
        order.push_back(pElem);
        std::vector<CWceUiXmlElem*> children;
        for (CWceUiXmlElem* p = doc.GetFirstChild(pElem); p; p = doc.GetNextSibling(p)) {
            children.push_back(p);
        }
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    const char16_t* pText = doc.GetText();
    for (CWceUiXmlElem* pElem : order) {
        const std::string tag = Lower(WideToUtf8(doc.GetElemName(pElem)));
        for (const CWceUiXmlAttr* pAttr = doc.GetFirstAttr(pElem); pAttr; pAttr = doc.GetNextAttr(pAttr)) {
            const std::string name = Lower(WideToUtf8(pAttr->pName));
            const std::string value = WideToUtf8(pAttr->pValue);
            if (value.empty()) {
                continue;
            }
            const Place at = PlaceOf(item, pText, pAttr->pValue);
            if (EndsWith(value, ".conf")) {
                if ("font" == tag && "id" == name) {
                    if (!size.fonts.count(IdOf(value)) && !size.brokenFonts.count(IdOf(value))) {
                        ReportItem(item, at, "font " + value + " does not exist (res/font/" + value + ")");
                    }
                } else if (!size.bitmaps.count(IdOf(value))) {
                    const std::string why = ImageProblem(value, size);
                    if (!why.empty()) {
                        ReportItem(item, at, why);
                    }
                }
            } else if (IsColorAttr(name) && "transparent" != Lower(value) &&
                       !(value.size() > 2 && '0' == value[0] && 'x' == value[1])) {
                if (!size.bColorsBroken && (!size.colors || NULL == size.colors->GetValue(pAttr->pValue))) {
                    ReportItem(item, at, "colour " + value + " is not in wceui.color");
                }
            } else if ("res-id" == name) {
                if (size.bLanguageBroken) {
                    continue;
                }
                if (size.languages.empty()) {
                    ReportItem(item, at, "text " + value + " named, but there is no language file");
                }
                for (size_t i = 0; i < size.languages.size(); ++i) {
                    if (NULL == size.languages[i]->GetValue(pAttr->pValue)) {
                        ReportItem(item, at, "text " + value + " is not in " + size.languageNames[i]);
                    }
                }
            } else if (pStyles && IsStyleAttr(name) && pStyles->GetStyleNameIndex(pAttr->pValue) < 0) {
                ReportItem(item, at, "style " + value + " is not in the style file");
            }
        }
    }
}

void CSkinCompiler::CheckStyleFile(const std::string& item, const SizeFolder& size) {
    tooling::LogLines log;
    CFhStyleFile file;
    if (!file.LoadStyleFile(Device(item).c_str())) {
        const int offset = file.GetXmlDoc().GetErrorOffset();
        ReportItem(item, PlaceOfOffset(item, offset), offset >= 0 ? XmlFailure(offset) : "not a style file",
                   log.Lines());
        return;
    }
    const CWceUiXmlDoc& doc = file.GetXmlDoc();
    const char16_t* pText = doc.GetText();
    // Each style and animation on its own, at the line of its element.
    CWceUiXmlElem* pStyle = doc.FindChildElem(doc.GetRootElem(), u"style");
    for (int i = 0; i < file.GetStyleCount(); ++i) {
        log.Clear();
        CWceUiStyle style;
        if (!file.GetStyleData(file.GetStyleName(i), &style)) {
            CWceUiXmlElem* pElem = doc.FindChildElem(pStyle, file.GetStyleName(i));
            ReportItem(item, PlaceOf(item, pText, pElem ? doc.GetElemName(pElem) : NULL),
                       "style " + WideToUtf8(file.GetStyleName(i)) + " does not load", log.Lines());
        }
    }
    CWceUiXmlElem* pAnimate = doc.FindChildElem(doc.GetRootElem(), u"animate");
    for (CWceUiXmlElem* pItem = doc.GetFirstChild(pAnimate); pItem; pItem = doc.GetNextSibling(pItem)) {
        log.Clear();
        std::unique_ptr<CWceUiWndAnimate> pAni(file.GetWndAnimate(doc.GetElemName(pItem)));
        if (!pAni) {
            ReportItem(item, PlaceOf(item, pText, doc.GetElemName(pItem)),
                       "animation " + WideToUtf8(doc.GetElemName(pItem)) + " does not load", log.Lines());
        }
    }
    CheckReferences(item, doc, size, NULL);
}

void CSkinCompiler::CheckDialog(const std::string& item, const SizeFolder& size) {
    tooling::LogLines log;
    CWceUiXmlDoc doc;
    if (!doc.LoadXmlFile(Device(item).c_str())) {
        ReportItem(item, PlaceOfOffset(item, doc.GetErrorOffset()), XmlFailure(doc.GetErrorOffset()),
                   log.Lines());
        return;
    }
    if (NULL == doc.FindChildElem(doc.GetRootElem(), u"body")) {
        ReportItem(item, PlaceOf(item, doc.GetText(), doc.GetElemName(doc.GetRootElem())),
                   "no \"body\" element under the root element");
        return;
    }
    const std::string styleItem = item.substr(0, item.size() - 8) + ".style.xml";
    if (!std::count(m_items.begin(), m_items.end(), styleItem)) {
        if (!m_brokenSources.count(styleItem)) {
            ReportItem(item, Place(), "no style file " + m_shown + "/" + styleItem + " beside it");
        }
        return;
    }
    CFhStyleFile styles;
    if (!styles.LoadStyleFile(Device(styleItem).c_str())) {
        return; // reported with the style file
    }
    log.Clear();
    CheckReferences(item, doc, size, &styles);
}

bool CSkinCompiler::Check() {
    tooling::UseHostFileSystem();
    const size_t nBefore = m_problems.size();
    std::map<std::string, SizeFolder> sizes;
    std::error_code ec;
    const bool bOneSize = fs::is_directory(m_source / "wnd", ec) || fs::is_directory(m_source / "res", ec) ||
                          fs::is_directory(m_source / "language", ec);

    // What did not compile is reported already; what refers to it is not reported again.
    for (const std::string& rel : m_brokenSources) {
        std::string sizeName, rest;
        SplitSize(rel, bOneSize, &sizeName, &rest);
        SizeFolder& size = sizes[sizeName];
        const std::string lrest = Lower(rest);
        if (0 == lrest.rfind("res/bitmap/", 0) && EndsWith(rest, ".png")) {
            std::string stem = lrest.substr(11, lrest.size() - 15);
            if (EndsWith(stem, ".32")) {
                stem.resize(stem.size() - 3);
            }
            size.brokenStems.insert(IdOf(stem));
        } else if (0 == lrest.rfind("res/font/", 0)) {
            size.brokenFonts.insert(IdOf(rest.substr(9)));
        } else if ("res/color/wceui.color" == lrest) {
            size.bColorsBroken = true;
        } else if (0 == lrest.rfind("language/", 0)) {
            size.bLanguageBroken = true;
        }
    }

    // First what others refer to: bitmaps, fonts, colours and texts.
    for (const std::string& item : m_items) {
        std::string sizeName, rest;
        SplitSize(item, bOneSize, &sizeName, &rest);
        SizeFolder& size = sizes[sizeName];
        const std::string lrest = Lower(rest);
        tooling::LogLines log;
        if (0 == lrest.rfind("res/bitmap/", 0) && EndsWith(rest, ".conf")) {
            const std::string id = IdOf(rest.substr(11));
            std::string png;
            const std::string stem = ImageStem(id, &png);
            std::unique_ptr<CWceUiGenericBitmap> pBmp(FhLoadBitmapFromConfFile(Device(item).c_str()));
            if (!pBmp) {
                ReportItem(item, Place(), "the bitmap does not load", log.Lines());
                if (!stem.empty()) {
                    size.brokenStems.insert(stem);
                }
                continue;
            }
            size.bitmaps.insert(id);
            if (!stem.empty()) {
                size.imageStems[stem] = id;
            }
        } else if (0 == lrest.rfind("res/font/", 0) && EndsWith(rest, ".conf")) {
            CReadFontConfInfo font;
            if (!font.LoadFontConfFile(Device(item).c_str())) {
                ReportItem(item, Place{ConfProblemLine(m_texts[item]), 0},
                           "the font description does not load", log.Lines());
                size.brokenFonts.insert(IdOf(rest.substr(9)));
                continue;
            }
            size.fonts.insert(IdOf(rest.substr(9)));
        } else if ("res/color/wceui.color" == lrest) {
            auto pDoc = std::make_unique<CFhConfDoc>();
            if (!pDoc->LoadFile(Device(item).c_str())) {
                ReportItem(item, Place{ConfProblemLine(m_texts[item]), 0}, "the colour table does not load",
                           log.Lines());
                size.bColorsBroken = true;
                continue;
            }
            size.colors = std::move(pDoc);
        } else if (0 == lrest.rfind("language/", 0) && EndsWith(rest, ".ini")) {
            auto pDoc = std::make_unique<CFhConfDoc>();
            if (!pDoc->LoadFile(Device(item).c_str())) {
                ReportItem(item, Place{ConfProblemLine(m_texts[item]), 0}, "the language file does not load",
                           log.Lines());
                size.bLanguageBroken = true;
                continue;
            }
            size.languages.push_back(std::move(pDoc));
            size.languageNames.push_back(m_shown + "/" + item);
        } else if (EndsWith(rest, ".conf") || EndsWith(rest, ".ini") || EndsWith(rest, ".color")) {
            CFhConfDoc doc;
            if (!doc.LoadFile(Device(item).c_str())) {
                ReportItem(item, Place{ConfProblemLine(m_texts[item]), 0}, "not a configuration document",
                           log.Lines());
            }
        }
    }

    // Then the dialogs and styles that use them.
    for (const std::string& item : m_items) {
        std::string sizeName, rest;
        SplitSize(item, bOneSize, &sizeName, &rest);
        const SizeFolder& size = sizes[sizeName];
        if (EndsWith(item, ".style.xml")) {
            CheckStyleFile(item, size);
        } else if (EndsWith(item, ".dlg.xml")) {
            CheckDialog(item, size);
        } else if (EndsWith(item, ".xml")) {
            tooling::LogLines log;
            CWceUiXmlDoc doc;
            if (!doc.LoadXmlFile(Device(item).c_str())) {
                ReportItem(item, PlaceOfOffset(item, doc.GetErrorOffset()), XmlFailure(doc.GetErrorOffset()),
                           log.Lines());
            }
        }
    }
    return m_problems.size() == nBefore;
}
