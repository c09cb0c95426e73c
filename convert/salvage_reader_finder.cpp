#include "convert/salvage_reader_finder.h"

#include <algorithm>
#include <cstring>

#include "convert/exact_io.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt::salvage {
namespace {

RecordHeader DecodeHeader(const unsigned char* bytes, uint64_t available) {
  RecordHeader header;
  header.marker = available >= kRecordMarker.size() &&
                  std::memcmp(bytes, kRecordMarker.data(), kRecordMarker.size()) == 0;
  header.complete = available >= kRecordHeaderSize;
  if (header.complete) {
    header.record_length = ReadU32LE(bytes + kRecordLengthField);
    header.message_length = ReadU32LE(bytes + kMessageLengthField);
  }
  return header;
}

}  // namespace

bool Work::Spend(uint64_t units) {
  *done_ += units;
  if (!stopped_ && StopRequested(*state_)) stopped_ = true;
  return !stopped_;
}

FileReader::FileReader(File file, uint64_t size, int message_id, Work* work)
    : file_(file), size_(std::min(size, kLastPosition)), message_id_(message_id), work_(work) {}

bool FileReader::ReadAt(uint64_t position, void* destination, uint32_t count) {
  if (failed_ || position > size_ || count > size_ - position) return false;
  if (!work_->Spend(count)) return false;
  uint32_t moved = 0;
  IoStatus status = ReadFromFileAt(file_, position, destination, count, &moved);
  if (!status.ok()) {
    ShowErrorCode(message_id_, kCaptionProgramError, status.code);
    failed_ = true;
  }
  return status.ok() && moved == count;
}

ForwardWindow::ForwardWindow(FileReader* file)
    : file_(file), block_(new unsigned char[kSearchBlock]) {}

const unsigned char* ForwardWindow::From(uint64_t position, uint32_t need, uint32_t* available) {
  uint64_t left = position < file_->size() ? file_->size() - position : 0;
  uint64_t wanted = std::min<uint64_t>(need, left);
  if (position < start_ || position + wanted > start_ + count_) {
    uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kSearchBlock, left));
    count_ = 0;
    if (count < wanted || !file_->ReadAt(position, block_.get(), count)) return nullptr;
    start_ = position;
    count_ = count;
  }
  *available = static_cast<uint32_t>(start_ + count_ - position);
  return block_.get() + (position - start_);
}

const unsigned char* ForwardWindow::Held(uint64_t position, uint32_t count) const {
  if (position < start_ || position + count > start_ + count_) return nullptr;
  return block_.get() + (position - start_);
}

RecordFinder::RecordFinder(FileReader* mailbox, std::vector<Extent> claimed)
    : mailbox_(mailbox),
      claimed_(std::move(claimed)),
      searches_{{ForwardWindow(mailbox)}, {ForwardWindow(mailbox)}} {}

// Read once for the questions asked of every record; a header inside a search's block costs
// no read at all.
RecordHeader RecordFinder::HeaderAt(uint64_t position) {
  uint64_t left = position < size() ? size() - position : 0;
  uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(left, kRecordHeaderSize));
  for (const Search& search : searches_) {
    if (const unsigned char* held = search.window.Held(position, count)) {
      return DecodeHeader(held, count);
    }
  }
  if (position != cached_position_) {
    unsigned char bytes[kRecordHeaderSize];
    cached_header_ =
        mailbox_->ReadAt(position, bytes, count) ? DecodeHeader(bytes, count) : RecordHeader();
    cached_position_ = position;
  }
  return cached_header_;
}

// Marker there, the message inside both its record and the file, the next record reachable.
bool RecordFinder::Holds(uint64_t position, const RecordHeader& header) const {
  return header.marker && header.complete &&
         header.record_length >= kRecordHeaderSize + uint64_t{header.message_length} &&
         MessageEnd(position, header.message_length) <= size() &&
         position + header.record_length <= kLastPosition;
}

bool RecordFinder::StartsRecord(uint64_t position) {
  return position == size() || (position < size() && HeaderAt(position).marker);
}

bool RecordFinder::Confirmed(uint64_t position) {
  RecordHeader header = HeaderAt(position);
  return Holds(position, header) && StartsRecord(position + header.record_length);
}

uint64_t RecordFinder::Find(Trust trust, uint64_t from) {
  Search& search = searches_[static_cast<int>(trust)];
  if (from >= search.from && from <= search.found) return search.found;
  uint64_t found = Scan(trust, from);
  search.from = from;
  search.found = found;
  return found;
}

uint64_t RecordFinder::Scan(Trust trust, uint64_t from) {
  ForwardWindow* window = &searches_[static_cast<int>(trust)].window;
  while (!stopped()) {
    if (const Extent* around = ClaimedAround(from)) from = around->end;
    uint64_t claimed = NextClaimedStart(from);
    uint64_t candidate = NextMarker(window, from, claimed);
    if (candidate >= claimed) return stopped() ? size() : claimed;
    bool trusted =
        trust == Trust::kWhole ? Holds(candidate, HeaderAt(candidate)) : Confirmed(candidate);
    if (trusted) return candidate;
    from = candidate + 1;
  }
  return size();
}

// The first marker starting in [from, limit), or limit: memchr for the marker's rarer byte
// through a block read ahead, each place looked at counted as work.
uint64_t RecordFinder::NextMarker(ForwardWindow* window, uint64_t from, uint64_t limit) {
  constexpr uint32_t kMarkerSize = kRecordMarker.size();
  constexpr size_t kRarer = 1;  // 0x7F: rarer in mail than the NUL before it
  while (from < limit && from + kMarkerSize <= size()) {
    uint32_t available = 0;
    const unsigned char* block = window->From(from, kMarkerSize, &available);
    if (block == nullptr) return limit;
    // The last place the rarer byte of a marker that ends inside the block can be.
    const unsigned char* last = block + available - kMarkerSize + kRarer;
    for (const unsigned char* at = block + kRarer; at <= last; ++at) {
      at = static_cast<const unsigned char*>(std::memchr(at, kRecordMarker[kRarer], last - at + 1));
      if (at == nullptr) break;
      if (!mailbox_->work()->Spend(1)) return limit;
      if (std::memcmp(at - kRarer, kRecordMarker.data(), kMarkerSize) == 0) {
        return std::min(limit, from + static_cast<uint64_t>(at - kRarer - block));
      }
    }
    from += available - kMarkerSize + 1;
  }
  return limit;
}

std::vector<Extent>::const_iterator RecordFinder::FirstClaimedFrom(uint64_t position) const {
  return std::lower_bound(
      claimed_.begin(), claimed_.end(), position,
      [](const Extent& extent, uint64_t value) { return extent.start < value; });
}

const Extent* RecordFinder::ClaimedAt(uint64_t position) const {
  auto it = FirstClaimedFrom(position);
  return it != claimed_.end() && it->start == position ? &*it : nullptr;
}

const Extent* RecordFinder::ClaimedAround(uint64_t position) const {
  auto it = FirstClaimedFrom(position);
  if (it == claimed_.begin()) return nullptr;
  --it;
  return position < it->end ? &*it : nullptr;
}

uint64_t RecordFinder::NextClaimedStart(uint64_t from) const {
  auto it = FirstClaimedFrom(from);
  return it == claimed_.end() ? size() : std::min(it->start, size());
}

}  // namespace ferrolt::salvage
