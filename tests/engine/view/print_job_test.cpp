// The printer device and the page loop over a surface and a spooler of the
// test's own: where the bands and page texts go, the clip slots, a font
// that cannot be made, the abort dialog's lines, and the order of the
// printer's calls when a run prints, counts, is cancelled or fails; the
// preview exports over the sample manual.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../foundation/temp_folder.h"
#include "api/exports.h"
#include "error_recorder.h"
#include "foundation/engine.h"
#include "layout/print_frame.h"
#include "layout/print_items.h"
#include "recording_sink.h"
#include "test_device.h"
#include "view/print_job.h"
#include "view/printer_device.h"
#include "view/printer_list.h"

namespace qs {
namespace {

using test::BoxSpec;

// Draws into a log: texts with their font's face style, lines and clip
// regions, in the context's coordinates.
class LogSurface : public PrintSurface {
 public:
  explicit LogSurface(std::vector<std::string>* log, int scale = 1) : log_(log), scale_(scale) {}
  ~LogSurface() override { log_->push_back("surface gone, regions " + std::to_string(live_)); }
  void Attach(std::intptr_t context) override { log_->push_back("attach " + std::to_string(context)); }
  void Detach() override { log_->push_back("detach"); }
  Font* MakeFont(const char* face, std::uint16_t size, bool italic, bool bold, int dpiY) override {
    if (std::string(face) == "Missing") return nullptr;
    return new test::TestFont(face, size, italic, bold, dpiY, dpiY);
  }
  void SelectFont(Font* f) override { italic_ = f->Italic(); }
  void DrawLine(int x1, int y1, int x2, int y2) override {
    Log("line " + std::to_string(x1) + " " + std::to_string(y1) + " " + std::to_string(x2) + " " +
        std::to_string(y2));
  }
  void Text8(int x, int top, const char* text, std::size_t length) override {
    Log(std::string(italic_ ? "italic " : "text ") + std::to_string(x) + " " + std::to_string(top) +
        " " + std::string(text, length));
  }
  void LogicalToDevice(int* x, int* y) override { *x *= scale_, *y *= scale_; }
  std::intptr_t MakeClip(int l, int t, int r, int b) override {
    ++live_;
    Log("region " + std::to_string(++made_) + ": " + std::to_string(l) + " " + std::to_string(t) +
        " " + std::to_string(r) + " " + std::to_string(b));
    return made_;
  }
  void SelectClip(std::intptr_t clip) override { Log("select " + std::to_string(clip)); }
  void DeleteClip(std::intptr_t clip) override {
    --live_;
    Log("delete " + std::to_string(clip));
  }
  void ClipToPage(int w, int h) override { Log("page " + std::to_string(w) + " " + std::to_string(h)); }

 private:
  void Log(std::string line) { log_->push_back(std::move(line)); }
  std::vector<std::string>* log_;
  int scale_;
  bool italic_ = false;
  int live_ = 0;
  std::intptr_t made_ = 0;
};

class PrinterDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, folder_.dir().c_str(), nullptr), 0u);
  }
  void TearDown() override { QsTerminate(); }
  // A 600 x 800 page at 72 dpi: default margins 60 left, 27 right, 40 top
  // and bottom; the 9-point page-text fonts are 7 up and 1 down, so the
  // bands are 3 x 8 + 40.
  PrinterDevice* Make(int scale = 1) { return new PrinterDevice(new LogSurface(&log_, scale), 600, 800, 72, 72); }
  test::TempFolder folder_;
  test::RecordingSink sink_;
  std::vector<std::string> log_;
};

