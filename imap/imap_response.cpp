#include "imap/imap_response.h"

#include <algorithm>

namespace ferrolt {
namespace {

// The size of the literal a line announces at its end ("{123}"); false when it announces none.
// A size past the limit is given as just past it: the response is then refused whole.
bool AnnouncedLiteral(std::string_view line, size_t* size) {
  if (line.size() < 3 || line.back() != '}') return false;
  size_t open = line.rfind('{');
  if (open == std::string_view::npos || open + 2 > line.size() - 1) return false;
  uint64_t value = 0;
  for (char c : line.substr(open + 1, line.size() - open - 2)) {
    if (c < '0' || c > '9') return false;
    value =
        std::min<uint64_t>(value * 10 + static_cast<uint64_t>(c - '0'), kMaxResponseLiterals + 1);
  }
  *size = static_cast<size_t>(value);
  return true;
}

bool IsAtomEnd(char c) { return c == ' ' || c == '(' || c == ')' || c == '\r' || c == '\n'; }

}  // namespace

bool ReadResponse(Channel* channel, std::string* response, ImapFailure* failure) {
  response->clear();
  size_t literal_bytes = 0;
  std::string line;
  for (;;) {
    if (!channel->ReadLine(&line, kMaxResponseLine, failure)) return false;
    *response += line;
    size_t size;
    if (!AnnouncedLiteral(line, &size)) return true;
    literal_bytes += size;
    if (literal_bytes > kMaxResponseLiterals || response->size() > kMaxResponseLine) {
      failure->kind = ImapFailureKind::kBadResponse;
      failure->detail = "a response longer than 1 MB";
      return false;
    }
    *response += "\r\n";
    if (!channel->ReadBytes(size, response, failure)) return false;
  }
}

Token TokenReader::Next() {
  while (at_ < text_.size() && text_[at_] == ' ') ++at_;
  if (at_ >= text_.size()) return Token{};
  char c = text_[at_];
  if (c == '(' || c == ')') {
    ++at_;
    return Token{c == '(' ? TokenKind::kOpen : TokenKind::kClose, {}};
  }
  if (c == '"') return Quoted();
  if (c == '{') return Literal();
  size_t start = at_;
  int depth = 0;
  while (at_ < text_.size() && (depth > 0 || !IsAtomEnd(text_[at_]))) {
    if (text_[at_] == '[') ++depth;
    if (text_[at_] == ']' && depth > 0) --depth;
    ++at_;
  }
  std::string atom(text_.substr(start, at_ - start));
  if (atom == "NIL" || atom == "nil") return Token{TokenKind::kNil, {}};
  return Token{TokenKind::kAtom, atom};
}

Token TokenReader::Quoted() {
  std::string value;
  for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
    if (text_[at_] == '\\' && at_ + 1 < text_.size()) ++at_;
    value += text_[at_];
  }
  ++at_;
  return Token{TokenKind::kString, value};
}

Token TokenReader::Literal() {
  size_t close = text_.find('}', at_);
  size_t size = 0;
  for (size_t i = at_ + 1; close != std::string_view::npos && i < close; ++i) {
    size = size * 10 + static_cast<size_t>(text_[i] - '0');
  }
  size_t start = close == std::string_view::npos ? text_.size() : close + 3;  // past "}\r\n"
  if (start > text_.size()) start = text_.size();
  size = std::min(size, text_.size() - start);
  at_ = start + size;
  return Token{TokenKind::kString, std::string(text_.substr(start, size))};
}

std::string TaggedStatus(std::string_view response, std::string_view tag) {
  if (response.size() <= tag.size() || response.substr(0, tag.size()) != tag ||
      response[tag.size()] != ' ') {
    return "";
  }
  TokenReader reader(response.substr(tag.size()));
  Token status = reader.Next();
  std::string word = status.text;
  for (char& c : word) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return word == "OK" || word == "NO" || word == "BAD" ? word : "BAD";
}

bool ResponseCode(std::string_view response, std::string_view name, std::string* contents) {
  size_t open = response.find('[');
  if (open == std::string_view::npos) return false;
  size_t close = response.find(']', open);
  if (close == std::string_view::npos) return false;
  std::string_view code = response.substr(open + 1, close - open - 1);
  if (code.substr(0, name.size()) != name) return false;
  if (code.size() > name.size() && code[name.size()] != ' ') return false;
  *contents = std::string(code.substr(std::min(code.size(), name.size() + 1)));
  return true;
}

}  // namespace ferrolt
