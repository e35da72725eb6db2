// Faces through fontconfig, glyphs through FreeType. Output must not depend on the machine beyond
// the installed font files: FreeType runs in a library instance of our own that ignores
// FREETYPE_PROPERTIES, glyphs always take the auto-hinter's light mode (vertical snapping only) and
// never embedded bitmaps, and of fontconfig only the file it picks is used, never its rendering
// settings. Bold and italic that a family lacks are made from the regular outline. A character the
// chosen face lacks (Chinese, Japanese or Korean in a Latin face, say) comes from the face that
// fontconfig prefers among those that have it, at the same size, so that no text shows as boxes
// while the machine has a font for it; text the face covers is drawn exactly as without fallback.
#include "platform/text/FontEngine.h"
#include "platform/text/TextHost.h"
#include "platform/GdiObjects.h"
#include "platform/WinString.h"
#include "platform/WinSystem.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>

namespace text {

namespace {

PlatformTextLogSink g_sink = nullptr;
unsigned long g_rasterised = 0;
size_t g_cachedBytes = 0;
unsigned long g_generation = 0;
// Beyond this many bytes of coverage the whole cache starts again (checked between calls).
constexpr size_t kCacheLimit = 32u << 20;

void* FtAlloc(FT_Memory, long size) {
    return std::malloc(static_cast<size_t>(size));
}
void FtFree(FT_Memory, void* block) {
    std::free(block);
}
void* FtRealloc(FT_Memory, long, long newSize, void* block) {
    return std::realloc(block, static_cast<size_t>(newSize));
}

// Our FreeType instance: the default modules without the environment's property overrides.
FT_Library Library() {
    static FT_Library lib = [] {
        static FT_MemoryRec_ memory{nullptr, FtAlloc, FtFree, FtRealloc};
        FT_Library l = nullptr;
        if (FT_New_Library(&memory, &l) != 0)
            return static_cast<FT_Library>(nullptr);
        FT_Add_Default_Modules(l);
        return l;
    }();
    return lib;
}

bool FontconfigReady() {
    static bool ok = [] {
        if (FcInit() != FcTrue)
            return false;
        // Nothing of fontconfig's is kept beyond a match (only file names), so its configuration
        // can go at exit, which keeps leak checkers quiet.
        std::atexit([] { FcFini(); });
        return true;
    }();
    return ok;
}

std::string Lower(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

// A face file chosen for a family, weight and slant.
struct FaceChoice {
    std::string file;
    int index = 0;
    std::string family;       // the family the file belongs to (first name fontconfig lists)
    bool familyFound = false; // the requested family is one of the file's names
    bool needBold = false;
    bool needItalic = false;
    bool bold = false; // what was asked for
    bool italic = false;
};

// The style fields of a match: the requested weight and slant, and what the file lacks of them.
void SetStyle(FcPattern* m, bool bold, bool italic, FaceChoice* out) {
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(m, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(m, FC_SLANT, 0, &slant);
    out->bold = bold;
    out->italic = italic;
    out->needBold = bold && weight < FC_WEIGHT_DEMIBOLD;
    out->needItalic = italic && slant == FC_SLANT_ROMAN;
}

// A pattern for a family in a style, completed by the configuration as for any match.
FcPattern* StylePattern(const std::string& family, bool bold, bool italic) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    return pat;
}

bool Match(const std::string& family, bool bold, bool italic, FaceChoice* out) {
    if (!FontconfigReady())
        return false;
    FcPattern* pat = StylePattern(family, bold, italic);
    FcResult result = FcResultNoMatch;
    FcPattern* m = FcFontMatch(nullptr, pat, &result);
    FcPatternDestroy(pat);
    if (!m)
        return false;
    FcChar8* file = nullptr;
    bool ok = FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch && file;
    if (ok) {
        out->file = reinterpret_cast<const char*>(file);
        int index = 0;
        if (FcPatternGetInteger(m, FC_INDEX, 0, &index) == FcResultMatch)
            out->index = index;
        const std::string wanted = Lower(family);
        FcChar8* name = nullptr;
        for (int i = 0; FcPatternGetString(m, FC_FAMILY, i, &name) == FcResultMatch; i++) {
            if (i == 0)
                out->family = reinterpret_cast<const char*>(name);
            if (Lower(reinterpret_cast<const char*>(name)) == wanted)
                out->familyFound = true;
        }
        SetStyle(m, bold, italic, out);
    }
    FcPatternDestroy(m);
    return ok;
}

// The face's design units and the Windows metrics its cells are made of.
struct FileMetrics {
    bool ok = false;
    long unitsPerEm = 0;
    long winAscent = 0;
    long winDescent = 0;
};

FileMetrics ReadMetrics(const std::string& file, int index) {
    static std::map<std::pair<std::string, int>, FileMetrics> cache;
    auto key = std::make_pair(file, index);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    FileMetrics fm;
    FT_Face face = nullptr;
    if (Library() && FT_New_Face(Library(), file.c_str(), index, &face) == 0) {
        if (FT_IS_SCALABLE(face) && face->units_per_EM > 0) {
            fm.unitsPerEm = face->units_per_EM;
            const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
                fm.winAscent = os2->usWinAscent;
                fm.winDescent = os2->usWinDescent;
            } else {
                fm.winAscent = face->ascender;
                fm.winDescent = -face->descender;
            }
            fm.ok = fm.winAscent + fm.winDescent > 0;
        }
        FT_Done_Face(face);
    }
    cache[key] = fm;
    return fm;
}

long Scale(long units, long ppem64, long upem) {
    // Rounded units * ppem / upem, in whole pixels.
    long long v = static_cast<long long>(units) * ppem64;
    long long d = static_cast<long long>(upem) * 64;
    return static_cast<long>(v >= 0 ? (v + d / 2) / d : -((-v + d / 2) / d));
}

typedef std::tuple<std::string, int, long, bool, bool> StrikeKey;

std::map<StrikeKey, std::shared_ptr<Strike>>& Strikes() {
    static auto* strikes = new std::map<StrikeKey, std::shared_ptr<Strike>>;
    return *strikes;
}

// The faces that may draw what a family lacks, in fontconfig's order of preference for that family
// and style (only those that add characters to the ones before them), with the characters each has.
class FallbackList {
public:
    FallbackList(const std::string& family, bool bold, bool italic) {
        FcPattern* pat = StylePattern(family, bold, italic);
        FcResult result = FcResultNoMatch;
        m_set = FcFontSort(nullptr, pat, FcTrue, nullptr, &result);
        FcPatternDestroy(pat);
        for (int i = 0; m_set && i < m_set->nfont; i++) {
            FcPattern* font = m_set->fonts[i];
            FcBool scalable = FcFalse;
            FcChar8* file = nullptr;
            FcCharSet* coverage = nullptr;
            if (FcPatternGetBool(font, FC_SCALABLE, 0, &scalable) != FcResultMatch || !scalable ||
                FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file ||
                FcPatternGetCharSet(font, FC_CHARSET, 0, &coverage) != FcResultMatch)
                continue;
            Face face;
            face.coverage = coverage;
            face.choice.file = reinterpret_cast<const char*>(file);
            FcPatternGetInteger(font, FC_INDEX, 0, &face.choice.index);
            FcChar8* name = nullptr;
            if (FcPatternGetString(font, FC_FAMILY, 0, &name) == FcResultMatch)
                face.choice.family = reinterpret_cast<const char*>(name);
            SetStyle(font, bold, italic, &face.choice);
            m_faces.push_back(face);
        }
    }
    ~FallbackList() {
        if (m_set)
            FcFontSetDestroy(m_set);
    }
    FallbackList(const FallbackList&) = delete;
    FallbackList& operator=(const FallbackList&) = delete;

