#pragma once
#include <QString>

// The four combo-box operations the country table uses, so that the table itself needs no widgets.
// CountryComboBox adapts a QComboBox; tests may supply their own.
class IComboBoxItems {
public:
    virtual ~IComboBoxItems() = default;
    virtual void clear() = 0;                  // items and edit text
    virtual void addItem(const QString &text) = 0;
    virtual int currentIndex() const = 0;      // -1 when nothing is selected
    virtual void setCurrentIndex(int index) = 0;
};
