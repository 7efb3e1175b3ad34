#include "style/text_template.h"

#include <cstdlib>
#include <cstring>

#include "foundation/names.h"
#include "foundation/strings.h"
#include "foundation/utf8.h"
#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/parser.h"

namespace qs {

namespace {

constexpr int kNameMax = 127;
constexpr int kStop = 250;  // no new command starts at or past this

bool IsSep(char c) { return GetParserTables().separators[static_cast<unsigned char>(c)] != 0; }
bool IsName(char c) { return GetParserTables().names[static_cast<unsigned char>(c)] != 0; }

const char* SkipSeps(const char* p) {
  while (*p && IsSep(*p)) ++p;
  return p;
}

bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (FoldCase(static_cast<unsigned char>(*a)) != FoldCase(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

bool StepIs(const char* word, std::size_t length, const char* step) {
  if (length != std::strlen(step)) return false;
  for (std::size_t i = 0; i < length; ++i)
    if (FoldCase(static_cast<unsigned char>(word[i])) != FoldCase(static_cast<unsigned char>(step[i])))
      return false;
  return true;
}

struct Output {
  char* buffer;
  int position = 0;
  bool truncated = false;

  void Put(char c) {
    if (position < kTemplateBuffer - 2) buffer[position++] = c;
  }
  void Append(const char* text) { position = AppendLimited(buffer, text, position, &truncated); }
  void Cap() {
    if (position > 254) position = 254;
  }
  void Error(const char* word) {
    Append("ERR(");
    Append(word);
    Cap();
    buffer[position++] = ')';
  }
  void Field(char code, const char* payload) {
    Cap();
    buffer[position++] = kFieldMark;
    Cap();
    buffer[position++] = code;
    Append(payload);
    Cap();
    buffer[position++] = kFieldMark;
  }
};

}  // namespace

int AppendLimited(char* buffer, const char* text, int position, bool* truncated) {
  if (position >= 255) {
    *truncated = true;
    return 255;
  }
  const std::size_t length = std::strlen(text);
  if (static_cast<std::size_t>(position) + length >= 255) {
    std::size_t fits = static_cast<std::size_t>(254 - position);
    if (fits > length) fits = length;
    std::memcpy(buffer + position, text, fits);
    *truncated = true;
    return 255;
  }
  std::memcpy(buffer + position, text, length);
  return position + static_cast<int>(length);
}

const char* ParseTemplateArgs(const char* p, char* name, char* value, bool* hasValue) {
  *hasValue = false;
  name[0] = value[0] = 0;
  p = SkipSeps(p);
  if (*p != '(') return nullptr;
  p = SkipSeps(p + 1);
  int n = 0;
  while (IsName(*p) || *p == '/') {
    if (n < kNameMax) name[n++] = *p;
    ++p;
  }
  name[n] = 0;
  p = SkipSeps(p);
  if (*p == ')') return p + 1;
  if (*p != '=') return nullptr;
  p = SkipSeps(p + 1);
  n = 0;
  if (*p == '"' || *p == '\'') {
    const char quote = *p++;
    while (*p && *p != quote) {
      if (n < kNameMax) value[n++] = *p;
      ++p;
    }
    if (!*p) return nullptr;
    ++p;
  } else {
    while (IsName(*p)) {
      if (n < kNameMax) value[n++] = *p;
      ++p;
    }
  }
  value[n] = 0;
  *hasValue = true;
  p = SkipSeps(p);
  if (*p != ')') return nullptr;
  return p + 1;
}

const char* FindTemplateAttribute(DocumentNode* element, DocumentNode* parent, const char* name,
                                  Attribute* const* values, const AttributeDeclSet* decls) {
  const char* slash = std::strchr(name, '/');
  if (!slash) return GetAttributeValue(name, values, decls);
  DocumentNode* node = element;
  bool atStart = true;
  while (slash) {
    const auto length = static_cast<std::size_t>(slash - name);
    if (StepIs(name, length, "par")) {
      node = atStart && parent ? parent : node ? node->Parent() : nullptr;
    } else if (StepIs(name, length, "prev")) {
      node = node ? node->Prev() : nullptr;
    } else if (StepIs(name, length, "next")) {
      node = node ? node->Next() : nullptr;
    } else if (StepIs(name, length, "child")) {
      node = node ? node->First() : nullptr;
    } else {
      return nullptr;
    }
    if (!node) return nullptr;
    atStart = false;
    name = slash + 1;
    slash = std::strchr(name, '/');
  }
  return node->GetAttributeValue(name);
}

int NumberStyleCode(char* buffer, const char* style) {
  static const struct {
    const char* text;
    char code;
  } kLetters[] = {{"alpha-up", 'A'}, {"alpha-lw", 'a'}, {"roman-up", 'I'}, {"roman-lw", 'i'}};
  for (const auto& l : kLetters)
    if (std::strcmp(style, l.text) == 0) {
      buffer[0] = l.code;
      return 1;
    }
  buffer[0] = 'N';
  bool hex = true;
  for (const char* s = style; *s; ++s)
    if (!((*s >= '0' && *s <= '9') || (*s >= 'a' && *s <= 'f') || (*s >= 'A' && *s <= 'F')))
      hex = false;
  if (!hex) {
    buffer[1] = '0';
    return 2;
  }
  int width = 0;
  for (const char* s = style; *s >= '0' && *s <= '9' && width < 25; ++s)
    width = width * 10 + (*s - '0');
  buffer[1] = static_cast<char>('0' + (width < 25 ? width : 25));
  return 2;
}

int ExpandTemplate(const char* text, DocumentNode* element, DocumentNode* parent,
                   Attribute* const* values, const AttributeDeclSet* decls, char* buffer,
                   const KeywordTable* named) {
  Output out{buffer};
  bool active = true;
  int depth = 0;
  std::uint8_t stack[kTemplateNesting] = {};
  const char* p = text ? text : "";
  char name[kNameMax + 1], value[kNameMax + 1];
  bool hasValue = false;

  auto open = [&](bool condition) {
    if (depth < kTemplateNesting)
      stack[depth] = static_cast<std::uint8_t>((active ? 4 : 0) | (condition ? 1 : 0));
    ++depth;
    // Deeper than the stack: counted, and its text left out.
    active = depth <= kTemplateNesting && active && condition;
  };
  auto recompute = [&]() {
    if (depth == 0) {
      active = true;
    } else if (depth > kTemplateNesting) {
      active = false;
    } else {
      const std::uint8_t b = stack[depth - 1];
      const bool taken = (b & 3) == 1 || (b & 3) == 2;
      active = taken && (b & 4);
    }
  };

  while (*p && out.position < kStop) {
    if (*p != '\\') {
      const char c = *p++;
      if (!active) continue;
      if (IsSep(c)) {
        if (out.position == 0 || buffer[out.position - 1] != ' ') out.Put(' ');
      } else {
        out.Put(c);
      }
      continue;
    }
    ++p;
    if (!*p) break;
    if (*p >= '0' && *p <= '9') {
      std::uint32_t code = 0;
      for (int n = 0; n < kNameMax && *p >= '0' && *p <= '9'; ++n, ++p)
        code = code > 0x7FFFFFF ? 0x7FFFFFFF : code * 10 + static_cast<std::uint32_t>(*p - '0');
      if (*p == ';') ++p;
      if (active && code != 0) {
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
        char bytes[4];
        const int n = EncodeUtf8(static_cast<char32_t>(code), bytes);
        for (int i = 0; i < n; ++i) out.Put(bytes[i]);
      }
      continue;
    }
    if (!(*p >= 'a' && *p <= 'z')) {
      if (active) out.Put(*p);
      ++p;
      continue;
    }
    char word[kNameMax + 1];
    int n = 0;
    while (n < kNameMax && *p >= 'a' && *p <= 'z') word[n++] = *p++;
    word[n] = 0;
    if (*p == ';') ++p;

    if (!std::strcmp(word, "tab") || !std::strcmp(word, "t")) {
      if (active) out.Put('\t');
    } else if (!std::strcmp(word, "att") || !std::strcmp(word, "env")) {
      const bool att = word[0] == 'a';
      const char* after = ParseTemplateArgs(p, name, value, &hasValue);
      if (!after) {
        if (active) out.Error(word);
        continue;
      }
      p = after;
      if (!active) continue;
      const char* found = att ? FindTemplateAttribute(element, parent, name, values, decls)
                              : std::getenv(name);
      if (!found)
        out.Append(att ? "#IMPLIED" : "#NULL");
      else if (hasValue)
        out.Append(EqualNoCase(found, value) ? "TRUE" : "FALSE");
      else
        out.Append(found);
    } else if (!std::strcmp(word, "icon") || !std::strcmp(word, "gen")) {
      const char* after = ParseTemplateArgs(p, name, value, &hasValue);
      if (!after) {
        if (active) out.Error(word);
        continue;
      }
      p = after;
      if (active) out.Field(word[0] == 'i' ? 'I' : 'G', name);
    } else if (!std::strcmp(word, "pageno") || !std::strcmp(word, "pagecount")) {
      char style[3] = {'N', '0', 0};
      if (const char* after = ParseTemplateArgs(p, name, value, &hasValue)) {
        p = after;
        style[NumberStyleCode(style, name)] = 0;
      }
      if (active) out.Field(word[4] == 'n' ? 'N' : 'M', style);
    } else if (!std::strcmp(word, "ifatt") || !std::strcmp(word, "ifenv")) {
      const char* after = ParseTemplateArgs(p, name, value, &hasValue);
      if (!after) {
        if (active) out.Error(word);
        continue;
      }
      p = after;
      const char* found = word[2] == 'a'
                              ? FindTemplateAttribute(element, parent, name, values, decls)
                              : std::getenv(name);
      open(found && (!hasValue || EqualNoCase(found, value)));
    } else if (!std::strcmp(word, "else")) {
      if (depth == 0 || depth > kTemplateNesting || (stack[depth - 1] & 2)) continue;
      stack[depth - 1] |= 2;
      active = (stack[depth - 1] & 4) && !(stack[depth - 1] & 1);
    } else if (!std::strcmp(word, "endif")) {
      if (depth == 0) {
        if (active) out.Error(word);
        continue;
      }
      --depth;
      recompute();
    } else {
      const char* replacement =
          named ? reinterpret_cast<const char*>(named->FindValueSz(word)) : nullptr;
      if (!active) continue;
      if (replacement)
        out.Append(replacement);
      else
        out.Error(word);
    }
  }

  // A closing mark written at the limit fills the last place: that text is
  // cut too (255 always ends in the three dots).
  if (out.truncated || out.position >= 255) {
    std::memcpy(buffer + 252, "...", 3);
    buffer[255] = 0;
    return 255;
  }
  if (out.position > 255) out.position = 255;
  buffer[out.position] = 0;
  return out.position;
}

}  // namespace qs
