// Running a parsed query: the merges of "and", "or", "in" and "cont", the
// text search over the document's cached text, the pattern search over the
// text between tags, and the element tests.
#include <cstring>

#include "addressing/query.h"
#include "foundation/block_cache.h"
#include "foundation/strings.h"
#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/text_store.h"
#include "sgml/unicode_tables.h"
#include "view/ranges.h"

namespace qs {

namespace {

void DeleteRange(RangeList& list, Range* r) {
  list.Unlink(r);
  delete r;
}

// Keeps in `r` the entries for which `keep` holds against some entry of t.
template <class Keep>
void Filter(RangeList& r, const RangeList& t, Keep keep) {
  for (Range* e = r.FirstRange(); e;) {
    Range* next = e->NextRange();
    bool found = false;
    for (Range* o = t.FirstRange(); o && !found; o = o->NextRange()) found = keep(*e, *o);
    if (!found) DeleteRange(r, e);
    e = next;
  }
}

bool SortedByStart(const RangeList& list) {
  for (Range* e = list.FirstRange(); e && e->NextRange(); e = e->NextRange())
    if (e->NextRange()->GetStart() < e->GetStart()) return false;
  return true;
}

// The filters of "and", "in" and "cont". Hit lists come in order of start,
// so each entry of R is tested only against the entries of T that can
// answer (those in force at its start); lists out of order are compared
// whole.
void KeepEqual(RangeList& r, const RangeList& t) {
  auto equal = [](const Range& a, const Range& b) { return a.Equals(b); };
  if (!SortedByStart(r) || !SortedByStart(t)) return Filter(r, t, equal);
  Range* from = t.FirstRange();
  for (Range* e = r.FirstRange(); e;) {
    Range* next = e->NextRange();
    while (from && from->GetStart() < e->GetStart()) from = from->NextRange();
    bool found = false;
    for (Range* o = from; o && o->GetStart() == e->GetStart() && !found; o = o->NextRange())
      found = o->GetEnd() == e->GetEnd();
    if (!found) DeleteRange(r, e);
    e = next;
  }
}

void KeepWithin(RangeList& r, const RangeList& t) {
  auto within = [](const Range& a, const Range& b) { return a.IsWithin(b); };
  if (!SortedByStart(r) || !SortedByStart(t)) return Filter(r, t, within);
  // The entries of T that start at or before the current start and have
  // not ended before it.
  std::size_t room = 16, count = 0;
  auto** open = static_cast<Range**>(MemAlloc(room * sizeof(Range*)));
  if (!open) return Filter(r, t, within);
  Range* next = t.FirstRange();
  for (Range* e = r.FirstRange(); e;) {
    Range* after = e->NextRange();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i)
      if (open[i]->GetEnd() >= e->GetStart()) open[kept++] = open[i];
    count = kept;
    for (; next && next->GetStart() <= e->GetStart(); next = next->NextRange()) {
      if (next->GetEnd() < e->GetStart()) continue;
      if (count == room) {
        auto** grown = static_cast<Range**>(MemAlloc(2 * room * sizeof(Range*)));
        if (!grown) {
          MemFree(open);
          return Filter(r, t, within);
        }
        for (std::size_t i = 0; i < count; ++i) grown[i] = open[i];
        MemFree(open);
        open = grown;
        room *= 2;
      }
      open[count++] = next;
    }
    bool found = false;
    for (std::size_t i = 0; i < count && !found; ++i) found = e->IsWithin(*open[i]);
    if (!found) DeleteRange(r, e);
    e = after;
  }
  MemFree(open);
}

void KeepContaining(RangeList& r, const RangeList& t) {
  auto contains = [](const Range& a, const Range& b) { return b.IsWithin(a); };
  if (!SortedByStart(r) || !SortedByStart(t)) return Filter(r, t, contains);
  Range* from = t.FirstRange();
  for (Range* e = r.FirstRange(); e;) {
    Range* next = e->NextRange();
    while (from && from->GetStart() < e->GetStart()) from = from->NextRange();
    bool found = false;
    for (Range* o = from; o && o->GetStart() <= e->GetEnd() && !found; o = o->NextRange())
      found = o->IsWithin(*e);
    if (!found) DeleteRange(r, e);
    e = next;
  }
}

// T's entries into R, both in order of start; an entry of T that begins
// inside an entry already kept is dropped, and one that covers a kept entry
// replaces it.
void Union(RangeList& r, RangeList& t) {
  Range* cursor = r.FirstRange();
  while (Range* e = static_cast<Range*>(t.PopFirst())) {
    for (;;) {
      if (!cursor) {
        Range* last = r.LastRange();
        if (last && e->GetStart() < last->GetEnd())
          delete e;
        else
          r.ListHead::Append(e);
        break;
      }
      if (e->GetStart() < cursor->GetStart()) {
        Range* before = cursor->PrevRange();
        if (before && e->GetStart() < before->GetEnd()) {
          delete e;
          break;
        }
        r.InsertBefore(cursor, e);
        if (cursor->GetEnd() <= e->GetEnd()) DeleteRange(r, cursor);
        cursor = e;
        break;
      }
      cursor = cursor->NextRange();
    }
  }
}

// The positions, in increasing order and each once, at which an element
// inside the root starts or ends; after the last, the root's end plus one.
class BoundaryIterator {
 public:
  explicit BoundaryIterator(DocumentNode* root) : root_(root) { Restart(); }
  void Restart() {
    node_ = root_ ? root_->First() : nullptr;
    state_ = 0;
    last_ = 0;
    started_ = false;
    position_ = Advance();
  }
  std::uint32_t Position() const { return position_; }
  void Next() { position_ = Advance(); }
  // Whether a boundary lies exactly at p (moving on past the positions below).
  bool At(std::uint32_t p) {
    if (p < position_) Restart();
    while (position_ < p) Next();
    return position_ == p;
  }

