// The CALS table model: cells, groups, the table item, the COLWIDTH
// parser and the builder that reads a table element in one pass.
#include "style/cals_table.h"

#include <climits>
#include <cstring>
#include <iterator>

#include "foundation/memory.h"
#include "foundation/strings.h"
#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "style/formatter.h"
#include "style/style_rules.h"
#include "style/style_sheet.h"
#include "style/text_format.h"

namespace qs {

namespace {

std::int32_t Saturate(std::int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Tables inside table cells nest by recursion: past this depth a table
// element is formatted as plain content, so hostile nesting cannot use up
// the stack.
constexpr int kMaxTableNesting = 24;
int g_tableNesting = 0;

}  // namespace

int& TableNestingDepth() { return g_tableNesting; }
bool TableNestingAllowed() { return g_tableNesting < kMaxTableNesting; }

// ---- COLWIDTH -----------------------------------------------------------------------

ColWidth ParseColWidth(const char* text) {
  if (!text) return {0, 10};
  // Parts are summed in 64 bits; a number past 12 digits stops growing and
  // sums stop at 15, so no product or sum can overflow.
  constexpr std::int64_t kDigitsCap = 1000000000000LL;
  constexpr std::int64_t kCap = 1000000000000000LL;
  std::int64_t fixed = 0, share = 0;
  const char* p = text;
  auto skip = [&] {
    while (*p == ' ') ++p;
  };
  auto lower = [](char c) { return ToLowerAscii(c); };
  for (;;) {
    skip();
    if (!*p) break;
    if (IsDigit(*p)) {
      std::int64_t v = 0, k = 1;
      for (; IsDigit(*p); ++p)
        if (v < kDigitsCap) v = v * 10 + (*p - '0');
      if (*p == '.') {
        ++p;
        if (IsDigit(*p)) {
          v = v * 10 + (*p++ - '0');
          k = 10;
          if (IsDigit(*p)) {
            v = v * 10 + (*p++ - '0');
            k = 100;
            while (IsDigit(*p)) ++p;
          }
        }
      }
      skip();
      const char c = lower(*p);
      const char d = c ? lower(p[1]) : 0;
      if (c == '*') {
        ++p;
        share += v * 10 / k;
      } else if (c == 'i' || c == 'c' || c == 'm' || c == 'p') {
        if (c == 'i' && d == 'n') fixed += v * 720 / k;
        else if (c == 'c' && d == 'm') fixed += v * 36000 / (k * 127);
        else if (c == 'm' && d == 'm') fixed += v * 3600 / (k * 127);
        else if (c == 'p' && d == 'i') fixed += v * 120 / k;
        else if (c == 'p' && d == 't') fixed += v * 10 / k;
        else return {0, 10};
        p += 2;
      } else {
        fixed += v * 720 / k;  // a bare number is in inches
      }
    } else if (*p == '*') {
      ++p;
      share += 10;
    } else {
      return {0, 10};
    }
    if (fixed > kCap) fixed = kCap;
    if (share > kCap) share = kCap;
    skip();
    if (*p == '+') ++p;
  }
  return {Saturate(fixed), Saturate(share)};
}

// ---- Cells and groups --------------------------------------------------------------------

CalsCell::CalsCell(std::uint32_t textOffset, std::int16_t column, std::int16_t extraColumns,
                   std::int16_t row, std::int16_t moreRows, std::uint8_t format,
                   std::int16_t group, std::uint8_t part, std::int16_t columnCount,
                   std::uint8_t frame)
    : column(column), extraColumns(extraColumns), row(row), moreRows(moreRows),
      groupIndex(group), part(part) {
  switch (format & 0x07) {
    case 0: flags = 0; break;
    case 2: flags = kAlignRight; break;
    case 3: flags = kAlignCenter; break;
    default: flags = kAlignLeft; break;  // LEFT, JUSTIFY, CHAR
  }
  if ((format & 0x18) == 0x08) flags |= kMiddle;
  if ((format & 0x18) == 0x10) flags |= kBottom;
  if (column == 0) flags |= frame & kRuleLeft;
  if (format & 0x20) flags |= kRuleBottom;
  if (column + extraColumns + 1 == columnCount)
    flags |= frame & kRuleRight;
  else if (format & 0x40)
    flags |= kRuleRight;
  position[0] = static_cast<std::uint8_t>((textOffset >> 16) & 0xFF);
  position[1] = static_cast<std::uint8_t>((textOffset >> 8) & 0xFF);
  position[2] = static_cast<std::uint8_t>(textOffset & 0xFF);
}

CalsGroup::CalsGroup(int columns) : columnCount(static_cast<std::int16_t>(columns)) {
  edges_ = columns > 0 ? static_cast<std::int32_t*>(MemAlloc(sizeof(std::int32_t) * 3 * columns))
                       : nullptr;
  if (edges_) std::memset(edges_, 0, sizeof(std::int32_t) * 3 * columns);
}

CalsGroup::~CalsGroup() { MemFree(edges_); }

void CalsGroup::SetEdges(int i, std::int32_t fixed, std::int32_t share, std::int32_t reference) {
  if (!edges_ || i < 0 || i >= columnCount) return;
  edges_[i] = fixed;
  edges_[columnCount + i] = share;
  edges_[2 * columnCount + i] = reference;
}

void CalsGroup::AddColumn(int i, ColWidth width) {
  fixedTotal = Saturate(std::int64_t{fixedTotal} + width.fixed);
  shareTotal = Saturate(std::int64_t{shareTotal} + width.share);
  SetEdges(i, fixedTotal, shareTotal, fixedTotal / 10);
}

void CalsGroup::WidenReferenceEdges() {
  if (!edges_) return;
  const std::int64_t remainder = std::int64_t{kCalsReferenceWidth} - fixedTotal;
  if (shareTotal == 0 || remainder <= 0) return;
  for (int i = 0; i < columnCount; ++i) {
    const double add = static_cast<double>(ShareEdge(i)) * static_cast<double>(remainder) /
                       (static_cast<double>(shareTotal) * 10.0);
    edges_[2 * columnCount + i] = Saturate(std::int64_t{ReferenceEdge(i)} + static_cast<std::int64_t>(add));
  }
}

// ---- The item ---------------------------------------------------------------------------

CalsTableItem::CalsTableItem(DocumentNode* element, TextFormat* format)
    : LayoutItem(static_cast<std::int32_t>(element->start), format), element(element) {}

CalsTableItem::~CalsTableItem() { groups.DeleteAll(); }

std::int32_t CalsTableItem::GetLength() {
  return static_cast<std::int32_t>(element->end) - Position();
}

namespace {

template <class F>
void ForEachContentItem(CalsTableItem* table, F f) {
  for (CalsGroup* g = table->FirstGroup(); g; g = g->NextGroup())
    for (CalsCell* c = g->FirstCell(); c; c = c->NextCell())
      for (auto* n = c->content.First(); n; n = n->Next())
        if (!f(static_cast<LayoutItem*>(n))) return;
}

bool Meets(LayoutItem* item, std::int32_t from, std::int32_t to) {
  const std::int32_t start = item->Position();
  return start <= to && start + item->GetLength() >= from;
}

}  // namespace

LayoutItem* CalsTableItem::FindKeyItem(const void* key) {
  LayoutItem* found = nullptr;
  ForEachContentItem(this, [&](LayoutItem* item) {
    found = item->FindKeyItem(key);
    return found == nullptr;
  });
  return found;
}

void CalsTableItem::MakeBoxes(ListHead& boxes) {
  if (auto* box = new CalsTableBox(this)) boxes.Append(box);
}

std::int32_t CalsTableItem::GetTextLength(std::int32_t from, std::int32_t to) {
  std::int64_t sum = 0;
  ForEachContentItem(this, [&](LayoutItem* item) {
    if (Meets(item, from, to)) sum += item->GetTextLength(from, to);
    return true;
  });
  return Saturate(sum);
}

std::int32_t CalsTableItem::CopyText(std::int32_t from, std::int32_t to, char* output,
                                     std::size_t room) {
  std::size_t written = 0;
  ForEachContentItem(this, [&](LayoutItem* item) {
    if (!Meets(item, from, to)) return true;
    const std::int32_t n = item->CopyText(from, to, output + written, room - written);
    if (n > 0) written += static_cast<std::size_t>(n) <= room - written ? n : room - written;
    return written < room;
  });
  return static_cast<std::int32_t>(written);
}

std::intptr_t CalsTableItem::HandleMessage(int, int, int message, std::intptr_t argument) {
  if (message != 15) return 0;
  std::intptr_t sum = 0;
  ForEachContentItem(this, [&](LayoutItem* item) {
    sum += item->HandleMessage(0, 0, 15, argument);
    return true;
  });
  return sum;
}

// ---- The builder -------------------------------------------------------------------------

bool IsCalsName(const DocumentNode* element, const char* name) {
  const char* type = element ? element->GetNameText() : nullptr;
  return type && CompareStringNoCase(type, name) == 0;
}

namespace {

struct ColumnSpec {
  const char* name;
  const char* colsep;
  const char* rowsep;
  const char* align;
};

struct SpanSpec {
  const char* name;
  const char* colsep;
  const char* rowsep;
  const char* align;
  int startColumn;
  int endColumn;
};

bool EqualNoCase(const char* a, const char* b) { return a && b && CompareStringNoCase(a, b) == 0; }

int FindColumnSpec(const ColumnSpec* specs, int count, const char* name) {
  if (!name) return -1;
  for (int i = 0; i < count; ++i)
    if (specs[i].name && EqualNoCase(specs[i].name, name)) return i;
  return -1;
}

int FindSpanSpec(const SpanSpec* spans, int count, const char* name) {
  if (!name) return -1;
  for (int i = 0; i < count; ++i)
    if (spans[i].name && EqualNoCase(spans[i].name, name)) return i;
  return -1;
}

StyleRule* RuleOf(DocumentNode* element) {
  ElementTypeDecl* decl = element->Decl();
  if (!decl || !decl->styleEntry) return nullptr;
  return reinterpret_cast<StyleTagEntry*>(decl->styleEntry)->FindForElement(element);
}

// The fixed CALS attribute names the builder reads.
enum CalsName : std::uint8_t {
  kFrame, kPgwide, kCols, kColsep, kRowsep, kAlign, kValign, kColname, kColwidth, kNamest,
  kNameend, kSpanname, kMorerows, kCalsNameCount
};
constexpr const char* kCalsNames[kCalsNameCount] = {
    "FRAME", "PGWIDE", "COLS", "COLSEP", "ROWSEP", "ALIGN", "VALIGN", "COLNAME", "COLWIDTH",
    "NAMEST", "NAMEEND", "SPANNAME", "MOREROWS"};

const char* FindDefault(DocumentNode* e, CalsName name) {
  const AttributeDecl* decl = e->FindAttributeDecl(kCalsNames[name]);
  return decl ? decl->DefaultText() : nullptr;
}

}  // namespace

// Declared defaults of the fixed names by element type, each looked up on
// first use and kept for the formatter's run. DocBook declares some thirty
// attributes on an entry: looking each of a dozen names up among them for
// every cell doubled the formatting of a manual with tables, and looking
// them up again for each of its 460 tables still cost a tenth.
struct CalsRunCache {
  struct Type {
    const ElementTypeDecl* type;
    std::uint32_t known;  // a bit per name looked up
    const char* defaults[kCalsNameCount];

