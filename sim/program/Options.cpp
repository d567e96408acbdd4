#include "Options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

namespace tlxsim {

namespace {

bool ParseInt(const std::string& text, int base, long min, long max, long* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, base);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  *value = v;
  return true;
}

// The customer's answer that an interaction name stands for.
Answer* Interaction(Customer& c, const std::string& name) {
  if (name == "info") return &c.info;
  if (name == "evaluator") return &c.evaluator;
  if (name == "amount") return &c.keypadAmount;
  if (name == "phone") return &c.keypadPhone;
  if (name == "pin") return &c.pin;
  if (name == "sign") return &c.sign;
  return nullptr;
}

bool ParsePorts(const std::string& text, std::vector<int>* ports) {
  ports->clear();
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    long v = 0;
    if (!ParseInt(item, 10, 1, 256, &v)) return false;
    ports->push_back(static_cast<int>(v));
  }
  return !ports->empty();
}

bool ParseUsbId(const std::string& text, uint16_t* vid, uint16_t* pid) {
  size_t colon = text.find(':');
  long v = 0, p = 0;
  if (colon == std::string::npos || !ParseInt(text.substr(0, colon), 16, 0, 0xffff, &v) ||
      !ParseInt(text.substr(colon + 1), 16, 0, 0xffff, &p))
    return false;
  *vid = static_cast<uint16_t>(v);
  *pid = static_cast<uint16_t>(p);
  return true;
}

}  // namespace

std::string Usage(const char* program) {
  std::ostringstream u;
  u << "usage: " << program << " [options]\n"
    << "Runs the virtual TLX terminal on a serial line (pty) and on USB (libusb\n"
    << "stand-in), prints the environment a host process needs and logs every\n"
    << "command and answer. Ends on SIGINT/SIGTERM.\n\n"
    << "  --model R40|k60           terminal model (default R40)\n"
    << "  --storage DIR             the terminal's own files (default: private, removed at exit)\n"
    << "  --serial-ports N[,N...]   serial port numbers served (default 1 = ttyS0)\n"
    << "  --usb-id VID:PID          USB ids in hex (default 2fb0:0101)\n"
    << "  --no-serial | --no-usb    leave a link out\n"
    << "  --gadget                  USB through a real device controller (configfs,\n"
    << "                            FunctionFS; root) instead of the libusb stand-in\n"
    << "  --udc NAME                the controller (default: the first free one)\n"
    << "  --answer-shape SHAPE      short, padded (default) or packet\n"
    << "  --replug-ms MS            after a vanish, plug in again MS later (-1: never)\n"
    << "  --pace                    keep the real line's pace: serial bytes at the host's\n"
    << "                            rate, USB transfers on full-speed frame timing\n"
    << "  --INTERACTION-answer V    the customer's answer\n"
    << "  --INTERACTION-delay MS    how long the customer takes\n"
    << "  --no-answer INTERACTION   the customer does nothing (terminal's timeout answer)\n"
    << "        INTERACTION: info, evaluator, amount, phone, pin, sign\n"
    << "        e.g. --info-answer B1F --info-delay 500 --no-answer evaluator\n"
    << "  --env-file PATH           also write the export lines to PATH\n"
    << "  --help\n";
  return u.str();
}

bool ParseOptions(int argc, char** argv, ProgramOptions* out, std::string* error) {
  auto value = [&](int& i, std::string* v) {
    if (i + 1 >= argc) {
      *error = std::string(argv[i]) + " needs a value";
      return false;
    }
    *v = argv[++i];
    return true;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string v;
    if (arg == "--help" || arg == "-h") {
      out->help = true;
    } else if (arg == "--model") {
      if (!value(i, &v)) return false;
      if (v != "R40" && v != "k60") {
        *error = "--model must be R40 or k60";
        return false;
      }
      out->terminal.model = v;
    } else if (arg == "--storage") {
      if (!value(i, &v)) return false;
      out->terminal.storageDir = v;
    } else if (arg == "--serial-ports") {
      if (!value(i, &v)) return false;
      if (!ParsePorts(v, &out->terminal.serialPorts)) {
        *error = "--serial-ports takes numbers 1..256 separated by commas";
        return false;
      }
    } else if (arg == "--usb-id") {
      if (!value(i, &v)) return false;
      if (!ParseUsbId(v, &out->terminal.vendorId, &out->terminal.productId)) {
        *error = "--usb-id takes VID:PID in hex, e.g. 2fb0:0101";
        return false;
      }
    } else if (arg == "--no-serial") {
      out->terminal.serial = false;
    } else if (arg == "--no-usb") {
      out->terminal.hid = false;
    } else if (arg == "--gadget") {
      out->terminal.usbFace = UsbFace::Gadget;
    } else if (arg == "--udc") {
      if (!value(i, &out->terminal.gadget.udc)) return false;
      out->terminal.usbFace = UsbFace::Gadget;
    } else if (arg == "--answer-shape") {
      if (!value(i, &v)) return false;
      if (!ParseAnswerShape(v, &out->terminal.gadget.shape)) {
        *error = "--answer-shape takes short, padded or packet";
        return false;
      }
      out->terminal.usbFace = UsbFace::Gadget;
    } else if (arg == "--replug-ms") {
      long ms = 0;
      if (!value(i, &v)) return false;
      if (!ParseInt(v, 10, -1, 3600000, &ms)) {
        *error = "--replug-ms takes milliseconds (-1..3600000)";
        return false;
      }
      out->terminal.gadget.replugMs = static_cast<int>(ms);
      out->terminal.usbFace = UsbFace::Gadget;
    } else if (arg == "--pace") {
      out->terminal.pace = true;
    } else if (arg == "--env-file") {
      if (!value(i, &out->envFile)) return false;
    } else if (arg == "--no-answer") {
      if (!value(i, &v)) return false;
      Answer* a = Interaction(out->customer, v);
      if (a == nullptr) {
        *error = "unknown interaction: " + v;
        return false;
      }
      a->answers = false;
    } else if (arg.rfind("--", 0) == 0 && arg.size() > 9 &&
               (arg.compare(arg.size() - 7, 7, "-answer") == 0 ||
                arg.compare(arg.size() - 6, 6, "-delay") == 0)) {
      bool isDelay = arg.compare(arg.size() - 6, 6, "-delay") == 0;
      std::string name = arg.substr(2, arg.size() - 2 - (isDelay ? 6 : 7));
      Answer* a = Interaction(out->customer, name);
      if (a == nullptr) {
        *error = "unknown interaction in " + arg;
        return false;
      }
      if (!value(i, &v)) return false;
      if (isDelay) {
        long ms = 0;
        if (!ParseInt(v, 10, 0, 3600000, &ms)) {
          *error = arg + " takes milliseconds (0..3600000)";
          return false;
        }
        a->delayMs = static_cast<int>(ms);
      } else {
        a->value = v;
        a->answers = true;
      }
    } else {
      *error = "unknown option: " + arg;
      return false;
    }
  }
  if (out->terminal.usbFace == UsbFace::Gadget && !out->terminal.hid) {
    *error = "--no-usb leaves the gadget nothing to serve";
    return false;
  }
  if (out->terminal.usbFace == UsbFace::Gadget && out->terminal.pace) {
    *error = "--pace is for the stand-in: a gadget's bus keeps its own pace";
    return false;
  }
  if (!out->terminal.serial && !out->terminal.hid) {
    *error = "--no-serial and --no-usb leave nothing to serve";
    return false;
  }
  return true;
}

}  // namespace tlxsim
