// The terminal's state behind tlxsim::Engine, exposed for tests and the
// tlx-sim program's options. Callers that touch it while links run hold
// `mu`.
#ifndef TLXSIM_ENGINESTATE_H
#define TLXSIM_ENGINESTATE_H

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "CommandParser.h"
#include "Engine.h"

namespace tlxsim {

struct EvaluatorHeader {
  std::string tellerName;  // GBK bytes as received
  std::string tellerNo;
  int stars = 0;
  std::string photo;
};

struct TerminalState {
  std::string model = "R40";  // "R40" or "k60": the CHECK probe it acknowledges
  // Sent between STX and ETX as they stand.
  std::string versionJson = "{\"Version\":{\"app\":{\"version\":\"TLX-1.4.2\"}}}";
  std::string updateStatusJson = "{\"UpdateResult\":\"Success\",\"UpdateDetail\":\"\"}";
  int volumeSystem = 3;   // 0..5
  int volumeKeyTone = 8;  // 0..15
  int volumeMedia = 8;    // 0..15
  int restarts = 0;
  int globalFirst = 1, globalSecond = 1;
  bool pqcStarted = false;
  std::map<int, int> display;  // module digit -> 0 hidden / 1 shown (SETDISP)
  // PIN pad
  int pinLength = 6;                                    // 4..14
  int pinMode = 0;                                      // plain entry mode 0/1
  int pinTimeout = 30;                                  // seconds
  std::array<std::string, 16> masterKeys;               // empty: not loaded
  std::map<std::pair<int, int>, std::string> workKeys;  // clear work keys
  int activeMaster = -1, activeWork = -1;
  bool pinEntry = false;  // between a start and 0x83
  // Tag byte of PIN block replies: 0 the one the block's length calls for
  // (0x10 up to 8 bytes, 0x20 longer); any other value is sent instead.
  int pinBlockTag = 0;
  // Module timeouts in seconds ("\x1b[m;%dT"), modules 2, 4, 5.
  std::map<int, int> moduleTimeout{{2, 30}, {4, 30}, {5, 30}};
  // Interactions
  std::string infoText;  // last information text, decoded (GBK bytes)
  EvaluatorHeader evaluator;
  int signKind = 0, signTimeout = 0, signatures = 0;  // last signature request
  // Link level
  char selectedChannel = 'A';  // port-sharing unit's selected channel
  char terminalChannel = 0;    // 0: answer on any channel
  // Transfers
  size_t pullPacketSize = 3000;  // payload bytes per pulled data packet
};

struct Scheduled {
  Clock::time_point due;
  uint64_t seq = 0;
  Chunk chunk;
  int module = 0;        // interaction module it answers (for cancellation)
  bool secret = false;   // PIN material: masked in the log
  int signKind = 0;      // a signature completes when this answer goes out
  uint64_t command = 0;  // number of the command it answers
  uint64_t prompt = 0;   // the scripted answer of this prompt
};

// Transfer state of one link.
struct LinkTransfer {
  // Serial DOWNLOAD blocks
  bool blocks = false;
  int blockType = 0;
  std::string blockName;
  int32_t blockTotal = 0, blockNext = 1;
  std::string blockData;
  // HID packets
  bool hidMode = false;     // after HIDCHANGE
  bool hidStarted = false;  // after a start packet
  std::string hidData;
  // Pull
  bool pulling = false;
  std::string pullData;
  size_t pullOffset = 0;
  int pullStage = 0;  // 1 start sent, 2 data, 3 end sent
  Fault pullFault;
  bool pullBadSent = false;
  int pullPacketsSent = 0;   // packets of this pull sent so far
  uint64_t pullCommand = 0;  // number of the PULLFILE command
};

// A transfer packet: 0x02, type, XOR of the payload (inverted when
// badChecksum), 3-byte length MSB first, payload.
std::string MakePacket(int type, const std::string& payload, bool badChecksum = false);

class EngineImpl {
 public:
  mutable std::mutex mu;
  TerminalState state;
  Customer customer;
  std::string storageDir = ".";

  // Host path of a terminal path ("/tmp/hw.png" -> <storage>/tmp/hw.png);
  // empty for names that would leave the storage directory.
  std::string HostPath(const std::string& terminalPath) const;
  // Terminal path where a file of a media type is kept; empty if refused.
  std::string MediaPath(int mediaType, const std::string& name) const;
  bool ReadTerminalFile(const std::string& terminalPath, std::string* bytes) const;
  bool WriteTerminalFile(const std::string& terminalPath, const std::string& bytes);
  std::vector<std::string> MediaFiles(int mediaType) const;  // sorted names
  bool HasUpgradePackage() const;

  // --- machinery used by Engine (called with mu held) ---
  void Receive(Link link, const char* data, size_t n, Clock::time_point now);
  std::vector<Chunk> Poll(Link link, Clock::time_point now, Clock::time_point* nextDue);
  void LinkClosed(Link link);
  void SetChatter(Link link, bool on);
  std::string ChatterBytes(Link link) const;
  std::vector<std::string> TakeLog();
  bool TakeNotify();
  std::vector<PromptEvent> TakeEvents();
  bool AnswerPrompt(uint64_t id, const std::string& value, const std::vector<Stroke>* strokes,
                    Clock::time_point now);

