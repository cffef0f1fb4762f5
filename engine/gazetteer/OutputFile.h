#pragma once
// A file written from start to end through a buffer, as a gazetteer is built: every failure
// (a full disk among them) throws GazetteerError naming the file. The file is made durable and
// given its name by finish(); a file left unfinished is gone when the object or the process goes.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Engine {

class OutputFile {
public:
    explicit OutputFile(const QString &file);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    void write(const void *data, size_t size);
    template<typename T> void write(const std::vector<T> &rows) { write(rows.data(), rows.size() * sizeof(T)); }
    // Zeros up to the next multiple of alignment.
    void pad(uint64_t alignment);
    // Overwrites bytes already written (headers filled in at the end).
    void writeAt(uint64_t offset, const void *data, size_t size);
    uint64_t position() const { return m_position; }
    // Flushed and synced to disk; the file stays.
    void finish();
    const QString &name() const { return m_name; }

private:
    void flush();
    [[noreturn]] void fail(int error) const;

    QString m_name;
    int m_fd = -1;
    bool m_finished = false;
    bool m_named = true;
    uint64_t m_position = 0;
    std::vector<std::byte> m_buffer;
};

} // namespace Engine
