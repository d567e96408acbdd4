// Wiping key and PIN material: explicit_bzero cannot be optimised away.
#include <string.h>

#include "util/util.h"

void SecureWipe(void* p, unsigned long n) {
  if (p == nullptr || n == 0) return;
  explicit_bzero(p, n);
}
