#include "style/formatter.h"

#include <new>
#include <utility>

#include "foundation/engine_services.h"
#include "foundation/errors.h"
#include "foundation/names.h"
#include "layout/counters.h"
#include "layout/entity_items.h"
#include "layout/generated_text.h"
#include "layout/layout_item.h"
#include "layout/mark_items.h"
#include "layout/tag_items.h"
#include "layout/text_item.h"
#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/model_names.h"
#include "sgml/mark_kinds.h"
#include "style/cals_table.h"
#include "style/style_rules.h"
#include "style/style_sheet.h"
#include "style/text_format.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/graphic_services.h"

namespace qs {

namespace {

// Engine error 0's numbers.
constexpr int kFaultIconMark = 2;
constexpr int kFaultGlobalsDepth = 17;

MergedStyleCache* g_mergedCache = nullptr;
struct SavedGlobals {
  FormatCache* formats;
  MergedStyleCache* merged;
};
SavedGlobals g_saved[kFormatterGlobalsDepth];
int g_savedDepth = 0;
// Acquisitions refused past the save stack; their releases change nothing.
int g_refused = 0;
int g_skipCount = 0;

template <class T, class... Args>
T* MakeItem(GlobalArena& pool, Args&&... args) {
  static_assert(alignof(T) <= GlobalArena::kAlignment);
  void* block = pool.Allocate(sizeof(T), alignof(T));
  return block ? ::new (block) T(std::forward<Args>(args)...) : nullptr;
}

bool IsLinkSource(const DocumentNode* element) { return element->flags & 0x12; }

}  // namespace

// ---- Merged styles --------------------------------------------------------------------

MergedStyleCache::~MergedStyleCache() {
  for (Entry*& head : buckets_)
    while (Entry* e = head) {
      head = e->next;
      delete e->merged;
      delete e;
    }
}

ElementStyle* MergedStyleCache::Get(const ElementStyle* style, const ElementStyle* qualified) {
  auto a = reinterpret_cast<std::uintptr_t>(qualified), b = reinterpret_cast<std::uintptr_t>(style);
  Entry*& head = buckets_[((a % 13717) + (b % 19937)) % kBuckets];
  for (Entry* e = head; e; e = e->next)
    if (e->style == style && e->qualified == qualified) return e->merged;
  auto* merged = new ElementStyle;
  auto* entry = merged ? new Entry{style, qualified, merged, head} : nullptr;
  if (!entry) {
    delete merged;
    return nullptr;
  }
  merged->MergeFrom(*style);
  merged->MergeFrom(*qualified);
  head = entry;
  ++count_;
  return merged;
}

MergedStyleCache* CurrentMergedStyleCache() { return g_mergedCache; }
int FormatterGlobalsDepth() { return g_savedDepth; }
int FormatterSkipCount() { return g_skipCount; }

void AcquireFormatterGlobals() {
  if (g_savedDepth == kFormatterGlobalsDepth) {
    ReportEngineError(kErrInternal, kFaultGlobalsDepth);
    ++g_refused;
    return;
  }
  auto* formats = new FormatCache;
  auto* merged = new MergedStyleCache;
  g_saved[g_savedDepth++] = {SetFormatCache(formats), g_mergedCache};
  g_mergedCache = merged;
}

void ReleaseFormatterGlobals(FrameNode* frame) {
  // The colours the run used become the frame's palette, also after a
  // refused acquire (the run then used the outer caches).
  if (frame) frame->SetPalette(BuildPalette(frame));
  if (g_refused) {
    --g_refused;
    return;
  }
  if (g_savedDepth == 0) return;
  SavedGlobals saved = g_saved[--g_savedDepth];
  delete SetFormatCache(saved.formats);
  delete g_mergedCache;
  g_mergedCache = saved.merged;
}

// ---- The walk -------------------------------------------------------------------------

class FormatterWalk : public TreeVisitor {
 public:
  explicit FormatterWalk(DocumentFormatter& f) : f_(f) {}
  int VisitElement(DocumentNode* e) override { return f_.EnterElement(e); }
  int VisitData(DocumentNode* e, std::uint32_t from, std::uint32_t to) override {
    return f_.DataRange(e, from, to);
  }
  void LeaveElement(DocumentNode* e) override { f_.LeaveElement(e); }

