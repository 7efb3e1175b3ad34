// The engine's SGML parser (which also reads XML): one parser reads one
// source, a document entity or a file of declarations, into a Document and
// its Dtd. This header holds the parser object with its input stack and
// scanner, the declaration readers, and the shared keyword and character
// tables; the document instance is read by the same object.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "sgml/attributes.h"

namespace qs {

class AttributeDecl;
class ContentModel;
class Document;
class Dtd;
class EntityDecl;
class EntityResolver;
class EntityrcFile;
class ExternalId;
class ExternalEntityDecl;
class DocumentNode;
struct Nidref;
struct IdRefRecord;
class ElementTypeDecl;
struct Attribute;
class NameList;
class NotationDecl;
class Stream;
class TokenGroup;
class InternedName;

// ---- Shared tables ----------------------------------------------------------

// Reserved names: the index is the keyword code every declaration reader
// (and the document model) tests; 0 means "no keyword".
enum ReservedName : std::uint8_t {
  kRnNone = 0, kRnSystem = 1, kRnPublic = 2, kRnDefault = 3, kRnSubdoc = 4, kRnAny = 5,
  kRnEmpty = 6, kRnEntity = 7, kRnEntities = 8, kRnId = 9, kRnIdref = 10, kRnIdrefs = 11,
  kRnName = 12, kRnNames = 13, kRnNmtoken = 14, kRnNmtokens = 15, kRnNumber = 16,
  kRnNumbers = 17, kRnNutoken = 18, kRnNutokens = 19, kRnNotation = 20, kRnFixed = 21,
  kRnRequired = 22, kRnCurrent = 23, kRnConref = 24, kRnImplied = 25, kRnIgnore = 26,
  kRnInclude = 27, kRnTemp = 28, kRnCdata = 29, kRnSdata = 30, kRnRcdata = 31, kRnNdata = 32,
  kRnPcdata = 33, kRnPi = 34, kRnStarttag = 35, kRnEndtag = 36, kRnMs = 37, kRnMd = 38,
  kRnRe = 39, kRnRs = 40, kRnSpace = 41, kRnTab = 42, kRnAll = 43, kRnImplicit = 44,
};
constexpr int kReservedNameCount = 45;

enum ReservedNameFlag : std::uint32_t {
  kRnfIdValue = 0x1,
  kRnfIdRef = 0x2,
  kRnfList = 0x4,
  kRnfTokenKindMask = 0x7,
  kRnfContentRef = 0x10,
  kRnfInternalEntity = 0x100,
  kRnfExternalEntity = 0x200,
  kRnfDeclaredContent = 0x400,
  kRnfCdataValue = 0x800,
  kRnfSingleToken = 0x1000,
  kRnfDefaultKeyword = 0x2000,
  kRnfMarkedSection = 0x4000,
};

struct ReservedNameEntry {
  const char* name;
  std::uint32_t flags;
};
const ReservedNameEntry& GetReservedName(int index);
// The reserved-name index of an upper-case word, 0 when it is none.
int FindReservedName(const char* upper, std::size_t length);

enum DeclarationKeyword : std::uint8_t {
  kDeclUnknown = 0, kDeclEntity = 1, kDeclElement = 2, kDeclAttlist = 3, kDeclNotation = 4,
  kDeclShortref = 5, kDeclUsemap = 6, kDeclEor = 7,
};
int FindDeclarationKeyword(const char* upper, std::size_t length);

// The five 256-byte character tables every parser shares.
struct ParserTables {
  std::uint8_t separators[256];
  std::uint8_t upperNames[256];
  std::uint8_t names[256];
  std::uint8_t tokenClasses[256];
  std::uint8_t contentDelimiters[256];
};
enum TokenClass : std::uint8_t {
  kTcOther = 0, kTcOccurrence = 1, kTcConnector = 2, kTcLiteral = 3, kTcDigit = 4,
  kTcScanner = 5, kTcHexLetter = 6,
};
const ParserTables& GetParserTables();
// The names table of XML mode: the names table with every byte above 0x7F.
const std::uint8_t* XmlNameTable();
// Library start and exit; the tables are also made on first use.
void InitParserTables();
void FreeParserTables();
// Lets ']' delimit content while a marked section is open in content.
void SetBracketIsContentDelimiter(bool on);

// ---- Messages ---------------------------------------------------------------

// Parser message numbers; shared with every program that shows reports.
enum ParserMessage : int {
  kMsgCantOpenDocument = 0, kMsgCantResolveDtd = 1, kMsgBadInstanceStart = 2,
  kMsgUndefinedEntity = 3, kMsgCantResolveEntity = 4, kMsgCantResolveSdata = 5,
  kMsgEmptyStartTag = 6, kMsgBadCharEntity = 7, kMsgSyntaxError = 8, kMsgRecursiveEntity = 9,
  kMsgConnectorChange = 10, kMsgTooManyAttributes = 11, kMsgPiTooLong = 12, kMsgNestingTooDeep = 13,
  kMsgMultipleNotationAttrs = 14, kMsgUndeclaredAttribute = 15, kMsgUndeclaredElement = 16,
  kMsgExpectedAllOrImplicit = 17, kMsgMissingRequired = 18, kMsgDuplicateId = 19,
  kMsgElementNotOpen = 20, kMsgBadToken = 21, kMsgBadPublicId = 22, kMsgBadEntityType = 23,
  kMsgBadEntitySpecifier = 24, kMsgBadOmission = 25, kMsgBadContent = 26, kMsgBadTagOpen = 27,
  kMsgBadTagClose = 28, kMsgBadShortref = 29, kMsgBadAttributeType = 30, kMsgBadAttributeDefault = 31,
  kMsgBadMarkedSection = 32, kMsgDtdSyntax = 33, kMsgBadDoctype = 34, kMsgExpectedSgml = 35,
  kMsgExpectedDoctype = 36, kMsgExpectedPcdata = 37, kMsgExpectedDefault = 38,
  kMsgExpectedNotation = 39, kMsgExpectedEmpty = 40, kMsgExpectedOpenParen = 41,
  kMsgExpectedCloseParen = 42, kMsgExpectedComma = 43, kMsgExpectedCloseBracket = 44,
  kMsgExpectedClose = 45, kMsgExpectedQuote = 46, kMsgExpectedEquals = 47,
  kMsgOnlyComment = 48, kMsgExpectedNotationEntity = 49, kMsgBadDataTag = 50,
  kMsgUnexpectedEof = 51, kMsgUnsupportedEncoding = 52, kMsgParsing = 53,
};
constexpr int kParserMessageCount = 54;
// A report may also carry an engine error, as number 54 + its code: the
// programs that show reports number the engine's texts after the parser's.
// The parser uses these where no message of its own says what happened.
constexpr int kMsgEngineErrorBase = kParserMessageCount;
constexpr int kMsgBadAttributeSpec = kMsgEngineErrorBase + 8;  // "Bad attribute specification"
constexpr int kMsgOutOfMemory = kMsgEngineErrorBase + 48;      // "System out of memory, ..."
constexpr int kReportMessageCount = kMsgEngineErrorBase + 65;
// The message's text with "%s" where its argument goes (an engine error's
// text for 54 and up); null out of range.
const char* GetParserMessageText(int number);
// The text with the argument put in place of "%s" (a null argument reads as
// empty), cut to `capacity` bytes with its NUL. Returns `out`.
char* FormatParserMessage(int number, const char* argument, char* out, std::size_t capacity);

// ---- Parser -----------------------------------------------------------------

class Parser : public EngineObject {
 public:
  static constexpr std::size_t kTokenCapacity = 4096;
  // A literal (an entity's text, an attribute value) is kept whole up to
  // the size of a document's whole text.
  static constexpr std::size_t kMaxLiteral = 0xFFFFFF;
  static constexpr std::size_t kParameterNameLimit = 127;
  static constexpr std::size_t kIdLiteralLimit = 255;
  // A processing instruction of this many bytes or more is refused.
  static constexpr std::size_t kPiLimit = 4090;
  static constexpr int kMaxAttributeDefinitions = 100;
  // Nested inputs at one time; a deeper nesting is treated as recursion.
  static constexpr int kMaxInputDepth = 256;
  // Included marked sections open at one time among declarations.
  static constexpr int kMaxSectionDepth = 256;
  // Bytes of entity text one parse may read through references (a
  // document holds no more text than this anyway).
  static constexpr std::size_t kMaxExpansion = 16u * 1024u * 1024u;
  // What entity references may build, relative to the input read: entity
  // text entered plus the nodes made inside entities (each counted as this
  // many bytes) may pass the floor only up to the ratio times the input,
  // so a small document cannot make millions of nodes.
  static constexpr std::size_t kExpansionNodeCost = 64;
  static constexpr std::size_t kExpansionFloor = 1u << 20;
  static constexpr std::size_t kExpansionRatio = 100;

