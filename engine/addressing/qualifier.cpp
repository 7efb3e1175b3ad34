#include "addressing/qualifier.h"

#include <cstring>

#include "foundation/engine_services.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "sgml/attributes.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/model_names.h"

namespace qs {

namespace {

// What a truth value answers when it holds.
const char kTrue[] = "1";
const char kZero[] = "0";

enum Token : int {
  kEnd = 0,
  kNone = 1,
  kWord = 2,
  kSlash = 3,
  kEquals = 4,
  kBackslash = 5,
  kOpenBracket = 6,
  kCloseBracket = 7,
  kOpenParen = 8,
  kCloseParen = 9,
  kAnd = 10,
  kOr = 11,
  kNot = 12,
  kPar = 13,
  kPrev = 14,
  kNext = 15,
  kSon = 16,
};

constexpr std::size_t kMaxWord = 511;
constexpr int kMaxRelations = 51;
constexpr int kMaxDepth = 200;

bool IsQualifierNameChar(unsigned char c) {
  return HasCharClass(c, CharTable::kLetter | CharTable::kDigit | CharTable::kNameChar) ||
         c == '.' || c == '-' || c == '_' || c == ':' || c == '\\' || c >= 0x80;
}

bool IsBlank(unsigned char c) { return HasCharClass(c, CharTable::kBlank); }

// ---- Nodes -----------------------------------------------------------------

// The nodes that stand at the root of an expression: their value is a
// truth, and NOT flips bit 0 of their flags.
class TruthNode : public QualifierNode {
 public:
  explicit TruthNode(std::uint8_t initial) : flags(initial) {}
  std::uint8_t flags;

 protected:
  const char* Truth(bool value) const { return (value != ((flags & 1) != 0)) ? kTrue : nullptr; }
};

class LogicalNode : public TruthNode {
 public:
  LogicalNode(bool isAnd, QualifierNode* left, QualifierNode* right)
      : TruthNode(isAnd ? 2 : 0), left_(left), right_(right) {}
  ~LogicalNode() override {
    delete left_;
    delete right_;
  }
  const char* EvaluatePending(const PendingElement& pending, Document* d, DocumentNode* p,
                              QualifierContext* o) override {
    bool left = left_->EvaluatePending(pending, d, p, o) != nullptr;
    if (Decided(left)) return Truth(left);
    return Truth(right_->EvaluatePending(pending, d, p, o) != nullptr);
  }
  const char* Evaluate(Document* d, DocumentNode* e, QualifierContext* o) override {
    bool left = left_->Evaluate(d, e, o) != nullptr;
    if (Decided(left)) return Truth(left);
    return Truth(right_->Evaluate(d, e, o) != nullptr);
  }

 private:
  // Bit 1 set: AND, decided by a false left side; else OR, by a true one.
  bool Decided(bool left) const { return (flags & 2) ? !left : left; }
  QualifierNode* left_;
  QualifierNode* right_;
};

class CompareNode : public TruthNode {
 public:
  CompareNode(QualifierNode* left, QualifierNode* right)
      : TruthNode(0), left_(left), right_(right) {}
  ~CompareNode() override {
    delete left_;
    delete right_;
  }
  const char* EvaluatePending(const PendingElement& pending, Document* d, DocumentNode* p,
                              QualifierContext* o) override {
    const char* a = left_->EvaluatePending(pending, d, p, o);
    if (!right_) return Truth(a != nullptr);
    return Truth(Equal(a, right_->EvaluatePending(pending, d, p, o)));
  }
  const char* Evaluate(Document* d, DocumentNode* e, QualifierContext* o) override {
    const char* a = left_->Evaluate(d, e, o);
    if (!right_) return Truth(a != nullptr);
    return Truth(Equal(a, right_->Evaluate(d, e, o)));
  }

