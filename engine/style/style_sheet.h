// A style sheet: the rules of every tag, the page margins and the icons,
// read from a parsed STYLESHEET document and written back as its text.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "style/style_rules.h"

namespace qs {

class Document;
class DocumentNode;
class EntityDecl;

// An external data entity as declared: what a save needs to declare it
// again.
struct DeclaredEntity {
  explicit DeclaredEntity(const EntityDecl& entity);
  ~DeclaredEntity();
  DeclaredEntity(const DeclaredEntity&) = delete;
  DeclaredEntity& operator=(const DeclaredEntity&) = delete;
  char* name;
  char* publicId = nullptr;
  char* systemId = nullptr;
  char* notation = nullptr;
  char* notationPublicId = nullptr;
  char* notationSystemId = nullptr;
};

// An icon the sheet declares as an external data entity with SSHTYPE
// "ICON", with its mask entity when it names one.
class StyleIcon : public SListNode {
 public:
  // Keeps a use of each declaration: its picture is read from the file it
  // names, resolved where the sheet was.
  StyleIcon(EntityDecl& entity, EntityDecl* mask);
  ~StyleIcon() override;
  const char* Name() const { return icon_.name; }
  const char* Mask() const { return mask_ ? mask_->name : nullptr; }
  const DeclaredEntity& Icon() const { return icon_; }
  const DeclaredEntity* MaskEntity() const { return mask_; }
  EntityDecl* IconDecl() const { return iconDecl_; }
  EntityDecl* MaskDecl() const { return maskDecl_; }

 private:
  DeclaredEntity icon_;
  DeclaredEntity* mask_;
  EntityDecl* iconDecl_;
  EntityDecl* maskDecl_;
};

// A growing text on the engine heap.
class TextBuffer {
 public:
  TextBuffer() = default;
  ~TextBuffer();
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;
  void Put(const char* text);
  void Put(const char* text, std::size_t length);
  void PutChar(char c) { Put(&c, 1); }
  void Printf(const char* format, ...);
  // As a literal: in double quotes, or single quotes when the text holds a
  // double quote (then also in double quotes when it holds both, each
  // double quote written as "&#34;").
  void PutQuoted(const char* text);
  const char* Text() const { return data_ ? data_ : ""; }
  std::size_t Length() const { return length_; }
  bool Failed() const { return failed_; }
  // Writes the text to the file in text mode, whole or not at all.
  bool WriteFile(const char* path) const;

 private:
  char* data_ = nullptr;
  std::size_t length_ = 0;
  std::size_t capacity_ = 0;
  bool failed_ = false;
};

// Writes an object's text to the path, or to the object's own file when none
// is given; a failed write reports the error and leaves the file as it was.
bool WriteObjectText(const LoadedObject& object, const char* path, const TextBuffer& text,
                     int error);

class StyleSheet : public LoadedObject {
 public:
  static constexpr std::int32_t kMarginUnset = -31000;
  enum Margin { kTop, kLeft, kRight, kBottom };

  // Empty, for the identifier (may be null); Load reads it.
  explicit StyleSheet(ExternalId* id);
  // Read from a parsed sheet document (its identifier is the sheet's).
  explicit StyleSheet(Document* document);
  ~StyleSheet() override;
  bool IsUnused() const override { return uses_ == 0; }
  void AddUse() { ++uses_; }
  // One use less; a sheet no list keeps goes with its last use.
  void DropUse();
  std::int32_t UseCount() const { return uses_; }

  // ---- Rules
  StyleTagEntry* FindTag(const char* tag) const;
  StyleTagEntry* FirstTag() { return static_cast<StyleTagEntry*>(tags_.First()); }
  StyleTagEntry* NextTag() { return static_cast<StyleTagEntry*>(tags_.Next()); }
  StyleRule* AddRule(StyleRule* rule);
  StyleRule* FindElementRule(const DocumentNode* element) const;
  StyleRule* FindRule(const DocumentNode* element, const char* attribute) const;
  StyleRule* FindRuleByTag(const char* tagList, int occurrence) const;
  static void DeleteRecord(ElementStyle* style) { delete style; }
  void ClearRules() { tags_.Clear(); }

  // ---- The file
  // Parses the identifier's document through the engine's documents and
  // reads it; false when it could not be parsed.
  bool Load();
  void Read(Document* document);
  // The text of the file (line feeds; text mode adds the carriage returns).
  void WriteText(TextBuffer& out);
  // Writes the file of `path`, else of the identifier: error 17 and false
  // when it cannot be written whole (the old file is kept).
  bool Write(const char* path = nullptr);

  StyleIcon* FindIcon(const char* name) const;
  StyleIcon* FirstIcon() const { return static_cast<StyleIcon*>(icons_.First()); }

  ExternalId* PublicIdentifier() const { return publicId_; }
  const char* Dtd() const { return dtd_; }
  const char* Name() const { return name_; }
  const char* BackgroundLabel() const { return background_; }
  void SetName(const char* name);
  void SetDtd(const char* dtd);
  void SetBackgroundLabel(const char* label);
  void Reset();

  std::int32_t margins[4] = {kMarginUnset, kMarginUnset, kMarginUnset, kMarginUnset};
  std::uint8_t formatLevel = 0;

  // Margin text to hundredths (a negative value is a percentage); a null
  // text is unset.
  static std::int32_t ParseMargin(const char* text);

 private:
  void ReadElement(DocumentNode* element);
  void ReadStyle(DocumentNode* element);
  void ReadQualContent(DocumentNode* element, ElementStyle* style);
  void WriteInternalSubset(TextBuffer& out);
  void WriteRuleProps(TextBuffer& out, const ElementStyle& style, bool breaks);

  HashTable tags_{64, true};
  std::int32_t uses_ = 0;
  ExternalId* publicId_ = nullptr;
  SList icons_;
  char* dtd_ = nullptr;
  char* name_ = nullptr;
  char* background_ = nullptr;
};

// The writer of property sets, shared with the navigator's style records.
void WriteStyleProps(TextBuffer& out, const StyleProps& props);

// A value in double quotes whose text survives the parser: the DTDs of
// sheets and navigators declare T, Q, A and q for tab, double quote,
// ampersand and (with `escapeApostrophe`) apostrophe.
void PutAttributeValue(TextBuffer& out, const char* text, bool escapeApostrophe = false);
// "PUBLIC" and the quoted public text, else "SYSTEM"; then the quoted
// system text when there is one.
void WriteExternalId(TextBuffer& out, const char* publicId, const char* systemId);
// `own` when the (normalised) public text is the engine's own identifier.
const char* OwnPublicText(const char* publicId, const char* own);

// "-//Quenda//DTD Stylesheet v2.00//EN" and "-//Quenda//DTD Navigator v2.00//EN".
extern const char kStyleSheetPublicId[];
extern const char kNavigatorPublicId[];

// Engine errors of failed saves.
inline constexpr int kErrCantSaveStyleSheet = 17;
inline constexpr int kErrCantSaveNavigator = 18;

// The document of a loaded object's source, parsed afresh through the
// engine's catalog (one use for the caller), or null.
Document* ParseLoadedSource(ExternalId* id);

// The owned text of attribute `name` of a node (specified or default), or
// null; shared by the sheet and navigator readers.
const char* NodeAttribute(const DocumentNode* node, const char* name);

}  // namespace qs