    // The first face in the order of preference that has the character and can be loaded. Which
    // faces have anything of a block of 256 code points is worked out once per block, so that a
    // character is looked up in those few only.
    const FaceChoice* Find(char32_t cp) {
        const std::vector<size_t>& candidates = BlockCandidates(cp >> 8);
        for (size_t i : candidates) {
            const Face& face = m_faces[i];
            if (FcCharSetHasChar(face.coverage, cp) && ReadMetrics(face.choice.file, face.choice.index).ok)
                return &face.choice;
        }
        return nullptr;
    }

private:
    struct Face {
        FaceChoice choice;
        FcCharSet* coverage = nullptr; // belongs to m_set
    };
    const std::vector<size_t>& BlockCandidates(char32_t block) {
        auto it = m_byBlock.find(block);
        if (it != m_byBlock.end())
            return it->second;
        std::vector<size_t>& candidates = m_byBlock[block];
        for (size_t i = 0; i < m_faces.size(); i++) {
            for (char32_t cp = block << 8; cp < ((block + 1) << 8); cp++) {
                if (FcCharSetHasChar(m_faces[i].coverage, cp)) {
                    candidates.push_back(i);
                    break;
                }
            }
        }
        return candidates;
    }

    FcFontSet* m_set = nullptr;
    std::vector<Face> m_faces;
    std::unordered_map<char32_t, std::vector<size_t>> m_byBlock;
};

// The face that draws a character a family lacks, or null when no installed face has it.
const FaceChoice* FallbackFace(const std::string& family, bool bold, bool italic, char32_t cp) {
    if (!FontconfigReady())
        return nullptr;
    // Made after fontconfig started, so destroyed before it finishes at exit.
    static std::map<std::tuple<std::string, bool, bool>, std::unique_ptr<FallbackList>> lists;
    auto& list = lists[std::make_tuple(family, bold, italic)];
    if (!list)
        list = std::make_unique<FallbackList>(family, bold, italic);
    return list->Find(cp);
}

} // namespace

struct StrikeMaker {
    static std::shared_ptr<Strike> Open(const FaceChoice& c, long ppem64, const FileMetrics& fm) {
        StrikeKey key(c.file, c.index, ppem64, c.needBold, c.needItalic);
        auto it = Strikes().find(key);
        if (it != Strikes().end())
            return it->second;
        FT_Face face = nullptr;
        if (FT_New_Face(Library(), c.file.c_str(), c.index, &face) != 0)
            return nullptr;
        if (FT_Set_Char_Size(face, 0, ppem64, 72, 72) != 0) {
            FT_Done_Face(face);
            return nullptr;
        }
        auto s = std::make_shared<Strike>();
        s->m_face = face;
        s->m_file = c.file;
        s->m_family = c.family;
        s->m_emboldened = c.needBold;
        s->m_slanted = c.needItalic;
        s->m_ppem64 = ppem64;
        s->m_bold = c.bold;
        s->m_italic = c.italic;
        const long upem = fm.unitsPerEm;
        s->m_ascent = static_cast<int>(Scale(fm.winAscent, ppem64, upem));
        s->m_descent = static_cast<int>(Scale(fm.winDescent, ppem64, upem));
        long thickness = Scale(face->underline_thickness, ppem64, upem);
        s->m_lineThickness = static_cast<int>(thickness < 1 ? 1 : thickness);
        long under = Scale(-face->underline_position, ppem64, upem);
        s->m_underlinePos = static_cast<int>(under < 1 ? 1 : under);
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        if (os2 && os2->yStrikeoutPosition > 0)
            s->m_strikeOutPos = static_cast<int>(Scale(os2->yStrikeoutPosition, ppem64, upem));
        else
            s->m_strikeOutPos = s->m_ascent / 3;
        Strikes()[key] = s;
        return s;
    }
};

Strike::~Strike() {
    if (m_face)
        FT_Done_Face(static_cast<FT_Face>(m_face));
}

const Glyph& Strike::Lookup(char32_t cp) {
    if (cp < 128) {
        Rasterise(cp, &m_ascii[cp]);
        m_asciiDone[cp] = true;
        return m_ascii[cp];
    }
    auto it = m_others.find(cp);
    if (it != m_others.end())
        return it->second;
    Glyph& g = m_others[cp];
    Rasterise(cp, &g);
    return g;
}

// Every glyph made is counted, empty ones (spaces, controls) included: a cache miss is a miss.

void Strike::Rasterise(char32_t cp, Glyph* glyph) {
    *glyph = Glyph();
    g_rasterised++;
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
        return; // control characters take no room and draw nothing
    const Strike* from = this;
    FT_UInt index = FT_Get_Char_Index(static_cast<FT_Face>(m_face), cp);
    if (index == 0) {
        if (const Strike* other = FallbackFor(cp)) {
            from = other;
            index = FT_Get_Char_Index(static_cast<FT_Face>(other->m_face), cp);
        }
    }
    FT_Face face = static_cast<FT_Face>(from->m_face);
    const FT_Int32 flags = FT_LOAD_NO_BITMAP | FT_LOAD_FORCE_AUTOHINT | FT_LOAD_TARGET_LIGHT;
    if (FT_Load_Glyph(face, index, flags) != 0 && (index == 0 || FT_Load_Glyph(face, 0, flags) != 0))
        return;
    FT_GlyphSlot slot = face->glyph;
    if (from->m_slanted)
        FT_GlyphSlot_Oblique(slot);
    if (from->m_emboldened)
        FT_GlyphSlot_Embolden(slot);
    glyph->advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0)
        return;
    glyph->left = slot->bitmap_left;
    glyph->top = slot->bitmap_top;
    glyph->width = static_cast<int>(bm.width);
    glyph->height = static_cast<int>(bm.rows);
    glyph->stride = glyph->width + kRowSlack;
    glyph->coverage.assign(static_cast<size_t>(glyph->stride) * bm.rows, 0);
    for (unsigned y = 0; y < bm.rows; y++) {
        const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        std::copy(src, src + bm.width, glyph->coverage.begin() + static_cast<ptrdiff_t>(y) * glyph->stride);
    }
    NoteRasterised(glyph->coverage.size());
}

