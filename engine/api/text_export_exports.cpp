// The plain-text export of a document or of one element's subtree.
#include "api/exports.h"
#include "api/interface.h"
#include "api/node_ref.h"
#include "foundation/handle_table.h"
#include "style/style_sheet.h"
#include "style/text_export.h"

using namespace qs;

std::int32_t QsExportText(QsHandle document, QsHandle node, QsHandle sheet, const char* path) {
  HandleTable* table = Handles();
  if (!table) return 0;
  auto* styles = static_cast<StyleSheet*>(table->LookupStyleSheet(sheet));
  Document* doc = document ? static_cast<Document*>(table->LookupDocument(document)) : nullptr;
  DocumentNode* start = nullptr;
  if (node) {
    // A node selects its element and that element's document.
    auto* ref = static_cast<NodeRef*>(table->LookupNode(node));
    if (!ref) return 0;
    doc = ref->GetDocument();
    start = ref->Current();
  }
  if (!doc || !styles) return 0;
  return ExportPlainText(doc, start, styles, path);
}
