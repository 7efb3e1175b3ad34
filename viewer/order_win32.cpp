// The order hand-off: rows of a parts table collected into the exchange file
// "corvaorder.por" beside the viewer, then handed to the order program.
// Records are fields ended by STX, each record by ETX, no line breaks; the
// order program reads the file once it starts.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine.h"
#include "ui.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

constexpr char kStx = '\x02', kEtx = '\x03';
constexpr std::size_t kModelRoom = 1024;  // 1,023 bytes and the terminator

// The open exchange file while an order is being collected.
HANDLE g_order = INVALID_HANDLE_VALUE;
// The model number of the run's last record: a document without one orders
// under the model read before.
char g_model[kModelRoom] = "";

void Release(QsHandle handle) {
  if (handle) eng::QsReleaseHandle(handle);
}

bool NameIs(QsHandle node, const char* name) {
  const char* own = eng::QsGetElementName(node);
  return own && std::strcmp(own, name) == 0;
}

bool IsElement(QsHandle node) {
  const char* own = eng::QsGetElementName(node);
  return own && *own;
}

// Moves to the next sibling element, passing over data between elements;
// false (the node unmoved) when there is none.
bool NextSiblingElement(QsHandle& node) {
  QsHandle probe = eng::QsDupNode(node);
  if (!probe) return false;
  while (eng::QsGotoNextSibling(probe) > 0) {
    if (IsElement(probe)) {
      Release(node);
      node = probe;
      return true;
    }
  }
  Release(probe);
  return false;
}

std::string Folder(HINSTANCE instance) {
  char path[MAX_PATH] = "";
  DWORD n = GetModuleFileNameA(instance, path, sizeof path);
  std::string text(path, n < sizeof path ? n : 0);
  std::size_t cut = text.find_last_of("\\/:");
  return cut == std::string::npos ? std::string() : text.substr(0, cut);
}

// The order program reads fields up to STX and records up to ETX: those and
// line ends inside a text become blanks.
void Blank(std::string& text) {
  for (char& c : text)
    if (c == kStx || c == kEtx || c == '\r' || c == '\n') c = ' ';
}

// A node's whole text in the viewer's code page.
std::string NodeText(QsHandle node) {
  std::int32_t length = eng::QsGetTextLength(node, std::int32_t{0});
  if (length <= 0) return std::string();
  std::string utf8(static_cast<std::size_t>(length) + 1, '\0');
  std::int32_t got = eng::QsGetText(node, std::int32_t{0}, utf8.data(), length + 1);
  utf8.resize(got > 0 ? std::strlen(utf8.c_str()) : 0);
  std::string text = FromEngine(utf8.c_str()).get();
  Blank(text);
  return text;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

std::string OrderFilePath(HINSTANCE instance) { return Folder(instance) + "\\corvaorder.por"; }

QsHandle FindElementByName(QsHandle node, const char* name) {
  QsHandle document = eng::QsGetNodeDocument(node);
  QsHandle at = document ? eng::QsGetDocumentRoot(document) : 0;
  Release(document);
  if (!at) return 0;
  // Document order without recursion: down, else across, else up until a
  // parent has a next sibling.
  for (;;) {
    if (NameIs(at, name)) return at;
    if (eng::QsGotoFirstChild(at) > 0) continue;
    while (eng::QsGotoNextSibling(at) <= 0) {
      if (eng::QsGotoParent(at) <= 0) {
        Release(at);
        return 0;
      }
    }
  }
}

QsHandle FindAncestorRow(QsHandle node) {
  QsHandle at = node ? eng::QsDupNode(node) : 0;
  while (at) {
    if (NameIs(at, "ROW")) return at;
    if (eng::QsGotoParent(at) <= 0) break;
  }
  Release(at);
  return 0;
}

QsHandle FindRowEntry(QsHandle node) {
  QsHandle at = FindAncestorRow(node);
  if (!at) return 0;
  // The row's first child element; in XML rows white space may come first.
  bool found = eng::QsGotoFirstChild(at) > 0;
  while (found && !IsElement(at)) found = eng::QsGotoNextSibling(at) > 0;
  if (found && NameIs(at, "ENTRY")) return at;
  Release(at);
  return 0;
}

QsHandle IsInPartsTable(QsHandle node) {
  QsHandle at = node ? eng::QsDupNode(node) : 0;
  while (at) {
    if (NameIs(at, "TABLE")) {
      const char* type = eng::QsGetAttribute(at, "TYPE");
      if (type && std::strcmp(type, "PARTS") == 0) return at;
    }
    if (eng::QsGotoParent(at) <= 0) break;
  }
  Release(at);
  return 0;
}

int ReadModelNumber(QsHandle node) {
  QsHandle model = FindElementByName(node, "MMDLNO");
  if (!model) return 0;
  std::string text = NodeText(model);
  Release(model);
  // Kept to the room, never splitting a character of the code page.
  std::size_t end = 0;
  for (const char* p = text.c_str(); *p;) {
    const char* next = CharNextA(p);
    std::size_t after = static_cast<std::size_t>(next - text.c_str());
    if (after >= kModelRoom || next == p) break;
    end = after;
    p = next;
  }
  std::memcpy(g_model, text.data(), end);
  g_model[end] = '\0';
  return 1;
}

HANDLE OpenOrderFile(HINSTANCE instance) {
  std::string path = OrderFilePath(instance);
  DeleteFileA(path.c_str());
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // The selection is lost unless the reader learns why.
    std::string text = "Can't create file \"" + path + "\"";
    ShowMessageBox(MainWindow(), text.c_str(), kTitle, MB_OK | MB_ICONSTOP);
  }
  return file;
}

void AppendOrderLine(HINSTANCE instance, HWND, QsHandle node) {
  QsHandle cell = FindRowEntry(node);
  if (!cell) return;
  if (g_order == INVALID_HANDLE_VALUE) g_order = OpenOrderFile(instance);
  if (g_order == INVALID_HANDLE_VALUE) {
    Release(cell);
    return;
  }
  ReadModelNumber(cell);
  std::string model = g_model;
  Blank(model);
  std::string record = model + kStx;
  for (int i = 0; i < 3; ++i) {
    record += NodeText(cell) + kStx;
    if (i < 2) NextSiblingElement(cell);  // a short row repeats its last cell
  }
  record += std::string("1") + kStx + kStx + kEtx;
  Release(cell);
  if (!WriteAll(g_order, record)) {
    std::string text = "Can't write file \"" + OrderFilePath(instance) + "\"";
    ShowMessageBox(MainWindow(), text.c_str(), kTitle, MB_OK | MB_ICONSTOP);
  }
}

void SendOrder(HINSTANCE instance) {
  std::string program = Folder(instance) + "\\corvaoe.exe";
  std::string path = OrderFilePath(instance);
  if (g_order != INVALID_HANDLE_VALUE) {
    CloseHandle(g_order);
    g_order = INVALID_HANDLE_VALUE;
  } else {
    DeleteFileA(path.c_str());  // the order program starts on an empty order
  }
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESHOWWINDOW;
  start.wShowWindow = SW_HIDE;  // the order program shows itself
  PROCESS_INFORMATION process = {};
  std::string commandLine = path;
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      NORMAL_PRIORITY_CLASS, nullptr, nullptr, &start, &process)) {
    ShowMessageBox(MainWindow(), program.c_str(), "Can't Execute", MB_OK | MB_ICONSTOP);
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace qs::viewer
