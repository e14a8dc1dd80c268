// Acting as the user and looking at the window, for the scenario tests: each
// action goes through the widget's own API that a user's action takes, so it
// raises the same signals.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QFontInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>

#include "platform/qt/qt_backend.h"
#include "platform/toolkit_driver.h"

namespace tk::drive {

using namespace tk::qt;

bool PollEvent(Event& event) {
    ServeRequests();
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents(QEventLoop::AllEvents);
    ServeRequests();
    return TakeEvent(event);
}

void TypeText(int control, const std::string& text) {
    Control* c = FindControl(control, ControlKind::TextInput);
    if (c == nullptr) return;
    auto* input = static_cast<QLineEdit*>(c->widget);
    const QString typed = FromUtf8(text);
    // One key at a time; a character outside the basic plane is one key too.
    for (qsizetype at = 0; at < typed.size();) {
        const qsizetype length = typed[at].isHighSurrogate() && at + 1 < typed.size() ? 2 : 1;
        input->insert(typed.mid(at, length));
        at += length;
    }
}

void ReplaceText(int control, const std::string& text) {
    Control* c = FindControl(control, ControlKind::TextInput);
    if (c == nullptr) return;
    auto* input = static_cast<QLineEdit*>(c->widget);
    input->selectAll();
    input->insert(FromUtf8(text));
}

void ClickButton(int control) {
    Control* c = FindControl(control);
    if (c != nullptr && (c->kind == ControlKind::PushButton || c->kind == ControlKind::OptionButton))
        static_cast<QAbstractButton*>(c->widget)->click();
}

void CheckOption(int control) {
    if (Control* c = FindControl(control, ControlKind::OptionButton))
        static_cast<QAbstractButton*>(c->widget)->click();
}

void RequestClose() {
    if (QWidget* window = MainWindow()) window->close();
}

std::string ReadClipboardText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard == nullptr ? std::string() : ToUtf8(clipboard->text());
}

int SelectedTab(int panel) {
    Control* c = FindControl(panel, ControlKind::TabPanel);
    return c == nullptr ? -1 : static_cast<QTabWidget*>(c->widget)->currentIndex();
}

int FocusedControl() {
    QWidget* focused = QApplication::focusWidget();
    if (focused == nullptr && MainWindow() != nullptr) focused = MainWindow()->focusWidget();
    return focused == nullptr ? -1 : ControlOfWidget(focused);
}

Geometry ControlGeometry(int control) {
    Control* c = FindControl(control);
    if (c == nullptr) return Geometry{0, 0, 0, 0};
    const QRect area = c->widget->geometry();
    return Geometry{area.x(), area.y(), area.width(), area.height()};
}

Geometry WindowClientGeometry() {
    QWidget* window = MainWindow();
    if (window == nullptr) return Geometry{0, 0, 0, 0};
    const QRect area = window->geometry();
    return Geometry{area.x(), area.y(), area.width(), area.height()};
}

std::string WindowTitle() {
    QWidget* window = MainWindow();
    return window == nullptr ? std::string() : ToUtf8(window->windowTitle());
}

bool IsWindowResizable() {
    QWidget* window = MainWindow();
    if (window == nullptr) return false;
    const Qt::WindowFlags flags = window->windowFlags();
    return window->minimumSize() != window->maximumSize() || (flags & Qt::WindowMaximizeButtonHint) ||
           (flags & Qt::WindowMinimizeButtonHint);
}

std::string ControlFontFace(int control) {
    Control* c = FindControl(control);
    return c == nullptr ? std::string() : ToUtf8(QFontInfo(c->widget->font()).family());
}

bool SaveWindowScreenshot(const std::string& pngPath) {
    QWidget* window = MainWindow();
    return window != nullptr && window->grab().save(FromUtf8(pngPath), "PNG");
}

bool SaveControlImage(int control, const std::string& pngPath) {
    Control* c = FindControl(control);
    return c != nullptr && c->widget->grab().save(FromUtf8(pngPath), "PNG");
}

}  // namespace tk::drive