 private:
  static bool Equal(const char* a, const char* b) {
    if (!a || !b) return !a && !b;
    return CompareStringNoCase(a, b) == 0;
  }
  QualifierNode* left_;
  QualifierNode* right_;
};

class ValueNode : public QualifierNode {
 public:
  explicit ValueNode(InternedName* text) : text_(text) {}
  ~ValueNode() override { ReleaseName(text_); }
  const char* EvaluatePending(const PendingElement&, Document*, DocumentNode*,
                              QualifierContext*) override {
    return NameText(text_);
  }
  const char* Evaluate(Document*, DocumentNode*, QualifierContext*) override {
    return NameText(text_);
  }

 private:
  InternedName* text_;
};

// The value of an attribute named exactly `name` among the values, else
// its declared default.
const char* AttributeText(const InternedName* name, Attribute* const* values,
                          const AttributeDeclSet* declarations) {
  if (values) {
    for (Attribute* const* v = values; *v; ++v)
      if ((*v)->decl && (*v)->decl->Name() == name) return (*v)->Value();
  }
  if (declarations)
    if (const AttributeDecl* decl = declarations->FindByAtom(name)) return decl->DefaultText();
  return nullptr;
}

class PathNode : public QualifierNode {
 public:
  PathNode(const std::uint8_t* relations, int count, InternedName* attribute)
      : count_(count), attribute_(attribute) {
    if (count > 0) std::memcpy(relations_, relations, static_cast<std::size_t>(count));
  }
  ~PathNode() override { ReleaseName(attribute_); }
  const char* EvaluatePending(const PendingElement& pending, Document*, DocumentNode* parent,
                              QualifierContext*) override {
    if (count_ == 0) {
      if (!attribute_) return pending.name;
      return AttributeText(attribute_, pending.values, pending.declarations);
    }
    if (relations_[0] != kPar) return nullptr;
    return Walk(parent, 1);
  }
  const char* Evaluate(Document*, DocumentNode* element, QualifierContext*) override {
    return Walk(element, 0);
  }

 private:
  const char* Walk(DocumentNode* node, int from) const {
    for (int i = from; node && i < count_; ++i) {
      switch (relations_[i]) {
        case kPar: node = node->Parent(); break;
        case kPrev: node = node->Prev(); break;
        case kNext: node = node->Next(); break;
        default: node = node->First(); break;
      }
    }
    if (!node) return nullptr;
    if (!attribute_) return node->GetNameText();
    return AttributeText(attribute_, node->GetAttributeValues(),
                         node->Decl() ? &node->Decl()->Attributes() : nullptr);
  }
  std::uint8_t relations_[kMaxRelations];
  int count_;
  InternedName* attribute_;
};

// ---- Lexer and parser ----------------------------------------------------------

class QualifierParser {
 public:
  explicit QualifierParser(const char* text) : p_(reinterpret_cast<const unsigned char*>(text)) {}

  QualifierNode* Parse() {
    QualifierNode* tree = Expression();
    if (!tree) Fail();  // every failure path has reported once by now
    return tree;
  }

 private:
  // Reports the error once for the whole parse.
  void Fail() {
    if (!reported_) {
      reported_ = true;
      ReportEngineError(kErrQualifierSyntax);
    }
  }

  int NextToken() {
    while (*p_ && IsBlank(*p_)) ++p_;
    length_ = 0;
    word_[0] = 0;
    unsigned char c = *p_;
    if (!c) return kEnd;
    if (c == '"' || c == '\'') {
      ++p_;
      while (*p_ && *p_ != c) {
        if (!Store(*p_++)) return kEnd;
      }
      if (*p_) ++p_;
      return kWord;
    }
    switch (c) {
      case '(': ++p_; return kOpenParen;
      case ')': ++p_; return kCloseParen;
      case '/': ++p_; return kSlash;
      case '=': ++p_; return kEquals;
      case '[': ++p_; return kOpenBracket;
      case '\\': ++p_; return kBackslash;
      case ']': ++p_; return kCloseBracket;
      default: break;
    }
    if (!IsQualifierNameChar(c)) return kEnd;
    while (*p_ && IsQualifierNameChar(*p_)) {
      if (!Store(*p_++)) return kEnd;
    }
    static const struct {
      const char* word;
      int token;
    } kKeywords[] = {{"AND", kAnd},   {"OR", kOr},     {"NOT", kNot}, {"PAR", kPar},
                     {"PREV", kPrev}, {"NEXT", kNext}, {"SON", kSon}, {"CHILD", kSon}};
    for (const auto& k : kKeywords)
      if (CompareStringNoCase(word_, k.word) == 0) return k.token;
    return kWord;
  }

