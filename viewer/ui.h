// The viewer's one road to a message box: tests in the viewer's own process
// put a recorder in its place; from outside, a harness answers the box.
#pragma once
#include <windows.h>

namespace qs::viewer {

using MessageBoxSink = int (*)(HWND owner, const char* text, const char* caption, UINT flags);
// Installs a sink (null: the real MessageBoxA again); answers the old one.
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT flags);

}  // namespace qs::viewer
