#include "foundation/callback_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace qs {
namespace {

using test::Pattern;

// The host's side: data to deliver, a record of every call.
struct Host {
  std::string data;
  std::intptr_t overDeliver = 0;  // a host that claims more than it gave
  std::vector<std::pair<std::intptr_t, std::intptr_t>> calls;  // (offset, length)
  std::string written;
  bool released = false;

  static std::intptr_t Read(std::intptr_t context, std::intptr_t offset, std::intptr_t buffer,
                            std::intptr_t length) {
    auto* host = reinterpret_cast<Host*>(context);
    if (offset == -1) {
      host->released = true;
      return 0;
    }
    host->calls.push_back({offset, length});
    std::intptr_t n = 0;
    if (offset < static_cast<std::intptr_t>(host->data.size()))
      n = std::min<std::intptr_t>(length, static_cast<std::intptr_t>(host->data.size()) - offset);
    if (n > 0) std::memcpy(reinterpret_cast<void*>(buffer), host->data.data() + offset, static_cast<std::size_t>(n));
    return n + host->overDeliver;
  }
  static std::intptr_t Write(std::intptr_t context, std::intptr_t offset, std::intptr_t data,
                             std::intptr_t length) {
    auto* host = reinterpret_cast<Host*>(context);
    host->calls.push_back({offset, length});
    EXPECT_EQ(offset, static_cast<std::intptr_t>(host->written.size()));
    host->written.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    return 0;
  }
};

std::string Drain(Stream& s) {
  std::string out(1 << 20, '\0');
  out.resize(s.Read(out.data(), out.size()));
  return out;
}

TEST(CallbackInStream, ReadsBlocksUntilShort) {
  struct Case {
    std::size_t size;
    std::size_t calls;  // a whole last block needs one more call, which ends the data
  } cases[] = {{0, 1}, {100, 1}, {8192, 2}, {20000, 3}};
  for (const Case& c : cases) {
    Host host{Pattern(c.size)};
    CallbackInStream s(reinterpret_cast<std::intptr_t>(&host), &Host::Read);
    EXPECT_TRUE(s.IsReadable());
    EXPECT_EQ(Drain(s), host.data);
    EXPECT_EQ(host.calls.size(), c.calls) << c.size;
    for (std::size_t i = 0; i < host.calls.size(); ++i)
      EXPECT_EQ(host.calls[i], (std::pair<std::intptr_t, std::intptr_t>(8192 * i, 8192)));
    EXPECT_TRUE(s.IsReadable());
  }
}

TEST(CallbackInStream, Seek) {
  Host host{Pattern(20000)};
  CallbackInStream s(reinterpret_cast<std::intptr_t>(&host), &Host::Read);
  EXPECT_EQ(s.Seek(10000), 1);
  ASSERT_EQ(host.calls.size(), 1u);
  EXPECT_EQ(host.calls[0].first, 8192);
  EXPECT_EQ(s.Tell(), 10000);
  EXPECT_EQ(Drain(s), host.data.substr(10000));
  EXPECT_EQ(s.Seek(3), 1);  // backwards too
  EXPECT_EQ(Drain(s), host.data.substr(3));
  EXPECT_EQ(s.Seek(20000), 1);
  EXPECT_EQ(s.GetChar(), 0);
  EXPECT_EQ(s.Seek(30000), 0);  // nothing there
  EXPECT_EQ(s.GetChar(), 0);
}

TEST(CallbackInStream, HostClaimingTooMuchIsHeldToTheBuffer) {
  Host host{Pattern(100)};
  host.overDeliver = 1 << 20;
  CallbackInStream s(reinterpret_cast<std::intptr_t>(&host), &Host::Read);
  std::string got(20000, '\0');  // every block claims to be whole: the data never ends
  EXPECT_EQ(s.Read(got.data(), got.size()), got.size());
  EXPECT_EQ(got.substr(0, 100), host.data);
  host.data.clear();
  host.overDeliver = -5;  // a negative count is no data
  CallbackInStream t(reinterpret_cast<std::intptr_t>(&host), &Host::Read);
  EXPECT_EQ(Drain(t), "");
}

TEST(CallbackOutStream, HandsOnEveryFullBufferAndTheRestAtTheEnd) {
  Host host;
  const std::string data = Pattern(10000);
  {
    auto* s = new CallbackOutStream(reinterpret_cast<std::intptr_t>(&host), &Host::Write);
    for (char c : data) s->PutChar(static_cast<std::uint8_t>(c));
    EXPECT_EQ(s->Tell(), 10000);
    EXPECT_EQ(s->Status(), 1);
    EXPECT_EQ(host.calls, (std::vector<std::pair<std::intptr_t, std::intptr_t>>{{0, 4096}, {4096, 4096}}));
    s->Release();
  }
  EXPECT_EQ(host.calls.back(), (std::pair<std::intptr_t, std::intptr_t>(8192, 1808)));
  EXPECT_EQ(host.written, data);

  CallbackOutStream counter(0, nullptr);  // counts and drops
  counter.PutString("hello");
  counter.Flush();
  EXPECT_EQ(counter.Tell(), 5);
}

TEST(CallbackSource, OpensStreamsAndLetsTheHostGo) {
  Host host{Pattern(30000)};
  {
    CallbackSource source(reinterpret_cast<std::intptr_t>(&host), &Host::Read);
    EXPECT_EQ(source.GetStream(), nullptr);
    EXPECT_EQ(source.Open(0), 1);
    EXPECT_EQ(source.GetStream()->GetChar(), static_cast<unsigned char>(host.data[0]));
    EXPECT_EQ(source.Open(17000), 1);
    EXPECT_EQ(source.GetStream()->Tell(), 17000);
    EXPECT_EQ(Drain(*source.GetStream()), host.data.substr(17000));
    EXPECT_EQ(source.Close(), 1);
    EXPECT_EQ(source.GetStream(), nullptr);
    EXPECT_FALSE(host.released);
  }
  EXPECT_TRUE(host.released);
}

// A source that answers from a table and counts its uses.
class TableSource : public ChainableSource {
 public:
  explicit TableSource(std::intptr_t answer) : answer_(answer) {}
  std::intptr_t Request1(std::intptr_t a, std::intptr_t b, std::intptr_t last) override {
    return Note(1, last);
  }
  std::intptr_t Request2(std::intptr_t a, std::intptr_t b, std::intptr_t last) override {
    return Note(2, last);
  }
  std::intptr_t Request3(std::intptr_t a, std::intptr_t b, std::intptr_t last) override {
    return Note(3, last);
  }
  int Ref(int code) override {
    uses += code == kAddUse ? 1 : code == kDropUse ? -1 : 0;
    return 0;
  }
  std::vector<std::pair<int, std::intptr_t>> asked;  // (request, last argument)
  int uses = 0;

