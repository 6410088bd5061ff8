// A real nginx on 127.0.0.1 serving a folder, started and stopped by a test:
// its own configuration, a free port, every file it writes in a folder of
// its own. nginx's access log records the connection of each request, so a
// test can count how many connections its transfers took.
#ifndef ORVANEL_TESTS_SUPPORT_NGINX_SERVER_H_
#define ORVANEL_TESTS_SUPPORT_NGINX_SERVER_H_

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/linux/urlmon.h"

class NginxServer {
 public:
  // Serves root at http://127.0.0.1:port/ once Start returns true.
  explicit NginxServer(const std::string& root);
  ~NginxServer();

  bool Start();
  int port() const { return port_; }
  std::string BaseUrl() const;  // "http://127.0.0.1:PORT"
  // Distinct connections in the access log so far.
  int ConnectionCount() const;

 private:
  std::string root_;
  std::string dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};

// A port on 127.0.0.1 that nothing listens on right now.
int FreePort();

// Waits up to 10 s until something accepts connections on the port.
bool WaitForPort(int port);

// Sends URLs under one base to another, so that the launcher, built with its
// fixed base URL, fetches from the test's server. The first rule whose
// prefix matches applies; other URLs go out unchanged.
class RedirectingUrlmon : public platform::UrlmonApiWrapper {
 public:
  RedirectingUrlmon() = default;
  RedirectingUrlmon(const std::string& from, const std::string& to) { Add(from, to); }
  void Add(const std::string& from, const std::string& to) { rules_.push_back({from, to}); }
  HRESULT DownloadToFile(const char* url, const char* path,
                         IBindStatusCallback* callback) override;

 private:
  std::vector<std::pair<std::string, std::string>> rules_;
};

#endif  // ORVANEL_TESTS_SUPPORT_NGINX_SERVER_H_
