// CvAccel driven from outside, started as the viewer starts it (a parameter
// file and no program name), against nginx and a Python server on 127.0.0.1
// (run_servers.py): what lands in the run folder, its progress dialog, its
// login dialog and a cancel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gui_harness.h"
#include "net/client.h"
#include "resources/resource.h"

namespace qs::test::gui {
namespace net = qs::net;
namespace {

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

void DeleteTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(folder + "\\" + name);
      } else {
        DeleteFileA((folder + "\\" + name).c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

void MakePath(const std::string& path) {
  for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
}

// Every file below the folder, as paths relative to it.
void ListFiles(const std::string& folder, const std::string& prefix,
               std::vector<std::string>* files) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(folder + "\\" + name, prefix + name + "\\", files);
    } else {
      files->push_back(prefix + name);
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

class Accelerator : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(net::NetStartup(), 0); }
  static void TearDownTestSuite() { net::NetCleanup(); }

  void SetUp() override {
    ASSERT_NE(Env("QS_NGINX_PORT"), "") << "run under run_servers.py";
    nginx_ = "http://127.0.0.1:" + Env("QS_NGINX_PORT");
    python_ = "http://127.0.0.1:" + Env("QS_PY_PORT");
    www_ = WinPath(Env("QS_WWW"));
    work_ = CurrentFolder() + "accel_work";
    DeleteTree(work_);
    CreateDirectoryA(work_.c_str(), nullptr);
    saveDir_ = work_ + "\\run\\";
    CreateDirectoryA(saveDir_.c_str(), nullptr);
  }

  void Serve(const std::string& relative, const std::string& bytes) {
    std::string path = www_ + "\\" + relative;
    MakePath(path);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
  }

  // Writes the entity list and the parameter file as the viewer does and
  // starts the accelerator as the viewer does.
  void Start(const std::string& documentUrl, const std::string& list,
             const std::string& credentials = "") {
    list_ = work_ + "\\entities.txt";
    ASSERT_TRUE(WriteFileBytes(list_, list));
    parameters_ = work_ + "\\CV1F.tmp";
    ASSERT_TRUE(WriteFileBytes(parameters_, "PROXY \r\nSAVEDIR " + saveDir_ + "\r\nURL " +
                                                documentUrl + "\r\nTMPFILE " + list_ + "\r\n"));
    ASSERT_TRUE(program_.Start(ProgramFolder() + "CvAccel.exe", parameters_ + " " + credentials,
                               SW_SHOWNA));
  }

  void ExpectExit() {
    DWORD code = 99;
    ASSERT_TRUE(program_.WaitForExit(&code, 60000))
        << "the accelerator did not end; its windows:\n" << DescribeWindows(program_.id());
    EXPECT_EQ(code, 0u);
  }

  std::string Cached(const std::string& base, const std::string& relative) {
    std::string host = base.substr(7);
    host[host.find(':')] = '#';
    return saveDir_ + "http#" + host + "\\" + relative;
  }

  std::vector<std::string> SaveDirFiles() {
    std::vector<std::string> files;
    ListFiles(saveDir_.substr(0, saveDir_.size() - 1), "", &files);
    return files;
  }

  // Nothing of the job is left: no staging folder, no parameter file.
  void ExpectCleanedUp() {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((saveDir_ + "_docpull_*").c_str(), &data);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "a staging folder was left";
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    EXPECT_FALSE(FileExists(parameters_));
  }

  std::string NginxLog() { return ReadFileBytes(WinPath(Env("QS_NGINX_LOG"))); }

  std::string nginx_, python_, www_, work_, saveDir_, list_, parameters_;
  Process program_;
};

TEST_F(Accelerator, FetchesTheDocumentsEntitiesIntoTheRunFolder) {
  std::string binary(5000, '\0');
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 13 + 1);
  Serve("docs\\doc.sgm", "<doc>&a;&b;&c;</doc>");
  Serve("docs\\ent\\sub\\a.sgm", "<!-- entity a -->\r\n<p>text</p>\r\n");
  Serve("docs\\ent\\b.bin", binary);
  Serve("docs\\ent\\c\\index.html", "<html>c</html>");
  Serve("docs\\foreign.gif", "GIF89a");
  Start(nginx_ + "/docs/doc.sgm",
        "<url>" + nginx_ + "/docs/doc.sgm</url>\r\n"
        "<ent>ent/sub/a.sgm<file>doc.sgm\r\n"
        "<ent>ent/b.bin<file>doc.sgm\r\n"
        "<ent>foreign.gif<file>other.sgm\r\n"
        "<ent>ent/c/<file>doc.sgm\r\n");
  ExpectExit();
  EXPECT_EQ(ReadFileBytes(Cached(nginx_, "docs\\ent\\sub\\a.sgm")),
            "<!-- entity a -->\r\n<p>text</p>\r\n");
  EXPECT_EQ(ReadFileBytes(Cached(nginx_, "docs\\ent\\b.bin")), binary);
  EXPECT_EQ(ReadFileBytes(Cached(nginx_, "docs\\ent\\c\\index.html")), "<html>c</html>");
  EXPECT_EQ(SaveDirFiles().size(), 3u);
  std::string log = NginxLog();
  EXPECT_EQ(log.find("foreign"), std::string::npos) << log;
  EXPECT_NE(log.find("\"GET /docs/ent/b.bin HTTP/1.0\" 200"), std::string::npos) << log;
  ExpectCleanedUp();

