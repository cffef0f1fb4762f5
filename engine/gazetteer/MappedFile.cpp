#include "MappedFile.h"

#include "GazetteerError.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Engine {

MappedFile::MappedFile(const QString &file) : m_name(file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            throw GazetteerError(QStringLiteral("The gazetteer %1 does not exist.").arg(file));
        throw GazetteerError(QStringLiteral("Cannot read the gazetteer %1: %2").arg(file, QString::fromLocal8Bit(std::strerror(errno))));
    }
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw GazetteerError(QStringLiteral("The gazetteer %1 is not a file.").arg(file));
    }
    m_size = size_t(st.st_size);
    if (m_size > 0) {
        void *p = mmap(nullptr, m_size, PROT_READ, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED) {
            const int error = errno;
            ::close(fd);
            throw GazetteerError(QStringLiteral("Cannot map the gazetteer %1: %2").arg(file, QString::fromLocal8Bit(std::strerror(error))));
        }
        m_data = static_cast<const std::byte *>(p);
    }
    ::close(fd);
}

MappedFile::~MappedFile()
{
    if (m_data)
        munmap(const_cast<std::byte *>(m_data), m_size);
}

} // namespace Engine
