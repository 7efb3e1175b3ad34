// Style sheet and navigator files read through the engine's parser (with
// the engine's own catalog and DTDs) and written back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "api/parse_report.h"
#include "error_recorder.h"
#include "foundation/engine.h"
#include "foundation/handle_table.h"
#include "recording_sink.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "style/navigator.h"
#include "style/style_sheet.h"

namespace qs {
namespace {

std::int32_t Count(const void* record, QsWord data) {
  auto* log = reinterpret_cast<std::vector<std::pair<int, int>>*>(data);
  const auto* r = static_cast<const QsParseReport*>(record);
  if (r->kind & QS_REPORT_MESSAGE) {
    log->push_back({r->severity, r->number});
    if (std::getenv("QS_SHOW_REPORTS"))
      std::fprintf(stderr, "report %d %s line %d\n", r->number,
                   r->argument1 ? reinterpret_cast<const char*>(r->argument1) : "", r->line);
  }
  return 1;
}

class SheetFiles : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qs-sheet-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
            std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::create_directories(dir_);
    const char* source = std::getenv("QS_SOURCE_DIR");
    std::string home = std::string(source ? source : ".") + "/samples/home/";
    std::string catalog = home + "catalog/catalog";
    ASSERT_NE(QsInitialize(0, "test", catalog.c_str(), nullptr, nullptr, nullptr, home.c_str()), 0);
  }
  void TearDown() override {
    QsTerminate();
    std::filesystem::remove_all(dir_);
  }
  std::string Path(const char* name) { return (dir_ / name).string(); }
  std::string Write(const char* name, const std::string& text) {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Opens the sheet text; fails the test on any parser message.
  StyleSheet* Open(const std::string& text, const char* name) {
    log_.clear();
    QsHandle h = QsOpenStyleSheetText(text.c_str(), name, nullptr, Count,
                                      reinterpret_cast<QsWord>(&log_));
    EXPECT_NE(h, 0u) << text;
    EXPECT_TRUE(log_.empty()) << "first message " << (log_.empty() ? 0 : log_[0].second);
    return static_cast<StyleSheet*>(Handles()->LookupStyleSheet(h));
  }
  NavigatorDef* OpenNavigator(const std::string& text, const char* name) {
    log_.clear();
    QsHandle h = QsOpenNavigatorText(text.c_str(), name, nullptr, Count,
                                     reinterpret_cast<QsWord>(&log_));
    EXPECT_NE(h, 0u) << text;
    EXPECT_TRUE(log_.empty()) << "first message " << (log_.empty() ? 0 : log_[0].second);
    return static_cast<NavigatorDef*>(Handles()->LookupNavigator(h));
  }
  static std::string Text(StyleSheet* sheet) {
    TextBuffer out;
    sheet->WriteText(out);
    return out.Text();
  }
  static std::string Text(NavigatorDef* nav) {
    TextBuffer out;
    nav->WriteText(out);
    return out.Text();
  }
  // Written, read back and written again: the same text.
  std::string RoundTrip(StyleSheet* sheet, const char* name) {
    std::string first = Text(sheet);
    StyleSheet* again = Open(first, name);
    if (!again) return "";
    std::string second = Text(again);
    EXPECT_EQ(first, second);
    return first;
  }
  std::filesystem::path dir_;
  std::vector<std::pair<int, int>> log_;
  test::RecordingSink sink_;
};

const char kHead[] = "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n";

TEST_F(SheetFiles, TitleRuleRoundTrip) {
  StyleSheet* sheet = Open(std::string(kHead) +
                               "<STYLESHEET VERSION=\"2.00\"><SHEET><MARGINS LEFT=\"1.5\"></SHEET>"
                               "<STYLE TAG=TITLE><FONT-SIZE V=14><FONT-WEIGHT V=bold>"
                               "<QUAL-STYLE QUAL=\"[TYPE] = warning\"><FONT-COLOR V=red>"
                               "</QUAL-STYLE></STYLE></STYLESHEET>",
                           "title.ssh");
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->margins[StyleSheet::kLeft], 150);
  StyleRule* rule = sheet->FindTag("TITLE")->First();
  EXPECT_EQ(rule->fontSize, 14);
  EXPECT_EQ(rule->fontByte, StyleProps::kWeightBold);
  ASSERT_NE(rule->FirstQual(), nullptr);
  EXPECT_STREQ(rule->FirstQual()->Text(), "[TYPE] = warning");
  EXPECT_EQ(Text(sheet),
            "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n\n"
            "<STYLESHEET VERSION=\"2.00\">\n\n<SHEET>\n<MARGINS\n  LEFT=\"1.50\">\n</SHEET>\n\n"
            "<STYLE TAG=\"TITLE\">\n<FONT-SIZE V=14>\n<FONT-WEIGHT V=Bold>\n\n"
            "<QUAL-STYLE QUAL=\"[TYPE] = warning\">\n<FONT-COLOR V=\"red\">\n</QUAL-STYLE>\n"
            "</STYLE>\n\n</STYLESHEET>\n");
  RoundTrip(sheet, "title2.ssh");
}

