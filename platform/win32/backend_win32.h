// What the parts of the Win32 backend share: the control records, the event
// queue, text conversion and the way other threads reach the user-interface
// thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/toolkit.h"

namespace tk::win32 {

// Our own window messages.
constexpr UINT RequestMessage = WM_APP + 1;        // wParam: routine, lParam: its data
constexpr UINT FolderChangedMessage = WM_APP + 2;  // wParam: control, lParam: listing generation

// Child window identifiers are the control number plus this, so that no
// control gets IDOK or IDCANCEL, which the dialog keys send.
constexpr int ControlIdBase = 100;

enum class Kind {
    None,
    Container,
    ImageView,
    Label,
    TabPanel,
    TextInput,
    RichText,
    FolderTree,
    FileList,
    OptionButton,
    PushButton,
    TaskList,
    Surface,
};

// One folder of a folder tree; items keep their node's index.
struct FolderNode {
    std::wstring path;  // ends in '\'; empty for the computer root
    bool childrenRead;
};

struct FolderTreeState {
    std::vector<FolderNode> nodes;
    HTREEITEM root;
};

struct FileEntry {
    std::wstring name;
    ULONGLONG size;
    std::wstring type;
    FILETIME modified;
};

// Watches the listed folder from a thread of its own and posts
// FolderChangedMessage when something in it changes.
struct FolderWatch {
    HANDLE thread;
    HANDLE wake;  // auto-reset: a new folder, or time to end
    CRITICAL_SECTION lock;
    std::wstring folder;  // under lock
    LONG generation;      // under lock
    bool quit;            // under lock
    volatile LONG relistPending;
    HWND notify;
    int control;
};

struct FileListState {
    std::wstring folder;  // ends in '\'; empty shows nothing
    std::vector<FileEntry> entries;
    LONG generation;
    int sortColumn;
    bool sortDescending;
    FolderWatch* watch;
};

// A drawing surface's own image: a 24-bit DIB section. The lock is held from
// BeginDrawing to EndDrawing and while the image is painted or read.
struct SurfaceState {
    int width, height;
    HBITMAP bitmap;
    unsigned char* bits;  // top-down rows
    int stride;
    CRITICAL_SECTION lock;
};

struct Control {
    HWND hwnd = nullptr;
    Kind kind = Kind::None;
    bool hasColours = false;
    COLORREF textColour = 0;
    COLORREF backColour = 0;
    HBRUSH backBrush = nullptr;
    HFONT font = nullptr;          // set by SetControlFont; the default font otherwise
    int image = -1;
    int group = 0;                 // option buttons: the group they belong to
    std::vector<HWND> pages;       // tab panels
    std::unique_ptr<FolderTreeState> tree;
    std::unique_ptr<FileListState> files;
    std::unique_ptr<SurfaceState> surface;
};

struct Image {
    int width = 0, height = 0;
    HBITMAP bitmap = nullptr;  // 32-bit, premultiplied alpha, top-down
};

// ---- shared state (toolkit_win32.cpp) ---------------------------------------

extern HINSTANCE Instance;
extern HWND MainWindow;
extern HWND RequestWindow;  // message-only, owned by the user-interface thread
extern DWORD UiThreadId;
extern HFONT DefaultFont;
extern std::map<int, Control> Controls;  // filled during start-up, then only read
extern std::map<int, Image> Images;
extern std::vector<HFONT> Fonts;
extern std::deque<Event> PendingEvents;  // user-interface thread only
extern bool SuppressTextEvents;

Control* FindControl(int control);
int ControlNumberOf(HWND hwnd);
void PushEvent(EventKind kind, int control);
// Dispatches one message the way the program's loop does (dialog keys first).
void DispatchUiMessage(MSG& msg);

// ---- text ------------------------------------------------------------------

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
std::string Utf8(const wchar_t* wide, int length);
std::wstring WindowTextOf(HWND hwnd);

// The header of a top-down DIB of `bitCount` bits per pixel.
BITMAPINFO TopDownBitmapInfo(int width, int height, int bitCount);

// ---- running on the user-interface thread -----------------------------------

bool IsUiThread();
void RunOnUiThread(void (*routine)(void*), void* data);

// Runs `work` on the user-interface thread and gives its result: directly when
// called there, otherwise as a request that waits until it is served.
template <class Work>
auto OnUi(Work work) -> decltype(work()) {
    using Result = decltype(work());
    if (IsUiThread() || !RequestWindow) return work();
    if constexpr (std::is_void_v<Result>) {
        RunOnUiThread([](void* data) { (*static_cast<Work*>(data))(); }, &work);
    } else {
        struct Call {
            Work* work;
            Result result;
        } call{&work, Result{}};
        RunOnUiThread([](void* data) {
            Call* c = static_cast<Call*>(data);
            c->result = (*c->work)();
        }, &call);
        return call.result;
    }
}

// ---- folder views (folder_views_win32.cpp) ---------------------------------

void InitFolderTree(Control& control);
std::string FolderTreePath(Control& control);
// Handles a notification of a folder tree or file list; true when handled,
// with the window procedure's result in `result`.
bool HandleFolderViewNotify(Control& control, NMHDR* header, LRESULT& result);
void ReadTreeChildren(Control& control, HTREEITEM item);
// Reads a folder's subfolders again, for one made since it was first opened.
void RereadTreeChildren(Control& control, HTREEITEM item);
std::wstring TreeItemPath(Control& control, HTREEITEM item);
void InitFileList(Control& control);
void ShowFileListFolder(Control& control, const std::wstring& folder);
void HandleFolderChanged(int control, LONG generation);
void StopFolderWatches();

// ---- drawing (drawing_win32.cpp) --------------------------------------------

void InitSurface(Control& control, int width, int height);
void PaintSurface(Control& control, HDC dc);
void PaintImageView(Control& control, HDC dc);
void ReleaseImagesAndSurfaces();
// Ends the drawings the calling thread still has open.
void EndThreadDrawings();

// ---- threads (threads_win32.cpp) --------------------------------------------

void ReleaseThreads();

}  // namespace tk::win32
