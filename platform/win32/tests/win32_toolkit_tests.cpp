// The Win32 backend on a real window (under Wine on the CI machine): what the
// program's scenarios do not reach. Events and their sources, option groups,
// fonts, rich-text lines, the folder tree's texts and order, the file list's
// listing and sorting, the task list's styles, drawing through GDI+, a click
// while a worker is awaited, the clipboard's two forms, and the Windows file
// layer. What every backend passes alike (relisting, the task list's rows, a
// surface's pixels, threads) is in tests/toolkit/shared_toolkit_tests.cpp,
// linked into this program too.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/file_layer.h"
#include "platform/toolkit.h"
#include "platform/toolkit_driver.h"
#include "platform/win32/backend_win32.h"
#include "tests/toolkit/toolkit_test_support.h"

#include <shlobj.h>
#include <winioctl.h>

// <windows.h> names a function ReadFile too; this is the file layer's record.
typedef struct ReadFile FileRecord;

namespace {

using namespace toolkit_test;

HWND WindowOf(int control) {
    tk::win32::Control* found = tk::win32::FindControl(control);
    return found ? found->hwnd : nullptr;
}

class ToolkitEnvironment : public testing::Environment {
public:
    std::uintptr_t token = 0;
    void SetUp() override {
        tk::StartToolkit();
        tk::GdiplusStartup(&token);
        tk::OpenMainWindow(640, 480, "Toolkit tests \xC3\xA9");
    }
    void TearDown() override {
        tk::GdiplusShutdown(token);
        tk::StopToolkit();
    }
};

// ---- the window and events ---------------------------------------------------

TEST(Window, FixedCentredFrameTitleAndACloseRequestThatLeavesItOpen) {
    const tk::drive::Geometry client = tk::drive::WindowClientGeometry();
    EXPECT_EQ(client.width, 640);
    EXPECT_EQ(client.height, 480);
    EXPECT_FALSE(tk::drive::IsWindowResizable());
    EXPECT_EQ(tk::drive::WindowTitle(), "Toolkit tests \xC3\xA9");
    HWND window = tk::win32::MainWindow;
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    TakeEvents();
    tk::drive::RequestClose();
    EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::CloseRequest, -1), 1);
    EXPECT_TRUE(IsWindow(window) && IsWindowVisible(window));
}

TEST(Events, TextInputReportsEachUserEditButNotTheProgramsText) {
    const int input = NewControl();
    tk::CreateTextInput(input, 10, 10, 200, 20);
    TakeEvents();

    // Five characters, one of them two bytes, and one outside the 16-bit
    // range (a surrogate pair: still one character, one edit).
    tk::drive::TypeText(input, "h\xC3\xA9ll\xF0\x9F\x98\x80");
    EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::TextChanged, input), 5);
    EXPECT_EQ(tk::GetControlText(input), "h\xC3\xA9ll\xF0\x9F\x98\x80");

    tk::SetControlText(input, "set by the program");
    EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::TextChanged, input), 0);
    EXPECT_EQ(tk::GetControlText(input), "set by the program");

    tk::drive::ReplaceText(input, "pasted");
    EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::TextChanged, input), 1);
    EXPECT_EQ(tk::GetControlText(input), "pasted");

    // A push button reports its clicks, an option button nothing.
    const int button = NewControl();
    tk::CreatePushButton(button, 10, 40, 80, 20, "Go");
    const int option = NewControl();
    tk::CreateOptionButton(option, 100, 40, 80, 20, "One");
    tk::drive::ClickButton(button);
    tk::drive::CheckOption(option);
    const std::vector<tk::Event> events = TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, tk::EventKind::Click);
    EXPECT_EQ(events[0].control, button);
}

// Tab and Shift+Tab, as the keyboard brings them: through the message queue.
void PressTab(bool shift) {
    HWND focus = GetFocus();
    ASSERT_NE(focus, nullptr);
    if (shift) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = 0x80;
        SetKeyboardState(keys);
    }
    PostMessageW(focus, WM_KEYDOWN, VK_TAB, 0);
    PostMessageW(focus, WM_KEYUP, VK_TAB, 0xC0000000);
    TakeEvents();
    if (shift) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
    }
}

