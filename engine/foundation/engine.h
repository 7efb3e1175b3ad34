// The engine object: the one instance per process through which every part
// of the engine reaches its settings, its registries and its host.
//
//   EngineBase    platform-free core: member registries, replaceable texts,
//                 default behaviour of every operation.
//   Engine        the Windows engine: host module, main window, settings
//                 from the "VUROD" profile section, message boxes, programs.
//   HostedEngine  connected to a host: offers each question or notice to the
//                 host as a numbered event first and falls back to Engine.
//
// Other code calls only the virtual operations, so a host-specific layer can
// change any of them. Operations that belong to subsystems still to come
// keep the behaviour they have when nothing of theirs is there.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/callbacks.h"
#include "foundation/engine_lists.h"
#include "foundation/engine_services.h"
#include "foundation/memory.h"
#include "foundation/paths.h"

namespace qs {

// Objects of other parts of the engine that the engine object keeps or
// passes on; it only holds them by pointer.
class Anchor;
class BlockCache;
class Catalog;
class Document;
class DocumentCache;
class Dialog;
class ListDialogItems;
class EntityrcFile;
class ExternalId;
class FrameNode;
class GraphicObject;
class HandleTable;
class TextSources;
class Region;
class LinkTargetList;
struct HotspotArea;
class DocumentNode;
class EntityDecl;
class NavigatorDef;
class NotationNameSet;
class PrinterList;
class ResolverStacks;
class SdataTable;
class SetupFile;
class Stream;
class StyleSheet;
class View;
class Web;
class History;
class HostedHistory;

using ModuleHandle = std::intptr_t;
using CursorHandle = std::intptr_t;
using BitmapHandle = std::intptr_t;

// Joined paths, temporary names and formatted messages are built in buffers
// of this size.
inline constexpr std::size_t kPathBufferSize = kPathCapacity;
inline constexpr int kIconCount = 13;
inline constexpr int kCursorCount = 5;

// An owned member whose type may be incomplete where the engine is built:
// whoever installs the object also supplies how it goes away (delete, or
// giving back a use), so the engine can be built before the member types.
template <class T>
class Member {
 public:
  using Disposer = void (*)(T*);
  Member() = default;
  ~Member() { Reset(); }
  Member(const Member&) = delete;
  Member& operator=(const Member&) = delete;

  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }

  // Takes `object`, deleted as a U when the member is reset.
  template <class U>
  void Set(U* object) {
    Set(static_cast<T*>(object), [](T* p) { delete static_cast<U*>(p); });
  }
  void Set(T* object, Disposer disposer) {
    Reset();
    object_ = object;
    disposer_ = object ? disposer : nullptr;
  }
  void Reset() {
    T* object = object_;
    Disposer disposer = disposer_;
    object_ = nullptr;
    disposer_ = nullptr;
    if (object && disposer) disposer(object);
  }

 private:
  T* object_ = nullptr;
  Disposer disposer_ = nullptr;
};

class HostedEngine;

// The engine object is also what the streams, block cache and temporary
// files ask for their settings (EngineServices); the current engine is
// installed as those services.
class EngineBase : public EngineObject, public EngineServices {
 public:
  // `home`: the home folder (UTF-8, ending in a backslash), or null.
  explicit EngineBase(const char* home);
  ~EngineBase() override;
  EngineBase(const EngineBase&) = delete;
  EngineBase& operator=(const EngineBase&) = delete;

  // ---- Settings and texts -------------------------------------------------
  virtual Catalog* GetCatalog();
  virtual EntityrcFile* GetEntityRc();
  const char* GetTempDir() override = 0;
  // A fresh temporary file name in the temporary folder, into `out`
  // (kPathBufferSize bytes); returns `out`.
  virtual char* MakeTempName(char* out);
  // Text of string id 0-19: the built-in text itself, or `buffer` (at least
  // 512 bytes) filled with the host's replacement. Null for an unknown id.
  virtual const char* GetString(int id, char* buffer);

  // ---- Paths ---------------------------------------------------------------
  // UTF-8 paths; separators are backslash, slash and colon; output buffers
  // hold kPathBufferSize bytes and longer results are cut.
  virtual std::size_t GetDirLength(const char* path);
  virtual bool IsRelativePath(const char* path);
  // `dir` + `name` when `dir` is given and `name` is relative, else a copy
  // of `name`; normalised; owned (MemFree).
  virtual char* MakeAbsolute(const char* name, const char* dir);
  // Drops "." steps and climbs ".." steps, in place; returns `path`.
  virtual char* NormalizePath(char* path);
  virtual char* JoinPath(char* out, const char* dir, const char* name);
  virtual int ComparePaths(const char* dir1, const char* dir2, const char* name1,
                           const char* name2);
  // 0 missing, 1 read-only, 4 writable.
  virtual int FileExistsIn(const char* name, const char* dir);
  virtual int FileExists(const char* path);
  // `dir` + `name` normalised when `name` is relative, else `name`
  // unchanged; into `out`, which is returned.
  char* JoinHomePath(const char* dir, const char* name, char* out);

