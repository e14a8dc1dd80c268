// The Tasks tab with its worker thread: real files, the real digests, the
// real clipboard. Pausing, aborting and queueing during a run are driven at
// points the test can see (the ring drawn, a row showing "?..."), never by time.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "tests/scenarios/scenario_support.h"
#include "ui/progress_ring.h"
#include "ui/tasks_worker.h"

namespace fs = std::filesystem;

namespace {

class Tasks : public testing::Test {
protected:
    void SetUp() override { ResetProgram(); }
    void TearDown() override { ResetProgram(); }
};

struct AlgorithmChoice {
    int option;
    const char* name;
};

constexpr AlgorithmChoice Choices[] = {
    {OptionSha224, "SHA224"},
    {OptionSha256, "SHA256"},
    {OptionSha384, "SHA384"},
    {OptionSha512, "SHA512"},
};

// Small files around the sizes where the engine's blocks and reads turn over.
void AddSmallFiles(const TempFolder& folder, int count)
{
    const std::size_t sizes[] = {0, 1, 55, 56, 64, 111, 65535, 65536, 65537, 200001};
    for (int n = 0; n < count; ++n) {
        std::size_t size = sizes[static_cast<std::size_t>(n) % std::size(sizes)] + static_cast<std::size_t>(n / 10);
        std::string bytes(size, '\0');
        for (std::size_t at = 0; at < size; ++at) {
            bytes[at] = static_cast<char>((at * 131 + static_cast<std::size_t>(n) * 7) & 0xFF);
        }
        char name[32];
        std::snprintf(name, sizeof name, "small %02d.bin", n);
        WriteFileBytes(folder.path / name, bytes);
    }
}

// Chooses the folder, selects the files with these names (all when empty),
// checks the option and presses "Next".
void Queue(const TempFolder& folder, int entries, int option, const std::vector<std::string>& names = {})
{
    ASSERT_NO_FATAL_FAILURE(ChooseFolder(folder, entries));
    int count = tk::CountListItems(FileList);
    for (int entry = 0; entry < count; ++entry) {
        std::string name = tk::GetListItemText(FileList, entry, 0);
        bool wanted = names.empty() || std::find(names.begin(), names.end(), name) != names.end();
        tk::drive::SelectListItem(FileList, entry, wanted);
    }
    tk::drive::CheckOption(option);
    ServeEvents();
    Click(NextButton);
    ASSERT_EQ(tk::CountListItems(TaskList), names.empty() ? entries : static_cast<int>(names.size()));
}

bool WaitForRunEnd()
{
    return WaitUntil([] { return !IsWorkerAlive(); });
}

// The worker is inside a file: its row shows "?..." and the ring has been drawn.
bool WaitUntilHashing(int row)
{
    return WaitUntil([row] {
        return tk::GetListItemText(TaskList, row, 1) == "?..." && !RingBlank();
    });
}

std::vector<std::uint32_t> RingImage()
{
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 200; ++x) {
            pixels.push_back(tk::drive::SurfacePixel(ProgressRing, x, y));
        }
    }
    return pixels;
}

std::string CopiedText()
{
    Click(CopyButton);
    return tk::drive::ReadClipboardText();
}

}  // namespace

// Every row gets the digest of its file in the checked algorithm and its tick;
// "Copy all hashes" gives path and label lines, each ended by CR LF.
TEST_F(Tasks, StartHashesEveryRowAndCopyGivesTheExactText)
{
    TempFolder folder;
    AddSmallFiles(folder, 12);
    for (const AlgorithmChoice& choice : Choices) {
        SCOPED_TRACE(choice.name);
        ASSERT_NO_FATAL_FAILURE(Queue(folder, 12, choice.option));
        EXPECT_EQ(tk::GetControlText(StartButton), std::string("Start ") + choice.name);

        Click(StartButton);
        ASSERT_TRUE(WaitForRunEnd());

        std::string expectedCopy;
        std::vector<TaskRow> rows = ReadTaskRows();
        ASSERT_EQ(rows.size(), 12u);
        for (std::size_t row = 0; row < rows.size(); ++row) {
            EXPECT_EQ(rows[row].result, EngineFileDigest(choice.name, rows[row].path)) << rows[row].path;
            EXPECT_TRUE(tk::drive::IsListItemChecked(TaskList, static_cast<int>(row))) << "row " << row;
            expectedCopy += rows[row].path + "\r\n" + choice.name + ": " + rows[row].result + "\r\n";
        }
        EXPECT_EQ(CopiedText(), expectedCopy);
        EXPECT_TRUE(RingBlank());  // each file's ring is cleared after its full circle
    }
}

