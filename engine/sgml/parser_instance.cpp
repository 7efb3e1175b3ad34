// The top of the parser: the document entry points, the prolog, the start
// of the instance, the content loop with its record ends and blanks, end
// tags, marked sections in content, the markup kept from the prolog and the
// ID references resolved after the instance.
#include <cstring>

#include "foundation/names.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "foundation/utf8.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "sgml/parser.h"
#include "sgml/parser_instance.h"
#include "sgml/text_store.h"

namespace qs {

Parser::InstanceLists::~InstanceLists() {
  while (pis) {
    PiRecord* r = pis;
    pis = r->next;
    MemFree(r->text);
    MemFree(r);
  }
  while (nidrefs) {
    Nidref* r = nidrefs;
    nidrefs = r->next;
    ReleaseName(r->element);
    ReleaseName(r->attribute);
    delete r;
  }
  while (idrefs) {
    IdRefRecord* r = idrefs;
    idrefs = r->next;
    ReleaseName(r->value);
    delete r;
  }
  MemFree(docTitle);
}

// ---- Document text ---------------------------------------------------------------

std::uint32_t Parser::TextOffset() const {
  return document_->TextLength() + static_cast<std::uint32_t>(textBuffered_);
}

void Parser::FlushText() {
  if (textBuffered_ == 0) return;
  std::size_t n = textBuffered_;
  textBuffered_ = 0;
  if (!document_->AppendText(textBuffer_, n) && !textFull_) {
    textFull_ = true;
    Error(kMsgOutOfMemory);
  }
}

void Parser::PutDataBytes(const char* bytes, std::size_t n) {
  if (textFull_) return;
  // Offsets are 24-bit: text that would pass them ends the parse rather
  // than being cut or wrapped.
  if (n > kMaxDocumentText - TextOffset()) {
    textFull_ = true;
    Error(kMsgOutOfMemory);
    return;
  }
  while (n > 0) {
    std::size_t room = kTextBufferSize - textBuffered_;
    std::size_t take = n < room ? n : room;
    std::memcpy(textBuffer_ + textBuffered_, bytes, take);
    textBuffered_ += take;
    bytes += take;
    n -= take;
    if (textBuffered_ == kTextBufferSize) FlushText();
  }
}

std::size_t Parser::TakeDataRun(const std::uint8_t* plain) {
  InputFrame* frame = top_;
  if (!frame || frame->pushedCount != 0 || textFull_) return 0;
  std::size_t n;
  const std::uint8_t* p = frame->stream->Buffered(&n);
  // Text that would pass the offsets' limit is left to the byte-by-byte
  // path, which ends the parse at the character it always has.
  std::size_t room = kMaxDocumentText - TextOffset();
  if (n > room) n = room;
  auto isBlank = [](std::uint8_t b) { return b == ' ' || b == '\t' || b == '\n'; };
  std::size_t taken = 0;  // bytes consumed from the buffer
  std::size_t run = 0;
  for (;;) {
    while (run < n) {
      std::uint8_t b = p[run];
      if (plain[b]) {
        ++run;
        continue;
      }
      // A whole, well-formed UTF-8 sequence is copied as it stands, as the
      // character-by-character copy does; anything else goes that way.
      if (b < 0xC0) break;
      std::size_t length = static_cast<std::size_t>(Utf8SequenceLength(b));
      if (length > 4 || length > n - run) break;
      std::size_t k = 1;
      while (k < length && (p[run + k] & 0xC0) == 0x80) ++k;
      if (k != length) break;
      if (xml_ && IsNonCharacter(reinterpret_cast<const char*>(p + run), length)) break;
      run += length;
    }
    // Blanks and record ends between two pieces of data, where they are no
    // data themselves, are one space in mixed content and nothing elsewhere,
    // as they are one by one.
    std::size_t next = run;
    std::int32_t lines = 0;
    if (preserve_ == 0) {
      while (next < n && isBlank(p[next])) lines += p[next++] == '\n';
    }
    bool blanks = next > run && next < n && plain[p[next]];
    if (blanks && mixed_ && next == run + 1 && p[run] == ' ') {
      // One blank between words is the space it becomes: the run goes on.
      run = next;
      continue;
    }
    if (run > taken) {
      frame->stream->Skip(run - taken);
      current_ = p[run - 1];
      PutDataBytes(reinterpret_cast<const char*>(p + taken), run - taken);
      taken = run;
      if (stop_) return taken;
    }
    if (!blanks) return taken;
    frame->stream->Skip(next - run);
    frame->line += lines;
    current_ = p[next - 1];
    if (mixed_) PutDataBytes(" ", 1);
    taken = run = next;
    if (stop_) return taken;
  }
}

// ---- Entry points ----------------------------------------------------------------

void Parser::ParseSource(ExternalId* id, bool declarationsOnly) {
  std::int32_t encoding = 0;
  Stream* stream = OpenEntity(id, true, &encoding);
  if (!stream) return;
  if (stop_) {
    stream->Release();
    return;
  }
  ParseDocumentInputFrom(stream, declarationsOnly, encoding, id);
}

void Parser::ParseDocumentInput(Stream* stream, bool declarationsOnly, int encoding) {
  ParseDocumentInputFrom(stream, declarationsOnly, encoding, nullptr);
}

void Parser::ParseDocumentInputFrom(Stream* stream, bool declarationsOnly, int encoding,
                                    ExternalId* id) {
  if (!stream) return;
  stop_ = 0;
  endOfInput_ = false;
  endExpected_ = false;
  if (id && id->Location()) {
    document_->SetSource(id);
  } else {
    ExternalId* name = TempDocumentName();
    document_->SetSource(name);
    name->Release();
  }
  document_->SetDtd(dtd_);
  PushInput(stream, encoding, false, id, nullptr);

  int prolog = ReadProlog(7);
  if (prolog == 1) {
    ParseDoctype();
    if (!stop_ && !declarationsOnly) {
      int next = ReadProlog(9);
      if (next == 2) {
        ParseInstance(true);
      } else if (next != 0) {
        Error(kMsgBadInstanceStart);
      }
    }
  } else if (prolog == 2 && !declarationsOnly) {
    ParseInstance(document_->DoctypeId() != nullptr);
  }

  ExternalId* doctype = dtd_->DoctypeId();
  if (!declarationsOnly) {
    const char* title = lists_.docTitle;
    if (doctype) document_->SetDoctypeId(doctype);
    if (doctype && doctype->PublicId() && entityrc_) {
      if (!title) {
        InternedName* publicId = InternName(doctype->PublicId());
        title = publicId ? entityrc_->GetDocTitle(publicId) : nullptr;
        ReleaseName(publicId);
      }
      entityrc_->GetResources(doctype, document_->Resources(), true);
    }
    FlushText();
    if (title && !document_->TitleExcerpt()) document_->SetTitleExcerpt(title);
  } else if (doctype && doctype->PublicId() && entityrc_) {
    entityrc_->GetResources(doctype, document_->Resources(), true);
  }
  FlushText();
  if (!document_->Text()) {
    auto* text = new TextStore;
    document_->SetText(text);
    text->Release();
  }
  document_->Text()->Close();
  while (top_) LeaveEntity();
}

// ---- Prolog ----------------------------------------------------------------------

int Parser::ReadProlog(int kind) {
  bool atStart = false;
  if (kind == 7) {
    int c = NextChar();
    if (stop_) return 0;
    atStart = c == '<';
    if (!endOfInput_) UngetChar();
  }
  for (;;) {
    int c = SkipSeparators();
    if (stop_) return 0;
    if (c != '<') {
      Error(kMsgSyntaxError);
      return 0;
    }
    c = NextChar();
    if (stop_) return 0;
    if (c == '?') {
      ReadProcessingInstruction(kind, atStart);
      atStart = false;
      if (stop_) return 0;
      continue;
    }
    if (c != '!') {
      if (!endOfInput_) UngetChar();
      return 2;
    }
    // The scanner has already removed a comment that follows "<!".
    int d = NextChar();
    if (stop_) return 0;
    if (d == '>') continue;
    if (IsSeparator(d)) {
      if (SkipSeparators() != '>') {
        if (!stop_) Error(kMsgOnlyComment);
        return 0;
      }
      continue;
    }
    if (d == 'S' || d == 's') {
      UngetChar();
      if (!SkipSgmlDecl()) return 0;
      continue;
    }
    if (!endOfInput_) UngetChar();
    return 1;
  }
}

bool Parser::SkipSgmlDecl() {
  ReadFoldedName();
  if (stop_) return false;
  if (CompareStringNoCase(token_, "SGML") != 0) Error(kMsgExpectedSgml);
  bool wasEnabled = comments_;
  comments_ = false;
  int previous = 0;
  for (;;) {
    int c = NextRawChar();
    if (stop_ || endOfInput_) break;
    if (c == '"' || c == '\'') {
      int q;
      do {
        q = NextRawChar();
      } while (!stop_ && !endOfInput_ && q != c);
      previous = 0;
      continue;
    }
    if (c == '-' && previous == '-') {
      int a = 0;
      for (;;) {
        int b = NextRawChar();
        if (stop_ || endOfInput_) break;
        if (b == '-' && a == '-') break;
        a = b;
      }
      previous = 0;
      continue;
    }
    if (c == '>') break;
    previous = c;
  }
  comments_ = wasEnabled;
  return !stop_;
}

// ---- Instance --------------------------------------------------------------------

void Parser::ParseInstance(bool nameKnown) {
  BeginInstance(nameKnown);
  KeepPrologMarkup();
}

void Parser::BeginInstance(bool nameKnown) {
  // The link instructions of the prolog are all in: the element types and
  // attributes they name are flagged, so that their elements become links.
  if (dtd_) document_->FlagLinkDeclarations(*dtd_);
  parameterRefs_ = false;
  comments_ = false;
  msDepth_ = 0;
  pendingSpace_ = false;
  parent_ = prevSibling_ = lastStarted_ = nullptr;
  lastEnded_ = nullptr;
  elementDepth_ = 0;
  preserve_ = 0;
  std::memset(depthFlags_, 0, sizeof depthFlags_);

  int c = NextChar();
  if (stop_) return;
  ElementTypeDecl* type = nullptr;
  if (c == '>') {
    ExternalId* doctype = dtd_->DoctypeId();
    type = doctype && doctype->Name() ? dtd_->FindElement(doctype->Name()) : nullptr;
    if (!type) {
      Error(kMsgEmptyStartTag);
      return;
    }
    UngetChar();
  } else {
    if (!endOfInput_) UngetChar();
    if (!nameKnown) {
      ReadFoldedName();
      if (stop_) return;
      if (tokenLength_ == 0) {
        Error(kMsgBadInstanceStart);
        return;
      }
      char* name = DuplicateString(token_);
      type = FindOrDeclareElement(name);
      MemFree(name);
      if (!type || stop_) return;
    }
  }
  document_->FlagLinkDeclarations(*dtd_);
  // The instance may end with open elements whose end tags may be left
  // out; whether that is an error is decided when the input ends.
  endExpected_ = true;
  ParseStartTag(type);
  if (!stop_) ContentLoop();
  if (!stop_ && parent_) {
    // The input ended inside the document element: only end tags that may
    // be omitted may be missing.
    for (DocumentNode* open = parent_; open; open = open->Parent()) {
      if (!(open->Decl()->flags & 0x40)) {
        Error(kMsgUnexpectedEof);
        break;
      }
    }
    while (parent_ && !stop_) EndElement();
  }
  if (!stop_ && !parent_) ReadAfterDocumentElement();
  if (!stop_) ResolveIdReferences();
}

void Parser::ReadAfterDocumentElement() {
  // Only blanks, comments and processing instructions may follow the
  // document element; anything else is reported, never dropped unseen.
  for (;;) {
    int c = SkipSeparators();
    if (stop_ || endOfInput_) return;
    if (c == '<') {
      int d = NextChar();
      if (stop_ || endOfInput_) return;
      if (d == '?') {
        ReadProcessingInstruction(0, false);
        continue;
      }
      if (d == '/') {
        // An end tag of nothing open, as inside the element.
        ReadFoldedName();
        if (stop_) return;
        if (tokenLength_ > 0 && SkipSeparators() == '>') {
          Warning(kMsgElementNotOpen, token_);
          if (stop_) return;
          continue;
        }
      }
      if (d == '!') {
        int e = NextChar();
        if (stop_ || endOfInput_) return;
        if (e == '-') {
          UngetChar();
          bool commentsWere = comments_;
          comments_ = true;
          int f = SkipSeparators();
          comments_ = commentsWere;
          if (stop_ || endOfInput_) return;
          if (f == '>') continue;
        } else if (e == '>') {
          continue;
        }
      }
    }
    Error(kMsgSyntaxError);
    return;
  }
}

ElementTypeDecl* Parser::FindOrDeclareElement(const char* name) {
  // An external DTD read here may declare types.
  std::memset(recentTypes_, 0, sizeof recentTypes_);
  const InternedName* base = nullptr;
  if (ExternalId* inner = InnermostBase()) base = inner->Location() ? inner->Location()->Directory() : nullptr;
  auto* id = new ExternalId(resolver_, base, name, nullptr, nullptr, ExternalId::kDoctype);
  auto* second = new Parser(resolver_, entityrc_, dtd_, document_);
  second->ParseDeclarations(id, false);
  ElementTypeDecl* type = nullptr;
  if (second->Stopped()) {
    Error(kMsgCantResolveDtd, name);
  } else {
    type = dtd_->FindElement(name);
    if (!type) {
      if (!silentImplicit_ && !xml_) Warning(kMsgUndeclaredElement, name);
      type = DeclareElementType(name);
      if (type) type->flags |= 0x08;
    }
  }
  delete second;
  id->Release();
  return stop_ ? nullptr : type;
}

namespace {

// The bytes a run of data may hold without a look at each: printable ASCII
// that is no content delimiter, none the scanner acts on (comment dash,
// parameter reference), no end of a null end tag or a marked section.
const std::uint8_t* PlainDataBytes() {
  static const struct Table {
    std::uint8_t plain[256] = {};
    Table() {
      const ParserTables& t = GetParserTables();
      for (int b = 0x20; b < 0x80; ++b) {
        plain[b] = t.contentDelimiters[b] == 0 && t.tokenClasses[b] != kTcScanner && b != '/' &&
                   b != ']';
      }
    }
  } table;
  return table.plain;
}

}  // namespace

void Parser::ContentLoop() {
  const std::uint8_t* plain = PlainDataBytes();
  const std::uint8_t* delimiters = GetParserTables().contentDelimiters;
  auto isDelimiter = [&](int c) {
    return delimiters[c & 0xFF] != 0 || (c == ']' && msDepth_ > 0);
  };
  while (parent_ && !stop_) {
    bool nullEnd = (depthFlags_[elementDepth_] & 0x01) != 0;
    int c = NextChar();
    if (stop_ || endOfInput_) return;
    if (!isDelimiter(c) && !(nullEnd && c == '/')) {
      parent_->flags &= static_cast<std::uint8_t>(~kNodeData);
      FlushSpace();
      for (;;) {
        if (c >= 0xC0) {
          CopyDataCharacter(c);
        } else if (c >= 0x80) {
          PutDataBytes("\xEF\xBF\xBD", 3);
        } else if (c >= 0x20) {
          char b = static_cast<char>(c);
          PutDataBytes(&b, 1);
        } else if (c != 0) {
          // Never a byte the text store gives a meaning (1 is a kept space).
          ReportControlCharacter(c);
          PutDataBytes("\xEF\xBF\xBD", 3);
        }
        if (TakeDataRun(plain) && stop_) return;
        c = NextChar();
        if (stop_ || endOfInput_) return;
        if (isDelimiter(c) || (nullEnd && c == '/')) break;
      }
    }
    switch (c) {
      case '<':
        ParseMarkupInContent(false);
        break;
      case '&':
        ParseReference();
        break;
      case ']': {
        // The section ends at the last two of any run of ']' before '>'.
        int count = 1;
        int d = NextChar();
        while (d == ']' && !stop_) {
          ++count;
          d = NextChar();
        }
        if (stop_) return;
        bool end = count >= 2 && d == '>';
        if (end) count -= 2;
        if (!end && !endOfInput_) UngetChar();
        while (count-- > 0) PutDataChar(']');
        if (end) return;
        break;
      }
      case '/':
        EndElement();
        break;
      case '\n': {
        int d = NextChar();
        if (stop_) return;
        if (d == '<' && !endOfInput_) {
          if (preserve_ == 0) {
            ParseMarkupInContent(true);
          } else {
            PutDataChar('\n');
            ParseMarkupInContent(false);
          }
        } else {
          if (!endOfInput_) UngetChar();
          if (preserve_ == 0) {
            if (mixed_) pendingSpace_ = true;
          } else {
            PutDataChar('\n');
          }
        }
        break;
      }
      default:
        if (preserve_ == 0) {
          if (mixed_) pendingSpace_ = true;
        } else if (c == '\t') {
          PutDataChar('\t');
        } else {
          PutDataChar(0x01);
        }
        break;
    }
  }
}

void Parser::ParseMarkupInContent(bool afterRecordEnd) {
  int c = NextChar();
  if (stop_ || endOfInput_) return;
  if (afterRecordEnd && c != '/' && c != '!' && mixed_) pendingSpace_ = true;
  if (c == '!') {
    // In XML the line end before a comment or section is data. In SGML it
    // is a blank only between data before and data after, so that words on
    // either side never merge.
    if (afterRecordEnd && mixed_ && xml_) pendingSpace_ = true;
    const bool dataBefore = afterRecordEnd && mixed_ && !xml_ && parent_ &&
                            TextOffset() > parent_->start;
    int d = NextChar();
    if (stop_ || endOfInput_) return;
    if (d == '[') {
      ParseMarkedSection();
      return;
    }
    // A declaration in content (a comment above all) is skipped whole.
    UngetChar();
    comments_ = true;
    int depth = 1;
    while (depth > 0) {
      int e = NextChar();
      if (stop_ || endOfInput_) break;
      if (e == '<') {
        ++depth;
      } else if (e == '>') {
        --depth;
      } else if (e == '"' || e == '\'') {
        int q;
        do {
          q = NextRawChar();
        } while (!stop_ && !endOfInput_ && q != e);
      }
    }
    comments_ = false;
    if (dataBefore && !stop_ && !endOfInput_) {
      int next = NextChar();
      if (stop_ || endOfInput_) return;
      UngetChar();
      if (next != '<' && !IsSeparator(next)) pendingSpace_ = true;
    }
    return;
  }
  if (c == '/') {
    ParseEndTag();
    return;
  }
  if (c == '?') {
    FlushSpace();
    ReadProcessingInstruction(6, false);
    return;
  }
  UngetChar();
  if (fold_[c & 0xFF] != 0 && IsNameChar(c)) {
    ParseStartTag(nullptr);
  } else if (c == '>') {
    if (!lastEnded_) {
      Error(kMsgEmptyStartTag);
      return;
    }
    ParseStartTag(lastEnded_);
  } else {
    PutDataChar('<');
  }
}

// Every end tag asks this of its element: the name's length, known for both,
// settles most other names without reading them.
bool Parser::TokenNamesType(const DocumentNode* node) const {
  const ElementTypeDecl* type = node->Decl();
  const InternedName* name = type ? type->Name() : nullptr;
  if (!name) return std::strcmp(node->GetNameText(), token_) == 0;
  return name->Length() == tokenLength_ && MemEqual(name->Text(), token_, tokenLength_);
}

void Parser::ParseEndTag() {
  ReadFoldedName();
  if (stop_) return;
  if (tokenLength_ == 0) {
    int c = NextChar();
    if (stop_) return;
    if (!endOfInput_) UngetChar();
    if (c != '>') {
      PutDataChar('<');
      PutDataChar('/');
      return;
    }
    EndElement();
  } else if (TokenNamesType(parent_)) {
    EndElement();
  } else {
    DocumentNode* open = parent_->Parent();
    while (open && !TokenNamesType(open)) open = open->Parent();
    if (open) {
      // XML omits no end tag: the elements closed here lack theirs.
      if (xml_) Warning(kMsgBadTagClose, token_);
      if (stop_) return;
      DocumentNode* stopAt = open->Parent();
      while (parent_ && parent_ != stopAt && !stop_) EndElement();
    } else {
      ElementTypeDecl* type = dtd_->FindElement(token_);
      if (!type || (type->flags & 0x0F) != 0x01) Warning(kMsgElementNotOpen, token_);
    }
  }
  if (stop_) return;
  int c = SkipSeparators();
  if (stop_ || endOfInput_) return;
  if (c == '>') return;
  if (c == '<') {
    UngetChar();
    return;
  }
  Error(kMsgBadTagClose);
}

// ---- Marked sections -------------------------------------------------------------

void Parser::ParseMarkedSection() {
  parameterRefs_ = comments_ = true;
  int status = kRnInclude;
  for (;;) {
    int c = SkipSeparators();
    if (stop_) break;
    if (c == '[' || endOfInput_) break;
    UngetChar();
    int k = ReadKeyword();
    if (stop_) break;
    if (!(GetReservedName(k).flags & kRnfMarkedSection)) {
      Error(kMsgBadMarkedSection, token_);
      break;
    }
    status = k;
  }
  parameterRefs_ = comments_ = false;
  if (stop_) return;
  switch (status) {
    case kRnIgnore:
      SkipIgnoredSection();
      break;
    case kRnCdata:
    case kRnRcdata:
      ++preserve_;
      ParseDataUntil("]]>", status == kRnRcdata);
      --preserve_;
      break;
    default:
      // Included sections are read by recursion: their nesting is bounded
      // so that no document can exhaust the stack.
      if (msDepth_ >= kMaxSectionDepth) {
        Error(kMsgExpectedCloseBracket);
        return;
      }
      ++msDepth_;
      ContentLoop();
      --msDepth_;
      break;
  }
}

void Parser::SkipIgnoredSection() {
  int depth = 1;
  int a = 0, b = 0;
  while (depth > 0) {
    int c = NextRawChar();
    if (stop_ || endOfInput_) return;
    if (a == '<' && b == '!' && c == '[') {
      ++depth;
      a = b = 0;
    } else if (a == ']' && b == ']' && c == '>') {
      --depth;
      a = b = 0;
    } else {
      a = b;
      b = c;
    }
  }
}

// ---- After the instance -----------------------------------------------------------

void Parser::KeepPrologMarkup() {
  for (PiRecord* r = lists_.pis; r && !stop_; r = r->next) {
    if (r->kind != 7 && r->kind != 9) continue;
    std::uint32_t start = TextOffset();
    for (const char* p = r->text; *p; ++p) {
      // Unsigned: the bytes of non-ASCII characters are kept as they are.
      char b = static_cast<std::uint8_t>(*p) < 0x21 ? ' ' : *p;
      PutDataBytes(&b, 1);
    }
    if (stop_) return;
    auto* mark = new (document_->Pool()) MarkupMark(r->kind, start, TextOffset());
    if (!mark) return;
    document_->AppendMark(mark);
    if (!document_->firstKeptMarkup) document_->firstKeptMarkup = mark;
  }
}

void Parser::ResolveIdReferences() {
  while (IdRefRecord* r = lists_.idrefs) {
    lists_.idrefs = r->next;
    const char* text = NameText(r->value);
    if (!r->list) {
      if (ElementNode* e = document_->FindElementById(text)) e->flags |= kNodeLinkTarget;
    } else {
      char piece[kTokenCapacity + 1];
      const char* p = text;
      while (*p) {
        while (*p == ' ') ++p;
        std::size_t n = 0;
        while (p[n] && p[n] != ' ') ++n;
        if (n == 0) break;
        if (n <= kTokenCapacity) {
          std::memcpy(piece, p, n);
          piece[n] = 0;
          if (ElementNode* e = document_->FindElementById(piece)) e->flags |= kNodeLinkTarget;
        }
        p += n;
      }
    }
    ReleaseName(r->value);
    delete r;
  }
  lists_.lastIdref = nullptr;
}

void Parser::ApplyNidrefRecords() {
  for (Nidref* r = lists_.nidrefs; r; r = r->next) {
    auto apply = [&](ElementTypeDecl* type) {
      AttributeDeclSet& set = type->Attributes();
      for (std::size_t i = set.Count(); i-- > 0;) {
        AttributeDecl* decl = set.At(i);
        if (!decl || !(decl->Flags() & kAttrIdRefKind)) continue;
        if (r->attribute && decl->Name() != r->attribute) continue;
        decl->SetFlags(decl->Flags() | kAttrNoIdRef);
      }
    };
    if (r->element) {
      if (ElementTypeDecl* type = dtd_->FindElement(NameText(r->element))) apply(type);
    } else {
      for (ElementTypeDecl* type = dtd_->FirstElement(); type; type = dtd_->NextElement()) {
        apply(type);
      }
    }
  }
}

}  // namespace qs
