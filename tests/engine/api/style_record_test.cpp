// A sheet editor's exports through the library as a host binds them:
// style records, rules read and stored through them, the rule an element
// gets, a sheet's tags, qualifiers, margins, label and icons.
#include <cstring>
#include <string>
#include <vector>

#include "engine_dll.h"

namespace qs::test {
namespace {

constexpr char kSheetHead[] =
    "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\" [\n"
    "<!NOTATION BMP SYSTEM \"bmp\">\n"
    "<!ATTLIST #NOTATION BMP SSHTYPE CDATA #IMPLIED MASK CDATA #IMPLIED>\n"
    "<!ENTITY warnMask SYSTEM \"warnmask.bmp\" NDATA BMP>\n"
    "<!ENTITY warn SYSTEM \"warn.bmp\" NDATA BMP [SSHTYPE=ICON MASK=warnMask]>\n"
    "<!ENTITY note SYSTEM \"note.bmp\" NDATA BMP [SSHTYPE=ICON]>\n]>\n";

constexpr char kSheetBody[] =
    "<STYLESHEET VERSION=\"2.00\">"
    "<SHEET><MARGINS LEFT=\"1\" TOP=\"2\" RIGHT=\"3.5\" BOTTOM=\"4%\"></SHEET>"
    "<STYLE TAG=TITLE><FONT-SIZE V=14></STYLE>"
    "<STYLE TAG=\"SECTION,TITLE\" OCCUR=First><FONT-WEIGHT V=Bold></STYLE>"
    "<STYLE TAG=P><FONT-SIZE V=10><SPC-LEFT V=\"+=5\">"
    "<QUAL-STYLE QUAL=\"[TYPE]='warn'\"><FONT-COLOR V=red><A-TEXT V=\"Warning: \"></QUAL-STYLE>"
    "<QUAL-STYLE QUAL=\"[TYPE]='none'\"><FONT-SIZE V=30></QUAL-STYLE></STYLE>"
    "<STYLE TAG=FIG><JUSTIFY V=Center></STYLE>"
    "<STYLE TAG=\"SECTION,#GIF\"><ICON V=warn></STYLE>"
    "</STYLESHEET>";

constexpr char kDocument[] =
    "<!DOCTYPE DOC [\n"
    "<!ELEMENT DOC - - (SECTION+)>\n"
    "<!ELEMENT SECTION - - (TITLE, (P|FIG)*)>\n"
    "<!ELEMENT TITLE - - (#PCDATA)>\n"
    "<!ELEMENT P - - (#PCDATA)>\n<!ATTLIST P TYPE CDATA #IMPLIED>\n"
    "<!ELEMENT FIG - O EMPTY>\n<!ATTLIST FIG F ENTITY #REQUIRED>\n"
    "<!NOTATION GIF SYSTEM>\n"
    "<!ENTITY pic SYSTEM \"pic.gif\" NDATA GIF>\n"
    "<!ENTITY other SYSTEM \"other.gif\" NDATA GIF>\n]>\n"
    "<DOC><SECTION><TITLE>One</TITLE><P TYPE=warn>Hot</P><P>Plain</P><FIG F=pic></SECTION>"
    "</DOC>\n";

class StyleRecordsThroughDll : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder(
        (std::string("qsrecords-") + testing::UnitTest::GetInstance()->current_test_info()->name())
            .c_str());
    std::string home = SourceHome();
    std::string catalog = home + "catalog\\catalog";
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Records",
                                    catalog.c_str(), nullptr, nullptr, dir_.c_str(), home.c_str()),
              0);
    std::string sheet = Write("records.ssh", std::string(kSheetHead) + kSheetBody);
    sheet_ = QS_BIND(QsOpenStyleSheet)(sheet.c_str(), nullptr, nullptr, 0);
    ASSERT_NE(sheet_, 0u);
    std::string doc = Write("records.sgm", kDocument);
    doc_ = QS_BIND(QsParseDocument)(doc.c_str(), nullptr, 0, nullptr, 0);
    ASSERT_NE(doc_, 0u);
    std::memset(record_, 0, sizeof record_);
  }
  void TearDown() override {
    if (module_) {
      QS_BIND(QsFreeStyleRecord)(record_);
      QS_BIND(QsTerminate)();
    }
    EngineDll::TearDown();
  }

  // The node of the element reached by child steps from the root: each
  // number is the index among the element children.
  QsHandle Node(std::initializer_list<int> path) {
    QsHandle node = QS_BIND(QsGetDocumentRoot)(doc_);
    for (int index : path) {
      EXPECT_EQ(QS_BIND(QsGotoFirstChild)(node), 1);
      for (int i = 0; i < index; ++i) EXPECT_EQ(QS_BIND(QsGotoNextSibling)(node), 1);
    }
    return node;
  }
  std::string Text(int row, int column) {
    const char* text = QS_BIND(QsGetStyleRecordText)(record_, row, column);
    return text ? text : "(null)";
  }
  static std::intptr_t Collect(const char* text, QsWord data) {
    reinterpret_cast<std::vector<std::string>*>(data)->push_back(text);
    return 0;
  }
  std::vector<std::string> Tags() {
    std::vector<std::string> tags;
    QS_BIND(QsEnumStyleTags)(sheet_, Collect, reinterpret_cast<QsWord>(&tags));
    return tags;
  }
  std::vector<std::string> Qualifiers(const char* tag) {
    std::vector<std::string> quals;
    QS_BIND(QsEnumQualifiers)(sheet_, tag, 0, Collect, reinterpret_cast<QsWord>(&quals));
    return quals;
  }
  static bool Has(const std::vector<std::string>& list, const char* text) {
    for (const std::string& s : list)
      if (s == text) return true;
    return false;
  }

  QsHandle sheet_ = 0, doc_ = 0;
  char* record_[99];
};