TEST_F(PrinterDeviceTest, TheBodyLiesInsideTheMarginsAndBandsWhileAContextIsSelected) {
  PrinterDevice* device = Make();
  device->PreparePage(nullptr, 5, nullptr);
  EXPECT_EQ(device->LeftMargin(), 60);
  EXPECT_EQ(device->RightMargin(), 27);
  EXPECT_EQ(device->TopBand(), 64);
  EXPECT_EQ(device->BottomBand(), 64);
  EXPECT_EQ(device->width, 600 - 87);
  EXPECT_EQ(device->height, 800 - 128);
  EXPECT_EQ(device->GetOriginX(), 60);
  EXPECT_EQ(device->GetOriginY(), 64);
  log_.clear();
  device->DrawLine(0, -1, 513, -1);
  // Texts of 2 characters (10 units): header left, centre, right in italics
  // on a baseline one ascent below the top margin, footer ones one descent
  // above the bottom margin.
  for (int id = 9; id <= 14; ++id) device->DrawPageText(id, "ab");
  device->DrawPageText(15, "no");
  device->DrawPageText(8, "no");
  const std::vector<std::string> expected = {
      "line 60 63 573 63",   "italic 60 40 ab",  "italic 311 40 ab", "italic 563 40 ab",
      "text 60 752 ab",      "text 311 752 ab",  "text 563 752 ab"};
  EXPECT_EQ(log_, expected);
  device->EndPage();
  EXPECT_EQ(device->width, 600);
  EXPECT_EQ(device->height, 800);
  // A sheet's margins: 5 % on the left, an inch at the top.
  const std::int32_t sheet[4] = {-500, 7200, -31000, -31000};
  device->PreparePage(nullptr, 5, sheet);
  EXPECT_EQ(device->LeftMargin(), 30);
  EXPECT_EQ(device->TopMargin(), 72);
  EXPECT_EQ(device->TopBand(), 96);
  device->EndPage();
  device->Destroy();
}

TEST_F(PrinterDeviceTest, ClipPushesPastTheSeventhAreCountedAndTheirPopsIgnored) {
  PrinterDevice* device = Make(2);
  device->PreparePage(nullptr, 5, nullptr);
  log_.clear();
  // Moved by the origin, mapped to device units (twice here), kept on the
  // page, and widened by a pixel on top and left and two on the right and
  // bottom.
  device->PushClip(0, 0, 10, 10);
  EXPECT_EQ(log_[0], "region 1: 119 127 142 150");
  device->PushClip(-1000, -1000, 5000, 5000);
  EXPECT_EQ(log_[2], "region 2: -1 -1 602 802");
  for (int i = 3; i <= 9; ++i) device->PushClip(0, 0, 1, 1);
  EXPECT_EQ(device->ClipDepth(), 7);
  log_.clear();
  // The two pushes that found no slot are undone first, doing nothing; then
  // each pop selects the region below, and the last the whole page.
  device->PopClip();
  device->PopClip();
  EXPECT_TRUE(log_.empty());
  device->PopClip();
  EXPECT_EQ(log_, (std::vector<std::string>{"delete 7", "select 6"}));
  for (int i = 0; i < 6; ++i) device->PopClip();
  EXPECT_EQ(log_.back(), "page 600 800");
  EXPECT_EQ(device->ClipDepth(), 0);
  device->PopClip();  // one too many changes nothing
  EXPECT_EQ(log_.back(), "page 600 800");
  // Regions still pushed when the device goes are deleted with it.
  device->PushClip(0, 0, 1, 1);
  device->PushClip(0, 0, 1, 1);
  device->EndPage();
  device->Destroy();
  EXPECT_EQ(log_.back(), "surface gone, regions 0");
}

TEST_F(PrinterDeviceTest, AFontThatCannotBeMadeIsErrorFortyThreeWithFallbackMetrics) {
  test::ErrorRecorder recorder;
  PrinterDevice* device = Make();
  Font* font = device->GetFont("Missing", 1000, false, false);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->ascent, 12);
  EXPECT_EQ(font->descent, 4);
  EXPECT_EQ(recorder.errors, std::vector<int>{43});
  // Made once: the table keeps it.
  EXPECT_EQ(device->GetFont("Missing", 1000, false, false), font);
  EXPECT_EQ(recorder.errors.size(), 1u);
  font->DropUse();
  font->DropUse();
  device->Destroy();
}