  // Takes uses of the Dtd and the Document, making new ones where null; the
  // resolver is handed to every external identifier the parser makes.
  Parser(EntityResolver* resolver, EntityrcFile* entityrc, Dtd* dtd, Document* document);
  virtual ~Parser();
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // ---- Virtual operations
  virtual bool EnterEntity(EntityDecl* entity);
  virtual void LeaveEntity();
  // An instruction's text (without "<?" and ">"); the base ignores it.
  virtual void HandleProcessingInstruction(const char* text);
  virtual void ParseDoctype();
  // A readable stream over the identifier's data, or null (message 0, an
  // error when the source is required). `encoding` gets the number the
  // source announced (0 when none).
  virtual Stream* OpenEntity(ExternalId* id, bool required, std::int32_t* encoding);
  virtual void DtdOpened() {}
  // The start of the document instance, with the byte after its first '<'
  // unread; `nameKnown`: the start-tag reader reads the element's name.
  virtual void BeginInstance(bool nameKnown);
  // A DOCPARAM instruction named the document's system or public
  // identifier.
  virtual void DocumentSystemIdChanged(const char*) {}
  virtual void DocumentPublicIdChanged(const char*) {}
  // The element type of a document element that the declarations may not
  // name: read through the external DTD the catalog or a file of that name
  // gives, else declared implicitly. Null after an error.
  virtual ElementTypeDecl* FindOrDeclareElement(const char* name);
  virtual void Warning(int number, const char* text1 = nullptr, const char* text2 = nullptr,
                       const char* text3 = nullptr);
  virtual void Error(int number, const char* text1 = nullptr, const char* text2 = nullptr,
                     const char* text3 = nullptr);

