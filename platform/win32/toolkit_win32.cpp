// The Win32 backend of our toolkit: the window, its controls, texts, lists
// and the event loop. Everything here runs on the user-interface thread; a
// call from another thread becomes a request to the message-only
// RequestWindow, which that thread serves while it waits for messages.
#include "platform/win32/backend_win32.h"

#include <richedit.h>

#include <algorithm>

namespace tk::win32 {

HINSTANCE Instance = nullptr;
HWND MainWindow = nullptr;
HWND RequestWindow = nullptr;
DWORD UiThreadId = 0;
HFONT DefaultFont = nullptr;
std::map<int, Control> Controls;
std::map<int, Image> Images;
std::vector<HFONT> Fonts;
std::deque<Event> PendingEvents;
bool SuppressTextEvents = false;

namespace {

const wchar_t* const MainWindowClass = L"QuorvilWindow";
const wchar_t* const HostClass = L"QuorvilHost";  // tab pages and containers
const wchar_t* const RequestClass = L"QuorvilRequests";
const wchar_t* const ImageClass = L"QuorvilImage";
const wchar_t* const SurfaceClass = L"QuorvilSurface";

HWND CurrentParent = nullptr;
const wchar_t* RichEditClass = L"RichEdit20W";
HMODULE RichEditLibrary = nullptr;
int OptionGroups = 0;
bool LastCreatedWasOption = false;
HWND LastOptionParent = nullptr;

COLORREF ToColorRef(Rgb colour) { return RGB(colour.red, colour.green, colour.blue); }

// The control whose page or container `hwnd` is, or whose window it is.
Control* ControlOfWindow(HWND hwnd) {
    int number = ControlNumberOf(hwnd);
    return number < 0 ? nullptr : FindControl(number);
}

void ShowTabPage(Control& panel) {
    int selected = int(SendMessageW(panel.hwnd, TCM_GETCURSEL, 0, 0));
    for (std::size_t i = 0; i < panel.pages.size(); ++i) {
        ShowWindow(panel.pages[i], int(i) == selected ? SW_SHOW : SW_HIDE);
    }
}

LRESULT HandleCommand(WPARAM wParam, LPARAM lParam) {
    HWND child = reinterpret_cast<HWND>(lParam);
    if (!child) return 0;  // dialog keys (Enter, Escape) with no button of ours
    int number = ControlNumberOf(child);
    Control* control = FindControl(number);
    if (!control) return 0;
    WORD code = HIWORD(wParam);
    if (control->kind == Kind::TextInput && code == EN_CHANGE && !SuppressTextEvents) {
        PushEvent(EventKind::TextChanged, number);
    } else if (control->kind == Kind::PushButton && code == BN_CLICKED) {
        PushEvent(EventKind::Click, number);
    }
    return 0;
}

LRESULT HandleNotify(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    int number = ControlNumberOf(header->hwndFrom);
    Control* control = FindControl(number);
    if (!control) return DefWindowProcW(hwnd, WM_NOTIFY, wParam, lParam);
    if (control->kind == Kind::TabPanel && header->code == TCN_SELCHANGE) {
        ShowTabPage(*control);
        return 0;
    }
    if (control->kind == Kind::FolderTree || control->kind == Kind::FileList) {
        LRESULT result = 0;
        if (HandleFolderViewNotify(*control, header, result)) return result;
    }
    return DefWindowProcW(hwnd, WM_NOTIFY, wParam, lParam);
}

// Labels with colours of their own, on containers with a background.
LRESULT HandleControlColour(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* control = ControlOfWindow(reinterpret_cast<HWND>(lParam));
    if (control && control->hasColours && control->backBrush) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, control->textColour);
        SetBkColor(dc, control->backColour);
        return reinterpret_cast<LRESULT>(control->backBrush);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The main window, tab pages and containers share one procedure: it turns
// the notifications of their children into the program's events.
LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return HandleCommand(wParam, lParam);
    case WM_NOTIFY:
        return HandleNotify(hwnd, wParam, lParam);
    case WM_CTLCOLORSTATIC:
        return HandleControlColour(hwnd, message, wParam, lParam);
    case WM_ERASEBKGND: {
        Control* control = ControlOfWindow(hwnd);
        if (control && control->backBrush) {
            RECT area;
            GetClientRect(hwnd, &area);
            FillRect(reinterpret_cast<HDC>(wParam), &area, control->backBrush);
            return 1;
        }
        break;
    }
    case WM_PRINTCLIENT: {
        Control* control = ControlOfWindow(hwnd);
        RECT area;
        GetClientRect(hwnd, &area);
        FillRect(reinterpret_cast<HDC>(wParam), &area,
                 control && control->backBrush ? control->backBrush : GetSysColorBrush(COLOR_BTNFACE));
        return 0;
    }
    case WM_CLOSE:
        if (hwnd == MainWindow) {
            // Only a request: the window stays until the program ends.
            PushEvent(EventKind::CloseRequest, -1);
            return 0;
        }
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK RequestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == RequestMessage) {
        reinterpret_cast<void (*)(void*)>(wParam)(reinterpret_cast<void*>(lParam));
        return 0;
    }
    if (message == FolderChangedMessage) {
        HandleFolderChanged(int(wParam), LONG(lParam));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Image views and drawing surfaces paint their own pictures, whole.
void PaintPicture(HWND hwnd, HDC dc) {
    Control* control = ControlOfWindow(hwnd);
    if (!control) return;
    if (control->kind == Kind::Surface) {
        PaintSurface(*control, dc);
    } else {
        PaintImageView(*control, dc);
    }
}

LRESULT CALLBACK PictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        PaintPicture(hwnd, dc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintPicture(hwnd, reinterpret_cast<HDC>(wParam));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterWindowClass(const wchar_t* name, WNDPROC proc, HBRUSH background) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = Instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

// Creates a child of the current parent and records it under its number.
Control& AddControl(int number, Kind kind, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                    DWORD extendedStyle, int x, int y, int width, int height) {
    bool isOption = kind == Kind::OptionButton;
    // Option buttons created one after another form one group: the first one
    // starts it, and every other control starts a group of its own, which
    // also ends the option group before it.
    bool continuesGroup = isOption && LastCreatedWasOption && LastOptionParent == CurrentParent;
    if (!continuesGroup) style |= WS_GROUP;
    if (isOption && !continuesGroup) ++OptionGroups;
    LastCreatedWasOption = isOption;
    LastOptionParent = CurrentParent;

    Control& control = Controls[number];
    control.kind = kind;
    control.group = isOption ? OptionGroups : 0;
    control.hwnd = CreateWindowExW(extendedStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y,
                                   width, height, CurrentParent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(number + ControlIdBase)), Instance,
                                   nullptr);
    if (control.hwnd) SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont), FALSE);
    return control;
}

