// doc_dump: parses a document and prints its reports and its element tree
// with every node's text range, its attributes and its text.
//   doc_dump [-e | -t | -q | -L | -Q QUERY [-f FLAGS] [-n]] [-c CATALOG] [-h HOME] FILE
// -e prints only the element names in document order, one "(NAME" line each
// (the start-tag lines of onsgmls's output), for comparing with other tools;
// -t prints only the text of the document element; -q only counts the
// elements and the bytes of text, and says how long the parse (or the load)
// took. -Q QUERY (up to 16 of them, over one
// parse) runs a query with the flags of -f FLAGS (a number): "PARSE" and the
// parse's milliseconds, then for each query every hit as "HIT start end"
// (and the element's name for an element hit), "COUNT n" and "QUERY" with
// its milliseconds; -n leaves the hits out. HOME (-h) is the engine's home
// folder, with its Unicode tables for the double-byte encodings; by default
// the sample home of the source tree. -T also prints, on standard error, the
// time of each phase of the run ("phase start|parse|load|use|release|end").
// Exits 1 when the parse stopped or the
// engine met a fatal error, 2 on a wrong command line.
//   doc_dump -w OUT.qsb [options] FILE   also writes the parsed document as a
//                                        compiled file (with -q: its size and
//                                        the time the write took)
//   doc_dump -b [options] FILE.qsb       loads a compiled file instead of
//                                        parsing, and prints it the same way
//   doc_dump -L [options] FILE           places and links: every place of the
//                                        document writes an extended pointer
//                                        that must lead back to it ("PLACES n
//                                        bad", "BADPLACE pointer"); every
//                                        element with a linkend is followed
//                                        ("LINK linkend name" of the element
//                                        shown, "-" for none); every element
//                                        with an ID counts its link sources
//                                        ("SOURCES id n"); every place's "TEI"
//                                        location string must show its range
//                                        ("TEIPLACES n bad", "BADTEIPLACE
//                                        text"); every target of those links
//                                        and every source writes a location
//                                        string that must show the target's
//                                        range, or nothing when it has none
//                                        ("LOCATIONS n tei bad", tei those
//                                        written as "TEI", "BADLOCATION text")
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "addressing/ext_pointer.h"
#include "addressing/links.h"
#include "addressing/locations.h"
#include "addressing/query.h"
#include "addressing/tree_walker.h"
#include "api/parse_report.h"
#include "foundation/engine.h"
#include "foundation/errors.h"
#include "foundation/names.h"
#include "sgml/catalog.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/external_id.h"
#include "sgml/parser.h"
#include "sgml/parser_report.h"
#include "sgml/qsb.h"
#include "foundation/text_writer.h"
#include "sgml/text_store.h"
#include "view/ranges.h"

namespace {

std::int32_t PrintReport(const void* record, std::intptr_t) {
  const auto* r = static_cast<const QsParseReport*>(record);
  if (!(r->kind & QS_REPORT_MESSAGE)) return 1;
  char text[512];
  const char* argument = reinterpret_cast<const char*>(r->argument1);
  qs::FormatParserMessage(r->number, argument, text, sizeof text);
  std::printf("REPORT %s %d line=%d entity=%s: %s\n", r->severity ? "error" : "warning",
              static_cast<int>(r->number), static_cast<int>(r->line), r->entity ? r->entity : "",
              text);
  return 1;
}

std::string Text(qs::Document& doc, std::uint32_t from, std::uint32_t to) {
  std::string out(to - from + 1, '\0');
  out.resize(doc.ExtractText(out.data(), from, to));
  std::string shown;
  for (char c : out) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c == 1) {
      shown += ' ';
    } else {
      shown += c;
    }
  }
  return shown;
}

void DumpNames(qs::DocumentNode* node) {
  for (; node; node = node->Next()) {
    std::printf("(%s\n", node->GetNameText());
    DumpNames(node->First());
  }
}

// The sample home of the source tree, as this build's file functions name it.
std::string SampleHome() {
  std::string home = QS_SAMPLES_HOME;
#ifdef _WIN32
  if (!home.empty() && home[0] == '/') home = "Z:" + home;
  for (char& c : home) {
    if (c == '/') c = '\\';
  }
  if (home.empty() || home.back() != '\\') home += '\\';
#else
  if (home.empty() || home.back() != '/') home += '/';
#endif
  return home;
}

