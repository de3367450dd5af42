#include "gui/DialogsQt.h"
#include "gui/JpegImageQt.h"
#include "gui/MainWindow.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

using namespace vantor;
using namespace vantor::test;

namespace {

// Encodes a picture of one colour (components 3) or one grey (components 1).
std::string encodeJpeg(int width, int height, int components, const unsigned char* colour) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width * components));
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < components; ++c) row[static_cast<std::size_t>(x * components + c)] = colour[c];
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string bytes(reinterpret_cast<char*>(out), size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

class JpegImage : public ::testing::Test {
protected:
    std::string rgbJpeg() {
        const unsigned char orange[3] = {255, 138, 30};
        return encodeJpeg(40, 24, 3, orange);
    }
    TempDir dir;
};

TEST_F(JpegImage, DecodesColourAndGreyPictures) {
    writeFile(dir / "colour.jpg", rgbJpeg());
    std::string why;
    QImage colour = decodeJpegFile(dir / "colour.jpg", &why);
    ASSERT_FALSE(colour.isNull()) << why;
    EXPECT_EQ(colour.size(), QSize(40, 24));
    const QColor px = colour.pixelColor(20, 12);
    EXPECT_NEAR(px.red(), 255, 6);
    EXPECT_NEAR(px.green(), 138, 6);
    EXPECT_NEAR(px.blue(), 30, 6);

    const unsigned char grey[1] = {100};
    writeFile(dir / "grey.jpg", encodeJpeg(17, 9, 1, grey));
    QImage g = decodeJpegFile(dir / "grey.jpg", &why);
    ASSERT_FALSE(g.isNull()) << why;
    EXPECT_EQ(g.size(), QSize(17, 9));
    EXPECT_NEAR(qGray(g.pixel(8, 4)), 100, 3);
}

TEST_F(JpegImage, BrokenFilesGiveAnEmptyImageAndAReason) {
    const std::string good = rgbJpeg();
    std::string hugeHeader = good;
    // The frame header (SOF0: FF C0, length, precision, height, width): claim 65000 x 65000.
    const auto sof = hugeHeader.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    hugeHeader[sof + 5] = hugeHeader[sof + 7] = static_cast<char>(0xFD);
    hugeHeader[sof + 6] = hugeHeader[sof + 8] = static_cast<char>(0xE8);

    struct Case {
        const char* name;
        std::string bytes;  // nothing written when empty and "missing"
        const char* reason;
    };
    const Case cases[] = {
        {"missing", "", "missing"},
        {"empty", "", "empty"},
        {"png", "\x89PNG\r\n\x1a\n0000000000000000", "Not a JPEG file"},
        {"truncated", good.substr(0, good.size() / 2), "Premature end"},
        {"header only", good.substr(0, 20), ""},
        {"huge", hugeHeader, "too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / (std::string(c.name) + ".jpg");
        if (std::string(c.name) != "missing") writeFile(path, c.bytes);
        std::string why;
        QImage image = decodeJpegFile(path, &why);
        EXPECT_TRUE(image.isNull());
        EXPECT_FALSE(why.empty());
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
}

TEST_F(JpegImage, LoadPictureReportsOneLineOnStderr) {
    writeFile(dir / "bad.jpg", "not a picture");
    testing::internal::CaptureStderr();
    QImage image = loadPicture(dir / "bad.jpg");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(image.isNull());
    EXPECT_EQ(err.rfind("vantor: picture " + (dir / "bad.jpg") + " not shown: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

TEST_F(JpegImage, CacheDecodesEachPictureOnceAndReportsAFailureOnce) {
    writeFile(dir / "good.jpg", rgbJpeg());
    PictureCache cache(dir.path());
    testing::internal::CaptureStderr();
    const QImage first = cache.image("good.jpg");
    const QImage again = cache.image("good.jpg");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(cache.image("missing.jpg").isNull());
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.constBits(), again.constBits());  // the same pixels, not a second decode
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("missing.jpg not shown: the file is missing"), std::string::npos) << err;
}

TEST_F(JpegImage, WindowWithBrokenArtworkStillDrawsAPlainBackground) {
    for (const char* name : {"background.jpg", "logo.jpg", "hl2logo.jpg", "banner_large.jpg"})
        writeFile(dir / name, "garbage");
    testing::internal::CaptureStderr();
    MainWindow window(dir.path());
    QImage shot = window.grab().toImage();
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(kWindowWidth, kWindowHeight));
    EXPECT_NE(err.find("background.jpg not shown"), std::string::npos);
    EXPECT_EQ(shot.pixelColor(240, 300).name(), QStringLiteral("#0f141b"));  // between menu and pages
}

TEST(DialogsQtFilter, WindowsFiltersBecomeQtFilters) {
    EXPECT_EQ(DialogsQt::qtFilter("Half-Life 2 executable (hl2.exe)|hl2.exe"),
              QStringLiteral("Half-Life 2 executable (hl2.exe)"));
    EXPECT_EQ(DialogsQt::qtFilter("Demo files|*.dem"), QStringLiteral("Demo files (*.dem)"));
    EXPECT_EQ(DialogsQt::qtFilter("Config|*.cfg;*.txt|All files|*"),
              QStringLiteral("Config (*.cfg *.txt);;All files (*)"));
}

}  // namespace
