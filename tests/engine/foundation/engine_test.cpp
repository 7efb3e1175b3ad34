#include "foundation/engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/callbacks.h"
#include "foundation/errors.h"
#include "foundation/handle_table.h"
#include "foundation/history.h"
#include "recording_sink.h"
#include "sgml/external_id.h"

namespace qs {
namespace {

struct Call {
  WindowHandle window;
  int event;
  std::intptr_t a, b, data;
};

// What the host's procedures saw, and what they answer.
struct HostLog {
  std::vector<Call> calls;
  std::intptr_t answer = 0;
  // Copies of the event-16 record, taken during the call.
  std::vector<std::string> errorArgs;
};
HostLog g_host;

std::intptr_t Record(WindowHandle window, int event, std::intptr_t a, std::intptr_t b,
                     std::intptr_t data) {
  g_host.calls.push_back({window, event, a, b, data});
  if (event == kEventError && a == kErrCantOpen) {
    auto* record = reinterpret_cast<const ErrorEventRecord*>(b);
    g_host.errorArgs.push_back(reinterpret_cast<const char*>(record->args[0]));
    g_host.errorArgs.push_back(std::to_string(record->args[1]));
  }
  return g_host.answer;
}

std::intptr_t Other(WindowHandle window, int event, std::intptr_t a, std::intptr_t b,
                    std::intptr_t data) {
  g_host.calls.push_back({window, event, a, b, data + 1000});
  return 7;
}

class EngineTest : public testing::Test {
 protected:
  void SetUp() override { g_host = HostLog(); }
  void TearDown() override { FreeAllCallbacks(); }
  std::vector<int> Events() const {
    std::vector<int> events;
    for (const Call& c : g_host.calls) events.push_back(c.event);
    return events;
  }
};

TEST_F(EngineTest, ErrorWithoutHandlerShowsTheEnginesBox) {
  test::RecordingSink sink;
  HostedEngine engine(0, "C:\\Home\\", "Corvina", DispatchEvent);
  engine.mainWindow = 0x1234;
  engine.ReportError(kErrCantOpen, reinterpret_cast<std::intptr_t>("x.sgm"));
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "Can't open 'x.sgm'");
  EXPECT_EQ(sink.messages()[0].caption, "Corvina");
  EXPECT_EQ(sink.messages()[0].flags, platform::kMbOk | platform::kMbIconAsterisk);
}

TEST_F(EngineTest, ErrorTakenByTheHostShowsNothing) {
  test::RecordingSink sink;
  ASSERT_TRUE(RegisterCallback(0, kEventError, Record, 55));
  g_host.answer = 1;
  HostedEngine engine(0, "C:\\Home\\", nullptr, DispatchEvent);
  engine.ReportError(kErrCantOpen, reinterpret_cast<std::intptr_t>("x.sgm"), 3);
  EXPECT_TRUE(sink.messages().empty());
  ASSERT_EQ(g_host.calls.size(), 1u);
  EXPECT_EQ(g_host.calls[0].window, 0);
  EXPECT_EQ(g_host.calls[0].a, kErrCantOpen);
  EXPECT_EQ(g_host.calls[0].data, 55);
  EXPECT_EQ(g_host.errorArgs, (std::vector<std::string>{"x.sgm", "3"}));

  // A host that declines leaves the box to the engine, with its default title.
  g_host.answer = 0;
  engine.ReportError(kErrInternal, 17);
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "Internal Error 17");
  EXPECT_EQ(sink.messages()[0].caption, "Scrivox Application");
}

TEST_F(EngineTest, ReportErrorGoesToTheCurrentEngine) {
  test::RecordingSink sink;
  ReportError(kErrNoTempHome);  // no engine: nobody to tell
  EXPECT_TRUE(sink.messages().empty());
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  EngineBase* previous = SetEngine(&engine);
  ReportError(kErrNoTempHome);
  SetEngine(previous);
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "No TempHome");
}

