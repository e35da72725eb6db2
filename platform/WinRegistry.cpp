// The registry: a tree of keys in memory, loaded from and saved to "registry.reg" in the device root.
//
// File format (REGEDIT4 style, UTF-8):
//   REGEDIT4
//   ; comments and blank lines are ignored
//   [HKEY_LOCAL_MACHINE\OEM]
//   "APP"="\\Residentflash2\\app\\nvqmain.exe"     REG_SZ, with \\ and \" escapes
//   "Count"=dword:0000002a                          REG_DWORD
//   "Path"=hex(2):25,00,...                         REG_EXPAND_SZ as UTF-16LE bytes
//   "Blob"=hex:01,02,\                              REG_BINARY; a trailing \ continues the line
//     03
//   "List"=hex(7):...                               any other type: hex(<type>)
//   @="..."                                         the key's default (unnamed) value
// "[-HKEY_...\Key]" and "Name"=- delete, as in files for the registry editor. A line that cannot be
// understood is skipped; a section header that cannot be understood also skips the values under it,
// so that they do not land in the previous key.
//
// A unit's registry is small. A file over kMaxFileBytes is not read at all: the registry is empty, as
// for a file of garbage, one line on stderr says why, and every change that would have to write the
// file fails with ERROR_CANTWRITE, so the file stays as it was. Nor is a file over the limit written.
#include "platform/WinRegistry.h"

#include "platform/KernelObject.h"
#include "platform/Platform.h"
#include "platform/WinString.h"
#include "platform/WinSystem.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr size_t kMaxKeyNameLength = 255;
constexpr off_t kMaxFileBytes = 4 << 20;
constexpr int kRootCount = 4;
const char16_t* const kRootNames[kRootCount] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER",
                                                u"HKEY_LOCAL_MACHINE", u"HKEY_USERS"};
const char16_t* const kRootShortNames[kRootCount] = {u"HKCR", u"HKCU", u"HKLM", u"HKU"};

struct ICaseLess {
    bool operator()(const std::u16string& a, const std::u16string& b) const {
        return WStrICmp(a.c_str(), b.c_str()) < 0;
    }
};

bool SameName(const std::u16string& a, LPCWSTR b) {
    return WStrICmp(a.c_str(), b) == 0;
}

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    uint64_t order = 0; // when the value was first set: the file lists a key's values in that order
};

struct RegNode {
    std::u16string name;
    // Found by name ignoring case, so that a key of many values is read in n log n, not n squared.
    std::map<std::u16string, RegValue, ICaseLess> values;
    uint64_t nextOrder = 0;
    // Sorted ignoring case, which is also the order the file is written in.
    std::map<std::u16string, std::unique_ptr<RegNode>, ICaseLess> children;

    RegValue* FindValue(const std::u16string& valueName) {
        auto it = values.find(valueName);
        return it == values.end() ? nullptr : &it->second;
    }
    RegNode* Child(const std::u16string& childName) {
        auto it = children.find(childName);
        return it == children.end() ? nullptr : it->second.get();
    }
    RegNode* AddChild(const std::u16string& childName) {
        auto node = std::make_unique<RegNode>();
        node->name = childName;
        RegNode* raw = node.get();
        children.emplace(childName, std::move(node));
        return raw;
    }
};

// An open key. It names its key by path, so that it stays valid when the file is re-read after an
// edit; a key deleted since it was opened reports ERROR_KEY_DELETED.
class RegKeyObject : public KernelObject {
public:
    bool ClosedByCloseHandle() const override { return false; }
    int root = 0;
    std::vector<std::u16string> path;
};

// What the file looked like when it was last read or written; any difference means someone edited it.
struct FileStamp {
    bool exists = false;
    bool regular = false; // a plain file, the only kind that is read
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long mtimeSec = 0;
    long mtimeNsec = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    FileStamp s;
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return s;
    s.exists = true;
    s.regular = S_ISREG(st.st_mode);
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeSec = st.st_mtim.tv_sec;
    s.mtimeNsec = st.st_mtim.tv_nsec;
    return s;
}

