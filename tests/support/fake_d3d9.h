// Recording fakes of the Direct3D 9 and D3DX objects, handed out through the
// layer's seam: scripted results, counted calls, a list of what was released.
#ifndef ORVANEL_TESTS_SUPPORT_FAKE_D3D9_H_
#define ORVANEL_TESTS_SUPPORT_FAKE_D3D9_H_

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/d3d9.h"

struct FakeRecord {
  std::vector<std::string> released;
  std::vector<std::pair<D3DDEVTYPE, DWORD>> attempts;
  int spriteLost = 0, spriteReset = 0, fontLost = 0, fontReset = 0, resets = 0, presents = 0;
  int spriteDraws = 0;
};

template <class Interface>
class FakeObject : public Interface {
 public:
  FakeObject(FakeRecord* record, std::string name) : record_(record), name_(std::move(name)) {}
  virtual ~FakeObject() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) {
      record_->released.push_back(name_);
      delete this;
    }
    return left;
  }

 protected:
  FakeRecord* record_;

 private:
  std::string name_;
  ULONG references_ = 1;
};

class FakeDevice : public FakeObject<IDirect3DDevice9> {
 public:
  explicit FakeDevice(FakeRecord* record) : FakeObject(record, "device") {}
  HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override {
    if (cooperative.empty()) return D3D_OK;
    HRESULT next = cooperative.front();
    cooperative.pop_front();
    return next;
  }
  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS*) override {
    ++record_->resets;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE Present(const RECT*, const RECT*, HWND, const RGNDATA*) override {
    ++record_->presents;
    return present;
  }
  HRESULT STDMETHODCALLTYPE BeginScene() override { return begin; }
  HRESULT STDMETHODCALLTYPE EndScene() override { return D3D_OK; }
  HRESULT STDMETHODCALLTYPE Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override {
    return clear;
  }

  std::deque<HRESULT> cooperative;  // TestCooperativeLevel's answers, then D3D_OK
  HRESULT present = D3D_OK, begin = D3D_OK, clear = D3D_OK;
};

class FakeDirect3D : public FakeObject<IDirect3D9> {
 public:
  explicit FakeDirect3D(FakeRecord* record) : FakeObject(record, "direct3d") {}
  HRESULT STDMETHODCALLTYPE CreateDevice(UINT, D3DDEVTYPE type, HWND, DWORD behaviour,
                                         D3DPRESENT_PARAMETERS*, IDirect3DDevice9** out) override {
    size_t attempt = record_->attempts.size();
    record_->attempts.push_back({type, behaviour});
    HRESULT result = attempt < results.size() ? results[attempt] : D3D_OK;
    *out = nullptr;
    if (FAILED(result)) return result;
    device = new FakeDevice(record_);
    *out = device;
    return result;
  }
  std::vector<HRESULT> results;  // per attempt; D3D_OK beyond the list
  FakeDevice* device = nullptr;
};

class FakeSprite : public FakeObject<ID3DXSprite> {
 public:
  explicit FakeSprite(FakeRecord* record) : FakeObject(record, "sprite") {}
  HRESULT STDMETHODCALLTYPE SetTransform(const D3DXMATRIX* m) override {
    transform = *m;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE OnLostDevice() override {
    ++record_->spriteLost;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResetDevice() override {
    ++record_->spriteReset;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE Begin(DWORD f) override {
    flags = f;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE Draw(IDirect3DTexture9*, const RECT*, const D3DXVECTOR3*,
                                 const D3DXVECTOR3*, D3DCOLOR c) override {
    ++record_->spriteDraws;
    ++draws;
    scales.push_back(transform._11);
    colour = c;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE End() override { return D3D_OK; }
  D3DXMATRIX transform = {};
  int draws = 0;
  std::vector<float> scales;  // the horizontal scale of each draw
  DWORD flags = 0;
  D3DCOLOR colour = 0;
};

class FakeFont : public FakeObject<ID3DXFont> {
 public:
  explicit FakeFont(FakeRecord* record) : FakeObject(record, "font") {}
  INT STDMETHODCALLTYPE DrawTextA(ID3DXSprite*, LPCSTR text, INT, RECT* rect, DWORD format,
                                  D3DCOLOR colour) override {
    // 7 pixels a character, 13 high: enough to check the layout's arithmetic.
    if (format & DT_CALCRECT) {
      rect->right = rect->left + 7 * static_cast<LONG>(strlen(text));
      rect->bottom = rect->top + 13;
    } else {
      drawn.push_back({text, *rect, format, colour});
    }
    return 13;
  }
  HRESULT STDMETHODCALLTYPE OnLostDevice() override {
    ++record_->fontLost;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResetDevice() override {
    ++record_->fontReset;
    return D3D_OK;
  }
  struct Drawn {
    std::string text;
    RECT rect;
    DWORD format;
    D3DCOLOR colour;
  };
  std::vector<Drawn> drawn;
};

class FakeTexture : public FakeObject<IDirect3DTexture9> {
 public:
  explicit FakeTexture(FakeRecord* record) : FakeObject(record, "texture") {}
};

// Direct3D that hands out the fakes; images are imageWidth x imageHeight.
class FakeD3d9 : public platform::D3d9Api {
 public:
  IDirect3D9* Direct3DCreate9(UINT) override {
    if (!available) return nullptr;
    direct3d = new FakeDirect3D(&record);
    direct3d->results = deviceResults;
    return direct3d;
  }
  HRESULT CreateFont(IDirect3DDevice9*, INT, LPCSTR, ID3DXFont** out) override {
    *out = font = new FakeFont(&record);
    return D3D_OK;
  }
  HRESULT CreateSprite(IDirect3DDevice9*, ID3DXSprite** out) override {
    FakeSprite* sprite = new FakeSprite(&record);
    sprites.push_back(sprite);
    *out = sprite;
    return D3D_OK;
  }
  HRESULT CreateTextureFromFile(IDirect3DDevice9*, LPCSTR, IDirect3DTexture9** out) override {
    *out = new FakeTexture(&record);
    return D3D_OK;
  }
  HRESULT GetImageInfoFromFile(LPCSTR, D3DXIMAGE_INFO* info) override {
    *info = D3DXIMAGE_INFO();
    info->Width = imageWidth;
    info->Height = imageHeight;
    return D3D_OK;
  }

  FakeRecord record;
  bool available = true;
  std::vector<HRESULT> deviceResults;
  FakeDirect3D* direct3d = nullptr;
  FakeFont* font = nullptr;
  std::vector<FakeSprite*> sprites;
  UINT imageWidth = 800, imageHeight = 600;
};

#endif  // ORVANEL_TESTS_SUPPORT_FAKE_D3D9_H_