 private:
  DocumentFormatter& f_;
};

DocumentFormatter::DocumentFormatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
                                     TextFormat* baseFormat, DocumentNode* root)
    : Formatter(view, items, document, baseFormat,
                root ? root : (document ? document->Root() : nullptr)),
      pool_(&view->GetFrame()->ItemPool().Arena()),
      target_(items ? &items->items : nullptr) {
  ResetNumbers();
  FormatCache* cache = CurrentFormatCache();
  if (baseFormat && cache) {
    formats_[0] = cache->Get(nullptr, baseFormat);
  } else {
    StyleProps none;
    formats_[0] = new TextFormat(&none, nullptr);
    rootHasAncestors_ = this->root && document && this->root != document->Root();
  }
  mark_ = document ? document->FirstMark() : nullptr;
  markPosition_ = mark_ ? mark_->Start() : 2147483647u;
}

void DocumentFormatter::RestartMarks() {
  mark_ = document ? document->FirstMark() : nullptr;
  markPosition_ = mark_ ? mark_->Start() : 2147483647u;
  lastRecordEnd_ = -2;
}

DocumentFormatter::~DocumentFormatter() {
  DeleteCalsRunCache(calsCache_);
  for (int i = formatDepth_; i >= 0; --i)
    if (formats_[i]) formats_[i]->Release();
}

void DocumentFormatter::ResetNumbers() {
  for (auto& cell : cells_) cell = 0;
  level_ = 0;
}

void DocumentFormatter::AddPendingBreak(int space) {
  pendingBreak_ = true;
  pendingSpace_ += space;
}

void DocumentFormatter::AppendItem(LayoutItem* item) {
  if (!item || !target_) return;
  if (pendingBreak_) {
    if (auto* b = MakeItem<BreakItem>(*pool_, item->Position(), GetCurrentFormat(),
                                      static_cast<std::int16_t>(pendingSpace_)))
      target_->Append(b);
    pendingBreak_ = false;
    pendingSpace_ = 0;
  }
  target_->Append(item);
}

void DocumentFormatter::Run(bool withBreaks) {
  if (!root) return;
  if (view) {
    if (view->root == root) ResolveStyle();
    std::uint32_t flags = view->GetFlags();
    showTags_ = flags & 1;
    showInstructions_ = flags & 2;
  }
  if (withBreaks && IsContentShown())
    AppendItem(MakeItem<BreakItem>(*pool_, static_cast<std::int32_t>(root->start),
                                   GetCurrentFormat(), static_cast<std::int16_t>(pendingSpace_)));
  if (rootHasAncestors_ && root->Parent()) ResolveStyleTo(root->Parent());
  FormatterWalk walk(*this);
  walk.Run(root);
  if (rootHasAncestors_ && root->Parent()) UnwindStyleTo(root->Parent());
  pendingBreak_ = false;
  if (withBreaks && IsContentShown())
    AppendItem(MakeItem<BreakItem>(*pool_, static_cast<std::int32_t>(root->end),
                                   GetCurrentFormat(), static_cast<std::int16_t>(pendingSpace_)));
}

// ---- Stacks -------------------------------------------------------------------------------

bool DocumentFormatter::PushStyle(ElementStyle* style) {
  if (styleDepth_ == kStyleDepth) return false;
  styles_[++styleDepth_] = style;
  pushedShow_[styleDepth_] = 0;
  pushedLevel_[styleDepth_] = 0;
  return true;
}

void DocumentFormatter::PushFormat(const ElementStyle* style) {
  const StyleProps* props = style;
  PushScale(props->fontScale);
  TextFormat* current = GetCurrentFormat();
  FormatCache* cache = CurrentFormatCache();
  TextFormat* made = cache ? cache->Get(props, current) : new TextFormat(props, current);
  if (formatDepth_ + 1 < static_cast<int>(sizeof formats_ / sizeof formats_[0]) && made) {
    formats_[++formatDepth_] = made;
  } else {
    if (made) made->Release();
    ++formatOverflow_;
  }
}

