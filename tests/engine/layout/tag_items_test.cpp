#include "layout/tag_items.h"

#include <gtest/gtest.h>

#include <string>

#include "sgml/mark_kinds.h"
#include "text_runs_support.h"

namespace qs::test {
namespace {

// The default font of the test device: ascent 8, descent 2, 6 units a
// character; so every tag has ascent 9, height h 10 and q 2.
TEST(TagItems, StartTagsAreSizedByTheNameAndCarryTheAttributeSquare) {
  TextScene s("<R><P>a</P><NOTE ID=x>b</NOTE></R>");
  DocumentNode* p = s.root->First();
  DocumentNode* note = p->Next();
  StartTagItem plain(p, s.format), attributed(note, s.format);
  TagMetrics m = CurrentTagMetrics();
  EXPECT_EQ(m.ascent, 9);
  EXPECT_EQ(m.h, 10);
  EXPECT_EQ(m.q, 2);
  EXPECT_EQ(plain.GetAscent(), 9);
  EXPECT_EQ(plain.GetDescent(), 2);
  EXPECT_EQ(plain.GetWidth(), 6 + 7);
  EXPECT_EQ(attributed.GetWidth(), 24 + 7 + 10);
  int l, t, r, b;
  attributed.Square(l, t, r, b);
  EXPECT_EQ(std::vector<int>({l, t, r, b}), std::vector<int>({24 + 4, 2, 24 + 10, 8}));
  EXPECT_EQ(attributed.GetPointerKindAt(28, 2), 14);  // bounds inclusive
  EXPECT_EQ(attributed.GetPointerKindAt(34, 8), 14);
  EXPECT_EQ(attributed.GetPointerKindAt(27, 5), 0);
  EXPECT_EQ(attributed.GetPointerKindAt(30, 9), 0);
  EXPECT_EQ(plain.GetPointerKindAt(10, 5), 0);  // no attributes, no square
  HitContext hit;
  EXPECT_EQ(attributed.PressRange(30, 5, hit), 1);
  EXPECT_EQ(std::vector<int>({hit.left, hit.top, hit.right, hit.bottom}),
            std::vector<int>({28, 2, 34, 8}));
  EXPECT_EQ(attributed.PressRange(5, 5, hit), 0);
  // Two nested squares when attributes are specified.
  s.device.log.clear();
  attributed.Draw(0, 20);
  EXPECT_NE(s.device.log.find("TEXT 2 18 NOTE"), std::string::npos) << s.device.log;
}

TEST(TagItems, TagsCopyAsMarkup) {
  TextScene s("<R><P ID=x>ab</P><Q>c</Q></R>");
  DocumentNode* p = s.root->First();
  DocumentNode* q = p->Next();
  StartTagItem start(p, s.format);
  EndTagItem end(p, s.format);
  char out[64] = {};
  // A copy into the element yields the start tag, one ending at its start
  // nothing.
  ASSERT_EQ(start.GetTextLength(0, 1), 10);
  EXPECT_EQ(start.CopyText(0, 1, out, sizeof out), 10);
  EXPECT_EQ(std::string(out, 10), "<P ID=\"x\">");
  EXPECT_EQ(start.GetTextLength(0, 0), 0);
  EXPECT_EQ(start.CopyText(0, 0, out, sizeof out), 0);
  EXPECT_EQ(start.CopyText(0, 1, out, 4), 4);  // never past the room
  ASSERT_EQ(end.GetTextLength(0, 3), 4);
  EXPECT_EQ(end.CopyText(0, 3, out, sizeof out), 4);
  EXPECT_EQ(std::string(out, 4), "</P>");
  EXPECT_EQ(end.GetTextLength(2, 3), 0);  // starting at its end
  EXPECT_EQ(end.GetAscent(), 9);
  EXPECT_EQ(end.GetDescent(), 3);
  EXPECT_EQ(end.GetWidth(), 12 + 4 + 1 + 5);
  EXPECT_EQ(end.SkipForPosition(), 1);
  // A type whose end tag is not written (declaration flag bit 0).
  q->Decl()->flags |= 1;
  EndTagItem none(q, s.format);
  EXPECT_EQ(none.GetTextLength(0, 3), 0);
  EXPECT_EQ(none.CopyText(0, 3, out, sizeof out), 0);
}

TEST(TagItems, LongInstructionsShowTheirStartAndCopyWhole) {
  std::string body(300, 'i');
  body.replace(141, 2, "\xC3\xA9");  // a character across the label's end
  body[5] = '\x01';
  TextScene s(("<R>" + body + "</R>").c_str());
  auto* mark = new (s.doc.Doc()->Pool()) MarkupMark(kMarkProcessingInstruction, 0, 300);
  s.doc.Doc()->AppendMark(mark);
  ProcInstrItem item(mark, s.format);
  char label[ProcInstrItem::kLabelRoom + 1];
  int n = item.Label(label);
  EXPECT_EQ(n, 1 + 141);  // cut before the character, not inside it
  EXPECT_EQ(label[0], '?');
  EXPECT_EQ(label[6], ' ');  // byte 1 shows as a blank
  EXPECT_EQ(item.GetWidth(), 142 * 6 + 10 + 1);
  ASSERT_EQ(item.GetTextLength(0, 400), 303);
  std::string copy(303, '\0');
  EXPECT_EQ(item.CopyText(0, 400, copy.data(), copy.size()), 303);
  EXPECT_EQ(copy.substr(0, 2), "<?");
  EXPECT_EQ(copy.substr(2 + 141, 2), "\xC3\xA9");
  EXPECT_EQ(copy.back(), '>');
  EXPECT_EQ(item.GetTextLength(300, 400), 0);
  EXPECT_EQ(item.GetTextLength(10, 20), 13);
  HiddenProcInstrItem hidden(mark, s.format);
  EXPECT_EQ(hidden.GetWidth(), 0);
  EXPECT_EQ(hidden.GetTextLength(0, 400), 0);
}

}  // namespace
}  // namespace qs::test
