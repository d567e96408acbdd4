// Drives an Engine without links: feeds bytes, collects what is due at a
// given time, and keeps a private storage directory.
#ifndef TLXSIM_ENGINETESTUTIL_H
#define TLXSIM_ENGINETESTUTIL_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Engine.h"
#include "EngineState.h"

namespace tlxsim {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sends bytes at t0 + atMs on a link.
  void Send(const std::string& bytes, Link link = Link::Serial, int atMs = 0);
  // Sends bytes as the host's HID writes do: 1024-byte reports, zero padded.
  void SendHid(const std::string& bytes, int atMs = 0);
  // Everything due on the link by t0 + byMs, concatenated.
  std::string Out(int byMs = 0, Link link = Link::Serial);
  std::vector<Chunk> Chunks(int byMs = 0, Link link = Link::Serial);
  // Time of the next scheduled output, in ms after t0 (-1: none).
  long NextDueMs(Link link = Link::Serial);
  // Sends and returns everything due by then + byMs.
  std::string Exchange(const std::string& bytes, Link link = Link::Serial, int byMs = 0);

  EngineImpl& impl() { return engine.Impl(); }

  Engine engine;
  Clock::time_point t0;
  std::string storage;
  std::vector<std::string> log;
};

std::string B(const char* s, size_t n);  // bytes with embedded NULs
extern const std::string kAck;
extern const std::string kNak;

}  // namespace tlxsim

#endif
