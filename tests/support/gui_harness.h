// Drives a GUI program from another process under the same wineserver (or on
// Windows): start it, find its windows, read and set controls, post commands,
// fill common file dialogs and wait for it to end. Every wait is bounded; a
// wait that runs out returns null/false and the test reports it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qs::test::gui {

// Generous bounds: a wait only runs out when something is wrong.
inline constexpr DWORD kWaitMs = 20000;

class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // CreateProcess with `application` as the application name and
  // `commandLine` as the whole command line, asking for `show`. Starting
  // again ends a previous process that still runs.
  bool Start(const std::string& application, const std::string& commandLine, WORD show,
             const std::string& folder = std::string());
  DWORD id() const { return id_; }
  HANDLE handle() const { return process_; }
  bool Running() const;
  // Waits for the end; false when it did not end in time.
  bool WaitForExit(DWORD* exitCode, DWORD timeoutMs = kWaitMs);
  // Ends a process a failed test left behind.
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// This program's own folder, with a trailing backslash.
std::string ProgramFolder();
// The current folder, with a trailing backslash.
std::string CurrentFolder();

// A top-level window of process `pid` with this class (null: any) and
// caption (null: any), waited for; visible windows only when `visible`.
HWND WaitForWindow(DWORD pid, const char* className, const char* caption, bool visible = true,
                   DWORD timeoutMs = kWaitMs);
// Waits until the window no longer exists.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kWaitMs);
// The first descendant with this control id (and class, when given).
HWND FindControl(HWND parent, int id, const char* className = nullptr);
// A descendant of this class whose text is `text` (null: any).
HWND FindDescendant(HWND parent, const char* className, const char* text);

std::string WindowText(HWND window);
// Every top-level window of process `pid`, hidden ones too, one a line
// (class, caption, visible, enabled, owner): for the message of a failed
// wait. Asks the windows nothing, so a busy program cannot stall it.
std::string DescribeWindows(DWORD pid);
bool SetWindowTextRemote(HWND window, const std::string& text);
void PostCommand(HWND window, int id);
// Presses a button of a dialog (BM_CLICK, posted: the button may open a
// modal loop of its own).
bool PressButton(HWND dialog, int id);

// Polls `condition` until it holds or the bound runs out.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = kWaitMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
}

// ---- List views of another process -------------------------------------------
// Texts and states go through memory allocated in the owning process.
int ListViewCount(HWND listView);
std::string ListViewText(HWND listView, int row, int column);
std::vector<std::vector<std::string>> ListViewRows(HWND listView, int columns);
void ListViewSelect(HWND listView, const std::vector<int>& rows);
// Posts a double click on a row (posted: the program may answer it with a
// modal dialog).
bool PostDoubleClickRow(HWND listView, int row);
// Posts a right click on a row.
bool PostRightClickRow(HWND listView, int row);
// Waits for a popup menu of process `pid` and chooses the item with this
// mnemonic character.
bool ChoosePopupMenuItem(DWORD pid, char mnemonic, DWORD timeoutMs = kWaitMs);
// Waits for a popup menu of process `pid` and chooses its item `index`
// (counted without separators; greyed items count) by arrow keys and Enter,
// for items without a mnemonic. A greyed item is not carried out: the menu
// stays open.
bool ChoosePopupMenuItemAt(DWORD pid, int index, DWORD timeoutMs = kWaitMs);
// Clicks the header of column k (button down and up at its centre).
bool ClickColumnHeader(HWND listView, int column);

// ---- List boxes and pixels of another process ---------------------------------
int ListBoxCount(HWND listBox);
// Item `row`'s text (through SendMessageW, converted to UTF-8).
std::string ListBoxText(HWND listBox, int row);
// The window's pixels as the screen shows them: the number of separate
// bands of rows that hold a dark pixel (text lines, rules), and the height
// of each band, top to bottom. Empty when the window cannot be read.
// (In gui_pixels.cpp, which links gdi32.)
std::vector<int> DarkBands(HWND window);
// The window's pixels as the screen shows them (0xRRGGBB, row by row), with
// its size; empty when it cannot be read.
std::vector<std::uint32_t> ScreenPixels(HWND window, int* width, int* height);
// The client point of the first pixel of this colour, top to bottom.
bool FindColour(HWND window, std::uint8_t red, std::uint8_t green, std::uint8_t blue, POINT* at);

// ---- Common file dialogs -----------------------------------------------------
// Waits for the open or save dialog with this title of process `pid`, puts
// `path` into its file-name control and presses OK. False when the dialog
// did not appear or did not take the name.
HWND WaitForFileDialog(DWORD pid, const char* title, DWORD timeoutMs = kWaitMs);
bool FillFileDialog(HWND dialog, const std::string& path);
// Answers a message box of process `pid` (e.g. "replace the file?") with the
// button id given.
bool AnswerMessageBox(DWORD pid, const char* caption, int button, DWORD timeoutMs = kWaitMs);

// ---- Files and screenshots ---------------------------------------------------
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// A picture of the whole X display for people to look at, taken with
// ImageMagick's import (run as a Unix program through Wine). Best effort.
bool Screenshot(const std::string& unixPath);

}  // namespace qs::test::gui
