// Frames rendered by the Linux layer's Direct3D under Xvfb, read back pixel
// by pixel.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/dx_draw.h"
#include "platform/win32.h"
#include "support/fake_urlmon.h"
#include "support/scratch_dir.h"

namespace {

LRESULT CALLBACK Procedure(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// An image of one colour, written as PNG.
void WriteImage(const char* path, int width, int height, Uint32 argb) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_FillRect(s, nullptr, argb);
  IMG_SavePNG(s, path);
  SDL_FreeSurface(s);
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "run under tests/fixtures/with-xvfb";
    WNDCLASSEXA c = {};
    c.cbSize = sizeof c;
    c.lpfnWndProc = Procedure;
    c.lpszClassName = "render-test";
    RegisterClassExA(&c);
    window_ = CreateWindowExA(0, "render-test", "render test", WS_POPUP, 0, 0, 800, 600, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    ShowWindow(window_, SW_SHOWDEFAULT);
    ASSERT_EQ(draw_->Create(window_, 800, 600), 0);
  }
  void TearDown() override {
    draw_->Destroy();
    DestroyWindow(window_);
  }

  uint32_t Pixel(int x, int y) {
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    EXPECT_TRUE(platform::ReadBackBuffer(draw_->device, &pixels, &w, &h));
    return pixels[static_cast<size_t>(y) * w + x] & 0xFFFFFF;
  }
  // The extent of the pixels brighter than the background.
  RECT Lit() {
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    platform::ReadBackBuffer(draw_->device, &pixels, &w, &h);
    RECT r = {w, h, -1, -1};
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        if ((pixels[static_cast<size_t>(y) * w + x] & 0xFF) > 0x40) {
          r.left = std::min<LONG>(r.left, x);
          r.top = std::min<LONG>(r.top, y);
          r.right = std::max<LONG>(r.right, x);
          r.bottom = std::max<LONG>(r.bottom, y);
        }
      }
    }
    return r;
  }

  ScratchDir dir_;
  HWND window_ = nullptr;
  std::unique_ptr<CDxDraw> draw_ = std::make_unique<CDxDraw>();
};

TEST_F(RenderTest, ClearsToBlackAndDrawsImagesAtTheirCornerWhateverTheScale) {
  WriteImage("red.png", 20, 10, 0xFFFF0000);
  CSprite sprite(draw_->device, "red.png", 0, 0);
  struct { float scale; int x, y, width; } cases[] = {
      {1.0f, 622, 494, 20}, {0.25f, 45, 517, 5}, {2.0f, 100, 50, 40}, {0.625f, 45, 555, 12}};
  for (const auto& c : cases) {
    ASSERT_TRUE(draw_->BeginFrame());
    sprite.scaleX = c.scale;
    sprite.Draw(c.x, c.y);
    EXPECT_EQ(Pixel(c.x, c.y), 0xFF0000u) << "corner at scale " << c.scale;
    EXPECT_EQ(Pixel(c.x + c.width - 1, c.y + 9), 0xFF0000u) << "far corner at " << c.scale;
    EXPECT_EQ(Pixel(c.x + c.width + 1, c.y), 0x000000u) << "nothing beyond at " << c.scale;
    EXPECT_EQ(Pixel(c.x - 1, c.y), 0x000000u);
    EXPECT_EQ(Pixel(c.x, c.y + 10), 0x000000u) << "full height, unscaled";
    draw_->EndFrame();
  }
}

TEST_F(RenderTest, HalfTransparentImagesBlend) {
  WriteImage("white.png", 10, 10, 0xFFFFFFFF);
  WriteImage("veil.png", 10, 10, 0x80000000);
  CSprite white(draw_->device, "white.png", 0, 0);
  CSprite veil(draw_->device, "veil.png", 0, 0);
  ASSERT_TRUE(draw_->BeginFrame());
  white.Draw(0, 0);
  veil.Draw(0, 0);
  uint32_t grey = Pixel(5, 5) & 0xFF;
  EXPECT_GT(grey, 0x60u);
  EXPECT_LT(grey, 0xA0u);
  draw_->EndFrame();
}

