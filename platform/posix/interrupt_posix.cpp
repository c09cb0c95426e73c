#include <csignal>
#include <initializer_list>

#include "platform/interrupt.h"

namespace ferrolt {
namespace {

volatile std::sig_atomic_t stop_number = 0;

extern "C" void NoteStopSignal(int signal_number) {
  if (stop_number == 0) stop_number = signal_number;
}

}  // namespace

void InstallStopHandlers() {
  struct sigaction action = {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocked read or write returns instead of waiting on
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
  std::signal(SIGXFSZ, SIG_IGN);
}

int StopRequestNumber() { return stop_number; }

}  // namespace ferrolt
