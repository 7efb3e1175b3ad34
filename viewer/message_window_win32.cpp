// The message window: the parser's warnings and errors for the document
// being loaded, the source around the one selected, and an "Edit %s" item in
// the Edit menu for every file the parser opened.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "engine.h"
#include "message_text.h"
#include "resources/resource.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

constexpr UINT kMessageTimer = 187;

struct Entry {
  std::string file;
  long offset = 0;
  long line = 0;
};

struct Record {
  HWND list = nullptr, edit = nullptr;
  int width = 0, height = 0;
  Entry entries[kMessageLimit];
  int count = 0;
  bool overflow = false;
};

bool g_armed = false;
int g_editItems = 0;
std::set<std::string> g_editFiles;

Record* RecordOf(HWND window) {
  return window ? reinterpret_cast<Record*>(GetWindowLongPtrA(window, 0)) : nullptr;
}

HMENU EditMenu() {
  HWND main = MainWindow();
  HMENU menu = main ? GetMenu(main) : nullptr;
  return menu ? GetSubMenu(menu, 1) : nullptr;
}

void AddEditItem(const std::string& file) {
  HMENU edit = EditMenu();
  if (!edit || g_editItems >= EDIT_FILE_MAX) return;
  // The parser reports a file at every entry into it: one item a file.
  if (!g_editFiles.insert(file).second) return;
  if (g_editItems == 0) {
    InsertMenuA(edit, EDIT_MENU_FIXED_ITEMS, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  }
  std::string text = "Edit " + file;
  InsertMenuA(edit, EDIT_MENU_FIXED_ITEMS + 1 + g_editItems, MF_BYPOSITION | MF_STRING,
              IDM_EDIT_FILE_FIRST + g_editItems, text.c_str());
  ++g_editItems;
}

void ShowSource(HWND window, int index) {
  Record* record = RecordOf(window);
  if (!record) return;
  LRESULT data = SendMessageA(record->list, LB_GETITEMDATA, index, 0);
  if (data == LB_ERR || data == 0) {
    SetWindowTextA(record->edit, "");
    return;
  }
  const Entry& entry = *reinterpret_cast<const Entry*>(data);
  std::string text;
  int caret = 0;
  SourceExcerpt(entry.file, entry.offset, entry.line, &text, &caret);
  SetWindowTextA(record->edit, text.c_str());
  SetFocus(record->edit);
  SendMessageA(record->edit, EM_SETSEL, caret, caret);
  SendMessageA(record->edit, EM_SCROLLCARET, 0, 0);
}

void Resize(Record* record) {
  MoveWindow(record->list, 2, 2, record->width - 4, record->height / 2, TRUE);
  RECT r;
  GetClientRect(record->list, &r);
  MoveWindow(record->edit, 2, r.bottom + 6, record->width - 4, record->height - r.bottom - 8, TRUE);
}

}  // namespace

int EditFileItemCount() { return g_editItems; }

bool SourceExcerpt(const std::string& file, long offset, long line, std::string* text,
                   int* caret) {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (!in) {
    *text = "Can't open file \"" + file + "\"";
    *caret = 0;
    return false;
  }
  if (offset < 0) {
    // Reported in a DTD: the start of the reported line.
    offset = 0;
    long at = 1;
    int ch;
    while (at < line && (ch = std::fgetc(in)) != EOF) {
      ++offset;
      if (ch == '\n') ++at;
    }
  }
  long start = offset > 512 ? offset - 512 : 0;
  if (std::fseek(in, start, SEEK_SET) != 0) {
    std::fclose(in);
    *text = "Can't locate source in file \"" + file + "\"";
    *caret = 0;
    return false;
  }
  char buffer[1024];
  std::size_t n = std::fread(buffer, 1, sizeof buffer, in);
  std::fclose(in);
  // The edit control shows text: a zero byte in the file would cut it.
  for (std::size_t i = 0; i < n; ++i) {
    if (buffer[i] == 0) buffer[i] = ' ';
  }
  *text = "..." + std::string(buffer, n) + "...";
  *caret = static_cast<int>(offset - start) + 3;
  return true;
}