TEST_F(EngineTest, RunningAMissingProgramReportsError49) {
  test::RecordingSink sink;
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  engine.RunProgram("qs-no-such-program-here.exe argument");
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "Executable file was not found");
}

TEST_F(EngineTest, RegistryDispatch) {
  const WindowHandle w = 0x100, v = 0x200;
  ASSERT_TRUE(RegisterCallback(w, 17, Other, 1));
  ASSERT_TRUE(RegisterCallback(w, 17, Record, 2));  // replaces the first
  ASSERT_TRUE(RegisterCallback(0, 17, Record, 3));
  ASSERT_TRUE(RegisterCallback(0, 18, Record, 4));
  ASSERT_TRUE(RegisterCallback(v, 18, Other, 5));

  g_host.answer = 9;
  EXPECT_EQ(DispatchEvent(w, 17, 10, 11), 9);  // only the window's own entry
  EXPECT_EQ(DispatchEvent(v, 17, 12, 13), 9);  // the default, with the real window
  EXPECT_EQ(DispatchEvent(0, 17, 0, 0), 9);
  EXPECT_EQ(DispatchEvent(w, 19, 0, 0), 0);    // nobody
  ASSERT_EQ(g_host.calls.size(), 3u);
  EXPECT_EQ(g_host.calls[0].window, w);
  EXPECT_EQ(g_host.calls[0].data, 2);
  EXPECT_EQ(g_host.calls[0].a, 10);
  EXPECT_EQ(g_host.calls[0].b, 11);
  EXPECT_EQ(g_host.calls[1].window, v);
  EXPECT_EQ(g_host.calls[1].data, 3);
  EXPECT_EQ(g_host.calls[2].window, 0);

  // A destroyed window takes only its own entries away.
  EXPECT_EQ(DispatchEvent(v, kEventWindowDestroyed, 0, 0), 0);
  g_host.calls.clear();
  EXPECT_EQ(DispatchEvent(v, 18, 0, 0), 9);  // now the default
  EXPECT_EQ(DispatchEvent(w, 17, 0, 0), 9);
  ASSERT_EQ(g_host.calls.size(), 2u);
  EXPECT_EQ(g_host.calls[0].data, 4);
  EXPECT_EQ(g_host.calls[1].data, 2);

  FreeAllCallbacks();
  EXPECT_EQ(DispatchEvent(w, 17, 0, 0), 0);
}

TEST_F(EngineTest, RegistryRefusesEventsOutsideItsRange) {
  EXPECT_FALSE(RegisterCallback(0, 50, Record, 0));
  EXPECT_FALSE(RegisterCallback(0, -1, Record, 0));
  EXPECT_FALSE(RegisterCallback(0, 5, nullptr, 0));
  EXPECT_EQ(DispatchEvent(0, -1, 0, 0), 0);
  EXPECT_TRUE(RegisterCallback(0, 49, Record, 0));
  EXPECT_TRUE(RegisterCallback(0, 0, Record, 0));
}

TEST_F(EngineTest, PictureRequestScaling) {
  struct Case {
    std::intptr_t extent1, extent2, zoom;
    std::intptr_t sent1, sent2, sentZoom;
  } cases[] = {
      {100, 50, 0, 100, 50, 0},         // no area: as they are
      {100, 50, 256, 100, 50, 256},     // within the limits
      {4, 100, 256, 8, 200, 512},       // too small: zoom 2048 / 4
      {100000, 50, 256, 16015, 8, 41},  // too large: zoom 4194304 / 100000
      {100000, 10, 256, 79687, 7, 204}, // the second extent has the last word
      {0, 40, 256, 0, 40, 256},         // an empty extent divides nothing
      {0, 0, 128, 0, 0, 128},
  };
  for (const Case& c : cases) {
    PictureRequestRecord record{};
    FillPictureRequest(&record, c.extent1, c.extent2, c.zoom);
    EXPECT_EQ(record.extent1, c.sent1) << c.extent1;
    EXPECT_EQ(record.extent2, c.sent2) << c.extent1;
    EXPECT_EQ(record.zoom, c.sentZoom) << c.extent1;
  }
}

