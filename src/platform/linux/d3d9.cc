// Direct3D 9 and D3DX 9 on SDL2's renderer, SDL2_image and SDL2_ttf.
#include "platform/linux/d3d9.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/linux/com.h"
#include "platform/linux/window.h"

namespace platform {
namespace {

class SdlDevice;

// A managed-pool texture: its pixels stay in memory, so the device can build
// the SDL texture again after a reset.
class SdlTexture : public Counted<IDirect3DTexture9> {
 public:
  SdlTexture(SdlDevice* device, SDL_Surface* pixels);
  ~SdlTexture() override;

  bool Upload();  // (re)creates the SDL texture from the pixels
  void Drop();    // the SDL texture goes; the pixels stay
  SDL_Texture* texture() const { return texture_; }
  int width() const { return pixels_->w; }
  int height() const { return pixels_->h; }
  void Detach() { device_ = nullptr; Drop(); }

 private:
  SdlDevice* device_;
  SDL_Surface* pixels_;
  SDL_Texture* texture_ = nullptr;
};

// One drawing step of a frame. Frames are recorded and drawn at Present, and
// a frame that repeats the last one exactly is not drawn or presented again:
// the launcher's idle screen then costs next to nothing.
struct Command {
  SDL_Texture* texture;  // nullptr: clear the back buffer to colour
  SDL_Rect source;
  SDL_FRect target;
  SDL_Rect clip;
  int clipped;
  int flip;
  int blend;
  Uint32 colour;
};

bool operator==(const Command& a, const Command& b) { return memcmp(&a, &b, sizeof a) == 0; }

class SdlDevice : public Counted<IDirect3DDevice9> {
 public:
  SdlDevice(SDL_Renderer* renderer, const D3DPRESENT_PARAMETERS& parameters)
      : renderer_(renderer) {
    SDL_AddEventWatch(WatchEvents, this);
    MakeBackBuffer(parameters);
  }

  void Record(SDL_Texture* texture, const SDL_Rect& source, const SDL_FRect& target,
              const SDL_Rect* clip, int flip, SDL_BlendMode blend, Uint32 colour) {
    Command command;
    memset(&command, 0, sizeof command);  // padding too: frames compare bytewise
    command.texture = texture;
    command.source = source;
    command.target = target;
    if (clip != nullptr) {
      command.clip = *clip;
      command.clipped = 1;
    }
    command.flip = flip;
    command.blend = blend;
    command.colour = colour;
    frame_.push_back(command);
  }

  // Draws what the frame has recorded so far into the back buffer, so that a
  // texture the commands name can go, and makes the next Present show it.
  void Flush() {
    Target();
    for (const Command& c : frame_) {
      SDL_RenderSetClipRect(renderer_, c.clipped ? &c.clip : nullptr);
      Uint8 a = (c.colour >> 24) & 0xFF, r = (c.colour >> 16) & 0xFF, g = (c.colour >> 8) & 0xFF,
            b = c.colour & 0xFF;
      if (c.texture == nullptr) {
        SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
        SDL_SetRenderDrawColor(renderer_, r, g, b, a);
        SDL_RenderClear(renderer_);
        continue;
      }
      SDL_SetTextureBlendMode(c.texture, static_cast<SDL_BlendMode>(c.blend));
      SDL_SetTextureColorMod(c.texture, r, g, b);
      SDL_SetTextureAlphaMod(c.texture, a);
      SDL_RenderCopyExF(renderer_, c.texture, &c.source, &c.target, 0.0, nullptr,
                        static_cast<SDL_RendererFlip>(c.flip));
    }
    SDL_RenderSetClipRect(renderer_, nullptr);
    frame_.clear();
    changed_ = true;
  }

  ~SdlDevice() override {
    SDL_DelEventWatch(WatchEvents, this);
    for (SdlTexture* texture : textures_) texture->Detach();
    if (backBuffer_ != nullptr) SDL_DestroyTexture(backBuffer_);
    SDL_DestroyRenderer(renderer_);
  }

  bool ok() const { return backBuffer_ != nullptr; }
  SDL_Renderer* renderer() const { return renderer_; }
  void Add(SdlTexture* texture) { textures_.push_back(texture); }
  void Remove(SdlTexture* texture) {
    textures_.erase(std::remove(textures_.begin(), textures_.end(), texture), textures_.end());
  }
  // Every draw goes to the back buffer.
  void Target() { SDL_SetRenderTarget(renderer_, backBuffer_); }

  HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override {
    return lost_ ? D3DERR_DEVICENOTRESET : D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) override {
    if (parameters == nullptr) return D3DERR_INVALIDCALL;
    frame_.clear();
    changed_ = true;
    for (SdlTexture* texture : textures_) texture->Drop();
    MakeBackBuffer(*parameters);
    for (SdlTexture* texture : textures_) texture->Upload();
    lost_ = false;
    return ok() ? D3D_OK : D3DERR_DEVICELOST;
  }

  HRESULT STDMETHODCALLTYPE Present(const RECT*, const RECT*, HWND, const RGNDATA*) override {
    if (lost_) return D3DERR_DEVICELOST;
    if (changed_ || !(frame_ == shown_)) {
      std::vector<Command> drawn = frame_;
      Flush();
      SDL_SetRenderTarget(renderer_, nullptr);
      SDL_RenderCopy(renderer_, backBuffer_, nullptr, nullptr);
      SDL_RenderPresent(renderer_);
      Target();
      shown_.swap(drawn);
      changed_ = false;
    }
    frame_.clear();
    Pace();
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE BeginScene() override {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE EndScene() override {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE Clear(DWORD, const D3DRECT*, DWORD flags, D3DCOLOR color, float,
                                  DWORD) override {
    if (flags & D3DCLEAR_TARGET) {
      SDL_Rect none = {0, 0, 0, 0};
      SDL_FRect nowhere = {0, 0, 0, 0};
      Record(nullptr, none, nowhere, nullptr, 0, SDL_BLENDMODE_NONE, color);
    }
    return D3D_OK;
  }

  bool ReadBack(std::vector<uint32_t>* pixels, int* width, int* height) {
    Flush();
    SDL_QueryTexture(backBuffer_, nullptr, nullptr, width, height);
    pixels->assign(static_cast<size_t>(*width) * static_cast<size_t>(*height), 0);
    return SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels->data(),
                                *width * 4) == 0;
  }

 private:
  static int SDLCALL WatchEvents(void* context, SDL_Event* event) {
    SdlDevice* device = static_cast<SdlDevice*>(context);
    if (event->type == SDL_RENDER_TARGETS_RESET || event->type == SDL_RENDER_DEVICE_RESET) {
      device->lost_ = true;
    }
    if (event->type == SDL_WINDOWEVENT && (event->window.event == SDL_WINDOWEVENT_EXPOSED ||
                                           event->window.event == SDL_WINDOWEVENT_SHOWN)) {
      device->changed_ = true;  // the window lost what it showed
    }
    return 0;
  }

  void MakeBackBuffer(const D3DPRESENT_PARAMETERS& parameters) {
    if (backBuffer_ != nullptr) SDL_DestroyTexture(backBuffer_);
    int width = static_cast<int>(parameters.BackBufferWidth);
    int height = static_cast<int>(parameters.BackBufferHeight);
    if (width == 0 || height == 0) SDL_GetRendererOutputSize(renderer_, &width, &height);
    backBuffer_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                    SDL_TEXTUREACCESS_TARGET, width, height);
    if (backBuffer_ != nullptr) SDL_SetTextureBlendMode(backBuffer_, SDL_BLENDMODE_NONE);
    Target();
  }

  // At most 60 presents a second, whatever the display's refresh.
  void Pace() {
    const Uint64 frequency = SDL_GetPerformanceFrequency();
    const Uint64 interval = frequency / 60;
    Uint64 now = SDL_GetPerformanceCounter();
    if (lastPresent_ != 0 && now - lastPresent_ < interval) {
      Uint64 wait = interval - (now - lastPresent_);
      SDL_Delay(static_cast<Uint32>(wait * 1000 / frequency));
      now = SDL_GetPerformanceCounter();
    }
    lastPresent_ = now;
  }

  SDL_Renderer* renderer_;
  SDL_Texture* backBuffer_ = nullptr;
  std::vector<SdlTexture*> textures_;
  std::atomic<bool> lost_{false};
  bool inScene_ = false;
  std::vector<Command> frame_;  // recorded since the last Present
  std::vector<Command> shown_;  // what the window shows
  bool changed_ = true;         // the window must be drawn anew
  Uint64 lastPresent_ = 0;
};

SdlTexture::SdlTexture(SdlDevice* device, SDL_Surface* pixels) : device_(device), pixels_(pixels) {
  device_->Add(this);
  Upload();
}

SdlTexture::~SdlTexture() {
  if (device_ != nullptr) device_->Remove(this);
  Drop();
  SDL_FreeSurface(pixels_);
}

bool SdlTexture::Upload() {
  Drop();
  if (device_ == nullptr) return false;
  // No resampling: every pixel of the image is one pixel on the screen.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  texture_ = SDL_CreateTextureFromSurface(device_->renderer(), pixels_);
  return texture_ != nullptr;
}

void SdlTexture::Drop() {
  if (texture_ == nullptr) return;
  if (device_ != nullptr) device_->Flush();  // no recorded step may name it afterwards
  SDL_DestroyTexture(texture_);
  texture_ = nullptr;
}

class SdlDirect3D : public Counted<IDirect3D9> {
 public:
  HRESULT STDMETHODCALLTYPE CreateDevice(UINT, D3DDEVTYPE type, HWND focusWindow, DWORD,
                                         D3DPRESENT_PARAMETERS* parameters,
                                         IDirect3DDevice9** device) override {
    if (device == nullptr || parameters == nullptr) return D3DERR_INVALIDCALL;
    *device = nullptr;
    HWND target = parameters->hDeviceWindow != nullptr ? parameters->hDeviceWindow : focusWindow;
    SDL_Window* window = SdlWindowOf(target);
    if (window == nullptr) return D3DERR_INVALIDCALL;
    Uint32 flags = type == D3DDEVTYPE_REF
                       ? SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE
                       : SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE;
    if (parameters->PresentationInterval == D3DPRESENT_INTERVAL_DEFAULT) {
      flags |= SDL_RENDERER_PRESENTVSYNC;
    }
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, flags);
    if (renderer == nullptr) return D3DERR_NOTAVAILABLE;
    SdlDevice* made = new SdlDevice(renderer, *parameters);
    if (!made->ok()) {
      made->Release();
      return D3DERR_NOTAVAILABLE;
    }
    *device = made;
    return D3D_OK;
  }
};

class SdlSprite : public Counted<ID3DXSprite> {
 public:
  explicit SdlSprite(SdlDevice* device) : device_(device) {
    device_->AddRef();
    D3DXMatrixScaling(&transform_, 1, 1, 1);
  }
  ~SdlSprite() override { device_->Release(); }

