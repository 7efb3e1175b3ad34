#include "layout/tag_items.h"

#include <cstring>

#include "addressing/links.h"
#include "foundation/block_cache.h"
#include "foundation/engine.h"
#include "layout/display_box.h"
#include "layout/text_item.h"
#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/view_links.h"

namespace qs {

namespace {

// Appends to a copy's output within its room; counts what was written.
struct Output {
  char* out;
  std::size_t room;
  std::int32_t written = 0;
  void Put(const char* text, std::size_t n) {
    for (std::size_t i = 0; i < n && static_cast<std::size_t>(written) < room; ++i)
      out[written++] = text[i];
  }
  void Put(const char* text) { Put(text, std::strlen(text)); }
};

const char* NameOf(const DocumentNode* element) {
  const char* name = element ? element->GetNameText() : nullptr;
  return name ? name : "";
}

int Measure(Font* font, const char* text, std::size_t length) {
  return font ? font->MeasureA(text, length) : 0;
}

void Line(OutputDevice* d, int x1, int y1, int x2, int y2) { d->DrawLine(x1, y1, x2, y2); }

void UseLabelFont(OutputDevice* device, Font* font) {
  if (font) device->UseFont(font);
  device->SetColor(device->GetInkColor());
}

// "/" and the name, or "?" and the instruction: the label of an end tag.
std::size_t EndLabel(const DocumentNode* element, char* buffer, std::size_t room) {
  const char* name = NameOf(element);
  std::size_t n = std::strlen(name);
  if (n + 2 > room) n = room - 2;
  buffer[0] = '/';
  std::memcpy(buffer + 1, name, n);
  buffer[n + 1] = 0;
  return n + 1;
}

}  // namespace

TagMetrics CurrentTagMetrics() {
  TagMetrics m;
  OutputDevice* device = CurrentDevice();
  m.font = device ? device->GetDefaultFont(false, false) : nullptr;
  if (m.font) {
    m.fontAscent = m.font->ascent;
    m.fontDescent = m.font->descent;
    m.font->DropUse();  // the device's table keeps the font
  }
  const int odd = (m.fontAscent + m.fontDescent) & 1;
  m.ascent = m.fontAscent + odd + 1;
  m.h = m.fontAscent + m.fontDescent + odd;
  m.q = m.h / 5;
  return m;
}

// ---- Start tags -----------------------------------------------------------------------------

StartTagItem::StartTagItem(DocumentNode* element, TextFormat* format)
    : LayoutItem(static_cast<std::int32_t>(element->start), format), element_(element) {}

int StartTagItem::GetAscent() { return CurrentTagMetrics().ascent; }
int StartTagItem::GetDescent() { return CurrentTagMetrics().fontDescent; }

bool StartTagItem::HasSquare() const {
  ElementTypeDecl* decl = element_->Decl();
  return decl && decl->Attributes().Count() != 0;
}

int StartTagItem::NameWidth(Font* font) {
  const char* name = NameOf(element_);
  return Measure(font, name, std::strlen(name));
}

int StartTagItem::GetWidth() {
  TagMetrics m = CurrentTagMetrics();
  return NameWidth(m.font) + m.h / 2 + m.q + (HasSquare() ? m.h : 0);
}

void StartTagItem::Square(int& left, int& top, int& right, int& bottom) {
  TagMetrics m = CurrentTagMetrics();
  const int name = NameWidth(m.font);
  left = name + m.q + 2;
  top = 2;
  right = name + m.q + m.h - 2;
  bottom = m.h - 2;
}

void StartTagItem::Draw(int x, int y) {
  OutputDevice* d = CurrentDevice();
  if (!d) return;
  TagMetrics m = CurrentTagMetrics();
  const int h = m.h, q = m.q, top = y - m.ascent;
  const char* name = NameOf(element_);
  const bool square = HasSquare();
  const int w = NameWidth(m.font) + (square ? h : 0);
  const int xs = x + q;
  UseLabelFont(d, m.font);
  d->DrawText(xs, y - 2, name, std::strlen(name));
  Line(d, xs - q, top + q, xs, top);
  Line(d, xs, top, xs + w, top);
  Line(d, xs + w, top, xs + w + h / 2, top + h / 2);
  Line(d, xs + w + h / 2, top + h / 2, xs + w, top + h);
  Line(d, xs + w, top + h, xs, top + h);
  Line(d, xs, top + h, xs - q, top + h - q);
  Line(d, xs - q, top + h - q, xs - q, top + q);
  if (square) {
    d->FrameRect(xs + w - h + 2, top + 2, xs + w - 2, top + h - 2);
    if (element_->GetAttributeValues())
      d->FrameRect(xs + w - h + 4, top + 4, xs + w - 4, top + h - 4);
  }
  Line(d, xs - q, top + h - q + 1, xs, top + h + 1);
  Line(d, xs, top + h + 1, xs + w, top + h + 1);
  Line(d, xs + w, top + h + 1, xs + w + h / 2, top + h / 2 + 1);
}

std::int32_t StartTagItem::GetTextLength(std::int32_t, std::int32_t to) {
  if (to == static_cast<std::int32_t>(element_->start)) return 0;
  std::int32_t n = static_cast<std::int32_t>(std::strlen(NameOf(element_))) + 2;
  if (Attribute* const* values = element_->GetAttributeValues())
    for (; *values; ++values) {
      const char* name = (*values)->GetName();
      const char* value = (*values)->Value();
      n += static_cast<std::int32_t>(std::strlen(name ? name : "") + std::strlen(value ? value : "")) + 4;
    }
  return n;
}

std::int32_t StartTagItem::CopyText(std::int32_t from, std::int32_t to, char* output,
                                    std::size_t room) {
  if (to == static_cast<std::int32_t>(element_->start)) return 0;
  (void)from;
  Output o{output, room};
  o.Put("<");
  o.Put(NameOf(element_));
  if (Attribute* const* values = element_->GetAttributeValues())
    for (; *values; ++values) {
      const char* name = (*values)->GetName();
      const char* value = (*values)->Value();
      o.Put(" ");
      o.Put(name ? name : "");
      o.Put("=\"");
      o.Put(value ? value : "");
      o.Put("\"");
    }
  o.Put(">");
  return o.written;
}

int StartTagItem::GetPointerKindAt(int x, int y) {
  if (!HasSquare()) return 0;
  int l, t, r, b;
  Square(l, t, r, b);
  return x >= l && x <= r && y >= t && y <= b ? 14 : 0;
}

int StartTagItem::PressRange(int x, int y, HitContext& context) {
  if (!GetPointerKindAt(x, y)) return 0;
  int l, t, r, b;
  Square(l, t, r, b);
  context.left = l;
  context.top = t;
  context.right = r;
  context.bottom = b;
  return 1;
}

void StartTagItem::Activate(DocumentView* view, HitContext*) {
  Document* document = view ? view->GetDocument() : nullptr;
  EngineBase* engine = GetEngine();
  if (!document || !engine || !element_) return;
  // The host is offered the list first (event 17); the engine's list
  // dialog takes it over otherwise.
  LinkTargetList* list = ListElementAttributes(LinkViewOf(view), document, element_);
  engine->ShowNodeList(DocumentViewWindow(view), LinkViewOf(view), document, element_, list);
}

// ---- End tags -------------------------------------------------------------------------------

EndTagItem::EndTagItem(DocumentNode* element, TextFormat* format)
    : LayoutItem(static_cast<std::int32_t>(element->end), format), element_(element) {}

int EndTagItem::GetAscent() { return CurrentTagMetrics().ascent; }
int EndTagItem::GetDescent() { return CurrentTagMetrics().fontDescent + 1; }

int EndTagItem::GetWidth() {
  TagMetrics m = CurrentTagMetrics();
  char label[260];
  std::size_t n = EndLabel(element_, label, sizeof label);
  return Measure(m.font, label, n) + 2 * m.q + 1 + m.h / 2;
}

void EndTagItem::Draw(int x, int y) {
  OutputDevice* d = CurrentDevice();
  if (!d) return;
  TagMetrics m = CurrentTagMetrics();
  const int h = m.h, q = m.q, top = y - m.ascent;
  char label[260];
  std::size_t n = EndLabel(element_, label, sizeof label);
  const int w = Measure(m.font, label, n) + q;
  UseLabelFont(d, m.font);
  d->DrawText(x + h / 2 + 2, y - 2, label, n);
  Line(d, x, top + h / 2, x + h / 2, top);
  Line(d, x + h / 2, top, x + w + h / 2, top);
  Line(d, x + w + h / 2, top, x + w + h / 2 + q, top + q);
  Line(d, x + w + h / 2 + q, top + q, x + w + h / 2 + q, top + h - q);
  Line(d, x + w + h / 2 + q, top + h - q, x + w + h / 2, top + h);
  Line(d, x + w + h / 2, top + h, x + h / 2, top + h);
  Line(d, x + h / 2, top + h, x, top + h / 2);
  Line(d, x, top + h / 2 + 1, x + h / 2, top + h + 1);
  Line(d, x + h / 2, top + h + 1, x + w + h / 2, top + h + 1);
  Line(d, x + w + h / 2, top + h + 1, x + w + h / 2 + q, top + h - q + 1);
}

bool EndTagItem::Copies(std::int32_t from) const {
  if (from == static_cast<std::int32_t>(element_->end)) return false;
  ElementTypeDecl* decl = element_->Decl();
  return !(decl && (decl->flags & 1));
}

std::int32_t EndTagItem::GetTextLength(std::int32_t from, std::int32_t) {
  return Copies(from) ? static_cast<std::int32_t>(std::strlen(NameOf(element_))) + 3 : 0;
}

std::int32_t EndTagItem::CopyText(std::int32_t from, std::int32_t, char* output, std::size_t room) {
  if (!Copies(from)) return 0;
  Output o{output, room};
  o.Put("</");
  o.Put(NameOf(element_));
  o.Put(">");
  return o.written;
}

// ---- Processing instructions -----------------------------------------------------------------

ProcInstrItem::ProcInstrItem(Mark* mark, TextFormat* format)
    : LayoutItem(static_cast<std::int32_t>(mark->Start()), format), mark_(mark) {}

int ProcInstrItem::GetAscent() { return CurrentTagMetrics().ascent; }
int ProcInstrItem::GetDescent() { return CurrentTagMetrics().fontDescent + 1; }

int ProcInstrItem::Label(char* buffer) {
  buffer[0] = '?';
  int n = 1;
  CachedStream* stream = CurrentTextStream();
  const std::int32_t start = Position();
  const std::int32_t end = static_cast<std::int32_t>(mark_->GetEnd());
  std::int32_t take = end - start;
  if (take > kLabelBytes) take = kLabelBytes;
  if (stream && take > 0) {
    stream->CopyRange(buffer + 1, start, start + take, true);
    n = 1 + take;
    // A cut inside a character keeps only the whole ones.
    if (end - start > take) {
      int i = n;
      while (i > 1 && (static_cast<std::uint8_t>(buffer[i - 1]) & 0xC0) == 0x80) --i;
      if (i > 1 && static_cast<std::uint8_t>(buffer[i - 1]) >= 0xC0) {
        const auto lead = static_cast<std::uint8_t>(buffer[i - 1]);
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (n - (i - 1) < length) n = i - 1;
      }
    }
  }
  buffer[n] = 0;
  return n;
}

int ProcInstrItem::GetWidth() {
  TagMetrics m = CurrentTagMetrics();
  char label[kLabelRoom + 1];
  int n = Label(label);
  return Measure(m.font, label, static_cast<std::size_t>(n)) + m.h + 1;
}

void ProcInstrItem::MakeBoxes(ListHead& boxes) { LayoutItem::MakeBoxes(boxes); }

void ProcInstrItem::Draw(int x, int y) {
  OutputDevice* d = CurrentDevice();
  if (!d) return;
  TagMetrics m = CurrentTagMetrics();
  const int h = m.h, top = y - m.ascent;
  char label[kLabelRoom + 1];
  int n = Label(label);
  const int t = Measure(m.font, label, static_cast<std::size_t>(n));
  UseLabelFont(d, m.font);
  d->DrawText(x + h / 2 + 2, y - 2, label, static_cast<std::size_t>(n));
  Line(d, x, top + h / 2, x + h / 2, top);
  Line(d, x + h / 2, top, x + t + h / 2, top);
  Line(d, x + t + h / 2, top, x + t + h, top + h / 2);
  Line(d, x + t + h, top + h / 2, x + t + h / 2, top + h);
  Line(d, x + t + h / 2, top + h, x + h / 2, top + h);
  Line(d, x + h / 2, top + h, x, top + h / 2);
  Line(d, x, top + h / 2 + 1, x + h / 2, top + h + 1);
  Line(d, x + h / 2, top + h + 1, x + t + h / 2, top + h + 1);
  Line(d, x + t + h / 2, top + h + 1, x + t + h, top + h / 2 + 1);
}

std::int32_t ProcInstrItem::GetTextLength(std::int32_t from, std::int32_t to) {
  if (from < Position()) from = Position();
  const auto end = static_cast<std::int32_t>(mark_->GetEnd());
  if (to > end) to = end;
  return from < to ? to - from + 3 : 0;
}

std::int32_t ProcInstrItem::CopyText(std::int32_t from, std::int32_t to, char* output,
                                     std::size_t room) {
  if (from < Position()) from = Position();
  const auto end = static_cast<std::int32_t>(mark_->GetEnd());
  if (to > end) to = end;
  if (from >= to) return 0;
  Output o{output, room};
  o.Put("<?");
  CachedStream* stream = CurrentTextStream();
  char chunk[257];
  for (std::int32_t at = from; at < to; at += 256) {
    const std::int32_t stop = to - at > 256 ? at + 256 : to;
    if (stream) {
      stream->CopyRange(chunk, at, stop, true);
    } else {
      std::memset(chunk, ' ', static_cast<std::size_t>(stop - at));
    }
    o.Put(chunk, static_cast<std::size_t>(stop - at));
  }
  o.Put(">");
  return o.written;
}

HiddenProcInstrItem::HiddenProcInstrItem(Mark* mark, TextFormat* format)
    : LayoutItem(static_cast<std::int32_t>(mark->Start()), format), mark_(mark) {}

void HiddenProcInstrItem::MakeBoxes(ListHead& boxes) { LayoutItem::MakeBoxes(boxes); }

}  // namespace qs
