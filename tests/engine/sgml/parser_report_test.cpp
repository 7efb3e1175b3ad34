// Parse reports: the record the report procedure receives, the prolog bit
// and offset, entity texts, cut paths and stopping through the answer.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "parser_support.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"

namespace qs::test {
namespace {

// The record as a host reads it: nine fields at the fixed offsets of the
// 64-bit layout (pointer-sized entity and arguments, 32-bit numbers), read
// from a real report's bytes rather than through the structure.
struct RawReport {
  std::int32_t kind = 0, severity = 0, line = 0, number = 0, offset = 0;
  std::string entity, argument1;
  std::intptr_t argument2 = -1, argument3 = -1;
  std::size_t reports = 0;
  static std::int32_t Proc(const void* record, std::intptr_t data) {
    auto* raw = reinterpret_cast<RawReport*>(data);
    const auto* bytes = static_cast<const unsigned char*>(record);
    auto int32At = [bytes](std::size_t at) {
      std::int32_t v;
      std::memcpy(&v, bytes + at, sizeof v);
      return v;
    };
    auto wordAt = [bytes](std::size_t at) {
      std::intptr_t v;
      std::memcpy(&v, bytes + at, sizeof v);
      return v;
    };
    ++raw->reports;
    if ((int32At(0) & 2) == 0) return 1;  // progress: not the message
    raw->kind = int32At(0);
    raw->entity = reinterpret_cast<const char*>(wordAt(8));
    raw->severity = int32At(16);
    raw->line = int32At(20);
    raw->number = int32At(24);
    raw->argument1 = reinterpret_cast<const char*>(wordAt(32));
    raw->argument2 = wordAt(40);
    raw->argument3 = wordAt(48);
    raw->offset = int32At(56);
    return 1;
  }
};

TEST(ParserReport, RecordLayoutIsNineFieldsInOrder) {
  static_assert(sizeof(void*) == 8, "the offsets below are the 64-bit layout");
  EXPECT_EQ(sizeof(QsParseReport), 64u);
  EngineScope scope;
  RawReport raw;
  ReportingParser parser(&RawReport::Proc, reinterpret_cast<std::intptr_t>(&raw), nullptr,
                         nullptr, nullptr, nullptr);
  ParseText(parser, "<!ELEMENT a - - ANY>\n<!ELEMENT b - - BOGUS>");
  ASSERT_GE(raw.reports, 1u);
  EXPECT_EQ(raw.kind, 3);
  EXPECT_EQ(raw.entity, "#TEXTENTITY");
  EXPECT_EQ(raw.severity, 1);
  EXPECT_EQ(raw.line, 2);
  EXPECT_EQ(raw.number, 26);
  EXPECT_EQ(raw.argument1, "BOGUS");
  EXPECT_EQ(raw.argument2, 0);
  EXPECT_EQ(raw.argument3, 0);
  EXPECT_EQ(raw.offset, -1);
}

TEST(ParserReport, MessagesInTheDtdCarryThePrologBit) {
  EngineScope scope;
  ReportLog log;
  ReportingParser parser(&ReportLog::Proc, reinterpret_cast<std::intptr_t>(&log), nullptr,
                         nullptr, nullptr, nullptr);
  ParseText(parser, "<!ELEMENT a - - (%missing;)>\n<!ELEMENT b - - BOGUS>");
  std::vector<ReportCopy> messages = log.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].kind, 3);
  EXPECT_EQ(messages[0].severity, 0);
  EXPECT_EQ(messages[0].number, 3);
  EXPECT_EQ(messages[0].argument1, "missing");
  EXPECT_EQ(messages[0].offset, -1);
  EXPECT_EQ(messages[0].entity, "#TEXTENTITY");
  EXPECT_EQ(messages[0].line, 1);
  EXPECT_EQ(messages[1].kind, 3);
  EXPECT_EQ(messages[1].severity, 1);
  EXPECT_EQ(messages[1].number, 26);
  EXPECT_EQ(messages[1].argument1, "BOGUS");
  EXPECT_EQ(messages[1].line, 2);
  EXPECT_TRUE(parser.Stopped());
}

