// The far end of a serial link for tests: a pseudo-terminal whose slave is
// reachable as serial port 1 (or 2) through TLX_SERIAL_PATH, pointing at a
// scratch directory with the links "tty0" and "tty1" to the slave.
//
// On a machine with a real line (TLXSIM_SERIAL_DEVICES names the far end
// of serial port 1, as for the virtual terminal), the links lead to the
// real port 1 instead (by TLX_SERIAL_PATH as found, else /dev/ttyS0) and
// the far end device plays the master.
#ifndef TLX_TESTS_PTY_PEER_H
#define TLX_TESTS_PTY_PEER_H

#include <string>

#include "temp_dir.h"

class PtyPeer {
 public:
  PtyPeer();
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  int master() const { return master_; }
  // The test's own descriptor of the slave, for tcgetattr.
  int slave() const { return slave_; }
  const std::string& slaveName() const { return slaveName_; }
  const TempDir& dir() const { return dir_; }

  // Sends bytes towards the library.
  void Send(const std::string& bytes);
  // Collects what the library sent until `quietMs` pass without a byte or
  // `maxBytes` arrived.
  std::string Receive(int quietMs = 300, size_t maxBytes = 65536);
  // Collects exactly n bytes (or fewer if nothing comes for waitMs).
  std::string ReceiveN(size_t n, int waitMs = 3000);

 private:
  void OpenPty();
  void OpenRealLine(const std::string& farEnd);

  TempDir dir_;
  int master_ = -1;
  int slave_ = -1;
  std::string slaveName_;
  std::string oldEnv_;
  bool hadEnv_ = false;
};

#endif
