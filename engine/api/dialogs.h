// The engine's own modal dialogs as models that know their template, fill
// their controls when the window opens and answer commands. A model sees
// its window only through `DialogWindow`, so the models run without the
// system (tests drive them through a window of their own).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/callbacks.h"
#include "layout/print_frame.h"

namespace qs {

class Anchor;
class Document;
class EngineBase;
class PrinterList;
class StyleSheet;
class Web;

// Control ids every template shares.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
// List and combo box notifications the models react to (the system's
// values).
inline constexpr int kNotifySelectionChange = 1;  // LBN_SELCHANGE, CBN_SELCHANGE
inline constexpr int kNotifyDoubleClick = 2;      // LBN_DBLCLK

// The window of one open dialog, as its model uses it; each operation works
// on the control with the given id. Texts are UTF-8.
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  virtual WindowHandle Handle() const = 0;
  // The window that owns the dialog (0 for none).
  virtual WindowHandle Owner() const = 0;
  virtual void BringToTop() = 0;
  // Sends the dialog the command of id 2, as its Cancel button would.
  virtual void Cancel() = 0;
  virtual void Enable(int id, bool on) = 0;
  virtual void Show(int id, bool on) = 0;
  virtual void SetFocus(int id) = 0;
  virtual void SetCaption(const char* text) = 0;
  virtual void SetText(int id, const char* text) = 0;
  // At most `characters` characters of the control's text, cut further to
  // whole characters within `capacity` - 1 bytes, and a NUL, into `buffer`;
  // the characters written (0 leaves an empty text).
  virtual std::size_t GetText(int id, char* buffer, std::size_t capacity,
                              std::size_t characters) = 0;
  virtual int ListAddString(int id, const char* text) = 0;
  virtual void ListDeleteString(int id, int index) { (void)id, (void)index; }
  // The selected line, -1 for none.
  virtual int ListCurrentSelection(int id) = 0;
  // Up to `maximum` selected lines into `indices`; their count.
  virtual int ListSelectedItems(int id, int maximum, int* indices) = 0;
  virtual void ListSelect(int id, int index) = 0;
  // The width of `text` in the list box's font, in pixels.
  virtual int ListTextWidth(int id, const char* text) = 0;
  virtual void ListSetHorizontalExtent(int id, int pixels) = 0;
  virtual int ComboAddString(int id, const char* text) = 0;
  virtual int ComboCurrentSelection(int id) = 0;
  virtual void ComboSelect(int id, int index) = 0;
  virtual void ComboClear(int id) = 0;
  virtual void ComboSetItemData(int id, int index, std::intptr_t data) = 0;
  // The line's data; -1 for a line that is not there.
  virtual std::intptr_t ComboGetItemData(int id, int index) = 0;
  virtual void SetCheck(int id, bool on) = 0;
  virtual bool GetCheck(int id) = 0;
  virtual void SetReadOnly(int id, bool on) = 0;
};

// The base of the models. Made with one use; `Release` deletes at none.
class Dialog {
 public:
  enum Kind { kInput = 0, kList, kNote, kLink, kPrint, kPrinterSetup, kKindCount };

  Dialog() = default;
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  void AddUse() { ++uses_; }
  void Release();

  virtual int GetKind() const { return kInput; }
  // The caption the window takes, or null to keep the template's.
  virtual const char* GetTitle() const { return nullptr; }
  // Fills the controls when the window opens.
  virtual void Initialize() {}
  // A command of control `id` with `code`: 0 ends the dialog with
  // `*endCode`; nonzero leaves it open.
  virtual int Command(int id, int code, int* endCode);

  // Whether the dialog shows `anchor`, or an anchor of `web` (either may be
  // null): such a dialog is closed when they go.
  virtual bool Shows(const Web* web, const Anchor* anchor) const {
    (void)web, (void)anchor;
    return false;
  }
  // Drops what `Shows` matched, which is about to be freed: the window still
  // sees messages until it is gone.
  virtual void Forget() {}

  // The window while it is open; each of the two knows the other.
  DialogWindow* window() const { return window_; }
  void Attach(DialogWindow* window) { window_ = window; }

 protected:
  // The control operations, doing nothing while no window is attached.
  void Enable(int id, bool on);
  void Show(int id, bool on);
  void SetFocus(int id);
  void SetText(int id, const char* text);
  std::size_t GetText(int id, char* buffer, std::size_t capacity, std::size_t characters);
  int ListCurrentSelection(int id);
  void SetCheck(int id, bool on);
  bool GetCheck(int id);
  void SetReadOnly(int id, bool on);

