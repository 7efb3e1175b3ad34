// The viewer's download module, in a program that plays the viewer: it owns
// a main window, fills the module's host settings, and answers the module's
// dialogs from a second thread, as a person would. Servers on 127.0.0.1 come
// from run_servers.py; a stand-in plays CvAccel.exe.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "download.h"
#include "gui_harness.h"
#include "net/client.h"
#include "engine.h"
#include "resources/download_ids.h"
#include "viewer.h"

namespace qs::test::gui {
namespace {

// The stalled server holds its answer for 8 s; a download that ends well
// before that was ended by the cancel, not by the server. The margin
// leaves room for a loaded machine.
constexpr DWORD kEndedWell = 5000;


using viewer::DownloadUrl;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string WinPath(const std::string& unix) {
  std::string path = "Z:" + unix;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string UnixPath(const std::string& path) {
  std::string unix = path.substr(2);
  for (char& c : unix) {
    if (c == '\\') c = '/';
  }
  return unix;
}

// Handles this thread's messages for a while (the module's dialogs are
// answered from another thread; posted commands need a loop).
void PumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    Sleep(10);
  }
}

std::atomic<int> g_cancelsSeen{0};

LRESULT CALLBACK FakeAcceleratorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) ++g_cancelsSeen;
  return DefWindowProcA(window, message, wParam, lParam);
}

class Downloads : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(net::NetStartup(), 0); }
  static void TearDownTestSuite() { net::NetCleanup(); }

  void SetUp() override {
    ASSERT_NE(Env("QS_NGINX_PORT"), "") << "run under run_servers.py";
    nginx_ = "http://127.0.0.1:" + Env("QS_NGINX_PORT");
    python_ = "http://127.0.0.1:" + Env("QS_PY_PORT");
    www_ = WinPath(Env("QS_WWW"));
    work_ = CurrentFolder() + "download_work";
    net::DeleteDirTree(work_.c_str());
    CreateDirectoryA(work_.c_str(), nullptr);
    CreateDirectoryA((work_ + "\\tmp").c_str(), nullptr);
    std::string run;
    ASSERT_TRUE(viewer::MakeRunFolder(work_, GetTickCount(), &run));
    ASSERT_EQ(run.back(), '\\');

    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CorvinaTestMain";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    main_ = CreateWindowA("CorvinaTestMain", "Corvina", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                          640, 480, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(main_, nullptr);

    host_.instance = GetModuleHandleA(nullptr);
    host_.mainWindow = main_;
    host_.runFolder = run;
    host_.context = this;
    host_.enableStopCommand = [](void* c, bool on) {
      static_cast<Downloads*>(c)->stopEnabled_ += on ? 1 : -1;
    };
    host_.showStatus = [](void* c, const char* text) { static_cast<Downloads*>(c)->status_ = text; };
    host_.openDocument = [](void* c, const char* path) {
      static_cast<Downloads*>(c)->opened_ = path;
    };
    viewer::SetDownloadHost(host_);
  }

  void TearDown() override {
    if (driver_.joinable()) driver_.join();
    DestroyWindow(main_);
    net::SetNetHooks(nullptr);
  }

  void Serve(const std::string& relative, const std::string& bytes) {
    std::string path = www_ + "\\" + relative;
    ASSERT_TRUE(net::CreateDirPath(path.c_str()));
    ASSERT_TRUE(WriteFileBytes(path, bytes));
  }

  // Answers the next "Password" dialog of this process from another thread:
  // fills the two edits and presses OK, or presses Cancel (user null).
  void AnswerPassword(const char* user, const char* password, const char* screenshot = nullptr) {
    if (driver_.joinable()) driver_.join();
    std::string u = user ? user : "", p = password ? password : "";
    std::string shot = screenshot ? screenshot : "";
    driver_ = std::thread([u, p, shot, cancel = user == nullptr, this] {
      HWND dialog = WaitForWindow(GetCurrentProcessId(), "#32770", "Password");
      if (!dialog) {
        driverFailed_ = true;
        return;
      }
      if (!cancel) {
        SetWindowTextRemote(FindControl(dialog, IDC_PASSWD_USER), u);
        SetWindowTextRemote(FindControl(dialog, IDC_PASSWD_PASSWORD), p);
      }
      if (!shot.empty()) {
        Sleep(300);
        Screenshot(UnixPath(CurrentFolder()) + shot);
      }
      PressButton(dialog, cancel ? IDCANCEL : IDOK);
      WaitForWindowGone(dialog);
    });
  }

  std::string Cached(const std::string& base, const std::string& relative) {
    std::string host = base.substr(7);
    host[host.find(':')] = '#';
    return host_.runFolder + "http#" + host + "\\" + relative;
  }

  std::string NginxLog() { return ReadFileBytes(WinPath(Env("QS_NGINX_LOG"))); }

  std::string nginx_, python_, www_, work_;
  viewer::DownloadHost host_;
  HWND main_ = nullptr;
  std::thread driver_;
  std::atomic<bool> driverFailed_{false};
  int stopEnabled_ = 0;
  std::string status_, opened_;
  char path_[260];
};

