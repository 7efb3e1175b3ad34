#include "addressing/locations.h"

#include <cstring>

#include "addressing/ext_pointer.h"
#include "addressing/tree_walker.h"
#include "addressing/web.h"
#include "foundation/engine.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/text_store.h"
#include "sgml/entities.h"

namespace qs {

namespace {

// Appends while the text fits; once something did not fit, the whole
// result is dropped, since a cut location would name another place.
class BoundedText {
 public:
  BoundedText(char* buffer, std::size_t size) : buffer_(buffer), size_(size) {
    if (size_) buffer_[0] = '\0';
  }
  void Put(const char* text) { Put(text, std::strlen(text)); }
  void Put(const char* text, std::size_t n) {
    if (failed_ || size_ == 0 || n >= size_ - length_) {
      failed_ = true;
      return;
    }
    std::memcpy(buffer_ + length_, text, n);
    length_ += n;
    buffer_[length_] = '\0';
  }
  void PutNumber(const char* format, std::uint32_t n) {
    char text[24];
    FormatString(text, sizeof text, format, n);
    Put(text);
  }
  char* Finish() {
    if (failed_) {
      if (size_) buffer_[0] = '\0';
      return buffer_;
    }
    return buffer_ + length_;
  }
  bool Failed() const { return failed_; }

 private:
  char* buffer_;
  std::size_t size_;
  std::size_t length_ = 0;
  bool failed_ = false;
};

bool IsPointerNameChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '.' || c == '-' || c == '_' || c == ':' || c == '\\' || c >= 0x80;
}

// An ID as a pointer word: bare when it is a run of name characters that
// no sign would take apart, else quoted.
void PutIdWord(BoundedText& out, const char* id) {
  bool bare = *id != '\0' && *id != '-' && *id != '+';
  for (const char* p = id; *p && bare; ++p) bare = IsPointerNameChar(static_cast<unsigned char>(*p));
  if (bare) {
    out.Put(id);
    return;
  }
  const char* quote = std::strchr(id, '\'') ? "\"" : "'";
  out.Put(quote);
  out.Put(id);
  out.Put(quote);
}

bool DataBefore(const DocumentNode* parent, const DocumentNode* first) {
  return first->start > parent->start;
}

bool DataBetween(const DocumentNode* previous, const DocumentNode* next) {
  return next->start > previous->end;
}

// The place number of `child` in its parent's content.
std::uint32_t PlaceNumber(const DocumentNode* child) {
  const DocumentNode* parent = child->Parent();
  const DocumentNode* first = parent->First();
  std::uint32_t n = DataBefore(parent, first) ? 2 : 1;
  for (const DocumentNode* c = first; c != child; c = c->Next())
    n += DataBetween(c, c->Next()) ? 2 : 1;
  return n;
}

// Writes the tree location of `element`; whether it wrote a CHILD step.
bool PutTreeLocation(BoundedText& out, const DocumentNode* element) {
  const DocumentNode* anchor = element;
  while (anchor && !anchor->GetId()) anchor = anchor->Parent();
  std::size_t depth = 0;
  if (anchor) {
    out.Put("ID(");
    PutIdWord(out, anchor->GetId());
    out.Put(")");
  } else {
    out.Put("ROOT");
  }
  for (const DocumentNode* n = element; n != anchor && n->Parent(); n = n->Parent()) ++depth;
  if (depth == 0) return false;
  out.Put(" CHILD");
  // Top down without a list of the levels: each level climbs again from
  // the element, which stays cheap for trees of a few hundred levels.
  for (std::size_t level = depth; level > 0 && !out.Failed(); --level) {
    const DocumentNode* n = element;
    for (std::size_t up = 1; up < level; ++up) n = n->Parent();
    out.PutNumber(" (%u)", PlaceNumber(n));
  }
  return true;
}

}  // namespace

DocumentNode* FindElementByIdText(Document* document, const char* id) {
  if (!document || !id) return nullptr;
  if (!document->foldsNames) return document->FindElementById(id);
  char* copy = DuplicateString(id);
  if (!copy) return nullptr;
  for (char* p = copy; *p; ++p) *p = ToUpperAscii(*p);
  DocumentNode* element = document->FindElementById(copy);
  MemFree(copy);
  return element;
}

char* WriteTreeLocation(char* buffer, std::size_t size, const DocumentNode* element) {
  BoundedText out(buffer, size);
  if (element) PutTreeLocation(out, element);
  return out.Finish();
}

