#include "style/text_export.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "api/exports.h"
#include "doc_builder.h"
#include "foundation/engine.h"
#include "foundation/file.h"
#include "sgml/external_id.h"
#include "sgml/mark_kinds.h"
#include "style/style_sheet.h"
#include "../foundation/temp_folder.h"

namespace qs {
namespace {

class TextExport : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  }
  void TearDown() override {
    docHolder.reset();
    sheet.ClearRules();
    QsTerminate();
  }
  // Exports the built document; the file's bytes, or "<failed>".
  std::string Export(DocumentNode* start = nullptr) {
    const std::string path = tmp.File("out.txt");
    if (!ExportPlainText(doc.Doc(), start, &sheet, path.c_str())) return "<failed>";
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  StyleRule* Rule(const char* tag) {
    StyleRule* rule = sheet.AddRule(new StyleRule(tag, 0));
    // As a rule read from a file: no breaks unless asked.
    rule->fontByte &= ~(StyleProps::kBreakBefore | StyleProps::kBreakAfter);
    return rule;
  }
  static void Breaks(StyleProps* style) {
    style->fontByte |= StyleProps::kBreakBefore | StyleProps::kBreakAfter;
  }
  void AddMark(Mark* mark) { doc.Doc()->AppendMark(mark); }

  test::TempFolder tmp;
  StyleSheet sheet{static_cast<ExternalId*>(nullptr)};
  std::unique_ptr<test::DocBuilder> docHolder = std::make_unique<test::DocBuilder>();
  test::DocBuilder& doc = *docHolder;
};

TEST_F(TextExport, ElementsWithoutRulesAreSetOffByBlankLines) {
  Rule("R");
  doc.Build("<R>ab<P>cd</P><P>ef</P>gh</R>");
  // Two breaks in a row give one blank line; a break at the end nothing.
  EXPECT_EQ(Export(), "ab\r\n\r\ncd\r\n\r\nef\r\n\r\ngh");
}

TEST_F(TextExport, RecordEndsTabsAndInstructions) {
  Rule("R");
  Breaks(Rule("P"));
  doc.Build("<R>a b<P>c d e</P></R>");
  auto& pool = doc.Doc()->Pool();
  AddMark(new (pool) SimpleMark(kMarkTab, 1));
  AddMark(new (pool) MarkupMark(kMarkProcessingInstruction, 4, 5));  // " d" loses its blank
  AddMark(new (pool) SimpleMark(kMarkRecordEnd, 6));
  // A record end right after a pending break gives one line end.
  EXPECT_EQ(Export(), "a\tb\r\n\r\ncd\r\ne");
}

TEST_F(TextExport, LongLinesWrapAtTheFirstBlankAfterColumnFifty) {
  Rule("R");
  std::string words;
  for (int i = 0; i < 12; ++i) words += "word" + std::to_string(i % 10) + " ";
  doc.Build(("<R>" + words + "</R>").c_str());
  const std::string out = Export();
  // 54 characters stand on the first line; the blank after them is not
  // written.
  EXPECT_EQ(out.substr(0, out.find("\r\n")), words.substr(0, 53));
  EXPECT_EQ(out.substr(out.find("\r\n") + 2), words.substr(54));
}

TEST_F(TextExport, GeneratedTextAndNumbers) {
  Rule("R");
  StyleRule* list = Rule("L");
  list->numbering = 2;  // HZero
  StyleRule* item = Rule("I");
  item->numbering = 4;  // HItem
  Breaks(item);
  Rule("B")->numbering = 3;  // HBlock
  StyleRule* step = Rule("S");
  step->numbering = 1;  // Linear, counted over the whole export
  step->EnsureBefore()->SetText("Step ");
  step->EnsureAfter()->SetText("!");
  doc.Build("<R><L><I>a</I><I>b<B><I>c</I><I>d</I></B></I><I>e<B><I>f</I></B></I></L>"
            "<S>x</S><S>y</S></R>");
  EXPECT_EQ(Export(),
            "1. a\r\n\r\n2. b\r\n\r\n2.1. c\r\n\r\n2.2. d\r\n\r\n3. e\r\n\r\n3.1. f\r\n\r\n"
            "Step 1. x!Step 2. y!");
}

TEST_F(TextExport, HiddenElementsWriteNothingUntilAChildIsShownAgain) {
  Rule("R");
  StyleRule* hidden = Rule("H");
  StyleProps::SetBits(&hidden->layout, StyleProps::kVisibleMask, StyleProps::kVisibleHide);
  StyleRule* shown = Rule("S");
  StyleProps::SetBits(&shown->layout, StyleProps::kVisibleMask, StyleProps::kVisibleShow);
  doc.Build("<R>a<H>b c<S>d</S>e</H>f</R>");
  AddMark(new (doc.Doc()->Pool()) SimpleMark(kMarkRecordEnd, 2));  // inside H: not written
  EXPECT_EQ(Export(), "adf");
}

TEST_F(TextExport, StyledEntitiesWriteTheirTextAndASubtreeExportsAlone) {
  Rule("R");
  Rule("P");
  StyleRule* gif = Rule("#GIF");
  gif->EnsureBefore()->SetText("[figure ");
  gif->EnsureAfter()->SetText("]");
  auto* notation = new NotationDecl("GIF");
  doc.GetDtd().AddNotation(notation);
  auto* entity = new ExternalEntityDecl("fig", new ExternalId("fig", "fig.gif", nullptr),
                                        kEntityNdata, notation);
  doc.Doc()->AddEntity(entity);
  doc.Build("<R>x<P>a b</P>y</R>");
  AddMark(new (doc.Doc()->Pool()) EntityRefMark(2, entity));
  EXPECT_EQ(Export(), "xa[figure ]by");
  EXPECT_EQ(Export(doc.Doc()->Root()->First()), "a[figure ]b");
}

TEST_F(TextExport, AFileThatCannotBeWrittenIsReportedAndLeftAsItWas) {
  Rule("R");
  doc.Build("<R>text</R>");
  const std::string missing = tmp.File("no-such-folder/out.txt");
  EXPECT_EQ(ExportPlainText(doc.Doc(), nullptr, &sheet, missing.c_str()), 0);
  EXPECT_EQ(ExportPlainText(doc.Doc(), nullptr, nullptr, tmp.File("x.txt").c_str()), 0);
  EXPECT_EQ(ExportPlainText(nullptr, nullptr, &sheet, tmp.File("y.txt").c_str()), 0);
  EXPECT_FALSE(std::ifstream(tmp.File("x.txt")).good());
}

// Through the export, with handles: a document, one node of it, and the
// sheet must be known.
TEST(TextExportExport, WritesADocumentOrANodesSubtree) {
  const char* source = std::getenv("QS_SOURCE_DIR");
  const std::string home = std::string(source ? source : ".") + "/samples/home/";
  const std::string catalog = home + "catalog/catalog";
  ASSERT_NE(QsInitialize(0, "test", catalog.c_str(), nullptr, nullptr, nullptr, home.c_str()), 0);
  test::TempFolder tmp;
  QsHandle sheet = QsOpenStyleSheetText(
      "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">"
      "<STYLESHEET><STYLE TAG=\"T\"><A-TEXT V=\"= \"></STYLE><STYLE TAG=\"D\"></STYLE></STYLESHEET>",
      "export.ssh", nullptr, nullptr, 0);
  QsHandle document = QsOpenDocumentText(
      "<!DOCTYPE D [<!ELEMENT D - - (T,P)><!ELEMENT (T|P) - - (#PCDATA)>]><D><T>Title</T><P>Body</P></D>",
      "export.sgm", nullptr, 0, nullptr, 0);
  ASSERT_NE(sheet, 0u);
  ASSERT_NE(document, 0u);
  auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  const std::string whole = tmp.File("whole.txt"), part = tmp.File("part.txt");
  EXPECT_EQ(QsExportText(document, 0, sheet, whole.c_str()), 1);
  EXPECT_EQ(read(whole), "= Title\r\n\r\nBody");
  QsHandle node = QsGetDocumentRoot(document);
  ASSERT_NE(node, 0u);
  ASSERT_NE(QsGotoFirstChild(node), 0);
  EXPECT_EQ(QsExportText(0, node, sheet, part.c_str()), 1);
  EXPECT_EQ(read(part), "= Title");
  EXPECT_EQ(QsExportText(document, 0, 0, tmp.File("none.txt").c_str()), 0);
  EXPECT_EQ(QsExportText(0, 0, sheet, tmp.File("none.txt").c_str()), 0);
  EXPECT_FALSE(std::ifstream(tmp.File("none.txt")).good());
  QsReleaseHandle(node);
  QsReleaseHandle(document);
  QsReleaseHandle(sheet);
  QsTerminate();
}

}  // namespace
}  // namespace qs
