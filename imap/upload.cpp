#include "imap/upload.h"

#include <time.h>

#include <deque>

#include "convert/mailbox_reader.h"
#include "convert/message_buffer.h"
#include "convert/salvage_reader.h"
#include "convert/source_mailbox.h"
#include "imap/existing_messages.h"
#include "imap/imap_response.h"
#include "imap/mailbox_names.h"

namespace ferrolt {
namespace {

// APPENDs sent and not yet answered, at most: the answers stay far below any socket buffer.
constexpr size_t kPipelineWindow = 64;

bool MentionsQuota(std::string_view response) {
  std::string contents;
  if (ResponseCode(response, "OVERQUOTA", &contents)) return true;
  std::string lower(response);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower.find("quota") != std::string::npos;
}

// Hands the messages of one mailbox to the server and keeps count of its answers.
class Appender final : public MessageConsumer {
 public:
  Appender(ImapSession* session, std::string folder, FolderContents* contents,
           bool takes_deleted_keyword, UploadCounts* counts, std::vector<bool>* sent_before,
           ImapFailure* failure)
      : session_(session),
        folder_(QuoteImapString(folder)),
        contents_(contents),
        takes_deleted_keyword_(takes_deleted_keyword),
        literal_plus_(HasCapability(*session, "LITERAL+")),
        counts_(counts),
        sent_before_(sent_before),
        failure_(failure) {}

  bool HandleMessage(File mailbox, const MessageRecord& message) override {
    if (!ReadWholeMessage(mailbox, message.length, &buffer_)) return false;
    std::string_view bytes(buffer_.data(), message.length);
    MailDate date;
    MessageKey key = KeyOfMessage(bytes, &date);
    size_t place = place_++;
    bool sent_before = place < sent_before_->size() && (*sent_before_)[place];
    if (contents_->TakeMatch(key)) {
      ++(sent_before ? counts_->uploaded : counts_->already_there);
      return true;
    }
    if (place >= sent_before_->size()) sent_before_->resize(place + 1);
    (*sent_before_)[place] = true;
    return Send(bytes, message, key.dated ? &date : nullptr) &&
           CollectAnswers(pending_.size() >= kPipelineWindow);
  }

  // Waits for every answer still due; false when one of them was a refusal.
  bool Drain() {
    while (!pending_.empty()) {
      if (!ReadAnswer()) return false;
    }
    return failure_->kind == ImapFailureKind::kNone;
  }

 private:
  std::string CommandFor(const MessageRecord& message, const MailDate* date, size_t size) {
    bool read = message.has_flags && IsRead(message.flags);
    bool deleted = message.has_flags && IsDeleted(message.flags);
    std::string flags = read ? "\\Seen" : "";
    if (deleted && takes_deleted_keyword_) flags += flags.empty() ? "$Deleted" : " $Deleted";
    std::string command = "APPEND " + folder_ + " (" + flags + ")";
    if (date != nullptr) command += " \"" + FormatInternalDate(*date) + "\"";
    return command + " {" + std::to_string(size) + (literal_plus_ ? "+}" : "}");
  }

  bool Send(std::string_view bytes, const MessageRecord& message, const MailDate* date) {
    std::string tag = SendCommand(session_, CommandFor(message, date, bytes.size()), failure_);
    if (tag.empty()) return false;
    pending_.push_back(tag);
    if (!literal_plus_ && !AwaitGoAhead(tag)) return false;
    return session_->channel.Write(bytes, failure_) && session_->channel.Write("\r\n", failure_);
  }

  // Without LITERAL+: the answers before the server's "+" belong to earlier APPENDs.
  bool AwaitGoAhead(const std::string& tag) {
    for (;;) {
      if (!ReadResponse(&session_->channel, &response_, failure_)) return false;
      if (response_.substr(0, 1) == "+") return true;
      if (!Answer()) return false;
      if (pending_.empty() || pending_.back() != tag) return false;  // refused before its literal
    }
  }

  bool CollectAnswers(bool wait) {
    while (!pending_.empty() && (wait || session_->channel.InputWaiting())) {
      if (!ReadAnswer()) return false;
      wait = false;
    }
    return failure_->kind == ImapFailureKind::kNone;
  }

  bool ReadAnswer() { return ReadResponse(&session_->channel, &response_, failure_) && Answer(); }

  // One response: the tagged answer to a pending APPEND, or something untagged to pass over (a
  // few an APPEND; a server that sends them without end is refused).
  bool Answer() {
    for (auto at = pending_.begin(); at != pending_.end(); ++at) {
      std::string status = TaggedStatus(response_, *at);
      if (status.empty()) continue;
      size_t tag_size = at->size();
      pending_.erase(at);
      untagged_in_a_row_ = 0;
      if (status == "OK") {
        ++counts_->uploaded;
        ++counts_->accepted;
      } else if (failure_->kind == ImapFailureKind::kNone) {
        failure_->kind =
            MentionsQuota(response_) ? ImapFailureKind::kQuota : ImapFailureKind::kServerRefused;
        failure_->detail = PrintableServerText(response_.substr(tag_size + 1));
      }
      return true;
    }
    if (++untagged_in_a_row_ <= kMaxUntaggedResponses) return true;
    failure_->kind = ImapFailureKind::kBadResponse;
    failure_->detail = "responses without end";
    return false;
  }

