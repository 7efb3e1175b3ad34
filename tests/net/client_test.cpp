// The HTTP client against real servers on 127.0.0.1 (started by
// run_servers.py): nginx for files, authentication and redirects, tinyproxy
// as a proxy, and a Python server for exact request bytes, cut bodies and
// stalls.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "net/client.h"
#include "net/url.h"

namespace qs::net {
namespace {

// The stalled server holds its answer for 8 s; a download that ends well
// before that was ended by the cancel, not by the server. The margin
// leaves room for a loaded machine.
constexpr DWORD kEndedWell = 5000;


std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// "/a/b" as "Z:\a\b".
std::string WinPath(const std::string& unix) {
  std::string path = "Z:" + unix;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path.c_str(), &bytes);
  return bytes;
}

class Client : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(NetStartup(), 0); }
  static void TearDownTestSuite() { NetCleanup(); }

  void SetUp() override {
    ASSERT_NE(Env("QS_NGINX_PORT"), "") << "run under run_servers.py";
    nginx_ = "http://127.0.0.1:" + Env("QS_NGINX_PORT");
    python_ = "http://127.0.0.1:" + Env("QS_PY_PORT");
    www_ = WinPath(Env("QS_WWW"));
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof folder, folder);
    root_ = std::string(folder) + "\\client_cache";
    DeleteDirTree(root_.c_str());
    CreateDirectoryA(root_.c_str(), nullptr);
    request_ = HttpCreateRequest();
    ASSERT_NE(request_, nullptr);
  }
  void TearDown() override {
    HttpFreeRequest(request_);
    SetNetHooks(nullptr);
  }

  void Serve(const std::string& relative, const std::string& bytes) {
    std::string path = www_ + "\\" + relative;
    ASSERT_TRUE(CreateDirPath(path.c_str()));
    ASSERT_EQ(WriteWholeFile(path.c_str(), bytes.data(), bytes.size()),
              static_cast<long>(bytes.size()));
  }

  int Download(const std::string& url, const char* proxy = "") {
    path_[0] = '\0';
    return HttpDownload(url.c_str(), proxy, root_.c_str(), path_, sizeof path_, request_);
  }

  // What the Python server has been asked so far, one request line a line.
  std::string PythonLog() {
    HttpRequest* r = HttpCreateRequest();
    EXPECT_EQ(HttpGet((python_ + "/log").c_str(), "", nullptr, "GET", r), 200);
    std::string log = r->body;
    HttpFreeRequest(r);
    return log;
  }

  std::string nginx_, python_, www_, root_;
  HttpRequest* request_ = nullptr;
  char path_[1024];
};

TEST_F(Client, TextAndBinaryFilesArriveByteIdentical) {
  std::string text = "<!DOCTYPE doc>\r\n<doc>manual</doc>\n";
  std::string binary(5000, '\0');
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7 + 3);
  binary[0] = '\0';
  binary[1] = '\r';
  Serve("files\\doc.txt", text);
  Serve("files\\pic.bin", binary);

  EXPECT_EQ(Download(nginx_ + "/files/doc.txt"), 200);
  EXPECT_EQ(std::string(path_),
            root_ + "\\http#127.0.0.1#" + Env("QS_NGINX_PORT") + "\\files\\doc.txt");
  EXPECT_EQ(ReadAll(path_), text);
  EXPECT_EQ(request_->contentType, "text/plain");
  EXPECT_EQ(request_->body, text);  // a text body is kept
  EXPECT_EQ(request_->bodyLength, static_cast<long>(text.size()));

  EXPECT_EQ(Download(nginx_ + "/files/pic.bin"), 200);
  EXPECT_EQ(ReadAll(path_), binary);
  EXPECT_TRUE(request_->body.empty());
}

TEST_F(Client, StatusesAreReturnedAndFailuresLeaveNoFile) {
  Serve("dir\\index.html", "<html>index</html>");
  EXPECT_EQ(Download(nginx_ + "/missing.sgm"), 404);
  // A 404 page from nginx has a body; the caller deletes it (no content here
  // is the client's business), but an empty one is never left.
  EXPECT_EQ(Download(python_ + "/nothing"), 404);
  EXPECT_FALSE(FileExists(path_));

  EXPECT_EQ(Download(nginx_ + "/dir/"), 200);
  EXPECT_EQ(std::string(path_), root_ + "\\http#127.0.0.1#" + Env("QS_NGINX_PORT") +
                                    "\\dir\\index.html");
  EXPECT_EQ(ReadAll(path_), "<html>index</html>");

  // A redirect is a status, not followed.
  DeleteDirTree(root_.c_str());
  EXPECT_EQ(Download(nginx_ + "/dir"), 301);
  EXPECT_NE(request_->headerText.find("Location:"), std::string::npos);

  // A file where the host's folder belongs: nothing can be stored, nothing
  // is asked.
  std::string clash = root_ + "\\http#127.0.0.1#" + Env("QS_PY_PORT");
  ASSERT_EQ(WriteWholeFile(clash.c_str(), "x", 1), 1);
  EXPECT_EQ(Download(python_ + "/echo/clash"), 0);
  EXPECT_EQ(PythonLog().find("clash"), std::string::npos);
  DeleteFileA(clash.c_str());

  // Nothing listens: no status at all.
  EXPECT_EQ(Download("http://127.0.0.1:" + Env("QS_CLOSED_PORT") + "/x.sgm"), 0);
  EXPECT_FALSE(FileExists(path_));
}

