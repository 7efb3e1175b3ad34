// The query parser: tokenizer, grammar, the tree and its dump.
#include "addressing/query.h"

#include <cstring>

#include "foundation/engine.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/model_names.h"

namespace qs {

namespace {
constexpr int kQuerySyntaxError = 27;

bool IsSpace(char c) { return HasCharClass(static_cast<unsigned char>(c), CharTable::kBlank) && c; }
bool EndsWord(char c) {
  return c == '<' || c == '>' || c == '(' || c == ')' || c == '=' || c == '\'' || c == '"';
}
// The length of a byte run cut back so that no UTF-8 character is split.
std::size_t CharBoundary(const char* text, std::size_t length) {
  std::size_t start = length;
  int back = 0;
  while (start > 0 && back < 3 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
    --start;
    ++back;
  }
  if (start == 0) return length;
  auto lead = static_cast<unsigned char>(text[start - 1]);
  std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return length - (start - 1) < need ? start - 1 : length;
}
char* CopyBytes(const char* text, std::size_t length) {
  char* copy = static_cast<char*>(MemAlloc(length + 1));
  if (!copy) return nullptr;
  std::memcpy(copy, text, length);
  copy[length] = 0;
  return copy;
}
}  // namespace

QuerySettings QuerySettings::FromFlags(int flags) {
  QuerySettings s;
  s.fold = !(flags & kQueryCaseSensitive);
  s.patterns = (flags & kQueryPatterns) != 0;
  s.wordStart = (flags & kQueryWordStart) != 0;
  s.wordEnd = (flags & kQueryWordEnd) != 0;
  return s;
}

DumpText& DumpText::operator<<(const char* text) { return Put(text, text ? std::strlen(text) : 0); }

DumpText& DumpText::Put(const char* text, std::size_t n) {
  if (!capacity_) return *this;
  std::size_t room = capacity_ - 1 - length_;
  if (n > room) n = room;
  std::memcpy(buffer_ + length_, text, n);
  length_ += n;
  buffer_[length_] = 0;
  return *this;
}

// ---- Tree nodes ------------------------------------------------------------------

QueryNode* QueryNode::Expression(QueryNode* term, int op, QueryNode* right) {
  auto* n = new QueryNode;
  n->term_ = term;
  n->op_ = op;
  n->right_ = right;
  return n;
}

QueryNode* QueryNode::Term(QueryPrimary* primary, int op, QueryNode* right) {
  auto* n = new QueryNode;
  n->isTerm_ = true;
  n->primary_ = primary;
  n->op_ = op;
  n->right_ = right;
  return n;
}

QueryNode::~QueryNode() {
  delete term_;
  delete primary_;
  delete right_;
}

void QueryNode::Dump(DumpText& out) const {
  const char* name = op_ == kQueryAnd ? "and(" : op_ == kQueryOr ? "or(" : op_ == kQueryIn ? "in("
                     : op_ == kQueryCont ? "cont(" : nullptr;
  if (name && right_) out << name;
  if (isTerm_) {
    if (primary_) primary_->Dump(out);
  } else if (term_) {
    term_->Dump(out);
  }
  if (name && right_) {
    out << ", ";
    right_->Dump(out);
    out << ")";
  }
}

TextSearch* TextSearch::New(const char* text, std::size_t length) {
  auto* search = new TextSearch;
  search->text_ = CopyBytes(text, length);
  if (!search->text_) {
    delete search;
    return nullptr;
  }
  return search;
}

TextSearch::~TextSearch() { MemFree(text_); }

void TextSearch::Dump(DumpText& out) const { out << "\"" << text_ << "\""; }

PatternSearch::PatternSearch(const char* text, std::size_t length, bool fold) {
  automaton_.Compile(text, text + length, fold);
}

void PatternSearch::Dump(DumpText& out) const {
  out << "/" << (automaton_.IsCompiled() ? automaton_.Source() : "(failed)") << "/";
}

void QueryGroup::Dump(DumpText& out) const {
  out << "(";
  expression_->Dump(out);
  out << ")";
}

AttributeCondition::~AttributeCondition() {
  MemFree(name);
  MemFree(value);
  delete namePattern;
  delete valuePattern;
}

void AttributeCondition::Dump(DumpText& out) const {
  if (namePattern)
    out << "(" << namePattern->Source() << ")";
  else
    out << (name ? name : "*");
  out << "=";
  if (valuePattern)
    out << "(" << valuePattern->Source() << ")";
  else
    out << (value ? value : "*");
}

ElementTest::~ElementTest() {
  while (AttributeCondition* c = conditions_) {
    conditions_ = c->next;
    delete c;
  }
}

void ElementTest::AddCondition(AttributeCondition* condition) {
  condition->next = conditions_;
  conditions_ = condition;
}

void ElementTest::DumpConditions(DumpText& out) const {
  for (AttributeCondition* c = conditions_; c; c = c->next) {
    out << " ";
    c->Dump(out);
  }
  out << ">";
}

void AnyElementTest::Dump(DumpText& out) const {
  out << "<*";
  DumpConditions(out);
}

ElementTypeTest::~ElementTypeTest() { ReleaseName(name_); }

void ElementTypeTest::Dump(DumpText& out) const {
  out << "<" << name_->Text();
  DumpConditions(out);
}

bool ElementTypeTest::TypeMatches(const DocumentNode* element) const {
  return element->Decl() && element->Decl()->Name() == name_;
}

void ElementPatternTest::Dump(DumpText& out) const {
  out << "<(" << pattern_->Source() << ")";
  DumpConditions(out);
}

bool ElementPatternTest::TypeMatches(const DocumentNode* element) const {
  const char* name = element->GetNameText();
  if (!name) return false;
  std::size_t length = std::strlen(name);
  return length && pattern_->MatchAt(name, length) == length;
}

// ---- Name set ------------------------------------------------------------------------

namespace {
class NameSetEntry : public HashItem {
 public:
  static NameSetEntry* New(const char* name) {
    auto* e = new NameSetEntry;
    e->length_ = std::strlen(name);
    e->name_ = CopyBytes(name, e->length_);
    if (!e->name_) {
      delete e;
      return nullptr;
    }
    return e;
  }
  ~NameSetEntry() override { MemFree(name_); }
  const char* GetKey() const override { return name_; }
  std::size_t GetKeyLength() const override { return length_; }

