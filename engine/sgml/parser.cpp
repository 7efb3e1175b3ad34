// The parser object: its input stack, the byte scanner with record ends,
// comments and parameter-entity references, the readers of names, keywords
// and literals, and the entry point for a file of declarations.
#include "sgml/parser.h"

#include <cstring>

#include "foundation/engine.h"
#include "foundation/engine_services.h"
#include "foundation/entity_storage.h"
#include "foundation/strings.h"
#include "foundation/utf8.h"
#include "sgml/catalog.h"
#include "sgml/decoders.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "sgml/sdata_table.h"

namespace qs {

namespace {

// Hears the decoder's report of an unknown encoding for the parser.
class DecoderWarnings : public DecodeReporter {
 public:
  explicit DecoderWarnings(Parser& parser) : parser_(parser) {}
  void Warning(int number, const char* argument) override { parser_.Warning(number, argument); }

 private:
  Parser& parser_;
};

}  // namespace

Stream* Parser::OpenIdentifier(ExternalId* id, std::int32_t* encoding) {
  if (encoding) *encoding = 0;
  return id ? id->OpenRead(encoding) : nullptr;
}

Parser::Parser(EntityResolver* resolver, EntityrcFile* entityrc, Dtd* dtd, Document* document)
    : resolver_(resolver),
      entityrc_(entityrc),
      dtd_(dtd ? dtd->AddRef() : new Dtd()),
      document_(document ? document->AddRef() : new Document()),
      encoding_(GetEngineServices().GetLoadEncoding()),
      tables_(&GetParserTables()),
      fold_(tables_->upperNames),
      names_(tables_->names) {
  token_[0] = 0;
}

Parser::~Parser() {
  while (top_) {
    InputFrame* frame = top_;
    top_ = frame->next;
    if (frame->stream) frame->stream->Release();
    if (frame->id) frame->id->Release();
    delete frame;
  }
  if (lastId_) lastId_->Release();
  for (InternedName* value : recentValues_) ReleaseName(value);
  MemFree(literal_);
  dtd_->Release();
  document_->Release();
}

void Parser::SetXmlMode(bool on) {
  xml_ = on;
  fold_ = on ? XmlNameTable() : GetParserTables().upperNames;
  names_ = on ? XmlNameTable() : GetParserTables().names;
  document_->foldsNames = !on;
}

void Parser::Warning(int, const char*, const char*, const char*) {}
void Parser::Error(int, const char*, const char*, const char*) { stop_ = 1; }

// ---- Input stack ---------------------------------------------------------------

void Parser::PushInput(Stream* stream, int encoding, bool internalText, ExternalId* id,
                       const char* text) {
  if (!stream) return;
  InputFrame* frame = new InputFrame();
  if (internalText) {
    frame->stream = stream;
    frame->encoding = encoding_;
  } else {
    DecoderWarnings warnings(*this);
    opening_ = id;
    openingFrame_ = true;
    // Each entity finds its own encoding (mark, declaration, then the
    // engine's default): a DTD in ASCII behind a UTF-16 document is ASCII.
    const int fallback = GetEngineServices().GetLoadEncoding();
    frame->stream = OpenDecoder(stream, encoding, fallback, &warnings);
    opening_ = nullptr;
    openingFrame_ = false;
    if (!frame->stream) {
      delete frame;
      return;
    }
    frame->encoding = frame->stream->GetEncoding();
    if (frame->encoding < 0 || frame->encoding > kEncodingBig5) frame->encoding = fallback;
    encoding_ = frame->encoding;
  }
  frame->id = id ? id->AddRef() : nullptr;
  frame->text = text;
  if (text) ++internalDepth_;
  frame->next = top_;
  top_ = frame;
  ++depth_;
  endOfInput_ = false;
}

void Parser::LeaveEntity() {
  InputFrame* frame = top_;
  if (!frame) return;
  if (frame->id && frame->id->PublicId() && entityrc_) {
    InternedName* publicId = InternName(frame->id->PublicId());
    const char* verbatim = publicId ? entityrc_->GetVerbatim(publicId) : nullptr;
    if (verbatim) MarkVerbatim(verbatim);
    ReleaseName(publicId);
  }
  top_ = frame->next;
  --depth_;
  if (frame->text) {
    --internalDepth_;
  } else if (frame->stream) {
    std::int32_t read = frame->stream->Tell();
    if (read > 0) inputRead_ += static_cast<std::size_t>(read);
  }
  if (!top_) {
    if (lastId_) lastId_->Release();
    lastId_ = frame->id ? frame->id->AddRef() : nullptr;
    lastLine_ = frame->line;
  }
  frame->stream->Release();
  if (frame->id) frame->id->Release();
  delete frame;
  if (top_ && !top_->text) encoding_ = top_->encoding;
}

bool Parser::EnterEntity(EntityDecl* entity) {
  if (!entity) return false;
  const char* text = entity->GetText();
  ExternalId* id = entity->GetExternalId();
  if (text) {
    bool recursive = false;
    for (InputFrame* f = top_; f && !recursive; f = f->next) recursive = f->text == text;
    if (recursive) {
      Error(kMsgRecursiveEntity, entity->GetName());
      return false;
    }
    if (depth_ >= kMaxInputDepth) {
      Error(kMsgNestingTooDeep, entity->GetName());
      return false;
    }
    std::size_t length = std::strlen(text);
    // Entities that stay within the nesting limit can still multiply text
    // beyond any use; the total read through references is bounded.
    if (!ExpansionAllowed(length, entity->GetName())) return false;
    expanded_ += length;
    PushInput(new MemoryInStream(text, length, entity->GetName()), 0, true, nullptr, text);
    return true;
  }
  if (!id) {
    Warning(kMsgUndefinedEntity, entity->GetName());
    return false;
  }
  bool recursive = false;
  for (InputFrame* f = top_; f && !recursive; f = f->next) {
    recursive = f->id && (f->id == id || f->id->Equals(*id));
  }
  if (recursive) {
    Error(kMsgRecursiveEntity, entity->GetName());
    return false;
  }
  if (depth_ >= kMaxInputDepth) {
    Error(kMsgNestingTooDeep, entity->GetName());
    return false;
  }
  std::int32_t encoding = 0;
  Stream* stream = OpenIdentifier(id, &encoding);
  if (!stream) {
    const char* name = id->PublicId() ? id->PublicId()
                       : id->SystemId() ? id->SystemId()
                                        : entity->GetName();
    Warning(kMsgCantResolveEntity, name);
    return false;
  }
  PushInput(stream, encoding, false, id, nullptr);
  SkipTextDeclaration();
  return true;
}

void Parser::SkipTextDeclaration() {
  // An external entity's own "<?xml ...?>" names its encoding; it is no
  // part of its text.
  if (!top_ || !top_->stream || top_->text) return;
  std::size_t n = 0;
  const std::uint8_t* buf = top_->stream->Peek(&n);
  if (!buf || n < 6 || std::memcmp(buf, "<?xml", 5) != 0 || !IsSeparator(buf[5])) return;
  InputFrame* frame = top_;
  int previous = 0;
  for (int i = 0; i < 1024 && top_ == frame; ++i) {
    int c = frame->stream->GetChar();
    if (c == 0 && frame->stream->State() == Stream::kAtEnd) return;
    if (c == '\n') ++frame->line;
    if (c == '>' && previous == '?') return;
    previous = c;
  }
}

Stream* Parser::OpenEntity(ExternalId* id, bool required, std::int32_t* encoding) {
  stop_ = 0;
  endOfInput_ = false;
  endExpected_ = false;
  if (encoding) *encoding = 0;
  Stream* stream = OpenIdentifier(id, encoding);
  if (!stream) {
    char* path = id ? id->GetFilePath() : nullptr;
    const char* shown = path ? path : id ? (id->SystemId() ? id->SystemId() : id->Name()) : nullptr;
    if (required) {
      Error(kMsgCantOpenDocument, shown);
    } else {
      Warning(kMsgCantOpenDocument, shown);
    }
    MemFree(path);
  }
  return stream;
}

bool Parser::ExpansionAllowed(std::size_t more, const char* entity) {
  bool allowed = more <= kMaxExpansion - expanded_;
  std::size_t built = expanded_ + more + entityNodes_ * kExpansionNodeCost;
  if (allowed && built > kExpansionFloor) {
    std::size_t input = inputRead_;
    for (InputFrame* f = top_; f; f = f->next) {
      if (f->text || !f->stream) continue;
      std::int32_t read = f->stream->Tell();
      if (read > 0) input += static_cast<std::size_t>(read);
    }
    allowed = built / kExpansionRatio <= input;
  }
  if (!allowed) Error(kMsgOutOfMemory, entity);
  return allowed;
}

void Parser::NoteEntityNode() {
  if (internalDepth_ <= 0) return;
  // Checked every so many nodes: the count is cheap, the input's size less.
  if ((++entityNodes_ & 0xFF) == 0) ExpansionAllowed(0, nullptr);
}

ExternalId* Parser::InnermostBase() const {
  for (InputFrame* f = top_; f; f = f->next) {
    if (f->id) return f->id;
  }
  return nullptr;
}

ExternalId* Parser::CurrentLocation(std::int32_t* line) const {
  if (opening_) {
    if (line) *line = 1;
    return opening_;
  }
  for (InputFrame* f = top_; f; f = f->next) {
    if (f->id) {
      if (line) *line = f->line;
      return f->id;
    }
  }
  if (!top_ && lastId_ && !openingFrame_) {
    if (line) *line = lastLine_;
    return lastId_;
  }
  return nullptr;
}

ExternalId* Parser::InnermostId() const { return top_ ? top_->id : nullptr; }

std::int32_t Parser::CurrentLine() const {
  if (top_) return top_->line;
  if (openingFrame_) return 1;
  return lastLine_;
}

std::int32_t Parser::CurrentOffset() const {
  return top_ ? top_->stream->Tell() - top_->pushedCount : 0;
}

void Parser::MarkVerbatim(const char* text) {
  char name[kTokenCapacity + 1];
  const char* p = text;
  while (*p) {
    while (*p && !IsNameChar(*p)) ++p;
    std::size_t n = 0;
    while (*p && IsNameChar(*p)) {
      if (n < kTokenCapacity) name[n++] = static_cast<char>(fold_[static_cast<std::uint8_t>(*p)]);
      ++p;
    }
    if (n == 0) continue;
    name[n] = 0;
    if (ElementTypeDecl* decl = dtd_->FindElement(name)) decl->flags |= 0x10;
  }
}

// ---- Scanner -------------------------------------------------------------------

int Parser::NextRawCharSlow() {
  if (stop_ && !top_) return current_ = 0;
  while (top_) {
    InputFrame* frame = top_;
    if (frame->pushedCount > 0) {
      int c = frame->pushed[--frame->pushedCount];
      if (c == '\n') ++frame->line;
      current_ = static_cast<std::uint8_t>(c);
      return c;
    }
    int c = frame->stream->GetChar();
    if (c != 0 || frame->stream->State() != Stream::kAtEnd) {
      if (c == '\n') ++frame->line;
      current_ = static_cast<std::uint8_t>(c);
      return c;
    }
    LeaveEntity();
  }
  current_ = 0;
  if (!endOfInput_) {
    endOfInput_ = true;
    if (!endExpected_) Error(kMsgUnexpectedEof);
  }
  return 0;
}

void Parser::UngetChar() {
  InputFrame* frame = top_;
  if (!frame || frame->pushedCount == static_cast<int>(sizeof frame->pushed)) return;
  frame->pushed[frame->pushedCount++] = current_;
  if (current_ == '\n' && frame->line > 1) --frame->line;
}

int Parser::ScannerChar(int c) {
  char name[kParameterNameLimit + 1];
  for (bool first = true;; first = false) {
    if (!first) c = NextRawChar();
    if (TokenClassOf(c) != kTcScanner || stop_) return c;
    if (c == 0x0D) {
      int d = NextRawChar();
      if (d == 0x0A) return d;
      if (d != 0) UngetChar();
      if (top_) ++top_->line;
      return current_ = 0x0A;
    }
    if (c == '-') {
      if (!comments_) return c;
      int d = NextRawChar();
      if (d != '-') {
        if (d != 0) UngetChar();
        return current_ = '-';
      }
      // A comment: up to and including the next "--".
      int prev = 0;
      for (;;) {
        int e = NextRawChar();
        if (stop_ || endOfInput_) return 0;
        if (e == '-' && prev == '-') break;
        prev = e;
      }
      continue;
    }
    if (c == '%') {
      if (!parameterRefs_) return c;
      int d = NextRawChar();
      if (!IsNameChar(d)) {
        if (d != 0) UngetChar();
        return current_ = '%';
      }
      std::size_t n = 0;
      while (IsNameChar(d)) {
        if (n < kParameterNameLimit) name[n++] = static_cast<char>(d);
        d = NextRawChar();
      }
      name[n] = 0;
      if (d != ';' && d != 0) UngetChar();
      if (stop_) return 0;
      EntityDecl* entity = dtd_->FindEntityOrDefault(name);
      if (!entity) {
        Warning(kMsgUndefinedEntity, name);
      } else {
        EnterEntity(entity);
      }
      if (stop_) return 0;
      continue;
    }
    return c;
  }
}

int Parser::SkipSeparators() {
  // Blanks and record ends in the buffer go at once, and so does the
  // character after them when the scanner has nothing to do with it; the
  // rest the usual way.
  if (InputFrame* frame = top_; frame && frame->pushedCount == 0) {
    std::size_t n;
    const std::uint8_t* p = frame->stream->Buffered(&n);
    std::size_t k = 0;
    std::int32_t lines = 0;
    for (; k < n; ++k) {
      std::uint8_t b = p[k];
      if (b == '\n') {
        ++lines;
      } else if (b != ' ' && b != '\t' && b != 0x1A) {
        break;
      }
    }
    if (k < n && p[k] != 0 && TokenClassOf(p[k]) != kTcScanner) {
      frame->stream->Skip(k + 1);
      frame->line += lines;
      current_ = p[k];
      return p[k];
    }
    if (k > 0) {
      frame->stream->Skip(k);
      frame->line += lines;
      current_ = p[k - 1];
    }
  }
  for (;;) {
    int c = NextChar();
    if (stop_ || endOfInput_ || !IsSeparator(c)) return c;
  }
}

void Parser::SkipSeparatorsAndUnget() {
  int c = SkipSeparators();
  if (!stop_ && !endOfInput_) UngetChar();
  (void)c;
}

void Parser::ReadName() {
  tokenLength_ = 0;
  for (;;) {
    int c = NextRawChar();
    if (stop_ || !IsNameChar(c)) break;
    if (tokenLength_ < kTokenCapacity) token_[tokenLength_++] = static_cast<char>(c);
  }
  token_[tokenLength_] = 0;
  if (!stop_ && !endOfInput_) UngetChar();
}

void Parser::ReadFoldedName() {
  tokenLength_ = 0;
  // A name that ends inside the input's buffer (after at most the one byte
  // given back before it) is taken at once; the byte that ends it stays
  // unread, as if read and given back (the same place for CurrentOffset
  // where the stream counts bytes).
  InputFrame* frame = top_;
  if (!stop_ && frame && frame->pushedCount <= 1 && frame->stream->TellCountsBytes()) {
    std::size_t i = 0;
    if (frame->pushedCount == 1) {
      std::uint8_t b = frame->pushed[0];
      std::uint8_t f = fold_[b];
      if (f == 0 && b != 0) {
        token_[0] = 0;
        current_ = b;
        return;
      }
      token_[0] = static_cast<char>(f);
      i = f != 0 ? 1 : kTokenCapacity;  // a given-back NUL goes the long way
    }
    std::size_t n;
    const std::uint8_t* p = frame->stream->Buffered(&n);
    std::size_t limit = i + n < kTokenCapacity ? i + n : kTokenCapacity;
    std::size_t j = i;
    // Locals: a store through the token could otherwise be taken to change
    // the members themselves.
    char* token = token_;
    const std::uint8_t* fold = fold_;
    for (; j < limit; ++j) {
      std::uint8_t f = fold[p[j - i]];
      if (f == 0) break;
      token[j] = static_cast<char>(f);
    }
    if (j < limit && p[j - i] != 0) {
      frame->pushedCount = 0;
      frame->stream->Skip(j - i);
      tokenLength_ = j;
      token_[j] = 0;
      current_ = p[j - i];
      return;
    }
  }
  for (;;) {
    int c = NextRawChar();
    std::uint8_t f = fold_[c & 0xFF];
    if (stop_ || f == 0) break;
    if (tokenLength_ < kTokenCapacity) token_[tokenLength_++] = static_cast<char>(f);
  }
  token_[tokenLength_] = 0;
  if (!stop_ && !endOfInput_) UngetChar();
}

int Parser::ReadKeyword() {
  const std::uint8_t* upper = GetParserTables().upperNames;
  tokenLength_ = 0;
  for (;;) {
    int c = NextRawChar();
    std::uint8_t f = upper[c & 0xFF];
    if (stop_ || f == 0) break;
    if (tokenLength_ < kTokenCapacity) token_[tokenLength_++] = static_cast<char>(f);
  }
  token_[tokenLength_] = 0;
  if (stop_) return 0;
  if (!endOfInput_) UngetChar();
  if (tokenLength_ == 0) {
    Error(kMsgBadToken);
    return 0;
  }
  return FindReservedName(token_, tokenLength_);
}

void Parser::FoldInPlace(char* text) const {
  for (char* p = text; *p; ++p) {
    if (IsNameChar(*p)) *p = static_cast<char>(fold_[static_cast<std::uint8_t>(*p)]);
  }
}

namespace {

// An answer of the SDATA table, kept for the rest of the parse.
class SdataCacheItem : public HashItem {
 public:
  explicit SdataCacheItem(SdataEntry* entry) : entry_(entry) {}
  ~SdataCacheItem() override { entry_->Release(); }
  const char* GetKey() const override { return entry_->Name(); }
  std::size_t GetKeyLength() const override { return entry_->NameLength(); }
  const char* Replacement() const { return entry_->Replacement(); }

