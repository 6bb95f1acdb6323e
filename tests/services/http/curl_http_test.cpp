// The network object and its libcurl service against a tiny HTTP server on 127.0.0.1 run by the
// test itself: answers, posts, the permission rules, refused addresses, answers too large or that
// never come, cancelling, and the object's events and save record.
#include "services/http/curl_http.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "core/cp932.h"
#include "params/custom_param.h"
#include "resources/stream.h"
#include "scene/model/orin_base_list.h"
#include "scene/model/property_table.h"
#include "scene/objects/orin_http.h"
#include "services/http/network_consent.h"
#include "support/test_support.h"

namespace orin {
namespace {

// One connection at a time; the handler gets the socket and the request's head and body.
class LocalServer {
 public:
  using Handler = std::function<void(int fd, const std::string& request, const std::atomic<bool>& stop)>;

  explicit LocalServer(Handler handler) : handler_(std::move(handler)) {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    EXPECT_EQ(bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(listen(listen_, 8), 0);
    socklen_t n = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &n);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalServer() {
    stop_ = true;
    thread_.join();
    close(listen_);
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int Connections() const { return connections_; }

  static void Send(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      const int fd = accept(listen_, nullptr, nullptr);
      if (fd < 0) continue;
      ++connections_;
      std::string request;
      char buffer[4096];
      // The head, then as much body as Content-Length says.
      size_t want = std::string::npos;
      while (!stop_) {
        pollfd q{fd, POLLIN, 0};
        if (poll(&q, 1, 20) <= 0) continue;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
        const size_t head = request.find("\r\n\r\n");
        if (head == std::string::npos) continue;
        if (want == std::string::npos) {
          want = head + 4;
          const size_t cl = request.find("Content-Length: ");
          if (cl != std::string::npos && cl < head) want += std::strtoul(request.c_str() + cl + 16, nullptr, 10);
        }
        if (request.size() >= want) break;
      }
      handler_(fd, request, stop_);
      close(fd);
    }
  }

  Handler handler_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

void Routes(int fd, const std::string& request, const std::atomic<bool>& stop) {
  auto path = [&](const char* p) { return request.find(std::string(" ") + p + " HTTP") != std::string::npos; };
  if (path("/hello")) {
    LocalServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nhi");
  } else if (path("/echo")) {
    const std::string body = request.substr(request.find("\r\n\r\n") + 4);
    const std::string method = request.substr(0, request.find(' '));
    const std::string answer = method + ":" + body;
    LocalServer::Send(fd, "HTTP/1.1 201 Created\r\nContent-Length: " + std::to_string(answer.size()) +
                              "\r\nConnection: close\r\n\r\n" + answer);
  } else if (path("/missing")) {
    LocalServer::Send(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\nConnection: close\r\n\r\nnope");
  } else if (path("/huge")) {
    // Says 1 GB is coming.
    LocalServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\nConnection: close\r\n\r\n");
    LocalServer::Send(fd, std::string(65536, 'z'));
  } else if (path("/endless")) {
    // No length: bytes until the client gives up.
    LocalServer::Send(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
    const std::string chunk(16384, 'e');
    for (int i = 0; i < 4096 && !stop; ++i) {
      if (send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) <= 0) break;
    }
  } else if (path("/hang")) {
    // Silent until the client hangs up (or the server stops), so the next request is served.
    while (!stop) {
      pollfd q{fd, POLLIN, 0};
      if (poll(&q, 1, 10) <= 0) continue;
      char c;
      if (recv(fd, &c, 1, 0) <= 0) break;
    }
  }
}

HttpOptions Allowed() {
  HttpOptions o;
  o.Permission = NetworkPermission::kAllowed;
  o.ConnectTimeoutMs = 2000;
  o.TimeoutMs = 5000;
  o.MaxAnswerBytes = 100000;
  return o;
}

HttpResult Wait(HttpTransfer& t) {
  for (int i = 0; i < 2000 && !t.Done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(t.Done());
  return t.Result();
}

HttpResult Fetch(CurlHttpService& service, const std::string& url, bool post = false, const std::string& body = {}) {
  auto t = service.Start(HttpRequest{url, post, body});
  return Wait(*t);
}

TEST(CurlHttpService, AnswersArriveWithTheirStatus) {
  LocalServer server(Routes);
  CurlHttpService service(Allowed());
  struct Case {
    std::string path;
    bool post;
    std::string body;
    int status;
    std::string answer;
  } cases[] = {
      {"/hello", false, "", 200, "hi"},
      {"/echo", true, "name=orin", 201, "POST:name=orin"},
      {"/echo", false, "", 201, "GET:"},
      {"/missing", false, "", 404, "nope"},
  };
  for (const Case& c : cases) {
    const HttpResult r = Fetch(service, server.Url(c.path), c.post, c.body);
    EXPECT_TRUE(r.Ok) << c.path << " " << r.Error;
    EXPECT_EQ(r.Status, c.status) << c.path;
    EXPECT_EQ(r.Body, c.answer) << c.path;
  }
}

TEST(CurlHttpService, BadAnswersFailCleanlyAndBounded) {
  LocalServer server(Routes);
  HttpOptions options = Allowed();
  options.TimeoutMs = 400;
  CurlHttpService service(options);
  struct Case {
    std::string path;
    std::string reason;
  } cases[] = {
      {"/huge", "too large"},
      {"/endless", "too large"},
      {"/hang", "did not answer in time"},
  };
  for (const Case& c : cases) {
    const HttpResult r = Fetch(service, server.Url(c.path));
    EXPECT_FALSE(r.Ok) << c.path;
    EXPECT_NE(r.Error.find(c.reason), std::string::npos) << c.path << ": " << r.Error;
    EXPECT_TRUE(r.Body.empty()) << c.path;
  }
}

TEST(CurlHttpService, OnlyHttpAndHttpsAddressesAreRequested) {
  CurlHttpService service(Allowed());
  for (const char* url : {"file:///etc/passwd", "ftp://127.0.0.1/x", "gopher://a", "", "127.0.0.1/x"}) {
    auto t = service.Start(HttpRequest{url, false, {}});
    ASSERT_TRUE(t->Done()) << url;  // at once, without a worker
    EXPECT_FALSE(t->Result().Ok) << url;
    EXPECT_NE(t->Result().Error.find("http://"), std::string::npos) << url;
  }
}

TEST(CurlHttpService, WithoutPermissionNothingLeavesTheMachine) {
  LocalServer server(Routes);
  struct Case {
    NetworkPermission permission;
    int answer;  // -1: no question; 0 no, 1 yes
    bool ok;
  } cases[] = {
      {NetworkPermission::kDenied, -1, false},
      {NetworkPermission::kAsk, 0, false},
      {NetworkPermission::kAsk, 1, true},
  };
  for (const Case& c : cases) {
    HttpOptions options = Allowed();
    options.Permission = c.permission;
    int asked = 0;
    options.Ask = [&] {
      ++asked;
      return c.answer == 1;
    };
    CurlHttpService service(options);
    for (int i = 0; i < 2; ++i) {
      auto t = service.Start(HttpRequest{server.Url("/hello"), false, {}});
      if (!c.ok) {
        ASSERT_TRUE(t->Done());  // fails at once
        EXPECT_NE(t->Result().Error.find("--allow-network"), std::string::npos);
      }
      EXPECT_EQ(Wait(*t).Ok, c.ok);
    }
    EXPECT_EQ(asked, c.answer < 0 ? 0 : 1);  // asked once a run at most
    if (!c.ok) {
      EXPECT_EQ(server.Connections(), 0);
    }
  }
}

TEST(CurlHttpService, DroppingARunningTransferDoesNotWait) {
  LocalServer server(Routes);
  CurlHttpService service(Allowed());
  auto t = service.Start(HttpRequest{server.Url("/hang"), false, {}});
  t.reset();  // returns at once; the worker stops by itself
  EXPECT_EQ(Fetch(service, server.Url("/hello")).Body, "hi");
}

TEST(NetworkConsent, AYesIsRememberedPerGameFolder) {
  test::TempDir dir;
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  EXPECT_FALSE(NetworkRemembered("/games/a/"));
  EXPECT_TRUE(RememberNetwork("/games/a/"));
  EXPECT_TRUE(RememberNetwork("/games/a/"));
  EXPECT_TRUE(NetworkRemembered("/games/a/"));
  EXPECT_FALSE(NetworkRemembered("/games/b/"));
  EXPECT_FALSE(RememberNetwork("/games/evil\n/games/b/"));
  EXPECT_FALSE(NetworkRemembered("/games/b/"));
  if (old)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

// ---- The object

struct HttpScene {
  explicit HttpScene(HttpService* http) {
    scene.SetServices({.Http = http});
    object = static_cast<TOrinHttp*>(scene.Create(kKindHttp));
    object->Rename("net");
    TParamStr label;
    label.SetAsStr("done");
    object->SetProp(kPropFinishedLabel, label);
  }
  void Set(int number, const std::string& v) {
    TParamStr p;
    p.SetAsStr(v);
    object->SetProp(number, p);
  }
  std::string Get(int number) {
    TParamStr p;
    object->GetProp(number, p);
    return p.GetAsStr();
  }
  // Steps until the finished event is queued (or a bound of steps passes).
  std::string RunToEvent() {
    for (int i = 0; i < 2000 && scene.Events().Count() == 0; ++i) {
      scene.Step();
      if (scene.Events().Count() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (scene.Events().Count() == 0) return "no event";
    std::string line = std::to_string(scene.Events()[0].Code) + " " + scene.Events()[0].Label;
    for (const std::string& a : scene.Events()[0].Args) line += "|" + a;
    return line;
  }
  TOrinBaseList scene;
  TOrinHttp* object = nullptr;
};

TEST(TOrinHttp, RequestFinishesWithTheLabelStatusAndAnswer) {
  LocalServer server(Routes);
  CurlHttpService service(Allowed());
  HttpScene s(&service);
  s.Set(50, "score=10");
  s.Set(kPropFile, server.Url("/echo"));
  EXPECT_EQ(s.RunToEvent(), "43 done|201|POST:score=10");
  EXPECT_EQ(s.Get(50), "POST:score=10");
  EXPECT_FALSE(s.object->Busy());
}

TEST(TOrinHttp, RefusedOrUnavailableNetworkFailsAtOnceWithTheReason) {
  HttpOptions denied;
  CurlHttpService service(denied);
  for (HttpService* http : {static_cast<HttpService*>(&service), static_cast<HttpService*>(nullptr)}) {
    HttpScene s(http);
    s.Set(kPropFile, "http://127.0.0.1:9/x");
    s.scene.Step();  // the first step already has it
    ASSERT_EQ(s.scene.Events().Count(), 1);
    const std::string line = s.RunToEvent();
    EXPECT_EQ(line.rfind("43 done|0|", 0), 0u) << line;
    EXPECT_NE(line.find(http ? "--allow-network" : "not available"), std::string::npos) << line;
  }
}

TEST(TOrinHttp, SaveRecordRoundTripsIdle) {
  HttpScene s(nullptr);
  s.Set(50, "body");
  s.Set(kPropFile, "http://example.invalid/");
  s.scene.Step();
  MemoryStream m;
  s.object->Save(m, kSceneSaveVersion);
  m.SetPosition(0);
  HttpScene t(nullptr);
  t.object->Load(m, kSceneSaveVersion);
  EXPECT_EQ(m.GetPosition(), m.GetSize());
  EXPECT_EQ(t.Get(kPropFile), "http://example.invalid/");
  EXPECT_EQ(t.Get(kPropFinishedLabel), "done");
  EXPECT_FALSE(t.object->Busy());
}

}  // namespace
}  // namespace orin