 private:
  NameSetEntry() = default;
  char* name_ = nullptr;
  std::size_t length_ = 0;
};
}  // namespace

NameSet::NameSet(int buckets) : table_(buckets, true) {}

bool NameSet::Add(const char* name) {
  NameSetEntry* e = name ? NameSetEntry::New(name) : nullptr;
  return e && table_.Insert(e, true) == 1;
}

bool NameSet::Contains(const char* name) const {
  return name && table_.Find(name, std::strlen(name)) != nullptr;
}

// ---- The parser -----------------------------------------------------------------------

Query::Query(Document* document, const QuerySettings& settings)
    : document_(document ? document->AddRef() : nullptr), settings_(settings) {}

Query::~Query() {
  delete tree_;
  if (document_) document_->Release();
}

char* Query::Dump(char* buffer, std::size_t capacity) const {
  DumpText out(buffer, capacity);
  if (tree_)
    tree_->Dump(out);
  else
    out << "(none)";
  return buffer;
}

int Query::NextToken() {
  const char* p = pos_;
  while (p < end_ && IsSpace(*p)) ++p;
  spaceBefore_ = p != pos_;
  pos_ = p;
  if (p >= end_) return kEnd;
  tokenLength_ = 0;
  bool cut = false;
  auto keep = [&](char c) {
    if (tokenLength_ < kTokenCapacity)
      token_[tokenLength_++] = c;
    else
      cut = true;
  };
  char c = *p;
  if (c == '"' || c == '\'') {
    ++p;
    while (p < end_ && *p != c) keep(*p++);
    if (p < end_) ++p;
  } else {
    switch (c) {
      case '(': pos_ = p + 1; return kLeftParen;
      case ')': pos_ = p + 1; return kRightParen;
      case '<': pos_ = p + 1; return kOpen;
      case '>': pos_ = p + 1; return kClose;
      case '=': pos_ = p + 1; return kEquals;
      default: break;
    }
    while (p < end_ && !IsSpace(*p) && !EndsWord(*p)) keep(*p++);
  }
  pos_ = p;
  if (cut) tokenLength_ = CharBoundary(token_, tokenLength_);
  token_[tokenLength_] = 0;
  if (c != '"' && c != '\'') {
    if (CompareStringNoCase(token_, "in") == 0) return kIn;
    if (CompareStringNoCase(token_, "cont") == 0) return kCont;
    if (CompareStringNoCase(token_, "and") == 0) return kAnd;
    if (CompareStringNoCase(token_, "or") == 0) return kOr;
  }
  return kWord;
}

int Query::Peek() {
  if (lookahead_ == kNone) lookahead_ = NextToken();
  return lookahead_;
}

bool Query::Expect(int token) {
  if (Peek() == token) {
    Take();
    return true;
  }
  ReportError(kQuerySyntaxError);
  return false;
}

QueryNode* Query::Parse(const char* text, bool literal) {
  delete tree_;
  tree_ = nullptr;
  if (!text) return nullptr;
  text_ = pos_ = text;
  end_ = text + std::strlen(text);
  lookahead_ = kNone;
  nesting_ = 0;
  if (literal) {
    QueryPrimary* primary = MakeSearch(text, static_cast<std::size_t>(end_ - text));
    if (!primary) return nullptr;
    tree_ = QueryNode::Expression(QueryNode::Term(primary, kQueryNoOperator, nullptr),
                                  kQueryNoOperator, nullptr);
    return tree_;
  }
  tree_ = ParseExpression();
  return tree_;
}

QueryNode* Query::ParseExpression() {
  if (nesting_ >= kMaxNesting) {
    ReportError(kQuerySyntaxError);
    return nullptr;
  }
  ++nesting_;
  QueryNode* expression = ParseNestedExpression();
  --nesting_;
  return expression;
}

QueryNode* Query::ParseNestedExpression() {
  QueryNode* term = ParseTerm();
  if (!term) return nullptr;
  int op = Peek();
  if (op != kAnd && op != kOr) return QueryNode::Expression(term, kQueryNoOperator, nullptr);
  Take();
  QueryNode* right = ParseExpression();
  if (!right) {
    delete term;
    return nullptr;
  }
  return QueryNode::Expression(term, op, right);
}

QueryNode* Query::ParseTerm() {
  QueryPrimary* primary = ParsePrimary();
  if (!primary) return nullptr;
  int op = Peek();
  if (op != kIn && op != kCont) return QueryNode::Term(primary, kQueryNoOperator, nullptr);
  Take();
  QueryNode* right = ParseExpression();
  if (!right) {
    delete primary;
    return nullptr;
  }
  return QueryNode::Term(primary, op, right);
}

QueryPrimary* Query::ParsePrimary() {
  switch (Peek()) {
    case kWord: {
      // A run of words is one search text of fewer than 99 bytes: a word
      // that would pass that is dropped with every word after it.
      char search[kSearchTextLimit + 1];
      std::size_t length = 0;
      bool full = false;
      while (Peek() == kWord) {
        if (!full) {
          std::size_t joint = length && spaceBefore_ ? 1 : 0;
          if (length + joint + tokenLength_ < kSearchTextLimit) {
            if (joint) search[length++] = ' ';
            std::memcpy(search + length, token_, tokenLength_);
            length += tokenLength_;
          } else {
            full = true;
          }
        }
        Take();
      }
      return MakeSearch(search, length);
    }
    case kOpen:
      Take();
      return ParseElementTest();
    case kLeftParen: {
      Take();
      QueryNode* inner = ParseExpression();
      if (!inner) return nullptr;
      if (!Expect(kRightParen)) {
        delete inner;
        return nullptr;
      }
      return new QueryGroup(inner);
    }
    default:
      ReportError(kQuerySyntaxError);
      return nullptr;
  }
}

bool Query::LooksLikePattern(const char* text, std::size_t length) {
  if (!length) return false;
  if (text[0] == '^' || text[length - 1] == '$') return true;
  for (std::size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c == '*' || c == '+' || c == '.' || c == '?' || c == '[' || c == '\\' || c == '|')
      return true;
  }
  return false;
}

