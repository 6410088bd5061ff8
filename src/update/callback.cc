// CCallback: the percentage of the transfer under way, and its HTTP status.
#include "update/download_file.h"

CCallback::CCallback(const std::atomic<bool>* stopping)
    : percent(0),
      stopping(stopping),
      responseStatus(0),
      lastProgress(0),
      announced(0),
      stopResult(S_OK) {}

void CCallback::BeginTransfer() {
  responseStatus = 0;
  lastProgress = 0;
  announced = 0;
  stopResult = S_OK;
}

bool CCallback::ArrivedWhole() const {
  return SUCCEEDED(stopResult) && (announced == 0 || lastProgress == announced);
}

// It counts no references and lives exactly as long as its CDownloadFile.
// Besides the progress interface it hands out only IHttpNegotiate, so that
// urlmon tells it the status of the response.
HRESULT STDMETHODCALLTYPE CCallback::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_NOTIMPL;
  if (IsEqualIID(riid, IID_IHttpNegotiate)) {
    *object = static_cast<IHttpNegotiate*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOTIMPL;
}

ULONG STDMETHODCALLTYPE CCallback::AddRef() { return 0; }
ULONG STDMETHODCALLTYPE CCallback::Release() { return 0; }

HRESULT STDMETHODCALLTYPE CCallback::OnStartBinding(DWORD, IBinding*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CCallback::GetPriority(LONG*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CCallback::OnLowResource(DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CCallback::OnProgress(ULONG progress, ULONG progressMax, ULONG,
                                                LPCWSTR) {
  // Both counts unsigned 32-bit; the quotient truncated toward zero. With no
  // maximum there is no percentage, and nothing limits it to 100.
  double quotient = progressMax == 0
                        ? 0.0
                        : static_cast<double>(static_cast<uint32_t>(progress)) * 100.0 /
                              static_cast<double>(static_cast<uint32_t>(progressMax));
  int32_t value = quotient >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(quotient);
  percent.store(value < 0 ? 0 : value, std::memory_order_relaxed);
  lastProgress = progress;
  if (progressMax > announced) announced = progressMax;
  // The launcher is closing: the transfer ends now, not when the file does.
  if (stopping != nullptr && stopping->load(std::memory_order_acquire)) return E_ABORT;
  return S_OK;
}

// Heard, not answered: the result tells whether the transfer broke off.
HRESULT STDMETHODCALLTYPE CCallback::OnStopBinding(HRESULT result, LPCWSTR) {
  stopResult = result;
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE CCallback::GetBindInfo(DWORD*, BINDINFO*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE CCallback::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE CCallback::OnObjectAvailable(REFIID, IUnknown*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CCallback::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                          LPWSTR* additionalHeaders) {
  if (additionalHeaders != nullptr) *additionalHeaders = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CCallback::OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR,
                                                LPWSTR* additionalRequestHeaders) {
  if (additionalRequestHeaders != nullptr) *additionalRequestHeaders = nullptr;
  responseStatus = responseCode;
  return S_OK;
}
