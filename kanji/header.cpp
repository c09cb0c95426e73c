#include "kanji/header.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "kanji/detect.h"
#include "kanji/jis.h"
#include "kanji/mime_word.h"

namespace ferrolt::kanji {
namespace {

bool IsBlank(uint8_t c) { return c == ' ' || c == '\t'; }

// Skips blanks and folds (a line end followed by blanks) that may separate two encoded words.
const uint8_t* SkipGap(const uint8_t* p, const uint8_t* end) {
  while (true) {
    while (p < end && IsBlank(*p)) ++p;
    const uint8_t* fold = p;
    if (fold < end && *fold == '\r') ++fold;
    if (fold < end && *fold == '\n' && end - fold >= 2 && IsBlank(fold[1])) {
      p = fold + 1;
    } else {
      return p;
    }
  }
}

// Collects into *group the word *first and the words of its charset that follow it, each
// separated from the one before by a gap only.
void GatherGroup(EncodedWord* first, const uint8_t* end, std::vector<EncodedWord>* group) {
  group->assign(1, std::move(*first));
  EncodedWord next;
  while (ParseEncodedWord(SkipGap(group->back().end, end), end, &next) &&
         next.charset == group->front().charset) {
    group->push_back(std::move(next));
  }
}

EightBit EightBitOf(Charset charset) {
  switch (charset) {
    case Charset::kShiftJis:
      return EightBit::kShiftJis;
    case Charset::kEucJp:
      return EightBit::kEucJp;
    case Charset::kIso8859_1:
      return EightBit::kLatin1;
    default:
      return EightBit::kNone;
  }
}

// A control character other than TAB in a decoded word would reach the header as it is: CR or
// LF would start lines of the sender's choosing (a forged header, or the end of the header and a
// separator line), NUL would cut the message short. Converted text holds such a byte only as
// that character, since Shift_JIS trail bytes are never below 0x40 and shifts leave nothing.
bool HasControl(const std::vector<uint8_t>& converted) {
  for (uint8_t byte : converted) {
    if (byte < 0x20 && byte != '\t') return true;
  }
  return false;
}

// How a word's 8-bit bytes are read. Old mailers labelled Shift_JIS and EUC-JP text
// ISO-2022-JP: such a word is read as the code it is valid in, and where its bytes leave that
// open, as the header's own 8-bit text is read (`header_code`).
EightBit WordCode(const std::string& bytes, Charset charset, EightBit header_code) {
  if (charset != Charset::kIso2022Jp) return EightBitOf(charset);
  const uint8_t* text = reinterpret_cast<const uint8_t*>(bytes.data());
  Detected detected = DetectEightBit(text, text + bytes.size(), header_code == EightBit::kShiftJis);
  return detected.by_preference && header_code != EightBit::kNone ? header_code : detected.code;
}

// Converts decoded text on its own; false when any byte of it is invalid in its charset or it
// holds a control character. Every decoded byte becomes at most two output bytes.
bool ConvertDecoded(const std::string& bytes, Charset charset, const Output& out,
                    EightBit header_code, std::vector<uint8_t>* converted) {
  if (charset == Charset::kUtf8) return false;  // Shift_JIS cannot hold most of it
  converted->resize(2 * bytes.size());
  Output scratch{converted->data(), converted->size()};
  scratch.keep_half_kana = out.keep_half_kana;
  ShiftState state;
  const uint8_t* text = reinterpret_cast<const uint8_t*>(bytes.data());
  ConvertText(&scratch, text, text + bytes.size(), WordCode(bytes, charset, header_code), &state);
  converted->resize(scratch.size);
  return scratch.invalid == 0 && !scratch.full && !HasControl(*converted);
}

// Writes converted text, or as much of it as fits without splitting a character. Valid decoded
// text converts to ASCII, half-width kana and Shift_JIS pairs only, so a byte >= 0x80 that is no
// half-width kana always leads a pair.
void PutConverted(Output* out, const std::vector<uint8_t>& converted) {
  size_t room = out->capacity - out->size;
  if (out->full || converted.size() <= room) {
    PutBytes(out, converted.data(), converted.size());
    return;
  }
  size_t fits = 0;
  while (fits < converted.size()) {
    uint8_t byte = converted[fits];
    size_t length = byte >= 0x80 && !IsHalfKana(byte) ? 2 : 1;
    if (fits + length > room) break;
    fits += length;
  }
  PutBytes(out, converted.data(), fits);
  out->full = true;
}

// Writes a chain of encoded words piece by piece: a piece is a decoded span (its converted
// text) or an undecoded one (its original text), and the gap before a piece is written only
// when that piece or the one before it stayed undecoded.
struct ChainWriter {
  Output* out;
  EightBit code;
  ShiftState* state;
  const uint8_t* previous_end = nullptr;
  bool previous_decoded = false;

