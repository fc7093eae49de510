// The progress window: its texts in both modes, the two bars with their captions, the locked files, the
// animation, and Cancel setting the token the build reads.
#include "BuildUiTestUtil.h"
#include "backup/ui/fLoad.h"

using namespace buildui;

namespace {

TEST(LoadWindow, ShowsThePackageTheTotalsAndFollowsTheBars) {
    CancelToken cancel;
    fLoad window(cancel, BuildMode::Build, "/home/ann/Zips/Backup.zip", 12345, 2147483648LL, "/home/ann/Varnhold/");
    EXPECT_EQ(window.windowTitle(), "Build Zip Package");
    EXPECT_FALSE(window.isModal()) << "it stays open beside the build";
    expectTexts(window, {{"lblPackage", "Zip Package: /home/ann/Zips/Backup.zip"},
                         {"Label2", "Building zip package:"},
                         {"lblFiles", "12,345"},
                         {"lblBytes", "2,147,483,648"},
                         {"lblLocked", "0"},
                         {"Label4", "List of locked files saved as /home/ann/Varnhold/Zips/Locked.Txt"}});
    fLoad update(cancel, BuildMode::Update, "/data/Open.zip", 1, 1, "/app");
    EXPECT_EQ(update.windowTitle(), "Update Zip Package");
    expectTexts(update, {{"Label2", "Updating Zip Package"}});

    window.setSelecting(37);
    window.setCompressing(64);
    EXPECT_EQ(child<QProgressBar>(window, "ProgressBar1")->value(), 37) << "the bars are independent";
    expectTexts(window, {{"lblPercent1", "37%"}, {"lblPercent2", "64%"}});
    window.setSelecting(250); // whatever is handed over, the bars show 0 to 100
    EXPECT_EQ(child<QProgressBar>(window, "ProgressBar1")->value(), 100);
    window.addLocked("/data/a.txt", 1);
    window.addLocked("/data/sub/b.doc", 1234);
    expectTexts(window, {{"lblPercent1", "100%"}, {"lblLocked", "1,234"}});
    EXPECT_EQ(window.lockedPaths(), QStringList({"/data/a.txt", "/data/sub/b.doc"}));
}

TEST(LoadWindow, CancelAndTheCloseBoxSetTheTokenButTheEndOfTheBuildDoesNot) {
    for (const auto& [how, leave] : {std::pair<const char*, void (*)(fLoad&)>{"finish", [](fLoad& w) { w.finish(); }},
                                     {"btnCancel", [](fLoad& w) { press(w, "btnCancel"); }},
                                     {"close box", [](fLoad& w) { w.close(); }}}) {
        CancelToken cancel;
        fLoad window(cancel, BuildMode::Build, "/x.zip", 10, 100, "/app");
        QSignalSpy asked(&window, &fLoad::cancelRequested);
        auto* ticker = window.animation()->findChild<QTimer*>();
        ASSERT_NE(ticker, nullptr);
        EXPECT_FALSE(ticker->isActive()) << "the animation runs only while the window is shown";
        window.show();
        EXPECT_TRUE(ticker->isActive());
        leave(window);
        const bool cancelled = QString(how) != "finish";
        EXPECT_TRUE(cancel.cancelled() == cancelled && asked.count() == int(cancelled)) << how;
        EXPECT_FALSE(window.isVisible() || ticker->isActive()) << how;
    }
}

} // namespace
