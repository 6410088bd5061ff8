#include "support/fake_urlmon.h"

#include <cstdio>

#include "support/scratch_dir.h"

const char FakeUrlmon::kErrorPage[] = "<html><body><h1>404 Not Found</h1></body></html>";

HRESULT FakeUrlmon::DownloadToFile(const char* url, const char* path,
                                   IBindStatusCallback* callback) {
  FakeResponse response;
  {
    std::lock_guard<std::mutex> hold(lock_);
    requested_.push_back(url);
    auto found = responses.find(url);
    if (found != responses.end()) {
      response = found->second;
    } else {
      response.status = 404;
      response.body = kErrorPage;
    }
  }
  if (response.result != S_OK) return response.result;
  void* negotiate = nullptr;
  if (callback != nullptr &&
      SUCCEEDED(callback->QueryInterface(IID_IHttpNegotiate, &negotiate))) {
    static_cast<IHttpNegotiate*>(negotiate)->OnResponse(static_cast<DWORD>(response.status),
                                                        nullptr, nullptr, nullptr);
  }
  std::string native = platform::NativePath(path);
  FILE* file = fopen(native.c_str(), "wb");
  if (file == nullptr) return S_OK;  // as urlmon: success, and no file
  const size_t kChunk = 1000;
  ULONG total = response.announced != 0 ? response.announced
                                        : static_cast<ULONG>(response.body.size());
  for (size_t done = 0; done < response.body.size() || done == 0;) {
    size_t part = std::min(kChunk, response.body.size() - done);
    fwrite(response.body.data() + done, 1, part, file);
    done += part;
    if (callback != nullptr &&
        FAILED(callback->OnProgress(static_cast<ULONG>(done), total,
                                    BINDSTATUS_DOWNLOADINGDATA, nullptr))) {
      fclose(file);
      remove(native.c_str());
      return E_ABORT;
    }
    if (part == 0) break;
  }
  fclose(file);
  return S_OK;
}

std::vector<std::string> FakeUrlmon::Requested() {
  std::lock_guard<std::mutex> hold(lock_);
  return requested_;
}

std::vector<std::string> LogLines() {
  std::string log = ReadFile("Debug.txt");
  std::vector<std::string> lines;
  for (size_t start = 0; start < log.size();) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    lines.push_back(end - start > 24 ? log.substr(start + 24, end - start - 24) : "");
    start = end + 2;
  }
  return lines;
}
