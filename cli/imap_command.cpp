#include "cli/imap_command.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "cli/cli_front_end.h"
#include "cli/cli_texts.h"
#include "cli/exit_codes.h"
#include "cli/imap_password.h"
#include "cli/interrupt.h"
#include "cli/terminal_text.h"
#include "convert/salvage_reader.h"
#include "imap/upload.h"
#include "notices/notices.h"
#include "platform/notice_output.h"

namespace ferrolt {
namespace {

struct TextPair {
  const char* english;
  const char* japanese;
};

// In the order of ImapFailureKind, from kConnection; %s: the server's or TLS library's words.
constexpr TextPair kFailureTexts[] = {
    {"IMAP: the connection to the server failed: %s", "IMAP: サーバーとの接続に失敗しました: %s"},
    {"IMAP: the server's certificate was refused: %s",
     "IMAP: サーバーの証明書を受け入れられません: %s"},
    {"IMAP: the secure connection failed: %s", "IMAP: 暗号化した接続に失敗しました: %s"},
    {"IMAP: the server does not offer STARTTLS, so nothing was sent; use imaps:// if it offers "
     "TLS on its own port%s",
     "IMAP: サーバーが STARTTLS に対応していないため、何も送りませんでした。TLS 専用のポートが"
     "あれば imaps:// を使って下さい%s"},
    {"IMAP: the server refused the login: %s", "IMAP: サーバーがログインを拒否しました: %s"},
    {"IMAP: the mailbox on the server is full (quota): %s; the messages sent so far are kept, "
     "run the same command again once there is room",
     "IMAP: サーバーのメールボックスが容量制限 (quota) に達しました: %s。送ったメールは残って"
     "います。空きを作ってから同じコマンドをもう一度実行して下さい"},
    {"IMAP: the server refused: %s", "IMAP: サーバーが拒否しました: %s"},
    {"IMAP: no password: set FERROLT_IMAP_PASSWORD or run on a terminal%s",
     "IMAP: パスワードがありません。FERROLT_IMAP_PASSWORD を設定するか端末から実行して下さい%s"},
    {"IMAP: the server sent what no IMAP server sends, so the upload stopped: %s",
     "IMAP: サーバーが IMAP にあり得ない応答を送ったため、送信を止めました: %s"},
};

constexpr TextPair kNotUrl = {"not an IMAP URL: %s (imaps://USER@HOST[:PORT][/FOLDER])",
                              "IMAP の URL ではありません: %s (imaps://USER@HOST[:PORT][/FOLDER])"};
constexpr TextPair kCounts = {"(uploaded now: %s, already on the server: %s)",
                              "(今回送信: %s、サーバーに既にあったもの: %s)"};
constexpr TextPair kInterrupted = {
    "interrupted; every message on the server is whole, and a rerun sends the rest",
    "中断しました。サーバー上のメールはどれも完全で、再実行すると残りを送ります"};

std::string Text(const TextPair& pair, const std::string* values, size_t count) {
  return FillPlaceholders(UsingJapaneseTexts() ? pair.japanese : pair.english, values, count);
}

void ReportFailure(const ImapFailure& failure) {
  size_t index =
      static_cast<size_t>(failure.kind) - static_cast<size_t>(ImapFailureKind::kConnection);
  if (index >= sizeof kFailureTexts / sizeof kFailureTexts[0]) return;
  Notice notice;
  notice.text = Text(kFailureTexts[index], &failure.detail, 1);
  ShowNotice(notice);
}

// The run's target is the server: checked by logging in, before any mailbox is read.
class ImapFrontEnd final : public RunFrontEnd {
 public:
  ImapFrontEnd(Uploader* uploader, bool show_progress)
      : uploader_(uploader), progress_(std::string(), std::string(), show_progress) {}
  bool CheckTarget() override { return uploader_->Start(); }
  bool PrepareTarget(std::string* target_dir) override {
    target_dir->clear();
    return true;
  }
  bool PromptExportPrefix(std::string*) override { return false; }
  ProgressSink* OpenProgress() override { return progress_.OpenProgress(); }
  void CloseProgress() override { progress_.CloseProgress(); }
  TerminalProgress* terminal() { return progress_.terminal(); }

 private:
  Uploader* uploader_;
  CliFrontEnd progress_;
};

UploadSettings SettingsFor(const ImapUrl& url, const CliOptions& options,
                           PasswordKeeper* password) {
  UploadSettings settings;
  settings.url = url;
  settings.ca_file = options.ca_file;
  settings.password = password->Source();
  settings.report = ReportFailure;
  settings.stop_requested = InterruptRequested;
  // Only the tests shorten the pauses between reconnections; users get the real ones.
  if (const char* pause = std::getenv("FERROLT_IMAP_TEST_PAUSE_MS")) {
    settings.first_pause_ms = std::clamp(std::atoi(pause), 0, settings.first_pause_ms);
  }
  return settings;
}

void PrintCounts(const UploadCounts& counts) {
  std::string values[] = {std::to_string(counts.uploaded), std::to_string(counts.already_there)};
  std::fprintf(stdout, "%s\n", Text(kCounts, values, 2).c_str());
}

}  // namespace

bool ImapCommandAvailable() { return true; }

int RunImapCommand(const CliOptions& options, SourceCollector collect_sources) {
  ImapUrl url;
  if (!ParseImapUrl(options.target_folder, &url)) {
    std::string shown = EscapeControls(options.target_folder, false);
    std::fprintf(stderr, "ferrolt-cli: %s\n\n%s", Text(kNotUrl, &shown, 1).c_str(), UsageText());
    return kExitUsage;
  }
  std::signal(SIGPIPE, SIG_IGN);  // a server that hangs up is a failed write, not a death
  PasswordKeeper password("Password for " + EscapeControls(url.user + "@" + url.host, false) +
                          ": ");
  Uploader uploader(SettingsFor(url, options, &password));
  ImapFrontEnd front_end(&uploader, StandardErrorIsSmartTerminal());
  ConsoleNotices notices;
  notices.progress = front_end.terminal();
  SetNoticeOutput(&notices);
  RunState state;
  state.choices = options.choices;
  state.stop_requested = InterruptRequested;
  SalvageReport salvage;
  state.salvage_report = &salvage;
  std::vector<std::string> sources;
  if (collect_sources(options, &sources)) {
    RunDroppedInto(&state, &front_end, sources,
                   [&uploader](RunState* run, const std::string& name) {
                     return uploader.UploadMailbox(run, name);
                   });
  }
  uploader.Finish();
  if (notices.summary_shown) PrintCounts(uploader.counts());
  SetNoticeOutput(nullptr);
  if (options.choices.salvage) {
    for (const std::string& line : DescribeSalvage(salvage)) {
      std::fprintf(stderr, "ferrolt-cli: salvage: %s\n", line.c_str());
    }
  }
  if (InterruptRequested()) {
    std::fprintf(stderr, "ferrolt-cli: %s\n", Text(kInterrupted, nullptr, 0).c_str());
    return InterruptExitCode();
  }
  return notices.summary_shown && !notices.summary_lost ? kExitDone : kExitFailed;
}

}  // namespace ferrolt
