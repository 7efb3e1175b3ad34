#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "doc_builder.h"
#include "style/text_template.h"

namespace qs {
namespace {

void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value ? value : "");  // an empty value removes it
#else
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
#endif
}

std::string Expand(const char* text, DocumentNode* element, int* length = nullptr) {
  char buffer[kTemplateBuffer];
  std::memset(buffer, 'Z', sizeof buffer);
  const int n = ExpandTemplate(text, element, element ? element->Parent() : nullptr,
                               element ? element->GetAttributeValues() : nullptr,
                               element && element->Decl() ? &element->Decl()->Attributes() : nullptr,
                               buffer, nullptr);
  if (length) *length = n;
  EXPECT_EQ(buffer[n], 0);
  EXPECT_EQ(std::strlen(buffer), static_cast<std::size_t>(n));
  return std::string(buffer, static_cast<std::size_t>(n));
}

TEST(TextTemplates, CommandsAndConditions) {
  test::DocBuilder b;
  DocumentNode* root = b.Build(
      "<doc ID=top><p PNO=123 TYPE=WARNING>x</p><p TYPE=caution>y</p><p>z</p></doc>");
  DocumentNode* p1 = root->First();
  DocumentNode* p2 = p1->Next();
  DocumentNode* p3 = p2->Next();
  SetEnv("QS_TEMPLATE_TEST", "set");
  SetEnv("QS_TEMPLATE_UNSET", nullptr);
  const struct {
    const char* text;
    DocumentNode* element;
    std::string result;
  } cases[] = {
      {"Part  \\att(PNO)", p1, "Part 123"},
      {"Part  \\att(PNO)", p2, "Part #IMPLIED"},
      {"  lead", p1, " lead"},
      {"\\att(TYPE=warning)", p1, "TRUE"},
      {"\\att(TYPE=warning)", p2, "FALSE"},
      {"\\att(TYPE=warning)", p3, "#IMPLIED"},
      {"\\ifatt(TYPE)yes\\else;no\\endif", p1, "yes"},
      {"\\ifatt(TYPE)yes\\else;no\\endif", p3, "no"},
      {"\\ifatt(TYPE)yes\\else;no\\else;again\\endif", p3, "noagain"},
      {"\\ifatt(TYPE)yes\\else no\\endif", p3, " no"},
      {"\\ifatt(TYPE=caution)C\\endif.", p2, "C."},
      {"\\endif", p1, "ERR(endif)"},
      {"\\foo", p1, "ERR(foo)"},
      {"\\att PNO", p1, "ERR(att) PNO"},
      {"\\65;\\66", p1, "AB"},
      {"a\\tab;b\\t;c", p1, "a\tb\tc"},
      {"\\\\", p1, "\\"},
      {"\\pageno(roman-lw)", p1, "\x1BNi\x1B"},
      {"\\pageno", p1, "\x1BNN0\x1B"},
      {"\\pagecount(3)", p1, "\x1BMN3\x1B"},
      {"\\pageno(99)", p1, "\x1BNNI\x1B"},
      {"\\icon(warn)\\gen(part)", p1, "\x1BIwarn\x1B\x1BGpart\x1B"},
      {"\\att(par/ID)", p1, "top"},
      {"\\att(prev/next/TYPE)", p2, "caution"},
      {"\\att(next/TYPE)", p1, "caution"},
      {"\\att(up/TYPE)", p1, "#IMPLIED"},
      {"\\env(QS_TEMPLATE_TEST)", p1, "set"},
      {"\\env(QS_TEMPLATE_UNSET)", p1, "#NULL"},
      {"\\ifenv(QS_TEMPLATE_TEST=SET)on\\endif", p1, "on"},
      // Codes: none for 0, U+FFFD past the range and for surrogates; a long
      // number saturates.
      {"a\\0;b", p1, "ab"},
      {"\\1114112;", p1, "\xEF\xBF\xBD"},
      {"\\55296;", p1, "\xEF\xBF\xBD"},
      {"\\99999999999999999999999999;", p1, "\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) EXPECT_EQ(Expand(c.text, c.element), c.result) << c.text;
}

TEST(TextTemplates, LimitsAndDeepNesting) {
  test::DocBuilder b;
  std::string longValue(300, 'v');
  DocumentNode* root = b.Build(("<doc LONG='" + longValue + "'>x</doc>").c_str());
  int n = 0;
  std::string out = Expand("Value: \\att(LONG)", root, &n);
  EXPECT_EQ(n, 255);
  EXPECT_EQ(out.substr(252), "...");
  EXPECT_EQ(out.substr(0, 8), "Value: v");

  // Plain text stops at 250 bytes without the ellipsis.
  std::string plain(400, 'p');
  EXPECT_EQ(Expand(plain.c_str(), root), std::string(250, 'p'));

  // Twenty nested conditions: those past the stack are inactive, the
  // outer ones still close and switch.
  std::string nested;
  for (int i = 0; i < 20; ++i) nested += "\\ifatt(LONG)";
  nested += "deep";
  for (int i = 0; i < 20; ++i) nested += "\\endif;";
  nested += "after";
  EXPECT_EQ(Expand(nested.c_str(), root), "after");
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "\\ifatt(LONG)";
  eleven += "in";
  for (int i = 0; i < 11; ++i) eleven += "\\endif;";
  EXPECT_EQ(Expand(eleven.c_str(), root), "in");

  std::string digits = "\\" + std::string(200, '9') + ";x";
  EXPECT_EQ(Expand(digits.c_str(), root).substr(0, 3), "\xEF\xBF\xBD");
  // A field cut at the end still has room for its closing mark.
  std::string field = std::string(240, 'f') + "\\icon(" + std::string(100, 'n') + ")";
  out = Expand(field.c_str(), root, &n);
  EXPECT_EQ(n, 255);
}

TEST(TextTemplates, ArgumentsAndStyleCodes) {
  char name[128], value[128], code[3] = {};
  bool hasValue = false;
  const char* rest = ParseTemplateArgs(" ( A/B = 'x y' )tail", name, value, &hasValue);
  ASSERT_NE(rest, nullptr);
  EXPECT_STREQ(rest, "tail");
  EXPECT_STREQ(name, "A/B");
  EXPECT_STREQ(value, "x y");
  EXPECT_TRUE(hasValue);
  EXPECT_EQ(ParseTemplateArgs("(A='open)", name, value, &hasValue), nullptr);
  EXPECT_EQ(ParseTemplateArgs("A)", name, value, &hasValue), nullptr);
  EXPECT_EQ(ParseTemplateArgs("(A=b c)", name, value, &hasValue), nullptr);
  std::string longName = "(" + std::string(200, 'n') + ")";
  ASSERT_NE(ParseTemplateArgs(longName.c_str(), name, value, &hasValue), nullptr);
  EXPECT_EQ(std::strlen(name), 127u);

  const struct {
    const char* style;
    const char* code;
  } styles[] = {{"alpha-up", "A"}, {"alpha-lw", "a"}, {"roman-up", "I"}, {"roman-lw", "i"},
                {"", "N0"},        {"3", "N3"},       {"12", "N<"},       {"1A", "N1"},
                {"roman", "N0"},   {"30", "NI"}};
  for (const auto& s : styles) {
    const int n = NumberStyleCode(code, s.style);
    EXPECT_EQ(std::string(code, n), s.code) << s.style;
  }
}

}  // namespace
}  // namespace qs
