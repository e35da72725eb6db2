#include "ResTestHelpers.h"
#include "wceui/res/WceUiXmlDoc.h"

#include <gtest/gtest.h>

#include <chrono>

using restest::MakePack;
using restest::Unicode;
using testsupport::LogCapture;
using testsupport::WriteHostFile;

namespace {

class XmlDocTest : public DeviceFolderTest {
protected:
    // Writes the text as \d.xml and loads it.
    bool Load(const std::u16string& text, BOOL keepComments = FALSE) {
        WriteHostFile(Root() + "/d.xml", Unicode(text));
        m_doc.Clean();
        m_log.Clear();
        return m_doc.LoadXmlFile(u"\\d.xml", keepComments);
    }
    std::u16string Syntax(const std::u16string& step, const std::u16string& code) const {
        return u"CWceUiXmlDoc::" + step + u", (\\d.xml) syntax error " + code;
    }

    CWceUiXmlDoc m_doc;
    LogCapture m_log;
};

struct SyntaxCase {
    const char16_t* text;
    const char16_t* step;
    const char16_t* code;
};

} // namespace

TEST_F(XmlDocTest, EverySyntaxErrorHasItsCodeAndTheEnclosingSteps) {
    const std::u16string err010 = u"010,attention:<a><x></x>err</a> is not supported";
    const SyntaxCase cases[] = {
        {u"x", u"ParseXml", err010.c_str()},
        {u"<a/>x", u"ParseXml", err010.c_str()},
        {u"<a><b/>err</a>", u"ParseXml", err010.c_str()},
        {u"<a>", u"ParseXml", u"001"},
        {u"<!--->", u"ParseXml", u"002"},
        {u"<!-x-->", u"ParseXml", u"003"},
        {u"<!-- no end", u"ParseXml", u"004"},
        {u"<?xml>", u"ParseXml", u"006"},
        {u"<?XML ?>", u"ParseXml", u"007"},
        {u"<?xml version='1.0'", u"ParseXml", u"008"},
        {u"<a><b/>", u"ParseXml", u"011"},
        {u"<abc", u"ParseXmlTag", u"012"},
        {u"< a></a>", u"ParseXmlTag", u"013"},
        {u"<a=b></a>", u"ParseXmlTag", u"014"},
        {u"<a x=1></a>", u"ParseXmlTag", u"015"},
        {u"<a x></a>", u"ParseXmlTag", u"015"},
        {u"<a =\"1\"></a>", u"ParseXmlTag", u"015"},
        {u"<a y x =\"1\"></a>", u"ParseXmlTag", u"015"},
        {u"<a></a><b></b>", u"ParseXmlTag", u"016"},
        {u"<a><bc>", u"ParseXmlTag", u"018"},
        {u"<a><b>", u"ParseXml", u"001"},
        {u"< a/>", u"ParseXmlTag", u"019"},
        {u"<a=b/>", u"ParseXmlTag", u"020"},
        {u"<a/ b='1'/>", u"ParseXmlTag", u"021"},
        {u"<a></a><b/>", u"ParseXmlTag", u"022"},
        {u"<a></ a>", u"ParseXmlTag", u"023"},
        {u"</a>", u"ParseXmlTag", u"024"},
        {u"<a></b>", u"ParseXmlTag", u"025"},
        {u"<a></a/>", u"ParseXmlTag", u"026"},
        {u"<a x= ></a>", u"HandleXmlTagContent", u"027"},
        {u"<a x='1></a>", u"HandleXmlTagContent", u"028"},
        {u"<a x='1' X=\"2\"/>", u"HandleXmlTagContent", u"029"},
    };
    for (const SyntaxCase& c : cases) {
        EXPECT_FALSE(Load(c.text)) << WideToUtf8(c.text);
        EXPECT_FALSE(m_doc.IsLoaded());
        EXPECT_EQ(m_doc.GetRootElem(), nullptr);
        ASSERT_FALSE(m_log.Messages().empty()) << WideToUtf8(c.text);
        EXPECT_EQ(m_log.Messages().front(), Syntax(c.step, c.code)) << WideToUtf8(c.text);
        EXPECT_EQ(m_log.Messages().back(), Syntax(u"LoadXmlFile", u"030")) << WideToUtf8(c.text);
    }
    // Inside a tag: the tag's code, then 009, then 030; attribute faults add the tag's own code.
    Load(u"<a x='1' x='2'></a>");
    EXPECT_EQ(m_log.Messages(), (std::vector<std::u16string>{
                                    Syntax(u"HandleXmlTagContent", u"029"), Syntax(u"ParseXmlTag", u"015"),
                                    Syntax(u"ParseXml", u"009"), Syntax(u"LoadXmlFile", u"030")}));
}

