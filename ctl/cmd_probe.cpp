// tlxctl probe: where is the terminal, and how is it addressed.
#include <cjson/cJSON.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cancel_on_signal.h"
#include "cli.h"
#include "exit_status.h"
#include "probe.h"
#include "report.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

const int kDefaultCount = 8;

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> out;
  std::string item;
  for (char c : text + ",") {
    if (c == ',' || c == ' ') {
      if (!item.empty()) out.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  return out;
}

std::vector<int> Rates(const Context& ctx) {
  std::vector<int> rates;
  // By default the rates the terminal's own programs offer.
  for (const std::string& r : SplitList(ctx.args.Value("--rates", "9600,115200,1200")))
    rates.push_back(ParseBaud(r, "--rates"));
  if (rates.empty()) throw UsageError("--rates names no rate");
  return rates;
}

std::vector<char> Letters(const Context& ctx) {
  std::vector<char> letters;
  std::string text = ctx.args.Value("--letters", "none");
  if (text == "all") text = "none,A,B,C,K";
  for (const std::string& l : SplitList(text)) {
    char bp = ParseLetter(l, "--letters");
    if (bp == '9') throw UsageError("--letters takes none, A, B, C, K or all");
    letters.push_back(bp);
  }
  if (letters.empty()) throw UsageError("--letters names no channel");
  return letters;
}

std::string Address(const SerialCandidate& c, const Attempt& a) {
  std::string s;
  if (c.pattern != kDefaultSerialPattern) s += "TLX_SERIAL_PATH='" + c.pattern + "' ";
  s += "tlxctl --port " + std::to_string(c.port) + " --baud " + std::to_string(a.baud) + " --bp " +
       LetterName(a.bp);
  return s;
}

std::string IdText(const UsbIdentity& u) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04x:%04x", u.vendorId, u.productId);
  return buf;
}

cJSON* AttemptJson(const Attempt& a) {
  cJSON* o = cJSON_CreateObject();
  cJSON_AddNumberToObject(o, "baud", a.baud);
  cJSON_AddStringToObject(o, "bp", LetterName(a.bp).c_str());
  cJSON_AddNumberToObject(o, "result", a.result);
  cJSON_AddStringToObject(o, "text", TLX_StrError(a.result));
  if (a.result == TLX_OK && !a.model.empty()) cJSON_AddStringToObject(o, "model", a.model.c_str());
  return o;
}

// One line per device for a person; the answering attempts with how to
// address them.
void DescribeSerial(Report& r, const SerialFinding& f, int* found) {
  char headText[512];
  std::snprintf(headText, sizeof headText, "  %-28s ", f.candidate.path.c_str());
  const std::string head = headText;
  cJSON* o = cJSON_CreateObject();
  cJSON_AddStringToObject(o, "path", f.candidate.path.c_str());
  cJSON_AddStringToObject(o, "state", f.state.c_str());
  if (!f.candidate.pattern.empty()) {
    cJSON_AddStringToObject(o, "pattern", f.candidate.pattern.c_str());
    cJSON_AddNumberToObject(o, "port", f.candidate.port);
  }
  if (!f.error.empty()) cJSON_AddStringToObject(o, "error", f.error.c_str());
  cJSON* attempts = cJSON_AddArrayToObject(o, "attempts");
  for (const Attempt& a : f.attempts) cJSON_AddItemToArray(attempts, AttemptJson(a));
  cJSON_AddItemToArray(cJSON_GetObjectItem(r.Object(), "serial"), o);

  if (f.state == "absent") {
    r.Line(head + "absent");
  } else if (f.state == "no-access" || f.state == "not-a-tty" || f.state == "not-addressable") {
    r.Line(head + "not tried: " + f.error);
  } else if (f.state == "silent") {
    std::string rates;
    int last = 0;
    for (const Attempt& a : f.attempts) {
      rates += " " + std::to_string(a.baud) + "/" + LetterName(a.bp);
      last = a.result;
    }
    r.Line(head + "no answer at" + rates + " (last: " + std::to_string(last) + " " +
           TLX_StrError(last) + ")");
  } else {
    bool first = true;
    for (const Attempt& a : f.attempts) {
      if (a.result != TLX_OK) continue;
      ++*found;
      const std::string model = a.model.empty() ? "model not recognised" : "model " + a.model;
      r.Line((first ? head : std::string(head.size(), ' ')) + "answers at " +
             std::to_string(a.baud) + " baud, channel " + LetterName(a.bp) + ": " + model);
      r.Line(std::string(head.size(), ' ') + "address: " + Address(f.candidate, a));
      first = false;
    }
  }
}

