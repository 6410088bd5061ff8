// A small HTTP server on 127.0.0.1 that fails on purpose, for the transfer
// faults nginx will not produce:
//   /drop/NAME     promises 100000 bytes, sends 1000, closes the connection
//   /status/CODE   answers with that status and a short error page
//   /stall/NAME    sends 10 bytes, then nothing for 30 s
//   /slow/NAME     sends 100 KiB in 1 KiB steps, 20 ms apart
//   anything else  served from the files given with Serve
#ifndef ORVANEL_TESTS_SUPPORT_MISBEHAVING_SERVER_H_
#define ORVANEL_TESTS_SUPPORT_MISBEHAVING_SERVER_H_

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

class MisbehavingServer {
 public:
  MisbehavingServer();
  ~MisbehavingServer();

  bool Start();
  std::string BaseUrl() const;
  void Serve(const std::string& path, const std::string& body);

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex lock_;
  std::map<std::string, std::string> files_;
};

#endif  // ORVANEL_TESTS_SUPPORT_MISBEHAVING_SERVER_H_