TEST_F(SheetFiles, Margins) {
  StyleSheet* sheet = Open(std::string(kHead) +
                               "<STYLESHEET><SHEET><MARGINS TOP=\"1.05\" LEFT=2 RIGHT=\"2.\" "
                               "BOTTOM=\"10%\"></SHEET></STYLESHEET>",
                           "m.ssh");
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->margins[StyleSheet::kTop], 105);
  EXPECT_EQ(sheet->margins[StyleSheet::kLeft], 200);
  EXPECT_EQ(sheet->margins[StyleSheet::kRight], 200);
  EXPECT_EQ(sheet->margins[StyleSheet::kBottom], -1000);
  std::string text = RoundTrip(sheet, "m2.ssh");
  EXPECT_NE(text.find("<MARGINS\n  TOP=\"1.05\"\n  LEFT=\"2\"\n  RIGHT=\"2\"\n  BOTTOM=\"10%\">"),
            std::string::npos)
      << text;
  struct {
    const char* text;
    std::int32_t value;
  } cases[] = {{"2.5", 250},  {"1.05", 105}, {"2.", 200},   {" 7.123", 712}, {"x", 0},
               {"10 %", -1000}, {nullptr, StyleSheet::kMarginUnset},
               {"99999999999999", 2000000000}};
  for (const auto& c : cases)
    EXPECT_EQ(StyleSheet::ParseMargin(c.text), c.value) << (c.text ? c.text : "null");
  // A missing margin is not written; none set writes no SHEET.
  StyleSheet* bare = Open(std::string(kHead) + "<STYLESHEET></STYLESHEET>", "bare.ssh");
  EXPECT_EQ(Text(bare).find("<SHEET>"), std::string::npos);
}

TEST_F(SheetFiles, QuotedTextsComeBackEqual) {
  StyleSheet* sheet = Open(std::string(kHead) +
                               "<STYLESHEET VERSION=\"2.00\"><STYLE TAG=P>"
                               "<FONT-FAMILY V='A \"B\" &A; C'><A-TEXT V=\"Q&A;A it&q;s\">"
                               "<QUAL-STYLE QUAL='[X]=\"a&T;b\" OR [Y]=&q;c&q; OR [Z]=\"&A;\"'>"
                               "<FONT-SIZE V=9></QUAL-STYLE></STYLE></STYLESHEET>",
                           "q.ssh");
  ASSERT_NE(sheet, nullptr);
  StyleRule* rule = sheet->FindTag("P")->First();
  EXPECT_STREQ(NameText(rule->fontFamily), "A \"B\" & C");
  char* text = rule->before->GetText();
  EXPECT_STREQ(text, "Q&A it's");
  MemFree(text);
  EXPECT_STREQ(rule->FirstQual()->Text(), "[X]=\"a\tb\" OR [Y]='c' OR [Z]=\"&\"");
  std::string written = RoundTrip(sheet, "q2.ssh");
  EXPECT_NE(written.find("<FONT-FAMILY V=\"A &Q;B&Q; &A; C\">"), std::string::npos) << written;
  EXPECT_NE(written.find("<A-TEXT V='Q&A;A it&q;s'>"), std::string::npos) << written;
  EXPECT_NE(written.find("QUAL=\"[X]=&Q;a&T;b&Q; OR [Y]=&q;c&q; OR [Z]=&Q;&A;&Q;\""),
            std::string::npos)
      << written;
  StyleSheet* again = Open(written, "q3.ssh");
  StyleRule* back = again->FindTag("P")->First();
  EXPECT_STREQ(NameText(back->fontFamily), "A \"B\" & C");
  text = back->before->GetText();
  EXPECT_STREQ(text, "Q&A it's");
  MemFree(text);
  EXPECT_STREQ(back->FirstQual()->Text(), "[X]=\"a\tb\" OR [Y]='c' OR [Z]=\"&\"");
}

