// Direct3D 9 and D3DX 9 on SDL2, as far as the launcher draws: a device that
// clears and presents an 800 x 600 back buffer, textures from image files,
// sprites, one font, the three matrix helpers, and device loss.
//
// The HAL device types use SDL's accelerated renderer, the reference type
// its software renderer. Drawing goes to a back-buffer texture that Present
// copies into the window. Presentation waits for the display's refresh
// (vsync) and is in any case paced to 60 per second, so an unpaced frame
// loop does not burn a core. SDL's render-device and render-target reset
// events make the device lost: Present reports D3DERR_DEVICELOST and
// TestCooperativeLevel D3DERR_DEVICENOTRESET until Reset, which rebuilds
// the back buffer and every texture from the pixels kept in memory (the
// managed pool), so no image is read from disk again.
#ifndef ORVANEL_PLATFORM_LINUX_D3D9_H_
#define ORVANEL_PLATFORM_LINUX_D3D9_H_

#include <vector>

#include "platform/linux/types.h"
#include "platform/linux/urlmon.h"  // IUnknown

typedef DWORD D3DCOLOR;
#define D3DCOLOR_ARGB(a, r, g, b) \
  ((D3DCOLOR)((((a)&0xff) << 24) | (((r)&0xff) << 16) | (((g)&0xff) << 8) | ((b)&0xff)))

typedef enum _D3DFORMAT { D3DFMT_UNKNOWN = 0, D3DFMT_A8R8G8B8 = 21 } D3DFORMAT;
typedef enum _D3DDEVTYPE { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2 } D3DDEVTYPE;
typedef enum _D3DMULTISAMPLE_TYPE { D3DMULTISAMPLE_NONE = 0 } D3DMULTISAMPLE_TYPE;
typedef enum _D3DSWAPEFFECT { D3DSWAPEFFECT_DISCARD = 1 } D3DSWAPEFFECT;
typedef enum _D3DPOOL { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1 } D3DPOOL;
typedef enum _D3DRESOURCETYPE { D3DRTYPE_TEXTURE = 3 } D3DRESOURCETYPE;
typedef enum _D3DXIMAGE_FILEFORMAT {
  D3DXIFF_BMP = 0,
  D3DXIFF_JPG = 1,
  D3DXIFF_PNG = 3
} D3DXIMAGE_FILEFORMAT;

#define D3D_SDK_VERSION 32
#define D3DADAPTER_DEFAULT 0
#define D3DCREATE_SOFTWARE_VERTEXPROCESSING 0x20
#define D3DCREATE_HARDWARE_VERTEXPROCESSING 0x40
#define D3DCREATE_MIXED_VERTEXPROCESSING 0x80
#define D3DPRESENT_INTERVAL_DEFAULT 0
#define D3DCLEAR_TARGET 0x1

#define D3D_OK S_OK
#define D3DERR_DRIVERINTERNALERROR ((HRESULT)0x88760827)
#define D3DERR_DEVICELOST ((HRESULT)0x88760868)
#define D3DERR_DEVICENOTRESET ((HRESULT)0x88760869)
#define D3DERR_NOTAVAILABLE ((HRESULT)0x8876086A)
#define D3DERR_INVALIDCALL ((HRESULT)0x8876086C)
#define D3DXERR_INVALIDDATA ((HRESULT)0x88760B59)

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_FILTER_NONE 1
#define D3DXSPRITE_ALPHABLEND 0x10

#define DEFAULT_CHARSET 1
#define OUT_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0
#define FW_NORMAL 400

#define DT_TOP 0x0
#define DT_LEFT 0x0
#define DT_CENTER 0x1
#define DT_RIGHT 0x2
#define DT_WORDBREAK 0x10
#define DT_SINGLELINE 0x20
#define DT_NOCLIP 0x100
#define DT_CALCRECT 0x400

typedef struct _D3DPRESENT_PARAMETERS_ {
  UINT BackBufferWidth;
  UINT BackBufferHeight;
  D3DFORMAT BackBufferFormat;
  UINT BackBufferCount;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  D3DSWAPEFFECT SwapEffect;
  HWND hDeviceWindow;
  BOOL Windowed;
  BOOL EnableAutoDepthStencil;
  D3DFORMAT AutoDepthStencilFormat;
  DWORD Flags;
  UINT FullScreen_RefreshRateInHz;
  UINT PresentationInterval;
} D3DPRESENT_PARAMETERS;

typedef struct _D3DRECT {
  LONG x1, y1, x2, y2;
} D3DRECT;

typedef struct _RGNDATA RGNDATA;

typedef struct _D3DMATRIX {
  union {
    struct {
      float _11, _12, _13, _14;
      float _21, _22, _23, _24;
      float _31, _32, _33, _34;
      float _41, _42, _43, _44;
    };
    float m[4][4];
  };
} D3DMATRIX;
typedef D3DMATRIX D3DXMATRIX;

typedef struct D3DXVECTOR3 {
  float x, y, z;
} D3DXVECTOR3;

