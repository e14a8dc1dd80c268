// The Tasks tab: the queue of files, the worker that hashes them one after
// another, and the buttons that start, pause, abort and copy.
#pragma once

#include <string>

void CreateTasksTab();

// The worker thread's routine: hashes the rows of TaskList from the first.
// Its argument is not used; it returns 0.
int HashWorker(int unused);

// The handlers of StartButton, PauseButton, AbortButton and CopyButton.
void StartWorker();
void TogglePause();
void AbortWorker();
void CopyAllHashes();

// Whether the most recently started worker is alive (a paused one is).
bool IsWorkerAlive();

// At shutdown: stops a worker that is still alive and waits for its end.
void StopWorkerAtExit();

// The label of a result in "Copy all hashes": the algorithm its length tells,
// or, for a row without a digest, the Start caption with "Start " removed.
std::string ResultLabel(const std::string& result, const std::string& startCaption);