  ImapSession* session_;
  std::string folder_;
  FolderContents* contents_;
  bool takes_deleted_keyword_;
  bool literal_plus_;
  UploadCounts* counts_;
  std::vector<bool>* sent_before_;
  size_t place_ = 0;
  ImapFailure* failure_;
  MessageBuffer buffer_;
  std::deque<std::string> pending_;
  std::string response_;
  size_t untagged_in_a_row_ = 0;
};

}  // namespace

bool Uploader::Connected() {
  if (session_.channel.connected()) return true;
  session_.channel.stop_requested = settings_.stop_requested;
  session_.next_tag = 1;
  session_.capabilities.clear();
  session_.separator = 0;
  session_.reached = false;
  if (!OpenSession(&session_, settings_.url, settings_.ca_file, settings_.password, &failure_)) {
    // A server that took the connection and dropped it is retried; one never reached is not.
    ever_connected_ = ever_connected_ || session_.reached;
    session_.channel.Close();
    return false;
  }
  ever_connected_ = true;
  return true;
}

// The pause also lets the server finish the APPENDs it had whole from the lost connection: a
// server may store them after that connection is gone, and the next session must see them.
bool Uploader::Pause(int retry) {
  int64_t milliseconds = int64_t{settings_.first_pause_ms} << retry;
  timespec left = {static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000};
  // A signal ends the pause early; the stop is then seen by the caller.
  while (nanosleep(&left, &left) != 0) {
    if (settings_.stop_requested != nullptr && settings_.stop_requested()) return false;
  }
  return settings_.stop_requested == nullptr || !settings_.stop_requested();
}

// Runs `step` (which connects as it needs) until it succeeds, fails for a reason other than the
// connection, or the connection failed `retries` times in a row without a message getting through.
template <typename Step>
bool Uploader::WithRetries(Step step) {
  int retry = 0;
  for (;;) {
    failure_ = ImapFailure{};
    int32_t accepted_before = counts_.accepted;
    if (step()) return true;
    bool stopped = settings_.stop_requested != nullptr && settings_.stop_requested();
    bool dropped = failure_.kind == ImapFailureKind::kConnection && ever_connected_;
    session_.channel.Close();
    if (counts_.accepted > accepted_before) retry = 0;
    if (!dropped || stopped || retry >= settings_.retries || !Pause(retry++)) {
      // After a stop the user knows why it ended; a failure met on the way out is no news.
      if (!stopped && failure_.kind != ImapFailureKind::kNone && settings_.report) {
        settings_.report(failure_);
      }
      return false;
    }
    ++counts_.reconnections;
  }
}

bool Uploader::Start() {
  return WithRetries([this] {
    return Connected() &&
           EnsureFolder(&session_, EncodeModifiedUtf7(settings_.url.folder), &failure_);
  });
}

bool Uploader::UploadOnce(RunState* state, const std::string& name) {
  std::string folder = EncodeModifiedUtf7(
      SubfolderName(settings_.url.folder, session_.separator, MailboxFolderName(name)));
  SelectedFolder selected;
  FolderContents contents;
  if (!EnsureFolder(&session_, folder, &failure_) ||
      !SelectFolder(&session_, folder, &selected, &failure_) ||
      !FetchFolderContents(&session_, selected.exists, &contents, &failure_)) {
    return false;
  }
  SourceMailbox source;
  if (!OpenMailboxAndProbeIndex(state->source_dir + name, &source)) return false;
  BeginMailbox(state, name);
  Appender appender(&session_, folder, &contents, selected.takes_deleted_keyword, &counts_,
                    &sent_before_, &failure_);
  bool read = ReadMailbox(source.mailbox, source.index, state, &appender);
  CloseSourceMailbox(&source);
  // What was sent is answered before anything else happens, a stop included.
  bool answered = failure_.kind == ImapFailureKind::kConnection ? false : appender.Drain();
  return read && answered;
}

bool Uploader::UploadMailbox(RunState* state, const std::string& name) {
  ConversionRun counters = state->conversion_run;
  SalvageReport salvage =
      state->salvage_report != nullptr ? *state->salvage_report : SalvageReport{};
  UploadCounts before = counts_;
  sent_before_.clear();
  return WithRetries([&] {
    // A retry reads the mailbox again from its start: the counts start again with it.
    state->conversion_run = counters;
    if (state->salvage_report != nullptr) *state->salvage_report = salvage;
    counts_.uploaded = before.uploaded;
    counts_.already_there = before.already_there;
    return Connected() && UploadOnce(state, name);
  });
}

void Uploader::Finish() { CloseSession(&session_); }

}  // namespace ferrolt
