// The session and transaction functions of earlier releases, kept for
// programs built against them: each forwards to the exchange
// (core/exchange.cpp), checking its arguments as it always did.
#ifndef TLX_SESSION_H
#define TLX_SESSION_H

#include "compat/CDevice.h"
#include "tlx_export.h"
#include "tlxdev.h"

// The result codes (TLX_OK, TLX_ERR_...) are those of the public header.

// USB identities tried, in this order, when port 0 is opened:
//   {0x2FB0, 0x0101}, {0x2FB0, 0x0102}, {0x0483, 0x5750}
// (the virtual terminal presents the same pairs).
struct HidIdentity {
  unsigned long vendorId;
  unsigned long productId;
};
enum { TLX_HID_IDENTITY_COUNT = 3 };
extern TLX_EXPORT const HidIdentity g_hidIdentities[TLX_HID_IDENTITY_COUNT];

TLX_EXPORT int OpenDevice(int port, char bp, int baud);
TLX_EXPORT void CloseDevice(int port, char bp);
TLX_EXPORT bool IsOpenDevice();
TLX_EXPORT int WriteData(int length, char* data);
TLX_EXPORT int ReadData(char* buf, int capacity, EndConditionFn cond, int timeoutMs);
TLX_EXPORT int GetHidReport();
TLX_EXPORT int CancelReadDevice();
TLX_EXPORT int FlushPort(int port, char bp, int baud);

// One exchange. replyLen: in = capacity of reply, out = bytes received
// (written only on success). A null reply makes it write-only.
TLX_EXPORT int TransProc(int port, char bp, int baud, char* cmd, char* reply, int* replyLen,
                         EndConditionFn cond, int timeoutMs);
TLX_EXPORT int TransProc(int port, char bp, int baud, char* cmd, int cmdLen, char* reply,
                         int* replyLen, EndConditionFn cond, int timeoutMs);

// End conditions.
TLX_EXPORT bool EndOfCondition1(const char* data, int count);    // last byte ETX
TLX_EXPORT bool EndOfCondition2(const char* data, int count);    // last byte CR
TLX_EXPORT bool EndOfCondition3(const char* data, int count);    // last byte 'F'
TLX_EXPORT bool EndOfCondition4(const char* data, int count);    // any byte
TLX_EXPORT bool MediaEndCondition(const char* data, int count);  // last byte ETX

// STX ... ETX with a second byte other than 'U': 0; no data: -2; else -7.
TLX_EXPORT int CheckAndGetResponse(char* buf, int len);
// head, HexAsc1(tag + data), tail: tag 0x10 with <= 8 data bytes or 0x20
// with > 8; copies the data to out and its count to outLen. Else -7.
TLX_EXPORT int CheckAndGetResponse(char head, char tail, char* buf, int len, char* out,
                                   int* outLen);

#endif