    const char* Default(DocumentNode* e, CalsName name) {
      if (!(known & (1u << name))) {
        defaults[name] = FindDefault(e, name);
        known |= 1u << name;
      }
      return defaults[name];
    }
  };
  Type types[16];
  int count;

  // The element's type's entry; null for no type or no room.
  Type* Of(DocumentNode* e) {
    const ElementTypeDecl* type = e->Decl();
    if (!type) return nullptr;
    for (int i = 0; i < count; ++i)
      if (types[i].type == type) return &types[i];
    if (count == static_cast<int>(std::size(types))) return nullptr;
    Type* slot = &types[count++];
    slot->type = type;
    slot->known = 0;
    return slot;
  }
};

void DeleteCalsRunCache(CalsRunCache* cache) { MemFree(cache); }

namespace {

// An element's values of the fixed names: the specified value, else the
// declared default, names ignoring case (as DocumentNode::GetAttributeValue).
// The specified values are read once for all the names asked.
class CalsAttributes {
 public:
  // Without a cache (no memory for one), defaults are looked up each time.
  CalsAttributes(DocumentNode* e, CalsRunCache* cache) : e_(e), cache_(cache) {
    if (Attribute* const* values = e->GetAttributeValues())
      for (; *values; ++values) {
        const char* valueName = (*values)->GetName();
        if (!valueName) continue;
        // The first letters folded as the comparison folds them: most
        // names are passed over without a call.
        const std::uint8_t first = FoldCase(static_cast<unsigned char>(valueName[0]));
        for (int n = 0; n < kCalsNameCount; ++n)
          if (FoldCase(static_cast<unsigned char>(kCalsNames[n][0])) == first &&
              CompareStringNoCase(valueName, kCalsNames[n]) == 0) {
            // The first value of a name counts.
            if (!(specified_ & (1u << n))) {
              specified_ |= 1u << n;
              values_[n] = (*values)->Value();
            }
            break;
          }
      }
  }
  const char* operator[](CalsName name) {
    if (specified_ & (1u << name)) return values_[name];
    if (!e_->Decl()) return nullptr;
    if (cache_ && !type_) type_ = cache_->Of(e_);
    return type_ ? type_->Default(e_, name) : FindDefault(e_, name);
  }

