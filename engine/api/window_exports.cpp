// The platform-free part of the window, dialog and setting exports: the
// default font, the filter list of the file dialogs, the input dialog and
// the printer list.
#include <cstring>
#include <string>

#include "api/dialogs.h"
#include "api/exports.h"
#include "api/file_dialog.h"
#include "api/interface.h"
#include "foundation/codepage.h"
#include "foundation/memory.h"
#include "view/printer_list.h"
#include "view/window_device.h"
#include "view/window_map.h"

namespace qs {

char* MakeDialogFilter(const char* text, std::size_t* length) {
  if (!text) return nullptr;
  // Each part converted alone; together they are never longer than the
  // whole text converted, which is at most as long as the UTF-8.
  std::size_t capacity = std::strlen(text) + 2;
  auto* list = static_cast<char*>(MemAlloc(capacity));
  auto* part = static_cast<char*>(MemAlloc(capacity));
  if (!list || !part) {
    MemFree(list);
    MemFree(part);
    return nullptr;
  }
  std::size_t out = 0;
  const char* p = text;
  for (;;) {
    const char* bar = std::strchr(p, '|');
    std::size_t n = bar ? static_cast<std::size_t>(bar - p) : std::strlen(p);
    std::memcpy(part, p, n);
    part[n] = '\0';
    char* ansi = Utf8ToAnsi(part);
    const char* converted = ansi ? ansi : "";
    // The list keeps room for its two final NULs whatever the conversion
    // gave.
    std::size_t room = capacity - 2 - out;
    std::size_t m = std::strlen(converted);
    if (m > room) m = room;
    std::memcpy(list + out, converted, m);
    out += m;
    if (ansi != part) MemFree(ansi);
    // A trailing "|" ends the list: its NUL is the first of the two.
    if (!bar || !bar[1] || out == capacity - 2) break;
    list[out++] = '\0';
    p = bar + 1;
  }
  list[out] = '\0';
  list[out + 1] = '\0';
  MemFree(part);
  if (length) *length = out + 2;
  return list;
}

std::uint32_t FileDialogOptions(bool save) {
  constexpr std::uint32_t kPathMustExist = 0x800;
  constexpr std::uint32_t kFileMustExist = 0x1000;
  return save ? kPathMustExist : kFileMustExist;
}

}  // namespace qs

using namespace qs;

extern "C" std::int32_t QsBeginWindowDraw(QsWindow window, QsWord background) {
  WindowDevice* device = GetEngine() ? WindowMap::Find(static_cast<WindowHandle>(window)) : nullptr;
  return device ? device->RepaintWithPalette(background != 0) : -1;
}

extern "C" void QsSetDefaultFont(const char* face, std::int32_t points) {
  EngineBase* engine = GetEngine();
  if (!engine) return;
  if (face) {
    // Whole characters, at most so many of them.
    std::size_t end = 0, characters = 0;
    while (face[end] && characters < EngineBase::kDefaultFaceCharacters) {
      std::size_t next = end + 1;
      while ((static_cast<unsigned char>(face[next]) & 0xC0) == 0x80) ++next;
      if (next >= sizeof engine->defaultFontFace) break;
      end = next;
      ++characters;
    }
    std::memcpy(engine->defaultFontFace, face, end);
    engine->defaultFontFace[end] = '\0';
  }
  // A size that is no size, or one whose hundredths would not fit, is not
  // taken.
  if (points > 0 && points <= 0x7FFFFFFF / 100) engine->defaultFontSize = points * 100;
}

extern "C" std::int32_t QsInputDialog(QsWindow owner, const char* title, const char* prompt,
                                      char* text) {
  EngineBase* engine = GetEngine();
  if (!engine || !text) return 0;
  return engine->DoModalDialog(owner, engine->NewInputDialog(title, prompt, text));
}

extern "C" void QsPrinterSetupDialog(QsWindow owner) { RunPrinterSetupDialog(owner); }

extern "C" std::int32_t QsSelectPrinter(const char* device) {
  EngineBase* engine = GetEngine();
  if (!engine || !engine->printers) return 0;
  char* ansi = Utf8ToAnsi(device);
  engine->printers->FindDefault(ansi);
  if (ansi != device) MemFree(ansi);
  return 1;
}

extern "C" char* QsGetPrinterName(char* buffer, std::int32_t size) {
  EngineBase* engine = GetEngine();
  PrinterEntry* entry = engine && engine->printers ? engine->printers->current() : nullptr;
  if (!entry || !buffer || size <= 0) return nullptr;
  std::string name = entry->device + "," + entry->driver + "," + entry->port;
  char* utf8 = AnsiToUtf8(name.c_str());
  // Whole characters only: a cut one would not read back.
  CopyWholeCharacters(buffer, static_cast<std::size_t>(size), utf8 ? utf8 : "",
                      static_cast<std::size_t>(size));
  if (utf8 != name.c_str()) MemFree(utf8);
  return buffer;
}
