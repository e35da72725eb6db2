// packtool check on style files: every style and animation is made, and what fails is printed with the
// framework's own lines.
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace {

class PacktoolCheckTest : public DeviceFolderTest {
protected:
    int Run(const std::string& args) {
        const std::string outPath = Root() + "/stdout.txt";
        const std::string errPath = Root() + "/stderr.txt";
        const std::string cmd =
            std::string(PACKTOOL_PATH) + " check " + args + " >" + outPath + " 2>" + errPath;
        const int status = std::system(cmd.c_str());
        m_stdout = testsupport::ReadHostFile(outPath);
        m_stderr = testsupport::ReadHostFile(errPath);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Write(const char* name, const std::u16string& text) {
        testsupport::WriteHostFile(Root() + "/" + name, styletest::Unicode(text));
    }

    std::string m_stdout, m_stderr;
};

} // namespace

TEST_F(PacktoolCheckTest, StyleFilesAreCheckedStyleByStyle) {
    Write("good.style.xml", u"<d><style><a><position rect=\"0,0,1,1\"/></a><b overwrite=\"a\">"
                            u"<text><drawtext align=\"middle\"/></text></b></style>"
                            u"<animate><open type=\"CWceUiGoAni\" direction=\"mid-lr\"/></animate></d>");
    Write("bad.style.xml",
          u"<d><style><a><filters><alpha enabled=\"true\" opacity=\"300\"/></filters></a></style>"
          u"<animate><x type=\"CWceUiComeAni\" direction=\"mid-lr\"/></animate></d>");
    EXPECT_EQ(Run(Root() + "/good.style.xml"), 0) << m_stderr;
    EXPECT_NE(m_stdout.find("ok   " + Root() + "/good.style.xml (2 styles, 1 animations)"), std::string::npos)
        << m_stdout;
    // A word the framework replaces by its default is shown, and does not fail the file.
    EXPECT_NE(m_stderr.find("can not load style b, middle is not valid for align"), std::string::npos)
        << m_stderr;

    EXPECT_EQ(Run(Root() + "/good.style.xml " + Root() + "/bad.style.xml"), 1);
    EXPECT_NE(m_stderr.find("FAIL " + Root() + "/bad.style.xml"), std::string::npos) << m_stderr;
    EXPECT_NE(m_stderr.find("can not load style a, 300 is not valid alpha value"), std::string::npos);
    EXPECT_NE(m_stderr.find("Load animate x failed, call pNewAnimate->Init failed"), std::string::npos);
}

// Skin sources are UTF-8: checked as skinc compiles them, with messages naming the file as typed.
TEST_F(PacktoolCheckTest, SourceFormTextIsCheckedAsSkincCompilesIt) {
    testsupport::WriteHostFile(Root() + "/a.style.xml",
                               "<d><style><a><text><drawtext align=\"middle\"/></text></a></style></d>\n");
    testsupport::WriteHostFile(Root() + "/english.ini", "\xEF\xBB\xBFgreeting=Grüße\n");
    EXPECT_EQ(Run(Root() + "/a.style.xml " + Root() + "/english.ini"), 0) << m_stderr;
    EXPECT_NE(m_stdout.find("ok   " + Root() + "/a.style.xml (1 styles, 0 animations)"), std::string::npos)
        << m_stdout;
    EXPECT_NE(m_stdout.find("ok   " + Root() + "/english.ini (1 keys)"), std::string::npos) << m_stdout;
    EXPECT_NE(m_stderr.find("can not load style a, middle is not valid for align"), std::string::npos)
        << m_stderr;

    testsupport::WriteHostFile(Root() + "/broken.xml", "<d>\n<a></b>\n</d>\n");
    testsupport::WriteHostFile(Root() + "/latin1.ini", "a=1\nname=M\xFCller\n");
    // The framework's lines name the file the user typed, never a compiled copy.
    EXPECT_EQ(Run(Root() + "/broken.xml " + Root() + "/latin1.ini"), 1);
    EXPECT_EQ(m_stderr.find("packtool."), std::string::npos) << m_stderr;
    EXPECT_NE(m_stderr.find("FAIL " + Root() + "/broken.xml\n  CWceUiXmlDoc::ParseXmlTag, (" + Root() +
                            "/broken.xml) syntax error 025"),
              std::string::npos)
        << m_stderr;
    EXPECT_NE(m_stderr.find("FAIL " + Root() + "/latin1.ini\n  " + Root() + "/latin1.ini:2:7: not UTF-8"),
              std::string::npos)
        << m_stderr;
}
