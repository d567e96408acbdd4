// One direction of a line that keeps a real line's pace: bytes queued on it
// come off one after another, each a fixed time after the one before, and
// never before they were queued. Marks (for example the host closing the
// line) come off after everything queued before them.
#ifndef TLXSIM_PACEDLINE_H
#define TLXSIM_PACEDLINE_H

#include <cstddef>
#include <deque>
#include <string>

#include "Engine.h"

namespace tlxsim {

class PacedLine {
 public:
  // Bytes that start on the line at `earliest` or when the line is free.
  void Push(const std::string& bytes, Clock::time_point earliest, Clock::duration perByte);
  void PushMark(Clock::time_point earliest);

  struct Due {
    std::string bytes;
    Clock::time_point at;  // when the last of them came off the line
    bool mark = false;
  };
  // The next piece that has come off the line by `now`: bytes of one run,
  // or a mark. False when nothing is due.
  bool TakeDue(Clock::time_point now, Due* out);
  // When to look again: the end of the current run, but at least every
  // millisecond while bytes are coming off; max() when nothing is queued.
  Clock::time_point NextDue(Clock::time_point now) const;
  // When the line is free of everything queued so far.
  Clock::time_point FreeAt() const { return free_; }
  bool Empty() const { return runs_.empty(); }
  size_t Queued() const;
  void Clear();

 private:
  struct Run {
    std::string bytes;
    size_t taken = 0;
    Clock::time_point start;
    Clock::duration perByte{};
    bool mark = false;
  };
  std::deque<Run> runs_;
  Clock::time_point free_{};
};

// Time per byte at 8N1 (10 bit times) for a rate in bits per second.
Clock::duration ByteTime(long baud);

}  // namespace tlxsim

#endif
