// A stand-in for QSENGINE.DLL, built from export_table.h: every export
// exists (unless the build leaves one out) and answers 0; the ones the
// viewer's start and end call write a line each to "calls.log" beside the
// DLL, with the arguments that matter. The compatibility text is the
// build's STANDIN_COMPATIBILITY.
//
// With STANDIN_DOCUMENTS it also keeps documents and views, as far as the
// viewer's opening of documents needs them: a document is any file that
// can be read, its style sheet and navigator titles are the first quoted
// text of its STYLESPEC and NAVIGATOR processing instructions; a view
// paints one line of text for its document, one more per style sheet or
// navigator number, and raises event 0 for its window when it changes; Back
// (view command 10) on the main view asks the viewer through event 7 for a
// window to show the document shown before. The open dialog answers the
// path in "dialog.txt" beside the DLL (once). A document that holds the
// text WARNING-HERE gets one warning there. A search finds 12 hits, one
// when its query holds "single", none when it holds "nohit"; the views'
// selection is the text of "selection.txt" beside the DLL. Every call is
// logged.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "api/parse_report.h"

namespace {

HMODULE g_module = nullptr;
std::string g_catalog;

void Log(const std::string& line) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(g_module, path, MAX_PATH);
  std::string file(path, n);
  file = file.substr(0, file.find_last_of('\\') + 1) + "calls.log";
  if (FILE* out = std::fopen(file.c_str(), "ab")) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
  }
}

std::string Text(std::intptr_t value) {
  if (value == 0) return "0";
  if (value == 1) return "1";
  return reinterpret_cast<const char*>(value);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

#ifndef STANDIN_NO_COMPATIBILITY
extern "C" const char* QsGetCmptlNo() { return STANDIN_COMPATIBILITY; }
#endif
extern "C" const char* QsGetTextVersion() { return "stand-in"; }

using W = std::intptr_t;

extern "C" W QsInitialize(W, W title, W catalog, W entityrc, W setup, W temp, W home) {
  g_catalog = Text(catalog);
  Log("QsInitialize|" + Text(title) + "|" + Text(catalog) + "|" + Text(entityrc) + "|" +
      Text(setup) + "|" + Text(temp) + "|" + Text(home));
  return 1;
}
extern "C" W QsTerminate() {
  Log("QsTerminate");
  return 0;
}
extern "C" W QsSetCharset(W charset) {
  Log("QsSetCharset|" + std::to_string(static_cast<int>(charset)));
  return 0;
}
extern "C" W QsRegisterNotation(W key, W notation, W system, W publicId) {
  Log("QsRegisterNotation|" + Text(key) + "|" + Text(notation) + "|" + Text(system) + "|" +
      Text(publicId));
  return 0;
}
#ifdef STANDIN_DOCUMENTS
using EventProc = W (*)(W window, std::int32_t event, W a, W b, W data);
std::map<std::pair<W, int>, EventProc> g_callbacks;
W g_mainView = 0;  // the window registered for event 0
#endif

extern "C" W QsSetCallback(W window, W event, W procedure, W data) {
#ifdef STANDIN_DOCUMENTS
  g_callbacks[{window, static_cast<int>(event)}] = reinterpret_cast<EventProc>(procedure);
  if (event == 0 && window) g_mainView = window;
#else
  (void)procedure;
#endif
  Log("QsSetCallback|" + std::string(window ? "window" : "0") + "|" +
      std::to_string(static_cast<int>(event)) + "|" + std::to_string(data));
  return 0;
}
extern "C" W QsSetMainWindow(W window) {
  Log(std::string("QsSetMainWindow|") + (window ? "window" : "0"));
  return 0;
}
std::string BesideDll(const char* name) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(g_module, path, MAX_PATH);
  std::string file(path, n);
  return file.substr(0, file.find_last_of('\\') + 1) + name;
}

extern "C" W QsOpenFileDialog(W, W, W path, W) {
  Log("QsOpenFileDialog");
#ifdef STANDIN_DOCUMENTS
  std::string answer = BesideDll("dialog.txt");
  if (FILE* in = std::fopen(answer.c_str(), "rb")) {
    char buffer[MAX_PATH] = "";
    std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, in);
    std::fclose(in);
    DeleteFileA(answer.c_str());
    buffer[n] = 0;
    std::strcpy(reinterpret_cast<char*>(path), buffer);
    return 1;
  }
#else
  (void)path;
