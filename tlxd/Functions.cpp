#include "Functions.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonValue>

#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "Codes.h"
#include "SignatureData.h"
#include "gbk_text.h"
#include "tlxdev.h"

namespace tlxd {

namespace {

// A text that must not outlive the call: key texts, account numbers, PINs.
struct Secret {
  std::string text;
  explicit Secret(std::string t) : text(std::move(t)) {}
  ~Secret() {
    volatile char* p = &text[0];
    for (size_t i = 0; i < text.size(); ++i) p[i] = 0;
  }
  char* data() { return &text[0]; }
};

void Wipe(std::vector<char>& buffer) {
  volatile char* p = buffer.data();
  for (size_t i = 0; i < buffer.size(); ++i) p[i] = 0;
}

// A file the call takes: its bytes from the message, or the path the caller
// named (read when the call runs); stored in the call's directory under its
// base name.
struct InputFile {
  std::string name;
  QByteArray bytes;
  std::string sourcePath;  // non-empty: read from here
};

class Args {
 public:
  Args(const QJsonObject& o, const Caller& caller) : o_(o), caller_(caller) {}

  bool Int(const char* key, int* out) {
    const QJsonValue v = o_.value(key);
    const double d = v.toDouble(NAN);
    if (!v.isDouble() || std::floor(d) != d || d < INT_MIN || d > INT_MAX)
      return Fail(key, "an integer");
    *out = static_cast<int>(d);
    return true;
  }
  bool IntOr(const char* key, int fallback, int low, int high, int* out) {
    if (!o_.contains(key)) {
      *out = fallback;
      return true;
    }
    if (!Int(key, out)) return false;
    if (*out < low || *out > high)
      return Fail(key, ("an integer " + std::to_string(low) + ".." + std::to_string(high)).c_str());
    return true;
  }
  // A text as it is (UTF-8), without zero characters.
  bool Text(const char* key, std::string* out) {
    const QJsonValue v = o_.value(key);
    if (!v.isString()) return Fail(key, "a string");
    *out = v.toString().toStdString();
    if (out->find('\0') != std::string::npos) return Fail(key, "a string without zero characters");
    return true;
  }
  bool Has(const char* key) const { return o_.contains(key) && !o_.value(key).isNull(); }
  // A text for the terminal's screen: sent as GBK.
  bool ScreenText(const char* key, std::string* out) {
    std::string utf8, problem;
    if (!Text(key, &utf8)) return false;
    if (!tlxctl::Utf8ToGbk(utf8, out, &problem))
      return Fail(key, ("text the terminal can show (" + problem + ")").c_str());
    return true;
  }
  // {"name": ..., "data": base64} anywhere; a path on the Unix socket.
  bool File(const char* key, InputFile* out) {
    const QJsonValue v = o_.value(key);
    if (v.isString() && caller_.filePaths) {
      const QString path = v.toString();
      if (path.isEmpty() || path.contains(QChar(0))) return Fail(key, "a file path");
      out->sourcePath = path.toStdString();
      out->name = QFileInfo(path).fileName().toStdString();
    } else if (v.isObject()) {
      const QJsonObject f = v.toObject();
      if (!f.value("name").isString() || !f.value("data").isString())
        return Fail(key, "an object with a name and base64 data");
      auto decoded = QByteArray::fromBase64Encoding(f.value("data").toString().toLatin1(),
                                                    QByteArray::AbortOnBase64DecodingErrors);
      if (!decoded) return Fail(key, "base64 data");
      out->bytes = *decoded;
      out->name = QFileInfo(f.value("name").toString()).fileName().toStdString();
      if (f.value("name").toString().contains('/')) out->name.clear();
    } else {
      return Fail(key, caller_.filePaths ? "a path or an object with a name and base64 data"
                                         : "an object with a name and base64 data");
    }
    if (out->name.empty() || out->name == "." || out->name == ".." ||
        out->name.size() > TLX_MAX_DEST_NAME || out->name.find('\0') != std::string::npos)
      return Fail(key, "a file name (at most 249 bytes, no '/')");
    return true;
  }

  QString problem;