  // A second run finds the files there and fetches nothing.
  std::size_t before = NginxLog().size();
  Start(nginx_ + "/docs/doc.sgm", ReadFileBytes(list_));
  ExpectExit();
  EXPECT_EQ(NginxLog().size(), before);
}

TEST_F(Accelerator, ProgressDialogSitsBottomLeftAndCancelEndsTheJob) {
  Serve("slow\\one.txt", "first file");
  Serve("slow\\two.bin", std::string(6000, 't'));
  Serve("slow\\three.txt", "third file");
  Start(nginx_ + "/slow/doc.sgm",
        "<url>" + nginx_ + "/slow/doc.sgm</url>\n<ent>one.txt<file>doc.sgm\n"
        "<ent>two.bin<file>doc.sgm\n<ent>three.txt<file>doc.sgm\n");
  HWND dialog = WaitForWindow(program_.id(), "#32770", "CV-Accelerator");
  ASSERT_NE(dialog, nullptr) << DescribeWindows(program_.id());
  HWND count = FindControl(dialog, IDC_FILE_COUNT);
  ASSERT_NE(count, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return WindowText(count) == "Now Downloading File 2 of 3"; }))
      << WindowText(count);
  // The second file is under way, slowly: its bytes show.
  HWND status = FindControl(dialog, IDC_STATUS);
  EXPECT_TRUE(WaitUntil([&] { return WindowText(status).find("/6000 bytes") != std::string::npos; },
                        5000))
      << WindowText(status);
  EXPECT_EQ(WindowText(FindControl(dialog, IDC_HOST)), nginx_ + "/");
  std::string url = nginx_ + "/slow/two.bin";
  EXPECT_EQ(WindowText(FindControl(dialog, IDC_FILE)), url.substr(url.size() > 40 ? url.size() - 40 : 0));

  RECT desktop, rect;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(dialog, &rect);
  EXPECT_EQ(rect.left, desktop.left);
  EXPECT_LE(rect.bottom, desktop.bottom);
  EXPECT_GE(rect.bottom, desktop.bottom - 80);  // at most a taskbar's height above

  Sleep(500);  // let the desktop draw it
  Screenshot(UnixPath(CurrentFolder()) + "accelerator_progress.png");

  PostCommand(dialog, IDCANCEL);
  ExpectExit();
  EXPECT_EQ(ReadFileBytes(Cached(nginx_, "slow\\one.txt")), "first file");
  EXPECT_FALSE(FileExists(Cached(nginx_, "slow\\two.bin")));
  EXPECT_FALSE(FileExists(Cached(nginx_, "slow\\three.txt")));
  EXPECT_EQ(SaveDirFiles(), std::vector<std::string>{"http#127.0.0.1#" + Env("QS_NGINX_PORT") +
                                                     "\\slow\\one.txt"});
  ExpectCleanedUp();
}

