#pragma once

#include <QIcon>
#include <QList>
#include <QSize>

// A list of equally sized images, addressed by index.
class ImageList {
public:
    explicit ImageList(QSize size = QSize(16, 16)) : m_size(size) {}

    void add(const QIcon &icon) { m_icons.append(icon); }
    int count() const { return m_icons.size(); }
    QSize imageSize() const { return m_size; }
    // An index outside the list gives a null icon, as an unset image does.
    QIcon icon(int index) const { return m_icons.value(index); }

private:
    QSize m_size;
    QList<QIcon> m_icons;
};
