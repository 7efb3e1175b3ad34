// The engine's own dialogs through the library, on a virtual display: a
// thread of the test finds each dialog by its class and caption and fills
// and presses it as a reader would. Every wait is bounded and a dialog left
// open is cancelled, so no run stays in a dialog.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "api/records.h"
#include "engine_dll.h"
#include "gui_harness.h"

namespace qs::test {
namespace {

namespace gui = qs::test::gui;

struct RunDialogEvent {
  QsWindow window;
  std::string name;
};
std::vector<RunDialogEvent> g_runDialogEvents;

std::intptr_t RecordRunDialog(QsWindow window, std::int32_t event, QsWord a, QsWord, QsWord) {
  if (event == 41)
    g_runDialogEvents.push_back({window, a ? reinterpret_cast<const char*>(a) : "(null)"});
  return 0;
}

std::wstring WideText(HWND window) {
  wchar_t text[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                      gui::kWaitMs, nullptr);
  return text;
}

bool SetWideText(HWND window, const std::wstring& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, gui::kWaitMs, &result) != 0;
}

class EngineDialogs : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder(("qsengdlg" + std::to_string(GetCurrentProcessId())).c_str());
    g_runDialogEvents.clear();
  }
  void TearDown() override {
    if (started_) QS_BIND(QsTerminate)();
    if (owner_) DestroyWindow(owner_);
    EngineDll::TearDown();
  }
  // The engine, with `instance` as the host's module.
  void Start(HMODULE instance) {
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(instance), "Dialogs", nullptr,
                                    nullptr, nullptr, dir_.c_str(), nullptr),
              0);
    started_ = true;
    QS_BIND(QsSetCallback)(0, 41, RecordRunDialog, 0);
  }
  // A plain top-level window to own the dialogs.
  HWND Owner() {
    if (!owner_)
      owner_ = CreateWindowA("STATIC", "dialog owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                             300, 200, nullptr, nullptr, nullptr, nullptr);
    return owner_;
  }

  // Runs `call` on this thread while `answer` gets the dialog captioned
  // `caption` on another; a dialog the answer leaves open is cancelled.
  // False when no such dialog came up.
  template <class Call>
  bool Answered(const char* caption, std::function<void(HWND)> answer, Call call) {
    bool found = false;
    std::thread answering([&] {
      HWND dialog = gui::WaitForWindow(GetCurrentProcessId(), "#32770", caption);
      if (!dialog) return;
      found = true;
      answer(dialog);
      if (!gui::WaitForWindowGone(dialog, 5000)) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      }
    });
    call();
    answering.join();
    return found;
  }

  HWND owner_ = nullptr;
  bool started_ = false;
};

// Types `text` into the input dialog's edit and presses the button.
std::function<void(HWND)> Type(std::wstring text, int button, std::wstring* shown = nullptr,
                               std::wstring* label = nullptr, bool* hostTemplate = nullptr) {
  return [=](HWND dialog) {
    HWND edit = GetDlgItem(dialog, 102);
    if (shown) *shown = WideText(edit);
    if (label) *label = WideText(GetDlgItem(dialog, 101));
    if (hostTemplate) *hostTemplate = gui::FindControl(dialog, 300) != nullptr;
    if (button == IDOK) gui::WaitUntil([&] { return SetWideText(edit, text) && WideText(edit) == text; });
    gui::PressButton(dialog, button);
  };
}

TEST_F(EngineDialogs, InputDialogGivesTheTextOnOkAndKeepsTheBufferOnCancel) {
  Start(GetModuleHandleA(nullptr));
  auto input = QS_BIND(QsInputDialog);
  char buffer[256];
  std::memset(buffer, '#', sizeof buffer);
  std::strcpy(buffer, "start");
  std::wstring shown, label;
  std::int32_t result = -2;
  // The caption is the title; the label and the text are the caller's,
  // characters beyond ASCII too.
  ASSERT_TRUE(Answered("Part number", Type(L"abc", IDOK, &shown, &label), [&] {
    result = input(0, "Part number", "Gr\xC3\xB6\xC3\x9F" "e:", buffer);
  }));
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(shown, L"start");
  EXPECT_EQ(label, L"Gr\u00f6\u00dfe:");

  // Cancel: 0 and every byte as it was.
  char before[256];
  std::memcpy(before, buffer, sizeof buffer);
  ASSERT_TRUE(Answered("Part number", Type(L"changed", IDCANCEL),
                       [&] { result = input(0, "Part number", "Number:", buffer); }));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(std::memcmp(before, buffer, sizeof buffer), 0);

  // Without a title the template's caption stays.
  ASSERT_TRUE(Answered("Specify", Type(L"x", IDOK), [&] { result = input(0, nullptr, "N", buffer); }));
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(buffer, "x");
}

