// The library as a host sees it before any engine exists: every export of
// the table is there under its built name, and each one answers as it
// must while there is no engine.
#include <cstring>
#include <set>
#include <type_traits>

#include "engine_dll.h"

namespace qs::test {
namespace {

TEST_F(EngineDll, EveryExportOfTheTableIsBoundByItsName) {
  EXPECT_EQ(exports_.size(), 298u);
  std::set<std::string> names;
  int numbered = 0;
  for (const BoundExport& e : exports_) {
    EXPECT_NE(e.address, nullptr) << e.function << " as " << e.exportName;
    EXPECT_TRUE(names.insert(e.exportName).second) << "twice: " << e.exportName;
    if (e.exportName.compare(0, 2, "_P") == 0) ++numbered;
  }
  EXPECT_EQ(numbered, 296);
  // Bound names from the host's own table, spot-checked.
  EXPECT_NE(GetProcAddress(module_, "_P11160@28"), nullptr);  // QsInitialize
  EXPECT_NE(GetProcAddress(module_, "_P8f3a@4"), nullptr);    // QsReleaseHandle
  EXPECT_NE(GetProcAddress(module_, "_P2407ec0@4"), nullptr); // QsRefreshEntityObjects
  // Exported only under the built names.
  EXPECT_EQ(GetProcAddress(module_, "QsGetCmptlNo"), nullptr);
  EXPECT_EQ(GetProcAddress(module_, "QsInitialize"), nullptr);
}

TEST_F(EngineDll, CompatibilityTextAndVersions) {
  EXPECT_STREQ(QS_BIND(QsGetCmptlNo)(), "980701");
  EXPECT_NE(std::strstr(QS_BIND(QsGetTextVersion)(), "QSENGINE"), nullptr);
  EXPECT_EQ(QS_BIND(QsGetVersion)(), 131082);
  // A full-width word comes back whole.
  QsWord word = static_cast<QsWord>(0x123456789abcdef0ull);
  EXPECT_EQ(QS_BIND(QsIdentity)(word), word);
}

// Calls `f` with every argument zero (null pointers, handle 0, window 0)
// and checks the result against the export's failure result.
template <class R, class... A>
void CallWithNothing(R (*f)(A...), const BoundExport& e) {
  if constexpr (std::is_void_v<R>) {
    f(A{}...);
  } else {
    R result = f(A{}...);
    if constexpr (std::is_pointer_v<R>) {
      EXPECT_EQ(result, nullptr) << e.function;
    } else {
      switch (e.failure) {
        case Failure::Zero: EXPECT_EQ(result, R(0)) << e.function; break;
        case Failure::MinusOne: EXPECT_EQ(result, R(-1)) << e.function; break;
        case Failure::NoHandle: EXPECT_EQ(result, R(65535)) << e.function; break;
        case Failure::Unrelated: EXPECT_EQ(result, R(7)) << e.function; break;
        default: break;
      }
    }
  }
}

TEST_F(EngineDll, WithoutAnEngineEveryExportGivesItsFailureResult) {
  int called = 0;
  for (const BoundExport& e : exports_) {
    ASSERT_NE(e.address, nullptr) << e.function;
    if (e.failure == Failure::Never) continue;
    if (std::strcmp(e.function, "QsInitialize") == 0) continue;  // it makes the engine
#define QS_EXPORT(n, b, fn, g, f)                                                   \
  if (std::strcmp(e.function, #fn) == 0) {                                          \
    CallWithNothing(reinterpret_cast<decltype(&::fn)>(reinterpret_cast<void*>(e.address)), e); \
    ++called;                                                                       \
  }
#include "api/export_table.h"
  }
  EXPECT_EQ(called, 296 - 3 - 1);  // all but the three that never fail and QsInitialize
}

TEST_F(EngineDll, DefaultWindowProcedureMakesAnOrdinaryWindow) {
  // A window class whose procedure is the engine's: without an engine (and
  // for every message the engine does not take) the system's default answers.
  static decltype(&::QsDefWindowProc) defProc;
  defProc = QS_BIND(QsDefWindowProc);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    return defProc(reinterpret_cast<QsWindow>(w), m, static_cast<QsWord>(wp),
                   static_cast<QsWord>(lp));
  };
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QsApiTestWndCls";
  ASSERT_NE(RegisterClassA(&wc), 0);
  // A message-only window needs no display.
  HWND window = CreateWindowA("QsApiTestWndCls", "engine window", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr) << "error " << GetLastError();
  char caption[32] = {};
  EXPECT_EQ(GetWindowTextA(window, caption, sizeof caption), 13);
  EXPECT_STREQ(caption, "engine window");
  EXPECT_TRUE(DestroyWindow(window));
  UnregisterClassA("QsApiTestWndCls", wc.hInstance);
}

}  // namespace
}  // namespace qs::test
