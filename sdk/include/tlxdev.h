/*
 * tlxdev.h - host library for the TLX counter terminal.
 *
 * Every TLX_ function starts with the link parameters:
 *   port  0 = USB HID, n >= 1 = serial port n (/dev/ttyS(n-1), or the pattern
 *         given in the environment variable TLX_SERIAL_PATH, e.g.
 *         "/dev/ttyUSB%d"; exactly one %d and no other conversion);
 *   bp    BP channel letter 'A', 'B', 'C' or 'K' on a port-sharing unit,
 *         any other value for none ('9' also suppresses the channel reset);
 *   baud  300..115200 (unknown rates give 9600); ignored on HID.
 *
 * Results: 0 success, or
 *   -1 bad argument (nothing sent)      -2 no complete reply in time
 *   -3 port cannot be opened / busy     -4 command not written in full
 *   -5 read failed                      -6 file to download missing
 *   -7 unexpected or refused reply      -8 file shorter than announced
 *   -9 read cancelled                  -10 caller's buffer too small
 *
 * Caller timeouts are in seconds. Output buffers belong to the caller; the
 * library never keeps a pointer past the call. Unless a size argument is
 * given, each output buffer must have the size stated with its function;
 * pass zero-filled buffers, since several outputs are not terminated.
 */
#ifndef TLXDEV_H
#define TLXDEV_H

#include "tlx_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Device control ---------------------------------------------------- */

/* Sends the global configuration pair (first 1..5, second 1..2). */
TLX_EXPORT int TLX_SetGlobalConfig(int port, char bp, int baud, int first, int second);

/* Puts the terminal into its production check mode. */
TLX_EXPORT int TLX_StartPQC(int port, char bp, int baud);

/* Application version text of the terminal. version: TLX_VERSION_SIZE bytes. */
TLX_EXPORT int TLX_GetVer(int port, char bp, int baud, char* version);

/* Result of the last firmware update; detail is written only when the result
 * is "Fail". result, detail: TLX_UPDATE_TEXT_SIZE bytes each. */
TLX_EXPORT int TLX_GetUpdateStatus(int port, char bp, int baud, char* result, char* detail);

/* kind 1 system volume (level 0..5), 2 key tone (0..15), 3 multimedia (0..15). */
TLX_EXPORT int TLX_SetVolume(int port, char bp, int baud, int kind, int level);

/* Restarts the terminal. */
TLX_EXPORT int TLX_RestartSys(int port, char bp, int baud);

/* Online check; model receives "R40" or "k60" (4 bytes with NUL; may be null). */
TLX_EXPORT int TLX_CheckOnline(int port, char bp, int baud, char* model);

/* Ends a command waiting in another thread with -9; -7 when none runs.
 * The link parameters are ignored. */
TLX_EXPORT int TLX_CancelRead(int port, char bp, int baud);

/* Shows (1) or hides (0) the display of module 1..4. */
TLX_EXPORT int TLX_SetShowDISP(int port, char bp, int baud, int module, int show);

/* ---- PIN pad ----------------------------------------------------------- */

TLX_EXPORT int TLX_SetPinLen(int port, char bp, int baud, int length);
TLX_EXPORT int TLX_UpdateMKey(int port, char bp, int baud, int mkIndex, char* key1, char* key2);
TLX_EXPORT int TLX_ResetKey(int port, char bp, int baud);
TLX_EXPORT int TLX_DownLoadWKey(int port, char bp, int baud, int mkIndex, int wkIndex, char* wkey);
TLX_EXPORT int TLX_ActiveWKey(int port, char bp, int baud, int mkIndex, int wkIndex);
TLX_EXPORT int TLX_ReadPin(int port, char bp, int baud, int mode, int prompt, int timeout,
                           char* pin, int pinSize);
TLX_EXPORT int TLX_ReadPinDES(int port, char bp, int baud, int prompt, int option, int timeout,
                              char* pinBlock);
TLX_EXPORT int TLX_ReadPinAnsi(int port, char bp, int baud, int prompt, int option, int timeout,
                               char* account, char* pinBlock);

/* ---- Customer interaction ---------------------------------------------- */

TLX_EXPORT int TLX_StartInfo(int port, char bp, int baud, int timeout, char* info, int* result);
TLX_EXPORT int TLX_StartEvaluator(int port, char bp, int baud, char* tellerName, char* tellerNo,
                                  int stars, char* photo, int timeout, int* result);
TLX_EXPORT int TLX_StartKeyboard(int port, char bp, int baud, int timeout, int mode, char* input);
TLX_EXPORT int TLX_StartSign(int port, char bp, int baud, int timeout, char* document,
                             char* imagePath, char* dataPath);

/* ---- Media files -------------------------------------------------------- */

TLX_EXPORT int TLX_DownLoadFile(int port, char bp, int baud, int mediaType, char* path);
TLX_EXPORT int TLX_DeleteFile(int port, char bp, int baud, int mediaType, char* name);
TLX_EXPORT int TLX_FindFileInfo(int port, char bp, int baud, int mediaType, char* name, char* info);
TLX_EXPORT int TLX_GetFileList(int port, char bp, int baud, int mediaType, char* list, int listSize);

/* ---- Trace file for applications -----------------------------------------
 * Lines go to "debug.ini" in the working directory: a 13-digit local time
 * stamp (MMDDhhmmssmmm), two spaces, the text, CR LF. */

/* Stores the trace flag. */
TLX_EXPORT void SetDebugFlag(int flag);
/* Stores the trace path (cut to 259 characters). */
TLX_EXPORT void SetDebugPath(const char* path);
/* Appends one printf-formatted line (cut to 4095 characters). */
TLX_EXPORT void ICC_DPrintLogToFile(char* fmt, ...);
/* Appends one hex dump line of len bytes; title may be null. */
TLX_EXPORT void ICC_DPrintDataHexToFile(const char* title, const char* data, int len);

#ifdef __cplusplus
}
#endif

#endif /* TLXDEV_H */