HWND CreateHost(HWND parent, int x, int y, int width, int height, DWORD extendedStyle) {
    return CreateWindowExW(extendedStyle | WS_EX_CONTROLPARENT, HostClass, L"",
                           WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, x, y, width, height, parent, nullptr,
                           Instance, nullptr);
}

std::wstring NormaliseLineBreaks(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            out += L'\n';
            if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

int ListCount(HWND list) { return int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring ListItemText(HWND list, int item, int column) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        LVITEMW entry{};
        entry.iSubItem = column;
        entry.pszText = buffer.data();
        entry.cchTextMax = int(buffer.size());
        int length = int(SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(item), reinterpret_cast<LPARAM>(&entry)));
        if (length < int(buffer.size()) - 1) return std::wstring(buffer.data(), std::size_t(length));
        buffer.resize(buffer.size() * 4);
    }
}

void SetListCell(HWND list, int item, int column, const std::wstring& text) {
    LVITEMW entry{};
    entry.iSubItem = column;
    entry.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(item), reinterpret_cast<LPARAM>(&entry));
}

void SetListItemState(HWND list, int item, UINT state, UINT mask) {
    LVITEMW entry{};
    entry.state = state;
    entry.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, WPARAM(item), reinterpret_cast<LPARAM>(&entry));
}

