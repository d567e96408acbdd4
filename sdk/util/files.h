// File helpers: sizes and whole-file reads and writes, file names, and the
// private files the library writes for its caller.
#ifndef TLX_UTIL_FILES_H
#define TLX_UTIL_FILES_H

#include <string>
#include <vector>

struct statx;

namespace tlx {

// Size of the file at path (fd ignored), or of the open descriptor fd when
// path is null; -1 when it cannot be had.
long FileSizeOf(const char* path, int fd);
// The basic facts (type and mode, owner, links, device, inode, size) of an
// open descriptor; false when they cannot be had.
bool StatusOf(int fd, struct statx* out);
// Reads the whole file into buf when it is not empty and fits in cap bytes;
// otherwise reads nothing and gives 0.
long ReadFileData(char* buf, long cap, const char* path, const char* mode);
// Writes len bytes; gives the count written.
long WriteFileData(const unsigned char* data, unsigned long len, const char* path,
                   const char* mode);
// Appends the names of the regular files of dir, in listing order; no
// recursion, names is not cleared.
void GetFilesFromDir(const std::string& dir, std::vector<std::string>& names);

// Copies into dst the text of src before pattern (all of src when pattern
// is not found) and gives the place of pattern in src (src when not found).
char* SplitData(char* src, char* dst, const char* pattern);
// "/tmp/<name>" into buf (size bytes).
void GetTmpFile(const char* name, char* buf, int size);
// The characters after the last '/' of path, into dst.
void GetFileName(const char* path, char* dst);
// The characters after the last '.' of path, into dst.
void GetFileExtendName(const char* path, char* dst);

// Opens path for appending, never through a symlink: a new file is
// created with mode 0600; an existing one is used only when it is a regular
// file of this user's with no other link that no one else may read or
// write. The descriptor, or -1.
int OpenPrivateAppend(const char* path);
// Creates a new file of mode 0600 beside target (same folder, a hidden name
// made unique), its name into tmpPath (tmpCap bytes). The descriptor, or -1.
int CreatePrivateBeside(const char* target, char* tmpPath, int tmpCap);

}  // namespace tlx

#endif