// A second run hashes every row again, with the option checked now.
TEST_F(Tasks, StartAfterARunHashesEveryRowAgain)
{
    TempFolder folder;
    AddSmallFiles(folder, 3);
    ASSERT_NO_FATAL_FAILURE(Queue(folder, 3, OptionSha256));
    Click(StartButton);
    ASSERT_TRUE(WaitForRunEnd());
    tk::drive::CheckOption(OptionSha512);
    ServeEvents();
    Click(StartButton);
    ASSERT_TRUE(WaitForRunEnd());
    for (const TaskRow& row : ReadTaskRows()) {
        EXPECT_EQ(row.result, EngineFileDigest("SHA512", row.path)) << row.path;
    }
}

// Each copied line names the algorithm that made the digest beside it; rows
// without a digest take the label from the Start caption; "Queued" rows are
// left out; nothing at all still replaces the clipboard.
TEST_F(Tasks, CopyLabelsEveryRowByTheAlgorithmOfItsDigest)
{
    TempFolder folder;
    AddSmallFiles(folder, 4);
    ASSERT_NO_FATAL_FAILURE(Queue(folder, 4, OptionSha224));  // caption "Start SHA224"
    std::vector<TaskRow> queued = ReadTaskRows();
    fs::remove(fs::path(std::u8string(queued[2].path.begin(), queued[2].path.end())));  // cannot be opened
    tk::drive::CheckOption(OptionSha512);
    ServeEvents();

    Click(StartButton);
    ASSERT_TRUE(WaitForRunEnd());
    tk::AppendListItem(TaskList, "/not/yet/hashed\nQueued");

    std::vector<TaskRow> rows = ReadTaskRows();
    EXPECT_EQ(rows[2].result, "");
    std::string expected;
    for (std::size_t row = 0; row < 4; ++row) {
        std::string label = row == 2 ? "SHA224" : "SHA512";
        expected += rows[row].path + "\r\n" + label + ": " + rows[row].result + "\r\n";
    }
    EXPECT_EQ(CopiedText(), expected);

    tk::ClearListItems(TaskList);
    tk::AppendListItem(TaskList, "/only/queued\nQueued");
    EXPECT_EQ(CopiedText(), "");
}

// While paused nothing moves: no row, no ring, and "Start" starts no second
// worker. The option changed meanwhile
// applies to the rows taken up later; "Copy" during the run labels the row
// being hashed by the caption. Resuming finishes the run.
TEST_F(Tasks, PauseHoldsEverythingAndResumeFinishes)
{
    TempFolder folder;
    MakeSparseFile(folder.path / "a large one.bin", std::int64_t{512} << 20);
    AddSmallFiles(folder, 2);
    ASSERT_NO_FATAL_FAILURE(Queue(folder, 3, OptionSha256));
    ASSERT_EQ(tk::GetListItemText(TaskList, 0, 0), folder.TreeText() + "a large one.bin");

    Click(StartButton);
    ASSERT_TRUE(WaitUntilHashing(0));
    // Let the arc reach the left end of the ellipse (a quarter of the file or
    // more), so that the screenshots show a ring part-way.
    ASSERT_TRUE(WaitUntil([] { return RingPixelDrawn(12, 38) || tk::GetListItemText(TaskList, 0, 1) != "?..."; }));
    Click(PauseButton);
    EXPECT_EQ(tk::GetControlText(PauseButton), "Resume");

    ServeEventsFor(300);  // a request already on its way may still land
    std::vector<TaskRow> rowsPaused = ReadTaskRows();
    std::vector<std::uint32_t> ringPaused = RingImage();
    Click(StartButton);  // a worker is alive, if paused: no second one starts
    ServeEventsFor(1500);
    EXPECT_EQ(ReadTaskRows(), rowsPaused);
    EXPECT_TRUE(RingImage() == ringPaused) << "the ring moved while paused";
    EXPECT_EQ(rowsPaused[0].result, "?...");
    EXPECT_EQ(rowsPaused[1].result, "Queued");
    EXPECT_TRUE(IsWorkerAlive());

    EXPECT_TRUE(tk::drive::SaveControlImage(ProgressRing, ScreenshotPath("ring-during-run")));
    EXPECT_TRUE(tk::drive::SaveWindowScreenshot(ScreenshotPath("tab-tasks-paused")));

    tk::drive::CheckOption(OptionSha384);
    ServeEvents();
    EXPECT_EQ(CopiedText(), rowsPaused[0].path + "\r\nSHA256: ?...\r\n");

    Click(PauseButton);
    EXPECT_EQ(tk::GetControlText(PauseButton), "Pause");
    ASSERT_TRUE(WaitForRunEnd());
    std::vector<TaskRow> rows = ReadTaskRows();
    EXPECT_EQ(rows[0].result, EngineFileDigest("SHA256", rows[0].path));
    EXPECT_EQ(rows[1].result, EngineFileDigest("SHA384", rows[1].path));
    EXPECT_EQ(rows[2].result, EngineFileDigest("SHA384", rows[2].path));
    EXPECT_EQ(CopiedText(), rows[0].path + "\r\nSHA256: " + rows[0].result + "\r\n" + rows[1].path +
                                "\r\nSHA384: " + rows[1].result + "\r\n" + rows[2].path + "\r\nSHA384: " +
                                rows[2].result + "\r\n");
    EXPECT_TRUE(tk::drive::SaveWindowScreenshot(ScreenshotPath("tab-tasks-done")));
}

