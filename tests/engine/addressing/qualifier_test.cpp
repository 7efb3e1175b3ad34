#include "addressing/qualifier.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "doc_builder.h"
#include "error_recorder.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "sgml/model_names.h"

namespace qs {
namespace {

using test::DocBuilder;
using test::ErrorRecorder;

// <SEC><TITLE>T</TITLE><PARA TYPE=WARNING>a</PARA><PARA>b</PARA></SEC>,
// TYPE declared with the default "warning".
struct Sample {
  Sample() {
    b.Declare("PARA", "TYPE", kDeclaredCdata, kDefaultValue, "warning");
    b.Declare("PARA", "ID", kDeclaredCdata, kDefaultImplied);
    b.Build("<SEC><TITLE>T</TITLE><PARA TYPE=WARNING ID=p1>a</PARA><PARA>b</PARA></SEC>");
    sec = b.Doc()->Root();
    title = sec->First();
    para1 = title->Next();
    para2 = para1->Next();
  }
  DocBuilder b;
  DocumentNode* sec;
  DocumentNode* title;
  DocumentNode* para1;
  DocumentNode* para2;
};

class Output : public QualifierContext {
 public:
  explicit Output(int kind) : kind_(kind) {}
  int GetKind() const override { return kind_; }
  char* AskHostForTargets(const QualifierCallNode& call, Document*, DocumentNode* element,
                          const PendingElement* pending) override {
    std::string seen = call.Name();
    for (int i = 0; i < call.ArgumentCount(); ++i) seen += std::string(" ") + call.Argument(i);
    calls.push_back(seen);
    elements.push_back(element);
    pendings.push_back(pending);
    if (!answer) return nullptr;
    char* text = static_cast<char*>(MemAlloc(std::strlen(answer) + 1));
    std::strcpy(text, answer);
    return text;
  }
  std::vector<std::string> calls;
  std::vector<DocumentNode*> elements;
  std::vector<const PendingElement*> pendings;
  const char* answer = nullptr;

