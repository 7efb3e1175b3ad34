// Styles as the text records a sheet editor edits: the check of each slot's
// text, the conversions both ways, and every rule of the sample sheets
// through a record and back.
#include "style/style_record.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "api/exports.h"
#include "api/interface.h"
#include "foundation/handle_table.h"
#include "foundation/memory.h"
#include "recording_sink.h"
#include "sgml/model_names.h"
#include "style/style_rules.h"
#include "style/style_sheet.h"

namespace qs {
namespace {

struct Record {
  Record() { std::memset(slots, 0, sizeof slots); }
  ~Record() { FreeStyleRecord(slots); }
  const char* At(int row, int column) const { return slots[row * kStyleRecordColumns + column]; }
  void Set(int row, int column, const char* text) {
    ASSERT_TRUE(SetStyleRecordSlot(slots, row, column, text));
  }
  std::string Show(int row, int column) const {
    const char* t = At(row, column);
    return t ? std::string("\"") + t + "\"" : "none";
  }
  char* slots[kStyleRecordSlots];
};

class StyleRecords : public testing::Test {
 protected:
  void SetUp() override {
    const char* source = std::getenv("QS_SOURCE_DIR");
    source_ = source ? source : ".";
    std::string home = source_ + "/samples/home/";
    std::string catalog = home + "catalog/catalog";
    ASSERT_NE(QsInitialize(0, "test", catalog.c_str(), nullptr, nullptr, nullptr, home.c_str()), 0);
  }
  void TearDown() override { QsTerminate(); }
  StyleSheet* OpenSheet(const std::string& path) {
    QsHandle h = QsOpenStyleSheet(path.c_str(), nullptr, nullptr, 0);
    EXPECT_NE(h, 0u) << path;
    return h ? static_cast<StyleSheet*>(Handles()->LookupStyleSheet(h)) : nullptr;
  }
  std::string source_;
  test::RecordingSink sink_;
};

// ---- Checking one slot's text -------------------------------------------------------

TEST_F(StyleRecords, SlotTextsAreCheckedByTheirColumn) {
  struct Case {
    int column;
    const char* text;
    bool valid;
    bool cleared;  // valid and turned into none
  } cases[] = {
      {kColFontFamily, "inherit", true, true},
      {kColFontFamily, "Arial", true, false},
      {kColFontSize, "12 ", true, false},
      {kColFontSize, " 12", true, false},
      {kColFontSize, "12a", false, false},
      {kColFontSize, "", false, false},
      {kColFontSize, "  ", false, false},
      {kColFontSize, "+12", false, false},
      {kColFontWeight, "Bold", true, false},
      {kColFontWeight, "bold", true, false},
      {kColFontWeight, "Heavy", false, false},
      {kColFontWeight, "INHERIT", true, true},
      // Numbers must fit the field they are stored in.
      {kColFontSize, "300", false, false},
      {kColFontSize, "255", true, false},
      {kColFontSize, "4", true, false},
      {kColFontSize, "3", false, false},
      {kColFontSize, "99999999999999", false, false},
      {kColLeading, "127", true, false},
      {kColLeading, "128", false, false},
      {kColRuler, "254", true, false},
      {kColRuler, "255", false, false},
      {kColRuler, "no", true, true},
      {kColFontScale, "65535", true, false},
      {kColFontScale, "65536", false, false},
      {kColSpcAbove, "-5", true, false},
      {kColSpcAbove, "32767", true, false},
      {kColSpcAbove, "32768", false, false},
      {kColSpcBelow, "-32768", true, false},
      {kColSpcBelow, "0", true, true},
      {kColSpcLeft, "+=5", true, false},
      {kColSpcLeft, "-3", true, false},
      {kColSpcLeft, "5px", false, false},
      {kColSpcLeft, "+=9000", false, false},
      {kColSpcLeft, "+=8191", true, false},
      {kColSpcIndent, "-=8192", true, false},
      {kColSpcIndent, "-=8193", false, false},
      {kColSpcRight, "8192", false, false},
      {kColSpcRight, "=5", false, false},
      {kColSpcRight, "+=", false, false},
      {kColFontShadow, "1 2", true, false},
      {kColFontShadow, " -7 +7 ", true, false},
      {kColFontShadow, "8 0", false, false},
      {kColFontShadow, "1", false, false},
      {kColFontShadow, "1 2 3", false, false},
      {kColFontShadow, "inherit", true, true},
      {kColIcon, "BOARDNO", true, false},
      {kColIcon, "a b", false, false},
      {kColIcon, "", false, false},
      {kColIcon, "None", true, true},
      {kColFontOffs, "3", true, false},
      {kColFontOffs, "-7", true, false},
      {kColFontOffs, "+3", false, false},
      {kColFontOffs, "8", false, false},
      {kColFontOffs, "0", true, true},
      {kColBreak, "Inline", true, false},
      {kColBreak, "block", true, true},
      {kColText, "", true, false},
      {kColPrnFF, "yes", true, false},
      {kColPrnFF, "No", true, true},
      {kColAnumbType, "roman-lw", true, false},
      {kColTable, "TBL-CALS", true, false},
      {kColTable, "TBL-X", false, false},
  };
  for (const Case& c : cases) {
    const char* text = c.text;
    EXPECT_EQ(IsValidPropertyText(c.column, &text), c.valid) << c.column << " \"" << c.text << "\"";
    if (c.valid) EXPECT_EQ(text == nullptr, c.cleared) << c.column << " \"" << c.text << "\"";
    else EXPECT_EQ(text, c.text) << "an invalid text is left alone";
  }
  const char* none = nullptr;
  EXPECT_TRUE(IsValidPropertyText(kColFontSize, &none));
  const char* any = "1";
  EXPECT_FALSE(IsValidPropertyText(33, &any));
  EXPECT_FALSE(IsValidPropertyText(-1, &any));
}

TEST_F(StyleRecords, DescriptorsAndEmptyTexts) {
  const char* expected[] = {"Inherit", "None", "None", "0", "Inherit", "Block", "Inherit",
                            "Inherit", "Inherit", "Inherit", "Inherit", "Inherit", "Inherit",
                            "Inherit", "Inherit", "None", "None", "0", "Inherit", "Inherit",
                            "Inherit", "0", "Inherit", "None", "None", "No", "None", "No",
                            "Inherit", "Inherit", "Inherit", "No", "None"};
  for (int c = 0; c < kStyleRecordColumns; ++c) {
    ASSERT_NE(GetPropertyDescriptor(c), nullptr);
    EXPECT_STREQ(GetPropertyDescriptor(c)->emptyText, expected[c]) << c;
  }
  EXPECT_EQ(GetPropertyDescriptor(33), nullptr);
  EXPECT_EQ(GetPropertyDescriptor(kColAnumbType)->count, 8);
  EXPECT_EQ(GetPropertyDescriptor(kColTable)->count, 13);
  EXPECT_EQ(GetPropertyDescriptor(kColFontOffs)->count, 15);
  EXPECT_EQ(FindValueName("through", GetPropertyDescriptor(kColLine)->names, 3), 2);
  EXPECT_EQ(FindValueName(nullptr, GetPropertyDescriptor(kColLine)->names, 3), 0);
  EXPECT_TRUE(EqualsNoCase(nullptr, ""));
  EXPECT_FALSE(EqualsNoCase(nullptr, "a"));
}

// ---- Style to text ---------------------------------------------------------------------

TEST_F(StyleRecords, StylesToText) {
  struct Case {
    const char* what;
    std::function<void(ElementStyle&)> set;
    int row, column;
    const char* text;  // null: no text
  } cases[] = {
      {"break before only", [](ElementStyle& s) { s.fontByte = StyleProps::kBreakBefore; },
       1, kColBreak, "Before"},
      {"break after only", [](ElementStyle& s) { s.fontByte = StyleProps::kBreakAfter; },
       1, kColBreak, "After"},
      {"no breaks", [](ElementStyle& s) { s.fontByte = 0; }, 1, kColBreak, "Inline"},
      {"both breaks", [](ElementStyle&) {}, 1, kColBreak, nullptr},
      {"offset +3", [](ElementStyle& s) { s.layout = 10; }, 1, kColFontOffs, "3"},
      {"offset -7", [](ElementStyle& s) { s.layout = 0; }, 1, kColFontOffs, "-7"},
      {"offset +8", [](ElementStyle& s) { s.layout = 15; }, 1, kColFontOffs, nullptr},
      {"relative -4",
       [](ElementStyle& s) { s.spaceLeft = StyleProps::MakeLength(-4, StyleProps::kRelative); },
       1, kColSpcLeft, "-=4"},
      {"absolute -4",
       [](ElementStyle& s) { s.spaceIndent = StyleProps::MakeLength(-4, StyleProps::kAbsolute); },
       1, kColSpcIndent, "-4"},
      {"relative +4",
       [](ElementStyle& s) { s.spaceRight = StyleProps::MakeLength(4, StyleProps::kRelative); },
       1, kColSpcRight, "+=4"},
      {"length of no kind", [](ElementStyle& s) { s.spaceRight = 8192; }, 1, kColSpcRight, nullptr},
      {"shadow", [](ElementStyle& s) { s.fontShadow = 0x96; }, 1, kColFontShadow, "1 -2"},
      {"size", [](ElementStyle& s) { s.fontSize = 12; }, 1, kColFontSize, "12"},
      {"space above", [](ElementStyle& s) { s.spaceAbove = -3; }, 1, kColSpcAbove, "-3"},
      {"weight", [](ElementStyle& s) { s.fontByte |= StyleProps::kWeightBold; }, 1,
       kColFontWeight, "Bold"},
      {"visible", [](ElementStyle& s) { s.layout |= StyleProps::kVisibleQuery; }, 1, kColVisible,
       "Query"},
      {"line", [](ElementStyle& s) { s.linkByte = 0x20; }, 1, kColLine, "Through"},
      {"form feed", [](ElementStyle& s) { s.printByte = StyleProps::kPrnFormFeed | 9; }, 1,
       kColPrnFF, "Yes"},
      {"print type", [](ElementStyle& s) { s.printByte = 9; }, 1, kColPrnType, "HEAD-1"},
      {"change bar", [](ElementStyle& s) { s.fontByte |= StyleProps::kChangeBar; }, 1,
       kColChangeBar, "Yes"},
      {"family", [](ElementStyle& s) { s.SetFontFamily("Arial"); }, 1, kColFontFamily, "Arial"},
      {"page colour", [](ElementStyle& s) { s.SetPageColor("NAVY"); }, 1, kColPageColor, "NAVY"},
      {"table", [](ElementStyle& s) { s.table = 13; }, 1, kColTable, "SQ-TBLCELL"},
      {"math", [](ElementStyle& s) { s.math = 4; }, 1, kColMath, "Superior"},
      {"numbering", [](ElementStyle& s) { s.numbering = 0x43; }, 1, kColAutoNumb, "HBlock"},
      {"number type", [](ElementStyle& s) { s.numbering = 0x43; }, 1, kColAnumbType, "ROMAN-LW"},
      {"arabic", [](ElementStyle& s) { s.numbering = 0x01; }, 1, kColAnumbType, nullptr},
      {"block text", [](ElementStyle& s) { s.EnsureAfter()->SetText("Note\\n;Caution"); }, 2,
       kColText, "Note\\n;Caution"},
      {"block ruler", [](ElementStyle& s) { s.EnsureBefore()->ruler = 255; }, 0, kColRuler, "254"},
      {"block breaks", [](ElementStyle& s) { s.EnsureBefore()->fontByte = 0; }, 0, kColBreak,
       "Inline"},
      {"element breaks stay in row 1",
       [](ElementStyle& s) {
         s.fontByte = 0;
         s.EnsureBefore();
       },
       0, kColBreak, nullptr},
  };
  for (const Case& c : cases) {
    ElementStyle style;
    c.set(style);
    Record record;
    StyleProps::ToText(style, record.slots);
    EXPECT_EQ(record.Show(c.row, c.column), c.text ? std::string("\"") + c.text + "\"" : "none")
        << c.what;
  }
}

// ---- Text to style ---------------------------------------------------------------------

TEST_F(StyleRecords, TextToStyles) {
  struct Case {
    const char* what;
    int row, column;
    const char* text;
    std::function<void(const ElementStyle&)> check;
  } cases[] = {
      {"Inline clears both breaks", 1, kColBreak, "Inline",
       [](const ElementStyle& s) { EXPECT_EQ(s.fontByte & 0x30, 0); }},
      {"Before", 1, kColBreak, "before",
       [](const ElementStyle& s) { EXPECT_EQ(s.fontByte & 0x30, StyleProps::kBreakBefore); }},
      {"none is a block", 1, kColBreak, nullptr,
       [](const ElementStyle& s) { EXPECT_EQ(s.fontByte & 0x30, 0x30); }},
      {"another text is a block", 1, kColBreak, "Sideways",
       [](const ElementStyle& s) { EXPECT_EQ(s.fontByte & 0x30, 0x30); }},
      {"offset 3", 1, kColFontOffs, "3", [](const ElementStyle& s) { EXPECT_EQ(s.layout & 15, 10); }},
      {"offset unknown", 1, kColFontOffs, "9",
       [](const ElementStyle& s) { EXPECT_EQ(s.layout & 15, 7); }},
      {"-4 is absolute", 1, kColSpcLeft, "-4",
       [](const ElementStyle& s) {
         EXPECT_EQ(s.spaceLeft, StyleProps::MakeLength(-4, StyleProps::kAbsolute));
       }},
      {"+=4 is relative", 1, kColSpcLeft, "+=4",
       [](const ElementStyle& s) {
         EXPECT_EQ(s.spaceLeft, StyleProps::MakeLength(4, StyleProps::kRelative));
       }},
      {"-=4 is relative", 1, kColSpcIndent, "-=4",
       [](const ElementStyle& s) {
         EXPECT_EQ(s.spaceIndent, StyleProps::MakeLength(-4, StyleProps::kRelative));
       }},
      {"+4 is absolute", 1, kColSpcRight, "+4",
       [](const ElementStyle& s) {
         EXPECT_EQ(s.spaceRight, StyleProps::MakeLength(4, StyleProps::kAbsolute));
       }},
      // Records from other hosts are not checked: numbers are clamped to
      // their fields, never cut into them.
      {"size 300", 1, kColFontSize, "300", [](const ElementStyle& s) { EXPECT_EQ(s.fontSize, 255); }},
      {"size 2", 1, kColFontSize, "2", [](const ElementStyle& s) { EXPECT_EQ(s.fontSize, 4); }},
      {"size none", 1, kColFontSize, nullptr, [](const ElementStyle& s) { EXPECT_EQ(s.fontSize, 0); }},
      {"leading 300", 1, kColLeading, "300", [](const ElementStyle& s) { EXPECT_EQ(s.leading, 127); }},
      {"scale 70000", 1, kColFontScale, "70000",
       [](const ElementStyle& s) { EXPECT_EQ(s.fontScale, 65535); }},
      {"space above -40000", 1, kColSpcAbove, "-40000",
       [](const ElementStyle& s) { EXPECT_EQ(s.spaceAbove, -32768); }},
      {"+=9000", 1, kColSpcLeft, "+=9000",
       [](const ElementStyle& s) {
         EXPECT_EQ(s.spaceLeft, StyleProps::MakeLength(8191, StyleProps::kRelative));
       }},
      {"-=9000", 1, kColSpcLeft, "-=9000",
       [](const ElementStyle& s) {
         EXPECT_EQ(s.spaceLeft, StyleProps::MakeLength(-8192, StyleProps::kRelative));
       }},
      {"ruler 999", 0, kColRuler, "999",
       [](const ElementStyle& s) {
         ASSERT_NE(s.before, nullptr);
         EXPECT_EQ(s.before->ruler, 255);
       }},
      {"ruler 0", 2, kColRuler, "0",
       [](const ElementStyle& s) {
         ASSERT_NE(s.after, nullptr);
         EXPECT_EQ(s.after->ruler, 1);
       }},
      {"shadow", 1, kColFontShadow, "-1 2", [](const ElementStyle& s) { EXPECT_EQ(s.fontShadow, 0x7A); }},
      {"bad shadow", 1, kColFontShadow, "9 2", [](const ElementStyle& s) { EXPECT_EQ(s.fontShadow, 0); }},
      {"form feed", 1, kColPrnFF, "YES",
       [](const ElementStyle& s) { EXPECT_EQ(s.printByte, StyleProps::kPrnFormFeed); }},
      {"change bar", 1, kColChangeBar, "yes",
       [](const ElementStyle& s) { EXPECT_TRUE(s.fontByte & StyleProps::kChangeBar); }},
      {"number type alone", 1, kColAnumbType, "ALPHA-UP",
       [](const ElementStyle& s) { EXPECT_EQ(s.numbering, 0x10); }},
      {"table role", 1, kColTable, "row", [](const ElementStyle& s) { EXPECT_EQ(s.table, 4); }},
      {"link target", 1, kColLinkDst, "Suppress",
       [](const ElementStyle& s) { EXPECT_EQ(s.linkByte, 0x08); }},
      {"row 0's break is the before block's", 0, kColBreak, "After",
       [](const ElementStyle& s) {
         EXPECT_EQ(s.fontByte & 0x30, 0x30);
         ASSERT_NE(s.before, nullptr);
         EXPECT_EQ(s.before->fontByte & 0x30, StyleProps::kBreakAfter);
         EXPECT_EQ(s.after, nullptr);
       }},
      {"block text lines", 2, kColText, "Note\\n;Caution",
       [](const ElementStyle& s) {
         ASSERT_NE(s.after, nullptr);
         ASSERT_NE(s.after->FirstLine(), nullptr);
         EXPECT_STREQ(NameText(s.after->FirstLine()->text), "Note");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Record record;
    record.Set(c.row, c.column, c.text);
    ElementStyle style;
    style.FromText(record.slots);
    c.check(style);
  }
}

TEST_F(StyleRecords, AnEmptyRowRemovesItsBlockAndUnsetSlotsClear) {
  ElementStyle style;
  style.EnsureBefore()->SetText("x");
  style.EnsureAfter()->SetText("y");
  style.SetFontColor("red");
  style.fontSize = 9;
  Record record;
  record.Set(2, kColText, "z");
  style.FromText(record.slots);
  EXPECT_EQ(style.before, nullptr);
  ASSERT_NE(style.after, nullptr);
  EXPECT_STREQ(NameText(style.after->FirstLine()->text), "z");
  EXPECT_EQ(style.fontColor, nullptr);
  EXPECT_EQ(style.fontSize, 0);
  EXPECT_TRUE(IsStyleRecordRowEmpty(record.slots, 0));
  EXPECT_FALSE(IsStyleRecordRowEmpty(record.slots, 2));
}

TEST_F(StyleRecords, LengthCodes) {
  char text[16];
  struct {
    const char* in;
    std::uint16_t code;
    const char* out;
  } cases[] = {
      {nullptr, 0, ""},
      {"12", StyleProps::MakeLength(12, StyleProps::kAbsolute), "12"},
      {" -=7", StyleProps::MakeLength(-7, StyleProps::kRelative), "-=7"},
      {"+=0", StyleProps::MakeLength(0, StyleProps::kRelative), "+=0"},
      {"-8192", StyleProps::MakeLength(-8192, StyleProps::kAbsolute), "-8192"},
      {"99999999999", StyleProps::MakeLength(8191, StyleProps::kAbsolute), "8191"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseLengthCode(c.in), c.code) << (c.in ? c.in : "none");
    FormatLengthCode(c.code, text);
    EXPECT_STREQ(text, c.out);
  }
}

// ---- The sample sheets through records ---------------------------------------------------

void ExpectSameProps(const StyleProps& a, const StyleProps& b, const std::string& where) {
  EXPECT_EQ(a.icon, b.icon) << where;
  EXPECT_EQ(a.fontFamily, b.fontFamily) << where;
  EXPECT_EQ(a.fontColor, b.fontColor) << where;
  EXPECT_EQ(a.shadowColor, b.shadowColor) << where;
  EXPECT_EQ(a.widget, b.widget) << where;
  EXPECT_EQ(a.fontScale, b.fontScale) << where;
  EXPECT_EQ(a.layout, b.layout) << where;
  EXPECT_EQ(a.fontSize, b.fontSize) << where;
  EXPECT_EQ(a.fontByte, b.fontByte) << where;
  EXPECT_EQ(a.fontShadow, b.fontShadow) << where;
  EXPECT_EQ(a.leading, b.leading) << where;
  EXPECT_EQ(a.printByte, b.printByte) << where;
  EXPECT_EQ(a.linkByte, b.linkByte) << where;
  EXPECT_EQ(a.spaceAbove, b.spaceAbove) << where;
  EXPECT_EQ(a.spaceBelow, b.spaceBelow) << where;
  EXPECT_EQ(a.spaceLeft, b.spaceLeft) << where;
  EXPECT_EQ(a.spaceIndent, b.spaceIndent) << where;
  EXPECT_EQ(a.spaceRight, b.spaceRight) << where;
}

void ExpectSameBlock(const TextBlockStyle* a, const TextBlockStyle* b, const std::string& where) {
  ASSERT_EQ(a == nullptr, b == nullptr) << where;
  if (!a) return;
  ExpectSameProps(*a, *b, where + " block");
  EXPECT_EQ(a->ruler, b->ruler) << where;
  const TextLine* la = a->FirstLine();
  const TextLine* lb = b->FirstLine();
  for (; la && lb; la = static_cast<const TextLine*>(la->Next()),
                   lb = static_cast<const TextLine*>(lb->Next()))
    EXPECT_EQ(la->text, lb->text) << where;
  EXPECT_EQ(la == nullptr, lb == nullptr) << where << ": line count";
}

void ExpectSameStyle(const ElementStyle& a, const ElementStyle& b, const std::string& where) {
  ExpectSameProps(a, b, where);
  EXPECT_EQ(a.pageColor, b.pageColor) << where;
  EXPECT_EQ(a.table, b.table) << where;
  EXPECT_EQ(a.numbering, b.numbering) << where;
  EXPECT_EQ(a.math, b.math) << where;
  ExpectSameBlock(a.before, b.before, where + " before");
  ExpectSameBlock(a.after, b.after, where + " after");
}

TEST_F(StyleRecords, EveryRuleOfTheSampleSheetsComesBackUnchanged) {
  for (const char* file : {"/samples/docbook/docbook.ssh", "/samples/manual/manuale.ssh"}) {
    SCOPED_TRACE(file);
    StyleSheet* original = OpenSheet(source_ + file);
    ASSERT_NE(original, nullptr);
    TextBuffer before;
    original->WriteText(before);
    // A second sheet of the same text, each of whose rules goes through a
    // record and back.
    std::string name = std::string(std::strrchr(file, '/') + 1) + ".copy";
    QsHandle h = QsOpenStyleSheetText(before.Text(), name.c_str(), nullptr, nullptr, 0);
    ASSERT_NE(h, 0u);
    auto* copy = static_cast<StyleSheet*>(Handles()->LookupStyleSheet(h));
    int rules = 0, quals = 0;
    for (StyleTagEntry* e = copy->FirstTag(); e; e = copy->NextTag()) {
      for (StyleRule* r = e->First(); r; r = StyleTagEntry::Next(r)) {
        char* tags = JoinTagList(r->Tag(), r->Context());
        std::string where = tags;
        MemFree(tags);
        StyleRule* own = original->FindRuleByTag(where.c_str(), r->Occurrence());
        ASSERT_NE(own, nullptr) << where;
        Record record;
        StyleProps::ToText(*r, record.slots);
        EXPECT_FALSE(IsStyleRecordRowEmpty(record.slots, 1) && IsStyleRecordRowEmpty(record.slots, 0) &&
                     IsStyleRecordRowEmpty(record.slots, 2) && !r->IsEmpty())
            << where;
        r->FromText(record.slots);
        ExpectSameStyle(*own, *r, where);
        ++rules;
        QualStyle* ownQual = own->FirstQual();
        for (QualStyle* q = r->FirstQual(); q; q = StyleRule::NextQual(q), ++quals) {
          ASSERT_NE(ownQual, nullptr);
          Record qualRecord;
          StyleProps::ToText(*q, qualRecord.slots);
          q->FromText(qualRecord.slots);
          ExpectSameStyle(*ownQual, *q, where + " " + q->Text());
          ownQual = StyleRule::NextQual(ownQual);
        }
      }
    }
    EXPECT_GE(rules, 15);
    TextBuffer after;
    copy->WriteText(after);
    EXPECT_EQ(std::string(before.Text()), std::string(after.Text()));
    if (std::strstr(file, "docbook")) {
      EXPECT_GT(quals, 0);
    }
  }
}

}  // namespace
}  // namespace qs
