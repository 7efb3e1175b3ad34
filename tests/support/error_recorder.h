// Records the engine errors and host events raised while it lives (it is
// installed as the engine's services), so tests can check what the user
// or the host would have been told.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/engine_services.h"

namespace qs::test {

class ErrorRecorder : public EngineServices {
 public:
  ErrorRecorder() { previous_ = SetEngineServices(this); }
  ~ErrorRecorder() override { SetEngineServices(previous_); }
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;

  void ReportError(int code, std::intptr_t a, std::intptr_t, std::intptr_t,
                   std::intptr_t) override {
    errors.push_back(code);
    arguments.push_back(a);
  }
  std::intptr_t HostEvent(std::intptr_t, int event, std::intptr_t a, std::intptr_t b) override {
    events.push_back(event);
    return onEvent ? onEvent(event, a, b) : 0;
  }
  // Everything else is answered as before it was installed.
  BlockCache& GetBlockCache() override { return Previous().GetBlockCache(); }
  const char* GetTempDir() override { return Previous().GetTempDir(); }
  const char* GetHomeDir() override { return Previous().GetHomeDir(); }
  std::uint8_t GetTempStamp() override { return Previous().GetTempStamp(); }
  int GetLoadEncoding() override { return Previous().GetLoadEncoding(); }
  const char* FindMemoryText(const char* path) override {
    return Previous().FindMemoryText(path);
  }
  bool FindCallbackText(const char* path, const void** data, std::size_t* length) override {
    return Previous().FindCallbackText(path, data, length);
  }
  // How often `code` was reported.
  int Count(int code) const {
    int n = 0;
    for (int e : errors) n += e == code;
    return n;
  }

  std::vector<int> errors;
  std::vector<std::intptr_t> arguments;
  std::vector<int> events;
  std::function<std::intptr_t(int, std::intptr_t, std::intptr_t)> onEvent;

 private:
  EngineServices& Previous() { return previous_ ? *previous_ : fallback_; }
  EngineServices* previous_;
  EngineServices fallback_;
};

}  // namespace qs::test
