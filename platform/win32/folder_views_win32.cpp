// The folder tree and the file list of the Files tab.
//
// The tree's root is the computer, with its drives and the documents folder
// under the shell's display names; a folder's subfolders are read when it is
// first expanded. The file list shows the files of one folder and watches it
// from a thread of its own, which posts a message when the folder changes.
#include "platform/win32/backend_win32.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

namespace tk::win32 {

namespace {

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// Folders the shell keeps out of sight (hidden system folders such as the
// recycle bin) are not shown in the tree.
bool IsShownFolder(const WIN32_FIND_DATAW& data) {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDotEntry(data.cFileName)) return false;
    DWORD protectedFolder = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (data.dwFileAttributes & protectedFolder) != protectedFolder;
}

bool HasSubfolders(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchLimitToDirectories,
                                     nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        found = IsShownFolder(data);
    } while (!found && FindNextFileW(search, &data));
    FindClose(search);
    return found;
}

std::wstring ShellDisplayName(const std::wstring& path, const std::wstring& fallback) {
    SHFILEINFOW info{};
    if (SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME) && info.szDisplayName[0]) {
        return info.szDisplayName;
    }
    return fallback;
}

std::wstring ComputerDisplayName() {
    std::wstring name = L"Computer";
    LPITEMIDLIST computer = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer)) && computer) {
        SHFILEINFOW info{};
        if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(computer), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME) &&
            info.szDisplayName[0]) {
            name = info.szDisplayName;
        }
        CoTaskMemFree(computer);
    }
    return name;
}

std::wstring DocumentsFolder() {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path)) && path) {
        folder = path;
        if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    }
    if (path) CoTaskMemFree(path);
    return folder;
}

HTREEITEM InsertTreeItem(Control& control, HTREEITEM parent, const std::wstring& text, const std::wstring& path,
                         bool childrenKnown) {
    FolderTreeState& tree = *control.tree;
    tree.nodes.push_back(FolderNode{path, childrenKnown});
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = LPARAM(tree.nodes.size() - 1);
    // Whether a folder has subfolders is asked when the item is first drawn.
    insert.item.cChildren = childrenKnown ? 1 : I_CHILDRENCALLBACK;
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(control.hwnd, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

FolderNode* NodeOf(Control& control, HTREEITEM item) {
    if (!item) return nullptr;
    TVITEMW entry{};
    entry.mask = TVIF_PARAM | TVIF_HANDLE;
    entry.hItem = item;
    if (!SendMessageW(control.hwnd, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry))) return nullptr;
    std::size_t index = std::size_t(entry.lParam);
    return index < control.tree->nodes.size() ? &control.tree->nodes[index] : nullptr;
}

void SetItemChildren(Control& control, HTREEITEM item, int children) {
    TVITEMW entry{};
    entry.mask = TVIF_CHILDREN | TVIF_HANDLE;
    entry.hItem = item;
    entry.cChildren = children;
    SendMessageW(control.hwnd, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
}

// ---- file list ---------------------------------------------------------------

enum FileColumn { NameColumn, SizeColumn, TypeColumn, ModifiedColumn };

std::wstring FileTypeName(const std::wstring& name) {
    static std::map<std::wstring, std::wstring> byExtension;
    std::size_t dot = name.rfind(L'.');
    std::wstring extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
    CharLowerBuffW(extension.data(), DWORD(extension.size()));
    auto found = byExtension.find(extension);
    if (found != byExtension.end()) return found->second;
    SHFILEINFOW info{};
    std::wstring type;
    if (SHGetFileInfoW(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                       SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES)) {
        type = info.szTypeName;
    }
    if (type.empty()) type = extension.empty() ? L"File" : extension.substr(1) + L" File";
    byExtension[extension] = type;
    return type;
}

std::wstring SizeText(ULONGLONG bytes) {
    // In kilobytes, rounded up, as the system's file views show it.
    ULONGLONG kilobytes = (bytes + 1023) / 1024;
    std::wstring digits = std::to_wstring(kilobytes);
    std::wstring grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += L',';
        grouped += digits[i];
    }
    return grouped + L" KB";
}

std::wstring ModifiedText(const FILETIME& modified) {
    FILETIME local;
    SYSTEMTIME time;
    if (!FileTimeToLocalFileTime(&modified, &local) || !FileTimeToSystemTime(&local, &time)) return std::wstring();
    wchar_t date[80] = L"";
    wchar_t clock[80] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 80);
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, clock, 80);
    return std::wstring(date) + L" " + clock;
}