TEST(AbortText, OneHoleTakesTheValueAndEveryOtherPercentStaysText) {
  const std::string longValue(400, 'x');
  struct {
    const char* format;
    const char* value;
    std::string expected;
  } cases[] = {
      {"on the %s Printer", "TESTPS", "on the TESTPS Printer"},
      {"connected to %s", "CUPS:TESTPS", "connected to CUPS:TESTPS"},
      {"%d%% of %s, then %s %n", "P", "%d%% of P, then %s %n"},
      {"no hole", "P", "no hole"},
      {"%s", nullptr, ""},
      {nullptr, "P", ""},
      {"on %s", longValue.c_str(), ("on " + longValue).substr(0, kAbortTextMax)},
  };
  for (const auto& c : cases) EXPECT_EQ(FillAbortText(c.format, c.value), c.expected) << c.format;
}

// The printer's calls and the dialog's lines, in order.
class LogSpooler : public PrintSpooler {
 public:
  explicit LogSpooler(std::vector<std::string>* log) : log(log) {}
  void ShowAbortDialog(WindowHandle owner) override { log->push_back("dialog " + std::to_string(owner)); }
  std::string ItemText(int id) override {
    return id == 102 ? "on the %s Printer" : id == 103 ? "connected to %s" : "";
  }
  void SetItemText(int id, const char* text) override {
    log->push_back(std::to_string(id) + "=" + text);
  }
  int StartDocument(const char* name, const char* output) override {
    log->push_back(std::string("start ") + name + " " + output);
    return startResult;
  }
  int StartPage() override {
    log->push_back("page");
    return 1;
  }
  int EndPage() override {
    log->push_back("end page");
    return 1;
  }
  void AbortDocument() override { log->push_back("abort"); }
  int EndDocument() override {
    log->push_back("end document");
    return endResult;
  }
  bool Running() override {
    if (++checks == cancelAtCheck) cancelled = true;
    return !cancelled;
  }
  bool Cancelled() const override { return cancelled; }
  void CloseAbortDialog(WindowHandle owner) override { log->push_back("close " + std::to_string(owner)); }

  std::vector<std::string>* log;
  int startResult = 1, endResult = 1;
  int checks = 0, cancelAtCheck = -1;
  bool cancelled = false;
};

// A row's box, drawing nothing (the device is no test device).
class QuietBox : public test::SpecBox {
 public:
  using SpecBox::SpecBox;
  void Draw(int, int) override {}
};
class QuietItem : public test::SpecItem {
 public:
  using SpecItem::SpecItem;
  void MakeBoxes(ListHead& boxes) override { boxes.Append(new QuietBox(this)); }
};

// A frame of rows as pages: a row of width -1 to -3 is a page break of
// that kind.
class RowFrame : public FrameTreeNode {
 public:
  explicit RowFrame(const std::vector<BoxSpec>& rows) : FrameTreeNode(nullptr, nullptr, 0) {
    std::int32_t position = 0;
    for (const BoxSpec& row : rows) {
      if (row.width < 0)
        items.Append(new (pool) PageBreakItem(position, nullptr, static_cast<std::uint8_t>(-row.width)));
      else
        items.Append(new (pool) QuietItem(position, row));
      position += row.length;
    }
  }
  ~RowFrame() override { items.DeleteAll(); }
  Pool pool;
};

BoxSpec Row(int height) { return {.width = 100, .forced = true, .ascent = height - 2, .descent = 2}; }

// A print frame of rows whose generated text asked for the page count.
PrintFrame* CountingFrame(Pool& pool, const std::vector<BoxSpec>& rows) {
  auto* frame = new PrintFrame(nullptr, nullptr, 0, {}, {});
  frame->needsPageCount = true;
  std::int32_t position = 0;
  for (const BoxSpec& row : rows) {
    frame->items.Append(new (pool) QuietItem(position, row));
    position += row.length;
  }
  return frame;
}