TEST(Focus, TabMovesBetweenTheControlsThatTakeItSkippingTheReadOnlyFields) {
    const int container = NewControl();
    tk::CreateContainer(container, 0, 300, 600, 100);
    tk::UseContainerAsParent(container);
    const int first = NewControl(), field = NewControl(), button = NewControl(), surface = NewControl();
    tk::CreateTextInput(first, 10, 10, 100, 20);
    tk::CreateRichTextField(field, 120, 10, 100, 40);
    tk::CreateDrawingSurface(surface, 230, 10, 50, 20);
    tk::CreatePushButton(button, 290, 10, 80, 20, "Next");
    tk::UseWindowAsParent();

    tk::GiveFocus(first);
    EXPECT_EQ(tk::drive::FocusedControl(), first);
    PressTab(false);
    EXPECT_EQ(tk::drive::FocusedControl(), button);
    PressTab(true);
    EXPECT_EQ(tk::drive::FocusedControl(), first);
}

TEST(Text, TheSystemCodePageGivesOneByteACharacter) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page here is " << GetACP() << ", not Windows-1252";
    const int input = NewControl();
    tk::CreateTextInput(input, 10, 10, 200, 20);
    tk::drive::ReplaceText(input, "caf\xC3\xA9 \xE2\x82\xAC");  // "café €"
    EXPECT_EQ(tk::GetTextInSystemCodePage(input), "caf\xE9 \x80");
    EXPECT_EQ(tk::GetControlText(input), "caf\xC3\xA9 \xE2\x82\xAC");
}

TEST(OptionButtons, ARunOfThemIsOneGroupAndAnyOtherControlEndsIt) {
    const int first[3] = {NewControl(), NewControl(), NewControl()};
    for (int i = 0; i < 3; ++i) tk::CreateOptionButton(first[i], 10 + 70 * i, 70, 60, 20, "SHA22" + std::to_string(i));
    const int between = NewControl();
    tk::CreateLabel(between, 10, 95, 100, 17, "between", tk::Align::Left);
    const int second = NewControl();
    tk::CreateOptionButton(second, 10, 115, 60, 20, "other");

    // The group starts at its first button, as the dialog keys expect.
    EXPECT_TRUE(GetWindowLongPtrW(WindowOf(first[0]), GWL_STYLE) & WS_GROUP);
    EXPECT_FALSE(GetWindowLongPtrW(WindowOf(first[1]), GWL_STYLE) & WS_GROUP);

    tk::SetChecked(first[0], true);
    tk::SetChecked(second, true);
    tk::drive::CheckOption(first[2]);
    EXPECT_FALSE(tk::IsChecked(first[0]));
    EXPECT_TRUE(tk::IsChecked(first[2]));
    EXPECT_TRUE(tk::IsChecked(second));  // another group

    tk::SetChecked(first[1], true);
    EXPECT_FALSE(tk::IsChecked(first[2]));
    tk::SetChecked(first[1], false);  // the program may leave none checked
    for (int option : first) EXPECT_FALSE(tk::IsChecked(option));
}

// ---- fonts ----------------------------------------------------------------------