void DescribeUsb(Report& r, const UsbFinding& u, int* found) {
  cJSON* o = cJSON_AddObjectToObject(r.Object(), "usb");
  cJSON_AddStringToObject(o, "state", u.state.c_str());
  if (!u.error.empty()) cJSON_AddStringToObject(o, "error", u.error.c_str());
  cJSON* ids = cJSON_AddArrayToObject(o, "identities");
  r.Line("USB identities:");
  for (const UsbIdentity& id : u.identities) {
    cJSON* i = cJSON_CreateObject();
    cJSON_AddStringToObject(i, "id", IdText(id).c_str());
    cJSON_AddBoolToObject(i, "present", id.present);
    if (id.present) {
      cJSON_AddNumberToObject(i, "bus", id.bus);
      cJSON_AddNumberToObject(i, "device", id.address);
    }
    cJSON_AddItemToArray(ids, i);
    if (u.state == "unlisted") continue;
    r.Line("  " + IdText(id) + "  " +
           (id.present ? "present (bus " + std::to_string(id.bus) + ", device " +
                             std::to_string(id.address) + ")"
                       : std::string("absent")));
  }
  if (u.state == "unlisted") {
    r.Line("  the USB devices cannot be listed: " + u.error);
  } else if (u.state == "absent") {
    r.Line("  no USB identity of the terminal is present");
  } else {
    cJSON_AddNumberToObject(o, "result", u.result);
    cJSON_AddStringToObject(o, "text", TLX_StrError(u.result));
    if (u.state == "answers") {
      ++*found;
      if (!u.model.empty()) cJSON_AddStringToObject(o, "model", u.model.c_str());
      r.Line("  answers: " +
             (u.model.empty() ? std::string("model not recognised") : "model " + u.model) +
             "; address: tlxctl --port 0");
    } else {
      r.Line("  present but no answer: " + std::to_string(u.result) + " " + TLX_StrError(u.result));
      if (u.result == TLX_ERR_OPEN)
        r.Line(
            "  (no access to the device? the udev rule of libtlxdev1 gives it to the seat's user)");
    }
  }
}

// Each device as it is tried: on standard output when that is a terminal
// (and not the JSON document), else on standard error.
ProbeProgress Progress(const Context& ctx) {
  FILE* out = !ctx.json && ::isatty(STDOUT_FILENO) ? stdout : stderr;
  return [out](const std::string& line) {
    std::fprintf(out, "tlxctl: probe: %s\n", line.c_str());
    std::fflush(out);
  };
}

int Probe(Context& ctx) {
  const int count =
      ctx.args.Has("--count") ? ParseInt(ctx.args.Value("--count"), "--count") : kDefaultCount;
  if (count < 1 || count > 64) throw UsageError("--count takes 1..64");
  std::vector<SerialCandidate> candidates;
  if (ctx.args.Has("--ports")) {
    for (const std::string& p : ctx.args.Values("--ports"))
      for (const SerialCandidate& c : CandidatesOf(p, count)) candidates.push_back(c);
  } else {
    candidates = DefaultCandidates(count);
  }
  const bool serial = !ctx.args.Has("--no-serial");
  const bool usb = !ctx.args.Has("--no-usb");
  const std::vector<int> rates = Rates(ctx);
  const std::vector<char> letters = Letters(ctx);

  Report r(ctx);
  cJSON_AddArrayToObject(r.Object(), "serial");
  int found = 0;
  if (ctx.args.Has("--list")) {
    r.Line("serial devices the probe tries:");
    for (const SerialCandidate& c : candidates) {
      r.Line("  " + c.path);
      cJSON* o = cJSON_CreateObject();
      cJSON_AddStringToObject(o, "path", c.path.c_str());
      cJSON_AddItemToArray(cJSON_GetObjectItem(r.Object(), "serial"), o);
    }
    return r.Finish(TLX_OK);
  }
  if (serial) {
    std::string rateText, letterText;
    for (int b : rates) rateText += (rateText.empty() ? "" : " ") + std::to_string(b);
    for (char l : letters) letterText += (letterText.empty() ? "" : " ") + LetterName(l);
    r.Line("serial devices tried (rates " + rateText + "; channels " + letterText + "):");
    for (const SerialFinding& f :
         ProbeSerialAll(candidates, rates, letters, ctx.args.Has("--all"), Progress(ctx)))
      DescribeSerial(r, f, &found);
  }
  if (usb && !Interrupted()) DescribeUsb(r, ProbeUsb(), &found);
  if (Interrupted()) r.Line("interrupted: not every device was tried");
  r.Field("found", found);
  r.Line(found == 0 ? std::string("no terminal found")
                    : "found " + std::to_string(found) + " answering address(es)");
  const int status = r.Finish(TLX_OK);
  return found > 0 ? status : kExitNotFound;
}

const Subcommand kCommands[] = {
    {"probe", "Finding the terminal",
     "[--ports PATTERN]... [--count N] [--rates LIST] [--letters LIST] [--all] [--no-usb] "
     "[--no-serial] [--list]",
     "finds the terminal on the serial ports and on USB",
     "Tries the serial devices /dev/ttyS0..7, /dev/ttyUSB0..7 and those of\n"
     "TLX_SERIAL_PATH (or those of each --ports PATTERN, a path with %d for\n"
     "0..N-1 or a plain path) with the online check at every rate of --rates\n"
     "(default 9600,115200,1200: the rates the terminal's programs offer) and\n"
     "channel of --letters (none, A, B, C, K or all; default none), until one\n"
     "answers (--all: every one). A device that does not open as a terminal line\n"
     "is not written to. The terminal lines are tried side by side, each shown as\n"
     "it is tried (on standard error when standard output is not a terminal).\n"
     "Then looks for the USB identities 2fb0:0101, 2fb0:0102 and 0483:5750 and\n"
     "sends the online check on port 0 when one is present. Prints every device\n"
     "tried and how to address what answered; exit status 0 only when a terminal\n"
     "answered, 3 when none did.\n"
     "--list prints the serial devices it would try and opens nothing.",
     "ports=,count=,rates=,letters=,all,no-usb,no-serial,list", 0, 0, Probe},
};

}  // namespace

void AddProbeCommands(std::vector<const Subcommand*>& out) {
  for (const Subcommand& c : kCommands) out.push_back(&c);
}

}  // namespace tlxctl
