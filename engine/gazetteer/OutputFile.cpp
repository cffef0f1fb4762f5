#include "OutputFile.h"

#include "GazetteerError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace Engine {

namespace {
constexpr size_t BufferSize = size_t(1) << 20;
}

OutputFile::OutputFile(const QString &file) : m_name(file)
{
    const QByteArray name = QFile::encodeName(file);
    // Written without a name until it is finished, so that a process killed outright leaves
    // nothing behind; a file of that name is what such a kill left before, and goes. Where the
    // file system cannot do that, or /proc is not there to name it by, the file has its name
    // from the start.
    if (::access("/proc/self/fd", F_OK) == 0)
        m_fd = ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (m_fd >= 0) {
        m_named = false;
        ::unlink(name.constData());
    } else {
        m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    if (m_fd < 0)
        fail(errno);
    m_buffer.reserve(BufferSize);
}

OutputFile::~OutputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_finished && m_named)
        ::unlink(QFile::encodeName(m_name).constData());
}

void OutputFile::fail(int error) const
{
    throw GazetteerError(QStringLiteral("Cannot write the gazetteer %1: %2").arg(m_name, QString::fromLocal8Bit(std::strerror(error))));
}

void OutputFile::write(const void *data, size_t size)
{
    const auto *p = static_cast<const std::byte *>(data);
    m_position += size;
    if (m_buffer.size() + size > BufferSize)
        flush();
    if (size >= BufferSize) {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, p, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                fail(n < 0 ? errno : ENOSPC);
            p += n;
            size -= size_t(n);
        }
        return;
    }
    m_buffer.insert(m_buffer.end(), p, p + size);
}

void OutputFile::pad(uint64_t alignment)
{
    static const std::byte zeros[4096] = {};
    while (m_position % alignment != 0)
        write(zeros, size_t(std::min<uint64_t>(sizeof zeros, alignment - m_position % alignment)));
}

void OutputFile::flush()
{
    size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(n < 0 ? errno : ENOSPC);
        done += size_t(n);
    }
    m_buffer.clear();
}

void OutputFile::writeAt(uint64_t offset, const void *data, size_t size)
{
    flush();
    if (::pwrite(m_fd, data, size, off_t(offset)) != ssize_t(size))
        fail(errno ? errno : ENOSPC);
}

void OutputFile::finish()
{
    flush();
    if (::fsync(m_fd) != 0)
        fail(errno);
    if (!m_named) {
        const QByteArray fd = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::linkat(AT_FDCWD, fd.constData(), AT_FDCWD, QFile::encodeName(m_name).constData(), AT_SYMLINK_FOLLOW) != 0)
            fail(errno);
        m_named = true;
    }
    if (::close(m_fd) != 0) {
        m_fd = -1;
        fail(errno);
    }
    m_fd = -1;
    m_finished = true;
}

} // namespace Engine