TEST(Fonts, PointsBecomePixelsAndMissingFacesFallBackToTheSameKind) {
    HDC screen = GetDC(nullptr);
    const int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    struct Case {
        const char* face;
        int points;
        bool fixedPitch;
    } cases[] = {{"Lucida Console", 9, true}, {"courier new", 16, true}, {"comic Sans MS", 24, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face);
        const int font = tk::CreateFontFace(c.face, c.points, tk::FontWeight::Bold);
        ASSERT_GT(font, 0);
        const int label = NewControl();
        tk::CreateLabel(label, 300, 10, 100, 40, "Quorvil", tk::Align::Left);
        tk::SetControlFont(label, font);
        HWND hwnd = WindowOf(label);
        HFONT handle = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
        LOGFONTW description{};
        ASSERT_TRUE(GetObjectW(handle, sizeof description, &description));
        EXPECT_EQ(description.lfHeight, -MulDiv(c.points, pixelsPerInch, 72));
        EXPECT_EQ(description.lfWeight, FW_BOLD);

        HDC dc = GetDC(hwnd);
        HGDIOBJ old = SelectObject(dc, handle);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(hwnd, dc);
        EXPECT_FALSE(tk::drive::ControlFontFace(label).empty());
        // TMPF_FIXED_PITCH set means a variable pitch.
        if (c.fixedPitch) {
            EXPECT_FALSE(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) << tk::drive::ControlFontFace(label);
        }
    }
    EXPECT_EQ(tk::CreateFontFace(std::string(40, 'x'), 9, tk::FontWeight::Normal), 0);  // no such face name
}

// ---- rich-text fields -------------------------------------------------------------

TEST(RichText, LinesInsertedAtTheStartOfALineAndScrollBarsHidden) {
    const int field = NewControl();
    tk::CreateRichTextField(field, 10, 150, 300, 46);
    HWND hwnd = WindowOf(field);
    tk::SetControlText(field, "many\nlines\nto\nscroll\nthrough\nand a line far too long to fit the field's width");
    tk::ShowScrollBar(field, tk::ScrollBar::Vertical, false);
    tk::ShowScrollBar(field, tk::ScrollBar::Horizontal, false);
    EXPECT_FALSE(GetWindowLongPtrW(hwnd, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL));

    tk::SetControlText(field, "old content");
    tk::ClearRichText(field);
    tk::InsertRichTextLine(field, 0, "");
    tk::InsertRichTextLine(field, 1, "first half");
    tk::InsertRichTextLine(field, 2, "second half");
    EXPECT_EQ(tk::GetControlText(field), "\nfirst half\nsecond half\n");

    tk::InsertRichTextLine(field, 1, "in between");
    EXPECT_EQ(tk::GetControlText(field), "\nin between\nfirst half\nsecond half\n");
    tk::InsertRichTextLine(field, 99, "past the end");
    EXPECT_EQ(tk::GetControlText(field), "\nin between\nfirst half\nsecond half\npast the end\n");
    // The user cannot change it.
    EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_STYLE) & ES_READONLY);
}

// ---- the folder tree ----------------------------------------------------------------

std::vector<std::wstring> ChildTexts(HWND tree, HTREEITEM parent) {
    std::vector<std::wstring> texts;
    for (HTREEITEM child = TreeView_GetChild(tree, parent); child; child = TreeView_GetNextSibling(tree, child)) {
        wchar_t text[MAX_PATH] = L"";
        TVITEMW item{};
        item.mask = TVIF_TEXT | TVIF_HANDLE;
        item.hItem = child;
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        TreeView_GetItem(tree, &item);
        texts.push_back(text);
    }
    return texts;
}

std::string DocumentsText() {
    PWSTR path = nullptr;
    std::string text;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path))) text = tk::win32::Utf8(path) + "\\";
    CoTaskMemFree(path);
    return text;
}

