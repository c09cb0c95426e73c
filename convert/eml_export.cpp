#include "convert/eml_export.h"

#include <cstdio>

#include "convert/exact_io.h"
#include "convert/mailbox_reader.h"
#include "convert/output_file.h"
#include "convert/source_mailbox.h"
#include "convert/whole_messages.h"

namespace ferrolt {
namespace {

class EmlWriter final : public MessageConsumer {
 public:
  explicit EmlWriter(const RunState* state) : state_(state) {}

  bool HandleMessage(File mailbox, const MessageRecord& message) override {
    File output;
    std::string path = EmlFileName(state_->export_prefix, state_->conversion_run.message_count);
    if (!CreateOutputFile(path, &output, state_->eml_name_taken_notice)) return false;
    if (!CopyBytes(mailbox, output, message.length)) {
      DiscardMessageFile(path, &output);
      return false;
    }
    CloseFile(&output);
    return true;
  }

 private:
  const RunState* state_;
};

}  // namespace

std::string EmlFileName(const std::string& prefix, int32_t number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%05d", static_cast<int>(number));
  return prefix + digits + ".eml";
}

bool ExportMailbox(RunState* state, const std::string& name) {
  SourceMailbox source;
  if (!OpenMailboxAndProbeIndex(state->source_dir + name, &source, state->choices.salvage))
    return false;
  BeginMailbox(state, name);
  EmlWriter writer(state);
  bool ok = ReadMailbox(source.mailbox, source.index, state, &writer);
  CloseSourceMailbox(&source);
  return ok;
}

}  // namespace ferrolt
