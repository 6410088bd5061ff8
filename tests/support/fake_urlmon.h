// URL downloads served from memory, the way the real urlmon behaves: an
// unknown URL is a 404 whose error page is saved and reported as S_OK. The
// response status reaches the callback's IHttpNegotiate, progress is
// reported in chunks, and a failing OnProgress aborts with E_ABORT.
#ifndef ORVANEL_TESTS_SUPPORT_FAKE_URLMON_H_
#define ORVANEL_TESTS_SUPPORT_FAKE_URLMON_H_

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/urlmon.h"

struct FakeResponse {
  int status = 200;
  std::string body;
  HRESULT result = S_OK;  // what the download call returns
  ULONG announced = 0;    // the size reported as the whole; 0: the body's
};

class FakeUrlmon : public platform::UrlmonApi {
 public:
  static const char kErrorPage[];

  void Serve(const std::string& url, const std::string& body) { responses[url].body = body; }
  void Fail(const std::string& url, HRESULT result) { responses[url].result = result; }
  // The server announces more than it sends, and the call still succeeds:
  // what Wine's urlmon does when the connection breaks mid-body.
  void Cut(const std::string& url, const std::string& sent, ULONG announced) {
    responses[url].body = sent;
    responses[url].announced = announced;
  }

  HRESULT DownloadToFile(const char* url, const char* path,
                         IBindStatusCallback* callback) override;

  std::vector<std::string> Requested();

  std::map<std::string, FakeResponse> responses;

 private:
  std::mutex lock_;
  std::vector<std::string> requested_;
};

// Log lines of Debug.txt without their time prefix and line end.
std::vector<std::string> LogLines();

#endif  // ORVANEL_TESTS_SUPPORT_FAKE_URLMON_H_
