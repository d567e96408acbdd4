// Thread-local text of the last failure's system-level cause, and
// TLX_LastErrorText, which gives it to the application.
#include "transport/last_error.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "tlxdev.h"
#include "transport/CDevice.h"

namespace tlx {

namespace {

thread_local char t_text[512];
// One command runs at a time in a process, so one name serves every thread.
char g_linkName[300];

struct ErrnoName {
  int value;
  const char* name;
};

const ErrnoName kNames[] = {
    {EACCES, "EACCES"}, {EPERM, "EPERM"},   {ENOENT, "ENOENT"},     {ENXIO, "ENXIO"},
    {ENODEV, "ENODEV"}, {EBUSY, "EBUSY"},   {EAGAIN, "EAGAIN"},     {ENOTTY, "ENOTTY"},
    {EIO, "EIO"},       {EINVAL, "EINVAL"}, {EISDIR, "EISDIR"},     {ENOTDIR, "ENOTDIR"},
    {ELOOP, "ELOOP"},   {EMFILE, "EMFILE"}, {ENFILE, "ENFILE"},     {EROFS, "EROFS"},
    {EPIPE, "EPIPE"},   {EINTR, "EINTR"},   {ENAMETOOLONG, "ENAMETOOLONG"},
};

// Name of the group owning path ("dialout" when it cannot be told).
void GroupOf(const char* path, char* out, size_t cap) {
  std::snprintf(out, cap, "dialout");
  // statx keeps the library within the C library versions it supports.
  struct statx st;
  if (statx(AT_FDCWD, path, 0, STATX_GID, &st) != 0 || (st.stx_mask & STATX_GID) == 0) return;
  struct group gr;
  struct group* found = nullptr;
  char buf[1024];
  if (getgrgid_r(st.stx_gid, &gr, buf, sizeof buf, &found) == 0 && found != nullptr)
    std::snprintf(out, cap, "%s", found->gr_name);
}

}  // namespace

void ClearLastError() { t_text[0] = '\0'; }

bool HasLastError() { return t_text[0] != '\0'; }

void SetLastError(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::vsnprintf(t_text, sizeof t_text, fmt, args);
  va_end(args);
}

const char* ErrnoText(int err, char* buf, int cap) {
  const char* name = nullptr;
  for (const ErrnoName& n : kNames)
    if (n.value == err) name = n.name;
  char reason[128];
  const char* r = strerror_r(err, reason, sizeof reason);
  if (name != nullptr)
    std::snprintf(buf, static_cast<size_t>(cap), "%s (%s)", name, r);
  else
    std::snprintf(buf, static_cast<size_t>(cap), "errno %d (%s)", err, r);
  return buf;
}

void SetSerialOpenError(const char* path, int err) {
  char e[160];
  ErrnoText(err, e, sizeof e);
  if (err == EACCES || err == EPERM) {
    char group[64];
    GroupOf(path, group, sizeof group);
    SetLastError("%s: %s; the user needs to be in the group '%s' (sudo adduser $USER %s, "
                 "then log in again)",
                 path, e, group, group);
  } else if (err == ENOENT || err == ENXIO || err == ENODEV) {
    SetLastError("%s: %s; no such serial device (port n is /dev/ttyS<n-1>, or "
                 "TLX_SERIAL_PATH's pattern; tlxctl probe lists the ports that answer)",
                 path, e);
  } else if (err == ENOTTY || err == EINVAL) {
    SetLastError("%s: %s; not a serial line", path, e);
  } else {
    SetLastError("%s: %s", path, e);
  }
}

void SetSerialBusyError(const char* path) {
  SetLastError("%s: EWOULDBLOCK (locked); held by another process using the terminal on this "
               "port (lsof %s or fuser %s names it)",
               path, path, path);
}

void NoteLink(const char* name) { std::snprintf(g_linkName, sizeof g_linkName, "%s", name); }

const char* LinkName() { return g_linkName; }

void SetExchangeError(bool written, int portResult, int timeoutMs) {
  if (!written) {
    SetLastError("%s: the command was not written in full", g_linkName);
    return;
  }
  switch (portResult) {
    case TLX_PORT_TIMEOUT:
      SetLastError("%s: no complete reply within %d ms (is a terminal on this port, at this "
                   "rate and channel? tlxctl probe finds it)",
                   g_linkName, timeoutMs);
      break;
    case TLX_PORT_GONE:
      SetLastError("%s: the device went away (unplugged, or the line hung up)", g_linkName);
      break;
    case TLX_PORT_CANCELLED:
      SetLastError("%s: the read was cancelled", g_linkName);
      break;
    default:
      SetLastError("%s: read failed (port result %d)", g_linkName, portResult);
  }
}

}  // namespace tlx

extern "C" TLX_EXPORT const char* TLX_LastErrorText(void) { return tlx::t_text; }
