#include "gui/JpegImageQt.h"

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include <jpeglib.h>

namespace vantor {
namespace {

// Larger pictures than this are refused before any pixel memory is taken: the
// artwork is a few hundred pixels wide, and a damaged header may claim anything.
constexpr unsigned long long kMaxPixels = 32ull * 1024 * 1024;
constexpr std::uintmax_t kMaxFileBytes = 64ull * 1024 * 1024;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// libjpeg calls this for fatal errors; it must not return.
void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (level -1) mean corrupt data that libjpeg would paper over with grey:
// the picture is refused instead. Trace messages are dropped.
void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// The two steps that can fail inside libjpeg. They hold no object with a
// destructor, so leaving them by longjmp is safe.
bool startDecoding(j_decompress_ptr cinfo, ErrorManager* err, const unsigned char* data, unsigned long size) {
    if (setjmp(err->jump)) return false;
    jpeg_mem_src(cinfo, data, size);
    jpeg_read_header(cinfo, TRUE);
#ifdef JCS_EXTENSIONS
    // Straight into QImage::Format_RGB32 (0xffRRGGBB words): no conversion later.
    cinfo->out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    if (cinfo->jpeg_color_space != JCS_YCbCr && cinfo->jpeg_color_space != JCS_GRAYSCALE &&
        cinfo->jpeg_color_space != JCS_RGB)
        cinfo->out_color_space = JCS_RGB;  // refused below
#else
    cinfo->out_color_space = cinfo->num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
#endif
    cinfo->dct_method = JDCT_IFAST;  // the fast integer transform: no visible difference at high quality
    jpeg_calc_output_dimensions(cinfo);
    return true;
}

bool decodeLines(j_decompress_ptr cinfo, ErrorManager* err, unsigned char* pixels, std::size_t stride) {
    if (setjmp(err->jump)) return false;
    jpeg_start_decompress(cinfo);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = pixels + static_cast<std::size_t>(cinfo->output_scanline) * stride;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) {
            std::snprintf(err->message, sizeof err->message, "the data ends early");
            return false;
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error) {
    std::error_code ec;
    const std::filesystem::path p(reinterpret_cast<const char8_t*>(path.c_str()));
    if (!std::filesystem::is_regular_file(p, ec)) {
        error = "the file is missing";
        return false;
    }
    const auto size = std::filesystem::file_size(p, ec);
    if (ec || size > kMaxFileBytes) {
        error = ec ? "its size cannot be read" : "the file is too large";
        return false;
    }
    if (size == 0) {
        error = "the file is empty";
        return false;
    }
    std::ifstream in(p, std::ios::binary);
    bytes.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in || in.gcount() != static_cast<std::streamsize>(bytes.size())) {
        error = "the file cannot be read";
        return false;
    }
    return true;
}

}  // namespace

QImage decodeJpegFile(const std::string& path, std::string* error) {
    std::string why;
    std::vector<unsigned char> bytes;
    if (!readWholeFile(path, bytes, why)) {
        if (error) *error = why;
        return {};
    }

    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    jpeg_create_decompress(&cinfo);

    QImage image;
    if (!startDecoding(&cinfo, &err, bytes.data(), static_cast<unsigned long>(bytes.size()))) {
        why = err.message;
    } else if (cinfo.out_color_space == JCS_RGB && cinfo.output_components != 3) {
        why = "unsupported colour space";
    } else if (cinfo.output_components != 1 && cinfo.output_components != 3 && cinfo.output_components != 4) {
        why = "unsupported colour space";
    } else if (cinfo.output_width == 0 || cinfo.output_height == 0 ||
               static_cast<unsigned long long>(cinfo.output_width) * cinfo.output_height > kMaxPixels) {
        why = "the picture is " + std::to_string(cinfo.output_width) + "x" + std::to_string(cinfo.output_height) +
              " pixels, too large";
    } else {
        const QImage::Format format = cinfo.output_components == 4   ? QImage::Format_RGB32
                                      : cinfo.output_components == 1 ? QImage::Format_Grayscale8
                                                                     : QImage::Format_RGB888;
        image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), format);
        if (image.isNull()) {
            why = "not enough memory for the picture";
        } else if (!decodeLines(&cinfo, &err, image.bits(), static_cast<std::size_t>(image.bytesPerLine()))) {
            why = err.message;
            image = QImage();
        }
    }
    jpeg_destroy_decompress(&cinfo);
    if (image.isNull() && error) *error = why.empty() ? "it cannot be decoded" : why;
    return image;
}

QImage loadPicture(const std::string& path) {
    std::string why;
    QImage image = decodeJpegFile(path, &why);
    if (image.isNull()) std::cerr << "vantor: picture " << path << " not shown: " << why << std::endl;
    return image;
}

QImage PictureCache::image(const std::string& file) {
    auto it = decoded_.find(file);
    if (it == decoded_.end()) it = decoded_.emplace(file, loadPicture(folder_ + file)).first;
    return it->second;
}

}  // namespace vantor
