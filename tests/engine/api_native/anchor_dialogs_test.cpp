// The note and link dialogs of web anchors on a window of the test's own:
// what they show for an open and a closed web, what OK stores, and how each
// sends the reader to the other.
#include "api/anchor_dialogs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../foundation/temp_folder.h"
#include "addressing/web.h"
#include "api/exports.h"
#include "api/interface.h"
#include "fake_dialog_window.h"
#include "foundation/engine.h"
#include "foundation/handle_table.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "recording_sink.h"

namespace qs {
namespace {

using test::FakeDialogWindow;

const char kDocument[] =
    "<!DOCTYPE doc [\n<!ELEMENT doc - - (p*)>\n<!ELEMENT p - - (#PCDATA)>\n"
    "<!NOTATION XBM SYSTEM \"xbm\">\n<!ENTITY pic SYSTEM \"pic.xbm\" NDATA XBM>\n]>\n"
    "<doc><p>One two three</p><p>Four five six</p></doc>\n";

class AnchorDialogs : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "Notes", nullptr, nullptr, nullptr, temp_.dir().c_str(), nullptr), 0);
    test::TempFolder::Write(temp_.File("doc.sgm"), kDocument);
    test::TempFolder::Write(temp_.File("pic.xbm"),
                            "#define p_width 8\n#define p_height 8\nstatic char p_bits[] = {"
                            "1,2,3,4,5,6,7,8};\n");
    doc_ = QsParseDocument(temp_.File("doc.sgm").c_str(), nullptr, 0, nullptr, 0);
    ASSERT_NE(doc_, 0u);
    web_ = QsCreateWeb(temp_.File("notes.web").c_str(), nullptr, "Service notes");
    ASSERT_NE(web_, 0u);
    ASSERT_EQ(QsBeginWebEdit(web_), 1);
    a_ = QsCreateRangeAnchor(web_, doc_, 4, 3, "First");
    b_ = QsCreateRangeAnchor(web_, doc_, 14, 4, "Second");
    c_ = QsCreateRangeAnchor(web_, doc_, 19, 4, "Third");
    pic_ = QsGetDocEntity(doc_, "pic");
    hot_ = QsCreateHotspot(web_, pic_, "Spot", 100, 100, 500, 500, 128);
    for (QsHandle h : {a_, b_, c_, hot_}) ASSERT_NE(h, 0u);
  }
  void TearDown() override { QsTerminate(); }
  static Anchor* A(QsHandle h) { return static_cast<Anchor*>(Handles()->LookupAnchor(h)); }

  test::TempFolder temp_;
  test::RecordingSink sink_;
  QsHandle doc_ = 0, web_ = 0, a_ = 0, b_ = 0, c_ = 0, pic_ = 0, hot_ = 0;
};

TEST(NoteZoom, PercentsAndUnits) {
  struct {
    int zoom, percent;
  } shown[] = {{128, 50}, {256, 100}, {384, 150}, {1, 0}, {0, 0}};
  for (const auto& c : shown) EXPECT_EQ(ZoomPercent(c.zoom), c.percent) << c.zoom;
  struct {
    int percent, zoom;
  } read[] = {{50, 128}, {33, 84}, {100, 256}, {0, 0}, {-5, 0}, {1000000, 32767}};
  for (const auto& c : read) EXPECT_EQ(ZoomFromPercent(c.percent), c.zoom) << c.percent;
}

