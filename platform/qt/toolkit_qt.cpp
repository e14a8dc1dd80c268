// The Qt 6 backend of the toolkit: start and end, the window, fonts and
// images, the controls, their texts and states, events, and the requests by
// which other threads reach the user-interface thread.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFont>
#include <QFontDatabase>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTreeWidget>

#include <algorithm>
#include <condition_variable>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "platform/qt/qt_backend.h"

namespace tk::qt {
namespace {

// The window: a close request becomes an event of the program, and the
// window stays until the program ends.
class MainWindowWidget : public QWidget {
protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        QueueEvent(EventKind::CloseRequest, -1);
    }
};

struct Request {
    const std::function<void()>* work;
    bool done = false;
};

struct ToolkitState {
    QApplication* application = nullptr;
    MainWindowWidget* window = nullptr;
    QWidget* parent = nullptr;  // where new controls go
    std::map<int, Control> controls;
    std::map<int, QFont> fonts;
    int nextFont = 1;
    std::map<int, QImage> images;
    std::deque<Event> events;
    QButtonGroup* optionGroup = nullptr;  // the group the next option button joins
    std::thread::id uiThread;
};

ToolkitState state;

// Requests of other threads, and the object whose posted events wake the
// user-interface thread's wait.
std::mutex requestLock;
std::condition_variable requestDone;
std::deque<Request*> pendingRequests;
QObject* waker = nullptr;  // guarded by requestLock
std::vector<QWidget*> pendingRepaints;  // guarded by requestLock

QString ControlText(const Control& c) {
    switch (c.kind) {
    case ControlKind::TextInput:
        return static_cast<QLineEdit*>(c.widget)->text();
    case ControlKind::RichTextField:
        return static_cast<QTextEdit*>(c.widget)->toPlainText();
    case ControlKind::Label:
        return static_cast<QLabel*>(c.widget)->text();
    case ControlKind::PushButton:
    case ControlKind::OptionButton:
        return static_cast<QAbstractButton*>(c.widget)->text();
    case ControlKind::FolderTree:
        return FromUtf8(FolderTreeText(static_cast<QTreeWidget*>(c.widget)));
    default:
        return QString();
    }
}

// Every control but an option button ends the run of option buttons that
// form one group.
void PlaceControl(int control, ControlKind kind, QWidget* widget, int x, int y, int width, int height) {
    widget->setGeometry(x, y, width, height);
    AddControl(control, kind, widget);
    if (kind != ControlKind::OptionButton) state.optionGroup = nullptr;
    widget->show();
}

// When Qt cannot reach a display it ends the process with a trace; say
// plainly what is missing instead.
[[noreturn]] void NoDisplay() {
    std::fputs(
        "quorvil: there is no display to open the window on.\n"
        "Run it on a desktop session, or give it a virtual display: xvfb-run -a <program>\n"
        "(QT_QPA_PLATFORM=offscreen runs it without any display, invisibly).\n",
        stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) NoDisplay();
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

bool HasText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// The fallback faces for the faces the program asks for, of the same kind.
void AddFaceFallbacks() {
    const QStringList mono{"Liberation Mono", "DejaVu Sans Mono", "Noto Mono", "FreeMono", "Monospace"};
    QFont::insertSubstitutions("Lucida Console", mono);
    QFont::insertSubstitutions("Courier New", QStringList{"Liberation Mono", "Cousine"} + mono);
    QFont::insertSubstitutions("Comic Sans MS",
                               {"Comic Neue", "Comic Relief", "Comic Shanns", "DejaVu Sans", "Sans Serif"});
    QFont::insertSubstitutions("Liberation Sans", {"Arimo", "Arial", "DejaVu Sans", "Sans Serif"});
}

// The controls' own font: a plain sans-serif face of 8 points, as narrow as
// the desktop font the control sizes were made for (a caption such as
// "SHA224" beside its option mark fits in 60 pixels).
void SetControlsFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    double dpiY = 96.0;
    if (QScreen* screen = QGuiApplication::primaryScreen()) dpiY = screen->logicalDotsPerInchY();
    font.setPixelSize(std::max(1, int(std::lround(8 * dpiY / 72.0))));
    QApplication::setFont(font);
}

}  // namespace

