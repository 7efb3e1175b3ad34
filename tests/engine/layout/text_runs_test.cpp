#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "layout/char_boxes.h"
#include "layout/print_state.h"
#include "layout/text_item.h"
#include "sgml/text_store.h"
#include "text_runs_support.h"

namespace qs {
namespace {

using test::TextScene;

// One line per box: kind, start, length, width, break-after.
std::string Describe(ListHead& boxes) {
  std::string out;
  for (auto* b = static_cast<DisplayBox*>(boxes.First()); b; b = b->GetNext()) {
    const char* kind = dynamic_cast<TextRunBox*>(b)         ? "run"
                       : dynamic_cast<GlyphBox*>(b)         ? "glyph"
                       : dynamic_cast<UnmappedCharBox*>(b)  ? "unmapped"
                       : dynamic_cast<AnchorMarkerBox*>(b)  ? "marker"
                                                            : "box";
    out += std::string(kind) + " " + std::to_string(b->GetStart()) + "+" +
           std::to_string(b->GetLength()) + " w" + std::to_string(b->GetWidth()) +
           (b->CanBreakAfter() ? " b" : " k") + "\n";
  }
  return out;
}

TextItem* AddText(TextScene& s, std::int32_t from, std::int32_t to, bool link = false) {
  auto* item = new (s.pool) TextItem(from, to, s.format, link);
  s.items.Append(item);
  return item;
}

TEST(TextRuns, CutByLineBreakClass) {
  const std::string letters150(150, 'x');
  const struct {
    std::string text;
    std::string boxes;
  } cases[] = {
      {"ab cd", "run 0+3 w18 b\nrun 3+2 w12 b\n"},
      {letters150, "run 0+70 w420 b\nrun 70+70 w420 b\nrun 140+10 w60 b\n"},
      // A binding character inside a word keeps the run with what follows.
      {"ab\xC2\xA0" "cd", "run 0+4 w18 k\nrun 4+2 w12 b\n"},
      // An opening character after a blank stands alone.
      {"ab (cd", "run 0+3 w18 b\nglyph 3+1 w6 b\nrun 4+2 w12 b\n"},
      {"a\xE4\xB8\x80" "b", "run 0+1 w6 b\nglyph 1+3 w6 b\nrun 4+1 w6 b\n"},
      {"a\xF0\x9F\x98\x80" "b", "run 0+1 w6 b\nunmapped 1+4 w48 b\nrun 5+1 w6 b\n"},
      {"a\x01" "b", "run 0+3 w18 b\n"},
      // An opening character inside a word stays in its run.
      {"ab(cd ef", "run 0+6 w36 b\nrun 6+2 w12 b\n"},
      // Sixty-one overlong 'A's (244 bytes), then letters: the run closes
      // at its byte limit (250) before its unit limit.
      {[] {
         std::string t;
         for (int i = 0; i < 61; ++i) t += "\xF0\x80\x81\x81";
         return t + std::string(12, 'x');
       }(),
       "run 0+250 w402 b\nrun 250+6 w36 b\n"},
  };
  // The text read while its store is still being written, and once it is
  // closed as a parsed document's is (read straight from its blocks).
  for (const bool closed : {false, true}) {
    for (const auto& c : cases) {
      TextScene s(("<doc>" + c.text + "</doc>").c_str());
      if (closed) s.doc.Doc()->Text()->Close();
      TextItem* item = AddText(s, 0, static_cast<std::int32_t>(c.text.size()));
      item->MakeBoxes(s.boxes);
      EXPECT_EQ(Describe(s.boxes), c.boxes) << c.text << (closed ? " (closed)" : "");
    }
  }
}

TEST(TextRuns, BlanksBeyondTheRunLimitsAndBadBytes) {
  // 300 blanks: runs of at most 70 units and 255 bytes covering every byte.
  const std::string blanks = "a" + std::string(300, ' ') + "b";
  TextScene s(("<doc>" + blanks + "</doc>").c_str());
  AddText(s, 0, static_cast<std::int32_t>(blanks.size()))->MakeBoxes(s.boxes);
  std::int32_t at = 0;
  for (auto* b = static_cast<DisplayBox*>(s.boxes.First()); b; b = b->GetNext()) {
    EXPECT_EQ(b->GetStart(), at);
    EXPECT_LE(b->GetLength(), 70);
    EXPECT_LE(b->GetWidth(), 70 * 6);
    at += b->GetLength();
  }
  EXPECT_EQ(at, static_cast<std::int32_t>(blanks.size()));

  // Ideographs of three bytes each, then four-byte overlong forms: no run
  // passes 255 bytes and positions stay on the bytes read.
  std::string wide;
  for (int i = 0; i < 100; ++i) wide += "\xF0\x80\x81\x81";  // 'A' written overlong
  TextScene t(("<doc>" + wide + "</doc>").c_str());
  AddText(t, 0, static_cast<std::int32_t>(wide.size()))->MakeBoxes(t.boxes);
  at = 0;
  for (auto* b = static_cast<DisplayBox*>(t.boxes.First()); b; b = b->GetNext()) {
    EXPECT_EQ(b->GetStart(), at);
    EXPECT_LE(b->GetLength(), 255);
    at += b->GetLength();
  }
  EXPECT_EQ(at, static_cast<std::int32_t>(wide.size()));

  // A lead byte without its continuation: the glyph takes the bytes read.
  TextScene u("<doc>\xE4" "ab cd</doc>");
  AddText(u, 0, 6)->MakeBoxes(u.boxes);
  std::int32_t end = 0;
  for (auto* b = static_cast<DisplayBox*>(u.boxes.First()); b; b = b->GetNext()) {
    EXPECT_EQ(b->GetStart(), end);
    end = b->GetEnd();
  }
  EXPECT_EQ(end, 6);
}

TEST(TextRuns, WordsAcrossStoreBlocks) {
  // Words of six letters and a blank over several 4096-byte blocks of the
  // text store: words cut by a block's end make the same runs as any other.
  std::string text;
  while (text.size() < 3 * 4096) text += "abcdef ";
  TextScene s(("<doc>" + text + "</doc>").c_str());
  s.doc.Doc()->Text()->Close();
  AddText(s, 0, static_cast<std::int32_t>(text.size()))->MakeBoxes(s.boxes);
  std::string expected;
  for (std::size_t at = 0; at < text.size(); at += 7) expected += "run " + std::to_string(at) + "+7 w42 b\n";
  EXPECT_EQ(Describe(s.boxes), expected);
}

TEST(TextRuns, AnchorInsideAWordCutsItsRun) {
  TextScene s("<doc>abcdefgh ij</doc>");
  s.doc.Doc()->Text()->Close();
  auto* anchor = new Anchor(nullptr, nullptr, 1);
  std::unique_ptr<Anchor> owner(anchor);
  ASSERT_TRUE(s.doc.Doc()->Anchors().Add(new AnchorMark(anchor, s.doc.Doc(), 3, 2)));
  AddText(s, 0, 11)->MakeBoxes(s.boxes);
  const std::string boxes = Describe(s.boxes);
  EXPECT_EQ(boxes.substr(0, boxes.find("marker")), "run 0+3 w18 b\n");
  EXPECT_EQ(boxes.substr(boxes.find('\n', boxes.find("marker")) + 1), "run 3+6 w36 b\nrun 9+2 w12 b\n");
  s.boxes.DeleteAll();  // before the anchor takes its mark away
}

TEST(TextRuns, DrawCopyAndHits) {
  TextScene s("<doc>xa\x01" "bc def</doc>");
  TextItem* item = AddText(s, 1, 7);  // "a\x01bc d"... up to "e"
  item->MakeBoxes(s.boxes);
  auto* run = static_cast<DisplayBox*>(s.boxes.First());
  run->Draw(5, 20);
  EXPECT_NE(s.device.log.find("WTEXT 5 20 a bc \n"), std::string::npos) << s.device.log;

  // The copy of U+0001 is a blank; a copy starting inside the item starts
  // there.
  char out[16] = {};
  EXPECT_EQ(item->GetTextLength(0, 100), 6);
  EXPECT_EQ(item->CopyText(0, 100, out, sizeof out), 6);
  EXPECT_EQ(std::string(out, 6), "a bc d");
  EXPECT_EQ(item->GetTextLength(3, 100), 4);
  EXPECT_EQ(item->CopyText(3, 100, out, sizeof out), 4);
  EXPECT_EQ(std::string(out, 4), "bc d");
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(item->CopyText(3, 100, out, 2), 2);  // never past the room
  EXPECT_EQ(std::string(out, 3), "bc#");

  TextScene h("<doc>abcdef</doc>");
  TextItem* abc = AddText(h, 0, 3);
  abc->MakeBoxes(h.boxes);
  auto* box = static_cast<DisplayBox*>(h.boxes.First());
  EXPECT_EQ(box->PositionAt(8, 0), 1);
  EXPECT_EQ(box->PositionAt(0, 0), 0);
  EXPECT_EQ(box->PositionAt(100, 0), 3);

  h.boxes.DeleteAll();
  AddText(h, 0, 6)->MakeBoxes(h.boxes);
  RangeEntry second{3, 10, nullptr}, first{1, 2, &second};
  MarkRecord record;
  record.top = 0, record.height = 10, record.entry = &first;
  h.device.log.clear();
  static_cast<DisplayBox*>(h.boxes.First())->HighlightRanges(record);
  EXPECT_EQ(h.device.log, "INVERT 6 0 12 10\nINVERT 18 0 36 10\n");
  EXPECT_EQ(record.entry, &second);
}

Anchor* MakeAnchor(int links, std::uint16_t note) {
  auto* a = new Anchor(nullptr, nullptr, 1);
  a->linkCount = static_cast<std::uint16_t>(links);
  a->note.length = note;
  return a;
}

TEST(AnchorMarkers, OrderIconsPointerQueriesAndPresses) {
  TextScene s("<doc>abc def</doc>");
  for (int i : {10, 11}) {
    s.Engine().iconHalfHeight[i] = 12;
    s.Engine().iconHalfWidth[i] = 9;
    s.Engine().iconEighthHeight[i] = 1;
  }
  std::unique_ptr<Anchor> linked(MakeAnchor(2, 0)), noted(MakeAnchor(1, 5)), plain(MakeAnchor(0, 0));
  auto* a = new AnchorMark(linked.get(), s.doc.Doc(), 0, 3);
  auto* b = new AnchorMark(noted.get(), s.doc.Doc(), 0, 3);
  auto* c = new AnchorMark(plain.get(), s.doc.Doc(), 4, 3);
  for (AnchorMark* m : {a, b, c}) ASSERT_TRUE(s.doc.Doc()->Anchors().Add(m));
  AnchorCursor order(s.doc.Doc());
  AnchorMark* firstInIndex = order.Seek(0);
  AnchorMark* secondInIndex = order.Advance();

  TextItem* item = AddText(s, 0, 7);
  item->MakeBoxes(s.boxes);
  auto* m1 = dynamic_cast<AnchorMarkerBox*>(static_cast<DisplayBox*>(s.boxes.First()));
  ASSERT_NE(m1, nullptr);
  auto* m2 = dynamic_cast<AnchorMarkerBox*>(m1->GetNext());
  ASSERT_NE(m2, nullptr);
  EXPECT_EQ(m1->Entry(), firstInIndex);
  EXPECT_EQ(m2->Entry(), secondInIndex);
  EXPECT_EQ(Describe(s.boxes),
            "marker 0+0 w9 b\nmarker 0+0 w9 b\nrun 0+4 w24 b\nmarker 4+0 w9 b\nrun 4+3 w18 b\n");
  auto* m3 = dynamic_cast<AnchorMarkerBox*>(m2->GetNext()->GetNext());
  ASSERT_NE(m3, nullptr);
  EXPECT_EQ(m3->IconIndex(), 10);
  EXPECT_EQ(m3->GetAscent(), 11);
  EXPECT_EQ(m3->GetDescent(), 1);
  AnchorMarkerBox* withLinks = m1->Entry() == a ? m1 : m2;
  AnchorMarkerBox* withNote = withLinks == m1 ? m2 : m1;
  EXPECT_EQ(withLinks->IconIndex(), 11);
  EXPECT_EQ(withLinks->GetPointerKind(), 3);
  EXPECT_EQ(withNote->GetPointerKind(), 2);
  EXPECT_EQ(m3->GetPointerKind(), 2);

  // A kind-3 query finds the marker of exactly its anchor.
  struct Find : BoxQuery {
    using BoxQuery::BoxQuery;
    std::intptr_t Found(int, std::int32_t, std::int32_t, int, int, int, int) override {
      ++hits;
      return 0;
    }
    int hits = 0;
  } query(3, 0, 100, noted.get());
  for (auto* box = static_cast<DisplayBox*>(s.boxes.First()); box; box = box->GetNext())
    box->Visit(query, 0, 20);
  EXPECT_EQ(query.hits, 1);

  // Press and release: the anchor's text is inverted twice.
  HitContext hit;
  hit.x0 = 0, hit.y0 = 20;
  ASSERT_EQ(withLinks->PressRange(1, 1, hit), 1);
  s.device.log.clear();
  withLinks->PressFeedbackOn(hit);
  withLinks->PressFeedbackOff(hit);
  EXPECT_EQ(s.device.log, "ERASE\nICON 11 0 9 0\nRANGE 0 3\nERASE\nICON 11 0 9 1\nRANGE 0 3\n");

  // While printing no markers are made.
  s.boxes.DeleteAll();
  GetPrintState().nesting = 1;
  item->MakeBoxes(s.boxes);
  GetPrintState().nesting = 0;
  EXPECT_EQ(Describe(s.boxes), "run 0+4 w24 b\nrun 4+3 w18 b\n");
  s.boxes.DeleteAll();  // before the anchors take their marks away
}

TEST(CharBoxes, LengthsKeepFlagAndLinks) {
  TextScene s("<doc><a>x(y</a></doc>");
  s.root->First()->flags |= 0x02;  // the element is a link source
  TextItem* item = AddText(s, 0, 3, true);
  GlyphBox open(item, 1, '(', 1);
  EXPECT_TRUE(open.CanBreakAfter());
  open.SetBreakAfter();
  EXPECT_FALSE(open.CanBreakAfter());
  EXPECT_EQ(open.GetWidth(), 6);
  GlyphBox nbsp(item, 1, 0xA0, 2);
  EXPECT_FALSE(nbsp.CanBreakAfter());  // binding with or without the flag

  char label[16];
  EXPECT_EQ(UnmappedCharBox::Label(0x1F600, label), 7);
  EXPECT_STREQ(label, "U-1F600");
  UnmappedCharBox far(item, 0, 0x1F600, 4);
  EXPECT_EQ(far.GetAscent(), 9);
  EXPECT_EQ(far.GetDescent(), 4);
  s.device.log.clear();
  far.Draw(10, 20);
  EXPECT_EQ(s.device.log,
            "LINE 10 22 57 22\nTEXT 11 20 U-1F600\nFRAME 10 11 55 22\nLINE 12 23 56 23\n"
            "LINE 56 23 56 13\n");

  // A press inside a link source inverts the link element's whole text.
  HitContext hit;
  hit.x0 = 0, hit.y0 = 20;
  ASSERT_EQ(open.PressRange(0, 0, hit), 1);
  hit.currentX = 2, hit.currentY = 15;
  s.device.log.clear();
  open.PressFeedbackOn(hit);
  open.PressFeedbackOff(hit);
  EXPECT_EQ(s.device.log, "RANGE 0 3\nRANGE 0 3\n");
  TextItem* plain = AddText(s, 0, 3, false);
  GlyphBox notLink(plain, 1, '(', 1);
  EXPECT_EQ(notLink.PressRange(0, 0, hit), 0);
}

}  // namespace
}  // namespace qs
