// What the service refuses, and that it goes on serving the other clients:
// a foreign origin (403 before the upgrade), a missing or wrong token, the
// plain PIN and key loading for an origin not allowed them, oversize
// messages, malformed JSON, unknown functions, missing arguments, a full
// queue, too many requests.
#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "TlxdTest.h"

namespace tlxtest {
namespace {

// Sends a WebSocket upgrade request to 127.0.0.1:port and returns the
// status line of the answer.
std::string UpgradeStatus(int port, const std::string& origin, const std::string& host) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return "no connection";
  }
  std::string req = "GET / HTTP/1.1\r\nHost: " + host +
                    "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";
  if (!origin.empty()) req += "Origin: " + origin + "\r\n";
  req += "\r\n";
  if (write(fd, req.data(), req.size()) != static_cast<ssize_t>(req.size())) {
    close(fd);
    return "not sent";
  }
  std::string answer;
  char buf[1024];
  pollfd p{fd, POLLIN, 0};
  while (answer.find("\r\n") == std::string::npos && poll(&p, 1, 3000) > 0) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    answer.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return answer.substr(0, answer.find("\r\n"));
}

class TlxdRefusals : public TlxdTest {
 protected:
  void SetUp() override {
    TlxdTest::SetUp();
    QuickCustomer();
  }
  void Start(const ServiceOptions& o = {}) {
    ASSERT_TRUE(StartService(o)) << ServiceLog();
    bystander_ = ConnectUnix();
  }
  // Another client, connected all along, is still served.
  void ExpectServing() {
    const QJsonObject r = bystander_->Call("TLX_CheckOnline");
    EXPECT_EQ(Code(r), 0) << Dump(r);
  }
  bool TerminalHeard(const std::string& needle) {
    for (const std::string& s : Sent())
      if (s.find(needle) != std::string::npos) return true;
    return false;
  }
  std::unique_ptr<UnixConn> bystander_;
};

TEST_F(TlxdRefusals, ForeignOriginGets403BeforeTheUpgrade) {
  Start();
  const std::string host = "127.0.0.1:" + std::to_string(port());
  EXPECT_EQ(UpgradeStatus(port(), "http://evil.test", host), "HTTP/1.1 403 Forbidden");
  EXPECT_EQ(UpgradeStatus(port(), "", host), "HTTP/1.1 403 Forbidden");
  // The allowed origin of another port is another origin.
  EXPECT_EQ(UpgradeStatus(port(), "http://page.test:8081", host), "HTTP/1.1 403 Forbidden");
  // A name that is no loopback name of this port (a rebound DNS name).
  EXPECT_EQ(UpgradeStatus(port(), kTellerOrigin, "teller.evil.test:" + std::to_string(port())),
            "HTTP/1.1 403 Forbidden");
  EXPECT_EQ(UpgradeStatus(port(), kTellerOrigin, host), "HTTP/1.1 101 Switching Protocols");
  WsConn evil("http://evil.test");
  EXPECT_FALSE(evil.Open(port()));
  EXPECT_NE(ServiceLog().find("refused the origin http://evil.test"), std::string::npos);
  ExpectServing();
}

TEST_F(TlxdRefusals, NothingRunsWithoutTheOriginsToken) {
  Start();
  ClearHistory();
  // No hello first.
  WsConn first(kTellerOrigin);
  ASSERT_TRUE(first.Open(port()));
  QJsonObject r = first.Call("TLX_CheckOnline");
  EXPECT_EQ(Code(r), -104) << Dump(r);
  EXPECT_EQ(r.value("name").toString(), "TLXD_ERR_AUTH");
  EXPECT_TRUE(first.Closed(3000));
  EXPECT_EQ(first.closeCode(), 1008);
  // A wrong token, and another origin's token.
  WsConn wrong(kTellerOrigin);
  ASSERT_TRUE(wrong.Open(port()));
  EXPECT_EQ(Code(wrong.Call("hello", {{"token", "teller-token-0123456788"}})), -104);
  EXPECT_TRUE(wrong.Closed(3000));
  WsConn other(kPageOrigin);
  ASSERT_TRUE(other.Open(port()));
  EXPECT_EQ(Code(other.Call("hello", {{"token", kTellerToken}})), -104);
  EXPECT_TRUE(other.Closed(3000));
  EXPECT_FALSE(TerminalHeard("CHECK"));
  ExpectServing();
  // The right one.
  WsConn page(kPageOrigin);
  ASSERT_TRUE(page.OpenWithToken(port(), kPageToken));
  EXPECT_EQ(Code(page.Call("TLX_CheckOnline")), 0);
}

