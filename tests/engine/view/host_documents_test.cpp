// Documents offered to the host before the engine parses them, and the
// stream over data the host hands over block by block.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "foundation/callbacks.h"
#include "foundation/engine.h"
#include "foundation/handle_table.h"
#include "recording_sink.h"
#include "sgml/document.h"
#include "sgml/external_id.h"
#include "view/host_documents.h"

namespace qs {
namespace {

struct Host {
  std::intptr_t answer = 0;
  std::vector<std::string> paths;
};

std::intptr_t OnLoad(WindowHandle, int, std::intptr_t a, std::intptr_t, std::intptr_t data) {
  auto* host = reinterpret_cast<Host*>(data);
  host->paths.push_back(reinterpret_cast<const char*>(a));
  return host->answer;
}

// Counts what the engine opens to read.
class CountingEngine : public HostedEngine {
 public:
  using HostedEngine::HostedEngine;
  Stream* OpenEntity(ExternalId* externalId, const char* systemPath,
                     std::int32_t* outNumber) override {
    ++opens;
    return HostedEngine::OpenEntity(externalId, systemPath, outNumber);
  }
  int opens = 0;
};

class HostDocuments : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qs-hostdocs-" + std::to_string(std::random_device{}()));  // apart from parallel runs
    std::filesystem::create_directories(dir_);
    engine_ = new CountingEngine(0, (dir_.string() + "/").c_str(), nullptr, &DispatchEvent);
    previous_ = SetEngine(engine_);
    RegisterCallback(0, kEventLoadDocument, &OnLoad, reinterpret_cast<std::intptr_t>(&host_));
    path_ = (dir_ / "doc.sgm").string();
    std::ofstream(path_) << "<!DOCTYPE d [<!ELEMENT d - - ANY>]><d>x</d>";
    id_ = new ExternalId(nullptr, nullptr, nullptr, path_.c_str(), nullptr,
                         ExternalId::kGeneralEntity);
  }
  void TearDown() override {
    id_->Release();
    delete engine_;
    SetEngine(previous_);
    FreeAllCallbacks();
    std::filesystem::remove_all(dir_);
  }
  Host host_;
  CountingEngine* engine_ = nullptr;
  EngineBase* previous_ = nullptr;
  std::filesystem::path dir_;
  std::string path_;
  ExternalId* id_ = nullptr;
};

TEST_F(HostDocuments, ZeroLeavesTheLoadToTheEngineAndGetParsesOnce) {
  HostedDocumentCache cache;
  Document* first = cache.Get(id_);
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(host_.paths.size(), 1u);
  EXPECT_EQ(host_.paths[0], path_);
  ASSERT_NE(first->Root(), nullptr);
  EXPECT_GE(engine_->opens, 1);  // the engine read the file itself
  EXPECT_EQ(first->UseCount(), 2u);  // the caller's and the cache's
  Document* again = cache.Get(id_);
  EXPECT_EQ(again, first);
  EXPECT_EQ(host_.paths.size(), 1u);  // not offered, not parsed again
  EXPECT_EQ(first->UseCount(), 3u);
  first->Release();
  again->Release();
}

// The file is there and would parse: only the refusal keeps the document
// away, and the engine never opens the file.
TEST_F(HostDocuments, MinusOneRefusesWithoutReadingTheFile) {
  host_.answer = -1;
  HostedDocumentCache cache;
  EXPECT_EQ(cache.Get(id_), nullptr);
  EXPECT_EQ(host_.paths.size(), 1u);
  EXPECT_EQ(engine_->opens, 0);
  // The same file, left to the engine, is read and parsed.
  host_.answer = 0;
  Document* parsed = cache.Get(id_);
  ASSERT_NE(parsed, nullptr);
  EXPECT_GE(engine_->opens, 1);
  parsed->Release();
}

