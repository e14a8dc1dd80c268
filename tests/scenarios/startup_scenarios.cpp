// The program as it stands right after start-up, before the first event:
// the window, every control of the three tabs, and the ring's first report.
// These tests only look (or put back what they touched), so they share one
// fresh program.
#include <cstdint>
#include <string>

#include "digest/sha256_digests.h"
#include "digest/sha512_digests.h"
#include "tests/scenarios/scenario_support.h"
#include "ui/progress_ring.h"

namespace {

struct ControlPlace {
    int control;
    const char* name;
    int x, y, width, height;
};

// Every control with its place in its parent (the header strip, the window,
// or its tab's page).
constexpr ControlPlace ControlPlaces[] = {
    {HeaderStrip, "HeaderStrip", 0, 0, 540, 110},
    {LogoImage, "LogoImage", 20, 10, 105, 92},
    {TitleLabel, "TitleLabel", 170, 30, 200, 50},
    {SignLabel, "SignLabel", 370, 34, 50, 40},
    {MainPanel, "MainPanel", 20, 120, 500, 400},
    {PromptLabel, "PromptLabel", 0, 10, 500, 20},
    {TextInput, "TextInput", 10, 30, 480, 20},
    {Sha512Label, "Sha512Label", 12, 70, 100, 17},
    {Sha512Field, "Sha512Field", 10, 87, 480, 46},
    {Sha384Label, "Sha384Label", 12, 150, 100, 17},
    {Sha384Field, "Sha384Field", 10, 167, 480, 46},
    {Sha256Label, "Sha256Label", 12, 230, 100, 17},
    {Sha256Field, "Sha256Field", 10, 247, 480, 36},
    {Sha224Label, "Sha224Label", 12, 310, 100, 17},
    {Sha224Field, "Sha224Field", 10, 327, 480, 36},
    {FolderTree, "FolderTree", 0, 10, 245, 280},
    {FileList, "FileList", 245, 10, 246, 280},
    {OptionSha224, "OptionSha224", 100, 310, 60, 20},
    {OptionSha256, "OptionSha256", 170, 310, 60, 20},
    {OptionSha384, "OptionSha384", 240, 310, 60, 20},
    {OptionSha512, "OptionSha512", 310, 310, 60, 20},
    {NextButton, "NextButton", 150, 340, 200, 20},
    {TaskList, "TaskList", 0, 0, 492, 220},
    {ProgressRing, "ProgressRing", 140, 225, 200, 80},
    {StartButton, "StartButton", 140, 315, 200, 20},
    {PauseButton, "PauseButton", 40, 315, 90, 20},
    {AbortButton, "AbortButton", 350, 315, 90, 20},
    {CopyButton, "CopyButton", 140, 345, 200, 20},
};

struct ControlText {
    int control;
    const char* text;
};

constexpr ControlText ControlTexts[] = {
    {TitleLabel, "Quorvil"},
    {SignLabel, "\xC2\xA9"},
    {PromptLabel, "Type something:"},
    {TextInput, ""},
    {Sha512Label, "SHA512:"},
    {Sha384Label, "SHA384:"},
    {Sha256Label, "SHA256:"},
    {Sha224Label, "SHA224:"},
    {FolderTree, ""},  // nothing selected
    {OptionSha224, "SHA224"},
    {OptionSha256, "SHA256"},
    {OptionSha384, "SHA384"},
    {OptionSha512, "SHA512"},
    {NextButton, "Next"},
    {StartButton, "Start"},
    {PauseButton, "Pause"},
    {AbortButton, "Abort"},
    {CopyButton, "Copy all hashes"},
};

}  // namespace

TEST(StartUpState, WindowIsFixedTitledAndFocusIsInTheTextInput)
{
    EXPECT_EQ(tk::drive::WindowTitle(), "Quorvil version 1.0");
    tk::drive::Geometry client = tk::drive::WindowClientGeometry();
    EXPECT_EQ(client.width, 540);
    EXPECT_EQ(client.height, 540);
    EXPECT_FALSE(tk::drive::IsWindowResizable());
    EXPECT_EQ(tk::drive::SelectedTab(MainPanel), TextTab);
    EXPECT_EQ(tk::drive::FocusedControl(), static_cast<int>(TextInput));
}

