// Random runs of boxes broken into paragraph lines at random widths: every
// box is placed once and in order, the measures add up, re-breaking keeps
// the boxes, and every position's point lies in a box that holds it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "layout/paragraph_box.h"
#include "test_device.h"

namespace {

using qs::DisplayBox;
using qs::ViewLine;

// Names the failed condition's line before stopping.
#define Check(ok)                                                        \
  do {                                                                   \
    if (!(ok)) {                                                         \
      std::fprintf(stderr, "paragraph_breaking.cpp:%d: %s\n", __LINE__, #ok); \
      std::abort();                                                      \
    }                                                                    \
  } while (0)

std::vector<DisplayBox*> Boxes(qs::ParagraphBox& p) {
  std::vector<DisplayBox*> out;
  for (ViewLine* l = p.GetFirstLine(); l; l = l->GetNextLine())
    for (DisplayBox* b = l->GetFirstBox(); b; b = b->GetNext()) out.push_back(b);
  return out;
}

void CheckParagraph(qs::ParagraphBox& p, std::size_t count) {
  std::vector<DisplayBox*> boxes = Boxes(p);
  Check(boxes.size() == count);
  for (std::size_t i = 1; i < boxes.size(); ++i) Check(boxes[i - 1]->GetEnd() == boxes[i]->GetStart());
  int height = 0, widest = 0;
  bool overlapping = false;
  for (ViewLine* l = p.GetFirstLine(); l; l = l->GetNextLine()) {
    overlapping |= l->GetHeight() <= 0;
    int used = 0;
    for (DisplayBox* b = l->GetFirstBox(); b; b = b->GetNext()) used += b->GetWidth();
    Check(used == l->used);
    height += l->GetHeight();
    const int w = (p.Flags() & qs::ParagraphBox::kNoIndents) ? l->used
                                                             : l->used + l->LeftIndent() + l->RightIndent();
    if (w > widest) widest = w;
  }
  Check(height == p.GetAscent());
  Check(widest == p.GetWidth());
  // A negative leading can make a line of no height, or lines that overlap:
  // points are checked on paragraphs whose lines follow each other.
  if (count == 0 || overlapping) return;
  // Each position's point is in the box that holds the position, or at
  // the right edge of the box before it (a point rounded down to a box's
  // left edge); lines with boxes of no width are passed over.
  for (std::int32_t pos = p.GetStart(); pos <= p.GetStart() + p.GetLength(); ++pos) {
    int x = 0, y = 0;
    p.PointOf(pos, &x, &y);
    int rx = 0, ry = 0;
    DisplayBox* hit = p.ChildAt(x, y, &rx, &ry);
    Check(hit != nullptr);
    Check(hit != &p);
    bool narrow = false;
    for (DisplayBox* b = hit; b; b = b->GetNext()) narrow |= b->GetWidth() <= 0;
    for (DisplayBox* b = hit; b; b = static_cast<DisplayBox*>(b->Prev())) narrow |= b->GetWidth() <= 0;
    if (narrow) continue;
    DisplayBox* after = hit->GetNext();
    Check(hit->GetStart() <= pos &&
          (pos <= hit->GetEnd() || (after && pos <= after->GetEnd())));
    const std::int32_t back = p.PositionAt(x, y);
    Check(back >= hit->GetStart() && back <= hit->GetEnd());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const int width1 = data[0] * 2;
  const int width2 = data[1] * 2;
  const std::uint8_t flags = data[2] & 0x1F;
  data += 3, size -= 3;
  std::vector<qs::test::BoxSpec> rows;
  for (; size >= 3 && rows.size() < 150; data += 3, size -= 3) {
    qs::test::BoxSpec s;
    s.width = data[0] % 160;
    s.breakAfter = !(data[1] & 1);
    s.forced = data[1] & 2;
    s.left = (data[1] & 4) ? data[2] % 40 : 0;
    s.right = (data[1] & 8) ? data[2] % 30 : 0;
    s.leading = (data[1] & 16) ? static_cast<std::int8_t>(data[2]) % 8 : 0;
    s.spaceAbove = (data[1] & 32) ? data[2] % 9 : 0;
    s.justify = (data[1] >> 6) == 1 ? 0x10 : (data[1] >> 6) == 2 ? 0x20 : 0;
    s.ascent = 1 + data[2] % 12;
    s.descent = data[2] % 4;
    s.length = 1 + data[2] % 5;
    rows.push_back(s);
  }
  qs::test::SpecItems items(rows);
  qs::ParagraphBox p(items.First(), &items.list, width1, flags);
  CheckParagraph(p, rows.size());
  const std::vector<DisplayBox*> before = Boxes(p);
  p.SplitAt(width2);
  CheckParagraph(p, rows.size());
  Check(Boxes(p) == before);

  // The view's breaker places the same boxes.
  qs::ListHead lines;
  qs::LayoutItem* next = qs::BuildParagraphLines(items.First(), width1, lines, true);
  std::size_t placed = 0;
  for (auto* l = static_cast<ViewLine*>(lines.First()); l; l = l->GetNextLine())
    for (DisplayBox* b = l->GetFirstBox(); b; b = b->GetNext()) ++placed;
  std::size_t expected = 0;
  for (qs::LayoutItem* i = items.First(); i != next; i = i->NextItem()) ++expected;
  Check(placed == expected);
  return 0;
}