int CALLBACK NoteFaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceInstalled(const std::wstring& face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face.c_str(), LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

// The face itself when it is installed, otherwise the first installed face
// of the same kind (fixed-pitch, handwriting-like, or the system's choice).
// Also sets the font's pitch and family from that kind.
std::wstring FaceOrLikeIt(const std::wstring& face, LOGFONTW& description) {
    std::wstring lower = face;
    CharLowerBuffW(lower.data(), DWORD(lower.size()));
    auto has = [&](const wchar_t* part) { return lower.find(part) != std::wstring::npos; };
    std::vector<const wchar_t*> alike;
    if (has(L"console") || has(L"courier") || has(L"mono") || has(L"consolas")) {
        description.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        alike = {L"Courier New", L"Lucida Console", L"Consolas", L"Liberation Mono", L"DejaVu Sans Mono",
                 L"Courier"};
    } else if (has(L"comic") || has(L"script") || has(L"print")) {
        description.lfPitchAndFamily = VARIABLE_PITCH | FF_SCRIPT;
        alike = {L"Comic Sans MS", L"Comic Neue", L"Segoe Print", L"Segoe Script"};
    } else {
        description.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    }
    if (FaceInstalled(face)) return face;
    for (const wchar_t* other : alike) {
        if (FaceInstalled(other)) return other;
    }
    return face;  // the system's own substitution
}

}  // namespace

// ---- shared helpers ----------------------------------------------------------

Control* FindControl(int control) {
    auto found = Controls.find(control);
    return found == Controls.end() ? nullptr : &found->second;
}

int ControlNumberOf(HWND hwnd) {
    if (!hwnd) return -1;
    for (auto& [number, control] : Controls) {
        if (control.hwnd == hwnd) return number;
        for (HWND page : control.pages) {
            if (page == hwnd) return number;
        }
    }
    return -1;
}

void PushEvent(EventKind kind, int control) { PendingEvents.push_back(Event{kind, control}); }

void DispatchUiMessage(MSG& msg) {
    // Tab and Shift+Tab move the focus between our controls.
    if (MainWindow && IsDialogMessageW(MainWindow, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(std::max(count, 0)), L'\0');
    if (count > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), count);
    return wide;
}

std::string Utf8(const wchar_t* wide, int length) {
    if (length <= 0) return std::string();
    int count = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(std::max(count, 0)), '\0');
    if (count > 0) WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8.data(), count, nullptr, nullptr);
    return utf8;
}

std::string Utf8(const std::wstring& wide) { return Utf8(wide.data(), int(wide.size())); }

std::wstring WindowTextOf(HWND hwnd) {
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(std::size_t(std::max(length, 0)) + 1, L'\0');
    int got = GetWindowTextW(hwnd, text.data(), int(text.size()));
    text.resize(std::size_t(std::max(got, 0)));
    return text;
}

BITMAPINFO TopDownBitmapInfo(int width, int height, int bitCount) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = WORD(bitCount);
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

bool IsUiThread() { return UiThreadId == 0 || GetCurrentThreadId() == UiThreadId; }

void RunOnUiThread(void (*routine)(void*), void* data) {
    // SendMessage waits until the user-interface thread has run the routine;
    // that thread serves sent messages whenever it waits for messages.
    SendMessageW(RequestWindow, RequestMessage, reinterpret_cast<WPARAM>(routine), reinterpret_cast<LPARAM>(data));
}

}  // namespace tk::win32

namespace tk {

using namespace tk::win32;

// ---- start and end -------------------------------------------------------

void StartToolkit() {
    Instance = GetModuleHandleW(nullptr);
    UiThreadId = GetCurrentThreadId();
    // No "insert a disk" prompt for a drive that is not ready.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    OleInitialize(nullptr);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                                       ICC_TREEVIEW_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    RichEditLibrary = LoadLibraryW(L"msftedit.dll");
    if (RichEditLibrary) {
        RichEditClass = L"RICHEDIT50W";
    } else {
        RichEditLibrary = LoadLibraryW(L"riched20.dll");
        RichEditClass = L"RichEdit20W";
    }

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        DefaultFont = CreateFontIndirectW(&metrics.lfMessageFont);
    }
    if (!DefaultFont) DefaultFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    RegisterWindowClass(MainWindowClass, HostProc, face);
    RegisterWindowClass(HostClass, HostProc, face);
    RegisterWindowClass(RequestClass, RequestProc, nullptr);
    RegisterWindowClass(ImageClass, PictureProc, nullptr);
    RegisterWindowClass(SurfaceClass, PictureProc, nullptr);
    RequestWindow = CreateWindowExW(0, RequestClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Instance, nullptr);
}

