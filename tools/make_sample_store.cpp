// Writes the bundled sample store: a few mailboxes of Japanese mail in the three codes of the
// time, with read, unread and deleted messages and one mailbox without its index. The texts are
// our own; the same run always writes the same bytes.
//
//   make_sample_store FOLDER

#include <iconv.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/mail_generator.h"
#include "tests/support/store_builder.h"

namespace kanji = ferrolt::kanji;

namespace {

using ferrolt::kFlagDeleted;
using ferrolt::kFlagUnread;
using ferrolt::testing::BuildStore;
using ferrolt::testing::MessageSpec;
using ferrolt::testing::StoreSpec;
using ferrolt::testing::WriteStore;
using kanji::Base64;

// UTF-8 text in the given code ("ISO-2022-JP", "SHIFT_JIS", "EUC-JP"); exits on failure, since
// a sample with broken text is worse than none.
std::string Encode(const std::string& utf8, const char* code) {
  iconv_t converter = iconv_open(code, "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    std::perror("iconv_open");
    std::exit(1);
  }
  std::string in = utf8, out(utf8.size() * 4 + 16, '\0');
  char* in_at = in.data();
  char* out_at = out.data();
  size_t in_left = in.size(), out_left = out.size();
  size_t done = iconv(converter, &in_at, &in_left, &out_at, &out_left);
  if (done != static_cast<size_t>(-1))
    done = iconv(converter, nullptr, nullptr, &out_at, &out_left);
  iconv_close(converter);
  if (done == static_cast<size_t>(-1)) {
    std::fprintf(stderr, "cannot encode a sample text in %s\n", code);
    std::exit(1);
  }
  out.resize(out.size() - out_left);
  return out;
}

std::string EncodedSubject(const std::string& utf8) {
  return "=?ISO-2022-JP?B?" + Base64(Encode(utf8, "ISO-2022-JP")) + "?=";
}

// A message whose header and body are in `code`, the subject as an encoded word.
std::string Mail(int number, const std::string& subject, const std::string& body, const char* code,
                 const char* charset, const std::string& extra = "") {
  std::string header = "Message-ID: <sample" + std::to_string(number) + "@ferrolt.example.jp>\r\n" +
                       "Date: Mon, 5 May 1997 10:" + std::to_string(10 + number) +
                       ":00 +0900\r\n"
                       "From: =?ISO-2022-JP?B?" +
                       Base64(Encode("山田 太郎", "ISO-2022-JP")) +
                       "?= <taro@example.jp>\r\n"
                       "To: hanako@example.jp\r\n"
                       "Subject: " +
                       EncodedSubject(subject) +
                       "\r\n"
                       "MIME-Version: 1.0\r\n"
                       "Content-Type: text/plain; charset=" +
                       charset + "\r\n" + extra;
  std::string text = body;
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return header + "\r\n" + Encode(crlf, code);
}

StoreSpec Inbox() {
  StoreSpec spec;
  spec.seed = 1997;
  spec.messages = {
      {Mail(1, "定例会議のお知らせ",
            "花子さん\n\n来週の定例会議は五月十二日（月）午後二時からです。\n"
            "資料は前日までにお送りします。\n\n山田\n",
            "ISO-2022-JP", "ISO-2022-JP", "Status: U\r\n"),
       0, 12},
      {Mail(2, "新しいメールアドレス",
            "新しいアドレスは hanako@example.jp です。\nよろしくお願いします。\n", "ISO-2022-JP",
            "ISO-2022-JP"),
       kFlagUnread, 0},
      {Mail(3, "古い連絡（削除済み）", "この連絡は不要になりました。\n", "ISO-2022-JP",
            "ISO-2022-JP"),
       kFlagDeleted, 7},
      {Mail(4, "半角カナとシフトJISの本文",
            "ﾊﾝｶｸｶﾀｶﾅ と 全角カタカナ が混じった本文です。\n①②③ も使います。\n", "CP932",
            "Shift_JIS"),
       0, 0},
      {Mail(5, "EUC-JPで書かれた手紙", "日本語の本文を EUC-JP で送ります。\n", "EUC-JP", "EUC-JP"),
       kFlagUnread, 3},
  };
  spec.index_order = {0, 1, 2, 4, 3};
  spec.entry_padding = 4;
  return spec;
}

StoreSpec Outbox() {
  StoreSpec spec;
  spec.seed = 505;
  spec.with_index = false;
  spec.messages = {
      {Mail(6, "Re: 定例会議のお知らせ", "承知しました。出席します。\n", "ISO-2022-JP",
            "ISO-2022-JP"),
       0, 0},
      {"From: taro@example.jp\r\nTo: list@example.jp\r\nSubject: plain ASCII note\r\n\r\n"
       "Nothing to convert here.\r\n",
       0, 5},
  };
  return spec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample_store FOLDER\n");
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  WriteStore(argv[1], "Inbox", BuildStore(Inbox()));
  WriteStore(argv[1], "Outbox", BuildStore(Outbox()));
  return 0;
}
