// SecureWipe of earlier releases.
#include "core/tlx_internal.h"
#include "util/util.h"

void SecureWipe(void* p, unsigned long n) { tlx::SecureWipe(p, n); }