struct RegistryState {
    std::mutex lock;
    bool loaded = false;
    std::string file; // the host file the tree was read from
    FileStamp stamp;
    bool tooLarge = false; // the file was over kMaxFileBytes: the tree is empty and must not be saved
    RegNode roots[kRootCount];
};

RegistryState& State() {
    static RegistryState s;
    return s;
}

std::string RegistryFilePath() {
    std::string root = PlatformGetDeviceRoot();
    if (root.empty() || root.back() != '/')
        root += '/';
    return root + "registry.reg";
}

// ---- Text helpers ------------------------------------------------------------------------------------

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string Trim(const std::u16string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

bool StartsWithICase(const std::u16string& s, LPCWSTR prefix) {
    size_t n = WStrLen(prefix);
    return s.size() >= n && WStrNICmp(s.c_str(), prefix, n) == 0;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// 1 to maxDigits hex digits and nothing else.
bool ParseHexNumber(const std::u16string& s, size_t maxDigits, DWORD* value) {
    if (s.empty() || s.size() > maxDigits)
        return false;
    DWORD v = 0;
    for (char16_t c : s) {
        int d = HexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<DWORD>(d);
    }
    *value = v;
    return true;
}

// "aa,bb,cc" (blanks allowed around the bytes, a trailing comma tolerated, empty for no bytes).
bool ParseHexBytes(const std::u16string& s, std::vector<BYTE>* bytes) {
    bytes->clear();
    std::u16string list = Trim(s);
    if (list.empty())
        return true;
    if (list.back() == u',')
        list.pop_back();
    size_t pos = 0;
    for (;;) {
        size_t comma = list.find(u',', pos);
        std::u16string token = Trim(list.substr(pos, comma == std::u16string::npos ? comma : comma - pos));
        DWORD b = 0;
        if (!ParseHexNumber(token, 2, &b))
            return false;
        bytes->push_back(static_cast<BYTE>(b));
        if (comma == std::u16string::npos)
            return true;
        pos = comma + 1;
    }
}

// A quoted string starting at s[*pos]. Only \\ and \" are escapes; any other backslash is kept as
// written, so that a hand-written "\Residentflash2\app" still means what its author meant.
bool ParseQuoted(const std::u16string& s, size_t* pos, std::u16string* out) {
    size_t i = *pos;
    if (i >= s.size() || s[i] != u'"')
        return false;
    out->clear();
    for (++i; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c == u'"') {
            *pos = i + 1;
            return true;
        }
        if (c == u'\\' && i + 1 < s.size() && (s[i + 1] == u'\\' || s[i + 1] == u'"'))
            c = s[++i];
        out->push_back(c);
    }
    return false;
}

std::string Quote(const std::u16string& s) {
    std::string out = "\"";
    for (char c : WideToUtf8(s)) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::vector<BYTE> StringBytes(const std::u16string& s) {
    std::vector<BYTE> bytes;
    bytes.reserve((s.size() + 1) * 2);
    for (char16_t c : s) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

// The text of REG_SZ data when it can be written as "text" and read back unchanged: whole UTF-16
// units, one terminating NUL and no other, no line breaks, and no lone surrogates.
bool StringForm(const std::vector<BYTE>& data, std::u16string* text) {
    if (data.size() < 2 || data.size() % 2 != 0)
        return false;
    text->clear();
    for (size_t i = 0; i + 2 < data.size(); i += 2) {
        char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == 0 || c == u'\r' || c == u'\n')
            return false;
        text->push_back(c);
    }
    if (data[data.size() - 2] != 0 || data[data.size() - 1] != 0)
        return false;
    return Utf8ToWide(WideToUtf8(*text)) == *text;
}

bool ValidKeyName(const std::u16string& name) {
    if (name.empty() || name.size() > kMaxKeyNameLength)
        return false;
    for (char16_t c : name)
        if (c < 0x20)
            return false;
    return true;
}

// Splits a subkey path on backslashes. An empty path gives no components; a trailing backslash is
// tolerated, empty components elsewhere are not.
LONG SplitKeyPath(LPCWSTR subKey, std::vector<std::u16string>* parts) {
    parts->clear();
    if (!subKey)
        return ERROR_SUCCESS;
    std::u16string path(subKey);
    if (!path.empty() && path.back() == u'\\')
        path.pop_back();
    if (path.empty())
        return ERROR_SUCCESS;
    size_t pos = 0;
    for (;;) {
        size_t sep = path.find(u'\\', pos);
        std::u16string part = path.substr(pos, sep == std::u16string::npos ? sep : sep - pos);
        if (part.empty())
            return ERROR_BAD_PATHNAME;
        if (!ValidKeyName(part))
            return ERROR_INVALID_PARAMETER;
        parts->push_back(std::move(part));
        if (sep == std::u16string::npos)
            return ERROR_SUCCESS;
        pos = sep + 1;
    }
}

// ---- Reading the file --------------------------------------------------------------------------------

int RootIndex(const std::u16string& name) {
    for (int i = 0; i < kRootCount; ++i)
        if (SameName(name, kRootNames[i]) || SameName(name, kRootShortNames[i]))
            return i;
    return -1;
}

// A value set again keeps the name's case and place it was first set with.
void SetValue(RegNode* node, const std::u16string& name, DWORD type, std::vector<BYTE> data) {
    auto [it, added] = node->values.try_emplace(name);
    if (added)
        it->second.order = node->nextOrder++;
    it->second.type = type;
    it->second.data = std::move(data);
}

void DeleteValue(RegNode* node, const std::u16string& name) {
    node->values.erase(name);
}

// The key a "[...]" line names (created as needed), or null when the line deletes a key or is not
// understood.
RegNode* ParseSection(RegistryState& s, const std::u16string& line) {
    if (line.size() < 3 || line.back() != u']')
        return nullptr;
    std::u16string inner = line.substr(1, line.size() - 2);
    bool remove = !inner.empty() && inner[0] == u'-';
    if (remove)
        inner.erase(0, 1);
    size_t sep = inner.find(u'\\');
    int root = RootIndex(inner.substr(0, sep));
    if (root < 0)
        return nullptr;
    std::vector<std::u16string> parts;
    if (sep != std::u16string::npos &&
        (inner.size() == sep + 1 || SplitKeyPath(inner.c_str() + sep + 1, &parts) != ERROR_SUCCESS))
        return nullptr;
    RegNode* node = &s.roots[root];
    if (remove) {
        for (size_t i = 0; node && i + 1 < parts.size(); ++i)
            node = node->Child(parts[i]);
        if (node && !parts.empty())
            node->children.erase(parts.back());
        return nullptr;
    }
    for (const std::u16string& part : parts) {
        RegNode* child = node->Child(part);
        node = child ? child : node->AddChild(part);
    }
    return node;
}

// One value line into the key; false when it is not understood.
bool ParseValueLine(RegNode* node, const std::u16string& line) {
    std::u16string name;
    size_t pos = 0;
    if (line[0] == u'@')
        pos = 1;
    else if (!ParseQuoted(line, &pos, &name))
        return false;
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    if (pos >= line.size() || line[pos] != u'=')
        return false;
    std::u16string data = Trim(line.substr(pos + 1));
    if (data.empty())
        return false;
    if (data == u"-") {
        DeleteValue(node, name);
        return true;
    }
    if (data[0] == u'"') {
        std::u16string text;
        size_t end = 0;
        if (!ParseQuoted(data, &end, &text) || end != data.size())
            return false;
        SetValue(node, name, REG_SZ, StringBytes(text));
        return true;
    }
    if (StartsWithICase(data, u"dword:")) {
        DWORD v = 0;
        if (!ParseHexNumber(Trim(data.substr(6)), 8, &v))
            return false;
        std::vector<BYTE> bytes = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8),
                                   static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 24)};
        SetValue(node, name, REG_DWORD, std::move(bytes));
        return true;
    }
    DWORD type = REG_BINARY;
    size_t listStart = 0;
    if (StartsWithICase(data, u"hex:")) {
        listStart = 4;
    } else if (StartsWithICase(data, u"hex(")) {
        size_t close = data.find(u"):", 4);
        if (close == std::u16string::npos || !ParseHexNumber(data.substr(4, close - 4), 8, &type))
            return false;
        listStart = close + 2;
    } else {
        return false;
    }
    std::vector<BYTE> bytes;
    if (!ParseHexBytes(data.substr(listStart), &bytes))
        return false;
    SetValue(node, name, type, std::move(bytes));
    return true;
}

