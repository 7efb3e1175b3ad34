// Link webs: the reader's own layer over documents and graphics. A web
// holds one entry per document or graphic it refers to, the anchors of each
// entry (a place with a head, a note and bookmark and highlight flags), and
// links between pairs of anchors. It is read from and written to a ".web"
// file, an SGML document of the engine's own web document type.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "foundation/engine_lists.h"
#include "sgml/document.h"

namespace qs {

class Anchor;
class ColorEntry;
class DocumentCache;
class EntityDecl;
class ExternalId;
class File;
class NotationDecl;
class TextWriter;
class View;
class Web;

inline constexpr char kWebPublicId[] = "-//Quenda//DTD Web v2.00//EN";
inline constexpr std::size_t kAnchorHeadLength = 30;
inline constexpr std::size_t kAnchorNoteLength = 2048;
inline constexpr std::size_t kWebNameLength = 30;
// Hotspot geometry is in 1/2048 of the graphic's width and height.
inline constexpr int kHotspotUnits = 2048;
inline constexpr int kMaxPolygonPoints = 99;
inline constexpr int kEllipsePoints = 32;
// Room for any outline: the polygon's points or the ellipse's.
inline constexpr int kMaxOutlinePoints = kMaxPolygonPoints;

enum HotspotShape : std::uint8_t { kShapeRectangle = 0, kShapeEllipse = 1, kShapePolygon = 2 };

struct HotspotArea {
  std::int16_t x = 0, y = 0, width = kHotspotUnits, height = kHotspotUnits;
  std::int16_t zoom = 0;  // a scale in 1/256, 0 for none
  std::uint8_t shape = kShapeRectangle;
};

// A ZOOM attribute ("150%") as a scale in 1/256; 0 for none or a bad text.
std::int16_t ParseHotspotZoom(const char* text);
// A value cut to 0..2048 the way hotspot positions are: below 0 gives 0,
// above 2047 gives 2048.
int ClampHotspotCoordinate(int value);

// ---- Locations -------------------------------------------------------------

// Where an anchor lies. The base stands for a whole document; it holds a use
// of the entity its document or graphic is.
class Location : public EngineObject {
 public:
  explicit Location(EntityDecl* entity);
  virtual ~Location();
  Location(const Location&) = delete;
  Location& operator=(const Location&) = delete;

  EntityDecl* Entity() const { return entity_; }
  virtual bool IsDocumentLocation() const { return true; }
  // The end id an anchor's LINKEND carries, into `buffer` (64 bytes).
  virtual void WriteLinkEndId(std::int32_t number, char* buffer) const;
  virtual void WriteLocators(TextWriter& out, std::int32_t number) const;
  // The place in the entity's document: 1 with start and length, else 0.
  virtual int GetRange(Document* document, std::uint32_t* start, std::uint32_t* length) const;
  // Graphic areas only; a document place answers 0.
  virtual int GetArea(HotspotArea* area) const { return 0; }
  // The outline as x, y pairs in 1/2048 of the area (room for
  // kMaxOutlinePoints pairs); the number of points.
  virtual int GetOutline(std::int16_t* points) const { return 0; }
  virtual int SetShape(int shape, int count, const std::int16_t* points) { return 0; }
  virtual void SetZoom(int zoom) {}
  virtual int SetArea(int x, int y, int width, int height) { return 0; }
  virtual int SetLine(const char* text) { return 0; }
  // Shows the place: the view's show operation or, without a view, the
  // engine's GotoPosition; error 30 when the place is not found.
  virtual void Show(View* view) const;

 protected:
  EntityDecl* entity_;
};

// A place in an SGML document: counted from an element with an ID (or the
// root), down a tree path, then over data words, narrowed by characters.
class TreeDataLocation : public Location {
 public:
  static constexpr std::size_t kMaxPath = 50;
  // `id` null for the root; the path holds `pathCount` place numbers.
  TreeDataLocation(EntityDecl* entity, const char* id, const std::uint16_t* path,
                   std::size_t pathCount, std::uint16_t dataStart, std::uint16_t dataCount,
                   std::uint16_t narrowStart, std::uint16_t narrowEnd);
  ~TreeDataLocation() override;