  // ---- Entry points
  // Parses a file of markup declarations into the Dtd.
  void ParseDeclarations(ExternalId* id, bool required);
  // The same from a stream (its use is taken over); encoding choice 0 lets
  // the decoder detect it. A null stream does nothing.
  void ParseDeclarationInput(Stream* stream, int encoding);
  // Parses a document (or, with declarationsOnly, its prolog and document
  // type declaration) from the identifier's data, or from a stream whose
  // use is taken over. The caller tests Stopped() afterwards.
  void ParseSource(ExternalId* id, bool declarationsOnly);
  void ParseDocumentInput(Stream* stream, bool declarationsOnly, int encoding);
  // Element types met without a declaration are declared without warning 16.
  void SetSilentImplicitDeclarations(bool on) { silentImplicit_ = on; }

  bool Stopped() const { return stop_ != 0; }
  void Stop() { stop_ = 1; }
  Dtd* GetDtd() const { return dtd_; }
  Document* GetDocument() const { return document_; }
  bool XmlMode() const { return xml_; }
  void SetXmlMode(bool on);
  // Where reports place the parser: the innermost input with an
  // identifier (its line in `line`), else null.
  ExternalId* CurrentLocation(std::int32_t* line) const;
  bool HasInput() const { return top_ != nullptr; }
  // Whether reports have a place: an input is open, being opened, or the
  // last one just ended (its end is where "Unexpected EOF" belongs).
  bool HasLocation() const { return top_ || openingFrame_ || lastLine_ > 0; }
  // The identifier of the innermost input, null for internal text.
  ExternalId* InnermostId() const;
  // The line of the innermost input; without input, that of the input
  // being opened or the last one left; else 0.
  std::int32_t CurrentLine() const;
  // The byte offset of the read position in the innermost input.
  std::int32_t CurrentOffset() const;
  // The element sets of ATTLIST declarations for "#ALL" and "#IMPLICIT"
  // (elements, then notations).
  enum AttributeSetKind { kImplicitElements = 0, kAllElements, kImplicitNotations, kAllNotations };
  AttributeDeclSet& SpecialSet(AttributeSetKind kind) { return specialSets_[kind]; }