TEST_F(TlxdRefusals, PlainPinAndKeyLoadingOnlyForOriginsAllowedThem) {
  Start();
  WsConn page(kPageOrigin);
  ASSERT_TRUE(page.OpenWithToken(port(), kPageToken));
  ClearHistory();
  const struct {
    const char* fn;
    QJsonObject args;
  } refused[] = {
      {"TLX_ReadPin", {{"mode", 0}, {"prompt", 0}, {"timeout", 30}}},
      {"TLX_UpdateMKey",
       {{"mkIndex", 0}, {"key1", "0123456789ABCDEF"}, {"key2", "0123456789ABCDEF"}}},
      {"TLX_DownLoadWKey", {{"mkIndex", 0}, {"wkIndex", 0}, {"wkey", "0123456789ABCDEF"}}},
      {"TLX_ActiveWKey", {{"mkIndex", 0}, {"wkIndex", 0}}},
      {"TLX_ResetKey", {}},
  };
  for (const auto& c : refused) {
    const QJsonObject r = page.Call(c.fn, c.args);
    EXPECT_EQ(Code(r), -105) << c.fn << ": " << Dump(r);
    EXPECT_EQ(r.value("name").toString(), "TLXD_ERR_FORBIDDEN");
  }
  EXPECT_TRUE(Sent().empty());
  // The PIN block is for every page; the plain PIN for the teller's page.
  EXPECT_NE(Code(page.Call("TLX_ReadPinDES", {{"prompt", 0}, {"option", 0}, {"timeout", 5}})),
            -105);
  auto teller = ConnectTeller();
  const QJsonObject pin =
      teller->Call("TLX_ReadPin", {{"mode", 0}, {"prompt", 0}, {"timeout", 30}});
  EXPECT_EQ(Code(pin), 0) << Dump(pin);
  EXPECT_EQ(Outputs(pin).value("pin").toString(), "123456");
  // Local programs on the Unix socket may load keys.
  EXPECT_EQ(Code(bystander_->Call("TLX_ResetKey")), 0);
  ExpectServing();
}

TEST_F(TlxdRefusals, OversizeMessagesEndTheirConnectionOnly) {
  ServiceOptions o;
  o.maxMessage = 64 * 1024;
  Start(o);
  const QByteArray big = "{\"id\":1,\"fn\":\"TLX_StartInfo\",\"args\":{\"timeout\":5,\"info\":\"" +
                         QByteArray(70 * 1024, 'x') + "\"}}";
  auto teller = ConnectTeller();
  teller->SendText(big);
  EXPECT_TRUE(teller->Closed(5000));
  EXPECT_EQ(teller->closeCode(), 1009);  // message too big
  auto local = ConnectUnix();
  local->SendText(big);
  QJsonObject r;
  ASSERT_TRUE(local->Next(&r, 5000));
  EXPECT_EQ(Code(r), -108) << Dump(r);
  EXPECT_EQ(r.value("name").toString(), "TLXD_ERR_SIZE");
  EXPECT_TRUE(local->Closed(5000));
  EXPECT_FALSE(TerminalHeard("4H"));
  ExpectServing();
  // A message within the limit passes.
  auto again = ConnectTeller();
  EXPECT_EQ(Code(again->Call("TLX_GetVer")), 0);
}