TEST_F(EngineDialogs, InputDialogAnswerIsCutToWholeCharactersWithin100Bytes) {
  Start(GetModuleHandleA(nullptr));
  auto input = QS_BIND(QsInputDialog);
  const struct {
    std::wstring typed;
    std::string expected;
  } cases[] = {
      {std::wstring(150, L'\u00e9'), [] {
         std::string s;
         for (int i = 0; i < 50; ++i) s += "\xC3\xA9";
         return s;
       }()},
      // One byte ahead: the 50th "é" would end on byte 101 and stays out.
      {L"a" + std::wstring(150, L'\u00e9'), [] {
         std::string s = "a";
         for (int i = 0; i < 49; ++i) s += "\xC3\xA9";
         return s;
       }()},
      {std::wstring(150, L'x'), std::string(100, 'x')},
      // A character outside the ANSI code page comes through whole.
      {L"\u20ac\u4e2d", "\xE2\x82\xAC\xE4\xB8\xAD"},
  };
  for (const auto& c : cases) {
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    buffer[0] = '\0';
    std::int32_t result = -2;
    ASSERT_TRUE(Answered("Long", Type(c.typed, IDOK), [&] { result = input(0, "Long", "T", buffer); }));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(buffer), c.expected);
    // Nothing written past the 101st byte.
    for (std::size_t i = 101; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << i;
  }
}

TEST_F(EngineDialogs, RunDialogEventNamesTheTemplateAndTheOwner) {
  Start(GetModuleHandleA(nullptr));
  HWND owner = Owner();
  ASSERT_NE(owner, nullptr);
  char buffer[128] = "";
  std::int32_t result = -2;
  ASSERT_TRUE(Answered("Owned", Type(L"1", IDOK), [&] {
    result = QS_BIND(QsInputDialog)(reinterpret_cast<QsWindow>(owner), "Owned", "P", buffer);
  }));
  EXPECT_EQ(result, 1);
  ASSERT_EQ(g_runDialogEvents.size(), 1u);
  EXPECT_EQ(g_runDialogEvents[0].name, "DlgInput");
  EXPECT_EQ(g_runDialogEvents[0].window, reinterpret_cast<QsWindow>(owner));
  // The owner is usable again once the dialog is gone.
  EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(EngineDialogs, TheHostModulesTemplateWins) {
  HMODULE host = LoadLibraryA((gui::ProgramFolder() + "host_dialogs.dll").c_str());
  ASSERT_NE(host, nullptr) << GetLastError();
  Start(host);
  char buffer[128] = "";
  bool hostTemplate = false;
  std::int32_t result = -2;
  ASSERT_TRUE(Answered("Host asks", Type(L"from host", IDOK, nullptr, nullptr, &hostTemplate),
                       [&] { result = QS_BIND(QsInputDialog)(0, "Host asks", "P", buffer); }));
  EXPECT_TRUE(hostTemplate);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(buffer, "from host");
  ASSERT_EQ(g_runDialogEvents.size(), 1u);
  EXPECT_EQ(g_runDialogEvents[0].name, "DlgInput");
  FreeLibrary(host);
}

TEST_F(EngineDialogs, TheLibrarysTemplateServesAHostWithoutOne) {
  Start(GetModuleHandleA(nullptr));
  char buffer[128] = "";
  bool hostTemplate = true;
  ASSERT_TRUE(Answered("Plain", Type(L"y", IDOK, nullptr, nullptr, &hostTemplate),
                       [&] { QS_BIND(QsInputDialog)(0, "Plain", "P", buffer); }));
  EXPECT_FALSE(hostTemplate);
  EXPECT_STREQ(buffer, "y");
}

std::vector<std::wstring> ComboLines(HWND combo) {
  std::vector<std::wstring> lines;
  LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    wchar_t line[256] = {};
    if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 256)
      SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(line));
    lines.push_back(line);
  }
  return lines;
}

int IndexOf(const std::vector<std::wstring>& lines, const std::wstring& line) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == line) return static_cast<int>(i);
  return -1;
}

// Where the chosen target was shown: the host is asked for a window (event
// 7) with the target's place.
std::vector<std::int32_t> g_shownPlaces;
std::intptr_t RecordShowRequest(QsWindow, std::int32_t event, QsWord, QsWord b, QsWord) {
  if (event == 7 && b)
    g_shownPlaces.push_back(static_cast<std::int32_t>(reinterpret_cast<const QsViewRequest*>(b)->position));
  return 0;
}

