// Qualifier expressions: the conditions style rules and navigator entries
// attach to an element type. They test the element's name, its attributes
// and those of its relatives, the kind of output being made and functions
// the host defines, joined with AND, OR, NOT and parentheses.
//
//   [TYPE] = warning         PAR/PREV = title        NOT \outmode(print)
//
// A compiled qualifier is a tree of nodes; every node answers a text or
// none, and the logical and comparison nodes answer a truth value (a text
// for true, none for false).
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/memory.h"

namespace qs {

class AttributeDeclSet;
class Document;
class DocumentNode;
class InternedName;
class QualifierCallNode;
struct Attribute;

// An element not yet in the tree (the element being started, or the
// reference an attribute style is qualified for): its type name, its
// specified attribute values and the declarations that give the defaults.
struct PendingElement {
  const char* name = nullptr;
  Attribute* const* values = nullptr;
  const AttributeDeclSet* declarations = nullptr;
};

// The output a qualifier is evaluated for: the frame being formatted. None
// (a null context) is the plain-text export.
class QualifierContext {
 public:
  virtual ~QualifierContext() = default;
  // 1 to 3 a screen, 4 a printer.
  virtual int GetKind() const = 0;
  // Answers a call to a function other than "outmode": an owned text
  // (MemAlloc) or none. For a pending element, `element` is its parent.
  virtual char* AskHostForTargets(const QualifierCallNode& call, Document* document,
                                  DocumentNode* element, const PendingElement* pending) {
    (void)call, (void)document, (void)element, (void)pending;
    return nullptr;
  }
};

class QualifierNode : public EngineObject {
 public:
  QualifierNode() = default;
  QualifierNode(const QualifierNode&) = delete;
  QualifierNode& operator=(const QualifierNode&) = delete;

  // The value for an element not yet in the tree, whose parent is given.
  virtual const char* EvaluatePending(const PendingElement& pending, Document* document,
                                      DocumentNode* parent, QualifierContext* context) = 0;
  // The value for an element of the tree.
  virtual const char* Evaluate(Document* document, DocumentNode* element,
                               QualifierContext* context) = 0;
  virtual ~QualifierNode() = default;

  // The truth of the whole qualifier for an element (element styles).
  bool Match(Document* document, DocumentNode* element, QualifierContext* context) {
    return Evaluate(document, element, context) != nullptr;
  }
  // For a pending record (an entity reference's data attributes) under
  // `element` (attribute styles of entity references).
  bool MatchInContext(const PendingElement& record, Document* document, DocumentNode* element,
                      QualifierContext* context) {
    return EvaluatePending(record, document, element, context) != nullptr;
  }
};
using Qualifier = QualifierNode;

class QualifierCallNode : public QualifierNode {
 public:
  static constexpr int kMaxArguments = 64;
  // Takes over the uses of the name and the arguments.
  QualifierCallNode(InternedName* name, InternedName** arguments, int count);
  ~QualifierCallNode() override;
  const char* EvaluatePending(const PendingElement& pending, Document* document,
                              DocumentNode* parent, QualifierContext* context) override;
  const char* Evaluate(Document* document, DocumentNode* element,
                       QualifierContext* context) override;

  const char* Name() const;
  int ArgumentCount() const { return count_; }
  const char* Argument(int i) const;
  const char* LastResult() const { return result_; }

 private:
  const char* Call(Document* document, DocumentNode* element, const PendingElement* pending,
                   QualifierContext* context);
  InternedName* name_;
  InternedName* arguments_[kMaxArguments];
  int count_;
  char* result_ = nullptr;
};

// The compiled form of `text`, or none after reporting engine error 28
// ("Syntax error in qualifier expression") once. Words are at most 511
// bytes, paths at most 51 relations, calls at most 64 arguments and
// nesting at most 200 levels: past any of these the text is refused.
QualifierNode* ParseQualifierExpression(const char* text);

// Engine error of a qualifier that does not compile.
inline constexpr int kErrQualifierSyntax = 28;

}  // namespace qs
