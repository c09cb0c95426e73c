#include "cli/interrupt.h"

#include "cli/exit_codes.h"
#include "platform/interrupt.h"

namespace ferrolt {

void InstallInterruptHandler() { InstallStopHandlers(); }

bool InterruptRequested() { return StopRequestNumber() != 0; }

int InterruptExitCode() { return kExitSignalBase + StopRequestNumber(); }

}  // namespace ferrolt