 protected:
  // A stream over the data at the identifier's resolved location, or null.
  Stream* OpenIdentifier(ExternalId* id, std::int32_t* encoding);

  // ---- Scanner
  // The next byte of the innermost input, leaving finished inputs; 0 at the
  // end of all input.
  int NextRawChar() {
    InputFrame* frame = top_;
    if (frame && frame->pushedCount == 0) {
      // The common case: a byte buffered in the stream (a 0 byte takes the
      // full path, which tells it from the end).
      std::size_t n;
      const std::uint8_t* p = frame->stream->Buffered(&n);
      if (n > 0 && *p != 0) {
        frame->stream->Skip(1);
        if (*p == '\n') ++frame->line;
        current_ = *p;
        return *p;
      }
    }
    return NextRawCharSlow();
  }
  int NextRawCharSlow();
  // The next character after record-end folding, comments and parameter
  // references (where these are on).
  int NextChar() {
    int c = NextRawChar();
    if (tables_->tokenClasses[c & 0xFF] != kTcScanner || stop_) return c;
    return ScannerChar(c);
  }
  int ScannerChar(int c);
  // Takes a run of plain data bytes (those `plain` marks) from the
  // innermost input's buffer into the document text; how many it took.
  std::size_t TakeDataRun(const std::uint8_t* plain);
  void UngetChar();
  int SkipSeparators();
  void SkipSeparatorsAndUnget();
  void ReadName();
  void ReadFoldedName();
  int ReadKeyword();
  // How a literal's references are read: not at all; character and
  // entity references; the same in an attribute value (entity texts read
  // through, line ends and tabs as blanks); character references only.
  enum LiteralKind { kLiteralPlain, kLiteralExpand, kLiteralAttribute, kLiteralCharRefs };
  void ReadLiteral(int delimiter, bool expand);
  void ReadLiteral(int delimiter, LiteralKind kind);
  bool GrowLiteral(std::size_t needed);
  // A character a document may hold; not NUL, surrogates, controls other
  // than tab and line ends, and in XML not U+FFFE or U+FFFF.
  bool IsAllowedCodePoint(std::uint32_t cp) const;
  static bool IsNonCharacter(const char* utf8, std::size_t length);
  // A raw control character (or, in XML, U+FFFE or U+FFFF) in the input:
  // reported once a parse; the caller stores U+FFFD.
  void ReportControlCharacter(int c);
  void FoldInPlace(char* text) const;
  void SetCommentsEnabled(bool on) { comments_ = on; }
  void SetParameterReferencesEnabled(bool on) { parameterRefs_ = on; }
  void PushInput(Stream* stream, int encoding, bool internalText, ExternalId* id,
                 const char* text);
  ExternalId* InnermostBase() const;
  void SkipTextDeclaration();
  void MarkVerbatim(const char* text);
  bool IsSeparator(int c) const { return tables_->separators[c & 0xFF] != 0; }
  bool IsNameChar(int c) const { return names_[c & 0xFF] != 0; }
  int TokenClassOf(int c) const { return tables_->tokenClasses[c & 0xFF]; }
  // The replacement of an SDATA entity's text, null when the table has
  // none. Each text is looked up in the table once per parse; `first` (when
  // given) tells whether this is that once.
  virtual const char* SdataReplacement(const char* text, bool* first = nullptr);

  // ---- Declarations
  // Reads declarations until `terminator` at top level (0: the end of
  // input).
  void ParseMarkupDecl(int terminator);
  void ParseDeclarationInputFrom(Stream* stream, int encoding, ExternalId* id);
  // After "<?": the instruction up to '>'.
  void ParseProcessingInstruction(int kind);
  void ReadDataAttributes(ExternalEntityDecl* entity, NotationDecl* notation);
  void ParseDeclMarkedSection();
  void SkipIgnoredDeclSection();
  void ParseEntityDecl();
  void ParseNotationDecl();
  void ParseShortrefDecl();
  void ParseUsemapDecl();
  void ReadExternalIdLiterals(int kind, char* systemId, char* publicId);
  NotationDecl* FindOrDeclareNotation(const char* name);
  // Stores the document type identifier in the Dtd; the byte after it.
  int ParseDoctypeExternalId(const char* name);
  void ParseElementDecl();
  void ParseAttlistDecl();
  // Appends one folded name, or a parenthesised group of them, as interned
  // names; false after an error.
  bool ReadNameOrGroup(InternedName**& items, std::size_t& count, std::size_t& capacity);
  bool ParseModelGroup();
  bool ParseModelToken();
  bool ParseDataTagTemplate();
  bool ParseExceptions(ContentModel* model);
  TokenGroup* ReadDeclaredValue(std::uint8_t* code, std::uint8_t* tokenKind, bool* ok);
  InternedName* ReadDefaultValue(std::uint8_t* kind, bool fold, std::uint8_t tokenKind, bool* ok,
                                 bool tokenized = false);
  static void NormalizeList(char* text);
  void ApplyNidrefRecords();
  void CompleteDeclarations();
  // Text for a message argument from the token buffer.
  const char* Token() const { return token_; }

