#include "cli/interrupt.h"

#include <csignal>
#include <initializer_list>

#include "cli/exit_codes.h"

namespace ferrolt {
namespace {

volatile std::sig_atomic_t stop_signal = 0;

extern "C" void NoteInterrupt(int signal_number) {
  if (stop_signal == 0) stop_signal = signal_number;
}

}  // namespace

#if defined(_WIN32)

void InstallInterruptHandler() {
  std::signal(SIGINT, NoteInterrupt);
  std::signal(SIGTERM, NoteInterrupt);
}

#else

void InstallInterruptHandler() {
  struct sigaction action = {};
  action.sa_handler = NoteInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocked read or write returns instead of waiting on
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
  std::signal(SIGXFSZ, SIG_IGN);
}

#endif

bool InterruptRequested() { return stop_signal != 0; }

int InterruptExitCode() { return kExitSignalBase + stop_signal; }

}  // namespace ferrolt