TEST(ParserReport, WithoutInputTheEntityIsUnknown) {
  EngineScope scope;
  ReportLog log;
  ReportingParser parser(&ReportLog::Proc, reinterpret_cast<std::intptr_t>(&log), nullptr,
                         nullptr, nullptr, nullptr);
  parser.Warning(7, "x");
  ASSERT_EQ(log.reports.size(), 1u);
  EXPECT_EQ(log.reports[0].entity, "#UNKNOWN");
  EXPECT_EQ(log.reports[0].line, 0);
  // After the instance begins: no prolog bit, a real offset.
  parser.SetInInstance();
  parser.Warning(7, "y");
  ASSERT_EQ(log.reports.size(), 3u);
  EXPECT_EQ(log.reports[1].kind, 0);
  EXPECT_EQ(log.reports[1].number, 53);
  EXPECT_EQ(log.reports[2].kind, 2);
  EXPECT_EQ(log.reports[2].offset, 0);
}

struct Blocks {
  std::vector<std::string> parts;
  std::size_t next = 0;
  static const char* Proc(std::intptr_t data, std::intptr_t* length, std::int32_t* more) {
    auto* b = reinterpret_cast<Blocks*>(data);
    if (b->next >= b->parts.size()) return nullptr;
    const std::string& part = b->parts[b->next++];
    *length = static_cast<std::intptr_t>(part.size());
    if (b->next == b->parts.size()) *more = 0;
    return part.data();
  }
};

TEST(ParserReport, HostBlocksFeedTheParserAcrossEveryBoundary) {
  EngineScope scope;
  const std::string text =
      "<!ENTITY % m \"(a|b)\">\r\n<!ELEMENT x - - %m;-(q)>\r<!-- c -->"
      "<!ATTLIST x n CDATA \"&#65;\">\r\n<!ELEMENT y - O (#PCDATA)*+(z)>";
  Blocks blocks;
  for (char c : text) blocks.parts.push_back(std::string(1, c));
  RecordingParser parser;
  parser.ParseDeclarationInput(new HostBlockStream(&Blocks::Proc, reinterpret_cast<std::intptr_t>(&blocks)), 1);
  EXPECT_TRUE(parser.messages.empty()) << Describe(parser.messages);
  ElementTypeDecl* x = parser.GetDtd()->FindElement("X");
  ASSERT_NE(x, nullptr);
  ASSERT_NE(x->Attributes().Find("N"), nullptr);
  EXPECT_STREQ(x->Attributes().Find("N")->DefaultText(), "A");
  ASSERT_NE(parser.GetDtd()->FindElement("Y"), nullptr);
  EXPECT_EQ(parser.GetDtd()->FindElement("Y")->flags, 0x48);
  EXPECT_EQ(blocks.next, blocks.parts.size());

  Blocks none;
  RecordingParser empty;
  empty.ParseDeclarationInput(new HostBlockStream(&Blocks::Proc, reinterpret_cast<std::intptr_t>(&none)), 1);
  EXPECT_TRUE(empty.messages.empty()) << Describe(empty.messages);
}

std::vector<std::pair<int, std::intptr_t>> g_hostEvents;
std::intptr_t RecordHostEvent(WindowHandle, int event, std::intptr_t a, std::intptr_t) {
  g_hostEvents.push_back({event, a});
  return 0;
}

TEST(ParserReport, AMemorySourceGivesItsBlockBackOnce) {
  g_hostEvents.clear();
  HostedEngine engine(0, "C:\\Home\\", "T", &RecordHostEvent);
  EngineBase* previous = SetEngine(&engine);
  static const char block[] = "<!ELEMENT a - - EMPTY>";
  {
    RecordingParser parser;
    parser.ParseDeclarationInput(new MemorySource(block, sizeof block - 1), 1);
    EXPECT_NE(parser.GetDtd()->FindElement("A"), nullptr);
  }
  SetEngine(previous);
  int given = 0;
  for (const auto& e : g_hostEvents) {
    if (e.first == 48) {
      ++given;
      EXPECT_EQ(e.second, reinterpret_cast<std::intptr_t>(block));
    }
  }
  EXPECT_EQ(given, 1);
}

TEST(ParserReport, LongPathsAreCutTo95AndDots) {
  struct Case {
    std::size_t length;
    std::size_t shown;
  } cases[] = {{100, 100}, {101, 98}, {150, 98}};
  for (const Case& c : cases) {
    std::string path(c.length, 'p');
    char* text = CutReportPath(path.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::strlen(text), c.shown) << c.length;
    if (c.shown == 98) EXPECT_EQ(std::string(text), std::string(95, 'p') + "...");
    MemFree(text);
  }
}

