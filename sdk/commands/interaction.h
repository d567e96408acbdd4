// Workers of the signature flow, exported under their own names.
#ifndef TLX_COMMANDS_INTERACTION_H
#define TLX_COMMANDS_INTERACTION_H

#include "tlx_export.h"

// Downloads the document, runs the signing exchange and pulls the image and
// trajectory into imagePath and dataPath; always over the USB HID link.
TLX_EXPORT int StartHandSign(int port, char bp, int baud, int timeout, char* document,
                             char* imagePath, char* dataPath);
// The signing exchange for document kind 1 (html), 2 (jpg) or 3 (pdf).
TLX_EXPORT int StartSign(int port, char bp, int baud, int timeout, int kind);

#endif