TEST_F(HostDocuments, AHandleAnswerGivesThatDocument) {
  auto* supplied = new Document(nullptr);
  Handle h = engine_->handles->RegisterDocument(supplied);
  host_.answer = h;
  HostedDocumentCache cache;
  Document* got = cache.Get(id_);
  EXPECT_EQ(got, supplied);
  // The handle was given back; the caller and the cache hold the document.
  EXPECT_EQ(engine_->handles->UseCount(h), 0u);
  EXPECT_EQ(supplied->UseCount(), 3u);
  got->Release();
  supplied->Release();
  // A handle that names no document is a refusal.
  host_.answer = 12345;
  HostedDocumentCache other;
  EXPECT_EQ(other.Get(id_), nullptr);
}

struct Blocks {
  std::vector<std::string> parts;
  std::size_t next = 0;
  int doneCalls = 0;
};
const char* Feed(std::intptr_t data, std::int32_t* length, std::int32_t* more) {
  auto* b = reinterpret_cast<Blocks*>(data);
  if (!length && !more) {
    ++b->doneCalls;
    return nullptr;
  }
  if (b->next >= b->parts.size()) return nullptr;
  const std::string& part = b->parts[b->next++];
  *length = static_cast<std::int32_t>(part.size());
  if (b->next == b->parts.size()) *more = 0;
  return part.data();
}

TEST(MemoryReader, ReadsTheBlocksAndGivesThemBackOnce) {
  Blocks blocks{{"ab", "", "", "cd"}};
  auto* reader = new MemoryReader(&Feed, reinterpret_cast<std::intptr_t>(&blocks), "mem");
  std::string read;
  for (int c; (c = reader->GetChar()) != 0;) read += static_cast<char>(c);
  // Empty blocks are no end: only null or the last-block flag is.
  EXPECT_EQ(read, "abcd");
  EXPECT_EQ(blocks.next, 4u);
  EXPECT_EQ(blocks.doneCalls, 0);
  reader->Release();
  EXPECT_EQ(blocks.doneCalls, 1);

  Blocks whole{{"xy", "z"}};
  reader = new MemoryReader(&Feed, reinterpret_cast<std::intptr_t>(&whole), "mem");
  read.clear();
  for (int c; (c = reader->GetChar()) != 0;) read += static_cast<char>(c);
  EXPECT_EQ(read, "xyz");
  EXPECT_EQ(whole.next, 2u);
  reader->Release();
  EXPECT_EQ(whole.doneCalls, 1);

  // An empty last block ends the data.
  Blocks emptyLast{{"xy", ""}};
  reader = new MemoryReader(&Feed, reinterpret_cast<std::intptr_t>(&emptyLast), "mem");
  read.clear();
  for (int c; (c = reader->GetChar()) != 0;) read += static_cast<char>(c);
  EXPECT_EQ(read, "xy");
  EXPECT_EQ(emptyLast.next, 2u);
  reader->Release();
}

// A host that answers only empty blocks: the read ends after a thousand in a
// row, with an error that names the source.
TEST(MemoryReader, AHostStuckOnEmptyBlocksEndsTheRead) {
  test::RecordingSink sink;
  HostedEngine engine(0, "C:\\Home\\", "T", nullptr);
  EngineBase* previous = SetEngine(&engine);
  Blocks stuck{std::vector<std::string>(5000, "x")};
  for (std::string& part : stuck.parts) part.clear();
  stuck.parts[0] = "ab";
  auto* reader = new MemoryReader(&Feed, reinterpret_cast<std::intptr_t>(&stuck), "mem");
  std::string read;
  for (int c; (c = reader->GetChar()) != 0;) read += static_cast<char>(c);
  EXPECT_EQ(read, "ab");
  EXPECT_EQ(stuck.next, 1u + kMaxEmptyHostBlocks);
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "Can't open 'mem'");
  reader->Release();
  SetEngine(previous);
}

}  // namespace
}  // namespace qs
