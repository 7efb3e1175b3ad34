// Queries, selection sets and tag sets through the DLL, as a host uses
// them.
#include <string>
#include <vector>

#include "api/records.h"
#include "engine_dll.h"

namespace qs::test {
namespace {

const char kDoc[] =
    "<!DOCTYPE DOC [<!ELEMENT DOC - - (PARA)*>"
    "<!ELEMENT PARA - - (#PCDATA|E)*><!ATTLIST PARA X CDATA #IMPLIED>"
    "<!ELEMENT E - - (#PCDATA)>]>"
    "<DOC><PARA X=1>fuel pump</PARA><PARA>pump<E>ump</E></PARA></DOC>";

struct Event {
  std::int32_t event;
  QsWord a;
};

QsWord RecordEvent(QsWindow, std::int32_t event, QsWord a, QsWord, QsWord data) {
  reinterpret_cast<std::vector<Event>*>(data)->push_back({event, a});
  return 1;
}

std::intptr_t CollectRange(const void* record, QsWord data) {
  const auto* r = static_cast<const QsRangeRecord*>(record);
  *reinterpret_cast<std::string*>(data) +=
      "(" + std::to_string(r->start) + "," + std::to_string(r->length) + ")";
  return 0;
}

class SetsThroughDll : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Sets",
                                    nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    doc_ = QS_BIND(QsOpenDocumentText)(kDoc, nullptr, nullptr, 0, nullptr, 0);
    ASSERT_NE(doc_, 0u);
  }
  void TearDown() override {
    QS_BIND(QsTerminate)();
    EngineDll::TearDown();
  }
  std::string Ranges(QsHandle set, bool backwards) {
    std::string out;
    QS_BIND(QsEnumSelSet)(set, backwards, CollectRange, reinterpret_cast<QsWord>(&out));
    return out;
  }
  // The element names of a tag set in its order.
  std::string Names(QsHandle set) {
    static const char* (*name)(QsHandle);
    name = QS_BIND(QsGetElementName);
    std::string out;
    QS_BIND(QsEnumTagSet)(
        set,
        [](QsHandle node, QsWord data) -> std::intptr_t {
          auto* text = reinterpret_cast<std::string*>(data);
          if (!text->empty()) *text += " ";
          *text += name(node);
          return 0;
        },
        reinterpret_cast<QsWord>(&out));
    return out;
  }
  QsHandle doc_ = 0;
};

TEST_F(SetsThroughDll, SelectionSets) {
  auto release = QS_BIND(QsReleaseHandle);
  QsHandle hits = QS_BIND(QsQueryDocument)(doc_, "pump in <para>", 0);
  ASSERT_NE(hits, 0u);
  EXPECT_EQ(QS_BIND(QsGetHandleType)(hits), 11u);  // HSELSET
  EXPECT_EQ(Ranges(hits, false), "(5,4)(9,4)");
  EXPECT_EQ(Ranges(hits, true), "(9,4)(5,4)");
  QsHandle elements = QS_BIND(QsQueryDocument)(doc_, "<para> cont ump", 0);
  EXPECT_EQ(Ranges(elements, false), "(0,9)(9,7)");

  auto item = QS_BIND(QsGetSelSetItem);
  QsHandle set = QS_BIND(QsCreateSelSet)(doc_);
  ASSERT_NE(set, 0u);
  std::int32_t start = -1, length = -1;
  EXPECT_EQ(item(set, 3, &start, &length), 0);
  EXPECT_EQ(QS_BIND(QsAddSelSetRange)(set, 20, 5), 1);
  EXPECT_EQ(QS_BIND(QsAddSelSetRange)(set, 2, 3), 1);
  EXPECT_EQ(QS_BIND(QsAddSelSetRange)(set, -1, 3), 0);
  EXPECT_EQ(item(set, 3, &start, &length), 0);  // the cursor stands nowhere yet
  EXPECT_EQ(item(set, 0, &start, &length), 1);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(length, 3);
  EXPECT_EQ(item(set, 3, &start, &length), 1);
  EXPECT_EQ(start, 20);
  EXPECT_EQ(item(set, 3, nullptr, nullptr), 0);
  EXPECT_EQ(item(set, 4, nullptr, &length), 1);
  EXPECT_EQ(length, 5);
  EXPECT_EQ(item(set, 1, &start, nullptr), 1);
  EXPECT_EQ(start, 2);
  EXPECT_EQ(item(set, 9, &start, nullptr), 1);  // other moves keep the cursor
  EXPECT_EQ(item(doc_, 0, &start, nullptr), 0);  // not a selection set
  for (QsHandle h : {hits, elements, set}) EXPECT_EQ(release(h), 0u);
}

