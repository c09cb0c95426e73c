// Reads a mailbox and its index made of arbitrary bytes through both real consumers, the .eml
// export and the target-mailbox writer, in both reading modes and with both skip-deleted
// settings, and salvaged. Besides the sanitizers' findings it aborts when the source changes, when
// an export that succeeded left a different number of files than it counted, or when a written
// target mailbox does not end in a whole message.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "convert/conversion_run.h"
#include "convert/eml_export.h"
#include "convert/progress_sink.h"
#include "convert/salvage_reader.h"
#include "convert/target_writer.h"
#include "fuzz/fuzz_folder.h"
#include "fuzz/mailbox_input.h"

namespace ferrolt::fuzz {
namespace {

namespace fs = std::filesystem;

constexpr char kMailboxName[] = "Inbox.mbx";
constexpr std::string_view kSeparator = "\r\n.\r\n";

struct Folders {
  std::string source, output;
};

const Folders& MakeFolders() {
  static const Folders folders = [] {
    Folders made{ScratchFolder() + "/source/", ScratchFolder() + "/output/"};
    fs::create_directories(made.source);
    fs::create_directories(made.output);
    return made;
  }();
  return folders;
}

// Set while the salvage reader is under test; a fresh report for every run.
bool salvaging = false;

RunState FreshState(const Folders& folders, bool skip_deleted, ProgressSink* progress) {
  static SalvageReport report;
  report = SalvageReport();
  RunState state;
  state.source_dir = folders.source;
  state.target_dir = folders.output;
  state.export_prefix = folders.output + "m";
  state.conversion_run.skip_deleted = skip_deleted;
  state.progress = progress;
  if (salvaging) state.salvage = &report;
  return state;
}

size_t CountFiles(const std::string& folder) {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) count += entry.is_regular_file();
  return count;
}

void CheckExport(const Folders& folders, bool skip_deleted) {
  SilentProgress progress;
  RunState state = FreshState(folders, skip_deleted, &progress);
  bool ok = ExportMailbox(&state, kMailboxName);
  size_t files = CountFiles(folders.output);
  if (ok && files != static_cast<size_t>(state.conversion_run.message_count)) std::abort();
  EmptyFolder(folders.output);
}

void CheckImport(const Folders& folders, bool skip_deleted) {
  SilentProgress progress;
  RunState state = FreshState(folders, skip_deleted, &progress);
  bool ok = ImportMailbox(&state, kMailboxName);
  if (ok && state.conversion_run.message_count > 0) {
    std::string written = ReadWholeFile(folders.output + kMailboxName);
    if (!written.ends_with(kSeparator)) std::abort();
  }
  EmptyFolder(folders.output);
}

void CheckBothConsumers(const Folders& folders, bool skip_deleted) {
  CheckExport(folders, skip_deleted);
  CheckImport(folders, skip_deleted);
}

void CheckSourceUnchanged(const Folders& folders, const MailboxInput& input) {
  if (ReadWholeFile(folders.source + kMailboxName) != input.mailbox) std::abort();
}

}  // namespace
}  // namespace ferrolt::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ferrolt::fuzz;
  static DiscardNotices discard;
  ferrolt::SetNoticeOutput(&discard);
  const Folders& folders = MakeFolders();
  MailboxInput input = SplitMailboxInput(data, size);
  EmptyFolder(folders.source);
  WriteWholeFile(folders.source + "Inbox.mbx", input.mailbox.data(), input.mailbox.size());
  // Without an index file the mailbox is read record by record; skip-deleted plays no part.
  CheckBothConsumers(folders, true);
  if (!input.index.empty()) {
    WriteWholeFile(folders.source + "Inbox.idx", input.index.data(), input.index.size());
    CheckBothConsumers(folders, true);
    CheckBothConsumers(folders, false);
  }
  // Salvage reads whatever the index holds; without one, everything in file order.
  salvaging = true;
  CheckBothConsumers(folders, false);
  fs::remove(folders.source + "Inbox.idx");
  CheckBothConsumers(folders, true);
  salvaging = false;
  CheckSourceUnchanged(folders, input);
  return 0;
}
