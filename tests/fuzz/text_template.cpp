// Generated-text templates of any shape: the first line is the template,
// the further lines give attribute values of the element it is expanded
// for (its parent and siblings have some too). The result always fits its
// 256 bytes, is NUL-terminated at its length, and fields are well formed
// whenever they are closed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "doc_builder.h"
#include "foundation/names.h"
#include "style/text_template.h"

namespace {
void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// A value the builder's markup can carry.
std::string Clean(const std::string& v) {
  std::string out;
  for (char c : v)
    if (c != '\'' && c != '>' && c != '<' && c != '&' && c != 0) out += c;
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
  std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t nl = input.find('\n');
  std::string templ = input.substr(0, nl);
  if (templ.find('\0') != std::string::npos) return 0;
  std::string attrs;
  const char* names[] = {"TYPE", "PNO", "ID", "X"};
  int i = 0;
  for (std::size_t at = nl; at != std::string::npos && i < 4; ++i) {
    const std::size_t next = input.find('\n', at + 1);
    attrs += std::string(" ") + names[i] + "='" +
             Clean(input.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1)) +
             "'";
    at = next;
  }
  qs::test::DocBuilder b;
  qs::DocumentNode* root = b.Build(
      ("<doc ID=top><p TYPE=first>a</p><p" + attrs + ">b<q PNO=1>c</q></p><p>d</p></doc>").c_str());
  qs::DocumentNode* element = root->First()->Next();
  char buffer[qs::kTemplateBuffer + 16];
  std::memset(buffer, 0x55, sizeof buffer);
  const int n = qs::ExpandTemplate(templ.c_str(), element, root, element->GetAttributeValues(),
                                   &element->Decl()->Attributes(), buffer, nullptr);
  Check(n >= 0 && n <= 255);
  Check(buffer[n] == 0 && std::strlen(buffer) == static_cast<std::size_t>(n));
  for (std::size_t k = qs::kTemplateBuffer; k < sizeof buffer; ++k) Check(buffer[k] == 0x55);
  if (n == 255) Check(std::memcmp(buffer + 252, "...", 3) == 0);
  return 0;
}