// The file's lines one at a time, trimmed, without their line breaks, decoded one by one so that a
// file of many short lines costs no more than its own bytes.
class LineReader {
public:
    explicit LineReader(const std::string& utf8) : m_text(utf8) {}
    bool Next(std::u16string* line) {
        if (m_done)
            return false;
        size_t nl = m_text.find('\n', m_pos);
        size_t end = nl == std::string::npos ? m_text.size() : nl;
        if (end > m_pos && m_text[end - 1] == '\r')
            --end;
        std::u16string text = Utf8ToWide(std::string_view(m_text).substr(m_pos, end - m_pos));
        if (m_pos == 0 && !text.empty() && text[0] == 0xFEFF)
            text.erase(0, 1);
        *line = Trim(text);
        m_done = nl == std::string::npos;
        if (!m_done)
            m_pos = nl + 1;
        return true;
    }

private:
    const std::string& m_text;
    size_t m_pos = 0;
    bool m_done = false;
};

void ParseFile(RegistryState& s, const std::string& utf8) {
    LineReader lines(utf8);
    RegNode* current = nullptr;
    std::u16string line;
    while (lines.Next(&line)) {
        if (line.empty() || line[0] == u';' || line == u"REGEDIT4" ||
            StartsWithICase(line, u"Windows Registry Editor"))
            continue;
        if (line[0] == u'[') {
            current = ParseSection(s, line);
            continue;
        }
        if (line[0] != u'"' && line[0] != u'@')
            continue;
        // Long byte lists go on over several lines, each but the last ending in a backslash.
        size_t eq = line.find(u"=hex");
        if (eq == std::u16string::npos)
            eq = line.find(u"=HEX");
        if (eq != std::u16string::npos) {
            std::u16string next;
            while (!line.empty() && line.back() == u'\\' && lines.Next(&next)) {
                line.pop_back();
                line += next;
            }
        }
        if (current)
            ParseValueLine(current, line);
    }
}

