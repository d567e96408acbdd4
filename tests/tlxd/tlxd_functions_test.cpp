// Every TLX_ function through the service, on both of its transports (Unix
// socket, WebSocket) and both links to the virtual terminal: arguments by
// name, outputs as typed fields, what reached the terminal; cancel by id.
#include <QByteArray>
#include <QFile>
#include <QJsonArray>

#include <thread>

#include "PinBlock.h"
#include "Tdes.h"
#include "TlxdTest.h"

namespace tlxtest {
namespace {

const std::string kKey1Bytes("\x01\x23\x45\x67\x89\xAB\xCD\xEF", 8);
const std::string kKey2Bytes("\xFE\xDC\xBA\x98\x76\x54\x32\x10", 8);
const std::string kWorkKey("\x5A\x3C\x96\x0F\xE1\x2D\x78\xB4\x4B\x87\xD2\x1E\xF0\x69\xC3\xA5", 16);

struct Param {
  Link link;
  bool webSocket;
};
void PrintTo(const Param& p, std::ostream* os) {
  *os << (p.link == Link::Hid ? "USB" : "serial")
      << (p.webSocket ? ", WebSocket" : ", Unix socket");
}

class TlxdFunctions : public TlxdTest, public ::testing::WithParamInterface<Param> {
 protected:
  void SetUp() override {
    TlxdTest::SetUp();
    QuickCustomer();
    ServiceOptions o;
    o.hid = GetParam().link == Link::Hid;
    ASSERT_TRUE(StartService(o)) << ServiceLog();
    conn_ = Connect(GetParam().webSocket);
  }
  void TearDown() override {
    conn_.reset();
    TlxdTest::TearDown();
  }
  bool Ws() const { return GetParam().webSocket; }
  // A file argument in the transport's form: the bytes in the message on
  // the WebSocket, a path on the Unix socket.
  QJsonValue FileArg(const std::string& name, const std::string& bytes) {
    if (!Ws()) {
      WriteFile(Scratch(name), bytes);
      return QString::fromStdString(Scratch(name));
    }
    QJsonObject f;
    f["name"] = QString::fromStdString(name);
    f["data"] = QString::fromLatin1(QByteArray::fromStdString(bytes).toBase64());
    return f;
  }
  QJsonObject Ok(const QString& fn, const QJsonObject& args = {}) {
    const QJsonObject r = conn_->Call(fn, args);
    EXPECT_EQ(Code(r), 0) << fn.toStdString() << ": " << Dump(r);
    EXPECT_EQ(r.value("name").toString(), "TLX_OK");
    EXPECT_EQ(r.value("text").toString(), "success");
    return Outputs(r);
  }
  std::string Pin(const QString& block, const std::string& account) {
    std::string pin;
    EXPECT_TRUE(tlxsim::DecryptPinBlock(
        kWorkKey, QByteArray::fromHex(block.toLatin1()).toStdString(), account, &pin))
        << block.toStdString();
    return pin;
  }
  // Master key 3 and active work key 5 in the terminal.
  void LoadKeys() {
    std::lock_guard<std::mutex> g(impl().mu);
    auto& st = impl().state;
    st.masterKeys[3] = kKey2Bytes + kKey1Bytes;
    st.workKeys[{3, 5}] = kWorkKey;
    st.activeMaster = 3;
    st.activeWork = 5;
  }
  std::unique_ptr<Conn> conn_;
};

TEST_P(TlxdFunctions, DeviceControl) {
  EXPECT_EQ(Ok("TLX_CheckOnline").value("model").toString(), "R40");
  EXPECT_EQ(Ok("TLX_GetVer").value("version").toString(), "TLX-1.4.2");
  const QJsonObject update = Ok("TLX_GetUpdateStatus");
  EXPECT_EQ(update.value("result").toString(), "Success");
  EXPECT_EQ(update.value("detail").toString(), "");
  Ok("TLX_SetVolume", {{"kind", 1}, {"level", 4}});
  Ok("TLX_SetGlobalConfig", {{"first", 3}, {"second", 2}});
  Ok("TLX_SetShowDISP", {{"module", 2}, {"show", 0}});
  Ok("TLX_StartPQC");
  Ok("TLX_RestartSys");
  // Refused by the library's own check: the code comes back as it is.
  const QJsonObject bad = conn_->Call("TLX_SetVolume", {{"kind", 9}, {"level", 1}});
  EXPECT_EQ(Code(bad), -1);
  EXPECT_EQ(bad.value("name").toString(), "TLX_ERR_ARG");
  Settled();
  std::lock_guard<std::mutex> g(impl().mu);
  const auto& st = impl().state;
  EXPECT_EQ(st.volumeSystem, 4);
  EXPECT_EQ(st.globalFirst, 3);
  EXPECT_EQ(st.globalSecond, 2);
  EXPECT_EQ(st.display.at(2), 0);
  EXPECT_TRUE(st.pqcStarted);
  EXPECT_EQ(st.restarts, 1);
}

TEST_P(TlxdFunctions, PinPad) {
  std::string encrypted;
  ASSERT_TRUE(tlxsim::TdesEncrypt(kKey2Bytes + kKey1Bytes, kWorkKey, &encrypted));
  Ok("TLX_SetPinLen", {{"length", 6}});
  Ok("TLX_ResetKey");
  Ok("TLX_UpdateMKey",
     {{"mkIndex", 3}, {"key1", "0123456789ABCDEF"}, {"key2", "fedcba9876543210"}});
  Ok("TLX_DownLoadWKey",
     {{"mkIndex", 3},
      {"wkIndex", 5},
      {"wkey", QString::fromLatin1(QByteArray::fromStdString(encrypted).toHex())}});
  Ok("TLX_ActiveWKey", {{"mkIndex", 3}, {"wkIndex", 5}});
  {
    std::lock_guard<std::mutex> g(impl().mu);
    EXPECT_EQ(impl().state.masterKeys[3], kKey2Bytes + kKey1Bytes);
    EXPECT_EQ(impl().state.activeWork, 5);
  }
  const QString block = Ok("TLX_ReadPinDES", {{"prompt", 0}, {"option", 0}, {"timeout", 30}})
                            .value("pinBlock")
                            .toString();
  EXPECT_EQ(block.size(), 16);
  EXPECT_EQ(Pin(block, ""), "123456");
  const QString ansi =
      Ok("TLX_ReadPinAnsi",
         {{"prompt", 1}, {"option", 0}, {"timeout", 30}, {"account", "6222020200112233445"}})
          .value("pinBlock")
          .toString();
  EXPECT_EQ(Pin(ansi, "6222020200112233445"), "123456");
  EXPECT_EQ(
      Ok("TLX_ReadPin", {{"mode", 0}, {"prompt", 0}, {"timeout", 30}}).value("pin").toString(),
      "123456");
  // Every PIN entry ended with the end byte.
  std::vector<std::string> sent = Sent();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), std::string("\x83")), 3);
  // Nothing secret in the service's log.
  const std::string log = ServiceLog();
  for (const std::string& secret :
       {std::string("0123456789ABCDEF"), std::string("fedcba9876543210"), block.toStdString(),
        ansi.toStdString(), std::string("123456"), std::string("6222020200112233445")})
    EXPECT_EQ(log.find(secret), std::string::npos) << secret;
  EXPECT_NE(log.find("TLX_ReadPinDES -> 0 TLX_OK"), std::string::npos) << log;
}

