// Request text, answer headers and the key/value and Base64 helpers under them.
#include <gtest/gtest.h>

#include <string>

#include "net/http.h"
#include "net/text.h"

namespace qs::net {
namespace {

TEST(Base64, Rfc4648Vectors) {
  const char* const cases[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                  {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                                  {"foobar", "Zm9vYmFy"}};
  for (const auto& c : cases) EXPECT_EQ(Base64Encode(c[0]), c[1]) << c[0];
  EXPECT_EQ(Base64Encode(std::string("\xff\xfe\x00", 3)), "//4A");
}

TEST(GetKeyValue, KeysAtLineStartsValuesAfterBlanksTabsOrEquals) {
  const std::string header =
      "HTTP/1.0 200 OK\r\nContent-Length:12\r\nContent-Type: text/plain  \r\n"
      "X-Content-Type: no\r\nset-cookie:\tid=7; path=/\r\nEmpty:   \r\n";
  EXPECT_EQ(HttpHeaderNumber(header, "Content-Length:"), -1);  // no blank after the colon
  EXPECT_EQ(HttpHeaderValue(header, "Content-Type:"), "text/plain");
  EXPECT_EQ(HttpHeaderValue(header, "Set-Cookie:"), "id=7; path=/");
  EXPECT_EQ(HttpHeaderValue(header, "Empty:"), std::nullopt);
  EXPECT_EQ(HttpHeaderValue(header, "Missing:"), std::nullopt);
  EXPECT_EQ(HttpHeaderNumber("Content-Length: 5000\r\n", "Content-Length:"), 5000);
  EXPECT_EQ(HttpHeaderNumber("Content-Length: 99999999999\r\n", "Content-Length:"), -1);
  EXPECT_EQ(HttpHeaderNumber("Content-Length: 12abc\r\n", "Content-Length:"), -1);
  auto v = GetKeyValue("proxy = host:1\nSaveDir\t\tC:\\x\\ \t\n", "SAVEDIR");
  ASSERT_TRUE(v);
  EXPECT_EQ(*v, "C:\\x\\");
  // A quoted key respects case.
  EXPECT_FALSE(GetKeyValue("'KEY' 1", "'key'"));
  EXPECT_TRUE(GetKeyValue("'key' 1", "'key'"));
}

TEST(HttpStatusCode, NumberAfterTheVersion) {
  EXPECT_EQ(HttpStatusCode("HTTP/1.0 404 Not Found\r\n"), 404);
  EXPECT_EQ(HttpStatusCode("http/1.1 200\r\n"), 200);
  EXPECT_EQ(HttpStatusCode("garbage"), 0);
  EXPECT_EQ(HttpStatusCode("HTTP/1.0"), 0);
  EXPECT_EQ(HttpStatusCode("HTTP/1.0 99999999999"), 0);
}

TEST(FindHeaderEnd, EarliestOfTheThreeMarks) {
  struct Case {
    std::string bytes;
    std::size_t end, bodyStart;
  };
  const Case cases[] = {
      {"HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody", 21, 25},
      {"HTTP/1.0 200 OK\nA: b\n\nbody", 20, 22},
      {"HTTP/1.0 200 OK\rA: b\r\rbody", 20, 22},
      // The body's own blank lines come after the header's end.
      {"HTTP/1.0 200 OK\n\nx\r\n\r\ny", 15, 17},
      {"HTTP/1.0 200 OK\r\n\r\n\n\nz", 15, 19},
      // A binary first piece: a NUL in the body does not cut it.
      {std::string("HTTP/1.0 200 OK\r\n\r\n\0\x01\0\xff", 23), 15, 19},
  };
  for (const Case& c : cases) {
    auto end = FindHeaderEnd(c.bytes);
    ASSERT_TRUE(end) << c.bytes;
    EXPECT_EQ(end->end, c.end) << c.bytes;
    EXPECT_EQ(end->bodyStart, c.bodyStart) << c.bytes;
  }
  EXPECT_FALSE(FindHeaderEnd("HTTP/1.0 200 OK\r\nA: b\r\n"));
  EXPECT_FALSE(FindHeaderEnd(std::string("\0\r\0\n", 4)));
}

TEST(HttpParseHeaders, FillsTheRecord) {
  HttpRequest r;
  r.cookie = "old";
  EXPECT_EQ(HttpParseHeaders(&r, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n"
                                 "Content-Length: 42\r\nSet-Cookie: s=1\r\n"),
            200);
  EXPECT_EQ(r.contentType, "text/html");
  EXPECT_EQ(r.bodyLength, 42);
  EXPECT_EQ(r.cookie, "s=1");
  EXPECT_EQ(HttpParseHeaders(&r, "HTTP/1.0 204 No Content\r\n"), 204);
  EXPECT_EQ(r.contentType, "");
  EXPECT_EQ(r.bodyLength, -1);
}

TEST(HttpBuildRequest, LinesInOrder) {
  HttpRequest r;
  EXPECT_EQ(HttpBuildRequest(r, "GET", "/a.sgm", "127.0.0.1", 0),
            "GET /a.sgm HTTP/1.0\r\nUser-Agent: \r\nHost: 127.0.0.1:80\r\nAccept: */*\r\n\r\n");
  r.userAgent = "corvina 1.0";
  r.accept = "text/*";
  r.proxyCredentials = "p:q";
  r.credentials = "alice:pw";
  r.cookie = "s=1";
  r.contentType = "text/plain";
  r.body = "hello";
  r.hasBody = true;
  r.bodyLength = 5;
  r.extraHeaders = "X-A: 1\r\n";
  EXPECT_EQ(HttpBuildRequest(r, "POST", "http://srv/x", "srv", 8080),
            "POST http://srv/x HTTP/1.0\r\nUser-Agent: corvina 1.0\r\nHost: srv:8080\r\n"
            "Accept: text/*\r\nProxy-Authorization: Basic cDpx\r\n"
            "Authorization: Basic YWxpY2U6cHc=\r\nCookie: s=1\r\nContent-Type: text/plain\r\n"
            "Content-Length: 5\r\nX-A: 1\r\n\r\n");
  // Empty credentials send nothing; long ones are sent whole.
  HttpRequest e;
  e.credentials = "";
  EXPECT_EQ(HttpBuildRequest(e, "GET", "/", "h", 1).find("Authorization"), std::string::npos);
  std::string longCredentials = std::string(510, 'u') + ":" + std::string(510, 'p');
  e.credentials = longCredentials.c_str();
  std::string text = HttpBuildRequest(e, "GET", "/", "h", 1);
  EXPECT_NE(text.find("Authorization: Basic " + Base64Encode(longCredentials) + "\r\n\r\n"),
            std::string::npos);
}

TEST(ProgressText, ClampsToTheLength) {
  EXPECT_EQ(ProgressText(10, 100), "10/100 bytes");
  EXPECT_EQ(ProgressText(150, 100), "100/100 bytes");
  EXPECT_EQ(ProgressText(-5, 100), "0/100 bytes");
  EXPECT_EQ(ProgressText(10, -1), "10/? bytes");
  EXPECT_EQ(ProgressText(-3, 0), "0/? bytes");
}

TEST(TextHelpers, CountingAndComments) {
  EXPECT_EQ(CountSubstring("aaaa", "aa"), 3u);
  EXPECT_EQ(CountSubstring("<ent>x<ENT>y<ent>", "<ent>"), 2u);
  std::string text = "URL x # note\r\n#all\nSAVEDIR y #";
  BlankComments(text);
  EXPECT_EQ(text, "URL x       \r\n    \nSAVEDIR y  ");
  EXPECT_EQ(FindSubstring("abcABC", "C", 3), 5u);
  EXPECT_EQ(FindAtTokenStart("xkey key", "KEY", " "), 5u);
}

}  // namespace
}  // namespace qs::net