Strike* Strike::FallbackFor(char32_t cp) {
    const FaceChoice* c = FallbackFace(m_family, m_bold, m_italic, cp);
    if (!c)
        return nullptr;
    // The strikes stay for the whole run, so the pointer does too.
    return StrikeMaker::Open(*c, m_ppem64, ReadMetrics(c->file, c->index)).get();
}

void Strike::DropGlyphs() {
    for (int i = 0; i < 128; i++) {
        m_ascii[i] = Glyph();
        m_asciiDone[i] = false;
    }
    m_others.clear();
}

void Log(const std::string& line) {
    if (g_sink)
        g_sink(line.c_str());
    else
        std::fprintf(stderr, "platform: %s\n", line.c_str());
}

void NoteRasterised(size_t bytes) {
    g_cachedBytes += bytes + sizeof(Glyph);
}

void DropAllGlyphs() {
    for (auto& entry : Strikes())
        entry.second->DropGlyphs();
    g_cachedBytes = 0;
    g_generation++;
}

unsigned long GlyphGeneration() {
    return g_generation;
}

void TrimCache() {
    if (g_cachedBytes > kCacheLimit)
        DropAllGlyphs();
}

namespace {

// The family asked for when the record names none: by its pitch and family bits.
std::string DefaultFamily(BYTE pitchAndFamily) {
    if ((pitchAndFamily & 0x03) == FIXED_PITCH || (pitchAndFamily & 0xF0) == FF_MODERN)
        return "monospace";
    if ((pitchAndFamily & 0xF0) == FF_ROMAN)
        return "serif";
    return "sans-serif";
}

// Face choices by requested family (lower case), bold and italic; each request is resolved and
// reported once.
std::map<std::tuple<std::string, bool, bool>, FaceChoice>& Choices() {
    static auto* choices = new std::map<std::tuple<std::string, bool, bool>, FaceChoice>;
    return *choices;
}

const char kFallbackFamily[] = "DejaVu Sans";

bool Choose(const std::string& requested, bool named, bool bold, bool italic, FaceChoice* out) {
    auto key = std::make_tuple(Lower(requested), bold, italic);
    auto it = Choices().find(key);
    if (it != Choices().end()) {
        *out = it->second;
        return !out->file.empty();
    }
    FaceChoice c;
    bool ok = Match(requested, bold, italic, &c) && ReadMetrics(c.file, c.index).ok;
    if (ok && named && !c.familyFound)
        Log("font face \"" + requested + "\" is not installed; using \"" + c.family + "\" (" + c.file + ")");
    if (!ok) {
        if (!c.file.empty())
            Log("font file " + c.file + " cannot be loaded; using \"" + std::string(kFallbackFamily) + "\"");
        else
            Log("no font found for \"" + requested + "\"; using \"" + std::string(kFallbackFamily) + "\"");
        c = FaceChoice();
        ok = Match(kFallbackFamily, bold, italic, &c) && ReadMetrics(c.file, c.index).ok;
        if (!ok) {
            Log("no usable font file for \"" + requested + "\"");
            c = FaceChoice();
        }
    }
    Choices()[key] = c;
    *out = c;
    return ok;
}

} // namespace