class LockedTable : public HandleTable {
 public:
  std::size_t Count() const override { return 1; }
};

TEST_F(EngineTest, LockedObjectsAtShutDown) {
  test::RecordingSink sink;
  {
    HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
    engine.handles.Set(new LockedTable);
  }
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "There are locked objects");
  EXPECT_EQ(sink.messages()[0].caption, "Warning");

  sink.Clear();
  ASSERT_TRUE(RegisterCallback(0, kEventLockedObjects, Record, 0));
  g_host.answer = 1;
  {
    HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
    engine.handles.Set(new LockedTable);
  }
  EXPECT_TRUE(sink.messages().empty());
  EXPECT_EQ(Events(), std::vector<int>{kEventLockedObjects});

  // Nothing held: no question at all.
  g_host.calls.clear();
  { HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent); }
  EXPECT_TRUE(g_host.calls.empty());
}

TEST_F(EngineTest, NewEngineTexts) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  engine.Initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_STREQ(engine.hotspotTitle, "HOTSPOT");
  EXPECT_STREQ(engine.untitledText, "<untitled>");
  EXPECT_STREQ(engine.selectTargetText, "Select Target");
  EXPECT_STREQ(engine.attributesTitle, "Attributes for <%s>");
  char buffer[512];
  EXPECT_STREQ(engine.GetString(1, buffer), "100%");
  EXPECT_EQ(engine.GetString(20, buffer), nullptr);
  EXPECT_EQ(engine.recentLimit, 4);
  EXPECT_NE(engine.tempStamp, 0);
  ASSERT_NE(engine.history(), nullptr);
  EXPECT_EQ(engine.history()->count(), 0);
}

TEST_F(EngineTest, ArgumentsOfInitializeWinAndJoinHome) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  engine.Initialize("cat\\catalog", "D:\\abs\\entityrc", "sub\\..\\setup", nullptr, nullptr);
  EXPECT_STREQ(engine.catalogFile(), "C:\\Home\\cat\\catalog");
  EXPECT_STREQ(engine.entityRcFile(), "D:\\abs\\entityrc");
  EXPECT_STREQ(engine.setupFile(), "C:\\Home\\setup");
  // Without a profile value the defaults come from home.
  EXPECT_STREQ(engine.GetTempDir(), "C:\\Home\\tmp");
  EXPECT_STREQ(engine.sdataHome(), "C:\\Home\\");

  // A second Initialize changes nothing already set.
  engine.Initialize("other", nullptr, nullptr, "T2", nullptr);
  EXPECT_STREQ(engine.catalogFile(), "C:\\Home\\cat\\catalog");
  EXPECT_STREQ(engine.GetTempDir(), "C:\\Home\\tmp");
}

// ---- History ------------------------------------------------------------

// Distinct identifiers, by public identifier; made at first use, released
// after each test.
ExternalId* g_ids[8];
ExternalId* Id(int n) {
  if (!g_ids[n]) {
    std::string publicId = "-//Test//DOC Manual " + std::to_string(n) + "//EN";
    g_ids[n] = new ExternalId(nullptr, nullptr, publicId.c_str());
  }
  return g_ids[n];
}

class HistoryTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_TRUE(RegisterCallback(0, kEventHistoryChanged, Record, 0));
  }
  void TearDown() override {
    for (ExternalId*& id : g_ids) {
      if (id) id->Release();
      id = nullptr;
    }
    EngineTest::TearDown();
  }
  std::vector<std::intptr_t> StatesRaised() {
    std::vector<std::intptr_t> states;
    for (const Call& c : g_host.calls)
      if (c.event == kEventHistoryChanged) states.push_back(c.a);
    g_host.calls.clear();
    return states;
  }
};

