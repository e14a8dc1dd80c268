// Acting as the user, and looking at the window, for the front end's
// scenario tests. Both backends offer it; the program itself never calls it.
// Every operation runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/toolkit.h"

namespace tk::drive {

// Serves pending platform work (the worker's requests to controls included)
// and gives the next event of the program, if one is waiting. Never blocks.
bool PollEvent(Event& event);

// What the user does. Each raises the events the real action would raise.
void TypeText(int control, const std::string& text);   // one edit (one TextChanged) per character
void ReplaceText(int control, const std::string& text);  // select all and paste: one TextChanged
void ClickButton(int control);
void CheckOption(int control);
// Selects the folder with this path in a folder tree, expanding on the way;
// raises a TreeEvent. "" selects the root.
bool SelectTreeFolder(int control, const std::string& path);
void RightClickTree(int control);  // a TreeEvent without a change of selection
void SelectListItem(int control, int item, bool selected);
void ClickListHeader(int control, int column);
void RequestClose();  // as the close box does

// What the user sees.
std::string ReadClipboardText();
int SelectedTab(int panel);
int FocusedControl();  // -1 when none of ours has it
bool IsListItemChecked(int control, int item);
int FirstVisibleListItem(int control);
std::string GetListColumnTitle(int control, int column);
int GetListColumnWidth(int control, int column);
struct Geometry {
    int x, y, width, height;
};
Geometry ControlGeometry(int control);  // relative to its parent's client area
Geometry WindowClientGeometry();
std::string WindowTitle();
bool IsWindowResizable();
std::string ControlFontFace(int control);  // the face actually used
std::uint32_t SurfacePixel(int control, int x, int y);  // 0x00RRGGBB of a drawing surface's image
bool SaveWindowScreenshot(const std::string& pngPath);  // the whole window, as shown
bool SaveControlImage(int control, const std::string& pngPath);

}  // namespace tk::drive