TEST_F(XmlDocTest, NestingIsLimitedTo32OpenElements) {
    std::u16string open, close;
    for (int i = 0; i < 32; ++i) {
        open += u"<e>";
        close += u"</e>";
    }
    ASSERT_TRUE(Load(open + close));
    const CWceUiXmlElem* e = m_doc.GetRootElem();
    int depth = 0;
    while (m_doc.GetFirstChild(e)) {
        e = m_doc.GetFirstChild(e);
        ++depth;
        EXPECT_EQ(e->nDepth, depth);
    }
    EXPECT_EQ(depth, 31);
    EXPECT_FALSE(Load(open + u"<e>" + u"</e>" + close));
    EXPECT_EQ(m_log.Messages().front(), Syntax(u"ParseXmlTag", u"017"));
}

TEST_F(XmlDocTest, TreeLookupsIgnoreCaseAndValuesAreTakenLiterally) {
    ASSERT_TRUE(
        Load(u"<?xml version=\"1.0\"?>\r\n<!-- dialog -->\r\n<Dlg Name = 'main'\tRect=\"0,0,800,480\">"
             u"ignored text\r\n"
             u"  <Layer class=\"CWceUiButton\" text='say \"hi\" <now'/>\r\n"
             u"  <layer class=\"a\"b=\"it's\"></LAYER>\r\n"
             u"  <Other/>\r\n"
             u"</dlg>\r\n\r\n \t"));
    const CWceUiXmlElem* root = m_doc.GetRootElem();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(std::u16string(m_doc.GetElemName(root)), u"Dlg");
    EXPECT_EQ(std::u16string(m_doc.GetAttrValue(root, u"NAME")), u"main");
    EXPECT_EQ(std::u16string(m_doc.GetAttrValue(root, u"rect")), u"0,0,800,480");
    EXPECT_EQ(m_doc.GetAttrValue(root, u"missing"), nullptr);
    EXPECT_EQ(m_doc.GetChildCount(root), 3);

    const CWceUiXmlElem* first = m_doc.GetFirstChild(root);
    EXPECT_EQ(std::u16string(m_doc.GetAttrValue(first, u"text")), u"say \"hi\" <now");
    const CWceUiXmlElem* second = m_doc.GetNextSibling(first);
    EXPECT_EQ(std::u16string(m_doc.GetAttrValue(second, u"B")), u"it's");
    EXPECT_EQ(m_doc.FindChildElem(root, u"LAYER"), first);
    EXPECT_EQ(std::u16string(m_doc.GetElemName(m_doc.FindChildElem(root, u"other"))), u"Other");
    EXPECT_EQ(m_doc.GetNextSibling(m_doc.FindChildElem(root, u"other")), nullptr);
    EXPECT_EQ(first->pParent, root);

    // Names and values point into the document's own text.
    LPCWSTR text = m_doc.GetText();
    LPCWSTR value = m_doc.GetAttrValue(first, u"class");
    EXPECT_TRUE(value > text && value < text + 300);

    // Without keeping comments: the declaration and the four elements.
    EXPECT_EQ(m_doc.GetNodeCount(), 5);
    EXPECT_EQ(m_doc.GetFirstNode()->nKind, WCEUI_XML_DECLARATION);
    ASSERT_TRUE(Load(u"<!--c--><a/>", TRUE));
    ASSERT_EQ(m_doc.GetNodeCount(), 2);
    EXPECT_EQ(m_doc.GetFirstNode()->nKind, WCEUI_XML_COMMENT);
    EXPECT_EQ(m_doc.GetFirstNode()->nStart, 0);
    EXPECT_EQ(m_doc.GetFirstNode()->nEnd, 7);
}

