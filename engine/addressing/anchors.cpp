// Locations, anchors and links of webs, and the text each writes into a web
// file.
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "addressing/links.h"
#include "addressing/locations.h"
#include "addressing/tree_walker.h"
#include "addressing/web.h"
#include "foundation/engine.h"
#include "foundation/errors.h"
#include "foundation/strings.h"
#include "foundation/text_writer.h"
#include "sgml/document_cache.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"

namespace qs {

namespace {

void Put(TextWriter& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Put(TextWriter& out, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  out.PutString(buffer);
}

const char* EntityName(const EntityDecl* entity) {
  return entity && entity->GetName() ? entity->GetName() : "";
}

// The length of `text` cut to `limit` bytes without splitting a character.
std::size_t CutLength(const char* text, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && text[n]) ++n;
  if (text[n] && n == limit) {
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  return n;
}

// Anchor texts in the file: a carriage return dropped, "&" and "<" as
// entity references.
void PutEscapedText(TextWriter& out, const char* text) {
  for (const char* p = text; *p; ++p) {
    if (*p == '\r') continue;
    if (*p == '&') out.PutString("&amp;");
    else if (*p == '<') out.PutString("&lt;");
    else out.PutChar(static_cast<std::uint8_t>(*p));
  }
}

}  // namespace

std::int16_t ParseHotspotZoom(const char* text) {
  if (!text) return 0;
  while (*text == ' ') ++text;
  double value = 0;
  bool digits = false;
  for (; *text >= '0' && *text <= '9'; ++text, digits = true) value = value * 10 + (*text - '0');
  if (*text == '.') {
    double scale = 0.1;
    for (++text; *text >= '0' && *text <= '9'; ++text, scale /= 10, digits = true)
      value += (*text - '0') * scale;
  }
  if (!digits) return 0;
  // Percentages: 100% is a scale of 256.
  double zoom = value * 256 / 100;
  if (zoom > 32767) zoom = 32767;
  std::int16_t result = static_cast<std::int16_t>(zoom + 0.5);
  return result == 0 && value > 0 ? 1 : result;
}

int ClampHotspotCoordinate(int value) {
  if (value < 0) return 0;
  if (value > kHotspotUnits - 1) return kHotspotUnits;
  return value;
}

// ---- Location -------------------------------------------------------------------

Location::Location(EntityDecl* entity) : entity_(entity ? entity->AddRef() : nullptr) {}

Location::~Location() {
  if (entity_) entity_->Release();
}

void Location::WriteLinkEndId(std::int32_t number, char* buffer) const {
  std::snprintf(buffer, 64, "ID%ld.NAME", static_cast<long>(number));
}

void Location::WriteLocators(TextWriter& out, std::int32_t number) const {
  Put(out, "\n<nameloc id=ID%ld.NAME>", static_cast<long>(number));
  out.PutString("\n  <nmlist nametype=ENTITY>");
  out.PutString(EntityName(entity_));
  out.PutString("</nmlist>\n</nameloc>");
}

int Location::GetRange(Document* document, std::uint32_t* start, std::uint32_t* length) const {
  if (!document || !document->Root()) return 0;
  *start = document->Root()->start;
  *length = document->Root()->end - document->Root()->start;
  return 1;
}

void Location::Show(View* view) const {
  EngineBase* engine = GetEngine();
  ExternalId* id = entity_ ? entity_->GetExternalId() : nullptr;
  DocumentCache* documents = EngineDocuments();
  if (!engine || !id || !documents) return;
  Document* document = documents->Get(id);
  if (!document) return;
  std::uint32_t start = 0, length = 0;
  if (GetRange(document, &start, &length)) {
    engine->GotoPosition(0, view, document, static_cast<std::int32_t>(start),
                         static_cast<std::int32_t>(length), 0);
  } else {
    ReportError(30);
  }
  document->Release();
}

// ---- TreeDataLocation -----------------------------------------------------------------

TreeDataLocation::TreeDataLocation(EntityDecl* entity, const char* id, const std::uint16_t* path,
                                   std::size_t pathCount, std::uint16_t dataStart,
                                   std::uint16_t dataCount, std::uint16_t narrowStart,
                                   std::uint16_t narrowEnd)
    : Location(entity),
      id_(id && *id ? DuplicateString(id) : nullptr),
      dataStart_(dataStart),
      dataCount_(dataCount),
      narrowStart_(narrowStart),
      narrowEnd_(narrowEnd) {
  for (std::size_t i = 0; path && i < pathCount && i < kMaxPath && path[i]; ++i)
    path_[pathCount_++] = path[i];
}

TreeDataLocation::~TreeDataLocation() { MemFree(id_); }

void TreeDataLocation::WriteLinkEndId(std::int32_t number, char* buffer) const {
  std::snprintf(buffer, 64, "ID%ld.%s", static_cast<long>(number),
                dataStart_ ? "DATA" : pathCount_ ? "TREE" : "NAME");
}

void TreeDataLocation::WriteLocators(TextWriter& out, std::int32_t number) const {
  long n = static_cast<long>(number);
  Put(out, "\n<nameloc id=ID%ld.NAME>", n);
  if (id_) {
    out.PutString("\n  <nmlist docorsub=");
    out.PutString(EntityName(entity_));
    out.PutChar('>');
    out.PutString(id_);
  } else {
    out.PutString("\n  <nmlist nametype=ENTITY>");
    out.PutString(EntityName(entity_));
  }
  out.PutString("</nmlist>\n</nameloc>");
  if (pathCount_) {
    Put(out, "\n<treeloc id=ID%ld.TREE locsrc=ID%ld.NAME>", n, n);
    Put(out, "\n  <marklist>%d", path_[0]);
    for (std::size_t i = 1; i < pathCount_; ++i) Put(out, " %d", path_[i]);
    out.PutString("</marklist>\n</treeloc>");
  }
  if (dataStart_) {
    Put(out, "\n<dataloc id=ID%ld.DATA locsrc=ID%ld.%s quantum=norm", n, n,
        pathCount_ ? "TREE" : "NAME");
    if (narrowStart_ || narrowEnd_) Put(out, " narrow=\"%d %d\">", narrowStart_, narrowEnd_);
    else out.PutChar('>');
    Put(out, "\n  <dimlist>%d", dataStart_);
    if (dataCount_) Put(out, " %d", dataCount_);
    out.PutString("</dimlist>\n</dataloc>");
  }
}

int TreeDataLocation::GetRange(Document* document, std::uint32_t* start,
                               std::uint32_t* length) const {
  if (!document || !document->Root()) return 0;
  DocumentNode* source = document->Root();
  if (id_) {
    // The web names the element as written; the document keeps IDs as its
    // reader folded them.
    source = FindElementByIdText(document, id_);
    if (!source) return 0;
  }
  TreeWalker walker(document, source);
  std::uint32_t from, to;
  walker.GetRange(&from, &to);
  bool found = !pathCount_ || FollowTreePath(&walker, path_, pathCount_);
  if (found) walker.GetRange(&from, &to);
  if (found && dataStart_) {
    // Words count from the place's element, or the document's start in a
    // gap, as the location strings' DATA term counts them.
    const DocumentNode* element = walker.Current() ? walker.Current() : document->Root();
    found = SelectWords(document, element->start, dataStart_, dataCount_, &from, &to);
  }
  if (!found) {
    ReportError(31);
    return 0;
  }
  std::int64_t n = std::int64_t(to) - from;
  from += narrowStart_;
  if (from >= document->TextLength() && document->TextLength() > 0)
    from = document->TextLength() - 1;
  n -= narrowStart_;
  n -= narrowEnd_;
  if (n < 1) n = 1;
  *start = from;
  *length = static_cast<std::uint32_t>(n);
  return 1;
}

TreeDataLocation* MakeTreeDataAddress(EntityDecl* entity, Document* document, std::uint32_t start,
                                      std::uint32_t length) {
  DocumentNode* root = document ? document->Root() : nullptr;
  if (!root || std::uint64_t(start) + length > document->TextLength()) return nullptr;
  std::uint32_t end = start + length;
  if (start == root->start && end == root->end)
    return new TreeDataLocation(entity, nullptr, nullptr, 0, 0, 0, 0, 0);
  // The element the range lies in.
  DocumentNode* element = document->ElementAtPosition(start);
  if (!element) return nullptr;
  while (element->Parent() && element->Parent()->start == start && element->end < end)
    element = element->Parent();
  // The element the place is counted from.
  DocumentNode* anchor = element;
  while (anchor && !anchor->GetId()) anchor = anchor->Parent();
  const char* id = anchor ? anchor->GetId() : nullptr;
  if (!anchor) anchor = root;
  bool exact = element->start == start && element->end == end;
  if (exact) {
    while (element != anchor && element->Parent() && element->Parent()->start == start &&
           element->Parent()->end == end)
      element = element->Parent();
  } else if (anchor->start == element->start) {
    element = anchor;
  }
  // Place numbers from the anchor down: 1 for the anchor itself, then the
  // place of each element on the way in its parent's content.
  std::uint16_t path[TreeDataLocation::kMaxPath];
  std::size_t pathCount = 0;
  if (element != anchor) {
    std::size_t depth = 0;
    for (DocumentNode* n = element; n != anchor; n = n->Parent()) ++depth;
    if (depth + 1 > TreeDataLocation::kMaxPath) return nullptr;
    path[0] = 1;
    pathCount = depth + 1;
    std::size_t level = depth;
    for (DocumentNode* n = element; n != anchor; n = n->Parent(), --level) {
      DocumentNode* parent = n->Parent();
      std::uint32_t place = parent->First()->start > parent->start ? 2 : 1;
      for (DocumentNode* c = parent->First(); c != n; c = c->Next())
        place += c->Next()->start > c->end ? 2 : 1;
      if (place > 0xFFFF) return nullptr;
      path[level] = static_cast<std::uint16_t>(place);
    }
  }
  if (exact) return new TreeDataLocation(entity, id, path, pathCount, 0, 0, 0, 0);
  // Words of the element's data, counted from its start.
  DataCharReader reader(document, element->start);
  std::uint32_t word = 0, first = 0, count = 0, narrowStart = 0, narrowEnd = 0, lastEnd = 0;
  int c = reader.Read();
  for (;;) {
    while (c == ' ') c = reader.Read();
    if (c < 0) break;
    ++word;
    std::uint32_t wordStart = reader.Position() - 1, wordEnd = wordStart;
    while (c >= 0 && c != ' ') {
      wordEnd = reader.Position();
      c = reader.Read();
    }
    if (!first) {
      if (wordEnd <= start) continue;
      first = word;
      if (wordStart < start) narrowStart = start - wordStart;
    }
    ++count;
    lastEnd = wordEnd;
    if (wordEnd >= end) break;
  }
  if (!first || first > 0xFFFF || count > 0xFFFF) return nullptr;
  if (lastEnd > end) narrowEnd = lastEnd - end;
  if (narrowStart > 0xFFFF || narrowEnd > 0xFFFF) return nullptr;
  return new TreeDataLocation(entity, id, path, pathCount, static_cast<std::uint16_t>(first),
                              static_cast<std::uint16_t>(count),
                              static_cast<std::uint16_t>(narrowStart),
                              static_cast<std::uint16_t>(narrowEnd));
}

// ---- HotspotLocation ----------------------------------------------------------------------

HotspotLocation::HotspotLocation(EntityDecl* graphic, const HotspotArea& area)
    : Location(graphic), area_(area) {
  if (area_.shape > kShapePolygon) area_.shape = kShapeRectangle;
}

HotspotLocation::~HotspotLocation() { MemFree(line_); }

void HotspotLocation::WriteLinkEndId(std::int32_t number, char* buffer) const {
  std::snprintf(buffer, 64, "ID%ld.SPOT", static_cast<long>(number));
}

void HotspotLocation::WriteLocators(TextWriter& out, std::int32_t number) const {
  bool polygon = area_.shape == kShapePolygon;
  Put(out, "\n<%s id=ID%ld.SPOT graphic=%s RX=\"%d\" RY=\"%d\" RW=\"%d\" RH=\"%d\"",
      polygon ? "HOTPOLY" : "HOTSPOT", static_cast<long>(number), EntityName(entity_), area_.x,
      area_.y, area_.width, area_.height);
  if (area_.zoom) {
    int percent = area_.zoom * 100 / 256;
    Put(out, " ZOOM=\"%d%%\"", percent < 1 ? 1 : percent);
  }
  if (line_) {
    out.PutString(" LINE=");
    out.PutQuoted(line_);
  }
  if (polygon) {
    out.PutString(" SHAPE=\"#POLYGON\">\n");
    for (int i = 0; i < pointCount_; ++i)
      Put(out, i ? " %d %d" : "%d %d", points_[2 * i], points_[2 * i + 1]);
    out.PutString("\n</HOTPOLY>");
  } else if (area_.shape == kShapeEllipse) {
    out.PutString(" SHAPE=\"#ELLIPSE\">");
  } else {
    out.PutChar('>');
  }
}

int HotspotLocation::GetArea(HotspotArea* area) const {
  *area = area_;
  return 1;
}

int HotspotLocation::GetOutline(std::int16_t* points) const {
  switch (area_.shape) {
    case kShapePolygon:
      for (int i = 0; i < 2 * pointCount_; ++i) points[i] = points_[i];
      return pointCount_;
    case kShapeEllipse:
      for (int k = 0; k < kEllipsePoints; ++k) {
        double angle = 2 * 3.14159265358979323846 * k / kEllipsePoints;
        points[2 * k] = static_cast<std::int16_t>(std::lround(1024 + 1024 * std::sin(angle)));
        points[2 * k + 1] = static_cast<std::int16_t>(std::lround(1024 + 1024 * std::cos(angle)));
      }
      return kEllipsePoints;
    default: {
      static const std::int16_t kCorners[8] = {0, 0, 2048, 0, 2048, 2048, 0, 2048};
      for (int i = 0; i < 8; ++i) points[i] = kCorners[i];
      return 4;
    }
  }
}

int HotspotLocation::SetShape(int shape, int count, const std::int16_t* points) {
  if (shape == kShapePolygon) {
    // Room for 99 points; fewer than 3 make no polygon.
    if (count <= 2 || count > kMaxPolygonPoints || !points) return 0;
    for (int i = 0; i < 2 * count; ++i)
      points_[i] = static_cast<std::int16_t>(ClampHotspotCoordinate(points[i]));
    pointCount_ = count;
    area_.shape = kShapePolygon;
    return 1;
  }
  if (shape == kShapeRectangle || shape == kShapeEllipse) {
    area_.shape = static_cast<std::uint8_t>(shape);
    pointCount_ = 0;
  }
  return 0;
}

int HotspotLocation::SetArea(int x, int y, int width, int height) {
  x = ClampHotspotCoordinate(x);
  y = ClampHotspotCoordinate(y);
  // A left or top edge clamped to 2048 leaves no room: width 0 there.
  if (width < 1) width = 1;
  if (height < 1) height = 1;
  if (x + width > kHotspotUnits) width = kHotspotUnits - x;
  if (y + height > kHotspotUnits) height = kHotspotUnits - y;
  area_.x = static_cast<std::int16_t>(x);
  area_.y = static_cast<std::int16_t>(y);
  area_.width = static_cast<std::int16_t>(width);
  area_.height = static_cast<std::int16_t>(height);
  return 1;
}

int HotspotLocation::SetLine(const char* text) {
  MemFree(line_);
  line_ = text && *text ? DuplicateString(text) : nullptr;
  return 1;
}

void HotspotLocation::Show(View*) const {
  // Graphic areas are shown by the picture views through the engine's
  // hot-area display; until a graphic can be loaded there is nothing to
  // show it in.
}

// ---- AnchorMark -------------------------------------------------------------------------------

void* AnchorMark::operator new(std::size_t size) { return MemAlloc(size); }
void AnchorMark::operator delete(void* block) noexcept { MemFree(block); }

AnchorMark::AnchorMark(Anchor* anchor, Document* document, std::uint32_t start,
                       std::uint32_t length)
    : Mark(kMarkAnchor, start), anchor_(anchor), document_(document), end_(start + length) {
  nextOfAnchor = anchor->marks_;
  anchor->marks_ = this;
}

AnchorMark::~AnchorMark() {
  for (AnchorMark** p = &anchor_->marks_; *p; p = &(*p)->nextOfAnchor) {
    if (*p == this) {
      *p = nextOfAnchor;
      break;
    }
  }
}

void AnchorMark::DocumentGone() { delete this; }

// ---- Anchor ---------------------------------------------------------------------------------

Anchor::Anchor(Web* web, Location* location, std::int32_t number)
    : web_(web), location_(location), number_(number) {}

Anchor::~Anchor() {
  Unmark();
  delete location_;
}

void Anchor::Unmark() {
  while (AnchorMark* mark = marks_) {
    mark->GetDocument()->Anchors().Remove(mark);
    delete mark;  // unlinks itself
  }
}

bool Anchor::MarkInDocument(Document* document) {
  if (!document || !location_ || !location_->IsDocumentLocation()) return false;
  for (AnchorMark* m = marks_; m; m = m->nextOfAnchor)
    if (m->GetDocument() == document) return true;
  std::uint32_t start = 0, length = 0;
  if (!location_->GetRange(document, &start, &length)) return false;
  auto* mark = new AnchorMark(this, document, start, length);
  if (!mark) return false;
  if (!document->Anchors().Add(mark)) {
    delete mark;
    return false;
  }
  return true;
}

void Anchor::SetText(WebText& field, const char* text, std::size_t limit) {
  std::size_t n = text ? CutLength(text, limit) : 0;
  if (n == 0) {
    field = WebText{};
    return;
  }
  std::int32_t position = field.position < 0
                              ? web_->UpdateText(text, field.position, field.length, n)
                              : web_->StoreText(text, n);
  if (position == 0) return;  // reported; the old text stays
  field.position = position;
  field.length = static_cast<std::uint16_t>(n);
}

bool Anchor::SetHead(const char* text) {
  if (!web_->IsEditable()) return false;
  web_->SetChanged();
  SetText(head, text, kAnchorHeadLength);
  return true;
}

bool Anchor::SetNote(const char* text) {
  if (!web_->IsEditable()) return false;
  web_->SetChanged();
  SetText(note, text, kAnchorNoteLength);
  return true;
}

char* Anchor::GetName(char* buffer) const {
  buffer[0] = '\0';
  if (head.length) {
    char text[kAnchorHeadLength + 1];
    std::size_t n = web_->GetText(text, head.position, head.length);
    text[n] = '\0';
    CopyStringMax(buffer, text, CutLength(text, kAnchorHeadLength) + 1);
    if (*buffer) return buffer;
  }
  if (note.length) {
    char* text = static_cast<char*>(MemAlloc(kAnchorNoteLength + 1));
    if (text) {
      std::size_t n = web_->GetText(text, note.position, note.length);
      text[n] = '\0';
      CopyStringMax(buffer, text, CutLength(text, kAnchorHeadLength) + 1);
      MemFree(text);
      if (*buffer) return buffer;
    }
  }
  std::snprintf(buffer, kAnchorHeadLength + 1, "ANCHOR%ld", static_cast<long>(number_));
  return buffer;
}

bool Anchor::GetNote(char* buffer) const {
  buffer[0] = '\0';
  if (!note.length) return false;
  std::size_t length = note.length > kAnchorNoteLength ? kAnchorNoteLength : note.length;
  std::size_t n = web_->GetText(buffer, note.position, length);
  buffer[n] = '\0';
  return true;
}

bool Anchor::SetBookmark(bool on) {
  if (!web_->IsEditable() || IsBookmark() == on) return false;
  web_->SetChanged();
  if (on) {
    flags |= kBookmark;
    web_->AddBookmark(this);
  } else {
    flags &= static_cast<std::uint8_t>(~kBookmark);
    web_->RemoveBookmark(this);
  }
  if (EngineBase* engine = GetEngine()) engine->AnchorsChanged();
  return true;
}

void Anchor::Activate(View* view) {
  EngineBase* engine = GetEngine();
  if (!engine) return;
  if (!HasNote() && linkCount > 0) {
    if (linkCount == 1) engine->FollowFirstLink(view, this);
    else engine->ShowLinkDialog(0, this);
    return;
  }
  engine->ShowNoteDialog(0, this, 0);
}

bool Anchor::Delete() { return web_->RemoveAnchor(this); }

void Anchor::Show(View* view) const {
  if (location_) location_->Show(view);
}

void Anchor::Write(TextWriter& out) const {
  char endId[64];
  location_->WriteLinkEndId(number_, endId);
  Put(out, "\n\n<anchor id=ID%ld linkend=%s", static_cast<long>(number_), endId);
  if (flags & kBookmark) out.PutString(" bookmark=1");
  if (flags & kHighlight) out.PutString(" hilite=1");
  out.PutString(">\n<loc>");
  location_->WriteLocators(out, number_);
  out.PutString("\n</loc>");
  char* text = static_cast<char*>(MemAlloc(65536 + 1));
  if (text && head.length) {
    text[web_->GetText(text, head.position, head.length)] = '\0';
    out.PutString("\n<head>");
    PutEscapedText(out, text);
    out.PutString("\n</head>");
  }
  if (text && note.length) {
    text[web_->GetText(text, note.position, note.length)] = '\0';
    out.PutString("\n<note>");
    PutEscapedText(out, text);
    out.PutString("</note>");
  }
  MemFree(text);
  out.PutString("\n</anchor>");
}

// ---- Link and entries -----------------------------------------------------------------------

Link::Link(Anchor* a, Anchor* b) : a_(a), b_(b) {
  ++a_->linkCount;
  ++b_->linkCount;
}

Link::~Link() {
  --a_->linkCount;
  --b_->linkCount;
}

WebEntry::WebEntry(EntityDecl* entity) : entity_(entity->AddRef()) {}

WebEntry::~WebEntry() {
  anchors.DeleteAll();
  entity_->Release();
}

bool WebEntry::IsDocument() const {
  NotationDecl* notation = entity_->GetNotation();
  if (!notation) return true;
  if (const char* pub = notation->PublicId())
    return CompareStringNoCase(pub,
                               "+//ISO 8879:1986//NOTATION STANDARD GENERALIZED MARKUP "
                               "LANGUAGE//EN") == 0;
  return CompareStringNoCase(notation->Name(), "SGML") == 0;
}

}  // namespace qs
