// Acting as the user and looking at the window, for the scenario tests: each
// action is the window message that the real action would bring, so the
// controls raise their own notifications.
#include "platform/toolkit_driver.h"
#include "platform/win32/backend_win32.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace tk::drive {

using namespace tk::win32;

namespace {

HWND WindowOf(int control) {
    Control* target = FindControl(control);
    return target ? target->hwnd : nullptr;
}

// Writes top-down rows of blue, green, red, unused bytes as an RGB PNG.
bool WritePng(const std::string& path, int width, int height, const unsigned char* bgrx, int stride, int bytesPerPixel) {
    FILE* file = _wfopen(Wide(path).c_str(), L"wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<unsigned char> row(std::size_t(width) * 3);
    bool written = false;
    if (png && info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            const unsigned char* in = bgrx + std::size_t(y) * std::size_t(stride);
            for (int x = 0; x < width; ++x) {
                row[std::size_t(x) * 3 + 0] = in[x * bytesPerPixel + 2];
                row[std::size_t(x) * 3 + 1] = in[x * bytesPerPixel + 1];
                row[std::size_t(x) * 3 + 2] = in[x * bytesPerPixel + 0];
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, info);
        written = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    std::fclose(file);
    return written;
}

// Copies what the screen shows of a window (its frame too when `whole`).
bool SaveWindowPixels(HWND hwnd, bool whole, const std::string& path) {
    // Let every pending paint happen first, so the picture is current.
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT area;
    if (whole) {
        GetWindowRect(hwnd, &area);
        OffsetRect(&area, -area.left, -area.top);
    } else {
        GetClientRect(hwnd, &area);
    }
    int width = area.right, height = area.bottom;
    if (width <= 0 || height <= 0) return false;
    BITMAPINFO info = TopDownBitmapInfo(width, height, 32);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return false;
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HDC screen = whole ? GetWindowDC(hwnd) : GetDC(hwnd);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ReleaseDC(hwnd, screen);
    GdiFlush();
    bool saved = WritePng(path, width, height, static_cast<unsigned char*>(bits), width * 4, 4);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return saved;
}

void SendTreeNotification(HWND tree, UINT code) {
    NMHDR header{tree, UINT_PTR(GetDlgCtrlID(tree)), code};
    SendMessageW(GetParent(tree), WM_NOTIFY, WPARAM(header.idFrom), reinterpret_cast<LPARAM>(&header));
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    if (prefix.empty() || prefix.size() > text.size()) return false;
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), int(prefix.size()), prefix.c_str(),
                          int(prefix.size())) == CSTR_EQUAL;
}

// The child of `item` whose path leads furthest towards `wanted`.
HTREEITEM ClosestChild(Control& control, HTREEITEM item, const std::wstring& wanted) {
    HWND tree = control.hwnd;
    HTREEITEM best = nullptr;
    std::size_t bestLength = 0;
    for (HTREEITEM child = reinterpret_cast<HTREEITEM>(
             SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
         child;
         child = reinterpret_cast<HTREEITEM>(
             SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
        std::wstring childPath = TreeItemPath(control, child);
        if (StartsWithNoCase(wanted, childPath) && childPath.size() > bestLength) {
            best = child;
            bestLength = childPath.size();
        }
    }
    return best;
}

}  // namespace

bool PollEvent(Event& event) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) break;
        DispatchUiMessage(msg);
    }
    if (PendingEvents.empty()) return false;
    event = PendingEvents.front();
    PendingEvents.pop_front();
    return true;
}

// ---- what the user does ------------------------------------------------------

void TypeText(int control, const std::string& text) {
    HWND input = WindowOf(control);
    if (!input) return;
    std::wstring wide = Wide(text);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        // One character at a time, a surrogate pair being one character.
        std::wstring character(1, wide[i]);
        if (IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size()) character += wide[++i];
        int length = GetWindowTextLengthW(input);
        SendMessageW(input, EM_SETSEL, WPARAM(length), length);
        SendMessageW(input, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(character.c_str()));
    }
}