TEST_F(HistoryTest, HostIsToldWhenBackAndForwardChange) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  History* h = engine.history();
  using States = std::vector<std::intptr_t>;

  EXPECT_EQ(h->Back(Id(0), 5), 0);  // nothing behind: no move, no event
  EXPECT_EQ(StatesRaised(), States{});

  h->Add(Id(0), 10);
  EXPECT_EQ(StatesRaised(), States{2});
  h->Add(Id(1), 20);
  h->Add(Id(1), 20);  // the same place again is not recorded
  EXPECT_EQ(h->count(), 2);
  EXPECT_EQ(StatesRaised(), States{});

  EXPECT_EQ(h->Back(Id(2), 30), 1);  // records 30, moves to 20
  EXPECT_EQ(StatesRaised(), States{3});
  EXPECT_EQ(h->count(), 3);
  EXPECT_EQ(h->Back(nullptr, 0), 1);  // to 10, the oldest
  EXPECT_EQ(StatesRaised(), States{1});
  EXPECT_EQ(h->Back(nullptr, 0), 0);
  EXPECT_EQ(StatesRaised(), States{});

  ExternalId* id;
  std::int32_t position;
  ASSERT_TRUE(h->CursorPlace(&id, &position));
  EXPECT_EQ(position, 10);
  EXPECT_EQ(h->Forward(), 1);
  EXPECT_EQ(StatesRaised(), States{3});
  EXPECT_EQ(h->Forward(), 1);
  EXPECT_EQ(StatesRaised(), States{2});
  // Forward from the newest entry returns to the present: the cursor goes,
  // and a further Forward has nowhere to go.
  EXPECT_EQ(h->Forward(), 1);
  EXPECT_FALSE(h->CursorPlace(&id, &position));
  EXPECT_EQ(StatesRaised(), States{});
  EXPECT_EQ(h->Forward(), 0);
  EXPECT_EQ(h->count(), 3);

  // Going somewhere new after going back gives up the way forward.
  h->Back(nullptr, 0);
  h->Back(nullptr, 0);
  ASSERT_TRUE(h->CursorPlace(&id, &position));
  EXPECT_EQ(position, 10);
  g_host.calls.clear();
  h->Add(Id(3), 40);
  EXPECT_EQ(h->count(), 1);
  EXPECT_FALSE(h->CanGoForward());
  EXPECT_TRUE(h->CanGoBack());
  EXPECT_EQ(StatesRaised(), States{2});
  EXPECT_EQ(engine.historyButtons, 2u);
}

TEST_F(HistoryTest, BackBackThenALinkDropsTheWayForward) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  History* h = engine.history();
  h->Add(Id(0), 1);
  h->Add(Id(0), 2);
  h->Add(Id(0), 3);
  h->Back(Id(0), 4);  // records 4, shows 3
  h->Back(nullptr, 0);  // shows 2
  g_host.calls.clear();
  // Following a link records the place left: 2 and the newer entries go.
  h->Add(Id(0), 2);
  h->Add(Id(0), 9);
  EXPECT_EQ(h->count(), 3);
  EXPECT_FALSE(h->CanGoForward());
  EXPECT_EQ(h->Forward(), 0);
  EXPECT_EQ(StatesRaised(), std::vector<std::intptr_t>{2});
  // Back from the present records it, and Forward returns to it.
  EXPECT_EQ(h->Back(Id(0), 12), 1);
  ExternalId* id;
  std::int32_t position;
  ASSERT_TRUE(h->CursorPlace(&id, &position));
  EXPECT_EQ(position, 9);
  EXPECT_EQ(h->Forward(), 1);
  ASSERT_TRUE(h->CursorPlace(&id, &position));
  EXPECT_EQ(position, 12);
}

TEST_F(HistoryTest, KeepsAtMost51Entries) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  History* h = engine.history();
  for (int i = 0; i < 60; ++i) h->Add(Id(i % 2), i);
  EXPECT_EQ(h->count(), History::kMaxCount);
  int moves = 0;
  while (h->Back(nullptr, 0)) ++moves;
  EXPECT_EQ(moves, History::kMaxCount - 1);
  ExternalId* id;
  std::int32_t position;
  ASSERT_TRUE(h->CursorPlace(&id, &position));
  EXPECT_EQ(position, 60 - History::kMaxCount);  // the oldest kept
}

