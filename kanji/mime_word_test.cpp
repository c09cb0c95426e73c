#include "kanji/mime_word.h"

#include <gtest/gtest.h>

#include <string>

namespace kanji {
namespace {

bool Parse(const std::string& text, EncodedWord& word) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(text.data());
  return ParseEncodedWord(p, p + text.size(), word);
}

TEST(MimeWordTest, DecodesBase64AndQuotedPrintableInAnyCase) {
  EncodedWord word;
  ASSERT_TRUE(Parse("=?ISO-2022-JP?B?GyRCJCIbKEI=?= tail", word));
  EXPECT_EQ(word.bytes, "\x1b$B$\"\x1b(B");
  EXPECT_EQ(word.charset, Charset::kIso2022Jp);
  EXPECT_EQ(word.end - word.begin, 30);
  ASSERT_TRUE(Parse("=?shift_jis?q?a_b=82=a0=3D?=", word));
  EXPECT_EQ(word.bytes, "a b\x82\xa0=");
  EXPECT_EQ(word.charset, Charset::kShiftJis);
  ASSERT_TRUE(Parse("=?Euc-Jp?b?pKI?=", word));  // padding left out
  EXPECT_EQ(word.bytes, "\xa4\xa2");
  ASSERT_TRUE(Parse("=?us-ascii*en?Q?\?=", word));  // a language tag; empty text
  EXPECT_EQ(word.bytes, "");
  EXPECT_EQ(word.charset, Charset::kUsAscii);
  ASSERT_TRUE(Parse("=?iso-8859-1?B?6Q==?=", word));
  EXPECT_EQ(word.bytes, "\xe9");
  EXPECT_EQ(word.charset, Charset::kIso8859_1);
}

TEST(MimeWordTest, RefusesMalformedWordsAndUnknownCharsets) {
  EncodedWord word;
  for (const char* bad : {
           "=?UTF-8?B?YQ==?=",            // a charset we do not convert
           "=?ISO-2022-JP?X?YQ==?=",      // no such encoding
           "=?ISO-2022-JP?B?Y?=",         // a lone sixth of a byte
           "=?ISO-2022-JP?B?YQ=?=",       // padding that does not complete a group
           "=?ISO-2022-JP?B?YQ==YQ==?=",  // text after the padding
           "=?ISO-2022-JP?B?Y!Q=?=",      // not base64
           "=?ISO-2022-JP?Q?a=4?=",       // a cut escape
           "=?ISO-2022-JP?Q?a=G0?=",      // not hex
           "=?ISO-2022-JP?Q?a b?=",       // space inside
           "=?ISO-2022-JP?B?YQ==?",       // unterminated
           "=?ISO-2022-JP?B?YQ==\n?=",    // across a line end
           "=??B?YQ==?=",                 // no charset
           "=?ISO-2022-JP?BQ?YQ==?=",
           "=?ISO-2022-JP",
       }) {
    EXPECT_FALSE(Parse(bad, word)) << bad;
  }
}

}  // namespace
}  // namespace kanji
