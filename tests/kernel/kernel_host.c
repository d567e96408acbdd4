/* Host side of the kernel test runner.
 *
 *   tlx-kernel-host serve DIR AGENTS [UART_A UART_B]...
 *       Stays up while the guest runs. Joins the host ends of the guest's
 *       UARTs in pairs (QEMU's unix-socket chardevs DIR/UART_A.sock and
 *       DIR/UART_B.sock): what one UART sends the other receives. Holds the
 *       connections to the guest agents' ports (DIR/agent0.sock ...) and
 *       hands each command of a client on DIR/run.sock to a free agent.
 *   tlx-kernel-host run DIR [-t SECONDS] [-C DIR] [-e NAME=VALUE]... [-u NAME]... -- PROGRAM
 * ARGS... Runs PROGRAM in the guest with this process's environment (changed by -e/-u) in this
 * working directory (or -C's), prints its output and exits with its status (125: the guest could
 * not run it; 124: it overran SECONDS and was killed).
 *
 * QEMU's UART models write to their chardev while holding QEMU's main lock,
 * and the PL011 waits until a write is taken: the relay must never stop
 * reading a UART socket and never block on a write. Every socket is
 * non-blocking; what a UART cannot take yet waits in a bounded buffer, and
 * what overflows it is dropped and counted. Bytes sent before the first
 * command completes (firmware and boot noise) are dropped too.
 *
 * Agent protocol (one command at a time per agent port):
 *   host -> guest  "RUN <len>\n" <len bytes of shell script>
 *   guest -> host  "OUT <len>\n" <len bytes of output> "EXIT <status>\n"
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

#define MAX_AGENTS 8
#define MAX_PAIRS 4
#define MAX_CLIENTS 64
#define UART_BUFFER (1 << 20)

static void die(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  fputs("tlx-kernel-host: ", stderr);
  vfprintf(stderr, fmt, ap);
  fputc('\n', stderr);
  va_end(ap);
  exit(125);
}

static double now_s(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + ts.tv_nsec / 1e9;
}

static void set_nonblock(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

static int unix_address(struct sockaddr_un* a, const char* dir, const char* name) {
  memset(a, 0, sizeof *a);
  a->sun_family = AF_UNIX;
  int n = snprintf(a->sun_path, sizeof a->sun_path, "%s/%s", dir, name);
  return n > 0 && (size_t)n < sizeof a->sun_path;
}

/* Connects to DIR/NAME, retrying until `deadline`; -1 when it never opened. */
static int connect_until(const char* dir, const char* name, double deadline) {
  struct sockaddr_un a;
  if (!unix_address(&a, dir, name)) die("socket path too long: %s/%s", dir, name);
  for (;;) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) die("socket: %s", strerror(errno));
    if (connect(fd, (struct sockaddr*)&a, sizeof a) == 0) return fd;
    close(fd);
    if (now_s() >= deadline) return -1;
    usleep(20000);
  }
}

/* A growable byte buffer. */
struct buf {
  char* data;
  size_t len, cap;
};

static void buf_add(struct buf* b, const char* p, size_t n) {
  if (b->len + n > b->cap) {
    size_t cap = b->cap ? b->cap : 4096;
    while (cap < b->len + n) cap *= 2;
    b->data = realloc(b->data, cap);
    if (!b->data) die("out of memory");
    b->cap = cap;
  }
  memcpy(b->data + b->len, p, n);
  b->len += n;
}

static void buf_str(struct buf* b, const char* s) { buf_add(b, s, strlen(s)); }

static void buf_drop(struct buf* b, size_t n) {
  memmove(b->data, b->data + n, b->len - n);
  b->len -= n;
}

/* Writes what the descriptor takes now; 0 on success (also when it took
 * nothing), -1 when the peer is gone. */