TEST_F(StyleRecordsThroughDll, AClearedRecordShowsTheDefaultTexts) {
  auto clear = QS_BIND(QsClearStyleRecord);
  auto empty = QS_BIND(QsIsStyleRecordEmpty);
  auto set = QS_BIND(QsSetStyleRecordText);
  char* stray[99];
  for (char*& p : stray) p = reinterpret_cast<char*>(1);  // cleared, never freed
  clear(stray);
  EXPECT_EQ(empty(stray), 1);
  struct {
    int column;
    const char* text;
  } defaults[] = {{0, "Inherit"}, {1, "None"}, {3, "0"}, {5, "Block"}, {25, "No"}, {27, "No"}};
  for (int row = 0; row < 3; ++row) {
    for (const auto& d : defaults) {
      EXPECT_EQ(Text(row, d.column), d.text) << row << " " << d.column;
      EXPECT_STREQ(QS_BIND(QsGetStyleDefaultText)(row, d.column), d.text);
    }
  }
  // Outside the record: nothing given, nothing stored.
  EXPECT_EQ(QS_BIND(QsGetStyleRecordText)(record_, 1, 33), nullptr);
  EXPECT_EQ(QS_BIND(QsGetStyleRecordText)(record_, 3, 0), nullptr);
  EXPECT_EQ(QS_BIND(QsGetStyleRecordText)(record_, -1, 0), nullptr);
  EXPECT_EQ(QS_BIND(QsGetStyleDefaultText)(3, 0), nullptr);
  EXPECT_EQ(QS_BIND(QsGetStyleDefaultText)(0, 33), nullptr);
  EXPECT_EQ(set(record_, 1, 33, "Bold"), 0);
  EXPECT_EQ(set(record_, 3, 9, "Bold"), 0);
  EXPECT_EQ(set(record_, 1, -1, "Bold"), 0);
  EXPECT_EQ(empty(record_), 1);
  // Each column checks its text; the empty text and "" store none.
  EXPECT_EQ(set(record_, 1, 9, "Bold"), 1);
  EXPECT_EQ(Text(1, 9), "Bold");
  EXPECT_EQ(set(record_, 1, 9, "Heavy"), 0);
  EXPECT_EQ(Text(1, 9), "Bold");
  EXPECT_EQ(set(record_, 1, 7, "300"), 0);
  EXPECT_EQ(set(record_, 1, 18, "+=9000"), 0);
  EXPECT_EQ(set(record_, 1, 18, "5px"), 0);
  EXPECT_EQ(set(record_, 1, 18, "-3"), 1);
  EXPECT_EQ(set(record_, 0, 27, "255"), 0);
  EXPECT_EQ(Text(0, 27), "No");
  EXPECT_EQ(set(record_, 1, 9, "inherit"), 1);
  EXPECT_EQ(Text(1, 9), "Inherit");
  EXPECT_EQ(set(record_, 1, 18, ""), 1);
  EXPECT_EQ(empty(record_), 1);
  EXPECT_EQ(set(record_, 2, 2, "Note"), 1);
  EXPECT_EQ(empty(record_), 0);
  QS_BIND(QsFreeStyleRecord)(record_);
  EXPECT_EQ(empty(record_), 1);
}