class ReportFiles : public testing::Test {
 protected:
  void SetUp() override {
    // ctest runs each case in its own process, often in the same second,
    // so the seed alone does not keep two cases out of each other's folder.
    dir_ = std::filesystem::absolute(
        "parser-report-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
        "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    // Folders long enough that the file's full path passes 150 characters.
    deep_ = dir_ / std::string(60, 'd') / std::string(60, 'e');
    std::filesystem::create_directories(deep_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::filesystem::path p = deep_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  std::filesystem::path dir_, deep_;
};

TEST_F(ReportFiles, FileReportsNameTheCutPath) {
  EngineScope scope;
  std::string path = Write("bad.dtd", "<!ELEMENT a - - EMPTY>\n\n<!ELEMENT b - - BOGUS>");
  ASSERT_GE(path.size(), 150u);
  ReportLog log;
  ReportingParser parser(&ReportLog::Proc, reinterpret_cast<std::intptr_t>(&log), nullptr,
                         nullptr, nullptr, nullptr);
  ExternalId* id = new ExternalId(nullptr, nullptr, nullptr, path.c_str(), nullptr, 0);
  char* full = id->GetFilePath();
  ASSERT_NE(full, nullptr);
  std::string fullPath = full;
  MemFree(full);
  parser.ParseDeclarations(id, true);
  id->Release();
  ASSERT_GE(log.reports.size(), 2u);
  // First the progress report of the opened file, with the whole path.
  const ReportCopy& opened = log.reports[0];
  EXPECT_EQ(opened.kind, 5);
  EXPECT_EQ(opened.number, 53);
  EXPECT_EQ(opened.line, -1);
  EXPECT_EQ(opened.argument1, fullPath);
  EXPECT_EQ(opened.entity, fullPath.substr(0, 95) + "...");
  std::vector<ReportCopy> messages = log.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].number, 26);
  EXPECT_EQ(messages[0].entity, fullPath.substr(0, 95) + "...");
  EXPECT_EQ(messages[0].line, 3);
  EXPECT_NE(parser.GetDtd()->FindElement("A"), nullptr);
}

TEST_F(ReportFiles, EndOfInputAndUnknownEncodingNameTheirFileAndLine) {
  EngineScope scope;
  // The input ends inside an element (51, after the last frame has gone),
  // and a document names an encoding no decoder reads (52, while its
  // decoder is being chosen).
  std::string cut = Write("cut.xml", "<?xml version=\"1.0\"?>\n<a>\n<b>text\n");
  std::string odd =
      Write("odd.xml", "<?xml version=\"1.0\" encoding=\"x-no-such\"?>\n<a>x</a>\n");
  for (const std::string& path : {cut, odd}) {
    ReportLog log;
    ReportingParser parser(&ReportLog::Proc, reinterpret_cast<std::intptr_t>(&log), nullptr,
                           nullptr, nullptr, nullptr);
    ExternalId* id = new ExternalId(nullptr, nullptr, nullptr, path.c_str(), nullptr, 0);
    char* full = id->GetFilePath();
    std::string shown = std::string(full).substr(0, 95) + "...";
    MemFree(full);
    parser.ParseSource(id, false);
    id->Release();
    std::vector<ReportCopy> messages = log.Messages();
    ASSERT_EQ(messages.size(), 1u) << path;
    EXPECT_EQ(messages[0].number, path == cut ? 51 : 52);
    EXPECT_EQ(messages[0].entity, shown);
    EXPECT_EQ(messages[0].line, path == cut ? 4 : 1);
  }
}

TEST_F(ReportFiles, AZeroAnswerStopsTheParse) {
  EngineScope scope;
  std::string path = Write("ok.dtd", "<!ELEMENT a - - EMPTY>");
  ReportLog log;
  log.stopAfter = 0;
  ReportingParser parser(&ReportLog::Proc, reinterpret_cast<std::intptr_t>(&log), nullptr,
                         nullptr, nullptr, nullptr);
  ExternalId* id = new ExternalId(nullptr, nullptr, nullptr, path.c_str(), nullptr, 0);
  parser.ParseDeclarations(id, true);
  id->Release();
  EXPECT_TRUE(parser.Stopped());
  EXPECT_EQ(parser.GetDtd()->FindElement("A"), nullptr);
}

TEST_F(ReportFiles, AMissingSourceIsMessageZero) {
  EngineScope scope;
  ReportLog log;
  ReportingParser parser(&ReportLog::Proc, reinterpret_cast<std::intptr_t>(&log), nullptr,
                         nullptr, nullptr, nullptr);
  std::string path = (deep_ / "missing.dtd").string();
  ExternalId* id = new ExternalId(nullptr, nullptr, nullptr, path.c_str(), nullptr, 0);
  parser.ParseDeclarations(id, false);
  EXPECT_FALSE(parser.Stopped());
  parser.ParseDeclarations(id, true);
  EXPECT_TRUE(parser.Stopped());
  id->Release();
  std::vector<ReportCopy> messages = log.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].number, 0);
  EXPECT_EQ(messages[0].severity, 0);
  EXPECT_EQ(messages[1].severity, 1);
  EXPECT_NE(messages[1].argument1.find("missing.dtd"), std::string::npos);
}

