#include "cli/interrupt.h"

#include <csignal>

namespace ferrolt {
namespace {

volatile std::sig_atomic_t interrupt_requested = 0;

extern "C" void NoteInterrupt(int) { interrupt_requested = 1; }

}  // namespace

void InstallInterruptHandler() { std::signal(SIGINT, NoteInterrupt); }

bool InterruptRequested() { return interrupt_requested != 0; }

}  // namespace ferrolt
