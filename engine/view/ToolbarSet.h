#pragma once
#include <QObject>
#include <QString>

#include <vector>

// The engine's toolbars as the automation interface sees them: titles and whether each is shown.
// The view builds its toolbars from this set and follows it.
class ToolbarSet : public QObject {
    Q_OBJECT
public:
    enum Kind { Standard, Navigation, LocationAndScale, Drawing };

    explicit ToolbarSet(const std::vector<QString> &titlesInKindOrder);

    int count() const { return int(m_entries.size()); }
    QString title(int index) const { return m_entries.at(size_t(index)).title; }
    bool isShown(int index) const { return m_entries.at(size_t(index)).shown; }
    void setShown(int index, bool shown);

signals:
    void shownChanged(int index, bool shown);

private:
    struct Entry {
        QString title;
        bool shown = true;
    };
    std::vector<Entry> m_entries;
};
