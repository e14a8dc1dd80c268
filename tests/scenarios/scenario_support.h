// What every scenario needs: the real program started once per test process
// on the real toolkit, a way to let it serve events until something holds,
// temporary folders, the digests expected of the engine, and screenshots.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/toolkit.h"
#include "platform/toolkit_driver.h"
#include "ui/main_window.h"

// Set before the toolkit starts: a UTF-8 locale, and the offscreen platform
// unless another was asked for. Call first in main().
void PrepareTestProcess();

// Starts the program (StartUp) before the first test and shuts it down
// (ShutDown) after the last.
class ProgramEnvironment : public testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

// The program serves what is waiting: every pending event goes to
// HandleEvent. Gives false once the close request has been handled.
bool ServeEvents();

// Serves events until `condition` holds; false when it still does not after
// `seconds` (the test then fails instead of hanging).
bool WaitUntil(const std::function<bool()>& condition, double seconds = 120.0);

// Serves events for a while; for checking that nothing happens.
void ServeEventsFor(int milliseconds);

// Brings the program back to a known state between tests of one process:
// no worker, no task rows, captions "Start" and "Pause", empty text, Text tab,
// SHA224 checked, nothing chosen in the tree.
void ResetProgram();

// A folder of our own under the system's temporary folder, removed with all
// it holds when the record goes.
struct TempFolder {
    std::filesystem::path path;
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // The folder as the tree gives it: its path with a separator at the end.
    std::string TreeText() const;
};

void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);
// A file of `size` zero bytes that takes (almost) no room on disk.
void MakeSparseFile(const std::filesystem::path& file, std::int64_t size);
std::string PathText(const std::filesystem::path& path);  // UTF-8

// The engine's digest of a file, for the algorithm named "SHA224" ... "SHA512".
std::string EngineFileDigest(const std::string& algorithm, const std::string& path);
// The algorithm a digest's length tells: "SHA224" ... "SHA512", or "".
std::string AlgorithmOfDigest(const std::string& digest);

// A digest field's whole text: an empty line, then each line with its break.
std::string FieldText(std::initializer_list<std::string> lines);
// A digest field's text for a whole digest: in halves when it is longer than
// 64 characters (SHA-384, SHA-512), on one line otherwise.
std::string DigestFieldText(const std::string& digest);

struct TaskRow {
    std::string path;
    std::string result;
    bool operator==(const TaskRow&) const = default;
};
std::vector<TaskRow> ReadTaskRows();

// Makes FileList show `folder` by choosing it in the tree, and waits until it
// lists `expectedEntries` entries.
void ChooseFolder(const TempFolder& folder, int expectedEntries);
// The Name texts of FileList, in list order.
std::vector<std::string> FileListNames();

// Pushes a button as the user does and lets the program handle the click.
void Click(int button);

// The file for a screenshot: <build>/screenshots/<name>.png
std::string ScreenshotPath(const std::string& name);

// Whether a pixel of the ring surface shows the arc (is not white).
bool RingPixelDrawn(int x, int y);
// Whether the ring surface is white all over.
bool RingBlank();
