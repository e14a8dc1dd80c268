// What the files of the Qt backend share among themselves: the control table,
// the program's event queue and the way other threads reach the
// user-interface thread. Nothing outside platform/qt includes this.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <mutex>
#include <string>
#include <type_traits>

#include "platform/toolkit.h"

class QButtonGroup;
class QFileSystemWatcher;
class QSocketNotifier;
class QTableWidget;
class QTreeWidget;

namespace tk::qt {

enum class ControlKind {
    Container,
    ImageView,
    Label,
    TabPanel,
    TextInput,
    RichTextField,
    FolderTree,
    FileList,
    OptionButton,
    PushButton,
    TaskList,
    DrawingSurface,
};

// A drawing surface's own image. A drawing (on any thread) holds `lock`
// while it works on `image`; when it ends, a copy goes to `shown`, which the
// widget paints. The user-interface thread so never waits for a drawing, and
// a thread may hold one open while the user-interface thread paints.
struct SurfaceImage {
    std::mutex lock;
    QImage image;
    std::mutex shownLock;
    QImage shown;
    int width = 0;   // fixed at creation, readable from any thread
    int height = 0;
    QWidget* widget = nullptr;
};

// The folder a file list shows and the watch that keeps it fresh.
struct FileListState {
    QString folder;     // "" when the list shows nothing
    int sortColumn = 0;
    bool sortAscending = true;
    int watcher = -1;   // inotify descriptor
    int watch = -1;     // the folder's watch on it, -1 when none
};

struct Control {
    ControlKind kind;
    QWidget* widget = nullptr;  // the control itself
    QWidget* client = nullptr;  // where children go (containers), else the widget
    FileListState* files = nullptr;
    SurfaceImage* surface = nullptr;
};

// ---- the control table (user-interface thread) ----------------------------

Control* FindControl(int control);
Control* FindControl(int control, ControlKind kind);
void AddControl(int control, ControlKind kind, QWidget* widget);
QWidget* CurrentParent();
QWidget* MainWindow();
int ControlOfWidget(const QWidget* widget);  // -1 when it is none of ours

// ---- events -----------------------------------------------------------------

void QueueEvent(EventKind kind, int control);
bool TakeEvent(Event& event);

// ---- the user-interface thread and requests from other threads ----------------

bool OnUiThread();
// Runs `work` on the user-interface thread and waits until it is done.
void RunOnUiThread(const std::function<void()>& work);
template <typename F>
auto OnUi(F work) -> decltype(work()) {
    using Result = decltype(work());
    if (OnUiThread()) return work();
    if constexpr (std::is_void_v<Result>) {
        RunOnUiThread(work);
    } else {
        Result result{};
        RunOnUiThread([&] { result = work(); });
        return result;
    }
}
// Carries out the requests waiting for the user-interface thread.
void ServeRequests();
// Wakes the user-interface thread's wait; from any thread.
void WakeUiThread();
// Has the user-interface thread repaint a widget when it next serves
// requests, without waiting for it; from any thread.
void RepaintSoon(QWidget* widget);

// ---- parts kept in their own files ---------------------------------------------

void CreateFolderTreeWidget(int control, int x, int y, int width, int height);
void CreateFileListWidget(int control, int x, int y, int width, int height);
void CreateTaskListWidget(int control, int x, int y, int width, int height);
void CreateSurfaceWidget(int control, int x, int y, int width, int height);
// After the widgets are gone: what a file list and a surface keep besides.
void ReleaseFileList(Control& control);
void ReleaseSurface(Control& control);
void ReleaseThreads();
std::string FolderTreeText(QTreeWidget* tree);
// Lists a file list's folder afresh: all entries go, sorted by name.
void ListFolder(Control& control);
void SortFileList(Control& control, int column);
// Closes the drawings the calling thread left open (a thread that ended on
// an exception between BeginDrawing and EndDrawing).
void ReleaseOpenDrawings();

QString FromUtf8(const std::string& text);
std::string ToUtf8(const QString& text);

}  // namespace tk::qt
