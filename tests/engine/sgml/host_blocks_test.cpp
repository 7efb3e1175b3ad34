// The stream over a host's block procedure: empty blocks are no end, only a
// null block or the last-block flag is; a host stuck on empty blocks ends
// the read with an error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/engine.h"
#include "recording_sink.h"
#include "sgml/parser_report.h"

namespace qs {
namespace {

struct Blocks {
  std::vector<std::string> parts;
  bool lastFlag = true;  // the last part carries the last-block flag
  std::size_t next = 0;
  static const char* Proc(std::intptr_t data, std::intptr_t* length, std::int32_t* more) {
    auto* b = reinterpret_cast<Blocks*>(data);
    if (b->next >= b->parts.size()) return nullptr;
    const std::string& part = b->parts[b->next++];
    *length = static_cast<std::intptr_t>(part.size());
    if (b->lastFlag && b->next == b->parts.size()) *more = 0;
    return part.data();
  }
};

std::string ReadAll(Blocks& blocks) {
  auto* stream = new HostBlockStream(&Blocks::Proc, reinterpret_cast<std::intptr_t>(&blocks), "host");
  std::string read;
  for (int c; (c = stream->GetChar()) != 0;) read += static_cast<char>(c);
  stream->Release();
  return read;
}

TEST(HostBlockStream, EmptyBlocksAreNoEnd) {
  test::RecordingSink sink;
  const struct {
    std::vector<std::string> parts;
    bool lastFlag;
    std::string read;
    std::size_t calls;
  } cases[] = {
      {{"ab", "", "", "cd"}, true, "abcd", 4},
      {{"", "ab"}, true, "ab", 2},
      {{"ab", ""}, true, "ab", 2},             // an empty last block
      {{"ab", "", "cd"}, false, "abcd", 3},    // then null ends it
      {{}, true, "", 0},
  };
  for (const auto& c : cases) {
    Blocks blocks{c.parts, c.lastFlag};
    EXPECT_EQ(ReadAll(blocks), c.read);
    EXPECT_EQ(blocks.next, c.calls);
  }
  EXPECT_TRUE(sink.messages().empty());
}

TEST(HostBlockStream, AHostStuckOnEmptyBlocksEndsTheRead) {
  test::RecordingSink sink;
  HostedEngine engine(0, "C:\\Home\\", "T", nullptr);
  EngineBase* previous = SetEngine(&engine);
  Blocks stuck{std::vector<std::string>(5000), false};
  stuck.parts[0] = "ab";
  EXPECT_EQ(ReadAll(stuck), "ab");
  EXPECT_EQ(stuck.next, 1u + kMaxEmptyHostBlocks);
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "Can't open 'host'");
  SetEngine(previous);
}

}  // namespace
}  // namespace qs
