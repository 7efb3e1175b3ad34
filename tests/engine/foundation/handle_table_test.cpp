#include "foundation/handle_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "foundation/callbacks.h"
#include "foundation/engine.h"
#include "foundation/engine_services.h"
#include "recording_sink.h"
#include "sgml/document.h"
#include "temp_folder.h"

namespace qs {
namespace {

// A stand-in object that records what the handle records do to it.
struct Probe {
  int uses = 0;
  int deleted = 0;
  const char* publicId = nullptr;
  const char* path = nullptr;
};

void Acquire(void* p) { ++static_cast<Probe*>(p)->uses; }
void Drop(void* p) { --static_cast<Probe*>(p)->uses; }
void Delete(void* p) { ++static_cast<Probe*>(p)->deleted; }
bool Identify(void* p, HandleIdentity* out) {
  auto* probe = static_cast<Probe*>(p);
  if (!probe->publicId && !probe->path) return false;
  out->publicId = probe->publicId;
  if (probe->path) {
    out->hasPath = true;
    std::snprintf(out->path, sizeof out->path, "%s", probe->path);
  }
  return true;
}

// Shared objects take and drop a use; wrappers are deleted with their record.
struct ProbeOps {
  HandleTypeOps ops[kHandleTypeCount];
  ProbeOps() {
    for (auto& o : ops) o = {Acquire, Drop, Identify};
    for (HandleType t : {HandleType::kWeb, HandleType::kAnchor}) {
      ops[static_cast<int>(t)] = {nullptr, nullptr, Identify};
    }
    for (HandleType t : {HandleType::kNode, HandleType::kEntity, HandleType::kTagSet,
                         HandleType::kSelSet}) {
      ops[static_cast<int>(t)] = {nullptr, Delete, Identify};
    }
  }
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(HandleTable, NumbersStartAtTwoAndAreNeverReused) {
  ProbeOps ops;
  HandleTable table(ops.ops);
  Probe a, b, c;
  EXPECT_EQ(table.Register(&a, HandleType::kDocument), 2u);
  EXPECT_EQ(table.Register(&b, HandleType::kNode), 3u);
  EXPECT_EQ(table.Release(2), 0u);
  EXPECT_EQ(table.Register(&c, HandleType::kDtd), 4u);
  EXPECT_EQ(table.Register(&a, HandleType::kDocument), 5u);  // a new record, a new number
  EXPECT_EQ(table.Count(), 3u);
}

TEST(HandleTable, SecondRegistrationSharesTheHandle) {
  ProbeOps ops;
  HandleTable table(ops.ops);
  Probe doc;
  Handle h = table.RegisterDocument(&doc);
  EXPECT_EQ(table.RegisterDocument(&doc), h);
  EXPECT_EQ(table.UseCount(h), 2u);
  EXPECT_EQ(doc.uses, 1);  // the record holds one use of the object, whatever its count

  EXPECT_EQ(table.Release(h), 1u);
  EXPECT_EQ(table.LookupDocument(h), &doc);
  EXPECT_EQ(table.Release(h), 0u);
  EXPECT_EQ(doc.uses, 0);
  EXPECT_EQ(table.LookupDocument(h), nullptr);
  EXPECT_EQ(table.Release(h), HandleTable::kNoHandle);
}

TEST(HandleTable, ReleaseOfNothingChangesNothing) {
  ProbeOps ops;
  HandleTable table(ops.ops);
  Probe doc;
  Handle h = table.RegisterDocument(&doc);
  for (Handle bad : {0u, 1u, h + 1, 0xFFFFFFFFu}) {
    EXPECT_EQ(table.Release(bad), HandleTable::kNoHandle) << bad;
    EXPECT_EQ(table.AddRef(bad), 0u) << bad;
    EXPECT_EQ(table.UseCount(bad), 0u) << bad;
  }
  EXPECT_EQ(table.UseCount(h), 1u);
}

TEST(HandleTable, LookupNeedsTheExactType) {
  ProbeOps ops;
  HandleTable table(ops.ops);
  Probe doc, node;
  Handle d = table.RegisterDocument(&doc);
  Handle n = table.RegisterNode(&node);
  EXPECT_EQ(table.LookupDocument(d), &doc);
  EXPECT_EQ(table.LookupStyleSheet(d), nullptr);
  EXPECT_EQ(table.LookupNode(d), nullptr);
  EXPECT_EQ(table.LookupNode(n), &node);
  EXPECT_EQ(table.LookupDocument(n), nullptr);
  HandleType type;
  void* object;
  ASSERT_TRUE(table.Find(n, &type, &object));
  EXPECT_EQ(type, HandleType::kNode);
  EXPECT_EQ(object, &node);
  EXPECT_EQ(table.FindByObject(&doc), d);
  EXPECT_EQ(table.FindByObject(&ops), 0u);
}

TEST(HandleTable, WhatRecordsDoToTheirObjects) {
  ProbeOps ops;
  Probe shared, web, wrapper;
  {
    HandleTable table(ops.ops);
    Handle s = table.RegisterStyleSheet(&shared);
    table.RegisterWeb(&web);
    Handle w = table.RegisterTagSet(&wrapper);
    EXPECT_EQ(shared.uses, 1);
    EXPECT_EQ(web.uses, 0);
    EXPECT_EQ(table.Release(w), 0u);
    EXPECT_EQ(wrapper.deleted, 1);
    table.AddRef(s);
    // The table goes with records left (no engine: the log goes nowhere):
    // shared objects lose the handle's use, owned webs are untouched.
  }
  EXPECT_EQ(shared.uses, 0);
  EXPECT_EQ(web.uses, 0);
  EXPECT_EQ(web.deleted, 0);
}

TEST(HandleTable, UseCountSaturates) {
  ProbeOps ops;
  HandleTable table(ops.ops);
  Probe node;
  Handle h = table.RegisterNode(&node);
  for (int i = 1; i < 65535; ++i) table.AddRef(h);
  EXPECT_EQ(table.UseCount(h), 65535u);
  EXPECT_EQ(table.AddRef(h), 65535u);
  EXPECT_EQ(table.Register(&node, HandleType::kNode), h);
  EXPECT_EQ(table.UseCount(h), 65535u);
  EXPECT_EQ(table.Release(h), 65534u);
  EXPECT_EQ(node.deleted, 0);
}

TEST(HandleTable, ForgetRemovesEveryRecordOfAnObject) {
  ProbeOps ops;
  HandleTable table(ops.ops);
  Probe web, other;
  Handle h = table.RegisterWeb(&web);
  table.RegisterWeb(&web);
  Handle o = table.RegisterAnchor(&other);
  EXPECT_EQ(table.Forget(&web), 1);
  EXPECT_EQ(table.LookupWeb(h), nullptr);
  EXPECT_EQ(table.Release(h), HandleTable::kNoHandle);
  EXPECT_EQ(table.LookupAnchor(o), &other);
  EXPECT_EQ(table.Count(), 1u);
}

TEST(HandleTable, LeakLogListsWhatIsLeft) {
  ProbeOps ops;
  HandleTable table(ops.ops);
  Probe doc{0, 0, "-//Test//DOC Manual//EN", "D:\\docs\\manual.sgm"};
  Probe web{0, 0, nullptr, "D:\\webs\\a.web"};
  Probe bare, node;
  table.RegisterDocument(&doc);  // 2
  table.RegisterNode(&node);     // 3
  table.RegisterWeb(&web);       // 4
  table.RegisterNavigator(&bare);  // 5: no identifier
  test::TempFolder folder;
  std::string path = folder.File("qvres.log");
  ASSERT_TRUE(table.WriteLeakLog(path.c_str()));
  EXPECT_EQ(ReadFile(path),
            "Unlocked Objects\r\n\r\n"
            "HDOC\r\n\tPUBLIC -//Test//DOC Manual//EN\r\n\tSYSTEM D:\\docs\\manual.sgm\r\n\r\n"
            "HTAG\r\n"
            "HWEB\r\n\tSYSTEM D:\\webs\\a.web\r\n\r\n"
            "HNAV\r\n");
  std::remove(path.c_str());
}

// An engine that records its error reports and keeps its home in the
// test's temporary folder.
class RecordingServices : public EngineServices {
 public:
  RecordingServices() : previous_(SetEngineServices(this)) {}
  ~RecordingServices() override { SetEngineServices(previous_); }
  void ReportError(int code, std::intptr_t a, std::intptr_t, std::intptr_t,
                   std::intptr_t) override {
    errors.push_back({code, a});
  }
  const char* GetHomeDir() override { return home.c_str(); }

