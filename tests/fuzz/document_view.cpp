// A small document made from the input, formatted with a fixed sheet and
// shown in a document view that the rest of the input drives: sizes, keys,
// the thumb, the wheel, lines, pages, positions and a new frame. The view
// keeps its first line among its lines, its place inside the frame and
// only the paragraphs near the window.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/engine.h"
#include "foundation/names.h"
#include "doc_builder.h"
#include "style/style_rules.h"
#include "style/style_sheet.h"
#include "test_device.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/view_line.h"

namespace {

#define Check(ok)                                                          \
  do {                                                                     \
    if (!(ok)) {                                                           \
      std::fprintf(stderr, "document_view.cpp:%d: %s\n", __LINE__, #ok);  \
      std::abort();                                                        \
    }                                                                      \
  } while (0)

class View : public qs::DocumentView {
 public:
  explicit View(qs::OutputDevice* device) : DocumentView(nullptr, device, 0) {}
};

qs::StyleSheet* Sheet() {
  static qs::StyleSheet* sheet = [] {
    auto* s = new qs::StyleSheet(static_cast<qs::ExternalId*>(nullptr));
    s->AddUse();
    s->AddRule(new qs::StyleRule("T", 0))->spaceAbove = 12;
    s->AddRule(new qs::StyleRule("P", 0))->spaceAbove = 3;
    return s;
  }();
  return sheet;
}

// Markup of at most 200 steps: '<' opens a paragraph, '>' closes one,
// '#' a title, anything else is text.
std::string Markup(const std::uint8_t* data, std::size_t size) {
  std::string out = "<R>";
  std::vector<const char*> open;
  for (std::size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '<' && open.size() < 6) {
      out += "<P>";
      open.push_back("P");
    } else if (c == '#' && open.size() < 6) {
      out += "<T>";
      open.push_back("T");
    } else if (c == '>' && !open.empty()) {
      out += std::string("</") + open.back() + ">";
      open.pop_back();
    } else if (c == ' ' || (c >= 'a' && c <= 'z')) {
      out += c;
    } else {
      out += "word ";
    }
  }
  while (!open.empty()) {
    out += std::string("</") + open.back() + ">";
    open.pop_back();
  }
  return out + "</R>";
}

void CheckView(View* view, qs::OutputDevice& device) {
  if (!view->lines.IsEmpty()) {
    bool found = false;
    for (qs::ListNode* l = view->lines.First(); l; l = l->Next()) found |= l == view->firstShown;
    Check(found);
  }
  Check(view->GetFirstShownPosition() >= 0);
  Check(view->GetFirstShownPosition() <= view->RangeEnd());
  // Only what touches the window: a window's worth of lines and a few
  // whole paragraphs at each side stay within the content's size. A
  // window sized to nothing (minimised) keeps its last layout until it
  // has a size again, so its offset is measured against no height.
  if (device.width >= 1 && device.height >= 1) Check(view->verticalOffset <= device.height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static qs::HostedEngine* engine = [] {
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    auto* e = new qs::HostedEngine(0, "/nonexistent-fuzz-home/", "Fuzz", nullptr);
    qs::SetEngine(e);
    return e;
  }();
  (void)engine;
  const std::size_t split = size < 2 ? size : 1 + data[0] % (size - 1);
  const std::size_t textSize = split > 200 ? 200 : split;
  std::string markup = Markup(data + 1 < data + size ? data + 1 : data, textSize > 0 ? textSize - 1 : 0);

  qs::test::TestDevice device(72, 200, 120);
  auto* builder = new qs::test::DocBuilder;
  builder->Build(markup.c_str());
  View* view = new View(&device);
  auto* frame = new qs::FrameNode(builder->Doc(), Sheet(), 0, nullptr);
  qs::PushCurrentView(view, false);
  frame->Rebuild();
  qs::PopCurrentView();
  view->SetFrame(frame, 0, true);
  CheckView(view, device);

  for (std::size_t i = split; i + 1 < size; i += 2) {
    const int op = data[i] % 12, arg = data[i + 1];
    switch (op) {
      case 0:
        device.width = device.pendingWidth = static_cast<std::int16_t>(arg * 3);
        device.height = device.pendingHeight = static_cast<std::int16_t>(data[i] / 12 * 20);
        view->OnSize();
        break;
      case 1: view->OnKeyDown(33 + arg % 8); break;
      case 2: view->OnScroll(0, 4, arg * 8192 / 255); break;
      case 3: view->OnScroll(1, arg % 5, arg); break;
      case 4: view->OnMouseWheel(static_cast<std::int8_t>(arg) / 16, 0, 0, 0); break;
      case 5: view->LineDown(); break;
      case 6: view->LineUp(); break;
      case 7: view->PageDown(); break;
      case 8: view->PageUp(); break;
      case 9: view->ShowPosition(arg * view->RangeEnd() / 255); break;
      case 10: view->OnPan(static_cast<std::int8_t>(arg), static_cast<std::int8_t>(data[i]) * 2); break;
      default: {
        // Shown again from a position of its own.
        frame->AddRef();
        view->SetFrame(frame, arg * view->RangeEnd() / 255, true);
        break;
      }
    }
    CheckView(view, device);
    view->OnPaint();
  }
  view->Close();
  delete builder;
  return 0;
}
