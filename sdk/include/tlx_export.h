/* Symbol visibility for libtlxdev: everything is hidden by default and only
 * what is marked TLX_EXPORT appears in the dynamic symbol table. */
#ifndef TLX_EXPORT_H
#define TLX_EXPORT_H

#if defined(__GNUC__)
#define TLX_EXPORT __attribute__((visibility("default")))
#else
#define TLX_EXPORT
#endif

#endif