TEST(StartUpState, EveryControlHasItsPlaceAndSize)
{
    for (const ControlPlace& place : ControlPlaces) {
        tk::drive::Geometry geometry = tk::drive::ControlGeometry(place.control);
        EXPECT_EQ(geometry.x, place.x) << place.name;
        EXPECT_EQ(geometry.y, place.y) << place.name;
        EXPECT_EQ(geometry.width, place.width) << place.name;
        EXPECT_EQ(geometry.height, place.height) << place.name;
    }
}

TEST(StartUpState, EveryControlHasItsText)
{
    for (const ControlText& text : ControlTexts) {
        EXPECT_EQ(tk::GetControlText(text.control), text.text) << "control " << text.control;
    }
}

TEST(StartUpState, TextTabShowsTheDigestsOfTheEmptyText)
{
    EXPECT_EQ(tk::GetControlText(Sha512Field), DigestFieldText(Sha512MemoryDigest("", 0)));
    EXPECT_EQ(tk::GetControlText(Sha384Field), DigestFieldText(Sha384MemoryDigest("", 0)));
    EXPECT_EQ(tk::GetControlText(Sha256Field), DigestFieldText(Sha256MemoryDigest("", 0)));
    EXPECT_EQ(tk::GetControlText(Sha224Field), DigestFieldText(Sha224MemoryDigest("", 0)));
}

TEST(StartUpState, DigestFieldsUseTheResultFontAndHeaderLabelsTheirOwn)
{
    std::string resultFace = tk::drive::ControlFontFace(Sha512Field);
    std::string defaultFace = tk::drive::ControlFontFace(PromptLabel);
    EXPECT_FALSE(resultFace.empty());
    EXPECT_NE(resultFace, defaultFace);
    for (int field : {Sha384Field, Sha256Field, Sha224Field}) {
        EXPECT_EQ(tk::drive::ControlFontFace(field), resultFace) << "field " << field;
    }
    EXPECT_NE(tk::drive::ControlFontFace(TitleLabel), defaultFace);
    EXPECT_NE(tk::drive::ControlFontFace(SignLabel), defaultFace);
}

TEST(StartUpState, FilesTabHasNoFolderNoFilesAndSha224Checked)
{
    EXPECT_EQ(tk::CountListItems(FileList), 0);
    EXPECT_TRUE(tk::IsChecked(OptionSha224));
    EXPECT_FALSE(tk::IsChecked(OptionSha256));
    EXPECT_FALSE(tk::IsChecked(OptionSha384));
    EXPECT_FALSE(tk::IsChecked(OptionSha512));
}

TEST(StartUpState, TasksTabHasAnEmptyListWithTwoColumnsAndABlankRing)
{
    EXPECT_EQ(tk::CountListItems(TaskList), 0);
    EXPECT_EQ(tk::drive::GetListColumnTitle(TaskList, 0), "Files");
    EXPECT_EQ(tk::drive::GetListColumnWidth(TaskList, 0), 240);
    EXPECT_EQ(tk::drive::GetListColumnTitle(TaskList, 1), "Results");
    EXPECT_EQ(tk::drive::GetListColumnWidth(TaskList, 1), 245);
    EXPECT_EQ(tk::SurfaceWidth(ProgressRing), 200);
    EXPECT_EQ(tk::SurfaceHeight(ProgressRing), 80);
    EXPECT_TRUE(RingBlank());
}

// The last drawn percentage starts at 0, so a first report of 0 draws nothing.
TEST(StartUpState, FirstReportOfZeroDrawsNothing)
{
    constexpr std::uint32_t Marker = 0x123456;  // a drawing would paint it over
    tk::Drawing* drawing = tk::BeginDrawing(ProgressRing);
    ASSERT_NE(drawing, nullptr);
    tk::FillDrawingRect(drawing, 199, 79, 1, 1, Marker);
    tk::EndDrawing(drawing);

    ReportProgress(0);
    EXPECT_EQ(tk::drive::SurfacePixel(ProgressRing, 199, 79), Marker);

    DrawProgressRing(0.0, ProgressRing);
    EXPECT_TRUE(RingBlank());
}

// For a person to look at: each tab as the window shows it.
TEST(StartUpState, Screenshots)
{
    const char* names[] = {"tab-text", "tab-files", "tab-tasks"};
    for (int tab : {TextTab, FilesTab, TasksTab}) {
        tk::SelectTab(MainPanel, tab);
        ServeEventsFor(100);
        EXPECT_TRUE(tk::drive::SaveWindowScreenshot(ScreenshotPath(names[tab]))) << names[tab];
    }
    tk::SelectTab(MainPanel, TextTab);
}
