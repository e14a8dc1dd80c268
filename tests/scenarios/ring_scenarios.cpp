// The progress ring, looked at pixel by pixel: where the arc must be for a
// sweep, where it must not be, and when a report draws at all.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tests/scenarios/scenario_support.h"
#include "ui/progress_ring.h"

namespace {

class Ring : public testing::Test {
protected:
    void SetUp() override { ResetProgram(); }
};

// A point on the gradient arc's ellipse (box 12, 12, 173 x 53 on the 200 x 80
// surface) at an angle in degrees, clockwise from the right, y downwards:
// 90 is the bottom, where the arc starts.
struct Point {
    int x, y;
};

Point OnEllipse(double degrees)
{
    double radians = degrees * 3.14159265358979323846 / 180.0;
    double cx = 12.0 + 173.0 / 2, cy = 12.0 + 53.0 / 2;
    return {static_cast<int>(std::lround(cx + 86.5 * std::cos(radians))),
            static_cast<int>(std::lround(cy + 26.5 * std::sin(radians)))};
}

std::string Describe(double degrees)
{
    Point p = OnEllipse(degrees);
    char text[64];
    std::snprintf(text, sizeof text, "%g degrees, pixel (%d, %d) = %06x", degrees, p.x, p.y,
                  tk::drive::SurfacePixel(ProgressRing, p.x, p.y));
    return text;
}

struct SweepCase {
    const char* name;
    const char* screenshot;
    double sweep;
    std::vector<double> drawnAt;    // angles on the ellipse that the arc covers
    std::vector<double> emptyAt;    // angles it must leave white
};

// Puts a mark in the corner that any drawing of the ring paints over.
constexpr std::uint32_t Marker = 0x123456;

void MarkCorner()
{
    tk::Drawing* drawing = tk::BeginDrawing(ProgressRing);
    ASSERT_NE(drawing, nullptr);
    tk::FillDrawingRect(drawing, 199, 79, 1, 1, Marker);
    tk::EndDrawing(drawing);
}

bool CornerRepainted()
{
    return tk::drive::SurfacePixel(ProgressRing, 199, 79) != Marker;
}

}  // namespace

// The arc starts at the bottom and grows clockwise: through the left side,
// the top, the right side. Sweeps outside (0, 360] draw nothing at all.
TEST_F(Ring, ArcCoversWhatItsSweepSays)
{
    const SweepCase cases[] = {
        {"50 percent", "ring-50-percent", 50 * 3.6, {100, 135, 180, 225, 255}, {0, 20, 45, 60, 320}},
        {"75 percent", "ring-75-percent", 75 * 3.6, {100, 135, 180, 225, 270, 315, 340}, {50, 60, 75}},
        {"100 percent", "ring-100-percent", 100 * 3.6, {0, 30, 60, 90, 135, 180, 225, 270, 315}, {}},
    };
    for (const SweepCase& sweep : cases) {
        DrawProgressRing(sweep.sweep, ProgressRing);
        for (double angle : sweep.drawnAt) {
            Point p = OnEllipse(angle);
            EXPECT_TRUE(RingPixelDrawn(p.x, p.y)) << sweep.name << ": no arc at " << Describe(angle);
        }
        for (double angle : sweep.emptyAt) {
            Point p = OnEllipse(angle);
            EXPECT_FALSE(RingPixelDrawn(p.x, p.y)) << sweep.name << ": arc at " << Describe(angle);
        }
        // Nothing outside the pen's reach around the ellipse: the corners and the centre.
        for (Point outside : {Point{1, 1}, Point{198, 1}, Point{1, 78}, Point{198, 78}, Point{98, 38}}) {
            EXPECT_FALSE(RingPixelDrawn(outside.x, outside.y))
                << sweep.name << " at " << outside.x << ", " << outside.y;
        }
        EXPECT_TRUE(tk::drive::SaveControlImage(ProgressRing, ScreenshotPath(sweep.screenshot)));
    }
}

// The gradient runs from yellow at the top left to green at the bottom right,
// and lies over the shadow, not under it.
TEST_F(Ring, GradientGoesFromYellowToGreenOverTheShadow)
{
    DrawProgressRing(360.0, ProgressRing);
    auto channel = [](std::uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 0xFF); };
    Point left = OnEllipse(180), right = OnEllipse(0);
    std::uint32_t leftColour = tk::drive::SurfacePixel(ProgressRing, left.x, left.y);
    std::uint32_t rightColour = tk::drive::SurfacePixel(ProgressRing, right.x, right.y);
    EXPECT_GT(channel(leftColour, 16), 200) << std::hex << leftColour;   // red: yellow
    EXPECT_GT(channel(leftColour, 8), 200) << std::hex << leftColour;    // green
    EXPECT_LT(channel(leftColour, 0), 60) << std::hex << leftColour;     // no blue
    EXPECT_LT(channel(rightColour, 16), 120) << std::hex << rightColour; // little red: green
    EXPECT_GT(channel(rightColour, 8), 160) << std::hex << rightColour;
    EXPECT_LT(channel(rightColour, 0), 60) << std::hex << rightColour;
}

TEST_F(Ring, SweepsOutsideTheRangeLeaveTheSurfaceEmpty)
{
    const double sweeps[] = {0.0, 101 * 3.6, -1 * 3.6, -0.0, 360.0001, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()};
    for (double sweep : sweeps) {
        DrawProgressRing(270.0, ProgressRing);  // something to erase
        DrawProgressRing(sweep, ProgressRing);
        EXPECT_TRUE(RingBlank()) << "sweep " << sweep;
    }
}

// When a report draws, in order from a known state: a percentage equal to
// the last one drawn draws nothing; 100 always ends with the ring cleared,
// also when it repeats; 0, 101 and -1 clear without an arc.
TEST_F(Ring, LastPercentDecidesWhetherAReportDraws)
{
    struct Step {
        std::int32_t percent;
        bool draws;       // the surface is painted afresh
        bool arcAfter;    // an arc remains on the surface afterwards
    };
    const Step steps[] = {
        {100, true, false},  // from whatever came before: draws the full ring, holds it, clears
        {100, true, false},  // repeated: draws nothing new, but holds and clears again
        {50, true, true},    {50, false, true}, {75, true, true},  {0, true, false},
        {0, false, false},   {101, true, false}, {-1, true, false}, {-1, false, false},
        {37, true, true},    {100, true, false}, {30, true, true},
    };
    int number = 0;
    for (const Step& step : steps) {
        ++number;
        ASSERT_NO_FATAL_FAILURE(MarkCorner());
        ReportProgress(step.percent);
        EXPECT_EQ(CornerRepainted(), step.draws) << "step " << number << ": report " << step.percent;
        Point bottomLeft = OnEllipse(135);
        EXPECT_EQ(RingPixelDrawn(bottomLeft.x, bottomLeft.y), step.arcAfter)
            << "step " << number << ": report " << step.percent;
    }
    DrawProgressRing(0.0, ProgressRing);
}