TEST_F(SheetFiles, AttributeStylesAndMergedStyles) {
  StyleSheet* sheet = Open(std::string(kHead) +
                               "<STYLESHEET><STYLE TAG=PARA>"
                               "<ATTR-STYLE ATTR=TYPE VAL=IMPLIED><FONT-SIZE V=8></ATTR-STYLE>"
                               "<ATTR-STYLE ATTR=TYPE VAL=\"not implied\"><FONT-SIZE V=9></ATTR-STYLE>"
                               "<ATTR-STYLE ATTR=TYPE VAL=warning><FONT-SIZE V=10></ATTR-STYLE>"
                               "<ATTR-STYLE ATTR=TYPE VAL='a\"b'><FONT-SIZE V=11></ATTR-STYLE>"
                               "<ATTR-STYLE ATTR=TYPE VAL='a\"b&q;c'><FONT-SIZE V=12></ATTR-STYLE>"
                               "<FONT-SIZE V=12></STYLE>"
                               "<STYLE TAG=PARA><FONT-SIZE V=13><JUSTIFY V=center></STYLE>"
                               "</STYLESHEET>",
                           "a.ssh");
  ASSERT_NE(sheet, nullptr);
  StyleTagEntry* entry = sheet->FindTag("PARA");
  StyleRule* rule = entry->First();
  EXPECT_EQ(StyleTagEntry::Next(rule), nullptr);  // the two STYLEs are one rule
  EXPECT_EQ(rule->fontSize, 13);
  EXPECT_EQ(rule->layout & StyleProps::kJustifyMask, StyleProps::kJustifyCenter);
  std::vector<std::string> quals;
  for (QualStyle* q = rule->FirstQual(); q; q = StyleRule::NextQual(q)) quals.push_back(q->Text());
  EXPECT_EQ(quals, (std::vector<std::string>{"NOT [TYPE]", "[TYPE]", "[TYPE]=\"warning\"",
                                             "[TYPE]='a\"b'"}));
  RoundTrip(sheet, "a2.ssh");
}

TEST_F(SheetFiles, EmptySheetsAtBothLevels) {
  StyleSheet* level0 = Open(std::string(kHead) + "<STYLESHEET NAME=\"N\"></STYLESHEET>", "e0.ssh");
  EXPECT_EQ(Text(level0),
            "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\"[\n"
            "<!ELEMENT sheet (margins?)>\n<!ELEMENT margins EMPTY>\n<!ATTLIST margins\n"
            "\tleft CDATA #IMPLIED\n\tright CDATA #IMPLIED\n\ttop CDATA #IMPLIED\n"
            "\tbottom CDATA #IMPLIED>\n\n<!ELEMENT font-shadow EMPTY>\n<!ATTLIST font-shadow\n"
            "\tv NUMBER #REQUIRED>\n\n<!ELEMENT shadow-color EMPTY>\n<!ATTLIST shadow-color\n"
            "\tv CDATA #REQUIRED>\n\n]>\n\n<STYLESHEET NAME=\"N\">\n\n</STYLESHEET>\n");
  RoundTrip(level0, "e0b.ssh");
  StyleSheet* level2 = Open(std::string(kHead) + "<STYLESHEET VERSION=\"2.00\"></STYLESHEET>", "e2.ssh");
  EXPECT_EQ(Text(level2),
            "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n\n"
            "<STYLESHEET VERSION=\"2.00\">\n\n</STYLESHEET>\n");
  level2->SetBackgroundLabel("Draft \"A\" & 100%");
  std::string text = RoundTrip(level2, "e2b.ssh");
  EXPECT_NE(text.find("<!ENTITY PrnBG \"Draft &#34;A&#34; &#38; 100&#37;\">"), std::string::npos)
      << text;
  StyleSheet* back = Open(text, "e2c.ssh");
  EXPECT_STREQ(back->BackgroundLabel(), "Draft \"A\" & 100%");
}

