#include "support/TestSupport.h"
#include "wceui/core/WceUiAssert.h"
#include "wceui/core/WceUiLog.h"

#include <gtest/gtest.h>

using testsupport::ReadHostFile;
using testsupport::Utf16Bytes;

namespace {

class LogFile : public DeviceFolderTest {
protected:
    void SetUp() override {
        DeviceFolderTest::SetUp();
        testsupport::MakeHostFolders(Root() + "/Program");
        PlatformSetModuleName(u"travlek.exe");
        SYSTEMTIME t = {};
        t.wYear = 2026;
        t.wMonth = 3;
        t.wDay = 9;
        t.wHour = 7;
        t.wMinute = 5;
        t.wSecond = 4;
        PlatformSetLocalTime(&t);
        CWceUiLogFile::Instance().Reopen();
    }
    void TearDown() override {
        CWceUiLogFile::Instance().SetMaxSize(CWceUiLogFile::DEFAULT_MAX_SIZE);
        PlatformSetLocalTime(nullptr);
        PlatformSetModuleName(nullptr);
        DeviceFolderTest::TearDown();
    }
    std::string LogBytes() const { return ReadHostFile(Root() + "/Program/travlek.exe.wceuilog"); }
    static std::string Line(const std::u16string& text) {
        return Utf16Bytes(u"07:05:04 2026-03-09  " + text + u"\r\n");
    }
    const std::string m_bom = "\xFF\xFE";
};

} // namespace

TEST_F(LogFile, LinesCarryTimeLevelAndMessageAfterTheByteOrderMark) {
    WceUiLog(WCEUI_LOG_INFO, "started %d", 1);
    WceUiLogW(WCEUI_LOG_WARNING, u"file %s", u"\\SDMMC\\gpsApp.msk");
    WceUiLog(WCEUI_LOG_ERROR, "bad");
    WceUiLog(7, "no level word");
    EXPECT_EQ(std::u16string(CWceUiLogFile::Instance().GetPath()), u"\\Program\\travlek.exe.wceuilog");
    EXPECT_EQ(LogBytes(), m_bom + Line(u"info: started 1") + Line(u"warning: file \\SDMMC\\gpsApp.msk") +
                              Line(u"error: bad") + Line(u"no level word"));

    // A second process (here: a reopened log) appends to the existing file without a second mark.
    CWceUiLogFile::Instance().Reopen();
    WceUiLog(WCEUI_LOG_INFO, "again");
    EXPECT_EQ(LogBytes().substr(LogBytes().size() - Line(u"info: again").size()), Line(u"info: again"));
    EXPECT_EQ(LogBytes().find(m_bom, 2), std::string::npos);
}

TEST_F(LogFile, MessagesOverTheLimitOrEmptyAreDroppedWhole) {
    std::string exact(192, 'a');
    std::u16string exactWide(192, u'b');
    WceUiLog(WCEUI_LOG_INFO, "%s", exact.c_str());
    WceUiLogW(WCEUI_LOG_INFO, u"%s", exactWide.c_str());
    WceUiLog(WCEUI_LOG_INFO, "%s", (exact + "c").c_str());
    WceUiLogW(WCEUI_LOG_INFO, u"%s", (exactWide + u"c").c_str());
    WceUiLog(WCEUI_LOG_INFO, "%s", "");
    EXPECT_EQ(LogBytes(), m_bom + Line(u"info: " + std::u16string(exact.begin(), exact.end())) +
                              Line(u"info: " + exactWide));
}

TEST_F(LogFile, CheckLogsTheOperationAndTheConditionText) {
    int* p = nullptr;
    EXPECT_FALSE(WCEUI_CHECK("CWceUiLayer::GetData", NULL != p));
    int value = 1;
    p = &value;
    EXPECT_TRUE(WCEUI_CHECK("CWceUiLayer::GetData", NULL != p));
    EXPECT_EQ(LogBytes(), m_bom + Line(u"error: CWceUiLayer::GetData,check(NULL != p)fail"));
}