TEST_F(Downloads, FetchesOnceAndReportsWhatHappened) {
  Serve("docs\\a.txt", "alpha");
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/docs/a.txt").c_str(), 0), 200);
  EXPECT_EQ(std::string(path_), Cached(nginx_, "docs\\a.txt"));
  EXPECT_EQ(ReadFileBytes(path_), "alpha");
  EXPECT_EQ(status_, "Downloading: " + nginx_ + "/docs/a.txt");
  EXPECT_EQ(stopEnabled_, 0);  // enabled while it ran, disabled after
  EXPECT_TRUE(viewer::DownloadActive());

  // There already: not fetched again.
  std::size_t logged = NginxLog().size();
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/docs/a.txt").c_str(), 0), 0);
  EXPECT_EQ(NginxLog().size(), logged);

  // A 404 page is not kept.
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/docs/missing.txt").c_str(), 0), 404);
  EXPECT_FALSE(FileExists(path_));

  // No answer at all, a cut body, and a URL that names no place in the cache.
  EXPECT_EQ(DownloadUrl(path_, ("http://127.0.0.1:" + Env("QS_CLOSED_PORT") + "/x").c_str(), 0),
            -1);
  EXPECT_FALSE(FileExists(path_));
  EXPECT_EQ(DownloadUrl(path_, (python_ + "/truncate.bin").c_str(), 0), -1);
  EXPECT_FALSE(FileExists(path_));
  EXPECT_EQ(DownloadUrl(path_, (python_ + "/a/../../escape.txt").c_str(), 0), -1);
  EXPECT_STREQ(path_, "");

  // A folder URL is stored as index.html; with no scheme, http is meant.
  Serve("docs\\index.html", "<html/>");
  EXPECT_EQ(DownloadUrl(path_, ("127.0.0.1:" + Env("QS_NGINX_PORT") + "/docs/").c_str(), 0), 200);
  EXPECT_EQ(std::string(path_), Cached(nginx_, "docs\\index.html"));

  // Through the proxy setting; one whose host has 3 characters is no proxy.
  Serve("docs\\p.txt", "proxied");
  host_.proxySetting = "127.0.0.1:" + Env("QS_PROXY_PORT");
  viewer::SetDownloadHost(host_);
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/docs/p.txt").c_str(), 0), 200);
  EXPECT_EQ(ReadFileBytes(path_), "proxied");
  Serve("docs\\q.txt", "direct");
  host_.proxySetting = "abc:1";
  viewer::SetDownloadHost(host_);
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/docs/q.txt").c_str(), 0), 200);
  EXPECT_EQ(ReadFileBytes(path_), "direct");

  // Nothing is left of the staging.
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((host_.runFolder + "_download_*").c_str(), &data);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(Downloads, LoginOnceForTheRealmAndCancelForgetsIt) {
  Serve("auth\\a.txt", "secret a");
  Serve("auth\\b.txt", "secret b");
  Serve("auth2\\c.txt", "secret c");
  Serve("free\\d.txt", "free d");
  Serve("free\\e.txt", "free e");

  AnswerPassword("alice", "pw", "download_password.png");
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/auth/a.txt").c_str(), 0), 200);
  driver_.join();
  ASSERT_FALSE(driverFailed_);
  EXPECT_EQ(ReadFileBytes(path_), "secret a");

  // The realm's next URL asks nothing (a dialog would stall the download
  // until the bound of this test's run).
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/auth/b.txt").c_str(), 0), 200);
  EXPECT_EQ(ReadFileBytes(path_), "secret b");
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/free/d.txt").c_str(), 0), 200);
  std::string log = NginxLog();
  EXPECT_NE(log.find("alice \"GET /auth/b.txt HTTP/1.0\" 200"), std::string::npos) << log;
  EXPECT_NE(log.find("alice \"GET /free/d.txt HTTP/1.0\" 200"), std::string::npos) << log;

  // Another realm below the same host refuses alice: the dialog again, and
  // Cancel gives 401 with no file, and forgets the credentials.
  AnswerPassword(nullptr, nullptr);
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/auth2/c.txt").c_str(), 0), 401);
  driver_.join();
  ASSERT_FALSE(driverFailed_);
  EXPECT_FALSE(FileExists(path_));
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/free/e.txt").c_str(), 0), 200);
  log = NginxLog();
  EXPECT_NE(log.find("- \"GET /free/e.txt HTTP/1.0\" 200"), std::string::npos) << log;

  // A wrong password asks again; the right one then fetches.
  AnswerPassword("bob", "wrong");
  std::thread second;
  std::atomic<bool> secondFailed{false};
  second = std::thread([&] {
    // The second dialog comes once the first is gone.
    driver_.join();
    HWND dialog = WaitForWindow(GetCurrentProcessId(), "#32770", "Password");
    if (!dialog) {
      secondFailed = true;
      return;
    }
    SetWindowTextRemote(FindControl(dialog, IDC_PASSWD_USER), "bob");
    SetWindowTextRemote(FindControl(dialog, IDC_PASSWD_PASSWORD), "pw2");
    PressButton(dialog, IDOK);
    WaitForWindowGone(dialog);
  });
  EXPECT_EQ(DownloadUrl(path_, (nginx_ + "/auth2/c.txt").c_str(), 0), 200);
  second.join();
  EXPECT_FALSE(secondFailed);
  EXPECT_EQ(ReadFileBytes(path_), "secret c");
}

TEST_F(Downloads, StopFlagAndQuitEndAStalledDownload) {
  DWORD start = GetTickCount();
  std::thread stopper([] {
    Sleep(300);
    viewer::StopDownloadFlag() = 1;
  });
  EXPECT_EQ(DownloadUrl(path_, (python_ + "/stall.bin").c_str(), 0), -1);
  stopper.join();
  EXPECT_LT(GetTickCount() - start, kEndedWell);
  EXPECT_FALSE(FileExists(path_));
  EXPECT_EQ(viewer::StopDownloadFlag().load(), 0);

  // A quit message taken by the pump ends the download and stays for the
  // main loop.
  PostQuitMessage(7);
  start = GetTickCount();
  EXPECT_EQ(DownloadUrl(path_, (python_ + "/stall2.bin").c_str(), 0), -1);
  EXPECT_LT(GetTickCount() - start, kEndedWell);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 7u);

  // So does a main window that has gone.
  DestroyWindow(main_);
  start = GetTickCount();
  EXPECT_EQ(DownloadUrl(path_, (python_ + "/stall3.bin").c_str(), 0), -1);
  EXPECT_LT(GetTickCount() - start, kEndedWell);
  EXPECT_FALSE(FileExists(path_));
}