  struct InputFrame : public EngineObject {
    InputFrame* next = nullptr;
    Stream* stream = nullptr;
    ExternalId* id = nullptr;    // one use; null for internal text
    const char* text = nullptr;  // the internal entity's text being read
    std::int32_t line = 1;
    int encoding = 0;
    // Bytes given back, last in first out. The stream's own buffer cannot
    // give back across a refill, so the parser keeps them itself.
    std::uint8_t pushed[8];
    int pushedCount = 0;
  };
  EntityResolver* resolver_;
  EntityrcFile* entityrc_;
  Dtd* dtd_;
  Document* document_;
  InputFrame* top_ = nullptr;
  int depth_ = 0;
  int encoding_ = 0;
  std::size_t expanded_ = 0;
  std::size_t entityNodes_ = 0;
  std::size_t inputRead_ = 0;
  int internalDepth_ = 0;
  // False (after the error) when entity expansion has built more than the
  // input allows; `more` bytes of entity text are about to be added.
  bool ExpansionAllowed(std::size_t more, const char* entity);
  void NoteEntityNode();
  // Where the parser was when its last input ended (a use), and the
  // identifier of an input whose decoder is being chosen: reports made
  // then still name their entity and line.
  ExternalId* lastId_ = nullptr;
  std::int32_t lastLine_ = 0;
  ExternalId* opening_ = nullptr;
  bool openingFrame_ = false;
  // What SDATA texts the table was asked for, with its answers.
  HashTable sdataCache_{32, true};

  const ParserTables* tables_;
  const std::uint8_t* fold_;
  const std::uint8_t* names_;
  // Names and keywords are read into the fixed buffer; literals into one
  // that grows. The token is whichever was read last.
  char tokenBuffer_[kTokenCapacity + 1];
  char* token_ = tokenBuffer_;
  char* literal_ = nullptr;
  std::size_t literalCapacity_ = 0;
  bool controlReported_ = false;
  std::size_t tokenLength_ = 0;
  std::uint8_t current_ = 0;
  std::uint8_t stop_ = 0;
  bool endOfInput_ = false;
  bool endExpected_ = false;
  bool comments_ = true;
  bool parameterRefs_ = true;
  bool xml_ = false;
  std::uint8_t currentFlags_ = 0;
  int groupDepth_ = 0;
  int sectionDepth_ = 0;
  // The document type declaration had SYSTEM or PUBLIC.
  bool doctypeExternal_ = false;
  AttributeDeclSet specialSets_[4];

  // ---- Document instance (parser_instance.cpp, parser_content.cpp,
  // parser_pi.cpp)
 public:
  // Elements nest at most this deep (message 13 beyond).
  static constexpr int kMaxElementDepth = 48;
  // The processing instructions seen before the instance, in order.
  struct PiRecord {
    PiRecord* next;
    std::uint8_t kind;
    char* text;
  };
  const PiRecord* FirstPiRecord() const { return lists_.pis; }
  const char* DocTitle() const { return lists_.docTitle; }