TEST_F(EngineDialogs, ListsTheHostLeavesAreChosenFromTheListDialog) {
  Start(GetModuleHandleA(nullptr));
  g_shownPlaces.clear();
  QS_BIND(QsSetCallback)(0, 7, RecordShowRequest, 0);
  const std::string path = Write("links.sgm",
      "<!DOCTYPE doc [\n<!ELEMENT doc - - (sec|xref)*>\n<!ELEMENT sec - - (#PCDATA)>\n"
      "<!ATTLIST sec id ID #IMPLIED n NUMBER #IMPLIED>\n"
      "<!ELEMENT xref - O EMPTY>\n<!ATTLIST xref linkend IDREFS #REQUIRED>\n]>\n"
      "<doc><sec id=s1 n=7>One two</sec><sec id=s2>Three</sec><xref linkend=\"s1 s2\"></doc>\n");
  QsHandle doc = QS_BIND(QsParseDocument)(path.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  QsHandle xref = QS_BIND(QsGetElementByPointer)(doc, "ROOT CHILD (3)");
  QsHandle s2 = QS_BIND(QsGetElementById)(doc, "s2");
  ASSERT_NE(xref, 0u);
  ASSERT_NE(s2, 0u);
  std::int32_t s2Start = -1, s2Length = 0;
  ASSERT_EQ(QS_BIND(QsGetNodeRange)(s2, &s2Start, &s2Length), 1);

  // Two targets and no host to take them: the reader picks the second.
  std::vector<std::string> lines;
  bool okGreyAtFirst = false;
  auto pick = [&](int row, int button) {
    return [&, row, button](HWND dialog) {
      HWND list = GetDlgItem(dialog, 101);
      gui::WaitUntil([&] { return gui::ListBoxCount(list) > 0; });
      lines.clear();
      for (int i = 0; i < gui::ListBoxCount(list); ++i) lines.push_back(gui::ListBoxText(list, i));
      okGreyAtFirst = !IsWindowEnabled(GetDlgItem(dialog, IDOK));
      if (row >= 0) {
        SendMessageA(list, LB_SETCURSEL, row, 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(101, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
      }
      gui::PressButton(dialog, button);
    };
  };
  ASSERT_TRUE(Answered("Select Target", pick(1, IDOK), [&] { QS_BIND(QsFollowLink)(xref); }));
  EXPECT_EQ(lines, (std::vector<std::string>{"ID S1", "ID S2"}));
  EXPECT_TRUE(okGreyAtFirst);
  EXPECT_EQ(g_shownPlaces, std::vector<std::int32_t>{s2Start});

  // An element's attributes, cancelled: nothing is followed.
  g_shownPlaces.clear();
  QsHandle s1 = QS_BIND(QsGetElementById)(doc, "s1");
  ASSERT_TRUE(Answered("Attributes for <SEC>", pick(0, IDCANCEL),
                       [&] { EXPECT_EQ(QS_BIND(QsListAttributes)(0, s1), 1); }));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "ID=\"S1\" [ID]");
  EXPECT_EQ(lines[1], "N=\"7\" [NUMBER]");
  EXPECT_TRUE(g_shownPlaces.empty());
  for (QsHandle h : {s1, s2, xref, doc}) QS_BIND(QsReleaseHandle)(h);
}

// An anchor the host leaves to the engine: its note dialog shows the open
// web and the anchor's name; with two links "&Links..." goes on to the
// link dialog, which lists both targets.
TEST_F(EngineDialogs, AnAnchorsNoteDialogLeadsToItsLinkDialog) {
  Start(GetModuleHandleA(nullptr));
  const std::string path = Write("notes.sgm",
      "<!DOCTYPE doc [\n<!ELEMENT doc - - (p*)>\n<!ELEMENT p - - (#PCDATA)>\n]>\n"
      "<doc><p>One two three</p><p>Four five six</p></doc>\n");
  QsHandle doc = QS_BIND(QsParseDocument)(path.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  QsHandle web = QS_BIND(QsCreateWeb)(Path("notes.web").c_str(), nullptr, "Service notes");
  ASSERT_NE(web, 0u);
  ASSERT_EQ(QS_BIND(QsBeginWebEdit)(web), 1);
  QsHandle a = QS_BIND(QsCreateRangeAnchor)(web, doc, 4, 3, "Wheel");
  QsHandle b = QS_BIND(QsCreateRangeAnchor)(web, doc, 14, 4, "Guard");
  QsHandle c = QS_BIND(QsCreateRangeAnchor)(web, doc, 19, 4, "Switch");
  ASSERT_TRUE(a && b && c);
  ASSERT_EQ(QS_BIND(QsAddLink)(a, b), 1);
  ASSERT_EQ(QS_BIND(QsAddLink)(a, c), 1);
  ASSERT_EQ(QS_BIND(QsSetAnchorNote)(a, "Check it"), 1);

  std::wstring state, name, note;
  std::vector<std::string> targets;
  bool linkShown = false;
  std::thread answering([&] {
    HWND dialog = gui::WaitForWindow(GetCurrentProcessId(), "#32770", "Annotation");
    if (!dialog) return;
    state = WideText(GetDlgItem(dialog, 101));
    name = WideText(GetDlgItem(dialog, 103));
    note = WideText(GetDlgItem(dialog, 108));
    gui::PressButton(dialog, 106);  // "&Links..."
    HWND links = gui::WaitForWindow(GetCurrentProcessId(), "#32770", "Follow Link");
    if (!links) return;
    linkShown = true;
    HWND list = GetDlgItem(links, 107);
    for (int i = 0; i < gui::ListBoxCount(list); ++i) targets.push_back(gui::ListBoxText(list, i));
    gui::PressButton(links, IDCANCEL);
    gui::WaitForWindowGone(links);
  });
  QS_BIND(QsAnchorNotifyA)(reinterpret_cast<QsWindow>(Owner()), a);
  answering.join();
  EXPECT_EQ(state, L"Web [Open]:");
  EXPECT_EQ(name, L"Wheel");
  EXPECT_EQ(note, L"Check it");
  EXPECT_TRUE(linkShown);
  EXPECT_EQ(targets, (std::vector<std::string>{"Guard", "Switch"}));
  for (QsHandle h : {a, b, c, web, doc}) QS_BIND(QsReleaseHandle)(h);
}

// What a host does while a dialog is open, run by a timer of the thread the
// dialog runs on (as a host callback would run) once the dialog is up.
std::atomic<bool> g_dialogUp{false};
std::atomic<bool> g_acted{false};
std::function<void()> g_whileOpen;
void CALLBACK RunWhileOpen(HWND, UINT, UINT_PTR id, DWORD) {
  if (!g_dialogUp) return;
  KillTimer(nullptr, id);
  if (g_whileOpen) g_whileOpen();
  g_acted = true;
}

// A note or link dialog closes when its anchor, a link from it or its web
// goes while it is open; one whose anchor stays stays open.
TEST_F(EngineDialogs, NoteAndLinkDialogsCloseWhenWhatTheyShowGoes) {
  Start(GetModuleHandleA(nullptr));
  const std::string path = Write("gone.sgm",
      "<!DOCTYPE doc [\n<!ELEMENT doc - - (p*)>\n<!ELEMENT p - - (#PCDATA)>\n]>\n"
      "<doc><p>One two three</p><p>Four five six</p></doc>\n");
  QsHandle doc = QS_BIND(QsParseDocument)(path.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  enum Action { kDeleteAnchor, kDeleteOther, kRemoveLink, kCloseWeb };
  const struct {
    bool note;
    Action action;
    bool closes;
  } cases[] = {
      {true, kDeleteAnchor, true}, {true, kDeleteOther, false}, {true, kCloseWeb, true},
      {false, kRemoveLink, true},  {false, kCloseWeb, true},    {false, kDeleteOther, false},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << n);
    const std::string name = "gone" + std::to_string(n++) + ".web";
    QsHandle web = QS_BIND(QsCreateWeb)(Path(name.c_str()).c_str(), nullptr, "Service notes");
    ASSERT_NE(web, 0u);
    ASSERT_EQ(QS_BIND(QsBeginWebEdit)(web), 1);
    QsHandle a = QS_BIND(QsCreateRangeAnchor)(web, doc, 4, 3, "Wheel");
    QsHandle b = QS_BIND(QsCreateRangeAnchor)(web, doc, 14, 4, "Guard");
    QsHandle other = QS_BIND(QsCreateRangeAnchor)(web, doc, 19, 4, "Switch");
    ASSERT_TRUE(a && b && other);
    ASSERT_EQ(QS_BIND(QsAddLink)(a, b), 1);
    g_whileOpen = [&, action = c.action] {
      switch (action) {
        case kDeleteAnchor: QS_BIND(QsDeleteAnchor)(a); break;
        case kDeleteOther: QS_BIND(QsDeleteAnchor)(other); break;
        case kRemoveLink: QS_BIND(QsRemoveLinks)(a, b); break;
        case kCloseWeb: QS_BIND(QsSaveWeb)(web); web = 0; break;  // written and closed
      }
    };
    g_dialogUp = false;
    g_acted = false;
    bool closed = false;
    std::thread answering([&] {
      HWND dialog =
          gui::WaitForWindow(GetCurrentProcessId(), "#32770", c.note ? "Annotation" : "Follow Link");
      if (!dialog) return;
      g_dialogUp = true;
      if (gui::WaitUntil([] { return g_acted.load(); }))
        closed = gui::WaitForWindowGone(dialog, c.closes ? gui::kWaitMs : 500);
      if (!closed) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        gui::WaitForWindowGone(dialog);
      }
    });
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, RunWhileOpen);
    const auto notify = c.note ? QS_BIND(QsAnchorNotifyA) : QS_BIND(QsAnchorNotifyB);
    EXPECT_EQ(notify(reinterpret_cast<QsWindow>(Owner()), a), 1);
    answering.join();
    KillTimer(nullptr, timer);
    EXPECT_TRUE(g_acted);
    EXPECT_EQ(closed, c.closes);
    // What is left is still whole.
    if (web) {
      const char* kept = c.action == kDeleteAnchor ? "Guard" : "Wheel";
      char name[64] = "";
      QS_BIND(QsGetAnchorName)(c.action == kDeleteAnchor ? b : a, name, sizeof name);
      EXPECT_STREQ(name, kept);
      QS_BIND(QsReleaseHandle)(web);
    }
    for (QsHandle h : {a, b, other}) QS_BIND(QsReleaseHandle)(h);
  }
  g_whileOpen = nullptr;
  QS_BIND(QsReleaseHandle)(doc);
}

decltype(&::QsDefWindowProc) g_viewProc = nullptr;
LRESULT CALLBACK AnnotatedViewProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (g_viewProc)
    return static_cast<LRESULT>(g_viewProc(reinterpret_cast<QsWindow>(window), message,
                                           static_cast<QsWord>(wparam), static_cast<QsWord>(lparam)));
  return DefWindowProcA(window, message, wparam, lparam);
}

