// The folder tree, the file list and the task list of the Qt backend.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTableWidget>
#include <QTreeWidget>

#include <vector>

#ifdef __linux__
#include <sys/inotify.h>
#include <unistd.h>
#else
#include <QFileSystemWatcher>
#endif

#include "platform/qt/qt_backend.h"
#include "platform/toolkit_driver.h"

namespace tk::qt {
namespace {

// ---- the folder tree --------------------------------------------------------------

constexpr int PathRole = Qt::UserRole;        // the folder's path ending in "/"; "" for the computer
constexpr int ReadRole = Qt::UserRole + 1;    // true once its subfolders were read

// Every mouse action on the tree is an event of the program: click, right
// click, double-click and the start of a drag. A right click leaves the
// selection as it is.
class FolderTreeWidget : public QTreeWidget {
public:
    FolderTreeWidget(int control, QWidget* parent) : QTreeWidget(parent), control_(control) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton) {
            QueueEvent(EventKind::TreeEvent, control_);
            return;
        }
        pressPoint_ = event->position().toPoint();
        dragReported_ = false;
        QTreeWidget::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton) return;
        QTreeWidget::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton) QueueEvent(EventKind::TreeEvent, control_);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton) return;
        QTreeWidget::mouseDoubleClickEvent(event);
        QueueEvent(EventKind::TreeEvent, control_);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if ((event->buttons() & Qt::LeftButton) && !dragReported_ && itemAt(pressPoint_) != nullptr &&
            (event->position().toPoint() - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
            dragReported_ = true;
            QueueEvent(EventKind::TreeEvent, control_);
        }
        QTreeWidget::mouseMoveEvent(event);
    }

private:
    int control_;
    QPoint pressPoint_;
    bool dragReported_ = false;
};

// The tree's lines and expand buttons as the classic Windows style draws
// them (dotted lines, boxed plus and minus); everything else in the
// application's own style.
class TreeLinesStyle : public QProxyStyle {
public:
    TreeLinesStyle() : lines_(QStyleFactory::create(QStringLiteral("Windows"))) {
        if (lines_ != nullptr) lines_->setParent(this);
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorBranch && lines_ != nullptr)
            lines_->drawPrimitive(element, option, painter, widget);
        else
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    QStyle* lines_;
};

bool HasSubfolder(const QString& path) {
    QDirIterator entries(path, QDir::Dirs | QDir::NoDotAndDotDot);
    return entries.hasNext();
}

QTreeWidgetItem* AddFolderItem(QTreeWidgetItem* parent, const QString& name, const QString& path) {
    auto* item = new QTreeWidgetItem(parent, QStringList{name});
    item->setData(0, PathRole, path);
    item->setChildIndicatorPolicy(HasSubfolder(path) ? QTreeWidgetItem::ShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicator);
    return item;
}

// Reads a folder's subfolders the first time it opens. Hidden folders stay
// out of the tree, as a file browser keeps them by default.
void ReadSubfolders(QTreeWidgetItem* item) {
    if (item->data(0, ReadRole).toBool()) return;
    item->setData(0, ReadRole, true);
    const QString path = item->data(0, PathRole).toString();
    if (path.isEmpty()) return;
    const QFileInfoList folders =
        QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& folder : folders) AddFolderItem(item, folder.fileName(), folder.absoluteFilePath() + "/");
    if (folders.isEmpty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

// ---- the report lists -----------------------------------------------------------------

constexpr int SortKeyRole = Qt::UserRole;

// A file list cell sorts by its key: texts without regard to case, sizes and
// times as numbers.
class FileCell : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant mine = data(SortKeyRole);
        const QVariant theirs = other.data(SortKeyRole);
        if (mine.typeId() == QMetaType::QString) {
            const int order = mine.toString().compare(theirs.toString(), Qt::CaseInsensitive);
            return order != 0 ? order < 0 : mine.toString() < theirs.toString();
        }
        return mine.toLongLong() < theirs.toLongLong();
    }
};

FileCell* MakeFileCell(const QString& text, const QVariant& key) {
    auto* cell = new FileCell(text);
    cell->setData(SortKeyRole, key);
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return cell;
}

