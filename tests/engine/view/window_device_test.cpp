#include "view/window_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/records.h"
#include "foundation/engine.h"
#include "view/window_map.h"

namespace qs {
namespace {

std::vector<std::string> g_events;

std::intptr_t RecordHost(WindowHandle window, int event, std::intptr_t a, std::intptr_t b) {
  std::string line = "event " + std::to_string(event) + " w" + std::to_string(window);
  if (event == kEventScrollBar) {
    auto* v = reinterpret_cast<const std::int32_t*>(b);
    line += " " + std::to_string(a) + " " + std::to_string(v[0]) + " " + std::to_string(v[1]) +
            " " + std::to_string(v[2]);
  }
  if (event == kEventHitCursor) {
    auto* v = reinterpret_cast<const QsCursorRequest*>(a);
    line += " hit " + std::to_string(v->x) + " " + std::to_string(v->y) + " " + std::to_string(v->area) +
            " " + std::to_string(v->hitKind) + " " + std::to_string(v->dragging) + " b" + std::to_string(b);
    g_events.push_back(line);
    return v->hitKind == 15 ? 7 : 0;  // the host sets its own cursor for zoom hits
  }
  g_events.push_back(line);
  return 0;
}

// A device whose system calls are written down.
class FakeDevice : public HostWindowDevice {
 public:
  explicit FakeDevice(WindowHandle w) : HostWindowDevice(w, 0) {}
  std::vector<std::string> calls;
  using WindowDevice::HandleMessage;

 protected:
  void PlatformScrollInfo(Bar bar, int pos, int page, int max) override {
    Log(std::string("info ") + (bar == kVert ? "v " : "h ") + std::to_string(pos) + " " +
        std::to_string(page) + " " + std::to_string(max));
  }
  void PlatformScrollRange(Bar bar, int max, bool redraw) override {
    Log(std::string("range ") + (bar == kVert ? "v " : "h ") + std::to_string(max) +
        (redraw ? " redraw" : ""));
  }
  void PlatformScrollPosition(Bar bar, int pos) override {
    Log(std::string("pos ") + (bar == kVert ? "v " : "h ") + std::to_string(pos));
  }
  void PlatformCapture(bool on) override { Log(on ? "capture" : "release"); }
  void PlatformTimer(std::uintptr_t id, bool on) override {
    Log((on ? "timer " : "kill ") + std::to_string(id));
  }
  void PlatformCursor(const char* name, int wheel) override {
    Log(std::string("cursor ") + (name ? name : "-") + " " + std::to_string(wheel));
  }
  std::intptr_t PlatformHitCursor(const char* name) override {
    Log(std::string("load ") + (name ? name : "-"));
    return name ? 0x100 + static_cast<std::intptr_t>(name[4]) : 0x10;
  }
  void Log(std::string s) { calls.push_back(std::move(s)); }
};

class RecordingView : public ViewWindow {
 public:
  explicit RecordingView(OutputDevice* d, int kind = 1) : ViewWindow(d), kind_(kind) {}
  int GetKind() const override { return kind_; }
  std::vector<std::string> log;
  WindowDevice* paintDevice = nullptr;
  unsigned sizeDuringPaint = 0;
  void OnSize() override { log.push_back("size " + std::to_string(GetWidth()) + "x" + std::to_string(GetHeight())); }
  void OnPaint() override {
    log.push_back("paint");
    if (paintDevice)
      paintDevice->HandleMessage(wm::kSize, 0, (77 << 16) | 66, nullptr);
  }
  void OnMouseMove(int x, int y) override { Add("move", x, y); }
  void OnLButtonDown(int x, int y, int shift) override { Add("ldown", x, y, shift); }
  void OnLButtonUp(int x, int y) override { Add("lup", x, y); }
  void OnKeyDown(int key) override { Add("key", key); }
  void OnScroll(int h, int code, int pos) override { Add("scroll", h, code, pos); }
  void OnMouseWheel(int lines, int control, int, int) override { Add("wheel", lines, control); }
  void OnPan(int dx, int dy) override { Add("pan", dx, dy); }
  void OnTimer() override { log.push_back("timer"); }
  void OnDeviceClosed() override {
    log.push_back("closed");
    ViewWindow::OnDeviceClosed();
  }
  void Add(const char* what, int a, int b = 0, int c = 0) {
    log.push_back(std::string(what) + " " + std::to_string(a) + " " + std::to_string(b) + " " +
                  std::to_string(c));
  }