TEST_P(TlxdFunctions, Interaction) {
  const QJsonObject info =
      Ok("TLX_StartInfo", {{"timeout", 30}, {"info", QString::fromUtf8("请确认金额 100.00")}});
  EXPECT_EQ(info.value("result").toInt(-1), 0);
  EXPECT_EQ(info.value("answer").toString(), "confirmed");
  {
    std::lock_guard<std::mutex> g(impl().mu);
    // GBK on the terminal: 请 is C7EB.
    EXPECT_EQ(impl().state.infoText.substr(0, 2), "\xC7\xEB");
  }
  const QJsonObject rating = Ok("TLX_StartEvaluator", {{"tellerName", QString::fromUtf8("李伟")},
                                                       {"tellerNo", "1024"},
                                                       {"stars", 5},
                                                       {"timeout", 30}});
  EXPECT_EQ(rating.value("result").toInt(), 1);
  EXPECT_EQ(rating.value("answer").toString(), "satisfied");
  EXPECT_EQ(Ok("TLX_StartKeyboard", {{"timeout", 30}, {"mode", 0}}).value("input").toString(),
            "100.00");
  EXPECT_EQ(Ok("TLX_StartKeyboard", {{"timeout", 30}, {"mode", 1}}).value("input").toString(),
            "13800138000");

  const QJsonObject sign =
      Ok("TLX_StartSign",
         {{"timeout", 30},
          {"document", FileArg("receipt.html", "<html><body>Receipt</body></html>")}});
  QByteArray png;
  if (Ws()) {
    png = QByteArray::fromBase64(sign.value("image").toString().toLatin1());
  } else {
    QFile f(sign.value("imagePath").toString());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << Dump(sign);
    png = f.readAll();
    EXPECT_TRUE(QFile::exists(sign.value("dataPath").toString()));
  }
  EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n")) << png.left(16).toHex().toStdString();
  const QJsonObject trajectory = sign.value("trajectory").toObject();
  EXPECT_EQ(trajectory.value("width").toInt(), 320);
  EXPECT_EQ(trajectory.value("height").toInt(), 160);
  const QJsonArray strokes = trajectory.value("strokes").toArray();
  ASSERT_GE(strokes.size(), 1);
  EXPECT_TRUE(strokes[0].toArray()[0].toObject().contains("pressure"));
  std::lock_guard<std::mutex> g(impl().mu);
  EXPECT_EQ(impl().state.signKind, 1);  // html
}

