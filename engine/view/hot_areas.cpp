#include "view/hot_areas.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "addressing/links.h"
#include "addressing/web.h"
#include "api/interface.h"
#include "api/node_ref.h"
#include "foundation/engine.h"
#include "foundation/engine_lists.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "view/output_device.h"
#include "view/window_device.h"

namespace qs {

const AreaPoint* RectangleOutline() {
  static const AreaPoint corners[4] = {{0, 0}, {2048, 0}, {2048, 2048}, {0, 2048}};
  return corners;
}

const AreaPoint* EllipseOutline() {
  static const struct Table {
    AreaPoint p[kAreaEllipsePoints];
    Table() {
      for (int i = 0; i < kAreaEllipsePoints; ++i) {
        double angle = i * 11.25 * 3.14159265358979323846 / 180;
        p[i].x = static_cast<std::int16_t>(1024 + std::lround(1024 * std::sin(angle)));
        p[i].y = static_cast<std::int16_t>(1024 + std::lround(1024 * std::cos(angle)));
      }
    }
  } table;
  return table.p;
}

int ReadAreaNumber(const char* text) {
  if (!text) return 0;
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  std::int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > INT_MAX) value = std::int64_t{INT_MAX} + 1;  // saturates
  }
  if (negative) return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::int16_t ReadAreaZoom(const char* text) {
  if (!text) return 0;
  while (*text == ' ') ++text;
  std::int64_t n = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    n = n * 10 + (*text - '0');
    if (n > 1000000) n = 1000000;
  }
  while (*text == ' ') ++text;
  if (*text == '%') {
    std::int64_t zoom = (n * 256 + 100) / 100;
    return static_cast<std::int16_t>(zoom > 32767 ? 32767 : zoom);
  }
  if (n == 0) return 0;
  if (n > 4) n = 4;
  return static_cast<std::int16_t>(256 << (n - 1));
}

// ---- Polygon text -------------------------------------------------------------------

void PolygonReader::EndNumber() {
  if (!inNumber_) return;
  inNumber_ = false;
  if (Full()) return;
  auto v = static_cast<std::int16_t>(value_ > kAreaUnits - 1 ? kAreaUnits - 1 : value_);
  if (!haveX_) {
    x_ = v;
    haveX_ = true;
  } else {
    points_[count_++] = {x_, v};
    haveX_ = false;
  }
}

void PolygonReader::Feed(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length && !Full(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') {
      EndNumber();
      dropNext_ = false;
      continue;
    }
    if (dropNext_) {
      dropNext_ = false;
      continue;
    }
    if (!inNumber_) {
      inNumber_ = true;
      digits_ = 0;
      value_ = 0;
    }
    value_ = value_ * 10 + (c - '0');
    if (value_ > 1000000) value_ = 1000000;
    if (++digits_ == 32) {
      EndNumber();
      dropNext_ = true;
    }
  }
}

int PolygonReader::Finish() {
  EndNumber();
  if (haveX_ && !Full()) {
    points_[count_++] = {x_, 0};
    haveX_ = false;
  }
  return count_;
}

// ---- Region -----------------------------------------------------------------------------

Region::~Region() {
  if (ownsPoints) MemFree(const_cast<AreaPoint*>(points));
}

void Region::UseRectangle() {
  if (ownsPoints) MemFree(const_cast<AreaPoint*>(points));
  ownsPoints = false;
  points = RectangleOutline();
  pointCount = 4;
}

void Region::UseEllipse() {
  UseRectangle();
  points = EllipseOutline();
  pointCount = kAreaEllipsePoints;
}

void Region::SetPoints(const AreaPoint* source, int count) {
  if (count < 3 || count > kAreaMaxPoints) {
    UseRectangle();
    return;
  }
  auto* copy = static_cast<AreaPoint*>(MemAlloc(sizeof(AreaPoint) * count));
  if (!copy) {
    UseRectangle();
    return;
  }
  std::memcpy(copy, source, sizeof(AreaPoint) * count);
  UseRectangle();
  points = copy;
  ownsPoints = true;
  pointCount = static_cast<std::uint8_t>(count);
}

