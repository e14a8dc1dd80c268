#include "tests/toolkit/toolkit_test_support.h"

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

namespace toolkit_test {

int NewControl() {
    static int next = 100;
    return next++;
}

std::vector<tk::Event> TakeEvents() {
    std::vector<tk::Event> events;
    tk::Event event{};
    while (tk::drive::PollEvent(event)) events.push_back(event);
    return events;
}

int CountEvents(const std::vector<tk::Event>& events, tk::EventKind kind, int control) {
    int count = 0;
    for (const tk::Event& event : events)
        if (event.kind == kind && event.control == control) ++count;
    return count;
}

bool ServeUntil(const std::function<bool()>& condition) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) return false;
        TakeEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string Utf8Path(const fs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TempFolder::TempFolder() {
    // A number of this run's own, so that programs run side by side do not meet.
    static const std::string run = std::to_string(std::random_device{}());
    static int count = 0;
    path = fs::weakly_canonical(fs::temp_directory_path()) /
           ("toolkit_tests_" + run + "_" + std::to_string(++count));
    fs::create_directories(path);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::string TempFolder::Text() const {
    return Utf8Path(path) + (fs::path::preferred_separator == '/' ? "/" : "\\");
}

void WriteFile(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

std::vector<std::string> Names(int list) {
    std::vector<std::string> names;
    for (int item = 0; item < tk::CountListItems(list); ++item) names.push_back(tk::GetListItemText(list, item, 0));
    return names;
}

int ItemNamed(int list, const std::string& name) {
    for (int item = 0; item < tk::CountListItems(list); ++item)
        if (tk::GetListItemText(list, item, 0) == name) return item;
    return -1;
}

int MakeTaskList(int rows) {
    const int list = NewControl();
    tk::CreateTaskList(list, 0, 0, 492, 220);
    tk::AddListColumn(list, "Files", 240);
    tk::AddListColumn(list, "Results", 245);
    for (int row = 0; row < rows; ++row) tk::AppendListItem(list, "data-file" + std::to_string(row) + "\nQueued");
    return list;
}

std::atomic<int> workerList{0};

int WorkTheList(int rows) {
    const int list = workerList.load();
    for (int row = 0; row < rows; ++row) {
        tk::ThreadSafePoint();
        tk::AppendListItem(list, "worker-" + std::to_string(row) + "\nQueued");
        tk::SetListItemChecked(list, row, true);
        if (tk::SetListItemTextIf(list, row, 1, "?...", 0, tk::GetListItemText(list, row, 0)))
            tk::SetListItemText(list, row, 1, "done " + tk::GetListItemText(list, row, 0));
        tk::ScrollList(list, 0, 14);
    }
    tk::PutClipboardText("from the worker \xC3\xA9");
    return 0;
}

}  // namespace toolkit_test
