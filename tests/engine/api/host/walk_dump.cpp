// A host program that walks documents through QSENGINE.DLL the way a viewer
// does: the library loaded by name, every export bound by the name the host
// builds, one node handle moved through the whole element tree.
//
//   walk_dump [-c catalog] document...
//
// For each document it prints "DOCUMENT <path>", every error the parse
// reports as "ERROR <line> <number> <argument>", then one line per element
// in document order:
//   <depth> <name> [<attribute>="<value>"]...
// with every attribute that has a value (given, or defaulted by the DTD),
// sorted by name; then "TEXT" with the document's text without markup, and
// "IDS <count> <wrong>": the ID attribute values met, and how many of them
// QsGetElementById did not lead back to their own element.
// Exit status 0 when every document opened, 1 otherwise.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/parse_report.h"

namespace {

HMODULE g_engine;

std::string NumberedName(unsigned long number, int bytes) {
  char name[32];
  std::snprintf(name, sizeof name, "_P%lx@%d", number, bytes);
  return name;
}

// The export name of a function, from the same table the library is built
// from.
std::string ExportName(const char* function) {
#define QS_EXPORT(number, bytes, fn, group, failure) \
  if (std::strcmp(function, #fn) == 0) return NumberedName(number, bytes);
#define QS_EXPORT_PLAIN(fn, bytes, group, failure) \
  if (std::strcmp(function, #fn) == 0) return "_" #fn "@" #bytes;
#include "api/export_table.h"
  return {};
}

template <class F>
F Bind(const char* function) {
  std::string name = ExportName(function);
  FARPROC address = name.empty() ? nullptr : GetProcAddress(g_engine, name.c_str());
  if (!address) {
    std::fprintf(stderr, "walk_dump: %s (%s) is not exported\n", function, name.c_str());
    std::exit(2);
  }
  return reinterpret_cast<F>(reinterpret_cast<void*>(address));
}
#define BIND(function) Bind<decltype(&::function)>(#function)

struct Engine {
  decltype(&QsInitialize) initialize;
  decltype(&QsTerminate) terminate;
  decltype(&QsParseDocument) parse;
  decltype(&QsReleaseHandle) release;
  decltype(&QsGetDocumentRoot) root;
  decltype(&QsGotoParent) parent;
  decltype(&QsGotoFirstChild) firstChild;
  decltype(&QsGotoNextSibling) nextSibling;
  decltype(&QsGetElementName) name;
  decltype(&QsGetAttributeCount) attributeCount;
  decltype(&QsGetAttributeName) attributeName;
  decltype(&QsGetAttribute) attribute;
  decltype(&QsGetTextLength) textLength;
  decltype(&QsGetText) text;
  decltype(&QsGetAttributeDeclaredValue) declaredValue;
  decltype(&QsGetElementById) byId;
  decltype(&QsCompareNodes) compare;
};

// What the ID attributes gave: how many, and how many of them did not lead
// back to their own element through the document's ID table.
struct IdCheck {
  QsHandle document;
  int found = 0;
  int wrong = 0;
};

constexpr std::int32_t kDeclaredId = 5;

std::int32_t Report(const void* record, intptr_t data) {
  const auto* r = static_cast<const QsParseReport*>(record);
  if ((r->kind & QS_REPORT_MESSAGE) && r->severity > 0) {
    const char* argument = reinterpret_cast<const char*>(r->argument1);
    std::printf("ERROR %d %d %s\n", r->line, r->number, argument ? argument : "");
    ++*reinterpret_cast<int*>(data);
  }
  return 1;
}

// Values are printed on one line: the characters that would break it are
// written as escapes.
std::string Quoted(const char* value) {
  std::string out = "\"";
  for (const char* p = value; *p; ++p) {
    switch (*p) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += *p;
    }
  }
  return out + "\"";
}

void PrintElement(const Engine& e, QsHandle node, int depth, IdCheck& ids) {
  std::vector<std::string> attributes;
  std::int32_t count = e.attributeCount(node);
  for (std::int32_t i = 0; i < count; ++i) {
    const char* name = e.attributeName(node, i);
    const char* value = name ? e.attribute(node, name) : nullptr;
    if (!value) continue;
    attributes.push_back(std::string(name) + "=" + Quoted(value));
    if (e.declaredValue(node, name) == kDeclaredId) {
      ++ids.found;
      QsHandle same = e.byId(ids.document, value);
      if (!same || e.compare(same, node) != 0) ++ids.wrong;
      if (same) e.release(same);
    }
  }
  std::sort(attributes.begin(), attributes.end());
  std::string line = std::to_string(depth) + " " + e.name(node);
  for (const std::string& a : attributes) line += " " + a;
  std::printf("%s\n", line.c_str());
}

bool IsElement(const Engine& e, QsHandle node) {
  const char* name = e.name(node);
  return name && std::strcmp(name, "#PNODE") != 0;
}

// Depth first with one handle: down to the first child, on to the next
// sibling, back up when a parent's content is done. Data gaps are stepped
// over.
void Walk(const Engine& e, QsHandle node, IdCheck& ids) {
  int depth = 0;
  PrintElement(e, node, depth, ids);
  for (;;) {
    if (IsElement(e, node) && e.firstChild(node)) {
      ++depth;
    } else {
      while (!e.nextSibling(node)) {
        if (depth == 0 || !e.parent(node)) return;
        --depth;
      }
    }
    if (IsElement(e, node)) PrintElement(e, node, depth, ids);
  }
}

// The text of the whole element tree, without markup, on one line.
void PrintText(const Engine& e, QsHandle root) {
  std::int32_t length = e.textLength(root, 0);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  e.text(root, 0, text.data(), length + 1);
  text.resize(std::strlen(text.c_str()));
  std::printf("TEXT %s\n", Quoted(text.c_str()).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const char* catalog = nullptr;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "-c") == 0) {
    catalog = argv[2];
    first = 3;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: walk_dump [-c catalog] document...\n");
    return 2;
  }
  g_engine = LoadLibraryA("QSENGINE.DLL");
  if (!g_engine) {
    std::fprintf(stderr, "walk_dump: QSENGINE.DLL does not load (%lu)\n", GetLastError());
    return 2;
  }
  Engine e{BIND(QsInitialize),     BIND(QsTerminate),      BIND(QsParseDocument),
           BIND(QsReleaseHandle),  BIND(QsGetDocumentRoot), BIND(QsGotoParent),
           BIND(QsGotoFirstChild), BIND(QsGotoNextSibling), BIND(QsGetElementName),
           BIND(QsGetAttributeCount), BIND(QsGetAttributeName), BIND(QsGetAttribute),
           BIND(QsGetTextLength),  BIND(QsGetText),         BIND(QsGetAttributeDeclaredValue),
           BIND(QsGetElementById), BIND(QsCompareNodes)};

  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  if (!e.initialize(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "walk_dump", catalog,
                    nullptr, nullptr, temp, nullptr)) {
    std::fprintf(stderr, "walk_dump: the engine does not start\n");
    return 2;
  }
  int status = 0;
  for (int i = first; i < argc; ++i) {
    std::printf("DOCUMENT %s\n", argv[i]);
    int errors = 0;
    QsHandle doc = e.parse(argv[i], nullptr, 0, Report, reinterpret_cast<intptr_t>(&errors));
    QsHandle root = doc ? e.root(doc) : 0;
    if (!root) {
      std::printf("NOT OPENED\n");
      status = 1;
    } else {
      IdCheck ids{doc};
      Walk(e, root, ids);
      PrintText(e, root);
      std::printf("IDS %d %d\n", ids.found, ids.wrong);
      e.release(root);
    }
    if (doc) e.release(doc);
    std::fflush(stdout);
  }
  e.terminate();
  FreeLibrary(g_engine);
  return status;
}
