#ifndef FERROLT_CONVERT_SALVAGE_READER_FINDER_H_
#define FERROLT_CONVERT_SALVAGE_READER_FINDER_H_

// How the salvage reader looks at a damaged file: positioned reads that count the work done and
// heed a stop, and the search for records it can trust. Each finder's searches only move
// forward, so a finder reads each byte of the mailbox about once per kind of search, whatever
// the bytes are.

#include <cstdint>
#include <memory>
#include <vector>

#include "convert/conversion_run.h"
#include "convert/store_format.h"
#include "platform/files.h"

namespace ferrolt::salvage {

constexpr uint32_t kSearchBlock = 64 * 1024;

// The work done on one mailbox (bytes read, places looked at) and whether to go on.
class Work {
 public:
  Work(const RunState* state, uint64_t* done) : state_(state), done_(done) {}
  // Adds `units`; false once a stop was asked.
  bool Spend(uint64_t units);
  bool stopped() const { return stopped_; }

 private:
  const RunState* state_;
  uint64_t* done_;
  bool stopped_ = false;
};

// Positioned reads that tell bytes missing from the file (damage, expected here) from a read
// that failed (notice shown once, and everything after it refused).
class FileReader {
 public:
  FileReader(File file, uint64_t size, int message_id, Work* work);
  bool ReadAt(uint64_t position, void* destination, uint32_t count);
  uint64_t size() const { return size_; }
  bool failed() const { return failed_; }
  Work* work() const { return work_; }

 private:
  File file_;
  uint64_t size_;
  int message_id_;
  Work* work_;
  bool failed_ = false;
};

// A block of the file read ahead of a reader that moves forward.
class ForwardWindow {
 public:
  explicit ForwardWindow(FileReader* file);
  // The bytes from `position` on, at least `need` of them unless the file ends first; null when
  // they cannot be read. A block is read only when the one held lacks them.
  const unsigned char* From(uint64_t position, uint32_t need, uint32_t* available);
  // The `count` bytes at `position` when the block held has them, else null.
  const unsigned char* Held(uint64_t position, uint32_t count) const;

 private:
  FileReader* file_;
  std::unique_ptr<unsigned char[]> block_;
  uint64_t start_ = 0;
  uint32_t count_ = 0;
};

struct RecordHeader {
  bool marker = false;
  bool complete = false;  // the whole header inside the file
  uint32_t record_length = 0;
  uint32_t message_length = 0;
};

// [start, end of its message) of a record the index vouches for.
struct Extent {
  uint64_t start = 0;
  uint64_t end = 0;
};

// What a search stops at: a record whose own bytes are whole (marker, lengths that hold its
// message inside the file), or one whose record length also leads to a record start.
enum class Trust { kWhole, kConfirmed };

class RecordFinder {
 public:
  // `claimed`: sorted by start, never overlapping; searches stop at their starts, never inside.
  RecordFinder(FileReader* mailbox, std::vector<Extent> claimed = {});

  RecordHeader HeaderAt(uint64_t position);
  bool Holds(uint64_t position, const RecordHeader& header) const;
  bool StartsRecord(uint64_t position);
  bool Confirmed(uint64_t position);
  static uint64_t MessageEnd(uint64_t position, uint32_t message_length) {
    return position + kRecordHeaderSize + message_length;
  }

  // The first record at or after `from` trusted as `trust` says, or the first claimed start;
  // size() when there is none. The last answer is remembered, so queries from growing
  // positions look at each byte once.
  uint64_t Find(Trust trust, uint64_t from);

  const Extent* ClaimedAt(uint64_t position) const;
  const Extent* ClaimedAround(uint64_t position) const;  // holds `position` past its first byte
  uint64_t NextClaimedStart(uint64_t from) const;
  uint64_t size() const { return mailbox_->size(); }
  bool stopped() const { return mailbox_->failed() || mailbox_->work()->stopped(); }
  Work* work() const { return mailbox_->work(); }

 private:
  struct Search {
    ForwardWindow window;
    uint64_t from = UINT64_MAX;  // no record trusted so in [from, found)
    uint64_t found = UINT64_MAX;
  };
  std::vector<Extent>::const_iterator FirstClaimedFrom(uint64_t position) const;
  uint64_t Scan(Trust trust, uint64_t from);
  uint64_t NextMarker(ForwardWindow* window, uint64_t from, uint64_t limit);

  FileReader* mailbox_;
  std::vector<Extent> claimed_;
  Search searches_[2];
  uint64_t cached_position_ = UINT64_MAX;
  RecordHeader cached_header_;
};

}  // namespace ferrolt::salvage

#endif  // FERROLT_CONVERT_SALVAGE_READER_FINDER_H_
