#include "shell/cmain.h"

#include <new>

CMain::CMain()
    : window(nullptr),
      screenWidth(0),
      screenHeight(0),
      download(nullptr),
      gestureState(0),
      anchorX(0),
      anchorY(0) {
  // The worker starts here, before any graphics exist.
  download = new (std::nothrow) CDownloadFile();
}

CMain::~CMain() {}
