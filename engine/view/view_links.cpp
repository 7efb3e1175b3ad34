#include "view/view_links.h"

#include "addressing/ext_pointer.h"
#include "addressing/links.h"
#include "addressing/tree_walker.h"
#include "addressing/web.h"
#include "foundation/engine.h"
#include "foundation/strings.h"
#include "layout/icon_items.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/entities.h"
#include "sgml/link_rules.h"
#include "view/document_view.h"
#include "view/hot_areas.h"
#include "view/picture_services.h"
#include "view/picture_view.h"
#include "view/pictures.h"
#include "view/window_device.h"

namespace qs {

namespace {

constexpr int kErrUnknownLinkForm = 23;

// The place a pointer attribute names from the walker's place: false when
// the pointer does not lead all the way.
bool Evaluate(TreeWalker* walker, const char* pointer, DocumentNode* here, const TreeWalker* ditto) {
  return ResolveExtendedPointer(walker, pointer, here, ditto) == 1;
}

class ViewLinkHooks : public LinkViewHooks {
 public:
  int FollowLink(View* view, Document* document, DocumentNode* element,
                 const LinkRule* rule) override {
    DocumentView* shown = DocumentViewOf(view);
    if (!shown || shown->GetDocument() != document) return 0;
    return shown->FollowLink(element, rule);
  }
  int ShowRange(View* view, Document* document, std::uint32_t start,
                std::uint32_t length) override {
    DocumentView* shown = DocumentViewOf(view);
    if (!shown) return 0;
    shown->GotoRange(shown->GetDocument(), nullptr, document, static_cast<std::int32_t>(start),
                     static_cast<std::int32_t>(length));
    // The view answered for the range, shown or not: the engine is not
    // asked a second time.
    return 1;
  }
  int ShowHotArea(View* view, Document* document, DocumentNode*, EntityDecl* graphic,
                  const HotspotArea& area) override {
    if (!view || !document || !graphic || !graphic->IsExternal()) return 0;
    return ShowPictureAreaOf(document, graphic, area);
  }
};

ViewLinkHooks g_hooks;

// How link markers and link text hand their element over (the layout's
// follow-link hook): 1 the elements that refer to it, 0 its own links,
// 2 its own and its ancestors'.
void FollowFromLayout(DocumentView* view, DocumentNode* element, int how) {
  Document* document = view ? view->GetDocument() : nullptr;
  if (!document || !element) return;
  if (how == 1) FollowLinkSources(LinkViewOf(view), document, element);
  else FollowLink(LinkViewOf(view), document, element, how == 2);
}

}  // namespace

View* LinkViewOf(DocumentView* view) {
  return view ? reinterpret_cast<View*>(static_cast<ViewWindow*>(view)) : nullptr;
}

DocumentView* DocumentViewOf(View* view) {
  return view ? dynamic_cast<DocumentView*>(reinterpret_cast<ViewWindow*>(view)) : nullptr;
}

WindowHandle DocumentViewWindow(DocumentView* view) {
  auto* device = view ? dynamic_cast<WindowDevice*>(view->GetDevice()) : nullptr;
  return device ? device->window() : 0;
}

void InstallViewLinkHooks() {
  SetLinkViewHooks(&g_hooks);
  SetFollowLinkHook(&FollowFromLayout);
}

void RemoveViewLinkHooks() {
  SetLinkViewHooks(nullptr);
  SetFollowLinkHook(nullptr);
}

int DocumentView::GotoRange(Document*, DocumentNode*, Document* document, std::int32_t start,
                            std::int32_t length) {
  EngineBase* engine = GetEngine();
  if (!engine || !document) return 0;
  return engine->GotoPosition(0, LinkViewOf(this), document, start, length, 0);
}

int DocumentView::FollowLink(DocumentNode* context, const LinkRule* rule) {
  if (!context || !rule) return 0;
  const char* form = rule->Text1() ? rule->Text1() : "";
  if (CompareStringNoCase(form, "TEI-P3") != 0) {
    ReportError(kErrUnknownLinkForm, reinterpret_cast<std::intptr_t>(form));
    return 0;
  }
  Document* own = GetDocument();
  if (!own) return 0;
  // DOC names the document the pointers are read in; the engine opens it.
  Document* target = own;
  const char* doc = context->GetAttributeValue("DOC");
  if (doc && *doc) {
    EntityDecl* entity = own->FindEntity(doc);
    DocumentCache* documents = EngineDocuments();
    target = entity && entity->IsExternal() && documents ? documents->Get(entity->GetExternalId())
                                                          : nullptr;
    // A document that cannot be had leaves the link to the engine's
    // following, which reports it as unresolved.
    if (!target) return 0;
  } else {
    own->AddRef();
  }
  int result = 0;
  if (DocumentNode* root = target->Root()) {
    TreeWalker walker(target, target == own ? context : root);
    std::uint32_t start = walker.Current() ? walker.Current()->start : root->start, end = start;
    bool found = true;
    const char* from = context->GetAttributeValue("FROM");
    if (from && *from) {
      found = Evaluate(&walker, from, context, nullptr);
      if (found) walker.GetRange(&start, &end);
      const char* to = context->GetAttributeValue("TO");
      if (found && to && *to) {
        const TreeWalker fromPlace(walker);
        found = Evaluate(&walker, to, context, &fromPlace);
        std::uint32_t toStart = 0, toEnd = 0;
        if (found) walker.GetRange(&toStart, &toEnd);
        end = toEnd > start ? toEnd : start;
      }
    }
    // A pointer that does not lead all the way names no place: showing
    // where it stopped would be a wrong place.
    if (found) {
      GotoRange(own, context, target, static_cast<std::int32_t>(start),
                static_cast<std::int32_t>(end - start));
      result = 1;
    }
  }
  target->Release();
  return result;
}

}  // namespace qs
