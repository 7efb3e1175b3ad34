// URL splitting, link resolution and the cache names of URLs: what a server
// or an entity list hands over must land below the cache root or nowhere.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/url.h"

namespace qs::net {
namespace {

TEST(UrlToCachePath, MapsSchemeHostPortAndPathBelowTheRoot) {
  struct Case {
    const char* root;
    const char* url;
    const char* path;
  };
  const Case cases[] = {
      {"R", "http://srv:8080/a/b.sgm?x=1", "R\\http#srv#8080\\a\\b.sgm"},
      {"R\\", "http://srv:8080/a/b.sgm", "R\\http#srv#8080\\a\\b.sgm"},
      {"C:\\run\\17\\", "HTTP://Srv/doc/", "C:\\run\\17\\http#Srv\\doc\\"},
      {"R", "ftp://srv/pub/x.gif", "R\\ftp#srv\\pub\\x.gif"},
      {"R", "http://srv/a/./b//c.sgm", "R\\http#srv\\a\\b\\c.sgm"},
      {"R", "http://srv/a/../b.sgm", "R\\http#srv\\b.sgm"},
      {"R", "http://srv/a\\..\\b.sgm", "R\\http#srv\\b.sgm"},
      {"R", "srv/doc", "R\\srv\\doc"},
      {"R", "http://srv", "R\\http#srv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    char out[260];
    ASSERT_EQ(UrlToCachePath(out, sizeof out, c.root, c.url), 1);
    EXPECT_STREQ(out, c.path);
  }
}

TEST(UrlToCachePath, RefusesWhatWouldLeaveTheHostFolderOrNameADevice) {
  const char* const refused[] = {
      "http://srv/../x.sgm",        "http://srv/a/../../x.sgm", "http://srv/a/..\\..\\..\\x",
      "..\\..\\windows\\win.ini",   "http://srv/nul",           "http://srv/a/CON.sgm",
      "http://srv/com1/x",          "http://srv/LPT9.txt",      "http://srv/aux",
      "http://srv/a./b",            "http://srv/a /b",          "http://srv/a\"b",
      "http://srv/a|b",             "http://srv/a*",            "http://../x",
      "",                           "/",                        "http://srv/a\x01b",
      "http://srv/a/<b>",
  };
  for (const char* url : refused) {
    SCOPED_TRACE(url);
    char out[260];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(UrlToCachePath(out, sizeof out, "C:\\root", url), 0);
    EXPECT_STREQ(out, "");  // no unchanged copy of the URL
  }
  // Names that only look like devices are fine.
  EXPECT_EQ(UrlToCachePath("R", "http://srv/console/com10/nul1"),
            "R\\http#srv\\console\\com10\\nul1");
}

TEST(UrlToCachePath, TooLongGivesNothingAndStaysInsideTheBuffer) {
  std::string url = "http://srv/" + std::string(240, 'a');
  char area[300];
  std::memset(area, '#', sizeof area);
  // Root + '\' + "http#srv\" + 240 = 1 + 1 + 9 + 240 = 251 characters.
  EXPECT_EQ(UrlToCachePath(area, 251, "R", url.c_str()), 0);
  EXPECT_STREQ(area, "");
  for (std::size_t i = 251; i < sizeof area; ++i) ASSERT_EQ(area[i], '#') << i;
  EXPECT_EQ(UrlToCachePath(area, 252, "R", url.c_str()), 1);
  EXPECT_EQ(std::strlen(area), 251u);
  EXPECT_EQ(area[252], '#');
}

TEST(PathToUrl, TurnsCacheNamesBackAndTellsLocalFiles) {
  char out[260];
  ASSERT_EQ(PathToUrl(out, sizeof out, "C:\\run\\17\\http#srv#8080\\a\\b.sgm"), 1);
  EXPECT_STREQ(out, "http://srv:8080/a/b.sgm");
  ASSERT_EQ(PathToUrl(out, sizeof out, "R\\ftp#srv\\x.gif"), 1);
  EXPECT_STREQ(out, "ftp://srv/x.gif");
  EXPECT_EQ(PathToUrl(out, sizeof out, "C:\\docs\\manual.sgm"), 0);
  EXPECT_EQ(PathToUrl(out, 10, "R\\http#srv\\long.sgm"), 0);
}

TEST(ResolveUrl, RelativeRootedAndBaselessLinks) {
  struct Case {
    const char* base;
    const char* link;
    const char* result;
  };
  const Case cases[] = {
      {"http://srv/a/b/doc.sgm", "../c/x.sgm", "http://srv/a/c/x.sgm"},
      {"http://srv/a/b/doc.sgm", "/x.sgm", "http://srv/x.sgm"},
      {nullptr, "srv", "http://srv/"},
      {nullptr, "srv/doc", "http://srv/doc"},
      {"http://srv/a/b/doc.sgm", "x.sgm", "http://srv/a/b/x.sgm"},
      {"http://srv/a/b/doc.sgm", "./x.sgm", "http://srv/a/b/x.sgm"},
      {"http://srv/a/b/doc.sgm", "http://other/y.sgm", "http://other/y.sgm"},
      // More "../" than folders stop at the host's root.
      {"http://srv/a/doc.sgm", "../../../../x.sgm", "http://srv/x.sgm"},
      {"http://srv:81/doc.sgm", "../x.sgm", "http://srv:81/x.sgm"},
      // A base without a path.
      {"http://srv", "x.sgm", "http://srv/x.sgm"},
      {"http://srv", "../x.sgm", "http://srv/x.sgm"},
      {"http://srv", "/x.sgm", "http://srv/x.sgm"},
      // A doubled slash in the path returns to the host's root.
      {nullptr, "http://srv/a//b/c.sgm", "http://srv/b/c.sgm"},
      {nullptr, "http://srv/", "http://srv/"},
      {"", "srv", "http://srv/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.base ? c.base : "(none)") + " + " + c.link);
    char link[256];
    std::strcpy(link, c.link);
    ASSERT_TRUE(ResolveUrl(c.base, link, sizeof link));
    EXPECT_STREQ(link, c.result);
  }
  char small[12] = "x.sgm";
  EXPECT_FALSE(ResolveUrl("http://srv/a/doc.sgm", small, sizeof small));
  EXPECT_STREQ(small, "x.sgm");
}

TEST(SplitUrl, DirectAndThroughAProxy) {
  UrlParts p;
  ASSERT_TRUE(SplitUrl("", "http://127.0.0.1:8080/a/b.sgm", &p));
  EXPECT_EQ(p.scheme, "http");
  EXPECT_EQ(p.host, "127.0.0.1");
  EXPECT_EQ(p.port, 8080);
  EXPECT_EQ(p.target, "/a/b.sgm");
  EXPECT_EQ(p.urlHost, "127.0.0.1");
  EXPECT_EQ(p.urlPort, 8080);

  ASSERT_TRUE(SplitUrl("127.0.0.1:3128", "http://srv/a/b.sgm", &p));
  EXPECT_EQ(p.host, "127.0.0.1");
  EXPECT_EQ(p.port, 3128);
  EXPECT_EQ(p.target, "http://srv/a/b.sgm");
  EXPECT_EQ(p.scheme, "http://srv");
  EXPECT_EQ(p.urlHost, "srv");
  EXPECT_EQ(p.urlPort, 0);

  // A proxy without a port keeps the URL's.
  ASSERT_TRUE(SplitUrl("proxyhost", "http://srv:81/x", &p));
  EXPECT_EQ(p.host, "proxyhost");
  EXPECT_EQ(p.port, 81);

  // A proxy host of 3 characters or fewer is no proxy.
  for (const char* unused : {"a:1", "abc:1", "abc"}) {
    SCOPED_TRACE(unused);
    ASSERT_TRUE(SplitUrl(unused, "http://srv/x", &p));
    EXPECT_EQ(p.host, "srv");
    EXPECT_EQ(p.port, 0);
    EXPECT_EQ(p.target, "/x");
  }

  // No path: the target is the root, not the host.
  ASSERT_TRUE(SplitUrl("", "http://srv", &p));
  EXPECT_EQ(p.target, "/");
  EXPECT_EQ(p.host, "srv");

  for (const char* bad : {"", "http://srv/a b", "http://srv/a\r\nX: y", "http://srv:99999/",
                          "http://srv:8x/", "http:///"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(SplitUrl("", bad, &p));
  }
}

TEST(DownloadProxyText, UsesOnlyHostsLongerThanThreeCharacters) {
  EXPECT_EQ(DownloadProxyText("127.0.0.1:3128"), "127.0.0.1:3128");
  EXPECT_EQ(DownloadProxyText("abc:1"), "");
  EXPECT_EQ(DownloadProxyText(""), "");
  EXPECT_EQ(DownloadProxyText("proxyhost"), "proxyhost");
  EXPECT_EQ(DownloadProxyText("proxyhost:0"), "proxyhost");
}

TEST(AuthRealmPrefix, KeepsSchemeHostAndTheirSlash) {
  EXPECT_EQ(AuthRealmPrefix("http://srv:8080/a/b.sgm"), "http://srv:8080/");
  EXPECT_EQ(AuthRealmPrefix("http://srv"), "http://srv");
  EXPECT_EQ(AuthRealmPrefix("srv/a"), "srv/a");
}

}  // namespace
}  // namespace qs::net
