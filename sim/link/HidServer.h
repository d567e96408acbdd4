// The terminal's USB side: serves the libusb stand-in over a Unix socket.
// Each OUT report goes to the engine; the engine's answers go back as
// 1024-byte IN reports to the handle that claimed the interface. A hangup
// chunk makes the device vanish: open handles get "gone", and the device is
// missing from the next device list (it re-appears in the one after, as if
// re-plugged).
#ifndef TLXSIM_HIDSERVER_H
#define TLXSIM_HIDSERVER_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <thread>

#include "AnswerShape.h"
#include "Engine.h"
#include "Wakeup.h"

namespace tlxsim {

class HidServer {
 public:
  HidServer(Engine& engine, std::string socketPath, uint16_t vendorId, uint16_t productId);
  ~HidServer();
  HidServer(const HidServer&) = delete;
  HidServer& operator=(const HidServer&) = delete;

  // Binds the socket and starts the thread; throws std::runtime_error.
  void Start();
  // Ends the thread, closes every connection and removes the socket.
  void Stop();
  void Wake() { wake_.Signal(); }
  // Before Start(): transfers keep full-speed USB frame timing (at least one
  // 1 ms frame per bulk transfer, 64 bytes per packet, 19 packets a frame).
  void SetPaced(bool paced) { paced_ = paced; }
  bool Paced() const { return paced_; }
  // Before Start(): how answers are cut into IN transfers (default: whole
  // 1024-byte reports), as on the gadget.
  void SetAnswerShape(AnswerShape shape) { shape_ = shape; }

  const std::string& SocketPath() const { return path_; }
  // Number of times the device vanished.
  int Vanishes() const { return vanishes_; }

 private:
  struct Client {
    bool opened = false;
  };

  void Run();
  void Accept();
  bool HandleFrame(int fd);  // false: drop the connection
  void Drop(int fd);
  void Deliver(const Chunk& c);
  void Vanish();
  // Tells the claiming host when the terminal starts or stops chattering:
  // the stand-in then repeats the noise packet on every IN transfer that
  // finds nothing else, as a device's endpoint buffer would, however fast
  // the host reads.
  void TellChatter();
  // Paced: when the transfer of n bytes given now ends.
  Clock::time_point OnTheBus(size_t n);
  void CompleteTransfers(Clock::time_point now);
  Clock::time_point NextTransfer() const;

  Engine& engine_;
  std::string path_;
  uint16_t vendorId_;
  uint16_t productId_;
  int listen_ = -1;
  std::map<int, Client> clients_;
  int claimedBy_ = -1;
  int chatterTold_ = -1;  // the connection told that the terminal chatters
  int listsMissing_ = 0;  // device lists that still leave the device out
  Wakeup wake_;
  std::atomic<bool> stop_{false};
  std::atomic<int> vanishes_{0};
  // Paced transfers under way, each ending at its time: OUT reports for
  // the engine (the host's transfer ends then) and IN reports for the host.
  struct Transfer {
    Clock::time_point end;
    int fd;
    bool out;
    std::string report;
    bool vanish = false;  // the device goes once the transfers before have ended
  };
  bool paced_ = false;
  AnswerShape shape_ = AnswerShape::Padded;
  Clock::time_point busEpoch_{};  // start of frame 0
  long long lastFrame_ = -1;      // the frame the last transfer ended in
  std::deque<Transfer> transfers_;
  std::thread thread_;
};

}  // namespace tlxsim

#endif
