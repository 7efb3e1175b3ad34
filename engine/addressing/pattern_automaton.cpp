#include "addressing/pattern_automaton.h"

#include <cstring>
#include <initializer_list>

#include "foundation/engine.h"

namespace qs {

namespace {
constexpr int kQuerySyntaxError = 27;
// The first bit of the first block holds the first-character set.
constexpr std::uint8_t kFirstSetMask = 0x01;

bool IsQuantifier(char c) { return c == '?' || c == '*' || c == '+'; }
}  // namespace

// The parsed pattern, kept only while compiling.
struct PatternAutomaton::Node : EngineObject {
  enum Kind : std::uint8_t { kAlternative, kChar, kAny, kDigit, kLetter, kSpace, kBlank, kSet, kGroup };
  explicit Node(Kind k) : kind(k) {}
  ~Node() {
    delete inner;
    // Sequences and alternatives can be long: unlink them iteratively.
    Node* n = next;
    while (n) {
      Node* after = n->next;
      n->next = nullptr;
      delete n;
      n = after;
    }
  }
  Kind kind;
  char quantifier = 0;
  unsigned char code = 0;               // kChar
  const char* setBegin = nullptr;       // kSet: the text between '[' and ']'
  const char* setEnd = nullptr;
  Node* inner = nullptr;                // kGroup: its alternatives; kAlternative: first atom
  Node* next = nullptr;                 // next atom, or next alternative
};

class PatternAutomaton::Parser {
 public:
  Parser(const char* p, const char* end) : p_(p), end_(end) {}
  const char* Position() const { return p_; }

  Node* Alternatives() {
    Node* alt = new Node(Node::kAlternative);
    alt->inner = Sequence();
    if (!alt->inner) {
      delete alt;
      return nullptr;
    }
    if (p_ < end_ && *p_ == '|') {
      ++p_;
      alt->next = Alternatives();
      if (!alt->next) {
        delete alt;
        return nullptr;
      }
    }
    return alt;
  }

 private:
  bool Fail() {
    ReportError(kQuerySyntaxError);
    return false;
  }
  // A pattern byte, refused from 0x80 up.
  bool Byte(const char* at) {
    if (static_cast<unsigned char>(*at) >= 0x80) return Fail();
    return true;
  }

  Node* Sequence() {
    Node* first = Atom();
    if (!first) return nullptr;
    Node* last = first;
    while (p_ < end_ && *p_ != '|' && *p_ != ')' && !IsQuantifier(*p_)) {
      Node* atom = Atom();
      if (!atom) {
        delete first;
        return nullptr;
      }
      last->next = atom;
      last = atom;
    }
    return first;
  }

  Node* Atom() {
    Node* item = Item();
    if (item && p_ < end_ && IsQuantifier(*p_)) item->quantifier = *p_++;
    return item;
  }

  Node* Item() {
    if (p_ >= end_) {
      Fail();
      return nullptr;
    }
    if (!Byte(p_)) return nullptr;
    char c = *p_++;
    switch (c) {
      case '(': {
        // Every group takes a state at least: deeper nesting cannot fit
        // the tables, and is refused before it can exhaust the stack.
        if (++depth_ > kMaxStates) {
          Fail();
          return nullptr;
        }
        Node* inner = Alternatives();
        --depth_;
        if (!inner) return nullptr;
        if (p_ >= end_ || *p_ != ')') {
          delete inner;
          Fail();
          return nullptr;
        }
        ++p_;
        Node* group = new Node(Node::kGroup);
        group->inner = inner;
        return group;
      }
      case '.':
        return new Node(Node::kAny);
      case '[': {
        const char* q = p_;
        while (q < end_ && *q != ']') {
          if (!Byte(q)) return nullptr;
          if (*q == '\\' && q + 1 < end_) {
            ++q;
            if (!Byte(q)) return nullptr;
          }
          ++q;
        }
        if (q >= end_) {
          Fail();
          return nullptr;
        }
        Node* set = new Node(Node::kSet);
        set->setBegin = p_;
        set->setEnd = q;
        p_ = q + 1;
        return set;
      }
      case '\\': {
        if (p_ >= end_) {
          Fail();
          return nullptr;
        }
        if (!Byte(p_)) return nullptr;
        char d = *p_++;
        switch (d) {
          case 'a': case 'A': return new Node(Node::kLetter);
          case 'd': case 'D': return new Node(Node::kDigit);
          case 's': case 'S': return new Node(Node::kSpace);
          case 'n': return Char('\n');
          default: return Char(d);
        }
      }
      case ' ':
        return new Node(Node::kBlank);
      default:
        return Char(c);
    }
  }

