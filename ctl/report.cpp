#include "report.h"

#include <cjson/cJSON.h>

#include <cstdio>
#include <cstdlib>

#include "exit_status.h"
#include "tlxdev.h"

namespace tlxctl {

void PrintJson(cJSON* value) {
  char* text = cJSON_Print(value);
  if (text != nullptr) {
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::free(text);
  }
}

Report::Report(const Context& ctx) : ctx_(ctx), object_(cJSON_CreateObject()) {
  cJSON_AddStringToObject(object_, "command", ctx.sub != nullptr ? ctx.sub->name : "");
  cJSON* link = cJSON_AddObjectToObject(object_, "link");
  cJSON_AddNumberToObject(link, "port", ctx.link.port);
  cJSON_AddStringToObject(link, "bp", LetterName(ctx.link.bp).c_str());
  cJSON_AddNumberToObject(link, "baud", ctx.link.baud);
}

Report::~Report() { cJSON_Delete(object_); }

void Report::Field(const char* key, const std::string& value) {
  cJSON_DeleteItemFromObjectCaseSensitive(object_, key);
  cJSON_AddStringToObject(object_, key, value.c_str());
}

void Report::Field(const char* key, long value) {
  cJSON_DeleteItemFromObjectCaseSensitive(object_, key);
  cJSON_AddNumberToObject(object_, key, static_cast<double>(value));
}

void Report::Field(const char* key, bool value) {
  cJSON_DeleteItemFromObjectCaseSensitive(object_, key);
  cJSON_AddBoolToObject(object_, key, value);
}

void Report::Null(const char* key) {
  cJSON_DeleteItemFromObjectCaseSensitive(object_, key);
  cJSON_AddNullToObject(object_, key);
}

void Report::Line(const std::string& text) { lines_ += text + "\n"; }

void Report::Hint(const std::string& text) { hints_ += "tlxctl: " + text + "\n"; }

void Report::PrintObject() { PrintJson(object_); }

int Report::Finish(int result) {
  const int status = ExitStatusOf(result);
  Field("result", result);
  if (result == TLX_OK) {
    if (ctx_.json)
      PrintObject();
    else
      std::fputs(lines_.c_str(), stdout);
    return status;
  }
  // The system-level cause, when the library saw one (device, errno or
  // libusb error name, a hint): read before anything else calls it.
  const std::string cause = TLX_LastErrorText();
  Field("error", TLX_StrError(result));
  if (!cause.empty()) Field("cause", cause);
  Field("exit", status);
  if (ctx_.json) PrintObject();
  std::fprintf(stderr, "tlxctl: %s: error %d: %s\n", ctx_.sub->name, result, TLX_StrError(result));
  if (!cause.empty()) std::fprintf(stderr, "tlxctl: %s: %s\n", ctx_.sub->name, cause.c_str());
  std::fputs(hints_.c_str(), stderr);
  return status;
}

int Report::Fail(const std::string& message, int status) {
  if (ctx_.json) {
    Null("result");
    Field("error", message);
    Field("exit", status);
    PrintObject();
  }
  std::fprintf(stderr, "tlxctl: %s: %s\n", ctx_.sub->name, message.c_str());
  return status;
}

}  // namespace tlxctl
