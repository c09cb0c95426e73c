// Reads a mailbox and its index made of arbitrary bytes through both real consumers, the .eml
// export and the target-mailbox writer, in both reading modes and with both skip-deleted
// settings, and salvaged. Besides the sanitizers' findings it aborts when the source changes, when
// an export that succeeded left a different number of files than it counted, or when a written
// target mailbox does not end in a whole message. Salvage also reads stores grown from the input
// to make it slow (a flood of record markers, an index naming the markers' places) and aborts
// when its work exceeds a small multiple of the files' size.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_run.h"
#include "convert/eml_export.h"
#include "convert/mailbox_reader.h"
#include "convert/progress_sink.h"
#include "convert/salvage_reader.h"
#include "convert/source_mailbox.h"
#include "convert/store_format.h"
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
  state.choices.include_deleted = !skip_deleted;
  state.progress = progress;
  state.choices.salvage = salvaging;
  state.salvage_report = &report;
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

struct Discard final : MessageConsumer {
  bool HandleMessage(File, const MessageRecord&) override { return true; }
};

// A bound far above what the reader needs (a few times the size), far below anything quadratic.
constexpr uint64_t kWorkPerByte = 32, kWorkAlways = 4096;

void CheckSalvageWork(const Folders& folders, const std::string& mailbox,
                      const std::string& index) {
  EmptyFolder(folders.source);
  WriteWholeFile(folders.source + kMailboxName, mailbox.data(), mailbox.size());
  if (!index.empty()) WriteWholeFile(folders.source + "Inbox.idx", index.data(), index.size());
  SilentProgress progress;
  salvaging = true;
  RunState state = FreshState(folders, false, &progress);
  salvaging = false;
  SourceMailbox source;
  if (!OpenMailboxAndProbeIndex(folders.source + kMailboxName, &source, true)) return;
  BeginMailbox(&state, kMailboxName);
  Discard discard;
  ReadMailbox(source.mailbox, source.index, &state, &discard);
  CloseSourceMailbox(&source);
  uint64_t bound = kWorkPerByte * (mailbox.size() + index.size()) + kWorkAlways;
  if (state.salvage_report->mailboxes.back().work > bound) std::abort();
}

void PutU32(std::string* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// The input's bytes with a record marker before every byte below 0x40, so most places look
// like a record's start and the input's bytes make the headers' lengths.
std::string MarkerFlood(std::string_view bytes) {
  std::string flood(kMailboxMagic);
  flood.resize(kFirstRecordOffset, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) < 0x40) flood += kRecordMarker;
    flood += bytes[i];
  }
  return flood;
}

// An index whose entries name their own offsets and point at the mailbox's markers, in an
// order and with lengths taken from the input.
std::string IndexOnMarkers(const std::string& mailbox, std::string_view bytes) {
  std::vector<uint32_t> markers;
  for (size_t at = mailbox.find(kRecordMarker); at != std::string::npos;
       at = mailbox.find(kRecordMarker, at + 1)) {
    markers.push_back(static_cast<uint32_t>(at));
  }
  std::string index(kIndexMagic);
  index.resize(kFirstEntryOffset, '\0');
  for (size_t i = 0; !markers.empty() && i < bytes.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    index += static_cast<char>(b & (kFlagDeleted | kFlagUnread));
    index += std::string(kEntryOwnOffsetField - 1, '\0');
    PutU32(&index, static_cast<uint32_t>(index.size() - kEntryOwnOffsetField));
    PutU32(&index, b < 0x10 ? b : kEntrySize);  // a few damaged entry lengths
    PutU32(&index, markers[(i * 7919 + b) % markers.size()]);
    PutU32(&index, b * 3);
  }
  return index;
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
  const std::string flood = MarkerFlood(input.mailbox);
  CheckSalvageWork(folders, std::string(input.mailbox), std::string(input.index));
  CheckSalvageWork(folders, flood, IndexOnMarkers(flood, input.index));
  return 0;
}
