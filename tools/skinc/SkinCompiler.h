// The skin compiler shared by skinc, wceui-preview and packtool check: turns skin sources (UTF-8 text,
// PNG images) into the framework's form (UTF-16LE text with the byte order mark, BMP images with their
// descriptions) in a folder, checks the result with the framework's own loaders, and reports every
// problem of a run against the file, line and column the author wrote.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

class CFhStyleFile;
class CWceUiXmlDoc;

struct SkinProblem {
    std::string file; // the source file as the author names it (the source folder as typed, then "/")
    int line = 0;     // 0 when unknown
    int column = 0;   // 0 when unknown
    std::string what;
    std::vector<std::string> details; // the framework's lines, with the author's paths

    // "file:line:column: what", then each detail on its own indented line.
    std::string Text() const;
};

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF) to UTF-16LE with the byte
// order mark; a UTF-8 byte order mark at the start is dropped. False with the line and column (in
// characters) of the first bad byte.
bool Utf8ToUtf16File(const std::string& in, std::string* pOut, int* pBadLine, int* pBadColumn = nullptr);

// Whether file bytes are already in the framework's text form (UTF-16LE with the byte order mark).
bool IsFrameworkText(const std::string& bytes);

// The kinds of file the compiler converts as text.
bool IsSkinTextFile(const std::string& name);

// Whether a folder holds skin sources that must be compiled before the framework can read them: a
// PNG image, or a text file that is not in the framework's form, anywhere below it.
bool IsSkinSourceFolder(const std::filesystem::path& folder);

// The line (1-based) of the first line the framework's configuration parser refuses, or 0.
int ConfProblemLine(const std::u16string& text);

class CSkinCompiler {
public:
    // source: the folder compiled; shownSource: how the author named it, for messages; outDir: a folder
    // the compiled files are written under (made when missing).
    CSkinCompiler(std::filesystem::path source, std::string shownSource, std::filesystem::path outDir);

    // Converts every source file; a file that fails is reported and left out, the rest still compile.
    // False when any file failed.
    bool Compile();
    // Loads every compiled file the way the framework will, and checks that every bitmap, font,
    // colour, text and style a dialog or style file names exists in its size folder. False when
    // anything failed. Uses the host file system through the platform layer.
    bool Check();

    // Compiled files, relative to the output folder, "/" separated.
    const std::vector<std::string>& Items() const { return m_items; }
    size_t SourceCount() const { return m_nSources; }
    const std::vector<SkinProblem>& Problems() const { return m_problems; }
    // The number of source files with at least one problem.
    size_t FilesWithProblems() const;
    // The source path (relative to the source folder) a compiled item came from, or empty.
    std::string SourceOf(const std::string& item) const;
    // A framework message with the output folder's device paths replaced by the author's paths.
    std::string AuthorsMessage(const std::u16string& message) const;

private:
    struct SizeFolder;
    struct Place {
        int line = 0;
        int column = 0;
    };

    bool CompileFile(const std::filesystem::path& src, const std::string& rel);
    bool CompileImage(const std::filesystem::path& src, const std::string& rel);
    void Report(const std::string& sourceRel, Place at, const std::string& what,
                const std::vector<std::u16string>& frameworkLines = {});
    void ReportItem(const std::string& item, Place at, const std::string& what,
                    const std::vector<std::u16string>& frameworkLines = {});
    std::u16string Device(const std::string& item) const;
    // Where a unit offset of an item's text stands, when the text maps one to one onto the source.
    Place PlaceOf(const std::string& item, const char16_t* pText, const char16_t* pAt) const;
    Place PlaceOfOffset(const std::string& item, long offset) const;
    void CheckStyleFile(const std::string& item, const SizeFolder& size);
    void CheckDialog(const std::string& item, const SizeFolder& size);
    void CheckReferences(const std::string& item, const CWceUiXmlDoc& doc, const SizeFolder& size,
                         const CFhStyleFile* pStyles);
    std::string ImageProblem(const std::string& id, const SizeFolder& size) const;

    std::filesystem::path m_source;
    std::string m_shown;
    std::filesystem::path m_outDir;
    std::vector<std::string> m_items;
    std::map<std::string, std::string> m_sourceOf; // compiled item -> source rel
    std::map<std::string, std::u16string> m_texts; // compiled text item -> its text (no BOM)
    std::set<std::string> m_brokenSources;         // source rels that did not compile
    std::vector<SkinProblem> m_problems;
    size_t m_nSources = 0;
};
