// The Tasks tab and its worker.
//
// The worker talks to the controls only through toolkit operations, each of
// which the user-interface thread carries out whole. Pausing and stopping are
// cooperative: the worker meets them at tk::ThreadSafePoint, between rows and
// (through ReportProgress) between blocks of a file, where it holds nothing
// the user-interface thread needs. A stop unwinds out of the digest as
// tk::ThreadStopped; the engine closes its file and frees its buffers on the
// way.
#include "ui/tasks_worker.h"

#include <exception>
#include <string>

#include "digest/sha256_digests.h"
#include "digest/sha512_digests.h"
#include "platform/toolkit.h"
#include "ui/main_window.h"
#include "ui/progress_ring.h"

namespace {

// The most recently started worker thread; 0 before the first. Used by the
// user-interface thread alone.
int ActiveWorker = 0;

using FileDigest = DigestText (*)(const std::string& fileName, ProgressRoutine progress);

struct Algorithm {
    int option;
    FileDigest digest;
};

// In the order in which the options are looked at.
constexpr Algorithm Algorithms[] = {
    {OptionSha224, Sha224FileDigest},
    {OptionSha256, Sha256FileDigest},
    {OptionSha384, Sha384FileDigest},
    {OptionSha512, Sha512FileDigest},
};

// The first checked option decides; the group always has one checked, and
// SHA-224 (the option checked at start-up) stands in should none be.
FileDigest CheckedFileDigest()
{
    for (const Algorithm& algorithm : Algorithms) {
        if (tk::IsChecked(algorithm.option)) {
            return algorithm.digest;
        }
    }
    return Sha224FileDigest;
}

// One task row: hash the file the row names and write the digest back, but
// only into a row that still names that file ("Next" may have refilled the
// list meanwhile, and the worker knows its row only by index).
void HashRow(int row)
{
    tk::SetListItemChecked(TaskList, row, true);
    tk::ClearListItemSelection(TaskList, row);
    tk::SetListItemText(TaskList, row, 1, "?...");
    std::string path = tk::GetListItemText(TaskList, row, 0);
    FileDigest digest = CheckedFileDigest();
    DigestText result = digest(path, ReportProgress);
    tk::ThreadSafePoint();  // a paused worker changes no row
    tk::SetListItemTextIf(TaskList, row, 1, result, 0, path);
    if (row > 8) {
        tk::ScrollList(TaskList, 0, 14);  // from the tenth row on, keep the latest in view
    }
}

}  // namespace

bool IsWorkerAlive()
{
    return ActiveWorker != 0 && tk::IsThreadAlive(ActiveWorker);
}

void CreateTasksTab()
{
    tk::CreateTaskList(TaskList, 0, 0, 492, 220);
    tk::AddListColumn(TaskList, "Files", 240);
    tk::AddListColumn(TaskList, "Results", 245);
    CreateProgressRing();
    tk::CreatePushButton(StartButton, 140, 315, 200, 20, "Start");
    tk::CreatePushButton(PauseButton, 40, 315, 90, 20, "Pause");
    tk::CreatePushButton(AbortButton, 350, 315, 90, 20, "Abort");
    tk::CreatePushButton(CopyButton, 140, 345, 200, 20, "Copy all hashes");
}

int HashWorker(int)
{
    try {
        // The row count is read afresh for every row: the run follows the
        // list as it is now.
        for (int row = 0;; ++row) {
            tk::ThreadSafePoint();
            if (row >= tk::CountListItems(TaskList)) {
                break;
            }
            HashRow(row);
        }
    } catch (const tk::ThreadStopped&) {
        // Aborted or closing: the list and the ring are the user-interface
        // thread's from here on.
    } catch (const std::exception&) {
        // Out of memory in the middle of a file: the run ends there.
    }
    return 0;
}

void StartWorker()
{
    if (IsWorkerAlive()) {
        return;
    }
    if (ActiveWorker != 0) {
        tk::WaitForThreadEnd(ActiveWorker);  // the last run has ended; collect it
    }
    ActiveWorker = tk::StartThread(HashWorker, 0);
}

void TogglePause()
{
    if (!IsWorkerAlive()) {
        return;
    }
    if (tk::GetControlText(PauseButton) == "Pause") {
        tk::SuspendThread(ActiveWorker);
        tk::SetControlText(PauseButton, "Resume");
    } else {
        tk::ResumeThread(ActiveWorker);
        tk::SetControlText(PauseButton, "Pause");
    }
}

void AbortWorker()
{
    if (!IsWorkerAlive()) {
        return;
    }
    tk::StopThread(ActiveWorker);
    tk::WaitForThreadEnd(ActiveWorker);
    tk::ClearListItems(TaskList);
    DrawProgressRing(0.0, ProgressRing);
}

std::string ResultLabel(const std::string& result, const std::string& startCaption)
{
    switch (result.size()) {
    case 56:
        return "SHA224";
    case 64:
        return "SHA256";
    case 96:
        return "SHA384";
    case 128:
        return "SHA512";
    default:
        break;
    }
    // Every occurrence of "Start " in the caption is removed.
    const std::string start = "Start ";
    std::string label;
    std::size_t from = 0;
    for (std::size_t at = startCaption.find(start); at != std::string::npos; at = startCaption.find(start, from)) {
        label.append(startCaption, from, at - from);
        from = at + start.size();
    }
    label.append(startCaption, from, std::string::npos);
    return label;
}

void CopyAllHashes()
{
    std::string startCaption = tk::GetControlText(StartButton);
    std::string text;
    for (int row = 0; row < tk::CountListItems(TaskList); ++row) {
        // Read once, so that the label always belongs to the result beside it.
        std::string result = tk::GetListItemText(TaskList, row, 1);
        if (result == "Queued") {
            continue;
        }
        text += tk::GetListItemText(TaskList, row, 0);
        text += "\r\n";
        text += ResultLabel(result, startCaption);
        text += ": ";
        text += result;
        text += "\r\n";
    }
    tk::PutClipboardText(text);
}

void StopWorkerAtExit()
{
    if (ActiveWorker == 0) {
        return;
    }
    if (tk::IsThreadAlive(ActiveWorker)) {
        tk::StopThread(ActiveWorker);
    }
    tk::WaitForThreadEnd(ActiveWorker);
    ActiveWorker = 0;
}
