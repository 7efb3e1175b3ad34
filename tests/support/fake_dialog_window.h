// A dialog window without the system: controls by id with their text,
// enabled, shown, read-only and check states, list and combo lines with
// their selection and data, and a log of what the model asked for.
#pragma once
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "api/dialogs.h"

namespace qs::test {

class FakeDialogWindow : public DialogWindow {
 public:
  struct Control {
    std::string text;
    bool enabled = true;
    bool shown = true;
    bool readOnly = false;
    bool checked = false;
    std::vector<std::string> lines;
    std::vector<std::intptr_t> data;
    std::vector<int> selected;  // a single selection is its first entry
    int extent = 0;
  };

  explicit FakeDialogWindow(Dialog* model, WindowHandle owner = 0) : model_(model), owner_(owner) {
    model_->Attach(this);
  }
  ~FakeDialogWindow() override { model_->Attach(nullptr); }

  // Opens the window: the model fills it.
  void Open() { model_->Initialize(); if (const char* t = model_->GetTitle()) caption = t; }
  // A command as the window would send it: true when the model ended the
  // dialog, with its end code.
  bool Send(int id, int code = 0) {
    int keep = model_->Command(id, code, &endCode);
    if (keep == 0) ended = true;
    return keep == 0;
  }
  // The reader selects line `index` of a list or combo box (the system
  // sends no notification for it; Send the one the test means).
  void Select(int id, int index) { controls[id].selected = {index}; }

  WindowHandle Handle() const override { return 1; }
  WindowHandle Owner() const override { return owner_; }
  void BringToTop() override { ++broughtToTop; }
  void Cancel() override { Send(kIdCancel); }
  void Enable(int id, bool on) override { controls[id].enabled = on; }
  void Show(int id, bool on) override { controls[id].shown = on; }
  void SetFocus(int id) override { focus = id; }
  void SetCaption(const char* text) override { caption = text; }
  void SetText(int id, const char* text) override { controls[id].text = text; }
  std::size_t GetText(int id, char* buffer, std::size_t capacity, std::size_t characters) override {
    return CopyWholeCharacters(buffer, capacity, controls[id].text.c_str(), characters);
  }
  int ListAddString(int id, const char* text) override { return AddLine(id, text); }
  void ListDeleteString(int id, int index) override {
    Control& c = controls[id];
    if (index < 0 || index >= int(c.lines.size())) return;
    c.lines.erase(c.lines.begin() + index);
    c.data.erase(c.data.begin() + index);
    c.selected.clear();
  }
  int ListCurrentSelection(int id) override { return Current(id); }
  int ListSelectedItems(int id, int maximum, int* indices) override {
    int n = 0;
    for (int i : controls[id].selected)
      if (n < maximum) indices[n++] = i;
    return n;
  }
  void ListSelect(int id, int index) override { controls[id].selected = {index}; }
  // Eight pixels a byte.
  int ListTextWidth(int, const char* text) override { return 8 * int(std::strlen(text)); }
  void ListSetHorizontalExtent(int id, int pixels) override { controls[id].extent = pixels; }
  int ComboAddString(int id, const char* text) override { return AddLine(id, text); }
  int ComboCurrentSelection(int id) override { return Current(id); }
  void ComboSelect(int id, int index) override { controls[id].selected = {index}; }
  void ComboClear(int id) override {
    controls[id].lines.clear();
    controls[id].data.clear();
    controls[id].selected.clear();
  }
  void ComboSetItemData(int id, int index, std::intptr_t data) override {
    Control& c = controls[id];
    if (index >= 0 && index < int(c.data.size())) c.data[index] = data;
  }
  std::intptr_t ComboGetItemData(int id, int index) override {
    Control& c = controls[id];
    return index >= 0 && index < int(c.data.size()) ? c.data[index] : -1;
  }
  void SetCheck(int id, bool on) override { controls[id].checked = on; }
  bool GetCheck(int id) override { return controls[id].checked; }
  void SetReadOnly(int id, bool on) override { controls[id].readOnly = on; }

  std::map<int, Control> controls;
  std::string caption;
  int focus = 0;
  int broughtToTop = 0;
  int endCode = -7;
  bool ended = false;

 private:
  int AddLine(int id, const char* text) {
    controls[id].lines.push_back(text);
    controls[id].data.push_back(0);
    return int(controls[id].lines.size()) - 1;
  }
  int Current(int id) {
    const Control& c = controls[id];
    return c.selected.empty() ? -1 : c.selected.front();
  }
  Dialog* model_;
  WindowHandle owner_;
};

}  // namespace qs::test