  // ---- Dialogs of anchors -------------------------------------------------
  // The anchor's note and link dialogs over the parent of `window`; either
  // may send the reader on to the other.
  virtual void ShowNoteDialog(WindowHandle window, Anchor* anchor, int flag);
  virtual void ShowLinkDialog(WindowHandle window, Anchor* anchor);
  virtual int GotoAnchor(View* view, Anchor* from, Anchor* to);
  virtual void FollowFirstLink(View* view, Anchor* anchor);
  virtual void CloseDialogsFor(Web* web, Anchor* anchor);

  // ---- Showing places -----------------------------------------------------
  virtual View* ShowPosition(WindowHandle window, View* view, FrameNode* frame,
                             std::int32_t position, int flag) = 0;
  virtual int GotoPosition(WindowHandle window, View* view, Document* document,
                           std::int32_t position, std::int32_t length, int flag) = 0;
  virtual void RunProgram(const char* command) = 0;
  // Shows a picture, and an area of it when `area` is given (in 1/2048 of
  // its sides, zoomed as the area asks): 1 when it was shown or a window
  // was asked for. The engine alone has no picture to show.
  virtual int ShowHotArea(Document* document, GraphicObject* graphic, Region* area) = 0;
  // Shows an area of a graphic entity (in 1/2048 of its sides) for a link
  // or location followed from (document, element) in `view`: 1 when it was
  // shown. The engine alone has no graphic to show it in; the picture
  // services' engine does.
  virtual int GotoLocation(View* view, Document* document, DocumentNode* element,
                           EntityDecl* graphic, const HotspotArea& area);

  // ---- Entities and host resources ----------------------------------------
  // A readable stream of the entity's data, or null. `systemPath` and
  // `outNumber` may be null.
  virtual Stream* OpenEntity(ExternalId* externalId, const char* systemPath,
                             std::int32_t* outNumber);
  // A system identifier for a public identifier the catalogs do not know:
  // an owned copy (MemFree), or null.
  virtual char* ResolvePublicId(const char* publicId);
  virtual char* ResolveEntityName(const char* name);
  // Font details the host supplies for `name`: an owned text (MemFree), with
  // the two texts (80 bytes each), the value, the weight and slant letters
  // and the number filled in; null when the host has none.
  virtual char* GetHostFontInfo(const char* name, char* text1, char* text2, int* value,
                                char* weight, char* slant, int* number);

  // ---- Notices about webs, anchors and lists ------------------------------
  virtual void AnchorsChanged();
  virtual void WebEditingClosed(Web* web);
  virtual void WebEditingOpened(Web* web);
  virtual void WebClosing(Web* web);
  virtual void AnchorDeleted(Anchor* anchor);
  virtual void LinkDeleted(Anchor* from, Anchor* to);
  virtual void RecentListChanged(void* list);
  virtual void StartTimer();
  virtual WindowHandle GetParentWindow(WindowHandle window);
  // An engine dialog's window opened (the hosted engine tells its host).
  virtual void RunDialog(Dialog* dialog);
  // Runs `dialog` modally over `parent` and gives back the caller's use of
  // it: the end code, or -1 when no template could be loaded.
  virtual int DoModalDialog(WindowHandle parent, Dialog* dialog);
  // The dialog factories; each model comes with one use for the caller.
  // The input dialog answers into `buffer` (at least 101 bytes).
  virtual Dialog* NewInputDialog(const char* title, const char* label, char* buffer);
  virtual Dialog* NewListDialog(ListDialogItems* items);
  // The note dialog of an existing anchor (`name` in place of its own when
  // given) and the link dialog of a link source.
  virtual Dialog* NewNoteDialog(Anchor* anchor, const char* name);
  virtual Dialog* NewLinkDialog(Anchor* anchor);
  // A list dialog of `items` over the parent window of `window`.
  int ShowListDialog(WindowHandle window, ListDialogItems* items);
  // The note (or link) dialog, then the other while the reader asks for it.
  void RunAnchorDialogs(WindowHandle window, Anchor* anchor, bool note);

