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

#ifdef __cplusplus
}
#endif

#endif
