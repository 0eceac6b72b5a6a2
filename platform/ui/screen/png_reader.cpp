// PNG files into pixels (libpng's simplified reading), for the window icon.
#include <png.h>

#include <cstring>

#include "ui/screen/screen.h"

namespace kvplatform::ui {

bool LoadPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB words
  pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return true;
}

}  // namespace kvplatform::ui