TEST_F(SetsThroughDll, TagSets) {
  auto count = QS_BIND(QsCountTagSet);
  auto add = QS_BIND(QsAddToTagSet);
  EXPECT_EQ(QS_BIND(QsQueryTagSet)(doc_, "pump", 0), 0u);  // no element found
  QsHandle paras = QS_BIND(QsQueryTagSet)(doc_, "<para>", 0);
  ASSERT_NE(paras, 0u);
  EXPECT_EQ(QS_BIND(QsGetHandleType)(paras), 10u);  // HTAGSET
  EXPECT_EQ(count(paras), 2);

  // Nodes: DOC, its two PARAs, the second's E and the gap before it.
  QsHandle root = QS_BIND(QsGetDocumentRoot)(doc_);
  QsHandle first = QS_BIND(QsDupNode)(root);
  ASSERT_EQ(QS_BIND(QsGotoFirstChild)(first), 1);
  QsHandle second = QS_BIND(QsDupNode)(first);
  ASSERT_EQ(QS_BIND(QsGotoNextSibling)(second), 1);
  QsHandle gap = QS_BIND(QsDupNode)(second);
  ASSERT_EQ(QS_BIND(QsGotoFirstChild)(gap), 1);
  QsHandle e = QS_BIND(QsDupNode)(gap);
  ASSERT_EQ(QS_BIND(QsGotoNextSibling)(e), 1);
  QsHandle other = QS_BIND(QsOpenDocumentText)(kDoc, nullptr, nullptr, 0, nullptr, 0);
  QsHandle otherRoot = QS_BIND(QsGetDocumentRoot)(other);

  QsHandle set = QS_BIND(QsCreateTagSet)(doc_);
  ASSERT_NE(set, 0u);
  for (QsHandle n : {e, second, first, root}) EXPECT_EQ(add(set, n), 1);
  EXPECT_EQ(add(set, second), 0);
  EXPECT_EQ(add(set, gap), 0);
  EXPECT_EQ(add(set, otherRoot), 0);
  EXPECT_EQ(add(set, doc_), 0);
  EXPECT_EQ(count(set), 4);
  EXPECT_EQ(Names(set), "DOC PARA PARA E");
  EXPECT_EQ(QS_BIND(QsIsInTagSet)(set, second), 1);
  EXPECT_EQ(QS_BIND(QsRemoveFromTagSet)(set, second), 1);
  EXPECT_EQ(QS_BIND(QsRemoveFromTagSet)(set, second), 0);
  EXPECT_EQ(QS_BIND(QsIsInTagSet)(set, second), 0);
  EXPECT_EQ(count(set), 3);
  EXPECT_EQ(QS_BIND(QsClearTagSet)(set), 1);
  EXPECT_EQ(count(set), 0);
}

TEST_F(SetsThroughDll, SyntaxErrorArrivesAsEvent16) {
  std::vector<Event> events;
  QS_BIND(QsSetCallback)(0, 16, RecordEvent, reinterpret_cast<QsWord>(&events));
  QsHandle set = QS_BIND(QsQueryDocument)(doc_, "(fuel", 0);
  ASSERT_NE(set, 0u);
  EXPECT_EQ(QS_BIND(QsGetSelSetItem)(set, 0, nullptr, nullptr), 0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].event, 16);
  EXPECT_EQ(events[0].a, 27);
  EXPECT_EQ(QS_BIND(QsQueryTagSet)(doc_, "<para x>", 0), 0u);
  EXPECT_EQ(events.size(), 2u);
  QS_BIND(QsReleaseHandle)(set);
}

}  // namespace
}  // namespace qs::test
