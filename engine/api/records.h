/* Records the engine hands to a host's enumeration procedures. Shared by
   the engine and every host; plain C so that either side can include it.
   A record and the arrays and texts it points to live only during the
   call: a procedure copies what it keeps. */
#ifndef QS_API_RECORDS_H
#define QS_API_RECORDS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Entries of each array of an element type record; attributes beyond them
   are not reported. */
#define QS_RECORD_ATTRIBUTES 100

/* attributeDefaults entries below 4 are keywords; any other is a pointer to
   the default value text (a value given after FIXED too), 0 when none. */
enum {
  QS_DEFAULT_IMPLIED = 0,
  QS_DEFAULT_REQUIRED = 1,
  QS_DEFAULT_CONREF = 2,
  QS_DEFAULT_CURRENT = 3
};

/* One element declaration, for QsEnumDtdElements and QsEnumDocElements. */
typedef struct QsElementTypeRecord {
  const char* name;
  const char* const* attributeNames;    /* QS_RECORD_ATTRIBUTES entries */
  const int32_t* attributeTypes;        /* declared-value codes 0-16 */
  const intptr_t* attributeDefaults;    /* QS_DEFAULT_* or a text pointer */
  int32_t attributeCount;               /* at most QS_RECORD_ATTRIBUTES */
} QsElementTypeRecord;

/* One kept-markup mark, for QsEnumDocumentMarks: its text, and the range
   it marks in the document's text (0, 0 for a mark of the document's own
   list). */
typedef struct QsMarkRecord {
  const char* text;
  int32_t start;
  int32_t length;
} QsMarkRecord;

/* One range of a selection set, for QsEnumSelSet: its start in the
   document's text and its length. */
typedef struct QsRangeRecord {
  int32_t start;
  int32_t length;
} QsRangeRecord;

/* One title of a navigator, for QsEnumNavigatorEntries: the body element
   it belongs to, its qualifier (null for none), the title element's path
   (null: the body element itself) and its flags (1: LOCATE=BODY). */
typedef struct QsNavigatorEntryRecord {
  const char* body;
  const char* qualifier;
  const char* title;
  int32_t flags;
} QsNavigatorEntryRecord;

/* Host events of the views (the procedure's second argument). */
enum {
  QS_EVENT_DOC_VIEW_CHANGED = 0,    /* a document window's view moved or changed */
  QS_EVENT_PICTURE_VIEW_CHANGED = 1,
  QS_EVENT_LOAD_DOCUMENT = 5,       /* a: path, b: public identifier or 0; answer a document
                                       handle, -1 to refuse, 0 to leave it to the engine */
  QS_EVENT_GOTO_DOCUMENT_POSITION = 6, /* a, b: element handles */
  QS_EVENT_SHOW_IN_VIEW = 7,        /* a: node handle, b: QsViewRequest*; answer a window */
  QS_EVENT_PICTURE_WINDOW = 8,      /* a: entity handle, b: QsPictureRequest*; answer a window */
  QS_EVENT_GRAPHIC_UNAVAILABLE = 10, /* a: entity handle */
  QS_EVENT_FOLLOW_LINK = 11,        /* a: element handle, b: QsLinkRuleRecord* or 0 */
  QS_EVENT_NODE_LIST = 17,          /* a: node handle (the list is the engine's) */
  QS_EVENT_SELECTION_CHANGED = 24,  /* a: 0 none, 1 selection, 2 query hits */
  QS_EVENT_PICTURE_SELECTION = 25,  /* a: 1 an area of the picture is selected, 0 none */
  QS_EVENT_VIEW_EXTENT = 27,        /* a, b: first and last shown position */
  QS_EVENT_ELEMENT_TEXT = 28,       /* a: element handle, b: QsHostTextRequest* */
  QS_EVENT_OBJECT_TEXT = 29,        /* a: entity handle or 0, b: QsHostTextRequest* */
  QS_EVENT_ELEMENT_LOCATION = 30,   /* a: element handle; 0 show, 1 hide, 2 hide and skip */
  QS_EVENT_ELEMENT_QUESTION = 38,   /* a: element handle, b: the key */
  QS_EVENT_GOTO_RANGE = 39,         /* a: element handle or 0, b: QsGotoRangeRequest* */
  QS_EVENT_SCROLL_BAR = 42,         /* a: 0 vertical, 1 horizontal, b: three int32 */
  QS_EVENT_OFFER_ENTITY = 47,       /* a: entity handle */
  QS_EVENT_FREE_HOST_BLOCK = 48     /* a: a block the host handed over */
};