// Notes the fatal errors (a missing file the engine cannot do without, a
// broken block cache) on their way to the usual report. While links are
// followed it records where they lead instead of showing anything.
class DumpEngine : public qs::HostedEngine {
 public:
  using HostedEngine::HostedEngine;
  void ReportError(int code, std::intptr_t a, std::intptr_t b, std::intptr_t c,
                   std::intptr_t d) override {
    if (code >= qs::kErrCacheCantOpen && code <= qs::kErrCacheBadBlock) fatal = true;
    if (following) {
      lastError = code;
      return;
    }
    HostedEngine::ReportError(code, a, b, c, d);
  }
  int GotoPosition(qs::WindowHandle window, qs::View* view, qs::Document* document,
                   std::int32_t position, std::int32_t length, int flag) override {
    if (!following) return HostedEngine::GotoPosition(window, view, document, position, length, flag);
    ++shown;
    shownDocument = document;
    shownStart = position;
    shownLength = length;
    return 1;
  }
  void ShowTextList(qs::WindowHandle owner, qs::View* view, qs::Document* document,
                    qs::DocumentNode* node, qs::LinkTargetList* list) override {
    if (!following) return HostedEngine::ShowTextList(owner, view, document, node, list);
    listed = 0;
    for (qs::SListNode* t = list ? list->First() : nullptr; t; t = t->Next()) ++listed;
    delete list;
  }
  void Reset() {
    shown = listed = lastError = 0;
    shownDocument = nullptr;
  }
  bool fatal = false;
  bool following = false;
  int shown = 0, listed = 0, lastError = 0;
  std::int32_t shownStart = 0, shownLength = 0;
  qs::Document* shownDocument = nullptr;
};

// Location strings of link targets and sources: each must show exactly the
// range its target stands for (nothing for a target without one).
struct LocationCheck {
  std::size_t checked = 0, tei = 0, bad = 0;

  void List(qs::Document& doc, DumpEngine& engine, qs::LinkTargetList* list) {
    std::string text(qs::kTargetTextSize, '\0');
    for (qs::LinkTarget* t = static_cast<qs::LinkTarget*>(list->First()); t; t = t->NextTarget()) {
      t->WriteLocation(text.data(), text.size());
      const char* written = text.c_str();
      ++checked;
      if (std::strncmp(written, "TEI ", 4) == 0) ++tei;
      qs::DataRange* range = t->MakeRange(nullptr);
      engine.Reset();
      const int resolved = qs::ParseLocationString(&doc, nullptr, written);
      bool same;
      if (!range) {
        same = resolved == 0 && engine.shown == 0;
      } else {
        const std::uint32_t length = range->end > range->start ? range->end - range->start : 0;
        same = resolved == 1 && engine.shown == 1 && engine.shownDocument == range->document &&
               engine.shownStart == static_cast<std::int32_t>(range->start) &&
               engine.shownLength == static_cast<std::int32_t>(length);
      }
      delete range;
      if (!same && ++bad <= 20) std::printf("BADLOCATION %s\n", written);
    }
    delete list;
  }
};

