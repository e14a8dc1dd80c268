// The Files tab with a real folder: the tree chooses it, the list shows its
// files, "Next" queues the selected ones on the Tasks tab.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/scenarios/scenario_support.h"

namespace fs = std::filesystem;

namespace {

// A folder like a user's: a hidden file, names with spaces and with letters
// beyond ASCII, many plain files, and a subfolder the list must not show.
struct SampleFolder {
    TempFolder folder;
    std::set<std::string> names;

    SampleFolder()
    {
        std::vector<std::string> special = {
            ".hidden",
            "a file with spaces.txt",
            "na\xC3\xAFve r\xC3\xA9sum\xC3\xA9.txt",
            "\xC3\x9C" "bergr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC.bin",
        };
        for (const std::string& name : special) {
            Add(name, "content of " + name);
        }
        for (int n = 0; n < 25; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "file-%02d.dat", n);
            Add(name, std::string(static_cast<std::size_t>(n) * 1000, static_cast<char>('a' + n)));
        }
        fs::create_directory(folder.path / "subfolder");
    }

    void Add(const std::string& name, const std::string& content)
    {
        WriteFileBytes(folder.path / fs::path(std::u8string(name.begin(), name.end())), content);
        names.insert(name);
    }
    int Count() const { return static_cast<int>(names.size()); }
};

class ChoosingFiles : public testing::Test {
protected:
    void SetUp() override { ResetProgram(); }
};

bool NoFileSelected()
{
    int count = tk::CountListItems(FileList);
    for (int entry = 0; entry < count; ++entry) {
        if (tk::IsListItemSelected(FileList, entry)) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST_F(ChoosingFiles, NextBeforeAnyFolderEmptiesTheTasksAndNamesTheCheckedAlgorithm)
{
    tk::AppendListItem(TaskList, "/earlier/file\nQueued");
    tk::AppendListItem(TaskList, "/earlier/other\n0123");
    tk::drive::CheckOption(OptionSha384);
    ServeEvents();
    EXPECT_EQ(tk::CountListItems(FileList), 0);

    Click(NextButton);

    EXPECT_EQ(tk::drive::SelectedTab(MainPanel), TasksTab);
    EXPECT_EQ(tk::CountListItems(TaskList), 0);
    EXPECT_EQ(tk::GetControlText(StartButton), "Start SHA384");
}

TEST_F(ChoosingFiles, ChosenFolderListsEveryFileHiddenOnesTooAndNoFolder)
{
    SampleFolder sample;
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(sample.folder, sample.Count()));
    std::vector<std::string> names = FileListNames();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), sample.names);

    // Sorted by name: the numbered files come in their order.
    std::vector<std::string> numbered;
    std::copy_if(names.begin(), names.end(), std::back_inserter(numbered),
                 [](const std::string& name) { return name.rfind("file-", 0) == 0; });
    EXPECT_TRUE(std::is_sorted(numbered.begin(), numbered.end()));

    // The list watches its folder.
    WriteFileBytes(sample.folder.path / "arrived later.txt", "new");
    EXPECT_TRUE(WaitUntil([&] { return tk::CountListItems(FileList) == sample.Count() + 1; }));
}

