// GBK <-> Unicode tables of the GB 18030 two-byte area (generated data).
#ifndef TLX_GBK_TABLES_H
#define TLX_GBK_TABLES_H

#include "tlx_export.h"

extern TLX_EXPORT const unsigned short gbk_first_code;      // 0x8140
extern TLX_EXPORT const unsigned short gbk_last_code;       // 0xFE9F
extern TLX_EXPORT const unsigned short unicode_buf_size;    // 32096
extern TLX_EXPORT const unsigned short unicodeTables[];     // code 0x8140+k -> code point
extern TLX_EXPORT const unsigned short unicode_first_code;  // 0x4E00
extern TLX_EXPORT const unsigned short unicode_last_code;   // 0x9FA5
extern TLX_EXPORT const unsigned short gbk_buf_size;        // 20902
extern TLX_EXPORT const unsigned short gbkTables[];         // U+4E00+k -> two-byte code

#endif
