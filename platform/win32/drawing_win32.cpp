// Images, drawing surfaces and the GDI+ flat API the progress ring uses.
//
// A drawing surface keeps its own 24-bit image. Any thread may open it for
// drawing; the surface's lock keeps painting and drawing apart, and ending a
// drawing puts the image on the screen at once, from the drawing thread.
#include "platform/win32/backend_win32.h"

#include <algorithm>
#include <cstring>

// The GDI+ flat API, declared here with plain types: the C++ wrapper headers
// bring much we do not use. The statuses are GDI+'s Status values.
extern "C" {
struct QuorvilGdiplusStartupInput {
    UINT32 GdiplusVersion;
    void* DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};
int WINAPI GdiplusStartup(ULONG_PTR* token, const QuorvilGdiplusStartupInput* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
int WINAPI GdipCreateLineBrush(const tk::PointF* point1, const tk::PointF* point2, UINT32 color1, UINT32 color2,
                               int wrapMode, void** lineGradient);
int WINAPI GdipCreatePen1(UINT32 color, float width, int unit, void** pen);
int WINAPI GdipCreatePen2(void* brush, float width, int unit, void** pen);
int WINAPI GdipSetPenEndCap(void* pen, int endCap);
int WINAPI GdipCreateFromHDC(HDC dc, void** graphics);
int WINAPI GdipSetSmoothingMode(void* graphics, int smoothingMode);
int WINAPI GdipDrawArc(void* graphics, void* pen, float x, float y, float width, float height, float startAngle,
                       float sweepAngle);
int WINAPI GdipDeleteGraphics(void* graphics);
int WINAPI GdipDeletePen(void* pen);
}

namespace tk {

struct Drawing {
    win32::Control* control;
    HDC dc;
    HGDIOBJ oldBitmap;
};

}  // namespace tk

namespace tk::win32 {

namespace {

// The background behind an image view: its container's colour, or the
// dialog face colour of pages and the window.
HBRUSH BackgroundBehind(HWND hwnd) {
    int parent = ControlNumberOf(GetParent(hwnd));
    Control* container = FindControl(parent);
    if (container && container->backBrush && container->kind == Kind::Container) return container->backBrush;
    return GetSysColorBrush(COLOR_BTNFACE);
}

void ShowSurface(Control& control, HDC dc) {
    SurfaceState& surface = *control.surface;
    BITMAPINFO info = TopDownBitmapInfo(surface.width, surface.height, 24);
    SetDIBitsToDevice(dc, 0, 0, DWORD(surface.width), DWORD(surface.height), 0, 0, 0, UINT(surface.height),
                      surface.bits, &info, DIB_RGB_COLORS);
}

}  // namespace

// The drawings each thread has open, so that a thread that ends in the middle
// of one still lets go of its surface.
thread_local std::vector<Drawing*> OpenDrawings;

void EndThreadDrawings() {
    while (!OpenDrawings.empty()) EndDrawing(OpenDrawings.back());
}

void InitSurface(Control& control, int width, int height) {
    auto surface = std::make_unique<SurfaceState>();
    surface->width = width > 0 ? width : 1;
    surface->height = height > 0 ? height : 1;
    surface->stride = (surface->width * 3 + 3) & ~3;
    BITMAPINFO info = TopDownBitmapInfo(surface->width, surface->height, 24);
    void* bits = nullptr;
    surface->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    surface->bits = static_cast<unsigned char*>(bits);
    if (surface->bits) std::memset(surface->bits, 0xFF, std::size_t(surface->stride) * std::size_t(surface->height));
    InitializeCriticalSection(&surface->lock);
    control.surface = std::move(surface);
}

void PaintSurface(Control& control, HDC dc) {
    if (!control.surface || !control.surface->bits) return;
    EnterCriticalSection(&control.surface->lock);
    ShowSurface(control, dc);
    LeaveCriticalSection(&control.surface->lock);
}

void PaintImageView(Control& control, HDC dc) {
    RECT area;
    GetClientRect(control.hwnd, &area);
    FillRect(dc, &area, BackgroundBehind(control.hwnd));
    auto found = Images.find(control.image);
    if (found == Images.end() || !found->second.bitmap) return;
    const Image& image = found->second;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, image.bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, 0, 0, image.width, image.height, source, 0, 0, image.width, image.height, blend);
    SelectObject(source, old);
    DeleteDC(source);
}

void ReleaseImagesAndSurfaces() {
    for (auto& [number, control] : Controls) {
        if (!control.surface) continue;
        if (control.surface->bitmap) DeleteObject(control.surface->bitmap);
        DeleteCriticalSection(&control.surface->lock);
        control.surface.reset();
    }
    for (auto& [number, image] : Images) {
        if (image.bitmap) DeleteObject(image.bitmap);
    }
    Images.clear();
}

}  // namespace tk::win32

