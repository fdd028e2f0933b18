// The dialog driven through window messages: child windows found by the name property the view gives
// them, keys posted to the focused window and pumped through the dialog manager, buttons clicked with
// BM_CLICK.
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "view/dialog_driver.h"

namespace kvo::view_test {
namespace {

std::string WindowText(HWND window) {
  char buffer[512] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

struct Search {
  const char* name;
  HWND found;
};

// The message box that CloseNextMessageBox waits for: the dialog's thread runs its timer.
HWND g_box_dialog = nullptr;
MessageSeen* g_box_seen = nullptr;

BOOL CALLBACK FindMessageBox(HWND window, LPARAM data) {
  char window_class[16] = {};
  GetClassNameA(window, window_class, sizeof window_class);
  if (window != g_box_dialog && std::string(window_class) == "#32770" && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK CloseMessageBoxTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindMessageBox, reinterpret_cast<LPARAM>(&box));
  if (box == nullptr || g_box_seen == nullptr) return;
  KillTimer(nullptr, timer);
  MessageSeen* seen = g_box_seen;
  g_box_seen = nullptr;
  seen->shown = true;
  seen->text = WindowText(GetDlgItem(box, 0xFFFF));  // the box's text control
  seen->caption = WindowText(box);
  HWND icon = GetDlgItem(box, 0x14);  // the box's icon control, present only with an icon
  seen->error_icon = icon != nullptr && IsWindowVisible(icon);
  seen->owned_by_dialog = GetWindow(box, GW_OWNER) == g_box_dialog;
  SendMessageA(box, WM_COMMAND, IDOK, 0);
}

BOOL CALLBACK FindByName(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  const auto* name = static_cast<const char*>(GetPropA(window, "kvo.name"));
  if (name != nullptr && std::string(name) == search->name) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

class Win32Driver : public DialogDriver {
 public:
  explicit Win32Driver(HWND dialog) : dialog_(dialog) {}

  std::string Text(const std::string& name) override { return WindowText(Find(name)); }
  std::vector<std::string> Items(const std::string& name) override {
    std::vector<std::string> items;
    HWND combo = Find(name);
    const auto count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char buffer[512] = {};
      SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
      items.emplace_back(buffer);
    }
    return items;
  }
  int ItemIndex(const std::string& name) override {
    return static_cast<int>(SendMessageA(Find(name), CB_GETCURSEL, 0, 0));
  }
  std::string Focused() override {
    for (HWND window = GetFocus(); window != nullptr && window != dialog_; window = GetParent(window)) {
      if (const auto* name = static_cast<const char*>(GetPropA(window, "kvo.name"))) return name;
    }
    return std::string();
  }
  std::string Title() override { return WindowText(dialog_); }

  void Type(const std::string& name, const std::string& text) override {
    HWND window = Find(name);
    SetFocus(window);
    SetWindowTextA(window, text.c_str());
    Pump();
  }
  void Pick(const std::string& name, int index) override {
    HWND window = Find(name);
    SetFocus(window);
    SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Pump();
  }
  void StepUp(const std::string& name) override {
    SetFocus(Find(name));
    Key(VK_UP);
  }
  void PressEscape() override { Key(VK_ESCAPE); }
  void PressEnter() override { Key(VK_RETURN); }
  void PressF1() override { Key(VK_F1); }
  void Click(const std::string& name) override {
    SendMessageA(Find(name), BM_CLICK, 0, 0);
    Pump();
  }
  void Resize(int width, int height) override {
    SetWindowPos(dialog_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    Pump();
  }
  Box ClientArea() override {
    RECT r{};
    GetClientRect(dialog_, &r);
    return Box{0, 0, r.right, r.bottom};
  }
  Box Frame() override {
    RECT r{};
    GetWindowRect(dialog_, &r);
    return Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  Box WorkArea() override {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromWindow(dialog_, MONITOR_DEFAULTTOPRIMARY), &info)) return Box{};
    const RECT& r = info.rcWork;
    return Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  void CloseNextMessageBox(MessageSeen* seen) override {
    g_box_dialog = dialog_;
    g_box_seen = seen;
    SetTimer(nullptr, 0, 10, &CloseMessageBoxTimer);
  }
  Box Geometry(const std::string& name) override {
    HWND window = Find(name);
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
    Box box{r.left, r.top, r.right - r.left, r.bottom - r.top};
    char window_class[32] = {};
    GetClassNameA(window, window_class, sizeof window_class);
    // A spin edit is its edit and the up-down beside it.
    if (std::string(window_class) == "Edit") {
      HWND next = GetWindow(window, GW_HWNDNEXT);
      char next_class[32] = {};
      GetClassNameA(next, next_class, sizeof next_class);
      if (std::string(next_class) == UPDOWN_CLASSA) {
        RECT u{};
        GetWindowRect(next, &u);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&u), 2);
        box.width = u.right - r.left;
      }
    }
    return box;
  }
  bool Open() override { return IsWindowVisible(dialog_) != FALSE; }
  bool SavePicture(const std::string& path) override;

 private:
  HWND Find(const std::string& name) const {
    Search search{name.c_str(), nullptr};
    EnumChildWindows(dialog_, &FindByName, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  // A key pressed and released in the focused window, through the message queue as typed keys travel.
  void Key(WPARAM key) {
    HWND focus = GetFocus();
    if (focus == nullptr) focus = dialog_;
    PostMessageA(focus, WM_KEYDOWN, key, 1);
    PostMessageA(focus, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    Pump();
  }
  // Runs what is queued, as the dialog's own loop would.
  void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      if (!IsWindow(dialog_) || !IsDialogMessageA(dialog_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
  }

  HWND dialog_;
};

uint32_t Crc32(const unsigned char* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBig32(std::vector<unsigned char>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<unsigned char>(value >> shift));
}

void Chunk(std::vector<unsigned char>& png, const char* type, const std::vector<unsigned char>& data) {
  PutBig32(png, static_cast<uint32_t>(data.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  PutBig32(png, Crc32(png.data() + start, png.size() - start));
}

// An RGB picture (rows top down, 3 bytes a pixel) as a PNG file, its data in stored deflate blocks.
bool WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb) {
  std::vector<unsigned char> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    const auto* row = rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
    raw.insert(raw.end(), row, row + static_cast<size_t>(width) * 3);
  }
  std::vector<unsigned char> z = {0x78, 0x01};
  uint32_t a = 1;
  uint32_t b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + n >= raw.size() ? 1 : 0);
    z.push_back(static_cast<unsigned char>(n & 0xFF));
    z.push_back(static_cast<unsigned char>(n >> 8));
    z.push_back(static_cast<unsigned char>(~n & 0xFF));
    z.push_back(static_cast<unsigned char>((~n >> 8) & 0xFF));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
             raw.begin() + static_cast<std::ptrdiff_t>(at + n));
    if (raw.empty()) break;
  }
  PutBig32(z, (b << 16) | a);
  std::vector<unsigned char> header;
  PutBig32(header, static_cast<uint32_t>(width));
  PutBig32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB
  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool ok = std::fwrite(png.data(), 1, png.size(), out) == png.size();
  return std::fclose(out) == 0 && ok;
}

// The dialog with its frame, as the screen shows it.
bool Win32Driver::SavePicture(const std::string& path) {
  RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Pump();
  RECT r{};
  GetWindowRect(dialog_, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  bool ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != FALSE;
  SelectObject(memory, old);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = -height;  // top-down rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height));
  ok = ok && GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                       reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == height;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!ok) return false;
  std::vector<unsigned char> rgb;
  rgb.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int x = 0; x < width; ++x) {
      const unsigned char* bgr = row + x * 3;
      rgb.insert(rgb.end(), {bgr[2], bgr[1], bgr[0]});
    }
  }
  return WritePng(path, width, height, rgb);
}

}  // namespace

std::unique_ptr<DialogDriver> MakeDriver(void* native_window) {
  return std::make_unique<Win32Driver>(static_cast<HWND>(native_window));
}

}  // namespace kvo::view_test