void DocumentFormatter::PushBlockFormat(const TextBlockStyle* block) {
  PushScale(block->fontScale);
  TextFormat* current = GetCurrentFormat();
  FormatCache* cache = CurrentFormatCache();
  TextFormat* made = cache ? cache->Get(block, current) : new TextFormat(block, current);
  if (formatDepth_ + 1 < static_cast<int>(sizeof formats_ / sizeof formats_[0]) && made) {
    formats_[++formatDepth_] = made;
  } else {
    if (made) made->Release();
    ++formatOverflow_;
  }
}

void DocumentFormatter::PopFormat(const ElementStyle* style) {
  PopBlockFormatScale(style->fontScale);
}

void DocumentFormatter::PopBlockFormat(const TextBlockStyle* block) {
  PopBlockFormatScale(block->fontScale);
}

void DocumentFormatter::PopBlockFormatScale(std::uint16_t scale) {
  if (formatOverflow_) {
    --formatOverflow_;
  } else if (formatDepth_ > 0) {
    formats_[formatDepth_--]->Release();
  }
  PopScale(scale);
}

void DocumentFormatter::OpenLinkLevel(DocumentNode* element) {
  if (!IsLinkSource(element)) return;
  ++linkDepth_;
  if (linkDepth_ <= kShowDepth) linkContent_[linkDepth_] = 0;
}

void DocumentFormatter::CloseLinkLevel(DocumentNode* element) {
  if (IsLinkSource(element) && linkDepth_ > 0) --linkDepth_;
}

void DocumentFormatter::NoteLinkContent() {
  if (linkDepth_ > 0 && linkDepth_ <= kShowDepth) linkContent_[linkDepth_] = 1;
}

bool DocumentFormatter::OwnMarkers(DocumentNode* element) const {
  return element != root || !element->Parent();
}

bool DocumentFormatter::OwnText(DocumentNode* element) const {
  return !view || element != view->root || !element->Parent();
}

// ---- Styles -------------------------------------------------------------------------------

ElementStyle* DocumentFormatter::MergeQualified(StyleRule* rule, DocumentNode* element) {
  if (!rule) return nullptr;
  ElementStyle* merged = rule;
  for (QualStyle* q = rule->FirstQual(); q; q = StyleRule::NextQual(q)) {
    QualifierNode* qualifier = q->Qualifier();
    if (!qualifier || !qualifier->Match(document, element, view)) continue;
    MergedStyleCache* cache = g_mergedCache;
    if (ElementStyle* m = cache ? cache->Get(merged, q) : nullptr) merged = m;
  }
  return merged;
}

std::uint8_t DocumentFormatter::OpenNumbering(ElementStyle* merged,
                                              std::uint16_t (&cells)[kNumberCells], int& level,
                                              std::uint8_t (&levels)[kShowDepth + 1],
                                              int& levelDepth) {
  const int kind = merged->numbering & 0x0F;
  const auto type = static_cast<std::uint16_t>(((merged->numbering >> 4) & 7) << 13);
  switch (kind) {
    case 1:
      merged->counter =
          static_cast<std::uint16_t>(type | (((merged->counter & 0x1FFF) + 1) & 0x1FFF));
      return 0;
    case 2:  // a list opens: its own level and two fresh cells
      if (levelDepth >= kShowDepth || level + 3 >= kNumberCells) return 0;
      ++level;
      cells[level] = type;
      levels[++levelDepth] = static_cast<std::uint8_t>(level);
      ++level;
      cells[level] = 0;
      cells[level + 1] = 0;
      return 2;
    case 3:
      if (level + 2 >= kNumberCells) return 0;
      cells[level] = static_cast<std::uint16_t>(type | (cells[level] & 0x1FFF));
      ++level;
      cells[level] = 0;
      cells[level + 1] = 0;
      return 3;
    case 4: {
      if (level == 0) return 0;
      std::uint16_t& cell = cells[level - 1];
      cell = static_cast<std::uint16_t>((cell & 0xE000) | (((cell & 0x1FFF) + 1) & 0x1FFF));
      return 4;
    }
    default:
      return 0;
  }
}