void StopToolkit() {
    ReleaseThreads();
    StopFolderWatches();
    if (MainWindow) DestroyWindow(MainWindow);
    MainWindow = nullptr;
    if (RequestWindow) DestroyWindow(RequestWindow);
    RequestWindow = nullptr;
    for (auto& [number, control] : Controls) {
        if (control.backBrush) DeleteObject(control.backBrush);
    }
    ReleaseImagesAndSurfaces();
    Controls.clear();
    for (HFONT font : Fonts) {
        if (font) DeleteObject(font);
    }
    Fonts.clear();
    if (DefaultFont && DefaultFont != GetStockObject(DEFAULT_GUI_FONT)) DeleteObject(DefaultFont);
    DefaultFont = nullptr;
    PendingEvents.clear();
    if (RichEditLibrary) FreeLibrary(RichEditLibrary);
    RichEditLibrary = nullptr;
    OleUninitialize();
}

// ---- fonts ------------------------------------------------------------------

int CreateFontFace(const std::string& face, int points, FontWeight weight) {
    return OnUi([&]() -> int {
        std::wstring name = Wide(face);
        if (name.size() >= LF_FACESIZE) return 0;
        HDC screen = GetDC(nullptr);
        int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);

        LOGFONTW description{};
        description.lfHeight = -MulDiv(points, pixelsPerInch, 72);
        description.lfWeight = weight == FontWeight::Bold ? FW_BOLD : FW_NORMAL;
        description.lfCharSet = DEFAULT_CHARSET;
        description.lfOutPrecision = OUT_TT_PRECIS;
        description.lfQuality = CLEARTYPE_QUALITY;
        lstrcpynW(description.lfFaceName, FaceOrLikeIt(name, description).c_str(), LF_FACESIZE);
        HFONT font = CreateFontIndirectW(&description);
        if (!font) return 0;
        Fonts.push_back(font);
        return int(Fonts.size());
    });
}

// ---- the window ----------------------------------------------------------

void OpenMainWindow(int clientWidth, int clientHeight, const std::string& title) {
    OnUi([&] {
        DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        RECT frame{0, 0, clientWidth, clientHeight};
        AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
        int width = frame.right - frame.left;
        int height = frame.bottom - frame.top;
        int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        MainWindow = CreateWindowExW(WS_EX_CONTROLPARENT, MainWindowClass, Wide(title).c_str(), style, x, y, width,
                                     height, nullptr, nullptr, Instance, nullptr);
        CurrentParent = MainWindow;
        ShowWindow(MainWindow, SW_SHOWNORMAL);
        UpdateWindow(MainWindow);
    });
}

// ---- where new controls go ----------------------------------------------

void UseWindowAsParent() {
    OnUi([&] { CurrentParent = MainWindow; });
}

void UseContainerAsParent(int container) {
    OnUi([&] {
        if (Control* control = FindControl(container)) CurrentParent = control->hwnd;
    });
}

