#pragma once
// JPEG pictures of the window's artwork, decoded with libjpeg into a QImage.
// A missing, unreadable or corrupt file gives an empty image and one line on
// stderr; it never ends the program.

#include <QImage>

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantor {

// Decodes the JPEG file. On failure the result is a null image and *error (when
// given) says why.
QImage decodeJpegFile(const std::string& path, std::string* error = nullptr);

// As decodeJpegFile, and a failure is reported on stderr as
// "vantor: picture <path> not shown: <reason>".
QImage loadPicture(const std::string& path);

// Pictures of one folder decoded on a worker thread, in the order given, while
// the window is being built.
class PictureSet {
public:
    PictureSet(std::string folder, std::vector<std::string> files);
    ~PictureSet();
    PictureSet(const PictureSet&) = delete;
    PictureSet& operator=(const PictureSet&) = delete;

    // The decoded picture, waiting for it when needed; null when it could not
    // be decoded (reported by loadPicture). A file not in the list is decoded here.
    QImage image(const std::string& file);

private:
    std::string folder_;
    std::vector<std::string> files_;
    std::map<std::string, QImage> decoded_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::thread worker_;
};

}  // namespace vantor
