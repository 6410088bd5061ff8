// The COM object model as the layer's objects need it: a reference count,
// and no interface to offer beyond the one implemented.
#ifndef ORVANEL_PLATFORM_LINUX_COM_H_
#define ORVANEL_PLATFORM_LINUX_COM_H_

#include "platform/linux/urlmon.h"  // IUnknown

namespace platform {

// Implements IUnknown for an object of one interface; Release deletes it
// with its last reference.
template <class Interface>
class Counted : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  virtual ~Counted() = default;

 private:
  ULONG references_ = 1;
};

}  // namespace platform

#endif  // ORVANEL_PLATFORM_LINUX_COM_H_