std::int32_t EngineMessageCallback(const void* raw, QsWord) {
  const auto* report = static_cast<const QsParseReport*>(raw);
  if (!report) return 1;
  EngineText name = FromEngine(report->entity);
  std::string file = name.get() ? name.get() : "";
  if (!(report->kind & QS_REPORT_MESSAGE)) {
    if ((report->kind & QS_REPORT_ENTERED) && !file.empty() && file[0] != '#') AddEditItem(file);
    return 1;
  }
  HWND window = MessageWindow();
  Record* record = RecordOf(window);
  if (!record) return 1;
  if (record->count >= kMessageLimit) {
    if (!record->overflow) {
      record->overflow = true;
      SendMessageA(record->list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kTooManyMessages));
    }
    return 1;
  }
  std::string text = FormatEngineMessage(report->number, report->argument1, report->argument2,
                                         report->argument3);
  EngineText local = FromEngine(text.c_str());
  std::string line = MessageLine(file, report->severity, local.get() ? local.get() : "");
  Entry& entry = record->entries[record->count++];
  entry.file = file;
  entry.offset = report->offset;
  entry.line = report->line;
  LRESULT item = SendMessageA(record->list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  if (item >= 0) SendMessageA(record->list, LB_SETITEMDATA, item, reinterpret_cast<LPARAM>(&entry));
  if (!g_armed) {
    g_armed = true;
    SetTimer(window, kMessageTimer, 1, nullptr);
  }
  return 1;
}

void ClearMessages() {
  if (g_armed) return;
  if (Record* record = RecordOf(MessageWindow())) {
    SendMessageA(record->list, LB_RESETCONTENT, 0, 0);
    for (Entry& entry : record->entries) entry = Entry();
    record->count = 0;
    record->overflow = false;
    SetWindowTextA(record->edit, "");
  }
  if (g_editItems) {
    if (HMENU edit = EditMenu()) {
      for (int i = 0; i <= g_editItems; ++i) DeleteMenu(edit, EDIT_MENU_FIXED_ITEMS, MF_BYPOSITION);
    }
    g_editItems = 0;
    g_editFiles.clear();
  }
}

LRESULT CALLBACK MessageWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Record* record = RecordOf(window);
  switch (message) {
    case WM_CREATE: {
      auto* created = new Record;
      HINSTANCE instance = reinterpret_cast<LPCREATESTRUCTA>(lParam)->hInstance;
      created->list = CreateWindowA("LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY,
                                    0, 0, 0, 0, window,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MESSAGE_LIST)),
                                    instance, nullptr);
      created->edit = CreateWindowA("EDIT", "",
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE |
                                        ES_AUTOVSCROLL | ES_READONLY,
                                    0, 0, 0, 0, window, nullptr, instance, nullptr);
      if (HFONT font = MessageFont()) {
        SendMessageA(created->list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageA(created->edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      }
      SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(created));
      return 0;
    }
    case WM_SIZE:
      if (record) {
        record->width = LOWORD(lParam);
        record->height = HIWORD(lParam);
        Resize(record);
      }
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (record) {
        RECT r;
        GetClientRect(record->list, &r);
        HGDIOBJ old = SelectObject(dc, GetStockObject(WHITE_PEN));
        MoveToEx(dc, 0, r.bottom + 4, nullptr);
        LineTo(dc, record->width, r.bottom + 4);
        HPEN dark = CreatePen(PS_SOLID, 0, RGB(0x80, 0x80, 0x80));
        SelectObject(dc, dark);
        MoveToEx(dc, 0, r.bottom + 3, nullptr);
        LineTo(dc, record->width, r.bottom + 3);
        SelectObject(dc, old);
        DeleteObject(dark);
      }
      EndPaint(window, &ps);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kMessageTimer) {
        g_armed = false;
        KillTimer(window, kMessageTimer);
        SetLowerPane(window);
        if (record && SendMessageA(record->list, LB_GETCURSEL, 0, 0) == LB_ERR) {
          int count = static_cast<int>(SendMessageA(record->list, LB_GETCOUNT, 0, 0));
          for (int i = 0; i < count; ++i) {
            if (SendMessageA(record->list, LB_GETITEMDATA, i, 0)) {
              SendMessageA(record->list, LB_SETCURSEL, i, 0);
              ShowSource(window, i);
              break;
            }
          }
        }
        MessageBeep(MB_ICONHAND);
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_MESSAGE_LIST && HIWORD(wParam) == LBN_SELCHANGE && record) {
        ShowSource(window, static_cast<int>(SendMessageA(record->list, LB_GETCURSEL, 0, 0)));
      }
      return 0;
    case WM_DESTROY:
      delete record;
      SetWindowLongPtrA(window, 0, 0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace qs::viewer
