// The Files tab: a folder tree, the files of the chosen folder, the choice of
// algorithm, and "Next", which queues the selected files on the Tasks tab.
#pragma once

void CreateFilesTab();

// Makes FileList show the folder selected in FolderTree (afresh).
void ShowTreeFolder();

// Replaces the task rows by the selected files, each "Queued", shows the
// Tasks tab and names the chosen algorithm on StartButton.
void QueueSelectedFiles();
