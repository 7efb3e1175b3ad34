// Helpers for the instance tests: parse a document held in a string and
// show its tree and text compactly.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "foundation/names.h"
#include "foundation/stream.h"
#include "parser_support.h"
#include "sgml/derived_document.h"
#include "sgml/document_cache.h"
#include "sgml/model_names.h"
#include "sgml/text_store.h"

namespace qs::test {

// The whole document text; kept spaces (byte 1) read as '_'.
inline std::string DocumentText(Document& document) {
  TextStore* text = document.Text();
  if (!text || text->Length() == 0) return "";
  std::string out(text->Length() + 1, '\0');
  std::size_t n = text->CopyRange(out.data(), 0, text->Length(), false);
  out.resize(n);
  for (char& c : out) {
    if (c == 1) c = '_';
  }
  return out;
}

// name[start,end](children) with attributes as {name=value}.
inline void DumpNode(const DocumentNode* node, std::string& out) {
  out += node->GetNameText();
  if (Attribute* const* values = node->GetAttributeValues()) {
    for (Attribute* const* v = values; *v; ++v) {
      out += "{";
      out += (*v)->GetName();
      out += "=";
      out += (*v)->Value() ? (*v)->Value() : "";
      out += "}";
    }
  }
  out += "[" + std::to_string(node->start) + "," + std::to_string(node->end) + "]";
  if (node->First()) {
    out += "(";
    for (const DocumentNode* c = node->First(); c; c = c->Next()) {
      if (c != node->First()) out += " ";
      DumpNode(c, out);
    }
    out += ")";
  }
}

inline std::string Tree(Document& document) {
  std::string out;
  if (document.Root()) DumpNode(document.Root(), out);
  return out;
}

// Parses a document from a string with a recording parser.
struct ParsedText {
  explicit ParsedText(const std::string& source, bool xmlBytes = false) : text(source) {
    (void)xmlBytes;
    parser = new RecordingParser();
    parser->ParseDocumentInput(new MemoryInStream(text.data(), text.size(), "doc"), false, 0);
    document = parser->GetDocument()->AddRef();
  }
  ~ParsedText() {
    delete parser;
    document->Release();
  }
  ParsedText(const ParsedText&) = delete;
  ParsedText& operator=(const ParsedText&) = delete;
  std::string Messages() const { return Describe(parser->messages); }

  std::string text;
  RecordingParser* parser;
  Document* document;
};

// A document parsed against the document type registered from `declaring`
// (its DTD and entities), as an instance of a known type is parsed.
struct DerivedParse {
  DerivedParse(const std::string& declaringSource, const std::string& source)
      : declaring(declaringSource), text(source) {
    type = new DocumentType(nullptr, *declaring.parser->GetDtd(), declaring.document);
    layered = new LayeredDtd(*type);
    derived = new DerivedDocument(nullptr, *type);
    RecordingParser parser(layered, derived);
    parser.ParseDocumentInput(new MemoryInStream(text.data(), text.size(), "t"), false, 0);
    messages = Describe(parser.messages);
  }
  ~DerivedParse() {
    layered->Release();
    derived->Release();
    type->Release();
  }
  DerivedParse(const DerivedParse&) = delete;
  DerivedParse& operator=(const DerivedParse&) = delete;

  ParsedText declaring;
  std::string text;
  DocumentType* type;
  LayeredDtd* layered;
  DerivedDocument* derived;
  std::string messages;
};

// Interned names held by a test, each checked to be held by something else
// too; Release checks that nothing else holds them any more.
struct HeldNames {
  explicit HeldNames(std::initializer_list<const char*> texts) {
    for (const char* text : texts) {
      InternedName* name = InternName(text);
      EXPECT_NE(name, nullptr) << text;
      if (!name) continue;
      EXPECT_GE(name->UseCount(), 2u) << text;
      names.push_back(name);
    }
  }
  void ReleaseExpectingNoOtherUse() {
    for (InternedName* name : names) {
      EXPECT_EQ(name->UseCount(), 1u) << name->Text();
      ReleaseName(name);
    }
    names.clear();
  }
  std::vector<InternedName*> names;
};

}  // namespace qs::test
