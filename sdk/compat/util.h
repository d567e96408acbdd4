// Data conversion and file helpers of earlier releases (forwarders in
// compat/util.cpp). No function writes a terminator unless its description
// says so; callers hand in zero-filled buffers.
#ifndef TLX_UTIL_H
#define TLX_UTIL_H

#include <string>
#include <vector>

#include "tlx_export.h"

// Bytes -> HexAsc1 form (two characters 0x30+nibble per byte). All or nothing.
TLX_EXPORT int HexAsc1Split(char* src, int srcLen, char* dst, int dstCap);
// HexAsc1 form -> bytes.
TLX_EXPORT int HexAsc1Merge(char* src, int srcLen, char* dst, int dstCap);
// Bytes -> upper-case hex text.
TLX_EXPORT int AsciiToHexStr(char* src, int srcLen, char* dst, int dstCap);
// Hex text (either case) -> bytes.
TLX_EXPORT int HexStrToAscii(char* src, int srcLen, char* dst, int dstCap);
// HexAsc1 form -> hex text.
TLX_EXPORT int HexToBCD(char* src, int srcLen, char* dst, int dstCap);
// Hex text -> HexAsc1 form.
TLX_EXPORT int BCDToHex(char* src, int srcLen, char* dst, int dstCap);

TLX_EXPORT char* SplitData(char* src, char* dst, char* pattern);
TLX_EXPORT void GetTmpFile(char* name, char* buf, int size);
TLX_EXPORT void GetFileName(char* path, char* dst);
TLX_EXPORT void GetFileExtendName(char* path, char* dst);
TLX_EXPORT int ANSIToUTF8(const char* src, int dstBytes, char* dst);
TLX_EXPORT bool IsNumberOrCharacter(const char* s);
TLX_EXPORT void GetFilesFromDir(std::string dir, std::string unused,
                                std::vector<std::string>& names);
TLX_EXPORT int SplitString(const std::string& s, std::vector<std::string>& parts,
                           std::string delim);
TLX_EXPORT long ReadFileData(char* buf, long cap, char* path, const char* mode);
TLX_EXPORT long WriteFileData(const unsigned char* data, unsigned long len, char* path,
                              const char* mode);
TLX_EXPORT long GetFileSize(char* path);
TLX_EXPORT long min(long a, long b);

// Overwrites n bytes in a way the compiler cannot drop; for key and PIN
// material held in the library's own buffers.
TLX_EXPORT void SecureWipe(void* p, unsigned long n);

#endif
