// The order hand-off in the viewer's library with the real engine: records
// of parts-table rows written to the exchange file, and the order program
// (a recorder named "corvaoe.exe") started on it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine.h"
#include "ui.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

std::vector<std::string> g_boxes;
int RecordBox(HWND, const char* text, const char* caption, UINT) {
  g_boxes.push_back(std::string(caption) + ": " + text);
  return IDOK;
}

std::string Beside(const char* name) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

std::string ReadFile(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char block[4096];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) text.append(block, n);
    std::fclose(f);
  }
  return text;
}

const char kSgml[] =
    "<!DOCTYPE DOC [<!ELEMENT DOC - - (MMDLNO?, TABLE+)><!ELEMENT MMDLNO - - (#PCDATA)><!ATTLIST MMDLNO ID ID #IMPLIED>"
    "<!ELEMENT TABLE - - (ROW+)><!ATTLIST TABLE TYPE CDATA #IMPLIED>"
    "<!ELEMENT ROW - - (ENTRY|NOTE)+><!ATTLIST ROW ID ID #IMPLIED>"
    "<!ELEMENT ENTRY - - (#PCDATA)><!ATTLIST ENTRY ID ID #IMPLIED>"
    "<!ELEMENT NOTE - - (#PCDATA)><!ATTLIST NOTE ID ID #IMPLIED>]>"
    "<DOC><MMDLNO ID=m>M100</MMDLNO><TABLE TYPE=PARTS>"
    "<ROW ID=r1><ENTRY>10</ENTRY><ENTRY>A-1</ENTRY><ENTRY ID=c13>Bolt</ENTRY></ROW>"
    "<ROW ID=r2><ENTRY ID=c21>20</ENTRY><ENTRY>B-2</ENTRY></ROW>"
    "<ROW ID=r3><NOTE ID=n3>x</NOTE><ENTRY>30</ENTRY></ROW></TABLE>"
    "<TABLE TYPE=OTHER><ROW><ENTRY ID=o1>o</ENTRY></ROW></TABLE></DOC>";