// ---- Writing the file --------------------------------------------------------------------------------

void AppendHexBytes(std::string* out, const std::vector<BYTE>& data, size_t lineLength) {
    char digits[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        *out += digits;
        lineLength += 2;
        if (i + 1 < data.size()) {
            *out += ',';
            ++lineLength;
            if (lineLength >= 76) {
                *out += "\\\n  ";
                lineLength = 2;
            }
        }
    }
}

void AppendValue(std::string* out, const std::u16string& name, const RegValue& v) {
    size_t lineStart = out->size();
    *out += name.empty() ? std::string("@") : Quote(name);
    *out += '=';
    std::u16string text;
    if (v.type == REG_SZ && StringForm(v.data, &text)) {
        *out += Quote(text);
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        char buf[24];
        DWORD d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<DWORD>(v.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", d);
        *out += buf;
    } else {
        char buf[24];
        if (v.type == REG_BINARY)
            std::snprintf(buf, sizeof buf, "hex:");
        else
            std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        *out += buf;
        AppendHexBytes(out, v.data, out->size() - lineStart);
    }
    *out += '\n';
}

void AppendKey(std::string* out, const RegNode& node, const std::u16string& path, bool isRoot) {
    if (!isRoot || !node.values.empty()) {
        *out += "\n[" + WideToUtf8(path) + "]\n";
        std::vector<decltype(node.values)::const_pointer> ordered;
        ordered.reserve(node.values.size());
        for (const auto& entry : node.values)
            ordered.push_back(&entry);
        std::sort(ordered.begin(), ordered.end(),
                  [](const auto* a, const auto* b) { return a->second.order < b->second.order; });
        for (const auto* entry : ordered)
            AppendValue(out, entry->first, entry->second);
    }
    for (const auto& [name, child] : node.children)
        AppendKey(out, *child, path + u"\\" + child->name, false);
}

// Writes the whole tree through a temporary file, so that a failed write never leaves half a registry.
// A failure keeps the tree in memory; the next change tries again.
void Save(RegistryState& s) {
    std::string text = "REGEDIT4\n";
    for (int i = 0; i < kRootCount; ++i)
        AppendKey(&text, s.roots[i], kRootNames[i], true);
    // A file over the limit would not be read back, so the change stays in memory only, as after a
    // failed write.
    if (text.size() > static_cast<size_t>(kMaxFileBytes)) {
        std::fprintf(stderr,
                     "platform: the registry would take %zu bytes, over the %lld a registry file may hold; "
                     "%s is left as it was\n",
                     text.size(), static_cast<long long>(kMaxFileBytes), s.file.c_str());
        return;
    }
    std::string temp = s.file + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), s.file.c_str()) != 0) {
        std::remove(temp.c_str());
        return;
    }
    s.stamp = StampOf(s.file);
}