  HRESULT STDMETHODCALLTYPE SetTransform(const D3DXMATRIX* transform) override {
    if (transform == nullptr) return D3DERR_INVALIDCALL;
    transform_ = *transform;
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE OnLostDevice() override { return D3D_OK; }
  HRESULT STDMETHODCALLTYPE OnResetDevice() override { return D3D_OK; }

  HRESULT STDMETHODCALLTYPE Begin(DWORD flags) override {
    if (began_) return D3DERR_INVALIDCALL;
    began_ = true;
    flags_ = flags;
    return D3D_OK;
  }

  // Scale and translation of the transform; the launcher draws nothing
  // rotated.
  HRESULT STDMETHODCALLTYPE Draw(IDirect3DTexture9* texture, const RECT* source,
                                 const D3DXVECTOR3* center, const D3DXVECTOR3* position,
                                 D3DCOLOR color) override {
    if (!began_) return D3DERR_INVALIDCALL;
    SdlTexture* image = dynamic_cast<SdlTexture*>(texture);
    if (image == nullptr || image->texture() == nullptr) return D3DERR_INVALIDCALL;
    SDL_Rect from = {0, 0, image->width(), image->height()};
    if (source != nullptr) {
      from = {source->left, source->top, source->right - source->left,
              source->bottom - source->top};
    }
    float x = (position ? position->x : 0.0f) - (center ? center->x : 0.0f);
    float y = (position ? position->y : 0.0f) - (center ? center->y : 0.0f);
    float width = static_cast<float>(from.w) * transform_._11;
    float height = static_cast<float>(from.h) * transform_._22;
    SDL_FRect to = {x * transform_._11 + transform_._41, y * transform_._22 + transform_._42,
                    width, height};
    int flip = SDL_FLIP_NONE;
    if (to.w < 0) {
      to.x += to.w;
      to.w = -to.w;
      flip |= SDL_FLIP_HORIZONTAL;
    }
    if (to.h < 0) {
      to.y += to.h;
      to.h = -to.h;
      flip |= SDL_FLIP_VERTICAL;
    }
    device_->Record(image->texture(), from, to, nullptr, flip,
                    (flags_ & D3DXSPRITE_ALPHABLEND) ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE,
                    color);
    return D3D_OK;
  }

  HRESULT STDMETHODCALLTYPE End() override {
    if (!began_) return D3DERR_INVALIDCALL;
    began_ = false;
    return D3D_OK;
  }

 private:
  SdlDevice* device_;
  D3DXMATRIX transform_;
  bool began_ = false;
  DWORD flags_ = 0;
};

// The font file fontconfig offers for a face name: the face itself where it
// is installed, else its closest match (Tahoma becomes a sans face such as
// DejaVu Sans).
std::string MatchFont(const char* face) {
  std::string path;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return path;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(face));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcChar8* file = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    path = reinterpret_cast<const char*>(file);
  }
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return path;
}

// The launcher's texts are 8-bit Windows text; SDL_ttf wants UTF-8.
std::string Utf8(const char* text, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

class SdlFont : public Counted<ID3DXFont> {
 public:
  SdlFont(SdlDevice* device, TTF_Font* font) : device_(device), font_(font) {
    device_->AddRef();
    lineHeight_ = TTF_FontHeight(font_);
  }
  ~SdlFont() override {
    ForgetTexts();
    TTF_CloseFont(font_);
    device_->Release();
  }

  INT STDMETHODCALLTYPE DrawTextA(ID3DXSprite*, LPCSTR text, INT count, RECT* rect, DWORD format,
                                  D3DCOLOR color) override {
    if (text == nullptr || rect == nullptr) return 0;
    size_t length = count < 0 ? strlen(text) : static_cast<size_t>(count);
    std::vector<std::string> lines =
        Lines(Utf8(text, length), format, rect->right - rect->left);
    int height = lineHeight_ * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
      int width = 0;
      for (const std::string& line : lines) {
        const Text* rendered = Render(line);
        width = std::max(width, rendered != nullptr ? rendered->width : Width(line));
      }
      rect->right = rect->left + width;
      rect->bottom = rect->top + height;
      return height;
    }
    SDL_Rect clip = {rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top};
    bool clipped = !(format & DT_NOCLIP);
    if (clipped && (clip.w <= 0 || clip.h <= 0)) return height;
    int y = rect->top;
    for (const std::string& line : lines) {
      const Text* drawn = Render(line);
      if (drawn != nullptr) {
        int x = rect->left;
        if (format & DT_RIGHT) x = rect->right - drawn->width;
        if (format & DT_CENTER) x = rect->left + (rect->right - rect->left - drawn->width) / 2;
        SDL_Rect from = {0, 0, drawn->width, drawn->height};
        SDL_FRect to = {static_cast<float>(x), static_cast<float>(y),
                        static_cast<float>(drawn->width), static_cast<float>(drawn->height)};
        device_->Record(drawn->texture, from, to, clipped ? &clip : nullptr, 0,
                        SDL_BLENDMODE_BLEND, color);
      }
      y += lineHeight_;
    }
    return height;
  }

  HRESULT STDMETHODCALLTYPE OnLostDevice() override {
    ForgetTexts();
    return D3D_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResetDevice() override { return D3D_OK; }

 private:
  struct Text {
    SDL_Texture* texture;
    int width;
    int height;
  };

  // From the rendered line where there is one: the screen measures the
  // same texts every frame.
  int Width(const std::string& line) {
    if (line.empty()) return 0;
    auto found = texts_.find(line);
    if (found != texts_.end()) return found->second.width;
    int width = 0;
    TTF_SizeUTF8(font_, line.c_str(), &width, nullptr);
    return width;
  }

  // Line feeds break lines unless DT_SINGLELINE; DT_WORDBREAK breaks between
  // words to fit the width. A word wider than the width stays whole.
  std::vector<std::string> Lines(const std::string& text, DWORD format, int width) {
    std::vector<std::string> paragraphs;
    if (format & DT_SINGLELINE) {
      paragraphs.push_back(text);
    } else {
      size_t start = 0;
      for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        paragraphs.push_back(text.substr(start, end - start));
      }
      paragraphs.push_back(text.substr(start));
    }
    if (!(format & DT_WORDBREAK)) return paragraphs;
    std::vector<std::string> lines;
    for (const std::string& paragraph : paragraphs) {
      std::string line;
      size_t start = 0;
      while (start <= paragraph.size()) {
        size_t end = paragraph.find(' ', start);
        if (end == std::string::npos) end = paragraph.size();
        std::string word = paragraph.substr(start, end - start);
        std::string joined = line.empty() ? word : line + " " + word;
        if (!line.empty() && Width(joined) > width) {
          lines.push_back(line);
          line = word;
        } else {
          line = joined;
        }
        start = end + 1;
      }
      lines.push_back(line);
    }
    return lines;
  }

  // Rendered lines are kept between frames: the screen draws the same few
  // texts every frame.
  const Text* Render(const std::string& line) {
    if (line.empty()) return nullptr;
    auto found = texts_.find(line);
    if (found != texts_.end()) return &found->second;
    if (texts_.size() >= 256) ForgetTexts();
    SDL_Color white = {255, 255, 255, 255};
    SDL_Surface* surface = TTF_RenderUTF8_Blended(font_, line.c_str(), white);
    if (surface == nullptr) return nullptr;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    SDL_Texture* texture = SDL_CreateTextureFromSurface(device_->renderer(), surface);
    Text text = {texture, surface->w, surface->h};
    SDL_FreeSurface(surface);
    if (texture == nullptr) return nullptr;
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    return &(texts_[line] = text);
  }

  void ForgetTexts() {
    if (texts_.empty()) return;
    device_->Flush();  // no recorded step may name a text that goes
    for (auto& entry : texts_) SDL_DestroyTexture(entry.second.texture);
    texts_.clear();
  }

  SdlDevice* device_;
  TTF_Font* font_;
  int lineHeight_;
  std::unordered_map<std::string, Text> texts_;
};

SDL_Surface* LoadImage(const char* path) {
  static bool started = IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG) != 0;
  (void)started;
  SDL_Surface* loaded = IMG_Load(NativePath(path).c_str());
  if (loaded == nullptr) return nullptr;
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(loaded);
  return argb;
}

