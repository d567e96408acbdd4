// The session and transaction functions of earlier releases, forwarding to
// the exchange. The end conditions passed in are swapped for the
// exchange's own, which the wire trace knows by name.
#include "compat/session.h"

#include "core/tlx_internal.h"

const HidIdentity g_hidIdentities[TLX_HID_IDENTITY_COUNT] = {
    {tlx::kUsbIdentities[0].vendorId, tlx::kUsbIdentities[0].productId},
    {tlx::kUsbIdentities[1].vendorId, tlx::kUsbIdentities[1].productId},
    {tlx::kUsbIdentities[2].vendorId, tlx::kUsbIdentities[2].productId},
};

namespace {

tlx::EndCondition Internal(EndConditionFn cond) {
  if (cond == EndOfCondition1) return tlx::EndAtEtx;
  if (cond == EndOfCondition2) return tlx::EndAtCr;
  if (cond == EndOfCondition3) return tlx::EndAtF;
  if (cond == EndOfCondition4) return tlx::EndAtAny;
  if (cond == MediaEndCondition) return tlx::EndOfPacketAnswer;
  return cond;
}

}  // namespace

bool EndOfCondition1(const char* data, int count) { return tlx::EndAtEtx(data, count); }

bool EndOfCondition2(const char* data, int count) { return tlx::EndAtCr(data, count); }

bool EndOfCondition3(const char* data, int count) { return tlx::EndAtF(data, count); }

bool EndOfCondition4(const char* data, int count) { return tlx::EndAtAny(data, count); }

bool MediaEndCondition(const char* data, int count) { return tlx::EndOfPacketAnswer(data, count); }

int OpenDevice(int port, char bp, int baud) { return tlx::OpenLink(tlx::Link{port, bp, baud}); }

void CloseDevice(int port, char bp) { tlx::CloseLink(tlx::Link{port, bp, 0}); }

bool IsOpenDevice() { return tlx::LinkOpen(); }

int WriteData(int length, char* data) { return tlx::WriteRaw(data, length); }

int ReadData(char* buf, int capacity, EndConditionFn cond, int timeoutMs) {
  return tlx::ReadRaw(buf, capacity, Internal(cond), timeoutMs);
}

int GetHidReport() { return tlx::kReportSize; }

int CancelReadDevice() {
  tlx::CancelRaw();
  return TLX_OK;
}

int FlushPort(int port, char bp, int baud) { return tlx::FlushLink(tlx::Link{port, bp, baud}); }

int TransProc(int port, char bp, int baud, char* cmd, int cmdLen, char* reply, int* replyLen,
              EndConditionFn cond, int timeoutMs) {
  if (cmd == nullptr || cmdLen < 0) return TLX_ERR_ARG;
  if (reply != nullptr && (replyLen == nullptr || *replyLen <= 0)) return TLX_ERR_ARG;
  return tlx::Transact(tlx::Link{port, bp, baud}, cmd, cmdLen, reply, replyLen, Internal(cond),
                       timeoutMs);
}

int TransProc(int port, char bp, int baud, char* cmd, char* reply, int* replyLen,
              EndConditionFn cond, int timeoutMs) {
  return TransProc(port, bp, baud, cmd, 0, reply, replyLen, cond, timeoutMs);
}

int CheckAndGetResponse(char* buf, int len) { return tlx::CheckFramedReply(buf, len); }

int CheckAndGetResponse(char head, char tail, char* buf, int len, char* out, int* outLen) {
  return tlx::CheckTaggedReply(head, tail, buf, len, out, outLen);
}
