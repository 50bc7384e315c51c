#pragma once
// JPEG pictures decoded by libjpeg.

#include <QImage>
#include <string>
#include <string_view>

namespace gdi {

// The decoded image (RGB32), or a null image when the bytes are not a JPEG
// libjpeg can read; `error` then says why.
QImage DecodeJpeg(std::string_view bytes, std::string* error = nullptr);

} // namespace gdi
