// Loading and binding QSENGINE.DLL, the queue of callback registrations made
// before it is bound, and the text conversions between the viewer's code
// page and the engine's UTF-8.
#include "engine.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "api/version.h"
#include "ui.h"

namespace qs::viewer {

const char kViewerCompatibilityText[] = "980701";

namespace engine {

const Binding kBindings[kSlotCount] = {
#define QS_EXPORT(number, bytes, function, group, failure) {number, bytes},
#include "api/export_table.h"
};

namespace {

HMODULE g_library = nullptr;
void* g_slots[kSlotCount];

struct PendingCallback {
  QsWindow window;
  std::int32_t event;
  QsEventProc procedure;
  QsWord data;
  PendingCallback* next;
};
PendingCallback* g_pending = nullptr;

using RawSetCallback = void (*)(QsWindow, std::int32_t, QsEventProc, QsWord);
using RawInitialize = QsWord (*)(QsWord, const char*, const char*, const char*, const char*,
                                 const char*, const char*);
using RawTerminate = void (*)();
using RawDefWindowProc = QsWord (*)(QsWindow, std::uint32_t, QsWord, QsWord);

}  // namespace

bool Bound() { return g_library != nullptr; }
void* SlotAddress(int slot) { return g_slots[slot]; }

int LoadEngine() {
  if (std::strcmp(kViewerCompatibilityText, kQsCompatibilityText) != 0) {
    ShowMessageBox(nullptr, "Scrivox.h version mismatch", "Build Error", MB_OK | MB_ICONSTOP);
    return 0;
  }
  g_library = LoadLibraryA("QSENGINE.DLL");
  if (!g_library) {
    ShowMessageBox(nullptr, "Can't load \"QSENGINE.DLL\"", "Scrivox Load Error",
                   MB_OK | MB_ICONSTOP);
    return 0;
  }
  auto compatibility = reinterpret_cast<const char* (*)()>(
      reinterpret_cast<void*>(GetProcAddress(g_library, "_QsGetCmptlNo@0")));
  const char* text = compatibility ? compatibility() : nullptr;
  if (!text || std::strcmp(text, kViewerCompatibilityText) != 0) {
    FreeLibrary(g_library);
    g_library = nullptr;
    ShowMessageBox(nullptr, "Scrivox DLL version mismatch", "Scrivox Load Error",
                   MB_OK | MB_ICONSTOP);
    return 0;
  }
  return 1;
}

int BindEngine() {
  if (!LoadEngine()) return 0;
  for (int i = 0; i < kSlotCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "_P%lx@%d", static_cast<unsigned long>(kBindings[i].number),
                  static_cast<int>(kBindings[i].bytes));
    g_slots[i] = reinterpret_cast<void*>(GetProcAddress(g_library, name));
    if (!g_slots[i]) {
      FreeLibrary(g_library);
      g_library = nullptr;
      return 0;
    }
  }
  return 1;
}

void ReplayCallbacks() {
  auto set = reinterpret_cast<RawSetCallback>(g_slots[kSlot_QsSetCallback]);
  set(0, 48, &FreeHostMemory, 0);
  while (g_pending) {
    PendingCallback* entry = g_pending;
    g_pending = entry->next;
    set(entry->window, entry->event, entry->procedure, entry->data);
    std::free(entry);
  }
}

int PendingCallbackCount() {
  int count = 0;
  for (PendingCallback* entry = g_pending; entry; entry = entry->next) ++count;
  return count;
}

QsWord Initialize(QsWord instance, const char* title, const char* catalog, const char* entityrc,
                  const char* setup, const char* tempDir, const char* home) {
  if (Bound() || !BindEngine()) return 0;
  ReplayCallbacks();
  return reinterpret_cast<RawInitialize>(g_slots[kSlot_QsInitialize])(
      instance, title, catalog, entityrc, setup, tempDir, home);
}

QsWord DefWindowProcFallback(QsWindow window, std::uint32_t message, QsWord wparam,
                             QsWord lparam) {
  if (!Bound()) {
    return DefWindowProcA(reinterpret_cast<HWND>(window), message, static_cast<WPARAM>(wparam),
                          static_cast<LPARAM>(lparam));
  }
  return reinterpret_cast<RawDefWindowProc>(g_slots[kSlot_QsDefWindowProc])(window, message,
                                                                           wparam, lparam);
}

void Terminate() {
  if (!Bound()) return;
  reinterpret_cast<RawTerminate>(g_slots[kSlot_QsTerminate])();
  FreeLibrary(g_library);
  g_library = nullptr;
}

void SetCallback(QsWindow window, std::int32_t event, QsEventProc procedure, QsWord data) {
  if (Bound()) {
    reinterpret_cast<RawSetCallback>(g_slots[kSlot_QsSetCallback])(window, event, procedure, data);
    return;
  }
  for (PendingCallback* entry = g_pending; entry; entry = entry->next) {
    if (entry->window == window && entry->event == event) {
      entry->procedure = procedure;
      entry->data = data;
      return;
    }
  }
  auto* entry = static_cast<PendingCallback*>(std::malloc(sizeof(PendingCallback)));
  if (!entry) return;
  *entry = {window, event, procedure, data, g_pending};
  g_pending = entry;
}

}  // namespace engine

