// Start-up, close and shutdown of the launcher process, run in this process
// against the real SDL window under Xvfb, with the message boxes recorded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/linux/window.h"
#include "platform/win32.h"
#include "shell/launcher.h"
#include "support/fake_d3d9.h"
#include "support/scratch_dir.h"
#include "platform/linux/dinput.h"

namespace {

struct Box {
  HWND owner;
  std::string text;
  std::string caption;
  UINT flags;
};

// Records message boxes and window creation, can refuse the window, can
// fake the screen size, and runs a step on the n-th turn that finds the
// queue empty.
class ScriptedWindows : public platform::WindowApiWrapper {
 public:
  int MessageBox(HWND owner, const char* text, const char* caption, UINT flags) override {
    boxes.push_back(Box{owner, text, caption, flags});
    return IDOK;
  }
  HWND CreateWindowEx(DWORD exStyle, const char* className, const char* title, DWORD style,
                      int x, int y, int width, int height, HINSTANCE instance) override {
    createdClass = className;
    createdTitle = title;
    createdStyle = style;
    createdExStyle = exStyle;
    createdX = x;
    createdY = y;
    createdWidth = width;
    createdHeight = height;
    if (refuseWindow) return nullptr;
    window = platform::WindowApiWrapper::CreateWindowEx(exStyle, className, title, style, x,
                                                        y, width, height, instance);
    return window;
  }
  int GetSystemMetrics(int index) override {
    if (screenWidth == 0) return platform::WindowApiWrapper::GetSystemMetrics(index);
    return index == SM_CXSCREEN ? screenWidth : screenHeight;
  }
  BOOL PeekMessage(MSG* message, UINT remove) override {
    BOOL got = platform::WindowApiWrapper::PeekMessage(message, remove);
    if (!got && ++emptyTurns == stepOnTurn && step) step(window);
    return got;
  }

  std::vector<Box> boxes;
  std::string createdClass, createdTitle;
  DWORD createdStyle = 0, createdExStyle = 0;
  int createdX = 0, createdY = 0, createdWidth = 0, createdHeight = 0;
  bool refuseWindow = false;
  int screenWidth = 0, screenHeight = 0;
  int emptyTurns = 0;
  int stepOnTurn = 3;
  void (*step)(HWND) = nullptr;
  HWND window = nullptr;
};

void PostClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

int CountOf(const std::string& haystack, const std::string& needle) {
  int count = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

HINSTANCE Instance(uintptr_t value) { return reinterpret_cast<HINSTANCE>(value); }

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A namespace of named objects for this test alone.
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "run under tests/fixtures/with-xvfb";
  }
  void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

  bool MutexIsFree() {
    HANDLE seen = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Orvanel Launcher");
    if (seen == nullptr) return true;
    CloseHandle(seen);
    return false;
  }

  ScratchDir dir_;
  ScriptedWindows windows_;
  platform::ScopedWindowApi scoped_{&windows_};
};

TEST_F(StartupTest, SecondLauncherIsRefusedWithoutAWindow) {
  HANDLE first = CreateMutexA(nullptr, FALSE, "Orvanel Launcher");
  WriteFile("System.ini", "Version = 1.0.0.7");
  EXPECT_EQ(StartLauncher(Instance(0x400000), SW_SHOWDEFAULT), 0);
  ASSERT_EQ(windows_.boxes.size(), 1u);
  EXPECT_EQ(windows_.boxes[0].text, "Only one game launcher process allowed!");
  EXPECT_EQ(windows_.boxes[0].caption, "ERROR!");
  EXPECT_EQ(windows_.boxes[0].owner, nullptr);
  EXPECT_EQ(windows_.boxes[0].flags, static_cast<UINT>(MB_ICONWARNING));
  EXPECT_EQ(windows_.createdClass, "") << "no window";
  EXPECT_FALSE(FileExists("Debug.txt"));
  CloseHandle(first);
}

struct RefusalCase {
  const char* name;
  const char* systemIni;  // nullptr: no file
  bool refuseWindow;
  const char* message;
  const char* logged;     // the only log line, or nullptr
};

