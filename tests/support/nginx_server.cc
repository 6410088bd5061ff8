#include "support/nginx_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "support/scratch_dir.h"

extern char** environ;

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

bool WaitForPort(int port) {
  for (int i = 0; i < 200; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

NginxServer::NginxServer(const std::string& root) : root_(root) {
  char pattern[] = "/tmp/orvanel-nginx-XXXXXX";
  dir_ = mkdtemp(pattern);
}

NginxServer::~NginxServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

bool NginxServer::Start() {
  // nginx's workers run as nobody when started as root: the served tree and
  // the log folder must be theirs to read and write.
  for (std::string path = root_; path.size() > 1; path = path.substr(0, path.rfind('/'))) {
    chmod(path.c_str(), 0755);
  }
  chmod(dir_.c_str(), 0777);
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = FreePort();
    std::ostringstream conf;
    conf << "daemon off;\nworker_processes 1;\npid " << dir_ << "/nginx.pid;\n"
         << "error_log " << dir_ << "/error.log;\n"
         << "events { worker_connections 64; }\n"
         << "http {\n"
         << "  log_format conn '$connection $request';\n"
         << "  access_log " << dir_ << "/access.log conn;\n"
         << "  client_body_temp_path " << dir_ << "/body;\n"
         << "  proxy_temp_path " << dir_ << "/proxy;\n"
         << "  fastcgi_temp_path " << dir_ << "/fastcgi;\n"
         << "  uwsgi_temp_path " << dir_ << "/uwsgi;\n"
         << "  scgi_temp_path " << dir_ << "/scgi;\n"
         << "  keepalive_requests 100000;\n"
         << "  server {\n    listen 127.0.0.1:" << port_ << ";\n    root " << root_ << ";\n"
         << "  }\n}\n";
    WriteFile(dir_ + "/nginx.conf", conf.str());
    std::string confPath = dir_ + "/nginx.conf";
    const char* argv[] = {"nginx", "-p", dir_.c_str(), "-c", confPath.c_str(), nullptr};
    if (posix_spawnp(&pid_, "nginx", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      pid_ = -1;
      return false;
    }
    if (WaitForPort(port_)) return true;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  return false;
}

std::string NginxServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

int NginxServer::ConnectionCount() const {
  std::istringstream log(ReadFile(dir_ + "/access.log"));
  std::set<std::string> connections;
  std::string line;
  while (std::getline(log, line)) connections.insert(line.substr(0, line.find(' ')));
  return static_cast<int>(connections.size());
}

HRESULT RedirectingUrlmon::DownloadToFile(const char* url, const char* path,
                                          IBindStatusCallback* callback) {
  std::string target = url;
  for (const auto& rule : rules_) {
    if (target.compare(0, rule.first.size(), rule.first) == 0) {
      target = rule.second + target.substr(rule.first.size());
      break;
    }
  }
  return platform::UrlmonApiWrapper::DownloadToFile(target.c_str(), path, callback);
}
