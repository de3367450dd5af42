#pragma once
// JPEG pictures of the window's artwork, decoded with libjpeg into a QImage.
// A missing, unreadable or corrupt file gives an empty image and one line on
// stderr; it never ends the program.

#include <QImage>

#include <map>
#include <string>

namespace vantor {

// Decodes the JPEG file. On failure the result is a null image and *error (when
// given) says why.
QImage decodeJpegFile(const std::string& path, std::string* error = nullptr);

// As decodeJpegFile, and a failure is reported on stderr as
// "vantor: picture <path> not shown: <reason>".
QImage loadPicture(const std::string& path);

// The pictures of one folder, each decoded once, when first asked for.
class PictureCache {
public:
    explicit PictureCache(std::string folder) : folder_(std::move(folder)) {}

    // The decoded picture; null when it could not be decoded (reported by
    // loadPicture, once).
    QImage image(const std::string& file);

private:
    std::string folder_;
    std::map<std::string, QImage> decoded_;
};

}  // namespace vantor