std::shared_ptr<FontInstance> ResolveFont(const LOGFONTW& lf) {
    LOGFONTW rec = lf;
    rec.lfFaceName[LF_FACESIZE - 1] = 0;
    std::string name = WideToUtf8(rec.lfFaceName);
    if (rec.lfHeight < -kMaxFontPixels || rec.lfHeight > kMaxFontPixels) {
        Log("font \"" + name + "\" refused: height " + std::to_string(rec.lfHeight) + " is beyond " +
            std::to_string(kMaxFontPixels) + " pixels");
        return nullptr;
    }
    if (!Library()) {
        Log("FreeType cannot start; no text can be drawn");
        return nullptr;
    }
    const bool named = !name.empty();
    const std::string family = named ? name : DefaultFamily(rec.lfPitchAndFamily);
    FaceChoice choice;
    if (!Choose(family, named, rec.lfWeight >= FW_BOLD, rec.lfItalic != 0, &choice))
        return nullptr;
    FileMetrics fm = ReadMetrics(choice.file, choice.index);
    long ppem64;
    if (rec.lfHeight < 0) {
        ppem64 = -static_cast<long>(rec.lfHeight) * 64; // character height: the em square
    } else if (rec.lfHeight > 0) {
        // Cell height: the em square scaled so that ascent + descent come to the height.
        long long num = static_cast<long long>(rec.lfHeight) * 64 * fm.unitsPerEm;
        long long den = fm.winAscent + fm.winDescent;
        ppem64 = static_cast<long>((num + den / 2) / den);
    } else {
        Log("font \"" + name + "\" has no height; using 12 pixels");
        ppem64 = 12 * 64;
    }
    if (ppem64 < 64)
        ppem64 = 64;
    auto inst = std::make_shared<FontInstance>();
    inst->strike = StrikeMaker::Open(choice, ppem64, fm);
    if (!inst->strike) {
        Log("font file " + choice.file + " cannot be opened at " + std::to_string(ppem64 / 64) + " pixels");
        return nullptr;
    }
    inst->underline = rec.lfUnderline != 0;
    inst->strikeOut = rec.lfStrikeOut != 0;
    return inst;
}

} // namespace text

using namespace text;

void PlatformSetTextLogSink(PlatformTextLogSink sink) {
    gdi::Guard g(gdi::Lock());
    g_sink = sink;
}

unsigned long PlatformTextGlyphsRasterised() {
    gdi::Guard g(gdi::Lock());
    return g_rasterised;
}

void PlatformTextDropGlyphCache() {
    gdi::Guard g(gdi::Lock());
    DropAllGlyphs();
}
