// The workers behind the media and signature commands, for the TLX_
// functions and the legacy exports in compat/. Arguments are checked by
// the callers unless a worker says otherwise.
#ifndef TLX_COMMANDS_WORKERS_H
#define TLX_COMMANDS_WORKERS_H

#include "core/tlx_internal.h"

namespace tlx {

// Downloads the file at path (which exists) under its destination name;
// media type 4 then starts the upgrade.
int DownloadMedia(const Link& link, int mediaType, const char* path);
// Deletes the file name (1..TLX_MAX_FILE_NAME bytes) of a media type.
int DeleteMedia(const Link& link, int mediaType, const char* name);
// The query and the list check their own arguments (a TLX_ command refuses
// some of them only after its flush); command (may be null) is finished
// before the outputs are written. info may be null.
int QueryMediaFile(Command* command, const Link& link, int mediaType, const char* name, char* info);
int ListMediaFiles(Command* command, const Link& link, int mediaType, char* list, int listSize);

// The signing exchange for document kind 1 (html), 2 (jpg) or 3 (pdf).
int StartSignature(const Link& link, int timeout, int kind);
// Checks its arguments (timeout 1..999, no path null or empty, a document
// of a known kind that exists), downloads the document, runs the signing
// and pulls the image and trajectory; always over USB.
int SignDocument(const Link& link, int timeout, const char* document, const char* imagePath,
                 const char* dataPath);

}  // namespace tlx

#endif