  // False (and the parse failed) once a word passes its buffer.
  bool Store(unsigned char c) {
    if (length_ >= kMaxWord) {
      tooLong_ = true;
      Fail();
      return false;
    }
    word_[length_++] = static_cast<char>(c);
    word_[length_] = 0;
    return true;
  }

  int Peek() {
    if (lookahead_ == kNone) lookahead_ = NextToken();
    return lookahead_;
  }
  int Take() {
    int token = Peek();
    lookahead_ = kNone;
    return token;
  }
  bool Expect(int token) {
    if (Take() == token && !tooLong_) return true;
    Fail();
    return false;
  }

  // The token text of the last word, interned; null when memory ran out.
  InternedName* WordName() { return InternName(word_); }

  TruthNode* Expression() {
    if (++depth_ > kMaxDepth) {
      Fail();
      return nullptr;
    }
    TruthNode* left = Unary();
    if (!left) return nullptr;
    int token = Peek();
    if (tooLong_) {
      delete left;
      return nullptr;
    }
    if (token == kAnd || token == kOr) {
      Take();
      TruthNode* right = Expression();
      if (!right) {
        delete left;
        return nullptr;
      }
      auto* node = new LogicalNode(token == kAnd, left, right);
      if (!node) {
        delete left;
        delete right;
        Fail();
      }
      left = node;
    }
    --depth_;
    return left;
  }

  TruthNode* Unary() {
    int token = Peek();
    if (tooLong_) return nullptr;
    if (token == kNot) {
      Take();
      TruthNode* inner = Expression();
      if (inner) inner->flags ^= 1;
      return inner;
    }
    if (token == kOpenParen) {
      Take();
      TruthNode* inner = Expression();
      if (!inner) return nullptr;
      if (!Expect(kCloseParen)) {
        delete inner;
        return nullptr;
      }
      return inner;
    }
    QualifierNode* left = Operand();
    if (!left) return nullptr;
    QualifierNode* right = nullptr;
    if (Peek() == kEquals) {
      Take();
      right = Operand();
      if (!right) {
        delete left;
        return nullptr;
      }
    }
    auto* node = new CompareNode(left, right);
    if (!node) {
      delete left;
      delete right;
      Fail();
    }
    return node;
  }

  QualifierNode* Operand() {
    int token = Take();
    if (tooLong_) return nullptr;
    switch (token) {
      case kWord: {
        InternedName* text = WordName();
        if (!text) break;
        auto* node = new ValueNode(text);
        if (!node) ReleaseName(text);
        return node ? node : (Fail(), nullptr);
      }
      case kBackslash: return Call();
      case kOpenBracket: {
        InternedName* attribute = Attribute();
        if (!attribute) return nullptr;
        return MakePath(nullptr, 0, attribute);
      }
      case kPar:
      case kPrev:
      case kNext:
      case kSon: return Path(token);
      default: break;
    }
    Fail();
    return nullptr;
  }

  // After '[': word ']'.
  InternedName* Attribute() {
    if (!Expect(kWord)) return nullptr;
    InternedName* name = WordName();
    if (!name) {
      Fail();
      return nullptr;
    }
    if (!Expect(kCloseBracket)) {
      ReleaseName(name);
      return nullptr;
    }
    return name;
  }

  QualifierNode* Path(int first) {
    std::uint8_t relations[kMaxRelations];
    int count = 0;
    relations[count++] = static_cast<std::uint8_t>(first);
    InternedName* attribute = nullptr;
    for (;;) {
      int token = Peek();
      if (token == kSlash) {
        Take();
        int next = Take();
        if (next >= kPar && next <= kSon && !tooLong_) {
          if (count == kMaxRelations) {
            Fail();
            return nullptr;
          }
          relations[count++] = static_cast<std::uint8_t>(next);
          continue;
        }
        // "PAR/[ID]": the attribute may follow the last slash.
        if (next == kOpenBracket) {
          attribute = Attribute();
          if (!attribute) return nullptr;
          break;
        }
        Fail();
        return nullptr;
      }
      if (token == kOpenBracket) {
        Take();
        attribute = Attribute();
        if (!attribute) return nullptr;
      }
      break;
    }
    return MakePath(relations, count, attribute);
  }

