#include "addressing/ext_pointer.h"

#include <cstring>

#include "addressing/locations.h"
#include "addressing/pattern_automaton.h"
#include "addressing/tree_walker.h"
#include "foundation/engine.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/dtd.h"

namespace qs {

namespace {

enum Token : int {
  kRoot = 0,
  kHere,
  kId,
  kRef,
  kChild,
  kDescendant,
  kAncestor,
  kPrevious,
  kNext,
  kPreceding,
  kFollowing,
  kPattern,
  kTokenKw,
  kStr,
  kSpace,
  kForeign,
  kHyq,
  kDitto,
  kCdata,
  kImplied,
  kWord = 20,
  kOpen = 21,
  kClose = 22,
  kStar = 23,
  kMinus = 24,
  kPlus = 25,
  kNone = 26,
  kEnd = 27,
  kBad = 28,  // a character that starts no token
};

constexpr const char* kKeywords[] = {
    "root",       "here",    "id",       "ref",   "child",  "descendant", "ancestor",
    "previous",   "next",    "preceding", "following", "pattern", "token", "str",
    "space",      "foreign", "hyq",      "ditto", "#cdata", "#implied",
};
constexpr int kKeywordCount = 20;
// Keywords up to "ditto" stand for themselves where a word is expected.
constexpr int kLastWordKeyword = kDitto;

enum : int { kErrSyntax = 7, kErrAttribute = 8, kErrStep = 9 };

bool IsNameChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '.' || c == '-' || c == '_' || c == ':' || c == '\\' || c >= 0x80;
}

bool IsBlankChar(unsigned char c) { return HasCharClass(c, CharTable::kBlank) || c == '\t' || c == '\n' || c == '\r'; }

bool IsWordToken(int token) { return token == kWord || (token >= 0 && token <= kLastWordKeyword); }

// One type test or attribute-name or value test: a name, a pattern, or
// anything.
struct Test {
  enum Kind { kAny, kName, kPatternTest, kImpliedValue } kind = kAny;
  char name[kLocationTokenSize + 1] = {};
  PatternAutomaton* pattern = nullptr;
  Test() = default;
  Test(const Test&) = delete;
  Test& operator=(const Test&) = delete;
  ~Test() { delete pattern; }
};

struct Condition : EngineObject {
  Test name;
  Test value;
  Condition* next = nullptr;
};

class ExtPointerEvaluator {
 public:
  ExtPointerEvaluator(TreeWalker* walker, const char* text, DocumentNode* here,
                      const TreeWalker* ditto)
      : walker_(walker), pos_(text ? text : ""), here_(here), ditto_(ditto) {
    Document* document = walker_->GetDocument();
    fold_ = document ? document->foldsNames : true;
  }
  ~ExtPointerEvaluator() { ClearStep(); }
  ExtPointerEvaluator(const ExtPointerEvaluator&) = delete;
  ExtPointerEvaluator& operator=(const ExtPointerEvaluator&) = delete;

  int Evaluate();

 private:
  int Next();
  int Peek() {
    if (peeked_ == kNone) peeked_ = Scan();
    return peeked_;
  }
  int Scan();
  void Fail(int code) {
    if (!error_) ReportError(code);
    error_ = true;
  }

  bool ReadNumber(std::int64_t* value);
  bool ReadTest(Test* test, bool valuePosition, int errorCode);
  bool ReadPattern(Test* test, int errorCode);
  // Reads "(" occurrence [type [name value]...] ")"; false on an error.
  bool ReadStep();
  void ClearStep();
  // 1 moved, 0 a failed move.
  int Step(int axis);

  bool NameEquals(const char* a, const char* b) const {
    return fold_ ? CompareStringNoCase(a, b) == 0 : std::strcmp(a, b) == 0;
  }
  static bool WholeMatch(const PatternAutomaton* pattern, const char* text) {
    std::size_t n = std::strlen(text);
    return n != 0 && pattern->Match(text, n) == n;
  }
  bool Matches(const TreeWalker& place) const;
  bool ConditionHolds(const DocumentNode* element, const Condition& c) const;
  bool ValueHolds(const DocumentNode* element, const char* name, const Test& value) const;
  bool NameHolds(const Test& test, const char* name) const;

  int Counted(int (TreeWalker::*move)(), std::int64_t n, bool countStart);
  int Descend(std::int64_t n);
  int Ancestor(std::int64_t n);

  TreeWalker* walker_;
  const char* pos_;
  DocumentNode* here_;
  const TreeWalker* ditto_;
  bool fold_ = true;
  bool error_ = false;
  int peeked_ = kNone;
  int last_ = kNone;  // the token Next gave last
  char token_[kLocationTokenSize + 1] = {};