 private:
  std::uint32_t Advance() {
    for (;;) {
      if (!node_) return root_ ? root_->end + 1 : 0xFFFFFFFFu;
      std::uint32_t p;
      if (state_ == 0) {
        p = node_->start;
        if (node_->First()) {
          node_ = node_->First();
        } else {
          state_ = 1;
        }
        if (!started_ || p != last_) return Mark(p);
        continue;
      }
      p = node_->end;
      if (node_->Next()) {
        node_ = node_->Next();
        state_ = 0;
      } else {
        node_ = node_->Parent();
        if (node_ == root_) node_ = nullptr;
      }
      if (!started_ || p != last_) return Mark(p);
    }
  }
  std::uint32_t Mark(std::uint32_t p) {
    started_ = true;
    last_ = p;
    return p;
  }

  DocumentNode* root_;
  DocumentNode* node_ = nullptr;
  int state_ = 0;
  std::uint32_t last_ = 0;
  bool started_ = false;
  std::uint32_t position_ = 0;
};

std::uint32_t ReadChar(CachedStream& stream) {
  std::uint32_t c = stream.GetUtf8Char();
  return c == 1 || c == 0xA0 ? 0x20 : c;
}

bool UnitMatches(std::uint32_t c, char16_t unit, bool fold) {
  if (c >= 0x10000) return false;
  return c == unit || (fold && FoldCaseUnit(static_cast<char16_t>(c)) == unit);
}

// The search text as UTF-16, case-folded when asked, with 1 and 0xA0
// taken as blanks.
char16_t* SearchUnits(const char* text, bool fold, std::size_t* count) {
  char16_t* units = Utf8ToUtf16(text, count, fold);
  if (!units) return nullptr;
  for (std::size_t i = 0; i < *count; ++i)
    if (units[i] == 1 || units[i] == 0xA0) units[i] = 0x20;
  return units;
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u < 0xDC00; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u < 0xE000; }

// Compares the units from `index` on with the characters that follow in the
// stream; true with the stream after the match, which ends at or before
// `to`.
// With `tags` (a whole-word search), a tag between two word characters
// ends the match: a tag separates words, and a hit that ran on into the next
// element would hide a word starting there (a parts list's "1" cell before
// an "11" cell).
bool MatchRest(const char16_t* units, std::size_t index, std::size_t count, CachedStream& stream,
               std::uint32_t to, bool fold, std::uint32_t* last, BoundaryIterator* tags) {
  while (index < count) {
    auto at = static_cast<std::uint32_t>(stream.Position());
    if (at >= to) return false;
    std::uint32_t c = ReadChar(stream);
    if (static_cast<std::uint32_t>(stream.Position()) > to) return false;
    if (tags && IsWordChar(*last) && IsWordChar(c) && tags->At(at)) return false;
    *last = c;
    if (c >= 0x10000) {
      if (index + 1 >= count || !IsHighSurrogate(units[index]) ||
          !IsLowSurrogate(units[index + 1]))
        return false;
      std::uint32_t cp = 0x10000 + ((units[index] - 0xD800u) << 10) + (units[index + 1] - 0xDC00u);
      if (cp != c) return false;
      index += 2;
    } else {
      if (!UnitMatches(c, units[index], fold)) return false;
      ++index;
    }
  }
  return true;
}

struct TextScan {
  const char16_t* units;
  std::size_t count;
  std::uint32_t first;       // the first character (a pair combined)
  std::size_t firstUnits;    // units it takes
};

bool PrepareScan(char16_t* units, std::size_t count, TextScan* scan) {
  if (!units || !count) return false;
  scan->units = units;
  scan->count = count;
  if (count >= 2 && IsHighSurrogate(units[0]) && IsLowSurrogate(units[1])) {
    scan->first = 0x10000 + ((units[0] - 0xD800u) << 10) + (units[1] - 0xDC00u);
    scan->firstUnits = 2;
  } else {
    scan->first = units[0];
    scan->firstUnits = 1;
  }
  return true;
}

bool FirstMatches(std::uint32_t c, const TextScan& scan, bool fold) {
  if (c == scan.first) return true;
  return fold && c < 0x10000 && scan.first < 0x10000 &&
         FoldCaseUnit(static_cast<char16_t>(c)) == scan.first;
}

// The shared scan of FindTextSimple and FindText; boundaries only when a
// whole-word test is on.
int ScanText(const char* text, CachedStream& stream, RangeList& result, std::uint32_t from,
             std::uint32_t to, bool fold, bool wordStart, bool wordEnd, DocumentNode* root) {
  if (!text || from >= to) return 0;
  std::size_t count = 0;
  char16_t* units = SearchUnits(text, fold, &count);
  TextScan scan;
  if (!PrepareScan(units, count, &scan)) {
    MemFree(units);
    return 0;
  }
  // Every unit takes at least one byte: no hit starts after `to` - count.
  std::uint32_t lastStart = count <= to - from ? to - static_cast<std::uint32_t>(count) : 0;
  bool any = count <= to - from;
  const bool words = wordStart || wordEnd;
  BoundaryIterator tagBounds(words ? root : nullptr);
  BoundaryIterator endBounds(wordEnd ? root : nullptr);
  std::uint32_t previous = 0x20;
  int hits = 0;
  std::uint32_t pos = from;
  stream.SetPosition(static_cast<std::int32_t>(from));
  while (any && pos <= lastStart) {
    if (words) {
      while (tagBounds.Position() < pos) tagBounds.Next();
      if (wordStart && tagBounds.Position() == pos) previous = 0x20;
    }
    std::uint32_t c = ReadChar(stream);
    if (!c) break;
    auto after = static_cast<std::uint32_t>(stream.Position());
    bool candidate = FirstMatches(c, scan, fold) && (!wordStart || !IsWordChar(previous));
    if (candidate && after <= to) {
      std::uint32_t last = c;
      // A copy, so that the scan's own iterator stays at the hit's start.
      BoundaryIterator tags = tagBounds;
      bool ok = MatchRest(scan.units, scan.firstUnits, scan.count, stream, to, fold, &last,
                          words ? &tags : nullptr);
      auto end = static_cast<std::uint32_t>(stream.Position());
      if (ok && wordEnd) {
        std::uint32_t following = ReadChar(stream);
        if (IsWordChar(following) && !endBounds.At(end)) ok = false;
      }
      if (ok) {
        result.Append(pos, end);
        ++hits;
        previous = last;
        pos = end;
        stream.SetPosition(static_cast<std::int32_t>(end));
        continue;
      }
      stream.SetPosition(static_cast<std::int32_t>(after));
    }
    previous = c;
    pos = after;
  }
  MemFree(units);
  return hits;
}

}  // namespace