static StyleRule* RuleFor(DocumentNode* element) {
  ElementTypeDecl* decl = element->Decl();
  if (!decl || !decl->styleEntry) return nullptr;
  return reinterpret_cast<StyleTagEntry*>(decl->styleEntry)->FindForElement(element);
}

int DocumentFormatter::ApplyElementStyle(StyleRule* rule, DocumentNode* element) {
  ElementStyle* merged = MergeQualified(rule, element);
  if (!PushStyle(merged)) return -1;
  if (!merged) return 1;
  PushFormat(merged);
  if (std::uint8_t pushed = OpenNumbering(merged, cells_, level_, levels_, levelDepth_))
    pushedLevel_[styleDepth_] = pushed;
  int shown = -1;
  switch (merged->Visible()) {
    case StyleProps::kVisibleHide: shown = 0; break;
    case StyleProps::kVisibleShow: shown = 1; break;
    case StyleProps::kVisibleQuery: {
      DocumentView* host = CurrentDocumentView();
      int answer = host ? host->AskHostForLocation(document, element) : 0;
      shown = answer == 0 ? 1 : 0;
      if (answer == 2) {
        PushShow(0);
        return 0;
      }
      break;
    }
    default: break;
  }
  if (shown >= 0) PushShow(static_cast<std::uint8_t>(shown));
  return 1;
}

void DocumentFormatter::PushShow(std::uint8_t shown) {
  if (showDepth_ < kShowDepth) {
    show_[++showDepth_] = shown;
    pushedShow_[styleDepth_] = 1;
  } else if (!shown) {
    // Past the stack the flag cannot be kept: hidden content stays hidden
    // by hiding this level in place, restored at its end.
    pushedShow_[styleDepth_] = show_[showDepth_] ? 3 : 2;
    show_[showDepth_] = 0;
  }
}

void DocumentFormatter::PopElementStyle() {
  ElementStyle* style = GetCurrentStyle();
  switch (pushedLevel_[styleDepth_]) {
    case 2:
      level_ = levels_[levelDepth_--] - 1;
      break;
    case 3:
      --level_;
      break;
    case 4:
      cells_[level_] = 0;
      break;
    default:
      break;
  }
  switch (pushedShow_[styleDepth_]) {
    case 1: --showDepth_; break;
    case 3: show_[showDepth_] = 1; break;
    default: break;
  }
  if (style) PopFormat(style);
  --styleDepth_;
}

int DocumentFormatter::EnterElement(DocumentNode* element) {
  if (styleOverflow_ || styleDepth_ == kStyleDepth) {
    // Past the style stack an element has no style of its own: its text
    // goes on in the enclosing format.
    ++styleOverflow_;
    return 0;
  }
  StyleRule* rule = RuleFor(element);
  OpenLinkLevel(element);
  if (element == root && element->Parent()) {
    PushStyle(rule);
    return StartElement(element);
  }
  if (ApplyElementStyle(rule, element) == 0) {
    ++g_skipCount;
    return 1;
  }
  return StartElement(element);
}

void DocumentFormatter::LeaveElement(DocumentNode* element) {
  if (styleOverflow_) {
    --styleOverflow_;
    return;
  }
  if (g_skipCount == 0) {
    EndElement(element);
  } else {
    --g_skipCount;
  }
  CloseLinkLevel(element);
  if (element == root && element->Parent()) {
    --styleDepth_;
    return;
  }
  PopElementStyle();
}

void DocumentFormatter::EmitBlockLines(const TextBlockStyle* block, std::int32_t position,
                                       DocumentNode* element) {
  for (TextLine* line = block->FirstLine(); line; line = static_cast<TextLine*>(line->Next())) {
    if (!line->text) {
      AppendItem(MakeItem<RecordEndItem>(*pool_, position, GetCurrentFormat()));
    } else if (linkDepth_ == 0) {
      AppendItem(MakeItem<StyleTextItem>(*pool_, position, line, GetCurrentFormat(), element));
    } else {
      AppendItem(MakeItem<LinkItem>(*pool_, position, line, GetCurrentFormat(), element));
      NoteLinkContent();
    }
    if (line->Next()) AddPendingBreak(0);
  }
}

