// Compiled text patterns: alternatives, groups, '?', '*' and '+', any
// character, the classes \a \d \s, bracket sets and the anchors '^' and '$',
// run as a small nondeterministic machine over bytes that finds the longest
// match at a place. Pattern text is 7-bit; subject text may hold any byte
// from 1 to 255 (a NUL ends it).
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/memory.h"

namespace qs {

class PatternAutomaton : public EngineObject {
 public:
  // States 0-254; the matcher's tables are sized for them.
  static constexpr int kMaxStates = 255;
  // Class blocks of 256 bytes, eight classes to a block.
  static constexpr int kMaxBlocks = 32;

  PatternAutomaton() = default;
  ~PatternAutomaton();
  PatternAutomaton(const PatternAutomaton&) = delete;
  PatternAutomaton& operator=(const PatternAutomaton&) = delete;

  // Compiles [text, end) (end null: up to the NUL), which is only read. A
  // '$' counts as the end anchor only as the last character of that range.
  // Returns where parsing stopped (the range's end, a ')' that closes no
  // group, or a second quantifier), or null after engine error 27 "Syntax
  // error in query" for a syntax error, a pattern too large for the tables
  // or a byte of 0x80 or above; the automaton then matches nothing.
  const char* Compile(const char* text, const char* end, bool fold);
  const char* Compile(const char* text, bool fold) { return Compile(text, nullptr, fold); }
  bool IsCompiled() const { return compiled_; }

  // The length of the longest non-empty match at the start of the text (at
  // most `length` bytes, or up to its NUL for the one-argument forms); 0
  // when there is none.
  std::size_t Match(const char* text, std::size_t length) const;
  std::size_t Match(const char* text) const;
  // 0 at once when the first byte cannot begin a match; else Match.
  std::size_t MatchAt(const char* text, std::size_t length) const;
  std::size_t MatchAt(const char* text) const;
  // The leftmost match, honouring the anchors: true with its offsets.
  bool Find(const char* text, std::size_t length, std::size_t* start, std::size_t* end) const;
  bool Find(const char* text, std::size_t* start, std::size_t* end) const;

  // The pattern text as compiled (for dumps); "" before a compile.
  const char* Source() const { return source_ ? source_ : ""; }
  bool AnchoredAtStart() const { return anchoredStart_; }
  bool AnchoredAtEnd() const { return anchoredEnd_; }

 private:
  struct Node;
  class Parser;
  struct State {
    std::uint8_t block = 0;  // class block, with bit; no class when mask is 0
    std::uint8_t mask = 0;
    std::uint8_t next1 = 0;
    std::uint8_t next2 = 0;
  };

  void Reset();
  bool InClass(const State& s, unsigned char c) const { return (blocks_[s.block][c] & s.mask) != 0; }
  // Building: false when the tables are full.
  int NewState();
  bool NewClassState(const Node& item, int* state);
  bool BuildAlternatives(const Node* alt);
  bool BuildSequence(const Node* seq);
  bool BuildAtom(const Node* atom);
  bool BuildItem(const Node* atom);
  void Redirect(int from, int to, int oldTarget, int newTarget);
  void FillClass(const Node& item, std::uint8_t* block, std::uint8_t mask) const;
  void ComputeFirstSet();

  bool compiled_ = false;
  bool fold_ = false;
  bool anchoredStart_ = false;
  bool anchoredEnd_ = false;
  char* source_ = nullptr;
  int stateCount_ = 0;
  State states_[kMaxStates];
  std::uint8_t* blocks_[kMaxBlocks] = {};
  int blockCount_ = 0;
  int bitsUsed_ = 0;  // in the last block
};

}  // namespace qs
