#ifndef FERROLT_CONVERT_EML_EXPORT_H_
#define FERROLT_CONVERT_EML_EXPORT_H_

#include <cstdint>
#include <string>

#include "convert/conversion_run.h"

namespace ferrolt {

// Writes every message of the mailbox `name` in state->source_dir to its own new file
// state->export_prefix + five-digit run-wide number + ".eml", bytes unchanged. False stops the
// run; its notice has been shown.
bool ExportMailbox(RunState* state, const std::string& name);

// prefix + number as "%05d.eml".
std::string EmlFileName(const std::string& prefix, int32_t number);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_EML_EXPORT_H_
