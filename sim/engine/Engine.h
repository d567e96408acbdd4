// The virtual terminal's engine: takes the bytes the host writes on a link
// and produces, with timing, the bytes the terminal answers. It keeps the
// terminal's state (model, versions, volumes, keys, files, ...) and answers
// interactions through a scriptable customer. Links (pty, libusb stand-in)
// feed it and carry its output; it knows nothing about file descriptors.
//
// Thread-safe: the serial and the HID link may call it from their own
// threads; both talk to the same terminal.
#ifndef TLXSIM_ENGINE_H
#define TLXSIM_ENGINE_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Signature.h"

namespace tlxsim {

using Clock = std::chrono::steady_clock;

enum class Link { Serial = 1, Hid = 2 };

// One piece of output. On HID every chunk starts a new 1024-byte report
// (a chunk longer than a report spans several; the last one is padded).
struct Chunk {
  std::string bytes;
  bool hangup = false;  // serial: drop the line; HID: the device vanishes
};

enum class FaultKind {
  None,
  Silence,          // no answer at all
  Refuse,           // "\x02U\x03" (or the command's own negative form)
  Garbage,          // bytes that are no valid answer
  Truncate,         // the answer without its last byte(s)
  ExtraBytes,       // the answer followed by more bytes in the same chunk
  Late,             // the answer after lateMs
  BadPullChecksum,  // pull: a data packet with a wrong checksum byte
  Vanish,           // HID: device disappears (mid-transfer for transfers)
  Hangup,           // serial: the line hangs up
  Trickle,          // the answer two bytes at a time, lateMs (default 30) apart
};

struct Fault {
  FaultKind kind = FaultKind::None;
  int lateMs = 0;
  int times = -1;  // number of matching commands it applies to; -1 = always
  // 0: the first matching command (Vanish and Hangup keep to the middle of
  // a transfer). n >= 1: the n-th matching command from now, whatever its
  // place; for PULLFILE the n-th packet the terminal sends (1 = start).
  int at = 0;
};

// One answer of the customer. answers=false: the customer does nothing and
// the terminal's own timeout answer comes when the module timeout expires.
struct Answer {
  bool answers = true;
  int delayMs = 0;
  std::string value;
};

// The scripted customer; defaults are a pleasant customer for the demo.
struct Customer {
  Answer info{true, 1000, "B0F"};                 // confirms
  Answer evaluator{true, 1000, "B1F"};            // satisfied
  Answer keypadAmount{true, 1000, "100.00"};      // "\x1bGM\r\n"
  Answer keypadPhone{true, 1000, "13800138000"};  // "\x1bFA\r\n"
  Answer pin{true, 1000, "123456"};
  Answer sign{true, 1000, ""};
};

// Something the terminal puts in front of the customer and waits on.
enum class PromptKind {
  Info,       // information text: confirm or cancel
  Evaluator,  // rate the teller: satisfied, average, dissatisfied
  Amount,     // numeric keypad, amount ("\x1bGM\r\n")
  Phone,      // numeric keypad, phone number ("\x1bFA\r\n")
  Pin,        // PIN pad, plain PIN (0x82 / 0x81)
  PinBlock,   // PIN pad, encrypted PIN block ("\x1bF..", "\x1bI..")
  Sign,       // signature on a downloaded document
};

struct Prompt {
  uint64_t id = 0;
  PromptKind kind = PromptKind::Info;
  Link link = Link::Serial;
  // Time until the terminal's own end of the prompt: its timeout answer
  // (information, evaluator, keypad), the refusal (signature) or silence
  // (PIN pad).
  int timeoutMs = 0;
  std::string text;  // Info: the information text (GBK bytes)
  // Evaluator: the header the host set (name in GBK bytes); photoFile is
  // the host path of the stored teller photo of that name, or empty.
  std::string tellerName, tellerNo, photo, photoFile;
  int stars = 0;
  // PIN pad: voice prompt (0 "enter", 1 "enter again"), the most digits the
  // pad takes, plain entry mode.
  int voicePrompt = 0, pinLength = 6, pinMode = 0;
  // Sign: document kind (1 html, 2 jpg, 3 pdf) and its host path.
  int signKind = 0;
  std::string documentFile;
  // Who answers: the scripted customer, or the person at the window.
  bool scripted = true;
  int scriptedDelayMs = 0;
  bool scriptedAnswers = false;         // false: the scripted customer lets it time out
  std::string scriptedValue;            // keypad value, status answer; never a PIN
  int scriptedDigits = 0;               // PIN pad: how many digits it types
  std::vector<Stroke> scriptedStrokes;  // Sign: what it draws
};

enum class PromptEnd {
  Answered,   // the customer's answer went out
  TimedOut,   // the terminal's own timeout ended it
  Cancelled,  // the host closed the module, ended PIN entry or closed the link
  Closed,     // the line went down (serial hangup, USB device gone)
};

struct PromptEvent {
  bool started = true;  // false: the prompt `prompt.id` ended with `end`
  Prompt prompt;        // complete when started; only id and kind when ended
  PromptEnd end = PromptEnd::Answered;
};

// A command as the terminal received it (HID padding removed).
struct Received {
  Link link;
  std::string bytes;
  char channel;       // serial: the channel letter selected when it arrived ('A' after reset)
  bool heard = true;  // false: another channel was selected than the terminal's own
};

class EngineImpl;

class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Directory that holds the terminal's own files (media, /tmp/hw.*, ...).
  void SetStorageDir(const std::string& dir);
  std::string StorageDir() const;