struct LoopCase {
  const char* name;
  std::vector<BoxSpec> rows;
  bool count = false;
  int startResult = 1, endResult = 1, cancelAtCheck = -1;
  std::vector<std::string> calls;
  std::vector<int> errors = {};
};

const std::vector<std::string> kHead = {"dialog 7", "102=on the DEV Printer", "103=connected to FILE:",
                                        "101=Title", "attach 5"};

TEST_F(PrinterDeviceTest, ThePageLoopPrintsCountsAndStopsAsThePrinterAndReaderSay) {
  const LoopCase cases[] = {
      {.name = "two pages, each started, rendered and ended",
       .rows = {Row(600), Row(600)},
       .calls = {"start Title FILE:", "105=1", "page", "end page", "105=2", "page", "end page",
                 "end document", "detach", "close 7"}},
      {.name = "a frame that shows the page count: the pages are counted first",
       .rows = {Row(600), Row(600)},
       .count = true,
       .calls = {"start Title FILE:", "104=Preprocessing Pages", "105=", "105=2", "104=Printing",
                 "105=1", "page", "end page", "105=2", "page", "end page", "end document", "detach",
                 "close 7"}},
      {.name = "cancelled while page 2 prints: not ended, aborted, no error",
       .rows = {Row(600), Row(600), Row(600)},
       .endResult = -1,
       .cancelAtCheck = 3,
       .calls = {"start Title FILE:", "105=1", "page", "end page", "105=2", "page", "abort",
                 "end document", "detach", "close 7"}},
      {.name = "cancelled while counting: nothing printed",
       .rows = {Row(600), Row(600), Row(600)},
       .count = true,
       .cancelAtCheck = 2,
       .calls = {"start Title FILE:", "104=Preprocessing Pages", "105=", "105=2", "104=Printing",
                 "abort", "end document", "detach", "close 7"}},
      {.name = "a document that fails to start is ended at once",
       .rows = {Row(600)},
       .startResult = 0,
       .calls = {"start Title FILE:", "end document", "detach", "close 7"}},
      {.name = "ending with a negative value is error 42",
       .rows = {Row(600)},
       .endResult = -1,
       .calls = {"start Title FILE:", "105=1", "page", "end page", "end document", "detach",
                 "close 7"},
       .errors = {42}},
      {.name = "a body under 5 points ends the run before any page: error 42 once",
       .rows = {Row(600)},
       .calls = {"start Title FILE:", "end document", "detach", "close 7"},
       .errors = {42}},
  };
  for (const LoopCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::ErrorRecorder recorder;
    log_.clear();
    // The last case's page leaves no body between its bands.
    const bool tiny = std::string(c.name).find("under 5") != std::string::npos;
    auto* device = new PrinterDevice(new LogSurface(&log_), 600, tiny ? 55 : 800, 72, 72);
    RowFrame frame(c.rows);
    Pool pool;
    PrintJob* job;
    if (c.count) {
      job = new PrintJob(CountingFrame(pool, c.rows), device);
    } else {
      job = new PrintJob(nullptr, device);
      job->SetFrameNode(&frame);
    }
    LogSpooler spooler(&log_);
    spooler.startResult = c.startResult;
    spooler.endResult = c.endResult;
    spooler.cancelAtCheck = c.cancelAtCheck;
    RunPageLoop(job, &spooler, 7, 5, "Title", "DEV", "FILE:");
    std::vector<std::string> expected = kHead;
    expected.insert(expected.end(), c.calls.begin(), c.calls.end());
    // Only the loop's calls: drawing is the other tests'.
    std::vector<std::string> calls;
    for (const std::string& line : log_)
      if (line.rfind("text", 0) && line.rfind("italic", 0) && line.rfind("region", 0) &&
          line.rfind("select", 0) && line.rfind("delete", 0) && line.rfind("page ", 0) &&
          line.rfind("line", 0))
        calls.push_back(line);
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(recorder.errors, c.errors);
    if (c.count)
      job->SetFrame(nullptr, 0, false);
    else
      job->SetFrameNode(nullptr);
    job->Release();
    device->Destroy();
  }
}

