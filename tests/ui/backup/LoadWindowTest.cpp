// The progress window: its texts in both modes, the two bars with their captions, the locked files, the
// animation, and Cancel raising the flag the build watches.
#include "BuildUiTestUtil.h"
#include "backup/ui/fLoad.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace buildui;

namespace {

QString text(const fLoad& window, const char* label) {
    return child<QLabel>(window, label)->text();
}

TEST(LoadWindow, ShowsThePackageTheTotalsAndTheHeadingsOfItsMode) {
    std::atomic_bool cancel{false};
    fLoad window(cancel, BuildMode::Build, "/home/ann/Zips/Backup.zip", 12345, 2147483648LL, "/home/ann/Varnhold/");
    EXPECT_EQ(window.windowTitle(), "Build Zip Package");
    EXPECT_FALSE(window.isModal()) << "it stays open beside the build";
    const QList<QPair<const char*, QString>> expected{
        // clang-format off
        {"lblPackage", "Zip Package: /home/ann/Zips/Backup.zip"}, {"Label1", "Selecting files for zip package:"},
        {"Label2", "Building zip package:"}, {"Label5", "Total number of files"}, {"lblFiles", "12,345"},
        {"Label6", "Total  number bytes"}, {"lblBytes", "2,147,483,648"},
        {"Label3", "Files locked by other programs or unreadable, not included in zip package:"}, {"lblLocked", "0"},
        {"Label4", "List of locked files saved as /home/ann/Varnhold/Zips/Locked.Txt"}, {"lblPercent1", "0%"}, {"lblPercent2", "0%"},
    };
    // clang-format on
    for (const auto& [name, value] : expected)
        EXPECT_EQ(text(window, name), value) << name;
    auto* cancelButton = child<QPushButton>(window, "btnCancel");
    EXPECT_EQ(cancelButton->text(), " &Cancel");
    EXPECT_EQ(cancelButton->toolTip(), "Cancel");

    fLoad update(cancel, BuildMode::Update, "/data/Open.zip", 1, 1, "/app");
    EXPECT_EQ(update.windowTitle(), "Update Zip Package");
    EXPECT_EQ(text(update, "Label2"), "Updating Zip Package");
}

TEST(LoadWindow, TheBarsTheirCaptionsAndTheLockedListFollowTheBuild) {
    std::atomic_bool cancel{false};
    fLoad window(cancel, BuildMode::Build, "/x.zip", 10, 100, "/app");
    auto* bar1 = child<QProgressBar>(window, "ProgressBar1");
    auto* bar2 = child<QProgressBar>(window, "ProgressBar2");
    window.setSelecting(37);
    EXPECT_EQ(bar1->value(), 37);
    EXPECT_EQ(text(window, "lblPercent1"), "37%");
    EXPECT_EQ(bar2->value(), 0) << "the bars are independent";
    window.setCompressing(64);
    EXPECT_EQ(bar2->value(), 64);
    EXPECT_EQ(text(window, "lblPercent2"), "64%");
    EXPECT_EQ(text(window, "lblPercent1"), "37%");
    window.setSelecting(250); // whatever is handed over, the bars show 0 to 100
    EXPECT_EQ(bar1->value(), 100);
    EXPECT_EQ(text(window, "lblPercent1"), "100%");

    window.addLocked("/data/a.txt", 1);
    window.addLocked("/data/sub/b.doc", 1234);
    EXPECT_EQ(text(window, "lblLocked"), "1,234");
    EXPECT_EQ(window.lockedPaths(), QStringList({"/data/a.txt", "/data/sub/b.doc"}));
}

TEST(LoadWindow, CancelAndTheCloseBoxRaiseTheFlagButTheEndOfTheBuildDoesNot) {
    std::atomic_bool cancel{false};
    {
        fLoad window(cancel, BuildMode::Build, "/x.zip", 10, 100, "/app");
        window.show();
        window.finish();
        EXPECT_FALSE(window.isVisible());
        EXPECT_FALSE(cancel.load()) << "the build's own end is no cancel";
    }
    for (const bool closeBox : {false, true}) {
        cancel = false;
        fLoad window(cancel, BuildMode::Build, "/x.zip", 10, 100, "/app");
        QSignalSpy asked(&window, &fLoad::cancelRequested);
        window.show();
        if (closeBox)
            window.close();
        else
            child<QPushButton>(window, "btnCancel")->click();
        EXPECT_TRUE(cancel.load()) << closeBox;
        EXPECT_EQ(asked.count(), 1);
        EXPECT_FALSE(window.isVisible());
    }
}

TEST(LoadWindow, TheAnimationRunsOnlyWhileTheWindowIsShown) {
    std::atomic_bool cancel{false};
    fLoad window(cancel, BuildMode::Build, "/x.zip", 10, 100, "/app");
    ASSERT_NE(window.animation(), nullptr);
    auto* ticker = window.animation()->findChild<QTimer*>();
    ASSERT_NE(ticker, nullptr);
    EXPECT_FALSE(ticker->isActive());
    window.show();
    EXPECT_TRUE(window.animation()->isVisible());
    EXPECT_TRUE(ticker->isActive());
    window.finish();
    EXPECT_FALSE(ticker->isActive());
}

} // namespace