class SdlD3d9 : public D3d9Api {
 public:
  IDirect3D9* Direct3DCreate9(UINT sdkVersion) override {
    if (sdkVersion != D3D_SDK_VERSION || !StartVideo()) return nullptr;
    return new SdlDirect3D();
  }

  HRESULT CreateFont(IDirect3DDevice9* device, INT height, LPCSTR faceName,
                     ID3DXFont** font) override {
    SdlDevice* sdl = dynamic_cast<SdlDevice*>(device);
    if (font == nullptr) return D3DERR_INVALIDCALL;
    *font = nullptr;
    if (sdl == nullptr) return D3DERR_INVALIDCALL;
    if (!TTF_WasInit() && TTF_Init() != 0) return E_FAIL;
    std::string path = MatchFont(faceName != nullptr ? faceName : "sans-serif");
    if (path.empty()) return E_FAIL;
    // A D3DX font of height h has a character cell h pixels high: the largest
    // size whose line is no higher, and whose underscore, which some faces
    // set below their descent, still falls inside it (what is drawn under
    // the cell, such as a progress bar, would cover it).
    int target = height < 0 ? -height : height;
    TTF_Font* chosen = nullptr;
    for (int points = target * 2; points >= 4 && chosen == nullptr; --points) {
      TTF_Font* candidate = TTF_OpenFont(path.c_str(), points);
      if (candidate == nullptr) return E_FAIL;
      int underscoreBottom = 0;
      if (TTF_GlyphMetrics(candidate, '_', nullptr, nullptr, &underscoreBottom, nullptr,
                           nullptr) != 0) {
        underscoreBottom = 0;
      }
      if (TTF_FontHeight(candidate) <= target &&
          TTF_FontAscent(candidate) - underscoreBottom <= target) {
        chosen = candidate;
      } else {
        TTF_CloseFont(candidate);
      }
    }
    if (chosen == nullptr) return E_FAIL;
    *font = new SdlFont(sdl, chosen);
    return D3D_OK;
  }