void DocumentFormatter::NumberingItems(ElementStyle* style, std::int32_t position) {
  int kind = style->numbering & 0x0F;
  if (kind == 1) {
    AppendItem(MakeItem<CounterItem>(*pool_, position, style->counter, GetCurrentFormat()));
  } else if (kind == 4 && level_ != 0 && pushedLevel_[styleDepth_] == 4) {
    int top = levels_[levelDepth_];
    AppendItem(MakeItem<ListNumberItem>(*pool_, *pool_, position, &cells_[top],
                                        static_cast<std::uint8_t>(level_ - top),
                                        GetCurrentFormat()));
  }
}

int DocumentFormatter::StartElement(DocumentNode* element) {
  ElementStyle* style = GetCurrentStyle();
  auto position = static_cast<std::int32_t>(element->start);
  bool shown = IsContentShown();
  if (!style) {
    if (shown) {
      AddPendingBreak(0);
      if (showTags_ && OwnMarkers(element)) AddStartMarker(element);
    }
  } else if (shown) {
    TextBlockStyle* before = style->before;
    bool breakBefore = style->fontByte & StyleProps::kBreakBefore;
    if (!before) {
      if (breakBefore) AddPendingBreak(style->spaceAbove);
      if (showTags_ && OwnMarkers(element)) AddStartMarker(element);
      NumberingItems(style, position);
    } else {
      PushBlockFormat(before);
      if (breakBefore) {
        if (before->ruler && OwnText(element)) {
          AddPendingBreak(0);
          AddRulerBefore(position, before->ruler);
        }
        AddPendingBreak(style->spaceAbove);
      }
      if (showTags_ && OwnMarkers(element)) AddStartMarker(element);
      if (OwnText(element)) EmitBlockLines(before, position, element);
      NumberingItems(style, position);
      PopBlockFormat(before);
    }
    if (StartSpecialElement(element, style)) return 1;
    if (style->math && MakeDisplayObject(element, style)) return 1;
    if ((style->table >= 1 && style->table <= 3) && StartTable(element, style)) return 1;
  }
  if (element->flags) {
    if (!shown) {
      if ((element->flags & 0x08) && !element->First()) return 1;
    } else {
      if ((element->flags & 0x40) && StartNotationWidget(element)) return 1;
      if ((element->flags & 0x01) && !GetCurrentFormat()->LinkTargetHidden())
        AddLinkTargetMarker(element);
      // A data node's content is its text and marks, formatted here in one
      // range; one that still has children (entity nodes) is walked.
      if ((element->flags & 0x08) && !element->First()) {
        if (element->start < element->end) DataRange(element, element->start, element->end);
        return 1;
      }
    }
  }
  return 0;
}

int DocumentFormatter::EndElement(DocumentNode* element) {
  ElementStyle* style = GetCurrentStyle();
  auto position = static_cast<std::int32_t>(element->end);
  bool shown = IsContentShown();
  if (style && !shown) return 0;
  TextBlockStyle* after = style ? style->after : nullptr;
  if (after) {
    PushBlockFormat(after);
    if (OwnText(element)) EmitBlockLines(after, position, element);
  }
  if (shown && IsLinkSource(element)) {
    bool hidden = GetCurrentFormat()->LinkSourceHidden();
    bool empty = linkDepth_ > 0 && linkDepth_ <= kShowDepth && !linkContent_[linkDepth_];
    if (!hidden && empty)
      AddEmptyLinkSourceMarker(element);
    else if ((element->flags & 0x0C) == 0x0C && !hidden)
      AddLinkSourceEndMarker(element);
  }
  if (shown && showTags_ && OwnMarkers(element)) AddEndMarker(element);
  if (!style) {
    AddPendingBreak(0);
    return 0;
  }
  if (style->fontByte & StyleProps::kBreakAfter) {
    AddPendingBreak(style->spaceBelow);
    if (after && after->ruler && OwnText(element)) {
      AddRulerAfter(position, after->ruler);
      AddPendingBreak(0);
    }
  }
  if (after) PopBlockFormat(after);
  return 0;
}