  // ---- Errors and lists shown to the user ---------------------------------
  // Reports engine error `code` (0-64) with up to four arguments (numbers or
  // UTF-8 texts, as the code's text says; unused ones 0).
  void ReportError(int code, std::intptr_t a = 0, std::intptr_t b = 0, std::intptr_t c = 0,
                   std::intptr_t d = 0) override;
  // Lists offered to the user; each takes the list over. The node list
  // holds items named by an element (its attributes), the text list link
  // targets; by default both go to the engine's list dialog, where the
  // chosen line's target is followed.
  virtual void ShowNodeList(WindowHandle owner, View* view, Document* document, DocumentNode* node,
                            LinkTargetList* list);
  virtual void ShowTextList(WindowHandle owner, View* view, Document* document, DocumentNode* node,
                            LinkTargetList* list);
  // Host events: the raw connection to the host; 0 when there is none.
  virtual std::intptr_t RaiseEvent(WindowHandle window, int event, std::intptr_t a,
                                   std::intptr_t b);

  // ---- Services of the streams and files ------------------------------------
  BlockCache& GetBlockCache() override;
  const char* GetHomeDir() override { return home(); }
  std::uint8_t GetTempStamp() override { return tempStamp; }
  std::intptr_t HostEvent(std::intptr_t window, int event, std::intptr_t a,
                          std::intptr_t b) override {
    return RaiseEvent(window, event, a, b);
  }

  // Fills every member still unset with the layer's own kind.
  virtual void CreateMembers();

  // Not a HostedEngine: null. (The engine uses no run-time type information.)
  virtual HostedEngine* AsHosted() { return nullptr; }

  // ---- Members --------------------------------------------------------------
  const char* home() const { return home_; }
  History* history() const { return history_.get(); }
  void SetHistory(History* history);
  std::int32_t recentLimit = 4;
  // The default font the host sets (QsSetDefaultFont): a face of at most
  // kDefaultFaceCharacters characters (UTF-8), and a size in 1/100 point;
  // page headers and footers print in that size.
  static constexpr std::size_t kDefaultFaceCharacters = 30;
  char defaultFontFace[kDefaultFaceCharacters * 4 + 1] = "Times New Roman";
  std::int32_t defaultFontSize = 900;
  // The character set input streams report for their text: the host's
  // number 1-16 less one (QsSetCharset).
  std::int32_t charset = 0;
  int GetLoadEncoding() override { return charset; }
  std::uint8_t tempStamp = 47;
  std::uint8_t iconHalfHeight[kIconCount] = {};
  std::uint8_t iconHalfWidth[kIconCount] = {};
  std::uint8_t iconEighthHeight[kIconCount] = {};
  // The four replaceable texts of string ids 16-19 (owned UTF-8).
  char* hotspotTitle = nullptr;
  char* untitledText = nullptr;
  char* selectTargetText = nullptr;
  char* attributesTitle = nullptr;

  // The engine's registries. Members whose classes belong to other parts of
  // the engine are installed by them with Set; CreateMembers makes the rest.
  Member<DocumentCache> documentCache;
  Member<WebList> webs;
  Member<StyleSheetList> styleSheets;
  Member<NavigatorList> navigators;
  Member<OwnedList> notationHandlers;
  Member<NotationNameSet> notationNames;
  Member<SdataTable> sdata;
  Member<SetupFile> setup;
  Member<RecentList> recentList;
  Member<OwnedList> lists2;
  Member<OwnedList> lists3;
  // Root of the frames, one per shown document.
  Member<TreeNode> frames;
  Member<BlockCache> blockCache;
  Member<ColorTable> colours;
  // Catalogs and ENTITYRC files the host pushed and has not popped yet.
  Member<ResolverStacks> resolverStacks;
  // The open note and link dialogs.
  Member<OwnedList> noteDialogs;
  Member<OwnedList> linkDialogs;
  // The printers Windows knows, one current (made when the engine starts).
  Member<PrinterList> printers;
  // The windows of the open engine dialogs by their handle (made by the
  // first dialog that opens).
  Member<HashTable> dialogWindows;
  // Words for the engine interface's own use.
  std::uint16_t words16[2] = {};
  std::uint32_t words32[2] = {};

 protected:
  // Replaces a text member with an owned copy of `text` (null clears it).
  static void SetText(char** member, const char* text);

 private:
  char* home_ = nullptr;
  Member<History> history_;
};

class Engine : public EngineBase {
 public:
  // `home` null: the host module's folder, or the profile's MAINHOME.
  // `title` (UTF-8) null: "Scrivox Application".
  Engine(ModuleHandle hostInstance, const char* home, const char* title);
  ~Engine() override;