// ---- shared within the backend ------------------------------------------------

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

Control* FindControl(int control) {
    auto found = state.controls.find(control);
    return found == state.controls.end() ? nullptr : &found->second;
}

Control* FindControl(int control, ControlKind kind) {
    Control* c = FindControl(control);
    return c != nullptr && c->kind == kind ? c : nullptr;
}

void AddControl(int control, ControlKind kind, QWidget* widget) {
    Control& c = state.controls[control];
    c.kind = kind;
    c.widget = widget;
    c.client = widget;
}

QWidget* CurrentParent() { return state.parent; }

int ControlOfWidget(const QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        for (const auto& [number, c] : state.controls)
            if (c.widget == widget) return number;
        if (widget == state.window) break;
    }
    return -1;
}

void QueueEvent(EventKind kind, int control) { state.events.push_back(Event{kind, control}); }

bool TakeEvent(Event& event) {
    if (state.events.empty()) return false;
    event = state.events.front();
    state.events.pop_front();
    return true;
}

bool OnUiThread() {
    // Before the toolkit starts there is no other thread of ours.
    return state.uiThread == std::thread::id() || std::this_thread::get_id() == state.uiThread;
}

void WakeUiThread() {
    std::lock_guard<std::mutex> hold(requestLock);
    if (waker != nullptr) QCoreApplication::postEvent(waker, new QEvent(QEvent::User));
}

void RunOnUiThread(const std::function<void()>& work) {
    Request request{&work};
    std::unique_lock<std::mutex> hold(requestLock);
    if (waker == nullptr) return;  // the toolkit is gone: nobody would serve it
    pendingRequests.push_back(&request);
    QCoreApplication::postEvent(waker, new QEvent(QEvent::User));
    requestDone.wait(hold, [&] { return request.done; });
}

void RepaintSoon(QWidget* widget) {
    std::lock_guard<std::mutex> hold(requestLock);
    if (waker == nullptr) return;
    if (std::find(pendingRepaints.begin(), pendingRepaints.end(), widget) == pendingRepaints.end())
        pendingRepaints.push_back(widget);
    QCoreApplication::postEvent(waker, new QEvent(QEvent::User));
}

void ServeRequests() {
    std::vector<QWidget*> repaints;
    {
        std::lock_guard<std::mutex> hold(requestLock);
        repaints.swap(pendingRepaints);
    }
    for (QWidget* widget : repaints) widget->repaint();
    for (;;) {
        Request* request = nullptr;
        {
            std::lock_guard<std::mutex> hold(requestLock);
            if (pendingRequests.empty()) return;
            request = pendingRequests.front();
            pendingRequests.pop_front();
        }
        try {
            (*request->work)();
        } catch (...) {
            // A request never throws into the thread that asked for it; the
            // thread is told nothing, as with any failed control operation.
        }
        {
            std::lock_guard<std::mutex> hold(requestLock);
            request->done = true;
        }
        requestDone.notify_all();
    }
}

}  // namespace tk::qt

