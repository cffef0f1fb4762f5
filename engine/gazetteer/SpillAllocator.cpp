#include "SpillAllocator.h"

#include "GazetteerError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace Engine {

void *mapSpillFile(const QString &folder, size_t bytes)
{
    QByteArray name = QFile::encodeName(folder) + "/.orvane-import-XXXXXX";
    const int fd = mkstemp(name.data());
    const auto fail = [&](int error) {
        return GazetteerError(QStringLiteral("The import cannot keep its work files in %1 (%2 MB): %3.")
                                  .arg(folder)
                                  .arg((bytes + (1 << 20) - 1) >> 20)
                                  .arg(QString::fromLocal8Bit(std::strerror(error))));
    };
    if (fd < 0)
        throw fail(errno);
    unlink(name.constData());
    const int reserved = posix_fallocate(fd, 0, off_t(bytes));
    if (reserved != 0) {
        close(fd);
        throw fail(reserved);
    }
    void *at = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    const int error = errno;
    close(fd);
    if (at == MAP_FAILED)
        throw fail(error);
    // Where memory is short, the pages a binary search reads come back from the disk one by one;
    // read ahead around each, they pushed out the pages still needed (an import in 200 MB took
    // two to nine times as long).
    madvise(at, bytes, MADV_RANDOM);
    return at;
}

void unmapSpillFile(void *at, size_t bytes) noexcept
{
    munmap(at, bytes);
}

} // namespace Engine