  Catalog* GetCatalog() override;
  EntityrcFile* GetEntityRc() override;
  const char* GetTempDir() override;
  const char* GetString(int id, char* buffer) override;
  View* ShowPosition(WindowHandle window, View* view, FrameNode* frame, std::int32_t position,
                     int flag) override;
  int GotoPosition(WindowHandle window, View* view, Document* document, std::int32_t position,
                   std::int32_t length, int flag) override;
  void RunProgram(const char* command) override;
  int ShowHotArea(Document* document, GraphicObject* graphic, Region* area) override;
  WindowHandle GetParentWindow(WindowHandle window) override;
  void ReportError(int code, std::intptr_t a = 0, std::intptr_t b = 0, std::intptr_t c = 0,
                   std::intptr_t d = 0) override;
  // On the template of the dialog's kind, the host module's first.
  int DoModalDialog(WindowHandle parent, Dialog* dialog) override;

  virtual const char* GetProfileSection();
  virtual const char* GetCatalogKey();
  virtual const char* GetEntityRcKey();
  virtual const char* GetTempHomeKey();
  virtual void LoadIcons();
  virtual void FreeIcons();
  // Fills every setting still unset from the profile, then the members.
  virtual void InitSettings();
  // Reads the catalog, ENTITYRC, setup and SDATA files named by the
  // settings into the members still unset.
  virtual void CreateResolvers();
  virtual void ShowWindow(WindowHandle window);
  // A message for an engine window: 1 with `result` set when handled.
  virtual int HandleMessage(WindowHandle window, unsigned message, std::intptr_t wParam,
                            std::intptr_t lParam, std::intptr_t* result);
  // The library's About box: its file name, captioned with its product name
  // and version.
  virtual void ShowAboutBox(WindowHandle owner);

  ModuleHandle hostInstance() const { return hostInstance_; }
  // The title in the process code page (caption of every message box).
  const char* applicationName() const { return applicationName_; }
  WindowHandle mainWindow = 0;
  bool hostStrings() const { return hostStrings_; }

  // The files in force (UTF-8): set by Initialize or, when unset, from the
  // profile. The catalog, ENTITYRC, setup and SDATA readers work on them.
  const char* catalogFile() const { return catalogFile_; }
  const char* entityRcFile() const { return entityRcFile_; }
  const char* setupFile() const { return setupFile_; }
  const char* sdataHome() const { return sdataHome_; }

  Member<Catalog> catalog;
  Member<EntityrcFile> entityRc;
  BitmapHandle icons[kIconCount] = {};
  CursorHandle cursors[kCursorCount] = {};
  std::uintptr_t timerId = 0;

 protected:
  char* tempDir_ = nullptr;
  char* catalogFile_ = nullptr;
  char* entityRcFile_ = nullptr;
  char* setupFile_ = nullptr;
  char* sdataHome_ = nullptr;

 private:
  ModuleHandle hostInstance_;
  char* applicationName_ = nullptr;
  bool hostStrings_ = false;
};

class HostedEngine : public Engine {
 public:
  // `hostCallback` may be null (every event then answers 0).
  HostedEngine(ModuleHandle hostInstance, const char* home, const char* title,
               HostCallback hostCallback);
  ~HostedEngine() override;

  // Five paths (UTF-8), each null, relative to home, or absolute; each
  // setting is taken only while it is unset, then the profile fills the
  // rest.
  void Initialize(const char* catalog, const char* entityRc, const char* setup,
                  const char* tempDir, const char* sdataHome);

