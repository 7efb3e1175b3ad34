#include "ui.h"

namespace qs::viewer {
namespace {

int RealMessageBox(HWND owner, const char* text, const char* caption, UINT flags) {
  return MessageBoxA(owner, text, caption, flags);
}
MessageBoxSink g_sink = RealMessageBox;

}  // namespace

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink) {
  MessageBoxSink old = g_sink;
  g_sink = sink ? sink : RealMessageBox;
  return old;
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT flags) {
  return g_sink(owner, text, caption, flags);
}

}  // namespace qs::viewer