 private:
  bool Fail(const char* key, const char* what) {
    if (problem.isEmpty()) problem = QString("%1: %2").arg(key, what);
    return false;
  }
  const QJsonObject& o_;
  const Caller& caller_;
};

// Writes the input file into the call's directory; the path, or empty.
std::string Store(const InputFile& f, const std::string& dir) {
  if (!QDir().mkpath(QString::fromStdString(dir))) return "";
  const QString target = QString::fromStdString(dir + "/" + f.name);
  QByteArray bytes = f.bytes;
  if (!f.sourcePath.empty()) {
    QFile src(QString::fromStdString(f.sourcePath));
    if (!src.open(QIODevice::ReadOnly)) return "";
    bytes = src.readAll();
    if (src.error() != QFileDevice::NoError) return "";
  }
  QFile out(target);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size())
    return "";
  out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  return target.toStdString();
}

Outcome Result(int code, QJsonObject outputs = {}) { return Outcome{code, std::move(outputs)}; }

Outcome FileFailure() { return Result(kErrFile); }

using Builder = Prepared (*)(Args&, const Caller&, const Link&, const std::string&);

// Shorthands for the table below.
#define LINK link.port, link.bp, link.baud
Prepared Ok(std::function<Outcome()> run) { return Prepared{std::move(run), 0, {}}; }
Prepared Bad(const Args& a) { return Prepared{nullptr, kErrArgument, a.problem}; }

Prepared SetGlobalConfig(Args& a, const Caller&, const Link& link, const std::string&) {
  int first = 0, second = 0;
  if (!a.Int("first", &first) || !a.Int("second", &second)) return Bad(a);
  return Ok([=] { return Result(TLX_SetGlobalConfig(LINK, first, second)); });
}

Prepared StartPQC(Args&, const Caller&, const Link& link, const std::string&) {
  return Ok([=] { return Result(TLX_StartPQC(LINK)); });
}

Prepared GetVer(Args&, const Caller&, const Link& link, const std::string&) {
  return Ok([=] {
    char version[TLX_VERSION_SIZE] = {0};
    const int rc = TLX_GetVer(LINK, version);
    QJsonObject o;
    if (rc == TLX_OK) o["version"] = QString::fromUtf8(version);
    return Result(rc, o);
  });
}

Prepared GetUpdateStatus(Args&, const Caller&, const Link& link, const std::string&) {
  return Ok([=] {
    char result[TLX_UPDATE_TEXT_SIZE] = {0}, detail[TLX_UPDATE_TEXT_SIZE] = {0};
    const int rc = TLX_GetUpdateStatus(LINK, result, detail);
    QJsonObject o;
    if (rc == TLX_OK) {
      o["result"] = QString::fromUtf8(result);
      o["detail"] = QString::fromUtf8(detail);
    }
    return Result(rc, o);
  });
}

Prepared SetVolume(Args& a, const Caller&, const Link& link, const std::string&) {
  int kind = 0, level = 0;
  if (!a.Int("kind", &kind) || !a.Int("level", &level)) return Bad(a);
  return Ok([=] { return Result(TLX_SetVolume(LINK, kind, level)); });
}

Prepared RestartSys(Args&, const Caller&, const Link& link, const std::string&) {
  return Ok([=] { return Result(TLX_RestartSys(LINK)); });
}

Prepared CheckOnline(Args&, const Caller&, const Link& link, const std::string&) {
  return Ok([=] {
    char model[TLX_MODEL_SIZE] = {0};
    const int rc = TLX_CheckOnline(LINK, model);
    QJsonObject o;
    if (rc == TLX_OK) o["model"] = model[0] ? QJsonValue(QString::fromLatin1(model)) : QJsonValue();
    return Result(rc, o);
  });
}

Prepared SetShowDISP(Args& a, const Caller&, const Link& link, const std::string&) {
  int module = 0, show = 0;
  if (!a.Int("module", &module) || !a.Int("show", &show)) return Bad(a);
  return Ok([=] { return Result(TLX_SetShowDISP(LINK, module, show)); });
}

Prepared SetPinLen(Args& a, const Caller&, const Link& link, const std::string&) {
  int length = 0;
  if (!a.Int("length", &length)) return Bad(a);
  return Ok([=] { return Result(TLX_SetPinLen(LINK, length)); });
}

Prepared UpdateMKey(Args& a, const Caller&, const Link& link, const std::string&) {
  int index = 0;
  std::string k1, k2;
  if (!a.Int("mkIndex", &index) || !a.Text("key1", &k1) || !a.Text("key2", &k2)) return Bad(a);
  auto key1 = std::make_shared<Secret>(std::move(k1));
  auto key2 = std::make_shared<Secret>(std::move(k2));
  return Ok([=] { return Result(TLX_UpdateMKey(LINK, index, key1->data(), key2->data())); });
}

Prepared ResetKey(Args&, const Caller&, const Link& link, const std::string&) {
  return Ok([=] { return Result(TLX_ResetKey(LINK)); });
}

Prepared DownLoadWKey(Args& a, const Caller&, const Link& link, const std::string&) {
  int mk = 0, wk = 0;
  std::string k;
  if (!a.Int("mkIndex", &mk) || !a.Int("wkIndex", &wk) || !a.Text("wkey", &k)) return Bad(a);
  auto key = std::make_shared<Secret>(std::move(k));
  return Ok([=] { return Result(TLX_DownLoadWKey(LINK, mk, wk, key->data())); });
}

Prepared ActiveWKey(Args& a, const Caller&, const Link& link, const std::string&) {
  int mk = 0, wk = 0;
  if (!a.Int("mkIndex", &mk) || !a.Int("wkIndex", &wk)) return Bad(a);
  return Ok([=] { return Result(TLX_ActiveWKey(LINK, mk, wk)); });
}

Prepared ReadPin(Args& a, const Caller&, const Link& link, const std::string&) {
  int mode = 0, prompt = 0, timeout = 0, pinSize = 0;
  if (!a.Int("mode", &mode) || !a.Int("prompt", &prompt) || !a.Int("timeout", &timeout) ||
      !a.IntOr("pinSize", 64, 0, 2048, &pinSize))
    return Bad(a);
  return Ok([=] {
    std::vector<char> pin(static_cast<size_t>(pinSize) + 1, 0);
    const int rc = TLX_ReadPin(LINK, mode, prompt, timeout, pin.data(), pinSize);
    QJsonObject o;
    if (rc == TLX_OK)
      o["pin"] = QString::fromLatin1(pin.data(), static_cast<int>(strnlen(pin.data(), pinSize)));
    Wipe(pin);
    return Result(rc, o);
  });
}

QJsonObject PinBlockOutputs(int rc, std::vector<char>& block) {
  QJsonObject o;
  if (rc == TLX_OK) o["pinBlock"] = QString::fromLatin1(block.data());
  Wipe(block);
  return o;
}

Prepared ReadPinDES(Args& a, const Caller&, const Link& link, const std::string&) {
  int prompt = 0, option = 0, timeout = 0;
  if (!a.Int("prompt", &prompt) || !a.Int("option", &option) || !a.Int("timeout", &timeout))
    return Bad(a);
  return Ok([=] {
    std::vector<char> block(TLX_PIN_BLOCK_SIZE, 0);
    const int rc = TLX_ReadPinDES(LINK, prompt, option, timeout, block.data());
    return Result(rc, PinBlockOutputs(rc, block));
  });
}

Prepared ReadPinAnsi(Args& a, const Caller&, const Link& link, const std::string&) {
  int prompt = 0, option = 0, timeout = 0;
  std::string acc;
  if (!a.Int("prompt", &prompt) || !a.Int("option", &option) || !a.Int("timeout", &timeout))
    return Bad(a);
  if (a.Has("account") && !a.Text("account", &acc)) return Bad(a);
  auto account = std::make_shared<Secret>(std::move(acc));
  return Ok([=] {
    std::vector<char> block(TLX_PIN_BLOCK_SIZE, 0);
    const int rc = TLX_ReadPinAnsi(LINK, prompt, option, timeout, account->data(), block.data());
    return Result(rc, PinBlockOutputs(rc, block));
  });
}

Prepared StartInfo(Args& a, const Caller&, const Link& link, const std::string&) {
  int timeout = 0;
  std::string text;
  if (!a.Int("timeout", &timeout) || !a.ScreenText("info", &text)) return Bad(a);
  return Ok([=]() mutable {
    int result = -1;
    const int rc = TLX_StartInfo(LINK, timeout, &text[0], &result);
    QJsonObject o;
    if (rc == TLX_OK) {
      static const char* const kAnswers[] = {"confirmed", "cancelled", "other", "terminal timeout",
                                             "other"};
      o["result"] = result;
      o["answer"] = result >= 0 && result <= 4 ? kAnswers[result] : "other";
    }
    return Result(rc, o);
  });
}

Prepared StartEvaluator(Args& a, const Caller&, const Link& link, const std::string&) {
  int stars = 0, timeout = 0;
  std::string name, number, photo;
  if (!a.ScreenText("tellerName", &name) || !a.ScreenText("tellerNo", &number) ||
      !a.Int("stars", &stars) || !a.Int("timeout", &timeout))
    return Bad(a);
  const bool withPhoto = a.Has("photo");
  if (withPhoto && !a.ScreenText("photo", &photo)) return Bad(a);
  return Ok([=]() mutable {
    int result = 0;
    const int rc = TLX_StartEvaluator(LINK, &name[0], &number[0], stars,
                                      withPhoto ? &photo[0] : nullptr, timeout, &result);
    QJsonObject o;
    if (rc == TLX_OK) {
      static const char* const kAnswers[] = {"", "satisfied", "average", "dissatisfied",
                                             "terminal timeout"};
      const bool known = result >= 1 && result <= 4;
      o["result"] = known ? QJsonValue(result) : QJsonValue();
      o["answer"] = known ? kAnswers[result] : "unknown";
    }
    return Result(rc, o);
  });
}

Prepared StartKeyboard(Args& a, const Caller&, const Link& link, const std::string&) {
  int timeout = 0, mode = 0;
  if (!a.Int("timeout", &timeout) || !a.Int("mode", &mode)) return Bad(a);
  return Ok([=] {
    char input[TLX_KEYPAD_INPUT_SIZE] = {0};
    const int rc = TLX_StartKeyboard(LINK, timeout, mode, input);
    QJsonObject o;
    if (rc == TLX_OK) o["input"] = QString::fromLatin1(input);
    return Result(rc, o);
  });
}

Prepared StartSign(Args& a, const Caller& caller, const Link& link, const std::string& dir) {
  int timeout = 0;
  InputFile document;
  if (!a.Int("timeout", &timeout) || !a.File("document", &document)) return Bad(a);
  return Ok([=] {
    const std::string doc = Store(document, dir);
    if (doc.empty()) return FileFailure();
    std::string docPath = doc, image = dir + "/signature.png", data = dir + "/signature.xml";
    const int rc = TLX_StartSign(LINK, timeout, &docPath[0], &image[0], &data[0]);
    if (rc != TLX_OK) return Result(rc);
    QJsonObject o;
    QFile png(QString::fromStdString(image)), xml(QString::fromStdString(data));
    if (!png.open(QIODevice::ReadOnly) || !xml.open(QIODevice::ReadOnly)) return FileFailure();
    const QByteArray xmlBytes = xml.readAll();
    o["trajectory"] = TrajectoryJson(xmlBytes);
    if (caller.filePaths) {
      // The caller reads the files itself; they stay until its next
      // signature or until it disconnects.
      const QString keptImage = QString::fromStdString(caller.clientDir + "/signature.png");
      const QString keptData = QString::fromStdString(caller.clientDir + "/signature.xml");
      QFile::remove(keptImage);
      QFile::remove(keptData);
      png.close();
      xml.close();
      if (!QFile::rename(png.fileName(), keptImage) || !QFile::rename(xml.fileName(), keptData))
        return FileFailure();
      o["imagePath"] = keptImage;
      o["dataPath"] = keptData;
    } else {
      o["image"] = QString::fromLatin1(png.readAll().toBase64());
    }
    return Result(rc, o);
  });
}

Prepared DownLoadFile(Args& a, const Caller&, const Link& link, const std::string& dir) {
  int type = 0;
  InputFile file;
  if (!a.Int("mediaType", &type) || !a.File("file", &file)) return Bad(a);
  return Ok([=] {
    std::string path = Store(file, dir);
    if (path.empty()) return FileFailure();
    return Result(TLX_DownLoadFile(LINK, type, &path[0]));
  });
}

Prepared DeleteFile(Args& a, const Caller&, const Link& link, const std::string&) {
  int type = 0;
  std::string name;
  if (!a.Int("mediaType", &type) || !a.Text("name", &name)) return Bad(a);
  return Ok([=]() mutable { return Result(TLX_DeleteFile(LINK, type, &name[0])); });
}

Prepared FindFileInfo(Args& a, const Caller&, const Link& link, const std::string&) {
  int type = 0;
  std::string name;
  if (!a.Int("mediaType", &type) || !a.Text("name", &name)) return Bad(a);
  return Ok([=]() mutable {
    char info[TLX_FILE_INFO_SIZE] = {0};
    const int rc = TLX_FindFileInfo(LINK, type, &name[0], info);
    QJsonObject o;
    if (rc == TLX_OK) {
      const QString text = QString::fromUtf8(info);
      o["info"] = text;
      // "name|size": the fields apart.
      const int bar = text.lastIndexOf('|');
      bool number = false;
      const qlonglong size = bar >= 0 ? text.mid(bar + 1).toLongLong(&number) : 0;
      if (number) {
        o["name"] = text.left(bar);
        o["size"] = static_cast<double>(size);
      }
    }
    return Result(rc, o);
  });
}

Prepared GetFileList(Args& a, const Caller&, const Link& link, const std::string&) {
  int type = 0, size = 0;
  if (!a.Int("mediaType", &type) || !a.IntOr("listSize", 65536, 1, 1 << 20, &size)) return Bad(a);
  return Ok([=] {
    std::vector<char> list(static_cast<size_t>(size) + 1, 0);
    const int rc = TLX_GetFileList(LINK, type, list.data(), size);
    QJsonObject o;
    if (rc == TLX_OK) {
      const QString text =
          QString::fromUtf8(list.data(), static_cast<int>(strnlen(list.data(), size)));
      QJsonArray files;
      for (const QString& f : text.split('|', Qt::SkipEmptyParts)) files.append(f);
      o["files"] = files;
    }
    return Result(rc, o);
  });
}
#undef LINK

enum class Group { Plain, PlainPin, Keys };

struct Entry {
  Builder build;
  Group group;
};

const std::map<QString, Entry>& Table() {
  static const std::map<QString, Entry> table = {
      {"TLX_SetGlobalConfig", {SetGlobalConfig, Group::Plain}},
      {"TLX_StartPQC", {StartPQC, Group::Plain}},
      {"TLX_GetVer", {GetVer, Group::Plain}},
      {"TLX_GetUpdateStatus", {GetUpdateStatus, Group::Plain}},
      {"TLX_SetVolume", {SetVolume, Group::Plain}},
      {"TLX_RestartSys", {RestartSys, Group::Plain}},
      {"TLX_CheckOnline", {CheckOnline, Group::Plain}},
      {"TLX_SetShowDISP", {SetShowDISP, Group::Plain}},
      {"TLX_SetPinLen", {SetPinLen, Group::Plain}},
      {"TLX_UpdateMKey", {UpdateMKey, Group::Keys}},
      {"TLX_ResetKey", {ResetKey, Group::Keys}},
      {"TLX_DownLoadWKey", {DownLoadWKey, Group::Keys}},
      {"TLX_ActiveWKey", {ActiveWKey, Group::Keys}},
      {"TLX_ReadPin", {ReadPin, Group::PlainPin}},
      {"TLX_ReadPinDES", {ReadPinDES, Group::Plain}},
      {"TLX_ReadPinAnsi", {ReadPinAnsi, Group::Plain}},
      {"TLX_StartInfo", {StartInfo, Group::Plain}},
      {"TLX_StartEvaluator", {StartEvaluator, Group::Plain}},
      {"TLX_StartKeyboard", {StartKeyboard, Group::Plain}},
      {"TLX_StartSign", {StartSign, Group::Plain}},
      {"TLX_DownLoadFile", {DownLoadFile, Group::Plain}},
      {"TLX_DeleteFile", {DeleteFile, Group::Plain}},
      {"TLX_FindFileInfo", {FindFileInfo, Group::Plain}},
      {"TLX_GetFileList", {GetFileList, Group::Plain}},
  };
  return table;
}

}  // namespace

Prepared Prepare(const QString& fn, const QJsonObject& args, const Caller& caller, const Link& link,
                 const std::string& callDir) {
  const auto it = Table().find(fn);
  if (it == Table().end()) return Prepared{nullptr, kErrFunction, fn};
  const Group g = it->second.group;
  if (caller.webSocket &&
      ((g == Group::PlainPin && !caller.allowPlainPin) || (g == Group::Keys && !caller.allowKeys)))
    return Prepared{nullptr, kErrForbidden,
                    g == Group::PlainPin ? "the plain PIN entry is not allowed for this origin"
                                         : "key loading is not allowed for this origin"};
  Args a(args, caller);
  return it->second.build(a, caller, link, callDir);
}

QStringList FunctionNames() {
  QStringList names;
  for (const auto& e : Table()) names << e.first;
  return names;
}

}  // namespace tlxd
