// tlxctl trace FILE: a wire trace decoded, one block per exchange.
#include <cjson/cJSON.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "cli.h"
#include "exit_status.h"
#include "report.h"
#include "trace/trace_lines.h"
#include "wire_names.h"

namespace tlxctl {

namespace {

using tlx::TracePart;
using tlx::TraceRecord;

// MMDDhhmmssmmm -> "MM-DD hh:mm:ss.mmm".
std::string StampText(const std::string& s) {
  if (s.size() != 13) return s;
  return s.substr(0, 2) + "-" + s.substr(2, 2) + " " + s.substr(4, 2) + ":" + s.substr(6, 2) + ":" +
         s.substr(8, 2) + "." + s.substr(10, 3);
}

std::string Get(const std::map<std::string, std::string>& m, const char* key) {
  auto it = m.find(key);
  return it == m.end() ? std::string() : it->second;
}

std::string LinkText(const TraceRecord& r) {
  const auto& f = r.fields;
  if (r.linkKind == "usb") {
    const std::string id = Get(f, "id");
    return "USB port 0" + (id.empty() ? std::string() : " (" + id + ")");
  }
  if (r.linkKind == "serial")
    return "serial port " + Get(f, "port") + " (" + Get(f, "dev") + "), channel " + Get(f, "bp") +
           ", " + Get(f, "baud") + " baud";
  if (r.linkKind == "port") return "the open port";
  return r.linkKind + " port " + Get(f, "port");
}

std::string EndText(const TraceRecord& r) {
  static const std::map<std::string, std::string> kOutcomes = {
      {"met", "end condition met"},
      {"full", "reply area full"},
      {"timeout", "no complete reply in time"},
      {"cancelled", "read cancelled"},
      {"read-failed", "read failed"},
      {"write-only", "written, no reply read"},
      {"written", "written"},
      {"write-failed", "not written in full"},
      {"not-opened", "port not opened"}};
  if (!r.ended) return "record incomplete";
  const std::string end = Get(r.end, "end");
  auto it = kOutcomes.find(end);
  std::string s;
  if (r.end.count("result") != 0) s = "result " + Get(r.end, "result") + ", ";
  s += it != kOutcomes.end() ? it->second : end;
  if (r.end.count("count") != 0) s += ", " + Get(r.end, "count") + " bytes";
  if (r.end.count("time") != 0) s += ", " + Get(r.end, "time");
  if (r.end.count("masked") != 0) s += "; " + Get(r.end, "masked") + " bytes masked in the trace";
  return s;
}

std::string PartLine(const char* arrow, const TracePart& p, const Described& d) {
  std::string s = std::string("  ") + arrow + " " + d.name;
  if (!d.detail.empty()) s += ": " + d.detail;
  // A part written or read in full says so by its plain title.
  const bool whole = p.title == tlx::trace::kTx || p.title == tlx::trace::kRx;
  s += "\n      [" + std::to_string(p.bytes.size()) + " bytes" +
       (whole ? std::string() : ", " + p.title) + "] " + Printable(p.bytes, 100);
  return s;
}

cJSON* PartJson(const TracePart& p, const Described& d) {
  cJSON* o = cJSON_CreateObject();
  cJSON_AddStringToObject(o, "title", p.title.c_str());
  cJSON_AddNumberToObject(o, "length", static_cast<double>(p.bytes.size()));
  cJSON_AddStringToObject(o, "name", d.name.c_str());
  cJSON_AddStringToObject(o, "detail", d.detail.c_str());
  cJSON_AddStringToObject(o, "text", Printable(p.bytes, 400).c_str());
  return o;
}

cJSON* MapJson(const std::map<std::string, std::string>& m) {
  cJSON* o = cJSON_CreateObject();
  for (const auto& kv : m) cJSON_AddStringToObject(o, kv.first.c_str(), kv.second.c_str());
  return o;
}

int Trace(Context& ctx) {
  const std::string path = ctx.args.Positionals()[0];
  std::ifstream in(path, std::ios::binary);
  Report report(ctx);
  if (!in) return report.Fail("cannot read " + path, kExitLocal);
  int bad = 0;
  const std::vector<TraceRecord> records = tlx::ReadTrace(in, &bad);

  WireDecoder decoder;
  cJSON* list = cJSON_AddArrayToObject(report.Object(), "records");
  std::string text;
  int exchanges = 0;
  for (const TraceRecord& r : records) {
    cJSON* o = cJSON_CreateObject();
    cJSON_AddStringToObject(o, "stamp", r.stamp.c_str());
    cJSON_AddStringToObject(o, "kind", r.kind.c_str());
    cJSON_AddItemToArray(list, o);
    if (r.kind == tlx::trace::kNote) {
      const std::string line = r.line.hex ? (r.line.title.empty() ? "" : r.line.title + ": ") +
                                                Printable(r.line.bytes, 100)
                                          : r.line.text;
      cJSON_AddStringToObject(o, "text", line.c_str());
      text += StampText(r.stamp) + "  " + line + "\n";
      continue;
    }
    ++exchanges;
    cJSON_AddStringToObject(o, "link", r.linkKind.c_str());
    cJSON_AddItemToObject(o, "fields", MapJson(r.fields));
    std::string head = StampText(r.stamp) + "  " + r.kind + " on " + LinkText(r);
    if (r.fields.count("until") != 0)
      head += "; until " + Get(r.fields, "until") + ", limit " + Get(r.fields, "limit");
    text += head + "\n";
    if (r.tx.present) {
      const Described d = decoder.Command(r.tx.bytes);
      cJSON_AddItemToObject(o, "tx", PartJson(r.tx, d));
      text += PartLine(">", r.tx, d) + "\n";
    }
    if (r.rx.present) {
      const Described d = decoder.Reply(r.rx.bytes);
      cJSON_AddItemToObject(o, "rx", PartJson(r.rx, d));
      text += PartLine("<", r.rx, d) + "\n";
    }
    cJSON_AddItemToObject(o, "end", MapJson(r.end));
    cJSON_AddBoolToObject(o, "complete", r.ended);
    text += "  = " + EndText(r) + "\n";
  }
  report.Field("exchanges", exchanges);
  report.Field("unreadable_lines", bad);
  text += std::to_string(exchanges) + " exchange(s)";
  if (bad > 0) text += ", " + std::to_string(bad) + " line(s) that are no trace lines";
  report.Line(text);
  return report.Finish(0);
}

const Subcommand kCommands[] = {
    {"trace", "Wire trace", "FILE", "prints a wire trace decoded",
     "Reads a trace written by libtlxdev (TLX_TRACE=FILE, or SetDebugFlag) and\n"
     "prints each exchange: its link, the command by name with its fields (HexAsc1\n"
     "fields decoded, packet headers and serial blocks explained), the reply, how\n"
     "the read ended, the result and the time. Keys, PINs, PIN blocks and account\n"
     "numbers are masked in the trace and are never shown; other lines of the file\n"
     "are printed as they are.",
     "", 1, 1, Trace},
};

}  // namespace

void AddTraceCommands(std::vector<const Subcommand*>& out) {
  for (const Subcommand& c : kCommands) out.push_back(&c);
}

}  // namespace tlxctl