std::intptr_t CountAnchor(QsHandle, QsWord data) {
  ++*reinterpret_cast<int*>(data);
  return 0;
}

// A selection in a shown document annotated: the note dialog offers the
// selected words as the new anchor's name, and OK makes the anchor with the
// note typed (a bookmark for the second form); Cancel makes none. An anchor
// made straight on the selection takes its words as its head; a link made
// in two steps joins two new anchors.
TEST_F(EngineDialogs, ASelectionIsAnnotatedThroughTheNoteDialog) {
  Start(GetModuleHandleA(nullptr));
  g_viewProc = QS_BIND(QsDefWindowProc);
  WNDCLASSA wc{};
  wc.lpfnWndProc = AnnotatedViewProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QsAnnotatedView";
  RegisterClassA(&wc);
  HWND view = CreateWindowA("QsAnnotatedView", "annotated", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                            40, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(view, nullptr);
  const auto w = reinterpret_cast<QsWindow>(view);
  const std::string path = Write("annotated.sgm",
      "<!DOCTYPE doc [\n<!ELEMENT doc - - (p*)>\n<!ELEMENT p - - (#PCDATA)>\n]>\n"
      "<doc><p>Grinding wheel guard</p><p>Switch</p></doc>\n");
  QsHandle doc = QS_BIND(QsParseDocument)(path.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  ASSERT_EQ(QS_BIND(QsDisplay)(w, doc, 0, 0, 0, 0, 0, 0), 1);
  QsHandle web = QS_BIND(QsCreateWeb)(Path("annotated.web").c_str(), nullptr, "Notes");
  ASSERT_NE(web, 0u);
  ASSERT_EQ(QS_BIND(QsBeginWebEdit)(web), 1);
  ASSERT_NE(QS_BIND(QsAddSelectionRange)(w, 9, 5), 0);  // "wheel"
  auto anchors = [&](std::int32_t filter) {
    int n = 0;
    QS_BIND(QsEnumWebAnchors)(web, filter, CountAnchor, reinterpret_cast<QsWord>(&n));
    return n;
  };

  std::wstring offered;
  auto answer = [&](const wchar_t* note, int button) {
    return [&, note, button](HWND dialog) {
      offered = WideText(GetDlgItem(dialog, 103));
      gui::WaitUntil([&] { return SetWideText(GetDlgItem(dialog, 108), note); });
      gui::PressButton(dialog, button);
    };
  };
  std::int32_t result = 0;
  ASSERT_TRUE(Answered("Annotation", answer(L"mind it", IDCANCEL),
                       [&] { result = QS_BIND(QsAnnotateSelection)(w, web); }));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(offered, L"wheel");
  EXPECT_EQ(anchors(0x001), 0);
  ASSERT_TRUE(Answered("Annotation", answer(L"mind it", IDOK),
                       [&] { result = QS_BIND(QsAnnotateSelection2)(w, web); }));
  EXPECT_EQ(anchors(0x001), 1);
  EXPECT_EQ(anchors(0x002), 1);  // a bookmark
  EXPECT_EQ(anchors(0x004), 1);  // with its note

  QsHandle made = QS_BIND(QsCreateDocAnchor)(w, web, nullptr);
  ASSERT_NE(made, 0u);
  char name[64] = "";
  EXPECT_STREQ(QS_BIND(QsGetAnchorName)(made, name, sizeof name), "wheel");
  std::int32_t start = 0, length = 0;
  ASSERT_EQ(QS_BIND(QsGetAnchorRange)(made, &start, &length), 1);
  EXPECT_EQ(start, 9);
  EXPECT_EQ(length, 5);
  // A link in two steps: the selected "wheel" its source, "Switch" its target.
  EXPECT_EQ(QS_BIND(QsCompleteLink)(w, web), 0);  // nothing pending
  const int before = anchors(0x001);
  ASSERT_EQ(QS_BIND(QsBeginLink)(w), 1);
  QsHandle second = QS_BIND(QsGetElementByPointer)(doc, "ROOT CHILD (2)");
  ASSERT_NE(second, 0u);
  ASSERT_EQ(QS_BIND(QsGetNodeRange)(second, &start, &length), 1);
  QS_BIND(QsClearHighlight)(w);
  ASSERT_NE(QS_BIND(QsAddSelectionRange)(w, start, length), 0);
  EXPECT_EQ(QS_BIND(QsCompleteLink)(w, web), 1);
  EXPECT_EQ(anchors(0x001), before + 2);
  EXPECT_EQ(anchors(0x010), 2);  // both ends have their link
  EXPECT_EQ(QS_BIND(QsCompleteLink)(w, web), 0);  // the source is used up
  QS_BIND(QsReleaseHandle)(second);
  // Not a view, or a web closed for changes: nothing.
  EXPECT_EQ(QS_BIND(QsBeginLink)(0), 0);
  EXPECT_EQ(QS_BIND(QsAnnotateSelection)(0, web), 0);
  EXPECT_EQ(QS_BIND(QsCreateDocAnchor)(0, web, "x"), 0u);
  QS_BIND(QsReleaseHandle)(made);
  QS_BIND(QsDetachWindowView)(w);
  DestroyWindow(view);
  for (QsHandle h : {web, doc}) QS_BIND(QsReleaseHandle)(h);
  g_viewProc = nullptr;
}

TEST_F(EngineDialogs, SelectPrinterListsThePrintersAndMakesTheChosenOneCurrent) {
  Start(GetModuleHandleA(nullptr));
  auto select = QS_BIND(QsSelectPrinter);
  auto name = QS_BIND(QsGetPrinterName);
  char buffer[128];
  EXPECT_EQ(select("Q,drvq,LPT1:"), 1);
  EXPECT_EQ(select("P,drv,FILE:"), 1);
  ASSERT_EQ(name(buffer, sizeof buffer), buffer);
  EXPECT_STREQ(buffer, "P,drv,FILE:");
  // Only one comma: nothing changes.
  EXPECT_EQ(select("Q,drvq"), 1);
  EXPECT_STREQ(name(buffer, sizeof buffer), "P,drv,FILE:");

  HWND owner = Owner();
  std::vector<std::wstring> lines;
  int shown = -2;
  auto choose = [&](const wchar_t* line, int button) {
    return [&, line, button](HWND dialog) {
      HWND combo = GetDlgItem(dialog, 101);
      lines = ComboLines(combo);
      shown = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
      SendMessageW(combo, CB_SETCURSEL, IndexOf(lines, line), 0);
      gui::PressButton(dialog, button);
    };
  };
  auto run = [&] { QS_BIND(QsPrinterSetupDialog)(reinterpret_cast<QsWindow>(owner)); };
  ASSERT_TRUE(Answered("Select Printer", choose(L"Q on LPT1:", IDOK), run));
  int q = IndexOf(lines, L"Q on LPT1:"), p = IndexOf(lines, L"P on FILE:");
  ASSERT_GE(q, 0);
  ASSERT_GE(p, 0);
  EXPECT_EQ(shown, p);
  EXPECT_STREQ(name(buffer, sizeof buffer), "Q,drvq,LPT1:");
  // Cancel keeps the current printer.
  ASSERT_TRUE(Answered("Select Printer", choose(L"P on FILE:", IDCANCEL), run));
  EXPECT_EQ(shown, q);
  EXPECT_STREQ(name(buffer, sizeof buffer), "Q,drvq,LPT1:");
  ASSERT_EQ(g_runDialogEvents.size(), 2u);
  EXPECT_EQ(g_runDialogEvents[0].name, "DlgPrnSetup");
  EXPECT_EQ(g_runDialogEvents[1].window, reinterpret_cast<QsWindow>(owner));
}

// ---- A real print queue ------------------------------------------------------------
// These run under tests/engine/api/gui/print_queue.py only: it starts a CUPS
// server of its own with a raw queue TESTPS, points a Wine prefix of its own
// at it (QS_PRINT_QUEUE "present"), later removes the queue ("gone"), and
// reads the PostScript left in QS_PRINT_OUT.

std::string QueueState() {
  const char* state = std::getenv("QS_PRINT_QUEUE");
  return state ? state : "";
}

// A file of the queue's output folder as a path of the drive Wine maps to /.
std::string QueueOutput(const char* name) {
  const char* folder = std::getenv("QS_PRINT_OUT");
  std::string path = std::string("Z:") + (folder ? folder : "") + "/" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

void WriteText(const std::string& path, const std::string& text) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}

std::vector<std::int32_t> g_printErrors;
std::intptr_t RecordPrintError(QsWindow, std::int32_t, QsWord code, QsWord, QsWord) {
  g_printErrors.push_back(static_cast<std::int32_t>(code));
  return 1;  // told: no message box
}

// Page number in the right of the header, the date in the left of the
// footer, a rule over the body.
constexpr std::int32_t kPrintOptions = 3 | (4 << 3) | 0x80;

class PrintQueue : public EngineDialogs {
 protected:
  void SetUp() override {
    if (QueueState() != "present") GTEST_SKIP() << "runs with print_queue.py's queue";
    EngineDialogs::SetUp();
  }
  // The engine with the source tree's home and catalog, told of errors.
  void StartWithHome() {
    const std::string home = SourceHome();
    const std::string catalog = home + "catalog\\catalog";
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Queue",
                                    catalog.c_str(), nullptr, nullptr, dir_.c_str(), home.c_str()),
              0);
    started_ = true;
    g_printErrors.clear();
    QS_BIND(QsSetCallback)(0, 16, RecordPrintError, 0);
  }
  QsHandle SampleManual() {
    std::string manual = SourceHome();
    manual.replace(manual.size() - 5, 5, "manual\\manuale.sgm");
    return QS_BIND(QsParseDocument)(manual.c_str(), nullptr, 0, nullptr, 0);
  }
  std::string PrinterName() {
    char buffer[256] = "";
    const char* name = QS_BIND(QsGetPrinterName)(buffer, sizeof buffer);
    return name ? name : "(null)";
  }
};