// Every place resolves back from the pointer it writes; links lead to the
// elements their linkend names; sources are counted per ID.
void DumpPlacesAndLinks(qs::Document& doc, DumpEngine& engine) {
  qs::TreeWalker place(&doc, nullptr);
  std::string pointer(qs::kLocationAreaSize, '\0');
  std::string location;
  std::size_t places = 0, bad = 0, teiBad = 0;
  engine.following = true;
  if (doc.Root()) {
    do {
      if (place.Current())
        qs::WriteTreeLocation(pointer.data(), pointer.size(), place.Current());
      else
        qs::WritePositionLocation(pointer.data(), pointer.size(), &doc, place.GetStartPosition());
      qs::TreeWalker back(&doc, nullptr);
      ++places;
      if (qs::ResolveExtendedPointer(&back, pointer.c_str(), nullptr, nullptr) != 1 ||
          !back.SamePlace(place)) {
        if (++bad <= 20) std::printf("BADPLACE %s\n", pointer.c_str());
      }
      // The same place as a location string, as targets without an ID and
      // link sources write it: it shows the place's range.
      location = "TEI " + std::string(pointer.c_str());
      std::uint32_t start = 0, end = 0;
      place.GetRange(&start, &end);
      engine.Reset();
      if (qs::ParseLocationString(&doc, nullptr, location.c_str()) != 1 || engine.shown != 1 ||
          engine.shownDocument != &doc || engine.shownStart != static_cast<std::int32_t>(start) ||
          engine.shownLength != static_cast<std::int32_t>(end > start ? end - start : 0)) {
        if (++teiBad <= 20) std::printf("BADTEIPLACE %s\n", location.c_str());
      }
    } while (place.MoveForward());
  }
  std::printf("PLACES %zu %zu\n", places, bad);
  std::printf("TEIPLACES %zu %zu\n", places, teiBad);
  LocationCheck locations;
  struct Walk {
    static void Locations(qs::Document& d, DumpEngine& e, LocationCheck& check,
                          qs::DocumentNode* n) {
      for (; n; n = n->Next()) {
        if (n->GetAttributeValue("linkend"))
          check.List(d, e, qs::CollectLinkTargets(nullptr, &d, n, false));
        if (n->GetId()) check.List(d, e, qs::CollectLinkSources(nullptr, &d, n));
        Locations(d, e, check, n->First());
      }
    }
    static void Links(qs::Document& d, DumpEngine& e, qs::DocumentNode* n) {
      for (; n; n = n->Next()) {
        if (const char* linkend = n->GetAttributeValue("linkend")) {
          e.Reset();
          qs::FollowLink(nullptr, &d, n, false);
          qs::DocumentNode* target =
              e.shown ? d.ElementAtRange(static_cast<std::uint32_t>(e.shownStart),
                                         static_cast<std::uint32_t>(e.shownStart + e.shownLength))
                      : nullptr;
          if (e.listed)
            std::printf("LINK %s list %d\n", linkend, e.listed);
          else
            std::printf("LINK %s %s\n", linkend, target ? target->GetNameText() : "-");
        }
        Links(d, e, n->First());
      }
    }
    static void Sources(qs::Document& d, DumpEngine& e, qs::DocumentNode* n) {
      for (; n; n = n->Next()) {
        if (const char* id = n->GetId()) {
          e.Reset();
          qs::FollowLinkSources(nullptr, &d, n);
          std::printf("SOURCES %s %d\n", id, e.listed ? e.listed : e.shown);
        }
        Sources(d, e, n->First());
      }
    }
  };
  Walk::Links(doc, engine, doc.Root());
  Walk::Sources(doc, engine, doc.Root());
  Walk::Locations(doc, engine, locations, doc.Root());
  std::printf("LOCATIONS %zu %zu %zu\n", locations.checked, locations.tei, locations.bad);
  engine.following = false;
}

}  // namespace

// The process's peak and present memory in MB (0 where unknown), for -T:
// at the end of the file, after <windows.h>, whose macros would rename the
// engine's names above.
static void MemoryFigures(double* peak, double* resident);

