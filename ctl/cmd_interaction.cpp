// Customer interaction subcommands: information to confirm, evaluation of
// the teller, keypad entry, signature. Texts for the terminal are taken as
// UTF-8 and sent as GBK (--raw sends the bytes as they are).
#include <cctype>
#include <string>

#include "cli.h"
#include "gbk_text.h"
#include "report.h"
#include "text_input.h"
#include "tlxdev.h"

namespace tlxctl {

namespace {

const int kDefaultTimeout = 30;

int Timeout(const Context& ctx, int fallback) {
  return ctx.args.Has("--timeout") ? ParseRange(ctx.args.Value("--timeout"), "--timeout", 1, 999)
                                   : fallback;
}

// The documents the terminal shows for signing: .pdf, .jpg or .html, any case.
bool SignableDocument(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == "pdf" || ext == "jpg" || ext == "html";
}

// A text as the terminal shows it.
std::string TerminalText(const Context& ctx, const std::string& text, const char* what) {
  if (ctx.args.Has("--raw")) return text;
  std::string gbk, problem;
  if (!Utf8ToGbk(text, &gbk, &problem))
    throw UsageError(std::string(what) + ": " + problem + " (--raw sends the bytes unchanged)");
  return gbk;
}

int Info(Context& ctx) {
  const auto& p = ctx.args.Positionals();
  const bool fromFile = ctx.args.Has("--file");
  if (fromFile == !p.empty()) throw UsageError("'info' takes a TEXT or --file FILE");
  std::string text;
  if (fromFile) {
    try {
      text = ReadWholeFile(ctx.args.Value("--file"), 4 * TLX_MAX_INFO_TEXT);
    } catch (const InputError& e) {
      Report r(ctx);
      return r.Fail(e.what(), e.status);
    }
  } else {
    text = p[0];
  }
  std::string shown = TerminalText(ctx, text, "the information text");
  const int timeout = Timeout(ctx, kDefaultTimeout);
  Report r(ctx);
  int result = -1;
  const int rc =
      TLX_StartInfo(ctx.link.port, ctx.link.bp, ctx.link.baud, timeout, &shown[0], &result);
  if (rc == TLX_OK) {
    static const char* const kAnswers[] = {"confirmed", "cancelled", "other", "terminal timeout",
                                           "other"};
    const char* answer = result >= 0 && result <= 4 ? kAnswers[result] : "other";
    r.Field("answer", result);
    r.Field("answer_text", answer);
    r.Line(std::string("customer: ") + answer);
  }
  return r.Finish(rc);
}

int Evaluate(Context& ctx) {
  if (!ctx.args.Has("--name") || !ctx.args.Has("--number"))
    throw UsageError("'evaluate' needs --name and --number");
  std::string name = TerminalText(ctx, ctx.args.Value("--name"), "the teller's name");
  std::string number = TerminalText(ctx, ctx.args.Value("--number"), "the teller's number");
  const bool withPhoto = ctx.args.Has("--photo");
  std::string photo = withPhoto ? TerminalText(ctx, ctx.args.Value("--photo"), "the photo") : "";
  const int stars =
      ctx.args.Has("--stars") ? ParseRange(ctx.args.Value("--stars"), "--stars", 0, 6) : 5;
  const int timeout = Timeout(ctx, kDefaultTimeout);
  Report r(ctx);
  int result = 0;
  const int rc = TLX_StartEvaluator(ctx.link.port, ctx.link.bp, ctx.link.baud, &name[0], &number[0],
                                    stars, withPhoto ? &photo[0] : nullptr, timeout, &result);
  if (rc == TLX_OK) {
    static const char* const kAnswers[] = {"", "satisfied", "average", "dissatisfied",
                                           "terminal timeout"};
    if (result >= 1 && result <= 4) {
      r.Field("answer", result);
      r.Field("answer_text", kAnswers[result]);
      r.Line(std::string("customer: ") + kAnswers[result]);
    } else {
      r.Null("answer");
      r.Field("answer_text", "unknown");
      r.Line("customer: an answer the library does not know");
    }
  }
  return r.Finish(rc);
}

int Keypad(Context& ctx) {
  static const std::vector<std::pair<std::string, int>> kModes = {{"amount", 0}, {"phone", 1}};
  const int mode =
      ctx.args.Has("--mode") ? ParseChoice(ctx.args.Value("--mode"), "--mode", kModes) : 0;
  if (mode < 0 || mode > 1)
    throw UsageError("--mode takes amount (0) or phone (1), not '" + ctx.args.Value("--mode") +
                     "'");
  const int timeout = Timeout(ctx, kDefaultTimeout);
  char input[TLX_KEYPAD_INPUT_SIZE] = {0};
  Report r(ctx);
  const int rc = TLX_StartKeyboard(ctx.link.port, ctx.link.bp, ctx.link.baud, timeout, mode, input);
  if (rc == TLX_OK) {
    r.Field("input", input);
    r.Line(std::string("entered: ") + input);
  }
  return r.Finish(rc);
}

int Sign(Context& ctx) {
  const auto& p = ctx.args.Positionals();
  std::string document = p[0], image = p[1], data = p[2];
  const int timeout = Timeout(ctx, 60);
  if (!SignableDocument(document))
    throw UsageError("DOCUMENT takes a file ending in .pdf, .jpg or .html, not '" + document + "'");
  if (image.empty() || data.empty()) throw UsageError("IMAGE and DATA take a file name each");
  Report r(ctx);
  const int rc = TLX_StartSign(ctx.link.port, ctx.link.bp, ctx.link.baud, timeout, &document[0],
                               &image[0], &data[0]);
  if (rc == TLX_OK) {
    r.Field("image", image);
    r.Field("data", data);
    r.Line("signed; image in " + image + ", trajectory in " + data);
  } else if (rc == TLX_ERR_ARG) {
    r.Hint("the document must end in .pdf, .jpg or .html; the timeout takes 1..999");
  }
  return r.Finish(rc);
}

const Subcommand kCommands[] = {
    {"info", "Customer interaction", "[--timeout S] [--raw] (TEXT | --file FILE)",
     "shows information for the customer to confirm",
     "Prints the customer's answer: confirmed, cancelled, terminal timeout or\n"
     "other. --timeout: seconds (1..999, default 30). The text (UTF-8) is sent as\n"
     "GBK; --raw sends its bytes unchanged.",
     "timeout=,file=,raw", 0, 1, Info},
    {"evaluate", "Customer interaction",
     "--name NAME --number NUMBER [--stars 0..6] [--photo NAME] [--timeout S] [--raw]",
     "asks the customer to evaluate the teller",
     "Prints satisfied, average, dissatisfied or terminal timeout. The photo name\n"
     "defaults to NUMBER.jpg on the terminal; --stars defaults to 5.",
     "name=,number=,stars=,photo=,timeout=,raw", 0, 0, Evaluate},
    {"keypad", "Customer interaction", "[--mode amount|phone] [--timeout S]",
     "asks the customer to enter an amount or a phone number", "", "mode=,timeout=", 0, 0, Keypad},
    {"sign", "Customer interaction", "[--timeout S] DOCUMENT IMAGE DATA",
     "has the customer sign DOCUMENT; saves the image and the trajectory",
     "DOCUMENT (.pdf, .jpg or .html) is downloaded to the terminal; the signature\n"
     "image goes to the local file IMAGE, the trajectory to DATA. The signature\n"
     "always runs over USB, whatever --port says. --timeout: seconds (default 60).",
     "timeout=", 3, 3, Sign},
};

}  // namespace

void AddInteractionCommands(std::vector<const Subcommand*>& out) {
  for (const Subcommand& c : kCommands) out.push_back(&c);
}

}  // namespace tlxctl
