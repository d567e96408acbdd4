#include "EngineTestUtil.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace tlxsim {

const std::string kAck("\x02\xaa\x03", 3);
const std::string kNak("\x02U\x03", 3);

std::string B(const char* s, size_t n) { return std::string(s, n); }

void EngineTest::SetUp() {
  char tmpl[] = "/tmp/tlxsim-engine-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  storage = tmpl;
  engine.SetStorageDir(storage);
  engine.SetLogger([this](const std::string& line) { log.push_back(line); });
  t0 = Clock::now();
}

void EngineTest::TearDown() {
  std::error_code ec;
  std::filesystem::remove_all(storage, ec);
}

void EngineTest::Send(const std::string& bytes, Link link, int atMs) {
  engine.ReceiveAt(link, bytes.data(), bytes.size(), t0 + std::chrono::milliseconds(atMs));
}

void EngineTest::SendHid(const std::string& bytes, int atMs) {
  size_t sent = 0;
  do {
    std::string report(1024, '\0');
    size_t n = std::min<size_t>(1024, bytes.size() - sent);
    report.replace(0, n, bytes, sent, n);
    Send(report, Link::Hid, atMs);
    sent += n;
  } while (sent < bytes.size());
}

std::vector<Chunk> EngineTest::Chunks(int byMs, Link link) {
  return engine.Poll(link, t0 + std::chrono::milliseconds(byMs), nullptr);
}

std::string EngineTest::Out(int byMs, Link link) {
  std::string r;
  for (const Chunk& c : Chunks(byMs, link)) r += c.hangup ? std::string("<HANGUP>") : c.bytes;
  return r;
}

long EngineTest::NextDueMs(Link link) {
  Clock::time_point next;
  engine.Poll(link, t0 - std::chrono::hours(1), &next);
  if (next == Clock::time_point::max()) return -1;
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(next - t0).count());
}

std::string EngineTest::Exchange(const std::string& bytes, Link link, int byMs) {
  if (link == Link::Hid)
    SendHid(bytes);
  else
    Send(bytes, link);
  return Out(byMs, link);
}

}  // namespace tlxsim
