#include "shell/cmain.h"

CMain::CMain()
    : window(nullptr), screenWidth(0), screenHeight(0), gestureState(0), anchorX(0),
      anchorY(0) {}

CMain::~CMain() {}
