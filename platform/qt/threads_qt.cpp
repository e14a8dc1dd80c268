// Threads: a routine on a new thread, and suspending and stopping it at the
// safe points it passes, where it holds nothing the user-interface thread
// needs.
#include <QCoreApplication>
#include <QEventLoop>

#include <condition_variable>
#include <map>
#include <memory>
#include <system_error>
#include <thread>

#include "platform/qt/qt_backend.h"

namespace tk::qt {
namespace {

struct ThreadRecord {
    ThreadRoutine routine;
    int argument;
    std::thread thread;  // touched by the threads that start, wait for and release it
    std::mutex lock;
    std::condition_variable changed;
    bool alive = true;
    bool suspended = false;
    bool stopping = false;
};

std::mutex tableLock;
std::map<int, std::shared_ptr<ThreadRecord>> threadTable;
int lastThread = 0;

thread_local ThreadRecord* currentThread = nullptr;

std::shared_ptr<ThreadRecord> FindThread(int thread) {
    std::lock_guard<std::mutex> hold(tableLock);
    auto found = threadTable.find(thread);
    return found == threadTable.end() ? nullptr : found->second;
}

void ThreadMain(std::shared_ptr<ThreadRecord> record) {
    currentThread = record.get();
    try {
        record->routine(record->argument);
    } catch (const ThreadStopped&) {
        // Stopped at a safe point: the normal way out of a stopped thread.
    } catch (...) {
        // Anything else ends the thread as well, never the program.
    }
    ReleaseOpenDrawings();
    currentThread = nullptr;
    {
        std::lock_guard<std::mutex> hold(record->lock);
        record->alive = false;
    }
    record->changed.notify_all();
    WakeUiThread();
}

bool IsAlive(ThreadRecord& record) {
    std::lock_guard<std::mutex> hold(record.lock);
    return record.alive;
}

// Joins and forgets the threads that have ended; the caller is none of them.
void ForgetEndedThreads() {
    std::vector<std::shared_ptr<ThreadRecord>> ended;
    {
        std::lock_guard<std::mutex> hold(tableLock);
        for (auto entry = threadTable.begin(); entry != threadTable.end();) {
            if (!IsAlive(*entry->second) && entry->second.get() != currentThread) {
                ended.push_back(entry->second);
                entry = threadTable.erase(entry);
            } else {
                ++entry;
            }
        }
    }
    for (auto& record : ended)
        if (record->thread.joinable()) record->thread.join();
}

}  // namespace

void ReleaseThreads() {
    std::vector<std::shared_ptr<ThreadRecord>> all;
    {
        std::lock_guard<std::mutex> hold(tableLock);
        for (auto& entry : threadTable) all.push_back(entry.second);
        threadTable.clear();
    }
    for (auto& record : all) {
        {
            std::lock_guard<std::mutex> hold(record->lock);
            record->stopping = true;
        }
        record->changed.notify_all();
        if (!record->thread.joinable()) continue;
        // A thread that has ended is joined; one still running is left to
        // end on its own as the process ends.
        if (IsAlive(*record))
            record->thread.detach();
        else
            record->thread.join();
    }
}

}  // namespace tk::qt

namespace tk {

using namespace tk::qt;

int StartThread(ThreadRoutine routine, int argument) {
    if (routine == nullptr) return 0;
    ForgetEndedThreads();
    auto record = std::make_shared<ThreadRecord>();
    record->routine = routine;
    record->argument = argument;
    std::lock_guard<std::mutex> hold(tableLock);
    try {
        record->thread = std::thread(ThreadMain, record);
    } catch (const std::system_error&) {
        return 0;
    }
    const int number = ++lastThread;
    threadTable[number] = record;
    return number;
}

bool IsThreadAlive(int thread) {
    std::shared_ptr<ThreadRecord> record = FindThread(thread);
    return record != nullptr && IsAlive(*record);
}

void SuspendThread(int thread) {
    std::shared_ptr<ThreadRecord> record = FindThread(thread);
    if (record == nullptr) return;
    std::lock_guard<std::mutex> hold(record->lock);
    if (record->alive) record->suspended = true;
}

void ResumeThread(int thread) {
    std::shared_ptr<ThreadRecord> record = FindThread(thread);
    if (record == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(record->lock);
        record->suspended = false;
    }
    record->changed.notify_all();
}

void StopThread(int thread) {
    std::shared_ptr<ThreadRecord> record = FindThread(thread);
    if (record == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(record->lock);
        record->stopping = true;
    }
    record->changed.notify_all();
}

void WaitForThreadEnd(int thread) {
    std::shared_ptr<ThreadRecord> record = FindThread(thread);
    if (record == nullptr || record.get() == currentThread) return;
    if (OnUiThread() && QCoreApplication::instance() != nullptr) {
        // Serve the thread's requests to the controls until it ends; the
        // user's input waits until the program reads events again.
        for (;;) {
            ServeRequests();
            if (!IsAlive(*record)) break;
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
        }
    } else {
        std::unique_lock<std::mutex> hold(record->lock);
        record->changed.wait(hold, [&] { return !record->alive; });
    }
    ForgetEndedThreads();
}

void ThreadSafePoint() {
    ThreadRecord* record = currentThread;
    if (record == nullptr) return;
    std::unique_lock<std::mutex> hold(record->lock);
    record->changed.wait(hold, [&] { return !record->suspended || record->stopping; });
    if (record->stopping) throw ThreadStopped{};
}

}  // namespace tk