namespace tk {

using namespace tk::win32;

void StoreImage(int image, int width, int height, const unsigned char* rgba) {
    OnUi([&] {
        if (width <= 0 || height <= 0 || !rgba) return;
        BITMAPINFO info = TopDownBitmapInfo(width, height, 32);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap) return;
        // AlphaBlend wants blue, green, red, alpha with the colours
        // premultiplied by alpha.
        unsigned char* out = static_cast<unsigned char*>(bits);
        for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
            unsigned alpha = rgba[i * 4 + 3];
            out[i * 4 + 0] = static_cast<unsigned char>((rgba[i * 4 + 2] * alpha + 127) / 255);
            out[i * 4 + 1] = static_cast<unsigned char>((rgba[i * 4 + 1] * alpha + 127) / 255);
            out[i * 4 + 2] = static_cast<unsigned char>((rgba[i * 4 + 0] * alpha + 127) / 255);
            out[i * 4 + 3] = static_cast<unsigned char>(alpha);
        }
        Image& stored = Images[image];
        if (stored.bitmap) DeleteObject(stored.bitmap);
        stored = Image{width, height, bitmap};
    });
}

// ---- drawing surfaces ------------------------------------------------------

Drawing* BeginDrawing(int control) {
    // The control records do not change after start-up, so any thread may
    // look one up.
    Control* target = FindControl(control);
    if (!target || !target->surface || !target->surface->bitmap) return nullptr;
    EnterCriticalSection(&target->surface->lock);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = dc ? SelectObject(dc, target->surface->bitmap) : nullptr;
    if (!dc || !old) {
        if (dc) DeleteDC(dc);
        LeaveCriticalSection(&target->surface->lock);
        return nullptr;
    }
    Drawing* drawing = new Drawing{target, dc, old};
    OpenDrawings.push_back(drawing);
    return drawing;
}

int SurfaceWidth(int control) {
    Control* target = FindControl(control);
    return target && target->surface ? target->surface->width : 0;
}

int SurfaceHeight(int control) {
    Control* target = FindControl(control);
    return target && target->surface ? target->surface->height : 0;
}

std::uint32_t ReadDrawingPixel(Drawing* drawing, int x, int y) {
    if (!drawing) return 0;
    COLORREF colour = GetPixel(drawing->dc, x, y);
    if (colour == CLR_INVALID) return 0;
    return (std::uint32_t(GetRValue(colour)) << 16) | (std::uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
}

void FillDrawingRect(Drawing* drawing, int x, int y, int width, int height, std::uint32_t rgb) {
    if (!drawing) return;
    HBRUSH brush = CreateSolidBrush(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    RECT area{x, y, x + width, y + height};
    FillRect(drawing->dc, &area, brush);
    DeleteObject(brush);
}

void EndDrawing(Drawing* drawing) {
    if (!drawing) return;
    auto open = std::find(OpenDrawings.begin(), OpenDrawings.end(), drawing);
    if (open != OpenDrawings.end()) OpenDrawings.erase(open);
    Control& control = *drawing->control;
    GdiFlush();
    SelectObject(drawing->dc, drawing->oldBitmap);
    DeleteDC(drawing->dc);
    // Straight onto the screen: GetDC sends no message to the window's thread.
    if (HDC screen = GetDC(control.hwnd)) {
        ShowSurface(control, screen);
        ReleaseDC(control.hwnd, screen);
    }
    LeaveCriticalSection(&control.surface->lock);
    delete drawing;
}

// ---- the GDI+ flat API -----------------------------------------------------

int GdiplusStartup(std::uintptr_t* token) {
    QuorvilGdiplusStartupInput input{1, nullptr, FALSE, FALSE};
    ULONG_PTR value = 0;
    int status = ::GdiplusStartup(&value, &input, nullptr);
    *token = value;
    return status;
}

void GdiplusShutdown(std::uintptr_t token) { ::GdiplusShutdown(ULONG_PTR(token)); }

int GdipCreateLineBrush(const PointF* point1, const PointF* point2, std::uint32_t argb1, std::uint32_t argb2,
                        int wrapMode, GpBrush** brush) {
    return ::GdipCreateLineBrush(point1, point2, argb1, argb2, wrapMode, reinterpret_cast<void**>(brush));
}

int GdipCreatePen1(std::uint32_t argb, float width, int unit, GpPen** pen) {
    return ::GdipCreatePen1(argb, width, unit, reinterpret_cast<void**>(pen));
}

int GdipCreatePen2(GpBrush* brush, float width, int unit, GpPen** pen) {
    return ::GdipCreatePen2(brush, width, unit, reinterpret_cast<void**>(pen));
}

int GdipSetPenEndCap(GpPen* pen, int lineCap) { return ::GdipSetPenEndCap(pen, lineCap); }

int GdipCreateFromHDC(Drawing* drawing, GpGraphics** graphics) {
    if (!drawing) return 2;  // InvalidParameter
    return ::GdipCreateFromHDC(drawing->dc, reinterpret_cast<void**>(graphics));
}

int GdipSetSmoothingMode(GpGraphics* graphics, int smoothingMode) {
    return ::GdipSetSmoothingMode(graphics, smoothingMode);
}

int GdipDrawArc(GpGraphics* graphics, GpPen* pen, float x, float y, float width, float height, float startAngle,
                float sweepAngle) {
    return ::GdipDrawArc(graphics, pen, x, y, width, height, startAngle, sweepAngle);
}

int GdipDeleteGraphics(GpGraphics* graphics) { return ::GdipDeleteGraphics(graphics); }

int GdipDeletePen(GpPen* pen) { return ::GdipDeletePen(pen); }

}  // namespace tk
