// Extended pointers and location strings of any shape over a fixed
// document: evaluation ends, a pointer that resolves leads to a place whose
// own pointer resolves back to it, and a location string that resolves
// shows a range of the document whose position pointer leads back into it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "addressing/ext_pointer.h"
#include "addressing/locations.h"
#include "addressing/tree_walker.h"
#include "addressing/web.h"
#include "doc_builder.h"
#include "foundation/engine.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class Shown : public qs::HostedEngine {
 public:
  Shown() : HostedEngine(0, "C:\\Home\\", "Fuzz", nullptr) {}
  void ReportError(int code, std::intptr_t, std::intptr_t, std::intptr_t,
                   std::intptr_t) override {
    Check((code >= 7 && code <= 9) || code == 27);
  }
  int GotoPosition(qs::WindowHandle, qs::View*, qs::Document* document, std::int32_t position,
                   std::int32_t length, int) override {
    ++shown;
    this->document = document;
    start = position;
    this->length = length;
    return 1;
  }
  int GotoLocation(qs::View*, qs::Document*, qs::DocumentNode*, qs::EntityDecl*,
                   const qs::HotspotArea&) override {
    ++shown;
    figure = true;
    return 1;
  }
  int shown = 0;
  bool figure = false;
  qs::Document* document = nullptr;
  std::int32_t start = 0, length = 0;
};

struct Fixture {
  Fixture() {
    for (const char* type : {"S", "SECT"}) b.Declare(type, "ID", qs::kDeclaredId, qs::kDefaultImplied);
    b.Declare("P", "TYPE", qs::kDeclaredCdata, qs::kDefaultImplied);
    b.Build(
        "<R>ab<S ID=S1><T>t</T><P TYPE=x>p</P>m<SECT ID=A><P>q r</P></SECT></S>"
        "<S ID='A B'><SECT>s</SECT><DIV>d<DIV><Q>e<E/></Q></DIV><E/></DIV>tail</S><P>z</P>"
        "<E/></R>");
  }
  qs::test::DocBuilder b;
};

// The pointer of the walker's place, resolved from the root, reaches it.
void ExpectPointerLeadsBack(qs::Document* doc, const qs::TreeWalker& place) {
  std::string buffer(qs::kLocationAreaSize, '\0');
  if (place.Current())
    qs::WriteTreeLocation(buffer.data(), buffer.size(), place.Current());
  else
    qs::WritePositionLocation(buffer.data(), buffer.size(), doc, place.GetStartPosition());
  qs::TreeWalker back(doc, nullptr);
  Check(qs::ResolveExtendedPointer(&back, buffer.c_str(), nullptr, nullptr) == 1);
  Check(back.SamePlace(place));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture* fixture = new Fixture;
  static Shown* engine = [] {
    auto* e = new Shown;
    qs::SetEngine(e);
    return e;
  }();
  std::string text(reinterpret_cast<const char*>(data), size);
  qs::Document* doc = fixture->b.Doc();
  qs::DocumentNode* here = doc->Root()->First();
  qs::TreeWalker ditto(doc, nullptr);
  ditto.MoveToFirstChild();

  qs::TreeWalker w(doc, nullptr);
  if (qs::ResolveExtendedPointer(&w, text.c_str(), here, &ditto)) ExpectPointerLeadsBack(doc, w);

  engine->shown = 0;
  engine->figure = false;
  int result = qs::ParseLocationString(doc, here, text.c_str());
  Check(result == 0 ? engine->shown == 0 : engine->shown == 1);
  if (result && !engine->figure) {
    Check(engine->document == doc);
    Check(engine->start >= 0 && engine->length >= 0);
    Check(std::uint32_t(engine->start) + std::uint32_t(engine->length) <= doc->TextLength());
    // The place that holds the range's start writes a pointer that leads
    // back to a place holding it.
    std::string buffer(qs::kLocationAreaSize, '\0');
    qs::WritePositionLocation(buffer.data(), buffer.size(), doc, std::uint32_t(engine->start));
    if (buffer[0]) {
      qs::TreeWalker back(doc, nullptr);
      Check(qs::ResolveExtendedPointer(&back, buffer.c_str(), nullptr, nullptr) == 1);
      std::uint32_t s, e;
      back.GetRange(&s, &e);
      Check(s <= std::uint32_t(engine->start) && std::uint32_t(engine->start) < e);
    }
  }
  return 0;
}
