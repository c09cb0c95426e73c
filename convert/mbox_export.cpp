#include "convert/mbox_export.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "convert/batched_mailbox.h"
#include "convert/mail_date.h"
#include "convert/mail_header.h"
#include "convert/mailbox_reader.h"
#include "convert/message_buffer.h"
#include "convert/output_file.h"
#include "convert/source_mailbox.h"
#include "convert/whole_messages.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/mail_files.h"

namespace ferrolt {
namespace {

constexpr char kFallbackSender[] = "MAILER-DAEMON";
constexpr uint64_t kFromLineRoom = 1024;  // "From ", a sender cut to 900 bytes, a date

// Our own Status lines replace the source's; a length no longer fits once line ends and quoting
// change the body, and a reader that trusts it (formail) would run into the next message.
constexpr std::string_view kDroppedFields[] = {"Status", "X-Status", "Content-Length", "Lines"};

// An address fit for the "From " line: printable ASCII without spaces.
bool IsEnvelopeAddress(const std::string& address) {
  if (address.empty() || address.size() > 900) return false;
  for (unsigned char c : address) {
    if (c <= ' ' || c >= 0x7f) return false;
  }
  return true;
}

// The address in "Name <addr>" or a bare "addr (comment)".
std::string AddressIn(const std::string& value) {
  size_t open = value.find('<');
  if (open != std::string::npos) {
    size_t close = value.find('>', open);
    if (close != std::string::npos) return value.substr(open + 1, close - open - 1);
  }
  size_t end = value.find_first_of(" (");
  return value.substr(0, end);
}

// Whether the line at `line` matches ^>*From and so gets one more '>'.
inline bool NeedsQuoting(const char* line, const char* end) {
  if (*line != '>' && *line != 'F') return false;
  while (line < end && *line == '>') ++line;
  return end - line >= 5 && std::memcmp(line, "From ", 5) == 0;
}

// The line feed at `lf` (of text starting at `begin`) as mbox writes it: LF for CR LF, and the
// line after it quoted when it needs it.
inline char* PutLineFeed(const char* begin, const char* lf, const char* end, char* out) {
  if (lf > begin && lf[-1] == '\r') --out;  // the CR went out just before
  *out++ = '\n';
  if (lf + 1 < end && NeedsQuoting(lf + 1, end)) *out++ = '>';
  return out;
}

#if defined(__SSE2__)
// 32 bytes from `from` to `to`, and where they hold line feeds, a bit each.
inline uint32_t Copy32(const char* from, char* to) {
  const __m128i line_feeds = _mm_set1_epi8('\n');
  __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
  __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), low);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), high);
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, line_feeds))) |
         static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, line_feeds))) << 16;
}

// Copies the 32 bytes at `at` (with 32 more readable after them, and one before) as PutLines
// does; returns the end of what it wrote, having written over up to 32 bytes past it.
inline char* Put32(const char* at, const char* end, char* out) {
  uint32_t found = Copy32(at, out);
  const char* copied = at;  // the input byte that out[0] holds
  while (found != 0) {
    const char* line_feed = at + __builtin_ctz(found);
    found &= found - 1;
    out += line_feed - copied;
    out -= line_feed[-1] == '\r';  // the CR went out just before
    *out++ = '\n';
    char next = line_feed[1];
    if ((next == '>' || next == 'F') && NeedsQuoting(line_feed + 1, end)) *out++ = '>';
    copied = line_feed + 1;
    Copy32(copied, out);  // the rest of the block, where the line end moved it
  }
  return out + (at + 32 - copied);
}
#endif

// The byte at `at` of text starting at `begin`, as PutLines writes it.
inline char* PutByte(const char* begin, const char* at, const char* end, char* out) {
  if (*at == '\n') return PutLineFeed(begin, at, end, out);
  *out = *at;
  return out + 1;
}

// Copies [at, end), which starts a line, to `out`: CR LF as LF, lines quoted as mboxrd does.
// Returns the end of what it wrote; up to 32 bytes past it may have been written over. Lines of
// mail are short, so per-line calls would cost more than the bytes: where SSE2 is there, 32
// bytes go at a time, and a line feed costs a copy of the rest of the block.
char* PutLines(const char* at, const char* end, char* out) {
  const char* begin = at;
  if (at < end && NeedsQuoting(at, end)) *out++ = '>';
#if defined(__SSE2__)
  if (end - at > 64) {
    out = PutByte(begin, at++, end, out);  // so that every line feed below has a byte before it
    for (; end - at >= 64; at += 32) out = Put32(at, end, out);
  }
#endif
  for (; at < end; ++at) out = PutByte(begin, at, end, out);
  return out;
}

