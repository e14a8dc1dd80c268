// Drawing surfaces and the small GDI+-like drawing layer the progress ring
// draws with, over QPainter. The worker draws here, so nothing in this file
// needs the user-interface thread except the widget's own painting.
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>

#include <atomic>
#include <cmath>
#include <map>
#include <vector>

#include "platform/qt/qt_backend.h"
#include "platform/toolkit_driver.h"

namespace tk {

struct Drawing {
    qt::SurfaceImage* surface;
};

struct GpBrush {
    QLinearGradient gradient;
};

struct GpPen {
    QBrush brush;
    float width;
    bool opaque;     // no part of the brush lets the background through
    int endCap = 0;  // LineCapFlat
};

struct GpGraphics {
    QPainter painter;
};

}  // namespace tk

namespace tk::qt {
namespace {

constexpr int Ok = 0;
constexpr int InvalidParameter = 2;
constexpr int LineCapArrowAnchor = 20;

// The surfaces by number, for the threads that draw on them.
std::mutex surfaceTableLock;
std::map<int, SurfaceImage*> surfaceTable;

// Brushes live until GDI+ is shut down, as the program expects of them.
std::mutex brushLock;
std::vector<GpBrush*> liveBrushes;

// The drawings each thread has open, so that a thread ending in the middle
// of one does not leave its surface locked.
thread_local std::vector<Drawing*> openDrawings;

class SurfaceWidget : public QWidget {
public:
    SurfaceWidget(SurfaceImage* surface, QWidget* parent) : QWidget(parent), surface_(surface) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        std::lock_guard<std::mutex> hold(surface_->shownLock);
        painter.drawImage(0, 0, surface_->shown);
    }

private:
    SurfaceImage* surface_;
};

SurfaceImage* FindSurface(int control) {
    std::lock_guard<std::mutex> hold(surfaceTableLock);
    auto found = surfaceTable.find(control);
    return found == surfaceTable.end() ? nullptr : found->second;
}

// The parametric angle t (x = a cos t, y = b sin t) of the point that an
// angle as GDI+ measures it names: the direction of the point seen from the
// centre, clockwise with y down. Unwrapped: it runs on past a full turn as
// the angle does.
double ParametricAngle(double a, double b, double degrees) {
    const double theta = degrees * M_PI / 180.0;
    const double wrapped = std::atan2(a * std::sin(theta), b * std::cos(theta));
    return theta + std::remainder(wrapped - theta, 2 * M_PI);
}

}  // namespace

void CreateSurfaceWidget(int control, int x, int y, int width, int height) {
    auto* surface = new SurfaceImage;
    surface->width = std::max(0, width);
    surface->height = std::max(0, height);
    surface->image = QImage(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    surface->image.fill(Qt::white);
    surface->shown = surface->image.copy();
    auto* widget = new SurfaceWidget(surface, CurrentParent());
    widget->setGeometry(x, y, width, height);
    surface->widget = widget;
    AddControl(control, ControlKind::DrawingSurface, widget);
    FindControl(control)->surface = surface;
    {
        std::lock_guard<std::mutex> hold(surfaceTableLock);
        surfaceTable[control] = surface;
    }
    widget->show();
}

void ReleaseSurface(Control& control) {
    if (control.surface == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(surfaceTableLock);
        for (auto entry = surfaceTable.begin(); entry != surfaceTable.end();)
            entry = entry->second == control.surface ? surfaceTable.erase(entry) : std::next(entry);
    }
    delete control.surface;
    control.surface = nullptr;
}

void ReleaseOpenDrawings() {
    while (!openDrawings.empty()) EndDrawing(openDrawings.back());
}

}  // namespace tk::qt

