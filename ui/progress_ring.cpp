// The progress ring, drawn with the GDI+ flat operations of the toolkit: a
// half-transparent black shadow arc and, over it, a yellow-to-green gradient
// arc, both 12 wide with an arrow anchor at the moving end, anti-aliased.
#include "ui/progress_ring.h"

#include "platform/toolkit.h"
#include "ui/main_window.h"

namespace {

// GDI+ values the ring is drawn with.
constexpr int WrapModeTile = 0;
constexpr int UnitWorld = 0;
constexpr int LineCapArrowAnchor = 20;
constexpr int SmoothingModeAntiAlias = 4;
constexpr std::uint32_t RingYellow = 0xFFFFFF00;
constexpr std::uint32_t RingGreen = 0xFF00EE00;
constexpr std::uint32_t ShadowBlack = 0x80000000;  // black at alpha 128
constexpr float PenWidth = 12.0f;
constexpr float StartAngle = 90.0f;  // the bottom of the ellipse

// Made by StartRingGraphics before any worker exists and released by
// StopRingGraphics after the last one has ended.
std::uintptr_t GdiplusToken = 0;
tk::GpBrush* RingBrush = nullptr;
tk::GpPen* RingPen = nullptr;
tk::GpPen* ShadowPen = nullptr;

// The percentage ReportProgress last drew for. Only ReportProgress reads or
// writes it, on the one worker alive at a time; nothing resets it.
std::int32_t LastPercent = 0;

}  // namespace

void CreateProgressRing()
{
    tk::CreateDrawingSurface(ProgressRing, 140, 225, 200, 80);
}

int ReportProgress(std::int32_t percent)
{
    // A paused worker waits here before it draws; a stopped one leaves the
    // digest from here and never draws again.
    tk::ThreadSafePoint();
    if (percent != LastPercent) {
        DrawProgressRing(percent * 3.6, ProgressRing);
        LastPercent = percent;
    }
    if (percent == 100) {
        tk::SleepMilliseconds(100);  // show the full ring a moment
        tk::ThreadSafePoint();
        DrawProgressRing(0.0, ProgressRing);
    }
    return 0;
}

void DrawProgressRing(double sweep, int control)
{
    tk::Drawing* drawing = tk::BeginDrawing(control);
    if (drawing == nullptr) {
        return;
    }
    int width = tk::SurfaceWidth(control);
    int height = tk::SurfaceHeight(control);

    // Erase the last arc with the colour of the background.
    std::uint32_t background = tk::ReadDrawingPixel(drawing, 1, 1);
    tk::FillDrawingRect(drawing, 0, 0, width, height, background);

    tk::GpGraphics* graphics = nullptr;
    tk::GdipCreateFromHDC(drawing, &graphics);
    if (graphics != nullptr) {
        tk::GdipSetSmoothingMode(graphics, SmoothingModeAntiAlias);
        // Written so that a sweep that is not a number draws nothing either.
        bool drawn = sweep > 0.0 && sweep <= 360.0;
        if (drawn && RingPen != nullptr && ShadowPen != nullptr) {
            auto angle = static_cast<float>(sweep);
            tk::GdipDrawArc(graphics, ShadowPen, 13.0f, 13.0f, static_cast<float>(width - 26),
                            static_cast<float>(height - 26), StartAngle, angle);
            tk::GdipDrawArc(graphics, RingPen, 12.0f, 12.0f, static_cast<float>(width - 27),
                            static_cast<float>(height - 27), StartAngle, angle);
        }
        tk::GdipDeleteGraphics(graphics);
    }
    tk::EndDrawing(drawing);
}

void StartRingGraphics(std::int32_t width, std::int32_t height)
{
    tk::GdiplusStartup(&GdiplusToken);
    tk::PointF from{12.0f, 12.0f};
    tk::PointF to{static_cast<float>(width + 3.0), static_cast<float>(height + 3.0)};
    tk::GdipCreateLineBrush(&from, &to, RingYellow, RingGreen, WrapModeTile, &RingBrush);
    tk::GdipCreatePen2(RingBrush, PenWidth, UnitWorld, &RingPen);
    tk::GdipCreatePen1(ShadowBlack, PenWidth, UnitWorld, &ShadowPen);
    tk::GdipSetPenEndCap(RingPen, LineCapArrowAnchor);
    tk::GdipSetPenEndCap(ShadowPen, LineCapArrowAnchor);
}

void StopRingGraphics()
{
    tk::GdipDeletePen(RingPen);
    tk::GdipDeletePen(ShadowPen);
    RingPen = nullptr;
    ShadowPen = nullptr;
    tk::GdiplusShutdown(GdiplusToken);
    RingBrush = nullptr;  // lives until GDI+ is shut down
}
