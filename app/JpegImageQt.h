#pragma once
// JPEG pictures of the window's artwork, decoded with libjpeg into a QImage.
// A missing, unreadable or corrupt file gives an empty image and one line on
// stderr; it never ends the program.

#include <QImage>

#include <string>

namespace vantor {

// Decodes the JPEG file. On failure the result is a null image and *error (when
// given) says why.
QImage decodeJpegFile(const std::string& path, std::string* error = nullptr);

// As decodeJpegFile, and a failure is reported on stderr as
// "vantor: picture <path> not shown: <reason>".
QImage loadPicture(const std::string& path);

}  // namespace vantor