/* Event 7: where and how the host would show a place. The engine fills the
   first four and the last field; the host may set extraHandle (released by
   the engine after making the view) and viewFlags (the new view's flags). */
typedef struct QsViewRequest {
  intptr_t context;
  intptr_t position;
  intptr_t length;
  intptr_t forceScroll;
  intptr_t extraHandle;
  intptr_t viewFlags;
  intptr_t sourceHandle;
} QsViewRequest;

/* Event 8: a window for a picture no view shows. The engine fills the
   picture's sizes (at the zoom of the area to show, when it has one) and
   the zoom (0: none); the host may fill the picture view's option word and
   scroll offsets (the values QsOpenPictureView takes after the entity) and
   a window for an overview pane. */
typedef struct QsPictureRequest {
  int32_t height;
  int32_t width;
  int32_t pictureFlags;
  int32_t zoom;
  int32_t scrollX;
  int32_t scrollY;
  intptr_t overviewWindow;
} QsPictureRequest;

/* Event 11: a link of a document view's element is to be followed. b is 0
   when the view is first offered the link, else the element's link rule:
   its link description (the form, "TEI-P3" say) and the further token
   (null when the rule has none). A non-zero answer means the host took
   the link. */
typedef struct QsLinkRuleRecord {
  const char* description;
  const char* token;
} QsLinkRuleRecord;

/* Event 39: a range a link followed in a document view leads to: the
   document (a handle valid during the call), the start in its text and the
   length. A non-zero answer means the host showed it. */
typedef struct QsGotoRangeRequest {
  uint32_t document;
  int32_t start;
  int32_t length;
} QsGotoRangeRequest;

/* The request of host events 28 and 29 (text of a "gen" field for an
   element or an object): the field's value; the host sets freeAnswer when
   the engine is to hand the answered block back with event 48. */
typedef struct QsHostTextRequest {
  intptr_t value;
  int32_t freeAnswer;
} QsHostTextRequest;

/* Host object types (QsRegisterObjectType): a record of
   QS_OBJECT_TYPE_WORDS pointer-sized words: the key name, a value of the
   host's, then the callbacks (0 where the host has none). Pictures and
   views are the host's own values. */
#define QS_OBJECT_TYPE_WORDS 21

/* Sizes of a host picture or view in pixels: the engine presets them, the
   host may change them during the call. */
typedef struct QsObjectSize {
  int32_t width;
  int32_t widthStep;
  int32_t height;
  int32_t descent;
} QsObjectSize;

/* Where a host view draws: the view, the window (0 on a printer or where
   the call needs none), the device's size and its device context (0 where
   the call needs none). */
typedef struct QsObjectDevice {
  intptr_t view;
  intptr_t window;
  int32_t width;
  int32_t height;
  intptr_t dc;
} QsObjectDevice;

/* Event 32 (a view of a host's own object): the engine fills the font's
   ascent, descent and handle (0 without a font), the host the view's
   width, width step, height above the baseline and descent. Event 33
   passes four int32: the width asked for, then the width, height above
   the baseline and descent, which the host may change. */
typedef struct QsHostViewSize {
  int32_t ascent;
  int32_t fontDescent;
  intptr_t font;
  int32_t width;
  int32_t widthStep;
  int32_t height;
  int32_t descent;
} QsHostViewSize;

typedef struct QsObjectRect {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
} QsObjectRect;

/* Event 43 (a view offers the host the cursor for what lies under the
   mouse): the point, the view's area code, the hit kind and 1 while
   dragging. The host answers non-zero when it has set a cursor itself. */
typedef struct QsCursorRequest {
  int32_t x;
  int32_t y;
  int32_t area;
  int32_t hitKind;
  int32_t dragging;
} QsCursorRequest;

#ifdef __cplusplus
}
#endif

#endif