// Where assertions are compiled, a false one stops the program with the condition and its place;
// elsewhere the condition costs nothing, not even its evaluation.
TEST(Assertion, StopsWithItsConditionWhereCompiledAndIsNotEvaluatedElsewhere) {
    int evaluated = 0;
    auto touch = [&evaluated] { return ++evaluated == 1; };
    WCEUI_ASSERT(touch());
#if WCEUI_ASSERTS_ON
    EXPECT_EQ(1, evaluated);
    const int nRows = 3;
    EXPECT_DEATH(WCEUI_ASSERT(nRows < 2), "assert\\(nRows < 2\\)fail at LogTests\\.cpp:[0-9]+");
#else
    EXPECT_EQ(0, evaluated);
#endif
}

TEST_F(LogFile, FullLogKeepsItsNewestThreeQuartersBehindAFreshMark) {
    CWceUiLogFile::Instance().SetMaxSize(100); // clamped to the smallest maximum
    std::string all = m_bom;
    int i = 0;
    // Fill to just below 4096 bytes, then one more line crosses the limit.
    for (; all.size() + Line(u"info: line 0000").size() < 4096; ++i) {
        char text[32];
        snprintf(text, sizeof(text), "line %04d", i);
        WceUiLog(WCEUI_LOG_INFO, "%s", text);
        all += Line(u"info: " + Utf8ToWide(text));
    }
    ASSERT_EQ(LogBytes(), all);
    char last[32];
    snprintf(last, sizeof(last), "line %04d", i);
    WceUiLog(WCEUI_LOG_INFO, "%s", last);
    all += Line(u"info: " + Utf8ToWide(last));
    size_t keep = (all.size() - all.size() / 4) & ~size_t(1);
    EXPECT_EQ(LogBytes(), m_bom + all.substr(all.size() - keep));
    // Appending goes on after the trim.
    WceUiLog(WCEUI_LOG_INFO, "after");
    EXPECT_EQ(LogBytes(), m_bom + all.substr(all.size() - keep) + Line(u"info: after"));
}

TEST_F(LogFile, DefaultMaximumTrimsTo384000Bytes) {
    // 127-character messages make 128 + 21 + 6 = lines of 2 * 156 = 312 bytes.
    std::string message(127, 'm');
    size_t size = 2;
    while (size < 512000) {
        WceUiLog(WCEUI_LOG_INFO, "%s", message.c_str());
        size += 2 * (21 + 6 + 127 + 2);
    }
    // The trim happened on the line that reached 512000 bytes or more.
    size_t expected = 2 + ((size - size / 4) & ~size_t(1));
    EXPECT_EQ(LogBytes().size(), expected);
    EXPECT_EQ(LogBytes().substr(0, 2), m_bom);
}

TEST_F(LogFile, AFailedWriteReopensTheFileOnceThenGivesUp) {
    WceUiLog(WCEUI_LOG_INFO, "first");
    PlatformFailWrite(1, ERROR_WRITE_FAULT);
    WceUiLog(WCEUI_LOG_INFO, "second");
    EXPECT_TRUE(CWceUiLogFile::Instance().IsOpen());
    EXPECT_EQ(LogBytes(), m_bom + Line(u"info: first") + Line(u"info: second"));

    // When the retry on the new handle fails too, the log closes for good.
    PlatformFailWrite(1, ERROR_WRITE_FAULT, 2);
    WceUiLog(WCEUI_LOG_INFO, "third");
    EXPECT_FALSE(CWceUiLogFile::Instance().IsOpen());
    WceUiLog(WCEUI_LOG_INFO, "fourth");
    EXPECT_EQ(LogBytes(), m_bom + Line(u"info: first") + Line(u"info: second"));
}

TEST_F(LogFile, StaysClosedWhenTheProgramFolderIsMissing) {
    testsupport::TempFolder other;
    PlatformMount(u"\\Program", other.Path() + "/gone");
    CWceUiLogFile::Instance().Reopen();
    WceUiLog(WCEUI_LOG_INFO, "nowhere");
    EXPECT_FALSE(CWceUiLogFile::Instance().IsOpen());
    PlatformUnmount(u"\\Program");
}
