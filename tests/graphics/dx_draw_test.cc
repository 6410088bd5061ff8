// CDxDraw and CSprite against recording fakes of Direct3D.
#include "graphics/dx_draw.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/kernel.h"
#include "platform/linux/window.h"
#include "support/fake_d3d9.h"
#include "support/fake_urlmon.h"
#include "support/scratch_dir.h"

namespace {

// Message boxes are recorded, sleeps counted and skipped.
class Quiet : public platform::WindowApiWrapper {
 public:
  int MessageBox(HWND, const char* text, const char*, UINT flags) override {
    boxes.push_back(text);
    icons.push_back(flags);
    return IDOK;
  }
  std::vector<std::string> boxes;
  std::vector<UINT> icons;
};

class CountedSleep : public platform::KernelApiWrapper {
 public:
  void Sleep(DWORD milliseconds) override { sleeps.push_back(milliseconds); }
  std::vector<DWORD> sleeps;
};

class DxDrawTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  FakeD3d9 d3d_;
  Quiet windows_;
  CountedSleep kernel_;
  platform::ScopedD3d9Api scopedD3d_{&d3d_};
  platform::ScopedWindowApi scopedWindows_{&windows_};
  platform::ScopedKernelApi scopedKernel_{&kernel_};
  std::unique_ptr<CDxDraw> draw_ = std::make_unique<CDxDraw>();  // 25000 slots: on the heap
};

TEST_F(DxDrawTest, HardwareFailsMixedSucceedsReferenceNeverTried) {
  d3d_.deviceResults = {D3DERR_NOTAVAILABLE, D3D_OK};
  EXPECT_EQ(draw_->Create(nullptr, 800, 600), 0);
  ASSERT_EQ(d3d_.record.attempts.size(), 2u);
  EXPECT_EQ(d3d_.record.attempts[0], std::make_pair(D3DDEVTYPE_HAL, DWORD(0x40)));
  EXPECT_EQ(d3d_.record.attempts[1], std::make_pair(D3DDEVTYPE_HAL, DWORD(0x80)));
  EXPECT_NE(draw_->font, nullptr);
  const D3DPRESENT_PARAMETERS& p = draw_->presentParams;
  EXPECT_EQ(p.BackBufferWidth, 800u);
  EXPECT_EQ(p.BackBufferHeight, 600u);
  EXPECT_EQ(p.BackBufferFormat, D3DFMT_A8R8G8B8);
  EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
  EXPECT_EQ(p.Windowed, TRUE);
  EXPECT_EQ(p.EnableAutoDepthStencil, FALSE);
  EXPECT_EQ(p.PresentationInterval, 0u);
  draw_->Destroy();
}

TEST_F(DxDrawTest, AllThreeAttemptsFailing) {
  d3d_.deviceResults = {D3DERR_NOTAVAILABLE, D3DERR_NOTAVAILABLE, D3DERR_INVALIDCALL};
  EXPECT_EQ(draw_->Create(nullptr, 800, 600), D3DERR_INVALIDCALL) << "the reference attempt's";
  ASSERT_EQ(d3d_.record.attempts.size(), 3u);
  EXPECT_EQ(d3d_.record.attempts[2], std::make_pair(D3DDEVTYPE_REF, DWORD(0x20)));
  EXPECT_EQ(draw_->font, nullptr);
  EXPECT_TRUE(windows_.boxes.empty()) << "the shell reports it, not the device";
  draw_->Destroy();
  EXPECT_EQ(d3d_.record.released, std::vector<std::string>{"direct3d"});
  EXPECT_EQ(LogLines(), std::vector<std::string>{"(TESTCODE) Deleting DxDraw Dump."});
}

TEST_F(DxDrawTest, Direct3DUnavailableIsFatalAtOnce) {
  d3d_.available = false;
  EXPECT_NE(draw_->Create(nullptr, 800, 600), 0);
  EXPECT_EQ(windows_.boxes, std::vector<std::string>{"Direct3D create interface pointer is undefined."});
  EXPECT_EQ(windows_.icons, std::vector<UINT>{MB_ICONWARNING});
  EXPECT_TRUE(d3d_.record.attempts.empty());
}

struct BeginCase {
  const char* name;
  bool device;
  HRESULT clear, begin;
  const char* message;
};

TEST_F(DxDrawTest, BeginFrameFailuresAreFatal) {
  const BeginCase cases[] = {
      {"no device", false, D3D_OK, D3D_OK, "Direct3D device is undefined."},
      {"clear", true, D3DERR_INVALIDCALL, D3D_OK, "Failed to clear the backbuffer."},
      {"scene", true, D3D_OK, D3DERR_INVALIDCALL, "Failed to initiate the scene."},
  };
  for (const BeginCase& c : cases) {
    auto draw = std::make_unique<CDxDraw>();
    windows_.boxes.clear();
    if (c.device) {
      ASSERT_EQ(draw->Create(nullptr, 800, 600), 0);
      d3d_.direct3d->device->clear = c.clear;
      d3d_.direct3d->device->begin = c.begin;
    }
    EXPECT_FALSE(draw->BeginFrame()) << c.name;
    EXPECT_EQ(windows_.boxes, std::vector<std::string>{c.message}) << c.name;
    draw->Destroy();
  }
}