// Numbers are clamped to their field rather than cut to its bits.
TEST_F(SheetFiles, NumbersAreClamped) {
  StyleSheet* sheet = Open(std::string(kHead) +
                               "<STYLESHEET VERSION=\"2.00\"><STYLE TAG=P>"
                               "<LEADING V=300><FONT-OFFS V=-20><SPC-LEFT V=9000>"
                               "<SPC-INDENT V=\"-=9000\"><SPC-RIGHT V=\"+=12\">"
                               "<SPC-ABOVE V=70000><SPC-BELOW V=-70000><FONT-SCALE V=70000>"
                               "<A-FONT-SIZE V=900><Z-FONT-SIZE V=2><A-FONT-OFFS V=99>"
                               "<FONT-SIZE V=300><FONT-SHADOW V=\"-7 7\"></STYLE>"
                               "<STYLE TAG=Q><LEADING V=-5><FONT-SHADOW V=\"8 1\"><FONT-SIZE V=3>"
                               "</STYLE></STYLESHEET>",
                           "n.ssh");
  ASSERT_NE(sheet, nullptr);
  StyleRule* p = sheet->FindTag("P")->First();
  EXPECT_EQ(p->leading, 127);
  EXPECT_EQ(p->layout & StyleProps::kOffsetMask, 0);  // -7
  EXPECT_EQ(StyleProps::LengthValue(p->spaceLeft), 8191);
  EXPECT_EQ(p->spaceLeft & StyleProps::kLengthKindMask, StyleProps::kAbsolute);
  EXPECT_EQ(StyleProps::LengthValue(p->spaceIndent), -8192);
  EXPECT_EQ(p->spaceIndent & StyleProps::kLengthKindMask, StyleProps::kRelative);
  EXPECT_EQ(StyleProps::LengthValue(p->spaceRight), 12);
  EXPECT_EQ(p->spaceAbove, 32767);
  EXPECT_EQ(p->spaceBelow, -32768);
  EXPECT_EQ(p->fontScale, 65535);
  EXPECT_EQ(p->before->fontSize, 255);
  EXPECT_EQ(p->after->fontSize, 4);
  EXPECT_EQ(p->before->layout & StyleProps::kOffsetMask, 15);  // +8
  EXPECT_EQ(p->fontSize, 0);                                    // outside 4-255: ignored
  EXPECT_EQ(p->fontShadow, 0x1F);
  StyleRule* q = sheet->FindTag("Q")->First();
  EXPECT_EQ(q->leading, 0);
  EXPECT_EQ(q->fontShadow, 0);
  EXPECT_EQ(q->fontSize, 0);
  std::string text = RoundTrip(sheet, "n2.ssh");
  EXPECT_NE(text.find("<SPC-INDENT V=\"-=8192\">"), std::string::npos) << text;
  EXPECT_NE(text.find("<SPC-RIGHT V=\"+=12\">"), std::string::npos) << text;
}

TEST_F(SheetFiles, RulesOfTagListsAndOccurrences) {
  StyleSheet* sheet = Open(std::string(kHead) +
                               "<STYLESHEET><STYLE TAG=\"CHAPTER,SECTION,TITLE\"><FONT-SIZE V=20>"
                               "</STYLE><STYLE TAG=TITLE OCCUR=first><FONT-SIZE V=18></STYLE>"
                               "<STYLE TAG=\"PART,#REF\"><LINE V=below></STYLE>"
                               "<STYLE TAG=TITLE OCCUR=Bogus><FONT-SIZE V=16></STYLE>"
                               "<STYLE><FONT-SIZE V=16></STYLE></STYLESHEET>",
                           "t.ssh");
  ASSERT_NE(sheet, nullptr);
  StyleRule* r = sheet->FindTag("TITLE")->First();
  EXPECT_STREQ(r->Context(), "SECTION,CHAPTER");
  EXPECT_EQ(sheet->FindRuleByTag("CHAPTER,SECTION,TITLE", 0), r);
  EXPECT_EQ(StyleTagEntry::Next(r)->Occurrence(), kOccurFirst);
  EXPECT_NE(sheet->FindTag("#REF"), nullptr);
  std::string text = RoundTrip(sheet, "t2.ssh");
  EXPECT_NE(text.find("<STYLE TAG=\"CHAPTER,SECTION,TITLE\">"), std::string::npos) << text;
  EXPECT_NE(text.find("<STYLE TAG=\"TITLE\" OCCUR=First>"), std::string::npos) << text;
  EXPECT_NE(text.find("<STYLE TAG=\"PART,#REF\">\n<LINE V=Below>"), std::string::npos) << text;
}

