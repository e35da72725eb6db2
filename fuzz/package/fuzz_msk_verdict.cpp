// Open, Verify and Unpack must agree: a package Open refuses is refused by Verify and Unpack before
// anything is written; Verify passes exactly the packages Unpack unpacks (into a fresh folder with
// room); and nothing ever lands outside the destination's root folder. The input describes a package
// (names from an alphabet rich in characters the device refuses, folders and files in any order,
// streams that may be damaged or claim another size); an input starting with 0xFF is taken as the
// package file itself instead.
#include "../../tests/package/MskTestSupport.h"
#include "package/MskUnpacker.h"
#include "platform/Platform.h"
#include "wceui/core/FhScramble.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const DWORD kKey = FhPasswordToKey(u"pwd_tanzo");

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_p(data), m_end(data + size) {}
    uint8_t Byte() { return m_p < m_end ? *m_p++ : 0; }
    bool Empty() const { return m_p >= m_end; }

private:
    const uint8_t* m_p;
    const uint8_t* m_end;
};

std::u16string Name(Input& in) {
    static const char16_t kAlphabet[] = {u'a', u'b',    u'A',    u'.',   u'\\',  u'/', u'<',
                                         u'|', u'*',    u'?',    u':',   u'"',   u' ', 0x7F,
                                         0x01, u'\xFC', u'\xDC', 0x0130, 0x5730, u'x', u'y'};
    std::u16string name;
    for (unsigned n = in.Byte() % 12; n > 0; --n) {
        uint8_t b = in.Byte();
        if (b == 0xFE)
            name.append(100, u'n'); // long names and paths
        else if (b == 0xFD)
            name += u"\xD83D\xDE00"; // a pair of surrogates (4 bytes on the host)
        else
            name.push_back(kAlphabet[b % (sizeof(kAlphabet) / sizeof(kAlphabet[0]))]);
    }
    return name;
}

std::string Describe(Input& in) {
    msktest::RawPackage p;
    p.key = kKey;
    p.root = in.Byte() % 4 == 0 ? Name(in) : u"app";
    for (unsigned count = in.Byte() % 8; count > 0 && !in.Empty(); --count) {
        uint8_t kind = in.Byte();
        msktest::RawEntry e;
        e.type = kind % 5 == 0 ? MSK_ENTRY_FOLDER : kind % 5 == 4 ? 7u : MSK_ENTRY_FILE;
        e.path = Name(in);
        // A path may repeat an earlier one's folder.
        if ((kind & 0x10) && !p.entries.empty())
            e.path = p.entries[in.Byte() % p.entries.size()].path + u"\\" + e.path;
        e.content.assign(in.Byte() % 40, static_cast<char>('a' + kind % 26));
        if (kind & 0x20)
            e.unpackedSize = static_cast<DWORD>(e.content.size() + (kind & 0x40 ? 1 : -1));
        if (kind & 0x80) {
            std::string stream = msktest::Compress(e.content);
            stream[in.Byte() % stream.size()] ^= static_cast<char>(1 + in.Byte() % 255);
            e.stream = stream;
        }
        p.entries.push_back(std::move(e));
    }
    return msktest::Build(p);
}

// Every host entry below folder, as paths relative to it.
void Walk(const fs::path& folder, const fs::path& relative, std::vector<fs::path>& out) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder / relative, ec)) {
        fs::path r = relative / e.path().filename();
        out.push_back(r);
        if (e.is_directory(ec) && !e.is_symlink(ec))
            Walk(folder, r, out);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    std::string package = size > 0 && data[0] == 0xFF
                              ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1)
                              : Describe(in);

    // One device root for the whole run, holding only the package and a destination emptied before
    // each input.
    static const fs::path root = [] {
        std::string pattern = (fs::temp_directory_path() / "msk-verdict-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            abort();
        PlatformSetDeviceRoot(pattern);
        PlatformMount(u"\\Program", pattern + "/no-program-folder");
        static std::string made = pattern;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(made, ec);
        });
        return fs::path(pattern);
    }();
    fs::remove_all(root / "dest");
    fs::create_directories(root / "pkg");
    fs::create_directories(root / "dest");
    std::ofstream(root / "pkg" / "p.msk", std::ios::binary | std::ios::trunc)
        .write(package.data(), static_cast<std::streamsize>(package.size()));

    CMskUnpacker unpacker;
    std::u16string openError, verifyError, unpackError;
    const bool open = unpacker.Open(u"\\pkg\\p.msk", kKey, openError);
    const bool verify = unpacker.Verify(u"\\pkg\\p.msk", kKey, verifyError);
    const std::u16string rootName = verify ? unpacker.GetRootName() : u"";
    const bool unpack = unpacker.Unpack(u"\\pkg\\p.msk", u"\\dest", kKey, unpackError);

    if ((!open && (verify || unpack)) || verify != unpack) {
        fprintf(stderr, "verdicts differ: open %d (%s), verify %d (%s), unpack %d (%s)\n", open,
                WideToUtf8(openError).c_str(), verify, WideToUtf8(verifyError).c_str(), unpack,
                WideToUtf8(unpackError).c_str());
        abort();
    }
    std::vector<fs::path> below;
    Walk(root, "", below);
    for (const fs::path& p : below) {
        auto it = p.begin();
        const fs::path top = *it++;
        if (top == "pkg" && (it == p.end() || (*it == "p.msk" && std::next(it) == p.end())))
            continue;
        if (top != "dest")
            abort(); // written outside the destination
        // A refused table writes nothing; anything else lands in the one root folder.
        if (it != p.end() && (!open || (verify && Utf8ToWide(it->string()) != rootName &&
                                        WStrICmp(Utf8ToWide(it->string()).c_str(), rootName.c_str()) != 0)))
            abort();
    }
    return 0;
}