char* WritePositionLocation(char* buffer, std::size_t size, const Document* document,
                            std::uint32_t position) {
  BoundedText out(buffer, size);
  const DocumentNode* element = document ? document->ElementAtPosition(position) : nullptr;
  if (!element) return out.Finish();
  bool child = PutTreeLocation(out, element);
  const DocumentNode* first = element->First();
  if (!first) return out.Finish();
  if (!child) out.Put(" CHILD");
  // An empty first child at the position itself comes before the gap
  // that holds the position, like one that starts before it.
  std::uint32_t n = DataBefore(element, first) && first->start <= position ? 2 : 1;
  for (const DocumentNode* c = first; c && c->end <= position; c = c->Next()) {
    const DocumentNode* next = c->Next();
    if (!next) n += 1;
    else if (!DataBetween(c, next)) n += 1;
    else n += next->start <= position ? 2 : 1;
  }
  out.PutNumber(" (%u)", n);
  return out.Finish();
}

// ---- Data characters and words ------------------------------------------------

namespace {

// Marks whose bytes stand for no character of the text. Record ends and
// tabs stay: their byte reads as the blank that separates words.
bool SkippedMark(std::uint8_t kind) {
  return kind != kMarkRecordEnd && kind != kMarkTab && kind != kMarkResume &&
         kind != kMarkStyledText;
}

std::uint32_t DocumentEnd(const Document* document) {
  const DocumentNode* root = document ? document->Root() : nullptr;
  if (!root) return 0;
  std::uint32_t end = root->end;
  std::uint32_t length = document->TextLength();
  return end < length ? end : length;
}

}  // namespace

DataCharReader::DataCharReader(const Document* document, std::uint32_t position)
    : document_(document), position_(position), end_(DocumentEnd(document)) {
  mark_ = document_ ? document_->FirstMark() : nullptr;
  FindNextMark();
  FindNextBoundary();
}

void DataCharReader::FindNextMark() {
  while (mark_ && (mark_->Start() < position_ && mark_->GetEnd() <= position_)) mark_ = mark_->next;
}

void DataCharReader::FindNextBoundary() {
  const DocumentNode* element = document_ ? document_->ElementAtPosition(position_) : nullptr;
  if (!element) {
    boundaryAt_ = end_;
    if (position_ < end_) position_ = end_;
    return;
  }
  boundaryAt_ = element->end;
  for (const DocumentNode* c = element->First(); c; c = c->Next())
    if (c->start > position_) {
      if (c->start < boundaryAt_) boundaryAt_ = c->start;
      break;
    }
}

int DataCharReader::Read() {
  for (;;) {
    bool skipped = false;
    for (; mark_ && mark_->Start() <= position_; mark_ = mark_->next) {
      if (SkippedMark(mark_->Kind()) && mark_->GetEnd() > position_) {
        position_ = mark_->GetEnd();
        skipped = true;
      }
    }
    // A skipped stretch may have run past element boundaries.
    if (skipped) FindNextBoundary();
    if (position_ >= end_) return -1;
    if (position_ < boundaryAt_) {
      boundary_ = false;
      unsigned char c = document_->Text()->ByteAt(position_);
      ++position_;
      return g_charTable.identity[c];
    }
    // Each boundary reads as one blank; the next one lies further on.
    FindNextBoundary();
    if (position_ >= end_) return -1;
    boundary_ = true;
    return ' ';
  }
}

bool SelectWords(const Document* document, std::uint32_t from, std::uint32_t start,
                 std::uint32_t count, std::uint32_t* rangeStart, std::uint32_t* rangeEnd) {
  if (!document || !document->Text() || start == 0) return false;
  if (count == 0) count = 1;
  DataCharReader reader(document, from);
  std::uint32_t runs = 0, wordStart = 0, wordEnd = 0;
  int c = reader.Read();
  // The start-th run of non-blanks.
  while (runs < start) {
    while (c == ' ') c = reader.Read();
    if (c < 0) return false;
    ++runs;
    wordStart = reader.Position() - 1;
    while (c >= 0 && c != ' ') {
      wordEnd = reader.Position();
      c = reader.Read();
    }
  }
  // count - 1 further runs.
  for (std::uint32_t more = 1; more < count; ++more) {
    while (c == ' ') c = reader.Read();
    if (c < 0) break;
    while (c >= 0 && c != ' ') {
      wordEnd = reader.Position();
      c = reader.Read();
    }
  }
  std::uint32_t end = DocumentEnd(document);
  if (wordStart >= end) return false;
  *rangeStart = wordStart;
  *rangeEnd = wordEnd < end ? wordEnd : end;
  return true;
}