namespace tk {

using namespace tk::qt;

// ---- start and end ----------------------------------------------------------

void StartToolkit() {
    if (state.application != nullptr) return;
    const bool platformChosen = HasText("QT_QPA_PLATFORM");
    const bool displayGiven = HasText("DISPLAY") || HasText("WAYLAND_DISPLAY");
    if (!platformChosen && !displayGiven) NoDisplay();
    if (platformChosen && !displayGiven) {
        const QByteArray platform = QByteArray(std::getenv("QT_QPA_PLATFORM")).toLower();
        if (platform.startsWith("xcb") || platform.startsWith("wayland")) NoDisplay();
    }

    static int argc = 1;
    static char name[] = "quorvil";
    static char* argv[] = {name, nullptr};
    QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    state.application = new QApplication(argc, argv);
    qInstallMessageHandler(previous);

    state.uiThread = std::this_thread::get_id();
    {
        std::lock_guard<std::mutex> hold(requestLock);
        waker = new QObject;
    }
    AddFaceFallbacks();
    SetControlsFont();
}

void StopToolkit() {
    if (state.application == nullptr) return;
    ReleaseThreads();
    ServeRequests();
    {
        std::lock_guard<std::mutex> hold(requestLock);
        delete waker;
        waker = nullptr;
        pendingRepaints.clear();
        // A thread still running asks in vain from now on; none waits for ever.
        for (Request* request : pendingRequests) request->done = true;
        pendingRequests.clear();
    }
    requestDone.notify_all();
    delete state.window;  // and every control with it
    state.window = nullptr;
    for (auto& [number, c] : state.controls) {
        ReleaseFileList(c);
        ReleaseSurface(c);
    }
    state.controls.clear();
    state.parent = nullptr;
    state.optionGroup = nullptr;
    state.fonts.clear();
    state.images.clear();
    state.events.clear();
    delete state.application;
    state.application = nullptr;
    state.uiThread = std::thread::id();
}

// ---- colours, fonts, images ----------------------------------------------------

int CreateFontFace(const std::string& face, int points, FontWeight weight) {
    return OnUi([&] {
        if (points <= 0 || state.application == nullptr) return 0;
        QFont font(FromUtf8(face));
        const QString lower = FromUtf8(face).toLower();
        if (lower.contains("console") || lower.contains("courier") || lower.contains("mono"))
            font.setStyleHint(QFont::TypeWriter);
        else if (lower.contains("comic"))
            font.setStyleHint(QFont::Cursive);
        double dpiY = 96.0;
        if (QScreen* screen = QGuiApplication::primaryScreen()) dpiY = screen->logicalDotsPerInchY();
        font.setPixelSize(std::max(1, int(std::lround(points * dpiY / 72.0))));
        font.setBold(weight == FontWeight::Bold);
        const int number = state.nextFont++;
        state.fonts[number] = font;
        return number;
    });
}

void StoreImage(int image, int width, int height, const unsigned char* rgba) {
    if (width <= 0 || height <= 0 || rgba == nullptr) return;
    QImage straight(rgba, width, height, width * 4, QImage::Format_RGBA8888);
    QImage stored = straight.convertToFormat(QImage::Format_ARGB32_Premultiplied);  // a deep copy
    OnUi([&] { state.images[image] = stored; });
}

// ---- the window ----------------------------------------------------------------

void OpenMainWindow(int clientWidth, int clientHeight, const std::string& title) {
    OnUi([&] {
        if (state.application == nullptr || state.window != nullptr) return;
        auto* window = new MainWindowWidget;
        window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
        window->setWindowTitle(FromUtf8(title));
        window->setFixedSize(clientWidth, clientHeight);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            window->move(area.center() - QPoint(clientWidth / 2, clientHeight / 2));
        }
        state.window = window;
        state.parent = window;
        window->show();
        window->activateWindow();
    });
}

// ---- where new controls go -----------------------------------------------------

void UseWindowAsParent() {
    OnUi([] {
        state.parent = state.window;
        state.optionGroup = nullptr;
    });
}

void UseContainerAsParent(int container) {
    OnUi([&] {
        if (Control* c = FindControl(container, ControlKind::Container)) state.parent = c->client;
        state.optionGroup = nullptr;
    });
}

void AddTab(int panel, const std::string& caption) {
    OnUi([&] {
        Control* c = FindControl(panel, ControlKind::TabPanel);
        if (c == nullptr) return;
        auto* page = new QWidget;
        static_cast<QTabWidget*>(c->widget)->addTab(page, FromUtf8(caption));
        state.parent = page;
        state.optionGroup = nullptr;
    });
}

// ---- creating controls -----------------------------------------------------------