namespace tk {

using namespace tk::qt;

Drawing* BeginDrawing(int control) {
    SurfaceImage* surface = FindSurface(control);
    if (surface == nullptr) return nullptr;
    surface->lock.lock();
    auto* drawing = new Drawing{surface};
    openDrawings.push_back(drawing);
    return drawing;
}

int SurfaceWidth(int control) {
    SurfaceImage* surface = FindSurface(control);
    return surface == nullptr ? 0 : surface->width;
}

int SurfaceHeight(int control) {
    SurfaceImage* surface = FindSurface(control);
    return surface == nullptr ? 0 : surface->height;
}

std::uint32_t ReadDrawingPixel(Drawing* drawing, int x, int y) {
    if (drawing == nullptr || !drawing->surface->image.valid(x, y)) return 0;
    return drawing->surface->image.pixel(x, y) & 0xFFFFFFu;
}

void FillDrawingRect(Drawing* drawing, int x, int y, int width, int height, std::uint32_t rgb) {
    if (drawing == nullptr) return;
    QImage& image = drawing->surface->image;
    const QRect area = QRect(x, y, width, height).intersected(image.rect());
    const QRgb colour = 0xFF000000u | (rgb & 0xFFFFFFu);
    for (int row = area.top(); row <= area.bottom(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        std::fill(line + area.left(), line + area.right() + 1, colour);
    }
}

void EndDrawing(Drawing* drawing) {
    if (drawing == nullptr) return;
    for (auto open = openDrawings.begin(); open != openDrawings.end(); ++open)
        if (*open == drawing) {
            openDrawings.erase(open);
            break;
        }
    SurfaceImage* surface = drawing->surface;
    QWidget* widget = surface->widget;
    {
        QImage finished = surface->image.copy();
        std::lock_guard<std::mutex> hold(surface->shownLock);
        surface->shown.swap(finished);
    }
    surface->lock.unlock();
    delete drawing;
    // Shown at once; from another thread without waiting for the
    // user-interface thread, which paints it as soon as it runs.
    if (OnUiThread())
        widget->repaint();
    else
        RepaintSoon(widget);
}

// ---- the GDI+ operations ------------------------------------------------------

int GdiplusStartup(std::uintptr_t* token) {
    static std::atomic<std::uintptr_t> lastToken{0};
    if (token == nullptr) return InvalidParameter;
    *token = ++lastToken;
    return Ok;
}

void GdiplusShutdown(std::uintptr_t) {
    std::lock_guard<std::mutex> hold(brushLock);
    for (GpBrush* brush : liveBrushes) delete brush;
    liveBrushes.clear();
}

int GdipCreateLineBrush(const PointF* point1, const PointF* point2, std::uint32_t argb1, std::uint32_t argb2,
                        int wrapMode, GpBrush** brush) {
    if (point1 == nullptr || point2 == nullptr || brush == nullptr) return InvalidParameter;
    auto* made = new GpBrush{QLinearGradient(QPointF(point1->x, point1->y), QPointF(point2->x, point2->y))};
    made->gradient.setColorAt(0.0, QColor::fromRgba(argb1));
    made->gradient.setColorAt(1.0, QColor::fromRgba(argb2));
    // WrapModeTile repeats the gradient, the flipping modes mirror it,
    // WrapModeClamp holds the end colours.
    switch (wrapMode) {
    case 0:
        made->gradient.setSpread(QGradient::RepeatSpread);
        break;
    case 1:
    case 2:
    case 3:
        made->gradient.setSpread(QGradient::ReflectSpread);
        break;
    default:
        made->gradient.setSpread(QGradient::PadSpread);
        break;
    }
    *brush = made;
    std::lock_guard<std::mutex> hold(brushLock);
    liveBrushes.push_back(made);
    return Ok;
}

int GdipCreatePen1(std::uint32_t argb, float width, int, GpPen** pen) {
    if (pen == nullptr) return InvalidParameter;
    *pen = new GpPen{QBrush(QColor::fromRgba(argb)), width, (argb >> 24) == 0xFF};
    return Ok;
}

int GdipCreatePen2(GpBrush* brush, float width, int, GpPen** pen) {
    if (brush == nullptr || pen == nullptr) return InvalidParameter;
    bool opaque = true;
    for (const QGradientStop& stop : brush->gradient.stops()) opaque = opaque && stop.second.alpha() == 255;
    *pen = new GpPen{QBrush(brush->gradient), width, opaque};
    return Ok;
}

int GdipSetPenEndCap(GpPen* pen, int lineCap) {
    if (pen == nullptr) return InvalidParameter;
    pen->endCap = lineCap;
    return Ok;
}

int GdipCreateFromHDC(Drawing* drawing, GpGraphics** graphics) {
    if (drawing == nullptr || graphics == nullptr) return InvalidParameter;
    auto* made = new GpGraphics;
    if (!made->painter.begin(&drawing->surface->image)) {
        delete made;
        return InvalidParameter;
    }
    // GDI+ puts the centre of a pixel on whole coordinates, QPainter its
    // corner.
    made->painter.translate(0.5, 0.5);
    *graphics = made;
    return Ok;
}

int GdipSetSmoothingMode(GpGraphics* graphics, int smoothingMode) {
    if (graphics == nullptr) return InvalidParameter;
    // HighQuality (2), AntiAlias (4) and AntiAlias8x4 (5) smooth; the rest do not.
    const bool smooth = smoothingMode == 2 || smoothingMode == 4 || smoothingMode == 5;
    graphics->painter.setRenderHint(QPainter::Antialiasing, smooth);
    return Ok;
}

int GdipDrawArc(GpGraphics* graphics, GpPen* pen, float x, float y, float width, float height, float startAngle,
                float sweepAngle) {
    if (graphics == nullptr || pen == nullptr || !(width > 0) || !(height > 0) || !std::isfinite(startAngle) ||
        !std::isfinite(sweepAngle))
        return InvalidParameter;
    const double sweep = std::clamp(double(sweepAngle), -360.0, 360.0);
    if (sweep == 0.0) return Ok;  // an arc of no length: nothing to draw, not even its cap
    const double a = width / 2.0;
    const double b = height / 2.0;
    const double cx = x + a;
    const double cy = y + b;
    // The arc as a line through points of the ellipse at most 4 degrees of
    // t apart: less than a tenth of a pixel from the curve on a ring's size.
    const double t0 = ParametricAngle(a, b, startAngle);
    const double t1 = ParametricAngle(a, b, startAngle + sweep);
    const int steps = std::max(1, int(std::ceil(std::fabs(t1 - t0) / (4.0 * M_PI / 180.0))));
    QPainterPath arc(QPointF(cx + a * std::cos(t0), cy + b * std::sin(t0)));
    for (int step = 1; step <= steps; ++step) {
        const double t = t0 + (t1 - t0) * step / steps;
        arc.lineTo(cx + a * std::cos(t), cy + b * std::sin(t));
    }

    QPainterPathStroker stroker;
    stroker.setWidth(pen->width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    QPainterPath outline = stroker.createStroke(arc);
    if (pen->endCap == LineCapArrowAnchor) {
        // An arrow head with its tip on the end of the arc, pointing along
        // the tangent there: an equilateral triangle whose sides are
        // 4/sqrt(3) pen widths, so that its base lies two pen widths behind
        // the tip.
        const QPointF tip(cx + a * std::cos(t1), cy + b * std::sin(t1));
        const double forward = sweep < 0 ? -1.0 : 1.0;
        const double direction = std::atan2(forward * b * std::cos(t1), forward * -a * std::sin(t1));
        const double side = pen->width * 4.0 / std::sqrt(3.0);
        QPainterPath head(tip);
        head.lineTo(tip - side * QPointF(std::cos(direction + M_PI / 6), std::sin(direction + M_PI / 6)));
        head.lineTo(tip - side * QPointF(std::cos(direction - M_PI / 6), std::sin(direction - M_PI / 6)));
        head.closeSubpath();
        if (pen->opaque) {
            graphics->painter.fillPath(head, pen->brush);
        } else {
            // One outline, filled once: a translucent pen does not darken
            // where the head overlaps the line.
            outline = outline.united(head);
        }
    }
    graphics->painter.fillPath(outline, pen->brush);
    return Ok;
}

int GdipDeleteGraphics(GpGraphics* graphics) {
    if (graphics == nullptr) return InvalidParameter;
    graphics->painter.end();
    delete graphics;
    return Ok;
}

int GdipDeletePen(GpPen* pen) {
    if (pen == nullptr) return InvalidParameter;
    delete pen;
    return Ok;
}

// ---- for the driver -------------------------------------------------------------

std::uint32_t drive::SurfacePixel(int control, int x, int y) {
    SurfaceImage* surface = FindSurface(control);
    if (surface == nullptr) return 0;
    std::lock_guard<std::mutex> hold(surface->lock);
    return surface->image.valid(x, y) ? surface->image.pixel(x, y) & 0xFFFFFFu : 0;
}

}  // namespace tk
