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
 * Results: TLX_OK (0) on success, else one of the negative TLX_ERR_ codes
 * below; TLX_StrError gives a short text for each.
 *
 * Caller timeouts are in seconds. Every time limit, the library's own and
 * the caller's, is counted in whole seconds of the monotonic clock: a limit
 * of T ms ends once more than T/1000 whole seconds have passed, so a 1000 ms
 * limit ends after 1 to 2 s and a caller's 30 s (plus the 2 s margin of the
 * interaction answers) after 32 to 33 s.
 *
 * Output buffers belong to the caller; the library never keeps a pointer
 * past the call. Unless a size argument is given, each output buffer must
 * have the size stated with its function; pass zero-filled buffers, since
 * several outputs are not terminated.
 * Nothing is written past those sizes: a longer value gives -10 and leaves
 * the buffer untouched. Outputs are written only on success.
 *
 * Only one command runs at a time: a command started while another one runs
 * (in any thread) gives -3 at once. TLX_CancelRead is the exception.
 *
 * A terminal that goes away while a command waits (USB device unplugged,
 * serial line hung up) ends the wait at once with the result of a timeout
 * (-2 for replies); the next command opens the link afresh.
 */
#ifndef TLXDEV_H
#define TLXDEV_H

#include "tlx_version.h"

/* Marks what the library exports; everything else in it is hidden. */
#ifndef TLX_EXPORT
#if defined(__GNUC__)
#define TLX_EXPORT __attribute__((visibility("default")))
#else
#define TLX_EXPORT
#endif
#endif

/* Result codes of every TLX_ function. */
#define TLX_OK 0               /* success */
#define TLX_ERR_ARG (-1)       /* bad argument; nothing was sent */
#define TLX_ERR_TIMEOUT (-2)   /* no complete reply in time */
#define TLX_ERR_OPEN (-3)      /* port cannot be opened, or a command runs */
#define TLX_ERR_WRITE (-4)     /* command not written in full */
#define TLX_ERR_READ (-5)      /* read failed */
#define TLX_ERR_NOFILE (-6)    /* file to download missing */
#define TLX_ERR_REPLY (-7)     /* unexpected or refused reply */
#define TLX_ERR_SHORTFILE (-8) /* file shorter than announced */
#define TLX_ERR_CANCEL (-9)    /* read cancelled */
#define TLX_ERR_BUFFER (-10)   /* caller's buffer too small */

/* Output buffer sizes (bytes, terminator included). */
#define TLX_VERSION_SIZE 128     /* version text: at most 127 characters */
#define TLX_UPDATE_TEXT_SIZE 256 /* update result and detail: 255 each */
#define TLX_MODEL_SIZE 4         /* "R40" or "k60" */
#define TLX_FILE_INFO_SIZE 64    /* file information: at most 62 characters */
#define TLX_KEYPAD_INPUT_SIZE 64 /* keypad entry: at most 63 characters */
#define TLX_PIN_BLOCK_SIZE                        \
  64 /* PIN block hex text: at most 62 characters \
        (a block of up to 31 bytes) */

/* Input limits (longer inputs give -1, nothing sent). */
#define TLX_MAX_INFO_TEXT 51200 /* information text, bytes */
#define TLX_MAX_DEST_NAME 249   /* destination name on the terminal */
#define TLX_MAX_KEY_TEXT 1024   /* hexadecimal characters per key text */
#define TLX_MAX_FILE_NAME 1024  /* file name of a delete or query */

/* Limits of a file pulled from the terminal (signature picture and data): a
 * pull that would write more bytes, or that takes more reports from the
 * terminal, ends with -7 and leaves no file. */
#define TLX_MAX_PULL_SIZE 8388608  /* bytes of one pulled file (8 MiB) */
#define TLX_MAX_PULL_PACKETS 16384 /* reports (packets and their parts) */