  HostedEngine* AsHosted() override { return this; }
  // The data of an entity: a text or block the host handed over for its
  // path, a registered temporary copy, the host's answer to event 3, or the
  // file itself. `systemPath` (else the identifier's) names it.
  Stream* OpenEntity(ExternalId* externalId, const char* systemPath,
                     std::int32_t* outNumber) override;
  // The name of a local file holding the entity's data in `out`
  // (kPathBufferSize bytes), copying data held in memory to a temporary
  // file; 0 when there is none.
  int GetLocalFile(ExternalId* externalId, char* out, std::int32_t* outNumber);
  std::intptr_t RaiseEvent(WindowHandle window, int event, std::intptr_t a,
                           std::intptr_t b) override;
  void ReportError(int code, std::intptr_t a = 0, std::intptr_t b = 0, std::intptr_t c = 0,
                   std::intptr_t d = 0) override;
  void ShowNoteDialog(WindowHandle window, Anchor* anchor, int flag) override;
  void ShowLinkDialog(WindowHandle window, Anchor* anchor) override;
  int GotoAnchor(View* view, Anchor* from, Anchor* to) override;
  int GotoPosition(WindowHandle window, View* view, Document* document, std::int32_t position,
                   std::int32_t length, int flag) override;
  int ShowHotArea(Document* document, GraphicObject* graphic, Region* area) override;
  // The host is offered the list first: event 17 with a node handle on
  // (document, node), or 18 with the items' texts as well.
  void ShowNodeList(WindowHandle owner, View* view, Document* document, DocumentNode* node,
                    LinkTargetList* list) override;
  void ShowTextList(WindowHandle owner, View* view, Document* document, DocumentNode* node,
                    LinkTargetList* list) override;
  char* ResolvePublicId(const char* publicId) override;
  char* GetHostFontInfo(const char* name, char* text1, char* text2, int* value, char* weight,
                        char* slant, int* number) override;
  void AnchorsChanged() override;
  void WebEditingClosed(Web* web) override;
  void WebEditingOpened(Web* web) override;
  void WebClosing(Web* web) override;
  void AnchorDeleted(Anchor* anchor) override;
  void LinkDeleted(Anchor* from, Anchor* to) override;
  void RecentListChanged(void* list) override;
  void ShowWindow(WindowHandle window) override;
  // Event 41: the dialog's owner window and its template name.
  void RunDialog(Dialog* dialog) override;

  // Asks the host (event 7) for a window when no view shows the range.
  int FindCoveringObject(WindowHandle window, View* view, void* node, Document* document,
                         std::int32_t position, std::int32_t length, int forceScroll,
                         std::intptr_t context);
  // The picture view that shows the graphic is brought forward (and shows
  // the area when one is given); else the host is asked for a window
  // (event 8) and a picture view opens in the window it gives.
  int FindOrOpenHotArea(WindowHandle window, Document* document, GraphicObject* graphic,
                        Region* area);

  // The source of a link the reader is making: a text range or a region of
  // a graphic (in 2048ths); each drops what was pending and holds a use of
  // its document or graphic.
  void SetPendingLocation(Document* document, std::uint32_t from, std::uint32_t to);
  void SetPendingObject(EntityDecl* graphic, int x, int y, int width, int height);
  bool HasPendingLink() const { return pendingDocument_ || pendingGraphic_; }
  // Makes the pending source and the given target anchors of `web` and
  // links the first to the second; the pending source is used up. False
  // when nothing was pending or an anchor could not be made.
  bool LinkPendingToRange(Web* web, Document* document, std::uint32_t from, std::uint32_t to);
  bool LinkPendingToRegion(Web* web, EntityDecl* graphic, int x, int y, int width, int height);

  // Bits of the history's directions (2 back, 1 forward); the hosted
  // history keeps them and raises event 26 when they change.
  std::uint32_t historyButtons = 0;
  HostCallback hostCallback() const { return hostCallback_; }
  // The handles given to the host (made with the engine).
  Member<HandleTable> handles;
  // Texts the host hands over for the span of an opening export (the memory
  // texts and the procedure texts), found by the name they were entered
  // under. Made on first use.
  Member<TextSources> textSources;
  const char* FindMemoryText(const char* path) override;
  bool FindCallbackText(const char* path, const void** data, std::size_t* length) override;

 private:
  std::intptr_t RaiseWithHandle(WindowHandle window, int event, void* object, int type,
                                std::intptr_t b);
  void DropPendingLink();
  // The pending source made an anchor of `web` (none when nothing is
  // pending); the pending source is dropped either way.
  Anchor* TakePendingAnchor(Web* web);
  HostCallback hostCallback_;
  Document* pendingDocument_ = nullptr;
  std::uint32_t pendingFrom_ = 0, pendingTo_ = 0;
  EntityDecl* pendingGraphic_ = nullptr;
  int pendingRegion_[4] = {0, 0, 0, 0};
};

// The title of a link end made from a text range: at most the first
// kLinkTitleLength bytes of `text` (`length` bytes), cut back to a whole
// character, each byte mapped for display (byte 1 reads as a blank); into
// `out` of kLinkTitleLength + 1 bytes. Returns the length.
inline constexpr std::size_t kLinkTitleLength = 30;
std::size_t CopyLinkTitle(char* out, const char* text, std::size_t length);

// The process's engine object, or null.
EngineBase* GetEngine();
// Makes `engine` the current one (and the services of the streams and
// files); returns the previous.
EngineBase* SetEngine(EngineBase* engine);

// Reports an engine error through the current engine; without one there is
// nobody to tell and it is dropped.
void ReportError(int code, std::intptr_t a = 0, std::intptr_t b = 0, std::intptr_t c = 0,
                 std::intptr_t d = 0);

}  // namespace qs
