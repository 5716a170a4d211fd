#include <iostream>

#include "commands.h"
#include "system/tool_support.h"

int main(int argc, char** argv) {
  return tarnlet::tool::RunTool(tarnlet::tool::ProcessArguments(argc, argv), std::cin, std::cout,
                                std::cerr, tarnlet::tool::ProcessConsole());
}
