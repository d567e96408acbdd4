// The media and signature workers of earlier releases, forwarding to the
// command families with the argument checks they always had.
#include "compat/commands.h"

#include <unistd.h>

#include <cstring>

#include "commands/workers.h"

using tlx::Link;

namespace {

bool NonEmpty(const char* s) { return s != nullptr && s[0] != '\0'; }

}  // namespace

int DownMediaFile(int port, char bp, int baud, int mediaType, char* path) {
  if (!NonEmpty(path)) return TLX_ERR_ARG;
  if (access(path, F_OK) != 0) return TLX_ERR_NOFILE;
  return tlx::DownloadMedia(Link{port, bp, baud}, mediaType, path);
}

int DeleteMediaFile(int port, char bp, int baud, int mediaType, char* name) {
  if (!NonEmpty(name) || strnlen(name, TLX_MAX_FILE_NAME + 1) > TLX_MAX_FILE_NAME)
    return TLX_ERR_ARG;
  return tlx::DeleteMedia(Link{port, bp, baud}, mediaType, name);
}

int FindMediaFileInfo(int port, char bp, int baud, int mediaType, char* name, char* info) {
  return tlx::QueryMediaFile(nullptr, Link{port, bp, baud}, mediaType, name, info);
}

int GetMediaFileList(int port, char bp, int baud, int mediaType, char* list, int listSize) {
  return tlx::ListMediaFiles(nullptr, Link{port, bp, baud}, mediaType, list, listSize);
}

int StartHandSign(int port, char bp, int baud, int timeout, char* document, char* imagePath,
                  char* dataPath) {
  return tlx::SignDocument(Link{port, bp, baud}, timeout, document, imagePath, dataPath);
}

int StartSign(int port, char bp, int baud, int timeout, int kind) {
  return tlx::StartSignature(Link{port, bp, baud}, timeout, kind);
}
