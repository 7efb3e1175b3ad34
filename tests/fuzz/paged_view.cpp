// The paged view over any small document, sheet, page size and print
// options: the input is five bytes (options low and high, page width and
// height, navigator count), a sheet text, a NUL byte and a document text.
// The sheet's PRN-TYPE and PRN-FF rules give furniture and breaks; the
// navigator, when asked for, makes an entry of every element the sheet
// names first. The pages are counted, each drawn, and the view steps back
// to the page before the last: every run ends, within a page bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "foundation/handle_table.h"
#include "foundation/names.h"
#include "layout/paged_view.h"
#include "layout/print_frame.h"
#include "layout/print_state.h"
#include "sgml/document.h"
#include "style/formatter.h"
#include "style/navigator.h"
#include "style/style_sheet.h"
#include "style/text_format.h"
#include "test_device.h"
#include "view/current_view.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class Printer : public qs::test::TestDevice {
 public:
  using TestDevice::TestDevice;
  void PushClip(int, int, int, int) override { ++clips; }
  void PopClip() override { --clips; }
  int clips = 0;
};

constexpr int kPageBound = 5000;

int CountPages(qs::PagedView* view, bool render) {
  view->FirstPage();
  if (!view->NextPageLine() && view->Failed()) return 0;
  int pages = 1;
  if (render) view->RenderPage();
  while (view->NextPage()) {
    Check(++pages < kPageBound);
    if (render) view->RenderPage();
  }
  return pages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool started = [] {
    const char* source = std::getenv("QS_SOURCE_DIR");
    static std::string home = std::string(source ? source : ".") + "/samples/home/";
    static std::string catalog = home + "catalog/catalog";
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    return QsInitialize(0, "fuzz", catalog.c_str(), nullptr, nullptr, nullptr, home.c_str()) != 0;
  }();
  Check(started);
  if (size < 5) return 0;
  const std::uint32_t options = data[0] | (data[1] & 0x1F) << 8;
  const int width = 1 + data[2] * 4, height = 1 + data[3] * 4;
  const int navigatorCount = data[4] % 3;
  const std::string input(reinterpret_cast<const char*>(data + 5), size - 5);
  const std::size_t split = input.find('\0');
  if (split == std::string::npos) return 0;
  const std::string sheetText = input.substr(0, split);
  const std::string documentText = input.substr(split + 1);
  if (documentText.find('\0') != std::string::npos) return 0;

  static int serial = 0;
  const std::string name = "page" + std::to_string(serial++);
  QsHandle sheetHandle =
      QsOpenStyleSheetText(sheetText.c_str(), (name + ".ssh").c_str(), nullptr, nullptr, 0);
  QsHandle documentHandle =
      QsOpenDocumentText(documentText.c_str(), (name + ".sgm").c_str(), nullptr, 0, nullptr, 0);
  auto* document = documentHandle
                       ? static_cast<qs::Document*>(qs::Handles()->LookupDocument(documentHandle))
                       : nullptr;
  auto* sheet = sheetHandle
                    ? static_cast<qs::StyleSheet*>(qs::Handles()->LookupStyleSheet(sheetHandle))
                    : nullptr;
  QsHandle navigatorHandle = 0;
  std::vector<qs::NavigatorDef*> navigators;
  if (navigatorCount && sheet && sheet->FirstTag()) {
    const char* tag = sheet->FirstTag()->GetKey();
    std::string text = std::string("<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">"
                                   "<TOC-DEF><TOC BODY=\"") + tag + "\"></TOC-DEF>";
    navigatorHandle = QsOpenNavigatorText(text.c_str(), (name + ".nav").c_str(), nullptr, nullptr, 0);
    if (auto* n = navigatorHandle ? static_cast<qs::NavigatorDef*>(
                                        qs::Handles()->LookupNavigator(navigatorHandle))
                                  : nullptr)
      navigators.assign(static_cast<std::size_t>(navigatorCount), n);
  }
  if (document && document->Root()) {
    qs::GetPrintState().options = options;
    Printer device(72, width, height);
    auto* frame = new qs::PrintFrame(document, sheet, data[1] >> 6, navigators, {});
    {
      qs::DeviceScope scope(&device);
      frame->Rebuild();
    }
    Check(qs::ScaleDepth() == 0);
    Check(qs::FormatterSkipCount() == 0);
    Check(qs::FormatterGlobalsDepth() == 0);
    auto* view = new qs::PagedView(frame, &device);
    // Counted as the print and preview loops count: again while a pass
    // moved the pages the navigators' entries show.
    int counted = 0;
    auto first = [&] {
      view->FirstPage();
      counted = !view->NextPageLine() && view->Failed() ? 0 : 1;
    };
    first();
    const bool settled = view->CountPasses(first, [&] {
      if (!view->NextPage()) return false;
      Check(++counted < kPageBound);
      return true;
    });
    const int printed = CountPages(view, true);
    // A count that settled is the pages printed; numbers that move their
    // own entries may not settle.
    Check(!settled || counted == printed);
    Check(device.clips == 0);
    // One step back: the pages before the last laid out again.
    view->FirstPage();
    for (int page = 1; page < counted - 1 && view->NextPage(); ++page) {
    }
    view->RenderPage();
    Check(qs::GetPrintState().nesting == 0);
    Check(!qs::GetPrintState().formattingForPrint);
    view->Release();
    qs::GetPrintState().options = 0;
  }
  if (navigatorHandle) QsReleaseHandle(navigatorHandle);
  if (documentHandle) QsReleaseHandle(documentHandle);
  if (sheetHandle) QsReleaseHandle(sheetHandle);
  return 0;
}
