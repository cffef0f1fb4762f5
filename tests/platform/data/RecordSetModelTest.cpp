#include "Connection.h"
#include "DataSource.h"
#include "RecordSet.h"
#include "RecordSetModel.h"
#include <TestDatabase.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "test_data_model";
    static char *argv[] = {name, nullptr};
    static QApplication *app = QApplication::instance() ? nullptr : new QApplication(argc, argv);
    Q_UNUSED(app);
}

namespace {

struct ModelFixture : ::testing::Test
{
    TestDatabase db{R"(
        CREATE TABLE kunden (KolmNummer TEXT PRIMARY KEY, Ort TEXT, MPControlGeocode BOOLEAN, W2MP DOUBLE, Extra INTEGER);
        INSERT INTO kunden VALUES ('K1', 'Wien', 1, 0.5, 7), ('K2', 'Berg', 0, -0.5, 8), ('K3', 'Genève', NULL, NULL, 9);)"};
    Connection connection;
    RecordSet rs;
    DataSource source;

    ModelFixture()
    {
        ensureApplication();
        connection.setConnectionText(db.connectionText());
        connection.open();
        rs.setConnection(&connection);
        rs.addField(FieldKind::WideText, "KolmNummer", 30, "Id", 12);
        rs.addField(FieldKind::Boolean, "MPControlGeocode", 0, "Need control", 3, "Yes;");
        rs.addField(FieldKind::WideText, "Ort", 30, "City", 20);
        rs.addField(FieldKind::Float, "W2MP", 0, "Latitude", 10, "#.00000");
        rs.setCommandText("select * from kunden order by KolmNummer");
        source.setDataSet(&rs);
    }
};

} // namespace

TEST_F(ModelFixture, ShowsSlotsInOrderWithLabelsWidthsAndDisplayTexts)
{
    RecordSetModel model(&source);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 0);
    rs.open();
    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), 4);
    QStringList labels;
    for (int c = 0; c < 4; ++c)
        labels << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(labels, (QStringList{"Id", "Need control", "City", "Latitude"}));
    EXPECT_EQ(model.headerData(2, Qt::Horizontal, RecordSetModel::DisplayWidthRole).toInt(), 20);
    EXPECT_EQ(model.index(0, 1).data().toString(), "Yes");
    EXPECT_EQ(model.index(1, 1).data().toString(), "");
    EXPECT_EQ(model.index(0, 3).data().toString(), ".50000");
    EXPECT_EQ(model.index(1, 3).data().toString(), "-.50000");
    EXPECT_EQ(model.index(2, 3).data().toString(), "");
    rs.setSort("[Ort]");
    EXPECT_EQ(model.index(0, 2).data().toString(), "Berg");
    rs.close();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(ModelFixture, MarksTheCurrentRecordAndEditsThroughTheRecordSet)
{
    rs.open();
    RecordSetModel model(&source);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_FALSE(model.headerData(0, Qt::Vertical, Qt::DisplayRole).toString().isEmpty());
    rs.next();
    EXPECT_TRUE(model.headerData(0, Qt::Vertical, Qt::DisplayRole).toString().isEmpty());
    EXPECT_FALSE(model.headerData(1, Qt::Vertical, Qt::DisplayRole).toString().isEmpty());

    EXPECT_TRUE(model.setData(model.index(2, 2), "Geneva", Qt::EditRole));
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_EQ(rs.state(), RecordSet::State::Browse);
    EXPECT_EQ(db.value("select Ort from kunden where KolmNummer='K3'").toString(), "Geneva");
    EXPECT_TRUE(model.setData(model.index(1, 1), true, Qt::EditRole));
    EXPECT_EQ(db.value("select MPControlGeocode from kunden where KolmNummer='K2'").toLongLong(), 1);

    QSignalSpy failed(&model, &RecordSetModel::editFailed);
    db.exec("DELETE FROM kunden WHERE KolmNummer='K1'");
    EXPECT_FALSE(model.setData(model.index(0, 2), "x", Qt::EditRole));
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(rs.state(), RecordSet::State::Browse);
}

TEST_F(ModelFixture, InsertAndRemoveKeepTheModelConsistent)
{
    rs.open();
    RecordSetModel model(&source);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    rs.insert();
    EXPECT_EQ(model.rowCount(), 4);
    rs.fieldByName("KolmNummer").setAsString("K0");
    rs.post();
    EXPECT_EQ(model.index(0, 0).data().toString(), "K0");
    rs.remove();
    EXPECT_EQ(model.rowCount(), 3);
    rs.insert();
    rs.cancel();
    EXPECT_EQ(model.rowCount(), 3);
}

TEST_F(ModelFixture, NoPerRecordSignalsWhileControlsAreDisabled)
{
    rs.open();
    RecordSetModel model(&source);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy data(&model, &QAbstractItemModel::dataChanged), header(&model, &QAbstractItemModel::headerDataChanged),
        reset(&model, &QAbstractItemModel::modelReset);
    rs.disableControls();
    for (rs.first(); !rs.eof(); rs.next()) {
        rs.edit();
        rs.fieldByName("Ort").setAsString("X");
        rs.post();
    }
    EXPECT_EQ(data.count() + header.count() + reset.count(), 0);
    rs.enableControls();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(data.count() + header.count(), 0);
    EXPECT_EQ(model.index(2, 2).data().toString(), "X");
    EXPECT_FALSE(model.headerData(2, Qt::Vertical, Qt::DisplayRole).toString().isEmpty());
}

TEST_F(ModelFixture, WithoutSlotsShowsEveryQueryColumn)
{
    RecordSet plain;
    plain.setConnection(&connection);
    plain.setCommandText("select * from kunden");
    DataSource ds;
    ds.setDataSet(&plain);
    RecordSetModel model(&ds);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    plain.open();
    EXPECT_EQ(model.columnCount(), 5);
    EXPECT_EQ(model.headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), "Extra");
    EXPECT_EQ(model.index(0, 4).data().toString(), "7");
}
