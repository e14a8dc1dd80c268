// The Files tab. It keeps nothing of its own: the folder lives in the tree,
// the chosen files in the file list, the algorithm in the option buttons.
#include "ui/files_tab.h"

#include <string>

#include "platform/toolkit.h"
#include "ui/main_window.h"

namespace {

struct AlgorithmOption {
    int option;
    const char* caption;
    const char* startCaption;
};

// Also the order in which the checked option is looked for.
constexpr AlgorithmOption AlgorithmOptions[] = {
    {OptionSha224, "SHA224", "Start SHA224"},
    {OptionSha256, "SHA256", "Start SHA256"},
    {OptionSha384, "SHA384", "Start SHA384"},
    {OptionSha512, "SHA512", "Start SHA512"},
};

// One "Queued" task row for a file. A row reaches the list as one text with
// its columns separated by a line feed, so a name that itself holds a line
// feed (legal on some file systems) is written into its cell separately.
void AppendTaskRow(const std::string& path)
{
    if (path.find('\n') == std::string::npos) {
        tk::AppendListItem(TaskList, path + "\nQueued");
        return;
    }
    tk::AppendListItem(TaskList, "\nQueued");
    tk::SetListItemText(TaskList, tk::CountListItems(TaskList) - 1, 0, path);
}

}  // namespace

void CreateFilesTab()
{
    tk::CreateFolderTree(FolderTree, 0, 10, 245, 280);
    tk::CreateFileList(FileList, 245, 10, 246, 280);
    int x = 100;
    for (const AlgorithmOption& algorithm : AlgorithmOptions) {
        tk::CreateOptionButton(algorithm.option, x, 310, 60, 20, algorithm.caption);
        x += 70;
    }
    tk::SetChecked(OptionSha224, true);
    tk::CreatePushButton(NextButton, 150, 340, 200, 20, "Next");
}

void ShowTreeFolder()
{
    tk::SetRedraw(FileList, false);
    tk::SetFileListFolder(FileList, tk::GetControlText(FolderTree));
    tk::SetRedraw(FileList, true);
}

void QueueSelectedFiles()
{
    tk::SelectTab(MainPanel, TasksTab);
    tk::ClearListItems(TaskList);

    std::string folder = tk::GetControlText(FolderTree);
    int count = tk::CountListItems(FileList);
    for (int entry = 0; entry < count; ++entry) {
        if (tk::IsListItemSelected(FileList, entry)) {
            AppendTaskRow(folder + tk::GetListItemText(FileList, entry, 0));
        }
    }

    ShowTreeFolder();

    for (const AlgorithmOption& algorithm : AlgorithmOptions) {
        if (tk::IsChecked(algorithm.option)) {
            tk::SetControlText(StartButton, algorithm.startCaption);
            break;
        }
    }
}
