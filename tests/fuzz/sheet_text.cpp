// Style sheet texts of any shape: read through the engine's parser with
// its own catalog, written, read again and written again; the two writes
// are the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "api/exports.h"
#include "api/interface.h"
#include "foundation/handle_table.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "sgml/external_id.h"
#include "style/style_sheet.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

std::string WriteOf(QsHandle h) {
  auto* sheet = static_cast<qs::StyleSheet*>(qs::Handles()->LookupStyleSheet(h));
  qs::TextBuffer out;
  sheet->WriteText(out);
  return out.Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool started = [] {
    const char* source = std::getenv("QS_SOURCE_DIR");
    static std::string home = std::string(source ? source : ".") + "/samples/home/";
    static std::string catalog = home + "catalog/catalog";
    // As the library's entry makes it before the first call.
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    return QsInitialize(0, "fuzz", catalog.c_str(), nullptr, nullptr, nullptr, home.c_str()) != 0;
  }();
  Check(started);
  std::string text(reinterpret_cast<const char*>(data), size);
  if (text.find('\0') != std::string::npos) return 0;
  static int serial = 0;
  std::string name = "fuzz" + std::to_string(serial++) + ".ssh";
  QsHandle h = QsOpenStyleSheetText(text.c_str(), name.c_str(), nullptr, nullptr, 0);
  if (!h) return 0;
  // Without the engine's DTD the texts mean something else (&A; is no
  // entity there): only sheets of our document type must come back equal.
  auto* sheet = static_cast<qs::StyleSheet*>(qs::Handles()->LookupStyleSheet(h));
  const char* publicId = sheet->PublicIdentifier() ? sheet->PublicIdentifier()->PublicId() : nullptr;
  if (!publicId || qs::CompareStringNoCase(publicId, qs::kStyleSheetPublicId) != 0 ||
      sheet->PublicIdentifier()->SystemId()) {
    QsReleaseHandle(h);
    return 0;
  }
  std::string first = WriteOf(h);
  QsReleaseHandle(h);
  name = "fuzz" + std::to_string(serial++) + ".ssh";
  QsHandle again = QsOpenStyleSheetText(first.c_str(), name.c_str(), nullptr, nullptr, 0);
  Check(again != 0);
  std::string second = WriteOf(again);
  QsReleaseHandle(again);
  Check(first == second);
  return 0;
}
