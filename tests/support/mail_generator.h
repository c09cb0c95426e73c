#pragma once

// Generated Japanese mail for the converter's tests, the benchmarks and the fuzz seeds, and the
// base64 of encoded words, which the sample store's tool uses too. It lives outside kanji/ because
// the program never generates mail.

#include <cstdint>
#include <string>

namespace ferrolt::kanji {

enum class MailCode { kIso2022Jp, kEucJp, kShiftJis };

// Sizes of a generated mail, in characters.
struct MailShape {
  int body_chars = 200;
  int kana_only_percent = 10;  // mails whose Japanese is half-width kana only
  int switch_one_in = 6;       // chance per character of switching ASCII <-> Japanese
  // Japanese only from kanji whose EUC-JP bytes all lie in 0xA1..0xDF, so that EUC-JP mail reads
  // as Shift_JIS half-width kana too: the one case the preference decides.
  bool kana_lookalike_kanji = false;
};

// A reproducible mail in `code`: a header whose Subject holds plain text and encoded words
// (base64, in the mail's own code, each of whole characters), then a body of ASCII, JIS X 0208
// characters of rows 1-8, 13 and 16-84, half-width kana and mixed line ends. It holds
// at least one non-ASCII character and never a "=" outside its encoded words.
std::string GenerateMail(uint32_t seed, MailCode code, const MailShape& shape);

// The base64 of `bytes`, padded, as in an encoded word.
std::string Base64(const std::string& bytes);

}  // namespace ferrolt::kanji
