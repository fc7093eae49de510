#include "app/ui/HelpViewer.h"

#include <QtWidgets>
#include <gtest/gtest.h>

namespace {

class HelpViewerTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (QTextBrowser* browser = currentHelpBrowser()) delete browser->window();
    }
};

} // namespace
