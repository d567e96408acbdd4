/* Symbol visibility for libtlxdev: everything is hidden by default and only
 * what is marked TLX_EXPORT appears in the dynamic symbol table. The macro
 * is defined in tlxdev.h; this header stays for programs that include it by
 * its own name. */
#ifndef TLX_EXPORT_H
#define TLX_EXPORT_H

#include "tlxdev.h"

#endif