int FindTextSimple(const char* text, CachedStream& stream, RangeList& result, std::uint32_t from,
                   std::uint32_t to, bool fold) {
  return ScanText(text, stream, result, from, to, fold, false, false, nullptr);
}

int FindText(const char* text, CachedStream& stream, RangeList& result, std::uint32_t from,
             std::uint32_t to, bool fold, bool wordStart, bool wordEnd, DocumentNode* root) {
  return ScanText(text, stream, result, from, to, fold, wordStart, wordEnd, root);
}

// ---- Tree evaluation ------------------------------------------------------------------

void QueryNode::Evaluate(Document* document, DocumentNode* root, RangeList& result,
                         const RangeList* context, const QuerySettings& settings) {
  if (isTerm_)
    EvaluateTerm(document, root, result, context, settings);
  else
    EvaluateExpression(document, root, result, context, settings);
}

void QueryNode::EvaluateExpression(Document* document, DocumentNode* root, RangeList& r,
                                   const RangeList* k, const QuerySettings& settings) {
  term_->Evaluate(document, root, r, k, settings);
  if (!right_) return;
  RangeList t;
  if (op_ == kQueryOr) {
    right_->Evaluate(document, root, t, k, settings);
    Union(r, t);
  } else {
    right_->Evaluate(document, root, t, &r, settings);
    KeepEqual(r, t);
  }
}

