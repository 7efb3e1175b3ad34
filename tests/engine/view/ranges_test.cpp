#include "view/ranges.h"

#include <gtest/gtest.h>

#include <string>

#include "doc_builder.h"

namespace qs {
namespace {

std::string Show(const RangeList& list) {
  std::string out;
  for (Range* r = list.FirstRange(); r; r = r->NextRange())
    out += "[" + std::to_string(r->GetStart()) + "," + std::to_string(r->GetEnd()) + ")";
  return out;
}

TEST(RangeList, InsertOrderedKeepsOrderAndRefusesOverlaps) {
  struct Step {
    std::uint32_t start, end;
    int added;
  };
  struct {
    std::vector<Step> steps;
    const char* list;
  } cases[] = {
      {{{10, 20, 1}, {20, 30, 1}, {15, 25, 0}}, "[10,20)[20,30)"},
      {{{30, 40, 1}, {10, 20, 1}, {20, 30, 1}}, "[10,20)[20,30)[30,40)"},
      {{{10, 20, 1}, {30, 40, 1}, {18, 32, 0}, {25, 35, 0}, {5, 12, 0}}, "[10,20)[30,40)"},
      {{{10, 20, 1}, {12, 14, 0}, {0, 10, 1}}, "[0,10)[10,20)"},
  };
  for (const auto& c : cases) {
    RangeList list;
    for (const Step& s : c.steps)
      EXPECT_EQ(list.InsertOrdered(s.start, s.end), s.added) << s.start << "," << s.end;
    EXPECT_EQ(Show(list), c.list);
  }
}

TEST(RangeList, FindBefore) {
  RangeList list;
  EXPECT_EQ(list.FindBefore(5), nullptr);
  list.Append(10, 20);
  list.Append(30, 40);
  EXPECT_EQ(list.FindBefore(5)->GetStart(), 10u);   // none ends before: the first
  EXPECT_EQ(list.FindBefore(35)->GetStart(), 10u);
  EXPECT_EQ(list.FindBefore(40)->GetStart(), 30u);
}

TEST(Ranges, WithinByPositionsAndByAncestry) {
  test::DocBuilder b;
  b.Build("<A><B><C>xy</C></B>z</A>");  // B and C share [0,2)
  DocumentNode* a = b.Doc()->Root();
  DocumentNode* bNode = a->First();
  DocumentNode* c = bNode->First();
  NodeRange ra(a), rb(bNode), rc(c);
  PairRange pair(0, 2), inner(1, 2);
  EXPECT_TRUE(rb.IsWithin(ra));
  EXPECT_FALSE(ra.IsWithin(rb));
  EXPECT_TRUE(rc.IsWithin(rb));   // equal spans: inside the ancestor
  EXPECT_FALSE(rb.IsWithin(rc));  // never inside a descendant
  EXPECT_FALSE(rb.IsWithin(rb));
  EXPECT_TRUE(rb.IsWithin(pair));
  EXPECT_TRUE(pair.IsWithin(rb));
  EXPECT_TRUE(inner.IsWithin(rc));
  EXPECT_FALSE(ra.IsWithin(pair));
  EXPECT_TRUE(rb.Equals(pair));
}

}  // namespace
}  // namespace qs
