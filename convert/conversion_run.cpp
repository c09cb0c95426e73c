#include "convert/conversion_run.h"

namespace ferrolt {

void ResetCounters(ConversionRun* run) {
  run->mailbox_count = 0;
  run->message_count = 0;
  run->deleted_count = 0;
}

}  // namespace ferrolt