void CreateContainer(int control, int x, int y, int width, int height) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        auto* frame = new QFrame(state.parent);
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        frame->setLineWidth(2);
        // Children sit in the area inside the border, as in a client area.
        auto* client = new QWidget(frame);
        client->setGeometry(2, 2, std::max(0, width - 4), std::max(0, height - 4));
        PlaceControl(control, ControlKind::Container, frame, x, y, width, height);
        state.controls[control].client = client;
    });
}

void CreateImageView(int control, int x, int y, int image) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        auto* view = new QLabel(state.parent);
        QSize size(0, 0);
        auto found = state.images.find(image);
        if (found != state.images.end()) {
            view->setPixmap(QPixmap::fromImage(found->second));
            size = found->second.size();
        }
        PlaceControl(control, ControlKind::ImageView, view, x, y, size.width(), size.height());
    });
}

void CreateLabel(int control, int x, int y, int width, int height, const std::string& text, Align align) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        auto* label = new QLabel(state.parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment((align == Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
        label->setText(FromUtf8(text));
        PlaceControl(control, ControlKind::Label, label, x, y, width, height);
    });
}

void CreateTabPanel(int control, int x, int y, int width, int height) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        auto* panel = new QTabWidget(state.parent);
        panel->setFocusPolicy(Qt::TabFocus);
        PlaceControl(control, ControlKind::TabPanel, panel, x, y, width, height);
        panel->setFocus(Qt::OtherFocusReason);
    });
}

void CreateTextInput(int control, int x, int y, int width, int height) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        auto* input = new QLineEdit(state.parent);
        input->setAlignment(Qt::AlignCenter);
        input->setFrame(true);
        input->setMaxLength(std::numeric_limits<int>::max());  // no limit of the toolkit's own
        QObject::connect(input, &QLineEdit::textEdited, input,
                         [control](const QString&) { QueueEvent(EventKind::TextChanged, control); });
        PlaceControl(control, ControlKind::TextInput, input, x, y, width, height);
    });
}

void CreateRichTextField(int control, int x, int y, int width, int height) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        auto* field = new QTextEdit(state.parent);
        field->setReadOnly(true);
        field->setAcceptRichText(false);
        field->setLineWrapMode(QTextEdit::NoWrap);  // a horizontal scroll bar: lines do not wrap
        field->document()->setDocumentMargin(1);
        field->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
        field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        PlaceControl(control, ControlKind::RichTextField, field, x, y, width, height);
    });
}

void CreateFolderTree(int control, int x, int y, int width, int height) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        CreateFolderTreeWidget(control, x, y, width, height);
        state.optionGroup = nullptr;
    });
}

void CreateFileList(int control, int x, int y, int width, int height) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        CreateFileListWidget(control, x, y, width, height);
        state.optionGroup = nullptr;
    });
}

void CreateOptionButton(int control, int x, int y, int width, int height, const std::string& text) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        auto* option = new QRadioButton(FromUtf8(text), state.parent);
        option->setStyleSheet(QStringLiteral("QRadioButton { spacing: 3px; }"));  // the caption fits beside the mark
        if (state.optionGroup == nullptr) {
            state.optionGroup = new QButtonGroup(state.parent);
            state.optionGroup->setExclusive(true);
        }
        state.optionGroup->addButton(option);
        PlaceControl(control, ControlKind::OptionButton, option, x, y, width, height);
    });
}

void CreatePushButton(int control, int x, int y, int width, int height, const std::string& text) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        auto* button = new QPushButton(FromUtf8(text), state.parent);
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, button,
                         [control] { QueueEvent(EventKind::Click, control); });
        PlaceControl(control, ControlKind::PushButton, button, x, y, width, height);
    });
}

void CreateTaskList(int control, int x, int y, int width, int height) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        CreateTaskListWidget(control, x, y, width, height);
        state.optionGroup = nullptr;
    });
}

