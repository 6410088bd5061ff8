// The launcher screen of one frame, drawn with recording fakes, per state of
// the update.
#include "graphics/screen.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "shell/cmain.h"
#include "shell/launcher.h"
#include "support/fake_d3d9.h"
#include "support/fake_dinput.h"
#include "support/fake_urlmon.h"
#include "support/scratch_dir.h"

namespace {

class Cursor : public platform::WindowApiWrapper {
 public:
  BOOL GetCursorPos(POINT* p) override {
    *p = at;
    return TRUE;
  }
  POINT at = {300, 200};
};

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ScopedUrlmonApi noServer(&server_);
    SetInstalledVersion(Version{{1, 0, 12, 3}});
    main_ = std::make_unique<CMain>();
    main_->download->WaitForWorker();
    main_->screenHeight = 600;
    ASSERT_EQ(main_->graphics.Create(nullptr, 800, 600), 0);
    main_->graphics.LoadSprites();
  }
  void TearDown() override {
    main_->graphics.Destroy();
    delete main_->download;
    main_->download = nullptr;
    mainObject = nullptr;
  }

  // One frame with the pointer at (x, y).
  void Frame(int16_t x, int16_t y) {
    cursor_.at = {x, y};
    ScriptedMouse& m = dinput_.input.mouse;
    m.reads = {{false, {}}, {true, {}}};
    ASSERT_EQ(main_->mouse.Create(nullptr, nullptr, 800, 600), 0);
    d3d_.font->drawn.clear();
    for (FakeSprite* s : d3d_.sprites) {
      s->draws = 0;
      s->scales.clear();
    }
    mainObject = main_.get();
    DrawScreen();
  }

  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const auto& d : d3d_.font->drawn) texts.push_back(d.text);
    return texts;
  }
  const FakeFont::Drawn& Text(const std::string& text) {
    for (const auto& d : d3d_.font->drawn) {
      if (d.text == text) return d;
    }
    static FakeFont::Drawn none;
    ADD_FAILURE() << "not drawn: " << text;
    return none;
  }
  FakeSprite* Slot(int slot) { return d3d_.sprites[slot]; }

  ScratchDir dir_;
  FakeUrlmon server_;
  FakeD3d9 d3d_;
  ScriptedDinput dinput_;
  Cursor cursor_;
  platform::ScopedD3d9Api scopedD3d_{&d3d_};
  platform::ScopedDinputApi scopedInput_{&dinput_};
  platform::ScopedWindowApi scopedCursor_{&cursor_};
  std::unique_ptr<CMain> main_;
};

TEST_F(ScreenTest, Checking) {
  Frame(300, 200);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Checking for updates. Please wait...",
                                               "Version 1.0.12.3", "(300,200)"}));
  EXPECT_EQ(Text("Checking for updates. Please wait...").rect.left, 420);
  EXPECT_EQ(Text("Checking for updates. Please wait...").rect.top, 573);
  EXPECT_EQ(Text("Version 1.0.12.3").rect.left, 20);
  EXPECT_EQ(Text("(300,200)").rect.left, 305);
  EXPECT_EQ(Text("(300,200)").rect.top, 220);
  EXPECT_EQ(Text("(300,200)").colour, 0xFFFFFFFFu);
  EXPECT_EQ(Text("Version 1.0.12.3").colour, 0xFF8FB8CCu);
  EXPECT_EQ(Slot(0)->draws, 1);
  for (int slot = 1; slot <= 4; ++slot) EXPECT_EQ(Slot(slot)->draws, 0) << slot;
}

TEST_F(ScreenTest, DownloadingShowsTheFileAndBothBars) {
  CDownloadFile* d = main_->download;
  d->updating = 1;
  d->filesDone = 3;
  d->filesTotal = 4;
  d->callback.percent = 50;
  d->currentName.Set("map_01");
  Frame(300, 200);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"map_01", "Download Progress (50%)", "3/4",
                                               "Overall Progress (62%)",
                                               "Downloading updates. Please wait...",
                                               "Version 1.0.12.3", "(300,200)"}));
  const FakeFont::Drawn& name = Text("map_01");
  EXPECT_EQ(name.format, DWORD(DT_RIGHT));
  EXPECT_EQ(name.rect.left, 45);
  EXPECT_EQ(name.rect.right, 620);
  EXPECT_EQ(name.rect.top, 499);
  EXPECT_EQ(Text("3/4").rect.top, 537);
  EXPECT_EQ(Slot(3)->draws, 2) << "a track under each bar";
  EXPECT_EQ(Slot(4)->scales, (std::vector<float>{0.5f, 0.625f}));
  EXPECT_EQ(Slot(1)->draws + Slot(2)->draws, 0) << "no Play while downloading";
}

TEST_F(ScreenTest, BeforeTheFirstFileAndWithoutFilesNothingGoesNegative) {
  CDownloadFile* d = main_->download;
  d->updating = 1;
  for (int total : {4, 0}) {
    d->filesDone = 0;
    d->filesTotal = static_cast<int16_t>(total);
    d->callback.percent = 0;
    Frame(300, 200);
    EXPECT_EQ(Texts()[3], "Overall Progress (0%)") << total;
    EXPECT_TRUE(Slot(4)->scales.empty()) << "no fill at 0 and none drawn backwards";
  }
}

TEST_F(ScreenTest, UpToDateWithPlayAndItsHoverInsideTheRectangleOnly) {
  main_->download->upToDate = 1;
  main_->download->updating = 1;
  struct { int16_t x, y; int hover; } cases[] = {
      {622, 494, 1}, {788, 589, 1}, {621, 494, 0}, {789, 500, 0}, {700, 493, 0}, {700, 590, 0}};
  for (const auto& c : cases) {
    Frame(c.x, c.y);
    EXPECT_EQ(Slot(2)->draws, c.hover) << c.x << "," << c.y;
    EXPECT_EQ(Slot(1)->draws, 1);
    EXPECT_EQ(Slot(3)->draws, 0) << "no bars";
  }
  EXPECT_EQ(Texts()[0], "Orvanel is up to date.");
  EXPECT_EQ(Text("Orvanel is up to date.").rect.top, 573);
}

TEST_F(ScreenTest, WideFileNamesBreakWithinTheColumn) {
  CDownloadFile* d = main_->download;
  d->updating = 1;
  d->filesDone = 1;
  d->filesTotal = 1;
  // The fake font is 7 pixels a character: 82 characters are 574 pixels,
  // 83 are 581.
  d->currentName.Set(std::string(82, 'a').c_str());
  Frame(300, 200);
  EXPECT_EQ(d3d_.font->drawn[0].format, DWORD(DT_RIGHT));
  d->currentName.Set(std::string(83, 'b').c_str());
  Frame(300, 200);
  const FakeFont::Drawn& wide = d3d_.font->drawn[0];
  EXPECT_EQ(wide.format, DWORD(DT_RIGHT | DT_WORDBREAK));
  EXPECT_EQ(wide.rect.bottom, 2 * (499 + 13)) << "the bottom itself times the lines";
  EXPECT_EQ(wide.rect.right, 620);
}

TEST(OverallPercent, Table) {
  struct { int done, total, percent, overall; } cases[] = {
      {3, 4, 50, 62}, {4, 4, 100, 100}, {1, 4, 0, 0}, {0, 4, 0, 0}, {0, 0, 0, 0},
      {2, 3, 150, 83}, {1, 1, 100, 100},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OverallPercent(c.done, c.total, c.percent), c.overall)
        << c.done << "/" << c.total << " at " << c.percent;
  }
}

}  // namespace