TEST_F(TlxdRefusals, MalformedRequestsGetClearErrors) {
  Start();
  auto teller = ConnectTeller();
  ClearHistory();
  for (Conn* c : {static_cast<Conn*>(teller.get()), static_cast<Conn*>(bystander_.get())}) {
    QJsonObject r;
    c->SendText("{\"id\":1,\"fn\":");
    ASSERT_TRUE(c->Next(&r, 5000));
    EXPECT_EQ(Code(r), -101) << Dump(r);
    EXPECT_TRUE(r.value("id").isNull());
    EXPECT_TRUE(r.value("text").toString().startsWith("malformed request: not JSON")) << Dump(r);
    c->SendText("[1,2]");
    ASSERT_TRUE(c->Next(&r, 5000));
    EXPECT_EQ(Code(r), -101);
    c->SendText("{\"id\":true,\"fn\":\"TLX_GetVer\"}");
    ASSERT_TRUE(c->Next(&r, 5000));
    EXPECT_EQ(Code(r), -101);
    r = c->Call("TLX_Explode");
    EXPECT_EQ(Code(r), -102);
    EXPECT_EQ(r.value("name").toString(), "TLXD_ERR_FUNCTION");
    r = c->Call("TLX_SetVolume", {{"kind", 1}});
    EXPECT_EQ(Code(r), -103);
    EXPECT_EQ(r.value("text").toString(), "missing or invalid argument: level: an integer");
    r = c->Call("TLX_SetVolume", {{"kind", "1"}, {"level", 2}});
    EXPECT_EQ(Code(r), -103);
    r = c->Call("TLX_SetVolume", {{"kind", 1.5}, {"level", 2}});
    EXPECT_EQ(Code(r), -103);
    r = c->Call(
        "TLX_StartSign",
        {{"timeout", 5}, {"document", QJsonObject{{"name", "../x.pdf"}, {"data", "JVBE"}}}});
    EXPECT_EQ(Code(r), -103) << Dump(r);
    r = c->Call("TLX_DownLoadFile",
                {{"mediaType", 0}, {"file", QJsonObject{{"name", "a.jpg"}, {"data", "**"}}}});
    EXPECT_EQ(Code(r), -103) << Dump(r);
    // The connection still works.
    EXPECT_EQ(Code(c->Call("TLX_GetVer")), 0);
  }
  // Only the two good calls reached the terminal.
  EXPECT_EQ(Sent().size(), 2u);
  // A path is no file argument on the WebSocket.
  EXPECT_EQ(Code(teller->Call("TLX_DownLoadFile", {{"mediaType", 0}, {"file", "/etc/passwd"}})),
            -103);
}

TEST_F(TlxdRefusals, FullQueueAnswersAtOnce) {
  ServiceOptions o;
  o.queue = 2;
  Start(o);
  QuickCustomer(60000);  // nobody types the PIN
  auto teller = ConnectTeller();
  teller->Send({{"id", "pin"},
                {"fn", "TLX_ReadPin"},
                {"args", QJsonObject{{"mode", 0}, {"prompt", 0}, {"timeout", 60}}}});
  for (int i = 0; i < 200 && !TerminalHeard("\x82"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  auto a = ConnectUnix();
  a->Send({{"id", "v1"}, {"fn", "TLX_GetVer"}});
  a->Send({{"id", "v2"}, {"fn", "TLX_GetVer"}});
  EXPECT_EQ(Code(a->Call("TLX_GetVer", {}, 5000)), -106);
  // The same id again while it waits.
  QJsonObject dup;
  a->Send({{"id", "v1"}, {"fn", "TLX_CheckOnline"}});
  ASSERT_TRUE(a->Next(&dup, 5000));
  EXPECT_EQ(Code(dup), -111) << Dump(dup);
  const auto t0 = std::chrono::steady_clock::now();
  const QJsonObject full = bystander_->Call("TLX_CheckOnline", {}, 5000);
  EXPECT_EQ(Code(full), -106) << Dump(full);
  EXPECT_EQ(full.value("name").toString(), "TLXD_ERR_QUEUE_FULL");
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  // Once the PIN entry is cancelled the queue moves on.
  EXPECT_EQ(Code(teller->Call("cancel", {{"request", "pin"}})), 0);
  EXPECT_EQ(Code(teller->Reply("pin")), -9);
  EXPECT_EQ(Code(a->Reply("v1")), 0);
  EXPECT_EQ(Code(a->Reply("v2")), 0);
  ExpectServing();
}

TEST_F(TlxdRefusals, UnixSocketIsTheUsersOwnOrAGroups) {
  Start();
  struct stat st {};
  ASSERT_EQ(stat(socketPath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_uid, getuid());
  bystander_.reset();
  ASSERT_EQ(StopService(), 0);
  // With a group (here the user's own primary group): 0660 for it.
  const struct group* g = getgrgid(getgid());
  ASSERT_NE(g, nullptr);
  ServiceOptions o;
  o.unixGroup = g->gr_name;
  Start(o);
  ASSERT_EQ(stat(socketPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0660u);
  EXPECT_EQ(st.st_gid, getgid());
  ExpectServing();
}

TEST_F(TlxdRefusals, TooManyRequestsAreRefused) {
  ServiceOptions o;
  o.rate = 1;
  o.burst = 3;
  Start(o);
  auto local = ConnectUnix();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Code(local->Call("status")), 0);
  const QJsonObject r = local->Call("status");
  EXPECT_EQ(Code(r), -107) << Dump(r);
  EXPECT_EQ(r.value("name").toString(), "TLXD_ERR_RATE");
  // Each client has its own allowance.
  ExpectServing();
}

}  // namespace
}  // namespace tlxtest
