#include "platform/interrupt.h"

namespace ferrolt {

ConsoleEventHandling HandlingOfConsoleEvent(unsigned long event) {
  switch (event) {
    case kConsoleCtrlC:
      return {true, false, kCtrlCNumber};
    case kConsoleCtrlBreak:
      return {true, false, kCtrlBreakNumber};
    case kConsoleClosed:
      return {true, true, kConsoleClosedNumber};
    case kConsoleLogoff:
    case kConsoleShutdown:
      return {true, true, kSessionEndNumber};
    default:
      return {};
  }
}

}  // namespace ferrolt
