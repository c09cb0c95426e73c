#include "convert/target_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "convert/exact_io.h"
#include "convert/mailbox_reader.h"
#include "convert/message_buffer.h"
#include "convert/output_file.h"
#include "convert/source_mailbox.h"
#include "convert/status_filter.h"
#include "convert/whole_messages.h"
#include "kanji/nkf.h"
#include "notices/catalogue.h"

namespace ferrolt {
namespace {

constexpr char kSeparator[] = "\r\n.\r\n";

// The target client's files never held a NUL; dropping them keeps the rest of the message.
size_t RemoveNulBytes(char* text, size_t length) {
  if (std::memchr(text, '\0', length) == nullptr) return length;
  return static_cast<size_t>(std::remove(text, text + length, '\0') - text);
}

class TargetWriter final : public MessageConsumer {
 public:
  TargetWriter(const RunChoices& choices, AppendedMailbox* target)
      : nkf_options_(NkfOptionsFor(choices)), target_(target) {}

  bool HandleMessage(File mailbox, const MessageRecord& message) override {
    MessageBuffer output;
    size_t converted_length = 0;
    if (!Convert(mailbox, message, &output, &converted_length)) return false;
    return WriteConverted(std::string_view(output.data(), converted_length), ReadStatus(message));
  }

 private:
  // The message's memory goes back before the converted text is written.
  bool Convert(File mailbox, const MessageRecord& message, MessageBuffer* output,
               size_t* converted_length) {
    // Counted in 64 bits so that a huge length fails the allocation instead of wrapping.
    const uint64_t output_capacity = kanji::NkfOutputBound(uint64_t{message.length});
    MessageBuffer input;
    if (!input.Reserve(message.length + uint64_t{1}) || !output->Reserve(output_capacity) ||
        !ReadExact(mailbox, input.data(), message.length, kReadSourceFailed)) {
      return false;
    }
    size_t length = RemoveNulBytes(input.data(), message.length);
    // Set for every message: the options are the converter's, and another caller may have set
    // its own since.
    kanji::SetNkfOption(nkf_options_);
    *converted_length = kanji::NkfConvert(output->data(), static_cast<size_t>(output_capacity),
                                          input.data(), length);
    return true;
  }

  static bool ReadStatus(const MessageRecord& message) {
    return message.has_flags && IsRead(message.flags);
  }

  // The converter's option letters: Shift_JIS out, encoded words decoded, and text that reads as
  // both taken for Shift_JIS half-width kana unless the user prefers EUC-JP.
  static const char* NkfOptionsFor(const RunChoices& choices) {
    return choices.prefer_euc ? "sm" : "Xsm";
  }

  // The header is sized from the converted text, which can be longer than the message.
  bool WriteConverted(std::string_view converted, bool add_status) {
    header_.reserve(std::min<size_t>(converted.size(), 1 << 20) + 16);
    size_t header_end = FilterStatusHeader(converted, add_status, &header_);
    if (!AppendToMailbox(target_, header_)) return false;
    if (!AppendToMailbox(target_, converted.substr(header_end))) return false;
    if (!AppendToMailbox(target_, kSeparator)) return false;
    EndMessage(target_);
    return true;
  }

  const char* nkf_options_;
  AppendedMailbox* target_;
  std::string header_;
};

}  // namespace

bool ImportMailbox(RunState* state, const std::string& name) {
  SourceMailbox source;
  if (!OpenMailboxAndProbeIndex(state->source_dir + name, &source, state->choices.salvage))
    return false;
  AppendedMailbox target;
  if (!CreateOutputFile(state->target_dir + name, &target.file, kOutputExists)) {
    CloseSourceMailbox(&source);
    return false;
  }
  BeginMailbox(state, name);
  TargetWriter writer(state->choices, &target);
  bool ok = ReadMailbox(source.mailbox, source.index, state, &writer);
  if (!ok) CutBackToWholeMessages(&target);
  CloseSourceMailbox(&source);
  CloseFile(&target.file);
  return ok;
}

}  // namespace ferrolt
