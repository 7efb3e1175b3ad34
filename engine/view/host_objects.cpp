#include "view/host_objects.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "api/interface.h"
#include "api/node_ref.h"
#include "api/records.h"
#include "api/wrappers.h"
#include "foundation/engine.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "sgml/entities.h"
#include "view/document_view.h"
#include "view/notation_rules.h"
#include "view/picture_view.h"
#include "view/pictures.h"
#include "view/window_device.h"

namespace qs {

namespace {

using Word = std::intptr_t;
using Call0 = Word (*)(Word);
using Call2 = Word (*)(Word, Word);
using Call3 = Word (*)(Word, Word, Word);
using Call4 = Word (*)(Word, Word, Word, Word);

HostObjectType* g_types = nullptr;

template <class F>
F As(Word word) {
  return reinterpret_cast<F>(word);
}

Word Ptr(const void* p) { return reinterpret_cast<Word>(p); }

std::int16_t Side(std::int64_t v) {
  return static_cast<std::int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}

// One appearance of a host picture: the host's view.
class HostObjectRenderer : public ImageRenderer {
 public:
  HostObjectRenderer(HostGraphicObject* graphic, OutputDevice* owner, Word view,
                     const QsObjectSize& size)
      : ImageRenderer(graphic, owner), type_(graphic->type), view_(view) {
    type_->AddRef();
    width = naturalWidth_ = Side(size.width);
    minWidth = Side(size.widthStep);
    height = naturalHeight_ = Side(size.height);
    descent = naturalDescent_ = Side(size.descent);
  }
  ~HostObjectRenderer() override {
    if (Word w = type_->Word(kTypeDestroyView)) As<Call0>(w)(view_);
    type_->Release();
  }

  void SetWidth(int w) override { AskSize(kTypeSetWidth, w); }
  void SetHeight(int h) override { AskSize(kTypeSetHeight, h); }
  void ResetSize() override {
    if (Word w = type_->Word(kTypeResetSize)) {
      std::int32_t request[4] = {naturalWidth_, naturalHeight_, width, height};
      As<Call2>(w)(view_, Ptr(request));
      width = Side(request[2]), height = Side(request[3]);
    } else if (width != naturalWidth_ || height != naturalHeight_) {
      if (type_->Word(kTypeSetWidth)) AskSize(kTypeSetWidth, naturalWidth_);
      else width = naturalWidth_, height = naturalHeight_;
    }
    descent = naturalDescent_;
  }
  void Draw(OutputDevice* device, int x, int y, int highlight) override {
    Word w = type_->Word(kTypeDraw);
    if (!w || !device) return;
    if (x + width <= 0 || x >= device->width || y + height <= 0 || y >= device->height) return;
    QsObjectDevice record = Record(device, true, true);
    QsObjectRect rect{x, y, width, height};
    As<Call3>(w)(Ptr(&record), Ptr(&rect), highlight);
  }
  void Move(int x, int y) override {
    Word w = type_->Word(kTypeMove);
    if (!w) return;
    QsObjectDevice record = Record(owner, true, false);
    QsObjectRect rect{x, y, width, height};
    As<Call2>(w)(Ptr(&record), Ptr(&rect));
    if (Word after = type_->Word(kTypeAfterMove)) As<Call0>(after)(view_);
  }
  void DrawStretched(OutputDevice* device, int x, int y, int w, int h) override {
    Word word = type_->Word(kTypeDrawStretched);
    if (!word || !device) return;
    QsObjectDevice record = Record(device, true, true);
    QsObjectRect rect{x, y, w, h};
    As<Call2>(word)(Ptr(&record), Ptr(&rect));
  }
  void Print(OutputDevice* device, int x, int y) override {
    Word w = type_->Word(kTypePrint);
    if (!w || !device) return;
    QsObjectDevice record = Record(device, false, true);
    QsObjectRect rect{x, y, width, height};
    As<Call2>(w)(Ptr(&record), Ptr(&rect));
  }
  void UsePalette(void* handle) override {
    if (Word w = type_->Word(kTypeUsePalette)) As<Call2>(w)(view_, Ptr(handle));
  }
  void* GetPalette() override {
    Word w = type_->Word(kTypeGetPalette);
    return w ? reinterpret_cast<void*>(As<Call0>(w)(view_)) : nullptr;
  }
  Word View() const { return view_; }

