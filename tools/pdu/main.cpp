#include <iostream>
#include <string>
#include <vector>

#include "tools/pdu/pdu_commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return kvpdu::RunPdu(args, std::cin, std::cout, std::cerr);
}
