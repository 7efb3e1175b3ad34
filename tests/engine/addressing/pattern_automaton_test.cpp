#include "addressing/pattern_automaton.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "query_support.h"

// After the engine's headers, whose names the Windows macros would rename.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace qs {
namespace {

using test::CountingEngine;

// Find over the whole text: "(start,end)" or "none".
std::string FindIn(const PatternAutomaton& a, const char* text) {
  std::size_t s = 0, e = 0;
  if (!a.Find(text, &s, &e)) return "none";
  return "(" + std::to_string(s) + "," + std::to_string(e) + ")";
}

TEST(PatternAutomaton, LongestMatchesAndAnchors) {
  struct {
    const char* pattern;
    bool fold;
    const char* text;
    const char* found;  // Find's answer
  } cases[] = {
      {"colou?r", false, "color", "(0,5)"},
      {"colou?r", false, "a colour", "(2,8)"},
      {"colou?r", false, "colr", "none"},
      {"a|b", false, "xb", "(1,2)"},
      {"a|b", false, "a", "(0,1)"},
      {"a|b", false, "c", "none"},
      {"(ab)+", false, "ababab", "(0,6)"},
      {"(ab)+", false, "xaba", "(1,3)"},
      {"[a-z]", true, "Q", "(0,1)"},
      {"[a-z]", false, "Q", "none"},
      {"[^a-z]", false, "a", "none"},
      {"[^a-z]", false, "z", "none"},
      {"[^a-z]", false, "az!", "(2,3)"},
      {"[\\n]", false, "n", "(0,1)"},
      {"[\\n]", false, "\n", "none"},
      {"\\n", false, "\n", "(0,1)"},
      {"\\n", false, "n", "none"},
      {"^ab", false, "xab", "none"},
      {"^ab", false, "abx", "(0,2)"},
      {"ab$", false, "abab", "(2,4)"},
      {"ab$", false, "abx", "none"},
      {"x*", false, "y", "none"},
      {"x*", false, "yxx", "(1,3)"},
      {"\\d+", false, "no 123", "(3,6)"},
      {"\\a+", false, "12ab3", "(2,4)"},
      {"a\\sb", false, "a\tb", "(0,3)"},
      {"a b", false, "a\x01" "b", "(0,3)"},
      {"FUEL", true, "fuel", "(0,4)"},
      {"FUEL", false, "fuel", "none"},
      {"p.*p", false, "pump up", "(0,7)"},
      {"(a|ab)(c|bcd)", false, "abcd", "(0,4)"},
      {"|x", false, "a|x", "(1,3)"},  // '|' first in a sequence is a letter
      {"\\.", false, "a.b", "(1,2)"},
      {"[\\]a]+", false, "x]a]", "(1,4)"},
      {"[ ]", false, "a b", "(1,2)"},
      {".", false, "\xC3\xA9", "(0,1)"},
  };
  CountingEngine engine;
  for (const auto& c : cases) {
    PatternAutomaton a;
    ASSERT_NE(a.Compile(c.pattern, c.fold), nullptr) << c.pattern;
    EXPECT_EQ(FindIn(a, c.text), c.found) << c.pattern << " on " << c.text;
  }
  EXPECT_TRUE(engine.codes.empty());
}

TEST(PatternAutomaton, MatchGivesTheLongestPrefix) {
  CountingEngine engine;
  PatternAutomaton a;
  ASSERT_NE(a.Compile("(ab)+", false), nullptr);
  EXPECT_EQ(a.Match("ababab"), 6u);
  EXPECT_EQ(a.Match("ababa"), 4u);
  EXPECT_EQ(a.Match("ababab", 3), 2u);  // bounded by the length given
  EXPECT_EQ(a.MatchAt("xab"), 0u);
  ASSERT_NE(a.Compile("x*", false), nullptr);
  EXPECT_EQ(a.Match("y"), 0u);  // only the empty match
  EXPECT_EQ(a.Match("xxy"), 2u);
}

// Parsing stops at a second quantifier or a ')' that closes no group; the
// position is returned.
TEST(PatternAutomaton, StopPositions) {
  CountingEngine engine;
  struct {
    const char* pattern;
    std::size_t stop;
  } cases[] = {{"a**", 2}, {"a+?b", 2}, {"ab)cd", 2}, {"(a)b)", 4}, {"abc", 3}, {"ab$", 3}};
  for (const auto& c : cases) {
    PatternAutomaton a;
    const char* stop = a.Compile(c.pattern, false);
    ASSERT_NE(stop, nullptr) << c.pattern;
    EXPECT_EQ(static_cast<std::size_t>(stop - c.pattern), c.stop) << c.pattern;
  }
  PatternAutomaton a;
  a.Compile("a**", false);
  EXPECT_EQ(FindIn(a, "baaa"), "(1,4)");  // compiled as a*
  EXPECT_TRUE(engine.codes.empty());
}

// Each bad pattern is one error 27, and the automaton then finds nothing.
TEST(PatternAutomaton, SyntaxErrorsAreReportedOnce) {
  const char* bad[] = {"", "a|", "(", "$", "^", "(ab", "[ab", "ab\\", "caf\xC3\xA9"};
  for (const char* pattern : bad) {
    CountingEngine engine;
    PatternAutomaton a;
    EXPECT_EQ(a.Compile(pattern, false), nullptr) << pattern;
    EXPECT_EQ(engine.codes, std::vector<int>{27}) << pattern;
    EXPECT_FALSE(a.IsCompiled());
    EXPECT_EQ(FindIn(a, "anything"), "none");
  }
}

// More states or class blocks than the tables hold, or nesting deeper than
// any pattern that fits, is refused rather than written past the tables.
TEST(PatternAutomaton, OversizedPatternsAreRefused) {
  std::string states(300, 'a');
  std::string nested = std::string(100000, '(') + "a" + std::string(100000, ')');
  std::string fits(200, 'b');
  for (const std::string* p : {&states, &nested}) {
    CountingEngine engine;
    PatternAutomaton a;
    EXPECT_EQ(a.Compile(p->c_str(), false), nullptr);
    EXPECT_EQ(engine.codes, std::vector<int>{27});
  }
  CountingEngine engine;
  PatternAutomaton a;
  ASSERT_NE(a.Compile(fits.c_str(), false), nullptr);
  EXPECT_EQ(a.Match((fits + "c").c_str()), 200u);
}

// The text is only read: a pattern in read-only memory compiles, the '$'
// and a set's ']' included.
TEST(PatternAutomaton, CompilesFromReadOnlyText) {
  CountingEngine engine;
  const std::size_t page = 4096;
#ifdef _WIN32
  void* mem = VirtualAlloc(nullptr, page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(mem, nullptr);
  std::strcpy(static_cast<char*>(mem), "[a-c]+x$");
  DWORD old;
  ASSERT_TRUE(VirtualProtect(mem, page, PAGE_READONLY, &old));
#else
  void* mem = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mem, MAP_FAILED);
  std::strcpy(static_cast<char*>(mem), "[a-c]+x$");
  ASSERT_EQ(mprotect(mem, page, PROT_READ), 0);
#endif
  PatternAutomaton a;
  const char* text = static_cast<const char*>(mem);
  EXPECT_EQ(a.Compile(text, false), text + 8);
  EXPECT_EQ(FindIn(a, "zzabcx"), "(2,6)");
  EXPECT_EQ(FindIn(a, "abcxz"), "none");
#ifdef _WIN32
  VirtualFree(mem, 0, MEM_RELEASE);
#else
  munmap(mem, page);
#endif
}

// A range that ends before the text does: the rest is not looked at, and a
// '$' counts only as the range's last character.
TEST(PatternAutomaton, CompilesARangeOfALongerText) {
  CountingEngine engine;
  const char* text = "ab)$";
  PatternAutomaton a;
  EXPECT_EQ(a.Compile(text, text + 4, false), text + 2);
  EXPECT_FALSE(a.AnchoredAtEnd());
  EXPECT_EQ(FindIn(a, "xab"), "(1,3)");
  EXPECT_EQ(a.Compile(text, text + 2, false), text + 2);
}

}  // namespace
}  // namespace qs