TEST_F(Downloads, StartsTheAcceleratorWithAParameterFile) {
  std::string folder = work_ + "\\program";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((ProgramFolder() + "fake_accelerator.exe").c_str(),
                        (folder + "\\CvAccel.exe").c_str(), FALSE));
  host_.programFolder = folder;
  host_.proxySetting = "";
  viewer::SetDownloadHost(host_);
  std::string record = folder + "\\started.txt";

  // A running accelerator is asked to cancel its job.
  WNDCLASSA wc{};
  wc.lpfnWndProc = FakeAcceleratorProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "FakeAccelerator";
  RegisterClassA(&wc);
  HWND running = CreateWindowA("FakeAccelerator", "CV-Accelerator", WS_POPUP, 0, 0, 10, 10,
                               nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(running, nullptr);
  g_cancelsSeen = 0;

  std::string url = nginx_ + "/docs/doc.sgm";
  ASSERT_EQ(viewer::StartAccelerator(url.c_str(), nullptr, nullptr), 1);
  ASSERT_TRUE(WaitUntil([&] { return FileExists(record); }));
  PumpFor(200);
  EXPECT_EQ(g_cancelsSeen.load(), 1);
  DestroyWindow(running);
  std::string started = ReadFileBytes(record);
  std::size_t cut = started.find("\n--\n");
  ASSERT_NE(cut, std::string::npos);
  std::string line = started.substr(0, cut), text = started.substr(cut + 4);
  // No program name; the parameter file and a blank.
  EXPECT_EQ(line.back(), ' ');
  EXPECT_EQ(line.find("CV"), line.rfind('\\') + 1) << line;
  EXPECT_EQ(text, "PROXY \r\nSAVEDIR " + host_.runFolder + "\r\nURL " + url + "\r\n");
  EXPECT_FALSE(FileExists(line.substr(0, line.size() - 1)));

  // With an entity list: four lines.
  DeleteFileA(record.c_str());
  host_.entityListPath = work_ + "\\entities.txt";
  host_.proxySetting = "127.0.0.1:3128";
  viewer::SetDownloadHost(host_);
  ASSERT_EQ(viewer::StartAccelerator(url.c_str(), nullptr, nullptr), 1);
  ASSERT_TRUE(WaitUntil([&] { return FileExists(record); }));
  started = ReadFileBytes(record);
  EXPECT_EQ(started.substr(started.find("\n--\n") + 4),
            "PROXY 127.0.0.1:3128\r\nSAVEDIR " + host_.runFolder + "\r\nURL " + url +
                "\r\nTMPFILE " + host_.entityListPath + "\r\n");

  // A temporary folder with a blank: the program path goes first, quoted.
  DeleteFileA(record.c_str());
  std::string blank = work_ + "\\with blank";
  CreateDirectoryA(blank.c_str(), nullptr);
  char saved[MAX_PATH] = "";
  GetEnvironmentVariableA("TMP", saved, sizeof saved);
  SetEnvironmentVariableA("TMP", blank.c_str());
  int started3 = viewer::StartAccelerator(url.c_str(), nullptr, nullptr);
  SetEnvironmentVariableA("TMP", saved[0] ? saved : nullptr);
  ASSERT_EQ(started3, 1);
  ASSERT_TRUE(WaitUntil([&] { return FileExists(record); }));
  started = ReadFileBytes(record);
  EXPECT_EQ(started.rfind("\"" + folder + "\\CvAccel.exe\" \"" + blank + "\\CV", 0), 0u)
      << started;
  EXPECT_NE(started.find("\r\nURL " + url + "\r\n"), std::string::npos);

  // Values that would break the file's lines start nothing.
  DeleteFileA(record.c_str());
  EXPECT_EQ(viewer::StartAccelerator((url + "#part").c_str(), nullptr, nullptr), 0);
  EXPECT_EQ(viewer::StartAccelerator((url + "\r\nTMPFILE x").c_str(), nullptr, nullptr), 0);
  host_.entityListPath = std::string(5000, 'x');
  viewer::SetDownloadHost(host_);
  EXPECT_EQ(viewer::StartAccelerator(url.c_str(), nullptr, nullptr), 0);
  Sleep(300);
  EXPECT_FALSE(FileExists(record));
}