 private:
  DocumentNode* e_;
  CalsRunCache* cache_;
  CalsRunCache::Type* type_ = nullptr;
  std::uint32_t specified_ = 0;
  const char* values_[kCalsNameCount];
};

// A walk of ordinary content through the formatter.
class ContentWalk : public TreeVisitor {
 public:
  explicit ContentWalk(DocumentFormatter& f) : f_(f) {}
  int VisitElement(DocumentNode* e) override { return f_.EnterElement(e); }
  int VisitData(DocumentNode* e, std::uint32_t from, std::uint32_t to) override {
    return f_.DataRange(e, from, to);
  }
  void LeaveElement(DocumentNode* e) override { f_.LeaveElement(e); }

 private:
  DocumentFormatter& f_;
};

}  // namespace

// Reads one table; lives while CalsTableNew runs.
class CalsTableBuilder {
 public:
  CalsTableBuilder(DocumentFormatter& f, CalsTableItem* item) : f_(f), item_(item) {}
  void Build(DocumentNode* table);

  // The element's style applied (not its start): whether its content shows.
  struct Entered {
    bool pushed;
    bool shown;
  };
  Entered Enter(DocumentNode* e) {
    f_.OpenLinkLevel(e);
    const int result = f_.ApplyElementStyle(RuleOf(e), e);
    // The groups are read with no output list: the level's own state.
    if (result < 0) return {false, f_.LevelShown()};
    return {true, result != 0 && f_.LevelShown()};
  }
  void Leave(DocumentNode* e, Entered entered) {
    if (entered.pushed) f_.PopElementStyle();
    f_.CloseLinkLevel(e);
  }
  DocumentFormatter& Formatter() { return f_; }
  CalsRunCache* Cache() { return f_.calsCache_; }

