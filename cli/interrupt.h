#ifndef FERROLT_CLI_INTERRUPT_H_
#define FERROLT_CLI_INTERRUPT_H_

// Ctrl-C during a run: the handler only notes the request; the run stops before its next
// message, so no output file ends in half a message, and the program exits with 130 as shells
// expect of a program ended by SIGINT.

namespace ferrolt {

constexpr int kExitInterrupted = 130;

void InstallInterruptHandler();
// True once SIGINT has arrived. Safe to pass as RunState::stop_requested.
bool InterruptRequested();

}  // namespace ferrolt

#endif  // FERROLT_CLI_INTERRUPT_H_