QueryPrimary* Query::MakeSearch(const char* text, std::size_t length) {
  if (settings_.patterns && LooksLikePattern(text, length))
    return new PatternSearch(text, length, settings_.fold);
  return TextSearch::New(text, length);
}

PatternAutomaton* Query::ParseInlinePattern() {
  auto* pattern = new PatternAutomaton;
  const char* stop = pattern->Compile(pos_, end_, true);
  if (!stop) {
    delete pattern;
    return nullptr;
  }
  if (stop >= end_ || *stop != ')') {
    ReportError(kQuerySyntaxError);
    delete pattern;
    return nullptr;
  }
  pos_ = stop + 1;
  lookahead_ = kNone;
  return pattern;
}

QueryPrimary* Query::ParseElementTest() {
  ElementTest* test = nullptr;
  int t = Peek();
  if (t == kWord) {
    if (tokenLength_ == 1 && token_[0] == '*') {
      test = new AnyElementTest;
    } else {
      if (!document_ || document_->foldsNames)
        for (std::size_t i = 0; i < tokenLength_; ++i) token_[i] = ToUpperAscii(token_[i]);
      InternedName* name = InternName(token_);
      if (!name) return nullptr;
      test = new ElementTypeTest(name);
    }
    Take();
  } else if (t == kLeftParen) {
    Take();
    PatternAutomaton* pattern = ParseInlinePattern();
    if (!pattern) return nullptr;
    test = new ElementPatternTest(pattern);
  } else {
    ReportError(kQuerySyntaxError);
    return nullptr;
  }

  // Conditions until '>'. A misplaced token fails the test quietly; only a
  // missing '=' or a bad pattern is reported.
  for (;;) {
    t = Peek();
    if (t == kClose) {
      Take();
      return test;
    }
    auto* condition = new AttributeCondition;
    test->AddCondition(condition);
    bool ok = true;
    if (t == kWord) {
      if (!(tokenLength_ == 1 && token_[0] == '*'))
        ok = (condition->name = CopyBytes(token_, tokenLength_)) != nullptr;
      Take();
    } else if (t == kLeftParen) {
      Take();
      ok = (condition->namePattern = ParseInlinePattern()) != nullptr;
    } else {
      ok = false;
    }
    if (ok) ok = Expect(kEquals);
    if (ok) {
      t = Peek();
      if (t == kWord) {
        if (!(tokenLength_ == 1 && token_[0] == '*'))
          ok = (condition->value = CopyBytes(token_, tokenLength_)) != nullptr;
        Take();
      } else if (t == kLeftParen) {
        Take();
        ok = (condition->valuePattern = ParseInlinePattern()) != nullptr;
      } else {
        ok = false;
      }
    }
    if (!ok) {
      delete test;
      return nullptr;
    }
  }
}

}  // namespace qs