void ReplaceText(int control, const std::string& text) {
    HWND input = WindowOf(control);
    if (!input) return;
    std::wstring wide = Wide(text);
    SendMessageW(input, EM_SETSEL, 0, -1);
    SendMessageW(input, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
}

void ClickButton(int control) {
    if (HWND button = WindowOf(control)) SendMessageW(button, BM_CLICK, 0, 0);
}

void CheckOption(int control) {
    if (HWND button = WindowOf(control)) SendMessageW(button, BM_CLICK, 0, 0);
}

bool SelectTreeFolder(int control, const std::string& path) {
    Control* target = FindControl(control);
    if (!target || target->kind != Kind::FolderTree) return false;
    HWND tree = target->hwnd;
    HTREEITEM item = target->tree->root;
    std::wstring wanted = Wide(path);
    for (wchar_t& c : wanted) {
        if (c == L'/') c = L'\\';
    }
    if (!wanted.empty() && wanted.back() != L'\\') wanted += L'\\';

    // Down from the root: at each level the child whose path leads furthest
    // towards the wanted folder, expanding on the way as a user would.
    while (item) {
        std::wstring itemPath = TreeItemPath(*target, item);
        if (itemPath.size() == wanted.size() && (wanted.empty() || StartsWithNoCase(wanted, itemPath))) break;
        ReadTreeChildren(*target, item);
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        HTREEITEM best = ClosestChild(*target, item, wanted);
        if (!best) {
            // The folder may have been made after its parent was opened.
            RereadTreeChildren(*target, item);
            best = ClosestChild(*target, item, wanted);
        }
        item = best;
    }
    if (!item) return false;

    HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    std::size_t before = PendingEvents.size();
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    // Choosing the folder that is already selected changes nothing, but the
    // user's click on it still tells the program.
    if (selected == item || PendingEvents.size() == before) SendTreeNotification(tree, NM_CLICK);
    return true;
}

void RightClickTree(int control) {
    // The notification itself: a right button press would start the tree's
    // own wait for a drag.
    if (HWND tree = WindowOf(control)) SendTreeNotification(tree, NM_RCLICK);
}

void SelectListItem(int control, int item, bool selected) {
    HWND list = WindowOf(control);
    if (!list) return;
    LVITEMW entry{};
    entry.state = selected ? LVIS_SELECTED : 0;
    entry.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, WPARAM(item), reinterpret_cast<LPARAM>(&entry));
}

void ClickListHeader(int control, int column) {
    HWND list = WindowOf(control);
    if (!list) return;
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    if (!header) return;
    // The header tells the list of the click, and the list tells its parent.
    NMHEADERW click{};
    click.hdr.hwndFrom = header;
    click.hdr.idFrom = UINT_PTR(GetDlgCtrlID(header));
    click.hdr.code = HDN_ITEMCLICKW;
    click.iItem = column;
    click.iButton = 0;
    SendMessageW(list, WM_NOTIFY, WPARAM(click.hdr.idFrom), reinterpret_cast<LPARAM>(&click));
}

void RequestClose() {
    if (MainWindow) SendMessageW(MainWindow, WM_CLOSE, 0, 0);
}

// ---- what the user sees ------------------------------------------------------

