// Texts the host hands over for one call, as the parser's entity storage
// finds them by name.
#include "api/text_sources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "foundation/engine_services.h"
#include "foundation/entity_storage.h"
#include "foundation/stream.h"
#include "recording_sink.h"

namespace qs {
namespace {

class TextSourcesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  }
  void TearDown() override { QsTerminate(); }
  test::RecordingSink sink_;
};

// What the parser would read for `name`; "<none>" when it finds no source
// (it would then go on to the host and the file system).
std::string ReadSource(const char* name) {
  const void* data;
  std::size_t length;
  if (const char* text = GetEngineServices().FindMemoryText(name)) return text;
  if (GetEngineServices().FindCallbackText(name, &data, &length))
    return std::string(static_cast<const char*>(data), length);
  return "<none>";
}

// A procedure delivering the given blocks, then null.
struct Blocks {
  std::vector<std::string> blocks;
  std::size_t next = 0;
  int calls = 0;
  bool lastOnFirst = false;  // clear "more" on the first block
  std::int32_t badLength = 0;
};
const char* Deliver(QsWord data, std::int32_t* length, std::int32_t* more) {
  auto* b = reinterpret_cast<Blocks*>(data);
  ++b->calls;
  EXPECT_EQ(*length, 0);
  EXPECT_EQ(*more, 1);
  if (b->next == b->blocks.size()) return nullptr;
  const std::string& block = b->blocks[b->next++];
  *length = b->badLength ? b->badLength : static_cast<std::int32_t>(block.size());
  if (b->lastOnFirst) *more = 0;
  return block.c_str();
}

TEST(SourceNames, OneCounterForEveryKind) {
  char first[kSourceNameSize], second[kSourceNameSize], third[kSourceNameSize];
  MakeSourceName(first, SourceKind::kDocument, false);
  MakeSourceName(second, SourceKind::kDtd, true);
  MakeSourceName(third, SourceKind::kWeb, false);
  unsigned long n = std::strtoul(first + 12, nullptr, 10);
  EXPECT_EQ(std::string(first), "QV-TEXT:\\DOC" + std::to_string(n) + ".RAM");
  EXPECT_EQ(std::string(second), "QV-PROC:\\DTD" + std::to_string(n + 1) + ".RAM");
  EXPECT_EQ(std::string(third), "QV-TEXT:\\WEB" + std::to_string(n + 2) + ".RAM");
}

TEST_F(TextSourcesTest, MemoryTextLivesForTheCall) {
  std::string name;
  {
    ScopedTextSource source(SourceKind::kDocument, nullptr, "<doc>text</doc>");
    ASSERT_NE(source.name(), nullptr);
    name = source.name();
    EXPECT_EQ(name.compare(0, 12, "QV-TEXT:\\DOC"), 0);
    EXPECT_EQ(ReadSource(source.name()), "<doc>text</doc>");
    // The entity storage opens it before any host or file.
    Stream* stream = OpenEntityAt(source.name(), source.name(), nullptr);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->GetChar(), '<');
    stream->Release();
  }
  EXPECT_EQ(ReadSource(name.c_str()), "<none>");
}

TEST_F(TextSourcesTest, ProcedureTexts) {
  const struct {
    std::vector<std::string> blocks;
    bool lastOnFirst;
    std::string text;
    int calls;
  } cases[] = {
      {{"<doc>", "te", "", "xt</doc>"}, false, "<doc>text</doc>", 5},
      // Empty blocks in a row are no end either.
      {{"", "", "<a>", "", "", "</a>"}, false, "<a></a>", 7},
      {{}, false, "", 1},                    // null at the first call: an empty text
      {{"<a/>", "never"}, true, "<a/>", 1},  // the first block was the last
  };
  for (const auto& c : cases) {
    Blocks blocks{c.blocks, 0, 0, c.lastOnFirst, 0};
    ScopedTextSource source(SourceKind::kStyleSheet, "QV-PROC:\\mine.ssh", &Deliver,
                            reinterpret_cast<QsWord>(&blocks));
    EXPECT_TRUE(source.entered());
    EXPECT_EQ(ReadSource("QV-PROC:\\mine.ssh"), c.text);
    EXPECT_EQ(blocks.calls, c.calls);
  }
  // A negative length is refused: nothing is entered.
  Blocks bad{{"x"}, 0, 0, false, -5};
  ScopedTextSource source(SourceKind::kDocument, nullptr, &Deliver, reinterpret_cast<QsWord>(&bad));
  EXPECT_FALSE(source.entered());
  EXPECT_EQ(ReadSource(source.name()), "<none>");
}

// A host that answers nothing but empty blocks would be called forever: after
// a thousand in a row the text is refused, and the user is told.
TEST_F(TextSourcesTest, AHostStuckOnEmptyBlocksIsRefused) {
  struct Stuck {
    int calls = 0;
    static const char* Proc(QsWord data, std::int32_t* length, std::int32_t*) {
      auto* s = reinterpret_cast<Stuck*>(data);
      // A runaway host still stops somewhere, so the test ends either way.
      if (++s->calls > 100000) return nullptr;
      *length = 0;
      return "";
    }
  } stuck;
  ScopedTextSource source(SourceKind::kDocument, "QV-PROC:\\stuck.sgm", &Stuck::Proc,
                          reinterpret_cast<QsWord>(&stuck));
  EXPECT_FALSE(source.entered());
  EXPECT_EQ(stuck.calls, kMaxEmptyHostBlocks);
  EXPECT_EQ(ReadSource("QV-PROC:\\stuck.sgm"), "<none>");
  ASSERT_EQ(sink_.messages().size(), 1u);
  EXPECT_EQ(sink_.messages()[0].text, "Can't open 'QV-PROC:\\stuck.sgm'");
}

TEST_F(TextSourcesTest, ASecondSourceOfTheSameNameLeavesTheFirst) {
  auto first = std::make_unique<ScopedTextSource>(SourceKind::kDocument, "shared", "first");
  {
    ScopedTextSource second(SourceKind::kDocument, "shared", "second");
    EXPECT_FALSE(second.entered());
    EXPECT_EQ(ReadSource("shared"), "first");  // the entity reads the source entered first
  }
  // The second call's end removes nothing of the first's.
  EXPECT_EQ(ReadSource("shared"), "first");
  first.reset();
  EXPECT_EQ(ReadSource("shared"), "<none>");
}

TEST(TextSourcesWithoutEngine, EnterNothing) {
  ScopedTextSource source(SourceKind::kDocument, nullptr, "text");
  EXPECT_EQ(source.name(), nullptr);
  EXPECT_FALSE(source.entered());
}

}  // namespace
}  // namespace qs
