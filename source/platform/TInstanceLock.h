#pragma once

#include <QString>

// One running copy per user session: an exclusive lock on a file named after the lock in the
// user's runtime folder. The kernel releases it when the process ends, also when it is killed.
class TInstanceLock {
public:
    enum class TResult { Acquired, HeldByAnother, Unavailable };

    // Takes the lock "name" in the user's runtime folder ($XDG_RUNTIME_DIR, else the temp
    // folder with the user id in the name). Kept until the object is destroyed.
    explicit TInstanceLock(const QString& name);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    TResult Result() const { return FResult; }
    const QString& Path() const { return FPath; }

    static QString RuntimeFolder();

private:
    int FFd = -1;
    TResult FResult = TResult::Unavailable;
    QString FPath;
};
