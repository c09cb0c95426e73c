#include <cstdint>

#include "kanji/jis.h"

namespace ferrolt::kanji {
namespace {

struct Latin1Symbol {
  uint8_t latin1;
  uint16_t sjis;
};

// The ISO-8859-1 symbols whose shape JIS X 0208 has; letters with accents it has not.
constexpr Latin1Symbol kSymbols[] = {
    {0xA2, 0x8191}, {0xA3, 0x8192}, {0xA7, 0x8198}, {0xA8, 0x814E}, {0xAC, 0x81CA}, {0xB0, 0x818B},
    {0xB1, 0x817D}, {0xB4, 0x814C}, {0xB6, 0x81F7}, {0xD7, 0x817E}, {0xF7, 0x8180},
};

}  // namespace

void PutLatin1(Output* out, uint8_t code) {
  for (const Latin1Symbol& symbol : kSymbols) {
    if (symbol.latin1 == code) {
      PutPair(out, static_cast<uint8_t>(symbol.sjis >> 8), static_cast<uint8_t>(symbol.sjis));
      return;
    }
  }
  PutGeta(out);
}

}  // namespace ferrolt::kanji
