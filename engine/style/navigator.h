// Navigator definitions: which elements of a document become entries of
// its navigator (the table of contents beside it) and which element holds
// each entry's title. Read from a parsed TOC-DEF document, written back as
// its text.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "style/style_rules.h"

namespace qs {

class Document;
class DocumentNode;
class ExternalId;
class InternedName;
class QualifierContext;
class QualifierNode;
class TextBuffer;

class NavigatorTitle : public SListNode {
 public:
  NavigatorTitle(const char* path, bool locate);
  ~NavigatorTitle() override;
  const char* Path() const { return path_; }  // none: the body element itself
  bool locate;

 private:
  char* path_;
};

// One qualifier group of a body element, with its titles in order.
class NavigatorToc : public SListNode {
 public:
  explicit NavigatorToc(const char* qualifier);
  ~NavigatorToc() override;
  const char* QualifierText() const { return text_; }
  QualifierNode* Compiled() const { return compiled_; }
  NavigatorTitle* FirstTitle() const { return static_cast<NavigatorTitle*>(titles_.First()); }
  void Append(NavigatorTitle* title);
  // Unlinks and deletes the title.
  void Remove(NavigatorTitle* title);
  bool Empty() const { return titles_.IsEmpty(); }

 private:
  char* text_;
  QualifierNode* compiled_;
  SList titles_;
};

class NavigatorTag : public HashItem {
 public:
  explicit NavigatorTag(InternedName* name);  // takes the use
  ~NavigatorTag() override;
  const char* GetKey() const override;
  std::size_t GetKeyLength() const override;
  InternedName* Name() const { return name_; }
  NavigatorToc* FirstToc() const { return static_cast<NavigatorToc*>(tocs_.First()); }
  void Append(NavigatorToc* toc);
  void Remove(NavigatorToc* toc);

 private:
  InternedName* name_;
  SList tocs_;
};

class NavigatorDef : public LoadedObject {
 public:
  static constexpr std::uint16_t kScaleMax = 32767;
  explicit NavigatorDef(ExternalId* id);
  explicit NavigatorDef(Document* document);
  ~NavigatorDef() override;
  bool IsUnused() const override { return uses_ == 0; }
  void AddUse() { ++uses_; }
  // One use less; a definition no list keeps goes with its last use.
  void DropUse();
  std::int32_t UseCount() const { return uses_; }

  bool Load();
  void Read(Document* document);
  // Body, qualifier, title, flags (bit 0: LOCATE=BODY): 1 when a title was
  // added, 0 when an equal one was there (its LOCATE then replaced).
  int AddEntry(const char* body, const char* qualifier, const char* title, int flags);
  int RemoveEntry(const char* body, const char* qualifier, const char* title);
  NavigatorTag* FindEntry(const DocumentNode* element) const;
  // The element holding the entry's title, or none; bit 4 of *flags for
  // LOCATE=BODY.
  DocumentNode* MatchEntry(NavigatorTag* tag, Document* document, DocumentNode* element,
                           std::uint8_t* flags, QualifierContext* view) const;
  static DocumentNode* FindTitleElement(DocumentNode* element, const char* path);
  void WriteText(TextBuffer& out);
  // Error 18 and false when the file cannot be written whole.
  bool Write(const char* path = nullptr);

  NavigatorTag* FirstTag() { return static_cast<NavigatorTag*>(tags_.First()); }
  NavigatorTag* NextTag() { return static_cast<NavigatorTag*>(tags_.Next()); }
  ExternalId* PublicIdentifier() const { return publicId_; }
  ExternalId* StyleSpec() const { return styleSpec_; }
  const char* Dtd() const { return dtd_; }
  const char* Name() const { return name_; }
  void SetName(const char* name);
  void SetDtd(const char* dtd);
  // Each clamped to 0-32767.
  void SetScale(std::int32_t scale, std::int32_t min, std::int32_t max);
  std::uint16_t scale = 0, min = 0, max = 0;

 private:
  void Clear();
  HashTable tags_{16, true};
  std::int32_t uses_ = 0;
  ExternalId* publicId_ = nullptr;
  ExternalId* styleSpec_ = nullptr;
  char* dtd_ = nullptr;
  char* name_ = nullptr;
};

}  // namespace qs