static int buf_flush(struct buf* b, int fd) {
  while (b->len > 0) {
    ssize_t n = send(fd, b->data, b->len, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      buf_drop(b, (size_t)n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return -1;
  }
  return 0;
}

/* ---- serve ---------------------------------------------------------- */

struct uart {
  int fd;
  struct buf out; /* bytes for this UART (from its partner) */
  long dropped;
};

enum agent_phase { AGENT_IDLE, AGENT_HEADER, AGENT_BODY, AGENT_TRAILER };

struct agent {
  int fd;
  struct buf out; /* request bytes for the agent */
  char line[64];  /* the reply line being read */
  size_t lineLen;
  enum agent_phase phase;
  unsigned long long bodyLeft;
  int client; /* index into clients[], -1 none or gone */
};

struct client {
  int fd;
  struct buf in;  /* request as read so far */
  struct buf out; /* reply bytes for the client */
  int agent;      /* -1: waiting for a complete request or a free agent */
  int closing;    /* reply complete: close once flushed */
};

static struct uart uarts[2 * MAX_PAIRS];
static int nuarts;
static struct agent agents[MAX_AGENTS];
static int nagents;
static struct client clients[MAX_CLIENTS];
static int armed;
static volatile sig_atomic_t stopping;

static void on_signal(int sig) {
  (void)sig;
  stopping = 1;
}

/* A complete request is "RUN <len>\n" and <len> bytes. */
static int request_complete(const struct buf* b) {
  const char* nl = memchr(b->data, '\n', b->len);
  if (!nl) return 0;
  unsigned long long len = 0;
  if (sscanf(b->data, "RUN %llu", &len) != 1) return -1;
  return (size_t)(nl - b->data) + 1 + len <= b->len;
}

static void client_close(int c) {
  close(clients[c].fd);
  clients[c].fd = -1;
  free(clients[c].in.data);
  free(clients[c].out.data);
  memset(&clients[c].in, 0, sizeof clients[c].in);
  memset(&clients[c].out, 0, sizeof clients[c].out);
  if (clients[c].agent >= 0 && agents[clients[c].agent].client == c)
    agents[clients[c].agent].client = -1; /* its reply is read and dropped */
  clients[c].agent = -1;
  clients[c].closing = 0;
}

/* Reply bytes of agent a: forwarded to its client, and followed through the
 * protocol so that the agent is known free again at the end. */
static void agent_reply(int a, const char* p, size_t n) {
  struct agent* ag = &agents[a];
  while (n > 0) {
    size_t take = 1;
    if (ag->phase == AGENT_BODY) {
      take = n < ag->bodyLeft ? n : (size_t)ag->bodyLeft;
      ag->bodyLeft -= take;
      if (ag->bodyLeft == 0) ag->phase = AGENT_TRAILER;
    } else {
      if (ag->lineLen < sizeof ag->line - 1) ag->line[ag->lineLen++] = *p;
      if (*p == '\n') {
        ag->line[ag->lineLen] = '\0';
        ag->lineLen = 0;
        if (ag->phase == AGENT_HEADER) {
          unsigned long long len = 0;
          if (sscanf(ag->line, "OUT %llu", &len) == 1) {
            ag->bodyLeft = len;
            ag->phase = len > 0 ? AGENT_BODY : AGENT_TRAILER;
          }
        } else if (ag->phase == AGENT_TRAILER) {
          ag->phase = AGENT_IDLE;
          armed = 1; /* the guest ran a command: its UARTs are in use from now on */
        }
      }
    }
    if (ag->client >= 0) buf_add(&clients[ag->client].out, p, take);
    if (ag->phase == AGENT_IDLE && ag->client >= 0) {
      clients[ag->client].closing = 1;
      clients[ag->client].agent = -1;
      ag->client = -1;
    }
    p += take;
    n -= take;
  }
}

static void assign_agents(void) {
  for (int c = 0; c < MAX_CLIENTS; ++c) {
    if (clients[c].fd < 0 || clients[c].agent >= 0 || clients[c].closing) continue;
    if (clients[c].in.len == 0 || request_complete(&clients[c].in) != 1) continue;
    for (int a = 0; a < nagents; ++a) {
      if (agents[a].phase != AGENT_IDLE || agents[a].client != -1) continue;
      buf_add(&agents[a].out, clients[c].in.data, clients[c].in.len);
      clients[c].in.len = 0;
      agents[a].phase = AGENT_HEADER;
      agents[a].client = c;
      clients[c].agent = a;
      break;
    }
  }
}

static int serve(int argc, char** argv) {
  if (argc < 2) die("usage: serve DIR AGENTS [UART_A UART_B]...");
  const char* dir = argv[0];
  nagents = atoi(argv[1]);
  if (nagents < 1 || nagents > MAX_AGENTS) die("1 to %d agents", MAX_AGENTS);
  argc -= 2;
  argv += 2;
  if (argc % 2 != 0 || argc > 2 * MAX_PAIRS) die("UARTs come in pairs (at most %d)", MAX_PAIRS);
  signal(SIGTERM, on_signal);
  signal(SIGINT, on_signal);
  signal(SIGPIPE, SIG_IGN);

  /* QEMU makes its sockets when it starts. */
  const double deadline = now_s() + 60;
  nuarts = argc;
  for (int i = 0; i < nuarts; ++i) {
    char name[128];
    snprintf(name, sizeof name, "%s.sock", argv[i]);
    uarts[i].fd = connect_until(dir, name, deadline);
    if (uarts[i].fd < 0) die("QEMU did not open %s/%s", dir, name);
    set_nonblock(uarts[i].fd);
  }
  for (int a = 0; a < nagents; ++a) {
    char name[32];
    snprintf(name, sizeof name, "agent%d.sock", a);
    agents[a].fd = connect_until(dir, name, deadline);
    if (agents[a].fd < 0) die("QEMU did not open %s/%s", dir, name);
    set_nonblock(agents[a].fd);
    agents[a].client = -1;
  }
  struct sockaddr_un addr;
  if (!unix_address(&addr, dir, "run.sock")) die("socket path too long");
  unlink(addr.sun_path);
  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener < 0 || bind(listener, (struct sockaddr*)&addr, sizeof addr) != 0 ||
      listen(listener, 64) != 0)
    die("cannot listen on %s: %s", addr.sun_path, strerror(errno));
  for (int c = 0; c < MAX_CLIENTS; ++c) {
    clients[c].fd = -1;
    clients[c].agent = -1;
  }

  struct pollfd fds[1 + 2 * MAX_PAIRS + MAX_AGENTS + MAX_CLIENTS];
  int status = 0;
  while (!stopping) {
    int n = 0;
    fds[n++] = (struct pollfd){listener, POLLIN, 0};
    for (int i = 0; i < nuarts; ++i)
      fds[n++] = (struct pollfd){uarts[i].fd, POLLIN | (uarts[i].out.len ? POLLOUT : 0), 0};
    for (int a = 0; a < nagents; ++a)
      fds[n++] = (struct pollfd){agents[a].fd, POLLIN | (agents[a].out.len ? POLLOUT : 0), 0};
    int clientAt[MAX_CLIENTS];
    for (int c = 0; c < MAX_CLIENTS; ++c) {
      clientAt[c] = -1;
      if (clients[c].fd < 0) continue;
      clientAt[c] = n;
      fds[n++] = (struct pollfd){clients[c].fd, POLLIN | (clients[c].out.len ? POLLOUT : 0), 0};
    }
    if (poll(fds, (nfds_t)n, 1000) < 0) {
      if (errno == EINTR) continue;
      die("poll: %s", strerror(errno));
    }
    char chunk[65536];
    /* UARTs: always read everything; a pair's partner gets it when armed. */
    for (int i = 0; i < nuarts; ++i) {
      struct pollfd* p = &fds[1 + i];
      if (p->revents & (POLLIN | POLLHUP | POLLERR)) {
        for (;;) {
          ssize_t r = recv(uarts[i].fd, chunk, sizeof chunk, MSG_DONTWAIT);
          if (r > 0) {
            struct uart* to = &uarts[i ^ 1];
            if (!armed) continue;
            size_t room = UART_BUFFER - to->out.len;
            size_t keep = (size_t)r < room ? (size_t)r : room;
            buf_add(&to->out, chunk, keep);
            to->dropped += r - (ssize_t)keep;
            continue;
          }
          if (r == 0 || (errno != EAGAIN && errno != EINTR)) stopping = 1; /* QEMU ended */
          break;
        }
      }
      if (buf_flush(&uarts[i].out, uarts[i].fd) != 0) stopping = 1;
    }
    /* Agents: replies to their clients; requests out. */
    for (int a = 0; a < nagents; ++a) {
      struct pollfd* p = &fds[1 + nuarts + a];
      if (p->revents & (POLLIN | POLLHUP | POLLERR)) {
        for (;;) {
          ssize_t r = recv(agents[a].fd, chunk, sizeof chunk, MSG_DONTWAIT);
          if (r > 0) {
            agent_reply(a, chunk, (size_t)r);
            continue;
          }
          if (r == 0 || (errno != EAGAIN && errno != EINTR)) stopping = 1;
          break;
        }
      }
      if (buf_flush(&agents[a].out, agents[a].fd) != 0) stopping = 1;
    }
    /* Clients. */
    for (int c = 0; c < MAX_CLIENTS; ++c) {
      if (clientAt[c] < 0 || clients[c].fd < 0) continue;
      struct pollfd* p = &fds[clientAt[c]];
      if (p->revents & (POLLIN | POLLHUP | POLLERR)) {
        ssize_t r = recv(clients[c].fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (r > 0 && clients[c].agent < 0 && !clients[c].closing) {
          buf_add(&clients[c].in, chunk, (size_t)r);
          if (request_complete(&clients[c].in) < 0) client_close(c);
        } else if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR)) {
          client_close(c); /* gone: a running command's reply is dropped */
          continue;
        }
      }
      if (buf_flush(&clients[c].out, clients[c].fd) != 0) {
        client_close(c);
        continue;
      }
      if (clients[c].closing && clients[c].out.len == 0) client_close(c);
    }
    if (fds[0].revents & POLLIN) {
      for (;;) {
        int fd = accept4(listener, NULL, NULL, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) break;
        int c = 0;
        while (c < MAX_CLIENTS && clients[c].fd >= 0) ++c;
        if (c == MAX_CLIENTS) {
          close(fd);
          continue;
        }
        clients[c].fd = fd;
        clients[c].agent = -1;
        clients[c].closing = 0;
      }
    }
    assign_agents();
    for (int a = 0; a < nagents; ++a)
      if (buf_flush(&agents[a].out, agents[a].fd) != 0) stopping = 1;
  }
  for (int i = 0; i < nuarts; ++i)
    if (uarts[i].dropped > 0) {
      fprintf(stderr, "tlx-kernel-host: %ld bytes for UART %s dropped (it did not take them)\n",
              uarts[i].dropped, argv[i]);
      status = 1;
    }
  unlink(addr.sun_path);
  return status;
}