// ---- The location-string reader -------------------------------------------------

namespace {

enum LocationToken : int {
  kLocNone = 0,
  kLocWord = 1,
  kLocOpen = 2,
  kLocClose = 3,
  kLocBadRef = 4,
  kLocDoc = 5,
  kLocId = 6,
  kLocTree = 7,
  kLocData = 8,
  kLocFig = 9,
  kLocTei = 10,
  kLocEnd = 11,
};

constexpr const char* kLocationKeywords[] = {"BADREF", "DOC", "ID", "TREE", "DATA", "FIG", "TEI"};

class LocationReader {
 public:
  explicit LocationReader(const char* text) : pos_(text ? text : "") {}
  int Resolve(Document* document, DocumentNode* element);

 private:
  int Next();
  int Peek() {
    if (peeked_ == kLocNone) peeked_ = Scan();
    return peeked_;
  }
  int Scan();
  bool Word() {
    int token = Next();
    return token == kLocWord || (token >= kLocBadRef && token <= kLocTei);
  }
  bool Number(std::int64_t* value);
  // Reads the text's TREE path into the walker.
  bool Tree(TreeWalker* walker);
  bool Data(TreeWalker* walker);
  bool Figure(TreeWalker* walker, Document* document, DocumentNode* element);

  const char* pos_;
  int peeked_ = kLocNone;
  bool error_ = false;
  char token_[kLocationTokenSize + 1] = {};
};

int LocationReader::Next() {
  int token = Peek();
  peeked_ = kLocNone;
  return token;
}

int LocationReader::Scan() {
  while (*pos_ && (HasCharClass(static_cast<unsigned char>(*pos_), CharTable::kBlank) ||
                   *pos_ == '\t' || *pos_ == '\n' || *pos_ == '\r'))
    ++pos_;
  token_[0] = '\0';
  unsigned char c = static_cast<unsigned char>(*pos_);
  if (c == 0) return kLocEnd;
  if (c == '(') {
    ++pos_;
    return kLocOpen;
  }
  if (c == ')') {
    ++pos_;
    return kLocClose;
  }
  std::size_t n = 0;
  bool tooLong = false;
  auto keep = [&](char ch) {
    if (n < kLocationTokenSize) token_[n++] = ch;
    else tooLong = true;
  };
  if (c == '"' || c == '\'') {
    char quote = *pos_++;
    while (*pos_ && *pos_ != quote) keep(*pos_++);
    if (*pos_) ++pos_;
  } else if (IsPointerNameChar(c)) {
    while (*pos_ && IsPointerNameChar(static_cast<unsigned char>(*pos_))) keep(*pos_++);
    token_[n] = '\0';
    if (!tooLong)
      for (int k = 0; k < 7; ++k)
        if (CompareStringNoCase(token_, kLocationKeywords[k]) == 0) return kLocBadRef + k;
  } else {
    error_ = true;
    return kLocEnd;
  }
  token_[n] = '\0';
  // A token the reader cannot hold whole names nothing.
  if (tooLong) {
    error_ = true;
    return kLocEnd;
  }
  return kLocWord;
}

bool LocationReader::Number(std::int64_t* value) {
  if (!Word()) return false;
  const char* p = token_;
  bool negative = *p == '-';
  if (negative || *p == '+') ++p;
  if (!*p) return false;
  std::int64_t v = 0;
  for (; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    if (v < (std::int64_t(1) << 40)) v = v * 10 + (*p - '0');
  }
  *value = negative ? -v : v;
  return true;
}

bool LocationReader::Tree(TreeWalker* walker) {
  if (Next() != kLocOpen) return false;
  bool first = true;
  while (Peek() != kLocClose) {
    std::int64_t n;
    if (!Number(&n) || n < 1) return false;
    if (!first && !walker->MoveToFirstChild()) return false;
    first = false;
    for (std::int64_t i = 1; i < n; ++i)
      if (!walker->MoveNext()) return false;
  }
  Next();
  return !first;
}

bool LocationReader::Data(TreeWalker* walker) {
  std::int64_t start = 0, count = 1;
  if (Next() != kLocOpen || !Number(&start)) return false;
  if (Peek() != kLocClose && !Number(&count)) return false;
  if (Next() != kLocClose || start < 1 || count < 0) return false;
  Document* shown = walker->GetDocument();
  const DocumentNode* element = walker->Current() ? walker->Current() : shown->Root();
  std::uint32_t from = 0, to = 0;
  auto clip = [](std::int64_t v) {
    return static_cast<std::uint32_t>(v > 0xFFFFFFF ? 0xFFFFFFF : v);
  };
  if (!element || !SelectWords(shown, element->start, clip(start), clip(count), &from, &to))
    return false;
  EngineBase* engine = GetEngine();
  if (engine)
    engine->GotoPosition(0, nullptr, shown, static_cast<std::int32_t>(from),
                         static_cast<std::int32_t>(to - from), 0);
  return true;
}

bool LocationReader::Figure(TreeWalker* walker, Document* document, DocumentNode* element) {
  if (!Word()) return false;
  EntityDecl* graphic = walker->GetDocument()->FindEntityOrDefault(token_);
  if (!graphic || !graphic->IsExternal()) return false;
  std::int64_t v[4];
  for (std::int64_t& value : v)
    if (!Number(&value)) return false;
  // The zoom word must stand there; its value is not used.
  if (!Word()) return false;
  // Kept inside the graphic as hotspots are: a corner within 0..2047, a
  // side of at least 1 that ends at 2048 at the latest.
  auto corner = [](std::int64_t c) {
    return static_cast<std::int16_t>(c < 0 ? 0 : c > kHotspotUnits - 1 ? kHotspotUnits - 1 : c);
  };
  auto side = [](std::int64_t at, std::int64_t length) {
    if (length < 1) length = 1;
    if (at + length > kHotspotUnits) length = kHotspotUnits - at;
    return static_cast<std::int16_t>(length);
  };
  HotspotArea area;
  area.x = corner(v[0]);
  area.y = corner(v[1]);
  area.width = side(area.x, v[2]);
  area.height = side(area.y, v[3]);
  EngineBase* engine = GetEngine();
  if (engine) engine->GotoLocation(nullptr, document, element, graphic, area);
  return true;
}

int LocationReader::Resolve(Document* document, DocumentNode* element) {
  if (!document || !document->Root()) return 0;
  auto* walker = new TreeWalker(document, element);
  int result = 0;
  for (bool done = false; !done && !error_;) {
    switch (Next()) {
      case kLocEnd:
        done = true;
        break;
      case kLocId: {
        DocumentNode* target = Word() ? FindElementByIdText(walker->GetDocument(), token_) : nullptr;
        if (!target) error_ = true;
        else walker->SetNode(target);
        break;
      }
      case kLocDoc: {
        EntityDecl* entity = Word() ? walker->GetDocument()->FindEntityOrDefault(token_) : nullptr;
        ExternalId* id = entity ? entity->GetExternalId() : nullptr;
        DocumentCache* documents = EngineDocuments();
        Document* opened = id && documents ? documents->Get(id) : nullptr;
        if (!opened || !opened->Root()) {
          if (opened) opened->Release();
          error_ = true;
          break;
        }
        delete walker;
        walker = new TreeWalker(opened, nullptr);
        opened->Release();
        break;
      }
      case kLocTree:
        if (!Tree(walker)) error_ = true;
        break;
      case kLocData:
        if (Data(walker)) result = 1;
        else error_ = true;
        done = true;
        break;
      case kLocFig:
        if (Figure(walker, document, element)) result = 1;
        else error_ = true;
        done = true;
        break;
      case kLocTei: {
        // The evaluator reads the rest of the text from here.
        if (!ResolveExtendedPointer(walker, pos_, walker->Current(), nullptr))
          error_ = true;
        pos_ = "";
        break;
      }
      default:
        error_ = true;
        break;
    }
  }
  if (!error_ && !result) {
    std::uint32_t start, end;
    walker->GetRange(&start, &end);
    EngineBase* engine = GetEngine();
    if (engine)
      engine->GotoPosition(0, nullptr, walker->GetDocument(), static_cast<std::int32_t>(start),
                           static_cast<std::int32_t>(end > start ? end - start : 0), 0);
    result = 1;
  }
  delete walker;
  return error_ ? 0 : result;
}

}  // namespace

int ParseLocationString(Document* document, DocumentNode* element, const char* text) {
  LocationReader reader(text);
  return reader.Resolve(document, element);
}

}  // namespace qs