  HRESULT CreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite) override {
    SdlDevice* sdl = dynamic_cast<SdlDevice*>(device);
    if (sprite == nullptr) return D3DERR_INVALIDCALL;
    *sprite = sdl != nullptr ? new SdlSprite(sdl) : nullptr;
    return sdl != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
  }

  HRESULT CreateTextureFromFile(IDirect3DDevice9* device, LPCSTR path,
                                IDirect3DTexture9** texture) override {
    SdlDevice* sdl = dynamic_cast<SdlDevice*>(device);
    if (texture == nullptr) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (sdl == nullptr || path == nullptr) return D3DERR_INVALIDCALL;
    SDL_Surface* pixels = LoadImage(path);
    if (pixels == nullptr) return D3DXERR_INVALIDDATA;
    *texture = new SdlTexture(sdl, pixels);
    return D3D_OK;
  }

  HRESULT GetImageInfoFromFile(LPCSTR path, D3DXIMAGE_INFO* info) override {
    if (path == nullptr || info == nullptr) return D3DERR_INVALIDCALL;
    SDL_Surface* pixels = LoadImage(path);
    if (pixels == nullptr) return D3DXERR_INVALIDDATA;
    *info = D3DXIMAGE_INFO();
    info->Width = static_cast<UINT>(pixels->w);
    info->Height = static_cast<UINT>(pixels->h);
    info->Depth = 1;
    info->MipLevels = 1;
    info->Format = D3DFMT_A8R8G8B8;
    info->ResourceType = D3DRTYPE_TEXTURE;
    std::string name = path;
    bool jpeg = name.size() >= 4 && (name.compare(name.size() - 4, 4, ".jpg") == 0 ||
                                     name.compare(name.size() - 4, 4, ".JPG") == 0);
    info->ImageFileFormat = jpeg ? D3DXIFF_JPG : D3DXIFF_PNG;
    SDL_FreeSurface(pixels);
    return D3D_OK;
  }
};