void DocumentFormatter::AddStartMarker(DocumentNode* element) {
  AppendItem(MakeItem<StartTagItem>(*pool_, element, GetCurrentFormat()));
}

void DocumentFormatter::AddEndMarker(DocumentNode* element) {
  AppendItem(MakeItem<EndTagItem>(*pool_, element, GetCurrentFormat()));
}

void DocumentFormatter::AddProcInstrItem(Mark* mark, TextFormat* format, bool shown) {
  if (shown)
    AppendItem(MakeItem<ProcInstrItem>(*pool_, mark, format));
  else
    AppendItem(MakeItem<HiddenProcInstrItem>(*pool_, mark, format));
}

// ---- Icons, entities and widgets ---------------------------------------------------------

bool DocumentFormatter::StartSpecialElement(DocumentNode* element, ElementStyle* style) {
  if (style->icon && element != root) {
    EntityDecl* entity = element->GetEntity();
    if (!entity) {
      if (view) AddElementIcon(element, view, style->icon->Text());
      return true;
    }
    auto position = element->start;
    AdvanceMarkTo(position);
    if (mark_ && markPosition_ == position && mark_->Kind() == kMarkEntityRef &&
        mark_->GetEntity() == entity) {
      AddEntityRef(element, static_cast<EntityRefMark*>(mark_), style->icon->Text());
    } else {
      ReportEngineError(kErrInternal, kFaultIconMark);
    }
    return true;
  }
  if (style->widget) {
    AppendItem(MakeItem<WidgetItem>(*pool_, element, style->widget->AddRef(), GetCurrentFormat()));
    return true;
  }
  return false;
}

bool DocumentFormatter::StartNotationWidget(DocumentNode* element) {
  Attribute* const* values = element->GetAttributeValues();
  Dtd* dtd = document ? document->GetDtd() : nullptr;
  if (!values || !dtd) return false;
  for (; *values; ++values) {
    const Attribute* value = *values;
    if (!value->decl || value->decl->DeclaredValue() != kDeclaredNotation || !value->Value())
      continue;
    NotationDecl* notation = dtd->FindNotation(value->Value());
    if (!notation || !notation->handler) return false;
    InternedName* name = InternName(notation->Name());
    if (!name) return false;
    AppendItem(MakeItem<WidgetItem>(*pool_, element, name, GetCurrentFormat()));
    return true;
  }
  return false;
}

bool IsStyledEntity(StyleSheet* sheet, DocumentNode* element, EntityDecl* entity) {
  NotationDecl* notation = entity ? entity->GetNotation() : nullptr;
  if (!notation || !notation->Name() || !sheet || !element) return false;
  return sheet->FindRule(element, notation->Name()) != nullptr;
}

bool DocumentFormatter::IsStyledEntity(DocumentNode* element, EntityDecl* entity) {
  return qs::IsStyledEntity(view ? view->GetStyleSheet() : nullptr, element, entity);
}

void DocumentFormatter::AddEntityRef(DocumentNode* element, EntityRefMark* mark,
                                     const char* icon) {
  GraphicServices& graphics = GetGraphicServices();
  GraphicObject* image = icon && view ? graphics.GetIconGraphic(view->GetStyleSheet(), icon)
                                      : nullptr;
  const bool inLink = linkDepth_ != 0;
  AppendItem(MakeItem<EntityRefItem>(*pool_, element, mark, GetCurrentFormat(), image, inLink));
  if (image) graphics.Release(image);  // the item holds its own use
  if (inLink) NoteLinkContent();
}

void DocumentFormatter::EmitPieceLines(const TextBlockStyle* block, std::int32_t position,
                                       Mark* mark, DocumentNode* element) {
  for (TextLine* line = block->FirstLine(); line; line = static_cast<TextLine*>(line->Next())) {
    if (!line->text)
      AppendItem(MakeItem<RecordEndItem>(*pool_, position, GetCurrentFormat()));
    else
      AppendItem(MakeItem<TextPieceItem>(*pool_, position, line, GetCurrentFormat(), mark, element));
    if (line->Next()) AddPendingBreak(0);
  }
}

