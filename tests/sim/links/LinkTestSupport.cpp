#include "LinkTestSupport.h"

#include <chrono>
#include <mutex>
#include <random>
#include <thread>

#include <vector>
#include "EngineState.h"

namespace linktest {

const std::string kAck("\x02\xaa\x03", 3);
const std::string kCheckR40("\x1b[0CHECKR40");

Exchange Trans(int port, char bp, const std::string& cmd, EndConditionFn cond, int timeoutMs) {
  std::vector<char> command(cmd.begin(), cmd.end());
  command.push_back('\0');
  std::vector<char> reply(4096, 0);
  int len = static_cast<int>(reply.size());
  Exchange e;
  e.result = TransProc(port, bp, 9600, command.data(), static_cast<int>(cmd.size()), reply.data(),
                       &len, cond, timeoutMs);
  if (e.result == 0) e.reply.assign(reply.data(), static_cast<size_t>(len));
  return e;
}

std::string RandomBytes(size_t n) {
  std::mt19937 rng(static_cast<unsigned>(n));
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  bytes[0] = 'x';
  return bytes;
}

std::string StoredFile(tlxsim::Engine& engine, const std::string& name) {
  tlxsim::EngineImpl& impl = engine.Impl();
  std::lock_guard<std::mutex> lock(impl.mu);
  std::string bytes;
  if (!impl.ReadTerminalFile(impl.MediaPath(255, name), &bytes)) return "<missing>";
  return bytes;
}

std::vector<tlxsim::Received> Find(const std::vector<tlxsim::Received>& history,
                                   const std::string& bytes) {
  std::vector<tlxsim::Received> found;
  for (const auto& r : history)
    if (r.bytes == bytes) found.push_back(r);
  return found;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace linktest
