#include "view/print_job.h"

#include <cstring>

#include "foundation/codepage.h"
#include "foundation/engine.h"
#include "foundation/engine_services.h"
#include "foundation/memory.h"
#include "layout/print_frame.h"
#include "sgml/document.h"
#include "style/style_sheet.h"
#include "view/graphic_object.h"
#include "view/host_document_view.h"
#include "view/printer_device.h"
#include "view/printer_list.h"

namespace qs {

namespace {

constexpr int kErrNoPrinterContext = 41;
constexpr int kErrUnableToPrint = 42;
constexpr int kStrPreprocessing = 14;
constexpr int kStrPrinting = 15;

const char* EngineString(int id) {
  static char buffer[256];
  EngineBase* engine = GetEngine();
  const char* text = engine ? engine->GetString(id, buffer) : nullptr;
  return text ? text : "";
}

}  // namespace

// ---- PrintJob ----------------------------------------------------------------------

PrintJob::PrintJob(FrameTreeNode* frame, PrinterDevice* device)
    : PagedView(frame, device), printer_(device) {}

void PrintJob::Select(std::intptr_t context) {
  StyleSheet* sheet = GetStyleSheet();
  printer_->PreparePage(this, context, sheet ? sheet->margins : nullptr);
}

void PrintJob::Deselect() { printer_->EndPage(); }

void PrintJob::First() {
  counter_ = 1;
  FirstPage();
}

bool PrintJob::Next() {
  if (!NextPage()) return false;
  ++counter_;
  return true;
}

void* PrintJob::TakePicture(void* graphic, TextFormat*) {
  if (!graphic) return nullptr;
  return static_cast<GraphicObject*>(graphic)->MakePrintRenderer(printer_);
}

char* PrintJob::GetHostTextForElement(DocumentNode* element, std::intptr_t argument) {
  return AskHostElementText(0, GetDocument(), element, argument);
}

char* PrintJob::GetHostTextForObject(void*, std::intptr_t argument) {
  return AskHostObjectText(0, argument);
}

// ---- The page loop -------------------------------------------------------------------

std::string FillAbortText(const char* format, const char* value) {
  std::string out;
  if (!format) return out;
  // The dialog's own text is read whole up to 99 characters; a host's
  // template may say anything, so nothing in it is taken as a directive but
  // the first "%s".
  const char* hole = std::strstr(format, "%s");
  if (!hole) {
    out = format;
  } else {
    out.assign(format, static_cast<std::size_t>(hole - format));
    out += value ? value : "";
    out += hole + 2;
  }
  if (out.size() > kAbortTextMax) out.resize(kAbortTextMax);
  return out;
}

void RunPageLoop(PrintJob* job, PrintSpooler* spooler, WindowHandle owner, std::intptr_t context,
                 const char* title, const char* device, const char* port) {
  spooler->ShowAbortDialog(owner);
  spooler->SetItemText(kAbortDeviceItem,
                       FillAbortText(spooler->ItemText(kAbortDeviceItem).c_str(), device).c_str());
  spooler->SetItemText(kAbortPortItem,
                       FillAbortText(spooler->ItemText(kAbortPortItem).c_str(), port).c_str());
  spooler->SetItemText(kAbortTitleItem, title);
  job->Select(context);

  if (spooler->StartDocument(title, port) > 0) {
    job->First();
    bool go = spooler->Running();
    if (go && job->CountFirst()) {
      spooler->SetItemText(kAbortStateItem, EngineString(kStrPreprocessing));
      spooler->SetItemText(kAbortPageItem, "");
      // The reader may cancel a long count as well.
      job->CountPasses(
          [&] {
            if (go) job->First();
          },
          [&] {
            if (!go || !job->Next()) return false;
            spooler->SetItemText(kAbortPageItem, job->PageNumberText());
            go = spooler->Running();
            return true;
          });
      spooler->SetItemText(kAbortStateItem, EngineString(kStrPrinting));
      if (go) job->First();
    }
    bool cancelled = !go;
    // A run the layout ended (its error told) prints nothing more.
    if (go && job->Failed()) go = false;
    while (go) {
      spooler->SetItemText(kAbortPageItem, job->PageNumberText());
      spooler->StartPage();
      job->Render();
      if (!spooler->Running()) {
        // The page is not ended: the document is dropped as it stands.
        cancelled = true;
        break;
      }
      if (spooler->EndPage() <= 0 || !job->Next() || job->Failed()) break;
    }
    if (cancelled) spooler->AbortDocument();
  }
  const int ended = spooler->EndDocument();
  job->Deselect();
  spooler->CloseAbortDialog(owner);
  if (!spooler->Cancelled() && ended < 0) ReportEngineError(kErrUnableToPrint);
}

void PrintDocument(PrintFrame* frame) {
  if (!frame) return;
  // The run's dialog and flag are single: a print asked for while one runs
  // (from a message the abort dialog let through) waits for none and
  // prints nothing.
  static bool running = false;
  if (running) {
    frame->Release();
    return;
  }
  struct Running {
    explicit Running(bool& flag) : flag_(flag) { flag_ = true; }
    ~Running() { flag_ = false; }
    bool& flag_;
  } scope(running);
  EngineBase* engine = GetEngine();
  PrinterList* printers = engine ? engine->printers.get() : nullptr;
  const std::intptr_t context = printers ? printers->GetPrinterDC() : 0;
  int width = 0, height = 0, dpiX = 0, dpiY = 0;
  if (!context || !PrinterContextSize(context, &width, &height, &dpiX, &dpiY)) {
    if (context) DeletePrinterContext(context);
    ReportEngineError(kErrNoPrinterContext);
    frame->Release();
    return;
  }
  auto* device = new PrinterDevice(NewPlatformPrintSurface(), width, height, dpiX, dpiY);
  auto* job = new PrintJob(frame, device);

  // The title in the process code page: the document's, else the host's.
  std::string title;
  Document* document = frame->GetDocument();
  if (const char* own = document ? document->TitleExcerpt() : nullptr; own && *own) {
    char* ansi = Utf8ToAnsi(own);
    title = ansi ? ansi : own;
    if (ansi != own) MemFree(ansi);
  } else if (Engine* hosted = engine->AsHosted()) {
    if (hosted->applicationName()) title = hosted->applicationName();
  }
  PrinterEntry* current = printers->current();
  const std::string deviceName = current ? current->device : "";
  const std::string port = current ? current->port : "";

  PrintSpooler* spooler = NewPlatformSpooler(context);
  RunPageLoop(job, spooler, engine->GetParentWindow(0), context, title.c_str(), deviceName.c_str(),
              port.c_str());
  delete spooler;
  job->SetFrame(nullptr, 0, false);
  job->Release();
  device->Destroy();
  DeletePrinterContext(context);
}

}  // namespace qs