 private:
  QsObjectDevice Record(OutputDevice* device, bool withWindow, bool withContext) const {
    QsObjectDevice record{view_, 0, 0, 0, 0};
    if (!device) return record;
    if (auto* wd = dynamic_cast<WindowDevice*>(device); wd && withWindow)
      record.window = static_cast<Word>(wd->window());
    record.width = device->width;
    record.height = device->height;
    if (withContext) record.dc = device->NativeContext();
    return record;
  }
  void AskSize(int word, int value) {
    Word w = type_->Word(word);
    if (!w) {
      if (word == kTypeSetWidth) ImageRenderer::SetWidth(value);
      else ImageRenderer::SetHeight(value);
      return;
    }
    std::int32_t request[3] = {value, width, height};
    As<Call2>(w)(view_, Ptr(request));
    width = Side(request[1]), height = Side(request[2]);
  }

  HostObjectType* type_;
  Word view_;
  std::int16_t naturalWidth_, naturalHeight_, naturalDescent_;
};

// The owner's window, 0 for a device of none.
Word OwnerWindow(OutputDevice* device) {
  auto* window = dynamic_cast<WindowDevice*>(device);
  return window ? static_cast<Word>(window->window()) : 0;
}

Word Raise(Word window, int event, Word a, Word b) {
  EngineBase* engine = GetEngine();
  return engine ? engine->RaiseEvent(static_cast<WindowHandle>(window), event, a, b) : 0;
}

// x and y in one value, 16 bits each.
Word Packed(int x, int y) {
  return static_cast<Word>((static_cast<std::uint32_t>(x) << 16) | (static_cast<std::uint32_t>(y) & 0xFFFF));
}

// A place of a host object an element asked for through event 31: the
// host's view, made through event 32.
class HostEventRenderer : public ImageRenderer {
 public:
  HostEventRenderer(GraphicObject* graphic, OutputDevice* owner, Word view, const QsHostViewSize& size)
      : ImageRenderer(graphic, owner), view_(view) {
    width = Side(size.width);
    minWidth = Side(size.widthStep);
    height = Side(std::int64_t{size.height} + size.descent);
    descent = Side(size.descent);
  }
  ~HostEventRenderer() override { Raise(OwnerWindow(owner), kEventHostViewGone, view_, 0); }
  void SetWidth(int w) override { Ask(w); }
  void ResetSize() override { Ask(width); }
  void Draw(OutputDevice* device, int x, int y, int) override {
    if (!device || x + width <= 0 || x >= device->width || y + height <= 0 || y >= device->height)
      return;
    QsObjectDevice record{view_, OwnerWindow(device), device->width, device->height, device->NativeContext()};
    Raise(OwnerWindow(owner), kEventHostViewDraw, Ptr(&record), Packed(x, y));
  }
  void Move(int x, int y) override { Raise(OwnerWindow(owner), kEventHostViewMove, view_, Packed(x, y)); }

 private:
  void Ask(int w) {
    std::int32_t record[4] = {w, width, height - descent, descent};
    Raise(OwnerWindow(owner), kEventHostViewSize, view_, Ptr(record));
    width = Side(record[1]);
    descent = Side(record[3]);
    height = Side(std::int64_t{record[2]} + record[3]);
  }
  Word view_;
};

// A host's own object for an element nothing else could show: 64 x 64.
class HostEventGraphic : public GraphicObject {
 public:
  HostEventGraphic(Word object, Document* context, DocumentNode* element, const char* key)
      : GraphicObject(nullptr, nullptr, element, context, key, 64, 64), object_(object) {}
  ~HostEventGraphic() override { Raise(0, kEventHostObjectGone, object_, 0); }
  ImageRenderer* MakeRenderer(OutputDevice* owner) override {
    QsHostViewSize size{};
    if (owner && owner->font) {
      size.ascent = owner->font->ascent;
      size.descent = owner->font->descent;
    }
    const Word view = Raise(OwnerWindow(owner), kEventHostView, object_, Ptr(&size));
    return view ? new HostEventRenderer(this, owner, view, size) : nullptr;
  }

