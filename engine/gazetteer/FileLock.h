#pragma once
// An exclusive advisory lock on a file of its own (created when missing), held while the object
// lives: two imports into one gazetteer would otherwise write one temporary file and the later
// rename would drop what the other one brought.

#include <QString>

namespace Engine {

class FileLock {
public:
    // Throws GazetteerError with `busy` when another process (or object) holds the lock.
    FileLock(const QString &file, const QString &busy);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

private:
    int m_fd = -1;
};

} // namespace Engine