 private:
  std::uint8_t Top() const { return stack_[depth_]; }
  void Push(const char* colsep, const char* rowsep, const char* align, const char* valign);
  void Pop() { --depth_; }
  void ReadGroup(DocumentNode* tgroup);
  DocumentNode* ReadColumnSpecs(CalsGroup* group, DocumentNode* cursor, ColumnSpec* specs);
  DocumentNode* ReadSpanSpecs(DocumentNode* cursor, const ColumnSpec* specs, SpanSpec** spans,
                              int* count);
  void ReadSection(DocumentNode* section, CalsGroup* group, const ColumnSpec* specs,
                   const SpanSpec* spans, int spanCount, std::uint8_t part);
  void PlaceEntry(DocumentNode* entry, CalsGroup* g, const ColumnSpec* specs,
                  const SpanSpec* spans, int spanCount, std::int32_t* counters, int* last,
                  std::uint8_t part);
  void Filler(CalsGroup* g, const ColumnSpec* specs, int column, std::uint32_t position,
              std::uint8_t part);
  CalsCell* MakeCell(CalsGroup* g, std::uint32_t position, int column, int extra, int moreRows,
                     std::uint8_t part);
  void FormatEntryContent(CalsCell* cell, DocumentNode* entry);
  void FlushPendingBreak(std::int32_t position);

