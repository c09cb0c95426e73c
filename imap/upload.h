#ifndef FERROLT_IMAP_UPLOAD_H_
#define FERROLT_IMAP_UPLOAD_H_

// The upload: every source mailbox NAME.mbx into the folder FOLDER<separator>NAME, its messages
// APPENDed with their bytes unchanged, \Seen when read, $Deleted when deleted and included (never
// \Deleted: a client's expunge would remove them), INTERNALDATE from the Date header. What the
// folder holds already is left out (imap/existing_messages.h), so a rerun after any interruption
// sends only what is missing; APPEND is atomic, so the server never keeps part of a message.
//
// APPENDs are pipelined: with LITERAL+ one after the other without waiting, else each waits for
// the server's go-ahead for its literal only. A dropped connection is retried after a growing
// pause, a bounded number of times without progress; a refused login never is.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/conversion_run.h"
#include "imap/imap_session.h"

namespace ferrolt {

struct UploadSettings {
  ImapUrl url;
  std::string ca_file;
  PasswordSource password;
  // Shows the one notice of the failure that stops the upload.
  std::function<void(const ImapFailure& failure)> report;
  StopQuery stop_requested = nullptr;
  int retries = 4;            // consecutive reconnections without a message getting through
  int first_pause_ms = 1000;  // doubled before every further retry
};

// Per message of the run: a message that an interrupted attempt sent and a retry then finds on
// the server counts as uploaded, not as one that was there before.
struct UploadCounts {
  int32_t uploaded = 0;
  int32_t already_there = 0;
  int32_t reconnections = 0;
  int32_t accepted = 0;  // APPENDs the server confirmed, retries included: progress between drops
};

class Uploader {
 public:
  explicit Uploader(UploadSettings settings) : settings_(std::move(settings)) {}
  ~Uploader() { Finish(); }

  // Logs in and makes sure the base folder exists; false after the notice.
  bool Start();
  // Uploads the mailbox `name` of state->source_dir; false after the notice, or without one when
  // a stop was asked or the source could not be read (the reader showed that).
  bool UploadMailbox(RunState* state, const std::string& name);
  // Logs out.
  void Finish();

  const UploadCounts& counts() const { return counts_; }

 private:
  template <typename Step>
  bool WithRetries(Step step);
  bool Connected();
  bool UploadOnce(RunState* state, const std::string& name);
  bool Pause(int retry);

  UploadSettings settings_;
  ImapSession session_;
  ImapFailure failure_;
  UploadCounts counts_;
  bool ever_connected_ = false;
  // Of the current mailbox, by the message's place among those read: sent by an earlier attempt.
  std::vector<bool> sent_before_;
};

}  // namespace ferrolt

#endif  // FERROLT_IMAP_UPLOAD_H_
