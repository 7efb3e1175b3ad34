// The engine's dialogs on the system: the window a model talks to, the one
// dialog procedure, and the modal run on the host's template or the
// library's.
//
// The dialogs are Unicode windows and every text goes through UTF-16, so a
// text keeps every character whatever the ANSI code page holds; each
// conversion is made into a buffer sized for its result.
#include <windows.h>

#include <cstring>
#include <vector>

#include "api/dialogs.h"
#include "foundation/codepage.h"
#include "foundation/containers.h"
#include "foundation/engine.h"
#include "foundation/module.h"

namespace qs {

namespace {

// UTF-16 of a UTF-8 text: never more units than bytes.
std::vector<char16_t> Wide(const char* text) {
  if (!text) text = "";
  std::vector<char16_t> wide(std::strlen(text) + 1);
  Utf8ToWide(text, wide.data(), wide.size());
  return wide;
}

const wchar_t* W(const std::vector<char16_t>& wide) {
  return reinterpret_cast<const wchar_t*>(wide.data());
}

class Win32DialogWindow : public DialogWindow, public HashItem {
 public:
  Win32DialogWindow(HWND window, Dialog* model) : window_(window), model_(model) {}

  Dialog* model() const { return model_; }
  // Whether one of the model's own commands is running.
  bool Busy() const { return busy_ != 0; }
  void Enter() { ++busy_; }
  void Leave() { --busy_; }

  const char* GetKey() const override { return reinterpret_cast<const char*>(&window_); }
  std::size_t GetKeyLength() const override { return sizeof window_; }

  WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(window_); }
  WindowHandle Owner() const override {
    return reinterpret_cast<WindowHandle>(GetWindow(window_, GW_OWNER));
  }
  void BringToTop() override { BringWindowToTop(window_); }
  void Cancel() override { SendMessageW(window_, WM_COMMAND, IDCANCEL, 0); }
  void Enable(int id, bool on) override { EnableWindow(Item(id), on ? TRUE : FALSE); }
  void Show(int id, bool on) override { ShowWindow(Item(id), on ? SW_SHOW : SW_HIDE); }
  void SetFocus(int id) override { ::SetFocus(Item(id)); }
  void SetCaption(const char* text) override { SetWindowTextW(window_, W(Wide(text))); }
  void SetText(int id, const char* text) override { SetDlgItemTextW(window_, id, W(Wide(text))); }

  std::size_t GetText(int id, char* buffer, std::size_t capacity,
                      std::size_t characters) override {
    buffer[0] = '\0';
    HWND item = Item(id);
    if (!item) return 0;
    int length = GetWindowTextLengthW(item);
    if (length <= 0) return 0;
    std::vector<wchar_t> wide(static_cast<std::size_t>(length) + 1);
    GetWindowTextW(item, wide.data(), length + 1);
    // Three bytes at most for each unit (a pair takes four for two).
    std::vector<char> utf8(wide.size() * 3 + 1);
    WideToUtf8(reinterpret_cast<const char16_t*>(wide.data()), utf8.data(), utf8.size());
    return CopyWholeCharacters(buffer, capacity, utf8.data(), characters);
  }