 protected:
  void ParseDocumentInputFrom(Stream* stream, bool declarationsOnly, int encoding,
                              ExternalId* id);
  int ReadProlog(int kind);
  bool SkipSgmlDecl();
  void ParseInstance(bool nameKnown);
  void ContentLoop();
  void ReadAfterDocumentElement();
  void ParseMarkupInContent(bool afterRecordEnd);
  void ParseEndTag();
  // Whether the token read last is the node's type name.
  bool TokenNamesType(const DocumentNode* node) const;
  void ParseMarkedSection();
  void SkipIgnoredSection();
  void KeepPrologMarkup();
  void ResolveIdReferences();
  void ReadProcessingInstruction(int kind, bool checkXml);
  void ParseStartTag(ElementTypeDecl* type);
  // dtd_->FindElement(token_) through the types start tags found lately.
  ElementTypeDecl* FindTokenElement();
  // dtd_->FindOrDeclareElementType, forgetting the types found lately (a
  // declaration in a layered DTD may hide one of the type's).
  ElementTypeDecl* DeclareElementType(const char* name);
  Attribute** ParseAttributeSpecs(AttributeDeclSet& sets, std::uint8_t* flags,
                                  const char** id, bool inPool);
  AttributeDecl* ReadAttributeSpec(AttributeDeclSet& sets, InternedName** value);
  // InternName(token_) through the values met lately.
  InternedName* InternValueToken();
  void ParseReference();
  void ParseDataUntil(const char* delimiter, bool expand);
  // After the delimiter's first byte: true when the rest follows; otherwise
  // the bytes that cannot start it are written as data.
  bool MatchDelimiterRest(const char* delimiter, std::size_t length, int first);
  void PutDataChar(int c);
  void PutDataBytes(const char* bytes, std::size_t n);
  void FlushSpace();
  void PutCodePoint(std::uint32_t cp);
  void PutSdata(const char* text);
  void PutEntityNode(EntityDecl* entity);
  void AttachDataEntity(EntityDecl* entity);
  void AttachEntityAttribute(const char* value);
  void EndElement();
  // Copies one UTF-8 character whose lead byte was just read (U+FFFD for a
  // broken one; the byte that broke it is read again).
  void CopyDataCharacter(int lead);
  void LinkNode(DocumentNode* node);
  // The document text written so far, including what waits in the buffer.
  std::uint32_t TextOffset() const;
  void FlushText();

  struct InstanceLists {
    InstanceLists() = default;
    InstanceLists(const InstanceLists&) = delete;
    InstanceLists& operator=(const InstanceLists&) = delete;
    ~InstanceLists();
    PiRecord* pis = nullptr;
    PiRecord* lastPi = nullptr;
    Nidref* nidrefs = nullptr;
    IdRefRecord* idrefs = nullptr;
    IdRefRecord* lastIdref = nullptr;
    char* docTitle = nullptr;
  };
  InstanceLists lists_;
  DocumentNode* parent_ = nullptr;
  DocumentNode* prevSibling_ = nullptr;
  DocumentNode* lastStarted_ = nullptr;
  ElementTypeDecl* lastEnded_ = nullptr;
  // Types found by name in start tags, by a hash of the name's length and
  // three of its bytes: a document repeats a few dozen types, and a table
  // lookup (length, hash, compare) cost as much as the rest of a short tag.
  static constexpr std::size_t kRecentTypes = 256;
  ElementTypeDecl* recentTypes_[kRecentTypes] = {};
  // Attribute values met more than once, each with a use, placed as the
  // types are: most values of a large document are a few type codes
  // repeated, and the name table's lookup cost more than the tag's scan.
  // A value met once is not kept, so that it stays seen once.
  static constexpr std::size_t kRecentValues = 256;
  InternedName* recentValues_[kRecentValues] = {};
  int elementDepth_ = 0;
  std::uint8_t depthFlags_[kMaxElementDepth + 2] = {};
  int preserve_ = 0;
  int msDepth_ = 0;
  bool mixed_ = false;
  bool pendingSpace_ = false;
  bool silentImplicit_ = false;
  bool textFull_ = false;
  static constexpr std::size_t kTextBufferSize = 8192;
  char textBuffer_[kTextBufferSize];
  std::size_t textBuffered_ = 0;
};

// A new identifier for a source without a file: "Z:\TMP-DOC\<n>" with the
// next number of a process-wide counter.
ExternalId* TempDocumentName();

// Counts of what a Dtd holds, for tools and tests.
struct DtdCounts {
  std::size_t elements = 0;
  std::size_t attributes = 0;  // definitions over all element types
  std::size_t parameterEntities = 0;
  std::size_t notations = 0;
};
DtdCounts CountDeclarations(Dtd& dtd);

}  // namespace qs