  std::map<std::string, Fault> faults;
  bool chatter[2] = {false, false};  // by link index, see Engine::SetChatter
  std::vector<Received> history;
  bool logging = false;
  bool liveCustomer = false;  // the person at the window answers
  bool prompting = false;     // someone listens to prompt events

  // Callbacks, under their own lock: they run outside `mu`.
  std::mutex cbMu;
  std::function<void(const std::string&)> logFn;
  std::function<void()> notifyFn;
  std::function<void(const PromptEvent&)> promptFn;
  // Serialises logger calls from the two link threads (recursive: a logger
  // may call into the engine).
  std::recursive_mutex logCallMu;

 private:
  struct Reply {
    std::string bytes;
    int delayMs = 0;
    int module = 0;
    bool secret = false;
    int signKind = 0;
    std::string negative = std::string("\x02U\x03", 3);
    uint64_t prompt = 0;  // the prompt this answers (its end is told when it goes out)
  };
  // A prompt waiting for its answer.
  struct OpenPrompt {
    Prompt prompt;
    int module = 0;       // 1 PIN pad, 2 screen, 4 evaluator, 5 keypad
    Fault fault;          // live: applied to the answer when it is made
    Reply timeoutReply;   // live: sent at the deadline (empty: nothing)
    Reply answer;         // live: the answer's form (bytes filled in on answer)
    std::string account;  // PIN block: account digits; option in `option`
    int option = 0;
    bool scheduled = false;        // scripted: its answer is in the schedule
    bool scriptedTimeout = false;  // that answer is the terminal's timeout answer
    uint64_t command = 0;
    Clock::time_point deadline;
  };
  // Opens a prompt for the customer; with the scripted customer, `scripted`
  // is its answer (already timed; empty bytes: no answer) and goes out with
  // the fault applied. Returns the prompt id.
  uint64_t StartPrompt(Link link, Clock::time_point now, OpenPrompt p, const Fault& f,
                       Reply scripted, bool scriptedTimesOut);
  void EndPrompt(size_t index, PromptEnd end);
  void EndPrompts(Link link, int module, PromptEnd end);
  void PromptDeadlines(Link link, Clock::time_point now);
  Clock::time_point NextPromptDeadline(Link link) const;
  bool PinAnswer(OpenPrompt& p, const std::string& digits, Reply* r);
  OpenPrompt PinPrompt(PromptKind kind, int voicePrompt) const;
  OpenPrompt StatusPrompt(PromptKind kind, int module, const Answer& a) const;
  int ModuleTimeoutMs(int module) const;
  void StatusAnswer(Link link, Clock::time_point now, const Fault& f, OpenPrompt p, const Answer& a,
                    const std::string& answer);
  void Dispatch(Link link, const ParsedCommand& c, Clock::time_point now);
  Fault TakeFault(const std::string& key, const std::string& generic = std::string());
  Fault PeekFault(const std::string& key, const std::string& generic = std::string()) const;
  void Send(Link link, Clock::time_point now, const Fault& f, Reply r);
  void Schedule(Link link, Clock::time_point due, Chunk chunk, int module, bool secret,
                int signKind = 0, uint64_t prompt = 0);
  void CancelModule(Link link, int module);
  void Log(const std::string& line);

  // Command families, one source file each.
  void DeviceCommand(Link link, const ParsedCommand& c, Clock::time_point now);
  void PinPadLine(Link link, const ParsedCommand& c, Clock::time_point now);
  void PinPadModule(Link link, const ParsedCommand& c, Clock::time_point now);
  void PinEntryControl(Link link, const ParsedCommand& c, Clock::time_point now);
  void Interaction(Link link, const ParsedCommand& c, Clock::time_point now);
  void KeypadLine(Link link, const ParsedCommand& c, Clock::time_point now);
  void MediaCommand(Link link, const ParsedCommand& c, Clock::time_point now);
  void BlockDownload(Link link, const ParsedCommand& c, Clock::time_point now);
  void HidPacket(Link link, const ParsedCommand& c, Clock::time_point now);
  void PullStart(Link link, const ParsedCommand& c, Clock::time_point now);
  void PullResponse(Link link, const ParsedCommand& c, Clock::time_point now);
  void PullNext(Link link, Clock::time_point now);
  bool PullGoneAt(LinkTransfer& t, Clock::time_point now, Link link);
  void CompleteSignature(int kind);
  bool PinBlockReply(const std::string& pin, const std::string& account, int option,
                     std::string* reply);

  static int Index(Link link) { return link == Link::Hid ? 1 : 0; }
  CommandParser parsers_[2] = {CommandParser(false), CommandParser(true)};
  std::vector<Scheduled> out_[2];
  LinkTransfer transfer_[2];
  uint64_t seq_ = 0;
  // Commands are numbered per engine. On serial the host sends the channel
  // reset right before every close, so the number of the last reset marks
  // where the last closed session ended.
  uint64_t commands_ = 0;
  uint64_t lastReset_[2] = {0, 0};
  std::vector<std::string> log_;
  bool notify_ = false;
  std::vector<OpenPrompt> prompts_;
  uint64_t promptSeq_ = 0;
  std::vector<PromptEvent> events_;
  std::vector<Stroke> signStrokes_;  // what the customer drew for the signature under way
};

}  // namespace tlxsim

#endif
