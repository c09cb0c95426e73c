#ifndef FERROLT_PLATFORM_TERMINAL_H_
#define FERROLT_PLATFORM_TERMINAL_H_

// Whether a standard stream goes to a terminal, asked the way each system asks it.

#include <cstdio>

namespace ferrolt {

// True when `stream` is connected to a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_TERMINAL_H_