TEST_F(SheetFiles, UnwritablePathKeepsTheTarget) {
  StyleSheet* sheet = Open(std::string(kHead) + "<STYLESHEET></STYLESHEET>", "w.ssh");
  ASSERT_NE(sheet, nullptr);
  test::ErrorRecorder errors;
  EXPECT_FALSE(sheet->Write((dir_ / "missing" / "x.ssh").string().c_str()));
  EXPECT_EQ(errors.errors, std::vector<int>{kErrCantSaveStyleSheet});
  std::string target = Write("keep.ssh", "old text");
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_exec);
  bool written = sheet->Write(target.c_str());
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
  if (!written) {  // as root the folder stays writable
    EXPECT_EQ(Read(target), "old text");
    EXPECT_EQ(errors.Count(kErrCantSaveStyleSheet), 2);
  }
  // A target that cannot be replaced stays as it was.
  int before = errors.Count(kErrCantSaveStyleSheet);
  std::filesystem::create_directory(dir_ / "taken");
  Write("taken/inside", "x");
  EXPECT_FALSE(sheet->Write(Path("taken").c_str()));
  EXPECT_EQ(errors.Count(kErrCantSaveStyleSheet), before + 1);
  EXPECT_EQ(Read(Path("taken/inside")), "x");
  // Written in text mode.
  EXPECT_TRUE(sheet->Write(Path("crlf.ssh").c_str()));
  EXPECT_EQ(Read(Path("crlf.ssh")).substr(0, 70),
            "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\"[\r\n<!");
}

