// X bitmaps and pixmaps given as an element's content: the text of any
// bytes read through the element text stream in its pieces, as the loaders
// read inline pictures.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "doc_builder.h"
#include "sgml/document.h"
#include "view/graphic_object.h"
#include "view/image_readers.h"
#include "view/pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qs::test::DocBuilder b;
  b.Build("<PIC></PIC>");
  qs::Document* doc = b.Doc();
  qs::DocumentNode* root = doc->Root();
  if (!root) std::abort();
  // Longer than a piece of the stream, so that runs cross refills.
  for (int i = 0; i < 3; ++i) doc->AppendText(reinterpret_cast<const char*>(data), size);
  root->end = doc->TextLength();
  for (const char* key : {"XPM", "XBM"}) {
    qs::GraphicObject* g = qs::LoadXImageFromElement(doc, root, key);
    if (!g) continue;
    if (g->width < 1 || g->height < 1 || g->width > qs::kXImageMaxSide) std::abort();
    auto* image = static_cast<qs::MaskImage*>(g);
    qs::DibView v = qs::ViewDib(image->picture, image->maskInside);
    (void)qs::DibPixelIndex(v, v.width - 1, v.height - 1);
    (void)qs::DibMaskBit(v, v.width - 1, v.height - 1);
    g->Release();
    delete g;
  }
  return 0;
}