TEST_F(XmlDocTest, FilesMustBeLittleEndianUnicodeWithAMark) {
    ASSERT_TRUE(Load(u" "));
    EXPECT_EQ(m_doc.GetRootElem(), nullptr);

    struct FileCase {
        std::string bytes;
        const char16_t* message;
    };
    const FileCase cases[] = {
        {"\xFF\xFE<", u"CWceUiXmlDoc::LoadXmlFile, the length of \\f.xml is less than 4"},
        {std::string("\xFF\xFE<\0a", 5),
         u"CWceUiXmlDoc::LoadXmlFile, the length of \\f.xml is odd number, not a UNICODE file"},
        {std::string("\xFE\xFF\0<\0a\0/\0>", 10),
         u"CWceUiXmlDoc::LoadXmlFile, \\f.xml is not a UNICODE file"},
        {"<a/>", u"CWceUiXmlDoc::LoadXmlFile, \\f.xml is not a UNICODE file"},
    };
    for (const FileCase& c : cases) {
        WriteHostFile(Root() + "/f.xml", c.bytes);
        m_doc.Clean();
        m_log.Clear();
        EXPECT_FALSE(m_doc.LoadXmlFile(u"\\f.xml"));
        EXPECT_TRUE(m_log.Contains(c.message)) << WideToUtf8(c.message);
    }
    m_doc.Clean();
    EXPECT_FALSE(m_doc.LoadXmlFile(u"\\none.xml"));
    EXPECT_TRUE(m_log.Contains(u"CWceUiXmlDoc::LoadXmlFile, WceUiReadFile \\none.xml fail"));

    ASSERT_TRUE(Load(u"<a/>"));
    EXPECT_FALSE(m_doc.LoadXmlFile(u"\\d.xml"));
    EXPECT_TRUE(m_log.Contains(u"CWceUiXmlDoc::LoadXmlFile, can not load \\d.xml, call clean first"));
    EXPECT_TRUE(m_doc.IsLoaded());
}

TEST_F(XmlDocTest, IncludeLinesAreReplacedByTheNamedFiles) {
    WriteHostFile(Root() + "/skin/parts/a.xml", Unicode(u"<a x='1'/>\r\n<b/>\r\n"));
    // A directive inside included text is not expanded (missing.xml does not exist).
    WriteHostFile(Root() + "/skin/common/c.xml", Unicode(u"<c>\n#include_xml \"missing.xml\"\n</c>\n"));
    WriteHostFile(Root() + "/skin/mark.xml", "\xFF\xFE");
    WriteHostFile(Root() + "/skin/wnd/main.xml",
                  Unicode(u"#include_xml \"../mark.xml\"\n"             // replaced by nothing
                          u"<dlg> #include_xml \"nothing.xml\"\r\n"     // text before it: left alone
                          u"\t #include_xml \"..\\parts/a.xml\" \t\r\n" // indented with tabs
                          u"#include_xml \"../common/./c.xml\"\n"
                          u"<d>\n#include_xml \"lone-cr.xml\"\r<y/></d>\n" // lone CR: left alone
                          u"</dlg>"));
    ASSERT_TRUE(m_doc.LoadXmlFile(u"\\skin\\wnd\\main.xml"));
    std::u16string names;
    for (const CWceUiXmlElem* e = m_doc.GetFirstChild(m_doc.GetRootElem()); e; e = m_doc.GetNextSibling(e)) {
        names += m_doc.GetElemName(e);
    }
    EXPECT_EQ(names, u"abcd");
    EXPECT_EQ(std::u16string(m_doc.GetAttrValue(m_doc.FindChildElem(m_doc.GetRootElem(), u"a"), u"x")), u"1");
    EXPECT_NE(m_doc.FindChildElem(m_doc.FindChildElem(m_doc.GetRootElem(), u"d"), u"y"), nullptr);

    // An empty file is accepted but replaces nothing: its directive stays, here as text at top level.
    WriteHostFile(Root() + "/skin/empty.xml", "");
    WriteHostFile(Root() + "/skin/top.xml", Unicode(u"#include_xml \"empty.xml\"\r\n<a/>"));
    m_doc.Clean();
    EXPECT_FALSE(m_doc.LoadXmlFile(u"\\skin\\top.xml"));
    EXPECT_TRUE(m_log.Contains(u"ParseXml, (\\skin\\top.xml) syntax error 010"));
}