TEST_F(Client, RequestBytesAreExact) {
  std::string port = Env("QS_PY_PORT");
  EXPECT_EQ(HttpGet((python_ + "/echo").c_str(), "", nullptr, "GET", request_), 200);
  EXPECT_EQ(request_->body, "GET /echo HTTP/1.0\r\nUser-Agent: \r\nHost: 127.0.0.1:" + port +
                                "\r\nAccept: */*\r\n\r\n");

  request_->userAgent = "corvina 1.0";
  request_->credentials = "alice:pw";
  EXPECT_EQ(HttpGet((python_ + "/cookie").c_str(), "", nullptr, "GET", request_), 200);
  EXPECT_EQ(request_->cookie, "session=42");
  EXPECT_EQ(HttpGet((python_ + "/echo/2").c_str(), "", nullptr, "GET", request_), 200);
  EXPECT_EQ(request_->body, "GET /echo/2 HTTP/1.0\r\nUser-Agent: corvina 1.0\r\nHost: 127.0.0.1:" +
                                port + "\r\nAccept: */*\r\nAuthorization: Basic YWxpY2U6cHc=\r\n"
                                       "Cookie: session=42\r\n\r\n");
  // The echo set no cookie: the next request sends none.
  EXPECT_EQ(HttpGet((python_ + "/echo/3").c_str(), "", nullptr, "GET", request_), 200);
  EXPECT_EQ(request_->body.find("Cookie"), std::string::npos);
}

TEST_F(Client, OddAndCutAnswers) {
  EXPECT_EQ(Download(python_ + "/lfonly.txt"), 200);
  EXPECT_EQ(ReadAll(path_), "lf body");
  EXPECT_EQ(request_->bodyLength, -1);

  // Fewer bytes than Content-Length: no status, no file.
  EXPECT_EQ(Download(python_ + "/truncate.bin"), 0);
  EXPECT_FALSE(FileExists(path_));
  // A header over 64 KiB is refused.
  EXPECT_EQ(Download(python_ + "/bigheader.bin"), 0);
  EXPECT_FALSE(FileExists(path_));
  // The server closes before the header ends.
  EXPECT_EQ(Download(python_ + "/noheaderend.bin"), 0);
  EXPECT_FALSE(FileExists(path_));
}

TEST_F(Client, CancelAndStopEndAStalledRead) {
  // A cancel from another thread, as the accelerator's dialog does.
  DWORD start = GetTickCount();
  std::thread canceller([this] {
    Sleep(400);
    HttpCancel(request_);
  });
  EXPECT_EQ(Download(python_ + "/stall.bin"), 0);
  canceller.join();
  EXPECT_LT(GetTickCount() - start, kEndedWell);
  EXPECT_FALSE(FileExists(path_));
  // A cancelled request does nothing more.
  EXPECT_EQ(Download(nginx_ + "/dir/"), 0);

  // The viewer's stop flag, set while the read waits.
  HttpFreeRequest(request_);
  request_ = HttpCreateRequest();
  std::atomic<int> stop{0};
  NetHooks hooks;
  hooks.stopFlag = &stop;
  SetNetHooks(&hooks);
  start = GetTickCount();
  std::thread stopper([&stop] {
    Sleep(400);
    stop = 1;
  });
  EXPECT_EQ(Download(python_ + "/stall.bin"), 0);
  stopper.join();
  EXPECT_LT(GetTickCount() - start, kEndedWell);
  EXPECT_FALSE(FileExists(path_));
  EXPECT_EQ(stop.load(), 0);  // the reader cleared it
}

TEST_F(Client, PathsThatWouldLeaveTheCacheAreNeverRequested) {
  const char* const paths[] = {"/../escape.txt", "/a/../../escape.txt", "/a\\..\\..\\escape.txt",
                               "/nul", "/con.txt", "/a./b"};
  for (const char* p : paths) {
    SCOPED_TRACE(p);
    EXPECT_EQ(Download(python_ + p), 0);
    EXPECT_STREQ(path_, "");
  }
  EXPECT_EQ(PythonLog().find("escape"), std::string::npos);
  // Nothing was written beside the cache root.
  char folder[MAX_PATH];
  GetCurrentDirectoryA(sizeof folder, folder);
  EXPECT_FALSE(FileExists((std::string(folder) + "\\escape.txt").c_str()));
  // A URL too long for the caller's buffer fetches nothing either.
  char small[40];
  EXPECT_EQ(HttpDownload((nginx_ + "/dir/").c_str(), "", root_.c_str(), small, sizeof small,
                         request_),
            0);
}

TEST_F(Client, ThroughTinyproxy) {
  std::string bytes(3000, 'p');
  Serve("proxied\\x.bin", bytes);
  std::string proxy = "127.0.0.1:" + Env("QS_PROXY_PORT");
  EXPECT_EQ(Download(nginx_ + "/proxied/x.bin", proxy.c_str()), 200);
  EXPECT_EQ(ReadAll(path_), bytes);
  // The proxy tells what it carried.
  EXPECT_EQ(HttpGet((python_ + "/echo/p").c_str(), proxy.c_str(), nullptr, "GET", request_), 200);
  EXPECT_NE(request_->body.find("tinyproxy"), std::string::npos) << request_->body;
  EXPECT_NE(request_->body.find("Host: 127.0.0.1:" + Env("QS_PY_PORT")), std::string::npos);
}

}  // namespace
}  // namespace qs::net
