// Tests every toolkit backend passes alike, through the toolkit's interface
// and its driver only: the file list's relisting, the task list's rows, a
// drawing surface's pixels, and threads with their safe points and their
// requests to the controls. Each backend's program links these with its own
// tests, its own environment (the toolkit started, the main window open) and
// its own main.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/toolkit.h"
#include "platform/toolkit_driver.h"
#include "tests/toolkit/toolkit_test_support.h"

namespace {

using namespace toolkit_test;

// ---- the file list -----------------------------------------------------------------------------

TEST(FileList, ListsAfreshWhenTheFolderChanges) {
    const int list = NewControl();
    tk::CreateFileList(list, 245, 10, 246, 280);
    TempFolder folder;
    WriteFile(folder.path / "one", "1");
    WriteFile(folder.path / "two", "2");
    tk::SetFileListFolder(list, folder.Text());
    TakeEvents();

    struct Change {
        const char* what;
        std::function<void()> make;
        std::vector<std::string> names;
    } changes[] = {
        {"a file created", [&] { WriteFile(folder.path / "Three", "3"); }, {"one", "Three", "two"}},
        {"a file written to", [&] { std::ofstream(folder.path / "two", std::ios::app) << "more"; },
         {"one", "Three", "two"}},
        {"a file renamed", [&] { fs::rename(folder.path / "one", folder.path / "zero"); }, {"Three", "two", "zero"}},
        {"a file deleted", [&] { fs::remove(folder.path / "Three"); }, {"two", "zero"}},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        tk::drive::SelectListItem(list, 0, true);
        ASSERT_TRUE(tk::IsListItemSelected(list, 0));
        change.make();
        // The relisting clears the selection: that is how it shows here.
        ASSERT_TRUE(ServeUntil([&] { return !tk::IsListItemSelected(list, 0); }));
        EXPECT_EQ(Names(list), change.names);
    }

    // A folder no longer shown is no longer watched.
    tk::SetFileListFolder(list, "");
    WriteFile(folder.path / "four", "4");
    TakeEvents();
    EXPECT_EQ(tk::CountListItems(list), 0);
}

// ---- the task list ------------------------------------------------------------------------------

TEST(TaskList, RowsCellsAndCheckBoxes) {
    const int list = MakeTaskList(3);
    EXPECT_EQ(tk::drive::GetListColumnTitle(list, 1), "Results");
    EXPECT_EQ(tk::drive::GetListColumnWidth(list, 0), 240);
    EXPECT_EQ(tk::CountListItems(list), 3);
    EXPECT_EQ(tk::GetListItemText(list, 2, 0), "data-file2");
    EXPECT_EQ(tk::GetListItemText(list, 2, 1), "Queued");
    EXPECT_EQ(tk::GetListItemText(list, 3, 0), "");

    tk::SetListItemText(list, 7, 1, "nowhere");  // a missing row: nothing happens
    EXPECT_EQ(tk::CountListItems(list), 3);

    EXPECT_TRUE(tk::SetListItemTextIf(list, 1, 1, "?...", 0, "data-file1"));
    EXPECT_FALSE(tk::SetListItemTextIf(list, 2, 1, "?...", 0, "data-file1"));
    EXPECT_FALSE(tk::SetListItemTextIf(list, 5, 1, "?...", 0, ""));
    EXPECT_EQ(tk::GetListItemText(list, 1, 1), "?...");
    EXPECT_EQ(tk::GetListItemText(list, 2, 1), "Queued");

    // A long cell is read whole.
    const std::string digest(128, 'f');
    tk::SetListItemText(list, 0, 1, digest + digest + digest);
    EXPECT_EQ(tk::GetListItemText(list, 0, 1), digest + digest + digest);

    EXPECT_FALSE(tk::drive::IsListItemChecked(list, 0));
    tk::SetListItemChecked(list, 0, true);
    EXPECT_TRUE(tk::drive::IsListItemChecked(list, 0));

    tk::drive::SelectListItem(list, 1, true);
    tk::drive::SelectListItem(list, 2, true);  // one row at a time
    EXPECT_FALSE(tk::IsListItemSelected(list, 1));
    EXPECT_TRUE(tk::IsListItemSelected(list, 2));
    tk::ClearListItemSelection(list, 2);
    EXPECT_FALSE(tk::IsListItemSelected(list, 2));

    tk::ClearListItems(list);
    EXPECT_EQ(tk::CountListItems(list), 0);
}

// ---- drawing surfaces ---------------------------------------------------------------------------

TEST(Drawing, SurfaceStartsWhiteAndKeepsWhatIsFilled) {
    const int surface = NewControl();
    tk::CreateDrawingSurface(surface, 300, 250, 200, 80);
    EXPECT_EQ(tk::SurfaceWidth(surface), 200);
    EXPECT_EQ(tk::SurfaceHeight(surface), 80);
    EXPECT_EQ(tk::drive::SurfacePixel(surface, 199, 79), 0xFFFFFFu);
    tk::Drawing* drawing = tk::BeginDrawing(surface);
    ASSERT_NE(drawing, nullptr);
    EXPECT_EQ(tk::ReadDrawingPixel(drawing, 1, 1), 0xFFFFFFu);
    tk::FillDrawingRect(drawing, 190, 70, 50, 50, 0x123456);  // partly outside: clipped
    EXPECT_EQ(tk::ReadDrawingPixel(drawing, 199, 79), 0x123456u);
    EXPECT_EQ(tk::ReadDrawingPixel(drawing, 189, 79), 0xFFFFFFu);
    tk::EndDrawing(drawing);
    EXPECT_EQ(tk::drive::SurfacePixel(surface, 195, 75), 0x123456u);
    EXPECT_EQ(tk::BeginDrawing(NewControl()), nullptr);  // not a surface
}

// ---- threads ---------------------------------------------------------------------------------------

std::atomic<int> steps{0};

int CountSteps(int) {
    for (;;) {
        steps.fetch_add(1);
        tk::ThreadSafePoint();
    }
}

TEST(Threads, SuspendHoldsAtTheSafePointResumeGoesOnStopEnds) {
    steps = 0;
    const int thread = tk::StartThread(CountSteps, 0);
    ASSERT_GT(thread, 0);
    ASSERT_TRUE(ServeUntil([] { return steps.load() > 10; }));

    tk::SuspendThread(thread);
    ASSERT_TRUE(ServeUntil([] {
        const int before = steps.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return steps.load() == before;
    }));
    const int held = steps.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(steps.load(), held);
    EXPECT_TRUE(tk::IsThreadAlive(thread));  // a suspended thread is alive

    tk::ResumeThread(thread);
    ASSERT_TRUE(ServeUntil([&] { return steps.load() > held + 10; }));

    // Stopping a suspended thread ends it too.
    tk::SuspendThread(thread);
    tk::StopThread(thread);
    tk::WaitForThreadEnd(thread);
    EXPECT_FALSE(tk::IsThreadAlive(thread));
    tk::ResumeThread(thread);  // no effect on one that is not alive
    tk::ThreadSafePoint();     // nothing on a thread that was not started by StartThread
}

int FailWithAnException(int) { throw std::runtime_error("the routine failed"); }
int ReturnAtOnce(int argument) { return argument; }

TEST(Threads, ARoutineThatThrowsOrReturnsEndsItsThreadOnly) {
    for (tk::ThreadRoutine routine : {FailWithAnException, ReturnAtOnce}) {
        const int thread = tk::StartThread(routine, 7);
        ASSERT_GT(thread, 0);
        tk::WaitForThreadEnd(thread);
        EXPECT_FALSE(tk::IsThreadAlive(thread));
    }
    EXPECT_EQ(tk::StartThread(nullptr, 0), 0);
}

// The user-interface thread only waits while the worker works the task list
// and the clipboard through requests.
TEST(Threads, TheWorkersControlOperationsAreServedWhileTheUiThreadWaitsForItsEnd) {
    workerList = MakeTaskList(0);
    const int thread = tk::StartThread(WorkTheList, 50);
    ASSERT_GT(thread, 0);
    tk::WaitForThreadEnd(thread);  // would never return if the requests were not served
    EXPECT_FALSE(tk::IsThreadAlive(thread));
    ASSERT_EQ(tk::CountListItems(workerList), 50);
    for (int row = 0; row < 50; ++row) {
        EXPECT_EQ(tk::GetListItemText(workerList, row, 1), "done worker-" + std::to_string(row));
        EXPECT_TRUE(tk::drive::IsListItemChecked(workerList, row));
    }
    EXPECT_GT(tk::drive::FirstVisibleListItem(workerList), 0);
    EXPECT_EQ(tk::drive::ReadClipboardText(), "from the worker \xC3\xA9");
}

TEST(Threads, TheUiThreadServesTheWorkerFromItsEventWaitToo) {
    workerList = MakeTaskList(0);
    const int thread = tk::StartThread(WorkTheList, 20);
    ASSERT_TRUE(ServeUntil([&] { return !tk::IsThreadAlive(thread); }));
    EXPECT_EQ(tk::CountListItems(workerList), 20);
    tk::WaitForThreadEnd(thread);
}

std::atomic<int> ringSurface{0};
std::atomic<bool> drawingOpen{false};

// Stopped while it holds a drawing open: the surface must not stay locked.
int StopInsideADrawing(int) {
    tk::Drawing* drawing = tk::BeginDrawing(ringSurface.load());
    tk::FillDrawingRect(drawing, 0, 0, 10, 10, 0x000000);
    drawingOpen = true;
    for (;;) tk::ThreadSafePoint();
}

TEST(Threads, AThreadStoppedWithADrawingOpenLeavesTheSurfaceUsable) {
    ringSurface = NewControl();
    tk::CreateDrawingSurface(ringSurface.load(), 300, 250, 200, 80);
    drawingOpen = false;
    const int thread = tk::StartThread(StopInsideADrawing, 0);
    ASSERT_TRUE(ServeUntil([] { return drawingOpen.load(); }));
    tk::StopThread(thread);
    tk::WaitForThreadEnd(thread);
    tk::Drawing* drawing = tk::BeginDrawing(ringSurface.load());  // would wait for ever if still locked
    ASSERT_NE(drawing, nullptr);
    EXPECT_EQ(tk::ReadDrawingPixel(drawing, 5, 5), 0x000000u);
    tk::EndDrawing(drawing);
}

}  // namespace
