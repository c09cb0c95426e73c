// Writes the stores the IMAP upload's tests and benchmark send:
//
//   make_imap_store <folder> <count>
//     <folder>/Inbox.mbx, .idx   <count> Japanese messages: every 4th read, every 7th deleted,
//                                every 5th with bare line feeds, every 9th without Message-ID,
//                                the 11th a byte-for-byte copy of the 10th
//     <folder>/受信箱.mbx, .idx  (the name in code page 932, as the source client wrote it)
//                                three messages, one undated
//     <folder>/Notes.mbx         two messages and no index

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/mail_generator.h"
#include "tests/support/store_builder.h"

namespace kanji = ferrolt::kanji;

namespace {

using ferrolt::testing::BuildStore;
using ferrolt::testing::MessageSpec;
using ferrolt::testing::StoreSpec;
using ferrolt::testing::WriteStore;

std::string WithBareLineFeeds(std::string message) {
  std::string out;
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') continue;
    out += message[i];
  }
  return out;
}

std::string Message(int number, bool with_id, bool dated) {
  kanji::MailShape shape;
  shape.body_chars = 300;
  std::string mail =
      kanji::GenerateMail(static_cast<uint32_t>(number) + 1, kanji::MailCode::kIso2022Jp, shape);
  size_t generated_date = mail.find("Date: ");
  mail.erase(generated_date, mail.find('\n', generated_date) + 1 - generated_date);
  char head[160];
  std::snprintf(head, sizeof head, "Date: Mon, %d May 1997 10:%02d:%02d +0900\r\n",
                1 + number / 3600 % 28, number / 60 % 60, number % 60);
  std::string extra = dated ? head : "";
  if (with_id) extra += "Message-ID: <" + std::to_string(number) + "@imap.test>\r\n";
  return extra + mail;
}

StoreSpec Inbox(int count) {
  StoreSpec spec;
  for (int i = 0; i < count; ++i) {
    std::string bytes = Message(i, i % 9 != 4, true);
    if (i % 5 == 3) bytes = WithBareLineFeeds(bytes);
    uint8_t flags = static_cast<uint8_t>((i % 7 == 6 ? 1 : 0) | (i % 4 == 0 ? 0 : 2));
    spec.messages.push_back(MessageSpec{bytes, flags, 0});
  }
  if (count > 11) spec.messages[11] = spec.messages[10];
  return spec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_imap_store <folder> <count>\n");
    return 2;
  }
  std::string folder = argv[1];
  std::filesystem::create_directories(folder);
  WriteStore(folder, "Inbox", BuildStore(Inbox(std::atoi(argv[2]))));
  StoreSpec japanese;
  for (int i = 0; i < 3; ++i) japanese.messages.push_back({Message(1000 + i, true, i != 1), 0, 0});
  WriteStore(folder, "\x8E\xF3\x90\x4D\x94\xA0", BuildStore(japanese));
  StoreSpec notes;
  notes.with_index = false;
  for (int i = 0; i < 2; ++i) notes.messages.push_back({Message(2000 + i, true, true), 0, 0});
  WriteStore(folder, "Notes", BuildStore(notes));
  return 0;
}
