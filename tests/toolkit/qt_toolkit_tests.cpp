// The Qt backend on a real (offscreen) window: the arcs' pixels, the folder
// tree's texts, the file list's listing and sorting, the task list's
// scrolling, events, fonts and rich-text lines. What every backend passes
// alike (relisting, the task list's rows, a surface's pixels, threads) is in
// shared_toolkit_tests.cpp, linked into this program too.
#include <QApplication>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTableWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/toolkit.h"
#include "platform/toolkit_driver.h"
#include "tests/toolkit/toolkit_test_support.h"

namespace {

using namespace toolkit_test;

fs::path TestHome() {
    static const fs::path home = fs::temp_directory_path() / ("qt_toolkit_home_" + std::to_string(::getpid()));
    return home;
}

QWidget* Window() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle().startsWith("Toolkit tests")) return widget;
    return nullptr;
}

// The widget of this kind made last on the window.
template <typename T>
T* LastMade() {
    QList<T*> found = Window()->findChildren<T*>(Qt::FindDirectChildrenOnly);
    return found.isEmpty() ? nullptr : found.back();
}

class ToolkitEnvironment : public testing::Environment {
public:
    void SetUp() override {
        // A home of our own, so the tree's documents folder is known.
        fs::create_directories(TestHome() / "Documents" / "Letters");
        setenv("HOME", TestHome().c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        tk::StartToolkit();
        tk::OpenMainWindow(640, 480, "Toolkit tests \xC3\xA9");
    }
    void TearDown() override {
        tk::StopToolkit();
        std::error_code ignored;
        fs::remove_all(TestHome(), ignored);
    }
};

// ---- the window and events ---------------------------------------------------------

TEST(Window, FixedClientAreaTitleAndACloseRequestThatLeavesItOpen) {
    const tk::drive::Geometry client = tk::drive::WindowClientGeometry();
    EXPECT_EQ(client.width, 640);
    EXPECT_EQ(client.height, 480);
    EXPECT_FALSE(tk::drive::IsWindowResizable());
    EXPECT_EQ(tk::drive::WindowTitle(), "Toolkit tests \xC3\xA9");

    TakeEvents();
    tk::drive::RequestClose();
    const std::vector<tk::Event> events = TakeEvents();
    EXPECT_EQ(CountEvents(events, tk::EventKind::CloseRequest, -1), 1);
    EXPECT_TRUE(Window()->isVisible());
}

TEST(Events, TextInputReportsEachUserEditButNotTheProgramsText) {
    const int input = NewControl();
    tk::CreateTextInput(input, 10, 10, 200, 20);
    TakeEvents();

    tk::drive::TypeText(input, "h\xC3\xA9llo");  // five characters, one of them two bytes
    EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::TextChanged, input), 5);
    EXPECT_EQ(tk::GetControlText(input), "h\xC3\xA9llo");

    tk::SetControlText(input, "set by the program");
    EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::TextChanged, input), 0);

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

TEST(OptionButtons, ARunOfThemIsOneGroupAndAnyOtherControlEndsIt) {
    const int first[3] = {NewControl(), NewControl(), NewControl()};
    for (int i = 0; i < 3; ++i) tk::CreateOptionButton(first[i], 10 + 70 * i, 70, 60, 20, "SHA22" + std::to_string(i));
    const int between = NewControl();
    tk::CreateLabel(between, 10, 95, 100, 17, "between", tk::Align::Left);
    const int second = NewControl();
    tk::CreateOptionButton(second, 10, 115, 60, 20, "other");

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

// ---- fonts ------------------------------------------------------------------------------

TEST(Fonts, PointsBecomePixelsAndMissingFacesFallBackToTheSameKind) {
    const double dpiY = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    struct Case {
        const char* face;
        int points;
        bool monospaced;
    } cases[] = {{"Lucida Console", 9, true}, {"courier new", 16, true}, {"comic Sans MS", 24, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face);
        const int font = tk::CreateFontFace(c.face, c.points, tk::FontWeight::Bold);
        ASSERT_GT(font, 0);
        const int label = NewControl();
        tk::CreateLabel(label, 300, 10, 100, 40, "Quorvil", tk::Align::Left);
        tk::SetControlFont(label, font);
        const QWidget* widget = LastMade<QLabel>();
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->font().pixelSize(), int(std::lround(c.points * dpiY / 72.0)));
        EXPECT_TRUE(widget->font().bold());
        const std::string face = tk::drive::ControlFontFace(label);
        EXPECT_FALSE(face.empty());
        if (c.monospaced) {
            EXPECT_TRUE(QFontDatabase::isFixedPitch(QString::fromStdString(face))) << face;
        }
    }
}

