#include "FileLock.h"

#include "GazetteerError.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Engine {

FileLock::FileLock(const QString &file, const QString &busy)
{
    m_fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0)
        throw GazetteerError(QStringLiteral("Cannot open %1: %2").arg(file, QString::fromLocal8Bit(std::strerror(errno))));
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(m_fd);
        if (error == EWOULDBLOCK)
            throw GazetteerError(busy);
        throw GazetteerError(QStringLiteral("Cannot lock %1: %2").arg(file, QString::fromLocal8Bit(std::strerror(error))));
    }
}

FileLock::~FileLock()
{
    ::close(m_fd);
}

} // namespace Engine