void AddListColumn(int control, const std::string& title, int width) {
    OnUi([&] {
        Control* c = FindControl(control);
        if (c == nullptr || (c->kind != ControlKind::TaskList && c->kind != ControlKind::FileList)) return;
        auto* list = static_cast<QTableWidget*>(c->widget);
        const int column = list->columnCount();
        list->insertColumn(column);
        list->setHorizontalHeaderItem(column, new QTableWidgetItem(FromUtf8(title)));
        list->setColumnWidth(column, width);
    });
}

void CreateDrawingSurface(int control, int x, int y, int width, int height) {
    OnUi([&] {
        if (state.parent == nullptr) return;
        CreateSurfaceWidget(control, x, y, width, height);
        state.optionGroup = nullptr;
    });
}

void SetControlFont(int control, int font) {
    OnUi([&] {
        Control* c = FindControl(control);
        auto found = state.fonts.find(font);
        if (c == nullptr || found == state.fonts.end()) return;
        c->widget->setFont(found->second);
        if (c->kind == ControlKind::RichTextField)
            static_cast<QTextEdit*>(c->widget)->document()->setDefaultFont(found->second);
    });
}

void SetControlColours(int control, Rgb text, Rgb background) {
    OnUi([&] {
        Control* c = FindControl(control);
        if (c == nullptr) return;
        QPalette palette = c->widget->palette();
        palette.setColor(QPalette::WindowText, QColor(text.red, text.green, text.blue));
        palette.setColor(QPalette::Text, QColor(text.red, text.green, text.blue));
        palette.setColor(QPalette::Window, QColor(background.red, background.green, background.blue));
        c->widget->setPalette(palette);
        c->widget->setAutoFillBackground(true);
    });
}

void SetControlBackground(int control, Rgb background) {
    OnUi([&] {
        Control* c = FindControl(control);
        if (c == nullptr) return;
        QPalette palette = c->widget->palette();
        palette.setColor(QPalette::Window, QColor(background.red, background.green, background.blue));
        c->widget->setPalette(palette);
        c->widget->setAutoFillBackground(true);
    });
}

// ---- texts, states, focus, tabs ---------------------------------------------------

std::string GetControlText(int control) {
    return OnUi([&] {
        Control* c = FindControl(control);
        return c == nullptr ? std::string() : ToUtf8(ControlText(*c));
    });
}

void SetControlText(int control, const std::string& text) {
    OnUi([&] {
        Control* c = FindControl(control);
        if (c == nullptr) return;
        const QString value = FromUtf8(text);
        switch (c->kind) {
        case ControlKind::TextInput:
            static_cast<QLineEdit*>(c->widget)->setText(value);  // a program's change: no event
            break;
        case ControlKind::RichTextField:
            static_cast<QTextEdit*>(c->widget)->setPlainText(value);
            break;
        case ControlKind::Label:
            static_cast<QLabel*>(c->widget)->setText(value);
            break;
        case ControlKind::PushButton:
        case ControlKind::OptionButton:
            static_cast<QAbstractButton*>(c->widget)->setText(value);
            break;
        default:
            break;
        }
    });
}

std::string GetTextInSystemCodePage(int control) {
    return OnUi([&] {
        Control* c = FindControl(control);
        if (c == nullptr) return std::string();
        return ControlText(*c).toLocal8Bit().toStdString();
    });
}

bool IsChecked(int control) {
    return OnUi([&] {
        Control* c = FindControl(control, ControlKind::OptionButton);
        return c != nullptr && static_cast<QAbstractButton*>(c->widget)->isChecked();
    });
}

void SetChecked(int control, bool checked) {
    OnUi([&] {
        Control* c = FindControl(control, ControlKind::OptionButton);
        if (c == nullptr) return;
        auto* option = static_cast<QAbstractButton*>(c->widget);
        QButtonGroup* group = option->group();
        // An exclusive group keeps one button checked; the program may clear
        // them all, as a plain option button allows.
        if (!checked && group != nullptr) group->setExclusive(false);
        option->setChecked(checked);
        if (!checked && group != nullptr) group->setExclusive(true);
    });
}

