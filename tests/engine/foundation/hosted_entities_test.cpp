#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "foundation/paths.h"
#include "sgml/external_id.h"
#include "temp_folder.h"

namespace qs {
namespace {

using test::TempFolder;

struct HostAnswer {
  std::intptr_t result = 0;
  std::int32_t flags = 0;
  std::vector<int> events;
};
HostAnswer g_answer;

std::intptr_t Host(WindowHandle, int event, std::intptr_t, std::intptr_t b) {
  g_answer.events.push_back(event);
  if (event != kEventResolveSystemId) return 0;
  *reinterpret_cast<std::int32_t*>(b) = g_answer.flags;
  return g_answer.result;
}

class HostedEntitiesTest : public testing::Test {
 protected:
  HostedEntitiesTest() : engine(0, (tmp.dir() + "\\").c_str(), "T", &Host) {
    g_answer = HostAnswer();
    previous = SetEngine(&engine);
    DeleteTempFiles(nullptr);
  }
  ~HostedEntitiesTest() override {
    DeleteTempFiles(nullptr);
    SetEngine(previous);
  }
  std::string Drain(Stream* s) {
    std::string out(4096, '\0');
    out.resize(s->Read(out.data(), out.size()));
    s->Release();
    return out;
  }
  TempFolder tmp;
  HostedEngine engine;
  EngineBase* previous;
};

TEST_F(HostedEntitiesTest, OpensWhatTheHostAnswersElseTheFile) {
  const std::string file = tmp.File("doc.sgm");
  TempFolder::Write(file, "from the file");
  ExternalId id(nullptr, nullptr, "doc", file.c_str(), nullptr, ExternalId::kGeneralEntity);

  Stream* s = engine.OpenEntity(&id, nullptr, nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->SourceName(), "doc");
  EXPECT_EQ(Drain(s), "from the file");
  EXPECT_EQ(g_answer.events, std::vector<int>{kEventResolveSystemId});

  char text[] = "from the host";
  g_answer.result = reinterpret_cast<std::intptr_t>(text);
  g_answer.flags = kHostOwnsResult | (4 << 16);
  std::int32_t number = 0;
  s = engine.OpenEntity(nullptr, file.c_str(), &number);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(number, 4);
  EXPECT_EQ(Drain(s), "from the host");
  EXPECT_EQ(g_answer.events.back(), kEventFreeHostBlock);

  char out[kPathBufferSize];
  EXPECT_EQ(engine.GetLocalFile(&id, out, &number), 0);  // no temporary folder: no copy
  engine.Initialize(nullptr, nullptr, nullptr, tmp.dir().c_str(), nullptr);
  ASSERT_EQ(engine.GetLocalFile(&id, out, &number), 1);  // the host's text, copied
  FileInStream copy(out, nullptr);
  std::string got(100, '\0');
  got.resize(copy.Read(got.data(), got.size()));
  EXPECT_EQ(got, "from the host");
  EXPECT_EQ(std::string(out).substr(std::string(out).size() - 4), ".sgm");

  g_answer.result = 0;
  ExternalId missing(nullptr, nullptr, "m", tmp.File("missing.sgm").c_str(), nullptr,
                     ExternalId::kGeneralEntity);
  EXPECT_EQ(engine.OpenEntity(&missing, nullptr, nullptr), nullptr);
  EXPECT_EQ(engine.GetLocalFile(&missing, out, nullptr), 0);
  EXPECT_EQ(engine.OpenEntity(nullptr, nullptr, nullptr), nullptr);
}

}  // namespace
}  // namespace qs