// ---- rich-text fields -----------------------------------------------------------------------

TEST(RichText, LinesInsertedAtTheStartOfALine) {
    const int field = NewControl();
    tk::CreateRichTextField(field, 10, 150, 300, 46);
    tk::ShowScrollBar(field, tk::ScrollBar::Vertical, false);
    tk::ShowScrollBar(field, tk::ScrollBar::Horizontal, false);
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
}

// ---- the folder tree -------------------------------------------------------------------------

TEST(FolderTree, TextsOfTheSelectedFolder) {
    const int tree = NewControl();
    tk::CreateFolderTree(tree, 0, 10, 245, 280);
    TempFolder folder;
    fs::create_directories(folder.path / "inner");
    TakeEvents();
    EXPECT_EQ(tk::GetControlText(tree), "");  // nothing selected at the start

    struct Case {
        std::string path;
        std::string text;
    } cases[] = {
        {folder.path.string(), folder.Text()},
        {(folder.path / "inner").string() + "/", folder.Text() + "inner/"},
        {"/", "/"},
        {"", ""},  // the computer
        {(TestHome() / "Documents").string(), (TestHome() / "Documents").string() + "/"},
        {(TestHome() / "Documents" / "Letters").string(), (TestHome() / "Documents" / "Letters").string() + "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(tk::drive::SelectTreeFolder(tree, c.path));
        EXPECT_EQ(tk::GetControlText(tree), c.text);
        EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::TreeEvent, tree), 1);
    }
    EXPECT_FALSE(tk::drive::SelectTreeFolder(tree, (folder.path / "missing").string()));

    // A right click is an event of its own and changes nothing.
    ASSERT_TRUE(tk::drive::SelectTreeFolder(tree, folder.path.string()));
    TakeEvents();
    tk::drive::RightClickTree(tree);
    EXPECT_EQ(CountEvents(TakeEvents(), tk::EventKind::TreeEvent, tree), 1);
    EXPECT_EQ(tk::GetControlText(tree), folder.Text());
}

