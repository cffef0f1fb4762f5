#pragma once

#include "AddressSearchDialog.h"
#include "AddressSearchResult.h"

#include <QDialog>

#include <memory>

namespace Ui { class AddressSearchForm; }
class TCountryData;

// The single-record run's dialog: searches the handed-in address at once through the map module,
// lists the candidates, lets the user correct the address, search again and pick a line.
// exec() returns 1 for Ok or a double-click in the list, 2 for Cancel, Esc or closing the window.
class TAddressSearchForm : public QDialog, public IAddressSearchDialog {
    Q_OBJECT
public:
    static constexpr int HelpContext = 21;

    explicit TAddressSearchForm(QWidget *owner);
    ~TAddressSearchForm() override;

    // Runs the first search; an engine error propagates before the dialog is shown.
    void Prepare(const QString &Country, const QString &Postcode, const QString &City,
                 const QString &Street, const QString &PinName) override;
    int ShowModal() override;
    void GetResult(RAddressSearchResult &R) const override;

    void RunSearch();
    void SearchButtonClick(QObject *Sender);
    void ResultListBoxClick(QObject *Sender);
    void ResultListBoxDblClick(QObject *Sender);

    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int selectedLine() const;

    std::unique_ptr<Ui::AddressSearchForm> ui;
    std::unique_ptr<TCountryData> FCountryData;
    QString FPinName;
    RAddressSearchResult FResult;   // the line selected last; a later search does not clear it
};