// Entries hold their identifiers: the caller's may go, and an equal one
// names the same place.
TEST_F(HistoryTest, EntriesHoldTheirIdentifiersAndCompareThemByValue) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  History* h = engine.history();
  auto* first = new ExternalId(nullptr, nullptr, "-//Test//DOC  Guide//EN");
  h->Add(first, 10);
  EXPECT_EQ(first->UseCount(), 2u);
  first->Release();  // the history's use keeps it
  auto* again = new ExternalId(nullptr, nullptr, "-//test//doc guide//en");
  h->Add(again, 10);  // another object for the same document: the same place
  EXPECT_EQ(h->count(), 1);
  h->Add(again, 11);
  EXPECT_EQ(h->count(), 2);
  again->Release();
  ASSERT_EQ(h->Back(nullptr, 0), 1);
  ExternalId* id = nullptr;
  std::int32_t position = 0;
  ASSERT_TRUE(h->CursorPlace(&id, &position));
  EXPECT_EQ(position, 10);
  EXPECT_STREQ(id->PublicId(), "-//TEST//DOC GUIDE//EN");
}

// A history whose documents are all loaded, to see what it shows.
class ShowingHistory : public History {
 public:
  using History::History;
  std::vector<std::int32_t> shown;
  bool busyDuringShow = false;

 protected:
  Document* FindDocument(ExternalId* id) override { return reinterpret_cast<Document*>(id); }
  void Show(Document*, std::int32_t position) override {
    shown.push_back(position);
    busyDuringShow = busy();
    Add(Id(7), 99);  // what a view would record while moving: ignored
  }
};

TEST_F(HistoryTest, ShowsTheEntryItMovesTo) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  auto* h = new ShowingHistory(&engine);
  engine.SetHistory(h);
  h->Add(Id(0), 1);
  h->Add(Id(1), 2);
  h->Back(Id(2), 3);
  h->Back(nullptr, 0);
  h->Forward();
  EXPECT_EQ(h->shown, (std::vector<std::int32_t>{2, 1, 2}));
  EXPECT_TRUE(h->busyDuringShow);
  EXPECT_EQ(h->count(), 3);
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

TEST(LinkTitle, TakesAtMost30BytesOfWholeCharacters) {
  struct Case {
    std::string text;
    std::string title;
  } cases[] = {
      {"Short title", "Short title"},
      {"a\x01" "b", "a b"},  // byte 1 reads as a blank
      {std::string(40, 'x'), std::string(30, 'x')},
      // A two-byte character on bytes 29-30 does not fit whole.
      {std::string(29, 'x') + "\xC3\xA9" + "yy", std::string(29, 'x')},
      {std::string(28, 'x') + "\xC3\xA9" + "yy", std::string(28, 'x') + "\xC3\xA9"},
      // An empty range.
      {"", ""},
  };
  for (const Case& c : cases) {
    char out[kLinkTitleLength + 1];
    std::size_t n = CopyLinkTitle(out, c.text.data(), c.text.size());
    EXPECT_EQ(std::string(out, n), c.title);
    EXPECT_EQ(out[n], '\0');
  }
}

class HostEventsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    for (int event : {2, 4, 12, 13, 14, 19, 20, 21, 22, 40, 48})
      ASSERT_TRUE(RegisterCallback(0, event, Answer, 0));
  }
  static std::intptr_t Answer(WindowHandle window, int event, std::intptr_t a, std::intptr_t b,
                              std::intptr_t data) {
    g_host.calls.push_back({window, event, a, b, data});
    if (event == kEventHostFontInfo) {
      auto* record = reinterpret_cast<HostFontRecord*>(b);
      EXPECT_EQ(record->number, 100);
      // Texts that fill all 80 bytes, without a terminator.
      std::memset(record->text1, 'A', sizeof record->text1);
      std::memcpy(record->text2, "Bold", 5);
      record->value = 0x1234;
      record->styleBits = 2 | 8;
      record->number = 120;
      return reinterpret_cast<std::intptr_t>(hostText);
    }
    if (event == kEventResolvePublicId) {
      *reinterpret_cast<std::intptr_t*>(b) = 2;  // give the text back
      return reinterpret_cast<std::intptr_t>(hostText);
    }
    return g_host.answer;
  }
  static char hostText[];
  char objects[4] = {};
  Web* web() { return reinterpret_cast<Web*>(&objects[0]); }
  Anchor* anchor(int i) { return reinterpret_cast<Anchor*>(&objects[1 + i]); }
};
char HostEventsTest::hostText[] = "host's answer";

TEST_F(HostEventsTest, FontInfoCopiesTheHostsTextsWithATerminator) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  char text1[81], text2[81], weight = 0, slant = 0;
  int value = 0, number = 0;
  char* answer =
      engine.GetHostFontInfo("Face", text1, text2, &value, &weight, &slant, &number);
  ASSERT_NE(answer, nullptr);
  EXPECT_STREQ(answer, "host's answer");
  EXPECT_NE(answer, hostText);  // the engine's own copy
  MemFree(answer);
  EXPECT_EQ(std::string(text1), std::string(79, 'A'));
  EXPECT_STREQ(text2, "Bold");
  EXPECT_EQ(value, 0x34);
  EXPECT_EQ(weight, 'b');
  EXPECT_EQ(slant, 'i');
  EXPECT_EQ(number, 120);
  // The host's text went back to it.
  EXPECT_EQ(Events(), (std::vector<int>{kEventHostFontInfo, kEventFreeHostBlock}));
  EXPECT_EQ(g_host.calls[1].a, reinterpret_cast<std::intptr_t>(hostText));
}

TEST_F(HostEventsTest, PublicIdResolvedByTheHost) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  char* answer = engine.ResolvePublicId("-//X//DTD Y//EN");
  ASSERT_NE(answer, nullptr);
  EXPECT_STREQ(answer, "host's answer");
  MemFree(answer);
  EXPECT_EQ(Events(), (std::vector<int>{kEventResolvePublicId, kEventFreeHostBlock}));
}

TEST_F(HostEventsTest, WebAndAnchorEventsCarryHandles) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  HandleTable& handles = *engine.handles;

  // Handles made for an event go again after it. The host takes the note
  // and link dialogs (these anchors are stand-ins the engine's own could
  // not show).
  g_host.answer = 1;
  engine.WebEditingOpened(web());
  engine.WebEditingClosed(web());
  engine.ShowNoteDialog(0, anchor(0), 0);
  engine.ShowLinkDialog(0, anchor(0));
  engine.GotoAnchor(nullptr, anchor(0), anchor(1));
  g_host.answer = 0;
  EXPECT_EQ(Events(), (std::vector<int>{12, 13, 19, 20, 40}));
  for (const Call& c : g_host.calls) EXPECT_GE(c.a, 2) << c.event;
  EXPECT_NE(g_host.calls[4].b, 0);
  EXPECT_EQ(handles.Count(), 0u);

  // A link between anchors the host has no handle for tells it nothing; a
  // deleted anchor is announced all the same, with a handle made for the
  // call and gone after it, in both values.
  g_host.calls.clear();
  engine.LinkDeleted(anchor(0), anchor(1));
  EXPECT_TRUE(g_host.calls.empty());
  engine.AnchorDeleted(anchor(0));
  ASSERT_EQ(Events(), std::vector<int>{21});
  EXPECT_GE(g_host.calls[0].a, 2);
  EXPECT_EQ(g_host.calls[0].b, g_host.calls[0].a);
  EXPECT_EQ(handles.Count(), 0u);
  g_host.calls.clear();

  // With handles: the anchor's handle is announced and then gone.
  Handle held0 = handles.RegisterAnchor(anchor(0));
  Handle held1 = handles.RegisterAnchor(anchor(1));
  engine.LinkDeleted(anchor(0), anchor(1));
  engine.LinkDeleted(nullptr, anchor(1));
  engine.AnchorDeleted(anchor(0));
  ASSERT_EQ(Events(), (std::vector<int>{22, 22, 21}));
  EXPECT_EQ(g_host.calls[0].a, std::intptr_t(held0));
  EXPECT_EQ(g_host.calls[0].b, std::intptr_t(held1));
  EXPECT_EQ(g_host.calls[1].a, std::intptr_t(held1));
  EXPECT_EQ(g_host.calls[1].b, 0);
  EXPECT_EQ(g_host.calls[2].a, std::intptr_t(held0));
  EXPECT_EQ(g_host.calls[2].b, std::intptr_t(held0));
  EXPECT_EQ(handles.LookupAnchor(held0), nullptr);
  EXPECT_EQ(handles.LookupAnchor(held1), anchor(1));

  // A closing web takes the host's handle with it.
  g_host.calls.clear();
  Handle webHandle = handles.RegisterWeb(web());
  engine.WebClosing(web());
  ASSERT_EQ(Events(), std::vector<int>{14});
  EXPECT_EQ(g_host.calls[0].a, std::intptr_t(webHandle));
  EXPECT_EQ(handles.LookupWeb(webHandle), nullptr);
  handles.Release(held1);
}

