// The scenarios' common ground; see scenario_support.h.
#include "tests/scenarios/scenario_support.h"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <random>

#include "digest/sha256_digests.h"
#include "digest/sha512_digests.h"
#include "ui/progress_ring.h"

namespace fs = std::filesystem;

namespace {

bool CloseHandled = false;

void SetEnvironmentVariable(const char* name, const char* value, bool overwrite)
{
    if (!overwrite && std::getenv(name) != nullptr) {
        return;
    }
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

}  // namespace

#if defined(__SANITIZE_THREAD__)
// Under ThreadSanitizer: Qt's libraries are not built with it, and the
// hand-offs inside them (Qt's thread pool, its event queue) go through locks
// the sanitizer cannot see. Memory operations that those libraries make are
// not checked; every access of our own still is. The same list as
// tests/toolkit/qt.tsan-suppressions, built in so that no setting is needed.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n";
}
#endif

void PrepareTestProcess()
{
    // The Text tab hashes the locale's bytes: make them UTF-8, whatever the
    // machine running the tests was set to.
    SetEnvironmentVariable("LC_ALL", "C.UTF-8", true);
    std::setlocale(LC_ALL, "C.UTF-8");
    SetEnvironmentVariable("QT_QPA_PLATFORM", "offscreen", false);
}

void ProgramEnvironment::SetUp()
{
    StartUp();
}

void ProgramEnvironment::TearDown()
{
    ShutDown();
}

bool ServeEvents()
{
    tk::Event event{};
    while (!CloseHandled && tk::drive::PollEvent(event)) {
        if (!HandleEvent(event)) {
            CloseHandled = true;  // the loop ends here; nothing after it is read
        }
    }
    return !CloseHandled;
}

bool WaitUntil(const std::function<bool()>& condition, double seconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        ServeEvents();
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        tk::SleepMilliseconds(2);
    }
}

void ServeEventsFor(int milliseconds)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        ServeEvents();
        tk::SleepMilliseconds(2);
    }
}

void Click(int button)
{
    tk::drive::ClickButton(button);
    ServeEvents();
}

void ResetProgram()
{
    Click(AbortButton);  // stops a worker that is still alive
    tk::ClearListItems(TaskList);
    tk::SetControlText(StartButton, "Start");
    tk::SetControlText(PauseButton, "Pause");
    tk::drive::CheckOption(OptionSha224);
    tk::drive::SelectTreeFolder(FolderTree, "");
    tk::drive::ReplaceText(TextInput, "");
    ServeEvents();
    tk::SelectTab(MainPanel, TextTab);
    DrawProgressRing(0.0, ProgressRing);
}

TempFolder::TempFolder()
{
    std::random_device random;
    fs::path base = fs::weakly_canonical(fs::temp_directory_path());
    for (;;) {
        path = base / ("quorvil-scenario-" + std::to_string(random()));
        if (fs::create_directory(path)) {
            break;
        }
    }
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::string TempFolder::TreeText() const
{
    return PathText(path) + PathText(fs::path("/").make_preferred());
}

std::string PathText(const fs::path& path)
{
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void WriteFileBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void MakeSparseFile(const fs::path& file, std::int64_t size)
{
    { std::ofstream out(file, std::ios::binary); }
    fs::resize_file(file, static_cast<std::uintmax_t>(size));
}

std::string EngineFileDigest(const std::string& algorithm, const std::string& path)
{
    if (algorithm == "SHA224") {
        return Sha224FileDigest(path);
    }
    if (algorithm == "SHA256") {
        return Sha256FileDigest(path);
    }
    if (algorithm == "SHA384") {
        return Sha384FileDigest(path);
    }
    if (algorithm == "SHA512") {
        return Sha512FileDigest(path);
    }
    ADD_FAILURE() << "no algorithm " << algorithm;
    return "";
}

std::string AlgorithmOfDigest(const std::string& digest)
{
    switch (digest.size()) {
    case 56:
        return "SHA224";
    case 64:
        return "SHA256";
    case 96:
        return "SHA384";
    case 128:
        return "SHA512";
    default:
        return "";
    }
}

std::string FieldText(std::initializer_list<std::string> lines)
{
    std::string text = "\n";
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

std::string DigestFieldText(const std::string& digest)
{
    if (digest.size() <= 64) {
        return FieldText({digest});
    }
    std::size_t half = digest.size() / 2;
    return FieldText({digest.substr(0, half), digest.substr(half)});
}

std::vector<TaskRow> ReadTaskRows()
{
    std::vector<TaskRow> rows;
    int count = tk::CountListItems(TaskList);
    for (int row = 0; row < count; ++row) {
        rows.push_back({tk::GetListItemText(TaskList, row, 0), tk::GetListItemText(TaskList, row, 1)});
    }
    return rows;
}

void ChooseFolder(const TempFolder& folder, int expectedEntries)
{
    // The tree reads a folder's subfolders once, when it first opens it: a
    // test makes its folders before it chooses the first.
    ASSERT_TRUE(tk::drive::SelectTreeFolder(FolderTree, folder.TreeText())) << folder.TreeText();
    ServeEvents();
    ASSERT_EQ(tk::GetControlText(FolderTree), folder.TreeText());
    ASSERT_TRUE(WaitUntil([&] { return tk::CountListItems(FileList) == expectedEntries; }))
        << "the file list shows " << tk::CountListItems(FileList) << " entries, not " << expectedEntries;
}

std::vector<std::string> FileListNames()
{
    std::vector<std::string> names;
    int count = tk::CountListItems(FileList);
    for (int entry = 0; entry < count; ++entry) {
        names.push_back(tk::GetListItemText(FileList, entry, 0));
    }
    return names;
}

std::string ScreenshotPath(const std::string& name)
{
    fs::path folder = QUORVIL_SCREENSHOT_DIR;
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    return PathText(folder / (name + ".png"));
}

bool RingPixelDrawn(int x, int y)
{
    return tk::drive::SurfacePixel(ProgressRing, x, y) != 0xFFFFFF;
}

bool RingBlank()
{
    int width = tk::SurfaceWidth(ProgressRing);
    int height = tk::SurfaceHeight(ProgressRing);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (RingPixelDrawn(x, y)) {
                return false;
            }
        }
    }
    return true;
}
