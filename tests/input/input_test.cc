// The mouse, the pointer gestures and the game start.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "input/dx_input.h"
#include "platform/linux/dinput.h"
#include "platform/linux/window.h"
#include "shell/cmain.h"
#include "support/fake_dinput.h"
#include "support/fake_urlmon.h"
#include "support/scratch_dir.h"

namespace {

// The cursor, the window's place and what was done to it.
class Desk : public platform::WindowApiWrapper {
 public:
  BOOL GetCursorPos(POINT* p) override {
    *p = cursor;
    return TRUE;
  }
  BOOL GetWindowRect(HWND, RECT* r) override {
    *r = RECT{x, y, x + 800, y + 600};
    return TRUE;
  }
  BOOL SetWindowPos(HWND, int newX, int newY, UINT) override {
    x = newX;
    y = newY;
    ++moves;
    return TRUE;
  }
  BOOL ShowWindow(HWND, int command) override {
    if (command == SW_HIDE) ++hides;
    return TRUE;
  }
  int MessageBox(HWND, const char* text, const char*, UINT flags) override {
    boxes.push_back(text);
    icons.push_back(flags);
    return IDOK;
  }
  POINT cursor = {0, 0};
  int x = 112, y = 84, moves = 0, hides = 0;
  std::vector<std::string> boxes;
  std::vector<UINT> icons;
};

DIMOUSESTATE Motion(LONG dx, LONG dy, BYTE left = 0, BYTE right = 0) {
  DIMOUSESTATE state = {};
  state.lX = dx;
  state.lY = dy;
  state.rgbButtons[0] = left;
  state.rgbButtons[1] = right;
  return state;
}

class InputTest : public ::testing::Test {
 protected:
  ScratchDir dir_;
  ScriptedDinput dinput_;
  Desk desk_;
  platform::ScopedDinputApi scopedInput_{&dinput_};
  platform::ScopedWindowApi scopedDesk_{&desk_};
};

struct Position {
  int16_t x, y;
  BYTE left;
};

Position PollOnce(CDxInput* mouse) {
  int16_t x, y, wheel;
  BYTE b0, b1, b2, b3;
  mouse->Poll(&x, &y, &wheel, &b0, &b1, &b2, &b3);
  return Position{x, y, b0};
}

TEST_F(InputTest, PointerStartsAtTheCursorAndIsClampedToTheWindow) {
  desk_.cursor = {1500, 900};
  ScriptedMouse& m = dinput_.input.mouse;
  m.reads = {{false, {}},  // the first read of Create: not acquired yet
             {true, Motion(0, 0)},          {true, Motion(-10, -605)},
             {true, Motion(-30, 30)},       {true, Motion(-800, -30)},
             {true, Motion(30, 0)},         {true, Motion(820, 700)}};
  CDxInput mouse;
  ASSERT_EQ(mouse.Create(nullptr, nullptr, 800, 600), 0);
  EXPECT_EQ(m.cooperativeFlags, DWORD(DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
  EXPECT_EQ(m.acquires, 1) << "the failed first read asks for the device";
  EXPECT_EQ(mouse.pointerX, 1500);
  const Position expected[] = {{800, 600, 0}, {790, 0, 0}, {760, 30, 0},
                               {0, 0, 0},     {30, 0, 0},  {800, 600, 0}};
  for (const Position& e : expected) {
    Position p = PollOnce(&mouse);
    EXPECT_EQ(p.x, e.x);
    EXPECT_EQ(p.y, e.y);
  }
}

TEST_F(InputTest, FailedReadsReportTheLastGoodOne) {
  ScriptedMouse& m = dinput_.input.mouse;
  m.reads = {{true, Motion(0, 0)}, {true, Motion(100, 50, 0x80)}, {false, {}}, {false, {}}};
  CDxInput mouse;
  ASSERT_EQ(mouse.Create(nullptr, nullptr, 800, 600), 0);
  Position before = PollOnce(&mouse);  // the state Create read is not the last good Poll
  EXPECT_EQ(before.x, 100);
  EXPECT_EQ(before.left, 0x80);
  int acquires = m.acquires;
  for (int i = 0; i < 2; ++i) {
    Position p = PollOnce(&mouse);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 50);
    EXPECT_EQ(p.left, 0x80) << "a button down at the last good read still reads down";
  }
  EXPECT_EQ(m.acquires, acquires + 2) << "asked again on every failed read";
}

TEST_F(InputTest, BeforeAnyGoodReadTheButtonsAreUp) {
  desk_.cursor = {5, 6};
  CDxInput mouse;
  ASSERT_EQ(mouse.Create(nullptr, nullptr, 800, 600), 0);
  Position p = PollOnce(&mouse);
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 6);
  EXPECT_EQ(p.left, 0);
}

struct SetUpFailure {
  const char* name;
  int step;  // 0: DirectInput, 1: device, 2: format, 3: cooperative level
  int releasedInput, unacquired;
};

TEST_F(InputTest, EachSetUpFailureIsNonzeroAndTheTeardownCallsOnlyWhatExists) {
  const SetUpFailure cases[] = {
      {"DirectInput8Create", 0, 0, 0},
      {"CreateDevice", 1, 1, 0},
      {"SetDataFormat", 2, 1, 1},
      {"SetCooperativeLevel", 3, 1, 1},
  };
  for (const SetUpFailure& c : cases) {
    ScriptedDinput dinput;
    platform::ScopedDinputApi scoped(&dinput);
    if (c.step == 0) dinput.createResult = E_FAIL;
    if (c.step == 1) dinput.input.deviceResult = DIERR_DEVICENOTREG;
    if (c.step == 2) dinput.input.mouse.formatResult = DIERR_INVALIDPARAM;
    if (c.step == 3) dinput.input.mouse.levelResult = DIERR_INVALIDPARAM;
    {
      CDxInput mouse;
      EXPECT_NE(mouse.Create(nullptr, nullptr, 800, 600), 0) << c.name;
    }
    EXPECT_EQ(dinput.input.released, c.releasedInput) << c.name;
    EXPECT_EQ(dinput.input.mouse.unacquires, c.unacquired) << c.name;
  }
}

// The gestures on a launcher object whose update has ended; the stand-in
// client is the installation's Orvanel.exe.
class GestureTest : public InputTest {
 protected:
  void SetUp() override {
    platform::ScopedUrlmonApi noServer(&server_);
    main_ = std::make_unique<CMain>();
    main_->download->WaitForWorker();
    setenv("ORVANEL_CLIENT_SECONDS", "0", 1);
  }
  void TearDown() override {
    delete main_->download;
    main_->download = nullptr;
  }
  void InstallClient() {
    WriteFile("Orvanel.exe", ReadFile(STAND_IN_CLIENT));
    chmod("Orvanel.exe", 0755);
  }
  // Runs one frame's gesture per step.
  void Frames(const std::vector<Position>& steps, BYTE right = 0) {
    for (const Position& p : steps) main_->HandlePointer(p.x, p.y, p.left, right);
  }
  bool Launched() { return FileExists("client-command-line.txt"); }