#endif
  return 0;
}
extern "C" W QsGetCatalogFile(W buffer, W size) {
  Log("QsGetCatalogFile");
  if (!buffer || size <= 0 || g_catalog.size() >= static_cast<std::size_t>(size)) return 0;
  std::strcpy(reinterpret_cast<char*>(buffer), g_catalog.c_str());
  return buffer;
}
#ifdef STANDIN_DOCUMENTS
bool PaintView(HWND window);
#endif

extern "C" W QsDefWindowProc(W window, W message, W wparam, W lparam) {
#ifdef STANDIN_DOCUMENTS
  if (message == WM_PAINT && PaintView(reinterpret_cast<HWND>(window))) return 1;
#endif
  return DefWindowProcA(reinterpret_cast<HWND>(window), static_cast<UINT>(message),
                        static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam));
}

#ifdef STANDIN_DOCUMENTS
namespace {

struct Document {
  std::string path;
  std::vector<std::string> sheets, navigators;
  bool open = true;
};
std::vector<Document> g_documents;
struct View {
  std::uint32_t document = 0, sheet = 0, navigator = 0;
};
std::map<W, View> g_views;
std::vector<std::uint32_t> g_back;  // documents the main view showed before
std::uint32_t g_lastMain = 0;       // the one it showed last, detached or not

constexpr std::uint32_t kDocumentBase = 100, kSheetBase = 1000, kNavigatorBase = 2000,
                        kNodeBase = 5000;

Document* DocumentOf(std::uint32_t handle) {
  if (handle < kDocumentBase || handle >= kDocumentBase + g_documents.size()) return nullptr;
  Document& d = g_documents[handle - kDocumentBase];
  return d.open ? &d : nullptr;
}

std::string Hex(W value) {
  char text[32];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string ShortName(const std::string& path) {
  return path.substr(path.find_last_of("\\/:") + 1);
}

// The first quoted text after each "<?NAME".
std::vector<std::string> Titles(const std::string& text, const std::string& name) {
  std::vector<std::string> titles;
  std::size_t at = 0;
  while ((at = text.find("<?" + name, at)) != std::string::npos) {
    std::size_t open = text.find('"', at), close = open == std::string::npos ? open : text.find('"', open + 1);
    if (close == std::string::npos) break;
    titles.push_back(text.substr(open + 1, close - open - 1));
    at = close;
  }
  return titles;
}

std::string ReadText(const std::string& path) {
  std::string text;
  if (FILE* in = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
    std::fclose(in);
  }
  return text;
}

// The document window's place among the main window's three: the main
// view, the second view, the navigator view.
std::string Role(W window) {
  HWND w = reinterpret_cast<HWND>(window);
  HWND parent = GetParent(w);
  const char* const names[] = {"main", "second", "navigator"};
  HWND c = parent ? FindWindowExA(parent, nullptr, "Qs:DocWndCls", nullptr) : nullptr;
  for (int i = 0; i < 3 && c; ++i, c = FindWindowExA(parent, c, "Qs:DocWndCls", nullptr))
    if (c == w) return names[i];
  return "other";
}
std::string Selection() { return ReadText(BesideDll("selection.txt")); }

std::uint32_t OpenDocumentFile(const std::string& path, std::string* read = nullptr) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return 0;
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
  std::fclose(in);
  if (read) *read = text;
  for (std::size_t i = 0; i < g_documents.size(); ++i) {
    if (g_documents[i].open && g_documents[i].path == path) return kDocumentBase + i;
  }
  Document d;
  d.path = path;
  d.sheets = Titles(text, "STYLESPEC");
  d.navigators = Titles(text, "NAVIGATOR");
  g_documents.push_back(d);
  return kDocumentBase + static_cast<std::uint32_t>(g_documents.size() - 1);
}

W Raise(W window, int event, W a, W b) {
  auto at = g_callbacks.find({window, event});
  if (at == g_callbacks.end()) at = g_callbacks.find({0, event});
  return at == g_callbacks.end() ? 0 : at->second(window, event, a, b, 0);
}

void Show(W window, const View& view) {
  if (window == g_mainView) {
    if (g_lastMain && g_lastMain != view.document) g_back.push_back(g_lastMain);
    g_lastMain = view.document;
  }
  g_views[window] = view;
  InvalidateRect(reinterpret_cast<HWND>(window), nullptr, TRUE);
  Raise(window, 0, 0, 0);
}

}  // namespace

