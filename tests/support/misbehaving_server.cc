#include "support/misbehaving_server.h"

#include <httplib.h>

#include <chrono>

#include "support/nginx_server.h"

MisbehavingServer::MisbehavingServer() : server_(std::make_unique<httplib::Server>()) {}

MisbehavingServer::~MisbehavingServer() {
  stopping_ = true;
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

void MisbehavingServer::Serve(const std::string& path, const std::string& body) {
  std::lock_guard<std::mutex> hold(lock_);
  files_[path] = body;
}

bool MisbehavingServer::Start() {
  using httplib::DataSink;
  using httplib::Request;
  using httplib::Response;
  server_->Get(R"(/drop/.*)", [](const Request&, Response& res) {
    res.set_content_provider(100000, "application/octet-stream",
                             [](size_t offset, size_t, DataSink& sink) {
                               if (offset >= 1000) return false;  // the connection goes
                               std::string part(1000, 'd');
                               sink.write(part.data(), part.size());
                               return true;
                             });
  });
  server_->Get(R"(/status/(\d+))", [](const Request& req, Response& res) {
    res.status = std::stoi(req.matches[1]);
    res.set_content("<html>error page</html>", "text/html");
  });
  server_->Get(R"(/stall/.*)", [this](const Request&, Response& res) {
    res.set_content_provider(1000, "application/octet-stream",
                             [this](size_t offset, size_t, DataSink& sink) {
                               if (offset == 0) {
                                 sink.write("0123456789", 10);
                                 return true;
                               }
                               for (int i = 0; i < 300 && !stopping_; ++i) {
                                 std::this_thread::sleep_for(std::chrono::milliseconds(100));
                               }
                               return false;
                             });
  });
  server_->Get(R"(/slow/.*)", [this](const Request&, Response& res) {
    res.set_content_provider(100 * 1024, "application/octet-stream",
                             [this](size_t, size_t, DataSink& sink) {
                               if (stopping_) return false;
                               std::this_thread::sleep_for(std::chrono::milliseconds(20));
                               std::string part(1024, 's');
                               sink.write(part.data(), part.size());
                               return true;
                             });
  });
  server_->Get(R"(/.*)", [this](const Request& req, Response& res) {
    std::lock_guard<std::mutex> hold(lock_);
    auto found = files_.find(req.path);
    if (found == files_.end()) {
      res.status = 404;
      return;
    }
    res.set_content(found->second, "application/octet-stream");
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return false;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // A stop before the accept loop runs would be lost: wait for the loop.
  for (int i = 0; i < 500 && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return server_->is_running() && WaitForPort(port_);
}

std::string MisbehavingServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}
