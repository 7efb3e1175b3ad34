// Element type records of a DTD and of a document: one per declaration,
// with declared-value codes, default entries and at most a hundred
// attributes.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/parse_report.h"
#include "api/records.h"
#include "recording_sink.h"

namespace qs {
namespace {

struct Seen {
  std::string name;
  std::vector<std::string> names;
  std::vector<std::int32_t> types;
  std::vector<std::string> defaults;  // keyword code as a digit, or "=text"
};

struct Collector {
  std::vector<Seen> records;
  std::intptr_t stopAt = 0;  // answer 99 to this record (1-based), 0 never
  QsHandle nestedDtd = 0;    // enumerate this one again inside the first call
  std::size_t nestedCount = 0;
};

std::intptr_t Collect(const void* record, QsWord data) {
  auto* c = reinterpret_cast<Collector*>(data);
  const auto* r = static_cast<const QsElementTypeRecord*>(record);
  Seen s{r->name, {}, {}, {}};
  for (std::int32_t i = 0; i < r->attributeCount; ++i) {
    s.names.push_back(r->attributeNames[i]);
    s.types.push_back(r->attributeTypes[i]);
    std::intptr_t d = r->attributeDefaults[i];
    s.defaults.push_back(d >= 0 && d < 4 ? std::to_string(d)
                                         : "=" + std::string(reinterpret_cast<const char*>(d)));
  }
  c->records.push_back(s);
  if (c->nestedDtd && c->records.size() == 1) {
    Collector inner;
    QsEnumDtdElements(c->nestedDtd, Collect, reinterpret_cast<QsWord>(&inner));
    c->nestedCount = inner.records.size();
  }
  return c->stopAt && static_cast<std::intptr_t>(c->records.size()) == c->stopAt ? 99 : 0;
}

// Every message a parse reports, as "number argument".
std::int32_t Messages(const void* record, QsWord data) {
  const auto* r = static_cast<const QsParseReport*>(record);
  if (r->kind & QS_REPORT_MESSAGE) {
    const char* a = reinterpret_cast<const char*>(r->argument1);
    reinterpret_cast<std::vector<std::string>*>(data)->push_back(std::to_string(r->number) + " " +
                                                                  (a ? a : ""));
  }
  return 1;
}

class ElementTypeExports : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  }
  void TearDown() override { QsTerminate(); }
  std::map<std::string, Seen> ByName(const Collector& c) {
    std::map<std::string, Seen> out;
    for (const Seen& s : c.records) out[s.name] = s;
    return out;
  }
  test::RecordingSink sink_;
};

std::string BigDtd() {
  std::string dtd =
      "<!ELEMENT p - - (#PCDATA)>"
      "<!ATTLIST p id ID #IMPLIED kind (a|b) \"a\" n NUMBER #REQUIRED"
      "  c CDATA #FIXED \"x\" cur CDATA #CURRENT ref IDREF #CONREF>"
      "<!ELEMENT big - O EMPTY>";
  // One list holds at most a hundred definitions; two lists add up.
  for (int list = 0; list < 2; ++list) {
    dtd += "<!ATTLIST big";
    for (int i = 60 * list; i < 60 * (list + 1); ++i)
      dtd += " a" + std::to_string(i) + " CDATA #IMPLIED";
    dtd += ">";
  }
  return dtd + "<!ELEMENT plain - - ANY>";
}

TEST_F(ElementTypeExports, DtdRecordsCarryCodesDefaultsAndAHundredAttributesAtMost) {
  std::string text = BigDtd();
  std::vector<std::string> messages;
  QsHandle dtd = QsOpenDtdText(text.c_str(), nullptr, nullptr, 0, Messages,
                               reinterpret_cast<QsWord>(&messages));
  ASSERT_NE(dtd, 0u);
  EXPECT_TRUE(messages.empty()) << messages.front();
  Collector c;
  c.nestedDtd = dtd;
  EXPECT_EQ(QsEnumDtdElements(dtd, Collect, reinterpret_cast<QsWord>(&c)), 0);
  ASSERT_EQ(c.records.size(), 3u);
  // A procedure that enumerates again does not disturb the walk it is in.
  EXPECT_EQ(c.nestedCount, 3u);
  auto seen = ByName(c);
  const Seen& p = seen["P"];
  EXPECT_EQ(p.names, (std::vector<std::string>{"ID", "KIND", "N", "C", "CUR", "REF"}));
  EXPECT_EQ(p.types, (std::vector<std::int32_t>{5, 1, 13, 2, 2, 6}));
  EXPECT_EQ(p.defaults, (std::vector<std::string>{"0", "=A", "1", "=x", "3", "2"}));
  const Seen& big = seen["BIG"];
  ASSERT_EQ(big.names.size(), 100u);
  EXPECT_EQ(big.names.front(), "A0");
  EXPECT_EQ(big.names.back(), "A99");
  EXPECT_TRUE(seen["PLAIN"].names.empty());

  // The first nonzero answer stops the walk and is the result.
  Collector stop;
  stop.stopAt = 2;
  EXPECT_EQ(QsEnumDtdElements(dtd, Collect, reinterpret_cast<QsWord>(&stop)), 99);
  EXPECT_EQ(stop.records.size(), 2u);
  QsReleaseHandle(dtd);
}

TEST_F(ElementTypeExports, DocumentRecordsAndHandlesThatNameNoDeclarations) {
  const char kDoc[] =
      "<!DOCTYPE d [<!ELEMENT d - - (e)*><!ELEMENT e - O EMPTY>"
      "<!ATTLIST e x CDATA \"1\">]><d><e></d>";
  QsHandle doc = QsOpenDocumentText(kDoc, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  Collector c;
  EXPECT_EQ(QsEnumDocElements(doc, Collect, reinterpret_cast<QsWord>(&c)), 0);
  auto seen = ByName(c);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen["E"].names, std::vector<std::string>{"X"});
  EXPECT_EQ(seen["E"].defaults, std::vector<std::string>{"=1"});

  // A document is no DTD and a DTD no document; neither calls the procedure.
  Collector none;
  EXPECT_EQ(QsEnumDtdElements(doc, Collect, reinterpret_cast<QsWord>(&none)), 0);
  EXPECT_EQ(QsEnumDocElements(0, Collect, reinterpret_cast<QsWord>(&none)), 0);
  EXPECT_EQ(QsEnumDocElements(doc, nullptr, 0), 0);
  EXPECT_TRUE(none.records.empty());
  QsReleaseHandle(doc);
}

}  // namespace
}  // namespace qs
