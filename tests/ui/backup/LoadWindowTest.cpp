// The progress window: its texts in both modes, the two bars with their captions, the locked files, the
// animation, and Cancel setting the token the build reads.
#include "BuildUiTestUtil.h"
#include "backup/ui/fLoad.h"

using namespace buildui;

namespace {

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
