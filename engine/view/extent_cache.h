// Widths a font has already been measured at, by the exact text: a page's
// layout measures every word it places, and most words come back again
// and again. A width is kept only as the platform gave it for that very
// text (never summed from pieces: a run's extent need not be the sum of
// its characters'), and only for as long as its owner says the context it
// was measured on stays the same. Texts longer than kMaxUnits are not
// kept; the table is bounded and starts again empty when full.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qs {

class ExtentCache {
 public:
  // 8-bit text and UTF-16 text of the same values are measured apart.
  enum Kind : std::uint8_t { kBytes = 0, kUnits = 1 };
  static constexpr std::size_t kMaxUnits = 32;
  static constexpr std::size_t kMaxEntries = 16384;

  using HashFunction = std::uint32_t (*)(Kind kind, const std::uint16_t* units, std::size_t count);
  // `hash` only for tests that need texts to collide.
  explicit ExtentCache(HashFunction hash = nullptr);

  // The width kept for the text, into `width`; false when none is.
  bool Find(const char* text, std::size_t length, int* width) const;
  bool Find(const std::uint16_t* text, std::size_t count, int* width) const;
  // Keeps the width of the text (nothing for an empty or a long one).
  void Store(const char* text, std::size_t length, int width);
  void Store(const std::uint16_t* text, std::size_t count, int width);
  // Forgets every width (the context they were measured on changed);
  // cheap however many there were.
  void Clear();
  std::size_t Size() const { return entries_; }

  static std::uint32_t DefaultHash(Kind kind, const std::uint16_t* units, std::size_t count);

 private:
  // Texts of up to kInlineUnits units (most words with their space) are
  // kept in the slot itself: a look-up then reads one cache line, not a
  // slot and then the pool.
  static constexpr std::size_t kInlineUnits = 8;
  struct alignas(32) Slot {
    std::uint32_t hash = 0;
    std::uint32_t generation = 0;  // empty unless the table's
    std::int32_t width = 0;
    std::uint8_t count = 0;
    std::uint8_t kind = 0;
    // The text when it is short, else its offset in pool_.
    std::uint16_t units[kInlineUnits] = {};
    bool Empty(std::uint32_t current) const { return generation != current; }
  };
  static_assert(sizeof(Slot) == 32, "two slots to a cache line");
  const std::uint16_t* TextOf(const Slot& s) const;
  // The slot that holds the text, or the empty one where it would go.
  std::size_t Probe(Kind kind, const std::uint16_t* units, std::size_t count,
                    std::uint32_t hash) const;
  bool FindUnits(Kind kind, const std::uint16_t* units, std::size_t count, int* width) const;
  void StoreUnits(Kind kind, const std::uint16_t* units, std::size_t count, int width);
  void Grow();

  HashFunction hash_;
  std::vector<Slot> slots_;  // a power of two long, at most half full
  std::vector<std::uint16_t> pool_;
  std::size_t entries_ = 0;
  // Clearing starts a new generation: the slots of older ones are empty.
  std::uint32_t generation_ = 1;
};

}  // namespace qs