std::intptr_t FreeHostMemory(QsWindow, std::int32_t, QsWord a, QsWord, QsWord) {
  std::free(reinterpret_cast<void*>(a));
  return 0;
}

namespace {

bool PlainAscii(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p & 0x80) return false;
  }
  return true;
}

void AppendUtf8(std::uint32_t code, char*& out) {
  if (code < 0x80) {
    *out++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *out++ = static_cast<char>(0xC0 | (code >> 6));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (code >> 12));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (code >> 18));
    *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::size_t Utf16ToUtf8(const wchar_t* units, std::size_t count, char* out) {
  char* start = out;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t unit = static_cast<std::uint16_t>(units[i]);
    std::uint32_t code = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      std::uint32_t low = i + 1 < count ? static_cast<std::uint16_t>(units[i + 1]) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = ((unit - 0xD800) << 10) + (low - 0xDC00) + 0x10000;
        ++i;
      } else {
        code = 0xFFFD;
      }
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      code = 0xFFFD;  // a low surrogate on its own
    }
    AppendUtf8(code, out);
  }
  *out = 0;
  return static_cast<std::size_t>(out - start);
}

std::size_t Utf8ToUtf16(const char* text, wchar_t* out) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  wchar_t* start = out;
  while (*p) {
    unsigned char lead = *p++;
    std::uint32_t code;
    int more;
    if (lead < 0x80) {
      code = lead;
      more = 0;
    } else if (lead < 0xC0) {
      code = 0xFFFD;  // a continuation byte without its lead
      more = 0;
    } else if (lead < 0xE0) {
      code = lead & 0x1F;
      more = 1;
    } else if (lead < 0xF0) {
      code = lead & 0x0F;
      more = 2;
    } else if (lead < 0xF8) {
      code = lead & 0x07;
      more = 3;
    } else {
      code = 0xFFFD;  // no such sequence in UTF-8
      more = 0;
    }
    bool good = true;
    for (int k = 0; k < more; ++k) {
      // A missing or wrong continuation byte ends the sequence where it is:
      // the terminator is never passed.
      if ((*p & 0xC0) != 0x80) {
        good = false;
        break;
      }
      code = (code << 6) | (*p++ & 0x3F);
    }
    if (!good || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = 0xFFFD;
    if (code >= 0x10000) {
      code -= 0x10000;
      *out++ = static_cast<wchar_t>(0xD800 + (code >> 10));
      *out++ = static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
      *out++ = static_cast<wchar_t>(code);
    }
  }
  *out = 0;
  return static_cast<std::size_t>(out - start);
}

char* ToEngineString(const char* text) {
  if (!text) return nullptr;
  if (PlainAscii(text)) return const_cast<char*>(text);
  std::size_t n = std::strlen(text);
  std::vector<wchar_t> wide(2 * n + 1);
  int units = MultiByteToWideChar(GetACP(), 0, text, static_cast<int>(n), wide.data(),
                                  static_cast<int>(2 * n));
  if (units < 0) units = 0;
  // Three bytes per UTF-16 unit cover every code point (a pair makes four).
  char* out = static_cast<char*>(std::malloc(3 * static_cast<std::size_t>(units) + 1));
  if (!out) return nullptr;
  Utf16ToUtf8(wide.data(), static_cast<std::size_t>(units), out);
  return out;
}

char* FromEngineString(const char* text) {
  if (!text) return nullptr;
  if (PlainAscii(text)) return const_cast<char*>(text);
  std::size_t n = std::strlen(text);
  std::vector<wchar_t> wide(n + 1);
  std::size_t units = Utf8ToUtf16(text, wide.data());
  char* out = static_cast<char*>(std::malloc(2 * n + 1));
  if (!out) return nullptr;
  int written = WideCharToMultiByte(GetACP(), 0, wide.data(), static_cast<int>(units), out,
                                    static_cast<int>(2 * n), nullptr, nullptr);
  out[written > 0 ? written : 0] = 0;
  return out;
}

}  // namespace qs::viewer