int main(int argc, char** argv) {
  bool namesOnly = false;
  bool textOnly = false;
  bool quiet = false;
  bool compiled = false;
  const char* catalogPath = nullptr;
  const char* output = nullptr;
  const char* file = nullptr;
  const char* queries[16];
  int queryCount = 0;
  int queryFlags = 0;
  bool countOnly = false;
  bool placesAndLinks = false;
  bool phases = false;
  std::string home = SampleHome();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-e") == 0) {
      namesOnly = true;
    } else if (std::strcmp(argv[i], "-q") == 0) {
      quiet = true;
    } else if (std::strcmp(argv[i], "-t") == 0) {
      textOnly = true;
    } else if (std::strcmp(argv[i], "-Q") == 0 && i + 1 < argc) {
      ++i;
      if (queryCount < 16) queries[queryCount++] = argv[i];
    } else if (std::strcmp(argv[i], "-f") == 0 && i + 1 < argc) {
      queryFlags = static_cast<int>(std::strtol(argv[++i], nullptr, 0));
    } else if (std::strcmp(argv[i], "-n") == 0) {
      countOnly = true;
    } else if (std::strcmp(argv[i], "-b") == 0) {
      compiled = true;
    } else if (std::strcmp(argv[i], "-T") == 0) {
      phases = true;
    } else if (std::strcmp(argv[i], "-L") == 0) {
      placesAndLinks = true;
    } else if (std::strcmp(argv[i], "-w") == 0 && i + 1 < argc) {
      output = argv[++i];
    } else if (std::strcmp(argv[i], "-c") == 0 && i + 1 < argc) {
      catalogPath = argv[++i];
    } else if (std::strcmp(argv[i], "-h") == 0 && i + 1 < argc) {
      home = argv[++i];
    } else {
      file = argv[i];
    }
  }
  if (!file) {
    std::fprintf(stderr, "usage: doc_dump [-T] [-e | -t | -q | -L | -Q QUERY [-f FLAGS] [-n]] [-w OUT.qsb] [-b] [-c CATALOG] [-h HOME] FILE\n");
    return 2;
  }
  using PhaseClock = std::chrono::steady_clock;
  const auto mainStart = PhaseClock::now();
  auto phaseMark = mainStart;
  // -T: where a run's time goes, phase by phase, on standard error.
  auto phase = [&](const char* what) {
    if (!phases) return;
    auto now = PhaseClock::now();
    double peak = 0, resident = 0;
    MemoryFigures(&peak, &resident);
    std::fprintf(stderr, "phase %-8s %.4f s  peak %.2f MB  now %.2f MB\n", what,
                 std::chrono::duration<double>(now - phaseMark).count(), peak, resident);
    phaseMark = now;
  };
  if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
  DumpEngine engine(0, home.c_str(), "doc_dump", nullptr);
  qs::SetEngine(&engine);
  // Document text beyond the block cache's memory goes to temporary files.
  std::error_code error;
  std::string temp = std::filesystem::temp_directory_path(error).string();
  engine.Initialize(nullptr, nullptr, nullptr, temp.empty() ? nullptr : temp.c_str(), nullptr);
  qs::Catalog* catalog = nullptr;
  if (catalogPath) {
    catalog = new qs::Catalog(catalogPath);
    catalog->Reload();
  }
  phase("start");
  int result = 0;
  {
    using Clock = std::chrono::steady_clock;
    auto parseStart = Clock::now();
    qs::ReportingParser parser(namesOnly || textOnly || quiet || queryCount || placesAndLinks ? nullptr : &PrintReport, 0,
                               catalog, nullptr, nullptr, nullptr);
    qs::Document* loaded = nullptr;
    bool stopped = false;
    if (compiled) {
      // Read as the engine's open of a compiled file reads it.
      auto* in = new qs::FileInStream(file, file, qs::kQsbFileBlock);
      loaded = qs::ReadQsb(*in, file, nullptr);
      in->Release();
      if (!loaded) {
        std::fprintf(stderr, "doc_dump: %s is not a compiled document\n", file);
        delete catalog;
        qs::SetEngine(nullptr);
        return 1;
      }
    } else {
      auto* id = new qs::ExternalId(catalog, nullptr, nullptr, file, nullptr,
                                    qs::ExternalId::kGeneralEntity);
      parser.ParseSource(id, false);
      id->Release();
      stopped = parser.Stopped();
    }
    qs::Document& doc = loaded ? *loaded : *parser.GetDocument();
    auto parseEnd = Clock::now();
    phase(compiled ? "load" : "parse");
    if (output) {
      auto began = Clock::now();
      qs::TextWriter writer(output, false);
      struct Out : qs::Stream {
        explicit Out(qs::TextWriter& w) : w(w) {}
        void PutChar(std::uint8_t c) override { w.PutChar(c); }
        qs::TextWriter& w;
      } out(writer);
      bool written = !stopped && writer.ok() && qs::WriteQsb(doc, out, nullptr);
      if (!written) writer.Discard();
      written = writer.Close() && written;
      double seconds = std::chrono::duration<double>(Clock::now() - began).count();
      if (!written) {
        std::fprintf(stderr, "doc_dump: cannot write %s\n", output);
        result = 1;
      } else if (quiet) {
        std::printf("compiled=%u bytes in %.3f s\n", static_cast<unsigned>(writer.BytesWritten()),
                    seconds);
      }
    }
    if (placesAndLinks) {
      DumpPlacesAndLinks(doc, engine);
    } else if (queryCount) {
      auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
      };
      std::printf("PARSE %.1f\n", ms(parseEnd - parseStart));
      for (int q = 0; q < queryCount; ++q) {
        qs::RangeList hits;
        auto queryStart = Clock::now();
        int count = qs::RunQuery(queries[q], &doc, nullptr, hits, queryFlags);
        auto queryEnd = Clock::now();
        if (!countOnly) {
          for (qs::Range* r = hits.FirstRange(); r; r = r->NextRange()) {
            if (qs::DocumentNode* n = r->GetNode())
              std::printf("HIT %u %u %s\n", r->GetStart(), r->GetEnd(), n->GetNameText());
            else
              std::printf("HIT %u %u\n", r->GetStart(), r->GetEnd());
          }
        }
        std::printf("COUNT %d\nQUERY %.1f\n", count, ms(queryEnd - queryStart));
      }
    } else if (quiet) {
      std::size_t elements = 0;
      struct Counter {
        static void Count(qs::DocumentNode* n, std::size_t& total) {
          // Iterative over siblings, recursive over depth (at most 48).
          for (; n; n = n->Next()) {
            ++total;
            Count(n->First(), total);
          }
        }
      };
      Counter::Count(doc.Root(), elements);
      std::printf("elements=%zu text=%u stopped=%d\n", elements,
                  static_cast<unsigned>(doc.TextLength()), stopped ? 1 : 0);
      std::printf("%s in %.3f s\n", compiled ? "loaded" : "parsed",
                  std::chrono::duration<double>(parseEnd - parseStart).count());
    } else if (doc.Root() && textOnly) {
      std::string text(doc.Root()->end - doc.Root()->start + 1, '\0');
      text.resize(doc.ExtractText(text.data(), doc.Root()->start, doc.Root()->end));
      std::fwrite(text.data(), 1, text.size(), stdout);
    } else if (doc.Root() && !namesOnly) {
      // Each node prints its own leading text; siblings are walked here.
      struct Walker {
        static void Node(qs::Document& d, qs::DocumentNode* n, int depth) {
          std::printf("%*s%s [%u,%u)", depth * 2, "", n->GetNameText(), n->start, n->end);
          if (qs::Attribute* const* values = n->GetAttributeValues()) {
            for (qs::Attribute* const* v = values; *v; ++v) {
              std::printf(" %s=\"%s\"", (*v)->GetName(), (*v)->Value() ? (*v)->Value() : "");
            }
          }
          std::printf("\n");
          std::uint32_t at = n->start;
          for (qs::DocumentNode* c = n->First(); c; c = c->Next()) {
            if (c->start > at) std::printf("%*s\"%s\"\n", depth * 2 + 2, "", Text(d, at, c->start).c_str());
            Node(d, c, depth + 1);
            at = c->end;
          }
          if (n->end > at) std::printf("%*s\"%s\"\n", depth * 2 + 2, "", Text(d, at, n->end).c_str());
        }
      };
      Walker::Node(doc, doc.Root(), 0);
    } else if (doc.Root()) {
      DumpNames(doc.Root());
    }
    if (stopped || engine.fatal) result = 1;
    phase("use");
    if (loaded) loaded->Release();
  }
  phase("release");
  delete catalog;
  qs::SetEngine(nullptr);
  phase("end");
  return result;
}

#ifdef _WIN32
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <psapi.h>
#endif

static void MemoryFigures(double* peak, double* resident) {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    *peak = double(counters.PeakWorkingSetSize) / (1 << 20);
    *resident = double(counters.WorkingSetSize) / (1 << 20);
  }
#else
  if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      unsigned long kb = 0;
      if (std::sscanf(line, "VmHWM: %lu", &kb) == 1) *peak = kb / 1024.0;
      if (std::sscanf(line, "VmRSS: %lu", &kb) == 1) *resident = kb / 1024.0;
    }
    std::fclose(status);
  }
#endif
}
