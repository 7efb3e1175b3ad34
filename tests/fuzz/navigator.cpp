// A navigator built from a small definition and a document, both taken
// from the input, then every node message sent to every visible node: the
// view's list keeps the closing break last and each expanded node's
// children right after it, queries answer within the tree, and nothing
// reads or writes outside its buffers.
//   input: "SCALE MIN MAX\n", entry lines "BODY [TITLE|-] [B]\n", "--\n",
//   then the document (external entities and DTDs are not opened)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "foundation/names.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/parser.h"
#include "sgml/unicode_tables.h"
#include "style/navigator.h"
#include "style/navigator_view.h"
#include "test_device.h"
#include "view/current_view.h"
#include "view/ranges.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class FuzzParser : public qs::Parser {
 public:
  FuzzParser() : Parser(nullptr, nullptr, nullptr, nullptr) {}
  bool EnterEntity(qs::EntityDecl* entity) override {
    if (entity && entity->IsExternal()) return false;
    return Parser::EnterEntity(entity);
  }
  qs::ElementTypeDecl* FindOrDeclareElement(const char* name) override {
    qs::ElementTypeDecl* type = GetDtd()->FindOrDeclareElementType(name);
    if (type) type->flags |= 0x08;
    return type;
  }
};

std::vector<qs::NavigatorNode*> Visible(qs::NavigatorView* view) {
  std::vector<qs::NavigatorNode*> nodes;
  for (auto* item = static_cast<qs::LayoutItem*>(view->items.First()); item; item = item->NextItem())
    if (item->HandleMessage(0, 0, qs::kNavIdentify, 0))
      nodes.push_back(static_cast<qs::NavigatorNode*>(item));
  return nodes;
}