D3d9Api* installed = nullptr;

}  // namespace

D3d9Api* D3d9Api::Default() {
  static SdlD3d9 d3d9;
  return &d3d9;
}

D3d9Api* D3d9Api::Current() { return installed != nullptr ? installed : Default(); }

D3d9Api* D3d9Api::Install(D3d9Api* api) {
  D3d9Api* previous = Current();
  installed = api;
  return previous;
}

bool ReadBackBuffer(IDirect3DDevice9* device, std::vector<uint32_t>* pixels, int* width,
                    int* height) {
  SdlDevice* sdl = dynamic_cast<SdlDevice*>(device);
  return sdl != nullptr && sdl->ReadBack(pixels, width, height);
}

}  // namespace platform

using platform::D3d9Api;

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion) {
  return D3d9Api::Current()->Direct3DCreate9(sdkVersion);
}

HRESULT WINAPI D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT, UINT, UINT, BOOL,
                               DWORD, DWORD, DWORD, DWORD, LPCSTR faceName, ID3DXFont** font) {
  return D3d9Api::Current()->CreateFont(device, height, faceName, font);
}

HRESULT WINAPI D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite) {
  return D3d9Api::Current()->CreateSprite(device, sprite);
}

// The image at its own size, in ARGB, kept in memory: the managed pool.
HRESULT WINAPI D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR path, UINT, UINT,
                                            UINT, DWORD, D3DFORMAT, D3DPOOL, DWORD, DWORD,
                                            D3DCOLOR, D3DXIMAGE_INFO* info, PALETTEENTRY*,
                                            IDirect3DTexture9** texture) {
  HRESULT result = D3d9Api::Current()->CreateTextureFromFile(device, path, texture);
  if (SUCCEEDED(result) && info != nullptr) D3d9Api::Current()->GetImageInfoFromFile(path, info);
  return result;
}

HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR path, D3DXIMAGE_INFO* info) {
  return D3d9Api::Current()->GetImageInfoFromFile(path, info);
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz) {
  *out = D3DXMATRIX();
  out->_11 = sx;
  out->_22 = sy;
  out->_33 = sz;
  out->_44 = 1.0f;
  return out;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
  D3DXMatrixScaling(out, 1.0f, 1.0f, 1.0f);
  out->_41 = x;
  out->_42 = y;
  out->_43 = z;
  return out;
}

// Row vectors: a * b applies a first, then b.
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
  D3DXMATRIX product;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a->m[row][k] * b->m[k][column];
      product.m[row][column] = sum;
    }
  }
  *out = product;
  return out;
}
