#include <gtest/gtest.h>

#include <cstdio>

#include "foundation/names.h"
#include "recording_sink.h"

namespace qs::test {

RecordingSink::RecordingSink() { previous_ = platform::SetMessageSink(&Record, this); }
RecordingSink::~RecordingSink() { platform::SetMessageSink(previous_.sink, previous_.context); }

int RecordingSink::Record(void* context, std::intptr_t owner, const char* text,
                          const char* caption, unsigned flags) {
  auto* self = static_cast<RecordingSink*>(context);
  self->messages_.push_back({text, caption, flags, owner});
  return self->answer_;
}

namespace {
// Outside any test's own sink, a box is a failure of the test that raised it.
int FailOnMessage(void*, std::intptr_t, const char* text, const char* caption, unsigned) {
  ADD_FAILURE() << "unexpected message box [" << caption << "] " << text;
  return platform::kIdOk;
}
}  // namespace

}  // namespace qs::test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qs::platform::SetMessageSink(&qs::test::FailOnMessage, nullptr);
  // What loading the engine library makes once per process.
  if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
  return RUN_ALL_TESTS();
}
