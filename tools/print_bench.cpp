// print_bench: the print preview of a large document on an A4 page at
// 600 dpi (4942 x 6989 pixels), through the preview exports as a host
// calls them, for scripts/bench_print:
//   print_bench [-c CATALOG] [-o OPTIONS] DOCUMENT SHEET
// One line: "parse S s, format S s, open S s, open-count S s, pages N,
// count S s, to-last S s, back S s, relaid N". The parse; the whole
// document formatted into a plain frame (as format_dump -b); the preview
// opened without a page count (its print frame formatted, page 1 laid
// out) and opened again with one, and the pages it counted; the count's
// own time, the second opening less the first (every page laid out once
// more); from page 1 each page stepped to up to the last one, one step at
// a time; one step back from the last page, and how many pages that step
// laid out again, by the paged view's own tally. OPTIONS is the print
// options word (default 3: the page number right of the header).
// Natively the preview's context is none (fixed font metrics); on Windows
// it is a memory context with a one-bit DIB section of the page selected.
// Engine messages go to standard error, never to a box.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "api/exports.h"
#include "api/interface.h"
#include "foundation/platform.h"
#include "print_bench_context.h"
#include "sgml/document.h"
#include "style/frame.h"
#include "style/style_sheet.h"
#include "tool_engine.h"
#include "view/print_job.h"

namespace {

constexpr int kPageWidth = 4942, kPageHeight = 6989, kDpi = 600;

int PrintMessage(void*, std::intptr_t, const char* text, const char* caption, unsigned) {
  std::fprintf(stderr, "MESSAGE %s: %s\n", caption ? caption : "", text ? text : "");
  return qs::platform::kIdOk;
}

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const char* catalog = nullptr;
  std::int32_t options = 3;
  const char* files[2] = {};
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-c") == 0 && i + 1 < argc)
      catalog = argv[++i];
    else if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
      options = static_cast<std::int32_t>(std::strtol(argv[++i], nullptr, 0));
    else if (count < 2)
      files[count++] = argv[i];
  }
  if (count != 2) {
    std::fprintf(stderr, "usage: print_bench [-c CATALOG] [-o OPTIONS] DOCUMENT SHEET\n");
    return 2;
  }
  qs::platform::SetMessageSink(PrintMessage, nullptr);
  if (!tool::StartEngine("print_bench", catalog)) return 1;

  int result = 0;
  auto start = Clock::now();
  QsHandle doc = QsParseDocument(tool::CallerPath(files[0]).c_str(), nullptr, 0, nullptr, 0);
  const double parse = Since(start);
  QsHandle sheet = QsOpenStyleSheet(tool::CallerPath(files[1]).c_str(), nullptr, nullptr, 0);
  auto* document = doc ? static_cast<qs::Document*>(qs::Handles()->LookupDocument(doc)) : nullptr;
  auto* styles = sheet ? static_cast<qs::StyleSheet*>(qs::Handles()->LookupStyleSheet(sheet)) : nullptr;
  PageContext* page = NewPageContext(kPageWidth, kPageHeight);
  if (!document || !document->Root() || !styles || !page) {
    std::fprintf(stderr, "print_bench: %s\n",
                 !page ? "no page context" : !styles ? "cannot read the sheet" : "cannot read the document");
    result = 1;
  } else {
    auto* frame = new qs::FrameNode(document, styles, 0, nullptr);
    start = Clock::now();
    frame->Rebuild();
    const double format = Since(start);
    frame->Release();

    const QsWord dc = static_cast<QsWord>(ContextValue(page));
    start = Clock::now();
    QsWord job = QsPrintPreviewPage(doc, 0, sheet, 0, options, dc, kDpi, kDpi, kPageWidth,
                                    kPageHeight, nullptr);
    const double open = Since(start);
    // The export's job is its print job: the tally of pages laid out is
    // the paged view's.
    auto tally = [](QsWord value) { return reinterpret_cast<qs::PrintJob*>(value)->PagesLaidOut(); };
    double toLast = 0, back = 0;
    long long relaid = -1;
    int stepped = 1;
    if (job) {
      start = Clock::now();
      while (QsStepPreviewPage(job, dc, 4)) ++stepped;
      toLast = Since(start);
      const long long before = tally(job);
      start = Clock::now();
      const std::int32_t moved = QsStepPreviewPage(job, dc, 1);
      back = Since(start);
      if (moved) relaid = tally(job) - before;
      QsEndPreview(job);
    }
    std::int32_t pages = 0;
    start = Clock::now();
    job = QsPrintPreviewPage(doc, 0, sheet, 0, options, dc, kDpi, kDpi, kPageWidth, kPageHeight,
                             &pages);
    const double openCount = Since(start);
    if (job) QsEndPreview(job);
    if (!job || pages != stepped) {
      std::fprintf(stderr, "print_bench: %d pages counted, %d stepped through\n", pages, stepped);
      result = 1;
    }
    std::printf("parse %.4f s, format %.4f s, open %.4f s, open-count %.4f s, pages %d, "
                "count %.4f s, to-last %.4f s, back %.4f s, relaid %lld\n",
                parse, format, open, openCount, static_cast<int>(pages), openCount - open, toLast,
                back, relaid);
  }
  DeletePageContext(page);
  if (sheet) QsReleaseHandle(sheet);
  if (doc) QsReleaseHandle(doc);
  QsTerminate();
  return result;
}
