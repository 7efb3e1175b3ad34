#include "layout/char_boxes.h"

#include <cstdio>

#include "foundation/engine.h"
#include "layout/icon_items.h"
#include "sgml/document.h"
#include "sgml/node_flags.h"
#include "sgml/unicode_tables.h"
#include "style/text_format.h"
#include "view/current_view.h"
#include "view/document_view.h"

namespace qs {

IconMetrics StockIconMetrics(int index) {
  IconMetrics m;
  EngineBase* engine = GetEngine();
  if (!engine || index < 0 || index >= kIconCount) return m;
  const int height = engine->iconHalfHeight[index];
  const int descent = engine->iconEighthHeight[index];
  const int width = engine->iconHalfWidth[index];
  OutputDevice* device = CurrentDevice();
  const int dpiX = device ? device->dpiX : GetScreenDpiX();
  const int dpiY = device ? device->dpiY : GetScreenDpiY();
  const int screenX = GetScreenDpiX() > 0 ? GetScreenDpiX() : 72;
  const int screenY = GetScreenDpiY() > 0 ? GetScreenDpiY() : 72;
  m.ascent = (height - descent) * dpiY / screenY;
  m.descent = descent * dpiY / screenY;
  m.width = width * dpiX / screenX;
  return m;
}

void InvertLinkElement(HitContext& context, std::int32_t position) {
  if (!context.ContainsSecondPoint()) return;
  DocumentView* view = CurrentDocumentView();
  Document* document = view ? view->GetDocument() : nullptr;
  if (!document || position < 0) return;
  DocumentNode* node = document->ElementAtPosition(static_cast<std::uint32_t>(position));
  while (node && !(node->flags & (kNodeLinkSource | kNodeLinkSourceAlt))) node = node->Parent();
  if (node)
    view->InvertRange(static_cast<std::int32_t>(node->start), static_cast<std::int32_t>(node->end));
}

// ---- CharBox --------------------------------------------------------------------------

std::int32_t CharBox::PositionAt(int x, int) {
  return x < GetWidth() - 1 ? position_ : position_ + GetLength();
}

void CharBox::HighlightRanges(MarkRecord& r) {
  if (!r.entry || r.entry->start > position_ || r.entry->end < position_ + 1) return;
  if (OutputDevice* device = CurrentDevice())
    device->InvertRect(r.x, r.top, r.x + GetWidth(), r.top + r.height);
}

int CharBox::PressRange(int, int, HitContext& context) {
  if (!IsLinkSourceItem(Item())) return 0;
  ViewRange::Init(context, this);
  return 1;
}

// The innermost element holding the whole item is the link followed, with
// its ancestors' links behind it.
void FollowLinkOfText(DocumentView* view, LayoutItem* item) {
  Document* document = view ? view->GetDocument() : nullptr;
  if (!document || !item || !IsLinkSourceItem(item)) return;
  const std::int32_t start = item->Position(), end = start + item->GetLength();
  if (start < 0 || end < start) return;
  DocumentNode* element =
      document->ElementAtRange(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end));
  if (element) FollowLinkFromLayout(view, element, kFollowWithAncestors);
}

void CharBox::Activate(DocumentView* view, HitContext*) { FollowLinkOfText(view, Item()); }

void CharBox::DrawUnderline(int x, int y, int right) {
  if (!IsLinkSourceItem(Item()) || LinkSourceHidden()) return;
  const int half = GetDescent() / 2;
  if (OutputDevice* device = CurrentDevice()) device->DrawLine(x, y + half, right, y + half);
}

// ---- GlyphBox -------------------------------------------------------------------------

GlyphBox::GlyphBox(LayoutItem* item, std::int32_t position, std::uint16_t character,
                   std::uint8_t length)
    : CharBox(item, position, length), character_(character == 1 ? 0x20 : character) {
  if (Font* font = GetFont()) SetWidth(font->MeasureW(&character_, 1));
}

int GlyphBox::CanBreakAfter() {
  if (Kept()) return 0;
  return LineBreakClass(character_) == 4 ? 0 : 1;
}

void GlyphBox::Draw(int x, int y) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  device->UseTextStyle(Item()->Format());
  device->SetColor(TextColor());
  DrawUnderline(x, y, x + GetWidth());
  device->DrawTextW(x, y, &character_, 1);
}

// ---- UnmappedCharBox ------------------------------------------------------------------

