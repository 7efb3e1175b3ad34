// A hosted engine that writes down, one line each, what locations and links
// ask of it: "goto START LENGTH" (with "@name" of another document than
// the first one it was told of), "hotarea ENTITY X Y W H", "error CODE" and
// "textlist TITLE: ITEM | ITEM".
#pragma once
#include <string>
#include <vector>

#include "addressing/links.h"
#include "addressing/web.h"
#include "sgml/document.h"
#include "sgml/entities.h"
#include "web_support.h"

namespace qs::test {

class LineEngine : public RecordingEngine {
 public:
  explicit LineEngine(const std::string& temp) : RecordingEngine(temp) {}

  // The document whose places are written without a name.
  Document* home = nullptr;

  void ReportError(int code, std::intptr_t a, std::intptr_t b, std::intptr_t c,
                   std::intptr_t d) override {
    RecordingEngine::ReportError(code, a, b, c, d);
    lines.push_back("error " + std::to_string(code));
  }
  int GotoPosition(WindowHandle window, View* view, Document* document, std::int32_t position,
                   std::int32_t length, int flag) override {
    RecordingEngine::GotoPosition(window, view, document, position, length, flag);
    std::string line = "goto " + std::to_string(position) + " " + std::to_string(length);
    if (home && document != home) line += " @other";
    lines.push_back(line);
    return 1;
  }
  int GotoLocation(View*, Document*, DocumentNode*, EntityDecl* graphic,
                   const HotspotArea& area) override {
    lines.push_back("hotarea " + std::string(graphic && graphic->GetName() ? graphic->GetName() : "") +
                    " " + std::to_string(area.x) + " " + std::to_string(area.y) + " " +
                    std::to_string(area.width) + " " + std::to_string(area.height));
    return 1;
  }

  void ShowTextList(WindowHandle, View*, Document*, DocumentNode*, LinkTargetList* list) override {
    lines.push_back("textlist " + Items(list));
    delete list;
  }
  void ShowNodeList(WindowHandle, View*, Document*, DocumentNode*, LinkTargetList* list) override {
    lines.push_back("nodelist " + Items(list));
    delete list;
  }
  // "TITLE: ITEM | ITEM".
  static std::string Items(const LinkTargetList* list) {
    std::string out = std::string(list->Title()) + ":";
    char text[kTargetTextSize];
    for (SListNode* t = list->First(); t; t = t->Next()) {
      out += t == list->First() ? " " : " | ";
      out += static_cast<LinkTarget*>(t)->WriteLocation(text, sizeof text);
    }
    return out;
  }

  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(lines);
    errors.clear();
    gotos.clear();
    return out;
  }

  std::vector<std::string> lines;
};

}  // namespace qs::test