bool DocumentFormatter::StartEntityStyle(DocumentNode* element, EntityRefMark* mark) {
  NotationDecl* notation = mark->GetEntity()->GetNotation();
  StyleSheet* sheet = view ? view->GetStyleSheet() : nullptr;
  StyleRule* rule = sheet && notation ? sheet->FindRule(element, notation->Name()) : nullptr;
  const bool wasShown = IsContentShown();
  int applied = ApplyElementStyle(rule, element);
  if (applied < 0) {
    if (wasShown) AddPendingBreak(0);
    return false;
  }
  if (applied == 0) return true;  // the host hides it: nothing is emitted
  ElementStyle* style = GetCurrentStyle();
  if (!style) {
    if (IsContentShown()) AddPendingBreak(0);
    return true;
  }
  if (!IsContentShown()) return true;
  auto position = static_cast<std::int32_t>(mark->Start());
  bool breakBefore = style->fontByte & StyleProps::kBreakBefore;
  if (TextBlockStyle* before = style->before) {
    PushBlockFormat(before);
    if (breakBefore) {
      if (before->ruler) {
        AddPendingBreak(0);
        AddRulerBefore(position, before->ruler);
      }
      AddPendingBreak(style->spaceAbove);
    }
    EmitPieceLines(before, position, mark, element);
    NumberingItems(style, position);
    PopBlockFormat(before);
  } else {
    if (breakBefore) AddPendingBreak(style->spaceAbove);
    NumberingItems(style, position);
  }
  return true;
}

void DocumentFormatter::EndEntityStyle(DocumentNode* element, EntityRefMark* mark, bool pushed) {
  ElementStyle* style = pushed ? GetCurrentStyle() : nullptr;
  if (!style) {
    if (IsContentShown()) AddPendingBreak(0);
  } else if (IsContentShown()) {
    auto position = static_cast<std::int32_t>(mark->GetEnd());
    TextBlockStyle* after = style->after;
    if (after) {
      PushBlockFormat(after);
      EmitPieceLines(after, position, mark, element);
    }
    if (style->fontByte & StyleProps::kBreakAfter) {
      AddPendingBreak(style->spaceBelow);
      if (after && after->ruler) {
        AddRulerAfter(position, after->ruler);
        AddPendingBreak(0);
      }
    }
    if (after) PopBlockFormat(after);
  }
  if (pushed) PopElementStyle();
}

// ---- Text and marks -----------------------------------------------------------------------

void DocumentFormatter::NextMark() {
  mark_ = mark_ ? mark_->next : nullptr;
  markPosition_ = mark_ ? mark_->Start() : 2147483647u;
}

void DocumentFormatter::AdvanceMarkTo(std::uint32_t position) {
  while (mark_ && markPosition_ < position) NextMark();
}

int DocumentFormatter::DataRange(DocumentNode* element, std::uint32_t from, std::uint32_t to) {
  AdvanceMarkTo(from);
  if (!IsContentShown()) return 0;
  bool inLink = linkDepth_ != 0;
  while (mark_ && markPosition_ < to) {
    if (from < markPosition_) {
      AppendItem(MakeItem<TextItem>(*pool_, static_cast<std::int32_t>(from),
                                    static_cast<std::int32_t>(markPosition_), GetCurrentFormat(),
                                    inLink));
      if (inLink) NoteLinkContent();
    }
    std::uint32_t resume = Content(element, mark_);
    if (resume > from) from = resume;
    NextMark();
  }
  if (from < to) {
    AppendItem(MakeItem<TextItem>(*pool_, static_cast<std::int32_t>(from),
                                  static_cast<std::int32_t>(to), GetCurrentFormat(), inLink));
    if (inLink) NoteLinkContent();
  }
  return 0;
}

