// Helpers the toolkit's test programs share, whatever the backend: control
// numbers, events, serving the toolkit, temporary folders and the task list
// the tests fill. Only the toolkit's own interface and its driver are used.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/toolkit.h"
#include "platform/toolkit_driver.h"

namespace toolkit_test {

namespace fs = std::filesystem;

// Each test makes controls of its own, with numbers no other test uses.
int NewControl();

std::vector<tk::Event> TakeEvents();
int CountEvents(const std::vector<tk::Event>& events, tk::EventKind kind, int control);

// Serves the toolkit until `condition` holds; false if it still does not
// after a generous while (the test then fails instead of hanging).
bool ServeUntil(const std::function<bool()>& condition);

// A path as the toolkit takes it: UTF-8.
std::string Utf8Path(const fs::path& path);

// A fresh folder under the temporary folder, removed with everything in it.
struct TempFolder {
    fs::path path;
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // The folder's text with its closing separator.
    std::string Text() const;
};

void WriteFile(const fs::path& file, const std::string& bytes);

// The names in a list's first column, in the order shown.
std::vector<std::string> Names(int list);
// The row whose first column is `name`; -1 if none.
int ItemNamed(int list, const std::string& name);

// A task list of two columns whose rows read "data-file<n>" and "Queued".
int MakeTaskList(int rows);

// The list a worker started with WorkTheList fills.
extern std::atomic<int> workerList;
// A worker that works the task list and the clipboard through requests, as
// the hashing worker does: `rows` rows "worker-<n>", each checked and marked
// "done worker-<n>", the list scrolled, then text put on the clipboard.
int WorkTheList(int rows);

}  // namespace toolkit_test
