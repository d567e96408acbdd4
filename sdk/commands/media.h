// Workers of the media file commands, exported under their own names. They
// do not flush the port; the TLX_ functions do that before calling them.
#ifndef TLX_COMMANDS_MEDIA_H
#define TLX_COMMANDS_MEDIA_H

#include "tlx_export.h"

// Downloads path; media type 4 then starts the upgrade.
TLX_EXPORT int DownMediaFile(int port, char bp, int baud, int mediaType, char* path);
TLX_EXPORT int DeleteMediaFile(int port, char bp, int baud, int mediaType, char* name);
// info (may be null) receives the text of the reply, TLX_FILE_INFO_SIZE bytes.
TLX_EXPORT int FindMediaFileInfo(int port, char bp, int baud, int mediaType, char* name,
                                 char* info);
TLX_EXPORT int GetMediaFileList(int port, char bp, int baud, int mediaType, char* list,
                                int listSize);

#endif
