// The lightest C++ process that prints a line: the start-up that quorix-cli
// is measured against, linked the same way (dynamic and -static).
#include <iostream>

int main() {
  std::cout << "hello\n";
  return 0;
}