QString SizeText(qint64 bytes) {
    // Kilobytes, rounded up, as file browsers show them.
    return QLocale().toString((bytes + 1023) / 1024) + " KB";
}

QString TypeText(const QFileInfo& file) {
    const QString suffix = file.suffix();
    return suffix.isEmpty() ? QStringLiteral("File") : suffix.toUpper() + " File";
}

QTableWidget* MakeReportList(int x, int y, int width, int height) {
    auto* list = new QTableWidget(CurrentParent());
    list->setGeometry(x, y, width, height);
    list->verticalHeader()->hide();
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setMinimumSectionSize(1);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->horizontalHeader()->setStretchLastSection(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    return list;
}

QTableWidget* ListOf(int control) {
    Control* c = FindControl(control);
    if (c == nullptr || (c->kind != ControlKind::TaskList && c->kind != ControlKind::FileList)) return nullptr;
    return static_cast<QTableWidget*>(c->widget);
}

void Unwatch(FileListState& files) {
#ifdef __linux__
    if (files.watch >= 0) inotify_rm_watch(files.watcher, files.watch);
#endif
    files.watch = -1;
}

// Watches the folder shown: files and folders created, deleted or renamed
// in it, files written to or changed in size or attributes.
void Watch(int control, FileListState& files) {
    Unwatch(files);
    if (files.folder.isEmpty()) return;
#ifdef __linux__
    if (files.watcher >= 0)
        files.watch = inotify_add_watch(files.watcher, QFile::encodeName(files.folder).constData(),
                                        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                                            IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF |
                                            IN_ONLYDIR);
    (void)control;
#else
    Control* c = FindControl(control);
    auto* watcher = c->widget->findChild<QFileSystemWatcher*>();
    if (!watcher->directories().isEmpty()) watcher->removePaths(watcher->directories());
    watcher->addPath(files.folder);
    files.watch = 1;
#endif
}

void StartWatcher(int control, QTableWidget* list, FileListState& files) {
#ifdef __linux__
    files.watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (files.watcher < 0) return;
    auto* notifier = new QSocketNotifier(files.watcher, QSocketNotifier::Read, list);
    QObject::connect(notifier, &QSocketNotifier::activated, list, [control] {
        Control* c = FindControl(control, ControlKind::FileList);
        if (c == nullptr) return;
        FileListState& state = *c->files;
        // Read every change that waits, then list once.
        alignas(inotify_event) char buffer[4096];
        bool changed = false;
        for (;;) {
            const ssize_t got = read(state.watcher, buffer, sizeof buffer);
            if (got <= 0) break;
            for (ssize_t at = 0; at < got;) {
                const auto* change = reinterpret_cast<const inotify_event*>(buffer + at);
                if (change->wd == state.watch) changed = true;
                at += ssize_t(sizeof(inotify_event) + change->len);
            }
        }
        if (changed) ListFolder(*c);
    });
#else
    auto* watcher = new QFileSystemWatcher(list);
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, list, [control] {
        if (Control* c = FindControl(control, ControlKind::FileList)) ListFolder(*c);
    });
    (void)files;
#endif
}

}  // namespace

// ---- the folder tree ----------------------------------------------------------------

void CreateFolderTreeWidget(int control, int x, int y, int width, int height) {
    auto* tree = new FolderTreeWidget(control, CurrentParent());
    tree->setGeometry(x, y, width, height);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setRootIsDecorated(true);
    tree->setItemsExpandable(true);
    tree->setUniformRowHeights(true);
    tree->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* style = new TreeLinesStyle;
    style->setParent(tree);
    tree->setStyle(style);

    auto* computer = new QTreeWidgetItem(tree, QStringList{QStringLiteral("Computer")});
    computer->setData(0, PathRole, QString());
    computer->setData(0, ReadRole, true);
    AddFolderItem(computer, QStringLiteral("/"), QStringLiteral("/"));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) {
        const QString path = QDir(documents).absolutePath();
        AddFolderItem(computer, QDir(path).dirName(), path == "/" ? path : path + "/");
    }
    computer->setExpanded(true);

    QObject::connect(tree, &QTreeWidget::itemExpanded, tree, [](QTreeWidgetItem* item) { ReadSubfolders(item); });
    QObject::connect(tree, &QTreeWidget::itemSelectionChanged, tree,
                     [control] { QueueEvent(EventKind::TreeEvent, control); });
    AddControl(control, ControlKind::FolderTree, tree);
    tree->show();
}