TEST_F(SheetFiles, Navigators) {
  NavigatorDef* nav = OpenNavigator(
      "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\" [\n"
      "<!ENTITY StyleSpec SYSTEM \"nav.ssh\">\n]>\n"
      "<TOC-DEF NAME=\"Parts &A; Tools\" SCALE=80 MIN=-3 MAX=99999>"
      "<TOC BODY=SECTION TITLE=TITLE><TOC BODY=SECTION TITLE=\" TITLE \" LOCATE=body>"
      "<TOC BODY=SECTION QUAL=\"[TYPE] = &Q;x&Q;\" TITLE=\"HEAD,TITLE\">"
      "<TOC BODY=CHAPTER><TOC TITLE=X><TOC BODY=APP QUAL=\"(\" TITLE=T></TOC-DEF>",
      "n.nav");
  ASSERT_NE(nav, nullptr);
  EXPECT_EQ(nav->scale, 80);
  EXPECT_EQ(nav->min, 0);
  EXPECT_EQ(nav->max, 32767);
  ASSERT_NE(nav->StyleSpec(), nullptr);
  EXPECT_STREQ(nav->StyleSpec()->SystemId(), "nav.ssh");
  std::string text = Text(nav);
  EXPECT_EQ(text,
            "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\" [\n"
            "<!ENTITY StyleSpec SYSTEM \"nav.ssh\">\n]>\n\n"
            "<TOC-DEF NAME=\"Parts &A; Tools\" SCALE=80 MAX=32767>"
            "\n<TOC BODY=\"APP\" QUAL=\"(\" TITLE=\"T\">"
            "\n<TOC BODY=\"CHAPTER\">"
            "\n<TOC BODY=\"SECTION\" TITLE=\"TITLE\" LOCATE=BODY>"
            "\n<TOC BODY=\"SECTION\" QUAL=\"[TYPE] = &Q;x&Q;\" TITLE=\"HEAD,TITLE\">"
            "\n</TOC-DEF>\n");
  NavigatorDef* again = OpenNavigator(text, "n2.nav");
  EXPECT_EQ(Text(again), text);
  // Adding and removing entries.
  EXPECT_EQ(nav->AddEntry("SECTION", nullptr, "TITLE", 0), 0);  // there: LOCATE replaced
  EXPECT_EQ(nav->AddEntry("SECTION", nullptr, "X", 0), 1);
  EXPECT_EQ(nav->RemoveEntry("SECTION", nullptr, " X "), 1);
  EXPECT_EQ(nav->RemoveEntry("APP", "(", "T"), 1);  // its group goes with it
  EXPECT_EQ(Text(nav).find("APP"), std::string::npos);
  EXPECT_EQ(nav->RemoveEntry("APP", "(", "T"), 0);
  // Unwritable: error 18.
  test::ErrorRecorder errors;
  EXPECT_FALSE(nav->Write((dir_ / "missing" / "x.nav").string().c_str()));
  EXPECT_EQ(errors.errors, std::vector<int>{kErrCantSaveNavigator});
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

TEST_F(SheetFiles, OpenersShareLoadedObjects) {
  std::string sheet = Write("s.ssh", std::string(kHead) + "<STYLESHEET NAME=S></STYLESHEET>\n");
  QsHandle a = QsOpenStyleSheet(sheet.c_str(), nullptr, Count, reinterpret_cast<QsWord>(&log_));
  QsHandle b = QsOpenStyleSheet(sheet.c_str(), nullptr, Count, reinterpret_cast<QsWord>(&log_));
  ASSERT_NE(a, 0u);
  EXPECT_EQ(a, b);
  EXPECT_EQ(Handles()->UseCount(a), 2u);
  auto* s = static_cast<StyleSheet*>(Handles()->LookupStyleSheet(a));
  EXPECT_EQ(s->UseCount(), 1);  // the handle's one use
  EXPECT_STREQ(s->Name(), "S");

  // A qualifier that does not compile: error 28, the rest of the sheet read.
  {
    test::ErrorRecorder errors;
    QsHandle h = QsOpenStyleSheetText((std::string(kHead) +
                                       "<STYLESHEET><STYLE TAG=P><QUAL-STYLE QUAL=\"(\">"
                                       "<FONT-SIZE V=9></QUAL-STYLE><FONT-SIZE V=10></STYLE>"
                                       "</STYLESHEET>").c_str(),
                                      "bad.ssh", nullptr, Count, reinterpret_cast<QsWord>(&log_));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(errors.errors, std::vector<int>{28});
    StyleRule* rule = static_cast<StyleSheet*>(Handles()->LookupStyleSheet(h))->FindTag("P")->First();
    EXPECT_EQ(rule->FirstQual(), nullptr);
    EXPECT_EQ(rule->fontSize, 10);
  }

  // A DOCTYPE the catalog lacks: warning 1; answering 0 stops the parse.
  std::int32_t (*refuse)(const void*, QsWord) = [](const void* record, QsWord data) -> std::int32_t {
    const auto* r = static_cast<const QsParseReport*>(record);
    if (r->kind & QS_REPORT_MESSAGE) *reinterpret_cast<int*>(data) = r->number;
    return (r->kind & QS_REPORT_MESSAGE) ? 0 : 1;
  };
  int number = -1;
  EXPECT_EQ(QsOpenStyleSheetText("<!DOCTYPE STYLESHEET PUBLIC \"-//Nobody//DTD None//EN\">"
                                 "<STYLESHEET></STYLESHEET>",
                                 "unknown.ssh", nullptr, refuse, reinterpret_cast<QsWord>(&number)),
            0u);
  EXPECT_EQ(number, 1);
}

TEST_F(SheetFiles, CreatedSheetsAndNavigators) {
  QsHandle h = QsCreateStyleSheet(Path("new.ssh").c_str(), nullptr, "Parts & Tools 'n' co");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(Read(Path("new.ssh")),
            "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\r\n"
            "<STYLESHEET NAME='Parts &amp; Tools &q;n&q; co'>\r\n</STYLESHEET>\r\n");
  EXPECT_STREQ(static_cast<StyleSheet*>(Handles()->LookupStyleSheet(h))->Name(),
               "Parts & Tools 'n' co");
  QsHandle n = QsCreateNavigator(Path("new.nav").c_str(), nullptr, "Nav");
  ASSERT_NE(n, 0u);
  EXPECT_EQ(Read(Path("new.nav")),
            "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">\r\n"
            "<TOC-DEF NAME='Nav'>\r\n</TOC-DEF>\r\n");
  EXPECT_STREQ(static_cast<NavigatorDef*>(Handles()->LookupNavigator(n))->Name(), "Nav");
  EXPECT_EQ(QsCreateStyleSheet(Path("missing/x.ssh").c_str(), nullptr, nullptr), 0u);
  EXPECT_EQ(QsCreateNavigator(Path("missing/x.nav").c_str(), nullptr, nullptr), 0u);
}

TEST_F(SheetFiles, ResourcesOfADocument) {
  Write("doc.ssh", std::string(kHead) + "<STYLESHEET NAME=FromDoc></STYLESHEET>\n");
  Write("doc.nav", "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">\n"
                   "<TOC-DEF NAME=NavDoc><TOC BODY=P></TOC-DEF>\n");
  Write("doc.dtd", "<!ELEMENT doc - - (#PCDATA)>");
  std::string doc = Write("doc.sgm",
                          "<!DOCTYPE doc SYSTEM \"doc.dtd\">\n<?STYLESPEC \"Sheet\" \"doc.ssh\">\n"
                          "<?NAVIGATOR \"Nav\" \"doc.nav\">\n<doc>x</doc>\n");
  QsHandle d = QsParseDocument(doc.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(d, 0u);
  QsHandle s = QsLoadStyleSheet(d, 0, nullptr, 0);
  ASSERT_NE(s, 0u);
  EXPECT_STREQ(static_cast<StyleSheet*>(Handles()->LookupStyleSheet(s))->Name(), "FromDoc");
  EXPECT_EQ(QsLoadStyleSheet(d, 1, nullptr, 0), 0u);
  EXPECT_EQ(QsLoadStyleSheet(d, -1, nullptr, 0), 0u);
  QsHandle n = QsLoadNavigator(d, 0, nullptr, 0);
  ASSERT_NE(n, 0u);
  EXPECT_STREQ(static_cast<NavigatorDef*>(Handles()->LookupNavigator(n))->Name(), "NavDoc");
  EXPECT_EQ(QsLoadNavigator(d, 1, nullptr, 0), 0u);
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

// Icons are declared in the internal subset, so a save keeps them.
TEST_F(SheetFiles, IconsSurviveASave) {
  StyleSheet* sheet = Open(
      "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\" [\n"
      "<!NOTATION BMP SYSTEM \"bmp\">\n"
      "<!ATTLIST #NOTATION BMP SSHTYPE CDATA #IMPLIED MASK CDATA #IMPLIED>\n"
      "<!ENTITY warnMask SYSTEM \"warnmask.bmp\" NDATA BMP>\n"
      "<!ENTITY warn SYSTEM \"warn.bmp\" NDATA BMP [SSHTYPE=ICON MASK=warnMask]>\n"
      "<!ENTITY note SYSTEM \"note.bmp\" NDATA BMP [SSHTYPE=icon]>\n"
      "<!ENTITY other SYSTEM \"other.bmp\" NDATA BMP>\n]>\n"
      "<STYLESHEET VERSION=\"2.00\"><STYLE TAG=P><ICON V=warn></STYLE></STYLESHEET>",
      "icons.ssh");
  ASSERT_NE(sheet, nullptr);
  ASSERT_NE(sheet->FindIcon("WARN"), nullptr);
  EXPECT_STREQ(sheet->FindIcon("warn")->Mask(), "warnMask");
  EXPECT_NE(sheet->FindIcon("note"), nullptr);
  EXPECT_EQ(sheet->FindIcon("other"), nullptr);
  std::string text = RoundTrip(sheet, "icons2.ssh");
  EXPECT_NE(text.find("<!ENTITY warn SYSTEM \"warn.bmp\" NDATA BMP [SSHTYPE=ICON MASK=warnMask]>"),
            std::string::npos)
      << text;
  StyleSheet* back = Open(text, "icons3.ssh");
  ASSERT_NE(back, nullptr);
  EXPECT_NE(back->FindIcon("note"), nullptr);
  ASSERT_NE(back->FindIcon("warn"), nullptr);
  // The mask is declared again with its icon.
  EXPECT_STREQ(back->FindIcon("warn")->Mask(), "warnMask");
  EXPECT_NE(text.find("<!ENTITY warnMask SYSTEM \"warnmask.bmp\" NDATA BMP>"), std::string::npos);
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

// Unused sheets go from the front of the list; one found again moves to
// its end.
TEST_F(SheetFiles, LoadedSheetsKeepTheRecentlyUsed) {
  StyleSheetList* list = GetEngine()->styleSheets.get();
  ASSERT_NE(list, nullptr);
  std::vector<std::string> paths;
  for (int i = 0; i < 8; ++i) {
    std::string name = "s" + std::to_string(i) + ".ssh";
    paths.push_back(Write(name.c_str(), std::string(kHead) + "<STYLESHEET NAME=S" +
                                            std::to_string(i) + "></STYLESHEET>"));
  }
  auto names = [&] {
    std::string all;
    for (OwnedNode* n = list->First(); n; n = n->Next())
      all += std::string(static_cast<StyleSheet*>(n)->Name()) + " ";
    return all;
  };
  QsHandle kept = QsOpenStyleSheet(paths[0].c_str(), nullptr, nullptr, 0);  // stays in use
  for (int i = 1; i < 5; ++i) QsReleaseHandle(QsOpenStyleSheet(paths[i].c_str(), nullptr, nullptr, 0));
  EXPECT_EQ(names(), "S0 S1 S2 S3 S4 ");
  QsReleaseHandle(QsOpenStyleSheet(paths[1].c_str(), nullptr, nullptr, 0));  // used again
  EXPECT_EQ(names(), "S0 S2 S3 S4 S1 ");
  QsReleaseHandle(QsOpenStyleSheet(paths[5].c_str(), nullptr, nullptr, 0));
  EXPECT_EQ(names(), "S0 S3 S4 S1 S5 ");  // S0 is in use: S2 went
  QsReleaseHandle(kept);
  QsReleaseHandle(QsOpenStyleSheet(paths[6].c_str(), nullptr, nullptr, 0));
  EXPECT_EQ(names(), "S3 S4 S1 S5 S6 ");
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

// Creating a sheet where a loaded one was read gives the new, empty one.
TEST_F(SheetFiles, CreatingOverALoadedSheetReadsItAgain) {
  std::string path = Write("c.ssh", std::string(kHead) +
                                        "<STYLESHEET NAME=Old><STYLE TAG=P><FONT-SIZE V=9>"
                                        "</STYLE></STYLESHEET>");
  QsHandle old = QsOpenStyleSheet(path.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(old, 0u);
  auto* sheet = static_cast<StyleSheet*>(Handles()->LookupStyleSheet(old));
  ASSERT_NE(sheet->FindTag("P"), nullptr);
  QsHandle fresh = QsCreateStyleSheet(path.c_str(), nullptr, "New");
  EXPECT_EQ(fresh, old);
  EXPECT_STREQ(sheet->Name(), "New");
  EXPECT_EQ(sheet->FindTag("P"), nullptr);
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

struct Blocks {
  std::vector<std::string> parts;
  std::size_t next = 0;
};
const char* NextBlock(QsWord data, std::int32_t* length, std::int32_t* more) {
  auto* blocks = reinterpret_cast<Blocks*>(data);
  if (blocks->next >= blocks->parts.size()) return nullptr;
  const std::string& part = blocks->parts[blocks->next++];
  *length = static_cast<std::int32_t>(part.size());
  if (blocks->next == blocks->parts.size()) *more = 0;
  return part.data();
}

// Texts handed over block by block; generated names of their own kind.
TEST_F(SheetFiles, ProcedureTexts) {
  Blocks sheet{{kHead, "<STYLESHEET NAME=Proc><STYLE TAG=P>", "<FONT-SIZE V=11></STYLE></STYLESHEET>"}};
  QsHandle s = QsOpenStyleSheetProc(NextBlock, reinterpret_cast<QsWord>(&sheet), nullptr, nullptr,
                                    Count, reinterpret_cast<QsWord>(&log_));
  ASSERT_NE(s, 0u);
  EXPECT_TRUE(log_.empty());
  auto* loaded = static_cast<StyleSheet*>(Handles()->LookupStyleSheet(s));
  EXPECT_STREQ(loaded->Name(), "Proc");
  EXPECT_EQ(loaded->FindTag("P")->First()->fontSize, 11);
  EXPECT_EQ(std::string(QsGetSystemId(s)).rfind("QV-PROC:\\SSH", 0), 0u);
  Blocks nav{{"<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">",
              "<TOC-DEF NAME=P><TOC BODY=SEC TITLE=T></TOC-DEF>"}};
  QsHandle n = QsOpenNavigatorProc(NextBlock, reinterpret_cast<QsWord>(&nav), nullptr, nullptr,
                                   Count, reinterpret_cast<QsWord>(&log_));
  ASSERT_NE(n, 0u);
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(std::string(QsGetSystemId(n)).rfind("QV-PROC:\\NAV", 0), 0u);
  EXPECT_STREQ(static_cast<NavigatorDef*>(Handles()->LookupNavigator(n))->Name(), "P");
  // An empty text is no sheet.
  Blocks none;
  EXPECT_EQ(QsOpenStyleSheetProc(NextBlock, reinterpret_cast<QsWord>(&none), nullptr, nullptr,
                                 nullptr, 0),
            0u);
}

}  // namespace
}  // namespace qs
