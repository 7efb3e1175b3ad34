// An engine for query tests that counts the engine errors reported, and
// helpers that show a result list compactly.
#pragma once
#include <string>
#include <vector>

#include "../sgml/parser_support.h"
#include "view/ranges.h"

namespace qs::test {

class CountingEngine : public HostedEngine {
 public:
  CountingEngine() : HostedEngine(0, "C:\\Home\\", "Corvina", nullptr), previous_(SetEngine(this)) {}
  ~CountingEngine() override { SetEngine(previous_); }
  void ReportError(int code, std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) override {
    codes.push_back(code);
  }
  std::vector<int> codes;

 private:
  EngineBase* previous_;
};

// "(s,e)" per entry, "<NAME>(s,e)" for element entries.
inline std::string Ranges(const RangeList& list) {
  std::string out;
  for (Range* r = list.FirstRange(); r; r = r->NextRange()) {
    if (!out.empty()) out += " ";
    if (DocumentNode* n = r->GetNode()) out += std::string("<") + n->GetNameText() + ">";
    out += "(" + std::to_string(r->GetStart()) + "," + std::to_string(r->GetEnd()) + ")";
  }
  return out;
}

}  // namespace qs::test
