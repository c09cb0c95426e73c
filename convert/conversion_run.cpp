#include "convert/conversion_run.h"

namespace ferrolt {

void ResetCounters(ConversionRun* run) {
  run->mailbox_count = 0;
  run->message_count = 0;
  run->deleted_count = 0;
}

bool StopRequested(const RunState& state) {
  return state.stop_requested != nullptr && state.stop_requested();
}

}  // namespace ferrolt
