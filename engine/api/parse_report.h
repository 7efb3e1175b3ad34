/* The record a parse hands to its report procedure for every warning, error
   and progress event. Shared by the engine and every program that shows
   parse reports; plain C so that either side can include it. Fields that
   carry a pointer are pointer-sized. The record and the texts it points to
   live only during the call: a procedure copies what it keeps. */
#ifndef QS_API_PARSE_REPORT_H
#define QS_API_PARSE_REPORT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Bits of `kind`. Every report made before the document instance carries
   QS_REPORT_PROLOG as well. */
enum {
  QS_REPORT_INSTANCE_BEGINS = 0,
  QS_REPORT_PROLOG = 1,
  QS_REPORT_MESSAGE = 2,
  QS_REPORT_ENTERED = 4,
  QS_REPORT_LEFT = 8,
  QS_REPORT_SYSTEM_ID_CHANGED = 16,
  QS_REPORT_PUBLIC_ID_CHANGED = 32
};

/* `number` of every progress report ("Parsing '%s'"). */
#define QS_REPORT_PROGRESS_NUMBER 53

typedef struct QsParseReport {
  int32_t kind;          /* QS_REPORT_* bits */
  const char* entity;    /* where the parser is: a file path, "#TEXTENTITY" or "#UNKNOWN" */
  int32_t severity;      /* 0 warning or progress, 1 error */
  int32_t line;          /* line in that entity; -1 for a file just opened */
  int32_t number;        /* message number 0-53 */
  intptr_t argument1;    /* a text (const char*) or 0; progress: the entity text */
  intptr_t argument2;
  intptr_t argument3;
  int32_t offset;        /* -1 before the instance, else the byte offset in the current input */
} QsParseReport;

/* Returns 0 to stop the parse. */
typedef int32_t (*QsParseReportProc)(const void* report, intptr_t data);

#ifdef __cplusplus
}
#endif

#endif