 private:
  std::intptr_t Note(int request, std::intptr_t last) {
    asked.push_back({request, last});
    return answer_;
  }
  std::intptr_t answer_;
};

TEST(ChainedSource, AsksTheFirstThenTheSecond) {
  struct Case {
    bool hasFirst;
    std::intptr_t firstAnswer;
    std::intptr_t expected;
    bool secondAsked;
  } cases[] = {{true, 7, 7, false}, {true, 0, 9, true}, {false, 0, 9, true}};
  for (const Case& c : cases) {
    TableSource first(c.firstAnswer), second(9);
    auto* chain = new ChainedSource(c.hasFirst ? &first : nullptr, &second);
    EXPECT_EQ(second.uses, 1);
    EXPECT_EQ(chain->Request1(1, 2, 3), c.expected);
    EXPECT_EQ(chain->Request2(1, 2, 3), c.expected);
    EXPECT_EQ(chain->Request3(1, 2, 3), c.expected);
    if (c.hasFirst)
      EXPECT_EQ(first.asked, (std::vector<std::pair<int, std::intptr_t>>{{1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(second.asked.size(), c.secondAsked ? 3u : 0u);
    if (c.secondAsked) EXPECT_EQ(second.asked[0].second, 3);
    EXPECT_EQ(chain->Query(), 0);
    EXPECT_EQ(chain->Ref(ChainableSource::kAddUse), 0);
    chain->Ref(ChainableSource::kDropUse);
    EXPECT_EQ(second.uses, 1);  // still held
    chain->Ref(ChainableSource::kDropUse);  // the last use deletes the chain
    EXPECT_EQ(second.uses, 0);
    EXPECT_EQ(first.uses, 0);
  }
}

}  // namespace
}  // namespace qs
