#include <gtest/gtest.h>

#include "imap/existing_messages.h"
#include "imap/imap_response.h"
#include "imap/imap_url.h"
#include "imap/mailbox_names.h"

namespace ferrolt {
namespace {

TEST(ImapUrl, ReadsEveryPartOrRefuses) {
  struct Case {
    const char* text;
    bool ok;
    bool tls = false;
    const char* user = "";
    const char* host = "";
    int port = 0;
    const char* folder = "";
  };
  const Case cases[] = {
      {"imaps://taro@mail.example.jp", true, true, "taro", "mail.example.jp", 993, "From MS-IM"},
      {"imap://taro@127.0.0.1:1143/Old%20mail", true, false, "taro", "127.0.0.1", 1143, "Old mail"},
      {"imaps://a%40b.jp@[::1]:9993/", true, true, "a@b.jp", "::1", 9993, "From MS-IM"},
      {"imaps://u@h/%E5%8F%A4", true, true, "u", "h", 993, "\xE5\x8F\xA4"},
      {"imaps://u@h:0", false},
      {"imaps://u@h:65536", false},
      {"imaps://h", false},
      {"http://u@h", false},
      {"imaps://u@[mail]:1", false},
      {"imaps://u@h/%0", false},
      {"imaps://u@h/%00x", false},
      {"imaps://u@h:99x", false},
      {"imaps://@h", false},
  };
  for (const Case& c : cases) {
    ImapUrl url;
    ASSERT_EQ(ParseImapUrl(c.text, &url), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(url.tls_from_start, c.tls) << c.text;
    EXPECT_EQ(url.user, c.user);
    EXPECT_EQ(url.host, c.host);
    EXPECT_EQ(url.port, c.port);
    EXPECT_EQ(url.folder, c.folder);
  }
}

TEST(MailboxNames, ModifiedUtf7AndQuotingAsTheServerExpects) {
  // The RFC's own example, ASCII with "&", astral planes, a broken byte.
  EXPECT_EQ(EncodeModifiedUtf7(
                "~peter/mail/\xE5\x8F\xB0\xE5\x8C\x97/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"),
            "~peter/mail/&U,BTFw-/&ZeVnLIqe-");
  EXPECT_EQ(EncodeModifiedUtf7("A&B"), "A&-B");
  EXPECT_EQ(EncodeModifiedUtf7("\xF0\x9F\x93\xAE"), "&2D3c7g-");
  EXPECT_EQ(EncodeModifiedUtf7("a\xFFz"), "a&,,0-z");
  EXPECT_EQ(EncodeModifiedUtf7("\xE5\x8F\x97\xE4\xBF\xA1\xE7\xAE\xB1"), "&U9dP4Xux-");
  EXPECT_EQ(QuoteImapString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(SubfolderName("From MS-IM", '.', "a.b"), "From MS-IM.a_b");
  EXPECT_EQ(SubfolderName("F", 0, "x"), "F/x");
  // A name as the source client wrote it (code page 932) and one already in UTF-8.
  EXPECT_EQ(MailboxFolderName("\x8E\xF3\x90\x4D\x94\xA0.mbx"),
            "\xE5\x8F\x97\xE4\xBF\xA1\xE7\xAE\xB1");
  EXPECT_EQ(MailboxFolderName("\xE5\x8F\x97.mbx"), "\xE5\x8F\x97");
}

TEST(ImapResponse, TokensAndResponseCodes) {
  TokenReader reader(
      "* 3 FETCH (RFC822.SIZE 120 INTERNALDATE \" 5-May-1997 10:11:00 +0900\" "
      "BODY[HEADER.FIELDS (MESSAGE-ID)] {9}\r\nab\"c)\r\n\r\n NIL)");
  std::vector<std::string> seen;
  for (Token token = reader.Next(); token.kind != TokenKind::kEnd; token = reader.Next()) {
    seen.push_back(std::to_string(static_cast<int>(token.kind)) + ":" + token.text);
  }
  std::vector<std::string> expected = {"0:*",
                                       "0:3",
                                       "0:FETCH",
                                       "3:",
                                       "0:RFC822.SIZE",
                                       "0:120",
                                       "0:INTERNALDATE",
                                       "1: 5-May-1997 10:11:00 +0900",
                                       "0:BODY[HEADER.FIELDS (MESSAGE-ID)]",
                                       "1:ab\"c)\r\n\r\n",
                                       "2:",
                                       "4:"};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(TaggedStatus("F12 no [OVERQUOTA] full", "F12"), "NO");
  EXPECT_EQ(TaggedStatus("F123 OK done", "F12"), "");
  std::string code;
  EXPECT_TRUE(ResponseCode("* OK [PERMANENTFLAGS (\\Seen \\*)] Limited", "PERMANENTFLAGS", &code));
  EXPECT_EQ(code, "(\\Seen \\*)");
  EXPECT_FALSE(ResponseCode("* OK [PERMANENTFLAGSX ()]", "PERMANENTFLAGS", &code));
}

TEST(ExistingMessages, KeysDatesAndOneMatchPerServerMessage) {
  MailDate date;
  MessageKey key =
      KeyOfMessage("Message-ID: <a@b>\nDate: Mon, 5 May 1997 10:11:00 +0900\r\n\nbody\n", &date);
  EXPECT_EQ(key.size, 65u);  // 62 bytes, three bare line feeds counted as CRLF
  EXPECT_EQ(KeyOfMessage("a\r\r\nb\rc\r", &date).size, 7u);  // "\r\r\n" is stored as CRLF
  EXPECT_EQ(key.message_id, "<a@b>");
  ASSERT_TRUE(key.dated);
  EXPECT_EQ(FormatInternalDate(date), "05-May-1997 10:11:00 +0900");
  int64_t seconds = 0;
  ASSERT_TRUE(ParseInternalDate(" 5-May-1997 01:11:00 +0000", &seconds));
  EXPECT_EQ(seconds, key.date);
  EXPECT_FALSE(ParseInternalDate("5-Foo-1997 01:11:00 +0000", &seconds));
  EXPECT_FALSE(ParseInternalDate("5-May-1997 2147483647:00:00 +0000", &seconds));  // a server's

  FolderContents folder;
  folder.Add(key);
  MessageKey other_date = key;
  other_date.date += 1;
  EXPECT_FALSE(folder.TakeMatch(other_date));
  EXPECT_TRUE(folder.TakeMatch(key));
  EXPECT_FALSE(folder.TakeMatch(key));  // the same message twice in the store: sent again
  MessageKey undated = key;
  undated.dated = false;
  folder.Add(other_date);
  EXPECT_TRUE(folder.TakeMatch(undated));  // whatever date the server gave it
}

}  // namespace
}  // namespace ferrolt
