// The update engine: CDownloadFile, whose construction starts the worker
// that fetches patch.ini, parses it, downloads every file of every newer
// version and saves System.ini after each; and CCallback, the progress sink
// of each transfer.
//
// The worker is the only writer of the progress fields; the UI thread reads
// them every frame. Each is published whole (atomics, a seqlock for the
// name), and each completion flag is the last write of its step, with
// release order, so a reader that sees a flag set sees everything before it.
#ifndef ORVANEL_UPDATE_DOWNLOAD_FILE_H_
#define ORVANEL_UPDATE_DOWNLOAD_FILE_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "config/version.h"
#include "platform/win32.h"
#include "platform/winthread.h"
#include "update/manifest.h"
#include "update/published_name.h"

// The progress sink of every transfer. It also answers for IHttpNegotiate,
// so that it learns the HTTP status: urlmon reports an error page as a
// successful download.
class CCallback : public IBindStatusCallback, public IHttpNegotiate {
 public:
  // stopping: once set, OnProgress asks the transfer to abort.
  explicit CCallback(const std::atomic<bool>* stopping);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override;
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) override;
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                                            STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* object) override;

  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR url, LPCWSTR headers, DWORD reserved,
                                                 LPWSTR* additionalHeaders) override;
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD responseCode, LPCWSTR responseHeaders,
                                       LPCWSTR requestHeaders,
                                       LPWSTR* additionalRequestHeaders) override;

  // The current transfer's percentage; kept between transfers until the
  // next one reports.
  std::atomic<int32_t> percent;

  // What the transfer under way reported: its HTTP status (0 until the
  // server answers), and whether it delivered all it announced. urlmon may
  // call a body cut short by the server a success. Worker thread only.
  void BeginTransfer();
  DWORD ResponseStatus() const { return responseStatus; }
  bool ArrivedWhole() const;

 private:
  const std::atomic<bool>* stopping;
  DWORD responseStatus;
  ULONG lastProgress;  // the last count of bytes reported
  ULONG announced;     // the largest size announced, 0 while none is known
  HRESULT stopResult;  // what OnStopBinding said, S_OK until then
};

class CDownloadFile : public CWinThread {
 public:
  // Starts the worker at once; returns while it runs.
  CDownloadFile();
  // Asks a transfer under way to abort and waits for the worker to end
  // before the storage goes.
  ~CDownloadFile() override;

  // Blocks until the worker has ended (at once when it never started).
  void WaitForWorker();

  static UINT ThreadProc(LPVOID parameter);
  bool FetchManifest(const char* url);
  void ParseManifest();
  HRESULT DownloadUpdates();

  PublishedName currentName;       // "patch.ini", then the manifest name in transfer
  std::atomic<uint8_t> updating;   // the manifest retained at least one version
  std::atomic<uint8_t> upToDate;   // nothing (left) to download
  CCallback callback;
  CWinThread* worker;              // the facility's; gone once the worker ended
  int16_t versionCount;
  std::atomic<int16_t> filesDone;  // 1-based, over all versions, of the file in transfer
  std::atomic<int16_t> filesTotal;
  VersionRecord records[kMaxVersions];

 private:
  // One transfer into a temporary beside localPath, moved into place only
  // when the complete resource arrived with a status below 400.
  HRESULT Transfer(const char* url, const char* localPath);
  void Finish();

  std::atomic<bool> stopping;
  std::mutex finishLock;
  std::condition_variable finishSignal;
  bool finished;
};

// The log line for a transfer result: "The download completed successfully."
// for 0 and the failure lines otherwise.
const char* DownloadResultLine(HRESULT result);

// The entry's name with every byte outside letters, digits, '_', '-' and '.'
// percent-encoded, for its URL.
void EncodeUrlName(const char* name, char* out, size_t size);

#endif  // ORVANEL_UPDATE_DOWNLOAD_FILE_H_
