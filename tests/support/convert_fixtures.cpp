#include "tests/support/convert_fixtures.h"

#include <filesystem>

#include "convert/exact_io.h"
#include "convert/source_mailbox.h"
#include "notices/catalogue.h"
#include "platform/files.h"

namespace ferrolt::testing {
namespace {

struct RecordingConsumer final : MessageConsumer {
  explicit RecordingConsumer(const RunState* state) : state(state) {}
  bool TakesBytes() const override { return takes_bytes; }
  bool HandleMessage(File mailbox, const MessageRecord& record) override {
    std::string bytes(record.length, '\0');
    if (record.bytes != nullptr) {
      bytes.assign(record.bytes, record.length);
    } else if (!ReadExact(mailbox, bytes.data(), record.length, kReadSourceFailed)) {
      return false;
    }
    handed.push_back({bytes, record, state->conversion_run.message_count});
    handed.back().record.bytes = nullptr;  // valid only until now
    return true;
  }
  const RunState* state;
  bool takes_bytes = false;
  std::vector<Handed> handed;
};

}  // namespace

std::string ShownNotice(const std::vector<Notice>& notices, const std::string& start) {
  if (notices.size() == 1 && !start.empty()) return notices[0].text.substr(0, start.size());
  std::string all;
  for (const Notice& notice : notices) all += notice.text + "\n";
  return all;
}

ReadResult ReadMailboxAt(const std::string& path, const ReadOptions& options) {
  ReadResult result;
  NoticeRecorder notices;
  ProgressRecorder progress;
  SalvageReport salvage;
  RunState state;
  state.progress = &progress;
  state.choices.include_deleted = !options.skip_deleted;
  state.stop_requested = options.stop_requested;
  state.choices.salvage = options.salvage;
  state.salvage_report = &salvage;
  RecordingConsumer consumer(&state);
  consumer.takes_bytes = options.takes_bytes;
  SourceMailbox source;
  if (OpenMailboxAndProbeIndex(path, &source, options.salvage)) {
    result.indexed = source.index.is_open();
    BeginMailbox(&state, std::filesystem::path(path).filename().string());
    result.ok = ReadMailbox(source.mailbox, source.index, &state, &consumer);
  }
  CloseSourceMailbox(&source);
  result.handed = std::move(consumer.handed);
  result.run = state.conversion_run;
  result.notices = notices.notices;
  result.progress = progress.calls;
  if (!salvage.mailboxes.empty()) result.salvage = salvage.mailboxes.back();
  return result;
}

ReadResult ReadStore(const BuiltStore& store, const ReadOptions& options) {
  TempFolder folder;
  WriteStore(folder.path(), "Inbox", store);
  return ReadMailboxAt(folder.Join("Inbox.mbx"), options);
}

ConvertFolders::ConvertFolders() {
  for (const char* sub : {"in", "out"}) std::filesystem::create_directory(folder_.Join(sub));
  state_.source_dir = folder_.Join("in") + kPathSeparator;
  state_.target_dir = folder_.Join("out") + kPathSeparator;
  state_.export_prefix = Out("exp");
  state_.progress = &progress_;
  state_.choices.include_deleted = true;
}

bool ConvertFolders::Convert(MailboxOperation operation, const BuiltStore& store,
                             const std::string& base) {
  std::filesystem::remove(folder_.Join("in") + kPathSeparator + base + ".idx");  // an earlier one
  WriteStore(folder_.Join("in"), base, store);
  progress_.calls.clear();
  bool ok = operation(&state_, base + ".mbx");
  std::string label = progress_.calls.empty() ? "" : progress_.calls.front();
  EXPECT_TRUE(!ok || label == "label:" + base + ".mbx") << label;
  return ok;
}

}  // namespace ferrolt::testing