 private:
  int kind_;
};

std::intptr_t Point(int x, int y) { return (x & 0xFFFF) | (static_cast<std::intptr_t>(y & 0xFFFF) << 16); }

class WindowDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    previous_ = SetEngine(&engine_);
  }
  void TearDown() override {
    WindowMap::DestroyAll();
    SetEngine(previous_);
  }
  HostedEngine engine_{0, "C:\\Home\\", "T", &RecordHost};
  EngineBase* previous_ = nullptr;
};

TEST(HitCursor, CodesPickTheirCursors) {
  const struct {
    int code;
    const char* name;
  } cases[] = {{0, nullptr},      {10, nullptr},       {1, "cursLink"},    {3, "cursLink"},
               {12, "cursLink"},  {2, "cursPopup"},    {14, "cursPopup"},  {8, "cursToggle"},
               {9, "cursToggle"}, {15, "cursZoom"},    {13, "cursHand"},   {99, "cursHand"},
               {-1, "cursHand"}};
  for (const auto& c : cases) {
    const char* got = HitCursorName(c.code);
    if (!c.name)
      EXPECT_EQ(got, nullptr) << c.code;
    else
      EXPECT_STREQ(got, c.name) << c.code;
  }
  EXPECT_EQ(PanCursorIndex(0, 0), 4);
  EXPECT_EQ(PanCursorIndex(-9, -9), 0);
  EXPECT_EQ(PanCursorIndex(9, 9), 8);
  EXPECT_EQ(PanCursorIndex(8, -8), 4);
}

TEST_F(WindowDeviceTest, MessagesBecomeViewEvents) {
  auto* device = new FakeDevice(0x1234567890);
  auto* view = new RecordingView(device);
  device->mode = 0x2A;
  const struct {
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    int handled;
    std::intptr_t result;
    const char* event;
  } cases[] = {
      {wm::kLButtonDown, 4, Point(5, -3), 0, 0, "ldown 5 -3 4"},
      {wm::kLButtonUp, 0, Point(6, 7), 0, 0, "lup 6 7 0"},
      {wm::kEraseBackground, 0, 0, 0, 1, nullptr},
      {wm::kVScroll, 5, 0, 1, 0, nullptr},
      {wm::kVScroll, 6, 0, 1, 0, nullptr},
      {wm::kVScroll, 7, 0, 1, 0, nullptr},
      {wm::kVScroll, 0, 0, 0, 0, "scroll 0 1 0"},
      {wm::kHScroll, 3, 0, 0, 0, "scroll 1 3 0"},
      {wm::kVScroll, 4 | (300u << 16), 0, 0, 0, "scroll 0 4 300"},
      {wm::kKeyDown, 0x22, 0, 0, 0, "key 34 0 0"},
      {wm::kMouseMove, 0, Point(1, 2), 0, 0, "move 1 2 0"},
      {wm::kTimer, kViewTimerId, 0, 0, 0, "timer"},
      {wm::kTimer, 99, 0, 1, 0, nullptr},
      {0x0400, 0, 0, 1, 0, nullptr},
  };
  for (const auto& c : cases) {
    view->log.clear();
    std::intptr_t result = -7;
    EXPECT_EQ(device->HandleMessage(c.message, c.wParam, c.lParam, &result), c.handled) << c.message;
    if (!c.handled) {
      EXPECT_EQ(result, c.result) << c.message;
    }
    if (c.event) {
      ASSERT_EQ(view->log.size(), 1u) << c.message;
      EXPECT_EQ(view->log[0], c.event);
    } else {
      EXPECT_TRUE(view->log.empty()) << c.message;
    }
  }
  view->Release();
  // No view: only WM_SIZE is taken.
  EXPECT_EQ(device->HandleMessage(wm::kPaint, 0, 0, nullptr), 1);
  EXPECT_EQ(device->HandleMessage(wm::kLButtonDown, 0, 0, nullptr), 1);
  EXPECT_EQ(device->HandleMessage(wm::kSize, 0, Point(300, 200), nullptr), 0);
  EXPECT_EQ(device->width, 300);
  EXPECT_EQ(device->height, 200);
  // The device still goes with its window, and the host's default runs.
  ASSERT_TRUE(WindowMap::Add(device));
  EXPECT_EQ(device->HandleMessage(wm::kDestroy, 0, 0, nullptr), 1);
  EXPECT_EQ(WindowMap::Find(0x1234567890), nullptr);
}

