// An engine object stand-in for foundation tests: its own temporary folder
// and block cache, recorded engine errors and scripted host answers.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "foundation/block_cache.h"
#include "foundation/engine_services.h"

namespace qs::test {

struct ReportedError {
  int code;
  std::string arg;  // the first argument, for the codes that take a text
};

class FakeEngine : public EngineServices {
 public:
  explicit FakeEngine(std::string tempDir, std::string homeDir = "")
      : tempDir_(std::move(tempDir)), homeDir_(std::move(homeDir)) {
    previous_ = SetEngineServices(this);
  }
  ~FakeEngine() override { SetEngineServices(previous_); }

  void ReportError(int code, std::intptr_t a, std::intptr_t, std::intptr_t,
                   std::intptr_t) override {
    bool text = code == 3 || code == 32;
    errors.push_back({code, text && a ? reinterpret_cast<const char*>(a) : ""});
  }
  BlockCache& GetBlockCache() override { return cache; }
  const char* GetTempDir() override { return tempDir_.c_str(); }
  const char* GetHomeDir() override { return homeDir_.c_str(); }
  std::uint8_t GetTempStamp() override { return stamp; }
  std::intptr_t HostEvent(std::intptr_t window, int event, std::intptr_t a,
                          std::intptr_t b) override {
    events.push_back({event, a, b});
    return onEvent ? onEvent(event, a, b) : 0;
  }
  const char* FindMemoryText(const char* path) override {
    for (auto& [key, text] : memoryTexts)
      if (key == path) return text.c_str();
    return nullptr;
  }
  bool FindCallbackText(const char* path, const void** data, std::size_t* length) override {
    for (auto& [key, block] : callbackTexts) {
      if (key == path) {
        *data = block.data();
        *length = block.size();
        return true;
      }
    }
    return false;
  }

  struct Event {
    int event;
    std::intptr_t a, b;
  };
  BlockCache cache;
  std::vector<ReportedError> errors;
  std::vector<Event> events;
  std::function<std::intptr_t(int, std::intptr_t, std::intptr_t)> onEvent;
  std::vector<std::pair<std::string, std::string>> memoryTexts, callbackTexts;
  std::uint8_t stamp = 0x2f;

 private:
  std::string tempDir_, homeDir_;
  EngineServices* previous_;
};

}  // namespace qs::test