TEST(FolderTree, TextsOfTheSelectedFolder) {
    const int tree = NewControl();
    tk::CreateFolderTree(tree, 0, 10, 245, 280);
    TempFolder folder;
    fs::create_directories(folder.path / "inner");
    TakeEvents();
    EXPECT_EQ(tk::GetControlText(tree), "");  // nothing selected at the start

    // The root holds the drives and, last, the documents folder.
    HWND hwnd = WindowOf(tree);
    std::vector<std::wstring> top = ChildTexts(hwnd, TreeView_GetRoot(hwnd));
    ASSERT_GE(top.size(), 2u);

    struct Case {
        std::string path;
        std::string text;
    } cases[] = {
        {Utf8Path(folder.path), folder.Text()},
        {Utf8Path(folder.path / "inner") + "\\", folder.Text() + "inner\\"},
        {"c:\\", "C:\\"},
        {"", ""},  // the computer
        {DocumentsText(), DocumentsText()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(tk::drive::SelectTreeFolder(tree, c.path));
        EXPECT_EQ(tk::GetControlText(tree), c.text);
        EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::TreeEvent, tree), 1);
    }
    EXPECT_FALSE(tk::drive::SelectTreeFolder(tree, Utf8Path(folder.path / "missing")));

    // A right click and a click on the selected folder are events of their
    // own and change nothing.
    ASSERT_TRUE(tk::drive::SelectTreeFolder(tree, Utf8Path(folder.path)));
    TakeEvents();
    tk::drive::RightClickTree(tree);
    ASSERT_TRUE(tk::drive::SelectTreeFolder(tree, Utf8Path(folder.path)));
    EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::TreeEvent, tree), 2);
    EXPECT_EQ(tk::GetControlText(tree), folder.Text());
}

