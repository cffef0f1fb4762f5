#include "AddressSearchUnit.h"
#include "ui_AddressSearchUnit.h"

#include "CountryDataUnit.h"
#include "HandlerGuard.h"
#include "HelpViewer.h"
#include "KarteUnit.h"

#include <QMouseEvent>
#include <QShortcut>
#include <QSignalBlocker>

TAddressSearchForm::TAddressSearchForm(QWidget *owner)
    : QDialog(owner), ui(std::make_unique<Ui::AddressSearchForm>())
{
    ui->setupUi(this);
    // uic sizes the top-level form but leaves its place to the window system.
    move(12, 142);
    const int panel1Height = 201;
    layout()->activate();   // the splitter has its real height only once the form is laid out
    ui->Splitter1->setSizes({panel1Height, height() - panel1Height - ui->Splitter1->handleWidth()});

    TKartenModul::InitAddressSearchResult(FResult);
    FCountryData = std::make_unique<TCountryData>();
    FCountryData->FillComboBox(ui->CountryComboBox);

    connect(ui->SearchButton, &QPushButton::clicked, this,
            Guarded([this] { SearchButtonClick(ui->SearchButton); }));
    connect(ui->ResultListBox, &QListWidget::itemSelectionChanged, this,
            Guarded([this] { ResultListBoxClick(ui->ResultListBox); }));
    // The viewport, not itemDoubleClicked: a double-click on an empty list must close too.
    ui->ResultListBox->viewport()->installEventFilter(this);
    connect(ui->OkButton, &QPushButton::clicked, this, Guarded([this] { done(1); }));
    connect(ui->CancelButton, &QPushButton::clicked, this, Guarded([this] { done(2); }));
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
            Guarded([] { HelpViewer::showApplicationHelp(HelpContext); }));
}

TAddressSearchForm::~TAddressSearchForm() = default;

void TAddressSearchForm::Prepare(const QString &Country, const QString &Postcode, const QString &City,
                                 const QString &Street, const QString &PinName)
{
    FPinName = PinName;
    FCountryData->SelectCode(Country);
    ui->PostcodeEdit->setText(Postcode);
    ui->StreetEdit->setText(Street);
    ui->CityEdit->setText(City);
    RunSearch();
}

int TAddressSearchForm::ShowModal()
{
    return exec();
}

void TAddressSearchForm::GetResult(RAddressSearchResult &R) const
{
    R = FResult;
}

void TAddressSearchForm::RunSearch()
{
    const QString country = FCountryData->GetSelectedCode();
    const QString postcode = ui->PostcodeEdit->text();
    const QString street = ui->StreetEdit->text();
    const QString city = ui->CityEdit->text();

    TKartenModul &map = KartenModul();
    map.ClearPushPins();
    {
        // Filling the list from here is not a user's choice: no selection events.
        const QSignalBlocker quiet(ui->ResultListBox);
        ui->ResultListBox->clear();
        if (!map.SearchAddress(country, postcode, city, street, FPinName, true, true))
            return;
        const std::vector<RListStructure> &candidates = map.Candidates();
        for (int i = 0; i < map.CandidateCount(); ++i)
            ui->ResultListBox->addItem(candidates[i].DisplayName);
        ui->ResultListBox->setCurrentRow(map.SelectedCandidate());
    }
    ResultListBoxClick(ui->ResultListBox);
}

void TAddressSearchForm::SearchButtonClick(QObject *)
{
    RunSearch();
}

void TAddressSearchForm::ResultListBoxClick(QObject *)
{
    const int line = selectedLine();
    if (line < 0)
        return;
    const RListStructure &c = KartenModul().Candidates()[line];
    ui->OkButton->setEnabled(true);
    FResult.Found = true;
    FResult.StatusKind = c.StatusKind;
    FResult.MatchedAddress = c.DisplayName;
    FResult.Longitude = c.Longitude;
    FResult.Latitude = c.Latitude;
    FResult.Postcode = c.Postcode;
    FResult.City = c.City;
    FResult.Street = c.Street;
}

void TAddressSearchForm::ResultListBoxDblClick(QObject *)
{
    done(1);
}

void TAddressSearchForm::reject()
{
    // Esc and the window's close button count as Cancel.
    done(2);
}

bool TAddressSearchForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->ResultListBox->viewport() && event->type() == QEvent::MouseButtonDblClick
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        ResultListBoxDblClick(ui->ResultListBox);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

int TAddressSearchForm::selectedLine() const
{
    const QList<QListWidgetItem *> selected = ui->ResultListBox->selectedItems();
    return selected.isEmpty() ? -1 : ui->ResultListBox->row(selected.first());
}
