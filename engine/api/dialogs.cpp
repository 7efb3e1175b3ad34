#include "api/dialogs.h"

#include <cstring>

#include "foundation/engine.h"
#include "view/printer_list.h"

namespace qs {

namespace {

constexpr int kInputLabel = 101;
constexpr int kInputText = 102;
constexpr int kListBox = 101;
constexpr int kPrinterCombo = 101;
constexpr int kPrinterSetupButton = 102;

const char* const kTemplateNames[Dialog::kKindCount] = {
    "DlgInput", "DlgList", "DlgNote", "DlgLink", "DlgPrint", "DlgPrnSetup"};

}  // namespace

std::size_t CopyWholeCharacters(char* out, std::size_t capacity, const char* text,
                                std::size_t characters) {
  std::size_t end = 0, count = 0;
  while (text && text[end] && count < characters) {
    std::size_t next = end + 1;
    while ((static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) ++next;
    if (next > capacity - 1) break;
    end = next;
    ++count;
  }
  if (end) std::memcpy(out, text, end);
  out[end] = '\0';
  return count;
}

const char* DialogTemplateName(int kind) {
  return kind >= 0 && kind < Dialog::kKindCount ? kTemplateNames[kind] : nullptr;
}

// ---- Dialog -----------------------------------------------------------------

Dialog::~Dialog() = default;

void Dialog::Release() {
  if (--uses_ <= 0) delete this;
}

int Dialog::Command(int, int, int*) { return 1; }

void Dialog::Enable(int id, bool on) {
  if (window_) window_->Enable(id, on);
}
void Dialog::Show(int id, bool on) {
  if (window_) window_->Show(id, on);
}
void Dialog::SetFocus(int id) {
  if (window_) window_->SetFocus(id);
}
void Dialog::SetText(int id, const char* text) {
  if (window_) window_->SetText(id, text ? text : "");
}
std::size_t Dialog::GetText(int id, char* buffer, std::size_t capacity, std::size_t characters) {
  if (!buffer || capacity == 0) return 0;
  if (!window_) {
    buffer[0] = '\0';
    return 0;
  }
  return window_->GetText(id, buffer, capacity, characters);
}
int Dialog::ListCurrentSelection(int id) { return window_ ? window_->ListCurrentSelection(id) : -1; }
void Dialog::SetCheck(int id, bool on) {
  if (window_) window_->SetCheck(id, on);
}
bool Dialog::GetCheck(int id) { return window_ && window_->GetCheck(id); }
void Dialog::SetReadOnly(int id, bool on) {
  if (window_) window_->SetReadOnly(id, on);
}

// ---- InputDialog --------------------------------------------------------------

InputDialog::InputDialog(const char* title, const char* label, char* buffer)
    : title_(title), label_(label), buffer_(buffer) {}

void InputDialog::Initialize() {
  SetText(kInputLabel, label_);
  SetText(kInputText, buffer_);
  SetFocus(kInputText);
}

int InputDialog::Command(int id, int, int* endCode) {
  if (id == kIdOk) {
    // The answer is cut in bytes, on a character boundary: a buffer of 101
    // bytes takes it whatever the characters are.
    if (buffer_) GetText(kInputText, buffer_, kAnswerBytes + 1, kAnswerBytes);
    *endCode = 1;
    return 0;
  }
  if (id == kIdCancel) {
    *endCode = 0;
    return 0;
  }
  return 1;
}

// ---- ListDialog ---------------------------------------------------------------

ListDialog::ListDialog(ListDialogItems* items, const char* title) : items_(items), title_(title) {}

void ListDialog::Initialize() {
  DialogWindow* w = window();
  if (w && items_) {
    // The widest line and one character more, so that the end of every line
    // can be scrolled into view.
    int widest = 0;
    int extra = w->ListTextWidth(kListBox, "X");
    for (int i = 0; i < items_->Count(); ++i) {
      const char* text = items_->Text(i);
      if (!text) text = "";
      int width = w->ListTextWidth(kListBox, text);
      if (width > widest) widest = width;
      w->ListAddString(kListBox, text);
    }
    w->ListSetHorizontalExtent(kListBox, widest + extra);
  }
  Enable(kIdOk, false);
  SetFocus(kListBox);
}

int ListDialog::Command(int id, int code, int* endCode) {
  if (id == kListBox) {
    int selected = ListCurrentSelection(kListBox);
    if (code == kNotifySelectionChange) {
      Enable(kIdOk, selected >= 0);
    } else if (code == kNotifyDoubleClick && selected >= 0) {
      if (items_) items_->Choose(selected);
      if (DialogWindow* w = window()) w->BringToTop();
    }
    return 1;
  }
  if (id == kIdOk) {
    int selected = ListCurrentSelection(kListBox);
    if (selected >= 0 && items_) items_->Choose(selected);
    *endCode = 1;
    return 0;
  }
  if (id == kIdCancel) {
    *endCode = 0;
    return 0;
  }
  return 1;
}

// ---- PrinterSetupDialog --------------------------------------------------------

void PrinterSetupDialog::Initialize() {
  if (printers_) printers_->FillComboBox(window(), kPrinterCombo);
  SetFocus(kPrinterCombo);
}

int PrinterSetupDialog::Command(int id, int, int* endCode) {
  switch (id) {
    case kPrinterSetupButton:
      if (printers_) printers_->SetupSelected(window(), kPrinterCombo);
      return 1;
    case kIdOk:
      if (printers_) printers_->GetSelection(window(), kPrinterCombo);
      *endCode = 1;
      return 0;
    case kIdCancel:
      *endCode = 0;
      return 0;
    default:
      return 1;
  }
}

int RunPrinterSetupDialog(WindowHandle owner) {
  EngineBase* engine = GetEngine();
  if (!engine) return 0;
  return engine->DoModalDialog(owner, new PrinterSetupDialog(engine->printers.get()));
}

}  // namespace qs