  const char* Id() const { return id_; }
  std::size_t PathCount() const { return pathCount_; }
  std::uint16_t DataStart() const { return dataStart_; }
  void WriteLinkEndId(std::int32_t number, char* buffer) const override;
  void WriteLocators(TextWriter& out, std::int32_t number) const override;
  int GetRange(Document* document, std::uint32_t* start, std::uint32_t* length) const override;

 private:
  char* id_ = nullptr;
  std::uint16_t path_[kMaxPath] = {};
  std::size_t pathCount_ = 0;
  std::uint16_t dataStart_, dataCount_, narrowStart_, narrowEnd_;
};

// The place of a selected range of a document, for an anchor on it: counted
// from the nearest element with an ID (or the root) that holds the range,
// down a tree path to the element the range lies in, then over words of
// that element's data narrowed by characters. Null when the range lies
// outside the document, in no words, or too deep or far for the numbers.
TreeDataLocation* MakeTreeDataAddress(EntityDecl* entity, Document* document, std::uint32_t start,
                                      std::uint32_t length);

// An area of a graphic: a rectangle, an ellipse in it, or a polygon.
class HotspotLocation : public Location {
 public:
  HotspotLocation(EntityDecl* graphic, const HotspotArea& area);
  ~HotspotLocation() override;

  bool IsDocumentLocation() const override { return false; }
  void WriteLinkEndId(std::int32_t number, char* buffer) const override;
  void WriteLocators(TextWriter& out, std::int32_t number) const override;
  int GetRange(Document*, std::uint32_t*, std::uint32_t*) const override { return 0; }
  int GetArea(HotspotArea* area) const override;
  int GetOutline(std::int16_t* points) const override;
  int SetShape(int shape, int count, const std::int16_t* points) override;
  void SetZoom(int zoom) override { area_.zoom = static_cast<std::int16_t>(zoom); }
  int SetArea(int x, int y, int width, int height) override;
  int SetLine(const char* text) override;
  void Show(View* view) const override;

  const char* Line() const { return line_; }
  int PointCount() const { return pointCount_; }
  ColorEntry* Color() const { return color_; }
  void SetColor(ColorEntry* color) { color_ = color; }

 private:
  HotspotArea area_;
  std::int16_t points_[2 * kMaxPolygonPoints] = {};
  int pointCount_ = 0;
  char* line_ = nullptr;
  ColorEntry* color_ = nullptr;  // the engine's colour table keeps it
};

// ---- Anchors and links -------------------------------------------------------

// A text of a web: a position of 0 or more is an offset into the parsed web
// file's text; a negative one is text stored since the web was opened.
struct WebText {
  std::int32_t position = 0;
  std::uint16_t length = 0;
};

// An anchor's place in a document's anchor index (the layout reads it from
// there); it goes when the anchor or the document goes.
class AnchorMark : public Mark {
 public:
  static void* operator new(std::size_t size);
  static void operator delete(void* block) noexcept;
  AnchorMark(Anchor* anchor, Document* document, std::uint32_t start, std::uint32_t length);
  ~AnchorMark() override;
  std::uint32_t GetEnd() const override { return end_; }
  void DocumentGone() override;

  Anchor* GetAnchor() const { return anchor_; }
  Document* GetDocument() const { return document_; }
  AnchorMark* nextOfAnchor = nullptr;

 private:
  Anchor* anchor_;
  Document* document_;
  std::uint32_t end_;
};

class Anchor : public ListNode {
 public:
  enum : std::uint8_t { kBookmark = 1, kHighlight = 2 };
  // Takes over the location.
  Anchor(Web* web, Location* location, std::int32_t number);
  ~Anchor() override;

  Web* GetWeb() const { return web_; }
  Location* GetLocation() const { return location_; }
  std::int32_t Number() const { return number_; }
  bool IsBookmark() const { return (flags & kBookmark) != 0; }
  bool IsHighlight() const { return (flags & kHighlight) != 0; }
  std::uint16_t GetLinkCount() const { return linkCount; }
  bool HasNote() const { return note.length != 0; }