TEST_F(WindowDeviceTest, VerticalBarIsRescaledAndWaitsForTheEndOfAScroll) {
  auto* device = new FakeDevice(0x100);
  device->SetScrollBarFlags(0);
  auto* view = new RecordingView(device);
  device->calls.clear();
  device->SetVertScroll(500, 100, 1000);
  device->mode = 0x0A;
  device->SetVertScroll(500, 100, 1000);
  device->SetHorzScroll(500, 100, 1000);
  EXPECT_EQ(device->calls,
            (std::vector<std::string>{"info v 4096 819 8192", "info v 4096 819 8192",
                                      "info h 500 100 1000"}));

  // A hide asked for while the view scrolls waits for SB_ENDSCROLL.
  struct HideOnScroll : RecordingView {
    using RecordingView::RecordingView;
    void OnScroll(int, int, int) override {
      GetDevice()->HideVertScrollBar();
      GetDevice()->ShowHorzScrollBar();
      GetDevice()->SetHorzScroll(10, 20, 30);
    }
  };
  device->DetachView();
  EXPECT_EQ(view->GetDevice(), nullptr);
  auto* scroller = new HideOnScroll(device);
  device->calls.clear();
  device->HandleMessage(wm::kVScroll, 1, 0, nullptr);
  EXPECT_EQ(device->calls, (std::vector<std::string>{"pos v 0"}));
  device->calls.clear();
  device->HandleMessage(wm::kVScroll, 8, 0, nullptr);
  EXPECT_EQ(device->calls, (std::vector<std::string>{"range v 0 redraw", "info h 10 20 30"}));
  view->Release();
  scroller->Release();
  device->OnDestroy();
}

TEST_F(WindowDeviceTest, HostBarsAreReportedAsEvent42) {
  auto* device = new FakeDevice(0x200);
  device->SetScrollBarFlags(0x400 | 0x800);
  device->ShowVertScrollBar();
  device->SetVertScroll(5, 6, 7);
  device->SetHorzScroll(1, 2, 3);
  device->HideVertScrollBar();
  device->HideHorzScrollBar();
  EXPECT_EQ(g_events, (std::vector<std::string>{"event 42 w512 0 0 0 0", "event 42 w512 1 0 0 0",
                                                "event 42 w512 0 5 6 7", "event 42 w512 1 1 2 3",
                                                "event 42 w512 0 0 0 0"}));
  EXPECT_TRUE(device->calls.empty());
  // Handing the vertical bar to the engine applies the saved values when shown.
  device->ShowVertScrollBar();
  device->SetVertScroll(50, 10, 100);
  device->calls.clear();
  device->SetScrollBarFlags(0x800);
  EXPECT_EQ(device->calls, (std::vector<std::string>{"range v 16 redraw", "info v 4096 819 8192"}));
  device->OnDestroy();
}

TEST_F(WindowDeviceTest, WheelAndPan) {
  auto* device = new FakeDevice(0x300);
  auto* view = new RecordingView(device);
  device->mode = 0x2A;
  auto wheel = [&](int delta) {
    device->HandleMessage(wm::kMouseWheel, static_cast<std::uintptr_t>(delta & 0xFFFF) << 16, 0, nullptr);
  };
  wheel(60);
  EXPECT_TRUE(view->log.empty());
  wheel(60);
  wheel(-120);
  wheel(119);
  EXPECT_EQ(view->log, (std::vector<std::string>{"wheel 3 0 0", "wheel -3 0 0"}));
  view->log.clear();

  device->HandleMessage(wm::kMButtonDown, 0, Point(100, 100), nullptr);
  device->HandleMessage(wm::kMouseMove, 0, Point(108, 100), nullptr);
  device->HandleMessage(wm::kTimer, kPanTimerId, 0, nullptr);
  EXPECT_TRUE(view->log.empty());
  device->HandleMessage(wm::kMouseMove, 0, Point(120, 95), nullptr);
  device->HandleMessage(wm::kTimer, kPanTimerId, 0, nullptr);
  EXPECT_EQ(view->log, (std::vector<std::string>{"pan 12 0 0"}));
  device->HandleMessage(wm::kMButtonUp, 0, Point(120, 95), nullptr);
  EXPECT_FALSE(device->Panning());
  EXPECT_EQ(device->calls.front(), "capture");
  EXPECT_EQ(device->calls[1], "cursor - 4");
  EXPECT_EQ(device->calls[2], "timer 31796");
  EXPECT_EQ(device->calls[3], "cursor - 4");
  EXPECT_EQ(device->calls[4], "cursor - 5");
  view->Release();
  device->OnDestroy();
}