TEST_P(TlxdFunctions, MediaFiles) {
  const std::string ad = Pattern(5000);
  Ok("TLX_DownLoadFile", {{"mediaType", 0}, {"file", FileArg("ad.jpg", ad)}});
  EXPECT_TRUE(ReadFile(impl().HostPath(impl().MediaPath(0, "ad.jpg"))) == ad)
      << "the file on the terminal differs";
  const QJsonArray files = Ok("TLX_GetFileList", {{"mediaType", 0}}).value("files").toArray();
  ASSERT_EQ(files.size(), 1) << Dump(QJsonObject{{"files", files}});
  EXPECT_EQ(files[0].toString(), "ad.jpg");
  const QJsonObject info = Ok("TLX_FindFileInfo", {{"mediaType", 0}, {"name", "ad.jpg"}});
  EXPECT_EQ(info.value("info").toString(), "ad.jpg|5000");
  EXPECT_EQ(info.value("name").toString(), "ad.jpg");
  EXPECT_EQ(info.value("size").toInt(), 5000);
  Ok("TLX_DeleteFile", {{"mediaType", 0}, {"name", "ad.jpg"}});
  EXPECT_EQ(Ok("TLX_GetFileList", {{"mediaType", 0}}).value("files").toArray().size(), 0);
  // A refused query: the library's code, no outputs.
  const QJsonObject gone = conn_->Call("TLX_FindFileInfo", {{"mediaType", 0}, {"name", "ad.jpg"}});
  EXPECT_EQ(Code(gone), -7);
  EXPECT_FALSE(gone.contains("outputs"));
}

TEST_P(TlxdFunctions, StatusAndCancel) {
  Ok("TLX_CheckOnline");
  const QJsonObject status = Ok("status");
  EXPECT_EQ(status.value("link").toObject().value("type").toString(),
            GetParam().link == Link::Hid ? "usb" : "serial");
  EXPECT_EQ(status.value("model").toString(), "R40");
  EXPECT_EQ(status.value("queue").toInt(-1), 0);
  EXPECT_EQ(status.value("clients").toObject().value(Ws() ? "websocket" : "unix").toInt(), 1);

  // A PIN entry nobody answers, and a command queued behind it.
  LoadKeys();
  QuickCustomer(60000);
  ClearHistory();
  conn_->Send({{"id", "pin"},
               {"fn", "TLX_ReadPinDES"},
               {"args", QJsonObject{{"prompt", 0}, {"option", 0}, {"timeout", 60}}}});
  conn_->Send({{"id", "next"}, {"fn", "TLX_GetVer"}});
  for (int i = 0; i < 200 && SentOn(GetParam().link).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const QJsonObject busy = conn_->Call("status");
  EXPECT_EQ(Outputs(busy).value("running").toString(), "TLX_ReadPinDES");
  EXPECT_EQ(Outputs(busy).value("queue").toInt(), 1);
  // The queued one is dropped with a cancelled reply; nothing of it is sent.
  EXPECT_EQ(Code(conn_->Call("cancel", {{"request", "next"}})), 0);
  const QJsonObject next = conn_->Reply("next");
  EXPECT_EQ(Code(next), -9) << Dump(next);
  // The running one ends with -9, and the PIN pad gets its end byte.
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Code(conn_->Call("cancel", {{"request", "pin"}})), 0);
  const QJsonObject pin = conn_->Reply("pin");
  EXPECT_EQ(Code(pin), -9) << Dump(pin);
  EXPECT_EQ(pin.value("name").toString(), "TLX_ERR_CANCEL");
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  const std::vector<std::string> sent = Sent();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back(), "\x83");
  EXPECT_EQ(std::count_if(
                sent.begin(), sent.end(),
                [](const std::string& s) { return s.find("GETDEVICEINFO") != std::string::npos; }),
            0);
  // Nothing left to cancel: as TLX_CancelRead with no command running.
  EXPECT_EQ(Code(conn_->Call("cancel", {{"request", "pin"}})), -7);
  EXPECT_EQ(Code(conn_->Call("TLX_CheckOnline")), 0);
}

std::string ParamName(const ::testing::TestParamInfo<Param>& info) {
  return std::string(info.param.link == Link::Hid ? "Hid" : "Serial") +
         (info.param.webSocket ? "WebSocket" : "UnixSocket");
}

INSTANTIATE_TEST_SUITE_P(Transports, TlxdFunctions,
                         ::testing::Values(Param{Link::Serial, false}, Param{Link::Hid, false},
                                           Param{Link::Serial, true}, Param{Link::Hid, true}),
                         ParamName);

}  // namespace
}  // namespace tlxtest