// Reads the file at first use, again when the device root moved, and again when the file changed
// under us (a user edited it).
void EnsureLoaded(RegistryState& s) {
    std::string file = RegistryFilePath();
    FileStamp stamp = StampOf(file);
    if (s.loaded && file == s.file && stamp == s.stamp)
        return;
    for (RegNode& root : s.roots) {
        root.values.clear();
        root.children.clear();
    }
    s.file = file;
    s.stamp = stamp;
    s.loaded = true;
    s.tooLarge = false;
    // A folder, pipe or device in the file's place holds no registry; reading a pipe would wait for a
    // writer that never comes.
    if (!stamp.regular)
        return;
    // At most one byte past the limit is read, so a file that grows after the stat costs no more.
    std::string bytes;
    if (stamp.size <= kMaxFileBytes) {
        if (FILE* f = std::fopen(file.c_str(), "rb")) {
            char buf[8192];
            size_t got;
            while (bytes.size() <= static_cast<size_t>(kMaxFileBytes) &&
                   (got = std::fread(buf, 1, sizeof buf, f)) > 0)
                bytes.append(buf, got);
            std::fclose(f);
        }
    }
    if (stamp.size > kMaxFileBytes || bytes.size() > static_cast<size_t>(kMaxFileBytes)) {
        s.tooLarge = true;
        std::fprintf(stderr,
                     "platform: %s is over the %lld bytes (%lld MB) a registry file may hold; the registry "
                     "is empty and the file is left as it is\n",
                     file.c_str(), static_cast<long long>(kMaxFileBytes),
                     static_cast<long long>(kMaxFileBytes >> 20));
        return;
    }
    ParseFile(s, bytes);
}

// ---- Handles -----------------------------------------------------------------------------------------

int PredefinedRoot(HKEY key) {
    if (key == HKEY_CLASSES_ROOT)
        return 0;
    if (key == HKEY_CURRENT_USER)
        return 1;
    if (key == HKEY_LOCAL_MACHINE)
        return 2;
    if (key == HKEY_USERS)
        return 3;
    return -1;
}

// The open key behind a handle, or null. Registry calls report errors only through their result, so
// the handle check must not disturb the last-error value.
KernelRef<RegKeyObject> KeyObject(HKEY key) {
    DWORD lastError = GetLastError();
    KernelRef<RegKeyObject> object(reinterpret_cast<HANDLE>(key));
    SetLastError(lastError);
    return object;
}

// The key a handle stands for. Call with the registry lock held.
LONG ResolveKey(RegistryState& s, HKEY key, RegNode** node) {
    *node = nullptr;
    int root = PredefinedRoot(key);
    if (root >= 0) {
        *node = &s.roots[root];
        return ERROR_SUCCESS;
    }
    auto object = KeyObject(key);
    if (!object)
        return ERROR_INVALID_HANDLE;
    RegNode* n = &s.roots[object->root];
    for (const std::u16string& part : object->path) {
        n = n->Child(part);
        if (!n)
            return ERROR_KEY_DELETED;
    }
    *node = n;
    return ERROR_SUCCESS;
}