  void Write(const uint8_t* begin, const uint8_t* end, bool decoded,
             const std::vector<uint8_t>& converted) {
    if (previous_end != nullptr && !(previous_decoded && decoded)) {
      ConvertText(out, previous_end, begin, code, state);
    }
    if (decoded) {
      PutConverted(out, converted);
    } else {
      ConvertText(out, begin, end, code, state);
    }
    previous_end = end;
    previous_decoded = decoded;
  }
};

// Joins the group's words, so that a character may be split between them; when the joined
// text is invalid, each word is tried alone, so that one bad word spoils only itself.
void WriteGroup(ChainWriter* writer, const std::vector<EncodedWord>& group) {
  std::string joined;
  for (const EncodedWord& word : group) joined += word.bytes;
  std::vector<uint8_t> converted;
  Charset charset = group.front().charset;
  if (ConvertDecoded(joined, charset, *writer->out, writer->code, &converted)) {
    writer->Write(group.front().begin, group.back().end, true, converted);
    return;
  }
  for (const EncodedWord& word : group) {
    bool decoded = ConvertDecoded(word.bytes, charset, *writer->out, writer->code, &converted);
    writer->Write(word.begin, word.end, decoded, converted);
  }
}

// Converts the chain of words that begins with *word and the gaps between them; returns the
// end of the chain.
const uint8_t* ConvertWordChain(Output* out, EncodedWord* word, const uint8_t* end, EightBit code,
                                ShiftState* state) {
  ChainWriter writer{out, code, state};
  std::vector<EncodedWord> group;
  while (true) {
    GatherGroup(word, end, &group);
    WriteGroup(&writer, group);
    const uint8_t* next = SkipGap(group.back().end, end);
    if (!ParseEncodedWord(next, end, word)) return group.back().end;
  }
}

const uint8_t* FindWordStart(const uint8_t* p, const uint8_t* end) {
  while (end - p >= 2) {
    p = static_cast<const uint8_t*>(memchr(p, '=', static_cast<size_t>(end - p - 1)));
    if (p == nullptr) break;
    if (p[1] == '?') return p;
    ++p;
  }
  return end;
}

}  // namespace

size_t FindHeaderEnd(const uint8_t* text, size_t length) {
  const uint8_t* end = text + length;
  const uint8_t* line = text;
  while (line < end && *line != '\r' && *line != '\n') {
    const void* lf = memchr(line, '\n', static_cast<size_t>(end - line));
    if (lf == nullptr) return length;
    line = static_cast<const uint8_t*>(lf) + 1;
  }
  return static_cast<size_t>(line - text);
}

void ConvertHeader(Output* out, const uint8_t* p, const uint8_t* end, EightBit code,
                   ShiftState* state) {
  const uint8_t* plain = p;
  EncodedWord word;
  while (!out->full && (p = FindWordStart(p, end)) != end) {
    if (!ParseEncodedWord(p, end, &word)) {
      ++p;
      continue;
    }
    ConvertText(out, plain, p, code, state);
    p = plain = ConvertWordChain(out, &word, end, code, state);
  }
  ConvertText(out, plain, end, code, state);
}

}  // namespace ferrolt::kanji
