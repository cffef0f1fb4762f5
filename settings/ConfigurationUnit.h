#pragma once

#include "ColumnMapping.h"

#include <QDialog>

#include <array>
#include <memory>

class Connection;
class QComboBox;
class RecordSet;

namespace Ui {
class ConfigurationForm;
}

// The table and field mapping dialog: which table holds the customers, which of its columns
// hold the source values and receive the results, and which map edition to use.
class TConfigurationForm : public QDialog {
    Q_OBJECT
public:
    // Errors of the database while listing tables or probing the stored table leave the
    // constructor.
    TConfigurationForm(QWidget *owner, Connection *connection);
    ~TConfigurationForm() override;

    QString GetTableName() const;
    // The column chosen for each role; empty where none is.
    ColumnMapping GetColumns() const;
    int GetMapVersion() const;

    void TableListBoxClick();
    void FillFieldLists();
    void Button1Click();

    // The index of the first item equal to name, -1 when none is or name is empty.
    static int IndexOfColumn(const QComboBox *comboBox, const QString &name);

    std::unique_ptr<Ui::ConfigurationForm> ui;

private:
    QComboBox *comboBox(ColumnRole role) const { return m_comboBoxes[static_cast<std::size_t>(role)]; }

    RecordSet *FProbeDataSet;
    // Each role's combo box, named after the role's value in the store.
    std::array<QComboBox *, ColumnRoles::Count> m_comboBoxes;
};