std::string FolderTreeText(QTreeWidget* tree) {
    const QList<QTreeWidgetItem*> selected = tree->selectedItems();
    if (selected.isEmpty()) return std::string();
    return ToUtf8(selected.front()->data(0, PathRole).toString());
}

// ---- the file list ------------------------------------------------------------------

void CreateFileListWidget(int control, int x, int y, int width, int height) {
    QTableWidget* list = MakeReportList(x, y, width, height);
    list->setColumnCount(4);
    list->setHorizontalHeaderLabels({"Name", "Size", "Type", "Modified"});
    for (int column = 0; column < 4; ++column) list->setColumnWidth(column, 100);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setShowGrid(false);
    list->horizontalHeader()->setSectionsMovable(true);
    list->horizontalHeader()->setSectionsClickable(true);
    list->horizontalHeader()->setSortIndicatorShown(true);
    list->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    // The selection stays as visible when the list does not have the focus.
    QPalette palette = list->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    list->setPalette(palette);

    AddControl(control, ControlKind::FileList, list);
    Control* c = FindControl(control);
    c->files = new FileListState;
    StartWatcher(control, list, *c->files);
    QObject::connect(list->horizontalHeader(), &QHeaderView::sectionClicked, list, [control](int column) {
        if (Control* c = FindControl(control, ControlKind::FileList)) SortFileList(*c, column);
    });
    list->show();
}

void ListFolder(Control& control) {
    auto* list = static_cast<QTableWidget*>(control.widget);
    FileListState& files = *control.files;
    list->clearSelection();
    list->setRowCount(0);
    files.sortColumn = 0;
    files.sortAscending = true;
    list->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    if (files.folder.isEmpty()) return;
    const QFileInfoList entries = QDir(files.folder).entryInfoList(
        QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    list->setRowCount(int(entries.size()));
    int row = 0;
    for (const QFileInfo& entry : entries) {
        const QDateTime modified = entry.lastModified();
        list->setItem(row, 0, MakeFileCell(entry.fileName(), entry.fileName()));
        list->setItem(row, 1, MakeFileCell(SizeText(entry.size()), entry.size()));
        list->setItem(row, 2, MakeFileCell(TypeText(entry), TypeText(entry)));
        list->setItem(row, 3, MakeFileCell(QLocale().toString(modified, QLocale::ShortFormat),
                                           modified.toMSecsSinceEpoch()));
        ++row;
    }
    list->sortItems(0, Qt::AscendingOrder);
}

void SortFileList(Control& control, int column) {
    auto* list = static_cast<QTableWidget*>(control.widget);
    FileListState& files = *control.files;
    if (column < 0 || column >= list->columnCount()) return;
    files.sortAscending = column == files.sortColumn ? !files.sortAscending : true;
    files.sortColumn = column;
    const Qt::SortOrder order = files.sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder;
    list->sortItems(column, order);
    list->horizontalHeader()->setSortIndicator(column, order);
}

void ReleaseFileList(Control& control) {
    if (control.files == nullptr) return;
#ifdef __linux__
    if (control.files->watcher >= 0) close(control.files->watcher);
#endif
    delete control.files;
    control.files = nullptr;
}

// ---- the task list -----------------------------------------------------------------------

void CreateTaskListWidget(int control, int x, int y, int width, int height) {
    QTableWidget* list = MakeReportList(x, y, width, height);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setShowGrid(true);
    list->setGridStyle(Qt::SolidLine);
    list->horizontalHeader()->setSectionsClickable(true);
    AddControl(control, ControlKind::TaskList, list);
    list->show();
}

}  // namespace tk::qt

