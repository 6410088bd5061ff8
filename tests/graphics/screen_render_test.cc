// The launcher screen rendered by the Linux layer under Xvfb, per state of
// the update, read back pixel by pixel against the demo's images.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/screen.h"
#include "shell/cmain.h"
#include "shell/launcher.h"
#include "support/fake_dinput.h"
#include "support/fake_urlmon.h"
#include "support/scratch_dir.h"

namespace {

LRESULT CALLBACK Procedure(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

class Cursor : public platform::WindowApiWrapper {
 public:
  BOOL GetCursorPos(POINT* p) override {
    *p = at;
    return TRUE;
  }
  POINT at = {0, 0};
};

// A pixel of one of the demo's images, RGB.
uint32_t ImagePixel(const std::string& path, int x, int y) {
  SDL_Surface* loaded = IMG_Load(path.c_str());
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
  uint32_t pixel = static_cast<uint32_t*>(argb->pixels)[y * argb->pitch / 4 + x];
  SDL_FreeSurface(argb);
  SDL_FreeSurface(loaded);
  return pixel & 0xFFFFFF;
}

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d < -8 || d > 8) return false;
  }
  return true;
}

class ScreenRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "run under tests/fixtures/with-xvfb";
    std::string sprites = std::string(ASSETS_DIR) + "/Sprites";
    ASSERT_EQ(system(("cp -r '" + sprites + "' .").c_str()), 0);
    WNDCLASSEXA c = {};
    c.cbSize = sizeof c;
    c.lpfnWndProc = Procedure;
    c.lpszClassName = "screen-render-test";
    RegisterClassExA(&c);
    window_ = CreateWindowExA(0, "screen-render-test", "screen", WS_POPUP, 0, 0, 800, 600,
                              nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window_, SW_SHOWDEFAULT);
    {
      platform::ScopedUrlmonApi noServer(&server_);
      main_ = std::make_unique<CMain>();
      main_->download->WaitForWorker();
    }
    main_->window = window_;
    main_->screenHeight = 600;
    ASSERT_EQ(main_->graphics.Create(window_, 800, 600), 0);
    main_->graphics.LoadSprites();
    mainObject = main_.get();
  }
  void TearDown() override {
    main_->graphics.Destroy();
    delete main_->download;
    main_->download = nullptr;
    mainObject = nullptr;
    DestroyWindow(window_);
  }

  // One frame with the pointer at (x, y); the frame's pixels.
  void Frame(int x, int y) {
    cursor_.at = {x, y};
    dinput_.input.mouse.reads = {{false, {}}, {true, {}}};
    ASSERT_EQ(main_->mouse.Create(window_, nullptr, 800, 600), 0);
    ASSERT_TRUE(main_->graphics.BeginFrame());
    DrawScreen();
    int w, h;
    ASSERT_TRUE(platform::ReadBackBuffer(main_->graphics.device, &pixels_, &w, &h));
    main_->graphics.EndFrame();
  }
  uint32_t At(int x, int y) { return pixels_[static_cast<size_t>(y) * 800 + x] & 0xFFFFFF; }
  // The background image's pixel, read once.
  uint32_t Background(int x, int y) {
    if (background_.empty()) {
      SDL_Surface* loaded = IMG_Load("Sprites/launcher.png");
      SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
      for (int row = 0; row < argb->h; ++row) {
        const uint32_t* line = static_cast<const uint32_t*>(argb->pixels) + row * argb->pitch / 4;
        background_.insert(background_.end(), line, line + argb->w);
      }
      SDL_FreeSurface(argb);
      SDL_FreeSurface(loaded);
    }
    return background_[static_cast<size_t>(y) * 800 + x] & 0xFFFFFF;
  }
  // Whether anything but the background was drawn in the rectangle.
  bool Drawn(int left, int top, int right, int bottom) {
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        if (!Near(At(x, y), Background(x, y))) return true;
      }
    }
    return false;
  }

  ScratchDir dir_;
  FakeUrlmon server_;
  ScriptedDinput dinput_;
  Cursor cursor_;
  platform::ScopedDinputApi scopedInput_{&dinput_};
  platform::ScopedWindowApi scopedCursor_{&cursor_};
  HWND window_ = nullptr;
  std::unique_ptr<CMain> main_;
  std::vector<uint32_t> pixels_;
  std::vector<uint32_t> background_;
};

TEST_F(ScreenRenderTest, CheckingShowsTheBackgroundTheStatusAndNoPlay) {
  Frame(300, 200);
  EXPECT_TRUE(Near(At(5, 5), Background(5, 5)));
  EXPECT_TRUE(Near(At(700, 540), Background(700, 540))) << "no Play while checking";
  EXPECT_TRUE(Drawn(420, 573, 620, 586)) << "the status line";
  EXPECT_TRUE(Drawn(20, 573, 130, 586)) << "the version line";
  EXPECT_TRUE(Drawn(305, 220, 360, 233)) << "the pointer readout";
  EXPECT_FALSE(Drawn(40, 512, 620, 530)) << "no bar";
}

TEST_F(ScreenRenderTest, DownloadingFillsTheBarsToTheirFraction) {
  CDownloadFile* d = main_->download;
  d->updating = 1;
  d->filesDone = 3;
  d->filesTotal = 4;
  d->callback.percent = 50;
  d->currentName.Set("map_01");
  Frame(300, 200);
  uint32_t fill = ImagePixel("Sprites/launcher4.jpg", 100, 4);
  // The fill is 570 pixels wide: half of it ends at x 330, 0.625 at x 401.
  EXPECT_TRUE(Near(At(320, 521), fill));
  EXPECT_FALSE(Near(At(340, 521), fill));
  EXPECT_TRUE(Near(At(395, 559), fill));
  EXPECT_FALSE(Near(At(410, 559), fill));
  EXPECT_TRUE(Drawn(560, 499, 620, 512)) << "the file name, right-aligned in the column";
  EXPECT_TRUE(Drawn(45, 499, 160, 512)) << "the download label";
}

TEST_F(ScreenRenderTest, UpToDateShowsPlayAndItsHoverOnlyUnderThePointer) {
  main_->download->upToDate = 1;
  // The Play image is drawn over the hover image; the hover shows where Play
  // is transparent, as at its left edge (x 623), which the glow covers.
  Frame(300, 200);
  EXPECT_TRUE(Near(At(705, 541), ImagePixel("Sprites/launcher1.png", 83, 47)));
  EXPECT_TRUE(Near(At(623, 542), Background(623, 542))) << "no hover away from Play";
  Frame(700, 540);
  EXPECT_TRUE(Near(At(705, 541), ImagePixel("Sprites/launcher1.png", 83, 47)));
  EXPECT_FALSE(Near(At(623, 542), Background(623, 542))) << "the hover glow under the pointer";
  Frame(621, 540);
  EXPECT_TRUE(Near(At(623, 542), Background(623, 542))) << "one pixel left of Play: no hover";
  EXPECT_FALSE(Drawn(40, 512, 620, 530)) << "no bar";
}

}  // namespace