 private:
  Word object_;
};

// The built-in loaders behind the host's types.
class EngineHandler : public BuiltinNotationHandler {
 public:
  GraphicObject* LoadEntity(EntityDecl* entity, const char* key, EntityDecl* mask) override {
    HandleTable* handles = GetEngine() ? Handles() : nullptr;
    for (HostObjectType* t = g_types; t && handles && entity; t = t->next) {
      Word create = t->Word(kTypeCreateForEntity);
      if (t->Key() != key || !create) continue;
      EntityRef* ref = EntityRef::OfEntity(entity);
      Handle handle = ref ? handles->RegisterEntity(ref) : 0;
      if (!handle) {
        delete ref;
        continue;
      }
      // The mask's file, when the picture has a mask.
      char maskFile[kPathBufferSize] = "";
      if (mask && mask->GetExternalId())
        if (HostedEngine* hosted = GetEngine()->AsHosted())
          if (!hosted->GetLocalFile(mask->GetExternalId(), maskFile, nullptr)) maskFile[0] = 0;
      QsObjectSize size{64, 8, 64, 0};
      const Word picture = As<Call4>(create)(static_cast<Word>(handle), t->Word(kTypeValue), Ptr(&size),
                                             maskFile[0] ? Ptr(maskFile) : 0);
      handles->Release(handle);
      if (picture)
        return new HostGraphicObject(t, picture, nullptr, nullptr, entity, mask, key, size.width,
                                     size.height, size.descent);
    }
    return BuiltinNotationHandler::LoadEntity(entity, key, mask);
  }
  GraphicObject* LoadElement(Document* context, DocumentNode* element, const char* key) override {
    HandleTable* handles = GetEngine() ? Handles() : nullptr;
    for (HostObjectType* t = g_types; t && handles && context && element; t = t->next) {
      Word create = t->Word(kTypeCreateForElement);
      if (t->Key() != key || !create) continue;
      auto* ref = new NodeRef(context, element);
      Handle handle = handles->RegisterNode(ref);
      if (!handle) {
        delete ref;
        continue;
      }
      QsObjectSize size{64, 8, 64, 0};
      const Word picture = As<Call3>(create)(static_cast<Word>(handle), t->Word(kTypeValue), Ptr(&size));
      handles->Release(handle);
      if (picture)
        return new HostGraphicObject(t, picture, context, element, nullptr, nullptr, key, size.width,
                                     size.height, size.descent);
    }
    if (GraphicObject* g = BuiltinNotationHandler::LoadElement(context, element, key)) return g;
    // Nothing can: the host once more (event 31).
    if (!handles || !context || !element) return nullptr;
    auto* ref = new NodeRef(context, element);
    const Handle handle = handles->RegisterNode(ref);
    if (!handle) {
      delete ref;
      return nullptr;
    }
    const Word object = Raise(0, kEventHostObject, static_cast<Word>(handle), Ptr(key));
    handles->Release(handle);
    return object ? new HostEventGraphic(object, context, element, key) : nullptr;
  }
  bool CanLoadElement(const char* key) override {
    if (BuiltinNotationHandler::CanLoadElement(key)) return true;
    for (HostObjectType* t = g_types; t; t = t->next)
      if (t->Key() == key && t->Word(kTypeCreateForElement)) return true;
    return false;
  }
};

EngineHandler g_handler;

}  // namespace

HostObjectType::HostObjectType(const std::intptr_t* record) {
  for (int i = 0; i < kTypeWordCount; ++i) words_[i] = record[i];
  key_ = nullptr;
  const char* text = reinterpret_cast<const char*>(record[kTypeKey]);
  EngineBase* engine = GetEngine();
  if (!text || !engine) return;
  char* upper = DuplicateString(text);
  if (!upper) return;
  for (char* p = upper; *p; ++p) *p = ToUpperAscii(*p);
  key_ = GetNotationNames(*engine).Intern(upper);
  MemFree(upper);
}

HostGraphicObject::HostGraphicObject(HostObjectType* t, std::intptr_t p, Document* context,
                                     DocumentNode* element, EntityDecl* entity,
                                     EntityDecl* maskEntity, const char* key, int width,
                                     int height, int descent)
    : GraphicObject(entity, maskEntity, element, context, key, Side(width), Side(height)),
      type(t),
      picture(p) {
  type->AddRef();
  this->descent = Side(descent);
}

HostGraphicObject::~HostGraphicObject() {
  if (Word w = type->Word(kTypeDestroyPicture)) As<Call0>(w)(picture);
  type->Release();
}

ImageRenderer* HostGraphicObject::MakeOverviewRenderer(OutputDevice* owner) {
  Word w = type->Word(kTypeSecondView);
  if (!w) return MakeScreenRenderer(owner);
  QsObjectSize size{width, 8, height, descent};
  const Word view = As<Call3>(w)(picture, OwnerWindow(owner), Ptr(&size));
  if (!view) return nullptr;
  ImageRenderer* r = new HostObjectRenderer(this, owner, view, size);
  if (owner) owner->AttachRenderer(r);
  return r;
}

ImageRenderer* HostGraphicObject::MakeRenderer(OutputDevice* owner) {
  QsObjectSize size{width, 8, height, descent};
  Word view = 0;
  if (auto* window = dynamic_cast<WindowDevice*>(owner); window || !owner) {
    Word w = type->Word(kTypeScreenView);
    if (!w) return nullptr;
    view = As<Call3>(w)(picture, window ? static_cast<Word>(window->window()) : 0, Ptr(&size));
  } else {
    Word w = type->Word(kTypePrintView);
    if (!w) return nullptr;
    // Sizes in the printer's pixels.
    auto scale = [](std::int32_t v, int dpi, int screen) {
      return static_cast<std::int32_t>(std::int64_t{v} * dpi / (screen > 0 ? screen : 96));
    };
    size.width = scale(size.width, owner->dpiX, GetScreenDpiX());
    size.widthStep = scale(size.widthStep, owner->dpiX, GetScreenDpiX());
    size.height = scale(size.height, owner->dpiY, GetScreenDpiX());
    size.descent = scale(size.descent, owner->dpiY, GetScreenDpiX());
    view = As<Call3>(w)(picture, owner->NativeContext(), Ptr(&size));
  }
  if (!view) return nullptr;
  return new HostObjectRenderer(this, owner, view, size);
}

void RegisterHostObjectType(const std::intptr_t* record) {
  if (!record || !GetEngine()) return;
  auto* type = new HostObjectType(record);
  if (!type->Key()) {
    type->Release();
    return;
  }
  HostObjectType** link = &g_types;
  while (*link) link = &(*link)->next;
  *link = type;
}

HostObjectType* FirstHostObjectType() { return g_types; }

void ClearHostObjectTypes() {
  while (HostObjectType* t = g_types) {
    g_types = t->next;
    t->next = nullptr;
    t->Release();
  }
}

NotationHandler& EngineNotationHandler() { return g_handler; }

namespace {

// `held`: uses the caller holds, which do not count as users.
bool Refresh(GraphicObject* graphic, int held) {
  GraphicCache& cache = GetGraphicCache();
  GraphicObject* found = nullptr;
  for (GraphicObject* g = cache.First(); g && !found; g = static_cast<GraphicObject*>(g->Next()))
    if (g == graphic) found = g;
  if (!found) return false;
  if (found->useCount <= held) {
    if (held) {
      found->Remove();
      found->orphaned = true;
      return true;
    }
    delete found;
    return true;
  }
  found->AddRef();
  // The document views showing the old graphic, before its renderers go.
  std::vector<DocumentView*> views;
  for (ImageRenderer* r = found->renderers; r; r = r->nextOfGraphic) {
    ViewWindow* shown = r->owner ? r->owner->view : nullptr;
    if (!shown || shown->GetKind() != 1) continue;
    auto* view = static_cast<DocumentView*>(shown);
    if (std::find(views.begin(), views.end(), view) != views.end()) continue;
    view->AddRef();
    views.push_back(view);
  }
  found->Remove();
  found->orphaned = true;
  GraphicObject* replacement = cache.Get(found->context, found->element, found->entity, found->key,
                                         found->maskEntity, true);
  while (PictureView* view = FindPictureViewOf(found)) {
    OutputDevice* device = view->GetDevice();
    view->SetGraphic(replacement && device ? replacement->MakeScreenRenderer(device) : nullptr);
  }
  for (DocumentView* view : views) {
    view->ReplaceObject(found, replacement);
    view->Release();
  }
  if (replacement) replacement->Release();
  found->Release();
  return true;
}

}  // namespace

bool RefreshGraphic(GraphicObject* graphic) { return Refresh(graphic, 0); }

int RefreshEntityGraphics(EntityDecl* entity) {
  if (!entity) return 0;
  GraphicCache& cache = GetGraphicCache();
  GraphicObject* matches[64];
  int count = 0;
  for (GraphicObject* g = cache.First(); g && count < 64; g = static_cast<GraphicObject*>(g->Next()))
    if (g->entity && SamePictureEntity(g->entity, entity)) {
      g->AddRef();
      matches[count++] = g;
    }
  for (int i = 0; i < count; ++i) {
    GraphicObject* g = matches[i];
    Refresh(g, 1);
    g->Release();
  }
  return count;
}

}  // namespace qs