TEST_F(StyleRecordsThroughDll, RulesThroughRecords) {
  auto get = QS_BIND(QsGetStyleRule);
  auto setRule = QS_BIND(QsSetStyleRule);
  auto set = QS_BIND(QsSetStyleRecordText);
  ASSERT_EQ(get(sheet_, "P", 0, nullptr, record_), 1);
  EXPECT_EQ(Text(1, 7), "10");
  EXPECT_EQ(Text(1, 18), "+=5");
  EXPECT_EQ(Text(1, 5), "Inline");  // a rule read from a file starts without breaks
  ASSERT_EQ(get(sheet_, "P", 0, "[TYPE]='warn'", record_), 1);
  EXPECT_EQ(Text(1, 10), "red");
  EXPECT_EQ(Text(0, 2), "Warning: ");
  EXPECT_EQ(Text(1, 7), "Inherit");
  EXPECT_EQ(get(sheet_, "P", 0, "[TYPE]='x'", record_), 0);
  EXPECT_EQ(QS_BIND(QsIsStyleRecordEmpty)(record_), 1);
  EXPECT_EQ(get(sheet_, "P", 1, nullptr, record_), 0);
  EXPECT_EQ(get(sheet_, "SECTION,TITLE", 1, nullptr, record_), 1);
  EXPECT_EQ(Text(1, 9), "Bold");

  // A new rule, and an existing one changed.
  QS_BIND(QsFreeStyleRecord)(record_);
  ASSERT_EQ(set(record_, 1, 9, "Bold"), 1);
  ASSERT_EQ(set(record_, 1, 19, "-=4"), 1);
  EXPECT_EQ(setRule(sheet_, "DOC,SECTION,P", 6, nullptr, record_), 1);
  EXPECT_EQ(setRule(sheet_, "DOC,SECTION,P", 7, nullptr, record_), 0);
  EXPECT_EQ(setRule(sheet_, "DOC,SECTION,P", -1, nullptr, record_), 0);
  ASSERT_EQ(setRule(sheet_, "TITLE", 0, nullptr, record_), 1);
  QS_BIND(QsFreeStyleRecord)(record_);
  ASSERT_EQ(get(sheet_, "DOC,SECTION,P", 6, nullptr, record_), 1);
  EXPECT_EQ(Text(1, 19), "-=4");
  ASSERT_EQ(get(sheet_, "TITLE", 0, nullptr, record_), 1);
  EXPECT_EQ(Text(1, 7), "Inherit");  // every property comes from the record
  EXPECT_EQ(Text(1, 9), "Bold");
  std::vector<std::string> tags = Tags();
  EXPECT_TRUE(Has(tags, "A:TITLE"));
  EXPECT_TRUE(Has(tags, "F:SECTION,TITLE"));
  EXPECT_TRUE(Has(tags, "l:DOC,SECTION,P"));
  EXPECT_TRUE(Has(tags, "A:SECTION,#GIF"));

  // A qualified style stored through a record, and one that does not
  // compile stores nothing.
  EXPECT_EQ(setRule(sheet_, "P", 0, "[TYPE]='hot'", record_), 1);
  EXPECT_EQ(Qualifiers("P"), (std::vector<std::string>{"[TYPE]='warn'", "[TYPE]='none'",
                                                       "[TYPE]='hot'"}));
  EXPECT_EQ(setRule(sheet_, "Q", 0, "(", record_), 0);
  EXPECT_FALSE(Has(Tags(), "A:Q"));

  // Empty records: a rule without qualified styles goes, one with them is
  // cleared, a qualified style goes; nothing to remove gives 0.
  QS_BIND(QsFreeStyleRecord)(record_);
  EXPECT_EQ(setRule(sheet_, "TITLE", 0, nullptr, record_), 1);
  EXPECT_FALSE(Has(Tags(), "A:TITLE"));
  EXPECT_EQ(get(sheet_, "TITLE", 0, nullptr, record_), 0);
  EXPECT_EQ(setRule(sheet_, "TITLE", 0, nullptr, record_), 0);
  EXPECT_EQ(setRule(sheet_, "P", 0, nullptr, record_), 1);
  EXPECT_TRUE(Has(Tags(), "A:P"));
  ASSERT_EQ(get(sheet_, "P", 0, nullptr, record_), 1);
  EXPECT_EQ(Text(1, 7), "Inherit");
  EXPECT_EQ(Text(1, 18), "Inherit");
  QS_BIND(QsFreeStyleRecord)(record_);
  EXPECT_EQ(setRule(sheet_, "P", 0, "[TYPE]='none'", record_), 1);
  EXPECT_EQ(Qualifiers("P"), (std::vector<std::string>{"[TYPE]='warn'", "[TYPE]='hot'"}));
}