TEST_F(Downloads, OpenUrlDialogOffersTheHistoryAndOpensTheFile) {
  Serve("docs\\h.txt", "from history");
  host_.urlHistory = {"http#127.0.0.1#" + Env("QS_NGINX_PORT") + "\\docs\\h.txt",
                      "http#other\\x.sgm"};
  viewer::SetDownloadHost(host_);
  std::string shown;
  driver_ = std::thread([&] {
    HWND dialog = WaitForWindow(GetCurrentProcessId(), "#32770", "Open URL");
    if (!dialog) {
      driverFailed_ = true;
      return;
    }
    shown = WindowText(FindControl(dialog, IDC_OPENURL_COMBO));
    PressButton(dialog, IDOK);
  });
  char current[260];
  EXPECT_EQ(viewer::RunOpenUrlDialog(main_, current), 200);
  driver_.join();
  ASSERT_FALSE(driverFailed_);
  EXPECT_EQ(shown, nginx_ + "/docs/h.txt");
  EXPECT_EQ(opened_, Cached(nginx_, "docs\\h.txt"));
  EXPECT_EQ(ReadFileBytes(opened_), "from history");

  // A failed download opens nothing.
  opened_.clear();
  host_.urlHistory = {"http#127.0.0.1#" + Env("QS_NGINX_PORT") + "\\docs\\none.txt"};
  viewer::SetDownloadHost(host_);
  driver_ = std::thread([&] {
    HWND dialog = WaitForWindow(GetCurrentProcessId(), "#32770", "Open URL");
    if (dialog) PressButton(dialog, IDOK);
  });
  EXPECT_EQ(viewer::RunOpenUrlDialog(main_, current), 404);
  driver_.join();
  EXPECT_EQ(opened_, "");
}

