// Queries: one line of text with words, quoted phrases, patterns, element
// tests with attribute conditions, "and", "or", "in", "cont" and
// parentheses, parsed into a tree and run over a document into a list of
// text and element ranges.
#pragma once
#include <cstddef>
#include <cstdint>

#include "addressing/pattern_automaton.h"
#include "foundation/containers.h"
#include "foundation/memory.h"

namespace qs {

class Document;
class DocumentNode;
class InternedName;
class CachedStream;
class RangeList;

// Query flags as hosts give them.
enum QueryFlag : int {
  kQueryCaseSensitive = 0x01,
  kQueryPatterns = 0x02,
  kQueryLiteral = 0x08,
  kQueryWordStart = 0x20,
  kQueryWordEnd = 0x40,
};

// The settings of one run, read by every part of the tree.
struct QuerySettings {
  bool fold = true;
  bool patterns = false;
  bool wordStart = false;
  bool wordEnd = false;
  static QuerySettings FromFlags(int flags);
};

// A bounded text buffer for tree dumps.
class DumpText {
 public:
  DumpText(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {
    if (capacity_) buffer_[0] = 0;
  }
  DumpText& operator<<(const char* text);
  DumpText& Put(const char* text, std::size_t n);

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t length_ = 0;
};

// ---- The tree --------------------------------------------------------------------

class QueryPrimary : public EngineObject {
 public:
  virtual void Evaluate(Document* document, DocumentNode* root, RangeList& result,
                        const RangeList* context, const QuerySettings& settings) = 0;
  virtual ~QueryPrimary() = default;
  virtual void Dump(DumpText& out) const = 0;
};

// Operators as the parser's tokens number them; 1 is none.
enum QueryOperator : int { kQueryNoOperator = 1, kQueryIn = 4, kQueryCont = 5, kQueryAnd = 6, kQueryOr = 7 };

// An expression node (a term on the left, "and", "or" or none, an
// expression on the right) or a term node (a primary on the left, "in",
// "cont" or none, an expression on the right). Deleting a node deletes its
// operands.
class QueryNode : public EngineObject {
 public:
  static QueryNode* Expression(QueryNode* term, int op, QueryNode* right);
  static QueryNode* Term(QueryPrimary* primary, int op, QueryNode* right);
  ~QueryNode();
  QueryNode(const QueryNode&) = delete;
  QueryNode& operator=(const QueryNode&) = delete;

  void Evaluate(Document* document, DocumentNode* root, RangeList& result,
                const RangeList* context, const QuerySettings& settings);
  void Dump(DumpText& out) const;

 private:
  QueryNode() = default;
  void EvaluateExpression(Document*, DocumentNode*, RangeList&, const RangeList*,
                          const QuerySettings&);
  void EvaluateTerm(Document*, DocumentNode*, RangeList&, const RangeList*, const QuerySettings&);

  bool isTerm_ = false;
  int op_ = kQueryNoOperator;
  QueryNode* term_ = nullptr;        // expression nodes
  QueryPrimary* primary_ = nullptr;  // term nodes
  QueryNode* right_ = nullptr;
};

// ---- The parser ------------------------------------------------------------------

class Query : public EngineObject {
 public:
  // Longest word or quoted string kept (longer ones are cut at a character
  // boundary) and longest search text of a run of words.
  static constexpr std::size_t kTokenCapacity = 511;
  static constexpr std::size_t kSearchTextLimit = 99;
  // Operators and parentheses nest at most this deep: the parse, the run
  // and the tree's deletion recurse once a level.
  static constexpr int kMaxNesting = 256;

  // Holds a use of the document until destroyed.
  Query(Document* document, const QuerySettings& settings);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  // The tree, or null after a syntax error (reported as engine error 27).
  // With `literal` the whole text is one search text.
  QueryNode* Parse(const char* text, bool literal);
  QueryNode* Tree() const { return tree_; }
  // The tree as text, e.g. and("a", or("b", <PARA X=1>)); "(none)" without
  // one. Returns the buffer.
  char* Dump(char* buffer, std::size_t capacity) const;

  enum Token : int {
    kEnd = 0, kNone = 1, kWord = 2, kEquals = 3, kIn = 4, kCont = 5, kAnd = 6, kOr = 7,
    kOpen = 8, kClose = 9, kLeftParen = 10, kRightParen = 11,
  };

 private:
  int NextToken();
  int Peek();
  void Take() { lookahead_ = kNone; }
  bool Expect(int token);

  QueryNode* ParseExpression();
  QueryNode* ParseNestedExpression();
  QueryNode* ParseTerm();
  QueryPrimary* ParsePrimary();
  QueryPrimary* ParseElementTest();
  // Compiles the pattern that follows a '(' just taken, up to the ')' that
  // closes it, which is then taken. Null on failure.
  PatternAutomaton* ParseInlinePattern();
  QueryPrimary* MakeSearch(const char* text, std::size_t length);
  static bool LooksLikePattern(const char* text, std::size_t length);

