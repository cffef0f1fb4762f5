#pragma once
// Room for an import's large arrays in files beside the gazetteer being built rather than in the
// program's memory: the system keeps of them in memory what it has room for and writes the rest
// to disk, so that an import's memory does not grow with the size of the extract. Each file is
// deleted as soon as it is made, so none is left behind, however the import ends.

#include <QString>

#include <cstddef>
#include <memory>
#include <vector>

namespace Engine {

// A mapping of 'bytes' in a new file in 'folder', its room on the disk taken at once, so that a
// full disk is reported here rather than as a crash when a page is written. Throws GazetteerError
// naming the folder.
void *mapSpillFile(const QString &folder, size_t bytes);
void unmapSpillFile(void *at, size_t bytes) noexcept;

template<typename T> class SpillAllocator {
public:
    using value_type = T;
    static constexpr size_t SpillBytes = size_t(16) << 20;   // smaller arrays stay in memory

    explicit SpillAllocator(QString folder) : m_folder(std::move(folder)) {}
    template<typename U> SpillAllocator(const SpillAllocator<U> &other) : m_folder(other.folder()) {}

    T *allocate(size_t n)
    {
        if (n * sizeof(T) < SpillBytes)
            return std::allocator<T>().allocate(n);
        return static_cast<T *>(mapSpillFile(m_folder, n * sizeof(T)));
    }
    void deallocate(T *at, size_t n) noexcept
    {
        if (n * sizeof(T) < SpillBytes)
            std::allocator<T>().deallocate(at, n);
        else
            unmapSpillFile(at, n * sizeof(T));
    }
    const QString &folder() const { return m_folder; }
    friend bool operator==(const SpillAllocator &a, const SpillAllocator &b) { return a.m_folder == b.m_folder; }

private:
    QString m_folder;
};

template<typename T> using SpillVector = std::vector<T, SpillAllocator<T>>;

} // namespace Engine