class PrintQueueGone : public PrintQueue {
 protected:
  void SetUp() override {
    if (QueueState() != "gone") GTEST_SKIP() << "runs with print_queue.py's queue removed";
    EngineDialogs::SetUp();
  }
};

TEST_F(PrintQueue, TheCupsQueueIsTheCurrentPrinterAndListed) {
  StartWithHome();
  // What Wine made of the queue, for the record.
  WriteText(QueueOutput("printer-name.txt"), PrinterName());
  EXPECT_EQ(PrinterName(), "TESTPS,wineps.drv,CUPS:TESTPS");

  std::vector<std::wstring> lines;
  int shown = -2;
  ASSERT_TRUE(Answered("Select Printer", [&](HWND dialog) {
    HWND combo = GetDlgItem(dialog, 101);
    lines = ComboLines(combo);
    shown = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    gui::PressButton(dialog, IDOK);
  }, [&] { QS_BIND(QsPrinterSetupDialog)(reinterpret_cast<QsWindow>(Owner())); }));
  const int queue = IndexOf(lines, L"TESTPS on CUPS:TESTPS");
  EXPECT_GE(queue, 0) << lines.size() << " lines";
  EXPECT_EQ(shown, queue);
  EXPECT_EQ(PrinterName(), "TESTPS,wineps.drv,CUPS:TESTPS");

  EXPECT_EQ(QS_BIND(QsSelectPrinter)("P,drv,FILE:"), 1);
  EXPECT_EQ(PrinterName(), "P,drv,FILE:");
  // And back to the queue by its own description.
  EXPECT_EQ(QS_BIND(QsSelectPrinter)("TESTPS,wineps.drv,CUPS:TESTPS"), 1);
  EXPECT_EQ(PrinterName(), "TESTPS,wineps.drv,CUPS:TESTPS");
}