// Abort in the middle of a file of several GiB, running or paused: the
// worker has ended when the handler returns, the list and the ring are empty,
// and the Pause button keeps its caption.
class AbortDuringALargeFile : public Tasks, public testing::WithParamInterface<bool> {};

TEST_P(AbortDuringALargeFile, EmptiesTheListAndTheRing)
{
    bool paused = GetParam();
    TempFolder folder;
    MakeSparseFile(folder.path / "huge.bin", std::int64_t{3} << 30);
    AddSmallFiles(folder, 1);
    ASSERT_NO_FATAL_FAILURE(Queue(folder, 2, OptionSha512));

    Click(StartButton);
    ASSERT_TRUE(WaitUntilHashing(0));
    if (paused) {
        Click(PauseButton);
    }
    Click(AbortButton);

    EXPECT_FALSE(IsWorkerAlive());
    EXPECT_EQ(tk::CountListItems(TaskList), 0);
    EXPECT_TRUE(RingBlank());
    EXPECT_EQ(tk::GetControlText(PauseButton), paused ? "Resume" : "Pause");
    EXPECT_EQ(tk::GetControlText(StartButton), "Start SHA512");

    // Nothing comes back afterwards.
    ServeEventsFor(300);
    EXPECT_EQ(tk::CountListItems(TaskList), 0);
    EXPECT_TRUE(RingBlank());
}

INSTANTIATE_TEST_SUITE_P(RunningOrPaused, AbortDuringALargeFile, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Paused" : "Running"; });

// Start with no rows: the worker finds nothing and ends. Pause and Abort
// with no live worker leave everything as it is.
TEST_F(Tasks, ButtonsWithNothingToDoChangeNothing)
{
    Click(StartButton);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(tk::CountListItems(TaskList), 0);
    EXPECT_TRUE(RingBlank());
    EXPECT_EQ(tk::GetControlText(StartButton), "Start");

    tk::AppendListItem(TaskList, "/some/file\nQueued");
    Click(PauseButton);
    EXPECT_EQ(tk::GetControlText(PauseButton), "Pause");
    Click(AbortButton);
    EXPECT_EQ(ReadTaskRows(), (std::vector<TaskRow>{{"/some/file", "Queued"}}));
    EXPECT_EQ(CopiedText(), "");
}

// From the tenth row on, each result scrolls the list down by a step; up to
// nine rows it stays at the top.
TEST_F(Tasks, TenRowsAndMoreScroll)
{
    TempFolder folder;
    AddSmallFiles(folder, 16);
    struct Case {
        int rows;
        bool scrolls;
    };
    for (Case run : {Case{9, false}, Case{16, true}}) {
        SCOPED_TRACE(run.rows);
        std::vector<std::string> names;
        for (int n = 0; n < run.rows; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "small %02d.bin", n);
            names.push_back(name);
        }
        ASSERT_NO_FATAL_FAILURE(Queue(folder, 16, OptionSha224, names));
        Click(StartButton);
        ASSERT_TRUE(WaitForRunEnd());
        ServeEvents();
        EXPECT_EQ(tk::drive::FirstVisibleListItem(TaskList) > 0, run.scrolls)
            << "first visible row " << tk::drive::FirstVisibleListItem(TaskList);
    }
}

// "Next" during a run replaces the rows under the worker; the digest of the
// file it was hashing must not land in the row that now holds another file.
TEST_F(Tasks, NextDuringARunNeverPutsADigestInAnotherFilesRow)
{
    TempFolder folder;
    MakeSparseFile(folder.path / "0 large.bin", std::int64_t{512} << 20);
    AddSmallFiles(folder, 5);  // "small 00.bin" ... "small 04.bin"
    ASSERT_NO_FATAL_FAILURE(Queue(folder, 6, OptionSha256, {"0 large.bin", "small 00.bin", "small 01.bin"}));

    Click(StartButton);
    ASSERT_TRUE(WaitUntilHashing(0));
    Click(PauseButton);  // keeps the large file unfinished while the list changes

    ASSERT_NO_FATAL_FAILURE(Queue(folder, 6, OptionSha256, {"small 02.bin", "small 03.bin", "small 04.bin"}));
    Click(PauseButton);
    ASSERT_TRUE(WaitForRunEnd());

    // The run went on from its index in the new list: row 0 was never taken up.
    std::vector<TaskRow> rows = ReadTaskRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (TaskRow{folder.TreeText() + "small 02.bin", "Queued"}));
    for (std::size_t row = 1; row < rows.size(); ++row) {
        EXPECT_EQ(rows[row].result, EngineFileDigest("SHA256", rows[row].path)) << rows[row].path;
    }
}