// The engine asks for an entity of a downloaded document by its cache path
// (event 3): the viewer fetches it and answers the cache path, which the
// engine frees, or 0 so that the engine tries itself.
TEST_F(Downloads, EntitiesOfADownloadedDocumentComeThroughTheCache) {
  Serve("docs\\part.ent", "<!-- part -->");
  std::string cache = Cached(nginx_, "docs\\part.ent");
  auto resolve = [](const std::string& path, std::int32_t* flags) {
    return viewer::ResolveSystemId(0, 3, reinterpret_cast<QsWord>(path.c_str()),
                                   reinterpret_cast<QsWord>(flags), 0);
  };
  std::int32_t flags = 0;
  std::intptr_t answer = resolve(cache, &flags);
  ASSERT_NE(answer, 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(answer), cache.c_str());
  EXPECT_EQ(flags, 6);
  EXPECT_EQ(ReadFileBytes(cache), "<!-- part -->");
  viewer::FreeHostMemory(0, 48, answer, 0, 0);

  // Fetched before: answered without a request.
  std::size_t logged = NginxLog().size();
  flags = 0;
  answer = resolve(cache, &flags);
  ASSERT_NE(answer, 0);
  EXPECT_EQ(flags, 6);
  EXPECT_EQ(NginxLog().size(), logged);
  viewer::FreeHostMemory(0, 48, answer, 0, 0);

  // Not on the server: the engine gets 0 and the flags stay.
  flags = 0;
  EXPECT_EQ(resolve(Cached(nginx_, "docs\\missing.ent"), &flags), 0);
  EXPECT_EQ(flags, 0);
  EXPECT_FALSE(FileExists(Cached(nginx_, "docs\\missing.ent")));
}

}  // namespace
}  // namespace qs::test::gui
