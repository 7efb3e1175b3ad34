#include "style/navigator.h"

#include <cstdlib>
#include <cstring>

#include "addressing/qualifier.h"
#include "foundation/engine.h"
#include "foundation/engine_services.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "style/style_sheet.h"

namespace qs {

namespace {

bool SameText(const char* a, const char* b) {
  return std::strcmp(a ? a : "", b ? b : "") == 0;
}

// A copy without the white space around it; none when nothing is left.
char* Trimmed(const char* text) {
  if (!text) return nullptr;
  const char* start = text;
  while ((*start && HasCharClass(static_cast<unsigned char>(*start), CharTable::kBlank))) ++start;
  const char* end = start + std::strlen(start);
  while (end > start && (end[-1] && HasCharClass(static_cast<unsigned char>(end[-1]), CharTable::kBlank))) --end;
  if (end == start) return nullptr;
  auto n = static_cast<std::size_t>(end - start);
  char* copy = static_cast<char*>(MemAlloc(n + 1));
  if (!copy) return nullptr;
  std::memcpy(copy, start, n);
  copy[n] = 0;
  return copy;
}

// Appends at the end of a singly linked list.
void AppendTo(SList& list, SListNode* node) {
  SListNode* last = list.First();
  if (!last) {
    list.Prepend(node);
    return;
  }
  while (last->Next()) last = last->Next();
  last->SetNext(node);
}

std::int32_t Number(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while ((*p && HasCharClass(static_cast<unsigned char>(*p), CharTable::kBlank))) ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  std::int64_t v = 0;
  while (*p >= '0' && *p <= '9') {
    if (v < 1000000) v = v * 10 + (*p - '0');
    ++p;
  }
  return static_cast<std::int32_t>(negative ? -v : v);
}

int CompareTags(const void* a, const void* b) {
  return std::strcmp((*static_cast<NavigatorTag* const*>(a))->GetKey(),
                     (*static_cast<NavigatorTag* const*>(b))->GetKey());
}

}  // namespace

NavigatorTitle::NavigatorTitle(const char* path, bool locate)
    : locate(locate), path_(path ? DuplicateString(path) : nullptr) {}

NavigatorTitle::~NavigatorTitle() { MemFree(path_); }

NavigatorToc::NavigatorToc(const char* qualifier)
    : text_(qualifier ? DuplicateString(qualifier) : nullptr),
      compiled_(qualifier ? ParseQualifierExpression(qualifier) : nullptr) {}

NavigatorToc::~NavigatorToc() {
  titles_.DeleteAll();
  MemFree(text_);
  delete compiled_;
}

void NavigatorToc::Append(NavigatorTitle* title) { AppendTo(titles_, title); }

void NavigatorToc::Remove(NavigatorTitle* title) {
  titles_.Remove(title);
  delete title;
}

NavigatorTag::NavigatorTag(InternedName* name) : name_(name) {}

NavigatorTag::~NavigatorTag() {
  tocs_.DeleteAll();
  ReleaseName(name_);
}

const char* NavigatorTag::GetKey() const { return NameText(name_); }
std::size_t NavigatorTag::GetKeyLength() const { return NameLength(name_); }
void NavigatorTag::Append(NavigatorToc* toc) { AppendTo(tocs_, toc); }

void NavigatorTag::Remove(NavigatorToc* toc) {
  tocs_.Remove(toc);
  delete toc;
}

NavigatorDef::NavigatorDef(ExternalId* id) : LoadedObject(id) {}

NavigatorDef::NavigatorDef(Document* document)
    : LoadedObject(document ? document->Source() : nullptr) {
  Read(document);
}

NavigatorDef::~NavigatorDef() { Clear(); }

void NavigatorDef::DropUse() {
  if (uses_ > 0) --uses_;
  if (uses_ == 0 && !Owner()) delete this;
}

void NavigatorDef::Clear() {
  tags_.Clear();
  if (publicId_) publicId_->Release();
  if (styleSpec_) styleSpec_->Release();
  publicId_ = styleSpec_ = nullptr;
  MemFree(dtd_);
  MemFree(name_);
  dtd_ = name_ = nullptr;
  scale = min = max = 0;
}

void NavigatorDef::SetName(const char* name) {
  MemFree(name_);
  name_ = name ? DuplicateString(name) : nullptr;
}

void NavigatorDef::SetDtd(const char* dtd) {
  MemFree(dtd_);
  dtd_ = dtd ? DuplicateString(dtd) : nullptr;
}

void NavigatorDef::SetScale(std::int32_t s, std::int32_t lo, std::int32_t hi) {
  auto clamp = [](std::int32_t v) {
    return static_cast<std::uint16_t>(v < 0 ? 0 : v > kScaleMax ? kScaleMax : v);
  };
  scale = clamp(s);
  min = clamp(lo);
  max = clamp(hi);
}

bool NavigatorDef::Load() {
  Clear();
  if (!Id()) return false;
  Document* document = ParseLoadedSource(Id());
  if (!document) return false;
  Read(document);
  document->Release();
  return true;
}

void NavigatorDef::Read(Document* document) {
  Clear();
  if (!document) return;
  DocumentNode* root = document->Root();
  if (!root || !SameText(root->GetNameText(), "TOC-DEF")) return;
  if (EntityDecl* spec = document->FindEntity("StyleSpec"))
    if (ExternalId* id = spec->GetExternalId()) styleSpec_ = id->AddRef();
  if (ExternalId* id = document->DoctypeId()) publicId_ = id->AddRef();
  SetDtd(NodeAttribute(root, "DTD"));
  SetName(NodeAttribute(root, "NAME"));
  SetScale(Number(NodeAttribute(root, "SCALE")), Number(NodeAttribute(root, "MIN")),
           Number(NodeAttribute(root, "MAX")));
  for (DocumentNode* toc = root->First(); toc; toc = toc->Next()) {
    if (!SameText(toc->GetNameText(), "TOC")) continue;
    const char* body = NodeAttribute(toc, "BODY");
    if (!body) continue;
    const char* locate = NodeAttribute(toc, "LOCATE");
    AddEntry(body, NodeAttribute(toc, "QUAL"), NodeAttribute(toc, "TITLE"),
             locate && CompareStringNoCase(locate, "BODY") == 0 ? 1 : 0);
  }
}

int NavigatorDef::AddEntry(const char* body, const char* qualifier, const char* title, int flags) {
  if (!body) return 0;
  auto* tag = static_cast<NavigatorTag*>(tags_.Find(body, std::strlen(body)));
  if (!tag) {
    InternedName* name = InternName(body);
    if (!name) return 0;
    tag = new NavigatorTag(name);
    if (!tag) {
      ReleaseName(name);
      return 0;
    }
    tags_.Insert(tag, true);
  }
  if (qualifier && !*qualifier) qualifier = nullptr;
  NavigatorToc* toc = tag->FirstToc();
  while (toc && !SameText(toc->QualifierText(), qualifier))
    toc = static_cast<NavigatorToc*>(toc->Next());
  if (!toc) {
    toc = new NavigatorToc(qualifier);
    if (!toc) return 0;
    tag->Append(toc);
  }
  char* path = Trimmed(title);
  int added = 0;
  NavigatorTitle* t = toc->FirstTitle();
  while (t && !SameText(t->Path(), path)) t = static_cast<NavigatorTitle*>(t->Next());
  if (t) {
    t->locate = (flags & 1) != 0;
  } else if (auto* fresh = new NavigatorTitle(path, (flags & 1) != 0)) {
    toc->Append(fresh);
    added = 1;
  }
  MemFree(path);
  return added;
}

int NavigatorDef::RemoveEntry(const char* body, const char* qualifier, const char* title) {
  if (!body) return 0;
  auto* tag = static_cast<NavigatorTag*>(tags_.Find(body, std::strlen(body)));
  if (!tag) return 0;
  if (qualifier && !*qualifier) qualifier = nullptr;
  NavigatorToc* toc = tag->FirstToc();
  while (toc && !SameText(toc->QualifierText(), qualifier))
    toc = static_cast<NavigatorToc*>(toc->Next());
  if (!toc) return 0;
  char* path = Trimmed(title);
  NavigatorTitle* t = toc->FirstTitle();
  while (t && !SameText(t->Path(), path)) t = static_cast<NavigatorTitle*>(t->Next());
  MemFree(path);
  if (!t) return 0;
  toc->Remove(t);
  if (toc->Empty()) tag->Remove(toc);
  return 1;
}

NavigatorTag* NavigatorDef::FindEntry(const DocumentNode* element) const {
  if (!element || !element->Decl()) return nullptr;
  InternedName* name = element->Decl()->Name();
  auto* tag = static_cast<NavigatorTag*>(tags_.Find(NameText(name), NameLength(name)));
  return tag && tag->Name() == name ? tag : nullptr;
}

DocumentNode* NavigatorDef::FindTitleElement(DocumentNode* element, const char* path) {
  if (!element) return nullptr;
  if (!path) return element;
  const char* comma = std::strchr(path, ',');
  std::size_t n = comma ? static_cast<std::size_t>(comma - path) : std::strlen(path);
  for (DocumentNode* child = element->First(); child; child = child->Next()) {
    const char* name = child->GetNameText();
    if (!name || std::strlen(name) != n || std::strncmp(name, path, n) != 0) continue;
    return comma ? FindTitleElement(child, comma + 1) : child;
  }
  return nullptr;
}

DocumentNode* NavigatorDef::MatchEntry(NavigatorTag* tag, Document* document,
                                       DocumentNode* element, std::uint8_t* flags,
                                       QualifierContext* view) const {
  if (flags) *flags = 0;
  if (!tag) return nullptr;
  for (NavigatorToc* toc = tag->FirstToc(); toc; toc = static_cast<NavigatorToc*>(toc->Next())) {
    if (toc->Compiled() && !toc->Compiled()->Match(document, element, view)) continue;
    for (NavigatorTitle* t = toc->FirstTitle(); t; t = static_cast<NavigatorTitle*>(t->Next())) {
      if (DocumentNode* found = FindTitleElement(element, t->Path())) {
        if (t->locate && flags) *flags |= 4;
        return found;
      }
    }
  }
  return nullptr;
}

void NavigatorDef::WriteText(TextBuffer& out) {
  out.Put("<!DOCTYPE TOC-DEF ");
  if (publicId_ && (publicId_->PublicId() || publicId_->SystemId()))
    WriteExternalId(out, OwnPublicText(publicId_->PublicId(), kNavigatorPublicId),
                    publicId_->SystemId());
  else
    WriteExternalId(out, kNavigatorPublicId, nullptr);
  if (styleSpec_) {
    out.Put(" [\n<!ENTITY StyleSpec ");
    WriteExternalId(out, styleSpec_->PublicId(), styleSpec_->SystemId());
    out.Put(">\n]");
  }
  out.Put(">\n\n<TOC-DEF");
  if (name_) {
    out.Put(" NAME=");
    PutAttributeValue(out, name_);
  }
  if (dtd_) {
    out.Put(" DTD=");
    PutAttributeValue(out, dtd_);
  }
  if (scale) out.Printf(" SCALE=%d", scale);
  if (min) out.Printf(" MIN=%d", min);
  if (max) out.Printf(" MAX=%d", max);
  out.PutChar('>');
  std::size_t count = 0;
  for (NavigatorTag* t = FirstTag(); t; t = NextTag()) ++count;
  auto** tags = static_cast<NavigatorTag**>(MemAlloc(sizeof(NavigatorTag*) * (count + 1)));
  std::size_t k = 0;
  if (tags)
    for (NavigatorTag* t = FirstTag(); t && k < count; t = NextTag()) tags[k++] = t;
  if (k) std::qsort(tags, k, sizeof(NavigatorTag*), CompareTags);
  for (std::size_t i = 0; i < k; ++i) {
    for (NavigatorToc* toc = tags[i]->FirstToc(); toc;
         toc = static_cast<NavigatorToc*>(toc->Next())) {
      for (NavigatorTitle* t = toc->FirstTitle(); t;
           t = static_cast<NavigatorTitle*>(t->Next())) {
        out.Put("\n<TOC BODY=");
        PutAttributeValue(out, tags[i]->GetKey());
        if (toc->QualifierText()) {
          out.Put(" QUAL=");
          PutAttributeValue(out, toc->QualifierText(), true);
        }
        if (t->Path()) {
          out.Put(" TITLE=");
          PutAttributeValue(out, t->Path());
        }
        if (t->locate) out.Put(" LOCATE=BODY");
        out.PutChar('>');
      }
    }
  }
  MemFree(tags);
  out.Put("\n</TOC-DEF>\n");
}

bool NavigatorDef::Write(const char* path) {
  TextBuffer text;
  WriteText(text);
  return WriteObjectText(*this, path, text, kErrCantSaveNavigator);
}

}  // namespace qs
