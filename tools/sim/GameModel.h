#pragma once
// What the simulated game computes: the frame rate of a timed demo from the
// resolution, the console settings and the demo. Deterministic: the same
// inputs always give the same frame rate.

#include <string>

namespace vantor::sim {

class GameConsole;

struct RenderSettings {
    int width = 640;
    int height = 480;
    double picmip = 0;                // mat_picmip: texture detail, 0 best .. 4
    double rootLod = 0;               // r_rootlod: model detail, 0 best .. 2
    double reduceFillRate = 0;        // mat_reducefillrate
    double waterExpensive = 1;        // r_waterforceexpensive
    double waterReflectEntities = 0;  // r_waterforcereflectentities
    double shadowToTexture = 1;       // r_shadowrendertotexture
    double detailDist = 1200;         // cl_detaildist
    double aniso = 1;                 // mat_forceaniso: 1 (none), 2, 4, 8, 16
    double trilinear = 0;             // mat_trilinear
    double antialias = 0;             // mat_antialias: 0, 2, 4, 6, 8
    double dxLevel = 90;              // mat_dxlevel: 70, 80, 81, 90
    double fastZ = 0;                 // r_fastzreject
    double refresh = 60;              // -refresh, the vsync cap
    double vsync = 0;                 // mat_vsync
    double fpsMax = 300;              // fps_max, 0 for no cap
};

// Settings from the console's variables; missing ones keep the defaults above.
RenderSettings settingsFrom(const GameConsole& console, int width, int height, double refresh);

struct DemoInfo {
    bool playable = false;
    std::string map = "unknown";
    long frames = 2000;
    double weight = 1.0;  // how heavy the scene is; frame time scales with it
};

// A demo file: "VANTORDEMO 1 map=NAME frames=N weight=W" on its first line, or
// any other non-empty file (its weight then follows from its bytes). An empty
// or unreadable file is not playable.
DemoInfo readDemo(const std::string& path);

double framesPerSecond(const RenderSettings& s, const DemoInfo& demo);

}  // namespace vantor::sim
