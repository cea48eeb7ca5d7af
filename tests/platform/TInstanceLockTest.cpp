#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/TInstanceLock.h"

namespace {

// The lock as another process sees it: flock locks belong to the open file, so a second
// object in this process would see its own lock as another's anyway; a child is the real case.
TInstanceLock::TResult ResultInChild(const QString& name)
{
    pid_t pid = fork();
    if (pid == 0) {
        TInstanceLock lock(name);
        _exit(static_cast<int>(lock.Result()));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return static_cast<TInstanceLock::TResult>(WEXITSTATUS(status));
}

class TInstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        qputenv("XDG_RUNTIME_DIR", FDir.path().toLocal8Bit());
    }
    void TearDown() override { qunsetenv("XDG_RUNTIME_DIR"); }
    QTemporaryDir FDir;
};

}  // namespace

TEST_F(TInstanceLockTest, SecondCopyIsRefusedUntilTheFirstEnds)
{
    {
        TInstanceLock first("InstanciaIniciada");
        ASSERT_EQ(first.Result(), TInstanceLock::TResult::Acquired);
        EXPECT_EQ(first.Path(), FDir.filePath("InstanciaIniciada.lock"));
        EXPECT_EQ(ResultInChild("InstanciaIniciada"), TInstanceLock::TResult::HeldByAnother);
        EXPECT_EQ(ResultInChild("OtroNombre"), TInstanceLock::TResult::Acquired);
    }
    // Released with its holder, whatever the file left behind.
    EXPECT_EQ(ResultInChild("InstanciaIniciada"), TInstanceLock::TResult::Acquired);
}

TEST_F(TInstanceLockTest, ASymlinkInPlaceOfTheFileIsNotFollowed)
{
    const QString target = FDir.filePath("elsewhere");
    ASSERT_EQ(symlink(target.toLocal8Bit().constData(),
                      FDir.filePath("InstanciaIniciada.lock").toLocal8Bit().constData()), 0);
    TInstanceLock lock("InstanciaIniciada");
    EXPECT_EQ(lock.Result(), TInstanceLock::TResult::Unavailable);
    EXPECT_FALSE(QFile::exists(target));
}