  QualifierNode* MakePath(const std::uint8_t* relations, int count, InternedName* attribute) {
    auto* node = new PathNode(relations, count, attribute);
    if (!node) {
      ReleaseName(attribute);
      Fail();
    }
    return node;
  }

  QualifierNode* Call() {
    if (!Expect(kWord)) return nullptr;
    InternedName* name = WordName();
    if (!name) {
      Fail();
      return nullptr;
    }
    InternedName* arguments[QualifierCallNode::kMaxArguments];
    int count = 0;
    bool ok = true;
    if (Peek() == kOpenParen) {
      Take();
      for (;;) {
        int token = Take();
        if (tooLong_) {
          ok = false;
          break;
        }
        if (token == kCloseParen) break;
        if (token == kWord || (token >= kAnd && token <= kSon)) {
          InternedName* argument = count < QualifierCallNode::kMaxArguments ? WordName() : nullptr;
          if (!argument) {
            ok = false;
            break;
          }
          arguments[count++] = argument;
          continue;
        }
        ok = false;
        break;
      }
    }
    QualifierCallNode* node = ok ? new QualifierCallNode(name, arguments, count) : nullptr;
    if (!node) {
      ReleaseName(name);
      for (int i = 0; i < count; ++i) ReleaseName(arguments[i]);
      Fail();
    }
    return node;
  }

  const unsigned char* p_;
  char word_[kMaxWord + 1] = {};
  std::size_t length_ = 0;
  int lookahead_ = kNone;
  int depth_ = 0;
  bool tooLong_ = false;
  bool reported_ = false;
};

}  // namespace

// ---- Calls ---------------------------------------------------------------------

QualifierCallNode::QualifierCallNode(InternedName* name, InternedName** arguments, int count)
    : name_(name), count_(count) {
  for (int i = 0; i < count; ++i) arguments_[i] = arguments[i];
}

QualifierCallNode::~QualifierCallNode() {
  ReleaseName(name_);
  for (int i = 0; i < count_; ++i) ReleaseName(arguments_[i]);
  MemFree(result_);
}

const char* QualifierCallNode::Name() const { return NameText(name_); }

const char* QualifierCallNode::Argument(int i) const {
  return i >= 0 && i < count_ ? NameText(arguments_[i]) : nullptr;
}

const char* QualifierCallNode::EvaluatePending(const PendingElement& pending, Document* document,
                                               DocumentNode* parent, QualifierContext* context) {
  return Call(document, parent, &pending, context);
}

const char* QualifierCallNode::Evaluate(Document* document, DocumentNode* element,
                                        QualifierContext* context) {
  return Call(document, element, nullptr, context);
}

const char* QualifierCallNode::Call(Document* document, DocumentNode* element,
                                    const PendingElement* pending, QualifierContext* context) {
  if (CompareStrings(Name(), "outmode") == 0) {
    const char* mode = Argument(0);
    if (!mode) return kZero;
    int kind = context ? context->GetKind() : 0;
    if (CompareStringNoCase(mode, "print") == 0) return context && kind == 4 ? kTrue : nullptr;
    if (CompareStringNoCase(mode, "online") == 0)
      return context && kind >= 1 && kind <= 3 ? kTrue : nullptr;
    if (CompareStringNoCase(mode, "ascii") == 0) return context ? nullptr : kTrue;
    return kZero;
  }
  char* answer = context ? context->AskHostForTargets(*this, document, element, pending) : nullptr;
  MemFree(result_);
  result_ = answer;
  return result_;
}

QualifierNode* ParseQualifierExpression(const char* text) {
  QualifierParser parser(text ? text : "");
  return parser.Parse();
}

}  // namespace qs