TEST_F(XmlDocTest, IncludeNamesUpTo258UnitsAndUnreadableIncludesFailTheLoad) {
    // 258 units, as three folders and a file (host names are limited to 255 bytes).
    const std::u16string name258 =
        std::u16string(100, u'x') + u"/" + std::u16string(100, u'y') + u"/" + std::u16string(56, u'z');
    ASSERT_EQ(name258.size(), 258u);
    WriteHostFile(Root() + "/" + WideToUtf8(name258), Unicode(u"<!-- included -->"));
    // At top level: expanded it is a comment, left alone it is text (010).
    EXPECT_TRUE(Load(u"#include_xml \"" + name258 + u"\"\n<a/>"));
    const std::u16string name259 = u"x" + name258;
    WriteHostFile(Root() + "/" + WideToUtf8(name259), Unicode(u"<!-- included -->"));
    EXPECT_FALSE(Load(u"#include_xml \"" + name259 + u"\"\n<a/>"));
    EXPECT_EQ(m_log.Messages().front(),
              Syntax(u"ParseXml", u"010,attention:<a><x></x>err</a> is not supported"));

    struct IncludeCase {
        std::string bytes;
        const char16_t* message;
    };
    const IncludeCase cases[] = {
        {"\xFF\xFE<", u"CWceUiXmlDoc::ReadIncludeFile, \\i.xml is not a UNICODE file 1"},
        {"<a/>", u"CWceUiXmlDoc::ReadIncludeFile,\\i.xml is not a UNICODE file 2"},
    };
    for (const IncludeCase& c : cases) {
        WriteHostFile(Root() + "/i.xml", c.bytes);
        EXPECT_FALSE(Load(u"<r>\n#include_xml \"i.xml\"\n</r>"));
        EXPECT_TRUE(m_log.Contains(c.message)) << WideToUtf8(c.message);
        EXPECT_FALSE(m_doc.IsLoaded());
    }
    EXPECT_FALSE(Load(u"<r>\n  #include_xml \"gone.xml\"\n</r>"));
    EXPECT_TRUE(m_log.Contains(u"CWceUiXmlDoc::ReadIncludeFile, WceUiReadFile \\gone.xml fail"));
}

TEST_F(XmlDocTest, DocumentsAndTheirIncludesAreReadFromPacks) {
    WriteHostFile(Root() + "/Program/skin.pack",
                  MakePack({{u"800x480/wnd/Main.dlg.xml",
                             Unicode(u"<dlg>\r\n#include_xml \"..\\common\\btn.xml\"\r\n</dlg>")},
                            {u"800x480/common/btn.xml", Unicode(u"<CWceUiButton name=\"ok\"/>")}}));
    ASSERT_TRUE(m_doc.LoadXmlFile(u"\\Program\\skin.pack\\800x480\\wnd\\Main.dlg.xml"));
    EXPECT_EQ(std::u16string(
                  m_doc.GetAttrValue(m_doc.FindChildElem(m_doc.GetRootElem(), u"cwceuibutton"), u"name")),
              u"ok");
}

