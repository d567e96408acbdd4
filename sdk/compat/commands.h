// Workers of the media file commands and of the signature flow, exported
// under their own names by earlier releases (forwarders in
// compat/commands.cpp). They do not flush the port; the TLX_ functions do
// that before calling them.
#ifndef TLX_COMPAT_COMMANDS_H
#define TLX_COMPAT_COMMANDS_H

#include "tlx_export.h"

// Downloads path; media type 4 then starts the upgrade.
TLX_EXPORT int DownMediaFile(int port, char bp, int baud, int mediaType, char* path);
TLX_EXPORT int DeleteMediaFile(int port, char bp, int baud, int mediaType, char* name);
// info (may be null) receives the text of the reply, TLX_FILE_INFO_SIZE bytes.
TLX_EXPORT int FindMediaFileInfo(int port, char bp, int baud, int mediaType, char* name,
                                 char* info);
TLX_EXPORT int GetMediaFileList(int port, char bp, int baud, int mediaType, char* list,
                                int listSize);

// Downloads the document, runs the signing exchange and pulls the image and
// trajectory into imagePath and dataPath; always over the USB HID link.
TLX_EXPORT int StartHandSign(int port, char bp, int baud, int timeout, char* document,
                             char* imagePath, char* dataPath);
// The signing exchange for document kind 1 (html), 2 (jpg) or 3 (pdf).
TLX_EXPORT int StartSign(int port, char bp, int baud, int timeout, int kind);

#endif
