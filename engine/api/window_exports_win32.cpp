#include <windows.h>
#include <commdlg.h>

#include "api/exports.h"
#include "api/file_dialog.h"
#include "foundation/codepage.h"
#include "foundation/engine.h"
#include "foundation/memory.h"

// The windows exports that need the system: the window procedure the host's
// engine windows use, and the file dialogs.
//
// A host hands every message of its engine windows here; what the engine
// does not take, the system's default procedure answers, so a window whose
// procedure is this one behaves as an ordinary window.
extern "C" QsWord QsDefWindowProc(QsWindow window, std::uint32_t message, QsWord wparam,
                                  QsWord lparam) {
  QsWord result = 0;
  if (QsHandleMessage(window, message, wparam, lparam, &result)) return result;
  return DefWindowProcA(reinterpret_cast<HWND>(window), message, static_cast<WPARAM>(wparam),
                        static_cast<LPARAM>(lparam));
}

namespace {

// The system's open or save dialog under the owner, with the engine's
// buffers: 1 and the chosen path in UTF-8 in `path` (when given), else 0
// with `path` untouched.
std::int32_t RunFileDialog(bool save, QsWindow owner, const char* title, char* path,
                           const char* filter) {
  if (!qs::GetEngine()) return 0;
  char* list = qs::MakeDialogFilter(filter);
  char* ansiTitle = qs::Utf8ToAnsi(title);
  char file[qs::kDialogFileBytes] = {};
  char fileTitle[qs::kDialogTitleBytes] = {};
  // The current folder, when it fits; a longer one is not offered cut.
  char folder[qs::kDialogFolderBytes];
  DWORD folderLength = GetCurrentDirectoryA(sizeof folder, folder);
  bool haveFolder = folderLength != 0 && folderLength < sizeof folder;

  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = reinterpret_cast<HWND>(owner);
  dialog.lpstrFilter = list;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrFileTitle = fileTitle;
  dialog.nMaxFileTitle = sizeof fileTitle;
  dialog.lpstrInitialDir = haveFolder ? folder : nullptr;
  dialog.lpstrTitle = ansiTitle;
  dialog.Flags = qs::FileDialogOptions(save);
  BOOL chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  if (chosen && path) qs::AnsiToUtf8Buffer(path, qs::kDialogPathUtf8Bytes, file);
  qs::MemFree(list);
  if (ansiTitle != title) qs::MemFree(ansiTitle);
  return chosen ? 1 : 0;
}

}  // namespace

extern "C" std::int32_t QsOpenFileDialog(QsWindow owner, const char* title, char* path,
                                         const char* filter) {
  return RunFileDialog(false, owner, title, path, filter);
}

extern "C" std::int32_t QsSaveFileDialog(QsWindow owner, const char* title, char* path,
                                         const char* filter) {
  return RunFileDialog(true, owner, title, path, filter);
}
