// File transfer exports of earlier releases: serial block downloads, HID
// packet downloads and pulls (forwarders in compat/transfer.cpp).
#ifndef TLX_TRANSFER_H
#define TLX_TRANSFER_H

#include "tlx_export.h"

TLX_EXPORT int DownLoadFile(int port, char bp, int baud, int mediaType, char* path, char* destName);
TLX_EXPORT int DownLoadData(int port, char bp, int baud, int mediaType, char* data, int len,
                            char* destName);
TLX_EXPORT int PullFile(int port, char bp, int baud, int timeoutMs, int cmdLen, char* cmd,
                        char* localPath);
TLX_EXPORT int DownFile(int mediaType, int totalBlocks, int blockNo, char* data, int len,
                        char* destName);
TLX_EXPORT int GetDownParam(int total, int remaining, unsigned char* data, int len,
                            unsigned char* out);

#endif