class LossTest : public DxDrawTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(draw_->Create(nullptr, 800, 600), 0);
    draw_->LoadSprites();
    device_ = d3d_.direct3d->device;
    device_->present = D3DERR_DEVICELOST;
    ASSERT_TRUE(draw_->BeginFrame());
  }
  void TearDown() override { draw_->Destroy(); }
  FakeDevice* device_ = nullptr;
};

TEST_F(LossTest, StillLostWaitsOnceAndLetsTheFrameGo) {
  device_->cooperative = {D3DERR_DEVICELOST};
  draw_->EndFrame();
  EXPECT_EQ(kernel_.sleeps, std::vector<DWORD>{20});
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(d3d_.record.resets, 0);
}

TEST_F(LossTest, ResetUntilTheDeviceIsBack) {
  device_->cooperative = {D3DERR_DEVICENOTRESET, 0x12345 /* anything else: again */,
                          D3DERR_DEVICENOTRESET, D3D_OK};
  draw_->EndFrame();
  EXPECT_EQ(kernel_.sleeps, (std::vector<DWORD>{20, 20, 20, 20}));
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"(TESTCODE) Handle Lost DxDraw Dump.",
                                                 "(TESTCODE) Handle Lost DxDraw Dump.",
                                                 "(TESTCODE) Handle Reset DxDraw Dump."}));
  EXPECT_EQ(d3d_.record.resets, 2);
  EXPECT_EQ(d3d_.record.spriteLost, 10) << "five sprites, two passes";
  EXPECT_EQ(d3d_.record.spriteReset, 5);
  EXPECT_EQ(d3d_.record.fontLost, 2);
  EXPECT_EQ(d3d_.record.fontReset, 1);
  EXPECT_TRUE(windows_.boxes.empty());
}

TEST_F(LossTest, DriverInternalErrorIsFatal) {
  device_->cooperative = {D3DERR_DRIVERINTERNALERROR};
  draw_->EndFrame();
  EXPECT_EQ(windows_.boxes,
            std::vector<std::string>{"Internal driver error. This program will now exit."});
}

TEST_F(LossTest, OtherPresentFailuresAreIgnored) {
  device_->present = D3DERR_INVALIDCALL;
  draw_->EndFrame();
  EXPECT_TRUE(kernel_.sleeps.empty());
  EXPECT_TRUE(windows_.boxes.empty());
}

TEST_F(DxDrawTest, DestroyReleasesSpritesThenFontDeviceAndDirect3D) {
  ASSERT_EQ(draw_->Create(nullptr, 800, 600), 0);
  draw_->LoadSprites();
  draw_->Destroy();
  std::vector<std::string> released = d3d_.record.released;
  ASSERT_EQ(released.size(), 13u);
  EXPECT_EQ(std::vector<std::string>(released.end() - 3, released.end()),
            (std::vector<std::string>{"font", "device", "direct3d"}));
}

struct ScaleCase {
  int width, height;
  UINT imageWidth, imageHeight;
  float scaleX, scaleY;
};

TEST_F(DxDrawTest, SpriteScaleFromRequestedSize) {
  const ScaleCase cases[] = {
      {0, 0, 800, 600, 1.0f, 1.0f}, {400, 0, 800, 600, 0.5f, 1.0f},
      {100, 300, 200, 100, 0.5f, 3.0f}, {0, 50, 0, 0, 1.0f, 1.0f} /* size unknown */,
  };
  for (const ScaleCase& c : cases) {
    d3d_.imageWidth = c.imageWidth;
    d3d_.imageHeight = c.imageHeight;
    CSprite sprite(nullptr, "x.png", c.width, c.height);
    EXPECT_FLOAT_EQ(sprite.scaleX, c.scaleX);
    EXPECT_FLOAT_EQ(sprite.scaleY, c.scaleY);
    EXPECT_FLOAT_EQ(sprite.scaleZ, 0.0f);
  }
}

TEST_F(DxDrawTest, SpriteDrawScalesAboutItsCorner) {
  CSprite sprite(nullptr, "x.png", 0, 0);
  sprite.scaleX = 0.25f;
  sprite.Draw(622, 494);
  FakeSprite* fake = d3d_.sprites.back();
  EXPECT_FLOAT_EQ(fake->transform._11, 0.25f);
  EXPECT_FLOAT_EQ(fake->transform._22, 1.0f);
  EXPECT_FLOAT_EQ(fake->transform._41, 622.0f) << "translation not scaled";
  EXPECT_FLOAT_EQ(fake->transform._42, 494.0f);
  EXPECT_EQ(fake->flags, DWORD(D3DXSPRITE_ALPHABLEND));
  EXPECT_EQ(fake->colour, 0xFFFFFFFFu);
  EXPECT_FLOAT_EQ(sprite.posZ, 0.0f);
}

TEST_F(DxDrawTest, SpriteWithoutTextureDrawsNothing) {
  class NoTextures : public platform::D3d9ApiWrapper {
   public:
    HRESULT CreateTextureFromFile(IDirect3DDevice9*, LPCSTR, IDirect3DTexture9** out) override {
      *out = nullptr;
      return D3DXERR_INVALIDDATA;
    }
  } missing;
  platform::ScopedD3d9Api scoped(&missing);
  CSprite sprite(nullptr, "missing.png", 0, 0);
  sprite.Draw(1, 2);
  EXPECT_EQ(d3d_.record.spriteDraws, 0);
}

}  // namespace
