#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using testsupport::ReadHostFile;
using testsupport::TempFolder;
using testsupport::WriteHostFile;

namespace {

class Registry : public DeviceFolderTest {
protected:
    std::string FileText() { return ReadHostFile(Root() + "/registry.reg"); }
    void WriteFile(const std::string& text) { WriteHostFile(Root() + "/registry.reg", text); }
};

std::vector<BYTE> Bytes(const std::u16string& text, bool terminated = true) {
    std::string b = testsupport::Utf16Bytes(terminated ? text + u'\0' : text);
    return std::vector<BYTE>(b.begin(), b.end());
}

HKEY Create(HKEY base, LPCWSTR path, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(base, path, 0, nullptr, 0, 0, nullptr, &key, disposition));
    return key;
}

LONG Query(HKEY key, LPCWSTR name, DWORD* type, std::vector<BYTE>* data) {
    DWORD size = 0;
    LONG error = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    if (error != ERROR_SUCCESS)
        return error;
    data->assign(size, 0xCC);
    return RegQueryValueExW(key, name, nullptr, type, data->data(), &size);
}

struct Sample {
    LPCWSTR name;
    DWORD type;
    std::vector<BYTE> data;
};

TEST_F(Registry, EveryValueTypeRoundTripsThroughTheFile) {
    std::vector<BYTE> binary;
    for (int i = 0; i < 100; ++i)
        binary.push_back(static_cast<BYTE>(i * 7));
    const std::vector<Sample> samples = {
        {u"APP", REG_SZ, Bytes(u"\\Residentflash2\\app \"q\" \u00e9\u4e2d")},
        {u"", REG_SZ, Bytes(u"default")},
        {u"Path", REG_EXPAND_SZ, Bytes(u"%windir%\\x")},
        {u"Blob", REG_BINARY, binary},
        {u"Empty", REG_BINARY, {}},
        {u"Count", REG_DWORD, {0x2a, 0, 0, 0x80}},
        {u"List", REG_MULTI_SZ, Bytes(std::u16string(u"a\0bc\0", 5))},
        {u"Unterminated", REG_SZ, Bytes(u"abc", false)},
        {u"Two lines", REG_SZ, Bytes(u"a\r\nb")},
        {u"Short dword", REG_DWORD, {1, 2}},
        {u"Big", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"OEM");
    for (const Sample& s : samples)
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, s.name, 0, s.type, s.data.data(), s.data.size()));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

    const std::string text = FileText();
    EXPECT_EQ(0u, text.find("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\OEM]\n"
                            "\"APP\"=\"\\\\Residentflash2\\\\app \\\"q\\\" \xc3\xa9\xe4\xb8\xad\"\n"
                            "@=\"default\"\n"
                            "\"Path\"=hex(2):25,00,77,00,"))
        << text;
    EXPECT_NE(std::string::npos, text.find("\"Count\"=dword:8000002a\n"));
    EXPECT_NE(std::string::npos, text.find("\"Unterminated\"=hex(1):61,00,62,00,63,00\n"));
    EXPECT_NE(std::string::npos, text.find("\"Empty\"=hex:\n"));
    EXPECT_NE(std::string::npos, text.find("\"Big\"=hex(b):01,02,03,04,05,06,07,08\n"));
    EXPECT_NE(std::string::npos, text.find(",\\\n  ")) << "long byte lists wrap";

    // A fresh registry read from a copy of that file holds exactly the same values.
    TempFolder other;
    WriteHostFile(other.Path() + "/registry.reg", text);
    PlatformSetDeviceRoot(other.Path());
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"oem", 0, 0, &key));
    for (const Sample& s : samples) {
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_EQ(ERROR_SUCCESS, Query(key, s.name, &type, &data)) << WideToUtf8(s.name);
        EXPECT_EQ(s.type, type) << WideToUtf8(s.name);
        EXPECT_EQ(s.data, data) << WideToUtf8(s.name);
    }
    // Written back, the file is the same text with only the change added.
    RegCloseKey(Create(key, u"Z"));
    EXPECT_EQ(text + "\n[HKEY_LOCAL_MACHINE\\OEM\\Z]\n", ReadHostFile(other.Path() + "/registry.reg"));
    RegCloseKey(key);
    PlatformSetDeviceRoot(Root());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM\\Z", 0, 0, &key));
}

