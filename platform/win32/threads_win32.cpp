// Threads, the clipboard and sleeping.
//
// A thread is never suspended or ended from outside: pausing and stopping are
// requests it meets at its next safe point, where it holds no lock that the
// user-interface thread needs.
#include "platform/win32/backend_win32.h"

#include <process.h>

#include <cstring>

namespace tk::win32 {

namespace {

struct ThreadRecord {
    HANDLE handle;
    ThreadRoutine routine;
    int argument;
    HANDLE running;  // manual-reset: set while the thread may go on
    volatile LONG suspended;
    volatile LONG stopped;
};

// Thread numbers are positions here plus one; records live until the
// toolkit stops, so a number stays valid after its thread has ended.
std::vector<ThreadRecord*> Threads;
CRITICAL_SECTION ThreadsLock;
INIT_ONCE ThreadsLockOnce = INIT_ONCE_STATIC_INIT;
thread_local ThreadRecord* CurrentThread = nullptr;

BOOL CALLBACK InitThreadsLock(PINIT_ONCE, PVOID, PVOID*) {
    InitializeCriticalSection(&ThreadsLock);
    return TRUE;
}

ThreadRecord* FindThread(int thread) {
    InitOnceExecuteOnce(&ThreadsLockOnce, InitThreadsLock, nullptr, nullptr);
    EnterCriticalSection(&ThreadsLock);
    ThreadRecord* record = thread >= 1 && thread <= int(Threads.size()) ? Threads[std::size_t(thread - 1)] : nullptr;
    LeaveCriticalSection(&ThreadsLock);
    return record;
}

unsigned __stdcall RunThread(void* parameter) {
    ThreadRecord* record = static_cast<ThreadRecord*>(parameter);
    CurrentThread = record;
    int result = 0;
    try {
        result = record->routine(record->argument);
    } catch (...) {
        // Stopped at a safe point, or the routine failed: either way only
        // this thread ends.
        result = 0;
    }
    // A thread stopped with a drawing open must not leave its surface locked.
    EndThreadDrawings();
    return unsigned(result);
}

}  // namespace

void ReleaseThreads() {
    InitOnceExecuteOnce(&ThreadsLockOnce, InitThreadsLock, nullptr, nullptr);
    EnterCriticalSection(&ThreadsLock);
    for (ThreadRecord* record : Threads) {
        // The program stops its threads before it stops the toolkit; one
        // still running keeps its record rather than lose it under its feet.
        if (WaitForSingleObject(record->handle, 0) != WAIT_OBJECT_0) continue;
        CloseHandle(record->handle);
        CloseHandle(record->running);
        delete record;
    }
    Threads.clear();
    LeaveCriticalSection(&ThreadsLock);
}

}  // namespace tk::win32

namespace tk {

using namespace tk::win32;

int StartThread(ThreadRoutine routine, int argument) {
    if (!routine) return 0;
    ThreadRecord* record = new ThreadRecord{nullptr, routine, argument, nullptr, 0, 0};
    record->running = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (!record->running) {
        delete record;
        return 0;
    }
    // The thread reads only the fields set above.
    record->handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunThread, record, 0, nullptr));
    if (!record->handle) {
        CloseHandle(record->running);
        delete record;
        return 0;
    }
    InitOnceExecuteOnce(&ThreadsLockOnce, InitThreadsLock, nullptr, nullptr);
    EnterCriticalSection(&ThreadsLock);
    Threads.push_back(record);
    int number = int(Threads.size());
    LeaveCriticalSection(&ThreadsLock);
    return number;
}

bool IsThreadAlive(int thread) {
    ThreadRecord* record = FindThread(thread);
    return record && WaitForSingleObject(record->handle, 0) == WAIT_TIMEOUT;
}

void SuspendThread(int thread) {
    ThreadRecord* record = FindThread(thread);
    if (!record || record->stopped) return;
    InterlockedExchange(&record->suspended, 1);
    ResetEvent(record->running);
}

void ResumeThread(int thread) {
    ThreadRecord* record = FindThread(thread);
    if (!record) return;
    InterlockedExchange(&record->suspended, 0);
    SetEvent(record->running);
}

void StopThread(int thread) {
    ThreadRecord* record = FindThread(thread);
    if (!record) return;
    InterlockedExchange(&record->stopped, 1);
    InterlockedExchange(&record->suspended, 0);
    SetEvent(record->running);
}

void WaitForThreadEnd(int thread) {
    ThreadRecord* record = FindThread(thread);
    if (!record) return;
    if (!IsUiThread() || !RequestWindow) {
        WaitForSingleObject(record->handle, INFINITE);
        return;
    }
    // The thread may be waiting for us to serve one of its requests: keep
    // serving sent messages (and painting) while we wait, but leave the
    // user's input in the queue for the program's loop.
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjectsEx(1, &record->handle, INFINITE, QS_SENDMESSAGE | QS_PAINT, 0);
        if (woken != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        // Peeking serves the sent messages; painting keeps the window whole.
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) DispatchMessageW(&msg);
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void ThreadSafePoint() {
    ThreadRecord* record = CurrentThread;
    if (!record) return;
    if (record->stopped) throw ThreadStopped{};
    while (record->suspended && !record->stopped) WaitForSingleObject(record->running, INFINITE);
    if (record->stopped) throw ThreadStopped{};
}

// ---- clipboard, time -------------------------------------------------------

namespace {

HGLOBAL GlobalCopy(const void* data, std::size_t bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block) return nullptr;
    void* target = GlobalLock(block);
    if (!target) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(target, data, bytes);
    GlobalUnlock(block);
    return block;
}

bool OpenClipboardPatiently(HWND owner) {
    // Another program may hold the clipboard for a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace

bool PutClipboardText(const std::string& text) {
    return OnUi([&]() -> bool {
        std::wstring wide = Wide(text);
        int count = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()) + 1, nullptr, 0, nullptr, nullptr);
        std::string ansi(std::size_t(count > 0 ? count : 1), '\0');
        if (count > 0) {
            WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()) + 1, ansi.data(), count, nullptr, nullptr);
        }
        HGLOBAL unicodeBlock = GlobalCopy(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
        HGLOBAL ansiBlock = GlobalCopy(ansi.data(), ansi.size());
        if (!unicodeBlock || !ansiBlock || !OpenClipboardPatiently(RequestWindow ? RequestWindow : MainWindow)) {
            if (unicodeBlock) GlobalFree(unicodeBlock);
            if (ansiBlock) GlobalFree(ansiBlock);
            return false;
        }
        EmptyClipboard();
        // Both forms, so that Unicode and 8-bit readers each get ours.
        bool placed = SetClipboardData(CF_UNICODETEXT, unicodeBlock) != nullptr;
        if (!placed) GlobalFree(unicodeBlock);
        if (SetClipboardData(CF_TEXT, ansiBlock) == nullptr) {
            GlobalFree(ansiBlock);
        }
        CloseClipboard();
        return placed;
    });
}

void SleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) Sleep(DWORD(milliseconds));
}

}  // namespace tk
