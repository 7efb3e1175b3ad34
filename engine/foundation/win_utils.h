// Small utilities of the views: rectangle clipping and scaling, UTF-8 text
// drawn through the system's ANSI or wide text output, fixed global memory
// blocks, and the runtime's current folder and environment.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

// Left, top, right, bottom.
struct Rect32 {
  std::int32_t left, top, right, bottom;
};

// The part of `rect` inside `frame` into `outRect`, and the same part mapped
// onto a width x height space that stands for the frame into `outScaled`,
// each to the nearest whole number. 0 when the frame is narrower or lower
// than 1 or the two do not meet (the outputs are then not to be read).
int IntersectRects(const Rect32& frame, const Rect32& rect, Rect32* outRect, Rect32* outScaled,
                   std::int32_t width, std::int32_t height);

// Where text output goes: the system's ANSI and wide text calls.
class TextOutput {
 public:
  virtual ~TextOutput() = default;
  virtual bool TextOutAnsi(int x, int y, const char* text, int length) = 0;
  virtual bool TextOutWide(int x, int y, const char16_t* text, int length) = 0;
};

// Draws `length` bytes of UTF-8: plain ASCII as it is through the ANSI call,
// with no copy; anything else decoded into UTF-16 (characters past U+FFFF
// as surrogate pairs, a broken sequence as U+FFFD) through the wide call.
bool TextOutUtf8(TextOutput& output, int x, int y, const char* text, int length);
// The same on a device context (Windows only).
bool TextOutUtf8(std::intptr_t dc, int x, int y, const char* text, int length);

// A fixed, locked global memory block of `size` bytes, or null;
// FreeGlobalBlock(null) does nothing.
void* AllocGlobalBlock(std::size_t size);
void FreeGlobalBlock(void* pointer);

// The current folder (UTF-8) into `buffer`, which is returned; null when
// there is no buffer or the folder does not fit with its terminator.
char* GetCurrentDir(char* buffer, std::size_t size);
// The value of environment variable `name`, or null when it is not set.
const char* GetEnvVar(const char* name);

}  // namespace qs