TEST_F(XmlDocTest, TagsWithVeryManyAttributesParseInLinearTimeAndStillRefuseDuplicates) {
    auto tag = [](int nCount, const std::u16string& extra) {
        std::u16string text = u"<a";
        for (int i = 0; i < nCount; ++i) {
            const std::string attr = " n" + std::to_string(i) + "='" + std::to_string(i) + "'";
            text.append(attr.begin(), attr.end());
        }
        return text + extra + u"/>";
    };
    // Comparing every name with every earlier one took about half a minute at this size, beyond the
    // test's time limit; linear, it takes about a second even with sanitizers.
    ASSERT_TRUE(Load(tag(100000, u"")));
    int nSeen = 0;
    for (const CWceUiXmlAttr* p = m_doc.GetFirstAttr(m_doc.GetRootElem()); p; p = m_doc.GetNextAttr(p)) {
        ASSERT_EQ(WideToUtf8(p->pValue), std::to_string(nSeen)) << "attributes keep their order";
        ++nSeen;
    }
    EXPECT_EQ(nSeen, 100000);
    EXPECT_EQ(std::u16string(m_doc.GetAttrValue(m_doc.GetRootElem(), u"N99999")), u"99999");

    // A repeated name, ignoring case, is found whether the tag is short or long and wherever it stands.
    const struct {
        int nBefore;
        const char16_t* extra;
    } duplicates[] = {
        {1, u" N0='x'"},
        {7, u" n3='x'"},
        {8, u" N7='x'"},
        {9, u" n8='x'"},
        {20, u" N0='x'"},
        {20, u" n19='x'"},
        {70000, u" N12345='x'"},
        {70000, u" n69999=''"},
        {40, u" \u0416='1' \u0436='2'"}, // Cyrillic ZHE in both cases
    };
    for (const auto& d : duplicates) {
        EXPECT_FALSE(Load(tag(d.nBefore, d.extra))) << d.nBefore << " " << WideToUtf8(d.extra);
        EXPECT_EQ(m_log.Messages().front(), Syntax(u"HandleXmlTagContent", u"029"));
    }
    // Names that only look alike are distinct.
    EXPECT_TRUE(Load(tag(30, u" n1x='1' n01='2' \u0416\u0416='3' \u0416='4'")));
}

TEST_F(XmlDocTest, IncludesMayNotGrowADocumentPastTheCap) {
    // <r>\n, the include line, </r>: 8 units of the document stay around the included text.
    auto comment = [](size_t nUnits) { return u"<!--" + std::u16string(nUnits - 7, u'x') + u"-->"; };
    const size_t nCap = WCEUI_XML_MAX_EXPANDED_UNITS;
    WriteHostFile(Root() + "/big.xml", Unicode(comment(nCap - 8)));
    EXPECT_TRUE(Load(u"<r>\n#include_xml \"big.xml\"\n</r>"));
    WriteHostFile(Root() + "/big.xml", Unicode(comment(nCap - 7)));
    EXPECT_FALSE(Load(u"<r>\n#include_xml \"big.xml\"\n</r>"));
    const std::u16string message = u"CWceUiXmlDoc::ExpandIncludes, (\\d.xml) syntax error, the text with its "
                                   u"includes exceeds 2097152 units";
    EXPECT_TRUE(m_log.Contains(message));
    EXPECT_FALSE(m_doc.IsLoaded());

    // A small file that names a middle-sized one many times is refused as soon as it is over.
    WriteHostFile(Root() + "/part.xml", Unicode(comment(300000)));
    std::u16string many = u"<r>\n";
    for (int i = 0; i < 1000; ++i) {
        many += u"#include_xml \"part.xml\"\n";
    }
    EXPECT_FALSE(Load(many + u"</r>"));
    EXPECT_TRUE(m_log.Contains(message));
    // Six of them fit.
    many = u"<r>\n";
    for (int i = 0; i < 6; ++i) {
        many += u"#include_xml \"part.xml\"\n";
    }
    EXPECT_TRUE(Load(many + u"</r>"));
}

// A tool points the author at the line of a syntax error: the offset of the tag the parse stopped at,
// or of the innermost element still open when the text ended.
TEST_F(XmlDocTest, AFailedParseKeepsWhereItStopped) {
    struct Case {
        const char16_t* text;
        int offset;
    } cases[] = {
        {u"<a>\n  <b></c>\n</a>", 9},  // the end tag that does not match
        {u"<a>\n  <b x=1/>\n</a>", 6}, // an unquoted value: the tag that holds it
        {u"<a>\n  <b>\n  <c/>\n", 6},  // <b> is never closed
        {u"<a/><!-- open", 4},         // a comment that never ends
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.text));
        EXPECT_FALSE(Load(c.text));
        EXPECT_EQ(m_doc.GetErrorOffset(), c.offset);
    }
    // A load that succeeds, or that fails before the parse, has no such place.
    EXPECT_TRUE(Load(u"<a><b/></a>"));
    EXPECT_EQ(m_doc.GetErrorOffset(), -1);
    m_doc.Clean();
    WriteHostFile(Root() + "/plain.xml", "<a/>");
    EXPECT_FALSE(m_doc.LoadXmlFile(u"\\plain.xml"));
    EXPECT_EQ(m_doc.GetErrorOffset(), -1);
}