  // Editable webs only: the web is marked changed; the text is cut at 30
  // (head) or 2048 (note) bytes on a character boundary; null or empty
  // clears it. False when nothing changed.
  bool SetHead(const char* text);
  bool SetNote(const char* text);
  // The head, else the start of the note, else "ANCHOR%ld"; at most 30
  // bytes into `buffer` (kAnchorHeadLength + 1 bytes).
  char* GetName(char* buffer) const;
  // The note and a NUL into `buffer` (kAnchorNoteLength + 1 bytes): true
  // when there is one, else an empty text and false.
  bool GetNote(char* buffer) const;
  bool SetBookmark(bool on);
  // Follows its one link, offers the choice of several, or shows its note.
  void Activate(View* view);
  // The web removes it, its links first; false when the web is read-only.
  bool Delete();
  // Records the anchor's range in the document's anchor index; false when
  // its place is not found there.
  bool MarkInDocument(Document* document);
  // Takes every mark of the anchor out of the documents' indexes.
  void Unmark();
  void Show(View* view) const;
  void Write(TextWriter& out) const;

  WebText head;
  WebText note;
  std::uint16_t linkCount = 0;
  std::uint8_t flags = 0;

 private:
  friend class AnchorMark;
  void SetText(WebText& field, const char* text, std::size_t limit);
  Web* web_;
  Location* location_;
  std::int32_t number_;
  AnchorMark* marks_ = nullptr;
};

class Link : public ListNode {
 public:
  // Raises both anchors' link counts; the destructor lowers them.
  Link(Anchor* a, Anchor* b);
  ~Link() override;
  Anchor* A() const { return a_; }
  Anchor* B() const { return b_; }
  bool Ends(const Anchor* anchor) const { return a_ == anchor || b_ == anchor; }
  Anchor* Other(const Anchor* anchor) const { return a_ == anchor ? b_ : a_; }

 private:
  Anchor* a_;
  Anchor* b_;
};

// A list of anchors that does not own them.
class AnchorRef : public ListNode {
 public:
  explicit AnchorRef(Anchor* a) : anchor(a) {}
  Anchor* anchor;
};
class AnchorList : public ListHead {
 public:
  void Add(Anchor* anchor) { Append(new AnchorRef(anchor)); }
  AnchorRef* FirstRef() const { return static_cast<AnchorRef*>(First()); }
};

// One document or graphic of a web, with its anchors in order.
class WebEntry : public ListNode {
 public:
  explicit WebEntry(EntityDecl* entity);  // takes a use
  ~WebEntry() override;
  EntityDecl* Entity() const { return entity_; }
  // A document (notation SGML or none) rather than a graphic.
  bool IsDocument() const;
  Anchor* FirstAnchor() const { return static_cast<Anchor*>(anchors.First()); }
  ListHead anchors;

 private:
  EntityDecl* entity_;
};

// ---- The web -----------------------------------------------------------------

class Web : public ObjectListItem {
 public:
  enum : std::uint8_t { kEditable = 1, kChanged = 2 };

  // Reads a parsed web document (a use of it is kept: texts index it).
  // `source` names the web's file (a use taken; may be null).
  Web(Document* parsed, ExternalId* source);
  // Parses the file first; when it does not parse, error 35 and an empty
  // web that is never written over that file.
  explicit Web(ExternalId* source);
  ~Web() override;
  // The open webs own their webs: they go with the list.
  bool MayRelease() const override { return true; }

  ExternalId* Source() const { return source_; }
  // The name, null when it has none (the engine's name is shown then).
  const char* Name() const { return name_; }
  void SetName(const char* name);
  bool IsEditable() const { return (flags & kEditable) != 0; }
  bool IsChanged() const { return (flags & kChanged) != 0; }
  void SetChanged() { flags |= kChanged; }
  std::uint8_t FormatLevel() const { return formatLevel_; }

  int BeginEdit();
  void SetReadOnly();
  // Writes the web to `out`, or with none to its own file (through a
  // temporary file that replaces it only when written whole). True on
  // success, which clears the changed flag; else error 40 and the flag
  // stays.
  bool Write(TextWriter* out);
  bool WriteTo(const char* path);

