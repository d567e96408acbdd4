// Many clients at once and clients or a service that go away: every reply
// reaches the client that asked, none is lost, the terminal hears one whole
// command at a time; a client killed during a PIN entry ends it with the
// end byte; a restarted service gives a clear error and takes connections
// again.
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "TlxdTest.h"

namespace tlxtest {
namespace {

const std::string kCheck = "\x1b[0CHECKR40";

class TlxdLoad : public TlxdTest {
 protected:
  void SetUp() override {
    TlxdTest::SetUp();
    QuickCustomer();
  }
  void WaitHeard(const std::string& bytes) {
    for (int i = 0; i < 300 && !WasSent(bytes); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(WasSent(bytes));
  }
  void LoadWorkKey() {
    std::lock_guard<std::mutex> g(impl().mu);
    auto& st = impl().state;
    st.masterKeys[0] = std::string(16, '\x11');
    st.workKeys[{0, 0}] = std::string(16, '\x22');
    st.activeMaster = st.activeWork = 0;
  }
};

TEST_F(TlxdLoad, FiftyClientsManyCallsEach) {
  const int kClients = 50, kCalls = TLXD_CALLS_PER_CLIENT;
  ASSERT_TRUE(StartService());  // USB, queue 64
  ClearHistory();
  std::atomic<int> ok{0}, wrong{0};
  std::vector<std::thread> threads;
  std::vector<std::string> problems(kClients);
  for (int k = 0; k < kClients; ++k) {
    threads.emplace_back([&, k] {
      UnixConn c(socketPath());
      if (!c.ok()) {
        problems[k] = "no connection";
        wrong += kCalls;
        return;
      }
      for (int i = 0; i < kCalls; ++i) {
        // Ids that name the client and the call: a reply that went astray
        // or came twice would carry another one.
        const QString id = QString("c%1-%2").arg(k).arg(i);
        c.Send({{"id", id}, {"fn", "TLX_CheckOnline"}});
        QJsonObject r;
        if (!c.Next(&r, 30000)) {
          problems[k] = "no reply to " + id.toStdString();
          wrong += kCalls - i;
          return;
        }
        if (r.value("id").toString() == id && Code(r) == 0 &&
            Outputs(r).value("model").toString() == "R40") {
          ++ok;
        } else {
          ++wrong;
          if (problems[k].empty()) problems[k] = "asked " + id.toStdString() + ", got " + Dump(r);
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  for (const std::string& p : problems) EXPECT_EQ(p, "");
  EXPECT_EQ(ok.load(), kClients * kCalls);
  EXPECT_EQ(wrong.load(), 0);
  // The terminal heard exactly one whole online check per call and nothing
  // else: no two commands ran into each other.
  const std::vector<tlxsim::Received> h = Settled();
  EXPECT_EQ(h.size(), static_cast<size_t>(kClients * kCalls));
  size_t whole = 0;
  for (const auto& r : h) whole += r.link == Link::Hid && r.bytes == kCheck;
  EXPECT_EQ(whole, h.size());
}

TEST_F(TlxdLoad, ClientKilledDuringPinEntry) {
  ASSERT_TRUE(StartService());
  LoadWorkKey();
  QuickCustomer(60000);  // the customer never finishes
  ClearHistory();
  // A separate program that asks for a PIN block and is then killed.
  const std::string path = socketPath();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    const char req[] =
        "{\"id\":1,\"fn\":\"TLX_ReadPinDES\",\"args\":{\"prompt\":0,\"option\":0,\"timeout\":60}}"
        "\n";
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        write(fd, req, sizeof req - 1) != static_cast<ssize_t>(sizeof req - 1))
      _exit(1);
    pause();
    _exit(0);
  }
  // Meanwhile another client's command waits its turn.
  auto next = ConnectTeller();
  WaitHeard(
      "\x1b"
      "F00\r\n");
  next->Send({{"id", "next"}, {"fn", "TLX_GetVer"}});
  const auto t0 = std::chrono::steady_clock::now();
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  const QJsonObject r = next->Reply("next", 5000);
  EXPECT_EQ(Code(r), 0) << Dump(r);
  EXPECT_EQ(Outputs(r).value("version").toString(), "TLX-1.4.2");
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  // The PIN pad got its end byte before the next command.
  const std::vector<std::string> sent = Sent();
  const int end = IndexOf("\x83");
  ASSERT_GE(end, 0);
  EXPECT_LT(end, IndexOf("\x1b[0GETDEVICEINFO"));
  EXPECT_NE(ServiceLog().find("TLX_ReadPinDES cancelled"), std::string::npos) << ServiceLog();
}

TEST_F(TlxdLoad, WebSocketDroppedDuringPinEntry) {
  ASSERT_TRUE(StartService());
  LoadWorkKey();
  QuickCustomer(60000);
  ClearHistory();
  auto page = ConnectTeller();
  page->Send({{"id", 1},
              {"fn", "TLX_ReadPinDES"},
              {"args", QJsonObject{{"prompt", 0}, {"option", 0}, {"timeout", 60}}}});
  page->Send({{"id", 2}, {"fn", "TLX_GetVer"}});  // queued: dropped with it
  WaitHeard(
      "\x1b"
      "F00\r\n");
  page->socket().abort();
  page.reset();
  auto next = ConnectUnix();
  EXPECT_EQ(Code(next->Call("TLX_CheckOnline", {}, 5000)), 0);
  EXPECT_GE(IndexOf("\x83"), 0);
  EXPECT_LT(IndexOf("\x83"), IndexOf(kCheck));
  EXPECT_EQ(IndexOf("\x1b[0GETDEVICEINFO"), -1);
}

TEST_F(TlxdLoad, RestartWhileAClientWaits) {
  ASSERT_TRUE(StartService());
  LoadWorkKey();
  QuickCustomer(60000);
  auto page = ConnectTeller();
  auto local = ConnectUnix();
  page->Send({{"id", 1},
              {"fn", "TLX_ReadPinDES"},
              {"args", QJsonObject{{"prompt", 0}, {"option", 0}, {"timeout", 60}}}});
  WaitHeard(
      "\x1b"
      "F00\r\n");
  local->Send({{"id", 7}, {"fn", "TLX_GetVer"}});
  EXPECT_EQ(Outputs(local->Call("status")).value("queue").toInt(),
            1);  // waits behind the PIN entry
  const int port = this->port();
  EXPECT_EQ(StopService(), 0);
  // Both get a clear error, then the connection ends.
  const QJsonObject running = page->Reply(1, 5000);
  EXPECT_EQ(Code(running), -109) << Dump(running);
  EXPECT_EQ(running.value("name").toString(), "TLXD_ERR_SHUTDOWN");
  EXPECT_TRUE(page->Closed(5000));
  EXPECT_EQ(page->closeCode(), 1001);  // going away
  const QJsonObject queued = local->Reply(7, 5000);
  EXPECT_EQ(Code(queued), -109) << Dump(queued);
  EXPECT_TRUE(local->Closed(5000));
  EXPECT_GE(IndexOf("\x83"), 0);
  // The service again on the same port and socket: clients reconnect.
  ServiceOptions o;
  o.port = port;
  ASSERT_TRUE(StartService(o)) << ServiceLog();
  QuickCustomer();
  auto again = ConnectTeller();
  EXPECT_EQ(Code(again->Call("TLX_CheckOnline")), 0);
  auto localAgain = ConnectUnix();
  EXPECT_EQ(Code(localAgain->Call("TLX_GetVer")), 0);
}

}  // namespace
}  // namespace tlxtest