// A stopped parse leaves open elements without their ends: their ranges
// say nothing then.
void CheckList(qs::NavigatorView* view, bool whole) {
  auto* last = static_cast<qs::LayoutItem*>(view->items.Last());
  Check(last && last->HandleMessage(0, 0, qs::kNavIdentify, 0) == 0);
  for (qs::NavigatorNode* n : Visible(view)) {
    if (!n->IsExpanded()) continue;
    Check(n->NextItem() == n->FirstChild());
    for (qs::NavigatorNode* c = n->FirstChild(); c; c = c->NextSibling()) {
      Check(c->ParentNode() == n && c->level == n->level + 1);
      if (whole)
        Check(n->Element()->start <= c->Element()->start &&
              c->Element()->end <= n->Element()->end);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool started = [] {
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    static qs::HostedEngine engine(0, "/nonexistent-fuzz-home/", "Fuzz", nullptr);
    qs::SetEngine(&engine);
    for (int i = 3; i <= 9; ++i) engine.iconHalfWidth[i] = 9, engine.iconHalfHeight[i] = 7;
    const char* source = std::getenv("QS_SOURCE_DIR");
    qs::LoadUnicodeTables((std::string(source ? source : ".") + "/samples/home/qsunicde.dat").c_str());
    return true;
  }();
  (void)started;
  std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t split = input.find("\n--\n");
  if (split == std::string::npos) return 0;
  std::istringstream head(input.substr(0, split));
  std::string text = input.substr(split + 4);

  auto* definition = new qs::NavigatorDef(static_cast<qs::Document*>(nullptr));
  definition->AddUse();
  std::string line;
  if (std::getline(head, line)) {
    long scale = 0, min = 0, max = 0;
    std::istringstream(line) >> scale >> min >> max;
    definition->SetScale(static_cast<std::int32_t>(scale), static_cast<std::int32_t>(min),
                         static_cast<std::int32_t>(max));
  }
  for (int entries = 0; entries < 16 && std::getline(head, line); ++entries) {
    std::istringstream words(line);
    std::string body, title, locate;
    words >> body >> title >> locate;
    if (body.empty() || body.size() > 64 || title.size() > 128) continue;
    definition->AddEntry(body.c_str(), nullptr, title.empty() || title == "-" ? nullptr : title.c_str(),
                         locate == "B" ? 1 : 0);
  }

  FuzzParser parser;
  parser.ParseDocumentInput(new qs::MemoryInStream(text.data(), text.size(), "fuzz"), false, 0);
  qs::Document* document = parser.GetDocument();
  if (document && document->Root()) {
    qs::test::TestDevice device(72, 200, 300);
    auto* view = new qs::test::TestView(&device);
    auto* navigator = new qs::NavigatorView(document, nullptr, definition, nullptr);
    view->SetFrameNode(navigator);
    view->viewFlags = data[0] & 1 ? qs::DocumentView::kShowHitCounts : 0;
    qs::PushCurrentView(view, false);
    const bool whole = !parser.Stopped();
    navigator->Rebuild();
    CheckList(navigator, whole);
    const std::uint32_t end = document->Root()->end;
    qs::PairList hits;
    for (std::uint32_t p = 0; p < end && hits.Count() < 40; p += 1 + (p * 7 + size) % 9)
      hits.Append(p, p + 1);
    for (int round = 0; round < 2; ++round) {
      std::size_t k = 0;
      for (qs::NavigatorNode* n : Visible(navigator)) {
        const std::uint32_t at = end ? static_cast<std::uint32_t>((k * 131 + size) % end) : 0;
        auto element = reinterpret_cast<std::intptr_t>(n->Element());
        n->HandleMessage(0, 10, qs::kNavCurrentRepaint, at);
        n->HandleMessage(0, 10, qs::kNavCurrent, at + 1);
        n->HandleMessage(0, 0, qs::kNavCurrentElement, 0);
        n->HandleMessage(0, 0, (k & 1) ? qs::kNavMark : qs::kNavUnmark, 0);
        n->HandleMessage(0, 0, qs::kNavCountHits, (k & 2) ? reinterpret_cast<std::intptr_t>(&hits) : 0);
        Check(n->hitCount >= 0 && n->hitCount <= 1002);
        for (int m = qs::kNavQuerySelf; m <= qs::kNavQueryNext; ++m) {
          qs::NodeQuery query;
          query.element = (k % 3) ? n->Element() : n->TitleElement();
          std::intptr_t answer = n->HandleMessage(0, 0, m, reinterpret_cast<std::intptr_t>(&query));
          Check(answer >= -1 && answer <= 1);
          if (answer == 1) Check(query.element != nullptr);
        }
        qs::ListHead boxes;
        n->MakeBoxes(boxes);
        for (auto* b = static_cast<qs::DisplayBox*>(boxes.First()); b; b = b->GetNext()) {
          b->Draw(3, 5);
          Check(b->GetPointerKindAt(static_cast<int>(k % 40), 3) <= 10);
          int x, y;
          b->ChildAt(static_cast<int>(k % 50), 2, &x, &y);
          qs::HitContext context;
          b->PressRange(static_cast<int>(k % 30), 4, context);
        }
        boxes.DeleteAll();
        if (round == 0 && (k % 3) == 0)
          n->HandleMessage(0, 0, (k & 4) ? qs::kNavClose : qs::kNavOpen, element);
        ++k;
      }
      for (auto* item = static_cast<qs::LayoutItem*>(navigator->items.First()); item;
           item = item->NextItem())
        item->HandleMessage(0, 0, qs::kNavReveal, static_cast<std::intptr_t>((size * 3) % (end + 1)));
      CheckList(navigator, whole);
      qs::ListHead collected;
      for (auto* item = static_cast<qs::LayoutItem*>(navigator->items.First()); item;
           item = item->NextItem())
        item->HandleMessage(0, 0, qs::kNavCollect, reinterpret_cast<std::intptr_t>(&collected));
      qs::PruneNodeList(collected);
      collected.DeleteAll();
      navigator->GetCurrentElement();
      // The same view again: the expanded nodes come back.
      std::size_t before = Visible(navigator).size();
      navigator->Rebuild();
      CheckList(navigator, whole);
      Check(Visible(navigator).size() == before);
    }
    qs::PopCurrentView();
    view->SetFrameNode(nullptr);
    view->Release();
    navigator->Release();
  }
  definition->DropUse();
  return 0;
}