void AddTab(int panel, const std::string& caption) {
    OnUi([&] {
        Control* control = FindControl(panel);
        if (!control || control->kind != Kind::TabPanel) return;
        std::wstring text = Wide(caption);
        TCITEMW tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = text.data();
        int index = int(control->pages.size());
        SendMessageW(control->hwnd, TCM_INSERTITEMW, WPARAM(index), reinterpret_cast<LPARAM>(&tab));
        // The page covers the panel's display area, below the row of tabs.
        RECT area;
        GetClientRect(control->hwnd, &area);
        SendMessageW(control->hwnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        HWND page = CreateHost(control->hwnd, area.left, area.top, area.right - area.left, area.bottom - area.top, 0);
        control->pages.push_back(page);
        ShowTabPage(*control);
        CurrentParent = page;
    });
}

// ---- creating controls ---------------------------------------------------

void CreateContainer(int control, int x, int y, int width, int height) {
    OnUi([&] {
        Control& created = AddControl(control, Kind::Container, HostClass, L"", WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                      WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT, x, y, width, height);
        (void)created;
    });
}

void CreateImageView(int control, int x, int y, int image) {
    OnUi([&] {
        auto found = Images.find(image);
        int width = found == Images.end() ? 0 : found->second.width;
        int height = found == Images.end() ? 0 : found->second.height;
        Control& created = AddControl(control, Kind::ImageView, ImageClass, L"", 0, 0, x, y, width, height);
        created.image = image;
    });
}

void CreateLabel(int control, int x, int y, int width, int height, const std::string& text, Align align) {
    OnUi([&] {
        DWORD style = SS_NOPREFIX | (align == Align::Centre ? SS_CENTER : SS_LEFT);
        AddControl(control, Kind::Label, L"STATIC", Wide(text), style, 0, x, y, width, height);
    });
}

void CreateTabPanel(int control, int x, int y, int width, int height) {
    OnUi([&] {
        AddControl(control, Kind::TabPanel, WC_TABCONTROLW, L"", WS_TABSTOP | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, x,
                   y, width, height);
    });
}

void CreateTextInput(int control, int x, int y, int width, int height) {
    OnUi([&] {
        Control& created = AddControl(control, Kind::TextInput, L"EDIT", L"", WS_TABSTOP | ES_CENTER | ES_AUTOHSCROLL,
                                      WS_EX_CLIENTEDGE, x, y, width, height);
        // An edit field holds 30,000 characters unless told otherwise; the
        // program sets no limit, so the field has none but the system's own.
        if (created.hwnd) SendMessageW(created.hwnd, EM_SETLIMITTEXT, 0, 0);
    });
}

void CreateRichTextField(int control, int x, int y, int width, int height) {
    OnUi([&] {
        // Read-only fields take no Tab stop: a multi-line field would keep
        // the Tab key for itself.
        Control& created =
            AddControl(control, Kind::RichText, RichEditClass, L"",
                       ES_MULTILINE | ES_READONLY | ES_CENTER | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL |
                           WS_HSCROLL,
                       0, x, y, width, height);
        if (created.hwnd) {
            // Lines are centred as paragraphs; every paragraph keeps the format.
            PARAFORMAT2 format{};
            format.cbSize = sizeof format;
            format.dwMask = PFM_ALIGNMENT;
            format.wAlignment = PFA_CENTER;
            SendMessageW(created.hwnd, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
        }
    });
}

void CreateFolderTree(int control, int x, int y, int width, int height) {
    OnUi([&] {
        Control& created = AddControl(control, Kind::FolderTree, WC_TREEVIEWW, L"",
                                      WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                                          TVS_SHOWSELALWAYS,
                                      WS_EX_CLIENTEDGE, x, y, width, height);
        if (created.hwnd) InitFolderTree(created);
    });
}

void CreateFileList(int control, int x, int y, int width, int height) {
    OnUi([&] {
        Control& created = AddControl(control, Kind::FileList, WC_LISTVIEWW, L"",
                                      WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE, x, y, width,
                                      height);
        if (created.hwnd) InitFileList(created);
    });
}

void CreateOptionButton(int control, int x, int y, int width, int height, const std::string& text) {
    OnUi([&] {
        // Only the first of a group is a Tab stop; the arrow keys move inside it.
        bool first = !(LastCreatedWasOption && LastOptionParent == CurrentParent);
        AddControl(control, Kind::OptionButton, L"BUTTON", Wide(text),
                   BS_AUTORADIOBUTTON | (first ? WS_TABSTOP : 0), 0, x, y, width, height);
    });
}

void CreatePushButton(int control, int x, int y, int width, int height, const std::string& text) {
    OnUi([&] {
        AddControl(control, Kind::PushButton, L"BUTTON", Wide(text), BS_PUSHBUTTON | WS_TABSTOP, 0, x, y, width,
                   height);
    });
}

void CreateTaskList(int control, int x, int y, int width, int height) {
    OnUi([&] {
        Control& created = AddControl(control, Kind::TaskList, WC_LISTVIEWW, L"",
                                      WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE,
                                      x, y, width, height);
        if (created.hwnd) {
            DWORD extended = LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER;
            SendMessageW(created.hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
        }
    });
}

void AddListColumn(int control, const std::string& title, int width) {
    OnUi([&] {
        Control* list = FindControl(control);
        if (!list) return;
        HWND header = reinterpret_cast<HWND>(SendMessageW(list->hwnd, LVM_GETHEADER, 0, 0));
        int index = header ? int(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
        std::wstring text = Wide(title);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = text.data();
        column.cx = width;
        column.iSubItem = index;
        SendMessageW(list->hwnd, LVM_INSERTCOLUMNW, WPARAM(index), reinterpret_cast<LPARAM>(&column));
    });
}

void CreateDrawingSurface(int control, int x, int y, int width, int height) {
    OnUi([&] {
        Control& created = AddControl(control, Kind::Surface, SurfaceClass, L"", 0, 0, x, y, width, height);
        InitSurface(created, width, height);
    });
}

void SetControlFont(int control, int font) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target || font < 1 || font > int(Fonts.size())) return;
        target->font = Fonts[std::size_t(font - 1)];
        SendMessageW(target->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(target->font), TRUE);
    });
}

