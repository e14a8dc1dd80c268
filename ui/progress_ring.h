// The progress ring: a thick elliptical arc on ProgressRing that grows
// clockwise from the bottom as a file is hashed.
#pragma once

#include <cstdint>

// Creates the drawing surface ProgressRing on the current tab page.
void CreateProgressRing();

// The progress routine of every file digest: draws the arc for a percentage
// when it differs from the last one drawn; at 100 holds the full ring for
// 100 ms and clears it. Runs on the worker thread. Returns 0.
int ReportProgress(std::int32_t percent);

// Clears the control and draws the arc for `sweep` degrees; a sweep of 0 or
// less, above 360, or not a number leaves it empty.
void DrawProgressRing(double sweep, int control);

// Starts the graphics and makes the brush and pens for a ring of this size.
void StartRingGraphics(std::int32_t width, std::int32_t height);
void StopRingGraphics();
