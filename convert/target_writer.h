#ifndef FERROLT_CONVERT_TARGET_WRITER_H_
#define FERROLT_CONVERT_TARGET_WRITER_H_

#include <string>

#include "convert/conversion_run.h"

namespace ferrolt {

// Writes the mailbox `name` of state->source_dir as a new target-client mailbox of the same name
// in state->target_dir: each message converted to Shift_JIS, its status lines replaced by the
// read state, followed by CR LF "." CR LF. False stops the run; its notice has been shown.
bool ImportMailbox(RunState* state, const std::string& name);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_TARGET_WRITER_H_