TEST(FolderTree, SubfoldersSortedWithoutRegardToCaseAndExpandButtonsOnlyWhereTheyLead) {
    const int tree = NewControl();
    tk::CreateFolderTree(tree, 0, 10, 245, 280);
    TempFolder folder;
    for (const char* name : {"beta", "Alpha", "gamma", "\xC3\x89t\xC3\xA9"}) fs::create_directories(folder.path / fs::u8path(name));
    fs::create_directories(folder.path / "gamma" / "deeper");
    WriteFile(folder.path / "a file", "x");
    ASSERT_TRUE(tk::drive::SelectTreeFolder(tree, Utf8Path(folder.path / "beta")));

    HWND hwnd = WindowOf(tree);
    HTREEITEM parent = TreeView_GetParent(hwnd, TreeView_GetSelection(hwnd));
    std::vector<std::wstring> names = ChildTexts(hwnd, parent);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Alpha", L"beta", L"\u00c9t\u00e9", L"gamma"}));

    // Whether an item has children is asked when it is drawn.
    std::vector<int> buttons;
    for (HTREEITEM child = TreeView_GetChild(hwnd, parent); child; child = TreeView_GetNextSibling(hwnd, child)) {
        NMTVDISPINFOW info{};
        info.hdr.hwndFrom = hwnd;
        info.hdr.code = TVN_GETDISPINFOW;
        info.item.mask = TVIF_CHILDREN;
        info.item.hItem = child;
        TVITEMW item{};
        item.mask = TVIF_PARAM | TVIF_HANDLE;
        item.hItem = child;
        TreeView_GetItem(hwnd, &item);
        info.item.lParam = item.lParam;
        SendMessageW(GetParent(hwnd), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        buttons.push_back(info.item.cChildren);
    }
    EXPECT_EQ(buttons, (std::vector<int>{0, 0, 0, 1}));
}

// ---- the file list -----------------------------------------------------------------

TEST(FileList, ListsFilesOnlyHiddenOnesTooAndSortsByNameOnEveryListing) {
    const int list = NewControl();
    tk::CreateFileList(list, 245, 10, 246, 280);
    EXPECT_EQ(tk::CountListItems(list), 0);
    const char* titles[] = {"Name", "Size", "Type", "Modified"};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(tk::drive::GetListColumnWidth(list, column), 100);
        EXPECT_EQ(tk::drive::GetListColumnTitle(list, column), titles[column]);
    }

    TempFolder folder;
    WriteFile(folder.path / "b.txt", "123");
    WriteFile(folder.path / "A.dat", "1234567890");
    WriteFile(folder.path / "secret", "1");
    SetFileAttributesW((folder.path / "secret").c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteFile(folder.path / "c", "12345");
    fs::create_directories(folder.path / "subfolder");
    // The drive letter comes upper case, whatever the setting said.
    std::string setting = folder.Text();
    setting[0] = char(std::tolower(static_cast<unsigned char>(setting[0])));
    tk::SetFileListFolder(list, setting);
    // Listed at once, without waiting for the event loop.
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A.dat", "b.txt", "c", "secret"}));

    // Header clicks: a new column sorts ascending, the same column again reverses.
    struct Click {
        int column;
        std::vector<std::string> names;
    } clicks[] = {
        {0, {"secret", "c", "b.txt", "A.dat"}},
        {0, {"A.dat", "b.txt", "c", "secret"}},
        {1, {"secret", "b.txt", "c", "A.dat"}},  // by size in bytes
        {1, {"A.dat", "c", "b.txt", "secret"}},
    };
    tk::drive::SelectListItem(list, ItemNamed(list, "c"), true);
    for (const Click& click : clicks) {
        tk::drive::ClickListHeader(list, click.column);
        EXPECT_EQ(Names(list), click.names) << "after a click on column " << click.column;
        EXPECT_TRUE(tk::IsListItemSelected(list, ItemNamed(list, "c")));  // sorting keeps the selection
    }

    // Any new setting lists afresh: by name, nothing selected.
    tk::SetFileListFolder(list, folder.Text());
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A.dat", "b.txt", "c", "secret"}));
    for (int item = 0; item < 4; ++item) EXPECT_FALSE(tk::IsListItemSelected(list, item));

    tk::SetFileListFolder(list, "");
    EXPECT_EQ(tk::CountListItems(list), 0);
    EXPECT_EQ(tk::GetListItemText(list, 0, 0), "");
}

// ---- the task list ---------------------------------------------------------------------

// What the shared rows-and-cells test cannot see: the list view's styles.
TEST(TaskList, CheckBoxesGridLinesAndDoubleBuffering) {
    const int list = MakeTaskList(3);
    DWORD extended = DWORD(SendMessageW(WindowOf(list), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(extended & (LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER),
              DWORD(LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER));
}

// ---- drawing surfaces and arcs -----------------------------------------------------------

struct Point {
    double x, y;
};

// The point at an angle of an ellipse as GDI+ measures it: the direction
// from the centre, clockwise from the x axis, y down.
Point ArcPoint(double x, double y, double width, double height, double degrees) {
    const double a = width / 2, b = height / 2, t = degrees * 3.14159265358979323846 / 180;
    const double r = a * b / std::hypot(b * std::cos(t), a * std::sin(t));
    return Point{x + a + r * std::cos(t), y + b + r * std::sin(t)};
}

bool Painted(int surface, Point at) {
    return tk::drive::SurfacePixel(surface, int(std::lround(at.x)), int(std::lround(at.y))) != 0xFFFFFF;
}

// The shared tests check a surface's pixels; here, that it takes no focus.
TEST(Drawing, SurfaceIsNoTabStop) {
    const int surface = NewControl();
    tk::CreateDrawingSurface(surface, 300, 250, 200, 80);
    EXPECT_FALSE(GetWindowLongPtrW(WindowOf(surface), GWL_STYLE) & WS_TABSTOP);
}

TEST(Drawing, GdiPlusArcsRunClockwiseFromTheirStartAngle) {
    // The gradient ring's box on a 200 x 80 surface.
    const float x = 12, y = 12, w = 173, h = 53;
    struct Case {
        float start, sweep;
        std::vector<double> painted, blank;  // angles of points on the ellipse
    } cases[] = {
        {90, 90, {95, 135, 175}, {5, 200, 270, 315}},  // a quarter from the bottom to the left
        {90, 270, {100, 180, 270, 350}, {15, 45, 80}},  // three quarters, ending on the right
        {90, 360, {0, 45, 90, 180, 270}, {}},           // the whole ellipse
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("start " + std::to_string(c.start) + ", sweep " + std::to_string(c.sweep));
        const int surface = NewControl();
        tk::CreateDrawingSurface(surface, 10, 250, 200, 80);
        tk::Drawing* drawing = tk::BeginDrawing(surface);
        ASSERT_NE(drawing, nullptr);
        tk::GpGraphics* graphics = nullptr;
        tk::GpPen* pen = nullptr;
        EXPECT_EQ(tk::GdipCreateFromHDC(drawing, &graphics), 0);
        EXPECT_EQ(tk::GdipSetSmoothingMode(graphics, 4), 0);
        EXPECT_EQ(tk::GdipCreatePen1(0xFF000000, 3, 0, &pen), 0);
        EXPECT_EQ(tk::GdipSetPenEndCap(pen, 20), 0);
        EXPECT_EQ(tk::GdipDrawArc(graphics, pen, x, y, w, h, c.start, c.sweep), 0);
        tk::GdipDeletePen(pen);
        tk::GdipDeleteGraphics(graphics);
        tk::EndDrawing(drawing);
        for (double angle : c.painted) EXPECT_TRUE(Painted(surface, ArcPoint(x, y, w, h, angle))) << angle;
        for (double angle : c.blank) EXPECT_FALSE(Painted(surface, ArcPoint(x, y, w, h, angle))) << angle;
    }
}

// ---- screenshots --------------------------------------------------------------------------------

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    std::uint32_t At(int x, int y) const {
        const unsigned char* p = &rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
        return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
    }
};

Picture ReadPng(const fs::path& file) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        picture.width = int(image.width);
        picture.height = int(image.height);
    }
    return picture;
}

