// Printing and print preview: a print frame of a document, its ranges, its
// sheet and its navigators, printed on the current printer or laid out
// page by page into the host's device context.
#include <cstdio>
#include <ctime>
#include <set>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "api/sets.h"
#include "layout/print_frame.h"
#include "layout/print_state.h"
#include "sgml/document.h"
#include "style/navigator.h"
#include "style/style_sheet.h"
#include "view/print_job.h"
#include "view/printer_device.h"

using namespace qs;

namespace {

constexpr std::int32_t kOptionShrinkGraphics = 0x1000;

// A resource the document names (its first), through the loading export,
// with the handle's use given back: the object stays in its engine list.
template <class T>
T* FirstResource(HandleTable* table, QsHandle document, bool sheet) {
  QsHandle handle = sheet ? QsLoadStyleSheet(document, 0, nullptr, 0)
                          : QsLoadNavigator(document, 0, nullptr, 0);
  if (!handle) return nullptr;
  auto* object = static_cast<T*>(sheet ? table->LookupStyleSheet(handle) : table->LookupNavigator(handle));
  table->Release(handle);
  return object;
}

void WritePrintDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (const std::tm* t = std::localtime(&now)) local = *t;
  std::snprintf(GetPrintState().date, sizeof GetPrintState().date, "%d-%02d-%02d",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

// The frame both print exports lay out, prepared; null for a document
// handle that finds nothing.
PrintFrame* BuildPrintFrame(QsHandle document, QsHandle tagSet, QsHandle sheet, QsHandle navigator,
                            std::int32_t options) {
  HandleTable* table = Handles();
  if (!table) return nullptr;
  PrintState& state = GetPrintState();
  state.options = static_cast<std::uint32_t>(options);
  state.fitGraphicsToPage = (options & kOptionShrinkGraphics) != 0;
  WritePrintDate();
  auto* doc = static_cast<Document*>(table->LookupDocument(document));
  if (!doc) return nullptr;

  auto* styleSheet = sheet ? static_cast<StyleSheet*>(table->LookupStyleSheet(sheet)) : nullptr;
  if (!styleSheet) styleSheet = FirstResource<StyleSheet>(table, document, true);

  std::vector<NavigatorDef*> navigators;
  if (navigator == 1) {
    if (auto* n = FirstResource<NavigatorDef>(table, document, false)) navigators.push_back(n);
  } else if (navigator) {
    if (auto* n = static_cast<NavigatorDef*>(table->LookupNavigator(navigator))) navigators.push_back(n);
  }

  // The set's elements, in its order; a set of another document points
  // into another tree and prints as no set (the whole document).
  std::vector<PrintRange> ranges;
  auto* set = tagSet ? static_cast<TagSet*>(table->LookupTagSet(tagSet)) : nullptr;
  if (set && set->GetDocument() == doc)
    for (TagLink* link = set->FirstLink(); link; link = link->NextLink())
      ranges.push_back(PrintRange{link->first, link->last, link->flag});

  const std::uint32_t mode = ((options & 0x400) ? 1u : 0u) | ((options & 0x800) ? 2u : 0u);
  auto* frame = new PrintFrame(doc, styleSheet, mode, std::move(navigators), std::move(ranges));
  frame->Rebuild();
  return frame;
}

// The preview jobs handed out and not ended: a value the host passes back
// that is not one of them is no job.
std::set<PrintJob*>& PreviewJobs() {
  static std::set<PrintJob*> jobs;
  return jobs;
}

PrintJob* FindPreview(QsWord value) {
  auto* job = reinterpret_cast<PrintJob*>(value);
  return job && PreviewJobs().count(job) ? job : nullptr;
}

}  // namespace

namespace qs {

void EndAllPreviews() {
  while (!PreviewJobs().empty()) QsEndPreview(reinterpret_cast<QsWord>(*PreviewJobs().begin()));
}

}  // namespace qs

extern "C" {

std::int32_t QsPrintDocument(QsHandle document, QsHandle tagSet, QsHandle sheet,
                             QsHandle navigator, std::int32_t options) {
  PrintFrame* frame = BuildPrintFrame(document, tagSet, sheet, navigator, options);
  if (!frame) return 0;
  PrintDocument(frame);
  return 1;
}

QsWord QsPrintPreviewPage(QsHandle document, QsHandle tagSet, QsHandle sheet, QsHandle navigator,
                          std::int32_t options, QsWord dc, std::int32_t dpiX, std::int32_t dpiY,
                          std::int32_t pageWidth, std::int32_t pageHeight,
                          std::int32_t* pageCount) {
  PrintFrame* frame = BuildPrintFrame(document, tagSet, sheet, navigator, options);
  if (!frame) return 0;
  auto* device = new PrinterDevice(NewPlatformPrintSurface(), pageWidth, pageHeight, dpiX, dpiY);
  auto* job = new PrintJob(frame, device);
  job->Select(static_cast<std::intptr_t>(dc));
  job->First();
  if (job->CountFirst() || pageCount) {
    job->CountPasses([job] { job->First(); }, [job] { return job->Next(); });
    if (pageCount) *pageCount = job->PageCounter();
    job->First();
  }
  job->Deselect();
  PreviewJobs().insert(job);
  return reinterpret_cast<QsWord>(job);
}

void QsPaintPreviewPage(QsWord value, QsWord dc) {
  PrintJob* job = FindPreview(value);
  if (!job) return;
  job->Select(static_cast<std::intptr_t>(dc));
  job->Render();
  job->Deselect();
}

std::int32_t QsStepPreviewPage(QsWord value, QsWord dc, std::int32_t step) {
  PrintJob* job = FindPreview(value);
  if (!job) return 0;
  const int target = job->PageCounter() - 1;
  std::int32_t moved = 0;
  job->Select(static_cast<std::intptr_t>(dc));
  switch (step) {
    case 0:
      job->First();
      moved = 1;
      break;
    case 1:
      if (target > 0) {
        job->First();
        while (job->PageCounter() < target && job->Next()) {
        }
        moved = 1;
      }
      break;
    case 4:
      moved = job->Next() ? 1 : 0;
      break;
    default:
      break;
  }
  job->Deselect();
  return moved;
}

void QsEndPreview(QsWord value) {
  PrintJob* job = FindPreview(value);
  if (!job) return;
  PreviewJobs().erase(job);
  PrinterDevice* device = job->Printer();
  job->SetFrame(nullptr, 0, false);
  job->Release();
  device->Destroy();
}

}  // extern "C"