TEST_F(Registry, HandWrittenFileWithEscapesCommentsAndBadLines) {
    WriteFile("\xef\xbb\xbfREGEDIT4\r\n"
              "; the unit's settings\r\n"
              "\r\n"
              "[hklm\\OEM]\r\n"
              "  \"APP\" = \"\\\\Residentflash2\\\\app\\\\nvqmain.exe\"\r\n"
              "\"Plain\"=\"\\SDMMC\\a \\\"b\\\"\"\r\n"
              "\"bad dword\"=dword:xyz\r\n"
              "garbage line\r\n"
              "\"unterminated=\"abc\r\n"
              "\"bad bytes\"=hex:01,zz\r\n"
              "\"Count\"=DWORD:10\r\n"
              "@=hex(2):41,00,\\\r\n"
              "   42,00,00,00\r\n"
              "[HKEY_NOWHERE\\X]\r\n"
              "\"lost\"=\"1\"\r\n"
              "[HKEY_LOCAL_MACHINE\\OEM\\\\Bad]\r\n"
              "\"lost\"=\"2\"\r\n"
              "[HKEY_CURRENT_USER\\OEM\\ShellEx]\r\n"
              "\"x\"=\"y\"\r\n"
              "[-HKEY_CURRENT_USER\\OEM\\ShellEx]\r\n"
              "[HKEY_LOCAL_MACHINE\\OEM]\r\n"
              "\"Plain\"=-\r\n");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, KEY_ALL_ACCESS, &key));
    WCHAR app[MAX_PATH];
    DWORD type = 0, size = sizeof app;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"app", nullptr, &type, (BYTE*)app, &size));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(std::u16string(u"\\Residentflash2\\app\\nvqmain.exe"), app);
    EXPECT_EQ((WStrLen(app) + 1) * 2, size);
    DWORD count = 0;
    size = sizeof count;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"COUNT", nullptr, &type, (BYTE*)&count, &size));
    EXPECT_EQ(REG_DWORD, type);
    EXPECT_EQ(16u, count);
    size = sizeof app;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, nullptr, nullptr, &type, (BYTE*)app, &size));
    EXPECT_EQ(REG_EXPAND_SZ, type);
    EXPECT_EQ(std::u16string(u"AB"), app);
    for (LPCWSTR missing : {u"Plain", u"bad dword", u"bad bytes", u"unterminated=", u"lost"})
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, missing, nullptr, nullptr, nullptr, &size))
            << WideToUtf8(missing);
    HKEY other = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, u"OEM\\ShellEx", 0, 0, &other));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"OEM", 0, 0, &other));
    RegCloseKey(other);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM\\Bad", 0, 0, &other));

    // A single backslash that starts no escape stays; an edit made while the key is open is seen.
    WriteFile("REGEDIT4\n[HKEY_LOCAL_MACHINE\\OEM]\n\"APP\"=\"\\Residentflash2\\app\\gps.exe\"\n");
    size = sizeof app;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"APP", nullptr, &type, (BYTE*)app, &size));
    EXPECT_EQ(std::u16string(u"\\Residentflash2\\app\\gps.exe"), app);
    RegCloseKey(key);
}

