// SPDX-License-Identifier: MIT
// The test web server as a program: prints its port, then serves until standard input ends.
//   trevanto_link_server_program [DELAY_MS [SLOW_MS]]
#include <iostream>
#include <string>

#include "support/link_server.h"

int main(int argc, char** argv) {
  const long delay = argc > 1 ? std::stol(argv[1]) : 0;
  const long slow = argc > 2 ? std::stol(argv[2]) : 2000;
  trevanto::test::LinkServer server{std::chrono::milliseconds(delay), std::chrono::milliseconds(slow)};
  std::cout << server.port() << std::endl;
  std::string ignored;
  while (std::getline(std::cin, ignored)) {
  }
  return 0;
}