 private:
  SdataEntry* entry_;
};

}  // namespace

const char* Parser::SdataReplacement(const char* text, bool* first) {
  if (first) *first = false;
  if (!text) return nullptr;
  std::size_t length = std::strlen(text);
  if (auto* cached = static_cast<SdataCacheItem*>(sdataCache_.Find(text, length)))
    return cached->Replacement();
  if (first) *first = true;
  EngineBase* engine = GetEngine();
  // Without a table every text is its own answer: none.
  SdataEntry* entry = engine && engine->sdata ? engine->sdata->Lookup(text)
                                              : new SdataEntry(text, nullptr);
  if (!entry) return nullptr;
  if (!entry->Name()) {
    entry->Release();
    return nullptr;
  }
  auto* item = new SdataCacheItem(entry);
  if (!item) {
    entry->Release();
    return nullptr;
  }
  if (!sdataCache_.Insert(item, false)) {
    delete item;
    return nullptr;
  }
  return item->Replacement();
}

bool Parser::GrowLiteral(std::size_t needed) {
  if (needed <= literalCapacity_) return true;
  // A literal may be as long as a document's whole text, no longer.
  if (needed > kMaxLiteral + 1) return false;
  std::size_t capacity = literalCapacity_ ? literalCapacity_ : 2 * (kTokenCapacity + 1);
  while (capacity < needed) capacity *= 2;
  if (capacity > kMaxLiteral + 1) capacity = kMaxLiteral + 1;
  char* bigger = static_cast<char*>(MemAlloc(capacity));
  if (!bigger) return false;
  if (literal_) {
    std::memcpy(bigger, literal_, literalCapacity_);
    MemFree(literal_);
  }
  literal_ = bigger;
  literalCapacity_ = capacity;
  return true;
}

void Parser::ReadLiteral(int delimiter, bool expand) {
  ReadLiteral(delimiter, expand ? kLiteralExpand : kLiteralPlain);
}

void Parser::ReadLiteral(int delimiter, LiteralKind kind) {
  bool commentsWere = comments_;
  comments_ = false;
  const bool expand = kind != kLiteralPlain;
  const bool attribute = kind == kLiteralAttribute;
  // The literal is read into a buffer that grows: entity texts and
  // attribute values are kept whole.
  if (!GrowLiteral(kTokenCapacity + 1)) {
    Error(kMsgOutOfMemory);
    comments_ = commentsWere;
    return;
  }
  token_ = literal_;
  std::size_t n = 0;
  bool tooLong = false;
  auto put = [&](const char* bytes, std::size_t count) {
    if (tooLong) return;
    if (n + count + 1 > literalCapacity_ && !GrowLiteral(n + count + 1)) {
      tooLong = true;
      Error(kMsgOutOfMemory);
      return;
    }
    token_ = literal_;
    std::memcpy(token_ + n, bytes, count);
    n += count;
  };
  static const char kReplacement[3] = {'\xEF', '\xBF', '\xBD'};
  // The bytes a literal keeps as they are, whatever kind it is: printable
  // ASCII but both quotes, '&', '%' and '-'.
  static const struct Plain {
    bool byte[256] = {};
    Plain() {
      for (int b = 0x20; b < 0x7F; ++b) {
        byte[b] = b != '"' && b != '\'' && b != '&' && b != '%' && b != '-';
      }
    }
  } plain;
  // A delimiter inside the text of an entity entered within the literal
  // does not end it.
  const int startDepth = depth_;
  for (;;) {
    if (InputFrame* frame = top_; frame && frame->pushedCount == 0 && !tooLong) {
      std::size_t avail;
      const std::uint8_t* p = frame->stream->Buffered(&avail);
      // Short of the size limit: the byte past it takes the usual way.
      if (avail > kMaxLiteral - n) avail = kMaxLiteral - n;
      std::size_t k = 0;
      while (k < avail && plain.byte[p[k]]) ++k;
      if (k > 0) {
        frame->stream->Skip(k);
        current_ = p[k - 1];
        put(reinterpret_cast<const char*>(p), k);
      }
    }
    int c = NextChar();
    if (stop_ || endOfInput_ || tooLong) break;
    if (c == delimiter && depth_ <= startDepth) break;
    if (c == 0) continue;
    if (!expand) {
      char b = static_cast<char>(c);
      put(&b, 1);
      continue;
    }
    if (c == '&') {
      int d = NextChar();
      if (d == '#') {
        int e = NextChar();
        bool hex = e == 'x';
        if (hex) e = NextChar();
        auto digit = [&](int ch) {
          if (ch >= '0' && ch <= '9') return ch - '0';
          if (hex && ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
          if (hex && ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
          return -1;
        };
        char written[16];
        std::size_t w = 0;
        std::uint32_t value = 0;
        bool outOfRange = false;
        int digits = 0;
        while (!stop_ && digit(e) >= 0) {
          value = value * (hex ? 16u : 10u) + static_cast<std::uint32_t>(digit(e));
          if (value > 0x10FFFF) outOfRange = true, value = 0x110000;
          if (w < sizeof written - 1) written[w++] = static_cast<char>(e);
          ++digits;
          e = NextChar();
        }
        if (stop_) break;
        if (digits == 0) {
          put("&#", 2);
          if (hex) put("x", 1);
          if (e == delimiter || e == 0) break;
          UngetChar();
          continue;
        }
        if (e != ';' && e != 0) UngetChar();
        if (outOfRange || !IsAllowedCodePoint(value)) {
          char shown[24] = "#";
          if (hex) std::strcat(shown, "x");
          written[w] = 0;
          std::strcat(shown, written);
          Warning(kMsgBadCharEntity, shown);
          if (stop_) break;
          put(kReplacement, 3);
          continue;
        }
        char utf8[8];
        put(utf8, static_cast<std::size_t>(EncodeUtf8(value, utf8)));
        continue;
      }
      if (!IsNameChar(d) || kind == kLiteralCharRefs) {
        put("&", 1);
        if (d == delimiter || d == 0) break;
        UngetChar();
        continue;
      }
      char name[kTokenCapacity + 1];
      std::size_t m = 0;
      while (IsNameChar(d)) {
        if (m < kTokenCapacity) name[m++] = static_cast<char>(d);
        d = NextChar();
      }
      name[m] = 0;
      if (stop_) break;
      if (d != ';' && d != 0) UngetChar();
      EntityDecl* entity = document_->FindEntityOrDefault(name);
      const char* text = entity ? entity->GetText() : nullptr;
      if (text && entity->GetType() == kRnSdata) {
        const char* replacement = SdataReplacement(text);
        if (replacement) {
          put(replacement, std::strlen(replacement));
        } else {
          Warning(kMsgCantResolveSdata, text);
          put("&", 1);
          put(name, m);
          if (d == ';') put(";", 1);
        }
      } else if (text && attribute && entity->GetType() != kRnCdata) {
        // Its text is read as part of the value, references and all; a
        // loop or too much text is an error of the entity.
        if (!EnterEntity(entity) || stop_) break;
      } else if (text) {
        std::size_t length = std::strlen(text);
        if (!ExpansionAllowed(length, name)) break;
        expanded_ += length;
        put(text, length);
      } else {
        put("&", 1);
        put(name, m);
      }
      continue;
    }
    std::uint8_t b = static_cast<std::uint8_t>(c);
    if (b >= 0x80 && b < 0xC0) {
      put(kReplacement, 3);
    } else if (b >= 0xC0) {
      char seq[8];
      std::size_t len = static_cast<std::size_t>(Utf8SequenceLength(b));
      if (len > 4) len = 1;  // never a character of Unicode
      seq[0] = static_cast<char>(b);
      std::size_t got = 1;
      while (got < len) {
        int e = NextChar();
        if ((e & 0xC0) != 0x80) {
          if (e != 0 && !stop_) UngetChar();
          break;
        }
        seq[got++] = static_cast<char>(e);
      }
      if (got == len && len > 1 && xml_ && IsNonCharacter(seq, got)) {
        ReportControlCharacter(static_cast<std::uint8_t>(seq[2]) == 0xBE ? 0xFFFE : 0xFFFF);
        put(kReplacement, 3);
      } else if (got == len && len > 1) {
        put(seq, got);
      } else {
        put(kReplacement, 3);
      }
    } else if (attribute && (b == '\t' || b == '\n')) {
      // Line ends and tabs written in a value are blanks; those given by
      // character references stay.
      put(" ", 1);
    } else if (b < 0x20 && b != '\t' && b != '\n') {
      ReportControlCharacter(b);
      put(kReplacement, 3);
    } else {
      char one = static_cast<char>(b);
      put(&one, 1);
    }
  }
  // Entities entered inside the literal and not read to their end are
  // left with it.
  while (depth_ > startDepth && top_) LeaveEntity();
  token_[n] = 0;
  tokenLength_ = n;
  comments_ = commentsWere;
}

bool Parser::IsAllowedCodePoint(std::uint32_t cp) const {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  if (cp < 0x20) return cp == '\t' || cp == '\n' || cp == '\r';
  return !(xml_ && (cp == 0xFFFE || cp == 0xFFFF));
}

bool Parser::IsNonCharacter(const char* utf8, std::size_t length) {
  return length == 3 && static_cast<std::uint8_t>(utf8[0]) == 0xEF &&
         static_cast<std::uint8_t>(utf8[1]) == 0xBF &&
         (static_cast<std::uint8_t>(utf8[2]) == 0xBE || static_cast<std::uint8_t>(utf8[2]) == 0xBF);
}

void Parser::ReportControlCharacter(int c) {
  // Once a parse: a file full of them is one problem, not thousands.
  if (controlReported_) return;
  controlReported_ = true;
  char shown[16];
  FormatString(shown, sizeof shown, "#x%X", static_cast<unsigned>(c));
  Warning(kMsgBadCharEntity, shown);
}

// ---- Entry points ----------------------------------------------------------------

void Parser::ParseDeclarations(ExternalId* id, bool required) {
  std::int32_t encoding = 0;
  Stream* stream = OpenEntity(id, required, &encoding);
  if (!stream || stop_) {
    if (stream) stream->Release();
    return;
  }
  // The identifier goes with the stream: the file's own base and name.
  ParseDeclarationInputFrom(stream, encoding, id);
}

void Parser::ParseDeclarationInput(Stream* stream, int encoding) {
  ParseDeclarationInputFrom(stream, encoding, nullptr);
}

void Parser::ParseDeclarationInputFrom(Stream* stream, int encoding, ExternalId* id) {
  if (!stream) return;
  stop_ = 0;
  endOfInput_ = false;
  endExpected_ = false;
  if (!dtd_->DoctypeId()) {
    ExternalId* name = id ? id->AddRef() : TempDocumentName();
    dtd_->SetDoctypeId(name);
    name->Release();
  }
  PushInput(stream, encoding, false, id, nullptr);
  ParseMarkupDecl(0);
  ApplyNidrefRecords();
  CompleteDeclarations();
  if (entityrc_ && dtd_->DoctypeId() && dtd_->DoctypeId()->PublicId()) {
    entityrc_->GetResources(dtd_->DoctypeId(), document_->Resources(), true);
  }
  while (top_) LeaveEntity();
}

ExternalId* TempDocumentName() {
  static long counter = 0;
  char text[40];
  FormatString(text, sizeof text, "Z:\\TMP-DOC\\%ld", counter++);
  return new ExternalId(nullptr, nullptr, nullptr, text, nullptr, ExternalId::kGeneralEntity);
}

// ---- Counts --------------------------------------------------------------------

DtdCounts CountDeclarations(Dtd& dtd) {
  DtdCounts counts;
  for (ElementTypeDecl* e = dtd.FirstElement(); e; e = dtd.NextElement()) {
    ++counts.elements;
    counts.attributes += e->Attributes().Count();
  }
  for (EntityDecl* e = dtd.FirstEntity(); e; e = dtd.NextEntity()) ++counts.parameterEntities;
  for (NotationDecl* n = dtd.FirstNotation(); n; n = dtd.NextNotation()) ++counts.notations;
  return counts;
}

}  // namespace qs
