// Front-end figures with the real toolkit (offscreen unless a platform is set):
//  1. a keystroke in TextInput holding 1 MiB of text: RefreshTextDigests alone,
//     then a typed character: the toolkit's edit, and its event with the
//     recompute;
//  2. how long a request to the user-interface thread waits while the worker
//     hashes a 1 GiB file, against the same with no worker.
// Prints plain figures. The 1 GiB file is sparse, in a folder of its own
// under the system's temporary folder, removed at the end.
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "digest/sha256_digests.h"
#include "digest/sha512_digests.h"
#include "platform/toolkit.h"
#include "platform/toolkit_driver.h"
#include "ui/main_window.h"
#include "ui/tasks_worker.h"
#include "ui/text_tab.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Summary {
    double median, p99, max;
    std::size_t count;
};

Summary Summarise(std::vector<double> samples)
{
    if (samples.empty()) {
        return {0, 0, 0, 0};
    }
    std::sort(samples.begin(), samples.end());
    auto at = [&](double fraction) { return samples[static_cast<std::size_t>(fraction * (samples.size() - 1))]; };
    return {at(0.5), at(0.99), samples.back(), samples.size()};
}

void ServePending()
{
    tk::Event event{};
    while (tk::drive::PollEvent(event)) {
        HandleEvent(event);
    }
}

void MeasureKeystrokes()
{
    std::string text(std::size_t{1} << 20, ' ');
    for (std::size_t at = 0; at < text.size(); ++at) {
        text[at] = static_cast<char>('a' + at % 26);
    }
    tk::drive::ReplaceText(TextInput, text);
    ServePending();
    std::size_t held = tk::GetTextInSystemCodePage(TextInput).size();
    std::printf("text in TextInput: %zu bytes%s\n", held, held < text.size() ? " (the input holds no more)" : "");

    // What a keystroke costs the engine with the whole 1 MiB, whatever the
    // input holds: the four memory digests.
    std::vector<double> engine;
    for (int run = 0; run < 15; ++run) {
        Clock::time_point start = Clock::now();
        auto length = static_cast<std::int32_t>(text.size());
        Sha512MemoryDigest(text.data(), length);
        Sha384MemoryDigest(text.data(), length);
        Sha256MemoryDigest(text.data(), length);
        Sha224MemoryDigest(text.data(), length);
        engine.push_back(MillisecondsSince(start));
    }
    Summary digests = Summarise(engine);
    std::printf("four memory digests of 1 MiB: median %.2f ms, max %.2f ms (%zu runs)\n", digests.median,
                digests.max, digests.count);

    const int runs = 15;
    std::vector<double> refresh, edit, handling;
    for (int run = 0; run < runs; ++run) {
        Clock::time_point start = Clock::now();
        RefreshTextDigests();
        refresh.push_back(MillisecondsSince(start));
    }
    for (int run = 0; run < runs; ++run) {
        tk::drive::ReplaceText(TextInput, text.substr(0, held - 1));  // room for one more character
        ServePending();
        Clock::time_point start = Clock::now();
        tk::drive::TypeText(TextInput, "x");
        edit.push_back(MillisecondsSince(start));
        start = Clock::now();
        ServePending();
        handling.push_back(MillisecondsSince(start));
    }
    Summary r = Summarise(refresh), e = Summarise(edit), h = Summarise(handling);
    std::printf("RefreshTextDigests, text of %zu bytes: median %.2f ms, max %.2f ms (%zu runs)\n", held, r.median,
                r.max, r.count);
    std::printf("keystroke at the end of that text: the toolkit's edit median %.2f ms, max %.2f ms; "
                "its event with the recompute median %.2f ms, max %.2f ms (%zu runs)\n",
                e.median, e.max, h.median, h.max, h.count);
    tk::drive::ReplaceText(TextInput, "");
    ServePending();
}

// The probe: a second thread of the toolkit that keeps asking the
// user-interface thread for a cell of TaskList, as the worker does for every
// row, and times each answer. The user-interface thread serves it (and the
// worker) while it waits for the probe to end.
std::vector<double> Waits;
double HashMilliseconds = 0;

int IdleProbe(int milliseconds)
{
    Clock::time_point begin = Clock::now();
    while (MillisecondsSince(begin) < milliseconds) {
        Clock::time_point start = Clock::now();
        tk::GetListItemText(TaskList, 0, 1);
        Waits.push_back(MillisecondsSince(start));
        tk::SleepMilliseconds(2);
    }
    return 0;
}

// Runs until the worker has written the digest of row 0.
int HashingProbe(int)
{
    Clock::time_point begin = Clock::now();
    for (;;) {
        Clock::time_point start = Clock::now();
        std::string result = tk::GetListItemText(TaskList, 0, 1);
        Waits.push_back(MillisecondsSince(start));
        if (result.size() == 64) {
            break;
        }
        tk::SleepMilliseconds(2);
    }
    HashMilliseconds = MillisecondsSince(begin);
    return 0;
}

Summary RunProbe(tk::ThreadRoutine probe, int argument)
{
    Waits.clear();
    int thread = tk::StartThread(probe, argument);
    tk::WaitForThreadEnd(thread);
    return Summarise(Waits);
}

void MeasureRequestsWhileHashing()
{
    fs::path folder = fs::temp_directory_path() /
                      ("quorvil-bench-" + std::to_string(Clock::now().time_since_epoch().count()));
    fs::create_directory(folder);
    fs::path file = folder / "one GiB.bin";
    { std::ofstream out(file, std::ios::binary); }
    fs::resize_file(file, std::uintmax_t{1} << 30);
    std::u8string path = file.u8string();
    tk::AppendListItem(TaskList, std::string(path.begin(), path.end()) + "\nQueued");
    tk::SetChecked(OptionSha256, true);

    Summary idle = RunProbe(IdleProbe, 1000);
    StartWorker();
    Summary busy = RunProbe(HashingProbe, 0);
    while (IsWorkerAlive()) {
        ServePending();
        tk::SleepMilliseconds(1);
    }

    std::printf("request to the UI thread, no worker: median %.3f ms, p99 %.3f ms, max %.3f ms (%zu requests)\n",
                idle.median, idle.p99, idle.max, idle.count);
    std::printf("request to the UI thread while hashing 1 GiB: median %.3f ms, p99 %.3f ms, max %.3f ms "
                "(%zu requests)\n", busy.median, busy.p99, busy.max, busy.count);
    std::printf("1 GiB hashed (SHA-256, ring drawn at every percent) in %.0f ms\n", HashMilliseconds);

    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

}  // namespace

int main()
{
    setenv("LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "C.UTF-8");
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    StartUp();
    MeasureKeystrokes();
    MeasureRequestsWhileHashing();
    ShutDown();
    return 0;
}
