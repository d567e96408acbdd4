// Former place of the legacy session header; programs of this tree that
// still include it get the one in compat/.
#include "compat/session.h"
