// The engine library's exports, one line each: the one table from which the
// .def file is generated and by which hosts bind the library.
//   QS_EXPORT(number, argument bytes, function) is exported as "_P<hex number>@<bytes>"
//   QS_EXPORT_PLAIN(function, argument bytes) is exported as "_<function>@<bytes>"
// (The generator reads these lines with a regular expression: keep one
// entry per line, in this form.)
#ifndef QS_EXPORT
#define QS_EXPORT(number, bytes, function)
#endif
#ifndef QS_EXPORT_PLAIN
#define QS_EXPORT_PLAIN(function, bytes)
#endif

QS_EXPORT_PLAIN(QsGetCmptlNo, 0)
QS_EXPORT_PLAIN(QsGetTextVersion, 0)

#undef QS_EXPORT
#undef QS_EXPORT_PLAIN
