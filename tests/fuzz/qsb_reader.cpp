// The compiled-document reader on arbitrary bytes: every input is either
// refused or gives a document whose tree lies inside its text, with every
// node inside its parent and after its previous sibling, and whose text and
// marks can all be read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "foundation/names.h"
#include "foundation/platform.h"
#include "sgml/document.h"
#include "sgml/qsb.h"
#include "sgml/text_store.h"

namespace {

int Quiet(void*, std::intptr_t, const char*, const char*, unsigned) { return 1; }

qs::HostedEngine* Engine() {
  static qs::HostedEngine* engine = [] {
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    auto* e = new qs::HostedEngine(0, "/nonexistent-fuzz-home/", "Fuzz", nullptr);
    qs::SetEngine(e);
    // Error 24 on every refused input: no box, no output.
    qs::platform::SetMessageSink(&Quiet, nullptr);
    return e;
  }();
  return engine;
}

void Check(qs::Document& doc, const qs::DocumentNode* node, std::uint32_t from, std::uint32_t to,
           int depth) {
  if (depth > qs::kQsbMaxDepth + 1) __builtin_trap();
  for (const qs::DocumentNode* n = node; n; n = n->Next()) {
    if (n->start > n->end || n->start < from || n->end > to) __builtin_trap();
    if (n->GetAttributeValues()) {
      for (qs::Attribute* const* v = n->GetAttributeValues(); *v; ++v) {
        if (!(*v)->GetName() || !(*v)->Value()) __builtin_trap();
      }
    }
    std::string text(n->end - n->start + 1, '\0');
    doc.ExtractText(text.data(), n->start, n->end);
    Check(doc, n->First(), n->start, n->end, depth + 1);
    from = n->end;
  }
}

// The same bytes handed out a few at a time through one buffer that each
// refill overwrites, as a file stream does: the reader's ways for fields,
// strings and attribute lists cut by a block's end.
class ChoppedIn : public qs::Stream {
 public:
  ChoppedIn(const std::string& bytes, std::size_t piece) : bytes_(bytes), piece_(piece) {
    buffer_.resize(piece);
    start_ = cur_ = end_ = buffer_.data();
  }
  void Refill() override {
    std::size_t n = std::min(piece_, bytes_.size() - at_);
    std::fill(buffer_.begin(), buffer_.end(), 0xEE);
    if (n) std::memcpy(buffer_.data(), bytes_.data() + at_, n);
    at_ += n;
    start_ = buffer_.data();
    end_ = start_ + n;
    if (at_ == bytes_.size()) state_ = kLastBuffer;
  }

 private:
  const std::string& bytes_;
  std::size_t piece_;
  std::size_t at_ = 0;
  std::vector<std::uint8_t> buffer_;
};

// Each node's range and attribute values in document order.
void Describe(const qs::DocumentNode* node, std::string& out) {
  for (const qs::DocumentNode* n = node; n; n = n->Next()) {
    out += std::to_string(n->start) + "," + std::to_string(n->end) + ";";
    if (n->GetAttributeValues()) {
      for (qs::Attribute* const* v = n->GetAttributeValues(); *v; ++v) {
        out += std::string((*v)->GetName()) + "=" + (*v)->Value() + ";";
      }
    }
    Describe(n->First(), out);
    out += "/";
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Engine();
  std::string bytes(reinterpret_cast<const char*>(data), size);
  auto* in = new qs::MemoryInStream(bytes.data(), bytes.size(), "fuzz");
  qs::Document* doc = qs::ReadQsb(*in, "C:\\fuzz\\doc.sgm", nullptr);
  in->Release();
  // Read again in small blocks: the same answer, the same tree.
  auto* chopped = new ChoppedIn(bytes, 1 + size % 7);
  qs::Document* again = qs::ReadQsb(*chopped, "C:\\fuzz\\doc.sgm", nullptr);
  chopped->Release();
  if ((doc == nullptr) != (again == nullptr)) __builtin_trap();
  if (again) {
    std::string a, b;
    Describe(doc->Root(), a);
    Describe(again->Root(), b);
    if (a != b || doc->TextLength() != again->TextLength()) __builtin_trap();
    again->Release();
  }
  if (!doc) return 0;
  std::uint32_t length = doc->TextLength();
  if (!doc->Root()) __builtin_trap();
  Check(*doc, doc->Root(), 0, length, 1);
  std::uint32_t previous = 0;
  for (qs::Mark* m = doc->FirstMark(); m; m = m->next) {
    if (m->Start() < previous || m->Start() > length || m->GetEnd() < m->Start()) __builtin_trap();
    previous = m->Start();
  }
  std::string all(length + 1, '\0');
  doc->ExtractText(all.data(), 0, length);
  doc->Release();
  return 0;
}
