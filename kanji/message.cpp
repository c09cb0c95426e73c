#include "kanji/message.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "kanji/byte_scan.h"
#include "kanji/content_type.h"
#include "kanji/detect.h"
#include "kanji/header.h"
#include "kanji/text_convert.h"

namespace ferrolt::kanji {
namespace {

// Parts nest (a multipart/alternative in a multipart/mixed); each level is searched once more,
// so the depth is bounded.
constexpr int kMaxDepth = 8;

struct Section {
  const uint8_t* begin;
  const uint8_t* end;
  bool header;
  EightBit label;  // the code its Content-Type names, or kNone
  EightBit code = EightBit::kNone;
  bool decided = false;  // by its label or by its bytes, not by a preference
};

using Sections = std::vector<Section>;

// The start of the next line at or after `p` that begins with "--" and the boundary, or end.
const uint8_t* FindDelimiter(const uint8_t* p, const uint8_t* end, const std::string& boundary) {
  const std::string delimiter = "--" + boundary;
  std::string_view text(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p));
  for (size_t at = 0; (at = text.find(delimiter, at)) != std::string_view::npos; ++at) {
    if (at == 0 || text[at - 1] == '\n') return p + at;
  }
  return end;
}

const uint8_t* LineEnd(const uint8_t* p, const uint8_t* end) {
  const void* lf = memchr(p, '\n', static_cast<size_t>(end - p));
  return lf == nullptr ? end : static_cast<const uint8_t*>(lf) + 1;
}

void AddEntity(Sections* sections, const uint8_t* begin, const uint8_t* end, int depth);

// The parts between delimiter lines, each delimiter line read as the first line of the header
// after it. What comes before the first and after the last is text of no label.
void AddParts(Sections* sections, const uint8_t* begin, const uint8_t* end,
              const std::string& boundary, int depth) {
  const uint8_t* delimiter = FindDelimiter(begin, end, boundary);
  sections->push_back({begin, delimiter, false, EightBit::kNone});
  while (delimiter != end) {
    const uint8_t* part = LineEnd(delimiter, end);
    bool last = part - delimiter >= static_cast<ptrdiff_t>(boundary.size() + 4) &&
                delimiter[boundary.size() + 2] == '-' && delimiter[boundary.size() + 3] == '-';
    if (last) {
      sections->push_back({delimiter, end, false, EightBit::kNone});
      return;
    }
    const uint8_t* next = FindDelimiter(part, end, boundary);
    AddEntity(sections, delimiter, next, depth + 1);
    delimiter = next;
  }
}

// A header and the text it heads: a message, or a part of one.
void AddEntity(Sections* sections, const uint8_t* begin, const uint8_t* end, int depth) {
  const uint8_t* body = begin + FindHeaderEnd(begin, static_cast<size_t>(end - begin));
  ContentType type = ReadContentType(begin, body);
  sections->push_back({begin, body, true, type.label});
  if (type.multipart && depth < kMaxDepth) {
    AddParts(sections, body, end, type.boundary, depth);
  } else {
    sections->push_back({body, end, false, type.label});
  }
}

// A section's own code: its label's where its text is valid in it, else the one its bytes show.
void DecideByText(Section* section, bool prefer_shift_jis) {
  if (section->label != EightBit::kNone &&
      IsValidIn(section->label, section->begin, section->end)) {
    section->code = section->label;
    section->decided = FindEightBitByte(section->begin, section->end) != section->end;
    return;
  }
  Detected detected = DetectEightBit(section->begin, section->end, prefer_shift_jis);
  section->code = detected.code;
  section->decided = !detected.by_preference;
}

}  // namespace

// Bodies first: each by its label, else by its bytes. Text that nothing decides takes the first
// code a body showed. A header without a label of its own is read, where valid, in the first
// code the message names, else in the code its bodies showed: in unlabelled mail a short raw
// Subject is told by the body's many bytes. The header shows the body nothing, as its raw text
// was often written by another program than the body.
void DecideCodes(Sections* sections, bool prefer_shift_jis) {
  EightBit named = EightBit::kNone, shown = EightBit::kNone;
  for (Section& section : *sections) {
    if (named == EightBit::kNone) named = section.label;
    if (section.header) continue;
    DecideByText(&section, prefer_shift_jis);
    if (shown == EightBit::kNone && section.decided) shown = section.code;
  }
  for (Section& section : *sections) {
    if (!section.header) continue;
    if (section.label == EightBit::kNone) section.label = named;
    if (section.label == EightBit::kNone) section.label = shown;
    DecideByText(&section, prefer_shift_jis);
  }
  for (Section& section : *sections) {
    if (!section.decided && shown != EightBit::kNone) section.code = shown;
  }
}

void ConvertMessage(Output* out, const uint8_t* begin, const uint8_t* end,
                    const MessageOptions& options) {
  if (begin == end) return;
  Sections sections;
  sections.reserve(4);
  AddEntity(&sections, begin, end, 0);
  DecideCodes(&sections, options.prefer_shift_jis);
  for (const Section& section : sections) {
    ShiftState state;  // every section starts a line, in ASCII
    if (section.header && options.decode_mime) {
      ConvertHeader(out, section.begin, section.end, section.code, &state);
    } else {
      ConvertText(out, section.begin, section.end, section.code, &state);
    }
  }
}

}  // namespace ferrolt::kanji