class EntryWriter {
 public:
  explicit EntryWriter(char* out) : start_(out), at_(out) {}

  void Put(std::string_view text) {
    std::memcpy(at_, text.data(), text.size());
    at_ += text.size();
  }
  void PutMessageLines(std::string_view text) {
    at_ = PutLines(text.data(), text.data() + text.size(), at_);
  }
  void EndLineIfOpen() {
    if (at_ != start_ && at_[-1] != '\n') *at_++ = '\n';
  }
  size_t size() const { return static_cast<size_t>(at_ - start_); }

 private:
  char* start_;
  char* at_;
};

void PutStatusLines(const MessageRecord& record, EntryWriter* writer) {
  if (!record.has_flags) return;
  writer->EndLineIfOpen();
  writer->Put(IsRead(record.flags) ? "Status: RO\n" : "Status: O\n");
  if (IsDeleted(record.flags)) writer->Put("X-Status: D\n");
}

std::string FromLine(std::string_view header, int64_t undated) {
  int64_t instant = undated;
  MessageInstant(header, &instant);
  return "From " + EnvelopeSender(header) + " " + AsctimeUtc(instant) + "\n";
}

class MboxWriter final : public MessageConsumer {
 public:
  MboxWriter(BatchedMailbox* output, int64_t undated) : output_(output), undated_(undated) {}

  bool TakesBytes() const override { return true; }
  bool HandleMessage(File mailbox, const MessageRecord& message) override {
    const char* bytes = message.bytes;
    if (bytes == nullptr) {  // a reader that hands on the mailbox only
      if (!ReadWholeMessage(mailbox, message.length, &input_)) return false;
      bytes = input_.data();
    }
    char* entry = output_->Room(MboxEntryBound(message.length));
    if (entry == nullptr) return false;
    output_->Add(MboxEntry(std::string_view(bytes, message.length), message, undated_, entry));
    return true;
  }

 private:
  BatchedMailbox* output_;
  int64_t undated_;
  MessageBuffer input_;
};

}  // namespace

std::string EnvelopeSender(std::string_view header) {
  for (const char* field : {"Return-Path", "From"}) {
    std::string address = AddressIn(HeaderFieldValue(header, field));
    if (IsEnvelopeAddress(address)) return address;
  }
  return kFallbackSender;
}

uint64_t MboxEntryBound(uint64_t length) {
  // A quoted line is at least "From " long, so quoting adds at most a fifth.
  return kFromLineRoom + length + length / 5 + 64;  // 64: PutLines may write 32 bytes past
}

size_t MboxEntry(std::string_view message, const MessageRecord& record, int64_t undated,
                 char* out) {
  EntryWriter writer(out);
  std::string_view header = message.substr(0, HeaderEnd(message));
  writer.Put(FromLine(header, undated));
  writer.PutMessageLines(HeaderWithout(header, kDroppedFields));
  PutStatusLines(record, &writer);
  writer.PutMessageLines(message.substr(header.size()));
  writer.EndLineIfOpen();
  writer.Put("\n");
  return writer.size();
}

bool ExportMailboxAsMbox(RunState* state, const std::string& name) {
  SourceMailbox source;
  if (!OpenMailboxAndProbeIndex(state->source_dir + name, &source, state->choices.salvage))
    return false;
  AppendedMailbox output;
  std::string path = state->target_dir + MailboxOutputName(MailboxBaseName(name)) + ".mbox";
  if (!CreateOutputFile(path, &output.file)) {
    CloseSourceMailbox(&source);
    return false;
  }
  BeginMailbox(state, name);
  BatchedMailbox batch(&output);
  MboxWriter writer(&batch, UndatedMailTime(source.mailbox));
  bool ok = ReadMailbox(source.mailbox, source.index, state, &writer);
  // The messages read whole before a failure or a stop go out still, with no second notice.
  if (ok) {
    ok = batch.Flush();
  } else {
    batch.FlushQuietly();
  }
  if (!ok) CutBackToWholeMessages(&output);  // a failure inside a message takes it back
  CloseSourceMailbox(&source);
  CloseFile(&output.file);
  return ok;
}

}  // namespace ferrolt
