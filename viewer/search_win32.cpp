// The "Text Search" and "Parts-List Search" dialogs: the engine searches
// (QsSearch) and inverts the hits; the viewer repeats the search in the
// second view (text) or the navigator view (parts), shows the hit count and
// keeps the texts and options in the registry.
#include <cstring>
#include <string>
#include <vector>

#include "engine.h"
#include "resources/resource.h"
#include "search_text.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

constexpr char kStringKey[] = "\\Search Mode\\String Search";
constexpr char kPartsKey[] = "\\Search Mode\\Parts Search";

struct StringSearch {
  std::uint32_t flags = 0;  // case, pattern and match bits
  bool markupBased = false;
  int match = 0;
  int searchIn = 0;
  SearchHistory history;
  // The query shown and its flags; empty when no search is shown.
  std::string active;
  std::uint32_t activeFlags = 0;
  int hits = 0;
} s;

struct PartsSearch {
  int match = 0;
  int column = 0;
  SearchHistory history;
  std::string last;
  int hits = 0;
} p;

// The selection text a document window's command hands the next dialog.
bool g_prefill = false;
std::string g_prefillText;

std::string ItemText(HWND dialog, int id) {
  char buffer[kSearchTextMax + 1] = "";
  GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
  return buffer;
}

void FillList(HWND dialog, int id, const char* const* names, int count, int selected) {
  for (int i = 0; i < count; ++i) SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, LPARAM(names[i]));
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, WPARAM(selected), 0);
}

void FillTextBox(HWND dialog, int id, const SearchHistory& history) {
  HWND box = GetDlgItem(dialog, id);
  SendMessageA(box, CB_LIMITTEXT, kSearchTextMax, 0);
  if (g_prefill) {
    EngineText local = FromEngine(g_prefillText.c_str());
    SendMessageA(box, CB_ADDSTRING, 0, LPARAM(local.get() ? local.get() : ""));
    g_prefill = false;
    g_prefillText.clear();
  }
  for (const std::string& text : history.Entries())
    SendMessageA(box, CB_ADDSTRING, 0, LPARAM(text.c_str()));
  SendMessageA(box, CB_SETCURSEL, 0, 0);
}

int Selected(HWND dialog, int id, int count, int fallback) {
  auto i = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
  return i >= 0 && i < count ? i : fallback;
}

// Runs `query` in `first`, and in `then` when it found anything; the hit
// count, or 0.
int Search(HWND first, HWND then, const SearchQuery& query) {
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  EngineText text = ToEngine(query.text.c_str());
  int hits = eng::QsSearch(W(first), text.get(), static_cast<std::int32_t>(query.flags));
  SetCursor(previous);
  if (hits > 0 && then) eng::QsSearch(W(then), text.get(), static_cast<std::int32_t>(query.flags));
  return hits > 0 ? hits : 0;
}

void LoadHistory(const char* key, SearchHistory* history) {
  std::vector<std::string> values;
  for (int n = 0; n < static_cast<int>(kSearchHistoryLimit); ++n)
    values.push_back(ReadSetting(key, ("SEARCH" + std::to_string(n)).c_str()));
  history->Load(values);
}

void SaveHistory(const char* key, SearchHistory* history) {
  int n = 0;
  for (const std::string& text : history->Entries())
    WriteSetting(key, ("SEARCH" + std::to_string(n++)).c_str(), text);
  *history = SearchHistory();
}

}  // namespace

// ---- Text search ----------------------------------------------------------------------

void RunStringSearch(const SearchQuery* query) {
  s.active.clear();
  s.hits = 0;
  if (!query || query->text.empty()) {
    SetStatusHits("");
    return;
  }
  int hits = Search(MainView(), SecondView(), *query);
  SetStatusHits(HitCountText(hits).c_str());
  if (hits > 0) {
    s.active = query->text;
    s.activeFlags = query->flags;
    s.hits = hits;
  }
}

bool StringSearchActive() { return !s.active.empty(); }

void EndStringSearch() {
  if (s.active.empty()) return;
  RunStringSearch(nullptr);
  eng::QsClearHighlight(W(SecondView()));
}

void RepeatStringSearch(HWND view) {
  if (s.active.empty() || !view) return;
  EngineText text = ToEngine(s.active.c_str());
  eng::QsSearch(W(view), text.get(), static_cast<std::int32_t>(s.activeFlags));
}

INT_PTR CALLBACK StringSearchDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      FillTextBox(dialog, IDC_SEARCH_TEXT, s.history);
      FillList(dialog, IDC_SEARCH_IN, kSearchInNames, kSearchInCount, s.searchIn);
      FillList(dialog, IDC_SEARCH_MATCH, kMatchModeNames, kMatchModeCount, s.match);
      CheckDlgButton(dialog, IDC_SEARCH_CASE, (s.flags & kSearchCaseSensitive) ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dialog, IDC_SEARCH_REGEX, (s.flags & kSearchPatterns) ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dialog, IDC_SEARCH_MARKUP, s.markupBased ? BST_CHECKED : BST_UNCHECKED);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          s.flags = 0;
          if (IsDlgButtonChecked(dialog, IDC_SEARCH_CASE) == BST_CHECKED) s.flags |= kSearchCaseSensitive;
          if (IsDlgButtonChecked(dialog, IDC_SEARCH_REGEX) == BST_CHECKED) s.flags |= kSearchPatterns;
          s.markupBased = IsDlgButtonChecked(dialog, IDC_SEARCH_MARKUP) == BST_CHECKED;
          s.match = Selected(dialog, IDC_SEARCH_MATCH, kMatchModeCount, s.match);
          s.searchIn = Selected(dialog, IDC_SEARCH_IN, kSearchInCount, s.searchIn);
          s.flags |= MatchModeBits(s.match);
          std::string in = ItemText(dialog, IDC_SEARCH_IN);
          std::string text = ItemText(dialog, IDC_SEARCH_TEXT);
          if (in.empty() || text.empty()) {
            EndDialog(dialog, 1);
            return TRUE;
          }
          int scope = FindSearchName(kSearchInNames, kSearchInCount, in);
          SearchQuery query = BuildStringQuery(text, s.flags, s.markupBased, scope < 0 ? 0 : scope);
          if (!query.text.empty()) {
            s.history.Add(text);
            RunStringSearch(&query);
          }
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