/* ---- run ------------------------------------------------------------ */

/* Appends s to b in single quotes for the shell. */
static void add_quoted(struct buf* b, const char* s) {
  buf_add(b, "'", 1);
  for (const char* p = s; *p; ++p) {
    if (*p == '\'')
      buf_add(b, "'\\''", 4);
    else
      buf_add(b, p, 1);
  }
  buf_add(b, "'", 1);
}

static int valid_name(const char* s, size_t n) {
  if (n == 0 || (s[0] >= '0' && s[0] <= '9')) return 0;
  for (size_t i = 0; i < n; ++i) {
    char c = s[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
      return 0;
  }
  return 1;
}

static int removed(const char* entry, char** unset, int nunset) {
  const char* eq = strchr(entry, '=');
  size_t n = eq ? (size_t)(eq - entry) : strlen(entry);
  for (int i = 0; i < nunset; ++i)
    if (strlen(unset[i]) == n && strncmp(entry, unset[i], n) == 0) return 1;
  return 0;
}

static int run(int argc, char** argv) {
  if (argc < 1)
    die("usage: run DIR [-t SECONDS] [-C DIR] [-e NAME=VALUE]... [-u NAME]... -- PROGRAM ARGS...");
  const char* dir = argv[0];
  long seconds = 300;
  const char* cwd = NULL;
  char* sets[64];
  char* unset[64];
  int nsets = 0, nunset = 0, i = 1;
  for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
    if (i + 1 >= argc) die("option %s needs a value", argv[i]);
    if (strcmp(argv[i], "-t") == 0) {
      seconds = atol(argv[++i]);
      if (seconds <= 0) die("bad time limit %s", argv[i]);
    } else if (strcmp(argv[i], "-C") == 0) {
      cwd = argv[++i];
    } else if (strcmp(argv[i], "-e") == 0 && nsets < 64) {
      sets[nsets++] = argv[++i];
      unset[nunset++] = sets[nsets - 1]; /* replaces an inherited value */
    } else if (strcmp(argv[i], "-u") == 0 && nunset < 64) {
      unset[nunset++] = argv[++i];
    } else {
      die("unknown option %s", argv[i]);
    }
  }
  if (i + 1 >= argc) die("no program to run");
  char here[4096];
  if (!cwd) cwd = getcwd(here, sizeof here) ? here : "/";

  /* The script: the working directory, then the program with exactly this
   * environment under the guest's time limit (busybox applets: the guest
   * may not run the host's programs). */
  struct buf script = {0};
  buf_str(&script, "cd ");
  add_quoted(&script, cwd);
  buf_str(&script, " || exit 125\nexec \"$BB\" timeout -s KILL ");
  char num[32];
  snprintf(num, sizeof num, "%ld", seconds);
  buf_str(&script, num);
  buf_str(&script, " \"$BB\" env -i");
  for (char** e = environ; *e; ++e) {
    const char* eq = strchr(*e, '=');
    if (!eq || !valid_name(*e, (size_t)(eq - *e)) || removed(*e, unset, nunset)) continue;
    buf_str(&script, " ");
    if (strncmp(*e, "PATH=", 5) == 0) {
      /* The guest's own tools first (an aarch64 guest's shell and
       * utilities); empty on a guest that runs the host's. */
      buf_str(&script, "PATH=\"$GUEST_PATH\"");
      add_quoted(&script, *e + 5);
      continue;
    }
    add_quoted(&script, *e);
  }
  for (int k = 0; k < nsets; ++k) {
    const char* eq = strchr(sets[k], '=');
    if (!eq || !valid_name(sets[k], (size_t)(eq - sets[k]))) die("bad -e %s", sets[k]);
    buf_str(&script, " ");
    add_quoted(&script, sets[k]);
  }
  for (++i; i < argc; ++i) {
    buf_str(&script, " ");
    add_quoted(&script, argv[i]);
  }
  buf_str(&script, "\n");

  const double deadline = now_s() + seconds + 30;
  int fd = connect_until(dir, "run.sock", now_s() + 5);
  if (fd < 0) die("no guest is running (%s/run.sock)", dir);
  char header[64];
  int hn = snprintf(header, sizeof header, "RUN %zu\n", script.len);
  struct buf req = {0};
  buf_add(&req, header, (size_t)hn);
  buf_add(&req, script.data, script.len);
  for (size_t off = 0; off < req.len;) {
    ssize_t w = send(fd, req.data + off, req.len - off, MSG_NOSIGNAL);
    if (w <= 0) die("the guest went away");
    off += (size_t)w;
  }
  free(req.data);
  free(script.data);

  /* The reply: "OUT n\n", n bytes to our standard output, "EXIT s\n". */
  char line[64];
  size_t lineLen = 0;
  unsigned long long left = 0;
  int phase = 0; /* 0 header, 1 body, 2 trailer */
  for (;;) {
    struct pollfd p = {fd, POLLIN, 0};
    double wait = deadline - now_s();
    if (wait <= 0) {
      fprintf(stderr, "tlx-kernel-host: no answer from the guest within %ld s\n", seconds + 30);
      return 124;
    }
    if (poll(&p, 1, (int)(wait * 1000) + 1) <= 0) continue;
    char chunk[65536];
    ssize_t r = recv(fd, chunk, sizeof chunk, 0);
    if (r <= 0) {
      fflush(stdout);
      die("the guest went away while running %s", argv[0]);
    }
    for (ssize_t k = 0; k < r;) {
      if (phase == 1) {
        size_t take = (size_t)(r - k) < left ? (size_t)(r - k) : (size_t)left;
        fwrite(chunk + k, 1, take, stdout);
        left -= take;
        k += (ssize_t)take;
        if (left == 0) phase = 2;
        continue;
      }
      char c = chunk[k++];
      if (lineLen < sizeof line - 1) line[lineLen++] = c;
      if (c != '\n') continue;
      line[lineLen] = '\0';
      lineLen = 0;
      if (phase == 0 && sscanf(line, "OUT %llu", &left) == 1) {
        phase = left > 0 ? 1 : 2;
      } else if (phase == 2) {
        int status = 125;
        if (sscanf(line, "EXIT %d", &status) != 1) die("garbled answer from the guest");
        fflush(stdout);
        /* busybox timeout's SIGKILL: the time limit ran out */
        return status == 137 ? 124 : status;
      }
    }
  }
}

int main(int argc, char** argv) {
  if (argc >= 2 && strcmp(argv[1], "serve") == 0) return serve(argc - 2, argv + 2);
  if (argc >= 2 && strcmp(argv[1], "run") == 0) return run(argc - 2, argv + 2);
  fprintf(stderr,
          "usage: tlx-kernel-host serve DIR AGENTS [UART_A UART_B]...\n"
          "       tlx-kernel-host run DIR [-t SECONDS] [-C DIR] [-e NAME=VALUE]... [-u NAME]... -- "
          "PROGRAM ARGS...\n");
  return 2;
}