class OrderHandOff : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "OrderHandOff_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
              std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(Beside("folder_probe.dll").c_str(), (folder_ + "\\probe.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(Beside("arg_recorder.exe").c_str(), (folder_ + "\\corvaoe.exe").c_str(), FALSE));
    program_ = LoadLibraryA((folder_ + "\\probe.dll").c_str());
    ASSERT_NE(program_, nullptr);
    previous_ = SetMessageBoxSink(RecordBox);
    g_boxes.clear();
    ASSERT_NE(eng::QsInitialize(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Order",
                                nullptr, nullptr, nullptr, folder_.c_str(), nullptr),
              0u);
    sgml_ = eng::QsOpenDocumentText(kSgml, nullptr, nullptr, QsHandle{0}, nullptr, QsWord{0});
    ASSERT_NE(sgml_, 0u);
  }
  void TearDown() override {
    if (sgml_) eng::QsReleaseHandle(sgml_);
    eng::QsTerminate();
    SetMessageBoxSink(previous_);
    if (program_) FreeLibrary(program_);
    for (const char* name : {"probe.dll", "corvaoe.exe", "corvaorder.por", "recorded.txt"})
      DeleteFileA((folder_ + "\\" + name).c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  // The element of that ID, or (id null) the document's first ENTRY.
  void Order(QsHandle document, const char* id) {
    QsHandle node = 0;
    if (id) {
      node = eng::QsGetElementById(document, id);
    } else if (QsHandle root = eng::QsGetDocumentRoot(document)) {
      node = FindElementByName(root, "ENTRY");
      eng::QsReleaseHandle(root);
    }
    ASSERT_NE(node, 0u) << id;
    AppendOrderLine(program_, nullptr, node);
    eng::QsReleaseHandle(node);
  }
  // Sends the order; answers the recorder's command line.
  std::string Send() {
    std::string recorded = folder_ + "\\recorded.txt";
    DeleteFileA(recorded.c_str());
    SendOrder(program_);
    std::string line;
    for (int i = 0; i < 200 && line.empty(); ++i) {
      Sleep(25);
      line = ReadFile(recorded);
    }
    return line;
  }
  std::string Exchange() { return ReadFile(folder_ + "\\corvaorder.por"); }

  std::string folder_;
  HMODULE program_ = nullptr;
  MessageBoxSink previous_ = nullptr;
  QsHandle sgml_ = 0;
};

// Records of one order, byte for byte.
TEST_F(OrderHandOff, RowsBecomeRecordsFromTheirFirstCell) {
  Order(sgml_, "c13");  // any cell: the record starts at the row's first
  Order(sgml_, "c21");  // two cells: the second twice
  Order(sgml_, "n3");   // a row that does not start with ENTRY: nothing
  Order(sgml_, "m");    // outside any row: nothing
  Order(sgml_, "r1");   // the same row again
  std::string line = Send();
  std::string path = folder_ + "\\corvaorder.por";
  EXPECT_EQ(line, path);  // the file's full path and nothing else
  const std::string expected =
      "M100\x02" "10\x02" "A-1\x02" "Bolt\x02" "1\x02\x02\x03"
      "M100\x02" "20\x02" "B-2\x02" "B-2\x02" "1\x02\x02\x03"
      "M100\x02" "10\x02" "A-1\x02" "Bolt\x02" "1\x02\x02\x03";
  if (GetACP() == 1252) {
    EXPECT_EQ(Exchange(), expected);
  } else {
    EXPECT_EQ(Exchange().substr(0, 100), expected.substr(0, 100)) << "code page " << GetACP();
  }
  EXPECT_TRUE(g_boxes.empty());
}

// XML rows keep white space between their cells; cells with a non-ASCII
// name or a line break still make one clean record.
TEST_F(OrderHandOff, XmlRowsAndAwkwardCellTexts) {
  const char kXml[] =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE DOC [<!ELEMENT DOC (MMDLNO, TABLE)><!ELEMENT MMDLNO (#PCDATA)>"
      "<!ELEMENT TABLE (ROW+)><!ATTLIST TABLE TYPE CDATA #IMPLIED>"
      "<!ELEMENT ROW (ENTRY+)><!ATTLIST ROW ID ID #IMPLIED>"
      "<!ELEMENT ENTRY (#PCDATA)><!ATTLIST ENTRY ID ID #IMPLIED>]>\n"
      "<DOC>\n<MMDLNO>M100</MMDLNO>\n<TABLE TYPE=\"PARTS\">\n"
      "<ROW ID=\"r1\">\n  <ENTRY>10</ENTRY>\n  <ENTRY>A-1</ENTRY>\n  <ENTRY ID=\"c13\">Bolt</ENTRY>\n</ROW>\n"
      "<ROW ID=\"r2\">\n  <ENTRY>20</ENTRY>\n  <ENTRY>B-2</ENTRY>\n"
      "  <ENTRY ID=\"c23\">\xC3\x89" "crou\nline</ENTRY>\n</ROW>\n</TABLE>\n</DOC>\n";
  QsHandle xml = eng::QsOpenDocumentText(kXml, nullptr, nullptr, QsHandle{0}, nullptr, QsWord{0});
  ASSERT_NE(xml, 0u);
  Order(xml, "c13");
  Order(xml, "c23");
  eng::QsReleaseHandle(xml);
  Send();
  std::string first = "M100\x02" "10\x02" "A-1\x02" "Bolt\x02" "1\x02\x02\x03";
  std::string exchange = Exchange();
  ASSERT_GE(exchange.size(), first.size());
  EXPECT_EQ(exchange.substr(0, first.size()), first);  // the same record as the SGML row
  if (GetACP() == 1252) {
    EXPECT_EQ(exchange.substr(first.size()),
              "M100\x02" "20\x02" "B-2\x02" "\xC9" "crou line\x02" "1\x02\x02\x03");
  }
}

// A document without a model number orders under the model read before.
TEST_F(OrderHandOff, ADocumentWithoutAModelKeepsThePreviousOne) {
  const char kBare[] =
      "<!DOCTYPE DOC [<!ELEMENT DOC - - (TABLE)><!ELEMENT TABLE - - (ROW+)>"
      "<!ATTLIST TABLE TYPE CDATA #IMPLIED><!ELEMENT ROW - - (ENTRY+)>"
      "<!ELEMENT ENTRY - - (#PCDATA)><!ATTLIST ENTRY ID ID #IMPLIED>]>"
      "<DOC><TABLE TYPE=PARTS><ROW><ENTRY ID=b1>7</ENTRY><ENTRY>Z-9</ENTRY>"
      "<ENTRY>Pin</ENTRY></ROW></TABLE></DOC>";
  QsHandle bare = eng::QsOpenDocumentText(kBare, nullptr, nullptr, QsHandle{0}, nullptr, QsWord{0});
  ASSERT_NE(bare, 0u);
  Order(sgml_, "c13");
  Order(bare, "b1");
  eng::QsReleaseHandle(bare);
  Send();
  EXPECT_EQ(Exchange(), "M100\x02" "10\x02" "A-1\x02" "Bolt\x02" "1\x02\x02\x03"
                        "M100\x02" "7\x02" "Z-9\x02" "Pin\x02" "1\x02\x02\x03");
}

TEST_F(OrderHandOff, PartsTablesAreFoundByTypeAndEmptyOrdersStartFresh) {
  QsHandle cell = eng::QsGetElementById(sgml_, "c21");
  QsHandle table = IsInPartsTable(cell);
  ASSERT_NE(table, 0u);
  EXPECT_STREQ(eng::QsGetElementName(table), "TABLE");
  EXPECT_STREQ(eng::QsGetAttribute(table, "TYPE"), "PARTS");
  QsHandle other = eng::QsGetElementById(sgml_, "o1");
  EXPECT_EQ(IsInPartsTable(other), 0u);
  for (QsHandle h : {cell, table, other}) eng::QsReleaseHandle(h);

  // A stale file from an earlier run goes before the order program starts.
  FILE* stale = std::fopen((folder_ + "\\corvaorder.por").c_str(), "wb");
  ASSERT_NE(stale, nullptr);
  std::fputs("old", stale);
  std::fclose(stale);
  EXPECT_EQ(Send(), folder_ + "\\corvaorder.por");
  EXPECT_EQ(GetFileAttributesA((folder_ + "\\corvaorder.por").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OrderHandOff, FailuresAreToldNotLost) {
  std::string path = folder_ + "\\corvaorder.por";
  HANDLE held = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Order(sgml_, "c13");
  CloseHandle(held);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0], std::string(kTitle) + ": Can't create file \"" + path + "\"");

  g_boxes.clear();
  DeleteFileA((folder_ + "\\corvaoe.exe").c_str());
  SendOrder(program_);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0], "Can't Execute: " + folder_ + "\\corvaoe.exe");
}

}  // namespace
}  // namespace qs::viewer
