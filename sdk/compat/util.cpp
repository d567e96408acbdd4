// The conversion and file helpers of earlier releases, forwarding to util/.
#include "compat/util.h"
#include "util/gbk_text.h"

#include "core/tlx_internal.h"
#include "util/convert.h"
#include "util/files.h"

int HexAsc1Split(char* src, int srcLen, char* dst, int dstCap) {
  return tlx::HexAsc1Split(src, srcLen, dst, dstCap);
}

int HexAsc1Merge(char* src, int srcLen, char* dst, int dstCap) {
  return tlx::HexAsc1Merge(src, srcLen, dst, dstCap);
}

int AsciiToHexStr(char* src, int srcLen, char* dst, int dstCap) {
  return tlx::AsciiToHexStr(src, srcLen, dst, dstCap);
}

int HexStrToAscii(char* src, int srcLen, char* dst, int dstCap) {
  return tlx::HexStrToAscii(src, srcLen, dst, dstCap);
}

int HexToBCD(char* src, int srcLen, char* dst, int dstCap) {
  return tlx::HexToBCD(src, srcLen, dst, dstCap);
}

int BCDToHex(char* src, int srcLen, char* dst, int dstCap) {
  return tlx::BCDToHex(src, srcLen, dst, dstCap);
}

char* SplitData(char* src, char* dst, char* pattern) { return tlx::SplitData(src, dst, pattern); }

void GetTmpFile(char* name, char* buf, int size) { tlx::GetTmpFile(name, buf, size); }

void GetFileName(char* path, char* dst) { tlx::GetFileName(path, dst); }

void GetFileExtendName(char* path, char* dst) { tlx::GetFileExtendName(path, dst); }

int ANSIToUTF8(const char* src, int dstBytes, char* dst) {
  return tlx::GbkToUnits(src, dstBytes, dst);
}

bool IsNumberOrCharacter(const char* s) { return tlx::IsLettersAndDigits(s); }

void GetFilesFromDir(std::string dir, std::string, std::vector<std::string>& names) {
  tlx::GetFilesFromDir(dir, names);
}

int SplitString(const std::string& s, std::vector<std::string>& parts, std::string delim) {
  return tlx::SplitString(s, parts, delim);
}

long ReadFileData(char* buf, long cap, char* path, const char* mode) {
  return tlx::ReadFileData(buf, cap, path, mode);
}

long WriteFileData(const unsigned char* data, unsigned long len, char* path, const char* mode) {
  return tlx::WriteFileData(data, len, path, mode);
}

long GetFileSize(char* path) {
  if (path == nullptr) return -1;
  return tlx::FileSizeOf(path, -1);
}

long min(long a, long b) { return a < b ? a : b; }

void SecureWipe(void* p, unsigned long n) { tlx::SecureWipe(p, n); }
