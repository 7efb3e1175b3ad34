// The rows of the order list: a report-style list view whose every row owns
// one OrderItem through its parameter and gets its texts on demand.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "order_file.h"

namespace qs::order {

inline constexpr int kListViewId = 1016;

// The six columns, left-aligned, with their captions and widths.
void InsertColumns(HWND listView);

// Appends a row owning `item`; returns its index, or -1 (the item is then
// freed).
int ListAddItem(HWND listView, OrderItem* item);
// Frees the row's record and gives the row `item`.
void ListReplaceItem(HWND listView, int row, OrderItem* item);
OrderItem* ItemAt(HWND listView, int row);

// Deletes the row and frees its record; -1 when the row has no record.
int DeleteItem(HWND listView, int row);
// Deletes every selected row, from the last index down.
void DeleteSelected(HWND listView);
void DeleteAll(HWND listView);

// Appends the records of a file to the list view 1016 of `dialog`; a file
// that cannot be read adds nothing.
void LoadItems(HWND dialog, const char* path, FileForm form);
// Writes all rows in the save-file format, whole or not at all.
bool SaveItems(HWND listView, const char* path);

// Sorts all rows by one column with lstrcmpiA.
void SortByColumn(HWND listView, int column, bool descending);

// Answers LVN_GETDISPINFO (A or W) from the row's record.
void FillDisplayInfo(NMHDR* header);

}  // namespace qs::order
