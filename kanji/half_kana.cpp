#include <cstdint>

#include "kanji/jis.h"

namespace ferrolt::kanji {
namespace {

// Full-width Shift_JIS forms of the half-width kana 0xA1..0xDF, in code order.
constexpr uint16_t kFullWidth[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
    0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A,
    0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360,
    0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374,
    0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B};

constexpr uint8_t kVoicedMark = 0xDE;
constexpr uint8_t kSemiVoicedMark = 0xDF;
constexpr uint8_t kHalfU = 0xB3;
constexpr uint16_t kFullVu = 0x8394;

uint16_t FullWidth(uint8_t code) { return kFullWidth[code - 0xA1]; }

// The kana of the K, S, T rows (ka..to) and the H row (ha..ho) have their voiced form right
// after them in Shift_JIS, and the H row its semi-voiced form one further; u takes vu.
uint16_t CombineSoundMark(uint8_t base, uint8_t mark) {
  bool h_row = base >= 0xCA && base <= 0xCE;
  if (mark == kVoicedMark) {
    if ((base >= 0xB6 && base <= 0xC4) || h_row) return FullWidth(base) + 1;
    if (base == kHalfU) return kFullVu;
  } else if (h_row) {
    return FullWidth(base) + 2;
  }
  return 0;
}

}  // namespace

void PutHalfKana(Output* out, uint8_t code) {
  if (out->keep_half_kana) {
    PutByte(out, code);
    return;
  }
  if ((code == kVoicedMark || code == kSemiVoicedMark) && out->last_kana != 0) {
    uint16_t combined = CombineSoundMark(out->last_kana, code);
    if (combined != 0) {
      out->data[out->size - 2] = static_cast<uint8_t>(combined >> 8);
      out->data[out->size - 1] = static_cast<uint8_t>(combined);
      out->last_kana = 0;
      return;
    }
  }
  uint16_t full = FullWidth(code);
  PutPair(out, static_cast<uint8_t>(full >> 8), static_cast<uint8_t>(full));
  if (!out->full) out->last_kana = code;
}

}  // namespace ferrolt::kanji
