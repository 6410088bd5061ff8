#include "graphics/screen.h"

#include <cstdio>
#include <cstring>

#include "config/version.h"
#include "shell/cmain.h"
#include "shell/launcher.h"

namespace {

const int kColumnLeft = 45;
const int kColumnWidth = 575;
const int kFileLineTop = 499;
const int kCountLineTop = 537;
const int kPlayX = 622;
const int kPlayY = 494;

enum Slot { kBackground = 0, kPlay = 1, kPlayHover = 2, kTrack = 3, kFill = 4 };

void DrawSlot(int slot, int x, int y) {
  CSprite* sprite = mainObject->graphics.sprites[slot];
  if (sprite != nullptr) sprite->Draw(x, y);
}

// The fill at a fraction of its width; nothing for no progress, never drawn
// backwards.
void DrawFill(double fraction, int x, int y) {
  CSprite* fill = mainObject->graphics.sprites[kFill];
  if (fill == nullptr || !(fraction > 0.0)) return;
  fill->scaleX = static_cast<float>(fraction);
  fill->Draw(x, y);
}

// The share of all files done, counting the current one by its percent;
// 0 before the first file starts and when there are no files.
double OverallFraction(int filesDone, int filesTotal, int percent) {
  if (filesTotal <= 0 || filesDone <= 0) return 0.0;
  double fraction = ((filesDone - 1) + percent / 100.0) / filesTotal;
  return fraction > 0.0 ? fraction : 0.0;
}

}  // namespace

int OverallPercent(int filesDone, int filesTotal, int percent) {
  return static_cast<int>(OverallFraction(filesDone, filesTotal, percent) * 100.0);
}

void DrawAnchoredText(const char* text, int left, int top, D3DCOLOR colour) {
  ID3DXFont* font = mainObject->graphics.font;
  if (font == nullptr) return;
  RECT rect = {left, top, left, top};
  int length = static_cast<int>(strlen(text));
  font->DrawTextA(nullptr, text, length, &rect, DT_CALCRECT, 0);
  font->DrawTextA(nullptr, text, length, &rect, 0, colour);
}

void DrawColumnText(const char* text, int top) {
  ID3DXFont* font = mainObject->graphics.font;
  if (font == nullptr) return;
  RECT rect = {kColumnLeft, top, kColumnLeft, top};
  int length = static_cast<int>(strlen(text));
  font->DrawTextA(nullptr, text, length, &rect, DT_CALCRECT, 0);
  int width = rect.right - rect.left;
  DWORD format = DT_RIGHT;
  if (width > kColumnWidth) {
    format = DT_RIGHT | DT_WORDBREAK;
    int lines = (width + kColumnWidth - 1) / kColumnWidth;
    rect.bottom *= lines;  // the bottom itself, as the layout has always done
  }
  rect.right = kColumnLeft + kColumnWidth;
  font->DrawTextA(nullptr, text, length, &rect, format, kTextColour);
}

void DrawScreen() {
  CMain* main = mainObject;
  int16_t x, y, wheel;
  BYTE left, right, middle, extra;
  main->mouse.Poll(&x, &y, &wheel, &left, &right, &middle, &extra);

  CDownloadFile* download = main->download;
  DrawSlot(kBackground, 0, 0);
  if (download->upToDate.load(std::memory_order_acquire) && CMain::PointerOnPlay(x, y)) {
    DrawSlot(kPlayHover, kPlayX, kPlayY);
  }

  main->HandlePointer(x, y, left, right);
  if (ShutdownHasRun()) return;  // the game client did not start, or has ended

  const int bottomLine = main->screenHeight - 27;
  char* text = main->screenText;
  const size_t size = sizeof main->screenText;
  if (download->upToDate.load(std::memory_order_acquire)) {
    DrawSlot(kPlay, kPlayX, kPlayY);
    DrawColumnText("Orvanel is up to date.", bottomLine);
  } else if (download->updating.load(std::memory_order_acquire)) {
    char name[PublishedName::kSize];
    download->currentName.Get(name);
    snprintf(text, size, "%s", name);
    DrawColumnText(text, kFileLineTop);

    int percent = download->callback.percent.load(std::memory_order_relaxed);
    snprintf(text, size, "Download Progress (%d%%)", percent);
    DrawAnchoredText(text, kColumnLeft, kFileLineTop, kTextColour);
    DrawSlot(kTrack, 40, 512);
    DrawFill(percent / 100.0, 45, 517);

    int filesDone = download->filesDone.load(std::memory_order_acquire);
    int filesTotal = download->filesTotal.load(std::memory_order_relaxed);
    snprintf(text, size, "%d/%d", filesDone, filesTotal);
    DrawColumnText(text, kCountLineTop);
    percent = download->callback.percent.load(std::memory_order_relaxed);
    snprintf(text, size, "Overall Progress (%d%%)", OverallPercent(filesDone, filesTotal, percent));
    DrawAnchoredText(text, kColumnLeft, kCountLineTop, kTextColour);
    DrawSlot(kTrack, 40, 550);
    DrawFill(OverallFraction(filesDone, filesTotal, percent), 45, 555);

    DrawAnchoredText("Downloading updates. Please wait...", 420, bottomLine, kTextColour);
  } else {
    DrawAnchoredText("Checking for updates. Please wait...", 420, bottomLine, kTextColour);
  }

  Version installed = InstalledVersion();
  snprintf(text, size, "Version %d.%d.%d.%d", installed.numbers[0], installed.numbers[1],
           installed.numbers[2], installed.numbers[3]);
  DrawAnchoredText(text, 20, bottomLine, kTextColour);

  snprintf(text, size, "(%d,%d)", x, y);
  DrawAnchoredText(text, static_cast<int16_t>(x + 5), static_cast<int16_t>(y + 20), kPointerColour);
}
