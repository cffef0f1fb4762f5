#include "GazetteerStore.h"

#include "GazetteerError.h"
#include "GazetteerFile.h"
#include "GazetteerSegment.h"
#include "MappedFile.h"
#include "OutputFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace Engine {

using namespace GazetteerFormat;

GazetteerStore::GazetteerStore(const QString &file) : m_file(file)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    m_lock.emplace(file + QStringLiteral(".lock"),
                   QStringLiteral("The gazetteer %1 is being changed by another import; run this one when that has finished.").arg(file));
    if (!QFileInfo::exists(file))
        return;
    m_old = std::make_unique<MappedFile>(file);
    for (const std::span<const std::byte> &bytes : GazetteerFile::segments(*m_old)) {
        const GazetteerSegment segment(file, bytes);
        m_oldSegments.push_back({segment.source(), {uint64_t(bytes.data() - m_old->data()), bytes.size()}});
    }
}

GazetteerStore::~GazetteerStore() = default;

QString GazetteerStore::sourceName(const QString &file)
{
    return QFileInfo(file).fileName();
}

QStringList GazetteerStore::sources() const
{
    QStringList out;
    for (const auto &[name, entry] : m_oldSegments)
        if (!m_removed.contains(name))
            out << name;
    for (const auto &[name, entry] : m_newSegments)
        out << name;
    return out;
}

SegmentBuilder &GazetteerStore::beginSource(const QString &source)
{
    if (!m_out) {
        m_out = std::make_unique<OutputFile>(m_file + QStringLiteral(".importing"));
        GazetteerFile::begin(*m_out);
    }
    m_builder.emplace(source, QFileInfo(m_file).absolutePath());
    return *m_builder;
}

SegmentBuilder &GazetteerStore::current()
{
    if (!m_builder)
        throw GazetteerError(QStringLiteral("Cannot write the gazetteer %1: no source begun").arg(m_file));
    return *m_builder;
}

void GazetteerStore::endSource(uint64_t objectsRead, ImportProgress &progress)
{
    SegmentBuilder &b = current();
    b.setObjectsRead(objectsRead);
    const uint64_t offset = m_out->position();
    const uint64_t size = b.write(*m_out, QDateTime::currentSecsSinceEpoch(), progress);
    // A source imported twice in one go: the later import stands.
    std::erase_if(m_newSegments, [&](const auto &s) { return s.first == b.source(); });
    m_newSegments.push_back({b.source(), {offset, size}});
    m_builder.reset();
}

void GazetteerStore::remove(const QString &source)
{
    if (!sources().contains(source))
        throw GazetteerError(QStringLiteral("The gazetteer %1 holds no source named \"%2\" (orvane-gazetteer list shows them).")
                                 .arg(m_file, source));
    m_removed << source;
    std::erase_if(m_newSegments, [&](const auto &s) { return s.first == source; });
}

void GazetteerStore::commit()
{
    if (!m_out) {
        m_out = std::make_unique<OutputFile>(m_file + QStringLiteral(".importing"));
        GazetteerFile::begin(*m_out);
    }
    std::vector<DirectoryEntry> directory;
    // The sources kept come first, copied as they are; new ones after them, as the latest.
    for (const auto &old : m_oldSegments) {
        if (m_removed.contains(old.first) || std::any_of(m_newSegments.begin(), m_newSegments.end(),
                                                         [&](const auto &s) { return s.first == old.first; }))
            continue;
        directory.push_back({m_out->position(), old.second.size});
        m_out->write(m_old->data() + old.second.offset, size_t(old.second.size));
    }
    for (const auto &[name, entry] : m_newSegments)
        directory.push_back(entry);
    GazetteerFile::end(*m_out, directory);
    m_out->finish();
    const QByteArray from = QFile::encodeName(m_out->name()), to = QFile::encodeName(m_file);
    if (::rename(from.constData(), to.constData()) != 0) {
        const int error = errno;
        ::unlink(from.constData());
        throw GazetteerError(QStringLiteral("Cannot write the gazetteer %1: %2").arg(m_file, QString::fromLocal8Bit(std::strerror(error))));
    }
    // The rename itself made durable.
    const int dir = ::open(QFile::encodeName(QFileInfo(m_file).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    m_out.reset();
}

} // namespace Engine
