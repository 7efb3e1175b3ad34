// A document shown on the test device: the view answers the document, logs
// the ranges it is asked to invert and the messages it broadcasts, and
// hands out host text; the device also logs UTF-16 text and frames.
#pragma once
#include <cstdlib>
#include <string>
#include <vector>

#include "doc_builder.h"
#include "foundation/engine.h"
#include "foundation/memory.h"
#include "layout/char_boxes.h"
#include "layout/text_item.h"
#include "sgml/unicode_tables.h"
#include "style/style_rules.h"
#include "style/text_format.h"
#include "test_device.h"

namespace qs::test {

class RunDevice : public TestDevice {
 public:
  using TestDevice::TestDevice;
  void DrawTextW(int x, int y, const std::uint16_t* text, std::size_t count) override {
    std::string s;
    for (std::size_t i = 0; i < count; ++i) s += text[i] < 0x80 ? char(text[i]) : '?';
    log += "WTEXT " + std::to_string(x) + " " + std::to_string(y) + " " + s + "\n";
  }
  void FrameRect(int l, int t, int r, int b) override {
    log += "FRAME " + std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) +
           " " + std::to_string(b) + "\n";
  }
};

class DocView : public TestView {
 public:
  DocView(OutputDevice* device, Document* document) : TestView(device), document_(document) {}
  Document* GetDocument() override { return document_; }
  void InvertRange(std::int32_t start, std::int32_t end) override {
    Log("RANGE " + std::to_string(start) + " " + std::to_string(end));
  }
  void FillBackground(int, int, int, int) override { Log("ERASE"); }
  void Broadcast(int message, std::intptr_t) override { Log("BROADCAST " + std::to_string(message)); }
  char* GetHostTextForElement(DocumentNode*, std::intptr_t argument) override {
    asked.push_back(reinterpret_cast<const char*>(argument));
    if (answers.empty()) return nullptr;
    std::string a = answers.front();
    if (answers.size() > 1) answers.erase(answers.begin());
    char* text = static_cast<char*>(MemAlloc(a.size() + 1));
    std::memcpy(text, a.c_str(), a.size() + 1);
    return text;
  }
  void Log(const std::string& line) { static_cast<TestDevice*>(GetDevice())->log += line + "\n"; }

  std::vector<std::string> answers;
  std::vector<std::string> asked;

 private:
  Document* document_;
};

inline std::string SourceDir() {
  const char* dir = std::getenv("QS_SOURCE_DIR");
  return dir ? dir : ".";
}

// An engine (for the stock icon bytes), the shipped line-break classes, a
// device, a document and a view made current.
class TextScene {
 public:
  explicit TextScene(const char* markup, int dpi = 72)
      : engine_(0, "C:\\Home\\", "Corvina", nullptr),
        previous_(SetEngine(&engine_)),
        device(dpi) {
    LoadUnicodeTables((SourceDir() + "/samples/home/qsunicde.dat").c_str());
    root = doc.Build(markup);
    view = new DocView(&device, doc.Doc());
    PushCurrentView(view, false);
    StyleProps style;
    format = new TextFormat(&style, nullptr);
  }
  ~TextScene() {
    boxes.DeleteAll();
    items.DeleteAll();
    format->Release();
    PopCurrentView();
    view->Release();
    FreeUnicodeTables();
    SetEngine(previous_);
  }
  HostedEngine& Engine() { return engine_; }

 private:
  HostedEngine engine_;
  EngineBase* previous_;

 public:
  RunDevice device;
  DocBuilder doc;
  DocumentNode* root = nullptr;
  DocView* view = nullptr;
  TextFormat* format = nullptr;
  GlobalArena pool;
  ListHead items;
  ListHead boxes;
};

}  // namespace qs::test