namespace tk {

using namespace tk::qt;

void SetFileListFolder(int control, const std::string& folder) {
    OnUi([&] {
        Control* c = FindControl(control, ControlKind::FileList);
        if (c == nullptr) return;
        QString path = FromUtf8(folder);
        if (!path.isEmpty() && !path.endsWith('/')) path += '/';
        c->files->folder = path;
        Watch(control, *c->files);
        ListFolder(*c);
    });
}

int CountListItems(int control) {
    return OnUi([&] {
        QTableWidget* list = ListOf(control);
        return list == nullptr ? 0 : list->rowCount();
    });
}

bool IsListItemSelected(int control, int item) {
    return OnUi([&] {
        QTableWidget* list = ListOf(control);
        if (list == nullptr || item < 0 || item >= list->rowCount()) return false;
        return list->selectionModel()->isSelected(list->model()->index(item, 0));
    });
}

std::string GetListItemText(int control, int item, int column) {
    return OnUi([&] {
        QTableWidget* list = ListOf(control);
        QTableWidgetItem* cell = list == nullptr ? nullptr : list->item(item, column);
        return cell == nullptr ? std::string() : ToUtf8(cell->text());
    });
}

void ClearListItems(int control) {
    OnUi([&] {
        if (QTableWidget* list = ListOf(control)) {
            list->clearSelection();
            list->setRowCount(0);
        }
    });
}

void AppendListItem(int control, const std::string& columns) {
    OnUi([&] {
        Control* c = FindControl(control, ControlKind::TaskList);
        if (c == nullptr) return;
        auto* list = static_cast<QTableWidget*>(c->widget);
        const QStringList texts = FromUtf8(columns).split('\n');
        const int row = list->rowCount();
        list->insertRow(row);
        for (int column = 0; column < list->columnCount(); ++column) {
            auto* cell = new QTableWidgetItem(column < texts.size() ? texts[column] : QString());
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (column == 0) flags |= Qt::ItemIsUserCheckable;
            cell->setFlags(flags);
            if (column == 0) cell->setCheckState(Qt::Unchecked);
            list->setItem(row, column, cell);
        }
    });
}

namespace {
bool WriteCell(QTableWidget* list, int item, int column, const QString& text) {
    if (list == nullptr || item < 0 || item >= list->rowCount() || column < 0 || column >= list->columnCount())
        return false;
    if (QTableWidgetItem* cell = list->item(item, column))
        cell->setText(text);
    else
        list->setItem(item, column, new QTableWidgetItem(text));
    return true;
}
}  // namespace

void SetListItemText(int control, int item, int column, const std::string& text) {
    OnUi([&] { WriteCell(ListOf(control), item, column, FromUtf8(text)); });
}

bool SetListItemTextIf(int control, int item, int column, const std::string& text, int checkColumn,
                       const std::string& expected) {
    // One request: nothing can change the row between the test and the write.
    return OnUi([&] {
        QTableWidget* list = ListOf(control);
        QTableWidgetItem* check = list == nullptr ? nullptr : list->item(item, checkColumn);
        const QString current = check == nullptr ? QString() : check->text();
        if (list == nullptr || item < 0 || item >= list->rowCount() || current != FromUtf8(expected)) return false;
        return WriteCell(list, item, column, FromUtf8(text));
    });
}

void SetListItemChecked(int control, int item, bool checked) {
    OnUi([&] {
        QTableWidget* list = ListOf(control);
        QTableWidgetItem* cell = list == nullptr ? nullptr : list->item(item, 0);
        if (cell != nullptr) cell->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    });
}

void ClearListItemSelection(int control, int item) {
    OnUi([&] {
        QTableWidget* list = ListOf(control);
        if (list == nullptr || item < 0 || item >= list->rowCount()) return;
        QItemSelectionModel* selection = list->selectionModel();
        selection->select(list->model()->index(item, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        if (selection->currentIndex().isValid() && selection->currentIndex().row() == item)
            selection->clearCurrentIndex();
    });
}

// ---- for the driver ---------------------------------------------------------------------

namespace drive {

bool SelectTreeFolder(int control, const std::string& path) {
    Control* c = FindControl(control, ControlKind::FolderTree);
    if (c == nullptr) return false;
    auto* tree = static_cast<QTreeWidget*>(c->widget);
    QTreeWidgetItem* computer = tree->topLevelItem(0);
    if (computer == nullptr) return false;
    QTreeWidgetItem* target = computer;
    QString wanted = FromUtf8(path);
    if (!wanted.isEmpty()) {
        if (!wanted.endsWith('/')) wanted += '/';
        // The deepest top folder that holds the path: the documents folder
        // before the file system's root.
        QTreeWidgetItem* top = nullptr;
        for (int i = 0; i < computer->childCount(); ++i) {
            const QString start = computer->child(i)->data(0, PathRole).toString();
            if (wanted.startsWith(start) &&
                (top == nullptr || start.size() > top->data(0, PathRole).toString().size()))
                top = computer->child(i);
        }
        if (top == nullptr) return false;
        target = top;
        const QStringList names =
            wanted.mid(top->data(0, PathRole).toString().size()).split('/', Qt::SkipEmptyParts);
        for (const QString& name : names) {
            ReadSubfolders(target);
            target->setExpanded(true);
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < target->childCount() && next == nullptr; ++i)
                if (target->child(i)->text(0) == name) next = target->child(i);
            if (next == nullptr) return false;
            target = next;
        }
    }
    {
        const QSignalBlocker quiet(tree);
        tree->setCurrentItem(target);
    }
    tree->scrollToItem(target);
    tree->viewport()->update();
    QueueEvent(EventKind::TreeEvent, control);
    return true;
}

void RightClickTree(int control) {
    Control* c = FindControl(control, ControlKind::FolderTree);
    if (c == nullptr) return;
    auto* tree = static_cast<QTreeWidget*>(c->widget);
    QTreeWidgetItem* item = tree->currentItem() != nullptr ? tree->currentItem() : tree->topLevelItem(0);
    const QPointF at = item != nullptr ? QPointF(tree->visualItemRect(item).center()) : QPointF(1, 1);
    const QPointF global = tree->viewport()->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &press);
    QApplication::sendEvent(tree->viewport(), &release);
}

void SelectListItem(int control, int item, bool selected) {
    QTableWidget* list = ListOf(control);
    if (list == nullptr || item < 0 || item >= list->rowCount()) return;
    // A click in a list of one selectable row replaces the selection; in a
    // list of several, a control-click adds the row to it or takes it out.
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::Rows;
    if (!selected)
        flags |= QItemSelectionModel::Deselect;
    else if (list->selectionMode() == QAbstractItemView::SingleSelection)
        flags |= QItemSelectionModel::ClearAndSelect;
    else
        flags |= QItemSelectionModel::Select;
    list->selectionModel()->setCurrentIndex(list->model()->index(item, 0), flags);
}

void ClickListHeader(int control, int column) {
    QTableWidget* list = ListOf(control);
    if (list == nullptr || column < 0 || column >= list->columnCount()) return;
    emit list->horizontalHeader()->sectionClicked(column);
}

bool IsListItemChecked(int control, int item) {
    QTableWidget* list = ListOf(control);
    QTableWidgetItem* cell = list == nullptr ? nullptr : list->item(item, 0);
    return cell != nullptr && cell->checkState() == Qt::Checked;
}

int FirstVisibleListItem(int control) {
    QTableWidget* list = ListOf(control);
    if (list == nullptr || list->rowCount() == 0) return 0;
    list->doItemsLayout();
    const int row = list->rowAt(0);
    return row < 0 ? 0 : row;
}

std::string GetListColumnTitle(int control, int column) {
    QTableWidget* list = ListOf(control);
    QTableWidgetItem* title = list == nullptr ? nullptr : list->horizontalHeaderItem(column);
    return title == nullptr ? std::string() : ToUtf8(title->text());
}

int GetListColumnWidth(int control, int column) {
    QTableWidget* list = ListOf(control);
    if (list == nullptr || column < 0 || column >= list->columnCount()) return 0;
    return list->columnWidth(column);
}

}  // namespace drive
}  // namespace tk
