#include "platform/interrupt.h"

#include <gtest/gtest.h>

#include <string>

namespace ferrolt {
namespace {

// Windows does not deliver a closed console, a log-off or a shutdown to a program under test,
// so the handler's decision for each event is held here: which it takes, after which it waits for
// the program's own end, and the number the exit status is made of (128 + it).
TEST(ConsoleEventHandlingTest, EveryConsoleEventStopsAndThoseThatEndTheProcessWait) {
  struct Case {
    unsigned long event;
    std::string expected;  // taken, waits, number
  };
  const Case kCases[] = {
      {0, "taken, returns, 2"},   // Ctrl+C: 130, as SIGINT
      {1, "taken, returns, 21"},  // Ctrl+Break: 149, as SIGBREAK
      {2, "taken, waits, 1"},     // console closed: 129, as a hang-up
      {5, "taken, waits, 15"},    // log-off: 143, as SIGTERM
      {6, "taken, waits, 15"},    // shutdown: 143
      {3, "left"},                // numbers Windows does not send to console handlers
      {4, "left"},
      {7, "left"},
      {0xFFFFFFFFul, "left"},
  };
  for (const Case& c : kCases) {
    const ConsoleEventHandling handling = HandlingOfConsoleEvent(c.event);
    const std::string seen = !handling.handled ? "left"
                                               : std::string("taken, ") +
                                                     (handling.waits ? "waits, " : "returns, ") +
                                                     std::to_string(handling.request_number);
    EXPECT_EQ(seen, c.expected) << "console event " << c.event;
  }
  EXPECT_LT(kConsoleEndWaitMs, 5000u) << "Windows ends a console program after five seconds";
}

}  // namespace
}  // namespace ferrolt
