#include "app/ui/JobRunner.h"
#include "utility/CancelToken.h"

#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The job ends on the window thread, its progress arrives there in order, and a second start while one runs is
// refused rather than run beside it.
TEST(JobRunnerTest, EndsOnTheWindowThreadWithProgressInOrderAndOneJobAtATime) {
    JobRunner runner;
    QSignalSpy finished(&runner, &JobRunner::finished);
    CancelToken token;
    QVector<int> progress;
    bool doneOnWindowThread = false;
    ASSERT_TRUE(runner.start(
        [&] {
            for (int i = 1; i <= 3; ++i)
                runner.post([&progress, i] { progress.push_back(i); });
            while (!token.cancelled())
                QThread::yieldCurrentThread();
        },
        [&] { doneOnWindowThread = QThread::currentThread() == runner.thread(); }));
    EXPECT_TRUE(runner.isRunning());
    EXPECT_FALSE(runner.start([] {}));

    token.cancel();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(runner.isRunning());
    EXPECT_TRUE(doneOnWindowThread);
    EXPECT_EQ(progress, (QVector<int>{1, 2, 3}));
    EXPECT_TRUE(token.cancelled()) << "the job only reads the token";
    EXPECT_TRUE(runner.start([] {}));
    ASSERT_TRUE(finished.wait(5000));
}

} // namespace
