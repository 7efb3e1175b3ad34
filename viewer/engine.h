// The engine as the viewer reaches it: QSENGINE.DLL is loaded by name when
// the engine is started, checked for the interface it was built against, and
// every export is bound by the name built from export_table.h. Each export
// has a wrapper of the same name here, typed as exports.h declares it, that
// does nothing and answers 0 while no engine is bound, so the viewer runs on
// with empty views when the library is missing or refused.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <type_traits>
#include <utility>

#include "api/exports.h"

namespace qs::viewer {

// The compatibility text this viewer was built with.
extern const char kViewerCompatibilityText[];

namespace engine {

enum Slot : int {
#define QS_EXPORT(number, bytes, function, group, failure) kSlot_##function,
#include "api/export_table.h"
  kSlotCount
};

struct Binding {
  std::uint32_t number;
  std::uint32_t bytes;
};
// Slot order, from export_table.h.
extern const Binding kBindings[kSlotCount];

bool Bound();
void* SlotAddress(int slot);

// 1 loaded and compatible; shows the load error boxes.
int LoadEngine();
// 1 when every slot is bound; a missing export unloads silently.
int BindEngine();
void ReplayCallbacks();
// Registrations waiting for an engine (for tests of the queue).
int PendingCallbackCount();

QsWord Initialize(QsWord instance, const char* title, const char* catalog, const char* entityrc,
                  const char* setup, const char* tempDir, const char* home);
QsWord DefWindowProcFallback(QsWindow window, std::uint32_t message, QsWord wparam, QsWord lparam);
void Terminate();
void SetCallback(QsWindow window, std::int32_t event, QsEventProc procedure, QsWord data);

template <int S, typename Fn>
struct Caller;
template <int S, typename R, typename... A>
struct Caller<S, R (*)(A...)> {
  static R Call(A... a) {
    if constexpr (S == kSlot_QsInitialize) {
      return Initialize(a...);
    } else if constexpr (S == kSlot_QsDefWindowProc) {
      return DefWindowProcFallback(a...);
    } else if constexpr (S == kSlot_QsTerminate) {
      return Terminate();
    } else if constexpr (S == kSlot_QsSetCallback) {
      return SetCallback(a...);
    } else {
      if (!Bound()) {
        if constexpr (std::is_void_v<R>) {
          return;
        } else {
          return R{};
        }
      }
      return reinterpret_cast<R (*)(A...)>(SlotAddress(S))(a...);
    }
  }
};

// The wrappers: QsXxx(...) with the arguments and result of ::QsXxx.
#define QS_EXPORT(number, bytes, function, group, failure)                        \
  template <typename... T>                                                        \
  inline auto function(T&&... a) {                                                \
    return Caller<kSlot_##function, decltype(&::function)>::Call(std::forward<T>(a)...); \
  }
#include "api/export_table.h"

}  // namespace engine

// A window as the engine's interface carries it.
inline QsWindow W(HWND window) { return reinterpret_cast<QsWindow>(window); }

// The viewer's procedure for engine event 48: frees block a.
std::intptr_t FreeHostMemory(QsWindow window, std::int32_t event, QsWord a, QsWord b, QsWord data);

// Texts between the viewer (ANSI code page) and the engine (UTF-8). Each
// answers its argument itself when it is plain ASCII, else a new malloc'ed
// copy; null gives null. Free a result that differs from the argument.
char* ToEngineString(const char* text);
char* FromEngineString(const char* text);
// The two halves of the conversions. UTF-16 to UTF-8 (3 bytes a unit and a
// terminator are enough): a surrogate without its partner becomes U+FFFD.
// UTF-8 to UTF-16 (strlen + 1 units are enough): a sequence with a missing
// or bad continuation byte, a surrogate or a code point above U+10FFFF
// becomes U+FFFD; the terminator is never passed. Both answer the units or
// bytes written before the terminator.
std::size_t Utf16ToUtf8(const wchar_t* units, std::size_t count, char* out);
std::size_t Utf8ToUtf16(const char* text, wchar_t* out);

// Holds a converted text and frees it when it is a copy.
class EngineText {
 public:
  enum Direction { kToEngine, kFromEngine };
  EngineText(const char* text, Direction direction)
      : source_(text),
        text_(direction == kToEngine ? ToEngineString(text) : FromEngineString(text)) {}
  ~EngineText() {
    if (text_ != source_) std::free(text_);
  }
  EngineText(const EngineText&) = delete;
  EngineText& operator=(const EngineText&) = delete;
  const char* get() const { return text_; }
  operator const char*() const { return text_; }

 private:
  const char* source_;
  char* text_;
};
inline EngineText ToEngine(const char* text) { return EngineText(text, EngineText::kToEngine); }
inline EngineText FromEngine(const char* text) { return EngineText(text, EngineText::kFromEngine); }

}  // namespace qs::viewer