  DocumentFormatter& f_;
  CalsTableItem* item_;
  int columnCount_ = 0;
  std::uint8_t stack_[256] = {0x60};
  std::uint8_t depth_ = 0;
  std::uint8_t frame_ = 0xF0;
};

void CalsTableBuilder::Push(const char* colsep, const char* rowsep, const char* align,
                            const char* valign) {
  const std::uint8_t below = Top();
  std::uint8_t v = 0;
  if (!colsep) v |= below & 0x40;
  else if (std::strcmp(colsep, "0") != 0) v |= 0x40;
  if (!rowsep) v |= below & 0x20;
  else if (std::strcmp(rowsep, "0") != 0) v |= 0x20;
  if (!align) {
    v |= below & 0x07;
  } else {
    static const char* const kAlign[] = {"LEFT", "RIGHT", "CENTER", "JUSTIFY", "CHAR"};
    for (int i = 0; i < 5; ++i)
      if (EqualNoCase(align, kAlign[i])) v |= static_cast<std::uint8_t>(i + 1);
  }
  if (!valign) {
    v |= below & 0x18;
  } else if (EqualNoCase(valign, "MIDDLE")) {
    v |= 0x08;
  } else if (EqualNoCase(valign, "BOTTOM")) {
    v |= 0x10;
  }
  stack_[++depth_] = v;
}

void CalsTableBuilder::FlushPendingBreak(std::int32_t position) {
  if (f_.PendingBreak() && f_.IsContentShown()) {
    auto* b = new (f_.ItemPool())
        BreakItem(position, f_.GetCurrentFormat(), static_cast<std::int16_t>(f_.PendingSpace()));
    f_.ClearPendingBreak();
    f_.AppendItem(b);
  }
  f_.ClearPendingBreak();
}

void CalsTableBuilder::Build(DocumentNode* table) {
  // The formatter entered the table element and applied its style.
  DocumentNode* child = table->First();
  for (; child && !IsCalsName(child, "TGROUP"); child = child->Next()) {
    ContentWalk walk(f_);
    walk.Run(child);
  }
  CalsAttributes attributes(table, Cache());
  if (const char* frame = attributes[kFrame]) {
    static const char* const kFrames[] = {"ALL", "TOP", "BOTTOM", "TOPBOT", "SIDES", "NONE"};
    static const std::uint8_t kBytes[] = {0xF0, 0x40, 0x80, 0xC0, 0x30, 0x00};
    for (int i = 0; i < 6; ++i)
      if (EqualNoCase(frame, kFrames[i])) frame_ = kBytes[i];
  }
  const char* wide = attributes[kPgwide];
  item_->pageWide = wide && std::strcmp(wide, "0") != 0;
  if (!child) return;
  item_->SetPosition(static_cast<std::int32_t>(child->start));
  FlushPendingBreak(static_cast<std::int32_t>(child->start));
  // Nothing reaches the flow while the groups are read.
  ListHead* saved = f_.OutputTarget();
  f_.SetOutputTarget(nullptr);
  Push(attributes[kColsep], attributes[kRowsep], nullptr, nullptr);
  for (; child && IsCalsName(child, "TGROUP"); child = child->Next()) ReadGroup(child);
  Pop();
  // The frame decides the outer rules.
  if (CalsGroup* first = item_->FirstGroup()) {
    for (CalsCell* c = first->FirstCell(); c && c->row == 0; c = c->NextCell())
      c->flags = static_cast<std::uint8_t>((c->flags & ~CalsCell::kRuleTop) | (frame_ & 0x40));
    auto* last = static_cast<CalsGroup*>(item_->groups.Last());
    for (CalsCell* c = last->FirstCell(); c; c = c->NextCell())
      if (c->LastRow() + 1 == last->rowCount)
        c->flags = static_cast<std::uint8_t>((c->flags & ~CalsCell::kRuleBottom) | (frame_ & 0x80));
  }
  f_.SetOutputTarget(saved);
}

void CalsTableBuilder::ReadGroup(DocumentNode* tgroup) {
  if (!tgroup->First()) return;
  Entered entered = Enter(tgroup);
  if (entered.shown) {
    CalsAttributes attributes(tgroup, Cache());
    const char* colsText = attributes[kCols];
    std::int32_t cols = colsText ? ParseLong(colsText) : 0;
    if (cols < 0) cols = 0;  // as if absent
    if (cols > kCalsMaxColumns) cols = kCalsMaxColumns;
    DocumentNode* cursor = tgroup->First();
    if (cols == 0)
      for (DocumentNode* c = cursor; c && IsCalsName(c, "COLSPEC") && cols < kCalsMaxColumns;
           c = c->Next())
        ++cols;
    columnCount_ = cols;
    if (cols > 0) {
      Push(attributes[kColsep], attributes[kRowsep], attributes[kAlign], nullptr);
      auto* group = new CalsGroup(cols);
      auto* specs = static_cast<ColumnSpec*>(MemAlloc(sizeof(ColumnSpec) * cols));
      if (group && group->Valid() && specs) {
        cursor = ReadColumnSpecs(group, cursor, specs);
        SpanSpec* spans = nullptr;
        int spanCount = 0;
        if (cursor) cursor = ReadSpanSpecs(cursor, specs, &spans, &spanCount);
        if (cursor && IsCalsName(cursor, "THEAD")) {
          ReadSection(cursor, group, specs, spans, spanCount, 0);
          cursor = cursor->Next();
        }
        item_->AppendGroup(group);
        group = nullptr;
        CalsGroup* g = static_cast<CalsGroup*>(item_->groups.Last());
        if (cursor && IsCalsName(cursor, "TFOOT")) {
          DocumentNode* body = cursor->Next();
          if (body && IsCalsName(body, "TBODY")) ReadSection(body, g, specs, spans, spanCount, 1);
          ReadSection(cursor, g, specs, spans, spanCount, 2);
        } else if (cursor && IsCalsName(cursor, "TBODY")) {
          ReadSection(cursor, g, specs, spans, spanCount, 1);
        }
        MemFree(spans);
      }
      delete group;
      MemFree(specs);
      Pop();
    }
  }
  Leave(tgroup, entered);
  ++item_->groupIndexCount;
}

DocumentNode* CalsTableBuilder::ReadColumnSpecs(CalsGroup* group, DocumentNode* cursor,
                                                ColumnSpec* specs) {
  const int count = group->columnCount;
  int i = 0;
  for (; cursor && IsCalsName(cursor, "COLSPEC") && i < count; ++i, cursor = cursor->Next()) {
    CalsAttributes attributes(cursor, Cache());
    specs[i] = {attributes[kColname], attributes[kColsep], attributes[kRowsep], attributes[kAlign]};
    group->AddColumn(i, ParseColWidth(attributes[kColwidth]));
  }
  for (; i < count; ++i) {
    specs[i] = {nullptr, nullptr, nullptr, nullptr};
    group->AddColumn(i, {0, 10});
  }
  while (cursor && IsCalsName(cursor, "COLSPEC")) cursor = cursor->Next();
  group->WidenReferenceEdges();
  return cursor;
}

DocumentNode* CalsTableBuilder::ReadSpanSpecs(DocumentNode* cursor, const ColumnSpec* specs,
                                              SpanSpec** spans, int* count) {
  int n = 0;
  for (DocumentNode* c = cursor; c && IsCalsName(c, "SPANSPEC"); c = c->Next()) ++n;
  if (n == 0) return cursor;
  auto* made = static_cast<SpanSpec*>(MemAlloc(sizeof(SpanSpec) * n));
  for (int i = 0; i < n; ++i, cursor = cursor->Next()) {
    if (!made) continue;
    SpanSpec& s = made[i];
    s = {nullptr, nullptr, nullptr, nullptr, -1, -1};
    CalsAttributes attributes(cursor, Cache());
    s.startColumn = FindColumnSpec(specs, columnCount_, attributes[kNamest]);
    s.endColumn = FindColumnSpec(specs, columnCount_, attributes[kNameend]);
    // An end left of the start is as unusable as one not found.
    if (s.startColumn < 0 || s.endColumn < s.startColumn) continue;
    s.name = attributes[kSpanname];
    if (s.name) {
      s.colsep = attributes[kColsep];
      s.rowsep = attributes[kRowsep];
      s.align = attributes[kAlign];
    }
  }
  *spans = made;
  *count = made ? n : 0;
  return cursor;
}

void CalsTableBuilder::ReadSection(DocumentNode* section, CalsGroup* group,
                                   const ColumnSpec* specs, const SpanSpec* spans, int spanCount,
                                   std::uint8_t part) {
  if (!section->First()) return;
  Entered entered = Enter(section);
  if (entered.shown) {
    Push(nullptr, nullptr, nullptr, CalsAttributes(section, Cache())[kValign]);
    DocumentNode* child = section->First();
    ColumnSpec* ownSpecs = nullptr;
    SpanSpec* ownSpans = nullptr;
    int ownSpanCount = 0;
    CalsGroup* g = group;
    if (IsCalsName(child, "COLSPEC")) {
      auto* own = new CalsGroup(columnCount_);
      ownSpecs = static_cast<ColumnSpec*>(MemAlloc(sizeof(ColumnSpec) * columnCount_));
      if (own && own->Valid() && ownSpecs) {
        child = ReadColumnSpecs(own, child, ownSpecs);
        if (child) child = ReadSpanSpecs(child, ownSpecs, &ownSpans, &ownSpanCount);
        item_->AppendGroup(own);
        g = own;
        specs = ownSpecs;
        spans = ownSpans;
        spanCount = ownSpanCount;
      } else {
        delete own;
        g = nullptr;
      }
    }
    auto* counters = g ? static_cast<std::int32_t*>(MemAlloc(sizeof(std::int32_t) * columnCount_))
                       : nullptr;
    if (counters) {
      std::memset(counters, 0, sizeof(std::int32_t) * columnCount_);
      for (; child; child = child->Next()) {
        if (!IsCalsName(child, "ROW")) continue;
        // Row numbers are 16-bit: a longer group keeps its first rows.
        if (g->rowCount == INT16_MAX) break;
        Entered row = Enter(child);
        if (row.shown) {
          int last = -1;
          CalsAttributes attributes(child, Cache());
          Push(nullptr, attributes[kRowsep], nullptr, attributes[kValign]);
          for (DocumentNode* e = child->First(); e; e = e->Next())
            if (IsCalsName(e, "ENTRY") || IsCalsName(e, "ENTRYTBL"))
              PlaceEntry(e, g, specs, spans, spanCount, counters, &last, part);
          for (int c = last + 1; c < columnCount_; ++c)
            if (counters[c] == 0) {
              Filler(g, specs, c, child->end, part);
              counters[c] = 1;
            }
          Pop();
          ++g->rowCount;
          for (int c = 0; c < columnCount_; ++c)
            if (counters[c] > 0) --counters[c];
        }
        Leave(child, row);
      }
      bool open = false;
      for (int c = 0; c < columnCount_; ++c) open |= counters[c] > 0;
      if (open)
        for (CalsCell* c = g->FirstCell(); c; c = c->NextCell())
          if (c->LastRow() >= g->rowCount)
            c->moreRows = static_cast<std::int16_t>(g->rowCount - c->row - 1);
      MemFree(counters);
    }
    MemFree(ownSpecs);
    MemFree(ownSpans);
    Pop();
  }
  Leave(section, entered);
}

CalsCell* CalsTableBuilder::MakeCell(CalsGroup* g, std::uint32_t position, int column, int extra,
                                     int moreRows, std::uint8_t part) {
  auto* cell = new CalsCell(position, static_cast<std::int16_t>(column),
                            static_cast<std::int16_t>(extra), g->rowCount,
                            static_cast<std::int16_t>(moreRows), Top(),
                            static_cast<std::int16_t>(item_->groupIndexCount), part,
                            static_cast<std::int16_t>(columnCount_), frame_);
  if (cell) g->cells.Append(cell);
  return cell;
}

void CalsTableBuilder::Filler(CalsGroup* g, const ColumnSpec* specs, int column,
                              std::uint32_t position, std::uint8_t part) {
  Push(specs[column].colsep, specs[column].rowsep, specs[column].align, nullptr);
  if (CalsCell* cell = MakeCell(g, position, column, 0, 0, part)) cell->filler = true;
  Pop();
}

void CalsTableBuilder::PlaceEntry(DocumentNode* entry, CalsGroup* g, const ColumnSpec* specs,
                                  const SpanSpec* spans, int spanCount, std::int32_t* counters,
                                  int* last, std::uint8_t part) {
  int column = -1, end = -1;
  const SpanSpec* span = nullptr;
  CalsAttributes attributes(entry, Cache());
  if (const char* namest = attributes[kNamest]) {
    column = FindColumnSpec(specs, columnCount_, namest);
    if (column >= 0) {
      end = FindColumnSpec(specs, columnCount_, attributes[kNameend]);
      if (end < column) end = -1;  // an end left of the start: one column
    }
  } else if (const char* spanName = attributes[kSpanname]) {
    const int s = FindSpanSpec(spans, spanCount, spanName);
    if (s >= 0) {
      span = &spans[s];
      column = span->startColumn;
      end = span->endColumn;
    }
  } else if (const char* colName = attributes[kColname]) {
    column = FindColumnSpec(specs, columnCount_, colName);
  }
  if (column < 0) {
    column = *last + 1;
    while (column < columnCount_ && counters[column] != 0) ++column;
    if (column >= columnCount_) column = *last + 1;
    if (column >= columnCount_) column = columnCount_ - 1;
  }
  const int extra = end >= 0 ? end - column : 0;
  std::int32_t moreRows = 0;
  if (const char* more = attributes[kMorerows]) moreRows = ParseLong(more);
  if (moreRows < 0) moreRows = 0;
  if (moreRows > INT16_MAX - 1) moreRows = INT16_MAX - 1;
  for (int c = column; c <= column + extra; ++c) {
    // Stacked entries of an overfull row add up: kept far below overflow.
    counters[c] += moreRows + 1;
    if (counters[c] > 0x10000) counters[c] = 0x10000;
  }
  for (int c = *last + 1; c < column; ++c)
    if (counters[c] == 0) {
      Filler(g, specs, c, entry->start, part);
      counters[c] = 1;
    }
  *last = column + extra;
  if (span)
    Push(span->colsep, span->rowsep, span->align, nullptr);
  else
    Push(specs[column + extra].colsep, specs[column].rowsep, specs[column].align, nullptr);
  Push(attributes[kColsep], attributes[kRowsep], attributes[kAlign], attributes[kValign]);
  if (CalsCell* cell = MakeCell(g, entry->start, column, extra, moreRows, part))
    FormatEntryContent(cell, entry);
  Pop();
  Pop();
}

void CalsTableBuilder::FormatEntryContent(CalsCell* cell, DocumentNode* entry) {
  ListHead* saved = f_.OutputTarget();
  f_.SetOutputTarget(&cell->content);
  // The entry's own format: the one in force inside it, kept for the break
  // its end owes.
  TextFormat* own = nullptr;
  {
    const int depthBefore = f_.FormatDepth();
    class EntryWalk : public TreeVisitor {
     public:
      EntryWalk(DocumentFormatter& f, DocumentNode* top, int depth, TextFormat** own)
          : f_(f), top_(top), depth_(depth), own_(own) {}
      int VisitElement(DocumentNode* e) override {
        const int skip = f_.EnterElement(e);
        if (e == top_ && f_.FormatDepth() > depth_) {
          *own_ = f_.GetCurrentFormat();
          (*own_)->AddRef();
        }
        return skip;
      }
      int VisitData(DocumentNode* e, std::uint32_t from, std::uint32_t to) override {
        return f_.DataRange(e, from, to);
      }
      void LeaveElement(DocumentNode* e) override { f_.LeaveElement(e); }

     private:
      DocumentFormatter& f_;
      DocumentNode* top_;
      int depth_;
      TextFormat** own_;
    } walk(f_, entry, depthBefore, &own);
    walk.Run(entry);
  }
  if (f_.PendingBreak() && f_.IsContentShown()) {
    TextFormat* format = own ? own : f_.GetCurrentFormat();
    if (auto* b = new (f_.ItemPool()) BreakItem(static_cast<std::int32_t>(entry->end), format,
                                                static_cast<std::int16_t>(f_.PendingSpace())))
      cell->content.Append(b);
  }
  f_.ClearPendingBreak();
  if (own) own->Release();
  f_.SetOutputTarget(saved);
}

void CalsTableNew(DocumentFormatter& formatter, DocumentNode* element) {
  if (!formatter.calsCache_) {
    formatter.calsCache_ = static_cast<CalsRunCache*>(MemAlloc(sizeof(CalsRunCache)));
    if (formatter.calsCache_) {
      formatter.calsCache_->count = 0;
    }
  }
  auto* item = new (formatter.ItemPool()) CalsTableItem(element, formatter.GetCurrentFormat());
  if (!item) return;
  ++TableNestingDepth();
  {
    CalsTableBuilder builder(formatter, item);
    builder.Build(element);
  }
  --TableNestingDepth();
  formatter.AppendItem(item);
}

}  // namespace qs