TEST_F(StyleRecordsThroughDll, TheRuleOfAnElement) {
  char buffer[64];
  std::int32_t occurrence = -1;
  auto nodeStyle = QS_BIND(QsGetNodeStyle);
  QsHandle title = Node({0, 0});
  ASSERT_EQ(nodeStyle(sheet_, title, buffer, sizeof buffer, &occurrence), buffer);
  EXPECT_STREQ(buffer, "SECTION,TITLE");
  EXPECT_EQ(occurrence, 1);
  QsHandle section = Node({0});
  occurrence = -1;
  ASSERT_EQ(nodeStyle(sheet_, section, buffer, sizeof buffer, &occurrence), buffer);
  EXPECT_STREQ(buffer, "SECTION");
  EXPECT_EQ(occurrence, 0);
  // Cut to the buffer; a buffer without room gets nothing.
  ASSERT_EQ(nodeStyle(sheet_, title, buffer, 5, &occurrence), buffer);
  EXPECT_STREQ(buffer, "SECT");
  std::strcpy(buffer, "kept");
  EXPECT_EQ(nodeStyle(sheet_, title, buffer, 0, &occurrence), nullptr);
  EXPECT_EQ(nodeStyle(sheet_, title, buffer, -1, &occurrence), nullptr);
  EXPECT_STREQ(buffer, "kept");
  EXPECT_EQ(nodeStyle(sheet_ + 1000, title, buffer, sizeof buffer, &occurrence), nullptr);

  // With an entity not the element's own: the rule keyed by its
  // notation, else "#" and the notation.
  auto tagList = QS_BIND(QsGetRuleTagList);
  QsHandle pic = QS_BIND(QsGetDocEntity)(doc_, "pic");
  QsHandle other = QS_BIND(QsGetDocEntity)(doc_, "other");
  ASSERT_NE(pic, 0u);
  QsHandle fig = Node({0, 3});
  ASSERT_EQ(tagList(sheet_, section, other, buffer, sizeof buffer, &occurrence), buffer);
  EXPECT_STREQ(buffer, "SECTION,#GIF");
  QsHandle root = QS_BIND(QsGetDocumentRoot)(doc_);
  ASSERT_EQ(tagList(sheet_, root, other, buffer, sizeof buffer, &occurrence), buffer);
  EXPECT_STREQ(buffer, "#GIF");
  EXPECT_EQ(occurrence, 0);
  EXPECT_EQ(tagList(sheet_, root, sheet_, buffer, sizeof buffer, &occurrence), nullptr);

  // The effective style: the rule with the qualified styles that hold.
  auto fill = QS_BIND(QsFillNodeStyleRecord);
  QsHandle warn = Node({0, 1});
  ASSERT_EQ(fill(sheet_, warn, 0, record_), 1);
  EXPECT_EQ(Text(1, 7), "10");
  EXPECT_EQ(Text(1, 10), "red");
  EXPECT_EQ(Text(0, 2), "Warning: ");
  QsHandle plain = Node({0, 2});
  ASSERT_EQ(fill(sheet_, plain, 0, record_), 1);
  EXPECT_EQ(Text(1, 7), "10");
  EXPECT_EQ(Text(1, 10), "Inherit");
  EXPECT_EQ(Text(0, 2), "None");
  EXPECT_EQ(fill(sheet_, fig, pic, record_), 1);
  EXPECT_EQ(Text(1, 4), "Center");
  EXPECT_EQ(fill(sheet_, fig, section, record_), 0);
  // The rule itself is unchanged by the merge.
  ASSERT_EQ(QS_BIND(QsGetStyleRule)(sheet_, "P", 0, nullptr, record_), 1);
  EXPECT_EQ(Text(1, 10), "Inherit");
  for (QsHandle h : {title, section, pic, other, fig, root, warn, plain})
    QS_BIND(QsReleaseHandle)(h);
}

