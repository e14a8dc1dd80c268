// The main window: start-up in a fixed order, the event loop that dispatches
// by control number, and shutdown.
#include "ui/main_window.h"

#include "assets/logo_png.h"
#include "ui/files_tab.h"
#include "ui/progress_ring.h"
#include "ui/tasks_worker.h"
#include "ui/text_tab.h"

namespace {

constexpr tk::Rgb StripBackground{64, 64, 64};
constexpr tk::Rgb HeaderText{200, 200, 215};

// The header strip: the logo, the product name and the sign on dark grey.
void CreateHeaderStrip(int titleFont, int signFont)
{
    tk::CreateContainer(HeaderStrip, 0, 0, 540, 110);
    tk::SetControlBackground(HeaderStrip, StripBackground);
    tk::UseContainerAsParent(HeaderStrip);
    tk::CreateImageView(LogoImage, 20, 10, LogoPicture);
    tk::CreateLabel(TitleLabel, 170, 30, 200, 50, "Quorvil", tk::Align::Left);
    tk::CreateLabel(SignLabel, 370, 34, 50, 40, "\xC2\xA9", tk::Align::Left);  // the copyright sign
    tk::SetControlColours(SignLabel, HeaderText, StripBackground);
    tk::SetControlFont(SignLabel, signFont);
    tk::SetControlFont(TitleLabel, titleFont);
    tk::SetControlColours(TitleLabel, HeaderText, StripBackground);
    tk::UseWindowAsParent();
}

}  // namespace

void StartUp()
{
    tk::StartToolkit();
    tk::DecodePngImage(LogoPicture, LogoPng, LogoPngSize);

    int resultFont = tk::CreateFontFace("Lucida Console", 9, tk::FontWeight::Normal);
    int titleFont = tk::CreateFontFace("comic Sans MS", 24, tk::FontWeight::Bold);
    int signFont = tk::CreateFontFace("courier new", 16, tk::FontWeight::Bold);

    tk::OpenMainWindow(WindowClientWidth, WindowClientHeight, WindowTitle);
    CreateHeaderStrip(titleFont, signFont);

    tk::CreateTabPanel(MainPanel, 20, 120, 500, 400);
    tk::AddTab(MainPanel, "Text");
    CreateTextTab(resultFont);
    tk::AddTab(MainPanel, "Files");
    CreateFilesTab();
    tk::AddTab(MainPanel, "Tasks");
    CreateTasksTab();
    tk::UseWindowAsParent();

    tk::GiveFocus(TextInput);
    RefreshTextDigests();
    StartRingGraphics(200, 80);
}

bool HandleEvent(const tk::Event& event)
{
    if (event.kind == tk::EventKind::CloseRequest) {
        return false;
    }
    switch (event.control) {
    case TextInput:
        if (event.kind == tk::EventKind::TextChanged) {
            RefreshTextDigests();
        }
        break;
    case FolderTree:
        ShowTreeFolder();
        break;
    case NextButton:
        QueueSelectedFiles();
        break;
    case StartButton:
        StartWorker();
        break;
    case PauseButton:
        TogglePause();
        break;
    case AbortButton:
        AbortWorker();
        break;
    case CopyButton:
        CopyAllHashes();
        break;
    default:
        break;  // option buttons, lists, fields, labels, the ring: nothing
    }
    return true;
}

void ShutDown()
{
    StopWorkerAtExit();
    StopRingGraphics();
    tk::StopToolkit();
}

int RunQuorvil()
{
    StartUp();
    while (HandleEvent(tk::WaitForEvent())) {
    }
    ShutDown();
    return 0;
}
