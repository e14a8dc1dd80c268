// Our own small window toolkit: everything the front end needs of the
// platform, and nothing more. One header, two backends (qt/ and win32/),
// chosen when the program is linked.
//
// Controls are known by their numbers. Texts are UTF-8 on every backend,
// except GetTextInSystemCodePage, which gives the bytes of the system's 8-bit
// code page.
//
// Threads: the window and its controls belong to the thread that called
// StartToolkit (the user-interface thread). Any control operation called from
// another thread is carried to the user-interface thread as a request and
// waits there until it is done, so every single operation is whole. The
// user-interface thread serves these requests while it waits in WaitForEvent
// and in WaitForThreadEnd.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tk {

// ---- start and end -------------------------------------------------------

void StartToolkit();  // libraries, visual styles; on the user-interface thread
void StopToolkit();   // releases windows, controls, fonts and images

// ---- colours, fonts, images ----------------------------------------------

struct Rgb {
    std::uint8_t red, green, blue;
};

enum class FontWeight { Normal, Bold };

// A font from a face name (used exactly as written, with a fallback of the
// same kind when the face is missing), a size in points converted for the
// display's vertical resolution, and a weight. Gives a font number > 0, or 0.
int CreateFontFace(const std::string& face, int points, FontWeight weight);

// Decodes a PNG held in memory, with its alpha channel, into image number
// `image`. Decoding is ours (libpng), not the toolkit's image loader.
bool DecodePngImage(int image, const unsigned char* png, std::size_t size);
// Stores decoded pixels: `rgba` holds width * height * 4 bytes, straight
// (not premultiplied) alpha, rows top to bottom. Used by DecodePngImage.
void StoreImage(int image, int width, int height, const unsigned char* rgba);

// ---- the window ----------------------------------------------------------

// The one top-level window: a client area of the given size, fixed frame with
// system menu and close box, no minimise or maximise box, centred on the
// primary screen, shown at once.
void OpenMainWindow(int clientWidth, int clientHeight, const std::string& title);

// ---- where new controls go ----------------------------------------------

void UseWindowAsParent();
void UseContainerAsParent(int container);
// Adds a tab to a tab panel; its page becomes the parent of the controls
// created next. Positions on a page are relative to the page.
void AddTab(int panel, const std::string& caption);

// ---- creating controls ---------------------------------------------------

enum class Align { Left, Centre };

void CreateContainer(int control, int x, int y, int width, int height);  // sunken 3-D border
void CreateImageView(int control, int x, int y, int image);  // the image's own size, alpha honoured
void CreateLabel(int control, int x, int y, int width, int height, const std::string& text, Align align);
void CreateTabPanel(int control, int x, int y, int width, int height);  // takes the focus
// Single line, text centred, sunken border, scrolls sideways, editable.
void CreateTextInput(int control, int x, int y, int width, int height);
// Read-only, several lines, each line centred, created with both scroll bars.
void CreateRichTextField(int control, int x, int y, int width, int height);
// Folders only, lines and expand buttons, sunken border; its root is the
// computer (the file system's root and the user's documents folder beneath),
// expanded, nothing selected. Subfolders are read on first expansion and
// sorted without regard to case; no prompts.
void CreateFolderTree(int control, int x, int y, int width, int height);
// Files of one folder only, hidden ones too; columns Name, Size, Type and
// Modified (100 px each, reorderable); sorted by name on every listing, a
// header click sorts and a second click reverses; several rows selectable,
// whole-row selection kept visible; watches its folder and lists it afresh on
// a change. Shows nothing until a folder is set.
void CreateFileList(int control, int x, int y, int width, int height);
// Option buttons created one after another form one group.
void CreateOptionButton(int control, int x, int y, int width, int height, const std::string& text);
void CreatePushButton(int control, int x, int y, int width, int height, const std::string& text);
// Report list: header, check box at the front of each row, grid lines, one
// row selectable, double-buffered, sunken border. Columns come from
// AddListColumn.
void CreateTaskList(int control, int x, int y, int width, int height);
void AddListColumn(int control, const std::string& title, int width);
// Drawing surface with its own image: white, 24 bits per pixel, no border,
// takes no focus.
void CreateDrawingSurface(int control, int x, int y, int width, int height);

void SetControlFont(int control, int font);
void SetControlColours(int control, Rgb text, Rgb background);  // labels
void SetControlBackground(int control, Rgb background);         // containers

// ---- texts, states, focus, tabs ------------------------------------------

// Text input: its text. Button, label, option button: caption. Rich-text
// field: its whole text, line breaks as "\n". Folder tree: the selected
// folder's path ending in the platform's separator; empty for the root or
// when nothing is selected.
std::string GetControlText(int control);
void SetControlText(int control, const std::string& text);
// The text of a text input as bytes in the system's 8-bit code page (the
// locale's on Linux, the ANSI code page on Windows).
std::string GetTextInSystemCodePage(int control);

bool IsChecked(int control);
void SetChecked(int control, bool checked);  // checking one option clears the others of its group

