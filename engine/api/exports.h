// The engine library's interface as its host calls it: every export of
// export_table.h with its arguments and result. Handles are 32-bit numbers;
// windows, pointers, message parameters and user data words have the
// platform's pointer width. Texts are UTF-8.
#pragma once
#include <cstdint>

using QsHandle = std::uint32_t;
using QsWindow = std::intptr_t;  // the host's window handle
using QsWord = std::intptr_t;    // a user data word, message parameter or opaque value

extern "C" {

// Procedures of the host. On x86_64 there is one calling convention.
// Walks: procedure(item, user data); a nonzero result stops the walk.
typedef std::intptr_t (*QsRecordProc)(const void* record, QsWord data);
typedef std::intptr_t (*QsHandleProc)(QsHandle handle, QsWord data);
typedef std::intptr_t (*QsTextItemProc)(const char* text, QsWord data);
// Parser reports: procedure(report record, user data); 0 stops at a warning.
typedef std::int32_t (*QsMessageProc)(const void* report, QsWord data);
// Text sources: returns the next block and its length; null ends the text;
// *more set to 0 makes the block the last.
typedef const char* (*QsTextProc)(QsWord data, std::int32_t* length, std::int32_t* more);
// Engine events: procedure(window or 0, event, a, b, user data).
typedef std::intptr_t (*QsEventProc)(QsWindow window, std::int32_t event, QsWord a, QsWord b,
                                     QsWord data);

// ---- Compatibility and version --------------------------------------------
const char* QsGetCmptlNo();
const char* QsGetTextVersion();

// ---- Windows, dialogs and settings ----------------------------------------
// File dialogs: `filter` is "description|pattern|..." pairs; `path`, when
// given, receives the chosen file in UTF-8, at most 301 bytes with its
// terminator (the system's 101-byte buffer converted), and is left as it
// was when the dialog is cancelled.
std::int32_t QsOpenFileDialog(QsWindow owner, const char* title, char* path, const char* filter);
std::int32_t QsSaveFileDialog(QsWindow owner, const char* title, char* path, const char* filter);
std::int32_t QsInputDialog(QsWindow owner, const char* title, const char* prompt, char* text);
QsWord QsDefWindowProc(QsWindow window, std::uint32_t message, QsWord wparam, QsWord lparam);
std::int32_t QsHandleMessage(QsWindow window, std::uint32_t message, QsWord wparam, QsWord lparam,
                             QsWord* result);
void QsSetDefaultFont(const char* face, std::int32_t points);
std::int32_t QsSelectPrinter(const char* device);
char* QsGetPrinterName(char* buffer, std::int32_t size);
void QsPrinterSetupDialog(QsWindow owner);
void QsRedrawView(QsWindow window);
void QsCloseDocumentViews(QsHandle document);
void QsApplyStyleSheet(QsHandle sheet);
void QsApplyNavigator(QsHandle navigator);

// ---- Engine life, settings and identifiers --------------------------------
QsWord QsInitialize(QsWord instance, const char* title, const char* catalog, const char* entityrc,
                    const char* setup, const char* tempDir, const char* home);
std::int32_t QsGetVersion();
char* QsGetCatalogFile(char* buffer, std::int32_t size);
char* QsGetEntityrcFile(char* buffer, std::int32_t size);
char* QsGetSetupFile(char* buffer, std::int32_t size);
char* QsGetTempDir(char* buffer, std::int32_t size);
void QsTerminate();
void QsSetEngineParam(std::int32_t count);
std::int32_t QsSetCharset(std::int32_t charset);
void QsDeleteTempFiles(const char* name);
void QsFlushBlockCache(QsWord a, QsWord b, QsWord c);
void QsSetMainWindow(QsWindow window);
std::int32_t QsSetColor(const char* name, std::int32_t red, std::int32_t green, std::int32_t blue);
std::int32_t QsRegisterPaletteImages(QsWord a, QsWord b, QsWord c);
std::int32_t QsBeginWindowDraw(QsWindow window, QsWord value);
void QsSetCallback(QsWindow window, std::int32_t event, QsEventProc procedure, QsWord data);
std::int32_t QsIsSameObject(QsHandle a, QsHandle b);
const char* QsGetPublicId(QsHandle handle);
const char* QsGetSystemId(QsHandle handle);
char* QsGetFileName(QsHandle handle, char* buffer, std::int32_t size);

// ---- Handles ----------------------------------------------------------------
std::uint32_t QsAddRefHandle(QsHandle handle);
std::uint32_t QsReleaseHandle(QsHandle handle);
std::uint32_t QsGetHandleRefCount(QsHandle handle);
std::uint32_t QsGetHandleType(QsHandle handle);

// ---- Opening DTDs, documents, style sheets and navigators ------------------
QsHandle QsOpenDtd(const char* systemId, const char* publicId, std::int32_t documentFlag,
                   QsMessageProc messages, QsWord data);
QsHandle QsOpenDtdText(const char* text, const char* name, const char* publicId,
                       std::int32_t documentFlag, QsMessageProc messages, QsWord data);
QsHandle QsOpenDtdProc(QsTextProc procedure, QsWord procedureData, const char* name,
                       const char* publicId, std::int32_t documentFlag, QsMessageProc messages,
                       QsWord data);
QsHandle QsParseDocument(const char* systemId, const char* publicId, QsHandle dtd,
                         QsMessageProc messages, QsWord data);
QsHandle QsOpenDocumentText(const char* text, const char* name, const char* publicId,
                            QsHandle dtd, QsMessageProc messages, QsWord data);
QsHandle QsOpenDocumentProc(QsTextProc procedure, QsWord procedureData, const char* name,
                            const char* publicId, QsHandle dtd, QsMessageProc messages,
                            QsWord data);
QsHandle QsCreateStyleSheet(const char* path, const char* publicId, const char* sheetName);
QsHandle QsOpenStyleSheet(const char* systemId, const char* publicId, QsMessageProc messages,
                          QsWord data);
QsHandle QsOpenStyleSheetText(const char* text, const char* name, const char* publicId,
                              QsMessageProc messages, QsWord data);
QsHandle QsOpenStyleSheetProc(QsTextProc procedure, QsWord procedureData, const char* name,
                              const char* publicId, QsMessageProc messages, QsWord data);
QsHandle QsLoadStyleSheet(QsHandle document, std::int32_t index, QsMessageProc messages,
                          QsWord data);
QsHandle QsCreateNavigator(const char* path, const char* publicId, const char* navigatorName);
QsHandle QsOpenNavigator(const char* systemId, const char* publicId, QsMessageProc messages,
                         QsWord data);
QsHandle QsOpenNavigatorText(const char* text, const char* name, const char* publicId,
                             QsMessageProc messages, QsWord data);
QsHandle QsOpenNavigatorProc(QsTextProc procedure, QsWord procedureData, const char* name,
                             const char* publicId, QsMessageProc messages, QsWord data);
QsHandle QsLoadNavigator(QsHandle document, std::int32_t index, QsMessageProc messages,
                         QsWord data);

// ---- Compiled documents and plain-text export -------------------------------
std::int32_t QsSaveDocumentBinary(QsHandle document, const char* path);
std::int32_t QsSaveDocumentBinaryMem(QsHandle document, QsWord userValue, std::int32_t* positions,
                                     void* output, void* callback);
QsHandle QsOpenBinaryDocument(const char* path, std::int32_t start, const char* name,
                              const char* publicId);
QsHandle QsOpenBinaryDocumentMem(void* source, QsWord userValue, std::int32_t start,
                                 const char* name, const char* publicId);
std::int32_t QsExportText(QsHandle document, QsHandle node, QsHandle sheet, const char* path);

// ---- Documents, style sheets and navigators -------------------------------
QsHandle QsGetViewDocument(QsWindow window);
std::int32_t QsDetachDocumentViews(QsHandle document);
std::int32_t QsCloseDocument(QsHandle document);
char* QsGetDocumentName(QsHandle document, char* buffer, std::int32_t size);
const char* QsGetDocumentPublicId(QsHandle document);
std::int32_t QsGetDocumentCount(QsHandle document);
char* QsGetDocumentBytes(QsHandle document, std::int32_t start, std::int32_t length, char* buffer);
std::int32_t QsCopyDocumentText(QsHandle document, std::int32_t start, std::int32_t length,
                                char* buffer);
std::int32_t QsMergeDocument(QsHandle node, QsHandle document, QsWord value);
std::intptr_t QsEnumDocElements(QsHandle document, QsRecordProc procedure, QsWord data);
std::intptr_t QsEnumDtdElements(QsHandle dtd, QsRecordProc procedure, QsWord data);
std::int32_t QsCountDocStyleSheets(QsHandle document);
std::int32_t QsCountDocNavigators(QsHandle document);
const char* QsGetDocStyleSheetTitle(QsHandle document, std::int32_t n);
char* QsGetDocStyleSheetFile(QsHandle document, std::int32_t n, char* buffer, std::int32_t size);
const char* QsGetDocNavigatorTitle(QsHandle document, std::int32_t n);
char* QsGetDocNavigatorFile(QsHandle document, std::int32_t n, char* buffer, std::int32_t size);
std::int32_t QsAddStyleSheetResource(const char* publicId, const char* title, const char* file,
                                     std::int32_t flag);
std::int32_t QsRemoveStyleSheetResource(const char* publicId, const char* title,
                                        const char* file);
std::int32_t QsAddNavigatorResource(const char* publicId, const char* title, const char* file,
                                    std::int32_t flag);
std::int32_t QsRemoveNavigatorResource(const char* publicId, const char* title,
                                       const char* file);
std::int32_t QsReloadStyleSheet(QsHandle sheet);
QsHandle QsGetViewStyleSheet(QsWindow window);
std::int32_t QsSaveStyleSheet(QsHandle sheet);
std::int32_t QsSaveStyleSheetAs(QsHandle sheet, const char* path);
std::int32_t QsReloadNavigator(QsHandle navigator);
QsHandle QsGetViewNavigator(QsWindow window);
std::int32_t QsSaveNavigator(QsHandle navigator);
std::int32_t QsSaveNavigatorAs(QsHandle navigator, const char* path);
std::int32_t QsGetNavigatorScale(QsHandle navigator, std::int32_t* scale, std::int32_t* min,
                                 std::int32_t* max);
std::int32_t QsSetNavigatorScale(QsHandle navigator, std::int32_t scale, std::int32_t min,
                                 std::int32_t max);
std::int32_t QsSetNavigatorEntry(QsHandle navigator, const char* body, const char* qualifier,
                                 const char* title, std::int32_t flags);
std::int32_t QsRemoveNavigatorEntry(QsHandle navigator, const char* body, const char* qualifier,
                                    const char* title);
std::intptr_t QsEnumNavigatorEntries(QsHandle navigator, QsRecordProc procedure, QsWord data);

// ---- Style sheet editing records --------------------------------------------
void QsClearStyleRecord(char** record);
void QsFreeStyleRecord(char** record);
std::int32_t QsIsStyleRecordEmpty(char** record);
std::int32_t QsSetStyleRecordText(char** record, std::int32_t row, std::int32_t column,
                                  const char* text);
const char* QsGetStyleRecordText(char** record, std::int32_t row, std::int32_t column);
const char* QsGetStyleDefaultText(std::int32_t row, std::int32_t column);
char* QsGetNodeStyle(QsHandle sheet, QsHandle node, char* buffer, std::int32_t size,
                     std::int32_t* occurrence);
char* QsGetRuleTagList(QsHandle sheet, QsHandle node, QsHandle entity, char* buffer,
                       std::int32_t size, std::int32_t* occurrence);
std::int32_t QsFillNodeStyleRecord(QsHandle sheet, QsHandle node, QsHandle entity, char** record);
std::int32_t QsGetStyleRule(QsHandle sheet, const char* tag, std::int32_t occurrence,
                            const char* qualifier, char** record);
std::int32_t QsSetStyleRule(QsHandle sheet, const char* tag, std::int32_t occurrence,
                            const char* qualifier, char** record);
std::int32_t QsGetSheetMargins(QsHandle sheet, std::int32_t* left, std::int32_t* top,
                               std::int32_t* right, std::int32_t* bottom);
std::int32_t QsSetSheetMargins(QsHandle sheet, std::int32_t left, std::int32_t top,
                               std::int32_t right, std::int32_t bottom);
char* QsGetSheetBgLabel(QsHandle sheet, char* buffer, std::int32_t size);
std::int32_t QsSetSheetBgLabel(QsHandle sheet, const char* text);
QsHandle QsGetSheetIcon(QsHandle sheet, const char* name);
QsHandle QsGetSheetWidget(QsHandle sheet, const char* name);
QsHandle QsGetSheetNotation(QsHandle sheet, const char* notation);
std::intptr_t QsEnumStyleTags(QsHandle sheet, QsTextItemProc procedure, QsWord data);
std::intptr_t QsEnumQualifiers(QsHandle sheet, const char* tag, std::int32_t occurrence,
                               QsTextItemProc procedure, QsWord data);
std::intptr_t QsGetSheetEntity(QsHandle sheet, QsHandleProc procedure, QsWord data);

// ---- Views ------------------------------------------------------------------
QsWord QsAttachWindow(QsWindow window);
std::int32_t QsDisplay(QsWindow window, QsHandle document, QsHandle sheet, QsHandle navigator,
                       QsWindow linked, QsHandle startNode, QsHandle rangeNode,
                       std::int32_t flags);
std::int32_t QsGetWindowKind(QsWindow window);
std::int32_t QsGetViewFlags(QsWindow window);
std::int32_t QsSetViewFlags(QsWindow window, std::int32_t flags);
QsWord QsIdentity(QsWord word);
std::int32_t QsDetachWindowView(QsWindow window);
std::int32_t QsSearch(QsWindow window, const char* query, std::int32_t flags);
std::int32_t QsHighlightQuery(QsWindow window, const char* query, std::int32_t flags);
std::int32_t QsShowSelSet(QsWindow window, QsHandle selSet);
std::int32_t QsViewCommand(QsWindow window, std::int32_t command);
std::int32_t QsShowHandleTarget(QsWindow window, QsHandle handle);
std::int32_t QsShowPosition(QsWindow window, std::int32_t position);
QsHandle QsGetViewCurrentNode(QsWindow window);
QsHandle QsGetViewFirstNode(QsWindow window);
QsHandle QsGetViewLastNode(QsWindow window);
std::int32_t QsGetViewRange(QsWindow window, std::int32_t* start, std::int32_t* length);
QsHandle QsGetViewSelectedNode(QsWindow window);
QsHandle QsGetViewNodeAt(QsWindow window, std::int32_t* a, std::int32_t* b, std::int32_t* c);
std::int32_t QsGetNodeBoxValue21(QsWindow window, QsHandle node, std::int32_t* a,
                                 std::int32_t* b, std::int32_t* c);
std::int32_t QsGetNodeBoxValue22(QsWindow window, QsHandle node, std::int32_t* a,
                                 std::int32_t* b, std::int32_t* c);
std::int32_t QsGetNodeBoxValue23(QsWindow window, QsHandle node, std::int32_t* a,
                                 std::int32_t* b, std::int32_t* c);
std::int32_t QsGetNodeBoxValue24(QsWindow window, QsHandle node, std::int32_t* a,
                                 std::int32_t* b, std::int32_t* c);
std::int32_t QsGetNodeBoxValue25(QsWindow window, QsHandle node, std::int32_t* a,
                                 std::int32_t* b, std::int32_t* c);
std::int32_t QsScrollToNode(QsWindow window, QsHandle node, std::int32_t mode,
                            std::int32_t refresh);
std::int32_t QsShowNode(QsWindow window, QsHandle node, std::int32_t select,
                        std::int32_t visible, std::int32_t mark);
QsHandle QsNodeAtPoint(QsWindow window, std::int32_t x, std::int32_t y);
QsHandle QsAnchorAtPoint(QsWindow window, std::int32_t x, std::int32_t y);
QsHandle QsEntityAtPoint(QsWindow window, std::int32_t x, std::int32_t y);
std::int32_t QsPositionAtPoint(QsWindow window, std::int32_t x, std::int32_t y);
std::intptr_t QsGetLinkTarget(QsWindow window, QsHandle handle, QsRecordProc procedure,
                              QsWord data);
std::int32_t QsClearHighlight(QsWindow window);
std::int32_t QsHighlightQueryResult(QsWindow window, std::int32_t start, std::int32_t length);
std::int32_t QsAddSelectionRange(QsWindow window, std::int32_t start, std::int32_t length);
std::int32_t QsGetSelectionLength(QsWindow window);
std::int32_t QsGetSelectionText(QsWindow window, char* buffer, std::int32_t size);
std::int32_t QsMarkTextBetween(QsWindow window, const char* startMarker, const char* endMarker);
QsHandle QsGetViewEntity(QsWindow window, std::int32_t* x, std::int32_t* y, std::int32_t* width,
                         std::int32_t* height);
std::int32_t QsSetHighlight(QsWindow window, QsHandle entity, std::int32_t x, std::int32_t y,
                            std::int32_t width, std::int32_t height);
std::intptr_t QsEnumViewItems(QsWindow window, QsRecordProc procedure, QsWord data);

// ---- Element nodes ------------------------------------------------------------
QsHandle QsGetDocumentRoot(QsHandle document);
QsHandle QsGetNodeDocument(QsHandle node);
QsHandle QsGetElementById(QsHandle document, const char* id);
QsHandle QsGetElementByPointer(QsHandle document, const char* pointer);
QsHandle QsGetElementAtPosition(QsHandle document, std::int32_t position);
char* QsGetNodeLocation(QsHandle node, char* buffer, std::int32_t size);
std::int32_t QsGetNodeRange(QsHandle node, std::int32_t* start, std::int32_t* length);
std::int32_t QsGotoParent(QsHandle node);
std::int32_t QsGotoFirstChild(QsHandle node);
std::int32_t QsGotoPrevSibling(QsHandle node);
std::int32_t QsGotoNextSibling(QsHandle node);
std::int32_t QsGotoLocation(QsHandle node, const char* pointer);
QsHandle QsDupNode(QsHandle node);
std::int32_t QsCompareNodes(QsHandle a, QsHandle b);
const char* QsGetElementName(QsHandle node);
const char* QsGetNodeIdValue(QsHandle node);
std::int32_t QsGetNodeProperty(QsHandle node);
QsHandle QsGetNodeEntity(QsHandle node);
std::int32_t QsGetTextLength(QsHandle node, std::int32_t raw);
std::int32_t QsGetText(QsHandle node, std::int32_t raw, char* buffer, std::int32_t size);
std::int32_t QsGetAttributeCount(QsHandle node);
const char* QsGetAttributeName(QsHandle node, std::int32_t index);
const char* QsGetAttributeDefaultText(QsHandle node, const char* name);
const char* QsGetAttribute(QsHandle node, const char* name);
std::int32_t QsGetAttributeDeclaredValue(QsHandle node, const char* name);
std::int32_t QsListAttributes(QsWindow window, QsHandle node);
void QsShowElement(QsHandle handle);
void QsFollowLink(QsHandle node);
QsWord QsParseLocation(QsHandle node, const char* location);
std::intptr_t QsEnumDocumentMarks(QsHandle document, QsRecordProc procedure, QsWord data);

// ---- DTDs, entities and notations ---------------------------------------------
QsHandle QsGetDocEntity(QsHandle document, const char* name);
QsHandle QsGetDtdEntity(QsHandle dtd, const char* name);
QsHandle QsGetDtdEntity2(QsHandle dtd, const char* name);
QsHandle QsCreateEntity(const char* name, const char* systemId, const char* publicId,
                        QsHandle notation, const char* const* attributeNames,
                        const char* const* attributeValues);
QsHandle QsGetDtdNotation(QsHandle dtd, const char* name);
const char* QsGetEntityValueA(QsHandle entity);
std::int32_t QsGetEntityValueB(QsHandle entity);
const char* QsGetEntityValueC(QsHandle entity);
QsHandle QsGetEntityNotation(QsHandle entity);
const char* QsGetNotationName(QsHandle notation);
QsHandle QsCreateNotation(const char* name, const char* systemId, const char* publicId,
                          const char* const* attributeNames, const std::int32_t* declaredValues,
                          const QsWord* defaults);
std::int32_t QsGetEntityAttrCount(QsHandle entity);
const char* QsGetEntityAttrName(QsHandle entity, std::int32_t index);
std::int32_t QsGetEntityAttrDeclaredValue(QsHandle entity, const char* name);
const char* QsGetEntityAttrDefaultText(QsHandle entity, const char* name);
const char* QsGetEntityAttrValue(QsHandle entity, const char* name);
std::int32_t QsGetNotationAttrCount(QsHandle notation);
const char* QsGetNotationAttrName(QsHandle notation, std::int32_t index);
std::int32_t QsGetNotationAttrDeclaredValue(QsHandle notation, const char* name);
const char* QsGetNotationAttrDefaultText(QsHandle notation, const char* name);
std::intptr_t QsEnumDocEntityHandles(QsHandle document, QsHandleProc procedure, QsWord data);

// ---- Webs ---------------------------------------------------------------------
QsHandle QsCreateWeb(const char* path, const char* publicId, const char* title);
QsHandle QsOpenWeb(const char* path, const char* publicId, QsMessageProc messages, QsWord data);
QsHandle QsOpenWebText(const char* text, const char* name, const char* publicId,
                       QsMessageProc messages, QsWord data);
QsHandle QsOpenWebProc(QsTextProc procedure, QsWord procedureData, const char* name,
                       const char* publicId, QsMessageProc messages, QsWord data);
char* QsGetWebName(QsHandle web, char* buffer, std::int32_t size);
std::int32_t QsSetWebName(QsHandle web, const char* name);
std::int32_t QsBeginWebEdit(QsHandle web);
std::int32_t QsEndWebEdit(QsHandle web);
std::int32_t QsSaveWeb(QsHandle web);
std::int32_t QsSaveWebIfChanged(QsHandle web);
std::int32_t QsSaveWebAs(QsHandle web, const char* path);
std::int32_t QsAnnotateSelection(QsWindow window, QsHandle web);
std::int32_t QsAnnotateSelection2(QsWindow window, QsHandle web);
std::int32_t QsBeginLink(QsWindow window);
std::int32_t QsCompleteLink(QsWindow window, QsHandle web);
std::intptr_t QsEnumWebs(QsHandleProc procedure, QsWord data);
std::intptr_t QsEnumDocuments(QsHandleProc procedure, QsWord data);

// ---- Anchors and hotspots -------------------------------------------------------
QsHandle QsCreateDocAnchor(QsWindow window, QsHandle web, const char* head);
QsHandle QsCreatePictureAnchor(QsWindow window, QsHandle web, const char* head, std::int32_t x,
                               std::int32_t y, std::int32_t width, std::int32_t height,
                               std::int32_t zoom);
QsHandle QsCreateHotspot(QsHandle web, QsHandle entity, const char* head, std::int32_t x,
                         std::int32_t y, std::int32_t width, std::int32_t height,
                         std::int32_t zoom);
QsHandle QsCreateNodeAnchor(QsHandle web, QsHandle node, const char* head);
QsHandle QsCreateRangeAnchor(QsHandle web, QsHandle document, std::int32_t start,
                             std::int32_t length, const char* head);
std::int32_t QsGetAnchorRange(QsHandle anchor, std::int32_t* start, std::int32_t* length);
QsHandle QsGetAnchorEntity(QsHandle anchor);
std::int32_t QsActivateAnchor(QsHandle anchor);
std::int32_t QsAnchorNotifyA(QsWindow window, QsHandle anchor);
std::int32_t QsAnchorNotifyB(QsWindow window, QsHandle anchor);
std::int32_t QsDeleteAnchor(QsHandle anchor);
std::int32_t QsAddLink(QsHandle a, QsHandle b);
std::int32_t QsRemoveLinks(QsHandle a, QsHandle b);
QsHandle QsGetAnchorWeb(QsHandle anchor);
char* QsGetAnchorNote(QsHandle anchor, char* buffer, std::int32_t size);
std::int32_t QsSetAnchorNote(QsHandle anchor, const char* text);
char* QsGetAnchorName(QsHandle anchor, char* buffer, std::int32_t size);
std::int32_t QsSetAnchorHead(QsHandle anchor, const char* text);
std::int32_t QsSetAnchorBookmark(QsHandle anchor, std::int32_t on);
std::int32_t QsGetAnchorKind(QsHandle anchor);
std::int32_t QsGetHotspotRect(QsHandle anchor, std::int32_t* x, std::int32_t* y,
                              std::int32_t* width, std::int32_t* height, std::int32_t* zoom);
std::int32_t QsSetHotspotRect(QsHandle anchor, std::int32_t x, std::int32_t y,
                              std::int32_t width, std::int32_t height, std::int32_t zoom);
std::int32_t QsGetHotspotPoints(QsHandle anchor, std::int32_t* count, std::int16_t* points);
std::int32_t QsSetHotspotPoints(QsHandle anchor, std::int32_t shape, std::int32_t count,
                                const std::int16_t* points);
char* QsGetHotspotColor(QsHandle anchor, char* buffer, std::int32_t size);
std::int32_t QsSetHotspotColor(QsHandle anchor, const char* colour);
std::intptr_t QsEnumWebAnchors(QsHandle web, std::int32_t filter, QsHandleProc procedure,
                               QsWord data);
std::intptr_t QsEnumDocAnchors(QsHandle document, std::int32_t filter, QsHandleProc procedure,
                               QsWord data);
std::intptr_t QsEnumEntityHotspots(QsHandle entity, std::int32_t filter, QsHandleProc procedure,
                                   QsWord data);
std::intptr_t QsEnumLinkedAnchors(QsHandle anchor, QsHandleProc procedure, QsWord data);

// ---- Pictures -------------------------------------------------------------------
std::int32_t QsOpenPictureView(QsWindow window, QsHandle entity, QsWord a, QsWord b, QsWord c,
                               QsWord d);
std::int32_t QsShowHotArea(QsWindow window, QsHandle entity);
QsHandle QsGetPictureEntity(QsWindow window);
std::int32_t QsZoomPictureSteps(QsWindow window, std::int32_t x, std::int32_t y,
                                std::int32_t steps);
std::int32_t QsSetPictureZoom(QsWindow window, std::int32_t x, std::int32_t y,
                              std::int32_t zoom);
std::int32_t QsPanPicture(QsWindow window, std::int32_t dx, std::int32_t dy);
std::int32_t QsGetPictureExtent(QsWindow window);
std::int32_t QsGetPictureScrollX(QsWindow window);
std::int32_t QsGetPictureScrollY(QsWindow window);
std::int32_t QsGetPictureZoomY(QsWindow window);
std::int32_t QsGetPictureZoomX(QsWindow window);
std::int32_t QsCreateOverviewView(QsWindow picture, QsWindow overview);
std::int32_t QsCreateTreeView(QsWindow window, QsHandle document, QsHandle node, QsWord a,
                              QsWord b);

// ---- Tag sets and selection sets --------------------------------------------------
QsHandle QsCreateSelSet(QsHandle document);
QsHandle QsQueryDocument(QsHandle document, const char* query, std::int32_t flags);
std::int32_t QsAddSelSetRange(QsHandle selSet, std::int32_t start, std::int32_t length);
std::int32_t QsGetSelSetItem(QsHandle selSet, std::int32_t move, std::int32_t* start,
                             std::int32_t* length);
std::intptr_t QsEnumSelSet(QsHandle selSet, std::int32_t backwards, QsRecordProc procedure,
                           QsWord data);
QsHandle QsCreateTagSet(QsHandle document);
QsHandle QsQueryTagSet(QsHandle document, const char* query, std::int32_t flags);
std::int32_t QsClearTagSet(QsHandle tagSet);
std::int32_t QsCountTagSet(QsHandle tagSet);
std::int32_t QsAddToTagSet(QsHandle tagSet, QsHandle node);
std::int32_t QsRemoveFromTagSet(QsHandle tagSet, QsHandle node);
std::int32_t QsIsInTagSet(QsHandle tagSet, QsHandle node);
std::intptr_t QsEnumTagSet(QsHandle tagSet, QsHandleProc procedure, QsWord data);
std::int32_t QsQueryBoxAtPoint(QsWindow window, std::int32_t x, std::int32_t y);
std::int32_t QsMarkBoxAtPoint(QsWindow window, std::int32_t x, std::int32_t y,
                              std::int32_t mode);
QsHandle QsGetViewTagSet(QsWindow window);
std::int32_t QsMarkTagSetInView(QsWindow owner, QsWindow window, QsHandle tagSet);

// ---- Printing and preview ------------------------------------------------------------
std::int32_t QsPrintDocument(QsHandle document, QsHandle tagSet, QsHandle sheet,
                             QsHandle navigator, std::int32_t options);
QsWord QsPrintPreviewPage(QsHandle document, QsHandle tagSet, QsHandle sheet, QsHandle navigator,
                          std::int32_t options, QsWord dc, std::int32_t dpiX, std::int32_t dpiY,
                          std::int32_t pageWidth, std::int32_t pageHeight,
                          std::int32_t* pageCount);
void QsPaintPreviewPage(QsWord job, QsWord dc);
std::int32_t QsStepPreviewPage(QsWord job, QsWord dc, std::int32_t step);
void QsEndPreview(QsWord job);

// ---- Host object types and notations ---------------------------------------------------
void QsRegisterNotation(const char* key, const char* notation, const char* systemId,
                        const char* publicId);
void QsRegisterObjectType(const QsWord* record);
std::int32_t QsRefreshDocumentObjects(QsWord graphic);
std::int32_t QsRefreshEntityObjects(QsHandle entity);

// ---- Catalogs and entity resolution -----------------------------------------------------
void QsUpdateCatalogs();
void QsPushCatalog(const char* path, QsWord unused);
void QsPopCatalog();
void QsUpdateEntityrcs();
void QsPushEntityrc(const char* path, QsWord unused);
void QsPopEntityrc();

}  // extern "C"
