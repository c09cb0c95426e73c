#ifndef FERROLT_CONVERT_CONVERSION_RUN_H_
#define FERROLT_CONVERT_CONVERSION_RUN_H_

// What one run shares between its mailboxes: where it reads and writes, its counters, and who
// shows its progress.

#include <cstdint>
#include <functional>
#include <string>

#include "convert/progress_sink.h"
#include "convert/run_choices.h"
#include "notices/catalogue.h"

namespace ferrolt {

struct SalvageReport;

// The counters of a run; reset when a run starts.
struct ConversionRun {
  int32_t mailbox_count = 0;  // mailboxes converted successfully
  int32_t message_count = 0;  // messages handed on, deleted ones included when not skipped
  int32_t deleted_count = 0;  // deleted messages handed on
};

// Asked before every message: true ends the mailbox there, as a failure without a notice, so
// every file written so far holds whole messages only. The front end that asked tells the user.
// A closure, so that a window can ask its own state rather than a global.
using StopQuery = std::function<bool()>;

struct RunState {
  std::string source_dir;     // SourceDir: the source mailboxes' folder, ending in a separator
  std::string target_dir;     // TargetDir: the target mailboxes' folder, ending in a separator
  std::string export_prefix;  // ExportPrefix: the path every .eml name begins with
  RunChoices choices;
  ConversionRun conversion_run;
  ProgressSink* progress = nullptr;    // never null while a run reads mailboxes
  StopQuery stop_requested = nullptr;  // null never stops
  // Where a salvage run reports what it did with each mailbox; may be null when nobody asks.
  SalvageReport* salvage_report = nullptr;
  // What an existing .eml name shows: the window words it as for its import, the command line,
  // whose other outputs are not the target client's either, with kOutputNameTaken.
  int eml_name_taken_notice = kOutputExists;
  // The mailbox a run works on, source_dir and name, while it does; empty between mailboxes.
  // The command line names it beside a failure.
  std::string mailbox_path;
};

// Resets the counters.
void ResetCounters(ConversionRun* run);

// True when the front end asked the run to stop.
bool StopRequested(const RunState& state);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_CONVERSION_RUN_H_
