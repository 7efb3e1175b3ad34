#include "foundation/engine.h"

#include <initializer_list>

#include "foundation/block_cache.h"
#include "foundation/codepage.h"
#include "foundation/errors.h"
#include "foundation/handle_table.h"
#include "foundation/history.h"
#include "foundation/module.h"
#include "foundation/platform.h"
#include "view/engine_icons.h"
#include "view/window_map.h"
#include "foundation/strings.h"
#include "addressing/web.h"
#include "api/dialogs.h"
#include "sgml/unicode_tables.h"

namespace qs {

namespace {

EngineBase* g_engine = nullptr;

constexpr const char kDefaultTitle[] = "Scrivox Application";
constexpr const char kHostStringsMark[] = "Scrivox Strings";
constexpr unsigned kHostStringsId = 6999;
constexpr unsigned kHostStringBase = 7000;

bool EndsInSeparator(const char* text) {
  std::size_t n = GetStringLength(text);
  return n > 0 && (text[n - 1] == '\\' || text[n - 1] == '/');
}

// The home folder when the host names none: the host module's folder, or
// the profile's MAINHOME; always ending in a backslash; UTF-8.
struct DefaultHome {
  char text[3 * kPathBufferSize];
  explicit DefaultHome(ModuleHandle hostInstance) {
    char folder[kPathBufferSize];
    platform::ModuleFileName(hostInstance, folder, sizeof folder);
    std::size_t cut = 0;
    for (std::size_t i = 0; folder[i]; ++i)
      if (folder[i] == '\\' || folder[i] == '/') cut = i + 1;
    folder[cut] = '\0';
    char value[kPathBufferSize + 1];
    platform::ReadProfileString("VUROD", "MAINHOME", folder, value, kPathBufferSize);
    if (!value[0]) CopyStringMax(value, folder, kPathBufferSize);
    if (value[0] && !EndsInSeparator(value)) {
      std::size_t n = GetStringLength(value);
      value[n] = '\\';
      value[n + 1] = '\0';
    }
    AnsiToUtf8Buffer(text, sizeof text, value);
  }
};

}  // namespace

EngineBase* GetEngine() { return g_engine; }

EngineBase* SetEngine(EngineBase* engine) {
  EngineBase* previous = g_engine;
  g_engine = engine;
  SetEngineServices(engine);
  return previous;
}

std::size_t CopyLinkTitle(char* out, const char* text, std::size_t length) {
  std::size_t n = length < kLinkTitleLength ? length : kLinkTitleLength;
  if (!text) n = 0;
  // Cutting inside a character would leave half of it in the title.
  if (n < length) {
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  for (std::size_t i = 0; i < n; ++i)
    out[i] = static_cast<char>(g_charTable.identity[static_cast<unsigned char>(text[i])]);
  out[n] = '\0';
  return n;
}

void ReportError(int code, std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d) {
  if (EngineBase* engine = GetEngine()) engine->ReportError(code, a, b, c, d);
}

// ============================================================================
// EngineBase

EngineBase::EngineBase(const char* home) {
  noteDialogs.Set(new OwnedList(true));
  linkDialogs.Set(new OwnedList(true));
  home_ = DuplicateString(home ? home : "");
  blockCache.Set(new BlockCache);
  lists2.Set(new OwnedList(true));
  lists3.Set(new OwnedList(true));
  frames.Set(new TreeNode);
  unsigned ms = platform::SystemTimeMilliseconds() % 256;
  tempStamp = static_cast<std::uint8_t>(ms ? ms : 47);
}

EngineBase::~EngineBase() {
  // An engine going away no longer answers for the streams and files.
  if (g_engine == this) SetEngine(nullptr);
  history_.Reset();
  resolverStacks.Reset();
  recentList.Reset();
  setup.Reset();
  sdata.Reset();
  notationHandlers.Reset();
  notationNames.Reset();
  navigators.Reset();
  styleSheets.Reset();
  webs.Reset();
  documentCache.Reset();
  colours.Reset();
  MemFree(home_);
  home_ = nullptr;
  lists2.Reset();
  lists3.Reset();
  frames.Reset();
  blockCache.Reset();
  for (char** text : {&hotspotTitle, &untitledText, &selectTargetText, &attributesTitle})
    SetText(text, nullptr);
  noteDialogs.Reset();
  linkDialogs.Reset();
}

void EngineBase::SetText(char** member, const char* text) {
  MemFree(*member);
  *member = text ? DuplicateString(text) : nullptr;
}

BlockCache& EngineBase::GetBlockCache() {
  return blockCache ? *blockCache.get() : EngineServices::GetBlockCache();
}

void EngineBase::SetHistory(History* history) { history_.Set(history); }

void EngineBase::CreateMembers() {
  if (!colours) colours.Set(new ColorTable);
  if (!webs) webs.Set(new WebList);
  if (!styleSheets) styleSheets.Set(new StyleSheetList);
  if (!navigators) navigators.Set(new NavigatorList);
  if (!notationHandlers) notationHandlers.Set(new OwnedList(true));
  if (!recentList) recentList.Set(new RecentList(this));
  if (!history_) history_.Set(new History(this));
  const struct {
    char** member;
    int id;
  } texts[] = {{&hotspotTitle, kStrHotspotTitle},
               {&untitledText, kStrUntitled},
               {&selectTargetText, kStrSelectTarget},
               {&attributesTitle, kStrAttributesTitle}};
  for (const auto& t : texts)
    if (!*t.member) SetText(t.member, BuiltinString(t.id));
}

Catalog* EngineBase::GetCatalog() { return nullptr; }
EntityrcFile* EngineBase::GetEntityRc() { return nullptr; }

const char* EngineBase::GetString(int id, char*) { return BuiltinString(id); }

// ShowNoteDialog, ShowLinkDialog and CloseDialogsFor work on the dialogs of
// the engine's interface: they are defined with those dialogs.
int EngineBase::GotoAnchor(View*, Anchor*, Anchor*) { return 0; }

void EngineBase::FollowFirstLink(View* view, Anchor* anchor) {
  Web* web = anchor ? anchor->GetWeb() : nullptr;
  for (Link* link = web ? web->FirstLink() : nullptr; link;
       link = static_cast<Link*>(link->Next())) {
    if (link->Ends(anchor)) {
      // The host may go there itself; else the engine shows the other end.
      Anchor* to = link->Other(anchor);
      if (!GotoAnchor(view, anchor, to)) to->Show(view);
      return;
    }
  }
}

Stream* EngineBase::OpenEntity(ExternalId*, const char*, std::int32_t* outNumber) {
  if (outNumber) *outNumber = 0;
  return nullptr;
}
char* EngineBase::ResolvePublicId(const char*) { return nullptr; }
char* EngineBase::ResolveEntityName(const char*) { return nullptr; }
char* EngineBase::GetHostFontInfo(const char*, char*, char*, int*, char*, char*, int*) {
  return nullptr;
}

void EngineBase::AnchorsChanged() {}
void EngineBase::WebEditingClosed(Web*) {}
void EngineBase::WebEditingOpened(Web*) {}
void EngineBase::WebClosing(Web* web) { CloseDialogsFor(web, nullptr); }
void EngineBase::AnchorDeleted(Anchor* anchor) { CloseDialogsFor(nullptr, anchor); }
void EngineBase::LinkDeleted(Anchor* from, Anchor* to) {
  CloseDialogsFor(nullptr, from);
  CloseDialogsFor(nullptr, to);
}
void EngineBase::RecentListChanged(void*) {}
void EngineBase::StartTimer() {}
WindowHandle EngineBase::GetParentWindow(WindowHandle window) { return window; }
void EngineBase::RunDialog(Dialog*) {}
int EngineBase::DoModalDialog(WindowHandle, Dialog* dialog) {
  // Without windows no template can be loaded.
  if (dialog) dialog->Release();
  return -1;
}
Dialog* EngineBase::NewInputDialog(const char* title, const char* label, char* buffer) {
  return new InputDialog(title, label, buffer);
}
Dialog* EngineBase::NewListDialog(ListDialogItems* items) { return new ListDialog(items); }
int EngineBase::ShowListDialog(WindowHandle window, ListDialogItems* items) {
  return DoModalDialog(GetParentWindow(window), NewListDialog(items));
}
void EngineBase::ReportError(int, std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) {}
std::intptr_t EngineBase::RaiseEvent(WindowHandle, int, std::intptr_t, std::intptr_t) {
  return 0;
}

// ============================================================================
// Engine

Engine::Engine(ModuleHandle hostInstance, const char* home, const char* title)
    : EngineBase(home ? home : DefaultHome(hostInstance).text), hostInstance_(hostInstance) {
  applicationName_ = Utf8ToAnsiCopy(title ? title : kDefaultTitle);
}

Engine::~Engine() {
  FreeIcons();
  // What is still pushed refers to the catalog and ENTITYRC file: it goes
  // first.
  resolverStacks.Reset();
  entityRc.Reset();
  catalog.Reset();
  ClearEngineTablesPath();
  for (char** text : {&tempDir_, &catalogFile_, &entityRcFile_, &setupFile_, &sdataHome_})
    SetText(text, nullptr);
  MemFree(applicationName_);
}

Catalog* Engine::GetCatalog() { return catalog.get(); }
EntityrcFile* Engine::GetEntityRc() { return entityRc.get(); }
const char* Engine::GetTempDir() { return tempDir_; }

const char* Engine::GetString(int id, char* buffer) {
  const char* builtin = BuiltinString(id);
  if (!builtin) return nullptr;
  if (hostStrings_ && buffer) {
    char ansi[128];
    if (platform::LoadResourceString(hostInstance_, kHostStringBase + unsigned(id), ansi,
                                     sizeof ansi)) {
      // Up to 127 ANSI characters take at most 3 bytes each in UTF-8.
      return AnsiToUtf8Buffer(buffer, 3 * sizeof ansi, ansi);
    }
  }
  return builtin;
}

const char* Engine::GetProfileSection() { return "VUROD"; }
const char* Engine::GetCatalogKey() { return "CATALOG"; }
const char* Engine::GetEntityRcKey() { return "ENTITYRC"; }
const char* Engine::GetTempHomeKey() { return "TEMPHOME"; }

void Engine::InitSettings() {
  char homeAnsi[kPathBufferSize];
  Utf8ToAnsiBuffer(homeAnsi, sizeof homeAnsi, home());

  char mark[65];
  if (platform::LoadResourceString(hostInstance_, kHostStringsId, mark, sizeof mark) &&
      CompareStrings(mark, kHostStringsMark) == 0) {
    hostStrings_ = true;
    char** texts[] = {&hotspotTitle, &untitledText, &selectTargetText, &attributesTitle};
    for (int i = 0; i < 4; ++i) {
      char ansi[129];
      if (platform::LoadResourceString(hostInstance_, kHostStringBase + kStrHotspotTitle + i,
                                       ansi, sizeof ansi)) {
        char* text = AnsiToUtf8Copy(ansi);
        MemFree(*texts[i]);
        *texts[i] = text;
      }
    }
  }

  // Values from the profile are used as they stand; only the defaults are
  // made from the home folder.
  const struct {
    char** member;
    const char* key;
    const char* suffix;
  } settings[] = {
      {&tempDir_, GetTempHomeKey(), "tmp"},
      {&catalogFile_, GetCatalogKey(), "catalog\\catalog"},
      {&entityRcFile_, GetEntityRcKey(), "entityrc\\entityrc"},
      {&setupFile_, "SETUP", "setup"},
      {&sdataHome_, "SDATAHOME", ""},
  };
  for (const auto& s : settings) {
    if (*s.member) continue;
    char fallback[kPathBufferSize];
    FormatString(fallback, sizeof fallback, "%s%s", homeAnsi, s.suffix);
    char value[kPathBufferSize];
    platform::ReadProfileString(GetProfileSection(), s.key, fallback, value, sizeof value);
    *s.member = AnsiToUtf8Copy(value);
  }

  LoadIcons();
  CreateResolvers();
  CreateMembers();
}

void Engine::LoadIcons() { LoadEngineIcons(*this); }
void Engine::FreeIcons() { FreeEngineIcons(*this); }

View* Engine::ShowPosition(WindowHandle, View*, FrameNode*, std::int32_t, int) {
  // No view shows any frame until the views exist.
  return nullptr;
}

int Engine::GotoPosition(WindowHandle, View*, Document*, std::int32_t, std::int32_t, int) {
  // No frame covers the range.
  ReportError(kErrInternal, 17);
  return 0;
}

void Engine::RunProgram(const char* command) {
  unsigned result = platform::StartProgram(command ? command : "", 5);
  if (result >= 32) return;
  std::intptr_t argument = 0;
  int code = WinExecResultToError(result, &argument);
  ReportError(code, argument);
}

int Engine::ShowHotArea(Document*, GraphicObject*, Region*) { return 0; }

WindowHandle Engine::GetParentWindow(WindowHandle window) { return window ? window : mainWindow; }

int Engine::DoModalDialog(WindowHandle parent, Dialog* dialog) {
  return RunModalDialog(hostInstance_, parent, dialog);
}

void Engine::ReportError(int code, std::intptr_t a, std::intptr_t b, std::intptr_t c,
                         std::intptr_t d) {
  const std::intptr_t args[4] = {a, b, c, d};
  char text[kPathBufferSize];
  FormatEngineError(text, sizeof text, code, args);
  // The sink takes UTF-8 and converts for the system itself.
  char caption[3 * kPathBufferSize];
  AnsiToUtf8Buffer(caption, sizeof caption, applicationName_ ? applicationName_ : "");
  platform::ShowMessage(mainWindow, text, caption, platform::kMbOk | platform::kMbIconAsterisk);
}

void Engine::ShowWindow(WindowHandle window) {
  // The window, then each parent while the window is a child.
  for (int depth = 0; window && depth < 64; ++depth) {
    platform::BringWindowToFront(window);
    window = platform::ParentOfChildWindow(window);
  }
}

int Engine::HandleMessage(WindowHandle window, unsigned message, std::intptr_t wParam,
                          std::intptr_t lParam, std::intptr_t* result) {
  constexpr unsigned kLeftButtonDown = 0x0201;
  constexpr std::intptr_t kShiftAndControl = 0x0004 | 0x0008;
  if (message == kLeftButtonDown && (wParam & kShiftAndControl) == kShiftAndControl) {
    // Coordinates are signed 16-bit words.
    int x = static_cast<std::int16_t>(lParam & 0xFFFF);
    int y = static_cast<std::int16_t>((lParam >> 16) & 0xFFFF);
    if (x < 10 && y < 10) {
      ShowAboutBox(window);
      if (result) *result = 0;
      return 1;
    }
  }
  // Everything else goes to the window's device, when it has one. The
  // device may delete itself (WM_DESTROY): nothing touches it after.
  std::intptr_t answer = 0;
  const int handled = DispatchWindowMessage(window, message, static_cast<std::uintptr_t>(wParam),
                                            lParam, &answer) == 0;
  if (result) *result = handled ? answer : 0;
  return handled ? 1 : 0;
}

void Engine::ShowAboutBox(WindowHandle owner) { ::qs::ShowAboutBox(owner); }

// ============================================================================
// HostedEngine

HostedEngine::HostedEngine(ModuleHandle hostInstance, const char* home, const char* title,
                           HostCallback hostCallback)
    : Engine(hostInstance, home, title), hostCallback_(hostCallback) {
  handles.Set(new HandleTable);
  SetHistory(new HostedHistory(this));
}

HostedEngine::~HostedEngine() {
  if (handles && handles->Count() != 0) {
    if (RaiseEvent(0, kEventLockedObjects, 0, 0) == 0)
      platform::ShowMessage(0, "There are locked objects", "Warning", platform::kMbOk);
  }
  // The history tells this engine about its moves: it goes first.
  SetHistory(nullptr);
  DropPendingLink();
  handles.Reset();
}

void HostedEngine::Initialize(const char* catalogPath, const char* entityRcPath,
                              const char* setupPath, const char* tempDir,
                              const char* sdataHomePath) {
  const struct {
    const char* argument;
    char** member;
  } paths[] = {{tempDir, &tempDir_},
               {catalogPath, &catalogFile_},
               {entityRcPath, &entityRcFile_},
               {setupPath, &setupFile_},
               {sdataHomePath, &sdataHome_}};
  for (const auto& p : paths) {
    if (!p.argument || *p.member) continue;
    char joined[kPathBufferSize];
    *p.member = DuplicateString(JoinHomePath(home(), p.argument, joined));
  }
  InitSettings();
}

std::intptr_t HostedEngine::RaiseEvent(WindowHandle window, int event, std::intptr_t a,
                                       std::intptr_t b) {
  return hostCallback_ ? hostCallback_(window, event, a, b) : 0;
}

void HostedEngine::ReportError(int code, std::intptr_t a, std::intptr_t b, std::intptr_t c,
                               std::intptr_t d) {
  ErrorEventRecord record{{a, b, c, d}};
  if (RaiseEvent(0, kEventError, code, reinterpret_cast<std::intptr_t>(&record)) != 0) return;
  Engine::ReportError(code, a, b, c, d);
}

// Raises `event` with a handle of `object` made for the call (or the one the
// host already holds, with a use more for the call) and gives that use back.
std::intptr_t HostedEngine::RaiseWithHandle(WindowHandle window, int event, void* object,
                                            int type, std::intptr_t b) {
  HandleType handleType = static_cast<HandleType>(type);
  Handle handle = handles && object ? handles->Register(object, handleType) : 0;
  std::intptr_t answer = RaiseEvent(window, event, handle, b);
  if (handle) handles->Release(handle);
  return answer;
}

void HostedEngine::RunDialog(Dialog* dialog) {
  DialogWindow* window = dialog ? dialog->window() : nullptr;
  const char* name = dialog ? DialogTemplateName(dialog->GetKind()) : nullptr;
  if (!window || !name) return;
  // The host's answer changes nothing: the dialog runs on.
  RaiseEvent(window->Owner(), kEventRunDialog, reinterpret_cast<std::intptr_t>(name), 0);
}

void HostedEngine::ShowNoteDialog(WindowHandle window, Anchor* anchor, int flag) {
  if (RaiseWithHandle(0, kEventNoteDialog, anchor, int(HandleType::kAnchor), 0) != 0) return;
  Engine::ShowNoteDialog(window, anchor, flag);
}

void HostedEngine::ShowLinkDialog(WindowHandle window, Anchor* anchor) {
  if (RaiseWithHandle(0, kEventLinkDialog, anchor, int(HandleType::kAnchor), 0) != 0) return;
  Engine::ShowLinkDialog(window, anchor);
}

int HostedEngine::GotoAnchor(View* view, Anchor* from, Anchor* to) {
  // The view's window comes with the views; until then the event has none.
  WindowHandle window = 0;
  Handle fromHandle = handles && from ? handles->RegisterAnchor(from) : 0;
  Handle toHandle = handles && to ? handles->RegisterAnchor(to) : 0;
  std::intptr_t answer = RaiseEvent(window, kEventGotoAnchor, fromHandle, toHandle);
  if (fromHandle) handles->Release(fromHandle);
  if (toHandle) handles->Release(toHandle);
  if (answer != 0) return static_cast<int>(answer);
  return Engine::GotoAnchor(view, from, to);
}

int HostedEngine::GotoPosition(WindowHandle window, View* view, Document* document,
                               std::int32_t position, std::int32_t length, int flag) {
  return FindCoveringObject(0, view, nullptr, document, position, length, flag, 0);
}

int HostedEngine::ShowHotArea(Document* document, GraphicObject* graphic, Region* area) {
  return FindOrOpenHotArea(0, document, graphic, area);
}

// FindCoveringObject and FindOrOpenHotArea go through the views: they are
// defined with the engine interface's view and picture exports.

char* HostedEngine::ResolvePublicId(const char* publicId) {
  std::intptr_t flags = 0;
  std::intptr_t answer =
      RaiseEvent(0, kEventResolvePublicId, reinterpret_cast<std::intptr_t>(publicId),
                 reinterpret_cast<std::intptr_t>(&flags));
  if (!answer) return Engine::ResolvePublicId(publicId);
  char* copy = DuplicateString(reinterpret_cast<const char*>(answer));
  if (flags & 2) RaiseEvent(0, kEventFreeHostBlock, answer, 0);
  return copy;
}

char* HostedEngine::GetHostFontInfo(const char* name, char* text1, char* text2, int* value,
                                    char* weight, char* slant, int* number) {
  HostFontRecord record{};
  record.number = 100;
  std::intptr_t answer = RaiseEvent(0, kEventHostFontInfo, reinterpret_cast<std::intptr_t>(name),
                                    reinterpret_cast<std::intptr_t>(&record));
  if (!answer) return nullptr;
  char* copy = DuplicateString(reinterpret_cast<const char*>(answer));
  RaiseEvent(0, kEventFreeHostBlock, answer, 0);
  // The host's texts need not be terminated within their 80 bytes.
  if (text1) CopyStringMax(text1, record.text1, sizeof record.text1);
  if (text2) CopyStringMax(text2, record.text2, sizeof record.text2);
  if (value) *value = static_cast<int>(record.value & 0xFF);
  if (weight) *weight = (record.styleBits & 3) ? 'b' : '\0';
  if (slant) {
    *slant = (record.styleBits & 16)  ? 'r'
             : (record.styleBits & 8) ? 'i'
             : (record.styleBits & 4) ? 'e'
                                      : '\0';
  }
  if (number) *number = static_cast<int>(record.number);
  return copy;
}

void HostedEngine::AnchorsChanged() {
  RaiseEvent(0, kEventAnchorsChanged, 0, 0);
  Engine::AnchorsChanged();
}

void HostedEngine::WebEditingClosed(Web* web) {
  RaiseWithHandle(0, kEventWebEditingClosed, web, int(HandleType::kWeb), 0);
  Engine::WebEditingClosed(web);
}

void HostedEngine::WebEditingOpened(Web* web) {
  RaiseWithHandle(0, kEventWebEditingOpened, web, int(HandleType::kWeb), 0);
  Engine::WebEditingOpened(web);
}

void HostedEngine::WebClosing(Web* web) {
  // Every handle the host holds for the web is announced and then goes
  // with it; a web without one gets one for the call.
  Handle handle = handles && web ? handles->FindByObject(web) : 0;
  if (handle) {
    RaiseEvent(0, kEventWebClosing, handle, 0);
    handles->Forget(web);
  } else {
    RaiseWithHandle(0, kEventWebClosing, web, int(HandleType::kWeb), 0);
  }
  // The handles of the web's anchors go too, when webs list their anchors.
  Engine::WebClosing(web);
}

void HostedEngine::AnchorDeleted(Anchor* anchor) {
  // Both values name the anchor concerned (the host's bookmark list reads
  // the second); an anchor the host holds no handle of gets one for the
  // call, so the host's lists stay true. The handle goes after the call.
  Handle handle = handles && anchor ? handles->FindByObject(anchor) : 0;
  if (!handle && handles && anchor) handle = handles->RegisterAnchor(anchor);
  if (handle) {
    RaiseEvent(0, kEventAnchorDeleted, handle, handle);
    handles->Forget(anchor);
  }
  Engine::AnchorDeleted(anchor);
}

void HostedEngine::LinkDeleted(Anchor* from, Anchor* to) {
  Handle fromHandle = handles && from ? handles->FindByObject(from) : 0;
  Handle toHandle = handles && to ? handles->FindByObject(to) : 0;
  if (fromHandle || toHandle) {
    RaiseEvent(0, kEventLinkDeleted, fromHandle ? fromHandle : toHandle,
               fromHandle && toHandle ? toHandle : 0);
  }
  Engine::LinkDeleted(from, to);
}

void HostedEngine::RecentListChanged(void* list) {
  RaiseEvent(0, kEventRecentListChanged, 0, 0);
  Engine::RecentListChanged(list);
}

void HostedEngine::ShowWindow(WindowHandle window) {
  if (RaiseEvent(window, kEventShowWindow, 0, 0) != 0) return;
  Engine::ShowWindow(window);
}

}  // namespace qs
