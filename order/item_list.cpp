#include "item_list.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "file_io.h"

namespace qs::order {

namespace {

struct Column {
  const char* caption;
  int width;
};
constexpr Column kColumns[kFieldCount] = {
    {"Model No.", 110}, {"Ref. No.", 80},  {"Parts No.", 110},
    {"Parts Specification", 180}, {"Qty.", 40}, {"Dealer Remarks", 200}};

void SetCallbackTexts(HWND listView, int row) {
  for (int k = 0; k < kFieldCount; ++k) {
    LVITEMA lv{};
    lv.iSubItem = k;
    lv.pszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(listView, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&lv));
  }
}

void AddToList(void* context, OrderItem* item) {
  ListAddItem(static_cast<HWND>(context), item);
}

int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM sort) {
  int column = static_cast<int>(sort & 0xff);
  bool descending = (sort & 0x100) != 0;
  const auto* a = reinterpret_cast<const OrderItem*>(first);
  const auto* b = reinterpret_cast<const OrderItem*>(second);
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  int result = lstrcmpiA(ItemField(a, column), ItemField(b, column));
  return descending ? -result : result;
}

// The record of a row asking for its text: the parameter the list view
// passed along, else the row's own.
const OrderItem* RowItem(HWND listView, int row, LPARAM param) {
  if (param) return reinterpret_cast<const OrderItem*>(param);
  return ItemAt(listView, row);
}

}  // namespace

void InsertColumns(HWND listView) {
  for (int k = 0; k < kFieldCount; ++k) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = kColumns[k].width;
    column.pszText = const_cast<char*>(kColumns[k].caption);
    column.iSubItem = k;
    SendMessageA(listView, LVM_INSERTCOLUMNA, static_cast<WPARAM>(k),
                 reinterpret_cast<LPARAM>(&column));
  }
}

int ListAddItem(HWND listView, OrderItem* item) {
  if (!item) return -1;
  LVITEMA lv{};
  lv.mask = LVIF_TEXT | LVIF_PARAM;
  // New rows always go to the end, whatever was deleted or sorted before.
  lv.iItem = ListView_GetItemCount(listView);
  lv.pszText = LPSTR_TEXTCALLBACKA;
  lv.lParam = reinterpret_cast<LPARAM>(item);
  int row = static_cast<int>(
      SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lv)));
  if (row < 0) {
    FreeItem(item);
    return -1;
  }
  SetCallbackTexts(listView, row);
  return row;
}

OrderItem* ItemAt(HWND listView, int row) {
  LVITEMA lv{};
  lv.mask = LVIF_PARAM;
  lv.iItem = row;
  if (!SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&lv))) return nullptr;
  return reinterpret_cast<OrderItem*>(lv.lParam);
}

void ListReplaceItem(HWND listView, int row, OrderItem* item) {
  if (!item) return;
  if (row < 0 || row >= ListView_GetItemCount(listView)) {
    FreeItem(item);
    return;
  }
  FreeItem(ItemAt(listView, row));
  LVITEMA lv{};
  lv.mask = LVIF_PARAM;
  lv.iItem = row;
  lv.lParam = reinterpret_cast<LPARAM>(item);
  SendMessageA(listView, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&lv));
  SetCallbackTexts(listView, row);
  ListView_RedrawItems(listView, row, row);
}

int DeleteItem(HWND listView, int row) {
  OrderItem* item = ItemAt(listView, row);
  if (!item) return -1;
  ListView_DeleteItem(listView, row);
  FreeItem(item);
  return 0;
}

void DeleteSelected(HWND listView) {
  for (int row = ListView_GetItemCount(listView) - 1; row >= 0; --row) {
    if (ListView_GetItemState(listView, row, LVIS_SELECTED) & LVIS_SELECTED)
      DeleteItem(listView, row);
  }
}

void DeleteAll(HWND listView) {
  for (int row = ListView_GetItemCount(listView) - 1; row >= 0; --row) {
    if (DeleteItem(listView, row) < 0) ListView_DeleteItem(listView, row);
  }
}

void LoadItems(HWND dialog, const char* path, FileForm form) {
  HWND listView = GetDlgItem(dialog, kListViewId);
  if (!listView) return;
  std::size_t length = 0;
  char* text = LoadFileText(dialog, path, &length);
  if (!text) return;
  ParseItems(text, length, form, &AddToList, listView);
  std::free(text);
}

bool SaveItems(HWND listView, const char* path) {
  std::string contents;
  int count = ListView_GetItemCount(listView);
  for (int row = 0; row < count; ++row) {
    if (const OrderItem* item = ItemAt(listView, row)) contents += FormatItemLine(*item);
  }
  return WriteFileWhole(path, contents);
}

void SortByColumn(HWND listView, int column, bool descending) {
  if (column < 0 || column >= kFieldCount) return;
  ListView_SortItems(listView, CompareRows,
                     static_cast<LPARAM>(column | (descending ? 0x100 : 0)));
}

void FillDisplayInfo(NMHDR* header) {
  if (header->code == LVN_GETDISPINFOA) {
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0)
      return;
    const OrderItem* item = RowItem(header->hwndFrom, info->item.iItem, info->item.lParam);
    const char* text = item ? ItemField(item, info->item.iSubItem) : nullptr;
    lstrcpynA(info->item.pszText, text ? text : "", info->item.cchTextMax);
  } else if (header->code == LVN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0)
      return;
    const OrderItem* item = RowItem(header->hwndFrom, info->item.iItem, info->item.lParam);
    const char* text = item ? ItemField(item, info->item.iSubItem) : nullptr;
    if (!text) text = "";
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, info->item.pszText, info->item.cchTextMax);
    if (n == 0) info->item.pszText[0] = L'\0';
    info->item.pszText[info->item.cchTextMax - 1] = L'\0';
  }
}

}  // namespace qs::order
