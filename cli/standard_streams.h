#ifndef FERROLT_CLI_STANDARD_STREAMS_H_
#define FERROLT_CLI_STANDARD_STREAMS_H_

// The program's own stdin, stdout and stderr.

namespace ferrolt {

// Opens the null device on each of descriptors 0 to 2 that is closed. Called first thing: a
// file the program opens must never become stdout or stderr and receive its text.
void ReserveStandardDescriptors();

// Flushes stdout. False when anything written to it was lost (a full disk, a closed pipe); the
// first time, one line on stderr tells so.
bool CheckStandardOutput();

}  // namespace ferrolt

#endif  // FERROLT_CLI_STANDARD_STREAMS_H_