  std::int64_t occurrence_ = 0;
  Test type_;
  Condition* conditions_ = nullptr;
  Condition** lastCondition_ = &conditions_;
};

int ExtPointerEvaluator::Next() {
  int token = Peek();
  peeked_ = kNone;
  last_ = token;
  return token;
}

int ExtPointerEvaluator::Scan() {
  while (*pos_ && IsBlankChar(static_cast<unsigned char>(*pos_))) ++pos_;
  unsigned char c = static_cast<unsigned char>(*pos_);
  token_[0] = '\0';
  if (c == 0) return kEnd;
  switch (c) {
    case '(': ++pos_; return kOpen;
    case ')': ++pos_; return kClose;
    case '*': ++pos_; return kStar;
    case '-': ++pos_; return kMinus;
    case '+': ++pos_; return kPlus;
    default: break;
  }
  std::size_t n = 0;
  bool tooLong = false;
  auto keep = [&](char ch) {
    if (n < kLocationTokenSize) token_[n++] = ch;
    else tooLong = true;
  };
  if (c == '"' || c == '\'') {
    char quote = *pos_++;
    while (*pos_ && *pos_ != quote) keep(*pos_++);
    if (*pos_) ++pos_;
    token_[n] = '\0';
    if (tooLong) return kBad;
    return kWord;
  }
  if (c == '#' || IsNameChar(c)) {
    keep(*pos_++);
    while (*pos_ && IsNameChar(static_cast<unsigned char>(*pos_))) keep(*pos_++);
    token_[n] = '\0';
    if (tooLong) return kBad;
    for (int k = 0; k < kKeywordCount; ++k)
      if (CompareStringNoCase(token_, kKeywords[k]) == 0) return k;
    if (token_[0] == '#') return kBad;
    return kWord;
  }
  ++pos_;
  return kBad;
}

bool ExtPointerEvaluator::ReadNumber(std::int64_t* value) {
  if (!IsWordToken(Next())) return false;
  std::int64_t v = 0;
  const char* p = token_;
  if (!*p) return false;
  for (; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    // Beyond any count of places a document can have.
    if (v < (std::int64_t(1) << 40)) v = v * 10 + (*p - '0');
  }
  *value = v;
  return true;
}

bool ExtPointerEvaluator::ReadPattern(Test* test, int errorCode) {
  // The pattern's own parser reads from here and stops at the ')' that
  // closes no group of its own.
  peeked_ = kNone;
  test->pattern = new PatternAutomaton;
  const char* stop = test->pattern->Compile(pos_, nullptr, fold_);
  if (!stop || *stop != ')') {
    Fail(errorCode);
    return false;
  }
  pos_ = stop + 1;
  test->kind = Test::kPatternTest;
  return true;
}

bool ExtPointerEvaluator::ReadTest(Test* test, bool valuePosition, int errorCode) {
  int token = Next();
  if (token == kOpen) return ReadPattern(test, errorCode);
  if (token == kStar) {
    test->kind = Test::kAny;
    return true;
  }
  if (valuePosition && token == kImplied) {
    test->kind = Test::kImpliedValue;
    return true;
  }
  if (IsWordToken(token)) {
    test->kind = Test::kName;
    CopyStringMax(test->name, token_, sizeof test->name);
    return true;
  }
  Fail(token == kBad ? kErrSyntax : errorCode);
  return false;
}

void ExtPointerEvaluator::ClearStep() {
  delete type_.pattern;
  type_.pattern = nullptr;
  type_.kind = Test::kAny;
  type_.name[0] = '\0';
  while (conditions_) {
    Condition* c = conditions_;
    conditions_ = c->next;
    delete c;
  }
  lastCondition_ = &conditions_;
}

bool ExtPointerEvaluator::ReadStep() {
  ClearStep();
  // The step's "(" is already read.
  int token = Peek();
  bool negative = false;
  if (token == kMinus || token == kPlus) {
    negative = token == kMinus;
    Next();
  }
  std::int64_t n = 0;
  if (!ReadNumber(&n)) {
    Fail(last_ == kBad ? kErrSyntax : kErrStep);
    return false;
  }
  occurrence_ = negative ? -n : n;
  token = Peek();
  if (token == kCdata) {
    Next();
    type_.kind = Test::kName;
    CopyStringMax(type_.name, "#PNODE", sizeof type_.name);
  } else if (token == kOpen || token == kStar || IsWordToken(token)) {
    if (!ReadTest(&type_, false, kErrAttribute)) return false;
  } else if (token != kClose) {
    Fail(token == kBad || token == kEnd ? kErrSyntax : kErrStep);
    return false;
  }
  while (Peek() != kClose) {
    token = Peek();
    if (token == kEnd || token == kBad) {
      Fail(kErrSyntax);
      return false;
    }
    auto* c = new Condition;
    *lastCondition_ = c;
    lastCondition_ = &c->next;
    if (token == kImplied) {
      Fail(kErrAttribute);
      return false;
    }
    if (!ReadTest(&c->name, false, kErrAttribute)) return false;
    token = Peek();
    if (token == kClose || token == kEnd) {
      Fail(kErrAttribute);
      return false;
    }
    if (!ReadTest(&c->value, true, kErrAttribute)) return false;
  }
  Next();
  return true;
}

bool ExtPointerEvaluator::NameHolds(const Test& test, const char* name) const {
  switch (test.kind) {
    case Test::kAny: return true;
    case Test::kName: return NameEquals(test.name, name);
    case Test::kPatternTest: return WholeMatch(test.pattern, name);
    default: return false;
  }
}

bool ExtPointerEvaluator::ValueHolds(const DocumentNode* element, const char* name,
                                     const Test& value) const {
  const char* v = element->GetAttributeValue(name);
  switch (value.kind) {
    case Test::kAny: return true;
    case Test::kName: return v && CompareStringNoCase(v, value.name) == 0;
    case Test::kPatternTest: return v && WholeMatch(value.pattern, v);
    case Test::kImpliedValue: return !v && element->FindAttributeDecl(name);
  }
  return false;
}

bool ExtPointerEvaluator::ConditionHolds(const DocumentNode* element, const Condition& c) const {
  if (c.name.kind == Test::kName) {
    const char* name = c.name.name;
    bool known = element->FindAttributeDecl(name) != nullptr;
    if (Attribute* const* values = element->GetAttributeValues())
      for (; *values && !known; ++values)
        if ((*values)->GetName() && NameEquals((*values)->GetName(), name)) known = true;
    return known && ValueHolds(element, name, c.value);
  }
  if (Attribute* const* values = element->GetAttributeValues())
    for (; *values; ++values) {
      const char* name = (*values)->GetName();
      if (name && NameHolds(c.name, name) && ValueHolds(element, name, c.value)) return true;
    }
  if (element->Decl()) {
    const AttributeDeclSet& decls = element->Decl()->Attributes();
    for (std::size_t i = 0; i < decls.Count(); ++i) {
      const char* name = decls.At(i) ? decls.At(i)->NameText() : nullptr;
      if (name && NameHolds(c.name, name) && ValueHolds(element, name, c.value)) return true;
    }
  }
  return false;
}

bool ExtPointerEvaluator::Matches(const TreeWalker& place) const {
  const char* name = place.GetElementName();
  if (type_.kind != Test::kAny) {
    if (!name) return false;
    if (type_.kind == Test::kName) {
      // "#PNODE" is the engine's own name for data, never folded away.
      if (std::strcmp(type_.name, "#PNODE") == 0 ? std::strcmp(name, "#PNODE") != 0
                                                 : !NameEquals(type_.name, name))
        return false;
    } else if (!WholeMatch(type_.pattern, name)) {
      return false;
    }
  }
  if (!conditions_) return true;
  const DocumentNode* element = place.Current();
  // A data gap has no attributes.
  if (!element) return false;
  for (const Condition* c = conditions_; c; c = c->next)
    if (!ConditionHolds(element, *c)) return false;
  return true;
}

// Counts matches along `move`, the first counted place being the current
// one when `countStart`; 1 at the n-th match (n > 0), 0 when a move fails
// first.
int ExtPointerEvaluator::Counted(int (TreeWalker::*move)(), std::int64_t n, bool countStart) {
  std::int64_t count = 0;
  if (!countStart && !(walker_->*move)()) return 0;
  for (;;) {
    if (Matches(*walker_) && ++count == n) return 1;
    if (!(walker_->*move)()) return 0;
  }
}

bool StrictlyInside(const TreeWalker& place, const DocumentNode* top) {
  const DocumentNode* n = place.Current() ? place.Current()->Parent() : place.Parent();
  for (; n; n = n->Parent())
    if (n == top) return true;
  return false;
}

int ExtPointerEvaluator::Descend(std::int64_t n) {
  const DocumentNode* top = walker_->Current();
  if (n == 0 && Matches(*walker_)) return 1;
  // Only an element has places inside it.
  if (!top) return 0;
  if (n >= 0) {
    std::int64_t want = n == 0 ? 1 : n, count = 0;
    while (walker_->MoveForward()) {
      if (!StrictlyInside(*walker_, top)) return 0;
      if (Matches(*walker_) && ++count == want) return 1;
    }
    return 0;
  }
  if (!top->First()) return 0;
  walker_->MoveToLastDescendant();
  std::int64_t count = 0;
  for (;;) {
    if (!StrictlyInside(*walker_, top)) return 0;
    if (Matches(*walker_) && ++count == -n) return 1;
    if (!walker_->MoveBackward()) return 0;
  }
}

int ExtPointerEvaluator::Ancestor(std::int64_t n) {
  if (n == 0 && Matches(*walker_)) return 1;
  if (n >= 0) return Counted(&TreeWalker::MoveToParent, n == 0 ? 1 : n, false);
  // Counted from the root down: the matching ancestors first counted from
  // the place up, then the one wanted taken from the other end.
  TreeWalker probe(*walker_);
  std::int64_t total = 0;
  while (probe.MoveToParent())
    if (Matches(probe)) ++total;
  if (total < -n) return 0;
  return Counted(&TreeWalker::MoveToParent, total + n + 1, false);
}

int ExtPointerEvaluator::Step(int axis) {
  std::int64_t n = occurrence_;
  TreeWalker& w = *walker_;
  switch (axis) {
    case kChild:
      if (!w.MoveToFirstChild()) return 0;
      if (n > 0) return Counted(&TreeWalker::MoveNext, n, true);
      w.MoveToLast();
      if (n == 0) return 1;
      return Counted(&TreeWalker::MovePrevious, -n, true);
    case kDescendant:
      return Descend(n);
    case kAncestor:
      return Ancestor(n);
    case kPrevious:
    case kNext: {
      int (TreeWalker::*forward)() = axis == kNext ? &TreeWalker::MoveNext : &TreeWalker::MovePrevious;
      int (TreeWalker::*backward)() = axis == kNext ? &TreeWalker::MovePrevious : &TreeWalker::MoveNext;
      if (n > 0) return Counted(forward, n, false);
      if (n == 0) return Counted(forward, 1, true);
      if (axis == kNext) w.MoveToLast();
      else w.MoveToFirst();
      return Counted(backward, -n, true);
    }
    case kPreceding:
    case kFollowing: {
      int (TreeWalker::*forward)() =
          axis == kFollowing ? &TreeWalker::MoveForward : &TreeWalker::MoveBackward;
      int (TreeWalker::*backward)() =
          axis == kFollowing ? &TreeWalker::MoveBackward : &TreeWalker::MoveForward;
      if (n > 0) return Counted(forward, n, false);
      if (n == 0) return Counted(forward, 1, true);
      w.MoveToRoot();
      if (axis == kFollowing && w.Current() && w.Current()->First()) w.MoveToLastDescendant();
      return Counted(backward, -n, true);
    }
    default:
      return 0;
  }
}

int ExtPointerEvaluator::Evaluate() {
  Document* document = walker_->GetDocument();
  if (!document) return 0;
  for (;;) {
    int token = Next();
    switch (token) {
      case kEnd:
        return error_ ? 0 : 1;
      case kRoot:
        if (!document->Root()) return 0;
        walker_->SetNode(document->Root());
        break;
      case kHere:
        if (!here_) return 0;
        walker_->SetNode(here_);
        break;
      case kDitto:
        if (!ditto_ || ditto_->GetDocument() != document) return 0;
        walker_->Assign(*ditto_);
        break;
      case kId: {
        if (Next() != kOpen || !IsWordToken(Next())) {
          Fail(kErrSyntax);
          return 0;
        }
        DocumentNode* element = FindElementByIdText(document, token_);
        if (Next() != kClose) {
          Fail(kErrSyntax);
          return 0;
        }
        if (!element) return 0;
        walker_->SetNode(element);
        break;
      }
      case kTokenKw:
      case kStr: {
        std::int64_t n;
        if (Next() != kOpen || !ReadNumber(&n)) {
          Fail(kErrSyntax);
          return 0;
        }
        if (Peek() != kClose && !ReadNumber(&n)) {
          Fail(kErrSyntax);
          return 0;
        }
        if (Next() != kClose) {
          Fail(kErrSyntax);
          return 0;
        }
        break;
      }
      case kChild:
      case kDescendant:
      case kAncestor:
      case kPrevious:
      case kNext:
      case kPreceding:
      case kFollowing: {
        if (Peek() != kOpen) {
          Fail(kErrSyntax);
          return 0;
        }
        while (Peek() == kOpen) {
          Next();
          if (!ReadStep()) return 0;
          if (!Step(token)) return 0;
        }
        break;
      }
      default:
        Fail(kErrSyntax);
        return 0;
    }
  }
}

}  // namespace

int ResolveExtendedPointer(TreeWalker* walker, const char* text, DocumentNode* here,
                           const TreeWalker* ditto) {
  if (!walker) return 0;
  ExtPointerEvaluator evaluator(walker, text, here, ditto);
  return evaluator.Evaluate();
}

}  // namespace qs