  std::vector<std::pair<int, std::intptr_t>> errors;
  std::string home;

 private:
  EngineServices* previous_;
};

TEST(HandleTable, TypeClashIsReportedAndKeepsTheRecord) {
  RecordingServices engine;
  ProbeOps ops;
  HandleTable table(ops.ops);
  Probe doc;
  Handle h = table.RegisterDocument(&doc);
  EXPECT_EQ(table.RegisterStyleSheet(&doc), h);
  EXPECT_EQ(table.UseCount(h), 2u);
  EXPECT_EQ(table.LookupDocument(h), &doc);
  EXPECT_EQ(table.LookupStyleSheet(h), nullptr);
  // Engine error 0, "Internal Error %d", with 16.
  ASSERT_EQ(engine.errors.size(), 1u);
  EXPECT_EQ(engine.errors[0], std::make_pair(0, std::intptr_t{16}));
  table.Release(h);
  table.Release(h);
}

TEST(HandleTable, TableGoingWithHandlesLeftWritesTheLogBesideHome) {
  RecordingServices engine;
  test::TempFolder folder;
  engine.home = folder.dir() + "/";
  std::string log = folder.File("qvres.log");
  ProbeOps ops;
  {
    HandleTable table(ops.ops);
    Probe node;
    table.RegisterNode(&node);
    HandleTable empty(ops.ops);
  }
  EXPECT_EQ(ReadFile(log), "Unlocked Objects\r\n\r\nHTAG\r\n");
  std::remove(log.c_str());
  {
    HandleTable table(ops.ops);
    Probe node;
    table.Release(table.RegisterNode(&node));
  }
  EXPECT_EQ(ReadFile(log), "");  // nothing left, no log
}


// Shut-down with handles still held: the host is offered event 49, a host
// that does not take it gets the warning, and the log lists what was left.
std::intptr_t Answer(WindowHandle, int event, std::intptr_t, std::intptr_t, std::intptr_t data) {
  auto* calls = reinterpret_cast<std::vector<int>*>(data);
  calls->push_back(event);
  return calls->size() == 1 ? 1 : 0;  // the first shut-down is taken, the second is not
}

TEST(HandleTable, EngineShutDownWithHandlesLeft) {
  test::RecordingSink sink;
  test::TempFolder folder;
  std::string home = folder.dir() + "/";
  std::string log = folder.File("qvres.log");
  std::vector<int> calls;
  RegisterCallback(0, kEventLockedObjects, &Answer, reinterpret_cast<std::intptr_t>(&calls));
  for (int round = 0; round < 2; ++round) {
    std::remove(log.c_str());
    auto* engine = new HostedEngine(0, home.c_str(), nullptr, &DispatchEvent);
    EngineBase* previous = SetEngine(engine);
    auto* document = new Document(nullptr);
    engine->handles->RegisterDocument(document);
    document->Release();  // the handle holds the only use: the engine's end frees it
    delete engine;
    SetEngine(previous);
    EXPECT_EQ(ReadFile(log), "Unlocked Objects\r\n\r\nHDOC\r\n") << round;
  }
  EXPECT_EQ(calls, (std::vector<int>{kEventLockedObjects, kEventLockedObjects}));
  ASSERT_EQ(sink.messages().size(), 1u);  // only the host that did not take it is warned
  EXPECT_EQ(sink.messages()[0].text, "There are locked objects");
  EXPECT_EQ(sink.messages()[0].caption, "Warning");
  FreeAllCallbacks();
  std::remove(log.c_str());
}

TEST(HandleTable, EngineShutDownWithNothingHeldIsQuiet) {
  test::RecordingSink sink;
  test::TempFolder folder;
  std::string home = folder.dir() + "/";
  std::string log = folder.File("qvres.log");
  std::vector<int> calls;
  RegisterCallback(0, kEventLockedObjects, &Answer, reinterpret_cast<std::intptr_t>(&calls));
  auto* engine = new HostedEngine(0, home.c_str(), nullptr, &DispatchEvent);
  EngineBase* previous = SetEngine(engine);
  auto* document = new Document(nullptr);
  engine->handles->Release(engine->handles->RegisterDocument(document));
  document->Release();
  delete engine;
  SetEngine(previous);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(sink.messages().empty());
  EXPECT_EQ(ReadFile(log), "");
  FreeAllCallbacks();
}

}  // namespace
}  // namespace qs