void SelectTab(int panel, int index);  // raises no event
void GiveFocus(int control);

// ---- window messages the program sends itself, as named operations -------

enum class ScrollBar { Horizontal = 0, Vertical = 1 };
void ShowScrollBar(int control, ScrollBar bar, bool show);  // EM_SHOWSCROLLBAR
void SetRedraw(int control, bool redraw);                    // WM_SETREDRAW
void ScrollList(int control, int dx, int dy);                // LVM_SCROLL, in pixels

// ---- rich-text fields ----------------------------------------------------

void ClearRichText(int control);
// Inserts `text` followed by a line break at the start of line `line`
// (0-based); the selection is hidden while it does.
void InsertRichTextLine(int control, int line, const std::string& text);

// ---- lists: the file list and the task list -------------------------------

void SetFileListFolder(int control, const std::string& folder);  // "" shows nothing
int CountListItems(int control);
bool IsListItemSelected(int control, int item);
std::string GetListItemText(int control, int item, int column);  // "" for a row that does not exist

void ClearListItems(int control);
// Appends a row; '\n' separates the texts of its columns.
void AppendListItem(int control, const std::string& columns);
void SetListItemText(int control, int item, int column, const std::string& text);  // no effect on a missing row
// Writes `text` into (item, column) only if column `checkColumn` of that row
// still reads `expected`, as one operation. True when written.
bool SetListItemTextIf(int control, int item, int column, const std::string& text,
                       int checkColumn, const std::string& expected);
void SetListItemChecked(int control, int item, bool checked);
void ClearListItemSelection(int control, int item);  // its selection and its focus

// ---- events ----------------------------------------------------------------

enum class EventKind {
    CloseRequest,  // the window's close box, Alt+F4, Close in the system menu
    TextChanged,   // a text input's text was edited
    Click,         // a push button was pressed
    TreeEvent,     // any event of a folder tree: click, right click, double-click, selection, drag
    Other,         // anything else the program does not act on
};

struct Event {
    EventKind kind;
    int control;  // -1 for CloseRequest
};

// Waits without a time limit for the next event.
Event WaitForEvent();

// ---- threads ---------------------------------------------------------------
//
// Suspending and stopping are requests that the thread meets at its next
// safe point (ThreadSafePoint), where it holds nothing that the
// user-interface thread needs.

using ThreadRoutine = int (*)(int argument);

struct ThreadStopped {};  // thrown by ThreadSafePoint on a stopped thread

int StartThread(ThreadRoutine routine, int argument);  // a thread number > 0, or 0
bool IsThreadAlive(int thread);                        // a suspended thread is alive
void SuspendThread(int thread);
void ResumeThread(int thread);                         // no effect on one that is not suspended
void StopThread(int thread);                           // also ends a suspension
void WaitForThreadEnd(int thread);                     // serves the thread's requests while it waits
// On a thread started by StartThread: holds while the thread is suspended,
// throws ThreadStopped once it is asked to stop. Elsewhere: does nothing.
void ThreadSafePoint();

// ---- clipboard, time -------------------------------------------------------

bool PutClipboardText(const std::string& text);  // replaces the clipboard's contents
void SleepMilliseconds(int milliseconds);

// ---- drawing surfaces and the GDI+ operations the ring draws with ----------
//
// The Win32 backend forwards these to the GDI+ flat API with the same
// values; the Qt backend serves them with its painter.

struct Drawing;  // an open image of a drawing surface
Drawing* BeginDrawing(int control);  // from any thread; nullptr when it cannot be opened
int SurfaceWidth(int control);
int SurfaceHeight(int control);
std::uint32_t ReadDrawingPixel(Drawing* drawing, int x, int y);  // 0x00RRGGBB
void FillDrawingRect(Drawing* drawing, int x, int y, int width, int height, std::uint32_t rgb);
void EndDrawing(Drawing* drawing);  // releases the image and shows it at once

struct GpGraphics;
struct GpBrush;
struct GpPen;
struct PointF {
    float x, y;
};

int GdiplusStartup(std::uintptr_t* token);  // version 1, no callback, background thread, codecs
void GdiplusShutdown(std::uintptr_t token);
int GdipCreateLineBrush(const PointF* point1, const PointF* point2, std::uint32_t argb1, std::uint32_t argb2,
                        int wrapMode, GpBrush** brush);
int GdipCreatePen1(std::uint32_t argb, float width, int unit, GpPen** pen);
int GdipCreatePen2(GpBrush* brush, float width, int unit, GpPen** pen);
int GdipSetPenEndCap(GpPen* pen, int lineCap);
int GdipCreateFromHDC(Drawing* drawing, GpGraphics** graphics);
int GdipSetSmoothingMode(GpGraphics* graphics, int smoothingMode);
int GdipDrawArc(GpGraphics* graphics, GpPen* pen, float x, float y, float width, float height, float startAngle,
                float sweepAngle);
int GdipDeleteGraphics(GpGraphics* graphics);
int GdipDeletePen(GpPen* pen);

}  // namespace tk
