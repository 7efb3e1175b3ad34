// Documents and data the host may supply: a document cache that offers
// every load to the host first, and a stream over data the host hands over
// block by block and takes back when the engine is done with it.
#pragma once
#include <cstdint>

#include "foundation/callbacks.h"
#include "foundation/stream.h"
#include "sgml/document_cache.h"

namespace qs {

// Offers every load to the host first (event 5 with the path and the public
// identifier or 0): the answer 0 leaves it to the engine, -1 refuses it,
// anything else is a document handle.
class HostedDocumentCache : public DocumentCache {
 public:
  Document* ParseDocument(ExternalId* id) override;
};

// The host's procedure: (data word, length out, more-follows out) gives the
// next block, null at the end; called with two nulls when the engine is
// done with the data.
using HostDataProc = const char* (*)(std::intptr_t data, std::int32_t* length,
                                      std::int32_t* more);

class MemoryReader : public Stream {
 public:
  MemoryReader(HostDataProc procedure, std::intptr_t data, const char* name);
  ~MemoryReader() override;
  bool IsReadable() override { return state_ != kAtEnd; }
  void Refill() override;

 private:
  HostDataProc procedure_;
  std::intptr_t data_;
};

}  // namespace qs
