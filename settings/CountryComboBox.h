#pragma once
#include "ComboBoxItems.h"

#include <QPointer>

class QComboBox;

// The country table's view of a QComboBox. Holds it weakly: once the box is gone the operations do
// nothing and nothing counts as selected.
class CountryComboBox : public IComboBoxItems {
public:
    explicit CountryComboBox(QComboBox *comboBox);
    void clear() override;
    void addItem(const QString &text) override;
    int currentIndex() const override;
    void setCurrentIndex(int index) override;

private:
    QPointer<QComboBox> FComboBox;
};
