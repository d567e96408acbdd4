// The terminal's serial line: a pseudo-terminal whose slave is reachable as
// <dir>/ttyS<k> for every served port number k+1, so that a host with
// TLX_SERIAL_PATH=<dir>/ttyS%d opens it like a real serial port. A thread
// moves bytes between the master side and the engine. When the host closes
// the slave, the engine hears of it (LinkClosed), as on the USB side.
//
// Or the far end of a real line (UseDevice): a device whose bytes travel to
// and from the serial port the host opens, e.g. a UART or channel joined to
// the host's UART by a virtual machine. The host's device is watched for
// its closes the same way.
#ifndef TLXSIM_SERIALLINK_H
#define TLXSIM_SERIALLINK_H

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Engine.h"
#include "PacedLine.h"
#include "Wakeup.h"

namespace tlxsim {

class SerialLink {
 public:
  // ports: the port numbers (1-based) the terminal answers on.
  SerialLink(Engine& engine, std::string dir, std::vector<int> ports);
  ~SerialLink();
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // Creates the pty and the links and starts the thread. Throws
  // std::runtime_error when the pty or a link cannot be made.
  void Start();
  // Ends the thread, closes the pty and removes the links.
  void Stop();

  // Before Start(): serve the line on `device` (opened raw, never blocking)
  // instead of a pty. `hostPath` is the device the host opens for the served
  // port, `pattern` its naming (as TLX_SERIAL_PATH); no links are made. A
  // real line cannot be hung up from this end: a hangup chunk only drops
  // what was due.
  void UseDevice(std::string device, std::string hostPath, std::string pattern);
  bool OnDevice() const { return !device_.empty(); }

  // Pattern for TLX_SERIAL_PATH: "<dir>/ttyS%d" (on a device: the host's).
  std::string PathPattern() const;
  // Path of the current slave (changes after a hangup).
  std::string SlavePath() const;
  const std::vector<int>& Ports() const { return ports_; }
  // Number of hangups carried out (the pty was re-created this often).
  int Hangups() const { return hangups_; }
  // Makes the thread look at the engine's output now (the engine's notify).
  void Wake() { wake_.Signal(); }
  // Before Start(): bytes travel at the rate the host set on the line, 10
  // bit times per byte, in both directions.
  void SetPaced(bool paced) { paced_ = paced; }
  bool Paced() const { return paced_; }
  // The rate the host set on the line (bits per second).
  long LineRate() const;

 private:
  void OpenLine();  // the pty, or the device
  void OpenPty();   // new master/slave pair, links re-pointed
  void OpenDevice();
  void ClosePty();
  void Run();
  void ReadMaster();
  void WatchSlave();  // host opens/closes of the slave, through inotify
  void ReadWatch();
  void FlushOutput();
  void DeliverPaced(Clock::time_point now);  // inbound bytes whose time has come
  void Closed();                             // a host close, in line order

  Engine& engine_;
  std::string dir_;
  std::vector<int> ports_;
  int master_ = -1;
  int slave_ = -1;  // held open so the master never sees a hangup between host opens
  int inotify_ = -1;
  int watch_ = -1;
  mutable std::mutex pathLock_;
  std::string slavePath_;
  std::string device_;       // UseDevice: the line's far end
  std::string hostPath_;     // UseDevice: what the host opens
  std::string hostPattern_;  // UseDevice: the host's naming
  std::string pending_;      // answer bytes the pty did not take yet
  bool paced_ = false;
  PacedLine in_;   // paced: host bytes on their way to the engine
  PacedLine out_;  // paced: answer bytes on their way to the host
  Wakeup wake_;
  std::atomic<bool> stop_{false};
  std::atomic<int> hangups_{0};
  std::thread thread_;
};

}  // namespace tlxsim

#endif