TEST_F(Accelerator, LoginDialogFetchesTheRealm) {
  Serve("auth\\x.txt", "secret x");
  Serve("auth\\y.txt", "secret y");
  const std::string list = "<url>" + nginx_ + "/auth/doc.sgm</url>\n<ent>x.txt<file>doc.sgm\n"
                           "<ent>y.txt<file>doc.sgm\n";
  Start(nginx_ + "/auth/doc.sgm", list);
  HWND login = WaitForWindow(program_.id(), "#32770", "User Information");
  ASSERT_NE(login, nullptr) << DescribeWindows(program_.id());
  EXPECT_EQ(WindowText(FindControl(login, IDC_HOST)), nginx_ + "/auth/");
  // At the progress dialog's bottom-left corner.
  HWND progress = WaitForWindow(program_.id(), "#32770", "CV-Accelerator");
  ASSERT_NE(progress, nullptr);
  RECT p, l;
  GetWindowRect(progress, &p);
  GetWindowRect(login, &l);
  EXPECT_EQ(l.left, p.left);
  EXPECT_EQ(l.bottom, p.bottom);
  ASSERT_TRUE(SetWindowTextRemote(FindControl(login, IDC_USER), "alice"));
  ASSERT_TRUE(SetWindowTextRemote(FindControl(login, IDC_PASSWORD), "pw"));
  ASSERT_TRUE(PressButton(login, IDOK));
  ExpectExit();  // the second file of the realm asked nothing
  EXPECT_EQ(ReadFileBytes(Cached(nginx_, "auth\\x.txt")), "secret x");
  EXPECT_EQ(ReadFileBytes(Cached(nginx_, "auth\\y.txt")), "secret y");
  EXPECT_NE(NginxLog().find("alice \"GET /auth/y.txt HTTP/1.0\" 200"), std::string::npos)
      << NginxLog();
  ExpectCleanedUp();

  // Credentials on the command line ask nothing at all.
  DeleteTree(saveDir_.substr(0, saveDir_.size() - 1));
  CreateDirectoryA(saveDir_.c_str(), nullptr);
  Start(nginx_ + "/auth/doc.sgm", list, "alice:pw");
  ExpectExit();
  EXPECT_EQ(ReadFileBytes(Cached(nginx_, "auth\\x.txt")), "secret x");
  EXPECT_EQ(ReadFileBytes(Cached(nginx_, "auth\\y.txt")), "secret y");

  // Cancelling the login ends the job with nothing fetched.
  DeleteTree(saveDir_.substr(0, saveDir_.size() - 1));
  CreateDirectoryA(saveDir_.c_str(), nullptr);
  Start(nginx_ + "/auth/doc.sgm", list);
  login = WaitForWindow(program_.id(), "#32770", "User Information");
  ASSERT_NE(login, nullptr);
  ASSERT_TRUE(PressButton(login, IDCANCEL));
  ExpectExit();
  EXPECT_TRUE(SaveDirFiles().empty());
  ExpectCleanedUp();

  // A cancel of the job (as a viewer starting another accelerator posts it)
  // while the login dialog waits ends the program too.
  Start(nginx_ + "/auth/doc.sgm", list);
  login = WaitForWindow(program_.id(), "#32770", "User Information");
  ASSERT_NE(login, nullptr);
  progress = WaitForWindow(program_.id(), "#32770", "CV-Accelerator");
  ASSERT_NE(progress, nullptr);
  PostCommand(progress, IDCANCEL);
  ExpectExit();
  EXPECT_TRUE(SaveDirFiles().empty());
  ExpectCleanedUp();
}

TEST_F(Accelerator, LinksOutsideTheRunFolderAreNeverFetched) {
  Start(python_ + "/docs/doc.sgm",
        "<url>" + python_ + "/docs/doc.sgm</url>\n"
        "<ent>a/../../../escape.txt<file>doc.sgm\n"
        "<ent>" + python_ + "/../escape.txt<file>doc.sgm\n"
        "<ent>a\\..\\..\\..\\escape.txt<file>doc.sgm\n"
        "<ent>nul<file>doc.sgm\n");
  ExpectExit();
  std::vector<std::string> files;
  ListFiles(work_, "", &files);
  for (const std::string& f : files) EXPECT_EQ(f.find("escape"), std::string::npos) << f;
  // The server would have answered them: it was never asked.
  net::HttpRequest* request = net::HttpCreateRequest();
  ASSERT_EQ(net::HttpGet((python_ + "/log").c_str(), "", nullptr, "GET", request), 200);
  EXPECT_EQ(request->body.find("escape"), std::string::npos) << request->body;
  EXPECT_EQ(request->body.find("nul"), std::string::npos) << request->body;
  net::HttpFreeRequest(request);
  ExpectCleanedUp();
}

TEST_F(Accelerator, WithoutAParameterFileSaysSo) {
  ASSERT_TRUE(program_.Start(ProgramFolder() + "CvAccel.exe", "", SW_SHOWNA));
  ASSERT_TRUE(AnswerMessageBox(program_.id(), "DOCPULL", IDOK));
  ExpectExit();
}

}  // namespace
}  // namespace qs::test::gui
