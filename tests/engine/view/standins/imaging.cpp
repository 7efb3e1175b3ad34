// A test stand-in for the imaging library: binary Netpbm pictures (P5 grey,
// P6 colour; pictures in a row are pages) as numbered bitmaps, drawn with
// GDI. Built once with all 15 names and once without "IMG_octree_color".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Bitmap {
  bool used = false;
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;  // top row first
  int cropX = 0, cropY = 0, cropW = 0, cropH = 0;
  DWORD rop = SRCCOPY;
};
std::vector<Bitmap> g_bitmaps;

// The pages of a Netpbm file.
bool ReadPage(const std::string& bytes, int page, Bitmap* out) {
  std::size_t at = 0;
  for (int p = 0;; ++p) {
    if (at + 2 > bytes.size() || bytes[at] != 'P' || (bytes[at + 1] != '5' && bytes[at + 1] != '6'))
      return false;
    const bool colour = bytes[at + 1] == '6';
    at += 2;
    int values[3];
    for (int& v : values) {
      while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\n' || bytes[at] == '\r' || bytes[at] == '\t')) ++at;
      v = 0;
      while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9') v = v * 10 + (bytes[at++] - '0');
    }
    ++at;  // the one blank after the maximum
    const int w = values[0], h = values[1];
    if (w <= 0 || h <= 0 || values[2] != 255) return false;
    const std::size_t size = static_cast<std::size_t>(w) * h * (colour ? 3 : 1);
    if (at + size > bytes.size()) return false;
    if (p == page) {
      out->width = w, out->height = h;
      out->rgb.resize(static_cast<std::size_t>(w) * h * 3);
      for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i)
        for (int c = 0; c < 3; ++c)
          out->rgb[3 * i + c] = static_cast<unsigned char>(bytes[at + (colour ? 3 * i + c : i)]);
      out->cropW = w, out->cropH = h;
      return true;
    }
    at += size;
  }
}

int Store(const Bitmap& b) {
  for (std::size_t i = 0; i < g_bitmaps.size(); ++i)
    if (!g_bitmaps[i].used) {
      g_bitmaps[i] = b;
      g_bitmaps[i].used = true;
      return static_cast<int>(i);
    }
  g_bitmaps.push_back(b);
  g_bitmaps.back().used = true;
  return static_cast<int>(g_bitmaps.size() - 1);
}

Bitmap* Find(int n) {
  return n >= 0 && static_cast<std::size_t>(n) < g_bitmaps.size() && g_bitmaps[n].used ? &g_bitmaps[n] : nullptr;
}

std::string Slurp(const char* path) {
  std::string s;
  if (FILE* f = std::fopen(path, "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
  }
  return s;
}

// A 24-bit bottom-up DIB of the bitmap.
std::vector<unsigned char> Dib(const Bitmap& b, BITMAPINFOHEADER* h) {
  std::memset(h, 0, sizeof *h);
  h->biSize = sizeof *h, h->biWidth = b.width, h->biHeight = b.height, h->biPlanes = 1;
  h->biBitCount = 24;
  const int row = (b.width * 3 + 3) / 4 * 4;
  h->biSizeImage = row * b.height;
  std::vector<unsigned char> bits(h->biSizeImage);
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x)
      for (int c = 0; c < 3; ++c)
        bits[(b.height - 1 - y) * row + 3 * x + c] = b.rgb[3 * (y * b.width + x) + 2 - c];
  return bits;
}

int Display(int n, HDC dc, int x, int y, int w, int h) {
  Bitmap* b = Find(n);
  if (!b || !dc) return 0;
  BITMAPINFOHEADER head;
  std::vector<unsigned char> bits = Dib(*b, &head);
  return StretchDIBits(dc, x, y, w, h, b->cropX, b->height - b->cropY - b->cropH, b->cropW, b->cropH,
                       bits.data(), reinterpret_cast<BITMAPINFO*>(&head), DIB_RGB_COLORS, b->rop) != 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) int IMG_decompress_bitmap(const char* path) {
  Bitmap b;
  return ReadPage(Slurp(path), 0, &b) ? Store(b) : -1;
}

__declspec(dllexport) int IMG_decompress_bitmap_fd(int file, int, int page) {
  std::string bytes;
  char buf[4096];
  _llseek(file, 0, 0);
  for (UINT n; (n = _lread(file, buf, sizeof buf)) > 0 && n != HFILE_ERROR;) bytes.append(buf, n);
  Bitmap b;
  return ReadPage(bytes, page, &b) ? Store(b) : -1;
}

__declspec(dllexport) void* IMG_bitmap_info(int n, int* w, int* h, int* bits) {
  Bitmap* b = Find(n);
  if (!b) return nullptr;
  *w = b->width, *h = b->height;
  if (bits) *bits = 24;
  BITMAPINFOHEADER head;
  std::vector<unsigned char> data = Dib(*b, &head);
  HGLOBAL block = GlobalAlloc(GMEM_FIXED, sizeof head + data.size());
  if (block) {
    std::memcpy(block, &head, sizeof head);
    std::memcpy(static_cast<char*>(block) + sizeof head, data.data(), data.size());
  }
  return block;
}

__declspec(dllexport) int IMG_dib_to_ddb() { return 0; }
__declspec(dllexport) void* IMG_get_bitmap_palette(int) { return nullptr; }

__declspec(dllexport) int IMGLOW_get_pages(const char* path) {
  std::string bytes = Slurp(path);
  Bitmap b;
  int pages = 0;
  while (ReadPage(bytes, pages, &b)) ++pages;
  return pages;
}

__declspec(dllexport) int IMG_delete_bitmap(int n) {
  Bitmap* b = Find(n);
  if (!b) return 0;
  b->used = false;
  b->rgb.clear();
  return 1;
}

__declspec(dllexport) int IMG_resize_bitmap() { return 0; }

__declspec(dllexport) int IMG_set_croprect(int n, int x, int y, int w, int h) {
  Bitmap* b = Find(n);
  if (!b) return 0;
  b->cropX = x, b->cropY = y, b->cropW = w, b->cropH = h;
  return 1;
}

__declspec(dllexport) int IMG_display_bitmap(int n, HDC dc, int x, int y, int w, int h) {
  return Display(n, dc, x, y, w, h);
}
__declspec(dllexport) int IMG_print_bitmap(int n, HDC dc, int x, int y, int w, int h) {
  return Display(n, dc, x, y, w, h);
}
__declspec(dllexport) int IMGLOW_autocolor() { return 0; }
__declspec(dllexport) int IMGLOW_set_rop(int n, DWORD rop) {
  Bitmap* b = Find(n);
  if (!b) return 0;
  b->rop = rop;
  return 1;
}
__declspec(dllexport) int IMG_diffusion_color() { return 0; }
#ifndef QS_LACK_OCTREE
__declspec(dllexport) int IMG_octree_color() { return 0; }
#endif

}  // extern "C"