typedef struct _D3DXIMAGE_INFO {
  UINT Width;
  UINT Height;
  UINT Depth;
  UINT MipLevels;
  D3DFORMAT Format;
  D3DRESOURCETYPE ResourceType;
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
} D3DXIMAGE_INFO;

typedef struct tagPALETTEENTRY {
  BYTE peRed, peGreen, peBlue, peFlags;
} PALETTEENTRY;

struct IDirect3DDevice9;

struct IDirect3DTexture9 : public IUnknown {};
typedef IDirect3DTexture9* LPDIRECT3DTEXTURE9;

struct IDirect3DDevice9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE TestCooperativeLevel() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
  virtual HRESULT STDMETHODCALLTYPE Present(const RECT* source, const RECT* dest,
                                            HWND destWindow, const RGNDATA* dirty) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeginScene() = 0;
  virtual HRESULT STDMETHODCALLTYPE EndScene() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags,
                                          D3DCOLOR color, float z, DWORD stencil) = 0;
};
typedef IDirect3DDevice9* LPDIRECT3DDEVICE9;

struct IDirect3D9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
                                                 DWORD behaviorFlags,
                                                 D3DPRESENT_PARAMETERS* parameters,
                                                 IDirect3DDevice9** device) = 0;
};
typedef IDirect3D9* LPDIRECT3D9;

struct ID3DXSprite : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetTransform(const D3DXMATRIX* transform) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnLostDevice() = 0;
  virtual HRESULT STDMETHODCALLTYPE OnResetDevice() = 0;
  virtual HRESULT STDMETHODCALLTYPE Begin(DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Draw(IDirect3DTexture9* texture, const RECT* source,
                                         const D3DXVECTOR3* center, const D3DXVECTOR3* position,
                                         D3DCOLOR color) = 0;
  virtual HRESULT STDMETHODCALLTYPE End() = 0;
};
typedef ID3DXSprite* LPD3DXSPRITE;

struct ID3DXFont : public IUnknown {
  virtual INT STDMETHODCALLTYPE DrawTextA(ID3DXSprite* sprite, LPCSTR text, INT count, RECT* rect,
                                          DWORD format, D3DCOLOR color) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnLostDevice() = 0;
  virtual HRESULT STDMETHODCALLTYPE OnResetDevice() = 0;
};
typedef ID3DXFont* LPD3DXFONT;

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion);

HRESULT WINAPI D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT width, UINT weight,
                               UINT mipLevels, BOOL italic, DWORD charSet, DWORD outputPrecision,
                               DWORD quality, DWORD pitchAndFamily, LPCSTR faceName,
                               ID3DXFont** font);
HRESULT WINAPI D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite);
HRESULT WINAPI D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR path, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* info, PALETTEENTRY* palette,
                                            IDirect3DTexture9** texture);
HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR path, D3DXIMAGE_INFO* info);
D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);
D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);

namespace platform {

// The Direct3D family's backend; see KernelApi for the pattern. A test
// replaces the object factories to hand out recording fakes.
class D3d9Api {
 public:
  virtual ~D3d9Api() = default;
  virtual IDirect3D9* Direct3DCreate9(UINT sdkVersion) = 0;
  virtual HRESULT CreateFont(IDirect3DDevice9* device, INT height, LPCSTR faceName,
                             ID3DXFont** font) = 0;
  virtual HRESULT CreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite) = 0;
  virtual HRESULT CreateTextureFromFile(IDirect3DDevice9* device, LPCSTR path,
                                        IDirect3DTexture9** texture) = 0;
  virtual HRESULT GetImageInfoFromFile(LPCSTR path, D3DXIMAGE_INFO* info) = 0;

  static D3d9Api* Current();
  static D3d9Api* Default();
  static D3d9Api* Install(D3d9Api* api);
};

class D3d9ApiWrapper : public D3d9Api {
 public:
  explicit D3d9ApiWrapper(D3d9Api* target = D3d9Api::Current()) : target_(target) {}
  IDirect3D9* Direct3DCreate9(UINT sdkVersion) override {
    return target_->Direct3DCreate9(sdkVersion);
  }
  HRESULT CreateFont(IDirect3DDevice9* device, INT height, LPCSTR faceName,
                     ID3DXFont** font) override {
    return target_->CreateFont(device, height, faceName, font);
  }
  HRESULT CreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite) override {
    return target_->CreateSprite(device, sprite);
  }
  HRESULT CreateTextureFromFile(IDirect3DDevice9* device, LPCSTR path,
                                IDirect3DTexture9** texture) override {
    return target_->CreateTextureFromFile(device, path, texture);
  }
  HRESULT GetImageInfoFromFile(LPCSTR path, D3DXIMAGE_INFO* info) override {
    return target_->GetImageInfoFromFile(path, info);
  }

 private:
  D3d9Api* target_;
};

using ScopedD3d9Api = ScopedApi<D3d9Api>;

// For tests: the device's back buffer as it stands, ARGB, row by row; false
// when the device is not one of this layer's.
bool ReadBackBuffer(IDirect3DDevice9* device, std::vector<uint32_t>* pixels, int* width,
                    int* height);

}  // namespace platform

#endif  // ORVANEL_PLATFORM_LINUX_D3D9_H_
