#include "app/ui/HelpViewer.h"

#include <QScrollBar>
#include <QTextBrowser>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class HelpViewerTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (QTextBrowser* browser = currentHelpBrowser()) delete browser->window();
    }
};

TEST_F(HelpViewerTest, OpensScrolledToTheTopicOfTheContext) {
    showHelpTopic(nullptr, 120);
    QTextBrowser* browser = currentHelpBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->window()->isVisible());
    EXPECT_EQ(browser->source().scheme(), "qrc");
    EXPECT_EQ(browser->source().path(), "/help/Varnhold.html");
    EXPECT_EQ(browser->source().fragment(), "120");
    EXPECT_TRUE(browser->toPlainText().contains("Extract options"));
    const int extractTopic = browser->verticalScrollBar()->value();
    EXPECT_GT(extractTopic, browser->viewport()->height()) << "the extract topic is well down the page";

    showHelpTopic(nullptr, 100);
    EXPECT_EQ(currentHelpBrowser(), browser) << "one viewer, moved to the new topic";
    EXPECT_EQ(browser->source().fragment(), "100");
    EXPECT_LT(browser->verticalScrollBar()->value(), browser->fontMetrics().height()) << "the contents open at the top";
    showHelpTopic(nullptr, 120);
    showHelpTopic(nullptr, 999);
    EXPECT_EQ(browser->source().fragment(), "100") << "an unknown context opens the contents";
}

TEST_F(HelpViewerTest, TheViewerFollowsItsOwnerAndGoesWithIt) {
    auto* owner = new QWidget;
    owner->show();
    showHelpTopic(owner, 120);
    QTextBrowser* browser = currentHelpBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->window()->parentWidget(), owner);
    EXPECT_TRUE(browser->window()->isWindow()) << "a window of its own, not a widget inside the owner";

    delete owner;
    EXPECT_EQ(currentHelpBrowser(), nullptr);
    showHelpTopic(nullptr, 100);
    ASSERT_NE(currentHelpBrowser(), nullptr);
    EXPECT_EQ(currentHelpBrowser()->window()->parentWidget(), nullptr);
}

} // namespace
