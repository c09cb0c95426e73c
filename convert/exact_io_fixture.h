#ifndef FERROLT_CONVERT_EXACT_IO_FIXTURE_H_
#define FERROLT_CONVERT_EXACT_IO_FIXTURE_H_

// For tests only: watching every exact transfer (convert/exact_io.h), and failing one as a short
// transfer would (code 0), to reach every failure path of the readers and writers. The program
// itself never sets an observer.

#include <cstdint>

namespace ferrolt {

// Answers false to fail the transfer it is shown.
using TransferObserver = bool (*)(bool is_write, uint32_t count);

// nullptr (the default) watches nothing.
void SetTransferObserver(TransferObserver observer);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_EXACT_IO_FIXTURE_H_