void SetControlColours(int control, Rgb text, Rgb background) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target) return;
        if (target->backBrush) DeleteObject(target->backBrush);
        target->hasColours = true;
        target->textColour = ToColorRef(text);
        target->backColour = ToColorRef(background);
        target->backBrush = CreateSolidBrush(target->backColour);
        InvalidateRect(target->hwnd, nullptr, TRUE);
    });
}

void SetControlBackground(int control, Rgb background) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target) return;
        if (target->backBrush) DeleteObject(target->backBrush);
        target->backColour = ToColorRef(background);
        target->backBrush = CreateSolidBrush(target->backColour);
        InvalidateRect(target->hwnd, nullptr, TRUE);
    });
}

// ---- texts, states, focus, tabs ------------------------------------------

std::string GetControlText(int control) {
    return OnUi([&]() -> std::string {
        Control* target = FindControl(control);
        if (!target) return std::string();
        if (target->kind == Kind::FolderTree) return FolderTreePath(*target);
        std::wstring text = WindowTextOf(target->hwnd);
        if (target->kind == Kind::RichText) text = NormaliseLineBreaks(text);
        return Utf8(text);
    });
}

void SetControlText(int control, const std::string& text) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target) return;
        // Only the user's edits are events.
        bool suppressed = SuppressTextEvents;
        SuppressTextEvents = true;
        SetWindowTextW(target->hwnd, Wide(text).c_str());
        SuppressTextEvents = suppressed;
    });
}

std::string GetTextInSystemCodePage(int control) {
    return OnUi([&]() -> std::string {
        Control* target = FindControl(control);
        if (!target) return std::string();
        std::wstring text = WindowTextOf(target->hwnd);
        if (text.empty()) return std::string();
        int count = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
        std::string bytes(std::size_t(std::max(count, 0)), '\0');
        if (count > 0) {
            WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), bytes.data(), count, nullptr, nullptr);
        }
        return bytes;
    });
}

bool IsChecked(int control) {
    return OnUi([&]() -> bool {
        Control* target = FindControl(control);
        return target && SendMessageW(target->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    });
}

void SetChecked(int control, bool checked) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target) return;
        if (checked && target->kind == Kind::OptionButton) {
            for (auto& [number, other] : Controls) {
                if (number != control && other.kind == Kind::OptionButton && other.group == target->group) {
                    SendMessageW(other.hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
                }
            }
        }
        SendMessageW(target->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    });
}

void SelectTab(int panel, int index) {
    OnUi([&] {
        Control* target = FindControl(panel);
        if (!target || target->kind != Kind::TabPanel || index < 0 || index >= int(target->pages.size())) return;
        SendMessageW(target->hwnd, TCM_SETCURSEL, WPARAM(index), 0);
        ShowTabPage(*target);
    });
}

void GiveFocus(int control) {
    OnUi([&] {
        if (Control* target = FindControl(control)) SetFocus(target->hwnd);
    });
}

// ---- window messages the program sends itself -----------------------------

void ShowScrollBar(int control, ScrollBar bar, bool show) {
    OnUi([&] {
        if (Control* target = FindControl(control)) {
            SendMessageA(target->hwnd, 0x460 /* EM_SHOWSCROLLBAR */, WPARAM(bar), show ? 1 : 0);
        }
    });
}

void SetRedraw(int control, bool redraw) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target) return;
        SendMessageA(target->hwnd, 0x000B /* WM_SETREDRAW */, redraw ? 1 : 0, 0);
        // Turning drawing back on does not repaint by itself.
        if (redraw) RedrawWindow(target->hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    });
}

void ScrollList(int control, int dx, int dy) {
    OnUi([&] {
        if (Control* target = FindControl(control)) SendMessageA(target->hwnd, 0x1014 /* LVM_SCROLL */, WPARAM(dx), dy);
    });
}

// ---- rich-text fields ----------------------------------------------------

void ClearRichText(int control) {
    OnUi([&] {
        if (Control* target = FindControl(control)) SetWindowTextW(target->hwnd, L"");
    });
}