  // The scratch store: the position of the stored text (negative), 0 when
  // there is no store (internal error 15).
  std::int32_t StoreText(const char* text, std::size_t length);
  // Copies a text of the web into `dest` (length + 1 bytes); the bytes
  // copied. A stored text without a store is internal error 11.
  std::size_t GetText(char* dest, std::int32_t position, std::size_t length) const;
  // Overwrites stored text in place; a longer text is stored anew. The
  // position now holding the text, 0 on failure (internal error 19 for a
  // file text or no store).
  std::int32_t UpdateText(const char* text, std::int32_t position, std::size_t oldLength,
                          std::size_t length);

  // Editable webs only. The anchor, or null.
  Anchor* AddDocumentAnchor(Document* document, std::uint32_t start, std::uint32_t length);
  Anchor* AddHotspotAnchor(EntityDecl* graphic, int x, int y, int width, int height, int zoom);
  Link* AddLink(Anchor* a, Anchor* b, bool refresh);
  // Every link whose ends include each given anchor (null matches any).
  void RemoveLinks(Anchor* a, Anchor* b);
  bool RemoveAnchor(Anchor* anchor);
  void ListLinkedAnchors(Anchor* anchor, AnchorList& list) const;
  bool MarkDocumentAnchors(Document* document);
  bool CollectGraphicHotspots(EntityDecl* graphic, AnchorList& list) const;
  // The entry whose entity is this document (by identifier).
  WebEntry* FindDocumentEntry(const ExternalId* id) const;
  bool HoldsAnchor(const Anchor* anchor) const;

  WebEntry* FirstEntry() const { return static_cast<WebEntry*>(entries_.First()); }
  Link* FirstLink() const { return static_cast<Link*>(links_.First()); }
  const AnchorList& Bookmarks() const { return bookmarks_; }
  void AddBookmark(Anchor* anchor);
  void RemoveBookmark(Anchor* anchor);
  Document* Parsed() const { return parsed_; }
  std::size_t AnchorCount() const;

  // Uses by documents that name the web (a negative count stays).
  std::int16_t useCount = 1;
  std::uint8_t flags = 0;

 private:
  void Read(Document* parsed);
  void ReadAnchor(Document* parsed, DocumentNode* element, HashTable& ids);
  void ReadLinks(Document* parsed, HashTable& ids);
  void ReadIcons(Document* parsed);
  WebEntry* EntryFor(EntityDecl* entity, bool document);
  EntityDecl* NewEntity(const char* prefix, ExternalId* id, NotationDecl* notation);
  bool HasEntityNamed(const char* name) const;
  Anchor* Append(WebEntry* entry, Location* location);
  void WriteBody(TextWriter& out) const;
  bool OpenStore();

  ExternalId* source_;
  ExternalId* doctypeId_ = nullptr;
  Document* parsed_ = nullptr;
  char* name_ = nullptr;
  ListHead entries_;
  ListHead links_;
  AnchorList bookmarks_;
  std::int32_t counter_ = 0;
  std::uint8_t formatLevel_ = 0;
  bool unreadable_ = false;
  EntityDecl* icons_[3] = {};
  EntityDecl* masks_[3] = {};
  File* store_ = nullptr;
  char* storeName_ = nullptr;
  std::int64_t storeEnd_ = 0;
  bool storeFailed_ = false;
};

// ---- The engine's open webs ----------------------------------------------------

// The engine's document cache, made on first use.
DocumentCache* EngineDocuments();
// The open web of an equal identifier, or null.
Web* FindOpenWeb(const ExternalId* id);
// Joins the open webs: its anchors are marked in the open documents and its
// bookmarks listed.
void AddOpenWeb(Web* web);
// Every open web marks its anchors in the document.
void MarkOpenWebAnchors(Document* document);
void CollectOpenWebHotspots(EntityDecl* graphic, AnchorList& list);
// Opens the webs a document names (each once; an open one gets one more
// use) and marks every open web's anchors in it.
void OpenDocumentWebs(Document* document);

}  // namespace qs