// A new handle for the key at the end of parts below the key that base stands for.
HKEY NewHandle(HKEY base, const std::vector<std::u16string>& parts) {
    auto object = std::make_unique<RegKeyObject>();
    int root = PredefinedRoot(base);
    if (root >= 0) {
        object->root = root;
    } else {
        auto parent = KeyObject(base);
        object->root = parent->root;
        object->path = parent->path;
    }
    object->path.insert(object->path.end(), parts.begin(), parts.end());
    return reinterpret_cast<HKEY>(object.release()->Handle());
}

} // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM /*desired*/, PHKEY result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::u16string> parts;
    LONG error = SplitKeyPath(subKey, &parts);
    if (error != ERROR_SUCCESS)
        return error;
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    EnsureLoaded(s);
    RegNode* node = nullptr;
    error = ResolveKey(s, key, &node);
    if (error != ERROR_SUCCESS)
        return error;
    for (const std::u16string& part : parts) {
        node = node->Child(part);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
    }
    // A root opened with no subkey is the root's own handle, which needs no closing.
    *result = parts.empty() && PredefinedRoot(key) >= 0 ? key : NewHandle(key, parts);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*keyClass*/, DWORD /*options*/,
                     REGSAM /*desired*/, LPSECURITY_ATTRIBUTES /*security*/, PHKEY result,
                     LPDWORD disposition) {
    if (!result || !subKey)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::u16string> parts;
    LONG error = SplitKeyPath(subKey, &parts);
    if (error != ERROR_SUCCESS)
        return error;
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    EnsureLoaded(s);
    RegNode* node = nullptr;
    error = ResolveKey(s, key, &node);
    if (error != ERROR_SUCCESS)
        return error;
    bool created = false;
    for (const std::u16string& part : parts) {
        RegNode* child = node->Child(part);
        if (!child) {
            if (s.tooLarge)
                return ERROR_CANTWRITE;
            child = node->AddChild(part);
            created = true;
        }
        node = child;
    }
    if (created)
        Save(s);
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = parts.empty() && PredefinedRoot(key) >= 0 ? key : NewHandle(key, parts);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (reserved || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    EnsureLoaded(s);
    RegNode* node = nullptr;
    LONG error = ResolveKey(s, key, &node);
    if (error != ERROR_SUCCESS)
        return error;
    const RegValue* value = node->FindValue(valueName ? valueName : u"");
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = value->type;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (!dataSize)
        return ERROR_SUCCESS;
    if (data && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data && size > 0)
        std::copy(value->data.begin(), value->data.end(), data);
    *dataSize = size;
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    if (!data && dataSize > 0)
        return ERROR_INVALID_PARAMETER;
    std::u16string name = valueName ? valueName : u"";
    // A line break in a name could not be written to the file and read back.
    if (name.find_first_of(u"\r\n") != std::u16string::npos)
        return ERROR_INVALID_PARAMETER;
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    EnsureLoaded(s);
    RegNode* node = nullptr;
    LONG error = ResolveKey(s, key, &node);
    if (error != ERROR_SUCCESS)
        return error;
    if (s.tooLarge)
        return ERROR_CANTWRITE;
    SetValue(node, name, type, std::vector<BYTE>(data, data + dataSize));
    Save(s);
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    std::vector<std::u16string> parts;
    LONG error = SplitKeyPath(subKey, &parts);
    if (error != ERROR_SUCCESS)
        return error;
    if (parts.empty())
        return ERROR_INVALID_PARAMETER;
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    EnsureLoaded(s);
    RegNode* node = nullptr;
    error = ResolveKey(s, key, &node);
    if (error != ERROR_SUCCESS)
        return error;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        node = node->Child(parts[i]);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
    }
    if (!node->Child(parts.back()))
        return ERROR_FILE_NOT_FOUND;
    if (s.tooLarge)
        return ERROR_CANTWRITE;
    node->children.erase(parts.back());
    Save(s);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (PredefinedRoot(key) >= 0)
        return ERROR_SUCCESS;
    RegistryState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    DWORD lastError = GetLastError();
    BOOL closed = KernelObjectCloseAs<RegKeyObject>(reinterpret_cast<HANDLE>(key));
    SetLastError(lastError);
    return closed ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