 private:
  std::int32_t uses_ = 1;
  DialogWindow* window_ = nullptr;
};

// At most `characters` whole characters of the UTF-8 `text` that fit in
// `capacity` - 1 bytes, and a NUL, into `out` (capacity at least 1); the
// characters copied.
std::size_t CopyWholeCharacters(char* out, std::size_t capacity, const char* text,
                                std::size_t characters);

// The template name of a dialog kind ("DlgInput" ... "DlgPrnSetup"); null
// for a kind that has none.
const char* DialogTemplateName(int kind);

// A one-line prompt: the label, and the text of `buffer`, which takes the
// answer on OK.
class InputDialog : public Dialog {
 public:
  // What the answer may fill of the caller's buffer: the answer is cut to
  // whole characters within 100 bytes, whatever the characters are.
  static constexpr std::size_t kAnswerBytes = 100;
  InputDialog(const char* title, const char* label, char* buffer);

  int GetKind() const override { return kInput; }
  const char* GetTitle() const override { return title_; }
  void Initialize() override;
  int Command(int id, int code, int* endCode) override;

 private:
  const char* title_;
  const char* label_;
  char* buffer_;
};

// What a list dialog offers: lines with a text each, one of which the
// reader may choose.
class ListDialogItems {
 public:
  virtual ~ListDialogItems() = default;
  virtual int Count() const = 0;
  virtual const char* Text(int index) const = 0;
  // The reader chose line `index` (double click, or OK).
  virtual void Choose(int index) = 0;
  // The dialog's caption when the dialog is given none; null: the
  // template's own.
  virtual const char* Title() const { return nullptr; }
};

// A list chooser: OK only once a line is selected; a double click chooses a
// line and keeps the dialog open.
class ListDialog : public Dialog {
 public:
  // `items` stays the caller's and must outlive the dialog.
  explicit ListDialog(ListDialogItems* items, const char* title = nullptr);

  int GetKind() const override { return kList; }
  const char* GetTitle() const override { return title_ || !items_ ? title_ : items_->Title(); }
  void Initialize() override;
  int Command(int id, int code, int* endCode) override;

 private:
  ListDialogItems* items_;
  const char* title_;
};

// "Select Printer": the printers with the current one selected; OK makes
// the selected one current, Setup runs its driver's set-up.
class PrinterSetupDialog : public Dialog {
 public:
  // `printers` is the engine's and outlives the dialog.
  explicit PrinterSetupDialog(PrinterList* printers) : printers_(printers) {}

  int GetKind() const override { return kPrinterSetup; }
  void Initialize() override;
  int Command(int id, int code, int* endCode) override;

 private:
  PrinterList* printers_;
};

// "Print Document": printer, sheet, navigators, the part to print and the
// page furniture; Print prints it on the chosen printer. The dialog holds a
// use of the document while it lives.
class PrintDialog : public Dialog {
 public:
  // `ranges` empty: the whole document; `sheet` (may be null) is the one in
  // use, selected in the list when the document names it.
  PrintDialog(Document* document, StyleSheet* sheet, std::vector<PrintRange> ranges,
              std::uint32_t frameMode);
  ~PrintDialog() override;

  int GetKind() const override { return kPrint; }
  void Initialize() override;
  int Command(int id, int code, int* endCode) override;

  // The print settings the controls stand for, over `options` (the bits
  // the dialog has no control for are kept).
  std::uint32_t ReadOptions(std::uint32_t options);

 private:
  // Prints with what the controls say.
  void Print();
  Document* document_;
  StyleSheet* sheet_;
  std::vector<PrintRange> ranges_;
  std::uint32_t frameMode_;
};

// Runs "Select Printer" over `owner`: the end code.
int RunPrinterSetupDialog(WindowHandle owner);

// Runs `dialog` modally over `parent` on the template of its kind, found in
// the host's module `hostInstance` first and then in the library's own;
// gives back the caller's use of the dialog. The end code, or -1 when no
// template could be loaded (always natively, where there are no windows).
int RunModalDialog(std::intptr_t hostInstance, WindowHandle parent, Dialog* dialog);
// Cancels every open dialog that `Shows` the web or anchor, except one
// whose own command is running: that command made the change and goes on.
void CancelDialogsShowing(Web* web, Anchor* anchor);

}  // namespace qs