TEST_F(ReportFiles, ExternalParameterEntitiesReportEnterAndLeave) {
  EngineScope scope;
  Write("mod.ent", "<!ELEMENT m - - EMPTY>");
  std::string path = Write("main.dtd",
                           "<!ENTITY % mod SYSTEM \"mod.ent\">%mod;\n"
                           "<!ENTITY % self SYSTEM \"self.ent\">%self;");
  Write("self.ent", "<!ELEMENT s - - EMPTY>%self;");
  ReportLog log;
  ReportingParser parser(&ReportLog::Proc, reinterpret_cast<std::intptr_t>(&log), nullptr,
                         nullptr, nullptr, nullptr);
  ExternalId* id = new ExternalId(nullptr, nullptr, nullptr, path.c_str(), nullptr, 0);
  parser.ParseDeclarations(id, true);
  id->Release();
  EXPECT_NE(parser.GetDtd()->FindElement("M"), nullptr);
  EXPECT_NE(parser.GetDtd()->FindElement("S"), nullptr);
  std::vector<int> kinds;
  for (const ReportCopy& r : log.reports) kinds.push_back(r.kind);
  // opened main, entered mod, left mod, entered self, then self again: 9.
  ASSERT_GE(kinds.size(), 5u);
  EXPECT_EQ(kinds[0], 5);
  EXPECT_EQ(kinds[1], 5);
  EXPECT_EQ(kinds[2], 9);
  EXPECT_EQ(kinds[3], 5);
  std::vector<ReportCopy> messages = log.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].number, 9);
  EXPECT_EQ(messages[0].argument1, "self");
}

TEST_F(ReportFiles, LeavingAnEntityAppliesItsVerbatimList) {
  EngineScope scope;
  std::string rc = Write("entityrc", "PUBLIC \"-//T//ENTITIES Mod//EN\"\n\tVERBATIM \"pre, listing\"\n");
  Write("mod.ent", "<!ELEMENT pre - - (#PCDATA)><!ELEMENT listing - - (#PCDATA)>");
  std::string path = Write("main.dtd",
                           "<!ELEMENT other - - EMPTY>"
                           "<!ENTITY % mod PUBLIC \"-//T//ENTITIES Mod//EN\" \"mod.ent\">%mod;");
  EntityrcFile* entityrc = new EntityrcFile(nullptr, rc.c_str());
  entityrc->Reload();
  {
    ReportLog log;
    ReportingParser reporting(&ReportLog::Proc, reinterpret_cast<std::intptr_t>(&log), nullptr,
                              entityrc, nullptr, nullptr);
    ExternalId* id = new ExternalId(nullptr, nullptr, nullptr, path.c_str(), nullptr, 0);
    reporting.ParseDeclarations(id, true);
    id->Release();
    EXPECT_TRUE(log.Messages().empty());
    Dtd& dtd = *reporting.GetDtd();
    ASSERT_NE(dtd.FindElement("PRE"), nullptr);
    EXPECT_EQ(dtd.FindElement("PRE")->flags, 0x18);
    EXPECT_EQ(dtd.FindElement("LISTING")->flags, 0x18);
    EXPECT_EQ(dtd.FindElement("OTHER")->flags, 0x01);
  }
  delete entityrc;
}

}  // namespace
}  // namespace qs::test
