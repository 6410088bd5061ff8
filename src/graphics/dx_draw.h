// CDxDraw: the Direct3D object, the device that presents into the launcher
// window, the screen's font and the table of sprites.
//
// A fatal failure here shows its message and sends the window the destroy
// message, whose handling deletes the launcher object and with it this one:
// the operation then returns at once without touching a field, and says so
// through its result.
#ifndef ORVANEL_GRAPHICS_DX_DRAW_H_
#define ORVANEL_GRAPHICS_DX_DRAW_H_

#include <cstdint>

#include "graphics/sprite.h"
#include "platform/win32.h"

const int kSpriteSlots = 25000;

class CDxDraw {
 public:
  CDxDraw();
  virtual ~CDxDraw();

  // 0 when the device is ready. Nonzero: either Direct3D is unavailable, in
  // which case the launcher has already been shut down, or no device could
  // be made (the result of the last attempt).
  int32_t Create(HWND window, uint16_t width, uint16_t height);
  // The five launcher images into slots 0 to 4.
  void LoadSprites();
  // False when a fatal failure has shut the launcher down: the frame ends.
  bool BeginFrame();
  // Presents, and brings a lost device back.
  void EndFrame();
  void HandleReset();
  void Destroy();

  IDirect3D9* direct3d;
  IDirect3DDevice9* device;
  D3DPRESENT_PARAMETERS presentParams;
  ID3DXFont* font;
  HWND window;
  CSprite* sprites[kSpriteSlots];

 private:
  void Fatal(const char* message);
};

#endif  // ORVANEL_GRAPHICS_DX_DRAW_H_
