#ifndef FERROLT_CLI_INTERRUPT_H_
#define FERROLT_CLI_INTERRUPT_H_

// Ctrl-C, SIGTERM and SIGHUP during a run, and on Windows Ctrl+Break, a closed console, a log-off
// or a shutdown (platform/interrupt.h): the run stops before its next message, so no output file
// ends in half a message, and the program exits with kExitSignalBase + the request's number
// (cli/exit_codes.h): 130 after Ctrl-C, 149 after Ctrl+Break, 129 after a hang-up or a closed
// console, 143 after SIGTERM, a log-off or a shutdown.

namespace ferrolt {

void InstallInterruptHandler();

// True once a stop request has arrived. Safe to pass as RunState::stop_requested.
bool InterruptRequested();

// kExitSignalBase + the number of the first stop request that arrived.
int InterruptExitCode();

}  // namespace ferrolt

#endif  // FERROLT_CLI_INTERRUPT_H_
