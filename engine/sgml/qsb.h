// Compiled documents: a parsed document stored in one binary file (magic
// "QSB01") and loaded again without the parser.
//
// The reader trusts nothing in its input: a file beside a document may be
// stale, truncated or something else entirely. Every count, index, type
// byte, string, offset and the tree's depth is checked, and any fault gives
// engine error 24 and no document.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/memory.h"

namespace qs {

class Document;
class EntityDecl;
class Stream;

// The longest string either side handles: the parser's longest literal. The
// writer refuses a longer one, so every string written reads back whole.
constexpr std::size_t kQsbStringMax = 4095;
// Deeper than any tree the parser builds (its element depth limit, one
// entity node below it), with room to spare.
constexpr int kQsbMaxDepth = 64;
// The block in which a compiled file is read from disk. The reader takes
// the file whole from front to back, and in the 8 KB blocks of other files
// a large document's load spent more time entering the system than
// reading. 32 KB blocks cost a few system calls per megabyte; a larger one
// would raise the load's peak over a parse's, which reads in 8 KB blocks.
constexpr std::size_t kQsbFileBlock = 32768;

// What the writer asks about the document's external entities, and where it
// leaves the nine section positions.
class QsbIndexRecord : public EngineObject {
 public:
  static constexpr std::size_t kIdBuffer = 256;
  virtual ~QsbIndexRecord() = default;
  // Called for every external entity with the entity's identifiers already
  // in the two buffers; non-zero: the (rewritten) buffers are written in
  // place of the entity's own identifiers.
  virtual int SupplyIdentifiers(EntityDecl* entity) { return 0; }

  char systemId[kIdBuffer] = {};
  char publicId[kIdBuffer] = {};
  std::int32_t positions[9] = {};
};

// Writes the whole compiled form of the document to `out`. False, after
// reporting "Internal Error %d", when the document holds something the
// format cannot carry (an object missing from the writer's tables, or a
// string longer than kQsbStringMax): what was written is then incomplete
// and must be thrown away.
bool WriteQsb(Document& document, Stream& out, QsbIndexRecord* index);

// Loads a compiled document from `in` (read from its current position to
// its end). `name` becomes the document's system identifier (relative
// system identifiers in the file are taken against its folder), `publicId`
// its public identifier. A document with one use, or null after engine
// error 24 "Not an QSB file". Nothing is entered in any cache.
Document* ReadQsb(Stream& in, const char* name, const char* publicId);


}  // namespace qs