TEST_F(ChoosingFiles, NextQueuesTheSelectedFilesInListOrder)
{
    SampleFolder sample;
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(sample.folder, sample.Count()));
    std::vector<std::string> names = FileListNames();

    // Every third entry, from the last to the first, so that the order of
    // selecting differs from the order of the list.
    std::vector<TaskRow> expected;
    for (int entry = static_cast<int>(names.size()) - 1; entry >= 0; --entry) {
        if (entry % 3 == 1) {
            tk::drive::SelectListItem(FileList, entry, true);
        }
    }
    for (int entry = 0; entry < static_cast<int>(names.size()); ++entry) {
        if (entry % 3 == 1) {
            expected.push_back({sample.folder.TreeText() + names[static_cast<std::size_t>(entry)], "Queued"});
        }
    }
    tk::drive::CheckOption(OptionSha256);
    ServeEvents();
    tk::SelectTab(MainPanel, FilesTab);
    EXPECT_TRUE(tk::drive::SaveWindowScreenshot(ScreenshotPath("tab-files-selected")));

    Click(NextButton);

    EXPECT_EQ(tk::drive::SelectedTab(MainPanel), TasksTab);
    EXPECT_EQ(ReadTaskRows(), expected);
    for (int row = 0; row < tk::CountListItems(TaskList); ++row) {
        EXPECT_FALSE(tk::drive::IsListItemChecked(TaskList, row)) << "row " << row;
    }
    EXPECT_EQ(tk::GetControlText(StartButton), "Start SHA256");
    // The same folder is listed afresh, with nothing selected.
    EXPECT_TRUE(WaitUntil([&] { return tk::CountListItems(FileList) == sample.Count(); }));
    EXPECT_TRUE(NoFileSelected());
    EXPECT_EQ(tk::GetControlText(FolderTree), sample.folder.TreeText());
}

TEST_F(ChoosingFiles, CaptionFollowsTheOptionOnlyWhenNextIsPressed)
{
    SampleFolder sample;
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(sample.folder, sample.Count()));
    tk::drive::SelectListItem(FileList, 0, true);
    tk::drive::CheckOption(OptionSha512);
    ServeEvents();
    Click(NextButton);
    EXPECT_EQ(tk::GetControlText(StartButton), "Start SHA512");
    EXPECT_EQ(tk::CountListItems(TaskList), 1);

    tk::drive::CheckOption(OptionSha224);
    ServeEvents();
    EXPECT_EQ(tk::GetControlText(StartButton), "Start SHA512");
    EXPECT_TRUE(tk::IsChecked(OptionSha224));
    EXPECT_FALSE(tk::IsChecked(OptionSha512));

    // "Next" with nothing selected: the earlier rows are gone.
    ASSERT_TRUE(WaitUntil([&] { return tk::CountListItems(FileList) == sample.Count(); }));
    Click(NextButton);
    EXPECT_EQ(tk::GetControlText(StartButton), "Start SHA224");
    EXPECT_EQ(tk::CountListItems(TaskList), 0);
}

// Any event of the tree lists the folder afresh, which clears the selection;
// the root (or no folder) shows nothing.
TEST_F(ChoosingFiles, TreeEventsListTheFolderAfreshAndTheRootShowsNothing)
{
    SampleFolder sample;
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(sample.folder, sample.Count()));
    tk::drive::SelectListItem(FileList, 2, true);
    tk::drive::SelectListItem(FileList, 5, true);
    ASSERT_FALSE(NoFileSelected());

    tk::drive::RightClickTree(FolderTree);
    ServeEvents();
    EXPECT_TRUE(WaitUntil([&] { return tk::CountListItems(FileList) == sample.Count(); }));
    EXPECT_TRUE(NoFileSelected());
    EXPECT_EQ(tk::GetControlText(FolderTree), sample.folder.TreeText());

    ASSERT_TRUE(tk::drive::SelectTreeFolder(FolderTree, ""));
    ServeEvents();
    EXPECT_EQ(tk::GetControlText(FolderTree), "");
    EXPECT_TRUE(WaitUntil([] { return tk::CountListItems(FileList) == 0; }));
}

#ifndef _WIN32
// A file name may hold a line feed, the very character that separates a
// row's columns on its way into the task list: the row must still hold the
// whole path in "Files" and "Queued" in "Results".
TEST_F(ChoosingFiles, NameWithALineFeedStaysOneRow)
{
    TempFolder folder;
    const std::string name = "two\nlines.txt";
    WriteFileBytes(folder.path / name, "x");
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(folder, 1));
    ASSERT_EQ(tk::GetListItemText(FileList, 0, 0), name);
    tk::drive::SelectListItem(FileList, 0, true);
    Click(NextButton);
    EXPECT_EQ(ReadTaskRows(), (std::vector<TaskRow>{{folder.TreeText() + name, "Queued"}}));
}
#endif
