// Tag and selection set exports in-process, under the sanitizers: hosts
// that change or release what is being walked from their procedures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "api/records.h"
#include "doc_builder.h"
#include "recording_sink.h"
#include "sgml/document.h"

namespace qs {
namespace {

using test::DocBuilder;

class SetExports : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    doc_ = Register("<A><B>one</B><B>two</B><B>three</B></A>");
  }
  void TearDown() override { QsTerminate(); }

  QsHandle Register(const char* markup) {
    DocBuilder b;
    b.Build(markup);
    Document* doc = b.Take();
    QsHandle h = Handles()->RegisterDocument(doc);
    doc->Release();
    return h;
  }

  QsHandle doc_ = 0;
  test::RecordingSink sink_;
};

struct Walk {
  QsHandle set = 0;
  QsHandle lastNode = 0;
  int calls = 0;
  std::vector<std::string> names;
};

// The host releases the set (its only use) and the node handle it was
// given, from the first call on: the walk goes on over what it took at the
// start, and nothing is used after it was freed.
TEST_F(SetExports, TagSetWalkSurvivesReleasesInTheProcedure) {
  QsHandle set = QsQueryTagSet(doc_, "<b>", 0);
  ASSERT_NE(set, 0u);
  Walk walk;
  walk.set = set;
  std::intptr_t result = QsEnumTagSet(
      set,
      [](QsHandle node, QsWord data) -> std::intptr_t {
        auto* w = reinterpret_cast<Walk*>(data);
        ++w->calls;
        w->names.push_back(QsGetElementName(node));
        if (w->calls == 1) QsReleaseHandle(w->set);
        QsReleaseHandle(node);
        return 0;
      },
      reinterpret_cast<QsWord>(&walk));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(walk.names, (std::vector<std::string>{"B", "B", "B"}));
  EXPECT_EQ(QsCountTagSet(set), 0);  // gone once the walk gave its use back
  EXPECT_EQ(Handles()->Count(), 1u);  // only the document is left
}

TEST_F(SetExports, TagSetWalkSurvivesTheSetBeingCleared) {
  QsHandle set = QsQueryTagSet(doc_, "<*>", 0);
  ASSERT_EQ(QsCountTagSet(set), 4);
  Walk walk;
  walk.set = set;
  QsEnumTagSet(
      set,
      [](QsHandle node, QsWord data) -> std::intptr_t {
        auto* w = reinterpret_cast<Walk*>(data);
        QsClearTagSet(w->set);
        w->names.push_back(QsGetElementName(node));
        return w->names.size() == 3 ? 7 : 0;
      },
      reinterpret_cast<QsWord>(&walk));
  EXPECT_EQ(walk.names, (std::vector<std::string>{"A", "B", "B"}));
  QsReleaseHandle(set);
  EXPECT_EQ(Handles()->Count(), 1u);
}

TEST_F(SetExports, SelectionWalkSurvivesReleaseInTheProcedure) {
  QsHandle set = QsQueryDocument(doc_, "o", 0);
  ASSERT_NE(set, 0u);
  Walk walk;
  walk.set = set;
  QsEnumSelSet(
      set, 0,
      [](const void* record, QsWord data) -> std::intptr_t {
        auto* w = reinterpret_cast<Walk*>(data);
        const auto* r = static_cast<const QsRangeRecord*>(record);
        w->names.push_back(std::to_string(r->start));
        if (w->calls++ == 0) QsReleaseHandle(w->set);
        return 0;
      },
      reinterpret_cast<QsWord>(&walk));
  EXPECT_EQ(walk.names, (std::vector<std::string>{"0", "5"}));
  EXPECT_EQ(QsGetSelSetItem(set, 0, nullptr, nullptr), 0);
  EXPECT_EQ(Handles()->Count(), 1u);
}

// A set keeps its document alive after the host let the document go.
TEST_F(SetExports, SetsHoldTheirDocument) {
  QsHandle tags = QsQueryTagSet(doc_, "<b>", 0);
  QsHandle hits = QsQueryDocument(doc_, "two", 0);
  QsReleaseHandle(doc_);
  std::int32_t start = 0, length = 0;
  EXPECT_EQ(QsGetSelSetItem(hits, 4, &start, &length), 1);
  EXPECT_EQ(start, 3);
  EXPECT_EQ(length, 3);
  std::string names;
  QsEnumTagSet(
      tags,
      [](QsHandle node, QsWord data) -> std::intptr_t {
        *reinterpret_cast<std::string*>(data) += QsGetElementName(node);
        return 0;
      },
      reinterpret_cast<QsWord>(&names));
  EXPECT_EQ(names, "BBB");
  QsReleaseHandle(tags);
  QsReleaseHandle(hits);
  EXPECT_EQ(Handles()->Count(), 0u);
}

}  // namespace
}  // namespace qs