int UnmappedCharBox::Label(std::uint32_t codePoint, char* buffer) {
  return std::snprintf(buffer, 16, "U-%X", static_cast<unsigned>(codePoint));
}

UnmappedCharBox::UnmappedCharBox(LayoutItem* item, std::int32_t position, std::uint32_t codePoint,
                                 std::uint8_t length)
    : CharBox(item, position, length), codePoint_(codePoint) {
  OutputDevice* device = CurrentDevice();
  Font* font = device ? device->GetDefaultFont(false, false) : nullptr;
  if (!font) return;
  char label[16];
  const int n = Label(codePoint, label);
  SetWidth(static_cast<std::uint16_t>(font->MeasureA(label, static_cast<std::size_t>(n))) + 6);
  font->DropUse();
}

int UnmappedCharBox::GetAscent() {
  OutputDevice* device = CurrentDevice();
  Font* font = device ? device->GetDefaultFont(false, false) : nullptr;
  if (!font) return 1;
  const int ascent = font->ascent + 1;
  font->DropUse();
  return ascent;
}

int UnmappedCharBox::GetDescent() {
  OutputDevice* device = CurrentDevice();
  Font* font = device ? device->GetDefaultFont(false, false) : nullptr;
  if (!font) return 2;
  const int descent = font->descent + 2;
  font->DropUse();
  return descent;
}

void UnmappedCharBox::Draw(int x, int y) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  const int width = GetWidth();
  const int right = x + width - 2;
  const int top = y - GetAscent();
  const int bottom = y + GetDescent() - 1;
  char label[16];
  const int n = Label(codePoint_, label);
  if (Font* font = device->GetDefaultFont(false, false)) {
    device->UseFont(font);
    font->DropUse();
  }
  device->SetColor(TextColor());
  DrawUnderline(x, y, x + width - 1);
  device->DrawText(x + 1, y, label, static_cast<std::size_t>(n));
  device->SetColor(device->GetInkColor());
  device->FrameRect(x, top, right - 1, bottom - 1);
  device->DrawLine(x + 2, bottom, right, bottom);
  device->DrawLine(right, bottom, right, top + 2);
}

// ---- AnchorMarkerBox ------------------------------------------------------------------

AnchorMarkerBox::AnchorMarkerBox(LayoutItem* item, AnchorMark* entry)
    : DisplayBox(item), entry_(entry), icon_(entry->GetAnchor()->GetLinkCount() ? 11 : 10) {}

void AnchorMarkerBox::Draw(int x, int y) {
  if (OutputDevice* device = CurrentDevice()) device->DrawIcon(icon_, x, y - GetAscent(), 1);
}

int AnchorMarkerBox::GetPointerKind() {
  Anchor* a = entry_->GetAnchor();
  return a->GetLinkCount() && !a->HasNote() ? 3 : 2;
}

std::intptr_t AnchorMarkerBox::Visit(BoxQuery& query, int x, int y) {
  if (query.kind != 3) return DisplayBox::Visit(query, x, y);
  if (query.key != entry_->GetAnchor()) return 0;
  const int ascent = GetAscent();
  return query.Found(GetPointerKind(), GetStart(), 0, x, y - ascent, GetWidth(),
                     ascent + GetDescent());
}

int AnchorMarkerBox::PressRange(int, int, HitContext& context) {
  ViewRange::Init(context, this);
  return 1;
}

void AnchorMarkerBox::Show(HitContext& c, bool pressed) {
  const int top = c.y0 - GetAscent() - BaselineOffset();
  DocumentView* view = CurrentDocumentView();
  if (view) view->FillBackground(c.x0 + c.left, top + c.top, c.x0 + c.right, top + c.bottom);
  if (OutputDevice* device = CurrentDevice())
    device->DrawIcon(icon_, c.x0 + c.left, top + c.top, pressed ? 0 : 1);
  if (view) {
    const auto start = static_cast<std::int32_t>(entry_->Start());
    view->InvertRange(start, static_cast<std::int32_t>(entry_->GetEnd()));
  }
}

// The engine's link and note dialogs take the view as an opaque handle.
void AnchorMarkerBox::Activate(DocumentView* view, HitContext*) {
  entry_->GetAnchor()->Activate(reinterpret_cast<View*>(static_cast<ViewWindow*>(view)));
}

}  // namespace qs