TEST_F(Registry, ErrorsLeaveOutputsDefinedAndLastErrorAlone) {
    SetLastError(1234);
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, 0, &key));
    EXPECT_EQ(nullptr, key);
    key = Create(HKEY_LOCAL_MACHINE, u"OEM");
    const std::vector<BYTE> text = Bytes(u"abc");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"APP", 0, REG_SZ, text.data(), text.size()));

    BYTE buffer[16] = {};
    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, u"Other", nullptr, &type, buffer, &size));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"APP", nullptr, &type, nullptr, &size));
    EXPECT_EQ(8u, size);
    size = 7;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, u"APP", nullptr, &type, buffer, &size));
    EXPECT_EQ(8u, size);
    EXPECT_EQ(0, buffer[0]) << "a short buffer is not written";
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(key, u"APP", nullptr, &type, buffer, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, 0, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExW(key, u"x", 0, REG_BINARY, nullptr, 4));
    HKEY out = nullptr;
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM\\\\x", 0, 0, &out));

    // A handle to a key deleted under it, then made-up and closed handles.
    HKEY sub = Create(key, u"Sub");
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key, u"SUB"));
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(sub, u"x", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(sub));
    int notAKey = 0;
    for (HKEY bad : {sub, reinterpret_cast<HKEY>(&notAKey), static_cast<HKEY>(nullptr)}) {
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(bad, u"x", 0, 0, &out));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCreateKeyExW(bad, u"x", 0, nullptr, 0, 0, nullptr, &out, nullptr));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(bad, u"APP", nullptr, nullptr, nullptr, &size));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExW(bad, u"APP", 0, REG_SZ, text.data(), text.size()));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyW(bad, u"x"));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bad));
    }
    // A file handle is a live kernel object but not a key.
    HANDLE file = CreateFileW(u"\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(reinterpret_cast<HKEY>(file)));
    EXPECT_TRUE(CloseHandle(file));
    SetLastError(1234);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(sub));
    EXPECT_EQ(1234u, GetLastError());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(0x80000002u, static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(HKEY_LOCAL_MACHINE)));
}

TEST_F(Registry, KeysMatchIgnoringCaseKeepTheirCaseAndDeleteWithSubkeys) {
    DWORD disposition = 0;
    HKEY deep = Create(HKEY_CURRENT_USER, u"OEM\\ShellEx\\Sub\\Deep", &disposition);
    EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
    const std::vector<BYTE> one = {1, 0, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(deep, u"v", 0, REG_DWORD, one.data(), 4));
    HKEY oem = Create(HKEY_CURRENT_USER, u"oem", &disposition);
    EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
    for (LPCWSTR name : {u"b", u"A", u"c"})
        RegCloseKey(Create(oem, name));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(oem, u"SHELLEX\\sub\\DEEP\\", 0, 0, &key));
    RegCloseKey(key);
    EXPECT_EQ("REGEDIT4\n\n[HKEY_CURRENT_USER\\OEM]\n\n[HKEY_CURRENT_USER\\OEM\\A]\n\n"
              "[HKEY_CURRENT_USER\\OEM\\b]\n\n[HKEY_CURRENT_USER\\OEM\\c]\n\n"
              "[HKEY_CURRENT_USER\\OEM\\ShellEx]\n\n[HKEY_CURRENT_USER\\OEM\\ShellEx\\Sub]\n\n"
              "[HKEY_CURRENT_USER\\OEM\\ShellEx\\Sub\\Deep]\n\"v\"=dword:00000001\n",
              FileText());

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(oem, u"shellex"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(oem, u"ShellEx"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, u"OEM\\ShellEx\\Sub", 0, 0, &key));
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(deep, u"v", 0, REG_DWORD, one.data(), 4));
    EXPECT_EQ(std::string::npos, FileText().find("ShellEx"));
    EXPECT_NE(std::string::npos, FileText().find("[HKEY_CURRENT_USER\\OEM\\c]"));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(oem, u""));
    RegCloseKey(deep);
    RegCloseKey(oem);
}