TEST_F(WindowDeviceTest, SizeDuringPaintArrivesOnceAfterIt) {
  auto* device = new FakeDevice(0x400);
  device->HandleMessage(wm::kSize, 0, Point(50, 40), nullptr);
  auto* view = new RecordingView(device);
  view->paintDevice = device;
  device->HandleMessage(wm::kPaint, 0, 0, nullptr);
  EXPECT_EQ(view->log, (std::vector<std::string>{"paint", "size 66x77"}));
  view->log.clear();
  device->HandleMessage(wm::kSize, 0, Point(0, 0), nullptr);
  view->log.clear();
  device->HandleMessage(wm::kPaint, 0, 0, nullptr);
  EXPECT_TRUE(view->log.empty());  // an empty window is only validated
  view->Release();
  device->OnDestroy();
}

TEST_F(WindowDeviceTest, RegistryReusesTheDeviceAndDestroyRemovesIt) {
  const WindowHandle window = static_cast<WindowHandle>(0x7FFF00001234LL);
  WindowDevice* device = AttachWindowDevice(window, 0x2A, 1);
  ASSERT_NE(device, nullptr);
  // A handle that agrees in its low 32 bits is another window.
  EXPECT_EQ(WindowMap::Find(static_cast<WindowHandle>(0x1234)), nullptr);
  auto* first = new RecordingView(device);
  EXPECT_EQ(FindView(window, 1), first);
  EXPECT_EQ(FindPictureView(window), nullptr);
  EXPECT_EQ(FindDocumentView(0), nullptr);
  EXPECT_EQ(AttachWindowDevice(window, 0x1A, 1), device);
  EXPECT_EQ(first->log, (std::vector<std::string>{"closed"}));
  EXPECT_EQ(device->mode, 0x1A);
  auto* second = new RecordingView(device, 3);
  EXPECT_EQ(FindTreeView(window), second);
  EXPECT_EQ(device->GetViewKind(), 3);
  std::intptr_t result = 5;
  EXPECT_EQ(DispatchWindowMessage(window, wm::kDestroy, 0, 0, &result), 0);
  EXPECT_EQ(WindowMap::Find(window), nullptr);
  EXPECT_EQ(second->log, (std::vector<std::string>{"closed"}));
  EXPECT_EQ(g_events.back(), "event 50 w" + std::to_string(window));
  EXPECT_EQ(DispatchWindowMessage(window, wm::kPaint, 0, 0, &result), 1);
  first->Release();
  second->Release();
}

// The made-up cursors below are only remembered natively; Windows takes
// real cursors, which the GUI tests check.
#ifdef _WIN32
constexpr bool kRemembersCursors = false;
#else
constexpr bool kRemembersCursors = true;
#endif

TEST_F(WindowDeviceTest, HitCursorAsksTheHostFirst) {
  auto* device = new FakeDevice(0x500);
  SetPlatformCursor(0x55);
  device->SetCursorForHit(-1, 2, 3, 15, 1);
  const std::intptr_t kept = SetPlatformCursor(0x55);  // the host's answer kept the engine's hand off
  device->SetCursorForHit(1, 2, 0, 3, 0);
  const std::intptr_t link = SetPlatformCursor(0x55);
  device->SetCursorForHit(1, 2, 0, 0, 0);
  const std::intptr_t arrow = SetPlatformCursor(0x55);
  if (kRemembersCursors) {
    EXPECT_EQ(kept, 0x55);
    EXPECT_EQ(link, 0x100 + 'L');  // "cursLink"
    EXPECT_EQ(arrow, 0x10);
  }
  EXPECT_EQ(device->calls, (std::vector<std::string>{"load cursZoom", "load cursLink", "load -"}));
  EXPECT_EQ(g_events, (std::vector<std::string>{"event 43 w1280 hit -1 2 3 15 1 b0",
                                                "event 43 w1280 hit 1 2 0 3 0 b0",
                                                "event 43 w1280 hit 1 2 0 0 0 b0"}));
  device->OnDestroy();
}

TEST_F(WindowDeviceTest, ACursorRequestReturnsTheHostsAnswerOrThePreviousCursor) {
  SetPlatformCursor(0x21);
  EXPECT_EQ(RequestCursor(0x600, 4, 5, 1, 15, 0, 0x33), 7);
  const std::intptr_t first = RequestCursor(0x600, 4, 5, 1, 2, 0, 0x33);
  const std::intptr_t second = RequestCursor(0x600, 4, 5, 1, 2, 0, 0x44);
  SetEngine(nullptr);  // no host to ask: the cursor is set
  const std::intptr_t third = RequestCursor(0x600, 4, 5, 1, 15, 0, 0x21);
  if (kRemembersCursors) {
    EXPECT_EQ(first, 0x21);
    EXPECT_EQ(second, 0x33);
    EXPECT_EQ(third, 0x44);
  }
  EXPECT_EQ(g_events.size(), 3u);
}

}  // namespace
}  // namespace qs