void QueryNode::EvaluateTerm(Document* document, DocumentNode* root, RangeList& r,
                             const RangeList* k, const QuerySettings& settings) {
  if (!right_ || op_ == kQueryNoOperator) {
    primary_->Evaluate(document, root, r, k, settings);
    return;
  }
  RangeList t;
  if (op_ == kQueryIn) {
    right_->Evaluate(document, root, t, nullptr, settings);
    primary_->Evaluate(document, root, r, &t, settings);
    KeepWithin(r, t);
  } else {
    primary_->Evaluate(document, root, r, k, settings);
    right_->Evaluate(document, root, t, &r, settings);
    KeepContaining(r, t);
  }
}

void QueryGroup::Evaluate(Document* document, DocumentNode* root, RangeList& result,
                          const RangeList* context, const QuerySettings& settings) {
  expression_->Evaluate(document, root, result, context, settings);
}

void TextSearch::Evaluate(Document* document, DocumentNode* root, RangeList& result,
                          const RangeList* context, const QuerySettings& settings) {
  if (!document || !document->Text() || !root || !text_[0]) return;
  CachedStream& stream = document->Text()->Stream();
  if (settings.wordStart || settings.wordEnd) {
    FindText(text_, stream, result, root->start, root->end, settings.fold, settings.wordStart,
             settings.wordEnd, root);
    return;
  }
  if (!context) {
    FindTextSimple(text_, stream, result, root->start, root->end, settings.fold);
    return;
  }
  // Overlapping context entries are searched as one span, so that no hit is
  // found twice.
  bool open = false;
  std::uint32_t from = 0, to = 0;
  for (Range* e = context->FirstRange(); e; e = e->NextRange()) {
    if (open && e->GetStart() < to) {
      if (e->GetEnd() > to) to = e->GetEnd();
      continue;
    }
    if (open) FindTextSimple(text_, stream, result, from, to, settings.fold);
    open = true;
    from = e->GetStart();
    to = e->GetEnd();
  }
  if (open) FindTextSimple(text_, stream, result, from, to, settings.fold);
}

namespace {

// Walks the gaps of a subtree in document order.
class GapSearch : public TreeVisitor {
 public:
  GapSearch(const PatternAutomaton& automaton, TextStore& text, RangeList& result,
            const QuerySettings& settings, char* buffer)
      : automaton_(automaton), text_(text), result_(result), settings_(settings),
        buffer_(buffer) {}

  int VisitData(DocumentNode*, std::uint32_t from, std::uint32_t to) override {
    if (to - from > PatternSearch::kGapLimit) to = from + PatternSearch::kGapLimit;
    std::size_t n = text_.CopyRange(buffer_, from, to, false);
    buffer_[n] = 0;
    // Folding searches compare upper-cased text (the pattern matches both
    // cases of its letters); case-sensitive ones the text as it stands.
    if (settings_.fold)
      for (std::size_t i = 0; i < n; ++i)
        buffer_[i] = static_cast<char>(FoldCase(static_cast<unsigned char>(buffer_[i])));
    if (settings_.wordStart)
      SearchWords(from, n);
    else
      SearchAll(from, n);
    return 0;
  }

 private:
  bool EndRejected(std::size_t end, std::size_t n) const {
    return settings_.wordEnd && end < n &&
           HasCharClass(static_cast<unsigned char>(buffer_[end]), CharTable::kLetter);
  }
  void SearchAll(std::uint32_t from, std::size_t n) {
    std::size_t at = 0;
    while (at < n) {
      std::size_t s, e;
      if (!automaton_.Find(buffer_ + at, n - at, &s, &e)) break;
      s += at;
      e += at;
      if (!EndRejected(e, n))
        result_.Append(from + static_cast<std::uint32_t>(s), from + static_cast<std::uint32_t>(e));
      at = e;
    }
  }
  void SearchWords(std::uint32_t from, std::size_t n) {
    auto letter = [&](std::size_t i) {
      return HasCharClass(static_cast<unsigned char>(buffer_[i]), CharTable::kLetter);
    };
    std::size_t at = 0;
    while (at < n) {
      std::size_t length = automaton_.MatchAt(buffer_ + at, n - at);
      if (length > 0 && !EndRejected(at + length, n)) {
        result_.Append(from + static_cast<std::uint32_t>(at),
                       from + static_cast<std::uint32_t>(at + length));
        at += length;
      }
      while (at < n && letter(at)) ++at;
      while (at < n && !letter(at)) ++at;
    }
  }

