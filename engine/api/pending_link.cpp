// The link the reader makes in two steps: the source remembered first (a
// selected text range or a region of a picture), then linked to a target
// chosen the same way, both made anchors of an editable web.
#include "addressing/web.h"
#include "api/anchor_dialogs.h"
#include "foundation/engine.h"
#include "sgml/document.h"
#include "sgml/entities.h"

namespace qs {

namespace {

// A hotspot's head: the engine's default hotspot text.
void SetHotspotHead(Anchor* anchor) {
  char buffer[512];
  EngineBase* engine = GetEngine();
  const char* text = engine ? engine->GetString(16, buffer) : nullptr;
  anchor->SetHead(text ? text : "HOTSPOT");
}

Anchor* RangeAnchor(Web* web, Document* document, std::uint32_t from, std::uint32_t to) {
  if (!document || to < from) return nullptr;
  Anchor* anchor = web->AddDocumentAnchor(document, from, to - from);
  if (anchor) anchor->SetHead(AnchorTitle(document, from, to - from).c_str());
  return anchor;
}

Anchor* RegionAnchor(Web* web, EntityDecl* graphic, const int* region) {
  if (!graphic) return nullptr;
  Anchor* anchor = web->AddHotspotAnchor(graphic, region[0], region[1], region[2], region[3], 0);
  if (anchor) SetHotspotHead(anchor);
  return anchor;
}

}  // namespace

void HostedEngine::DropPendingLink() {
  if (pendingDocument_) pendingDocument_->Release();
  if (pendingGraphic_) pendingGraphic_->Release();
  pendingDocument_ = nullptr;
  pendingGraphic_ = nullptr;
}

void HostedEngine::SetPendingLocation(Document* document, std::uint32_t from, std::uint32_t to) {
  if (document) document->AddRef();
  DropPendingLink();
  pendingDocument_ = document;
  pendingFrom_ = from;
  pendingTo_ = to;
}

void HostedEngine::SetPendingObject(EntityDecl* graphic, int x, int y, int width, int height) {
  if (graphic) graphic->AddRef();
  DropPendingLink();
  pendingGraphic_ = graphic;
  pendingRegion_[0] = x, pendingRegion_[1] = y, pendingRegion_[2] = width, pendingRegion_[3] = height;
}

Anchor* HostedEngine::TakePendingAnchor(Web* web) {
  Anchor* source = nullptr;
  if (web && web->IsEditable()) {
    if (pendingDocument_) source = RangeAnchor(web, pendingDocument_, pendingFrom_, pendingTo_);
    else if (pendingGraphic_) source = RegionAnchor(web, pendingGraphic_, pendingRegion_);
  }
  DropPendingLink();
  return source;
}

bool HostedEngine::LinkPendingToRange(Web* web, Document* document, std::uint32_t from,
                                      std::uint32_t to) {
  Anchor* source = TakePendingAnchor(web);
  Anchor* target = source ? RangeAnchor(web, document, from, to) : nullptr;
  return target && web->AddLink(source, target, true);
}

bool HostedEngine::LinkPendingToRegion(Web* web, EntityDecl* graphic, int x, int y, int width,
                                       int height) {
  Anchor* source = TakePendingAnchor(web);
  const int region[4] = {x, y, width, height};
  Anchor* target = source ? RegionAnchor(web, graphic, region) : nullptr;
  return target && web->AddLink(source, target, true);
}

}  // namespace qs
