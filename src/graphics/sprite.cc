#include "graphics/sprite.h"

namespace {

float ScaleFor(int requested, UINT own) {
  if (requested == 0) return 1.0f;
  // An image whose size is unknown is drawn at its own size.
  if (own == 0) return 1.0f;
  return static_cast<float>(static_cast<double>(requested) / static_cast<double>(own));
}

}  // namespace

CSprite::CSprite(IDirect3DDevice9* device, std::string path, int width, int height)
    : sprite(nullptr), texture(nullptr) {
  D3DXCreateSprite(device, &sprite);
  D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                               D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_DEFAULT, 0,
                               nullptr, nullptr, &texture);
  D3DXIMAGE_INFO info = {};
  D3DXGetImageInfoFromFileA(path.c_str(), &info);
  scaleX = ScaleFor(width, info.Width);
  scaleY = ScaleFor(height, info.Height);
  scaleZ = 0.0f;
}

CSprite::~CSprite() {
  if (texture != nullptr) texture->Release();
  if (sprite != nullptr) sprite->Release();
}

void CSprite::Draw(int x, int y) {
  posX = static_cast<float>(x);
  posY = static_cast<float>(y);
  posZ = 0.0f;
  if (sprite == nullptr || texture == nullptr) return;
  D3DXMATRIX scale, translation, transform;
  D3DXMatrixScaling(&scale, scaleX, scaleY, scaleZ);
  D3DXMatrixTranslation(&translation, posX, posY, posZ);
  D3DXMatrixMultiply(&transform, &scale, &translation);  // scale first, then move
  sprite->SetTransform(&transform);
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  sprite->Draw(texture, nullptr, nullptr, nullptr, 0xFFFFFFFF);
  sprite->End();
}