TEST_F(PrinterDeviceTest, WithoutAPrinterContextPrintingIsErrorFortyOne) {
  test::ErrorRecorder recorder;
  // No printers natively; a frame handed over is let go of.
  auto* frame = new PrintFrame(nullptr, nullptr, 0, {}, {});
  PrintDocument(frame);
  EXPECT_EQ(recorder.errors, std::vector<int>{41});
}

// The preview exports over the sample manual (no drawing natively).
TEST(PreviewExports, StepsCountAndEndJobs) {
  test::TempFolder folder;
  test::RecordingSink sink;
  const char* source = std::getenv("QS_SOURCE_DIR");
  const std::string home = std::string(source ? source : ".") + "/samples/home/";
  ASSERT_NE(QsInitialize(0, "test", (home + "catalog/catalog").c_str(), nullptr, nullptr,
                         (folder.dir() + "/").c_str(), home.c_str()),
            0u);
  const std::string manual = std::string(source ? source : ".") + "/samples/manual/manuale.sgm";
  QsHandle doc = QsParseDocument(manual.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  std::int32_t count = 0;
  const QsWord job = QsPrintPreviewPage(doc, 0, 0, 0, 3, 0, 600, 600, 4942, 6989, &count);
  ASSERT_NE(job, 0u);
  const PrintJob* view = reinterpret_cast<PrintJob*>(job);
  // Each top-level section on a page of its own, after the title's.
  EXPECT_GE(count, 5);
  // The count, then the first page again.
  EXPECT_EQ(view->PagesLaidOut(), count + 1);
  EXPECT_EQ(QsStepPreviewPage(job, 0, 1), 0);
  int pages = 1;
  while (QsStepPreviewPage(job, 0, 4) && pages < 100) ++pages;
  EXPECT_EQ(pages, count);
  // A step back from the last page lays out every page before it again.
  const long long before = view->PagesLaidOut();
  EXPECT_EQ(QsStepPreviewPage(job, 0, 1), 1);
  EXPECT_EQ(view->PagesLaidOut() - before, count - 1);
  EXPECT_EQ(view->PageCounter(), count - 1);
  EXPECT_EQ(QsStepPreviewPage(job, 0, 3), 0);
  QsPaintPreviewPage(job, 0);
  QsEndPreview(job);
  // Ended, and never a job: nothing happens.
  QsEndPreview(job);
  QsPaintPreviewPage(job, 0);
  EXPECT_EQ(QsStepPreviewPage(job, 0, 4), 0);
  EXPECT_EQ(QsPrintPreviewPage(0x7777, 0, 0, 0, 3, 0, 600, 600, 4942, 6989, &count), 0u);
  // With the document's navigator its table of contents comes first, in
  // pages of their own.
  std::int32_t withContents = 0;
  const QsWord contents = QsPrintPreviewPage(doc, 0, 0, 1, 3, 0, 600, 600, 4942, 6989, &withContents);
  ASSERT_NE(contents, 0u);
  EXPECT_GT(withContents, count);
  QsEndPreview(contents);
  // A preview the host leaves open ends with the engine; one whose
  // document is closed under it keeps the document until it ends.
  const QsWord open = QsPrintPreviewPage(doc, 0, 0, 0, 3, 0, 600, 600, 4942, 6989, nullptr);
  EXPECT_NE(open, 0u);
  const QsWord closed = QsPrintPreviewPage(doc, 0, 0, 0, 3, 0, 600, 600, 4942, 6989, nullptr);
  EXPECT_NE(closed, 0u);
  QsCloseDocument(doc);
  QsStepPreviewPage(closed, 0, 4);
  QsPaintPreviewPage(closed, 0);
  QsEndPreview(closed);
  QsReleaseHandle(doc);
  QsTerminate();
}

}  // namespace
}  // namespace qs
