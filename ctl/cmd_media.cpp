// Media file subcommands: download, delete, query, list.
#include <string>
#include <vector>

#include "cli.h"
#include "report.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

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
    r.Field("info", info);
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
  const int rc = TLX_GetFileList(ctx.link.port, ctx.link.bp, ctx.link.baud, type, list.data(), size);
  if (rc == TLX_OK) {
    const std::string text(list.data());
    r.Field("type", type);
    r.Field("list", text);
    r.Line(text);
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
     kTypeHelp, "type=", 1, 1, Query},
    {"list", "Media files", "[--type TYPE] [--size BYTES]", "lists the files of a media type",
     "The list as the terminal sends it; --size: the longest list taken (default\n"
     "65536 bytes).",
     "type=,size=", 0, 0, List},
};

}  // namespace

void AddMediaCommands(std::vector<const Subcommand*>& out) {
  for (const Subcommand& c : kCommands) out.push_back(&c);
}

}  // namespace tlxctl
