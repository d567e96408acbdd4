#include "PacedLine.h"

#include <algorithm>

namespace tlxsim {

Clock::duration ByteTime(long baud) {
  if (baud <= 0) baud = 9600;
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::nanoseconds(10000000000LL / baud));
}

void PacedLine::Push(const std::string& bytes, Clock::time_point earliest,
                     Clock::duration perByte) {
  if (bytes.empty()) return;
  Run r;
  r.bytes = bytes;
  r.start = std::max(earliest, free_);
  r.perByte = perByte;
  free_ = r.start + perByte * static_cast<Clock::rep>(bytes.size());
  runs_.push_back(std::move(r));
}

void PacedLine::PushMark(Clock::time_point earliest) {
  Run r;
  r.start = std::max(earliest, free_);
  r.mark = true;
  free_ = r.start;
  runs_.push_back(std::move(r));
}

bool PacedLine::TakeDue(Clock::time_point now, Due* out) {
  if (runs_.empty()) return false;
  Run& r = runs_.front();
  if (r.mark) {
    if (r.start > now) return false;
    out->bytes.clear();
    out->at = r.start;
    out->mark = true;
    runs_.pop_front();
    return true;
  }
  if (now < r.start + r.perByte * static_cast<Clock::rep>(r.taken + 1)) return false;
  size_t done =
      r.perByte.count() > 0 ? static_cast<size_t>((now - r.start) / r.perByte) : r.bytes.size();
  done = std::min(done, r.bytes.size());
  out->bytes = r.bytes.substr(r.taken, done - r.taken);
  out->at = r.start + r.perByte * static_cast<Clock::rep>(done);
  out->mark = false;
  r.taken = done;
  if (r.taken == r.bytes.size()) runs_.pop_front();
  return true;
}

Clock::time_point PacedLine::NextDue(Clock::time_point now) const {
  if (runs_.empty()) return Clock::time_point::max();
  const Run& r = runs_.front();
  if (r.mark) return r.start;
  const Clock::time_point next = r.start + r.perByte * static_cast<Clock::rep>(r.taken + 1);
  const Clock::time_point end = r.start + r.perByte * static_cast<Clock::rep>(r.bytes.size());
  return std::min(end, std::max(next, now + std::chrono::milliseconds(1)));
}

size_t PacedLine::Queued() const {
  size_t n = 0;
  for (const Run& r : runs_) n += r.bytes.size() - r.taken;
  return n;
}

void PacedLine::Clear() {
  runs_.clear();
  free_ = Clock::time_point{};
}

}  // namespace tlxsim