  Document* document_;
  QuerySettings settings_;
  const char* text_ = nullptr;
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  int lookahead_ = kNone;
  int nesting_ = 0;
  bool spaceBefore_ = false;
  char token_[kTokenCapacity + 1] = {};
  std::size_t tokenLength_ = 0;
  QueryNode* tree_ = nullptr;
};

// ---- Primaries ------------------------------------------------------------------

class TextSearch : public QueryPrimary {
 public:
  // Null when memory ran out.
  static TextSearch* New(const char* text, std::size_t length);
  ~TextSearch() override;
  void Evaluate(Document*, DocumentNode*, RangeList&, const RangeList*,
                const QuerySettings&) override;
  void Dump(DumpText& out) const override;
  const char* Text() const { return text_; }

 private:
  TextSearch() = default;
  char* text_ = nullptr;
};

class PatternSearch : public QueryPrimary {
 public:
  // The automaton stays empty (finds nothing) when the text does not compile.
  PatternSearch(const char* text, std::size_t length, bool fold);
  void Evaluate(Document*, DocumentNode*, RangeList&, const RangeList*,
                const QuerySettings&) override;
  void Dump(DumpText& out) const override;
  // The longest gap searched, from its start.
  static constexpr std::uint32_t kGapLimit = 16384;

 private:
  PatternAutomaton automaton_;
};

class QueryGroup : public QueryPrimary {
 public:
  explicit QueryGroup(QueryNode* expression) : expression_(expression) {}
  ~QueryGroup() override { delete expression_; }
  void Evaluate(Document*, DocumentNode*, RangeList&, const RangeList*,
                const QuerySettings&) override;
  void Dump(DumpText& out) const override;

 private:
  QueryNode* expression_;
};

// One attribute condition of an element test: a name (text, pattern or
// any) and a value (text, pattern or any).
class AttributeCondition : public EngineObject {
 public:
  AttributeCondition() = default;
  ~AttributeCondition();
  AttributeCondition(const AttributeCondition&) = delete;
  AttributeCondition& operator=(const AttributeCondition&) = delete;
  bool Holds(const DocumentNode* element) const;
  void Dump(DumpText& out) const;

  char* name = nullptr;
  PatternAutomaton* namePattern = nullptr;
  char* value = nullptr;
  PatternAutomaton* valuePattern = nullptr;
  AttributeCondition* next = nullptr;

 private:
  bool NameQualifies(const char* attribute) const;
  bool ValuePasses(const char* text) const;
};

class ElementTest : public QueryPrimary {
 public:
  ~ElementTest() override;
  void Evaluate(Document*, DocumentNode*, RangeList&, const RangeList*,
                const QuerySettings&) override;
  // Takes the condition; conditions are kept in front-first order.
  void AddCondition(AttributeCondition* condition);
  void DumpConditions(DumpText& out) const;
  // The type test and every condition.
  bool Passes(const DocumentNode* element) const;

 protected:
  virtual bool TypeMatches(const DocumentNode* element) const = 0;
  AttributeCondition* conditions_ = nullptr;
};

class AnyElementTest : public ElementTest {
 public:
  void Dump(DumpText& out) const override;

 protected:
  bool TypeMatches(const DocumentNode*) const override { return true; }
};

class ElementTypeTest : public ElementTest {
 public:
  // Takes the use of the interned name.
  explicit ElementTypeTest(InternedName* name) : name_(name) {}
  ~ElementTypeTest() override;
  void Dump(DumpText& out) const override;

 protected:
  bool TypeMatches(const DocumentNode* element) const override;

 private:
  InternedName* name_;
};

class ElementPatternTest : public ElementTest {
 public:
  explicit ElementPatternTest(PatternAutomaton* pattern) : pattern_(pattern) {}
  ~ElementPatternTest() override { delete pattern_; }
  void Dump(DumpText& out) const override;

 protected:
  bool TypeMatches(const DocumentNode* element) const override;

 private:
  PatternAutomaton* pattern_;
};

// A set of names keyed by their exact bytes.
class NameSet : public EngineObject {
 public:
  explicit NameSet(int buckets);
  // Adds a copy; false when the name was there (or memory ran out).
  bool Add(const char* name);
  bool Contains(const char* name) const;

 private:
  HashTable table_;
};

// ---- Running ------------------------------------------------------------------------

// Parses and runs the query over the subtree of `start` (the root element
// when null), appending the hits to `result`; returns the number of entries
// in `result` afterwards, those that were there before included.
int RunQuery(const char* text, Document* document, DocumentNode* start, RangeList& result,
             int flags);

// Appends a text range for every hit of the search text in [from, to) of
// the stream (no hit ends past `to`; hits do not overlap); returns the
// number of hits. An empty search text finds nothing.
int FindTextSimple(const char* text, CachedStream& stream, RangeList& result, std::uint32_t from,
                   std::uint32_t to, bool fold);
// The same with the whole-word tests over the root's subtree: an element
// boundary always separates words.
int FindText(const char* text, CachedStream& stream, RangeList& result, std::uint32_t from,
             std::uint32_t to, bool fold, bool wordStart, bool wordEnd, DocumentNode* root);

}  // namespace qs