// The sample manual printed on the queue's printer into a file named as the
// port; the page count the preview gives on the printer's own context is
// left beside it for print_queue.py, which reads the pages.
TEST_F(PrintQueue, TheSampleManualPrintsAsThePreviewPagesIt) {
  StartWithHome();
  QsHandle doc = SampleManual();
  ASSERT_NE(doc, 0u);
  const std::string output = QueueOutput("sample.ps");
  DeleteFileA(output.c_str());
  const std::string description = "TESTPS,wineps.drv," + output;
  EXPECT_EQ(QS_BIND(QsSelectPrinter)(description.c_str()), 1);
  EXPECT_EQ(PrinterName(), description);

  HDC printer = CreateDCA("wineps.drv", "TESTPS", nullptr, nullptr);
  ASSERT_NE(printer, nullptr);
  std::int32_t count = -1;
  const QsWord job = QS_BIND(QsPrintPreviewPage)(
      doc, 0, 0, 1, kPrintOptions, reinterpret_cast<QsWord>(printer), GetDeviceCaps(printer, LOGPIXELSX),
      GetDeviceCaps(printer, LOGPIXELSY), GetDeviceCaps(printer, HORZRES),
      GetDeviceCaps(printer, VERTRES), &count);
  ASSERT_NE(job, 0u);
  QS_BIND(QsEndPreview)(job);
  DeleteDC(printer);
  EXPECT_GT(count, 1);
  WriteText(QueueOutput("sample.count"), std::to_string(count));

  EXPECT_EQ(QS_BIND(QsPrintDocument)(doc, 0, 0, 1, kPrintOptions), 1);
  EXPECT_EQ(g_printErrors, std::vector<std::int32_t>{});
  EXPECT_TRUE(gui::WaitUntil([&] { return GetFileAttributesA(output.c_str()) != INVALID_FILE_ATTRIBUTES; }))
      << output;

  // Once more on the queue's own port: Wine hands the job to the CUPS
  // server, whose file device is print_queue.py's to read.
  EXPECT_EQ(QS_BIND(QsSelectPrinter)("TESTPS,wineps.drv,CUPS:TESTPS"), 1);
  EXPECT_EQ(QS_BIND(QsPrintDocument)(doc, 0, 0, 1, kPrintOptions), 1);
  EXPECT_EQ(g_printErrors, std::vector<std::int32_t>{});
  QS_BIND(QsReleaseHandle)(doc);
}

