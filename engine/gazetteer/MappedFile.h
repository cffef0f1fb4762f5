#pragma once
// A file mapped read-only into memory for as long as the object lives. Pages are read by the
// system when they are first touched, so mapping a large file costs nothing up front.

#include <QString>

#include <cstddef>

namespace Engine {

class MappedFile {
public:
    // Throws GazetteerError naming the file when it cannot be opened or mapped.
    explicit MappedFile(const QString &file);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    const std::byte *data() const { return m_data; }
    size_t size() const { return m_size; }
    const QString &name() const { return m_name; }

private:
    QString m_name;
    const std::byte *m_data = nullptr;
    size_t m_size = 0;
};

} // namespace Engine
