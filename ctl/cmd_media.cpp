// Media file subcommands: download, delete, query, list.
#include <cjson/cJSON.h>

#include <cctype>
#include <string>
#include <vector>

#include "cli.h"
#include "report.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

const char* TypeName(int type) {
  switch (type) {
    case 0:
      return "ad";
    case 1:
      return "video";
    case 2:
      return "photo";
    case 4:
      return "upgrade";
    case 255:
      return "named";
    default:
      return "";
  }
}

// The terminal's list: names separated by '|'.
std::vector<std::string> SplitNames(const std::string& text) {
  std::vector<std::string> names;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t bar = text.find('|', pos);
    if (bar == std::string::npos) bar = text.size();
    if (bar > pos) names.push_back(text.substr(pos, bar - pos));
    pos = bar + 1;
  }
  return names;
}

// The terminal's file information "name|size": the size follows the last
// '|' (a name may hold one). -1 when there is no size in decimal digits.
void SplitInfo(const std::string& info, std::string* name, long* size) {
  const size_t bar = info.rfind('|');
  *name = info;
  *size = -1;
  if (bar == std::string::npos || bar + 1 >= info.size()) return;
  const std::string digits = info.substr(bar + 1);
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return;
  if (digits.size() > 15) return;
  *name = info.substr(0, bar);
  *size = std::stol(digits);
}

int MediaType(const Context& ctx) {
  static const std::vector<std::pair<std::string, int>> kTypes = {
      {"ad", 0}, {"video", 1}, {"photo", 2}, {"upgrade", 4}, {"named", 255}};
  return ctx.args.Has("--type") ? ParseChoice(ctx.args.Value("--type"), "--type", kTypes) : 0;
}

int Download(Context& ctx) {
  const int type = MediaType(ctx);
  std::string path = ctx.args.Positionals()[0];
  Report r(ctx);
  const int rc = TLX_DownLoadFile(ctx.link.port, ctx.link.bp, ctx.link.baud, type, &path[0]);
  if (rc == TLX_OK) {
    r.Field("type", type);
    r.Field("file", path);
    r.Line(path + " downloaded" + (type == 4 ? "; upgrade started" : ""));
  }
  return r.Finish(rc);
}

int Delete(Context& ctx) {
  const int type = MediaType(ctx);
  std::string name = ctx.args.Positionals()[0];
  Report r(ctx);
  const int rc = TLX_DeleteFile(ctx.link.port, ctx.link.bp, ctx.link.baud, type, &name[0]);
  if (rc == TLX_OK) {
    r.Field("type", type);
    r.Field("name", name);
    r.Line(name + " deleted");
  }
  return r.Finish(rc);
}

int Query(Context& ctx) {
  const int type = MediaType(ctx);
  std::string name = ctx.args.Positionals()[0];
  char info[TLX_FILE_INFO_SIZE] = {0};
  Report r(ctx);
  const int rc = TLX_FindFileInfo(ctx.link.port, ctx.link.bp, ctx.link.baud, type, &name[0], info);
  if (rc == TLX_OK) {
    r.Field("type", type);
    r.Field("name", name);
    // Named fields rather than the terminal's text; "text" keeps that.
    std::string file;
    long bytes = -1;
    SplitInfo(info, &file, &bytes);
    cJSON* o = cJSON_AddObjectToObject(r.Object(), "info");
    cJSON_AddStringToObject(o, "name", file.c_str());
    if (bytes >= 0)
      cJSON_AddNumberToObject(o, "size", static_cast<double>(bytes));
    else
      cJSON_AddNullToObject(o, "size");
    cJSON_AddStringToObject(o, "text", info);
    r.Line(info);
  }
  return r.Finish(rc);
}

int List(Context& ctx) {
  const int type = MediaType(ctx);
  const int size = ctx.args.Has("--size") ? ParseInt(ctx.args.Value("--size"), "--size") : 65536;
  if (size < 0 || size > (1 << 24)) throw UsageError("--size takes 0..16777216");
  std::vector<char> list(static_cast<size_t>(size) + 1, '\0');
  Report r(ctx);
  const int rc =
      TLX_GetFileList(ctx.link.port, ctx.link.bp, ctx.link.baud, type, list.data(), size);
  if (rc == TLX_OK) {
    const std::vector<std::string> names = SplitNames(list.data());
    r.Field("type", type);
    cJSON* array = cJSON_AddArrayToObject(r.Object(), "list");
    for (const std::string& n : names) {
      cJSON_AddItemToArray(array, cJSON_CreateString(n.c_str()));
      r.Line(n);
    }
    r.Field("count", static_cast<long>(names.size()));
    if (names.empty()) {
      const std::string kind = TypeName(type);
      r.Line("no files of type " +
             (kind.empty() ? std::to_string(type) : kind + " (" + std::to_string(type) + ")") +
             " on the terminal");
    }
  } else if (rc == TLX_ERR_BUFFER) {
    r.Hint("the list is longer than --size bytes");
  }
  return r.Finish(rc);
}

const char kTypeHelp[] =
    "--type: ad (0, the default), video (1), photo (2), upgrade (4), named (255)\n"
    "or another number.";

const Subcommand kCommands[] = {
    {"download", "Media files", "[--type TYPE] FILE", "downloads FILE to the terminal",
     "The name on the terminal is FILE's base name (an upgrade package over a\n"
     "serial link: update.dat); --type upgrade starts the upgrade afterwards.\n"
     "--type: ad (0, the default), video (1), photo (2), upgrade (4), named (255)\n"
     "or another number.",
     "type=", 1, 1, Download},
    {"delete", "Media files", "[--type TYPE] NAME", "deletes NAME from the terminal", kTypeHelp,
     "type=", 1, 1, Delete},
    {"query", "Media files", "[--type TYPE] NAME", "prints the terminal's information of NAME",
     "Prints the terminal's text, NAME|SIZE; --json gives \"info\": {\"name\", \"size\"\n"
     "(bytes, null when the terminal gave none), \"text\"}.\n"
     "--type: ad (0, the default), video (1), photo (2), upgrade (4), named (255)\n"
     "or another number.",
     "type=", 1, 1, Query},
    {"list", "Media files", "[--type TYPE] [--size BYTES]", "lists the files of a media type",
     "One name a line (--json: an array \"list\" and its \"count\"); an empty list\n"
     "says so. --size: the longest list taken from the terminal (default 65536\n"
     "bytes).",
     "type=,size=", 0, 0, List},
};

}  // namespace

void AddMediaCommands(std::vector<const Subcommand*>& out) {
  for (const Subcommand& c : kCommands) out.push_back(&c);
}

}  // namespace tlxctl
