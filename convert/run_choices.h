#ifndef FERROLT_CONVERT_RUN_CHOICES_H_
#define FERROLT_CONVERT_RUN_CHOICES_H_

namespace ferrolt {

// What the user chose for a run: the front end fills it once, before the run starts, and the run
// hands it down unchanged. Only the converter's edge turns prefer_euc into its option letters.
struct RunChoices {
  bool include_deleted = false;  // deleted messages are handed on too, and counted apart
  // Text that reads both as EUC-JP and as Shift_JIS half-width kana is taken for EUC-JP.
  bool prefer_euc = false;
  bool salvage = false;  // damaged mailboxes are read as far as they hold
};

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_RUN_CHOICES_H_