void InsertRichTextLine(int control, int line, const std::string& text) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target || line < 0) return;
        HWND field = target->hwnd;
        LRESULT start = SendMessageW(field, EM_LINEINDEX, WPARAM(line), 0);
        if (start < 0) start = GetWindowTextLengthW(field);  // past the last line: at the end
        std::wstring insertion = Wide(text) + L"\r";
        SendMessageW(field, EM_HIDESELECTION, TRUE, 0);
        SendMessageW(field, EM_SETSEL, WPARAM(start), start);
        SendMessageW(field, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(insertion.c_str()));
        SendMessageW(field, EM_HIDESELECTION, FALSE, 0);
    });
}

// ---- lists -------------------------------------------------------------------

void SetFileListFolder(int control, const std::string& folder) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (target && target->kind == Kind::FileList) ShowFileListFolder(*target, Wide(folder));
    });
}

int CountListItems(int control) {
    return OnUi([&]() -> int {
        Control* target = FindControl(control);
        return target ? ListCount(target->hwnd) : 0;
    });
}

bool IsListItemSelected(int control, int item) {
    return OnUi([&]() -> bool {
        Control* target = FindControl(control);
        if (!target || item < 0 || item >= ListCount(target->hwnd)) return false;
        return (SendMessageW(target->hwnd, LVM_GETITEMSTATE, WPARAM(item), LVIS_SELECTED) & LVIS_SELECTED) != 0;
    });
}

std::string GetListItemText(int control, int item, int column) {
    return OnUi([&]() -> std::string {
        Control* target = FindControl(control);
        if (!target || item < 0 || item >= ListCount(target->hwnd) || column < 0) return std::string();
        return Utf8(ListItemText(target->hwnd, item, column));
    });
}

void ClearListItems(int control) {
    OnUi([&] {
        if (Control* target = FindControl(control)) SendMessageW(target->hwnd, LVM_DELETEALLITEMS, 0, 0);
    });
}

void AppendListItem(int control, const std::string& columns) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target) return;
        std::vector<std::wstring> texts;
        std::wstring all = Wide(columns);
        std::size_t begin = 0;
        for (;;) {
            std::size_t end = all.find(L'\n', begin);
            texts.push_back(all.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin));
            if (end == std::wstring::npos) break;
            begin = end + 1;
        }
        LVITEMW entry{};
        entry.mask = LVIF_TEXT;
        entry.iItem = ListCount(target->hwnd);
        entry.pszText = texts[0].data();
        int item = int(SendMessageW(target->hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
        if (item < 0) return;
        for (std::size_t column = 1; column < texts.size(); ++column) {
            SetListCell(target->hwnd, item, int(column), texts[column]);
        }
    });
}

void SetListItemText(int control, int item, int column, const std::string& text) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target || item < 0 || item >= ListCount(target->hwnd) || column < 0) return;
        SetListCell(target->hwnd, item, column, Wide(text));
    });
}

bool SetListItemTextIf(int control, int item, int column, const std::string& text, int checkColumn,
                       const std::string& expected) {
    // One request: nothing else runs on the user-interface thread between the
    // check and the write.
    return OnUi([&]() -> bool {
        Control* target = FindControl(control);
        if (!target || item < 0 || item >= ListCount(target->hwnd) || column < 0 || checkColumn < 0) return false;
        if (ListItemText(target->hwnd, item, checkColumn) != Wide(expected)) return false;
        SetListCell(target->hwnd, item, column, Wide(text));
        return true;
    });
}

void SetListItemChecked(int control, int item, bool checked) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target || item < 0 || item >= ListCount(target->hwnd)) return;
        SetListItemState(target->hwnd, item, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK);
    });
}

void ClearListItemSelection(int control, int item) {
    OnUi([&] {
        Control* target = FindControl(control);
        if (!target || item < 0 || item >= ListCount(target->hwnd)) return;
        SetListItemState(target->hwnd, item, 0, LVIS_SELECTED | LVIS_FOCUSED);
    });
}

// ---- events ----------------------------------------------------------------

Event WaitForEvent() {
    MSG msg;
    while (PendingEvents.empty()) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) return Event{EventKind::CloseRequest, -1};  // WM_QUIT: nothing more will come
        DispatchUiMessage(msg);
    }
    Event event = PendingEvents.front();
    PendingEvents.pop_front();
    return event;
}

}  // namespace tk
