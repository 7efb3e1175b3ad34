// Location strings: the engine's one-line text form of a place in a
// document, and the writers of tree locations (extended pointers that name
// an element or a data position).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

class Document;
class DocumentNode;

class EntityDecl;
class Mark;

// The room the node exports build a location in.
inline constexpr std::size_t kLocationAreaSize = 2048;

// The element with that ID text, looked up as the host's ID lookup does:
// folded to upper case (ASCII letters) when the document folds names.
DocumentNode* FindElementByIdText(Document* document, const char* id);

// The extended pointer of an element: "ID(x)" of its nearest ancestor-or-
// self with an ID (else "ROOT"), then " CHILD" and " (n)" for each level
// down to the element. Into `buffer` of `size` bytes; a pointer that does
// not fit is not written at all (empty text). Returns the end of what was
// written (the buffer itself when nothing was).
char* WriteTreeLocation(char* buffer, std::size_t size, const DocumentNode* element);

// The extended pointer of a data position: the tree location of the
// innermost element holding it, then the place number of its content that
// holds the position. Nothing when no element holds it; the same size rule.
char* WritePositionLocation(char* buffer, std::size_t size, const Document* document,
                            std::uint32_t position);

// Resolves a location string against the document (from `element`, or
// from the root when null) and shows the place it names through the
// engine. 1 when it was resolved and shown, 0 otherwise (nothing is
// reported, nothing shown).
int ParseLocationString(Document* document, DocumentNode* element, const char* text);

// Reads a document's data characters from a position, for counting words:
// marks that stand for no text (entity references, processing
// instructions, kept markup) are passed over, and every element boundary
// reads as a blank that takes no place.
class DataCharReader {
 public:
  DataCharReader(const Document* document, std::uint32_t position);
  // The next character (through the engine's identity row), or -1 at the
  // end of the document.
  int Read();
  // The position after the last character read (a boundary's blank takes
  // none).
  std::uint32_t Position() const { return position_; }
  bool AtBoundary() const { return boundary_; }

 private:
  void FindNextMark();
  void FindNextBoundary();

  const Document* document_;
  std::uint32_t position_;
  std::uint32_t end_;
  const Mark* mark_ = nullptr;
  std::uint32_t boundaryAt_ = 0;
  bool boundary_ = false;
};

// Word selection of DATA terms and locators: from `from`, the `start`-th
// run of non-blank characters (from 1) and `count` - 1 runs after it (a
// count of 0 reads as 1). False when `start` is 0 or the word lies at or
// past the document's end; an end past it is cut to it.
bool SelectWords(const Document* document, std::uint32_t from, std::uint32_t start,
                 std::uint32_t count, std::uint32_t* rangeStart, std::uint32_t* rangeEnd);

}  // namespace qs