std::string ReadClipboardText() {
    std::string text;
    if (!OpenClipboard(RequestWindow ? RequestWindow : MainWindow)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const wchar_t* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = Utf8(std::wstring(wide));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

int SelectedTab(int panel) {
    HWND tabs = WindowOf(panel);
    return tabs ? int(SendMessageW(tabs, TCM_GETCURSEL, 0, 0)) : -1;
}

int FocusedControl() {
    // The focus may sit in a part of a control (a list's header, say).
    for (HWND focus = GetFocus(); focus && focus != MainWindow; focus = GetParent(focus)) {
        int number = ControlNumberOf(focus);
        Control* control = FindControl(number);
        if (control && control->hwnd == focus) return number;
    }
    return -1;
}

bool IsListItemChecked(int control, int item) {
    HWND list = WindowOf(control);
    if (!list) return false;
    UINT state = UINT(SendMessageW(list, LVM_GETITEMSTATE, WPARAM(item), LVIS_STATEIMAGEMASK));
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

int FirstVisibleListItem(int control) {
    HWND list = WindowOf(control);
    return list ? int(SendMessageW(list, LVM_GETTOPINDEX, 0, 0)) : -1;
}

std::string GetListColumnTitle(int control, int column) {
    HWND list = WindowOf(control);
    if (!list) return std::string();
    wchar_t title[256] = L"";
    LVCOLUMNW entry{};
    entry.mask = LVCF_TEXT;
    entry.pszText = title;
    entry.cchTextMax = 256;
    if (!SendMessageW(list, LVM_GETCOLUMNW, WPARAM(column), reinterpret_cast<LPARAM>(&entry))) return std::string();
    return Utf8(std::wstring(title));
}

int GetListColumnWidth(int control, int column) {
    HWND list = WindowOf(control);
    return list ? int(SendMessageW(list, LVM_GETCOLUMNWIDTH, WPARAM(column), 0)) : 0;
}

Geometry ControlGeometry(int control) {
    HWND hwnd = WindowOf(control);
    if (!hwnd) return Geometry{0, 0, 0, 0};
    RECT area;
    GetWindowRect(hwnd, &area);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&area), 2);
    return Geometry{area.left, area.top, area.right - area.left, area.bottom - area.top};
}

Geometry WindowClientGeometry() {
    if (!MainWindow) return Geometry{0, 0, 0, 0};
    RECT area;
    GetClientRect(MainWindow, &area);
    POINT origin{0, 0};
    ClientToScreen(MainWindow, &origin);
    return Geometry{origin.x, origin.y, area.right, area.bottom};
}

std::string WindowTitle() { return MainWindow ? Utf8(WindowTextOf(MainWindow)) : std::string(); }

bool IsWindowResizable() {
    if (!MainWindow) return false;
    LONG_PTR style = GetWindowLongPtrW(MainWindow, GWL_STYLE);
    return (style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) != 0;
}

std::string ControlFontFace(int control) {
    Control* target = FindControl(control);
    if (!target || !target->hwnd) return std::string();
    HWND hwnd = target->hwnd;
    // Rich-text fields do not all answer WM_GETFONT with the font they were given.
    HFONT font = target->font ? target->font : reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    wchar_t face[LF_FACESIZE] = L"";
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return Utf8(std::wstring(face));
}

std::uint32_t SurfacePixel(int control, int x, int y) {
    Control* target = FindControl(control);
    if (!target || !target->surface || !target->surface->bits) return 0;
    SurfaceState& surface = *target->surface;
    if (x < 0 || y < 0 || x >= surface.width || y >= surface.height) return 0;
    EnterCriticalSection(&surface.lock);
    const unsigned char* pixel = surface.bits + std::size_t(y) * std::size_t(surface.stride) + std::size_t(x) * 3;
    std::uint32_t rgb = (std::uint32_t(pixel[2]) << 16) | (std::uint32_t(pixel[1]) << 8) | pixel[0];
    LeaveCriticalSection(&surface.lock);
    return rgb;
}

bool SaveWindowScreenshot(const std::string& pngPath) {
    return MainWindow && SaveWindowPixels(MainWindow, true, pngPath);
}

bool SaveControlImage(int control, const std::string& pngPath) {
    Control* target = FindControl(control);
    if (!target) return false;
    if (target->surface && target->surface->bits) {
        // A surface's own image, shown or not.
        SurfaceState& surface = *target->surface;
        EnterCriticalSection(&surface.lock);
        bool saved = WritePng(pngPath, surface.width, surface.height, surface.bits, surface.stride, 3);
        LeaveCriticalSection(&surface.lock);
        return saved;
    }
    return SaveWindowPixels(target->hwnd, false, pngPath);
}

}  // namespace tk::drive