int CompareEntries(const FileEntry& a, const FileEntry& b, int column) {
    switch (column) {
    case SizeColumn:
        if (a.size != b.size) return a.size < b.size ? -1 : 1;
        break;
    case TypeColumn: {
        int order = lstrcmpiW(a.type.c_str(), b.type.c_str());
        if (order != 0) return order;
        break;
    }
    case ModifiedColumn: {
        int order = CompareFileTime(&a.modified, &b.modified);
        if (order != 0) return order;
        break;
    }
    default:
        break;
    }
    return lstrcmpiW(a.name.c_str(), b.name.c_str());
}

int CALLBACK CompareListItems(LPARAM first, LPARAM second, LPARAM sort) {
    FileListState& state = *reinterpret_cast<FileListState*>(sort);
    int order = CompareEntries(state.entries[std::size_t(first)], state.entries[std::size_t(second)],
                               state.sortColumn);
    return state.sortDescending ? -order : order;
}

void ShowSortArrow(Control& control) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(control.hwnd, LVM_GETHEADER, 0, 0));
    if (!header) return;
    int count = int(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int column = 0; column < count; ++column) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, WPARAM(column), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == control.files->sortColumn) item.fmt |= control.files->sortDescending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(header, HDM_SETITEMW, WPARAM(column), reinterpret_cast<LPARAM>(&item));
    }
}

void SetCell(HWND list, int item, int column, const std::wstring& text) {
    LVITEMW entry{};
    entry.iSubItem = column;
    entry.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(item), reinterpret_cast<LPARAM>(&entry));
}

// Reads the folder afresh: every file, hidden ones too, sorted by name.
void ListFolder(Control& control) {
    FileListState& state = *control.files;
    HWND list = control.hwnd;
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    state.entries.clear();
    state.sortColumn = NameColumn;
    state.sortDescending = false;
    ShowSortArrow(control);
    if (state.folder.empty()) return;

    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileExW((state.folder + L"*.*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            ULONGLONG size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            state.entries.push_back(FileEntry{data.cFileName, size, std::wstring(), data.ftLastWriteTime});
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    std::sort(state.entries.begin(), state.entries.end(),
              [](const FileEntry& a, const FileEntry& b) { return CompareEntries(a, b, NameColumn) < 0; });

    SendMessageW(list, LVM_SETITEMCOUNT, WPARAM(state.entries.size()), 0);
    for (std::size_t i = 0; i < state.entries.size(); ++i) {
        FileEntry& entry = state.entries[i];
        entry.type = FileTypeName(entry.name);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = int(i);
        item.pszText = entry.name.data();
        item.lParam = LPARAM(i);
        int index = int(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (index < 0) continue;
        SetCell(list, index, SizeColumn, SizeText(entry.size));
        SetCell(list, index, TypeColumn, entry.type);
        SetCell(list, index, ModifiedColumn, ModifiedText(entry.modified));
    }
}

DWORD WINAPI WatchFolder(LPVOID parameter) {
    FolderWatch& watch = *static_cast<FolderWatch*>(parameter);
    HANDLE change = INVALID_HANDLE_VALUE;
    LONG generation = 0;
    for (;;) {
        HANDLE handles[2] = {watch.wake, change};
        DWORD count = change == INVALID_HANDLE_VALUE ? 1 : 2;
        DWORD woken = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0) {
            EnterCriticalSection(&watch.lock);
            bool quit = watch.quit;
            std::wstring folder = watch.folder;
            generation = watch.generation;
            LeaveCriticalSection(&watch.lock);
            if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
            change = INVALID_HANDLE_VALUE;
            if (quit) break;
            if (!folder.empty()) {
                change = FindFirstChangeNotificationW(
                    folder.c_str(), FALSE,
                    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_ATTRIBUTES |
                        FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
            }
        } else if (woken == WAIT_OBJECT_0 + 1) {
            // One relisting at a time: a burst of changes asks only once more.
            if (InterlockedExchange(&watch.relistPending, 1) == 0) {
                PostMessageW(watch.notify, FolderChangedMessage, WPARAM(watch.control), LPARAM(generation));
            }
            if (!FindNextChangeNotification(change)) {
                FindCloseChangeNotification(change);
                change = INVALID_HANDLE_VALUE;
            }
        } else {
            break;
        }
    }
    if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
    return 0;
}

std::vector<FolderWatch*> Watches;

}  // namespace

// ---- folder tree -----------------------------------------------------------

void InitFolderTree(Control& control) {
    control.tree = std::make_unique<FolderTreeState>();
    HTREEITEM root = InsertTreeItem(control, TVI_ROOT, ComputerDisplayName(), std::wstring(), true);
    control.tree->root = root;
    control.tree->nodes[0].childrenRead = true;

    DWORD drives = GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if (!(drives & (1u << letter))) continue;
        std::wstring path = std::wstring(1, wchar_t(L'A' + letter)) + L":\\";
        HTREEITEM drive = InsertTreeItem(control, root, ShellDisplayName(path, path.substr(0, 2)), path, false);
        // A disc, a removable or a network drive is not read before the user
        // opens it: a drive without its medium would make the tree wait. It
        // shows an expand button until then, which goes if nothing is there.
        if (GetDriveTypeW(path.c_str()) != DRIVE_FIXED) SetItemChildren(control, drive, 1);
    }
    std::wstring documents = DocumentsFolder();
    if (!documents.empty()) {
        InsertTreeItem(control, root, ShellDisplayName(documents.substr(0, documents.size() - 1), L"Documents"),
                       documents, false);
    }
    SendMessageW(control.hwnd, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
}

void ReadTreeChildren(Control& control, HTREEITEM item) {
    FolderNode* node = NodeOf(control, item);
    if (!node || node->childrenRead) return;
    node->childrenRead = true;
    std::wstring folder = node->path;  // the node vector grows below

    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchLimitToDirectories,
                                     nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (IsShownFolder(data)) names.push_back(data.cFileName);
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) < 0; });
    for (const std::wstring& name : names) InsertTreeItem(control, item, name, folder + name + L"\\", false);
    if (names.empty()) SetItemChildren(control, item, 0);
}

