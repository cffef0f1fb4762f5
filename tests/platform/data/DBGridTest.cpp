#include "Connection.h"
#include "DBGrid.h"
#include "DBNavigator.h"
#include "DataSource.h"
#include "RecordSet.h"
#include <TestDatabase.h>

#include <QApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

void ensureApplication();

namespace {

// Answers the next modal message box with the given button.
void answerNextMessageBox(QMessageBox::StandardButton button)
{
    QTimer::singleShot(0, [button] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->button(button)->click();
    });
}

struct GridFixture : ::testing::Test
{
    TestDatabase db{R"(
        CREATE TABLE kunden (KolmNummer TEXT PRIMARY KEY, Ort TEXT);
        INSERT INTO kunden VALUES ('K1', 'Wien'), ('K2', 'Berg'), ('K3', 'Genève');)"};
    Connection connection;
    RecordSet rs;
    DataSource source;

    GridFixture()
    {
        ensureApplication();
        connection.setConnectionText(db.connectionText());
        connection.open();
        rs.setConnection(&connection);
        rs.addField(FieldKind::WideText, "KolmNummer", 30, "Id", 12);
        rs.addField(FieldKind::WideText, "Ort", 30, "City", 20);
        rs.setCommandText("select * from kunden order by KolmNummer");
        rs.open();
        source.setDataSet(&rs);
    }
};

} // namespace

TEST_F(GridFixture, GridColumnsFollowSlotsAndRowsHaveAFixedHeight)
{
    DBGrid grid;
    grid.setDataSource(&source);
    grid.show();
    EXPECT_EQ(grid.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), "City");
    EXPECT_GT(grid.columnWidth(1), grid.columnWidth(0));
    QSignalSpy titles(&grid, &DBGrid::titleClicked);
    grid.horizontalHeader()->sectionClicked(1);
    ASSERT_EQ(titles.count(), 1);
    EXPECT_EQ(titles.first().first().toInt(), 1);
    grid.setCurrentIndex(grid.model()->index(2, 0));
    EXPECT_EQ(rs.recNo(), 2);
    rs.first();
    EXPECT_EQ(grid.currentIndex().row(), 0);
}

TEST_F(GridFixture, DeleteAsksFirst)
{
    DBGrid grid;
    grid.setDataSource(&source);
    grid.show();
    answerNextMessageBox(QMessageBox::Cancel);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(rs.recordCount(), 3);
    answerNextMessageBox(QMessageBox::Ok);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(db.value("select count(*) from kunden").toLongLong(), 2);
}

TEST_F(GridFixture, NavigatorButtonsFollowTheRecordSet)
{
    DBNavigator nav;
    nav.setDataSource(&source);
    EXPECT_FALSE(nav.button(DBNavigator::First)->isEnabled());
    EXPECT_FALSE(nav.button(DBNavigator::Post)->isEnabled());
    nav.button(DBNavigator::Last)->click();
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_FALSE(nav.button(DBNavigator::Next)->isEnabled());
    nav.button(DBNavigator::Edit)->click();
    EXPECT_TRUE(nav.button(DBNavigator::Post)->isEnabled());
    EXPECT_FALSE(nav.button(DBNavigator::Next)->isEnabled());
    nav.button(DBNavigator::Cancel)->click();
    answerNextMessageBox(QMessageBox::Ok);
    nav.button(DBNavigator::Delete)->click();
    EXPECT_EQ(rs.recordCount(), 2);
}