void SelectTab(int panel, int index) {
    OnUi([&] {
        if (Control* c = FindControl(panel, ControlKind::TabPanel)) {
            auto* tabs = static_cast<QTabWidget*>(c->widget);
            if (index >= 0 && index < tabs->count()) tabs->setCurrentIndex(index);
        }
    });
}

void GiveFocus(int control) {
    OnUi([&] {
        if (Control* c = FindControl(control)) c->widget->setFocus(Qt::OtherFocusReason);
    });
}

// ---- window messages the program sends itself -------------------------------------

void ShowScrollBar(int control, ScrollBar bar, bool show) {
    OnUi([&] {
        Control* c = FindControl(control);
        auto* area = c == nullptr ? nullptr : qobject_cast<QAbstractScrollArea*>(c->widget);
        if (area == nullptr) return;
        const Qt::ScrollBarPolicy policy = show ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
        if (bar == ScrollBar::Vertical)
            area->setVerticalScrollBarPolicy(policy);
        else
            area->setHorizontalScrollBarPolicy(policy);
    });
}

void SetRedraw(int control, bool redraw) {
    OnUi([&] {
        Control* c = FindControl(control);
        if (c == nullptr) return;
        c->widget->setUpdatesEnabled(redraw);
        if (redraw) c->widget->update();
    });
}

void ScrollList(int control, int dx, int dy) {
    OnUi([&] {
        Control* c = FindControl(control);
        if (c == nullptr || (c->kind != ControlKind::TaskList && c->kind != ControlKind::FileList)) return;
        auto* list = static_cast<QTableWidget*>(c->widget);
        list->doItemsLayout();  // the scroll ranges of rows added just now
        // The list scrolls in whole rows: any part of a row counts as a row.
        const int rowHeight = std::max(1, list->verticalHeader()->defaultSectionSize());
        const int rows = dy >= 0 ? (dy + rowHeight - 1) / rowHeight : -((-dy + rowHeight - 1) / rowHeight);
        QScrollBar* vertical = list->verticalScrollBar();
        vertical->setValue(vertical->value() + rows);
        QScrollBar* horizontal = list->horizontalScrollBar();
        horizontal->setValue(horizontal->value() + dx);
    });
}

// ---- rich-text fields ------------------------------------------------------------

void ClearRichText(int control) {
    OnUi([&] {
        if (Control* c = FindControl(control, ControlKind::RichTextField))
            static_cast<QTextEdit*>(c->widget)->document()->clear();
    });
}

void InsertRichTextLine(int control, int line, const std::string& text) {
    OnUi([&] {
        Control* c = FindControl(control, ControlKind::RichTextField);
        if (c == nullptr) return;
        QTextDocument* document = static_cast<QTextEdit*>(c->widget)->document();
        // A cursor of its own: the field's selection and view stay as they are.
        QTextCursor cursor(document);
        const QTextBlock block = document->findBlockByNumber(std::max(0, line));
        if (block.isValid())
            cursor.setPosition(block.position());
        else
            cursor.movePosition(QTextCursor::End);
        cursor.insertText(FromUtf8(text) + QLatin1Char('\n'));
    });
}

// ---- events ----------------------------------------------------------------------

Event WaitForEvent() {
    Event event{EventKind::Other, -1};
    for (;;) {
        ServeRequests();
        if (TakeEvent(event)) return event;
        if (state.application == nullptr) return Event{EventKind::CloseRequest, -1};
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

// ---- clipboard, time ----------------------------------------------------------------

bool PutClipboardText(const std::string& text) {
    return OnUi([&] {
        QClipboard* clipboard = state.application == nullptr ? nullptr : QGuiApplication::clipboard();
        if (clipboard == nullptr) return false;
        clipboard->setText(FromUtf8(text));
        return true;
    });
}

void SleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace tk

// ---- for the driver --------------------------------------------------------------------

namespace tk::qt {

QWidget* MainWindow() { return state.window; }

}  // namespace tk::qt