void Region::CopyGeometry(const Region& from) {
  x = from.x, y = from.y, width = from.width, height = from.height;
  zoom = from.zoom;
  color = from.color;
  if (from.ownsPoints) {
    SetPoints(from.points, from.pointCount);
  } else {
    UseRectangle();
    points = from.points;
    pointCount = from.pointCount;
  }
}

Region* Region::Clone() const {
  auto* copy = new Region;
  copy->CopyGeometry(*this);
  return copy;
}

bool Region::Contains(int px, int py) const {
  // An area without extent is never hit (and never divided by).
  if (width <= 0 || height <= 0) return false;
  if (px < x || px >= x + width || py < y || py >= y + height) return false;
  const std::int64_t lx = std::int64_t{px - x} * kAreaUnits / width;
  const std::int64_t ly = std::int64_t{py - y} * kAreaUnits / height;
  bool inside = false;
  for (int i = 0; i < pointCount; ++i) {
    const AreaPoint& a = points[i == 0 ? pointCount - 1 : i - 1];
    const AreaPoint& b = points[i];
    const std::int64_t x1 = a.x, y1 = a.y, x2 = b.x, y2 = b.y;
    if (!((x1 <= lx && lx < x2) || (x2 <= lx && lx < x1))) continue;
    // The edge's height at lx lies above the point: compared multiplied
    // by dx, whose sign turns the comparison.
    const std::int64_t dx = x1 - x2;
    const std::int64_t edge = dx * y1 + (y1 - y2) * (lx - x1);
    if (dx > 0 ? edge < ly * dx : edge > ly * dx) inside = !inside;
  }
  return inside;
}

// ---- Areas of hotspot elements ------------------------------------------------------------

namespace {

std::int16_t ClampStart(int v) { return static_cast<std::int16_t>(v < 0 ? 0 : v > 2047 ? 2047 : v); }

std::int16_t ClampExtent(int start, int extent) {
  if (extent < 1) extent = 1;
  if (extent > kAreaUnits - start) extent = kAreaUnits - start;
  return static_cast<std::int16_t>(extent);
}

// The element's text fed to the reader in pieces.
void ReadElementPoints(Document* document, const DocumentNode* element, PolygonReader& reader) {
  char piece[4097];
  for (std::uint32_t from = element->start; from < element->end && !reader.Full();) {
    std::uint32_t to = element->end - from > 4096 ? from + 4096 : element->end;
    std::size_t n = document->ExtractText(piece, from, to);
    reader.Feed(piece, n);
    from = to;
  }
}

}  // namespace

