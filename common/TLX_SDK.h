// TLX_SDK: run-time binding of libtlxdev for the demo and the loop tool.
// Binds the 22 entry points both programs call, all or nothing. Their types
// are taken from the library's public header, so a prototype that changes
// there changes here, and a binding whose type disagrees does not compile.
#ifndef TLX_SDK_H
#define TLX_SDK_H

#include <type_traits>

#include "tlxdev.h"

// The bound entry points, in binding order: X(name of TLX_name, the line the
// loop tool writes when this is the first one missing from the library).
#define TLX_SDK_ENTRY_POINTS(X)                   \
  X(GetVer, "load TLX_GetVer error")              \
  X(SetVolume, "load pSetVolume error")           \
  X(RestartSys, "load pRestartSys error")         \
  X(CheckOnline, "load pCheckOnline error")       \
  X(CancelRead, "load pCancelRead error")         \
  X(SetShowDISP, "load pSetShowDISP error")       \
  X(SetPinLen, "load pSetPinLen error")           \
  X(UpdateMKey, "load pUpdateMKey error")         \
  X(ResetKey, "load pResetKey error")             \
  X(DownLoadWKey, "load pDownLoadWKey error")     \
  X(ActiveWKey, "load pActiveWKey error")         \
  X(ReadPin, "load pReadPin error")               \
  X(ReadPinDES, "load pReadPinDES error")         \
  X(ReadPinAnsi, "load pReadPinAnsi error")       \
  X(StartInfo, "load pStartInfo error")           \
  X(StartEvaluator, "load pStartEvaluator error") \
  X(StartKeyboard, "load pStartKeyboard error")   \
  X(StartSign, "load pStartSign error")           \
  X(DownLoadFile, "load pDownLoadFile error")     \
  X(DeleteFile, "load pDeleteFile error")         \
  X(FindFileInfo, "load pFindFileInfo error")     \
  X(GetFileList, "load pGetFileList error")

namespace tlx_binding {

// Stores a looked-up symbol in an entry point. HeaderType is the type of the
// function's prototype in tlxdev.h; an entry point of any other type is
// refused at compile time.
template <typename HeaderType, typename Slot>
inline void Bind(Slot& slot, void* symbol) {
  static_assert(std::is_same<Slot, HeaderType>::value,
                "entry point type differs from its prototype in tlxdev.h");
  slot = reinterpret_cast<Slot>(symbol);
}

}  // namespace tlx_binding

class TLX_SDK {
 public:
#define TLX_SDK_TYPE(name, line) typedef decltype(&::TLX_##name) Fn##name;
  TLX_SDK_ENTRY_POINTS(TLX_SDK_TYPE)
#undef TLX_SDK_TYPE
  // Not one of the 22: looked up when the library has it, null otherwise.
  typedef decltype(&::TLX_StrError) FnStrError;

  // verbose: write the loader's progress lines to Qt's debug output (the
  // loop tool does, the demo binds silently).
  explicit TLX_SDK(bool verbose = false);
  ~TLX_SDK();
  TLX_SDK(const TLX_SDK&) = delete;
  TLX_SDK& operator=(const TLX_SDK&) = delete;

  // Binds the library at path; true when all 22 entry points are bound.
  // Refused (false) while already bound.
  bool Init(const char* path);
  // Releases the library if bound.
  void UnInit();
  bool IsBound() const { return m_handle != nullptr; }

  void* m_handle;
#define TLX_SDK_MEMBER(name, line) Fn##name p##name;
  TLX_SDK_ENTRY_POINTS(TLX_SDK_MEMBER)
#undef TLX_SDK_MEMBER
  // Text of a result code; null when the library does not export it.
  FnStrError pStrError = nullptr;

 private:
  bool m_verbose;
};

#endif