// Cancel in the abort dialog a few pages into the PostgreSQL manual: the run
// ends at once, without "Unable to print". The page shown when the button
// was pressed is left for print_queue.py, which counts the pages printed.
TEST_F(PrintQueue, CancelInTheAbortDialogCutsThePostgresManualShort) {
  const char* source = std::getenv("QS_SOURCE_DIR");
  std::string manual = std::string("Z:") + (source ? source : "") + "/build/corpus/postgres.xml";
  for (char& c : manual)
    if (c == '/') c = '\\';
  if (GetFileAttributesA(manual.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "the PostgreSQL manual was not made";
  StartWithHome();
  QS_BIND(QsPushCatalog)("Z:\\usr\\share\\xml\\docbook\\schema\\dtd\\4.5\\catalog", 0);
  QsHandle doc = QS_BIND(QsParseDocument)(manual.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  std::string docbook = SourceHome();
  docbook.replace(docbook.size() - 5, 5, "docbook\\docbook.ssh");
  QsHandle sheet = QS_BIND(QsOpenStyleSheet)(docbook.c_str(), nullptr, nullptr, 0);
  ASSERT_NE(sheet, 0u);
  const std::string output = QueueOutput("postgres.ps");
  DeleteFileA(output.c_str());
  EXPECT_EQ(QS_BIND(QsSelectPrinter)(("TESTPS,wineps.drv," + output).c_str()), 1);

  // Pressed once the third page is on its way.
  std::string pageAtCancel;
  bool dialogSeen = false;
  std::thread pressing([&] {
    HWND dialog = gui::WaitForWindow(GetCurrentProcessId(), "#32770", "Printing", true, 300000);
    if (!dialog) return;
    dialogSeen = true;
    HWND page = GetDlgItem(dialog, 105);
    gui::WaitUntil([&] {
      char text[32] = "";
      GetWindowTextA(page, text, sizeof text);
      if (std::atoi(text) < 3) return false;
      pageAtCancel = text;
      return true;
    }, 300000);
    gui::PressButton(dialog, IDCANCEL);
    gui::WaitForWindowGone(dialog, 60000);
  });
  const ULONGLONG started = GetTickCount64();
  const std::int32_t result = QS_BIND(QsPrintDocument)(doc, 0, sheet, 0, kPrintOptions);
  const ULONGLONG took = GetTickCount64() - started;
  pressing.join();
  EXPECT_EQ(result, 1);
  ASSERT_TRUE(dialogSeen);
  ASSERT_FALSE(pageAtCancel.empty()) << "the run ended before its third page";
  EXPECT_EQ(g_printErrors, std::vector<std::int32_t>{});
  std::printf("FIGURE print run until cancelled on page %s: %llu ms\n", pageAtCancel.c_str(),
              static_cast<unsigned long long>(took));
  WriteText(QueueOutput("postgres.cancelled"), pageAtCancel);
  for (QsHandle h : {sheet, doc}) QS_BIND(QsReleaseHandle)(h);
}

TEST_F(PrintQueueGone, WithoutTheQueuePrintingReportsError41) {
  StartWithHome();
  WriteText(QueueOutput("printer-name-gone.txt"), PrinterName());
  QsHandle doc = SampleManual();
  ASSERT_NE(doc, 0u);
  EXPECT_EQ(QS_BIND(QsPrintDocument)(doc, 0, 0, 1, kPrintOptions), 1);
  EXPECT_EQ(g_printErrors, std::vector<std::int32_t>{41});
  QS_BIND(QsReleaseHandle)(doc);
}

}  // namespace
}  // namespace qs::test