TEST_F(RenderTest, TextIsMeasuredAlignedAndBroken) {
  ID3DXFont* font = draw_->font;
  ASSERT_NE(font, nullptr);
  const char* text = "Downloading updates. Please wait...";
  RECT measured = {45, 499, 45, 499};
  font->DrawTextA(nullptr, text, -1, &measured, DT_CALCRECT, 0);
  EXPECT_GT(measured.right - measured.left, 100);
  EXPECT_LE(measured.bottom - measured.top, 13) << "a D3DX font of height 13";
  EXPECT_GE(measured.bottom - measured.top, 11);

  ASSERT_TRUE(draw_->BeginFrame());
  RECT right = {45, 499, 620, 512};
  font->DrawTextA(nullptr, text, -1, &right, DT_RIGHT, 0xFFFFFFFF);
  RECT lit = Lit();
  EXPECT_GE(lit.right, 615) << "right-aligned to x 620";
  EXPECT_LE(lit.right, 620);
  EXPECT_GE(lit.left, 620 - (measured.right - measured.left) - 2);
  draw_->EndFrame();

  ASSERT_TRUE(draw_->BeginFrame());
  RECT narrow = {45, 100, 145, 400};
  font->DrawTextA(nullptr, text, -1, &narrow, DT_RIGHT | DT_WORDBREAK, 0xFFFFFFFF);
  lit = Lit();
  EXPECT_GT(lit.bottom - lit.top, 26) << "broken into several lines";
  EXPECT_LE(lit.right, 145) << "clipped to the rectangle";
  draw_->EndFrame();

  ASSERT_TRUE(draw_->BeginFrame());
  RECT clipped = {45, 100, 80, 113};
  font->DrawTextA(nullptr, text, -1, &clipped, 0, 0xFFFFFFFF);
  lit = Lit();
  EXPECT_LT(lit.right, 80) << "nothing outside the rectangle";
  draw_->EndFrame();
}

// The screen draws a progress bar right under the file name's cell: every
// glyph, the underscore of a name such as world_textures too, must lie in
// the 13 rows of the cell.
TEST_F(RenderTest, UnderscoresStayInsideTheCharacterCell) {
  ID3DXFont* font = draw_->font;
  ASSERT_NE(font, nullptr);
  ASSERT_TRUE(draw_->BeginFrame());
  RECT cell = {45, 499, 620, 499};
  font->DrawTextA(nullptr, "____", -1, &cell, DT_CALCRECT, 0);
  font->DrawTextA(nullptr, "____", -1, &cell, 0, 0xFFFFFFFF);
  RECT lit = Lit();
  EXPECT_GE(lit.top, 499);
  EXPECT_LE(lit.bottom, 499 + 12) << "the underscore is below the cell";
  EXPECT_GE(lit.bottom, lit.top) << "and it is drawn";
  draw_->EndFrame();
}

TEST_F(RenderTest, SurvivesADeviceLossWithItsImages) {
  WriteImage("blue.png", 8, 8, 0xFF0000FF);
  draw_->sprites[7] = new CSprite(draw_->device, "blue.png", 0, 0);
  remove("blue.png");  // a reset must not need the file
  SDL_Event reset = {};
  reset.type = SDL_RENDER_TARGETS_RESET;
  SDL_PushEvent(&reset);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_EQ(draw_->device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

  ASSERT_TRUE(draw_->BeginFrame());
  draw_->sprites[7]->Draw(3, 4);
  draw_->EndFrame();  // Present reports the loss; the loop resets the device
  EXPECT_EQ(draw_->device->TestCooperativeLevel(), D3D_OK);
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "(TESTCODE) Handle Lost DxDraw Dump.");
  EXPECT_EQ(lines[1], "(TESTCODE) Handle Reset DxDraw Dump.");

  ASSERT_TRUE(draw_->BeginFrame());
  draw_->sprites[7]->Draw(3, 4);
  EXPECT_EQ(Pixel(3, 4), 0x0000FFu) << "the texture came back without the file";
  draw_->EndFrame();
}

}  // namespace
