#include "foundation/entity_storage.h"

#include <gtest/gtest.h>

#include <string>

#include "engine_services_fake.h"
#include "foundation/paths.h"
#include "temp_folder.h"

namespace qs {
namespace {

using test::FakeEngine;
using test::TempFolder;

std::string Drain(Stream* s) {
  std::string out(1 << 16, '\0');
  out.resize(s->Read(out.data(), out.size()));
  return out;
}

class EntityStorageTest : public testing::Test {
 protected:
  EntityStorageTest() { DeleteTempFiles(nullptr); }
  ~EntityStorageTest() override { DeleteTempFiles(nullptr); }
  std::string Make(const std::string& name, const std::string& bytes) {
    std::string path = tmp.dir() + "\\" + name;
    File* f = File::Open(path.c_str(), File::kModeCreate);
    if (f) f->Write(bytes.data(), bytes.size());
    delete f;
    return path;
  }
  // The host answers event 3 with `result` and `flags`.
  void Answer(std::intptr_t result, std::int32_t flags) {
    engine.onEvent = [=](int event, std::intptr_t, std::intptr_t b) -> std::intptr_t {
      if (event != kEventResolveSystemId) return 0;
      *reinterpret_cast<std::int32_t*>(b) = flags;
      return result;
    };
  }
  std::vector<int> EventNumbers() const {
    std::vector<int> v;
    for (auto& e : engine.events) v.push_back(e.event);
    return v;
  }
  TempFolder tmp;
  FakeEngine engine{tmp.dir(), tmp.dir() + "\\"};
};

TEST_F(EntityStorageTest, OpenFromWhatTheEngineHolds) {
  const std::string path = Make("doc.sgm", "file text");
  engine.memoryTexts.push_back({"mem.sgm", "memory text"});
  engine.callbackTexts.push_back({"cb.sgm", std::string("bin\0ary", 7)});
  const std::string copy = Make("copy.sgm", "copy text");
  ASSERT_TRUE(RegisterTempFile("copied.sgm", copy.c_str(), 9));
  struct Case {
    std::string path;
    std::string data;
    std::int32_t number;
  } cases[] = {{"mem.sgm", "memory text", 0},
               {"cb.sgm", std::string("bin\0ary", 7), 0},
               {"copied.sgm", "copy text", 9},
               {path, "file text", 0}};
  for (const Case& c : cases) {
    std::int32_t number = -1;
    Stream* s = OpenEntityAt(c.path.c_str(), "ent", &number);
    ASSERT_NE(s, nullptr) << c.path;
    EXPECT_TRUE(s->IsReadable());
    EXPECT_STREQ(s->SourceName(), "ent");
    EXPECT_EQ(Drain(s), c.data);
    EXPECT_EQ(number, c.number);
    s->Release();
  }
  EXPECT_EQ(OpenEntityAt(tmp.File("missing.sgm").c_str(), nullptr, nullptr), nullptr);
  EXPECT_EQ(OpenEntityAt(nullptr, nullptr, nullptr), nullptr);
  // Only the file and the missing file went to the host.
  EXPECT_EQ(EventNumbers(), (std::vector<int>{3, 3}));
}

TEST_F(EntityStorageTest, OpenWhatTheHostAnswers) {
  const std::string file = Make("host.sgm", "host file");
  char text[] = "host text";
  HostDataBlock block{"blo\0ck", 6};
  struct Case {
    std::intptr_t result;
    std::int32_t flags;
    std::string data;
    std::vector<int> events;  // 48 gives something back
    bool registered;
  } cases[] = {
      {reinterpret_cast<std::intptr_t>(file.c_str()), kResultIsFileName, "host file", {3}, false},
      {reinterpret_cast<std::intptr_t>(file.c_str()), kResultIsFileName | kHostOwnsResult | kRegisterAsTemp | (5 << 16),
       "host file", {3, 48}, true},
      {reinterpret_cast<std::intptr_t>(&block), kResultIsBlock | kHostOwnsResult, std::string("blo\0ck", 6), {3, 48}, false},
      {reinterpret_cast<std::intptr_t>(&block), kResultIsBlock, std::string("blo\0ck", 6), {3}, false},
      {reinterpret_cast<std::intptr_t>(text), 0, "host text", {3}, false},
      {reinterpret_cast<std::intptr_t>(text), kHostOwnsResult, "host text", {3, 48}, false},  // at release
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    DeleteTempFiles(nullptr);
    engine.events.clear();
    Answer(c.result, c.flags);
    std::int32_t number = -1;
    Stream* s = OpenEntityAt("wanted.sgm", nullptr, &number);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Drain(s), c.data);
    s->Release();
    EXPECT_EQ(EventNumbers(), c.events);
    EXPECT_STREQ(reinterpret_cast<const char*>(engine.events[0].a), "wanted.sgm");
    if (c.events.size() > 1) EXPECT_EQ(engine.events[1].a, c.result);
    EXPECT_EQ(number, (c.flags >> 16) & 31);
    EXPECT_EQ(LookupTempFile("wanted.sgm", nullptr) != nullptr, c.registered);
  }
  DeleteTempFiles(nullptr);  // a registered host file goes with its entry
  EXPECT_EQ(File::Exists(file.c_str()), 0);
  Answer(reinterpret_cast<std::intptr_t>("no-such-file"), kResultIsFileName);
  EXPECT_EQ(OpenEntityAt("wanted.sgm", nullptr, nullptr), nullptr);
}

TEST_F(EntityStorageTest, LocalFiles) {
  const std::string file = Make("plain.sgm", "plain");
  engine.memoryTexts.push_back({"D:\\m\\mem.ent", "memory"});
  char out[kPathCapacity];
  std::int32_t number = -1;

  // A file on the disk is its own local file.
  ASSERT_EQ(GetLocalFileAt(file.c_str(), out, &number), 1);
  EXPECT_STREQ(out, file.c_str());
  EXPECT_EQ(GetLocalFileAt(tmp.File("none.sgm").c_str(), out, &number), 0);

  // Text in memory is copied once, then found again.
  ASSERT_EQ(GetLocalFileAt("D:\\m\\mem.ent", out, &number), 1);
  std::string copy = out;
  EXPECT_EQ(copy.substr(copy.size() - 4), ".ent");
  FileInStream back(copy.c_str(), nullptr);
  EXPECT_EQ(Drain(&back), "memory");
  engine.events.clear();
  ASSERT_EQ(GetLocalFileAt("D:\\m\\mem.ent", out, &number), 1);
  EXPECT_EQ(copy, out);

  // The host's answers.
  HostDataBlock block{"bytes", 5};
  Answer(reinterpret_cast<std::intptr_t>(&block), kResultIsBlock | (3 << 16));
  ASSERT_EQ(GetLocalFileAt("x.dat", out, &number), 1);
  EXPECT_EQ(number, 3);
  std::int32_t registered = 0;
  EXPECT_STREQ(LookupTempFile("x.dat", &registered), out);
  EXPECT_EQ(registered, 3);

  char name[] = "C:\\host\\given.sgm";
  engine.events.clear();
  Answer(reinterpret_cast<std::intptr_t>(name), kResultIsFileName | kHostOwnsResult);
  ASSERT_EQ(GetLocalFileAt("y.sgm", out, &number), 1);
  EXPECT_STREQ(out, name);
  EXPECT_EQ(EventNumbers(), (std::vector<int>{3, 48}));
  EXPECT_EQ(GetLocalFileAt(nullptr, out, &number), 0);
}

}  // namespace
}  // namespace qs
