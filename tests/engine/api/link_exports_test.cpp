// Pointers, locations, links and attribute lists through the library as a
// host uses them: the texts a host is offered with events 17 and 18.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine_dll.h"

namespace qs::test {
namespace {

struct Offer {
  int event;
  std::string element;
  std::vector<std::string> items;
};
std::vector<Offer> g_offers;
std::vector<std::int32_t> g_errors;
decltype(&::QsGetElementName) g_name = nullptr;

QsWord RecordOffer(QsWindow, std::int32_t event, QsWord a, QsWord b, QsWord) {
  Offer offer{event, "", {}};
  if (const char* name = g_name(static_cast<QsHandle>(a))) offer.element = name;
  if (event == 18)
    for (auto* text = reinterpret_cast<const char* const*>(b); text && *text; ++text)
      offer.items.push_back(*text);
  g_offers.push_back(offer);
  return 1;
}

QsWord RecordError(QsWindow, std::int32_t, QsWord code, QsWord, QsWord) {
  g_errors.push_back(static_cast<std::int32_t>(code));
  return 1;
}

QsWord Locked(QsWindow, std::int32_t, QsWord, QsWord, QsWord) { return 1; }

const char kDocument[] =
    "<!DOCTYPE doc [\n"
    "<!ELEMENT doc - - (sec|xref)*>\n<!ATTLIST doc id ID #IMPLIED>\n"
    "<!ELEMENT sec - - (#PCDATA)>\n"
    "<!ATTLIST sec id ID #IMPLIED kind (a|b) a n NUMBER #IMPLIED>\n"
    "<!ELEMENT xref - O EMPTY>\n<!ATTLIST xref linkend IDREFS #REQUIRED>\n"
    "]>\n"
    "<doc id=top><sec id=s1 n=7>One two</sec><sec>Three</sec>"
    "<xref linkend=\"s1 gone\"><xref linkend=s1></doc>\n";

class LinksThroughDll : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder("qslinks");
    g_offers.clear();
    g_errors.clear();
    g_name = QS_BIND(QsGetElementName);
    for (int event : {17, 18}) QS_BIND(QsSetCallback)(0, event, RecordOffer, 0);
    QS_BIND(QsSetCallback)(0, 16, RecordError, 0);
    QS_BIND(QsSetCallback)(0, 49, Locked, 0);
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Links",
                                    nullptr, nullptr, nullptr, dir_.c_str(), nullptr),
              0);
    std::string path = Write("links.sgm", kDocument);
    doc_ = QS_BIND(QsParseDocument)(path.c_str(), nullptr, 0, nullptr, 0);
    ASSERT_NE(doc_, 0u);
  }
  void TearDown() override {
    QS_BIND(QsTerminate)();
    EngineDll::TearDown();
  }
  QsHandle doc_ = 0;
};

TEST_F(LinksThroughDll, PointersAndLocations) {
  QsHandle sec = QS_BIND(QsGetElementByPointer)(doc_, "ROOT CHILD (2)");
  ASSERT_NE(sec, 0u);
  EXPECT_STREQ(QS_BIND(QsGetElementName)(sec), "SEC");
  char buffer[64];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_STREQ(QS_BIND(QsGetNodeLocation)(sec, buffer, sizeof buffer), "ID(TOP) CHILD (2)");
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(QS_BIND(QsGetNodeLocation)(sec, buffer, 1), buffer);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'x');
  EXPECT_EQ(QS_BIND(QsGotoLocation)(sec, "HERE PREVIOUS (1)"), 1);
  EXPECT_STREQ(QS_BIND(QsGetNodeLocation)(sec, buffer, sizeof buffer), "ID(S1)");
  EXPECT_EQ(QS_BIND(QsParseLocation)(sec, "BADREF x"), 0u);
  EXPECT_EQ(QS_BIND(QsGetElementByPointer)(doc_, "ID(nosuch)"), 0u);
  EXPECT_TRUE(g_errors.empty());
  EXPECT_EQ(QS_BIND(QsGetElementByPointer)(doc_, "ROOT CHILD (X)"), 0u);
  EXPECT_EQ(g_errors, (std::vector<std::int32_t>{9}));
  QS_BIND(QsReleaseHandle)(sec);
}

TEST_F(LinksThroughDll, LinksOfferTheirTargetsAsTexts) {
  QsHandle xref = QS_BIND(QsGetElementByPointer)(doc_, "ROOT CHILD (3)");
  ASSERT_NE(xref, 0u);
  QS_BIND(QsFollowLink)(xref);
  ASSERT_EQ(g_offers.size(), 1u);
  EXPECT_EQ(g_offers[0].event, 18);
  EXPECT_EQ(g_offers[0].element, "XREF");
  EXPECT_EQ(g_offers[0].items, (std::vector<std::string>{"ID S1", "BADREF GONE"}));
  // A section refers to nothing.
  QsHandle sec = QS_BIND(QsGetElementByPointer)(doc_, "ID(s1)");
  QS_BIND(QsFollowLink)(sec);
  EXPECT_EQ(g_errors, (std::vector<std::int32_t>{25}));

  g_offers.clear();
  EXPECT_EQ(QS_BIND(QsListAttributes)(0, sec), 1);
  ASSERT_EQ(g_offers.size(), 1u);
  EXPECT_EQ(g_offers[0].event, 17);
  EXPECT_EQ(g_offers[0].element, "SEC");
  EXPECT_EQ(QS_BIND(QsListAttributes)(0, 0), 0);
  for (QsHandle h : {xref, sec}) QS_BIND(QsReleaseHandle)(h);
}

}  // namespace
}  // namespace qs::test
