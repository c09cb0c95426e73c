#include "platform/command_line.h"

namespace ferrolt {

bool ReadProgramArguments(int argc, char** argv, std::vector<std::string>* arguments,
                          std::string* /*unfit*/) {
  arguments->assign(argv, argv + argc);
  return true;
}

}  // namespace ferrolt