#ifdef __cplusplus
extern "C" {
#endif

/* Short English text of a result code ("unknown result code" for a value
 * that is none of the above). The text is static: never null, never to be
 * freed or written. */
TLX_EXPORT const char* TLX_StrError(int code);

/* Why the calling thread's last command failed, as the system saw it: the
 * device (a serial path such as "/dev/ttyS4", or the USB node
 * "/dev/bus/usb/001/004"), the errno name or libusb error name, and for the
 * common cases what to do, for instance:
 *   "/dev/ttyS4: EACCES (Permission denied); the user needs to be in the
 *    group 'dialout' ..."              (serial device without permission)
 *   "/dev/bus/usb/001/004: open: LIBUSB_ERROR_ACCESS; ... udev rule
 *    70-tlxdev.rules ..."              (USB node without permission)
 *   "/dev/ttyS0: EWOULDBLOCK (locked); held by another process ..."
 *   "USB: no terminal found: none of the USB identities 2fb0:0101,
 *    2fb0:0102, 0483:5750 is present ..."
 * and the link and time limit of a timeout (-2) or failed write or read.
 * Every command clears it when it starts, so it is empty ("") after a
 * success and after failures without a system-level cause (-1, -7, ...).
 * Thread-local, never null; valid until the thread's next command. */
TLX_EXPORT const char* TLX_LastErrorText(void);

/* ---- Device control ---------------------------------------------------- */

/* Sends the global configuration pair (first 1..5, second 1..2; else -1).
 * 0, or -7 when refused, or a transaction code. */
TLX_EXPORT int TLX_SetGlobalConfig(int port, char bp, int baud, int first, int second);

/* Puts the terminal into its production check mode. 0, -7 refused. */
TLX_EXPORT int TLX_StartPQC(int port, char bp, int baud);

/* Application version text of the terminal, NUL-terminated. version:
 * TLX_VERSION_SIZE bytes (not null). -7 bad or refused reply, -10 too long. */
TLX_EXPORT int TLX_GetVer(int port, char bp, int baud, char* version);

/* Result of the last firmware update; detail is written only when the result
 * is "Fail". result, detail: TLX_UPDATE_TEXT_SIZE bytes each, both not null.
 * -7 bad or refused reply or missing key, -10 a text too long. */
TLX_EXPORT int TLX_GetUpdateStatus(int port, char bp, int baud, char* result, char* detail);

/* kind 1 system volume (level 0..5), 2 key tone (0..15), 3 multimedia (0..15).
 * Other values -1. 0 when acknowledged, else -7. */
TLX_EXPORT int TLX_SetVolume(int port, char bp, int baud, int kind, int level);

/* Restarts the terminal. 0 when acknowledged, else -7. */
TLX_EXPORT int TLX_RestartSys(int port, char bp, int baud);

/* Online check; model receives "R40" or "k60" (TLX_MODEL_SIZE bytes; may be
 * null). 0 also when the terminal answers neither probe's acknowledgement
 * (model untouched); else the code of the second probe. */
TLX_EXPORT int TLX_CheckOnline(int port, char bp, int baud, char* model);

/* Cancels the command running in another thread, at any moment from its
 * argument checks to its return: it sends nothing more but its closing step
 * (0x83 after a PIN entry, the module close after an interaction), leaves
 * its outputs untouched and returns -9. 0 when a command was cancelled; -7
 * when none runs (or it already has its answer); a cancel never reaches a
 * command that starts after it. The link parameters are ignored. */
TLX_EXPORT int TLX_CancelRead(int port, char bp, int baud);

/* Shows (1) or hides (0) the display of module 1..4. */
TLX_EXPORT int TLX_SetShowDISP(int port, char bp, int baud, int module, int show);

/* ---- PIN pad -----------------------------------------------------------
 * Key texts are hexadecimal (either case, at most TLX_MAX_KEY_TEXT digits
 * each); key commands give 0 when the terminal answers exactly 0xAA, else -7.
 * PIN entries always end with the end byte 0x83, also after a failure.
 * Key texts, PINs and PIN blocks are wiped from the library's buffers.
 *
 * Key conventions of the terminal (the library sends the bytes as given):
 *   - Keys are DES keys of 8 bytes (single DES), 16 (double length: K1 K2,
 *     used as K1 K2 K1) or 24 (triple length); the terminal refuses other
 *     lengths. Ciphers are triple DES in ECB mode without padding.
 *   - Master key (TLX_UpdateMKey): the terminal's key is key2 followed by
 *     key1: key2 is the LEFT half, key1 the RIGHT half (8 + 8 bytes for a
 *     double-length key). The library sends key2's bytes, then key1's.
 *   - Work key (TLX_DownLoadWKey): wkey is the clear work key ENCRYPTED
 *     UNDER THE MASTER KEY (3DES-ECB, 8, 16 or 24 bytes); the terminal
 *     decrypts it with master key mkIndex and keeps it. TLX_ActiveWKey makes
 *     it the key PIN blocks are encrypted with.
 *   - Check value of a key: its 3DES-ECB encryption of eight zero bytes;
 *     the first three bytes (six hex digits) are what key sheets compare.
 *   - PIN block option 0..3 (TLX_ReadPinDES, TLX_ReadPinAnsi): bit 0 is the
 *     format, 0 = ISO 9564 format 0 (PIN field XOR account field "0000" +
 *     the 12 rightmost account digits without the check digit; all zeros
 *     for TLX_ReadPinDES and for the account "000000"), 1 = ISO format 1
 *     (random fill, no account); bit 1 adds the active work key's 8-byte
 *     check value after the 8-byte block (32 instead of 16 hex digits). The
 *     block is encrypted with the active work key. Accounts are digits, at
 *     most 19.
 * Production keys come from the bank's key management; `tlxctl test-key`
 * makes keys for a terminal on the bench only. */

/* PIN length 4..14 (else -1); write only. */
TLX_EXPORT int TLX_SetPinLen(int port, char bp, int baud, int length);
/* Loads master key mkIndex 0..15 from key1 and key2 (not null). */
TLX_EXPORT int TLX_UpdateMKey(int port, char bp, int baud, int mkIndex, char* key1, char* key2);
/* Resets all keys. */
TLX_EXPORT int TLX_ResetKey(int port, char bp, int baud);
/* Loads work key wkIndex 0..15 under master key mkIndex 0..15; wkey not null. */
TLX_EXPORT int TLX_DownLoadWKey(int port, char bp, int baud, int mkIndex, int wkIndex, char* wkey);
/* Activates work key wkIndex under master key mkIndex (both 0..15). */
TLX_EXPORT int TLX_ActiveWKey(int port, char bp, int baud, int mkIndex, int wkIndex);
/* Plain PIN entry: mode 0..1, prompt 0..1, timeout 1..999 s, pin not null,
 * pinSize 0..2048. pin gets at most pinSize bytes (mode 1: the non-zero
 * characters packed), NUL-terminated when shorter than pinSize; a longer PIN
 * gives -10 and writes nothing. -2 after timeout + 2 s. */
TLX_EXPORT int TLX_ReadPin(int port, char bp, int baud, int mode, int prompt, int timeout,
                           char* pin, int pinSize);
/* Encrypted PIN entry: prompt 0..1, option 0..3, timeout 1..999 s. pinBlock:
 * TLX_PIN_BLOCK_SIZE bytes, receives the block as upper-case hex text with
 * NUL; -7 bad reply, -10 block longer than 31 bytes. */
TLX_EXPORT int TLX_ReadPinDES(int port, char bp, int baud, int prompt, int option, int timeout,
                              char* pinBlock);
/* As TLX_ReadPinDES, bound to the account number text (null or empty:
 * "000000"). */
TLX_EXPORT int TLX_ReadPinAnsi(int port, char bp, int baud, int prompt, int option, int timeout,
                               char* account, char* pinBlock);

/* ---- Customer interaction ---------------------------------------------- */

/* Shows info (1..TLX_MAX_INFO_TEXT bytes) for timeout 1..999 s; result (not
 * null): 0 confirmed, 1 cancelled, 3 terminal timeout, 4 other. -2 when no
 * answer within timeout + 2 s. */
TLX_EXPORT int TLX_StartInfo(int port, char bp, int baud, int timeout, char* info, int* result);
/* Evaluation of the teller (name and number not null, stars 0..6, photo name
 * or null for "<number>.jpg", timeout 1..999 s); result (not null): 1
 * satisfied, 2 average, 3 dissatisfied, 4 terminal timeout; untouched on an
 * unknown answer. */
TLX_EXPORT int TLX_StartEvaluator(int port, char bp, int baud, char* tellerName, char* tellerNo,
                                  int stars, char* photo, int timeout, int* result);
/* Keypad entry, mode 0 amount, 1 phone number, timeout 1..999 s. input:
 * TLX_KEYPAD_INPUT_SIZE bytes, NUL-terminated; -10 for a longer entry, -7
 * for an answer without a value, -2 when nothing came within timeout. */
TLX_EXPORT int TLX_StartKeyboard(int port, char bp, int baud, int timeout, int mode, char* input);
/* Signature on document (.pdf, .jpg or .html, any case; else -1), always
 * over USB HID whatever port is given. The port given is flushed first, then
 * the arguments are checked (timeout 1..999 s, no path null or empty). The
 * image and trajectory are pulled into imagePath and dataPath: each is
 * written to a new private file (mode 0600) beside its path, which replaces
 * the path only when the pull succeeds; a symlink at the path is replaced,
 * never followed. A failed pull removes its file: -5 no first data, -2 or
 * -9 timeout or cancel between packets, -7 refused packet or a pull beyond
 * TLX_MAX_PULL_SIZE or TLX_MAX_PULL_PACKETS. */
TLX_EXPORT int TLX_StartSign(int port, char bp, int baud, int timeout, char* document,
                             char* imagePath, char* dataPath);

/* ---- Media files -------------------------------------------------------- */

/* Downloads the local file path (-6 missing) as mediaType 0 advert, 1 video,
 * 2 photo, 4 upgrade package (then starts the upgrade; -7 refused), 255
 * named. The name on the terminal is the base name of path (upgrade on a
 * serial link: "update.dat"), at most TLX_MAX_DEST_NAME bytes. */
TLX_EXPORT int TLX_DownLoadFile(int port, char bp, int baud, int mediaType, char* path);
/* Deletes name (not null or empty) of mediaType; -7 refused. */
TLX_EXPORT int TLX_DeleteFile(int port, char bp, int baud, int mediaType, char* name);
/* Information of file name (not null or empty, else -1 after the flush,
 * without the query); info (may be null):
 * TLX_FILE_INFO_SIZE bytes, NUL-terminated; -7 refused or cut reply. */
TLX_EXPORT int TLX_FindFileInfo(int port, char bp, int baud, int mediaType, char* name, char* info);
/* Stored files of mediaType as the terminal lists them: at most listSize
 * bytes, NUL-terminated when shorter; -10 (list untouched) when longer, -7
 * refused. */
TLX_EXPORT int TLX_GetFileList(int port, char bp, int baud, int mediaType, char* list,
                               int listSize);

/* ---- Trace files -----------------------------------------------------------
 * The two writers below append an application's own lines to "debug.ini" in
 * the working directory: a 13-digit local time stamp (MMDDhhmmssmmm), two
 * spaces, the text, CR LF.
 * The wire trace appends, in the same line formats, every exchange with the
 * terminal: its link, the bytes written and read as hex dumps, how the read
 * ended, the result and the time. It is on while the environment variable
 * TLX_TRACE names a file (read when the library is loaded; that file is
 * used), or while the trace flag is non-zero (into the trace path, or
 * "debug.log" in the working directory when none is set). Key material,
 * PINs, PIN blocks and account numbers are written as '*' bytes. */

/* Stores the trace flag; non-zero turns the wire trace on. */
TLX_EXPORT void SetDebugFlag(int flag);
/* Stores the trace path (cut to 259 characters): the wire trace's file. */
TLX_EXPORT void SetDebugPath(const char* path);
/* Appends one printf-formatted line (cut to 4095 characters). */
TLX_EXPORT void ICC_DPrintLogToFile(char* fmt, ...);
/* Appends one hex dump line of len bytes; title may be null. */
TLX_EXPORT void ICC_DPrintDataHexToFile(const char* title, const char* data, int len);

#ifdef __cplusplus
}
#endif

#endif /* TLXDEV_H */