TEST(Screenshots, TheWindowAndASurfaceAsTheyAreShown) {
    TempFolder folder;
    const int strip = NewControl();
    tk::CreateContainer(strip, 20, 420, 100, 40);
    tk::SetControlBackground(strip, tk::Rgb{64, 64, 64});
    TakeEvents();

    const fs::path shot = folder.path / fs::u8path("window \xC3\xA9.png");
    ASSERT_TRUE(tk::drive::SaveWindowScreenshot(Utf8Path(shot)));
    Picture window = ReadPng(shot);
    RECT frame;
    GetWindowRect(tk::win32::MainWindow, &frame);
    ASSERT_EQ(window.width, frame.right - frame.left);
    ASSERT_EQ(window.height, frame.bottom - frame.top);
    // The strip's middle, from the window's corner through the client area.
    const tk::drive::Geometry client = tk::drive::WindowClientGeometry();
    EXPECT_EQ(window.At(client.x - frame.left + 70, client.y - frame.top + 440), 0x404040u);

    const int surface = NewControl();
    tk::CreateDrawingSurface(surface, 300, 400, 200, 80);
    tk::Drawing* drawing = tk::BeginDrawing(surface);
    ASSERT_NE(drawing, nullptr);
    tk::FillDrawingRect(drawing, 0, 0, 20, 10, 0x00EE00);
    tk::EndDrawing(drawing);
    const fs::path image = folder.path / "surface.png";
    ASSERT_TRUE(tk::drive::SaveControlImage(surface, Utf8Path(image)));
    Picture ring = ReadPng(image);
    ASSERT_EQ(ring.width, 200);
    ASSERT_EQ(ring.height, 80);
    EXPECT_EQ(ring.At(19, 9), 0x00EE00u);
    EXPECT_EQ(ring.At(20, 10), 0xFFFFFFu);
}

// ---- threads --------------------------------------------------------------------------------

// The shared tests cover safe points, stopping and the worker's requests;
// here, a user's click while the user-interface thread waits for a worker.
TEST(Threads, WaitingForTheEndLeavesTheUsersActionsForTheProgramsLoop) {
    const int button = NewControl();
    tk::CreatePushButton(button, 10, 200, 80, 20, "Abort");
    TakeEvents();
    // The user presses the button while the user-interface thread waits.
    PostMessageW(WindowOf(button), BM_CLICK, 0, 0);
    workerList = MakeTaskList(0);
    const int thread = tk::StartThread(WorkTheList, 5);
    ASSERT_GT(thread, 0);
    tk::WaitForThreadEnd(thread);
    EXPECT_EQ(tk::CountListItems(workerList), 5);
    EXPECT_TRUE(tk::win32::PendingEvents.empty());  // nothing handled yet
    EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::Click, button), 1);  // the loop gets it next
}

