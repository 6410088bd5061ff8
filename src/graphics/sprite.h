// CSprite: one image file in a texture, drawn at a pixel position through a
// D3DX sprite of its own, with a scale that its owner may change between
// draws (the progress bars' fill).
#ifndef ORVANEL_GRAPHICS_SPRITE_H_
#define ORVANEL_GRAPHICS_SPRITE_H_

#include <string>

#include "platform/win32.h"

class CSprite {
 public:
  // width and height: the drawn size in pixels, 0 for the image's own. The
  // loading calls are not checked: a missing image leaves no texture, and
  // such a sprite draws nothing.
  CSprite(IDirect3DDevice9* device, std::string path, int width, int height);
  virtual ~CSprite();

  // Draws the whole image with its top-left corner at (x, y), scaled about
  // that corner.
  void Draw(int x, int y);

  ID3DXSprite* sprite;
  IDirect3DTexture9* texture;
  float posX, posY, posZ;
  float scaleX, scaleY, scaleZ;
};

#endif  // ORVANEL_GRAPHICS_SPRITE_H_
