// Engine life, paths and engine-wide settings. Every export but
// QsSetCallback needs the engine and gives its failure result without one.
#include "api/exports.h"
#include "api/interface.h"
#include "foundation/block_cache.h"
#include "foundation/callbacks.h"
#include "foundation/engine.h"
#include "foundation/module.h"
#include "foundation/strings.h"
#include "view/picture_services.h"
#include "view/pictures.h"
#include "view/printer_list.h"
#include "view/shared_palette.h"
#include "view/view_links.h"
#include "view/window_map.h"

using namespace qs;

namespace {

// The buffer rule of the interface: at most size - 1 bytes and always a
// terminator. Null when there is no text or nowhere to put it.
char* CopyOut(const char* text, char* buffer, std::int32_t size) {
  if (!text || !*text || !buffer || size <= 0) return nullptr;
  CopyStringMax(buffer, text, static_cast<std::size_t>(size));
  return buffer;
}

}  // namespace

extern "C" {

std::int32_t QsRegisterPaletteImages(QsWord window, QsWord palette, QsWord merge) {
  if (!GetEngine()) return 0;
  return RegisterPaletteImages(static_cast<std::intptr_t>(window), static_cast<std::intptr_t>(palette),
                               static_cast<std::intptr_t>(merge));
}

QsWord QsInitialize(QsWord instance, const char* title, const char* catalog, const char* entityrc,
                    const char* setup, const char* tempDir, const char* home) {
  // One engine per process: a second start would orphan the first.
  if (GetEngine()) return 0;
  LoadModuleResources();
  HostedEngine* engine = MakePictureEngine(instance, nullptr, title, &DispatchEvent);
  if (!engine) return 0;
  SetEngine(engine);
  engine->Initialize(catalog, entityrc, setup, tempDir, home);
  engine->printers.Set(new PrinterList(NewPlatformPrinterSystem()));
  InstallPictureServices();
  InstallViewLinkHooks();
  return reinterpret_cast<QsWord>(engine);
}

void QsTerminate() {
  EngineBase* engine = GetEngine();
  if (!engine) return;
  // Every window device first: each tells its view while the engine is
  // still there.
  WindowMap::DestroyAll();
  // Previews the host left open let go of their documents while the
  // engine's lists are there.
  EndAllPreviews();
  // The picture timer and the cache go before the engine, the outside
  // libraries after it.
  RemovePictureServices();
  RemoveViewLinkHooks();
  // With handles still held, the engine offers event 49 (or warns) and the
  // handle table writes its leak log, all while the engine is current.
  delete engine;
  SetEngine(nullptr);
  UnloadImagingLibrary();
  FreeAllCallbacks();
}

char* QsGetCatalogFile(char* buffer, std::int32_t size) {
  Engine* engine = CurrentEngine();
  return engine ? CopyOut(engine->catalogFile(), buffer, size) : nullptr;
}

char* QsGetEntityrcFile(char* buffer, std::int32_t size) {
  Engine* engine = CurrentEngine();
  return engine ? CopyOut(engine->entityRcFile(), buffer, size) : nullptr;
}

char* QsGetSetupFile(char* buffer, std::int32_t size) {
  Engine* engine = CurrentEngine();
  return engine ? CopyOut(engine->setupFile(), buffer, size) : nullptr;
}

char* QsGetTempDir(char* buffer, std::int32_t size) {
  Engine* engine = CurrentEngine();
  if (!engine || !buffer) return nullptr;
  // Always the buffer, even when there is no folder to name.
  if (size > 0) {
    const char* dir = engine->GetTempDir();
    CopyStringMax(buffer, dir ? dir : "", static_cast<std::size_t>(size));
  }
  return buffer;
}

void QsSetCallback(QsWindow window, std::int32_t event, QsEventProc procedure, QsWord data) {
  // Hosts register before they start the engine: the registry lives with
  // the library. It refuses event numbers outside 0-49 and null procedures.
  RegisterCallback(window, event, reinterpret_cast<EventProcedure>(procedure), data);
}

void QsSetEngineParam(std::int32_t count) {
  if (EngineBase* engine = GetEngine()) engine->recentLimit = count < 0 ? 0 : count;
}

std::int32_t QsSetCharset(std::int32_t charset) {
  EngineBase* engine = GetEngine();
  if (!engine || charset < 0 || charset > 16) return 0;
  std::int32_t previous = engine->charset + 1;
  if (charset != 0) engine->charset = charset - 1;
  return previous;
}

void QsFlushBlockCache(QsWord, QsWord, QsWord) {
  if (EngineBase* engine = GetEngine()) engine->GetBlockCache().GiveBackUnused();
}

void QsSetMainWindow(QsWindow window) {
  if (Engine* engine = CurrentEngine()) engine->mainWindow = window;
}

// Each component is a byte passed in a word: only its low byte counts.
std::int32_t QsSetColor(const char* name, std::int32_t red, std::int32_t green,
                        std::int32_t blue) {
  EngineBase* engine = GetEngine();
  if (!engine || !name || !engine->colours) return 0;
  ColorEntry* entry =
      engine->colours->Define(name, static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                              static_cast<std::uint8_t>(blue));
  return entry ? 1 : 0;
}

}  // extern "C"
