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

TEST_F(HelpViewerTest, OpensScrolledToTheTopicOfTheContext) {
    showHelpTopic(nullptr, 120);
    QTextBrowser* browser = currentHelpBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->window()->isVisible());
    EXPECT_EQ(QStringList({browser->source().scheme(), browser->source().path(), browser->source().fragment()}),
              QStringList({"qrc", "/help/Varnhold.html", "120"}));
    EXPECT_TRUE(browser->toPlainText().contains("Extract options"));
    EXPECT_GT(browser->verticalScrollBar()->value(), browser->viewport()->height())
        << "the extract topic is well down the page";

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
    ASSERT_NE(currentHelpBrowser(), nullptr);
    EXPECT_EQ(currentHelpBrowser()->window()->parentWidget(), owner);
    EXPECT_TRUE(currentHelpBrowser()->window()->isWindow()) << "a window of its own, not a widget inside the owner";

    delete owner;
    EXPECT_EQ(currentHelpBrowser(), nullptr);
    showHelpTopic(nullptr, 100);
    ASSERT_NE(currentHelpBrowser(), nullptr);
    EXPECT_EQ(currentHelpBrowser()->window()->parentWidget(), nullptr);
}

} // namespace
