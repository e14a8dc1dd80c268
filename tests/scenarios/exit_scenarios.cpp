// Closing the window: whatever the worker is doing (nothing, hashing a large
// file, paused in it, finished), the program stops it, releases the ring and
// ends with exit code 0. Each case runs the whole program in a child process
// (this same test program, started with --close-case), so that its exit code
// is the program's own.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/scenarios/scenario_support.h"
#include "ui/tasks_worker.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string SelfPath;

// Exit codes of a child that could not set its case up; 0 only comes from a
// shutdown that ran to its end.
constexpr int SetUpFailed = 2;
constexpr int CloseNotHandled = 3;

// The child: the program with a close request at the point the case names.
int RunCaseAndClose(const std::string& kind, const std::string& folder)
{
    StartUp();
    if (kind != "idle") {
        if (!tk::drive::SelectTreeFolder(FolderTree, folder)) {
            return SetUpFailed;
        }
        if (!WaitUntil([] { return tk::CountListItems(FileList) == 2; }, 60)) {
            return SetUpFailed;
        }
        tk::drive::SelectListItem(FileList, 0, true);
        tk::drive::SelectListItem(FileList, 1, true);
        tk::drive::ClickButton(NextButton);
        ServeEvents();
        tk::drive::ClickButton(StartButton);
        ServeEvents();
        bool reached = kind == "ended"
            ? WaitUntil([] { return !IsWorkerAlive(); }, 600)
            : WaitUntil([] { return tk::GetListItemText(TaskList, 0, 1) == "?..."; }, 60);
        if (!reached) {
            return SetUpFailed;
        }
        if (kind == "paused") {
            tk::drive::ClickButton(PauseButton);
            ServeEvents();
        }
    }
    tk::drive::RequestClose();
    if (!WaitUntil([] { return !ServeEvents(); }, 60)) {
        return CloseNotHandled;
    }
    ShutDown();
    return 0;
}

int RunChild(const std::string& kind, const std::string& folder)
{
    std::string command = "\"" + SelfPath + "\" --close-case " + kind + " \"" + folder + "\"";
#ifdef _WIN32
    command = "\"" + command + "\"";  // cmd.exe drops the outer quotes
#endif
    int status = std::system(command.c_str());
#ifdef _WIN32
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

class Closing : public testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(Closing, EndsTheProgramWithExitCodeZero)
{
    std::string kind = GetParam();
    TempFolder folder;
    // A file far too large to finish while the test watches, then a small one.
    MakeSparseFile(folder.path / (kind == "ended" ? "a small one.bin" : "a huge one.bin"),
                   kind == "ended" ? 1000 : std::int64_t{3} << 30);
    WriteFileBytes(folder.path / "b.txt", "b");
    // The folder goes over the command line without its closing separator: on
    // Windows a backslash before the closing quote would escape it.
    EXPECT_EQ(RunChild(kind, PathText(folder.path)), 0);
}

INSTANTIATE_TEST_SUITE_P(WhileTheWorker, Closing, testing::Values("idle", "running", "paused", "ended"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

int main(int argc, char** argv)
{
    PrepareTestProcess();
    if (argc == 4 && std::string(argv[1]) == "--close-case") {
        return RunCaseAndClose(argv[2], argv[3] + PathText(fs::path("/").make_preferred()));
    }
    SelfPath = PathText(fs::absolute(argv[0]));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
