#include "view/extent_cache.h"

#include <cstring>

namespace qs {

namespace {
constexpr std::size_t kFirstSlots = 256;

// Words are short: a loop beats a call.
bool SameUnits(const std::uint16_t* a, const std::uint16_t* b, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (a[i] != b[i]) return false;
  return true;
}
}  // namespace

ExtentCache::ExtentCache(HashFunction hash) : hash_(hash ? hash : DefaultHash) {}

std::uint32_t ExtentCache::DefaultHash(Kind kind, const std::uint16_t* units, std::size_t count) {
  // FNV-1a over the units, the kind and the length.
  std::uint32_t h = 2166136261u ^ ((static_cast<std::uint32_t>(kind) << 8) |
                                   static_cast<std::uint32_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    h ^= units[i];
    h *= 16777619u;
  }
  return h ^ (h >> 15);
}

const std::uint16_t* ExtentCache::TextOf(const Slot& s) const {
  if (s.count <= kInlineUnits) return s.units;
  std::uint32_t offset;
  std::memcpy(&offset, s.units, sizeof offset);
  return pool_.data() + offset;
}

std::size_t ExtentCache::Probe(Kind kind, const std::uint16_t* units, std::size_t count,
                               std::uint32_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (s.Empty(generation_)) return i;
    if (s.hash == hash && s.count == count && s.kind == kind &&
        SameUnits(TextOf(s), units, count))
      return i;
  }
}

bool ExtentCache::FindUnits(Kind kind, const std::uint16_t* units, std::size_t count,
                            int* width) const {
  if (count == 0 || count > kMaxUnits || slots_.empty()) return false;
  const Slot& s = slots_[Probe(kind, units, count, hash_(kind, units, count))];
  if (s.Empty(generation_)) return false;
  *width = s.width;
  return true;
}

void ExtentCache::StoreUnits(Kind kind, const std::uint16_t* units, std::size_t count, int width) {
  if (count == 0 || count > kMaxUnits) return;
  if (entries_ >= kMaxEntries) Clear();
  if ((entries_ + 1) * 2 > slots_.size()) Grow();
  const std::uint32_t hash = hash_(kind, units, count);
  Slot& s = slots_[Probe(kind, units, count, hash)];
  if (s.Empty(generation_)) {
    s.generation = generation_;
    s.hash = hash;
    s.count = static_cast<std::uint8_t>(count);
    s.kind = kind;
    if (count <= kInlineUnits) {
      std::memcpy(s.units, units, count * sizeof *units);
    } else {
      const auto offset = static_cast<std::uint32_t>(pool_.size());
      std::memcpy(s.units, &offset, sizeof offset);
      pool_.insert(pool_.end(), units, units + count);
    }
    ++entries_;
  }
  s.width = width;
}

void ExtentCache::Grow() {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? kFirstSlots : old.size() * 2, Slot{});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& s : old) {
    if (s.Empty(generation_)) continue;
    std::size_t i = s.hash & mask;
    while (!slots_[i].Empty(generation_)) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void ExtentCache::Clear() {
  if (entries_ == 0) return;
  pool_.clear();
  entries_ = 0;
  // The slots keep their size (a new context is measured much as the old
  // one was); only when the generations come round are they wiped.
  if (++generation_ == 0) {
    for (Slot& s : slots_) s = Slot{};
    generation_ = 1;
  }
}

bool ExtentCache::Find(const std::uint16_t* text, std::size_t count, int* width) const {
  return FindUnits(kUnits, text, count, width);
}

void ExtentCache::Store(const std::uint16_t* text, std::size_t count, int width) {
  StoreUnits(kUnits, text, count, width);
}

bool ExtentCache::Find(const char* text, std::size_t length, int* width) const {
  if (length == 0 || length > kMaxUnits) return false;
  std::uint16_t units[kMaxUnits];
  for (std::size_t i = 0; i < length; ++i) units[i] = static_cast<unsigned char>(text[i]);
  return FindUnits(kBytes, units, length, width);
}

void ExtentCache::Store(const char* text, std::size_t length, int width) {
  if (length == 0 || length > kMaxUnits) return;
  std::uint16_t units[kMaxUnits];
  for (std::size_t i = 0; i < length; ++i) units[i] = static_cast<unsigned char>(text[i]);
  StoreUnits(kBytes, units, length, width);
}

}  // namespace qs