// A file over the limit is no registry: nothing of it is read, and no change of this run may
// replace it, which would cut the user's file down to the few keys the run made. Once the file is
// back within the limit it is read and written as any other.
TEST_F(Registry, AFileOverTheLimitReadsAsEmptyAndIsNeverWritten) {
    const std::string head = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\OEM]\n\"APP\"=\"a\"\n;";
    const size_t limit = 4u << 20;
    const std::string over = head + std::string(limit - head.size(), '.') + "\n";
    ASSERT_EQ(limit + 1, over.size());
    WriteFile(over);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, 0, &key));
    EXPECT_EQ(ERROR_CANTWRITE,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, nullptr, 0, 0, nullptr, &key, nullptr));
    EXPECT_EQ(nullptr, key);
    const std::vector<BYTE> value = Bytes(u"b");
    EXPECT_EQ(ERROR_CANTWRITE,
              RegSetValueExW(HKEY_LOCAL_MACHINE, u"APP", 0, REG_SZ, value.data(), value.size()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"OEM"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExW(HKEY_LOCAL_MACHINE, u"APP", nullptr, nullptr, nullptr, &size));
    EXPECT_TRUE(FileText() == over) << "the file was rewritten";
    EXPECT_FALSE(testsupport::HostExists(Root() + "/registry.reg.tmp"));

    WriteFile(over.substr(0, limit - 1) + "\n");
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, 0, &key));
    std::vector<BYTE> data;
    DWORD type = 0;
    EXPECT_EQ(ERROR_SUCCESS, Query(key, u"APP", &type, &data));
    EXPECT_EQ(Bytes(u"a"), data);
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"APP", 0, REG_SZ, value.data(), value.size()));
    const std::string written = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\OEM]\n\"APP\"=\"b\"\n";
    EXPECT_EQ(written, FileText());

    // Nor is a file over the limit written, which the next start could not read: the change is
    // kept in memory only, as after a failed write.
    const std::vector<BYTE> big(limit / 3, 0x41);
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"Big", 0, REG_BINARY, big.data(), big.size()));
    EXPECT_EQ(written, FileText());
    EXPECT_EQ(ERROR_SUCCESS, Query(key, u"Big", &type, &data));
    EXPECT_TRUE(big == data);
    RegCloseKey(key);
}

// Values are found by name through an index: a key of 150,000 values, a file within the limit,
// took most of a minute to read when each value was looked for among all those before it (a
// lookup that slow again runs into the test's time limit). The file still lists a key's values in
// the order they were first set, whatever their names.
TEST_F(Registry, AKeyOfManyValuesKeepsTheOrderOfItsValues) {
    const int count = 150000;
    std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Many]\n";
    for (int i = count - 1; i >= 0; --i)
        text += "\"V" + std::to_string(i) + "\"=dword:00000001\n";
    WriteFile(text);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Many", 0, 0, &key));
    std::vector<BYTE> data;
    DWORD type = 0;
    EXPECT_EQ(ERROR_SUCCESS, Query(key, u"v0", &type, &data));

    // Set again under another case, a value keeps its name and place; a new one comes last.
    const std::vector<BYTE> two = {2, 0, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"v149999", 0, REG_DWORD, two.data(), 4));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"A", 0, REG_DWORD, two.data(), 4));
    std::string expected = text + "\"A\"=dword:00000002\n";
    const std::string first = "\"V149999\"=dword:00000001";
    expected.replace(expected.find(first), first.size(), "\"V149999\"=dword:00000002");
    EXPECT_TRUE(FileText() == expected);
    RegCloseKey(key);
}

} // namespace

// A pipe or a folder in the file's place is an empty registry: reading it neither waits nor fails.
TEST_F(Registry, APipeOrFolderInPlaceOfTheFileIsAnEmptyRegistry) {
    const std::string file = Root() + "/registry.reg";
    ASSERT_EQ(0, mkfifo(file.c_str(), 0600));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, 0, &key));
    ASSERT_EQ(0, unlink(file.c_str()));
    testsupport::MakeHostFolders(file);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, 0, &key));
}
