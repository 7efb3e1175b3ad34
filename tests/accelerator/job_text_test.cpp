// The accelerator's command line, parameter file, entity-list walk and the
// placement of its dialogs.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "job_text.h"

namespace qs::accel {
namespace {

TEST(GetArgument, WithAndWithoutAProgramName) {
  struct Case {
    const char* line;
    const char* first;   // null: missing
    const char* second;  // null: missing
  };
  const Case cases[] = {
      // As the viewer starts it: no program name, the line ends in a blank.
      {"C:\\temp\\CV1A.tmp ", "C:\\temp\\CV1A.tmp", nullptr},
      {"C:\\temp\\CV1A.tmp alice:pw", "C:\\temp\\CV1A.tmp", "alice:pw"},
      {"\"C:\\Program Files\\CvAccel.exe\" C:\\t\\CV2.tmp", "C:\\t\\CV2.tmp", nullptr},
      {"\"C:\\p q\\CvAccel.exe\"  \"C:\\my temp\\CV3.tmp\"\tbob:x", "C:\\my temp\\CV3.tmp",
       "bob:x"},
      {"  \t", nullptr, nullptr},
      {"", nullptr, nullptr},
      {"\"C:\\CvAccel.exe\"", nullptr, nullptr},
      {"\"C:\\CvAccel.exe\" \"\" x", nullptr, "x"},
      {"a\"b\"c", "a", "b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string arg;
    EXPECT_EQ(GetArgument(c.line, 1, &arg), c.first != nullptr);
    if (c.first) {
      EXPECT_EQ(arg, c.first);
    }
    EXPECT_EQ(GetArgument(c.line, 2, &arg), c.second != nullptr);
    if (c.second) {
      EXPECT_EQ(arg, c.second);
    }
  }
}

TEST(ReadParameters, KeysInAnyCaseValuesAfterBlanksTabsOrEquals) {
  Parameters p = ReadParameters(
      "# written by hand\r\nproxy=127.0.0.1:3128\r\nSaveDir\t C:\\run\\17\\  \r\n"
      "url = http://srv/doc.sgm # the document\r\nTMPFILE C:\\t\\list.txt #end");
  EXPECT_EQ(p.proxy, "127.0.0.1:3128");
  EXPECT_EQ(p.saveDir, "C:\\run\\17\\");
  EXPECT_EQ(p.url, "http://srv/doc.sgm");
  EXPECT_EQ(p.tmpFile, "C:\\t\\list.txt");
  // The viewer's own file: an empty proxy, no TMPFILE.
  p = ReadParameters("PROXY \r\nSAVEDIR C:\\r\\\r\nURL http://h/d.sgm\r\n");
  EXPECT_EQ(p.proxy, "");
  EXPECT_EQ(p.saveDir, "C:\\r\\");
  EXPECT_EQ(p.url, "http://h/d.sgm");
  EXPECT_EQ(p.tmpFile, "");
  // A key inside a line or a comment is no key.
  p = ReadParameters("X URL http://a/\r\n#URL http://b/\r\n");
  EXPECT_EQ(p.url, "");
}

using Fetches = std::vector<std::pair<std::string, std::string>>;

Fetches Walk(const std::string& list, const std::string& url) {
  Fetches fetches;
  WalkEntityList(list, url, [&](const std::string& link, const std::string& base) {
    fetches.emplace_back(link, base);
  });
  return fetches;
}

TEST(WalkEntityList, FetchesTheDocumentsEntitiesOnly) {
  const std::string doc = "http://srv/m/doc.sgm";
  // A foreign document's entity is skipped; "<url>" changes the base for the
  // names after it.
  std::string list =
      "<url>http://srv/m/doc.sgm</url>\r\n"
      "<ent>fig/a.gif<file>doc.sgm\r\n"
      "<ent>b.gif<file>other.sgm\r\n"
      "<url>http://srv/x/y.sgm</url>\r\n"
      "<ent>c.gif<file>../m/doc.sgm\r\n"
      "<ent>d.gif<file>doc.sgm trailing words\r\n";
  EXPECT_EQ(Walk(list, doc), (Fetches{{"fig/a.gif", "http://srv/m/doc.sgm"},
                                      {"c.gif", "http://srv/x/y.sgm"}}));
  // Case of tags and of the URL does not matter, but only "<ent>" in lower
  // case counts the passes.
  EXPECT_EQ(Walk("<URL>http://srv/m/doc.sgm</URL><ent>a<FILE>doc.sgm\n<ent>b<file>DOC.SGM",
                 "HTTP://SRV/M/doc.sgm"),
            (Fetches{{"a", "http://srv/m/doc.sgm"}, {"b", "http://srv/m/doc.sgm"}}));
  EXPECT_EQ(CountFiles(list, doc), 2u);
}

TEST(WalkEntityList, OtherElementsUseUpPasses) {
  const std::string doc = "http://srv/doc.sgm";
  std::string list =
      "<url>http://srv/doc.sgm</url>\n<ent>a<file>doc.sgm\n<note>x</note>\n"
      "<ent>b<file>doc.sgm\n<ent>c<file>doc.sgm\n";
  // Three passes: a, the note, b; c is never looked at.
  EXPECT_EQ(Walk(list, doc), (Fetches{{"a", "http://srv/doc.sgm"}, {"b", "http://srv/doc.sgm"}}));
}

TEST(WalkEntityList, MalformedListsEndTheWalk) {
  const std::string doc = "http://srv/doc.sgm";
  const char* const lists[] = {
      "",
      "<ent>a<file>doc.sgm\n",                                    // no base
      "<url>http://srv/doc.sgm\n<ent>a<file>doc.sgm\n",           // base not closed
      "<url>http://srv/doc.sgm</url><ent>a doc.sgm\n",            // no "<file>"
      "<url>http://srv/doc.sgm</url>\n<ent>b<file>doc.sgm\n<x>unended\n<ent>c<file>doc.sgm",
  };
  EXPECT_TRUE(Walk(lists[0], doc).empty());
  EXPECT_TRUE(Walk(lists[1], doc).empty());
  EXPECT_TRUE(Walk(lists[2], doc).empty());
  EXPECT_TRUE(Walk(lists[3], doc).empty());
  EXPECT_EQ(Walk(lists[4], doc), (Fetches{{"b", "http://srv/doc.sgm"}}));
  // A name longer than its piece is not taken for a shorter one.
  std::string longName = "<url>http://srv/</url>\n<ent>a<file>" + std::string(300, 'n') + "\n";
  EXPECT_TRUE(Walk(longName, "http://srv/" + std::string(244, 'n')).empty());
  // A name at the very end of the list, without a line end, is whole.
  EXPECT_EQ(Walk("<url>http://srv/doc.sgm</url>\n<ent>a<file>doc.sgm", doc).size(), 1u);
}

TEST(DialogTexts, FieldsOfTheProgressAndLoginDialogs) {
  EXPECT_EQ(FileCountText(2, 3), "Now Downloading File 2 of 3");
  std::string forty(40, 'x');
  EXPECT_EQ(StringTail(forty), forty);
  EXPECT_EQ(StringTail("y" + forty), forty);
  EXPECT_EQ(HostPart("http://127.0.0.1:8080/a/b.sgm"), "http://127.0.0.1:8080/");
  EXPECT_EQ(UpToLastSlash("http://srv/a/b.sgm"), "http://srv/a/");
  EXPECT_EQ(StagingFolder("C:\\run\\17\\", 42), "C:\\run\\17\\_docpull_42");
  EXPECT_EQ(StagingFolder("C:\\run\\17", 42), "C:\\run\\17\\_docpull_42");
}

TEST(Placement, WorkAreaOverTaskbarStates) {
  const Box desktop{0, 0, 1024, 768};
  struct Case {
    const char* name;
    bool onTop, autoHide;
    Box bar;
    Box area;
  };
  const Case cases[] = {
      {"bottom", true, false, {0, 738, 1024, 768}, {0, 0, 1024, 738}},
      {"bottom, pushed 2 pixels off", true, false, {-2, 740, 1026, 770}, {0, 0, 1024, 738}},
      {"right", true, false, {964, 0, 1024, 768}, {0, 0, 964, 768}},
      {"left", true, false, {0, 0, 60, 768}, {60, 0, 1024, 768}},
      {"top", true, false, {0, 0, 1024, 30}, {0, 30, 1024, 768}},
      {"hides itself", true, true, {0, 738, 1024, 768}, desktop},
      {"not on top", false, false, {0, 738, 1024, 768}, desktop},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WorkArea(desktop, c.onTop, c.autoHide, &c.bar), c.area);
  }
  EXPECT_EQ(WorkArea(desktop, true, false, nullptr), desktop);
}

TEST(Placement, CornersAndCentring) {
  const Box area{0, 0, 1024, 738};
  const Box dialog{100, 100, 400, 250};
  EXPECT_EQ(PlaceBox(dialog, area, 3), (Box{0, 588, 300, 738}));    // bottom-left
  EXPECT_EQ(PlaceBox(dialog, area, 0 | 2), (Box{724, 588, 1024, 738}));
  EXPECT_EQ(PlaceBox(dialog, area, 1), (Box{0, 0, 300, 150}));
  const Box owner{0, 588, 300, 738};
  EXPECT_EQ(PlaceBox(Box{0, 0, 200, 100}, owner, 3), (Box{0, 638, 200, 738}));
  EXPECT_EQ(CenterBox(Box{0, 0, 200, 100}, Box{0, 0, 400, 300}, area), (Box{100, 100, 300, 200}));
  // Pushed back inside; left and top win for a window larger than the area.
  EXPECT_EQ(CenterBox(Box{0, 0, 200, 100}, Box{900, 700, 1000, 760}, area),
            (Box{824, 638, 1024, 738}));
  EXPECT_EQ(CenterBox(Box{0, 0, 2000, 1000}, area, area), (Box{0, 0, 2000, 1000}));
}

}  // namespace
}  // namespace qs::accel