  void SetModel(const std::string& model);  // "R40" or "k60"
  void SetCustomer(const Customer& c);
  Customer GetCustomer() const;

  // Faults by command keyword, e.g. "CHECKR40", "GETDEVICEINFO", "SETVOLUME",
  // "M", "S", "A", "R", "PIN" (0x81/0x82), "F", "I", "2A", "4R", "GM", "FA",
  // "HANDSIGN", "DOWNLOAD", "HIDCHANGE", "PACKET", "PULLFILE", "UPDATE",
  // "DELETE", "QUERYFILE", "GETFILELIST". See sim/README.md for the list.
  void SetFault(const std::string& keyword, const Fault& f);
  void ClearFaults();
  // The terminal sends bytes that answer nothing, without a pause, on a
  // link (a noisy line, a device that babbles) until switched off; on USB
  // as fast as the host takes them.
  void SetChatter(Link link, bool on);
  // One piece of that noise; empty while the link is not chattering.
  std::string ChatterBytes(Link link) const;

  // Bytes the host wrote on a link (HID: whole reports, padding included).
  void Receive(Link link, const char* data, size_t n);
  // The same with an explicit arrival time (tests drive time through this
  // and Poll instead of sleeping).
  void ReceiveAt(Link link, const char* data, size_t n, Clock::time_point now);
  // Output that is due on a link by `now`. *nextDue (if not null) gets the
  // time of the next scheduled output, or Clock::time_point::max().
  std::vector<Chunk> Poll(Link link, Clock::time_point now, Clock::time_point* nextDue);
  // Called (from any thread) whenever new output has been scheduled.
  void SetNotify(std::function<void()> notify);
  // The host closed the serial line / the HID handle: drop pending output
  // that a real terminal would have sent into the void.
  void LinkClosed(Link link);

  // The person at the terminal answers instead of the scripted customer
  // (prompts then wait for AnswerPrompt/AnswerSignature or the timeout).
  void SetLiveCustomer(bool live);
  bool LiveCustomer() const;
  // Told of every prompt that starts and ends, with either customer; called
  // outside the engine's lock from the thread that caused it.
  void SetPromptListener(std::function<void(const PromptEvent&)> listener);
  // The person's answer to an open prompt. Info: "B0F" confirm, "B1F"
  // cancel; Evaluator: "B1F" satisfied, "B2F" average, "B3F" dissatisfied;
  // Amount/Phone: the value typed (digits, '.'); Pin/PinBlock: the digits
  // typed, empty when the customer gives up (the terminal then answers
  // nothing). False when the prompt is no longer open, the value does not
  // fit it, or the scripted customer answers it.
  bool AnswerPrompt(uint64_t id, const std::string& value);
  bool AnswerPromptAt(uint64_t id, const std::string& value, Clock::time_point now);
  // The person signed: the strokes in the 320x160 signature area.
  bool AnswerSignature(uint64_t id, const std::vector<Stroke>& strokes);
  bool AnswerSignatureAt(uint64_t id, const std::vector<Stroke>& strokes, Clock::time_point now);

  std::vector<Received> History() const;
  void ClearHistory();

  // Logger for one readable line per command and per answer (key and PIN
  // material masked). Null: no logging. Called outside the engine's lock,
  // one call at a time even when both links are busy.
  void SetLogger(std::function<void(const std::string&)> log);

  // Direct access to the terminal state for tests and the program's options;
  // declared in EngineState.h.
  EngineImpl& Impl();

 private:
  std::unique_ptr<EngineImpl> impl_;
};

}  // namespace tlxsim

#endif
