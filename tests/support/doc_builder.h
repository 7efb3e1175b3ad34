// Builds documents for tests from a small markup: "<NAME a=v b='v w'>",
// "</NAME>", "<NAME/>", "&name;" (an entity-reference node for the
// document's entity of that name, made as an internal text entity when the
// document has none) and character data. Attributes are taken from the
// type's declarations (Declare before Build), else added as undeclared
// CDATA ones; an ID-kind value becomes the element's ID. Positions come
// from the text as it is appended. Nothing here checks the markup: tests
// write it well formed.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/model_names.h"

namespace qs::test {

class DocBuilder {
 public:
  DocBuilder() : dtd_(new Dtd), doc_(new Document) { doc_->SetDtd(dtd_); }
  ~DocBuilder() {
    if (doc_) doc_->Release();
    dtd_->Release();
  }
  DocBuilder(const DocBuilder&) = delete;
  DocBuilder& operator=(const DocBuilder&) = delete;

  Dtd& GetDtd() { return *dtd_; }
  Document* Doc() { return doc_; }
  // Hands the document over with its one use.
  Document* Take() {
    Document* d = doc_;
    doc_ = nullptr;
    return d;
  }

  // An attribute declaration on an element type (list 1).
  AttributeDecl* Declare(const char* type, const char* name, std::uint8_t declared,
                         std::uint8_t defaultKind, const char* defaultValue = nullptr,
                         TokenGroup* tokens = nullptr) {
    std::uint8_t flags = 0;
    if (declared == kDeclaredId) flags |= kAttrIdKind;
    if (declared == kDeclaredIdref || declared == kDeclaredIdrefs) flags |= kAttrIdRefKind;
    AttributeDecl* decl = dtd_->AttributeDefs().Intern(InternName(name), declared, defaultKind,
                                                       flags, tokens, InternName(defaultValue));
    NameGroup* group = NameGroup::New(&decl, 1);
    DtdNameGroupMerge(dtd_->FindOrDeclareElementType(type)->Attributes(), group);
    group->Release();
    return decl;
  }

  // Parses the markup into the document; the first element is the root.
  DocumentNode* Build(const char* markup) {
    std::vector<DocumentNode*> open;
    const char* p = markup;
    while (*p) {
      if (*p == '<' && p[1] == '/') {
        const char* close = std::strchr(p, '>');
        open.back()->end = doc_->TextLength();
        open.pop_back();
        p = close + 1;
      } else if (*p == '<') {
        const char* close = std::strchr(p, '>');
        std::string tag(p + 1, close);
        bool empty = !tag.empty() && tag.back() == '/';
        if (empty) tag.pop_back();
        DocumentNode* node = StartTag(tag, open.empty() ? nullptr : open.back());
        if (empty)
          node->end = doc_->TextLength();
        else
          open.push_back(node);
        p = close + 1;
      } else if (*p == '&') {
        const char* semi = std::strchr(p, ';');
        std::string name(p + 1, semi);
        EntityDecl* entity = doc_->FindEntity(name.c_str());
        if (!entity) {
          doc_->AddEntity(new TextEntityDecl(name.c_str(), kEntityText, name.c_str()));
          entity = doc_->FindEntity(name.c_str());
        }
        std::uint32_t at = doc_->TextLength();
        auto* node = new (doc_->Pool())
            EntityNode(dtd_->FindOrDeclareElementType("#ENTITY"), at, at, entity);
        open.back()->AppendChild(node);
        p = semi + 1;
      } else {
        const char* next = p;
        while (*next && *next != '<' && *next != '&') ++next;
        doc_->AppendText(p, static_cast<std::size_t>(next - p));
        p = next;
      }
    }
    return doc_->Root();
  }

 private:
  DocumentNode* StartTag(const std::string& tag, DocumentNode* parent) {
    std::size_t i = tag.find(' ');
    std::string type = tag.substr(0, i);
    ElementTypeDecl* decl = dtd_->FindOrDeclareElementType(type.c_str());
    std::vector<std::pair<std::string, std::string>> attrs;
    while (i != std::string::npos && i < tag.size()) {
      while (i < tag.size() && tag[i] == ' ') ++i;
      if (i >= tag.size()) break;
      std::size_t eq = tag.find('=', i);
      std::string name = tag.substr(i, eq - i);
      std::string value;
      i = eq + 1;
      if (tag[i] == '\'' || tag[i] == '"') {
        std::size_t end = tag.find(tag[i], i + 1);
        value = tag.substr(i + 1, end - i - 1);
        i = end + 1;
      } else {
        std::size_t end = tag.find(' ', i);
        value = tag.substr(i, end == std::string::npos ? std::string::npos : end - i);
        i = end;
      }
      attrs.emplace_back(name, value);
    }
    Attribute** values = attrs.empty() ? nullptr : doc_->NewAttributeArray(attrs.size());
    const char* id = nullptr;
    for (std::size_t k = 0; k < attrs.size(); ++k) {
      AttributeDecl* ad = decl->Attributes().Find(attrs[k].first.c_str());
      if (!ad)
        ad = DtdAddUndeclaredAttribute(dtd_->AttributeDefs(), decl->Attributes(),
                                       attrs[k].first.c_str());
      InternedName* value = InternName(attrs[k].second.c_str());
      values[k] = doc_->NewAttribute(ad, value);
      ReleaseName(value);
      if (ad->Flags() & kAttrIdKind) id = values[k]->Value();
    }
    std::uint32_t at = doc_->TextLength();
    auto* node = new (doc_->Pool()) ElementNode(decl, at, at, values, id);
    doc_->NoteTypeUse(decl);
    if (parent)
      parent->AppendChild(node);
    else
      doc_->SetRoot(node);
    if (id) doc_->RegisterId(node);
    return node;
  }

  Dtd* dtd_;
  Document* doc_;
};

}  // namespace qs::test
