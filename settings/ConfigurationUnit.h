#pragma once

#include <QDialog>

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
    QString GetIdentifierField() const;
    QString GetNameField() const;
    QString GetCountryField() const;
    QString GetPostcodeField() const;
    QString GetCityField() const;
    QString GetStreetField() const;
    QString GetControlGeocodeField() const;
    QString GetGeocodedOnField() const;
    QString GetLatitudeField() const;
    QString GetLongitudeField() const;
    QString GetStatusTextField() const;
    int GetMapVersion() const;

    void TableListBoxClick();
    void FillFieldLists();
    void Button1Click();

    // The index of the first item equal to name, -1 when none is or name is empty.
    static int IndexOfColumn(const QComboBox *comboBox, const QString &name);

    std::unique_ptr<Ui::ConfigurationForm> ui;

private:
    // The eleven combo boxes in the order the store is read and Ok checks them.
    QList<QComboBox *> fieldComboBoxes() const;

    RecordSet *FProbeDataSet;
};
