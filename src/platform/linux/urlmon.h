// URL monikers and WinINet's cache call on libcurl: the COM interfaces of a
// download's progress sink, URLDownloadToFileA and DeleteUrlCacheEntry.
//
// URLDownloadToFileA blocks until the transfer has ended and reports its
// progress to the callback on the calling thread. S_OK means the complete
// resource stands at the local path. An HTTP status of 400 or more, a
// refused or unknown host, a broken connection, a local file that cannot be
// written, or 60 seconds without a byte give INET_E_DOWNLOAD_FAILURE (and no
// file); a callback that returns a failure gives E_ABORT. Each thread keeps
// its own connection alive across transfers to the same host.
#ifndef ORVANEL_PLATFORM_LINUX_URLMON_H_
#define ORVANEL_PLATFORM_LINUX_URLMON_H_

#include <cstring>

#include "platform/linux/kernel.h"
#include "platform/linux/types.h"

#define STDMETHODCALLTYPE

typedef wchar_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef const IID& REFIID;

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  return memcmp(&a, &b, sizeof(GUID)) == 0;
}
#define IsEqualIID(a, b) IsEqualGUID((a), (b))

#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_ABORT ((HRESULT)0x80004004)
#define E_FAIL ((HRESULT)0x80004005)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define INET_E_DOWNLOAD_FAILURE ((HRESULT)0x800C0008)

#define BINDSTATUS_BEGINDOWNLOADDATA 4
#define BINDSTATUS_DOWNLOADINGDATA 5
#define BINDSTATUS_ENDDOWNLOADDATA 6

// Only passed through: the launcher never looks inside them.
struct IBinding;
struct BINDINFO;
struct FORMATETC;
struct STGMEDIUM;

extern const IID IID_IUnknown;
extern const IID IID_IBindStatusCallback;
extern const IID IID_IHttpNegotiate;

// COM interfaces: abstract classes without a virtual destructor; an object
// is given up with Release.
struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
typedef IUnknown* LPUNKNOWN;

struct IBindStatusCallback : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax,
                                               ULONG statusCode, LPCWSTR statusText) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size,
                                                    FORMATETC* format, STGMEDIUM* medium) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* object) = 0;
};
typedef IBindStatusCallback* LPBINDSTATUSCALLBACK;

struct IHttpNegotiate : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR url, LPCWSTR headers,
                                                         DWORD reserved,
                                                         LPWSTR* additionalHeaders) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnResponse(DWORD responseCode, LPCWSTR responseHeaders,
                                               LPCWSTR requestHeaders,
                                               LPWSTR* additionalRequestHeaders) = 0;
};

HRESULT WINAPI URLDownloadToFileA(LPUNKNOWN caller, LPCSTR url, LPCSTR path, DWORD reserved,
                                  LPBINDSTATUSCALLBACK callback);
BOOL WINAPI DeleteUrlCacheEntry(LPCSTR url);

namespace platform {

// The URL family's backend; see KernelApi for the pattern.
class UrlmonApi {
 public:
  virtual ~UrlmonApi() = default;
  virtual HRESULT DownloadToFile(const char* url, const char* path,
                                 IBindStatusCallback* callback) = 0;

  static UrlmonApi* Current();
  static UrlmonApi* Default();
  static UrlmonApi* Install(UrlmonApi* api);

  // How long a transfer may go without receiving a byte before it fails;
  // 60 seconds unless a test shortens it.
  static void SetStallLimitSeconds(long seconds);
};

class UrlmonApiWrapper : public UrlmonApi {
 public:
  explicit UrlmonApiWrapper(UrlmonApi* target = UrlmonApi::Current()) : target_(target) {}
  HRESULT DownloadToFile(const char* url, const char* path,
                         IBindStatusCallback* callback) override {
    return target_->DownloadToFile(url, path, callback);
  }

 private:
  UrlmonApi* target_;
};

using ScopedUrlmonApi = ScopedApi<UrlmonApi>;

}  // namespace platform

#endif  // ORVANEL_PLATFORM_LINUX_URLMON_H_
