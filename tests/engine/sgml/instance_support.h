// Helpers for the instance tests: parse a document held in a string and
// show its tree and text compactly.
#pragma once
#include <string>
#include <vector>

#include "foundation/stream.h"
#include "parser_support.h"
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

}  // namespace qs::test