  static Node* Char(char c) {
    Node* n = new Node(Node::kChar);
    n->code = static_cast<unsigned char>(c);
    return n;
  }

  const char* p_;
  const char* end_;
  int depth_ = 0;
};

PatternAutomaton::~PatternAutomaton() { Reset(); }

void PatternAutomaton::Reset() {
  for (int i = 0; i < blockCount_; ++i) MemFree(blocks_[i]);
  blockCount_ = 0;
  bitsUsed_ = 0;
  stateCount_ = 0;
  compiled_ = false;
  anchoredStart_ = anchoredEnd_ = false;
  MemFree(source_);
  source_ = nullptr;
}

const char* PatternAutomaton::Compile(const char* text, const char* end, bool fold) {
  Reset();
  if (!text) {
    ReportError(kQuerySyntaxError);
    return nullptr;
  }
  if (!end) end = text + std::strlen(text);
  fold_ = fold;
  const char* p = text;
  bool startAnchor = false;
  if (p < end && *p == '^') {
    startAnchor = true;
    ++p;
  }
  // A trailing '$' is the end anchor: parse without it.
  const char* limit = end;
  bool dollar = limit > p && limit[-1] == '$';
  if (dollar) --limit;

  Parser parser(p, limit);
  Node* root = parser.Alternatives();
  if (!root) return nullptr;
  const char* stop = parser.Position();
  bool endAnchor = dollar && stop == limit;
  if (endAnchor) stop = end;

  bool built = false;
  blocks_[0] = static_cast<std::uint8_t*>(MemAlloc(256));
  if (blocks_[0]) {
    std::memset(blocks_[0], 0, 256);
    blockCount_ = 1;
    bitsUsed_ = 1;
    int s0 = NewState();
    states_[s0].next1 = states_[s0].next2 = 1;
    built = BuildAlternatives(root);
  }
  delete root;
  if (!built) {
    // Too many states or classes for the tables (or no memory).
    Reset();
    ReportError(kQuerySyntaxError);
    return nullptr;
  }
  for (int i = 0; i < stateCount_; ++i) {
    if (states_[i].next1 == stateCount_) states_[i].next1 = 0;
    if (states_[i].next2 == stateCount_) states_[i].next2 = 0;
  }
  ComputeFirstSet();
  std::size_t n = static_cast<std::size_t>(stop - text);
  source_ = static_cast<char*>(MemAlloc(n + 1));
  if (source_) {
    std::memcpy(source_, text, n);
    source_[n] = 0;
  }
  anchoredStart_ = startAnchor;
  anchoredEnd_ = endAnchor;
  compiled_ = true;
  return stop;
}

int PatternAutomaton::NewState() {
  if (stateCount_ >= kMaxStates) return -1;
  states_[stateCount_] = State{};
  return stateCount_++;
}

bool PatternAutomaton::NewClassState(const Node& item, int* state) {
  if (bitsUsed_ == 8) {
    if (blockCount_ == kMaxBlocks) return false;
    auto* block = static_cast<std::uint8_t*>(MemAlloc(256));
    if (!block) return false;
    std::memset(block, 0, 256);
    blocks_[blockCount_++] = block;
    bitsUsed_ = 0;
  }
  int s = NewState();
  if (s < 0) return false;
  std::uint8_t mask = static_cast<std::uint8_t>(1u << bitsUsed_++);
  states_[s].block = static_cast<std::uint8_t>(blockCount_ - 1);
  states_[s].mask = mask;
  FillClass(item, blocks_[blockCount_ - 1], mask);
  *state = s;
  return true;
}

void PatternAutomaton::Redirect(int from, int to, int oldTarget, int newTarget) {
  for (int i = from; i < to; ++i) {
    if (states_[i].next1 == oldTarget) states_[i].next1 = static_cast<std::uint8_t>(newTarget);
    if (states_[i].next2 == oldTarget) states_[i].next2 = static_cast<std::uint8_t>(newTarget);
  }
}

bool PatternAutomaton::BuildAlternatives(const Node* alt) {
  if (!alt->next) return BuildSequence(alt->inner);
  int s = NewState();
  if (s < 0) return false;
  states_[s].next1 = static_cast<std::uint8_t>(s + 1);
  if (!BuildSequence(alt->inner)) return false;
  int endFirst = stateCount_;
  states_[s].next2 = static_cast<std::uint8_t>(endFirst);
  if (!BuildAlternatives(alt->next)) return false;
  Redirect(s + 1, endFirst, endFirst, stateCount_);
  return true;
}

bool PatternAutomaton::BuildSequence(const Node* seq) {
  for (const Node* atom = seq; atom; atom = atom->next)
    if (!BuildAtom(atom)) return false;
  return true;
}

bool PatternAutomaton::BuildAtom(const Node* atom) {
  switch (atom->quantifier) {
    case '*': {
      int s = NewState();
      if (s < 0) return false;
      states_[s].next1 = static_cast<std::uint8_t>(s + 1);
      if (!BuildItem(atom)) return false;
      int end = stateCount_;
      states_[s].next2 = static_cast<std::uint8_t>(end);
      Redirect(s + 1, end, end, s);
      return true;
    }
    case '+': {
      int s = stateCount_;
      if (!BuildItem(atom)) return false;
      int t = NewState();
      if (t < 0) return false;
      states_[t].next1 = static_cast<std::uint8_t>(s);
      states_[t].next2 = static_cast<std::uint8_t>(t + 1);
      return true;
    }
    case '?': {
      int s = NewState();
      if (s < 0) return false;
      states_[s].next1 = static_cast<std::uint8_t>(s + 1);
      if (!BuildItem(atom)) return false;
      states_[s].next2 = static_cast<std::uint8_t>(stateCount_);
      return true;
    }
    default:
      return BuildItem(atom);
  }
}

bool PatternAutomaton::BuildItem(const Node* atom) {
  if (atom->kind == Node::kGroup) return BuildAlternatives(atom->inner);
  int s;
  if (!NewClassState(*atom, &s)) return false;
  states_[s].next1 = states_[s].next2 = static_cast<std::uint8_t>(s + 1);
  return true;
}

void PatternAutomaton::FillClass(const Node& item, std::uint8_t* block, std::uint8_t mask) const {
  bool member[256] = {};
  auto letters = [&] {
    for (int c = 'a'; c <= 'z'; ++c) member[c] = member[c - 32] = true;
  };
  auto digits = [&] {
    for (int c = '0'; c <= '9'; ++c) member[c] = true;
  };
  auto spaces = [&] {
    for (int c : {1, 9, 10, 13, 32, 0xA0}) member[c] = true;
  };
  auto blanks = [&] {
    for (int c : {1, 32, 0xA0}) member[c] = true;
  };
  auto add = [&](unsigned char c, bool cased) {
    member[c] = true;
    if (cased && fold_) {
      if (c >= 'a' && c <= 'z') member[c - 32] = true;
      if (c >= 'A' && c <= 'Z') member[c + 32] = true;
    }
  };
  switch (item.kind) {
    case Node::kAny:
      for (int c = 1; c < 256; ++c) member[c] = true;
      break;
    case Node::kDigit: digits(); break;
    case Node::kLetter: letters(); break;
    case Node::kSpace: spaces(); break;
    case Node::kBlank: blanks(); break;
    case Node::kChar: add(item.code, true); break;
    case Node::kSet: {
      const char* b = item.setBegin;
      const char* e = item.setEnd;
      bool negate = b < e && *b == '^';
      if (negate) ++b;
      while (b < e) {
        auto c = static_cast<unsigned char>(*b);
        if (c == '\\' && b + 1 < e) {
          switch (b[1]) {
            case 'a': case 'A': letters(); break;
            case 'd': case 'D': digits(); break;
            case 's': case 'S': spaces(); break;
            default: add(static_cast<unsigned char>(b[1]), false); break;
          }
          b += 2;
        } else if (b + 2 < e && b[1] == '-' && b[2] != '\\') {
          auto last = static_cast<unsigned char>(b[2]);
          for (unsigned v = c; v <= last; ++v) add(static_cast<unsigned char>(v), true);
          b += 3;
        } else {
          if (c == ' ')
            blanks();
          else
            add(c, true);
          ++b;
        }
      }
      if (negate)
        for (int v = 1; v < 256; ++v) member[v] = !member[v];
      break;
    }
    default:
      break;
  }
  for (int c = 1; c < 256; ++c)
    if (member[c]) block[c] |= mask;
}

void PatternAutomaton::ComputeFirstSet() {
  bool seen[kMaxStates] = {};
  std::uint8_t stack[2 * kMaxStates + 2];
  int top = 0;
  stack[top++] = 1;
  while (top) {
    int s = stack[--top];
    if (s == 0 || s >= stateCount_ || seen[s]) continue;
    seen[s] = true;
    const State& st = states_[s];
    if (st.mask) {
      for (int c = 1; c < 256; ++c)
        if (InClass(st, static_cast<unsigned char>(c))) blocks_[0][c] |= kFirstSetMask;
    } else {
      stack[top++] = st.next2;
      stack[top++] = st.next1;
    }
  }
}

std::size_t PatternAutomaton::Match(const char* text) const {
  return Match(text, text ? std::strlen(text) : 0);
}

std::size_t PatternAutomaton::Match(const char* text, std::size_t length) const {
  if (!compiled_ || !text) return 0;
  // Two state sets, each with a generation stamp per state, so nothing is
  // cleared between steps.
  std::uint8_t current[kMaxStates], next[kMaxStates];
  std::uint32_t stamp[kMaxStates] = {};
  std::uint8_t stack[4 * kMaxStates];
  std::uint32_t generation = 1;
  int currentCount = 0, nextCount = 0;
  bool accepted = false;

  // Adds the class states reachable from s through epsilon states.
  auto close = [&](int s, std::uint8_t* set, int* count) {
    int top = 0;
    stack[top++] = static_cast<std::uint8_t>(s);
    while (top) {
      int x = stack[--top];
      if (x == 0) {
        accepted = true;
        continue;
      }
      if (x >= stateCount_ || stamp[x] == generation) continue;
      stamp[x] = generation;
      const State& st = states_[x];
      if (st.mask) {
        set[(*count)++] = static_cast<std::uint8_t>(x);
      } else if (top + 2 <= static_cast<int>(sizeof stack)) {
        stack[top++] = st.next2;
        stack[top++] = st.next1;
      }
    }
  };

  close(1, current, &currentCount);
  std::size_t result = 0;
  for (std::size_t j = 0; currentCount && j < length && text[j]; ++j) {
    auto c = static_cast<unsigned char>(text[j]);
    ++generation;
    nextCount = 0;
    accepted = false;
    for (int i = 0; i < currentCount; ++i) {
      const State& st = states_[current[i]];
      if (InClass(st, c)) close(st.next1, next, &nextCount);
    }
    if (accepted) result = j + 1;
    std::memcpy(current, next, static_cast<std::size_t>(nextCount));
    currentCount = nextCount;
  }
  return result;
}

std::size_t PatternAutomaton::MatchAt(const char* text) const {
  return MatchAt(text, text ? std::strlen(text) : 0);
}

std::size_t PatternAutomaton::MatchAt(const char* text, std::size_t length) const {
  if (!compiled_ || !text || !length) return 0;
  if (!(blocks_[0][static_cast<unsigned char>(text[0])] & kFirstSetMask)) return 0;
  return Match(text, length);
}

bool PatternAutomaton::Find(const char* text, std::size_t* start, std::size_t* end) const {
  return Find(text, text ? std::strlen(text) : 0, start, end);
}

bool PatternAutomaton::Find(const char* text, std::size_t length, std::size_t* start,
                            std::size_t* end) const {
  if (!compiled_ || !text) return false;
  std::size_t size = 0;
  while (size < length && text[size]) ++size;
  auto found = [&](std::size_t at, std::size_t n) {
    if (start) *start = at;
    if (end) *end = at + n;
    return true;
  };
  if (anchoredStart_) {
    std::size_t n = MatchAt(text, size);
    if (n < 1 || (anchoredEnd_ && n != size)) return false;
    return found(0, n);
  }
  for (std::size_t at = 0; at < size; ++at) {
    std::size_t n = MatchAt(text + at, size - at);
    if (n > 0 && (!anchoredEnd_ || at + n == size)) return found(at, n);
  }
  return false;
}

}  // namespace qs