TEST_F(StyleRecordsThroughDll, MarginsLabelAndIcons) {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  ASSERT_EQ(QS_BIND(QsGetSheetMargins)(sheet_, &left, &top, &right, &bottom), 1);
  EXPECT_EQ(left, 100);
  EXPECT_EQ(top, 200);
  EXPECT_EQ(right, 350);
  EXPECT_EQ(bottom, -400);
  ASSERT_EQ(QS_BIND(QsSetSheetMargins)(sheet_, 5, -6, 7, -31000), 1);
  EXPECT_EQ(QS_BIND(QsGetSheetMargins)(sheet_, &left, nullptr, nullptr, &bottom), 1);
  EXPECT_EQ(left, 5);
  EXPECT_EQ(bottom, -31000);
  EXPECT_EQ(QS_BIND(QsGetSheetMargins)(sheet_, nullptr, &top, &right, nullptr), 1);
  EXPECT_EQ(top, -6);
  EXPECT_EQ(right, 7);
  EXPECT_EQ(QS_BIND(QsGetSheetMargins)(doc_, &left, &top, &right, &bottom), 0);

  char label[32];
  auto getLabel = QS_BIND(QsGetSheetBgLabel);
  EXPECT_EQ(getLabel(sheet_, label, sizeof label), nullptr);
  ASSERT_EQ(QS_BIND(QsSetSheetBgLabel)(sheet_, "DRAFT \"copy\""), 1);
  ASSERT_EQ(getLabel(sheet_, label, sizeof label), label);
  EXPECT_STREQ(label, "DRAFT \"copy\"");
  ASSERT_EQ(getLabel(sheet_, label, 4), label);
  EXPECT_STREQ(label, "DRA");
  EXPECT_EQ(getLabel(sheet_, label, 0), nullptr);
  EXPECT_STREQ(label, "DRA");
  // Saved and read again, margins and label come back.
  ASSERT_EQ(QS_BIND(QsSaveStyleSheet)(sheet_), 1);
  ASSERT_EQ(QS_BIND(QsReloadStyleSheet)(sheet_), 1);
  ASSERT_EQ(getLabel(sheet_, label, sizeof label), label);
  EXPECT_STREQ(label, "DRAFT \"copy\"");
  ASSERT_EQ(QS_BIND(QsGetSheetMargins)(sheet_, &left, &top, &right, &bottom), 1);
  EXPECT_EQ(left, 5);
  EXPECT_EQ(top, -6);
  EXPECT_EQ(right, 7);
  EXPECT_EQ(bottom, -31000);
  ASSERT_EQ(QS_BIND(QsSetSheetBgLabel)(sheet_, nullptr), 1);
  EXPECT_EQ(getLabel(sheet_, label, sizeof label), nullptr);

  auto type = QS_BIND(QsGetHandleType);
  QsHandle icon = QS_BIND(QsGetSheetIcon)(sheet_, "WARN");
  QsHandle mask = QS_BIND(QsGetSheetWidget)(sheet_, "warn");
  ASSERT_NE(icon, 0u);
  ASSERT_NE(mask, 0u);
  EXPECT_EQ(type(icon), 8u);  // HENT
  EXPECT_STREQ(QS_BIND(QsGetEntityValueA)(icon), "warn");
  EXPECT_STREQ(QS_BIND(QsGetEntityValueA)(mask), "warnMask");
  EXPECT_EQ(QS_BIND(QsGetSheetWidget)(sheet_, "note"), 0u);
  EXPECT_EQ(QS_BIND(QsGetSheetIcon)(sheet_, "missing"), 0u);
  QsHandle notation = QS_BIND(QsGetSheetNotation)(sheet_, "bmp");
  ASSERT_NE(notation, 0u);
  EXPECT_EQ(type(notation), 9u);  // HNOT
  EXPECT_STREQ(QS_BIND(QsGetNotationName)(notation), "BMP");
  EXPECT_EQ(QS_BIND(QsGetSheetNotation)(sheet_, "GIF"), 0u);
  struct Walk {
    decltype(&::QsGetEntityValueA) entityName;
    std::vector<std::string> names;
  } walk{QS_BIND(QsGetEntityValueA), {}};
  auto visit = [](QsHandle entity, QsWord data) -> std::intptr_t {
    auto* w = reinterpret_cast<Walk*>(data);
    const char* n = w->entityName(entity);
    w->names.push_back(n ? n : "");
    return w->names.size() == 5 ? 7 : 0;
  };
  EXPECT_EQ(QS_BIND(QsGetSheetEntity)(sheet_, visit, reinterpret_cast<QsWord>(&walk)), 0);
  ASSERT_EQ(walk.names.size(), 2u);
  EXPECT_TRUE((walk.names[0] == "warn" && walk.names[1] == "note") ||
              (walk.names[0] == "note" && walk.names[1] == "warn"));
  for (QsHandle h : {icon, mask, notation}) QS_BIND(QsReleaseHandle)(h);
}

}  // namespace
}  // namespace qs::test
