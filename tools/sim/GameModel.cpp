#include "GameModel.h"

#include "GameConsole.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vantor::sim {
namespace {

// Frame time = CPU part (scene, detail) + GPU part (pixels times the cost of
// every pixel). Calibrated so that 640x480 at maximum detail on DirectX 9 runs
// at about 150 fps and 2048x1536 with 8x antialiasing at about 25 fps.
constexpr double kCpuMs = 4.1;
constexpr double kGpuMsPerMegapixel = 6.2;

double clampTo(double v, double lo, double hi) {
    if (!std::isfinite(v)) return lo;
    return std::min(hi, std::max(lo, v));
}

double shaderCost(double dxLevel) {
    if (dxLevel < 80) return 0.55;
    if (dxLevel < 81) return 0.70;
    if (dxLevel < 90) return 0.75;
    return 1.0;
}

}  // namespace

RenderSettings settingsFrom(const GameConsole& c, int width, int height, double refresh) {
    RenderSettings s;
    s.width = width;
    s.height = height;
    s.refresh = refresh;
    s.picmip = clampTo(c.number("mat_picmip", s.picmip), -1, 4);
    s.rootLod = clampTo(c.number("r_rootlod", s.rootLod), 0, 2);
    s.reduceFillRate = clampTo(c.number("mat_reducefillrate", s.reduceFillRate), 0, 1);
    s.waterExpensive = clampTo(c.number("r_waterforceexpensive", s.waterExpensive), 0, 1);
    s.waterReflectEntities = clampTo(c.number("r_waterforcereflectentities", s.waterReflectEntities), 0, 1);
    s.shadowToTexture = clampTo(c.number("r_shadowrendertotexture", s.shadowToTexture), 0, 1);
    s.detailDist = clampTo(c.number("cl_detaildist", s.detailDist), 0, 5000);
    s.aniso = clampTo(c.number("mat_forceaniso", s.aniso), 1, 16);
    s.trilinear = clampTo(c.number("mat_trilinear", s.trilinear), 0, 1);
    s.antialias = clampTo(c.number("mat_antialias", s.antialias), 0, 16);
    s.dxLevel = clampTo(c.number("mat_dxlevel", s.dxLevel), 60, 95);
    s.fastZ = clampTo(c.number("r_fastzreject", s.fastZ), 0, 1);
    s.vsync = clampTo(c.number("mat_vsync", s.vsync), 0, 1);
    s.fpsMax = clampTo(c.number("fps_max", s.fpsMax), 0, 1000);
    return s;
}

DemoInfo readDemo(const std::string& path) {
    DemoInfo d;
    std::ifstream in(path, std::ios::binary);
    if (!in) return d;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) return d;
    d.playable = true;
    const std::string first = bytes.substr(0, bytes.find_first_of("\r\n"));
    std::istringstream words(first);
    std::string word;
    if (words >> word && word == "VANTORDEMO") {
        while (words >> word) {
            const auto eq = word.find('=');
            if (eq == std::string::npos) continue;
            const std::string key = word.substr(0, eq), val = word.substr(eq + 1);
            if (key == "map") d.map = val;
            if (key == "frames") d.frames = std::clamp(std::atol(val.c_str()), 1L, 1000000L);
            if (key == "weight") d.weight = clampTo(std::atof(val.c_str()), 0.5, 2.0);
        }
        return d;
    }
    // Some other demo: a weight between 0.85 and 1.15 from its bytes (FNV-1a).
    std::uint32_t h = 2166136261u;
    for (unsigned char ch : bytes) h = (h ^ ch) * 16777619u;
    d.weight = 0.85 + (h % 31) / 100.0;
    d.frames = 1000 + static_cast<long>(bytes.size() % 3000);
    return d;
}

double framesPerSecond(const RenderSettings& s, const DemoInfo& demo) {
    const double dx9 = s.dxLevel >= 90 ? 1.0 : 0.0;
    const double dx8 = s.dxLevel >= 80 ? 1.0 : 0.0;

    double cpu = kCpuMs;
    cpu *= 1.0 - 0.06 * s.rootLod;
    cpu *= 0.92 + 0.08 * s.detailDist / 2500.0;
    cpu *= 1.0 + 0.05 * s.shadowToTexture;
    cpu *= 1.0 + 0.04 * s.waterReflectEntities;

    double perPixel = kGpuMsPerMegapixel * shaderCost(s.dxLevel);
    perPixel *= 1.0 - 0.05 * s.picmip;
    perPixel *= 1.0 - 0.08 * s.reduceFillRate;
    perPixel *= 1.0 + 0.12 * s.waterExpensive * dx9;
    perPixel *= 1.0 + 0.05 * s.waterReflectEntities * dx8;
    perPixel *= 1.0 + 0.06 * s.shadowToTexture * dx8;
    perPixel *= 1.0 + 0.025 * std::log2(s.aniso);
    perPixel *= 1.0 + 0.015 * s.trilinear;
    perPixel *= 1.0 + 0.06 * s.antialias;
    perPixel *= 1.0 - 0.03 * s.fastZ;

    const double megapixels = static_cast<double>(s.width) * s.height / 1e6;
    const double frameMs = (cpu + perPixel * megapixels) * demo.weight;
    double fps = 1000.0 / frameMs;
    if (s.fpsMax > 0) fps = std::min(fps, s.fpsMax);
    if (s.vsync > 0 && s.refresh > 0) fps = std::min(fps, s.refresh);
    return fps;
}

}  // namespace vantor::sim