HotArea::HotArea(Document* document, DocumentNode* element, ColorTable* colors)
    : document_(document), element_(element) {
  const char* rx = element->GetAttributeValue("RX");
  const char* ry = element->GetAttributeValue("RY");
  const char* rw = element->GetAttributeValue("RW");
  const char* rh = element->GetAttributeValue("RH");
  x = ClampStart(rx ? ReadAreaNumber(rx) : 0);
  y = ClampStart(ry ? ReadAreaNumber(ry) : 0);
  width = ClampExtent(x, rw ? ReadAreaNumber(rw) : kAreaUnits);
  height = ClampExtent(y, rh ? ReadAreaNumber(rh) : kAreaUnits);
  zoom = ReadAreaZoom(element->GetAttributeValue("ZOOM"));
  const char* line = element->GetAttributeValue("LINE");

  const char* shape = element->GetAttributeValue("SHAPE");
  const char* name = "#";
  DocumentNode* shapeElement = element;
  if (shape && shape[0] == '#') {
    name = shape + 1;
  } else if (shape && document) {
    char id[256];
    std::size_t n = 0;
    for (; shape[n] && n + 1 < sizeof id; ++n) {
      char c = shape[n];
      id[n] = document->foldsNames && c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    id[n] = 0;
    DocumentNode* found = shape[n] ? nullptr : document->FindElementById(id);
    const char* form = found ? found->GetAttributeValue("QUENDA-AF") : nullptr;
    if (form && CompareStringNoCaseMax(form, "shape.", 6) == 0 && std::strlen(form) >= 6) {
      name = form + 6;
      shapeElement = found;
      if (!line) line = found->GetAttributeValue("LINE");
    }
  }
  if (line && colors) color = colors->LookupOrAdd(line);
  if (CompareStringNoCase(name, "ellipse") == 0) {
    UseEllipse();
  } else if (CompareStringNoCase(name, "polygon") == 0 && document) {
    PolygonReader reader;
    ReadElementPoints(document, shapeElement, reader);
    SetPoints(reader.Points(), reader.Finish());
  }
}

Region* HotArea::Clone() const {
  auto* copy = new HotArea(document_, element_);
  copy->CopyGeometry(*this);
  return copy;
}

namespace {
// The host's chance at a clicked hotspot element (a: an element handle).
constexpr int kEventHotAreaElement = 38;
}  // namespace

void HotArea::Activate(View* view) {
  EngineBase* engine = GetEngine();
  HandleTable* handles = engine ? Handles() : nullptr;
  if (!handles || !document_ || !element_) return;
  // The host first (event 38 with the element), for the clicked view's window.
  WindowHandle window = 0;
  if (auto* shown = reinterpret_cast<ViewWindow*>(view))
    if (auto* device = dynamic_cast<WindowDevice*>(shown->GetDevice())) window = device->window();
  auto* ref = new NodeRef(document_, element_);
  const Handle handle = handles->RegisterNode(ref);
  if (!handle) {
    delete ref;
    return;
  }
  const std::intptr_t answer = engine->RaiseEvent(window, kEventHotAreaElement, static_cast<std::intptr_t>(handle), 0);
  handles->Release(handle);
  if (answer) return;
  // Else the hotspot element's links are followed as any element's are:
  // its ID references (LINKEND among them), link rules and locators, one
  // target shown at once, several offered as a list.
  FollowLink(view, document_, element_, false);
}

// ---- Areas of web anchors -------------------------------------------------------------------

WholeRegion::WholeRegion(Anchor* anchor) : anchor_(anchor) { Refresh(); }

void WholeRegion::Refresh() {
  UseRectangle();
  Location* location = anchor_ ? anchor_->GetLocation() : nullptr;
  HotspotArea area;
  if (!location || !location->GetArea(&area)) return;
  x = area.x, y = area.y, width = area.width, height = area.height;
  zoom = area.zoom;
  if (!location->IsDocumentLocation())
    color = static_cast<HotspotLocation*>(location)->Color();
  if (area.shape == kShapeEllipse) {
    UseEllipse();
  } else if (area.shape == kShapePolygon) {
    std::int16_t raw[2 * kMaxOutlinePoints];
    int count = location->GetOutline(raw);
    if (count > 2 && count <= kMaxOutlinePoints) {
      AreaPoint points[kMaxOutlinePoints];
      for (int i = 0; i < count; ++i) points[i] = {raw[2 * i], raw[2 * i + 1]};
      SetPoints(points, count);
    }
  }
}

Region* WholeRegion::Clone() const {
  auto* copy = new WholeRegion(anchor_);
  copy->CopyGeometry(*this);
  return copy;
}

void WholeRegion::Activate(View* view) {
  if (anchor_) anchor_->Activate(view);
}

// ---- Hit test ----------------------------------------------------------------------------------

Region* HitTestAreas(Region* first, const Placement& placed, const Document* limit, int x, int y) {
  if (placed.width <= 0 || placed.height <= 0) return nullptr;
  const int px = static_cast<int>(std::int64_t{x - placed.x} * kAreaUnits / placed.width);
  const int py = static_cast<int>(std::int64_t{y - placed.y} * kAreaUnits / placed.height);
  for (Region* r = first; r; r = r->next) {
    if (limit && r->GetDocument() && r->GetDocument() != limit) continue;
    if (r->Contains(px, py)) return r;
  }
  return nullptr;
}

}  // namespace qs
