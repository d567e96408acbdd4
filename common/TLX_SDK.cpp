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

#define TLX_SDK_ENTRY(name, line) {"TLX_" #name, line},
const Entry kEntries[] = {TLX_SDK_ENTRY_POINTS(TLX_SDK_ENTRY)};
#undef TLX_SDK_ENTRY

constexpr size_t kEntryCount = sizeof(kEntries) / sizeof(kEntries[0]);
static_assert(kEntryCount == 22, "the programs bind 22 entry points");

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
  void* symbols[kEntryCount];
  for (size_t i = 0; i < kEntryCount; ++i) {
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
  size_t next = 0;
#define TLX_SDK_BIND(name, line) \
  tlx_binding::Bind<decltype(&::TLX_##name)>(p##name, symbols[next++]);
  TLX_SDK_ENTRY_POINTS(TLX_SDK_BIND)
#undef TLX_SDK_BIND
  tlx_binding::Bind<decltype(&::TLX_StrError)>(pStrError, dlsym(m_handle, "TLX_StrError"));
  if (m_verbose) qDebug("load success");
  return true;
}

void TLX_SDK::UnInit() {
  if (!m_handle) return;
  dlclose(m_handle);
  m_handle = nullptr;
  pStrError = nullptr;
}