bool PaintView(HWND window) {
  auto at = g_views.find(reinterpret_cast<W>(window));
  if (at == g_views.end()) return false;
  const Document* d = DocumentOf(at->second.document);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT r;
  GetClientRect(window, &r);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  int lines = 1 + (at->second.sheet ? static_cast<int>(at->second.sheet % 10) + 1 : 0) +
              (at->second.navigator ? static_cast<int>(at->second.navigator % 10) + 1 : 0);
  std::string text = d ? ShortName(d->path) : "?";
  SetTextColor(dc, RGB(0, 0, 0));
  for (int i = 0; i < lines; ++i) TextOutA(dc, 8, 8 + 30 * i, text.c_str(), static_cast<int>(text.size()));
  EndPaint(window, &ps);
  return true;
}

extern "C" {

W QsParseDocument(W systemId, W, W, W messages, W data) {
  std::string path = Text(systemId), text;
  std::uint32_t handle = OpenDocumentFile(path, &text);
  // A document may ask for a warning where it says so.
  std::size_t at = text.find("WARNING-HERE");
  if (at != std::string::npos && messages) {
    QsParseReport report = {};
    report.kind = QS_REPORT_MESSAGE;
    report.entity = path.c_str();
    report.severity = 0;
    report.number = 16;
    report.argument1 = reinterpret_cast<std::intptr_t>("WARNING-HERE");
    report.offset = static_cast<std::int32_t>(at);
    reinterpret_cast<std::int32_t (*)(const void*, W)>(messages)(&report, data);
  }
  Log("QsParseDocument|" + path + "|" + (handle ? "ok" : "failed"));
  return handle;
}
W QsOpenBinaryDocument(W path, W, W name, W) {
  Log("QsOpenBinaryDocument|" + Text(path) + "|" + Text(name));
  return OpenDocumentFile(Text(name));
}
W QsPushCatalog(W path, W) {
  Log("QsPushCatalog|" + Text(path));
  return 0;
}
W QsPopCatalog() {
  Log("QsPopCatalog");
  return 0;
}
W QsPushEntityrc(W path, W) {
  Log("QsPushEntityrc|" + Text(path));
  return 0;
}
W QsPopEntityrc() {
  Log("QsPopEntityrc");
  return 0;
}
W QsGetFileName(W handle, W buffer, W size) {
  const Document* d = DocumentOf(static_cast<std::uint32_t>(handle));
  if (!d || !buffer || d->path.size() >= static_cast<std::size_t>(size)) return 0;
  std::strcpy(reinterpret_cast<char*>(buffer), d->path.c_str());
  return buffer;
}
W QsGetDocStyleSheetTitle(W document, W n) {
  const Document* d = DocumentOf(static_cast<std::uint32_t>(document));
  if (!d || n < 0 || static_cast<std::size_t>(n) >= d->sheets.size()) return 0;
  return reinterpret_cast<W>(d->sheets[n].c_str());
}
W QsGetDocNavigatorTitle(W document, W n) {
  const Document* d = DocumentOf(static_cast<std::uint32_t>(document));
  if (!d || n < 0 || static_cast<std::size_t>(n) >= d->navigators.size()) return 0;
  return reinterpret_cast<W>(d->navigators[n].c_str());
}
W QsLoadStyleSheet(W document, W n, W, W) {
  const Document* d = DocumentOf(static_cast<std::uint32_t>(document));
  if (!d || n < 0 || n > 9 || static_cast<std::size_t>(n) >= d->sheets.size()) return 0;
  return kSheetBase + (document - kDocumentBase) * 10 + n;
}
W QsLoadNavigator(W document, W n, W, W) {
  const Document* d = DocumentOf(static_cast<std::uint32_t>(document));
  if (!d || n < 0 || n > 9 || static_cast<std::size_t>(n) >= d->navigators.size()) return 0;
  return kNavigatorBase + (document - kDocumentBase) * 10 + n;
}
W QsDisplay(W window, W document, W sheet, W navigator, W linked, W, W, W flags) {
  const Document* d = DocumentOf(static_cast<std::uint32_t>(document));
  Log("QsDisplay|" + std::string(window == g_mainView ? "main" : "other") + "|" +
      (d ? ShortName(d->path) : "?") + "|sheet " + (sheet ? std::to_string(sheet % 10) : "-") +
      "|navigator " + (navigator ? std::to_string(navigator % 10) : "-") + "|linked " +
      (linked == g_mainView ? "main" : linked ? "other" : "0") + "|" +
      Hex(static_cast<std::uint32_t>(flags)));
  if (!d || !window) return 0;
  Show(window, {static_cast<std::uint32_t>(document), static_cast<std::uint32_t>(sheet),
                static_cast<std::uint32_t>(navigator)});
  return 1;
}
W QsGetViewDocument(W window) {
  auto at = g_views.find(window);
  return at == g_views.end() || !DocumentOf(at->second.document) ? 0 : at->second.document;
}
W QsGetViewStyleSheet(W window) {
  auto at = g_views.find(window);
  return at == g_views.end() ? 0 : at->second.sheet;
}
W QsGetViewNavigator(W window) {
  auto at = g_views.find(window);
  return at == g_views.end() ? 0 : at->second.navigator;
}
W QsDetachWindowView(W window) {
  if (!g_views.erase(window)) return 0;
  if (window) InvalidateRect(reinterpret_cast<HWND>(window), nullptr, TRUE);
  Raise(window, 0, 0, 0);
  return 1;
}
W QsCloseDocument(W document) {
  Document* d = DocumentOf(static_cast<std::uint32_t>(document));
  Log("QsCloseDocument|" + (d ? ShortName(d->path) : std::string("?")));
  if (!d) return 0;
  d->open = false;
  for (auto at = g_views.begin(); at != g_views.end();) {
    if (at->second.document == static_cast<std::uint32_t>(document)) {
      W window = at->first;
      at = g_views.erase(at);
      InvalidateRect(reinterpret_cast<HWND>(window), nullptr, TRUE);
      Raise(window, 0, 0, 0);
    } else {
      ++at;
    }
  }
  return 1;
}
W QsIsSameObject(W a, W b) { return a == b; }
W QsReleaseHandle(W handle) {
  Log("QsReleaseHandle|" + std::to_string(handle));
  return 0;
}
W QsGetNodeDocument(W node) {
  return node >= kNodeBase && DocumentOf(static_cast<std::uint32_t>(node - kNodeBase + kDocumentBase))
             ? node - kNodeBase + kDocumentBase
             : 0;
}
W QsViewCommand(W window, W command) {
  Log("QsViewCommand|" + std::to_string(command));
  if (command != 10 || window != g_mainView) return 0;
  while (!g_back.empty() && !DocumentOf(g_back.back())) g_back.pop_back();
  if (g_back.empty()) return 0;
  std::uint32_t target = g_back.back();
  g_back.pop_back();
  std::intptr_t record[7] = {};
  W shown = Raise(0, 7, target - kDocumentBase + kNodeBase, reinterpret_cast<W>(record));
  Log("Event7|" + std::string(shown == g_mainView ? "main" : shown ? "other" : "0") + "|" +
      Hex(record[5]));
  if (!shown) return 0;
  std::size_t back = g_back.size();
  Show(shown, {target, kSheetBase + (target - kDocumentBase) * 10, 0});
  g_back.resize(back);  // going back is no new step
  return 1;
}
W QsSaveDocumentBinary(W document, W path) {
  const Document* d = DocumentOf(static_cast<std::uint32_t>(document));
  Log("QsSaveDocumentBinary|" + (d ? ShortName(d->path) : std::string("?")) + "|" + Text(path));
  return d ? 1 : 0;
}
W QsGetWindowKind(W window) { return g_views.count(window) ? 1 : 0; }
W QsNodeAtPoint(W window, W, W) {
  auto at = g_views.find(window);
  return at == g_views.end() ? 0 : at->second.document - kDocumentBase + kNodeBase;
}
W QsSearch(W window, W query, W flags) {
  std::string text = query ? reinterpret_cast<const char*>(query) : "(null)";
  Log("QsSearch|" + Role(window) + "|" + text + "|" + Hex(static_cast<std::uint32_t>(flags)));
  if (text.find("nohit") != std::string::npos) return 0;
  return text.find("single") != std::string::npos ? 1 : 12;
}
W QsClearHighlight(W window) {
  Log("QsClearHighlight|" + Role(window));
  return 1;
}
W QsGetSelectionLength(W) { return static_cast<W>(Selection().size()); }
W QsGetSelectionText(W, W buffer, W size) {
  std::string text = Selection();
  if (!buffer || size <= 0 || static_cast<std::size_t>(size) <= text.size()) return 0;
  std::memcpy(reinterpret_cast<char*>(buffer), text.c_str(), text.size() + 1);
  return static_cast<W>(text.size());
}
W QsCreateTreeView(W window, W document, W, W, W) {
  Log("QsCreateTreeView");
  if (!DocumentOf(static_cast<std::uint32_t>(document))) return 0;
  Show(window, {static_cast<std::uint32_t>(document), 0, 0});
  return 1;
}

}  // extern "C"
#endif

// Every other export answers 0.
#define QS_SPECIAL_QsInitialize
#define QS_EXPORT(number, bytes, function, group, failure) \
  extern "C" W Standin_##function() { return 0; }
#include "api/export_table.h"