// ---- the clipboard ----------------------------------------------------------------------------

TEST(Clipboard, UnicodeAndEightBitReadersBothGetTheText) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page here is " << GetACP() << ", not Windows-1252";
    ASSERT_TRUE(tk::PutClipboardText("C:\\caf\xC3\xA9.txt\r\nSHA256: 00\r\n"));
    EXPECT_EQ(tk::drive::ReadClipboardText(), "C:\\caf\xC3\xA9.txt\r\nSHA256: 00\r\n");
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE eightBit = GetClipboardData(CF_TEXT);
    ASSERT_NE(eightBit, nullptr);
    std::string bytes = static_cast<const char*>(GlobalLock(eightBit));
    GlobalUnlock(eightBit);
    CloseClipboard();
    EXPECT_EQ(bytes, "C:\\caf\xE9.txt\r\nSHA256: 00\r\n");

    ASSERT_TRUE(tk::PutClipboardText(""));  // replaces what was there, also with nothing
    EXPECT_EQ(tk::drive::ReadClipboardText(), "");
}

// ---- the file layer ---------------------------------------------------------------------------

TEST(FileLayer, OnlyExistingRegularFilesOpen) {
    TempFolder folder;
    struct Case {
        const char* what;
        std::string path;
    } cases[] = {
        {"missing", Utf8Path(folder.path / "missing")},
        {"a folder", Utf8Path(folder.path)},
        {"a folder with its separator", folder.Text()},
        {"the null device", "NUL"},
        {"the console", "CON"},
        {"empty", ""},
        {"not UTF-8", Utf8Path(folder.path) + "\\\xFF\xFE"},
    };
    for (const Case& c : cases) {
        FileRecord* file = OpenReadFile(c.path);
        EXPECT_EQ(file, nullptr) << c.what;
        CloseReadFile(file);
    }
}

TEST(FileLayer, ReadsAnyNameInChunksUpToTheEndAndSharesOnlyReading) {
    TempFolder folder;
    // A name no 8-bit code page holds whole.
    const fs::path name = folder.path / fs::u8path("\xCE\xA9mega \xE6\x97\xA5\xE6\x9C\xAC \xC3\xA9.bin");
    std::string bytes(70000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + 3);
    WriteFile(name, bytes);

    FileRecord* file = OpenReadFile(Utf8Path(name));
    ASSERT_NE(file, nullptr);
    SetReadBufferSize(file, 65536);
    EXPECT_EQ(ReadFileLength(file), 70000);

    // While we read, others may read but not write.
    HANDLE reader = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    HANDLE writer = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

    std::string read;
    std::vector<char> buffer(100000);
    std::vector<int> chunks;
    while (!ReadFileAtEnd(file)) {
        int got = ReadFileBytes(file, buffer.data(), 100000);
        chunks.push_back(got);
        read.append(buffer.data(), std::size_t(got));
    }
    EXPECT_EQ(chunks, (std::vector<int>{65536, 70000 - 65536}));
    EXPECT_EQ(read, bytes);
    EXPECT_FALSE(ReadFileFailed(file));
    EXPECT_EQ(ReadFileBytes(file, buffer.data(), 10), 0);
    CloseReadFile(file);
}

TEST(FileLayer, LengthsPastFourGigabytes) {
    TempFolder folder;
    const fs::path name = folder.path / "large";
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    DeviceIoControl(handle, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);  // no room taken, where it can
    LARGE_INTEGER size;
    size.QuadPart = (std::int64_t{5} << 30) + 17;
    ASSERT_TRUE(SetFilePointerEx(handle, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(handle));
    CloseHandle(handle);

    FileRecord* file = OpenReadFile(Utf8Path(name));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadFileLength(file), (std::int64_t{5} << 30) + 17);
    CloseReadFile(file);
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new ToolkitEnvironment);
    return RUN_ALL_TESTS();
}