TEST_F(HostEventsTest, HostAnswerSuppressesTheEnginesDialogs) {
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  g_host.answer = 5;
  EXPECT_EQ(engine.GotoAnchor(nullptr, anchor(0), anchor(1)), 5);
  g_host.answer = 0;
  EXPECT_EQ(engine.GotoAnchor(nullptr, anchor(0), anchor(1)), 0);
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

TEST(EngineMessages, ShiftControlClickNearTheCornerOpensTheAboutBox) {
  test::RecordingSink sink;
  HostedEngine engine(0, "C:\\Home\\", "T", nullptr);
  auto point = [](int x, int y) -> std::intptr_t {
    return (std::intptr_t(y & 0xFFFF) << 16) | (x & 0xFFFF);
  };
  struct Case {
    unsigned message;
    std::intptr_t keys, point;
    int handled;
  } cases[] = {
      {0x0201, 4 | 8, point(9, 9), 1},
      {0x0201, 4 | 8 | 1, point(0, 0), 1},
      {0x0201, 4 | 8, point(10, 0), 0},  // goes to the view
      {0x0201, 4 | 8, point(0, 10), 0},
      {0x0201, 8, point(0, 0), 0},       // Ctrl alone
      {0x0202, 4 | 8, point(0, 0), 0},   // button up
  };
  for (const Case& c : cases) {
    sink.Clear();
    std::intptr_t result = -1;
    EXPECT_EQ(engine.HandleMessage(0x42, c.message, c.keys, c.point, &result), c.handled);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(sink.messages().size(), std::size_t(c.handled));
    if (c.handled) {
      // Test programs carry no version resource.
      EXPECT_EQ(sink.messages()[0].caption, "Quenda Scrivox");
      EXPECT_FALSE(sink.messages()[0].text.empty());
    }
  }
}

TEST(EngineMessages, HostMayShowTheWindowItself) {
  static std::vector<WindowHandle> shown;
  shown.clear();
  ASSERT_TRUE(RegisterCallback(0, kEventShowWindow,
                               [](WindowHandle w, int, std::intptr_t, std::intptr_t,
                                  std::intptr_t) -> std::intptr_t {
                                 shown.push_back(w);
                                 return 1;
                               },
                               0));
  HostedEngine engine(0, "C:\\Home\\", "T", DispatchEvent);
  engine.ShowWindow(0x77);
  EXPECT_EQ(shown, std::vector<WindowHandle>{0x77});
  FreeAllCallbacks();
}

}  // namespace
}  // namespace qs