void RereadTreeChildren(Control& control, HTREEITEM item) {
    // The root's children are the drives, which do not come and go here.
    FolderNode* node = NodeOf(control, item);
    if (!node || item == control.tree->root) return;
    HTREEITEM child;
    while ((child = reinterpret_cast<HTREEITEM>(
                SendMessageW(control.hwnd, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))))) {
        SendMessageW(control.hwnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child));
    }
    node->childrenRead = false;
    ReadTreeChildren(control, item);
}

std::wstring TreeItemPath(Control& control, HTREEITEM item) {
    FolderNode* node = NodeOf(control, item);
    return node ? node->path : std::wstring();
}

std::string FolderTreePath(Control& control) {
    HTREEITEM selected =
        reinterpret_cast<HTREEITEM>(SendMessageW(control.hwnd, TVM_GETNEXTITEM, TVGN_CARET, 0));
    return Utf8(TreeItemPath(control, selected));
}

bool HandleFolderViewNotify(Control& control, NMHDR* header, LRESULT& result) {
    int number = ControlNumberOf(control.hwnd);
    result = 0;
    if (control.kind == Kind::FolderTree) {
        switch (header->code) {
        case TVN_GETDISPINFOW:
        case TVN_GETDISPINFOA: {
            // Both forms share the item layout up to the fields read here.
            NMTVDISPINFOW* info = reinterpret_cast<NMTVDISPINFOW*>(header);
            if (info->item.mask & TVIF_CHILDREN) {
                std::size_t index = std::size_t(info->item.lParam);
                bool has = index < control.tree->nodes.size() && HasSubfolders(control.tree->nodes[index].path);
                info->item.cChildren = has ? 1 : 0;
                info->item.mask |= TVIF_DI_SETITEM;
            }
            return true;
        }
        case TVN_ITEMEXPANDINGW:
        case TVN_ITEMEXPANDINGA: {
            NMTREEVIEWW* change = reinterpret_cast<NMTREEVIEWW*>(header);
            if (change->action & TVE_EXPAND) ReadTreeChildren(control, change->itemNew.hItem);
            return true;
        }
        case NM_CLICK:
        case NM_RCLICK:
        case NM_DBLCLK:
        case TVN_SELCHANGEDW:
        case TVN_SELCHANGEDA:
        case TVN_BEGINDRAGW:
        case TVN_BEGINDRAGA:
            PushEvent(EventKind::TreeEvent, number);
            return true;
        default:
            return false;
        }
    }
    if (control.kind == Kind::FileList && header->code == LVN_COLUMNCLICK) {
        NMLISTVIEW* click = reinterpret_cast<NMLISTVIEW*>(header);
        FileListState& state = *control.files;
        if (click->iSubItem == state.sortColumn) {
            state.sortDescending = !state.sortDescending;
        } else {
            state.sortColumn = click->iSubItem;
            state.sortDescending = false;
        }
        SendMessageW(control.hwnd, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&state),
                     reinterpret_cast<LPARAM>(&CompareListItems));
        ShowSortArrow(control);
        return true;
    }
    return false;
}

