// The one window of the program: its controls, start-up, event loop and
// shutdown.
#pragma once

#include "platform/toolkit.h"

// Every control is known by its number; events name their control by it.
// No control has the number 60.
enum Control : int {
    PromptLabel = 0,
    TextInput = 1,
    Sha512Field = 2,
    Sha384Field = 3,
    Sha256Field = 4,
    Sha224Field = 5,
    Sha512Label = 20,
    Sha384Label = 21,
    Sha256Label = 22,
    Sha224Label = 23,
    TitleLabel = 24,
    SignLabel = 25,
    LogoImage = 30,
    MainPanel = 40,
    HeaderStrip = 41,
    FolderTree = 50,
    FileList = 51,
    OptionSha224 = 52,
    OptionSha256 = 53,
    OptionSha384 = 54,
    OptionSha512 = 55,
    NextButton = 56,
    TaskList = 57,
    ProgressRing = 58,
    StartButton = 59,
    PauseButton = 61,
    AbortButton = 62,
    CopyButton = 63,
};

// The logo is image 0.
constexpr int LogoPicture = 0;

constexpr int WindowClientWidth = 540;
constexpr int WindowClientHeight = 540;
inline const char* const WindowTitle = "Quorvil version 1.0";

// The index of each tab of MainPanel.
constexpr int TextTab = 0;
constexpr int FilesTab = 1;
constexpr int TasksTab = 2;

// Builds the window with every control and shows the digests of the empty
// text; the event loop may start afterwards.
void StartUp();
// Acts on one event. False for the window's close request, which ends the loop.
bool HandleEvent(const tk::Event& event);
// Stops a live worker, releases the ring's graphics and the toolkit.
void ShutDown();
// The whole program: start-up, the event loop, shutdown. Gives the exit code.
int RunQuorvil();
