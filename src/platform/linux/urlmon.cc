// URLDownloadToFileA on libcurl.
//
// Each thread keeps one easy handle for its whole life, so consecutive
// transfers to the same host reuse the connection. The progress callback is
// told on every tick curl gives (several times a second, also while no data
// arrives), so a callback that wants to abort is heard promptly.
#include "platform/linux/urlmon.h"

#include <curl/curl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IBindStatusCallback = {0x79EAC9C1, 0xBAF9, 0x11CE,
                                     {0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B}};
const IID IID_IHttpNegotiate = {0x79EAC9D2, 0xBAF9, 0x11CE,
                                {0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B}};

namespace platform {
namespace {

std::atomic<long> stallLimitSeconds{60};

// The thread's handle, cleaned up when the thread ends.
class ThreadConnection {
 public:
  ThreadConnection() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    handle_ = curl_easy_init();
  }
  ~ThreadConnection() {
    if (handle_ != nullptr) curl_easy_cleanup(handle_);
  }
  CURL* handle() { return handle_; }

 private:
  CURL* handle_;
};

struct Transfer {
  FILE* file = nullptr;
  IBindStatusCallback* callback = nullptr;
  IHttpNegotiate* negotiate = nullptr;
  long status = 0;
  bool aborted = false;     // the callback asked to stop
  bool writeFailed = false; // the local file took no more bytes
};

size_t WriteBody(char* data, size_t size, size_t count, void* context) {
  Transfer* t = static_cast<Transfer*>(context);
  size_t bytes = size * count;
  if (fwrite(data, 1, bytes, t->file) != bytes) {
    t->writeFailed = true;
    return 0;
  }
  return bytes;
}

int Progress(void* context, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
  Transfer* t = static_cast<Transfer*>(context);
  if (t->callback == nullptr) return 0;
  // The counts of the interface are 32-bit.
  ULONG progress = static_cast<ULONG>(now);
  ULONG progressMax = static_cast<ULONG>(total);
  HRESULT result =
      t->callback->OnProgress(progress, progressMax, BINDSTATUS_DOWNLOADINGDATA, nullptr);
  if (FAILED(result)) {
    t->aborted = true;
    return 1;
  }
  return 0;
}

class CurlUrlmon : public UrlmonApi {
 public:
  HRESULT DownloadToFile(const char* url, const char* path,
                         IBindStatusCallback* callback) override {
    static thread_local ThreadConnection connection;
    CURL* curl = connection.handle();
    if (curl == nullptr) return E_OUTOFMEMORY;

    std::string native = NativePath(path);
    Transfer t;
    t.callback = callback;
    if (callback != nullptr) {
      void* negotiate = nullptr;
      if (SUCCEEDED(callback->QueryInterface(IID_IHttpNegotiate, &negotiate))) {
        t.negotiate = static_cast<IHttpNegotiate*>(negotiate);
      }
    }
    t.file = fopen(native.c_str(), "wb");
    if (t.file == nullptr) {
      if (t.negotiate != nullptr) t.negotiate->Release();
      return INET_E_DOWNLOAD_FAILURE;
    }
    setvbuf(t.file, nullptr, _IONBF, 0);  // curl's buffer is the only one needed

    curl_easy_reset(curl);  // keeps the live connection
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, stallLimitSeconds.load());
    curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
    // Large reads, as the curl tool makes them: big files go at disk speed.
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 512L * 1024L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, HeaderEnd);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    current = curl;
    CURLcode code = curl_easy_perform(curl);
    current = nullptr;
    curl_slist_free_all(headers);
    if (t.negotiate != nullptr) t.negotiate->Release();

    bool closed = fclose(t.file) == 0;
    HRESULT result = S_OK;
    if (code == CURLE_OUT_OF_MEMORY) {
      result = E_OUTOFMEMORY;
    } else if (t.aborted || code == CURLE_ABORTED_BY_CALLBACK) {
      result = E_ABORT;
    } else if (code != CURLE_OK || t.status >= 400 || t.writeFailed || !closed) {
      result = INET_E_DOWNLOAD_FAILURE;
    }
    if (result != S_OK) unlink(native.c_str());  // never a partial file
    return result;
  }

  // At the end of each header block: the final status goes to the
  // callback's IHttpNegotiate, as urlmon does, and an error status ends the
  // transfer before its body is stored.
  static size_t HeaderEnd(char* data, size_t size, size_t count, void* context) {
    Transfer* t = static_cast<Transfer*>(context);
    size_t bytes = size * count;
    bool blank = bytes == 2 && data[0] == '\r' && data[1] == '\n';
    blank = blank || (bytes == 1 && data[0] == '\n');
    if (!blank || current == nullptr) return bytes;
    long status = 0;
    curl_easy_getinfo(current, CURLINFO_RESPONSE_CODE, &status);
    // 1xx and redirects are followed by another header block.
    if (status < 200 || (status >= 300 && status < 400)) return bytes;
    t->status = status;
    if (t->negotiate != nullptr) {
      t->negotiate->OnResponse(static_cast<DWORD>(status), nullptr, nullptr, nullptr);
    }
    return status >= 400 ? 0 : bytes;  // an error page is not the resource
  }

  // The handle in transfer on this thread, for the header callback.
  static thread_local CURL* current;
};

thread_local CURL* CurlUrlmon::current = nullptr;

std::atomic<UrlmonApi*> installed{nullptr};

}  // namespace

UrlmonApi* UrlmonApi::Default() {
  static CurlUrlmon urlmon;
  return &urlmon;
}

UrlmonApi* UrlmonApi::Current() {
  UrlmonApi* api = installed.load(std::memory_order_acquire);
  return api != nullptr ? api : Default();
}

UrlmonApi* UrlmonApi::Install(UrlmonApi* api) {
  UrlmonApi* previous = installed.exchange(api, std::memory_order_acq_rel);
  return previous != nullptr ? previous : Default();
}

void UrlmonApi::SetStallLimitSeconds(long seconds) { stallLimitSeconds.store(seconds); }

}  // namespace platform

HRESULT WINAPI URLDownloadToFileA(LPUNKNOWN, LPCSTR url, LPCSTR path, DWORD,
                                  LPBINDSTATUSCALLBACK callback) {
  if (url == nullptr || path == nullptr) return E_FAIL;
  return platform::UrlmonApi::Current()->DownloadToFile(url, path, callback);
}

// There is no cache on this side: nothing to drop. The transfers ask proxies
// to revalidate instead (Cache-Control: no-cache).
BOOL WINAPI DeleteUrlCacheEntry(LPCSTR) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return FALSE;
}
