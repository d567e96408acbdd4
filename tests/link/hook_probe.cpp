// Linked against the library so that a test can see what its load and
// unload hooks print; the call keeps the linker from dropping the library.
#include "tlxdev.h"

int main() {
  SetDebugFlag(0);
  return 0;
}
