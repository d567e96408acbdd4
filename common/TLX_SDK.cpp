#include "TLX_SDK.h"

#include <dlfcn.h>

#include <QDebug>

namespace {

// One entry per bound symbol, in binding order, with the line the loop
// tool reports when that symbol is the first one missing.
struct Entry {
  const char* symbol;
  const char* missingLine;
};

const Entry kEntries[] = {
    {"TLX_GetVer", "load TLX_GetVer error"},
    {"TLX_SetVolume", "load pSetVolume error"},
    {"TLX_RestartSys", "load pRestartSys error"},
    {"TLX_CheckOnline", "load pCheckOnline error"},
    {"TLX_CancelRead", "load pCancelRead error"},
    {"TLX_SetShowDISP", "load pSetShowDISP error"},
    {"TLX_SetPinLen", "load pSetPinLen error"},
    {"TLX_UpdateMKey", "load pUpdateMKey error"},
    {"TLX_ResetKey", "load pResetKey error"},
    {"TLX_DownLoadWKey", "load pDownLoadWKey error"},
    {"TLX_ActiveWKey", "load pActiveWKey error"},
    {"TLX_ReadPin", "load pReadPin error"},
    {"TLX_ReadPinDES", "load pReadPinDES error"},
    {"TLX_ReadPinAnsi", "load pReadPinAnsi error"},
    {"TLX_StartInfo", "load pStartInfo error"},
    {"TLX_StartEvaluator", "load pStartEvaluator error"},
    {"TLX_StartKeyboard", "load pStartKeyboard error"},
    {"TLX_StartSign", "load pStartSign error"},
    {"TLX_DownLoadFile", "load pDownLoadFile error"},
    {"TLX_DeleteFile", "load pDeleteFile error"},
    {"TLX_FindFileInfo", "load pFindFileInfo error"},
    {"TLX_GetFileList", "load pGetFileList error"},
};

template <typename Fn>
void Assign(Fn& slot, void* symbol) {
  slot = reinterpret_cast<Fn>(symbol);
}

}  // namespace

TLX_SDK::TLX_SDK(bool verbose) : m_handle(nullptr), m_verbose(verbose) {}

TLX_SDK::~TLX_SDK() { UnInit(); }

bool TLX_SDK::Init(const char* path) {
  if (m_handle) return false;
  m_handle = dlopen(path, RTLD_LAZY);
  if (!m_handle) {
    if (m_verbose) qDebug("open so failed");
    return false;
  }
  void* symbols[sizeof(kEntries) / sizeof(kEntries[0])];
  for (size_t i = 0; i < sizeof(kEntries) / sizeof(kEntries[0]); ++i) {
    symbols[i] = dlsym(m_handle, kEntries[i].symbol);
    if (!symbols[i]) {
      if (m_verbose) {
        qDebug("%s", kEntries[i].missingLine);
        qDebug("load method failed");
      }
      UnInit();
      return false;
    }
  }
  // Only a complete set is ever stored, so a failed Init leaves no usable
  // entry point behind.
  Assign(pGetVer, symbols[0]);
  Assign(pSetVolume, symbols[1]);
  Assign(pRestartSys, symbols[2]);
  Assign(pCheckOnline, symbols[3]);
  Assign(pCancelRead, symbols[4]);
  Assign(pSetShowDISP, symbols[5]);
  Assign(pSetPinLen, symbols[6]);
  Assign(pUpdateMKey, symbols[7]);
  Assign(pResetKey, symbols[8]);
  Assign(pDownLoadWKey, symbols[9]);
  Assign(pActiveWKey, symbols[10]);
  Assign(pReadPin, symbols[11]);
  Assign(pReadPinDES, symbols[12]);
  Assign(pReadPinAnsi, symbols[13]);
  Assign(pStartInfo, symbols[14]);
  Assign(pStartEvaluator, symbols[15]);
  Assign(pStartKeyboard, symbols[16]);
  Assign(pStartSign, symbols[17]);
  Assign(pDownLoadFile, symbols[18]);
  Assign(pDeleteFile, symbols[19]);
  Assign(pFindFileInfo, symbols[20]);
  Assign(pGetFileList, symbols[21]);
  if (m_verbose) qDebug("load success");
  return true;
}

void TLX_SDK::UnInit() {
  if (!m_handle) return;
  dlclose(m_handle);
  m_handle = nullptr;
}
