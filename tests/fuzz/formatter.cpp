// The formatter on any document and any style sheet: the input is a sheet
// text, a NUL byte and a document text (SGML or XML), after three bytes of
// frame flags and two line widths. The document is formatted whole; the
// run must leave the process-wide state as it found it; every item makes
// its boxes and the view's breaker lays the paragraphs out at both widths;
// the text copy of every item stays within what the item announced. With
// bit 2 of the first byte the input's sheet is replaced by one that gives
// the element names of the document, in order of appearance, the formula
// roles in turn (none, Fraction, Radical, Radix, Superior, Inferior, Above,
// Below), and the paragraphs are laid out at a third width too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "foundation/handle_table.h"
#include "foundation/names.h"
#include "layout/layout_item.h"
#include "sgml/document.h"
#include "style/formatter.h"
#include "style/frame.h"
#include "style/style_sheet.h"
#include "style/text_format.h"
#include "test_device.h"
#include "view/current_view.h"
#include "view/view_line.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void LayOut(qs::FrameNode* frame, int width) {
  auto* item = static_cast<qs::LayoutItem*>(frame->items.First());
  while (item) {
    qs::ListHead lines;
    qs::LayoutItem* next = qs::BuildParagraphLines(item, width, lines, true);
    lines.DeleteAll();
    Check(next != item);
    item = next;
  }
}

// Each distinct element name in document order gets the next formula role.
std::string FormulaSheet(qs::Document* document) {
  static const char* const kRoles[] = {nullptr,    "Fraction", "Radical", "Radix",
                                       "Superior", "Inferior", "Above",   "Below"};
  std::string sheet = "<STYLESHEET VERSION=\"2.00\">\n";
  std::vector<std::string> seen;
  std::vector<qs::DocumentNode*> stack{document->Root()};
  while (!stack.empty()) {
    qs::DocumentNode* node = stack.back();
    stack.pop_back();
    if (!node) continue;
    for (qs::DocumentNode* child = node->Last(); child; child = child->Prev()) stack.push_back(child);
    const char* name = node->GetNameText();
    if (!name || !*name || (node->flags & 0x08)) continue;
    bool known = false;
    for (const std::string& s : seen) known = known || s == name;
    if (known) continue;
    const char* role = kRoles[seen.size() % 8];
    seen.emplace_back(name);
    sheet += std::string("<STYLE TAG=\"") + name + "\">";
    if (role) sheet += std::string("<MATH V=") + role + ">";
    sheet += "</STYLE>\n";
  }
  return sheet + "</STYLESHEET>\n";
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
  if (size < 3) return 0;
  const std::uint32_t flags = data[0] & 3;
  const int width1 = data[1] * 3, width2 = 1 + data[2] % 40;
  const std::string input(reinterpret_cast<const char*>(data + 3), size - 3);
  const std::size_t split = input.find('\0');
  if (split == std::string::npos) return 0;
  const std::string sheetText = input.substr(0, split);
  const std::string documentText = input.substr(split + 1);
  if (documentText.find('\0') != std::string::npos) return 0;

  static int serial = 0;
  const std::string name = "fuzz" + std::to_string(serial++);
  QsHandle sheetHandle =
      QsOpenStyleSheetText(sheetText.c_str(), (name + ".ssh").c_str(), nullptr, nullptr, 0);
  QsHandle documentHandle =
      QsOpenDocumentText(documentText.c_str(), (name + ".sgm").c_str(), nullptr, 0, nullptr, 0);
  auto* document = documentHandle
                       ? static_cast<qs::Document*>(qs::Handles()->LookupDocument(documentHandle))
                       : nullptr;
  const bool formulas = data[0] & 4;
  if (formulas && document && document->Root()) {
    if (sheetHandle) QsReleaseHandle(sheetHandle);
    sheetHandle = QsOpenStyleSheetText(FormulaSheet(document).c_str(), (name + "m.ssh").c_str(),
                                       nullptr, nullptr, 0);
    Check(sheetHandle != 0);
  }
  auto* sheet = sheetHandle
                    ? static_cast<qs::StyleSheet*>(qs::Handles()->LookupStyleSheet(sheetHandle))
                    : nullptr;
  if (document && document->Root()) {
    auto* frame = new qs::FrameNode(document, sheet, flags, nullptr);
    qs::test::TestDevice device;
    auto* view = new qs::test::ShownFrameView(frame, &device);
    qs::PushCurrentView(view, false);
    frame->Rebuild();
    Check(qs::ScaleDepth() == 0);
    Check(qs::FormatterSkipCount() == 0);
    Check(qs::FormatterGlobalsDepth() == 0);
    Check(qs::CurrentFormatCache() == nullptr);
    LayOut(frame, width1);
    LayOut(frame, width2);
    if (formulas) LayOut(frame, 300);
    const auto end = static_cast<std::int32_t>(document->TextLength());
    std::vector<char> buffer;
    for (auto* n = frame->items.First(); n; n = n->Next()) {
      auto* item = static_cast<qs::LayoutItem*>(n);
      const std::int32_t length = item->GetTextLength(0, end);
      Check(length >= 0);
      buffer.assign(static_cast<std::size_t>(length) + 1, '\0');
      const std::int32_t written = item->CopyText(0, end, buffer.data(), static_cast<std::size_t>(length));
      Check(written >= 0 && written <= length);
    }
    qs::PopCurrentView();
    view->Release();
    frame->Release();
  }
  if (documentHandle) QsReleaseHandle(documentHandle);
  if (sheetHandle) QsReleaseHandle(sheetHandle);
  return 0;
}