std::uint32_t DocumentFormatter::Content(DocumentNode* element, Mark* mark) {
  std::uint32_t at = mark->Start();
  // Ends and resume positions come from the document's file: they are kept
  // within the mark and the element's end.
  auto clamp = [&](std::uint32_t value) {
    std::uint32_t high = element->end > at ? element->end : at + 1;
    return value < at ? at : (value > high ? high : value);
  };
  switch (mark->Kind()) {
    case kMarkRecordEnd:
      if (static_cast<std::int64_t>(at) == lastRecordEnd_ + 1)
        AppendItem(MakeItem<RecordEndItem>(*pool_, static_cast<std::int32_t>(at),
                                           GetCurrentFormat()));
      AddPendingBreak(0);
      lastRecordEnd_ = at;
      return at + 1;
    case kMarkTab:
      AppendItem(MakeItem<TabItem>(*pool_, static_cast<std::int32_t>(at), GetCurrentFormat()));
      return at + 1;
    case kMarkResume:
      return clamp(static_cast<std::uint32_t>(static_cast<NotationMark*>(mark)->object));
    case kMarkEntityRef: {
      auto* ref = static_cast<EntityRefMark*>(mark);
      EntityDecl* entity = ref->GetEntity();
      if (entity && IsContentShown()) {
        if (element->GetEntity() == entity || !IsStyledEntity(element, entity)) {
          AddEntityRef(element, ref, nullptr);
        } else {
          bool pushed = StartEntityStyle(element, ref);
          if (IsContentShown()) {
            ElementStyle* style = pushed ? GetCurrentStyle() : nullptr;
            AddEntityRef(element, ref, style && style->icon ? style->icon->Text() : nullptr);
          }
          EndEntityStyle(element, ref, pushed);
        }
      }
      return at + 1;
    }
    case kMarkStyledText: {
      std::uint32_t end = clamp(mark->GetEnd());
      auto* props = reinterpret_cast<const StyleProps*>(static_cast<RecordMark*>(mark)->record);
      if (props) {
        PushScale(props->fontScale);
        FormatCache* cache = CurrentFormatCache();
        TextFormat* made = cache ? cache->Get(props, GetCurrentFormat())
                                 : new TextFormat(props, GetCurrentFormat());
        if (IsContentShown())
          AppendItem(MakeItem<TextItem>(*pool_, static_cast<std::int32_t>(at),
                                        static_cast<std::int32_t>(end), made, linkDepth_ != 0));
        if (made) made->Release();
        PopScale(props->fontScale);
      } else if (IsContentShown()) {
        AppendItem(MakeItem<TextItem>(*pool_, static_cast<std::int32_t>(at),
                                      static_cast<std::int32_t>(end), GetCurrentFormat(),
                                      linkDepth_ != 0));
      }
      return end;
    }
    case kMarkProcessingInstruction:
      if (IsContentShown() && (showInstructions_ || at == element->start))
        AddProcInstrItem(mark, GetCurrentFormat(), showInstructions_);
      return clamp(mark->GetEnd());
    case 7:
    case 8:
    case 9:
      return clamp(mark->GetEnd());
    default:
      return at + 1;
  }
}

// ---- Ancestors and the page colour --------------------------------------------------------

void DocumentFormatter::ResolveStyleTo(DocumentNode* element) {
  if (!element) return;
  if (element->Parent()) ResolveStyleTo(element->Parent());
  OpenLinkLevel(element);
  ElementStyle* merged = MergeQualified(RuleFor(element), element);
  if (!PushStyle(merged)) {
    ++styleOverflow_;
    return;
  }
  if (!merged) return;
  PushFormat(merged);
  if (merged->pageColor && view && !view->pageColor) view->pageColor = merged->pageColor->AddRef();
}

void DocumentFormatter::UnwindStyleTo(DocumentNode* element) {
  for (; element; element = element->Parent()) {
    CloseLinkLevel(element);
    if (styleOverflow_) {
      --styleOverflow_;
      continue;
    }
    if (styleDepth_ == 0) continue;
    if (ElementStyle* style = GetCurrentStyle()) PopFormat(style);
    --styleDepth_;
  }
}

void DocumentFormatter::ResolveStyle() {
  if (!view || !root) return;
  ElementStyle* merged = MergeQualified(RuleFor(root), root);
  InternedName* colour = merged ? merged->pageColor : nullptr;
  if (!colour && view != view->GetFrame() && view->Parent()) colour = view->Parent()->pageColor;
  if (colour) colour->AddRef();
  if (view->pageColor) view->pageColor->Release();
  view->pageColor = colour;
}

}  // namespace qs
