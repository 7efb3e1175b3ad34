// A print run: a paged view bound to one printer device that counts and
// renders pages, the page loop that sends them to the printer under the
// "DlgPrnAbort" dialog, and printing a frame on the current printer. What
// the printer context and the dialog do lies behind `PrintSpooler`, so the
// loop runs without a system.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/callbacks.h"
#include "layout/paged_view.h"

namespace qs {

class PrintFrame;
class PrinterDevice;

class PrintJob : public PagedView {
 public:
  // Takes over the caller's use of the frame; the device stays the
  // caller's and must outlive the job.
  PrintJob(FrameTreeNode* frame, PrinterDevice* device);

  PrinterDevice* Printer() const { return printer_; }
  // Binds a drawing context to the device for the span of a call: the
  // margins of the frame's sheet, the bands, the body size.
  void Select(std::intptr_t context);
  void Deselect();
  // The counter is 1 on the first page and counts every step forward.
  void First();
  bool Next();
  void Render() { RenderPage(); }
  int PageCounter() const { return counter_; }

  // Every picture on paper is made anew for the printer.
  void* TakePicture(void* graphic, TextFormat* format) override;
  // The host's texts for fields, asked as for a host view without a window.
  char* GetHostTextForElement(DocumentNode* element, std::intptr_t argument) override;
  char* GetHostTextForObject(void* object, std::intptr_t argument) override;

 protected:
  ~PrintJob() override = default;

 private:
  PrinterDevice* printer_;
  std::int32_t counter_ = 0;
};

// The printer context's document calls and the modeless abort dialog.
class PrintSpooler {
 public:
  virtual ~PrintSpooler() = default;
  // Shows the abort dialog owned by `owner` (disabled until it closes);
  // the run may go on from then until the reader cancels.
  virtual void ShowAbortDialog(WindowHandle owner) = 0;
  // A dialog item's text, at most 99 characters (empty without a dialog).
  virtual std::string ItemText(int id) = 0;
  virtual void SetItemText(int id, const char* text) = 0;
  // The context's calls: more than 0 is success.
  virtual int StartDocument(const char* name, const char* output) = 0;
  virtual int StartPage() = 0;
  virtual int EndPage() = 0;
  virtual void AbortDocument() = 0;
  virtual int EndDocument() = 0;
  // Lets the windows' waiting messages through; false once the reader
  // cancelled.
  virtual bool Running() = 0;
  // The same without touching the messages.
  virtual bool Cancelled() const = 0;
  virtual void CloseAbortDialog(WindowHandle owner) = 0;
};

// The abort dialog's line for a printer's device or port: the item's text
// as a format whose first "%s" takes `value`; every other "%" stays text,
// and the line keeps within kAbortTextMax bytes.
inline constexpr std::size_t kAbortTextMax = 255;
std::string FillAbortText(const char* format, const char* value);

// The dialog items of a print run.
enum : int {
  kAbortTitleItem = 101,
  kAbortDeviceItem = 102,
  kAbortPortItem = 103,
  kAbortStateItem = 104,
  kAbortPageItem = 105,
};

// Prints every page of the job through `spooler` on `context`, the abort
// dialog owned by `owner` (see print_job.cpp for the order of the calls).
void RunPageLoop(PrintJob* job, PrintSpooler* spooler, WindowHandle owner, std::intptr_t context,
                 const char* title, const char* device, const char* port);

// Prints the frame on the printer list's current printer, taking over the
// caller's use of the frame. Without a printer: engine error 41.
void PrintDocument(PrintFrame* frame);

// ---- The system's part (natively there are no printers) ----------------------------
PrintSpooler* NewPlatformSpooler(std::intptr_t context);
// The context's page in pixels and its dots per inch; false when it tells
// none.
bool PrinterContextSize(std::intptr_t context, int* width, int* height, int* dpiX, int* dpiY);
void DeletePrinterContext(std::intptr_t context);

}  // namespace qs
