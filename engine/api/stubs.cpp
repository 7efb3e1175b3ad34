// Exports whose capability is not built yet. Each gives the result its
// interface documents for a handle or window that is not found, which is
// exactly what a host sees while no object of that kind can exist. A family
// that gets built replaces its lines here with the real functions.
#include "api/exports.h"

extern "C" {

// ---- Engine life, settings and identifiers
std::int32_t QsBeginWindowDraw(QsWindow, QsWord) { return -1; }

// ---- Documents, style sheets and navigators


// ---- DTDs, entities and notations

// ---- Webs
std::int32_t QsAnnotateSelection(QsWindow, QsHandle) { return 0; }
std::int32_t QsAnnotateSelection2(QsWindow, QsHandle) { return 0; }
std::int32_t QsBeginLink(QsWindow) { return 0; }
std::int32_t QsCompleteLink(QsWindow, QsHandle) { return 0; }

// ---- Anchors and hotspots
std::intptr_t QsGetLinkTarget(QsWindow, QsHandle, QsRecordProc, QsWord) { return 0; }
QsHandle QsCreateDocAnchor(QsWindow, QsHandle, const char*) { return 0; }

// ---- Printing and preview
std::int32_t QsPrintDocument(QsHandle, QsHandle, QsHandle, QsHandle, std::int32_t) { return 0; }
QsWord QsPrintPreviewPage(QsHandle, QsHandle, QsHandle, QsHandle, std::int32_t, QsWord, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t*) { return 0; }
void QsPaintPreviewPage(QsWord, QsWord) {}
std::int32_t QsStepPreviewPage(QsWord, QsWord, std::int32_t) { return 0; }
void QsEndPreview(QsWord) {}



}  // extern "C"