  const PatternAutomaton& automaton_;
  TextStore& text_;
  RangeList& result_;
  const QuerySettings& settings_;
  char* buffer_;
};

// Walks the elements of a subtree in document order.
class ElementWalk : public TreeVisitor {
 public:
  ElementWalk(const ElementTest& test, RangeList& result) : test_(test), result_(result) {}
  int VisitElement(DocumentNode* element) override {
    if (test_.Passes(element)) result_.AppendNode(element);
    return 0;
  }

 private:
  const ElementTest& test_;
  RangeList& result_;
};

}  // namespace

void PatternSearch::Evaluate(Document* document, DocumentNode* root, RangeList& result,
                             const RangeList*, const QuerySettings& settings) {
  if (!automaton_.IsCompiled() || !document || !document->Text() || !root) return;
  // The longest gap searched and its NUL.
  char* buffer = static_cast<char*>(MemAlloc(kGapLimit + 1));
  if (!buffer) return;
  GapSearch search(automaton_, *document->Text(), result, settings, buffer);
  search.Run(root);
  MemFree(buffer);
}

void ElementTest::Evaluate(Document*, DocumentNode* root, RangeList& result, const RangeList*,
                           const QuerySettings&) {
  if (!root) return;
  ElementWalk walk(*this, result);
  walk.Run(root);
}

bool ElementTest::Passes(const DocumentNode* element) const {
  if (!TypeMatches(element)) return false;
  for (AttributeCondition* c = conditions_; c; c = c->next)
    if (!c->Holds(element)) return false;
  return true;
}

bool AttributeCondition::NameQualifies(const char* attribute) const {
  if (!attribute) return false;
  if (!namePattern) return true;
  std::size_t length = std::strlen(attribute);
  return length && namePattern->MatchAt(attribute, length) == length;
}

bool AttributeCondition::ValuePasses(const char* text) const {
  if (!text) return false;
  if (valuePattern) {
    std::size_t length = std::strlen(text);
    return valuePattern->Match(text, length) == length;
  }
  return !value || CompareStringNoCase(text, value) == 0;
}

bool AttributeCondition::Holds(const DocumentNode* element) const {
  if (name) return ValuePasses(element->GetAttributeValue(name));
  NameSet seen(32);
  if (Attribute* const* values = element->GetAttributeValues()) {
    for (; *values; ++values) {
      const char* attribute = (*values)->GetName();
      if (!attribute) continue;
      if (NameQualifies(attribute) && ValuePasses(element->GetAttributeValue(attribute)))
        return true;
      seen.Add(attribute);
    }
  }
  // Declared attributes that were not specified, by their defaults.
  if (!element->Decl()) return false;
  const AttributeDeclSet& decls = element->Decl()->Attributes();
  for (std::size_t i = decls.Count(); i-- > 0;) {
    const AttributeDecl* decl = decls.At(i);
    const char* attribute = decl ? decl->NameText() : nullptr;
    if (!attribute || seen.Contains(attribute) || !NameQualifies(attribute)) continue;
    if (ValuePasses(element->GetAttributeValue(attribute))) return true;
  }
  return false;
}

// ---- The run ---------------------------------------------------------------------

int RunQuery(const char* text, Document* document, DocumentNode* start, RangeList& result,
             int flags) {
  if (!text || !*text || !document) return static_cast<int>(result.Count());
  QuerySettings settings = QuerySettings::FromFlags(flags);
  if (settings.patterns)
    for (const char* p = text; *p; ++p)
      if (static_cast<unsigned char>(*p) >= 0x80) return static_cast<int>(result.Count());
  Query query(document, settings);
  if (QueryNode* tree = query.Parse(text, (flags & kQueryLiteral) != 0)) {
    DocumentNode* root = start ? start : document->Root();
    // The merges filter the lists they work on: run into a list of our own
    // so that the entries the caller's list held stay whatever the query.
    RangeList hits;
    tree->Evaluate(document, root, hits, nullptr, settings);
    result.AppendList(hits);
  }
  return static_cast<int>(result.Count());
}

}  // namespace qs