  FakeUrlmon server_;
  std::unique_ptr<CMain> main_;
};

TEST_F(GestureTest, DragMovesTheWindowByThePointersMotionFromTheSecondFrame) {
  Frames({{100, 100, 0x80}});
  EXPECT_EQ(desk_.moves, 0) << "the first frame only records the anchor";
  Frames({{110, 95, 0x80}, {120, 92, 0x80}, {130, 90, 0x80}, {130, 90, 0x80}});
  EXPECT_EQ(desk_.x, 112 + 30);
  EXPECT_EQ(desk_.y, 84 - 10);
  EXPECT_EQ(desk_.moves, 4) << "also a step without motion sets the place";
  EXPECT_EQ(main_->anchorX, 130);
  EXPECT_EQ(main_->anchorY, 90);
}

TEST_F(GestureTest, RightButtonAloneDoesNotDragBothButtonsDo) {
  for (int i = 0; i < 3; ++i) main_->HandlePointer(static_cast<int16_t>(100 + 10 * i), 100, 0, 0x80);
  EXPECT_EQ(desk_.moves, 0);
  main_->HandlePointer(120, 100, 0, 0);  // release
  for (int i = 0; i < 3; ++i) {
    main_->HandlePointer(static_cast<int16_t>(200 + 10 * i), 100, 0x80, 0x80);
  }
  EXPECT_EQ(desk_.x, 112 + 20);
}

struct ReleaseCase {
  int16_t x, y;
  bool upToDate;
  bool launches;
};

TEST_F(GestureTest, ReleaseOverPlayStartsTheClientOnceUpToDate) {
  InstallClient();
  const ReleaseCase cases[] = {
      {788, 589, true, true},  {622, 494, true, true},   {700, 540, true, true},
      {789, 589, true, false}, {788, 590, true, false},  {621, 494, true, false},
      {700, 540, false, false},
  };
  for (const ReleaseCase& c : cases) {
    remove("client-command-line.txt");
    main_->download->upToDate = c.upToDate ? 1 : 0;
    Frames({{10, 10, 0x80}, {c.x, c.y, 0}});
    EXPECT_EQ(Launched(), c.launches) << c.x << "," << c.y << " upToDate " << c.upToDate;
    EXPECT_EQ(main_->gestureState, 0);
  }
  EXPECT_EQ(ReadFile("client-command-line.txt"), "");
}

TEST_F(GestureTest, LaunchHidesTheWindowAndPassesTheCommandLine) {
  InstallClient();
  main_->download->upToDate = 0;
  Frames({{700, 540, 0x80}});
  main_->download->upToDate = 1;  // the update completes while the button is down
  Frames({{700, 540, 0}});
  EXPECT_EQ(desk_.hides, 1);
  EXPECT_EQ(ReadFile("client-command-line.txt"), "Orvanel Launcher");
}

TEST_F(GestureTest, RightClickOnPlayCountsToo) {
  InstallClient();
  main_->download->upToDate = 1;
  main_->HandlePointer(700, 540, 0, 0x80);
  main_->HandlePointer(700, 540, 0, 0);
  EXPECT_TRUE(Launched());
}

TEST_F(GestureTest, MissingClientIsAnErrorWithTheErrorIcon) {
  main_->download->upToDate = 1;
  Frames({{700, 540, 0x80}, {700, 540, 0}});
  EXPECT_EQ(desk_.hides, 1) << "hidden before the start";
  EXPECT_EQ(desk_.boxes, std::vector<std::string>{"Failed to execute game client."});
  EXPECT_EQ(desk_.icons, std::vector<UINT>{MB_ICONERROR});
}

}  // namespace