TEST_F(AnchorDialogs, TheNoteOfAnAnchorIsShownAndStoredOnOk) {
  ASSERT_EQ(QsSetAnchorNote(a_, "line one\nline two"), 1);
  ASSERT_EQ(QsSetAnchorBookmark(a_, 1), 1);
  auto* dialog = new NoteDialog(A(a_), nullptr);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    EXPECT_EQ(window.controls[kNoteWebState].text, "Web [Open]:");
    EXPECT_EQ(window.controls[kNoteWebName].text, "Service notes");
    EXPECT_EQ(window.controls[kNoteName].text, "First");
    EXPECT_EQ(window.controls[kNoteText].text, "line one\r\nline two");
    EXPECT_TRUE(window.controls[kNoteBookmark].checked);
    EXPECT_FALSE(window.controls[kNoteLinks].shown);  // no links yet
    EXPECT_FALSE(window.controls[kNoteZoom].enabled);  // a text place has no zoom
    EXPECT_FALSE(window.controls[kNoteText].readOnly);
    window.controls[kNoteText].text = "changed\r\nnote";
    window.controls[kNoteName].text = "Renamed";
    window.controls[kNoteBookmark].checked = false;
    EXPECT_TRUE(window.Send(kIdOk));
    EXPECT_EQ(window.endCode, 1);
  }
  dialog->Release();
  char text[2049] = "";
  QsGetAnchorNote(a_, text, sizeof text);
  EXPECT_STREQ(text, "changed\nnote");
  QsGetAnchorName(a_, text, sizeof text);
  EXPECT_STREQ(text, "Renamed");
  EXPECT_FALSE(A(a_)->IsBookmark());

  // A picture area's zoom: 128 shows as 50; 33 typed stores 84, nothing no zoom.
  dialog = new NoteDialog(A(hot_), nullptr);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    EXPECT_TRUE(window.controls[kNoteZoom].enabled);
    EXPECT_EQ(window.controls[kNoteZoom].text, "50");
    window.controls[kNoteZoom].text = "33";
    EXPECT_TRUE(window.Send(kIdOk));
  }
  dialog->Release();
  std::int32_t zoom = -1;
  ASSERT_EQ(QsGetHotspotRect(hot_, nullptr, nullptr, nullptr, nullptr, &zoom), 1);
  EXPECT_EQ(zoom, 84);
  dialog = new NoteDialog(A(hot_), nullptr);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    window.controls[kNoteZoom].text = "x";
    EXPECT_TRUE(window.Send(kIdOk));
  }
  dialog->Release();
  QsGetHotspotRect(hot_, nullptr, nullptr, nullptr, nullptr, &zoom);
  EXPECT_EQ(zoom, 0);
}

TEST_F(AnchorDialogs, AClosedWebShowsItsNoteReadOnlyAndOkChangesNothing) {
  ASSERT_EQ(QsSetAnchorNote(b_, "kept"), 1);
  A(b_)->GetWeb()->SetReadOnly();
  auto* dialog = new NoteDialog(A(b_), nullptr);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    EXPECT_EQ(window.controls[kNoteWebState].text, "Web [Closed]:");
    EXPECT_TRUE(window.controls[kNoteText].readOnly);
    EXPECT_TRUE(window.controls[kNoteName].readOnly);
    EXPECT_FALSE(window.controls[kNoteBookmark].enabled);
    EXPECT_FALSE(window.controls[kNoteRemove].enabled);
    window.controls[kNoteText].text = "lost";
    EXPECT_TRUE(window.Send(kIdOk));
    EXPECT_EQ(window.endCode, 1);
    EXPECT_FALSE(window.Send(kNoteRemove));  // nothing to remove from a closed web
  }
  dialog->Release();
  char text[2049] = "";
  QsGetAnchorNote(b_, text, sizeof text);
  EXPECT_STREQ(text, "kept");
}