class RefusalTest : public StartupTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ShowsItsMessageAndEndsWithZero) {
  const RefusalCase& c = GetParam();
  if (c.systemIni != nullptr) WriteFile("System.ini", c.systemIni);
  windows_.refuseWindow = c.refuseWindow;
  EXPECT_EQ(StartLauncher(Instance(0x400000), SW_SHOWDEFAULT), 0);
  ASSERT_EQ(windows_.boxes.size(), 1u);
  EXPECT_EQ(windows_.boxes[0].text, c.message);
  EXPECT_EQ(windows_.boxes[0].owner, nullptr);
  EXPECT_EQ(windows_.boxes[0].flags, static_cast<UINT>(MB_ICONWARNING));
  EXPECT_EQ(mainObject, nullptr) << "no launcher object";
  std::string log = ReadFile("Debug.txt");
  if (c.logged == nullptr) {
    EXPECT_EQ(log, "");
  } else {
    ASSERT_GE(log.size(), 24u);
    EXPECT_EQ(log.substr(24), std::string(c.logged) + "\r\n");
  }
  // In a real process the end frees the name; here the handle is dropped by hand.
  EXPECT_NE(instanceMutex, nullptr) << "created before the checks that failed";
  CloseHandle(instanceMutex);
  instanceMutex = nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusalTest,
    ::testing::Values(
        RefusalCase{"NoSystemIni", nullptr, false,
                    "Configuration file contents cannot be found!", nullptr},
        RefusalCase{"MalformedSystemIni", "Version = 1.2.x.4", false,
                    "Configuration file contents cannot be found!",
                    "(!) System.ini configuration file error(1)(3)!"},
        RefusalCase{"NoWindow", "Version = 1.0.0.7", true, "Create window pointer failed.",
                    nullptr}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

struct PlacementCase {
  int screenWidth, screenHeight;
  uintptr_t instance;
  int x, y;
  const char* className;
};

TEST_F(StartupTest, WindowIsCentredAndItsClassNamedAfterTheInstance) {
  WriteFile("System.ini", "Version = 1.0.0.7");
  const PlacementCase cases[] = {
      {1024, 768, 0x400000, 112, 84, "Launcher-4194304"},
      {799, 600, 0x140000000ull, 0, 0, "Launcher-1073741824"},
      {798, 598, 0x80000000ull, -1, -1, "Launcher--2147483648"},
      {1920, 1080, 0xFFFFFFFFull, 560, 240, "Launcher--1"},
  };
  for (const PlacementCase& c : cases) {
    windows_.screenWidth = c.screenWidth;
    windows_.screenHeight = c.screenHeight;
    windows_.emptyTurns = 0;
    windows_.step = PostClose;
    EXPECT_EQ(StartLauncher(Instance(c.instance), SW_SHOWDEFAULT), 0);
    EXPECT_EQ(windows_.createdClass, c.className);
    EXPECT_EQ(windows_.createdTitle, "Orvanel Launcher");
    EXPECT_EQ(windows_.createdStyle, 0x800A0000u);
    EXPECT_EQ(windows_.createdExStyle, 0u);
    EXPECT_EQ(windows_.createdX, c.x);
    EXPECT_EQ(windows_.createdY, c.y);
    EXPECT_EQ(windows_.createdWidth, 800);
    EXPECT_EQ(windows_.createdHeight, 600);
  }
  EXPECT_TRUE(windows_.boxes.empty());
}

struct CloseCase {
  const char* name;
  void (*step)(HWND);
};

class CloseTest : public StartupTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseTest, RunsShutdownOnceAndEndsWithZero) {
  WriteFile("System.ini", "Version = 1.0.0.7");
  windows_.step = GetParam().step;
  EXPECT_EQ(StartLauncher(Instance(0x400000), SW_SHOWDEFAULT), 0);
  EXPECT_TRUE(ShutdownHasRun());
  EXPECT_EQ(mainObject, nullptr);
  EXPECT_EQ(instanceMutex, nullptr);
  EXPECT_TRUE(MutexIsFree()) << "the next launcher may start";
  std::string log = ReadFile("Debug.txt");
  EXPECT_EQ(CountOf(log, "(TESTCODE) Deleting Main Dump.\r\n"), 1) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Ways, CloseTest,
    ::testing::Values(
        CloseCase{"WindowManagerClose", PostClose},
        CloseCase{"AltF4",
                  [](HWND w) { PostMessageA(w, WM_SYSKEYDOWN, VK_F4, LPARAM(1) << 29); }},
        CloseCase{"SystemMenuClose", [](HWND w) { PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        CloseCase{"DestroyedTwice",
                  [](HWND w) {
                    DestroyWindow(w);
                    SendMessageA(w, WM_DESTROY, 0, 0);
                  }},
        CloseCase{"FatalErrorThenClose",
                  [](HWND w) {
                    FatalError("Failed to clear the backbuffer.", MB_ICONWARNING);
                    PostMessageA(w, WM_CLOSE, 0, 0);
                  }}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

TEST_F(StartupTest, FatalErrorShowsItsBoxOwnedByTheWindowAndShutsDown) {
  WriteFile("System.ini", "Version = 1.0.0.7");
  windows_.step = [](HWND) { FatalError("Failed to execute game client.", MB_ICONERROR); };
  EXPECT_EQ(StartLauncher(Instance(0x400000), SW_SHOWDEFAULT), 0);
  ASSERT_EQ(windows_.boxes.size(), 1u);
  EXPECT_EQ(windows_.boxes[0].text, "Failed to execute game client.");
  EXPECT_EQ(windows_.boxes[0].caption, "ERROR!");
  EXPECT_EQ(windows_.boxes[0].flags, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(windows_.boxes[0].owner, windows_.window);
  EXPECT_EQ(CountOf(ReadFile("Debug.txt"), "(TESTCODE) Deleting Main Dump."), 1);
  EXPECT_TRUE(MutexIsFree());
}

}  // namespace

namespace {

// DirectInput that counts its creations and can refuse.
class CountedDinput : public platform::DinputApi {
 public:
  HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid,
                             LPVOID* out) override {
    ++created;
    if (refuse) {
      *out = nullptr;
      return E_FAIL;
    }
    return platform::DinputApi::Default()->DirectInput8Create(instance, version, riid, out);
  }
  int created = 0;
  bool refuse = false;
};

struct FatalCase {
  const char* name;
  bool direct3d;
  std::vector<HRESULT> devices;
  HRESULT clear;
  bool refuseMouse;
  const char* message;
  int mice;  // DirectInput objects made
  int presents;
};

class InitFailureTest : public StartupTest, public ::testing::WithParamInterface<FatalCase> {};

// Each fatal failure shows its one message owned by the window, shuts the
// launcher down once and ends it with 0; nothing after it runs.
TEST_P(InitFailureTest, ShowsOneMessageAndShutsDownOnce) {
  const FatalCase& c = GetParam();
  WriteFile("System.ini", "Version = 1.0.0.7");
  FakeD3d9 d3d;
  d3d.available = c.direct3d;
  d3d.deviceResults = c.devices;
  platform::ScopedD3d9Api scopedD3d(&d3d);
  CountedDinput dinput;
  dinput.refuse = c.refuseMouse;
  platform::ScopedDinputApi scopedInput(&dinput);
  if (c.clear != D3D_OK) {
    windows_.step = nullptr;
  } else {
    windows_.step = PostClose;
  }
  // A failing Clear is set once the device exists, before the first frame.
  struct ClearFails : public platform::D3d9ApiWrapper {
    ClearFails(FakeD3d9* d3d, HRESULT clear) : platform::D3d9ApiWrapper(d3d), d3d(d3d), clear(clear) {}
    HRESULT CreateFont(IDirect3DDevice9* device, INT height, LPCSTR face, ID3DXFont** font) override {
      d3d->direct3d->device->clear = clear;
      return platform::D3d9ApiWrapper::CreateFont(device, height, face, font);
    }
    FakeD3d9* d3d;
    HRESULT clear;
  } clearFails(&d3d, c.clear);
  platform::ScopedD3d9Api scopedClear(&clearFails);

  EXPECT_EQ(StartLauncher(Instance(0x400000), SW_SHOWDEFAULT), 0);
  std::vector<std::string> texts;
  for (const Box& b : windows_.boxes) texts.push_back(b.text);
  EXPECT_EQ(texts, std::vector<std::string>{c.message});
  ASSERT_EQ(windows_.boxes.size(), 1u);
  EXPECT_EQ(windows_.boxes[0].owner, windows_.window);
  EXPECT_EQ(CountOf(ReadFile("Debug.txt"), "(TESTCODE) Deleting Main Dump."), 1);
  EXPECT_EQ(dinput.created, c.mice);
  EXPECT_EQ(d3d.record.presents, c.presents) << "no EndFrame after a fatal error";
  EXPECT_TRUE(MutexIsFree());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InitFailureTest,
    ::testing::Values(
        FatalCase{"Direct3DUnavailable", false, {}, D3D_OK, false,
                  "Direct3D create interface pointer is undefined.", 0, 0},
        FatalCase{"NoDevice", true,
                  {D3DERR_NOTAVAILABLE, D3DERR_NOTAVAILABLE, D3DERR_NOTAVAILABLE}, D3D_OK, false,
                  "Initialization error.", 0, 0},
        FatalCase{"NoMouse", true, {}, D3D_OK, true, "Failed to acquire input device(s).", 1, 0},
        FatalCase{"ClearFailsInTheFirstFrame", true, {}, D3DERR_INVALIDCALL, false,
                  "Failed to clear the backbuffer.", 1, 0}),
    [](const ::testing::TestParamInfo<FatalCase>& info) { return info.param.name; });

}  // namespace