  int ListAddString(int id, const char* text) override {
    return static_cast<int>(
        SendMessageW(Item(id), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(Wide(text)))));
  }
  void ListDeleteString(int id, int index) override {
    SendMessageW(Item(id), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  }
  int ListCurrentSelection(int id) override {
    return static_cast<int>(SendMessageW(Item(id), LB_GETCURSEL, 0, 0));
  }
  int ListSelectedItems(int id, int maximum, int* indices) override {
    if (maximum <= 0 || !indices) return 0;
    LRESULT n = SendMessageW(Item(id), LB_GETSELITEMS, static_cast<WPARAM>(maximum),
                             reinterpret_cast<LPARAM>(indices));
    return n < 0 ? 0 : static_cast<int>(n);
  }
  void ListSelect(int id, int index) override {
    SendMessageW(Item(id), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  int ListTextWidth(int id, const char* text) override {
    HWND list = Item(id);
    HDC dc = GetDC(list);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    std::vector<char16_t> wide = Wide(text);
    SIZE size = {};
    GetTextExtentPoint32W(dc, W(wide), static_cast<int>(wide.size() - 1), &size);
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    return size.cx;
  }
  void ListSetHorizontalExtent(int id, int pixels) override {
    SendMessageW(Item(id), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels), 0);
  }
  int ComboAddString(int id, const char* text) override {
    return static_cast<int>(
        SendMessageW(Item(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(Wide(text)))));
  }
  int ComboCurrentSelection(int id) override {
    return static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0));
  }
  void ComboSelect(int id, int index) override {
    SendMessageW(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  void ComboClear(int id) override { SendMessageW(Item(id), CB_RESETCONTENT, 0, 0); }
  void ComboSetItemData(int id, int index, std::intptr_t data) override {
    SendMessageW(Item(id), CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
  }
  std::intptr_t ComboGetItemData(int id, int index) override {
    if (index < 0) return -1;
    return static_cast<std::intptr_t>(
        SendMessageW(Item(id), CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
  }
  void SetCheck(int id, bool on) override {
    CheckDlgButton(window_, id, on ? BST_CHECKED : BST_UNCHECKED);
  }
  bool GetCheck(int id) override { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
  void SetReadOnly(int id, bool on) override {
    SendMessageW(Item(id), EM_SETREADONLY, on ? TRUE : FALSE, 0);
  }

 private:
  HWND Item(int id) const { return GetDlgItem(window_, id); }
  HWND window_;
  Dialog* model_;
  int busy_ = 0;
};

HashTable* DialogTable() {
  EngineBase* engine = GetEngine();
  if (!engine) return nullptr;
  if (!engine->dialogWindows) engine->dialogWindows.Set(new HashTable(32, false));
  return engine->dialogWindows.get();
}

Win32DialogWindow* FindDialogWindow(HWND window) {
  HashTable* table = DialogTable();
  return table ? static_cast<Win32DialogWindow*>(table->Find(&window, sizeof window)) : nullptr;
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* model = reinterpret_cast<Dialog*>(lParam);
      HashTable* table = DialogTable();
      if (!model || !table) return FALSE;
      auto* record = new Win32DialogWindow(window, model);
      table->InsertEmbedded(record);
      model->Attach(record);
      GetEngine()->RunDialog(model);
      model->Initialize();
      if (const char* title = model->GetTitle()) record->SetCaption(title);
      // The models set the focus themselves.
      return FALSE;
    }
    case WM_COMMAND: {
      Win32DialogWindow* record = FindDialogWindow(window);
      if (!record) return FALSE;
      Dialog* model = record->model();
      model->AddUse();
      record->Enter();
      int endCode = 0;
      int keep = model->Command(LOWORD(wParam), HIWORD(wParam), &endCode);
      record->Leave();
      model->Release();
      if (keep == 0) EndDialog(window, endCode);
      return keep == 0 ? TRUE : FALSE;
    }
    case WM_DESTROY: {
      if (Win32DialogWindow* record = FindDialogWindow(window)) {
        DialogTable()->RemoveItem(record);
        record->model()->Attach(nullptr);
        delete record;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

INT_PTR RunOn(std::intptr_t module, const char* name, WindowHandle parent, Dialog* dialog) {
  std::vector<char16_t> wide = Wide(name);
  return DialogBoxParamW(reinterpret_cast<HINSTANCE>(module), W(wide),
                         reinterpret_cast<HWND>(parent), DialogProc,
                         reinterpret_cast<LPARAM>(dialog));
}

}  // namespace

void CancelDialogsShowing(Web* web, Anchor* anchor) {
  EngineBase* engine = GetEngine();
  HashTable* table = engine ? engine->dialogWindows.get() : nullptr;
  if (!table) return;
  // Collected first: a cancel runs the dialog's own command.
  std::vector<Win32DialogWindow*> closing;
  for (HashItem* item = table->First(); item; item = table->Next()) {
    auto* record = static_cast<Win32DialogWindow*>(item);
    if (!record->Busy() && record->model()->Shows(web, anchor)) closing.push_back(record);
  }
  for (Win32DialogWindow* record : closing) {
    record->model()->Forget();
    record->Cancel();
  }
}

int RunModalDialog(std::intptr_t hostInstance, WindowHandle parent, Dialog* dialog) {
  if (!dialog) return -1;
  const char* name = DialogTemplateName(dialog->GetKind());
  INT_PTR result = -1;
  if (name) {
    // The host's own copy of a template takes the place of the library's.
    if (hostInstance) result = RunOn(hostInstance, name, parent, dialog);
    std::intptr_t library = GetResourceInstance();
    if (result == -1 && library && library != hostInstance)
      result = RunOn(library, name, parent, dialog);
  }
  dialog->Release();
  return static_cast<int>(result);
}

}  // namespace qs
