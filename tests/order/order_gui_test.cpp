// CorvaOrder driven from outside, as the viewer starts it and a person uses
// it: through its windows, its command ids and the common file dialogs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gui_harness.h"
#include "resources/resource.h"

namespace qs::test::gui {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string Exchange(const std::vector<std::string>& fields) {
  std::string record;
  for (const std::string& f : fields) record += f + '\x02';
  return record + '\x03';
}

std::string SaveLine(const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& f : fields) line += f + '*';
  return line + "\r\n";
}

// "Z:\a\b\" as the Unix path "/a/b/".
std::string UnixPath(const std::string& path) {
  if (path.size() < 2 || (path[1] != ':' || (path[0] != 'Z' && path[0] != 'z'))) return path;
  std::string unix = path.substr(2);
  for (char& c : unix) {
    if (c == '\\') c = '/';
  }
  return unix;
}

std::string WithoutSlash(std::string folder) {
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

// The texts of a dialog's static controls, joined: what a message box says.
std::string StaticTexts(HWND dialog) {
  std::string texts;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM param) -> BOOL {
        char cls[32] = "";
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0) *reinterpret_cast<std::string*>(param) += WindowText(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

class OrderProgram : public testing::Test {
 protected:
  void SetUp() override {
    work_ = CurrentFolder() + "gui_work\\";
    CreateDirectoryA(work_.c_str(), nullptr);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((work_ + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          DeleteFileA((work_ + data.cFileName).c_str());
      } while (FindNextFileA(find, &data));
      FindClose(find);
    }
    ini_ = ProgramFolder() + "corvaoe.ini";
    DeleteFileA(ini_.c_str());
  }

  // Starts the program the way the viewer does: hidden, with the exchange
  // file's path as the whole command line.
  void Start(const std::string& commandLine) {
    ASSERT_TRUE(program_.Start(ProgramFolder() + "corvaoe.exe", commandLine, SW_HIDE));
    main_ = WaitForWindow(program_.id(), "MAIN_W_CLASS", "CorvaOrder 1.0");
    ASSERT_NE(main_, nullptr) << "the main window did not appear";
    list_ = FindControl(main_, IDC_LIST, "SysListView32");
    ASSERT_NE(list_, nullptr);
  }

  void StartWithExchange(const std::string& bytes) {
    std::string por = work_ + "corvaorder.por";
    ASSERT_TRUE(WriteFileBytes(por, bytes));
    Start(por);
  }

  Rows ListRows() { return ListViewRows(list_, 6); }

  bool WaitForCount(int count) {
    return WaitUntil([&] { return ListViewCount(list_) == count; });
  }

  // Runs a command that opens a file dialog with this title and fills it.
  void ChooseFile(int command, const char* title, const std::string& path) {
    PostCommand(main_, command);
    HWND dialog = WaitForFileDialog(program_.id(), title);
    ASSERT_NE(dialog, nullptr) << "no \"" << title << "\" dialog; the program's windows:\n"
                               << DescribeWindows(program_.id());
    ASSERT_TRUE(FillFileDialog(dialog, path));
  }

  // Waits until the program is back in its own message loop, so that all it
  // did for earlier commands is over. A file dialog that has gone proves
  // nothing: the program still has to return from it and write its file.
  // Posted commands are taken in order, by the main loop only once the
  // earlier ones are done, so the version box showing is that proof.
  void WaitUntilIdle() {
    PostCommand(main_, IDM_ABOUT);
    HWND box = WaitForWindow(program_.id(), "#32770", "Version");
    ASSERT_NE(box, nullptr) << "the program did not come back to its main loop; its windows:\n"
                            << DescribeWindows(program_.id());
    ASSERT_TRUE(PressButton(box, IDOK));
    ASSERT_TRUE(WaitForWindowGone(box));
  }

  // A failed write is told to the user with the file's name; the box is
  // closed.
  void ExpectWriteFailureNamed(const std::string& name) {
    HWND box = WaitForWindow(program_.id(), "#32770", "CorvaOrder 1.0");
    ASSERT_NE(box, nullptr) << "no message about the failed write; the program's windows:\n"
                            << DescribeWindows(program_.id());
    std::string text;
    EXPECT_TRUE(WaitUntil([&] { return (text = StaticTexts(box)).find(name) != std::string::npos; }))
        << text;
    ASSERT_TRUE(PressButton(box, IDOK));
    ASSERT_TRUE(WaitForWindowGone(box));
  }

  void ExpectExit() {
    DWORD code = 99;
    ASSERT_TRUE(program_.WaitForExit(&code)) << "the program did not end";
    EXPECT_EQ(code, 0u);
  }

  std::string IniPath() {
    char value[512] = "";
    GetPrivateProfileStringA("FILE", "PATH", "<none>", value, sizeof value, ini_.c_str());
    return value;
  }

  Process program_;
  HWND main_ = nullptr;
  HWND list_ = nullptr;
  std::string work_;
  std::string ini_;
};

const std::vector<std::string> kBolt = {"MX-100", "11", "P-2231", "Bolt M6", "1", ""};
const std::vector<std::string> kWasher = {"MX-100", "12", "P-9", "Washer", "1", ""};
const std::vector<std::string> kLong = {"MX-100-EXTENDED-MODEL", "123456789012", "P-0",
                                        "Spec", "1", "", "seventh"};

TEST_F(OrderProgram, StartedHiddenShowsTheExchangeItemsAndProcessWritesTheOrder) {
  StartWithExchange(Exchange(kBolt) + Exchange(kWasher) + Exchange(kLong) + "MX\x02unended");
  EXPECT_TRUE(IsWindowVisible(main_));
  // The unended last record is dropped; the third is cut to its fields.
  ASSERT_TRUE(WaitForCount(3));
  EXPECT_EQ(ListRows(), (Rows{kBolt, kWasher,
                              {"MX-100-EXTENDED", "12345678901", "P-0", "Spec", "1", "seventh"}}));

  // For people to look at; not compared.
  Sleep(300);
  Screenshot(UnixPath(CurrentFolder()) + "order_main_window.png");

  ChooseFile(IDM_PROCESS, "Save File", work_ + "first.ord");
  ExpectExit();
  EXPECT_EQ(ReadFileBytes(work_ + "first.ord"),
            SaveLine(kBolt) + SaveLine(kWasher) +
                SaveLine({"MX-100-EXTENDED", "12345678901", "P-0", "Spec", "1", "seventh"}));
  EXPECT_EQ(IniPath(), WithoutSlash(work_));
}

TEST_F(OrderProgram, MissingOrStrangeExchangeFilesStartTheProgram) {
  struct Case {
    const char* name;
    const char* bytes;  // null: no file
    std::size_t length;
    int rows;
  };
  const char junk[] = "\x00\xff\x02\x02\x02\x02\x02\x02\x02\x02\x02\x02\x02\x02\r\n*\x03\x03";
  const Case cases[] = {
      {"missing file", nullptr, 0, 0},
      {"empty file", "", 0, 0},
      {"binary bytes", junk, sizeof junk - 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string por = work_ + "strange.por";
    DeleteFileA(por.c_str());
    if (c.bytes) ASSERT_TRUE(WriteFileBytes(por, std::string(c.bytes, c.length)));
    Start(por);
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_EQ(ListViewCount(list_), c.rows);
    PostCommand(main_, IDM_QUIT);
    ExpectExit();
  }
}

TEST_F(OrderProgram, CancellingProcessKeepsTheProgramAndItsList) {
  StartWithExchange(Exchange(kBolt) + Exchange(kWasher));
  ASSERT_TRUE(WaitForCount(2));
  PostCommand(main_, IDC_PROCESS);
  HWND dialog = WaitForFileDialog(program_.id(), "Save File");
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(PressButton(dialog, IDCANCEL));
  ASSERT_TRUE(WaitForWindowGone(dialog));
  EXPECT_TRUE(program_.Running());
  EXPECT_EQ(ListRows(), (Rows{kBolt, kWasher}));

  PostCommand(main_, IDC_CANCEL);  // ends without writing
  ExpectExit();
  EXPECT_EQ(IniPath(), WithoutSlash(CurrentFolder()));
}

TEST_F(OrderProgram, FailedOrderWriteKeepsTheProgramAndItsList) {
  StartWithExchange(Exchange(kBolt));
  ASSERT_TRUE(WaitForCount(1));
  std::string held = work_ + "held.ord";
  ASSERT_TRUE(WriteFileBytes(held, "previous order\r\n"));
  HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);

  ChooseFile(IDM_PROCESS, "Save File", held);
  // The file exists: the dialog asks before replacing it.
  ASSERT_TRUE(AnswerMessageBox(program_.id(), "Save File", IDYES))
      << DescribeWindows(program_.id());
  ASSERT_NO_FATAL_FAILURE(ExpectWriteFailureNamed("held.ord"));
  // A failed Save is told the same way.
  ChooseFile(IDM_SAVE, "Save File", held);
  ASSERT_TRUE(AnswerMessageBox(program_.id(), "Save File", IDYES))
      << DescribeWindows(program_.id());
  ASSERT_NO_FATAL_FAILURE(ExpectWriteFailureNamed("held.ord"));
  // The lock is held until the program has tried its write and gone back to
  // its list.
  ASSERT_TRUE(WaitUntil([&] { return WaitForFileDialog(program_.id(), "Save File", 0) == nullptr; }));
  ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
  EXPECT_EQ(ListViewCount(list_), 1);
  EXPECT_TRUE(program_.Running());
  CloseHandle(handle);
  EXPECT_EQ(ReadFileBytes(held), "previous order\r\n");

  ChooseFile(IDM_PROCESS, "Save File", held);
  ASSERT_TRUE(AnswerMessageBox(program_.id(), "Save File", IDYES))
      << DescribeWindows(program_.id());
  ExpectExit();
  EXPECT_EQ(ReadFileBytes(held), SaveLine(kBolt));
}

TEST_F(OrderProgram, SaveFileOpenedAndSavedUnderAnotherNameIsIdentical) {
  const std::string full = SaveLine({std::string(15, 'M'), std::string(11, 'R'),
                                     std::string(15, 'P'), std::string(25, 'S'), "999",
                                     std::string(31, 'D')});
  const std::string file = full + SaveLine(kBolt) + SaveLine({"", "", "", "", "", ""});
  ASSERT_TRUE(WriteFileBytes(work_ + "saved.psr", file));
  Start("no file named here");
  EXPECT_EQ(ListViewCount(list_), 0);

  ChooseFile(IDM_OPEN, "Open File", work_ + "saved.psr");
  ASSERT_TRUE(WaitForCount(3));
  EXPECT_EQ(ListViewText(list_, 1, 3), "Bolt M6");
  ChooseFile(IDM_SAVE, "Save File", work_ + "copy.psr");
  // The file has its name from the moment it is renamed into place, but the
  // rename keeps it open for deleting a little longer, and a reader that does
  // not share deleting is refused meanwhile.
  ASSERT_TRUE(WaitUntil([&] { return WaitForFileDialog(program_.id(), "Save File", 0) == nullptr; }));
  ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
  EXPECT_EQ(ReadFileBytes(work_ + "copy.psr"), file);

  // Opening replaces the list.
  ChooseFile(IDM_OPEN, "Open File", work_ + "copy.psr");
  ASSERT_TRUE(WaitForCount(3));
  PostCommand(main_, IDM_QUIT);
  ExpectExit();
}

TEST_F(OrderProgram, ColumnHeaderSortsDescendingThenAscending) {
  StartWithExchange(Exchange({"M", "b", "P1"}) + Exchange({"M", "C", "P2"}) +
                    Exchange({"M", "a", "P3"}));
  ASSERT_TRUE(WaitForCount(3));
  auto column = [&](int k) {
    std::vector<std::string> texts;
    for (int r = 0; r < ListViewCount(list_); ++r) texts.push_back(ListViewText(list_, r, k));
    return texts;
  };
  ASSERT_TRUE(ClickColumnHeader(list_, 1));
  EXPECT_TRUE(WaitUntil([&] { return column(1) == std::vector<std::string>{"C", "b", "a"}; }))
      << column(1)[0];
  ASSERT_TRUE(ClickColumnHeader(list_, 1));
  EXPECT_TRUE(WaitUntil([&] { return column(1) == std::vector<std::string>{"a", "b", "C"}; }));
  EXPECT_EQ(column(2), (std::vector<std::string>{"P3", "P1", "P2"}));
  PostCommand(main_, IDM_QUIT);
  ExpectExit();
}

TEST_F(OrderProgram, DeletingTheSelectionRemovesExactlyThoseRows) {
  std::string bytes;
  for (const char* ref : {"r0", "r1", "r2", "r3", "r4"}) bytes += Exchange({"M", ref});
  StartWithExchange(bytes);
  ASSERT_TRUE(WaitForCount(5));
  ListViewSelect(list_, {1, 3});
  PostCommand(main_, IDM_DELETE);
  ASSERT_TRUE(WaitForCount(3));
  EXPECT_EQ(ListViewText(list_, 0, 1), "r0");
  EXPECT_EQ(ListViewText(list_, 1, 1), "r2");
  EXPECT_EQ(ListViewText(list_, 2, 1), "r4");

  PostCommand(main_, IDC_CLEAR_ALL);  // "New"
  ASSERT_TRUE(WaitForCount(0));
  PostCommand(main_, IDM_QUIT);
  ExpectExit();
}

TEST_F(OrderProgram, RowMenuDeletesTheSelection) {
  StartWithExchange(Exchange({"M", "r0"}) + Exchange({"M", "r1"}));
  ASSERT_TRUE(WaitForCount(2));
  ListViewSelect(list_, {0});
  ASSERT_TRUE(PostRightClickRow(list_, 0));
  ASSERT_TRUE(ChoosePopupMenuItem(program_.id(), 'd'));
  ASSERT_TRUE(WaitForCount(1));
  EXPECT_EQ(ListViewText(list_, 0, 1), "r1");
  PostCommand(main_, IDM_QUIT);
  ExpectExit();
}

TEST_F(OrderProgram, AddedItemIsCutToItsFields) {
  Start("no file");
  PostCommand(main_, IDM_ADD);
  HWND dialog = WaitForWindow(program_.id(), "#32770", "Insert Item");
  ASSERT_NE(dialog, nullptr);
  const std::vector<std::pair<int, std::string>> edits = {
      {IDC_MODEL, "MX-7"}, {IDC_REFERENCE, "1"}, {IDC_PART, "P-1"},
      {IDC_SPEC, "Gasket"}, {IDC_QUANTITY, "12345"}, {IDC_REMARKS, std::string(40, 'r')}};
  for (const auto& [id, text] : edits) ASSERT_TRUE(SetWindowTextRemote(GetDlgItem(dialog, id), text));
  ASSERT_TRUE(PressButton(dialog, IDOK));
  ASSERT_TRUE(WaitForCount(1));
  EXPECT_EQ(ListRows(), (Rows{{"MX-7", "1", "P-1", "Gasket", "123", std::string(31, 'r')}}));

  PostCommand(main_, IDM_ADD);
  dialog = WaitForWindow(program_.id(), "#32770", "Insert Item");
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(PressButton(dialog, IDCANCEL));
  ASSERT_TRUE(WaitForWindowGone(dialog));
  EXPECT_EQ(ListViewCount(list_), 1);
  PostCommand(main_, IDM_QUIT);
  ExpectExit();
}

// The files have no escaping: a '*' handed over or typed into a field is a
// blank, so "Bolt M6*20" with quantity 1 stays one item of quantity 1.
TEST_F(OrderProgram, SeparatorsInFieldsBecomeBlanks) {
  StartWithExchange(Exchange({"MX-100", "11", "P-1", "Bolt M6*20", "1", "*"}));
  ASSERT_TRUE(WaitForCount(1));
  PostCommand(main_, IDM_ADD);
  HWND dialog = WaitForWindow(program_.id(), "#32770", "Insert Item");
  ASSERT_NE(dialog, nullptr);
  const std::vector<std::pair<int, std::string>> edits = {
      {IDC_MODEL, "MX*7"}, {IDC_REFERENCE, "2"}, {IDC_PART, "P-2"},
      {IDC_SPEC, "Nut M6*1"}, {IDC_QUANTITY, "3"}, {IDC_REMARKS, "a*b*c"}};
  for (const auto& [id, text] : edits) ASSERT_TRUE(SetWindowTextRemote(GetDlgItem(dialog, id), text));
  ASSERT_TRUE(PressButton(dialog, IDOK));
  ASSERT_TRUE(WaitForCount(2));
  const Rows rows = {{"MX-100", "11", "P-1", "Bolt M6 20", "1", " "},
                     {"MX 7", "2", "P-2", "Nut M6 1", "3", "a b c"}};
  EXPECT_EQ(ListRows(), rows);
  ChooseFile(IDM_PROCESS, "Save File", work_ + "blanks.ord");
  ExpectExit();
  EXPECT_EQ(ReadFileBytes(work_ + "blanks.ord"), SaveLine(rows[0]) + SaveLine(rows[1]));
}

// The menu texts as the program has them, read from its own resources.
TEST(OrderResources, FileMenuTexts) {
  HMODULE module = LoadLibraryExA((ProgramFolder() + "corvaoe.exe").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(IDM_MAIN));
  ASSERT_NE(menu, nullptr);
  auto text = [&](int id) {
    char buffer[64] = "";
    GetMenuStringA(menu, static_cast<UINT>(id), buffer, sizeof buffer, MF_BYCOMMAND);
    return std::string(buffer);
  };
  EXPECT_EQ(text(IDM_OPEN), "&Open");
  EXPECT_EQ(text(IDM_SAVE), "&Save");
  EXPECT_EQ(text(IDM_QUIT), "&Quit");
  DestroyMenu(menu);
  FreeLibrary(module);
}

TEST_F(OrderProgram, DoubleClickEditsTheSelectedRow) {
  StartWithExchange(Exchange(kBolt) + Exchange(kWasher));
  ASSERT_TRUE(WaitForCount(2));
  ListViewSelect(list_, {1});
  ASSERT_TRUE(PostDoubleClickRow(list_, 1));
  HWND dialog = WaitForWindow(program_.id(), "#32770", "Insert Item");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PART)), "P-9");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_SPEC)), "Washer");
  ASSERT_TRUE(SetWindowTextRemote(GetDlgItem(dialog, IDC_QUANTITY), "4"));
  ASSERT_TRUE(PressButton(dialog, IDOK));
  ASSERT_TRUE(WaitForWindowGone(dialog));
  EXPECT_EQ(ListRows(), (Rows{kBolt, {"MX-100", "12", "P-9", "Washer", "4", ""}}));
  PostCommand(main_, IDM_QUIT);
  ExpectExit();
}

TEST_F(OrderProgram, VersionDialogShowsTheVersionBlock) {
  Start("");
  PostCommand(main_, IDM_ABOUT);
  HWND dialog = WaitForWindow(program_.id(), "#32770", "Version");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_VERSION_PRODUCT)), "CorvaOrder");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_VERSION_VERSION)), "1.0");
  EXPECT_NE(WindowText(GetDlgItem(dialog, IDC_VERSION_COPYRIGHT)), "");
  ASSERT_TRUE(PressButton(dialog, IDOK));
  ASSERT_TRUE(WaitForWindowGone(dialog));
  PostCommand(main_, IDM_QUIT);
  ExpectExit();
}

}  // namespace
}  // namespace qs::test::gui