TEST(FolderTree, SubfoldersSortedWithoutRegardToCaseAndExpandButtonsOnlyWhereTheyLead) {
    const int tree = NewControl();
    tk::CreateFolderTree(tree, 0, 10, 245, 280);
    TempFolder folder;
    for (const char* name : {"beta", "Alpha", "gamma", ".hidden"}) fs::create_directories(folder.path / name);
    fs::create_directories(folder.path / "gamma" / "deeper");
    WriteFile(folder.path / "a file", "x");
    ASSERT_TRUE(tk::drive::SelectTreeFolder(tree, folder.path.string()));
    ASSERT_TRUE(tk::drive::SelectTreeFolder(tree, (folder.path / "beta").string()));

    QTreeWidget* widget = nullptr;
    for (QTreeWidget* candidate : Window()->findChildren<QTreeWidget*>())
        if (candidate->selectedItems().size() == 1 &&
            candidate->selectedItems().front()->text(0) == "beta")
            widget = candidate;
    ASSERT_NE(widget, nullptr);
    const QTreeWidgetItem* parent = widget->selectedItems().front()->parent();
    QStringList names;
    for (int i = 0; i < parent->childCount(); ++i) names << parent->child(i)->text(0);
    EXPECT_EQ(names, (QStringList{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(parent->child(0)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    EXPECT_EQ(parent->child(2)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

// ---- the file list -----------------------------------------------------------------------------

TEST(FileList, ListsFilesOnlyAndSortsByNameOnEveryListing) {
    const int list = NewControl();
    tk::CreateFileList(list, 245, 10, 246, 280);
    EXPECT_EQ(tk::CountListItems(list), 0);
    for (int column = 0; column < 4; ++column) EXPECT_EQ(tk::drive::GetListColumnWidth(list, column), 100);

    TempFolder folder;
    WriteFile(folder.path / "b.txt", "123");
    WriteFile(folder.path / "A.dat", "1234567890");
    WriteFile(folder.path / ".hidden", "1");
    WriteFile(folder.path / "c", "12345");
    fs::create_directories(folder.path / "subfolder");
    tk::SetFileListFolder(list, folder.Text());
    // Listed at once, without waiting for the event loop.
    EXPECT_EQ(Names(list), (std::vector<std::string>{".hidden", "A.dat", "b.txt", "c"}));

    // Header clicks: a new column sorts ascending, the same column again reverses.
    struct Click {
        int column;
        std::vector<std::string> names;
    } clicks[] = {
        {0, {"c", "b.txt", "A.dat", ".hidden"}},
        {0, {".hidden", "A.dat", "b.txt", "c"}},
        {1, {".hidden", "b.txt", "c", "A.dat"}},  // by size in bytes
        {1, {"A.dat", "c", "b.txt", ".hidden"}},
    };
    tk::drive::SelectListItem(list, ItemNamed(list, "c"), true);
    for (const Click& click : clicks) {
        tk::drive::ClickListHeader(list, click.column);
        EXPECT_EQ(Names(list), click.names) << "after a click on column " << click.column;
        EXPECT_TRUE(tk::IsListItemSelected(list, ItemNamed(list, "c")));  // sorting keeps the selection
    }

    // Any new setting lists afresh: by name, nothing selected.
    tk::SetFileListFolder(list, folder.Text());
    EXPECT_EQ(Names(list), (std::vector<std::string>{".hidden", "A.dat", "b.txt", "c"}));
    for (int item = 0; item < 4; ++item) EXPECT_FALSE(tk::IsListItemSelected(list, item));

    tk::SetFileListFolder(list, "");
    EXPECT_EQ(tk::CountListItems(list), 0);
    EXPECT_EQ(tk::GetListItemText(list, 0, 0), "");
}

// ---- the task list ------------------------------------------------------------------------------

TEST(TaskList, ScrollsInWholeRowsRoundingUp) {
    const int list = MakeTaskList(40);
    TakeEvents();
    ASSERT_NE(LastMade<QTableWidget>(), nullptr);
    const int rowHeight = LastMade<QTableWidget>()->verticalHeader()->defaultSectionSize();
    ASSERT_GE(rowHeight, 14);
    struct Case {
        int dy;
        int firstVisible;
    } cases[] = {{14, 1}, {14, 2}, {2 * rowHeight, 4}, {2 * rowHeight + 1, 7}, {-1, 6}, {0, 6}};
    EXPECT_EQ(tk::drive::FirstVisibleListItem(list), 0);
    for (const Case& c : cases) {
        tk::ScrollList(list, 0, c.dy);
        EXPECT_EQ(tk::drive::FirstVisibleListItem(list), c.firstVisible) << "after scrolling by " << c.dy;
    }
}

// ---- drawing surfaces and arcs --------------------------------------------------------------------

// The point at an angle of an ellipse as GDI+ measures it: the direction
// from the centre, clockwise from the x axis, y down.
QPointF ArcPoint(double x, double y, double width, double height, double degrees) {
    const double a = width / 2, b = height / 2, t = degrees * M_PI / 180;
    const double r = a * b / std::hypot(b * std::cos(t), a * std::sin(t));
    return QPointF(x + a + r * std::cos(t), y + b + r * std::sin(t));
}

struct ArcPen {
    std::uint32_t argb;
    float width;
    int endCap;
};

// Draws one arc on a fresh surface as the progress ring does.
int DrawArc(const ArcPen& pen, float x, float y, float width, float height, float start, float sweep,
            bool smooth = false) {
    const int surface = NewControl();
    tk::CreateDrawingSurface(surface, 10, 250, 200, 80);
    tk::Drawing* drawing = tk::BeginDrawing(surface);
    EXPECT_NE(drawing, nullptr);
    tk::GpGraphics* graphics = nullptr;
    tk::GpPen* gpPen = nullptr;
    EXPECT_EQ(tk::GdipCreateFromHDC(drawing, &graphics), 0);
    EXPECT_EQ(tk::GdipSetSmoothingMode(graphics, smooth ? 4 : 3), 0);
    EXPECT_EQ(tk::GdipCreatePen1(pen.argb, pen.width, 0, &gpPen), 0);
    EXPECT_EQ(tk::GdipSetPenEndCap(gpPen, pen.endCap), 0);
    EXPECT_EQ(tk::GdipDrawArc(graphics, gpPen, x, y, width, height, start, sweep), 0);
    tk::GdipDeletePen(gpPen);
    tk::GdipDeleteGraphics(graphics);
    tk::EndDrawing(drawing);
    return surface;
}

bool Painted(int surface, QPointF at) {
    return tk::drive::SurfacePixel(surface, int(std::lround(at.x())), int(std::lround(at.y()))) != 0xFFFFFF;
}

TEST(Drawing, ArcsRunClockwiseFromTheirStartAngleMeasuredAsGdiPlusDoes) {
    // The gradient ring's box on a 200 x 80 surface.
    const float x = 12, y = 12, w = 173, h = 53;
    struct Case {
        float start, sweep;
        std::vector<double> painted, blank;  // angles of points on the ellipse
    } cases[] = {
        {90, 90, {95, 135, 175}, {5, 200, 270, 315}},      // a quarter from the bottom to the left
        {90, 270, {100, 180, 270, 350}, {15, 45, 80}},      // three quarters, ending on the right
        {90, 360, {0, 45, 90, 180, 270}, {}},               // the whole ellipse
        {0, 45, {5, 25, 40}, {55, 70, 100, 300}},            // a true 45 degrees, not the parametric one
        {90, -90, {30, 60, 85}, {100, 180, 270}},           // a negative sweep runs counter-clockwise
        {90, 720, {0, 90, 180, 270}, {}},                   // more than a turn is one turn
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("start " + std::to_string(c.start) + ", sweep " + std::to_string(c.sweep));
        const int surface = DrawArc({0xFF000000, 3, 0}, x, y, w, h, c.start, c.sweep);
        for (double angle : c.painted) EXPECT_TRUE(Painted(surface, ArcPoint(x, y, w, h, angle))) << angle;
        for (double angle : c.blank) EXPECT_FALSE(Painted(surface, ArcPoint(x, y, w, h, angle))) << angle;
    }
}

TEST(Drawing, ArrowAnchorSitsOnTheMovingEndPointingAlongTheArc) {
    const float x = 12, y = 12, w = 173, h = 53;
    // Three quarters from the bottom end on the right, heading down.
    const QPointF end = ArcPoint(x, y, w, h, 0);
    const int plain = DrawArc({0xFF00AA00, 12, 0}, x, y, w, h, 90, 270);
    const int arrow = DrawArc({0xFF00AA00, 12, 20}, x, y, w, h, 90, 270);
    // Beside the line, within the head that widens behind the tip.
    const QPointF beside = end + QPointF(9, -20);
    EXPECT_FALSE(Painted(plain, beside));
    EXPECT_TRUE(Painted(arrow, beside));
    EXPECT_TRUE(Painted(arrow, end + QPointF(-9, -20)));
    // Nothing beyond the tip, and the flat start has no head.
    EXPECT_FALSE(Painted(arrow, end + QPointF(0, 4)));
    const QPointF start = ArcPoint(x, y, w, h, 90);
    EXPECT_FALSE(Painted(arrow, start + QPointF(3, 10)));
    EXPECT_FALSE(Painted(arrow, start + QPointF(3, -10)));
}

TEST(Drawing, GradientPenRunsFromTheFirstColourToTheSecondAndRepeats) {
    const int surface = NewControl();
    tk::CreateDrawingSurface(surface, 10, 250, 200, 80);
    const tk::PointF from{0, 0}, to{100, 0};
    tk::GpBrush* brush = nullptr;
    ASSERT_EQ(tk::GdipCreateLineBrush(&from, &to, 0xFFFF0000, 0xFF0000FF, 0, &brush), 0);
    tk::GpPen* pen = nullptr;
    ASSERT_EQ(tk::GdipCreatePen2(brush, 60, 0, &pen), 0);
    tk::Drawing* drawing = tk::BeginDrawing(surface);
    tk::GpGraphics* graphics = nullptr;
    ASSERT_EQ(tk::GdipCreateFromHDC(drawing, &graphics), 0);
    tk::GdipSetSmoothingMode(graphics, 4);
    // A thick flat arc over the whole surface: the top of a wide ellipse.
    tk::GdipDrawArc(graphics, pen, -200, 30, 600, 400, 180, 180);
    tk::GdipDeleteGraphics(graphics);
    tk::GdipDeletePen(pen);
    tk::EndDrawing(drawing);
    const auto red = [&](int px) { return (tk::drive::SurfacePixel(surface, px, 35) >> 16) & 0xFF; };
    const auto blue = [&](int px) { return tk::drive::SurfacePixel(surface, px, 35) & 0xFF; };
    EXPECT_GT(red(2), 230u);
    EXPECT_LT(blue(2), 25u);
    EXPECT_LT(red(98), 25u);
    EXPECT_GT(blue(98), 230u);
    EXPECT_NEAR(double(red(150)), double(red(50)), 8.0);  // tiled: the second run repeats the first
    std::uintptr_t token = 0;
    EXPECT_EQ(tk::GdiplusStartup(&token), 0);
    EXPECT_NE(token, 0u);
    tk::GdiplusShutdown(token);  // releases the brush
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new ToolkitEnvironment);
    return RUN_ALL_TESTS();
}
