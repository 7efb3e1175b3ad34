// Any bytes as a document's character data: the text item's boxes cover
// its bytes in order without gaps, runs keep their limits, and breaking at
// a width from the input, drawing, highlighting, hit-testing and copying
// stay inside their buffers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "doc_builder.h"
#include "foundation/engine.h"
#include "foundation/names.h"
#include "layout/paragraph_box.h"
#include "layout/text_item.h"
#include "sgml/unicode_tables.h"
#include "style/style_rules.h"
#include "style/text_format.h"
#include "test_device.h"

namespace {
void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class View : public qs::test::TestView {
 public:
  View(qs::OutputDevice* device, qs::Document* document) : TestView(device), document_(document) {}
  qs::Document* GetDocument() override { return document_; }

 private:
  qs::Document* document_;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool started = [] {
    static qs::HostedEngine engine(0, "C:\\Home\\", "Corvina", nullptr);
    qs::SetEngine(&engine);
    const char* source = std::getenv("QS_SOURCE_DIR");
    qs::LoadUnicodeTables((std::string(source ? source : ".") + "/samples/home/qsunicde.dat").c_str());
    return true;
  }();
  (void)started;
  if (size < 2) return 0;
  const int width = data[0] * 4;
  std::string text;
  // Long enough for several runs of every kind; longer texts add nothing.
  for (std::size_t i = 1; i < size && text.size() < 600; ++i)
    if (data[i] != '<' && data[i] != '&' && data[i] != 0) text += static_cast<char>(data[i]);
  if (text.empty()) return 0;

  qs::test::TestDevice device;
  qs::test::DocBuilder builder;
  builder.Build(("<doc>" + text + "</doc>").c_str());
  auto* view = new View(&device, builder.Doc());
  qs::PushCurrentView(view, false);
  {
    qs::StyleProps style;
    auto* format = new qs::TextFormat(&style, nullptr);
    qs::GlobalArena pool;
    qs::ListHead items;
    const auto length = static_cast<std::int32_t>(text.size());
    const std::int32_t from = data[1] % length;
    auto* whole = new (pool) qs::TextItem(0, length, format, data[0] & 1);
    items.Append(whole);

    qs::ListHead boxes;
    whole->MakeBoxes(boxes);
    std::int32_t at = 0;
    for (auto* b = static_cast<qs::DisplayBox*>(boxes.First()); b; b = b->GetNext()) {
      Check(b->GetStart() == at);
      Check(b->GetLength() > 0 && b->GetLength() <= 255);
      Check(b->GetWidth() >= 0 && b->GetWidth() <= 70 * 6 + 64);
      at += b->GetLength();
      b->Draw(0, 20);
      const std::int32_t hit = b->PositionAt(data[1] % 64, 0);
      Check(hit >= b->GetStart() && hit <= b->GetEnd());
      qs::RangeEntry second{from + 3, from + 9, nullptr}, first{from, from + 1, &second};
      qs::MarkRecord record;
      record.height = 10, record.entry = &first;
      b->HighlightRanges(record);
    }
    Check(at >= length);
    boxes.DeleteAll();

    auto* part = new (pool) qs::TextItem(from, length, format, false);
    items.Append(part);
    std::string copy(static_cast<std::size_t>(length) + 1, '\x7f');
    const std::int32_t n = part->CopyText(0, length, copy.data(), copy.size() - 1);
    Check(n == part->GetTextLength(0, length) && n == length - from);
    Check(copy[static_cast<std::size_t>(n)] == 0 || static_cast<std::size_t>(n) == copy.size() - 1);
    std::string small(8, '\x7f');
    Check(part->CopyText(0, length, small.data(), 3) <= 3 && small[3] == '\x7f');

    qs::ParagraphBox paragraph(whole, &items, width, 0);
    paragraph.Draw(0, 400);
    paragraph.BreakLines(width / 2 + 1, nullptr);
    items.DeleteAll();
    format->Release();
  }
  qs::PopCurrentView();
  view->Release();
  return 0;
}