TEST_F(AnchorDialogs, LinksSendTheReaderOnAndTheLinkDialogFollowsAndUnlinks) {
  ASSERT_EQ(QsAddLink(a_, b_), 1);
  ASSERT_EQ(QsAddLink(a_, c_), 1);
  // Two links: "&Links..." ends the note dialog with 3.
  auto* note = new NoteDialog(A(a_), nullptr);
  {
    FakeDialogWindow window(note);
    window.Open();
    EXPECT_TRUE(window.controls[kNoteLinks].shown);
    EXPECT_TRUE(window.Send(kNoteLinks));
    EXPECT_EQ(window.endCode, kOpenOtherDialog);
  }
  note->Release();

  auto* links = new LinkDialog(A(a_));
  {
    FakeDialogWindow window(links);
    window.Open();
    EXPECT_EQ(window.controls[kLinkSourceName].text, "First");
    EXPECT_EQ(window.controls[kLinkTargets].lines, (std::vector<std::string>{"Second", "Third"}));
    EXPECT_FALSE(window.controls[kLinkFollow].enabled);
    EXPECT_FALSE(window.controls[kLinkUnlink].enabled);
    window.Select(kLinkTargets, 0);
    EXPECT_FALSE(window.Send(kLinkTargets, kNotifySelectionChange));
    EXPECT_TRUE(window.controls[kLinkFollow].enabled);
    EXPECT_TRUE(window.controls[kLinkUnlink].enabled);
    EXPECT_FALSE(window.Send(kLinkUnlink));  // stays open
    EXPECT_EQ(window.controls[kLinkTargets].lines, std::vector<std::string>{"Third"});
    EXPECT_FALSE(window.controls[kLinkUnlink].enabled);
    EXPECT_TRUE(window.Send(kLinkNotes));
    EXPECT_EQ(window.endCode, kOpenOtherDialog);
  }
  links->Release();
  EXPECT_EQ(A(a_)->GetLinkCount(), 1);
  // One link left: "&Links..." follows it and the note dialog stays.
  note = new NoteDialog(A(a_), nullptr);
  {
    FakeDialogWindow window(note);
    window.Open();
    EXPECT_FALSE(window.Send(kNoteLinks));
  }
  note->Release();
  // Removing the source ends the dialog: its anchor is gone.
  links = new LinkDialog(A(c_));
  {
    FakeDialogWindow window(links);
    window.Open();
    EXPECT_EQ(window.controls[kLinkTargets].lines, std::vector<std::string>{"First"});
    EXPECT_TRUE(window.Send(kLinkRemove));
    EXPECT_EQ(window.endCode, 1);
  }
  links->Release();
  EXPECT_EQ(QsGetAnchorKind(c_), 0);
}

