// Records every message box the engine would show, so no test blocks on a
// modal box and tests can check what the user would have been told.
#pragma once
#include <string>
#include <vector>

#include "foundation/platform.h"

namespace qs::test {

struct RecordedMessage {
  std::string text;
  std::string caption;
  unsigned flags;
  std::intptr_t owner = 0;
};

class RecordingSink {
 public:
  RecordingSink();
  ~RecordingSink();
  RecordingSink(const RecordingSink&) = delete;
  RecordingSink& operator=(const RecordingSink&) = delete;

  const std::vector<RecordedMessage>& messages() const { return messages_; }
  void Clear() { messages_.clear(); }
  // The answer given to every box (default IDOK).
  void set_answer(int answer) { answer_ = answer; }

 private:
  static int Record(void* context, std::intptr_t owner, const char* text, const char* caption,
                    unsigned flags);
  std::vector<RecordedMessage> messages_;
  int answer_ = platform::kIdOk;
  platform::MessageSinkEntry previous_;
};

}  // namespace qs::test