void LoadStringSearchSettings() {
  auto yes = [](const char* name) { return _stricmp(ReadSetting(kStringKey, name).c_str(), "Yes") == 0; };
  if (yes("CASE")) s.flags |= kSearchCaseSensitive;
  if (yes("RE")) s.flags |= kSearchPatterns;
  s.markupBased = ReadSetting(kStringKey, "MARKUP") != "No";
  int match = FindSearchName(kMatchModeNames, kMatchModeCount, ReadSetting(kStringKey, "MATCH"));
  if (match >= 0) {
    s.match = match;
    s.flags = (s.flags & ~kSearchMatchBits) | MatchModeBits(match);
  }
  int in = FindSearchName(kSearchInNames, kSearchInCount, ReadSetting(kStringKey, "SEARCHIN"));
  if (in >= 0) s.searchIn = in;
  LoadHistory(kStringKey, &s.history);
}

void SaveStringSearchSettings() {
  WriteSetting(kStringKey, "CASE", (s.flags & kSearchCaseSensitive) ? "Yes" : "No");
  WriteSetting(kStringKey, "RE", (s.flags & kSearchPatterns) ? "Yes" : "No");
  WriteSetting(kStringKey, "MARKUP", s.markupBased ? "Yes" : "No");
  WriteSetting(kStringKey, "MATCH", kMatchModeNames[s.match]);
  WriteSetting(kStringKey, "SEARCHIN", kSearchInNames[s.searchIn]);
  SaveHistory(kStringKey, &s.history);
}

// ---- Parts-list search -----------------------------------------------------------------

void RunPartsSearch(const SearchQuery* query) {
  if (!query || query->text.empty()) {
    SetStatusHits("");
    return;
  }
  int hits = Search(MainView(), NavigatorView(), *query);
  SetStatusHits(HitCountText(hits).c_str());
  if (hits > 0) {
    p.last = query->text;
    p.hits = hits;
  }
}

INT_PTR CALLBACK PartsSearchDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      FillTextBox(dialog, IDC_PARTS_TEXT, p.history);
      FillList(dialog, IDC_PARTS_COLUMN, kPartsColumnNames, kPartsColumnCount, p.column);
      FillList(dialog, IDC_PARTS_MATCH, kMatchModeNames, kMatchModeCount, p.match);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          p.match = Selected(dialog, IDC_PARTS_MATCH, kMatchModeCount, p.match);
          p.column = Selected(dialog, IDC_PARTS_COLUMN, kPartsColumnCount, p.column);
          std::string columnText = ItemText(dialog, IDC_PARTS_COLUMN);
          std::string text = ItemText(dialog, IDC_PARTS_TEXT);
          if (columnText.empty() || text.empty()) {
            EndDialog(dialog, 1);
            return TRUE;
          }
          int column = FindSearchName(kPartsColumnNames, kPartsColumnCount, columnText);
          SearchQuery query = BuildPartsQuery(text, p.match, column < 0 ? 0 : column);
          if (!query.text.empty()) {
            p.history.Add(text);
            RunPartsSearch(&query);
          }
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

void LoadPartsSearchSettings() {
  int column = FindSearchName(kPartsColumnNames, kPartsColumnCount, ReadSetting(kPartsKey, "SEARCHIN"));
  if (column >= 0) p.column = column;
  LoadHistory(kPartsKey, &p.history);
}

void SavePartsSearchSettings() {
  WriteSetting(kPartsKey, "MATCH", kMatchModeNames[p.match]);
  WriteSetting(kPartsKey, "SEARCHIN", kPartsColumnNames[p.column]);
  SaveHistory(kPartsKey, &p.history);
}

// ---- Commands ----------------------------------------------------------------------------

void RunSearchDialog(bool parts, bool prefill) {
  g_prefill = false;
  g_prefillText.clear();
  if (prefill) {
    std::int32_t length = eng::QsGetSelectionLength(W(MainView()));
    if (length > 0) {
      std::vector<char> buffer(static_cast<std::size_t>(length) + 4, '\0');
      if (eng::QsGetSelectionText(W(MainView()), buffer.data(), length + 4) > 0) {
        g_prefillText = PrefillText(buffer.data());
        g_prefill = true;
      }
    }
  }
  RunDialog(MainWindow(), parts ? "dlgPartsSearch" : "dlgSearch",
            parts ? PartsSearchDlgProc : StringSearchDlgProc);
  g_prefill = false;
  g_prefillText.clear();
}

}  // namespace qs::viewer