TEST_F(AnchorDialogs, ANewNoteMakesItsAnchorOnOkOnly) {
  Web* web = A(a_)->GetWeb();
  Document* document = GetEngine()->documentCache->At(0);
  ASSERT_NE(document, nullptr);
  const std::size_t before = web->AnchorCount();
  // Cancel makes nothing.
  auto* dialog = new NoteDialog(web, document, 4, 3, "two", true);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    EXPECT_EQ(window.controls[kNoteName].text, "two");
    EXPECT_TRUE(window.controls[kNoteBookmark].checked);
    EXPECT_FALSE(window.controls[kNoteLocate].shown);
    EXPECT_FALSE(window.controls[kNoteRemove].shown);
    EXPECT_FALSE(window.controls[kNoteLinks].shown);
    EXPECT_FALSE(window.controls[kNoteZoom].enabled);
    EXPECT_TRUE(window.Send(kIdCancel));
  }
  dialog->Release();
  EXPECT_EQ(web->AnchorCount(), before);
  // OK makes the anchor with what the reader typed.
  dialog = new NoteDialog(web, document, 4, 3, "two", true);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    window.controls[kNoteName].text = "Second word";
    window.controls[kNoteText].text = "look here";
    EXPECT_TRUE(window.Send(kIdOk));
    EXPECT_EQ(window.endCode, 1);
  }
  dialog->Release();
  ASSERT_EQ(web->AnchorCount(), before + 1);
  const Anchor* made = nullptr;
  for (AnchorRef* r = web->Bookmarks().FirstRef(); r; r = static_cast<AnchorRef*>(r->Next()))
    made = r->anchor;
  ASSERT_NE(made, nullptr);  // a bookmark, as the box said
  char text[2049] = "";
  made->GetName(text);
  EXPECT_STREQ(text, "Second word");
  made->GetNote(text);
  EXPECT_STREQ(text, "look here");

  // A region of a picture: the default head, and the zoom box takes a value.
  EntityDecl* pic = document->FindEntity("pic");
  ASSERT_NE(pic, nullptr);
  dialog = new NoteDialog(web, pic, 0, 0, 1024, 1024, false);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    EXPECT_EQ(window.controls[kNoteName].text, "HOTSPOT");
    EXPECT_TRUE(window.controls[kNoteZoom].enabled);
    window.controls[kNoteZoom].text = "200";
    EXPECT_TRUE(window.Send(kIdOk));
  }
  dialog->Release();
  EXPECT_EQ(web->AnchorCount(), before + 2);

  // A closed web makes none.
  web->SetReadOnly();
  dialog = new NoteDialog(web, document, 9, 5, "three", false);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    EXPECT_TRUE(window.controls[kNoteText].readOnly);
    EXPECT_TRUE(window.Send(kIdOk));
  }
  dialog->Release();
  EXPECT_EQ(web->AnchorCount(), before + 2);
}

}  // namespace
// Which dialogs close when an anchor or a web goes: a note dialog with its
// anchor or its web (a new note has only the web), a link dialog with its
// source or the source's web; once told to forget, a dialog's commands no
// longer reach the anchor.
TEST_F(AnchorDialogs, DialogsGoWithTheirAnchorOrWeb) {
  Anchor* a = A(a_);
  Anchor* b = A(b_);
  Web* web = a->GetWeb();
  QsHandle otherWeb = QsCreateWeb(temp_.File("other.web").c_str(), nullptr, "Other notes");
  ASSERT_NE(otherWeb, 0u);
  const Web* other = static_cast<Web*>(Handles()->LookupWeb(otherWeb));
  Document* document = GetEngine()->documentCache->At(0);
  ASSERT_NE(document, nullptr);
  ASSERT_EQ(QsAddLink(a_, b_), 1);
  NoteDialog note(a, nullptr);
  NoteDialog fresh(web, document, 4, 3, "two", false);
  LinkDialog link(a);
  LinkDialog none(nullptr);
  const struct {
    Dialog* dialog;
    const Web* web;
    const Anchor* anchor;
    bool shows;
  } cases[] = {
      {&note, nullptr, a, true},        {&note, nullptr, b, false},
      {&note, web, nullptr, true},      {&note, other, nullptr, false},
      {&note, nullptr, nullptr, false}, {&fresh, web, nullptr, true},
      {&fresh, nullptr, a, false},      {&link, nullptr, a, true},
      {&link, nullptr, b, false},       {&link, web, nullptr, true},
      {&link, other, nullptr, false},  {&none, web, a, false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(cases[i].dialog->Shows(cases[i].web, cases[i].anchor), cases[i].shows) << i;

  // Forgotten, the note dialog's Locate and Remove leave the anchor alone
  // and its OK stores nothing; the link dialog follows and unlinks nothing.
  ASSERT_EQ(QsSetAnchorNote(a_, "kept"), 1);
  note.Forget();
  link.Forget();
  EXPECT_FALSE(note.Shows(web, a));
  EXPECT_FALSE(link.Shows(web, a));
  {
    FakeDialogWindow window(&note);
    window.Open();
    window.controls[kNoteText].text = "changed";
    window.Send(kNoteRemove);
    window.Send(kIdOk);
  }
  {
    FakeDialogWindow window(&link);
    window.Open();
    window.Select(kLinkTargets, 0);
    window.Send(kLinkUnlink);
    window.Send(kLinkRemove);
  }
  char text[2049] = "";
  a->GetNote(text);
  EXPECT_STREQ(text, "kept");
  EXPECT_NE(QsGetAnchorKind(a_), 0);
  std::size_t links = 0;
  for (Link* l = web->FirstLink(); l; l = static_cast<Link*>(l->Next())) links += l->Ends(a);
  EXPECT_EQ(links, 1u);
}

}  // namespace qs