 private:
  int kind_;
};

// -1: the text does not compile; else the truth for the element.
int Truth(const char* text, Document* doc, DocumentNode* element, QualifierContext* out = nullptr) {
  QualifierNode* q = ParseQualifierExpression(text);
  if (!q) return -1;
  int result = q->Match(doc, element, out) ? 1 : 0;
  delete q;
  return result;
}

TEST(Qualifier, TruthOverTheSampleDocument) {
  Sample s;
  ErrorRecorder errors;
  Document* d = s.b.Doc();
  struct {
    const char* text;
    DocumentNode* Sample::*element;
    int expected;
  } cases[] = {
      // A specified value compared ignoring case, and the declared default.
      {"[TYPE] = warning", &Sample::para1, 1},
      {"[TYPE] = warning", &Sample::para2, 1},
      {"[TYPE] = caution", &Sample::para2, 0},
      {"[TYPE]", &Sample::para2, 1},
      {"NOT [TYPE]", &Sample::title, 1},
      {"PREV = title", &Sample::para1, 1},
      {"PREV = title", &Sample::para2, 0},
      {"PAR/PREV = title", &Sample::para1, 0},
      {"PAR = sec", &Sample::title, 1},
      {"PAR/PAR", &Sample::title, 0},  // no grandparent: no text
      {"NEXT/NEXT = para", &Sample::title, 1},
      // Missing attributes: a missing value is not y, but equals another.
      {"[x] = y", &Sample::para1, 0},
      {"[x] = [y]", &Sample::para1, 1},
      // Names compare as the model stores them (exactly).
      {"[type] = warning", &Sample::para1, 0},
      {"son/next[TYPE] = WARNING", &Sample::sec, 1},
      {"CHILD/Next[TYPE] = warning", &Sample::sec, 1},
      {"son/son", &Sample::sec, 0},
      {"son", &Sample::sec, 1},
      {"'a b' = \"A B\"", &Sample::sec, 1},
      // The comma starts no token: the rest is not read.
      {"[TYPE] = warning , junk", &Sample::para1, 1},
      {"PREV = x , junk", &Sample::para1, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Truth(c.text, d, s.*(c.element)), c.expected) << c.text;
  EXPECT_TRUE(errors.errors.empty());
}

// AND and OR bind alike, to the right; NOT takes the whole rest.
TEST(Qualifier, GroupingOfAndOrNot) {
  DocBuilder b;
  b.Build("<E A=1></E>");
  Document* d = b.Doc();
  DocumentNode* e = d->Root();
  EXPECT_EQ(Truth("[A] OR [B] AND [C]", d, e), 1);
  EXPECT_EQ(Truth("([A] OR [B]) AND [C]", d, e), 0);
  EXPECT_EQ(Truth("[B] AND [C] OR [A]", d, e), 0);  // B AND (C OR A)
  EXPECT_EQ(Truth("NOT [B] AND [A]", d, e), 1);      // NOT (B AND A)
  EXPECT_EQ(Truth("NOT [A] AND [B]", d, e), 1);     // not (NOT A) AND B
  EXPECT_EQ(Truth("NOT ([A]) AND [A]", d, e), 0);
  EXPECT_EQ(Truth("(NOT [A]) AND [A]", d, e), 0);
  EXPECT_EQ(Truth("not not [A]", d, e), 1);
  EXPECT_EQ(Truth("[A] and [A] and [B]", d, e), 0);
}

TEST(Qualifier, SonAndChildAreOnePath) {
  DocBuilder b;
  b.Build("<R><S><T id=7>x</T></S></R>");
  Document* d = b.Doc();
  DocumentNode* r = d->Root();
  for (const char* text : {"son/son[id] = 7", "CHILD/Child[id] = 7", "Son/CHILD = t"})
    EXPECT_EQ(Truth(text, d, r), 1) << text;
}

TEST(Qualifier, OutputModes) {
  Sample s;
  Document* d = s.b.Doc();
  Output screen(2), print(4);
  struct {
    const char* text;
    int onScreen, onPrinter, inText;
  } cases[] = {
      {"\\outmode(print)", 0, 1, 0},
      {"\\outmode(online)", 1, 0, 0},
      {"\\outmode(ascii)", 0, 0, 1},
      {"NOT \\outmode(print)", 1, 0, 1},
      // "0" is a text, so alone it holds.
      {"\\outmode(screen)", 1, 1, 1},
      {"\\outmode = 0", 1, 1, 1},
      {"\\outmode(print) = 1", 0, 1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Truth(c.text, d, s.para1, &screen), c.onScreen) << c.text;
    EXPECT_EQ(Truth(c.text, d, s.para1, &print), c.onPrinter) << c.text;
    EXPECT_EQ(Truth(c.text, d, s.para1, nullptr), c.inText) << c.text;
  }
  EXPECT_TRUE(screen.calls.empty());
}

TEST(Qualifier, HostCallsGetTheirArguments) {
  Sample s;
  Document* d = s.b.Doc();
  Output out(1);
  QualifierNode* q = ParseQualifierExpression("\\lang(de 'x y' AND) = DE");
  ASSERT_NE(q, nullptr);
  EXPECT_FALSE(q->Match(d, s.para1, &out));  // the host answers none
  out.answer = "de";
  EXPECT_TRUE(q->Match(d, s.para2, &out));
  ASSERT_EQ(out.calls.size(), 2u);
  EXPECT_EQ(out.calls[0], "lang de x y AND");
  EXPECT_EQ(out.elements[1], s.para2);
  EXPECT_EQ(out.pendings[1], nullptr);
  // Without an output there is nobody to ask.
  EXPECT_FALSE(q->Match(d, s.para1, nullptr));
  delete q;
}

// An element not yet in the tree: its own record, its parent's relatives.
TEST(Qualifier, PendingElements) {
  Sample s;
  Document* d = s.b.Doc();
  InternedName* value = InternName("Caution");
  Attribute typeValue{s.para1->Decl()->Attributes().Find("TYPE"), value};
  Attribute* values[] = {&typeValue, nullptr};
  PendingElement pending{"PARA", values, &s.para1->Decl()->Attributes()};
  PendingElement bare{"PARA", nullptr, &s.para1->Decl()->Attributes()};
  struct {
    const char* text;
    const PendingElement* record;
    int expected;
  } cases[] = {
      {"[TYPE] = caution", &pending, 1},
      {"[TYPE] = warning", &bare, 1},  // the declared default
      {"[TYPE] = warning", &pending, 0},
      {"PAR/[ID] = p1", &pending, 1},  // from the parent, para1
      {"PAR = para", &pending, 1},
      {"PAR/PREV = title", &pending, 1},
      {"PREV", &pending, 0},  // the first relation must be PAR
      {"NOT PREV", &pending, 1},
      {"PARA", &pending, 1},
  };
  for (const auto& c : cases) {
    QualifierNode* q = ParseQualifierExpression(c.text);
    ASSERT_NE(q, nullptr) << c.text;
    EXPECT_EQ(q->MatchInContext(*c.record, d, s.para1, nullptr) ? 1 : 0, c.expected) << c.text;
    delete q;
  }
  Output out(2);
  out.answer = "x";
  QualifierNode* q = ParseQualifierExpression("\\f(a)");
  EXPECT_TRUE(q->MatchInContext(pending, d, s.para1, &out));
  EXPECT_EQ(out.pendings[0], &pending);
  EXPECT_EQ(out.elements[0], s.para1);
  delete q;
  ReleaseName(value);
}

// Each text fails with exactly one error 28 and no tree.
TEST(Qualifier, SyntaxErrors) {
  std::string relations52 = "PAR";
  for (int i = 1; i < 52; ++i) relations52 += "/PAR";
  std::string relations51 = "PAR";
  for (int i = 1; i < 51; ++i) relations51 += "/PAR";
  std::string word600(600, 'w');
  std::string quoted600 = "[a] = '" + word600 + "'";
  std::string arguments65 = "\\f(";
  for (int i = 0; i < 65; ++i) arguments65 += "a ";
  arguments65 += ")";
  std::string deep(300, '(');
  deep += "a";
  std::string nots;
  for (int i = 0; i < 300; ++i) nots += "NOT ";
  nots += "a";
  std::string ands = "a";
  for (int i = 0; i < 300; ++i) ands += " AND a";
  std::vector<std::string> bad = {"PAR/",  "([x]",     "\\f(a", "",      "=",    "[x",
                                  "[]",    "a = ",     "\\",    "\\(a)", "AND",  "PAR/x",
                                  "( )",   "[x] = (y)", "NOT",  relations52, word600,
                                  quoted600, arguments65, deep, nots, ands};
  for (const std::string& text : bad) {
    ErrorRecorder errors;
    QualifierNode* q = ParseQualifierExpression(text.c_str());
    EXPECT_EQ(q, nullptr) << text;
    delete q;
    EXPECT_EQ(errors.errors, std::vector<int>{kErrQualifierSyntax}) << text;
  }
  // At the limits the texts still compile.
  std::string word511(511, 'w');
  std::string arguments64 = "\\f(";
  for (int i = 0; i < 64; ++i) arguments64 += "a ";
  arguments64 += ")";
  for (const std::string& text : {relations51, word511, arguments64}) {
    ErrorRecorder errors;
    QualifierNode* q = ParseQualifierExpression(text.c_str());
    EXPECT_NE(q, nullptr) << text.substr(0, 40);
    delete q;
    EXPECT_TRUE(errors.errors.empty());
  }
}

}  // namespace
}  // namespace qs
