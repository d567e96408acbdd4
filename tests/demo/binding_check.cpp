// Compiled, not run: the binding's type check against tlxdev.h. Built as it
// is, it binds entry points of the header's types and must compile. Built
// with TLX_STALE_BINDING it binds an entry point declared by hand against an
// older prototype of TLX_GetFileList (the list size as long), as a binding
// would that was not updated with the header; the compiler must refuse it.
#include "TLX_SDK.h"

struct HandWrittenBinding {
#ifdef TLX_STALE_BINDING
  int (*pGetFileList)(int, char, int, int, char*, long);
#else
  int (*pGetFileList)(int, char, int, int, char*, int);
#endif
  TLX_SDK::FnStartSign pStartSign;
};

int main() {
  HandWrittenBinding binding;
  tlx_binding::Bind<decltype(&::TLX_GetFileList)>(binding.pGetFileList, nullptr);
  tlx_binding::Bind<decltype(&::TLX_StartSign)>(binding.pStartSign, nullptr);
  return binding.pGetFileList == nullptr && binding.pStartSign == nullptr ? 0 : 1;
}
