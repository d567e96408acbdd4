/* Test setup for running the suite under qemu-aarch64 (user mode), preloaded
 * into the test programs: qemu 7.2 does not translate the old termio
 * requests TCGETA/TCSETA/TCSETAW/TCSETAF (it fills 4 of the 18 bytes of a
 * struct termio and sets nothing), which the serial transport uses. This
 * maps them onto tcgetattr/tcsetattr the way the kernel does (the termio
 * flags are the low 16 bits of the termios flags; the first NCC control
 * characters are shared). Every other ioctl goes through unchanged. It is
 * never part of the library, which issues TCGETA/TCSETAF itself. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termio.h>
#include <termios.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int get_termio(int fd, struct termio* t) {
  struct termios s;
  if (tcgetattr(fd, &s) != 0) return -1;
  memset(t, 0, sizeof *t);
  t->c_iflag = (unsigned short)s.c_iflag;
  t->c_oflag = (unsigned short)s.c_oflag;
  t->c_cflag = (unsigned short)s.c_cflag;
  t->c_lflag = (unsigned short)s.c_lflag;
  t->c_line = s.c_line;
  memcpy(t->c_cc, s.c_cc, NCC);
  return 0;
}

static int set_termio(int fd, const struct termio* t, int when) {
  struct termios s;
  if (tcgetattr(fd, &s) != 0) return -1;
  s.c_iflag = (s.c_iflag & 0xffff0000u) | t->c_iflag;
  s.c_oflag = (s.c_oflag & 0xffff0000u) | t->c_oflag;
  s.c_cflag = (s.c_cflag & 0xffff0000u) | t->c_cflag;
  s.c_lflag = (s.c_lflag & 0xffff0000u) | t->c_lflag;
  s.c_line = t->c_line;
  memcpy(s.c_cc, t->c_cc, NCC);
  return tcsetattr(fd, when, &s);
}

int ioctl(int fd, unsigned long request, ...) {
  static ioctl_fn next;
  va_list ap;
  void* arg;
  va_start(ap, request);
  arg = va_arg(ap, void*);
  va_end(ap);

  switch (request) {
    case TCGETA:
      if (arg == NULL) {
        errno = EFAULT;
        return -1;
      }
      return get_termio(fd, (struct termio*)arg);
    case TCSETA:
    case TCSETAW:
    case TCSETAF:
      if (arg == NULL) {
        errno = EFAULT;
        return -1;
      }
      return set_termio(fd, (const struct termio*)arg,
                        request == TCSETA    ? TCSANOW
                        : request == TCSETAW ? TCSADRAIN
                                             : TCSAFLUSH);
    default:
      break;
  }
  if (next == NULL) next = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
  if (next == NULL) {
    errno = ENOSYS;
    return -1;
  }
  return next(fd, request, arg);
}
