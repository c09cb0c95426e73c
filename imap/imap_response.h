#ifndef FERROLT_IMAP_IMAP_RESPONSE_H_
#define FERROLT_IMAP_IMAP_RESPONSE_H_

// Reading the server's responses: one response is a line plus the literals it announces, kept
// as they came ("{5}\r\nhello" stays in the text), and a tokenizer over that text.

#include <cstdint>
#include <string>
#include <string_view>

#include "imap/channel.h"

namespace ferrolt {

// Limits that keep a hostile or broken server from making us hold its output.
constexpr size_t kMaxResponseLine = 1 << 20;
constexpr size_t kMaxResponseLiterals = 1 << 20;
// Untagged responses one command may bring, beyond those it asks for (a FETCH's, one a message).
constexpr size_t kMaxUntaggedResponses = 100000;

// One response; false with *failure set (kConnection) when it could not be read whole.
bool ReadResponse(Channel* channel, std::string* response, ImapFailure* failure);

enum class TokenKind { kAtom, kString, kNil, kOpen, kClose, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;  // an atom's or a string's value
};

// Atoms run to a space or a parenthesis, except inside [...]: "BODY[HEADER.FIELDS (X)]" is one.
class TokenReader {
 public:
  explicit TokenReader(std::string_view text) : text_(text) {}
  Token Next();
  // The text from the current position on (after "tag OK ", the human text).
  std::string_view Rest() const { return text_.substr(at_); }

 private:
  Token Quoted();
  Token Literal();
  std::string_view text_;
  size_t at_ = 0;
};

// "OK", "NO", "BAD" of a tagged response "tag WORD ...", or "" when `response` is not tagged
// with `tag`.
std::string TaggedStatus(std::string_view response, std::string_view tag);

// The contents of the response code "[NAME ...]" when `response` carries one named NAME.
bool ResponseCode(std::string_view response, std::string_view name, std::string* contents);

}  // namespace ferrolt

#endif  // FERROLT_IMAP_IMAP_RESPONSE_H_