// ---- file list -----------------------------------------------------------

void InitFileList(Control& control) {
    control.files = std::make_unique<FileListState>();
    FileListState& state = *control.files;
    state.generation = 0;
    state.sortColumn = NameColumn;
    state.sortDescending = false;
    DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_DOUBLEBUFFER;
    SendMessageW(control.hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    const wchar_t* titles[] = {L"Name", L"Size", L"Type", L"Modified"};
    for (int column = 0; column < 4; ++column) {
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
        entry.fmt = column == SizeColumn ? LVCFMT_RIGHT : LVCFMT_LEFT;
        entry.pszText = const_cast<wchar_t*>(titles[column]);
        entry.cx = 100;
        entry.iSubItem = column;
        SendMessageW(control.hwnd, LVM_INSERTCOLUMNW, WPARAM(column), reinterpret_cast<LPARAM>(&entry));
    }
    ShowSortArrow(control);  // by name, as every listing is

    FolderWatch* watch = new FolderWatch{};
    watch->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    InitializeCriticalSection(&watch->lock);
    watch->notify = RequestWindow;
    watch->control = ControlNumberOf(control.hwnd);
    watch->thread = CreateThread(nullptr, 0, WatchFolder, watch, 0, nullptr);
    Watches.push_back(watch);
    state.watch = watch;
}

void ShowFileListFolder(Control& control, const std::wstring& folder) {
    FileListState& state = *control.files;
    std::wstring shown = folder;
    if (!shown.empty()) {
        if (shown.back() != L'\\' && shown.back() != L'/') shown += L'\\';
        CharUpperBuffW(shown.data(), 1);  // the drive letter
    }
    state.folder = shown;
    ++state.generation;
    if (FolderWatch* watch = state.watch) {
        EnterCriticalSection(&watch->lock);
        watch->folder = shown;
        watch->generation = state.generation;
        LeaveCriticalSection(&watch->lock);
        SetEvent(watch->wake);
    }
    ListFolder(control);
}

void HandleFolderChanged(int control, LONG generation) {
    Control* target = FindControl(control);
    if (!target || target->kind != Kind::FileList) return;
    FileListState& state = *target->files;
    if (state.watch) InterlockedExchange(&state.watch->relistPending, 0);
    // A change of a folder no longer shown is old news.
    if (generation != state.generation) return;
    SendMessageW(target->hwnd, WM_SETREDRAW, FALSE, 0);
    ListFolder(*target);
    SendMessageW(target->hwnd, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(target->hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void StopFolderWatches() {
    for (FolderWatch* watch : Watches) {
        EnterCriticalSection(&watch->lock);
        watch->quit = true;
        LeaveCriticalSection(&watch->lock);
        SetEvent(watch->wake);
        if (watch->thread) {
            WaitForSingleObject(watch->thread, INFINITE);
            CloseHandle(watch->thread);
        }
        CloseHandle(watch->wake);
        DeleteCriticalSection(&watch->lock);
        delete watch;
    }
    Watches.clear();
    for (auto& [number, control] : Controls) {
        if (control.files) control.files->watch = nullptr;
    }
}

}  // namespace tk::win32
