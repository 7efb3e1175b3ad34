#include "layout/text_item.h"

#include <cstring>

#include "foundation/block_cache.h"
#include "layout/char_boxes.h"
#include "layout/print_state.h"
#include "sgml/text_store.h"
#include "sgml/unicode_tables.h"
#include "style/text_format.h"
#include "view/current_view.h"
#include "view/document_view.h"

namespace qs {

namespace {

constexpr std::int32_t kNoMarker = 16777216;

Document* CurrentDocument() {
  DocumentView* view = CurrentDocumentView();
  return view ? view->GetDocument() : nullptr;
}

// The run being assembled. Shared by all text items: making boxes is not
// re-entrant.
struct RunBuffer {
  std::uint16_t units[TextItem::kRunUnits];
  int count = 0;
};
RunBuffer g_run;

std::uint8_t ByteCount(std::int32_t from, std::int32_t to) {
  const std::int32_t n = to - from;
  return static_cast<std::uint8_t>(n < 0 ? 0 : n > 255 ? 255 : n);
}

// How a byte read as a character takes part in the run being built: it
// joins it, joins it only once it has begun, or is left to the general
// path (bytes from 0x80 start characters of more than one byte).
enum : std::uint8_t { kStops = 0, kJoins = 1, kJoinsBegun = 2 };

const std::uint8_t* RunJoiners() {
  static const struct Table {
    std::uint8_t how[256] = {};
    Table() {
      const LineBreakClasses classes;
      for (int b = 0; b < 0x80; ++b) {
        const int cls = classes.Of(static_cast<char32_t>(b));
        how[b] = cls == 1 ? kJoins : cls == 3 ? kJoinsBegun : kStops;
      }
    }
  } table;
  return table.how;
}

}  // namespace

CachedStream* CurrentTextStream() {
  Document* document = CurrentDocument();
  TextStore* text = document ? document->Text() : nullptr;
  return text ? &text->Stream() : nullptr;
}

int TextItem::GetAscent() {
  Font* font = GetFont();
  return font ? font->ascent : 0;
}

int TextItem::GetDescent() {
  Font* font = GetFont();
  return font ? font->descent : 0;
}

void TextItem::MakeBoxes(ListHead& boxes) {
  CachedStream* reader = CurrentTextStream();
  if (!reader) return;
  const std::int32_t end = End();
  Font* font = GetFont();
  g_run.count = 0;
  std::int32_t runStart = Position();

  auto appendRun = [&](std::int32_t to, bool breakAfter) {
    const int width = font ? font->MeasureW(g_run.units, static_cast<std::size_t>(g_run.count)) : 0;
    boxes.Append(new TextRunBox(this, runStart, ByteCount(runStart, to), width, breakAfter));
    g_run.count = 0;
  };
  // A character may take up to six bytes: a run closes before one more
  // could carry it past its byte limit.
  auto runFull = [&](std::int32_t at) {
    return g_run.count >= kRunUnits || at - runStart > kRunBytes - 6;
  };

  AnchorCursor cursor(CurrentDocument());
  std::int32_t nextMarker = kNoMarker;
  if (!PrintingInProgress()) {
    AnchorMark* entry = cursor.Seek(static_cast<std::uint32_t>(Position()));
    if (entry && static_cast<std::int32_t>(entry->Start()) < end)
      nextMarker = static_cast<std::int32_t>(entry->Start());
  }

  const LineBreakClasses classes;
  reader->SetPosition(Position());
  while (reader->Position() < end) {
    std::int32_t p = reader->Position();
    if (nextMarker <= p) {
      if (g_run.count) {
        appendRun(p, true);
        runStart = p;
      }
      do {
        boxes.Append(new AnchorMarkerBox(this, cursor.Current()));
        AnchorMark* entry = cursor.Advance();
        nextMarker = entry && static_cast<std::int32_t>(entry->Start()) < end
                         ? static_cast<std::int32_t>(entry->Start())
                         : kNoMarker;
      } while (nextMarker <= p);
    }
    // Most characters are ASCII that join the run being built: they are
    // taken straight from the block in hand, up to the next anchor, the
    // item's end or a full run, without a stream read each.
    std::uint32_t c = 0;
    std::int32_t available = 0;
    if (const std::uint8_t* bytes = reader->BytesHere(&available)) {
      std::int32_t stop = end - p;
      if (available < stop) stop = available;
      if (nextMarker - p < stop) stop = nextMarker - p;
      int count = g_run.count;
      // The run is full after this many more characters (at least one:
      // a run never closes before it takes one).
      std::int32_t fullAt = kRunBytes - 5 - (p - runStart);
      if (kRunUnits - count < fullAt) fullAt = kRunUnits - count;
      if (fullAt < 1) fullAt = 1;
      if (fullAt < stop) stop = fullAt;
      const std::uint8_t* joins = RunJoiners();
      std::int32_t n = 0;
      while (n < stop) {
        const std::uint8_t b = bytes[n];
        const std::uint8_t how = joins[b];
        if (how != kJoins && (how == kStops || count == 0)) break;
        g_run.units[count++] = static_cast<std::uint16_t>(b == 1 ? 0x20 : b);
        ++n;
      }
      g_run.count = count;
      if (n == fullAt) {
        reader->SetPosition(p + n);
        appendRun(p + n, true);
        runStart = p + n;
        continue;
      }
      if (n < stop && bytes[n] < 0x80) {
        // The byte that ended the stretch is a character of its own: it
        // is taken here too, and goes the general way below.
        p += n;
        c = bytes[n];
        reader->SetPosition(p + 1);
      } else if (n) {
        reader->SetPosition(p + n);
        continue;
      }
    }
    if (reader->Position() == p) c = reader->GetUtf8Char();
    std::int32_t after = reader->Position();
    if (after <= p) break;  // the text ends early: nothing more to read
    // A character the reader took more bytes for than the item holds
    // still counts only the bytes it took.
    const auto taken = static_cast<std::uint8_t>(after - p > 255 ? 255 : after - p);
    if (c > 0xFFFF) {
      if (g_run.count) appendRun(p, true);
      runStart = after;
      boxes.Append(new UnmappedCharBox(this, p, c, taken));
      continue;
    }
    const int cls = classes.Of(c);
    const auto unit = static_cast<std::uint16_t>(c == 1 ? 0x20 : c);
    if (cls == 1 || (cls == 3 && g_run.count)) {
      g_run.units[g_run.count++] = unit;
      if (runFull(after)) {
        appendRun(after, true);
        runStart = after;
      }
    } else if (cls == 2) {
      g_run.units[g_run.count++] = unit;
      while (reader->Position() < end && g_run.count < kRunUnits &&
             reader->Position() - runStart < kRunBytes) {
        if (reader->ReadByte() != 0x20) {
          reader->SetPosition(reader->Position() - 1);
          break;
        }
        g_run.units[g_run.count++] = 0x20;
      }
      after = reader->Position();
      if (after >= end) break;  // the last run is made below
      appendRun(after, true);
      runStart = after;
    } else if (cls == 3) {
      if (auto* last = static_cast<DisplayBox*>(boxes.Last())) last->SetBreakAfter();
      runStart = after;
      boxes.Append(new GlyphBox(this, p, unit, taken));
    } else if (cls == 4) {
      if (g_run.count) {
        g_run.units[g_run.count++] = unit;
        appendRun(after, false);
      } else {
        auto* glyph = new GlyphBox(this, p, unit, taken);
        boxes.Append(glyph);
        glyph->SetBreakAfter();
      }
      runStart = after;
    } else {
      if (g_run.count) appendRun(p, true);
      runStart = after;
      boxes.Append(new GlyphBox(this, p, unit, taken));
    }
  }
  if (g_run.count) appendRun(end, true);
}

std::int32_t TextItem::GetTextLength(std::int32_t from, std::int32_t to) {
  if (from < Position()) from = Position();
  if (to > End()) to = End();
  return to > from ? to - from : 0;
}

std::int32_t TextItem::CopyText(std::int32_t from, std::int32_t to, char* output,
                                std::size_t room) {
  if (from < Position()) from = Position();
  if (to > End()) to = End();
  if (to <= from || room == 0) return 0;
  CachedStream* stream = CurrentTextStream();
  if (!stream) return 0;
  std::int32_t n = to - from;
  if (static_cast<std::size_t>(n) > room) n = static_cast<std::int32_t>(room);
  if (static_cast<std::size_t>(n) < room) {
    stream->CopyRange(output, from, from + n, true);  // room for the NUL too
    return n;
  }
  // No room for the NUL: in pieces through a buffer of our own.
  char piece[1024];
  std::int32_t done = 0;
  while (done < n) {
    const std::int32_t k = n - done < 1023 ? n - done : 1023;
    stream->CopyRange(piece, from + done, from + done + k, true);
    std::memcpy(output + done, piece, static_cast<std::size_t>(k));
    done += k;
  }
  return n;
}

// ---- TextRunBox ----------------------------------------------------------------------------

namespace {
// A run's characters with the position after each.
struct RunChars {
  std::uint16_t units[256];
  std::int32_t ends[256];
  int count = 0;
};

void ReadRun(std::int32_t start, std::int32_t length, RunChars& out) {
  out.count = 0;
  CachedStream* reader = CurrentTextStream();
  if (!reader) return;
  reader->SetPosition(start);
  const std::int32_t end = start + length;
  while (reader->Position() < end && out.count < 256) {
    const std::int32_t before = reader->Position();
    const std::uint32_t c = reader->GetUtf8Char();
    if (reader->Position() <= before) break;
    out.units[out.count] = static_cast<std::uint16_t>(c == 1 ? 0x20 : c > 0xFFFF ? 0xFFFD : c);
    out.ends[out.count++] = reader->Position();
  }
}

int UnitsBefore(const RunChars& run, std::int32_t position) {
  int n = 0;
  while (n < run.count && run.ends[n] <= position) ++n;
  return n;
}
}  // namespace

std::int32_t TextRunBox::PositionAt(int x, int) {
  if (x <= 0) return start_;
  RunChars run;
  ReadRun(start_, length_, run);
  Font* font = GetFont();
  int width = 0, i = 0;
  while (width < x && i < run.count) {
    ++i;
    width = font ? font->MeasureW(run.units, static_cast<std::size_t>(i)) : 0;
  }
  if (i == 0) return start_;
  if (width > x) return i >= 2 ? run.ends[i - 2] : start_;
  return run.ends[i - 1];
}

void TextRunBox::HighlightRanges(MarkRecord& r) {
  OutputDevice* device = CurrentDevice();
  if (!r.entry || !device) return;
  std::int32_t s = r.entry->start;
  const std::int32_t runEnd = start_ + length_;
  if (s >= runEnd) return;
  RunChars run;
  ReadRun(start_, length_, run);
  Font* font = GetFont();
  auto widthTo = [&](std::int32_t position) {
    const int n = UnitsBefore(run, position);
    return font ? font->MeasureW(run.units, static_cast<std::size_t>(n)) : 0;
  };
  while (s < runEnd) {
    std::int32_t e = runEnd;
    const int left = start_ < s ? widthTo(s) : 0;
    if (r.entry->end < e) {
      e = r.entry->end;
      r.entry = r.entry->next;
      s = r.entry ? r.entry->start : kNoMarker;
    } else {
      s = kNoMarker;
    }
    const int right = widthTo(e);
    device->InvertRect(r.x + left, r.top, r.x + right, r.top + r.height);
    if (!r.entry) break;
  }
}

void TextRunBox::Draw(int x, int y) {
  OutputDevice* device = CurrentDevice();
  if (!device) return;
  RunChars run;
  ReadRun(start_, length_, run);
  device->UseTextStyle(Item()->Format());
  device->SetColor(TextColor());
  if (IsLinkSourceItem(Item()) && !LinkSourceHidden()) {
    const int half = GetDescent() / 2;
    device->DrawLine(x, y + half, x + width_, y + half);
  }
  device->DrawTextW(x, y, run.units, static_cast<std::size_t>(run.count));
}

void TextRunBox::Activate(DocumentView* view, HitContext*) { FollowLinkOfText(view, Item()); }

int TextRunBox::PressRange(int, int, HitContext& context) {
  if (!IsLinkSourceItem(Item())) return 0;
  ViewRange::Init(context, this);
  return 1;
}

}  // namespace qs
