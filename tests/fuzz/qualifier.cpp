// Qualifier texts of any shape: compiling ends with a tree or with exactly
// one error 28, and a tree evaluates over a fixed document for every
// element, pending or not, for each kind of output.
#include <cstddef>
#include <cstdint>
#include <string>

#include "addressing/qualifier.h"
#include "doc_builder.h"
#include "foundation/engine_services.h"
#include "foundation/memory.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class Errors : public qs::EngineServices {
 public:
  void ReportError(int code, std::intptr_t, std::intptr_t, std::intptr_t,
                   std::intptr_t) override {
    Check(code == qs::kErrQualifierSyntax);
    ++count;
  }
  int count = 0;
};

class Output : public qs::QualifierContext {
 public:
  explicit Output(int kind) : kind_(kind) {}
  int GetKind() const override { return kind_; }
  char* AskHostForTargets(const qs::QualifierCallNode& call, qs::Document*, qs::DocumentNode*,
                          const qs::PendingElement*) override {
    Check(call.ArgumentCount() <= qs::QualifierCallNode::kMaxArguments);
    for (int i = 0; i < call.ArgumentCount(); ++i) Check(call.Argument(i) != nullptr);
    auto* text = static_cast<char*>(qs::MemAlloc(2));
    text[0] = 'a';
    text[1] = 0;
    return text;
  }

 private:
  int kind_;
};

struct Fixture {
  Fixture() {
    b.Declare("PARA", "TYPE", qs::kDeclaredCdata, qs::kDefaultValue, "warning");
    b.Build("<SEC><TITLE>T</TITLE><PARA TYPE=WARNING id=a>a</PARA><PARA>b<E/></PARA></SEC>");
  }
  qs::test::DocBuilder b;
};

void Walk(qs::QualifierNode* q, qs::Document* d, qs::DocumentNode* node, qs::QualifierContext* o,
          const qs::PendingElement& pending) {
  for (; node; node = node->Next()) {
    q->Match(d, node, o);
    q->MatchInContext(pending, d, node, o);
    Walk(q, d, node->First(), o, pending);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture* fixture = new Fixture;
  std::string text(reinterpret_cast<const char*>(data), size);
  Errors errors;
  qs::EngineServices* previous = qs::SetEngineServices(&errors);
  qs::QualifierNode* q = qs::ParseQualifierExpression(text.c_str());
  Check(q ? errors.count == 0 : errors.count == 1);
  if (q) {
    Output screen(2), print(4);
    qs::Document* d = fixture->b.Doc();
    qs::PendingElement pending{"PARA", nullptr, nullptr};
    for (qs::QualifierContext* o : {static_cast<qs::QualifierContext*>(&screen),
                                    static_cast<qs::QualifierContext*>(&print),
                                    static_cast<qs::QualifierContext*>(nullptr)})
      Walk(q, d, d->Root(), o, pending);
    delete q;
  }
  qs::SetEngineServices(previous);
  return 0;
}
