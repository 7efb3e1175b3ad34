#include "layout/entity_items.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/engine.h"
#include "foundation/memory.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "layout/char_boxes.h"
#include "layout/print_state.h"
#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/setup_file.h"
#include "style/text_template.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/graphic_object.h"

namespace qs {

namespace {

GraphicServices& Graphics() { return GetGraphicServices(); }

// A text of at most `room` - 1 bytes, cut before a character that would
// not fit whole.
void CopyCut(char* out, std::size_t room, const char* text) {
  std::size_t n = std::strlen(text);
  if (n >= room) {
    n = room - 1;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(out, text, n);
  out[n] = 0;
}

char* Duplicate(const char* text) {
  std::size_t n = std::strlen(text);
  auto* copy = static_cast<char*>(MemAlloc(n + 1));
  if (copy) std::memcpy(copy, text, n + 1);
  return copy;
}

// PUBLIC "id", else SYSTEM "id", else the name.
void NotationText(const NotationDecl* notation, char* out, std::size_t room) {
  char line[kTemplateBuffer];
  if (!notation) {
    DefaultName(line, sizeof line);
  } else if (notation->PublicId()) {
    std::snprintf(line, sizeof line, "PUBLIC \"%s\"", notation->PublicId());
  } else if (notation->SystemId()) {
    std::snprintf(line, sizeof line, "SYSTEM \"%s\"", notation->SystemId());
  } else {
    std::snprintf(line, sizeof line, "%s", notation->Name());
  }
  CopyCut(out, room, line);
}

}  // namespace

// ---- LAUNCH entries and command lines ---------------------------------------------------

SetupEntry* FindLaunchEntry(const EntityDecl* entity) {
  const NotationDecl* notation = entity ? entity->GetNotation() : nullptr;
  EngineBase* engine = GetEngine();
  SetupFile* setup = engine ? engine->setup.get() : nullptr;
  if (!notation || !setup) return nullptr;
  SetupEntry* entry = notation->PublicId() ? setup->FindPublic(notation->PublicId()) : nullptr;
  if (!entry && notation->Name() && *notation->Name()) entry = setup->FindEntity(notation->Name());
  return entry;
}

char* MakeLaunchCommand(const char* command, EntityDecl* entity, DocumentNode* context) {
  if (!command) return nullptr;
  const char* separator = std::strchr(command, ' ');
  if (!separator) separator = std::strchr(command, '\t');
  if (!separator) return Duplicate(command);

  char system[kPathBufferSize] = "?";
  char file[kPathBufferSize] = "?";
  ExternalId* id = entity ? entity->GetExternalId() : nullptr;
  if (char* path = id ? id->GetFilePath() : nullptr) {
    CopyCut(system, sizeof system, path);
    MemFree(path);
  }
  EngineBase* engine = GetEngine();
  HostedEngine* hosted = engine ? engine->AsHosted() : nullptr;
  if (id && hosted && !hosted->GetLocalFile(id, file, nullptr)) std::strcpy(file, "?");
  KeywordTable named(8);
  named.AddKeyword("system", reinterpret_cast<std::intptr_t>(system));
  named.AddKeyword("file", reinterpret_cast<std::intptr_t>(file));

  char expanded[kTemplateBuffer];
  const NotationDecl* notation = entity ? entity->GetNotation() : nullptr;
  ExpandTemplate(separator, nullptr, context, entity ? entity->GetDataAttributes() : nullptr,
                 notation ? &notation->Attributes() : nullptr, expanded, &named);
  // The program part is kept whole, whatever its length; the expansion is
  // at most 255 bytes.
  const std::size_t program = static_cast<std::size_t>(separator - command);
  const std::size_t rest = std::strlen(expanded);
  auto* line = static_cast<char*>(MemAlloc(program + rest + 1));
  if (!line) return nullptr;
  std::memcpy(line, command, program);
  std::memcpy(line + program, expanded, rest + 1);
  return line;
}

int FittedPictureSize(int current, int asked) {
  if (asked < 16) asked = 16;
  if (asked >= current) return current;
  const int least = current * 4 / 100;
  return asked < least ? least : asked;
}

// ---- EntityRefItem ----------------------------------------------------------------------

EntityRefItem::EntityRefItem(DocumentNode* context, EntityRefMark* mark, TextFormat* format,
                             GraphicObject* icon, bool inLink)
    : LayoutItem(static_cast<std::int32_t>(mark->Start()), format),
      context_(context),
      mark_(mark),
      icon_(icon),
      inLink_(inLink) {
  if (icon_) Graphics().AddRef(icon_);
}

EntityRefItem::~EntityRefItem() {
  if (icon_) Graphics().Release(icon_);
}

EntityDecl* EntityRefItem::Entity() const { return mark_->GetEntity(); }

LayoutItem* EntityRefItem::FindKeyItem(const void* key) {
  if (icon_ || FindLaunchEntry(Entity())) return nullptr;
  return EntityDecl::Equals(Entity(), static_cast<const EntityDecl*>(key)) ? this : nullptr;
}

void EntityRefItem::MakeBoxes(ListHead& boxes) {
  SetupEntry* launch = FindLaunchEntry(Entity());
  if (icon_ || launch) {
    boxes.Append(new ExternalEntityBox(this, launch));
    return;
  }
  DocumentView* view = CurrentDocumentView();
  GraphicRenderer* picture = nullptr;
  if (GraphicObject* graphic =
          Graphics().GetEntityGraphic(view ? view->GetDocument() : nullptr, Entity())) {
    if (view) picture = static_cast<GraphicRenderer*>(view->TakePicture(graphic, Format()));
    Graphics().Release(graphic);
  }
  if (picture)
    boxes.Append(new GraphicBox(this, picture));
  else
    boxes.Append(new NotationBox(this));
}

std::intptr_t EntityRefItem::HandleMessage(int, int, int message, std::intptr_t argument) {
  auto* change = reinterpret_cast<ObjectReplacement*>(argument);
  if (message != kMsgReplaceObject || !change || !icon_ || change->oldObject != icon_) return 0;
  Graphics().Release(icon_);
  icon_ = static_cast<GraphicObject*>(change->newObject);
  if (icon_) Graphics().AddRef(icon_);
  return 1;
}

// ---- ExternalEntityBox ------------------------------------------------------------------

ExternalEntityBox::ExternalEntityBox(EntityRefItem* item, SetupEntry* launch)
    : DisplayBox(item), launch_(launch), action_(launch ? launch->ActionKind() : kShowEntity) {
  DocumentView* view = CurrentDocumentView();
  if (view && item->Icon())
    picture_ = static_cast<GraphicRenderer*>(view->TakePicture(item->Icon(), item->Format()));
}

ExternalEntityBox::~ExternalEntityBox() {
  if (!picture_) return;
  if (DocumentView* view = CurrentDocumentView()) view->ReturnPicture(picture_, Item()->Format());
}

int ExternalEntityBox::GetAscent() {
  if (action_ == kInert) return 0;
  if (picture_) {
    PictureGeometry g = Graphics().Geometry(picture_);
    return g.height - g.descent;
  }
  return StockIconMetrics(12).ascent;
}

int ExternalEntityBox::GetDescent() {
  if (action_ == kInert) return 0;
  if (picture_) return Graphics().Geometry(picture_).descent;
  return StockIconMetrics(12).descent;
}

int ExternalEntityBox::GetWidth() {
  if (action_ == kInert) return 0;
  if (picture_) return Graphics().Geometry(picture_).width;
  return StockIconMetrics(12).width;
}

void ExternalEntityBox::Draw(int x, int y) {
  if (action_ == kInert) return;
  const int top = y - GetAscent();
  if (picture_) {
    Graphics().Draw(picture_, x, top, 0);
  } else if (OutputDevice* device = CurrentDevice()) {
    device->DrawIcon(12, x, top, 1);
  }
}

int ExternalEntityBox::PressRange(int, int, HitContext& context) {
  if (action_ == kInert) return 0;
  ViewRange::Init(context, this);
  return 1;
}

void ExternalEntityBox::ShowState(HitContext& context, bool pressed) {
  const int top = context.y0 - GetAscent() - BaselineOffset();
  if (DocumentView* view = CurrentDocumentView())
    view->FillBackground(context.x0 + context.left, top + context.top, context.x0 + context.right,
                         top + context.bottom);
  if (action_ == kInert) return;
  const int x = context.x0 + context.left, y = top + context.top;
  if (picture_) {
    Graphics().Draw(picture_, x, y, pressed ? 1 : 0);
  } else if (OutputDevice* device = CurrentDevice()) {
    device->DrawIcon(12, x, y, pressed ? 0 : 1);
  }
}

void ExternalEntityBox::PressFeedbackIfInside(HitContext& context) {
  if (context.ContainsSecondPoint()) ShowState(context, true);
}

void ExternalEntityBox::PressFeedbackOff(HitContext& context) { ShowState(context, false); }

void ExternalEntityBox::Activate(DocumentView* view, HitContext*) {
  EntityDecl* entity = Ref()->Entity();
  if (!view || !entity) return;
  if (view->OfferEntity(entity)) return;
  switch (action_) {
    case kLaunch: {
      char* line = MakeLaunchCommand(launch_ ? launch_->ActionText() : nullptr, entity,
                                     Ref()->Context());
      if (line) view->RunProgram(line, entity);
      MemFree(line);
      break;
    }
    case kShowEntity:
      view->ShowEntity(entity, 0);
      break;
    default:
      break;
  }
}

// ---- NotationBox ------------------------------------------------------------------------

NotationBox::NotationBox(EntityRefItem* item) : DisplayBox(item) {
  EntityDecl* entity = item->Entity();
  char text[kTemplateBuffer];
  char line[kTemplateBuffer];
  NotationText(entity ? entity->GetNotation() : nullptr, text, sizeof text);
  std::snprintf(line, sizeof line, "NOTATION %s", text);
  notationLine_ = Duplicate(line);
  ExternalId* id = entity ? entity->GetExternalId() : nullptr;
  if (id) {
    id->Format(text, sizeof text);
  } else if (entity && entity->GetName()) {
    CopyCut(text, sizeof text, entity->GetName());
  } else {
    DefaultName(text, sizeof text);
  }
  std::snprintf(line, sizeof line, "ENTITY %s", text);
  entityLine_ = Duplicate(line);

  OutputDevice* device = CurrentDevice();
  Font* font = device ? device->GetDefaultFont(false, false) : nullptr;
  if (!font) return;
  height_ = static_cast<std::int16_t>(2 * font->ascent + 2 * font->descent + 10);
  const int a = notationLine_ ? font->Measure(notationLine_, std::strlen(notationLine_)) : 0;
  const int b = entityLine_ ? font->Measure(entityLine_, std::strlen(entityLine_)) : 0;
  width_ = static_cast<std::int16_t>((a > b ? a : b) + 6);
  font->DropUse();
}

NotationBox::~NotationBox() {
  MemFree(notationLine_);
  MemFree(entityLine_);
}

void NotationBox::Draw(int x, int y) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  device->SetColor(device->GetInkColor());
  device->FrameRect(x + 1, y - height_, x + 1 + width_, y);
  device->DrawLine(x + 3, y + 1, x + 2 + width_, y + 1);
  device->DrawLine(x + 2 + width_, y - height_ + 2, x + 2 + width_, y + 1);
  Font* font = device->GetDefaultFont(false, false);
  if (!font) return;
  device->UseFont(font);
  const int a = font->ascent, h = font->ascent + font->descent;
  if (notationLine_)
    device->DrawText(x + 5, y - 2 * h - 5 + a, notationLine_, std::strlen(notationLine_));
  if (entityLine_) device->DrawText(x + 5, y - h - 3 + a, entityLine_, std::strlen(entityLine_));
  font->DropUse();
}

// ---- Page fitting shared by pictures and widgets ------------------------------------------

namespace {

// The room a picture is fitted to on a page: the room left when it is
// more than three quarters of a page, else a whole page; 0 when there is
// no page to measure by.
int PageRoom(int firstLimit, int nextLimit) {
  if (nextLimit <= 0) return 0;
  const long long share = static_cast<long long>(firstLimit) * 100 / nextLimit;
  return share > 75 ? firstLimit : nextLimit;
}

void FitToPage(GraphicRenderer* picture, int firstLimit, int nextLimit) {
  if (!picture || !GetPrintState().fitGraphicsToPage) return;
  const int room = PageRoom(firstLimit, nextLimit);
  const PictureGeometry g = Graphics().Geometry(picture);
  if (room <= 0 || g.height <= 0 || g.width <= 0 || g.height <= room) return;
  const int fitted = FittedPictureSize(g.height, room);
  if (fitted < g.height) Graphics().FitHeight(picture, fitted);
}

bool FitsToWindow() {
  DocumentView* view = CurrentDocumentView();
  return view && (view->options & DocumentView::kFitGraphics);
}

void FitToWidth(GraphicRenderer* picture, int width) {
  const PictureGeometry g = Graphics().Geometry(picture);
  if (g.width <= 0) return;
  const int asked = width > g.minWidth ? width : g.minWidth;
  const int fitted = FittedPictureSize(g.width, asked);
  if (fitted < g.width) Graphics().FitWidth(picture, fitted);
}

}  // namespace

// ---- GraphicBox -------------------------------------------------------------------------

GraphicBox::GraphicBox(EntityRefItem* item, GraphicRenderer* picture)
    : DisplayBox(item), picture_(picture) {}

GraphicBox::~GraphicBox() {
  delete pressedArea_;
  if (!picture_) return;
  if (DocumentView* view = CurrentDocumentView()) view->ReturnPicture(picture_, Item()->Format());
}

int GraphicBox::GetAscent() {
  PictureGeometry g = Graphics().Geometry(picture_);
  return g.height - g.descent;
}

int GraphicBox::GetDescent() { return Graphics().Geometry(picture_).descent; }
int GraphicBox::GetWidth() { return Graphics().Geometry(picture_).width; }

int GraphicBox::GetMinWidth() {
  PictureGeometry g = Graphics().Geometry(picture_);
  return FitsToWindow() ? g.minWidth : g.width;
}

void GraphicBox::SplitAt(int width) {
  if (FitsToWindow()) FitToWidth(picture_, width);
}

void GraphicBox::AppendTo(int firstLimit, int nextLimit, ListHead& list) {
  FitToPage(picture_, firstLimit, nextLimit);
  list.Append(this);
}

void GraphicBox::Draw(int x, int y) {
  DocumentView* view = CurrentDocumentView();
  if (OutputDevice* device = CurrentDevice())
    device->SetDrawFlag(view && (view->options & DocumentView::kGraphicsDrawFlag));
  Graphics().Draw(picture_, x, y - GetAscent(), 0);
  if (view) DrawMarkedRegion(view, x, y - GetAscent());
}

// The region the view marks on this entity's picture stays outlined in red
// until the view drops it, so the reader sees what the host was told.
void GraphicBox::DrawMarkedRegion(DocumentView* view, int x, int top) {
  EntityDecl* marked = view->RegionEntity();
  OutputDevice* device = CurrentDevice();
  if (!marked || !device || !SamePictureEntity(marked, Ref()->Entity())) return;
  const PictureGeometry g = Graphics().Geometry(picture_);
  if (g.width <= 0 || g.height <= 0) return;
  const int* r = view->RegionBounds();
  auto scale = [](int units, int size) {
    return static_cast<int>(static_cast<long long>(units) * size / 2048);
  };
  const int left = x + scale(r[0], g.width), upper = top + scale(r[1], g.height);
  const int right = x + scale(r[0] + r[2], g.width), lower = top + scale(r[1] + r[3], g.height);
  device->SelectColor(device->GetColor("red"));
  // At least one pixel each way, so a narrow region still shows.
  device->FrameRect(left, upper, std::max(right, left + 1) + 1, std::max(lower, upper + 1) + 1);
}

void GraphicBox::HighlightRanges(MarkRecord& record) {
  const RangeEntry* range = record.entry;
  if (!range || range->start > GetStart() || range->end < GetEnd()) return;
  if (OutputDevice* device = CurrentDevice())
    device->InvertRect(record.x, record.top, record.x + GetWidth(), record.top + record.height);
}

bool GraphicBox::HotAreaAt(int x, int y, PictureHotArea* area) {
  PictureGeometry g = Graphics().Geometry(picture_);
  return Graphics().HotAreaAt(picture_, x + g.originX, y + g.originY, area);
}

int GraphicBox::GetPointerKindAt(int x, int y) {
  PictureHotArea area;
  if (HotAreaAt(x, y, &area)) return area.pointerKind;
  return Ref()->InLink() ? 1 : 0;
}

std::intptr_t GraphicBox::HotAreaInfoAt(int x, int y) {
  PictureHotArea area;
  return HotAreaAt(x, y, &area) ? area.info : 0;
}

namespace {
bool RegionMode() {
  DocumentView* view = CurrentDocumentView();
  return view && (view->options & DocumentView::kRegionSelection);
}
}  // namespace

int GraphicBox::PressRange(int x, int y, HitContext& context) {
  PictureHotArea area;
  if (HotAreaAt(x, y, &area)) {
    const PictureGeometry g = Graphics().Geometry(picture_);
    ViewRange::Init(context, this);
    context.left = static_cast<int>(static_cast<long long>(area.x) * g.scaleX / 2048);
    context.top = static_cast<int>(static_cast<long long>(area.y) * g.scaleY / 2048);
    context.right = static_cast<int>(static_cast<long long>(area.x + area.width) * g.scaleX / 2048);
    context.bottom =
        static_cast<int>(static_cast<long long>(area.y + area.height) * g.scaleY / 2048);
    context.selection = -2;
    delete pressedArea_;
    pressedArea_ = new PictureHotArea(area);
    return 1;
  }
  if (Ref()->InLink()) {
    ViewRange::Init(context, this);
    context.selection = -1;
    return 1;
  }
  if (RegionMode()) {
    // A re-layout would delete this box: the view defers it to the
    // pointer operation's end.
    if (DocumentView* view = CurrentDocumentView()) view->Reformat();
    ViewRange::Init(context, this);
    const int width = GetWidth() > 0 ? GetWidth() : 1;
    context.selection = y * width + x;
    return 1;
  }
  return 0;
}

void GraphicBox::InvertPicture(HitContext& context) {
  if (OutputDevice* device = CurrentDevice()) {
    const int top = context.y0 - context.ascent;
    device->InvertRect(context.x0 + context.left, top + context.top, context.x0 + context.right,
                       top + context.bottom);
  }
}

// The focus rectangle between the press point and (x, y), both relative
// to the box's top-left corner.
void GraphicBox::FocusTo(HitContext& context, int x, int y) {
  OutputDevice* device = CurrentDevice();
  if (!device || context.selection < 0) return;
  const int width = GetWidth() > 0 ? GetWidth() : 1;
  const int px = context.selection % width, py = context.selection / width;
  const int left = context.x0, top = context.y0 - context.ascent;
  device->DrawFocusRect(left + (px < x ? px : x), top + (py < y ? py : y),
                        left + (px < x ? x : px), top + (py < y ? y : py));
}

void GraphicBox::HideSelection(HitContext& context) {
  if (context.selection == -1) {
    InvertPicture(context);
  } else if (context.selection == -2 && pressedArea_) {
    Graphics().ShowHotArea(picture_, *pressedArea_, false);
  }
}

namespace {
int RelativeX(const HitContext& c, int x) { return x - c.x0; }
int RelativeY(const HitContext& c, int y) { return y - (c.y0 - c.ascent); }
}  // namespace

void GraphicBox::PressFeedbackOn(HitContext& context) {
  if (context.selection == -1)
    InvertPicture(context);
  else if (context.selection == -2 && pressedArea_)
    Graphics().ShowHotArea(picture_, *pressedArea_, true);
}

void GraphicBox::PressTrack(HitContext& context) {
  FocusTo(context, RelativeX(context, context.currentX), RelativeY(context, context.currentY));
}

int GraphicBox::PressContinue(HitContext& context) {
  if (context.selection < 0) {
    if (RegionMode()) {
      HideSelection(context);
      if (DocumentView* view = CurrentDocumentView()) view->Reformat();
      ViewRange::Init(context, this);
      const int width = GetWidth() > 0 ? GetWidth() : 1;
      context.selection = RelativeY(context, context.pressY) * width + RelativeX(context, context.pressX);
      FocusTo(context, RelativeX(context, context.currentX), RelativeY(context, context.currentY));
    }
    return 1;
  }
  if (context.ContainsFirstPoint())
    FocusTo(context, RelativeX(context, context.pressX), RelativeY(context, context.pressY));
  if (context.ContainsSecondPoint())
    FocusTo(context, RelativeX(context, context.currentX), RelativeY(context, context.currentY));
  return 1;
}

void GraphicBox::PressFeedbackIfInside(HitContext& context) {
  if (!context.ContainsSecondPoint()) return;
  if (context.selection == -1)
    InvertPicture(context);
  else if (context.selection == -2 && pressedArea_)
    Graphics().ShowHotArea(picture_, *pressedArea_, true);
  else
    FocusTo(context, RelativeX(context, context.currentX), RelativeY(context, context.currentY));
}

int GraphicBox::PressRelease(HitContext& context) {
  if (context.selection < 0 && RegionMode()) {
    HideSelection(context);
    const int width = GetWidth() > 0 ? GetWidth() : 1;
    context.selection = RelativeY(context, context.pressY) * width + RelativeX(context, context.pressX);
  }
  return 1;
}

void GraphicBox::PressFeedbackOff(HitContext& context) {
  if (context.selection == -1)
    InvertPicture(context);
  else if (context.selection == -2 && pressedArea_)
    Graphics().ShowHotArea(picture_, *pressedArea_, false);
  else
    FocusTo(context, RelativeX(context, context.pressX), RelativeY(context, context.pressY));
}

void GraphicBox::Activate(DocumentView* view, HitContext* context) {
  if (!view || !context) return;
  if (context->selection == -2) {
    if (pressedArea_) Graphics().ActivateHotArea(view, picture_, *pressedArea_);
    return;
  }
  if (context->selection == -1) return;  // whole-picture links follow with the links
  const PictureGeometry g = Graphics().Geometry(picture_);
  if (g.width <= 0 || g.height <= 0) return;
  const int width = GetWidth() > 0 ? GetWidth() : 1;
  const int px = context->selection % width, py = context->selection / width;
  const int cx = RelativeX(*context, context->currentX), cy = RelativeY(*context, context->currentY);
  if (cx == px || cy == py) return;
  auto units = [](int value, int size) {
    int u = static_cast<int>(static_cast<long long>(value) * 2048 / size);
    if (static_cast<long long>(u) * size / 2048 < value) ++u;
    return u;
  };
  const int x1 = units(px, g.width), y1 = units(py, g.height);
  const int x2 = units(cx, g.width), y2 = units(cy, g.height);
  PictureHotArea region;
  region.x = x1 < x2 ? x1 : x2;
  region.y = y1 < y2 ? y1 : y2;
  region.width = std::abs(x2 - x1);
  region.height = std::abs(y2 - y1);
  view->SetHighlight(Ref()->Entity(), &region);
}

// ---- WidgetItem and WidgetBox -------------------------------------------------------------

GraphicObject* const WidgetItem::kNoGraphic = reinterpret_cast<GraphicObject*>(1);

WidgetItem::WidgetItem(DocumentNode* element, InternedName* widget, TextFormat* format)
    : LayoutItem(static_cast<std::int32_t>(element->start), format),
      element_(element),
      widget_(widget) {}

WidgetItem::~WidgetItem() {
  if (graphic_ && graphic_ != kNoGraphic) Graphics().Release(graphic_);
  if (widget_) widget_->Release();
}

const char* WidgetItem::WidgetName() const { return widget_ ? widget_->Text() : ""; }

std::int32_t WidgetItem::GetLength() {
  return static_cast<std::int32_t>(element_->end - element_->start);
}

void WidgetItem::MakeBoxes(ListHead& boxes) {
  if (!graphic_) {
    DocumentView* view = CurrentDocumentView();
    graphic_ = Graphics().GetWidgetGraphic(view ? view->GetDocument() : nullptr, element_,
                                           WidgetName());
    if (!graphic_) graphic_ = kNoGraphic;
  }
  boxes.Append(new WidgetBox(this));
}

std::intptr_t WidgetItem::HandleMessage(int, int, int message, std::intptr_t argument) {
  auto* change = reinterpret_cast<ObjectReplacement*>(argument);
  if (message != kMsgReplaceObject || !change || !graphic_ || graphic_ == kNoGraphic ||
      change->oldObject != graphic_)
    return 0;
  Graphics().Release(graphic_);
  graphic_ = static_cast<GraphicObject*>(change->newObject);
  if (graphic_)
    Graphics().AddRef(graphic_);
  else
    graphic_ = kNoGraphic;
  return 1;
}

WidgetBox::WidgetBox(WidgetItem* item) : DisplayBox(item) {
  DocumentView* view = CurrentDocumentView();
  GraphicObject* graphic = item->Graphic();
  if (view && graphic && graphic != WidgetItem::kNoGraphic)
    picture_ = static_cast<GraphicRenderer*>(view->TakePicture(graphic, item->Format()));
  if (picture_) {
    TakeGeometry();
    return;
  }
  OutputDevice* device = CurrentDevice();
  Font* font = device ? device->GetDefaultFont(false, false) : nullptr;
  if (!font) return;
  char label[kTemplateBuffer + 16];
  std::snprintf(label, sizeof label, "Widget: %s", item->WidgetName());
  ascent_ = static_cast<std::int16_t>(font->ascent + 2);
  descent_ = static_cast<std::int16_t>(font->descent + 3);
  width_ = static_cast<std::int16_t>(font->Measure(label, std::strlen(label)) + 6);
  font->DropUse();
}

WidgetBox::~WidgetBox() {
  if (!picture_) return;
  if (DocumentView* view = CurrentDocumentView()) view->ReturnPicture(picture_, Item()->Format());
}

void WidgetBox::TakeGeometry() {
  const PictureGeometry g = Graphics().Geometry(picture_);
  width_ = static_cast<std::int16_t>(g.width);
  descent_ = static_cast<std::int16_t>(g.descent);
  ascent_ = static_cast<std::int16_t>(g.height - g.descent);
}

int WidgetBox::GetMinWidth() {
  if (!picture_ || !FitsToWindow()) return width_;
  return Graphics().Geometry(picture_).minWidth;
}

void WidgetBox::SplitAt(int width) {
  if (!picture_ || !FitsToWindow()) return;
  FitToWidth(picture_, width);
  TakeGeometry();
}

void WidgetBox::AppendTo(int firstLimit, int nextLimit, ListHead& list) {
  if (picture_) {
    FitToPage(picture_, firstLimit, nextLimit);
    TakeGeometry();
  }
  list.Append(this);
}

void WidgetBox::Draw(int x, int y) {
  if (picture_) {
    Graphics().Draw(picture_, x, y - ascent_, 0);
    return;
  }
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  Font* font = device->GetDefaultFont(false, false);
  if (font) device->UseFont(font);
  device->SetColor(device->GetInkColor());
  device->FrameRect(x, y - ascent_, x + width_ - 2, y + descent_ - 1);
  device->DrawLine(x + 2, y + descent_, x + width_ - 1, y + descent_);
  device->DrawLine(x + width_ - 1, y + descent_, x + width_ - 1, y - ascent_ + 1);
  char label[kTemplateBuffer + 16];
  const int n = std::snprintf(label, sizeof label, "Widget: %s",
                              static_cast<WidgetItem*>(Item())->WidgetName());
  device->DrawText(x + 2, y, label, static_cast<std::size_t>(n < 0 ? 0 : n) < sizeof label
                                        ? static_cast<std::size_t>(n < 0 ? 0 : n)
                                        : sizeof label - 1);
  if (font) font->DropUse();
}

}  // namespace qs
