#include "GetStringUnit.h"
#include "ModalScript.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class TextInputDialog : public ::testing::Test {
protected:
    QWidget owner;
    TGetStringForm form{&owner};
    QPlainTextEdit *memo = form.findChild<QPlainTextEdit *>("Memo1");
    QPushButton *ok = form.findChild<QPushButton *>("Button1");
    QPushButton *cancel = form.findChild<QPushButton *>("Button2");
};

} // namespace

TEST_F(TextInputDialog, DesignLayout)
{
    EXPECT_EQ(form.size(), QSize(376, 156));
    EXPECT_TRUE(form.windowTitle().isEmpty());
    EXPECT_EQ(form.findChild<QLabel *>("Label1")->text(), "Label1");
    EXPECT_EQ(memo->geometry(), QRect(136, 16, 209, 25));
    EXPECT_EQ(ok->geometry(), QRect(192, 96, 75, 25));
    EXPECT_EQ(cancel->geometry(), QRect(272, 96, 75, 25));
    EXPECT_EQ(ok->text(), "Ok");
    EXPECT_EQ(cancel->text(), "Cancel");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(ok->isEnabled());

    form.SetPrompt("SQL:");
    EXPECT_EQ(form.findChild<QLabel *>("Label1")->text(), "SQL:");
    form.EnlargeMemo();
    EXPECT_EQ(memo->geometry(), QRect(136, 16, 209, 75));
    EXPECT_LT(memo->geometry().bottom(), ok->geometry().top());
}

TEST_F(TextInputDialog, OkIsEnabledExactlyWhileTheMemoHoldsText)
{
    form.SetString("select * from Kunden");
    EXPECT_TRUE(ok->isEnabled());
    form.SetString("");
    EXPECT_FALSE(ok->isEnabled());

    form.show();
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Space);
    EXPECT_TRUE(ok->isEnabled()) << "a single blank counts as text";
    QTest::keyClick(memo, Qt::Key_Backspace);
    EXPECT_FALSE(ok->isEnabled());
}

TEST_F(TextInputDialog, LineBreaksBecomeCrLfAndNothingIsTrimmed)
{
    form.SetString("a\rb\nc\r\nd");
    EXPECT_EQ(form.GetString(), "a\r\nb\r\nc\r\nd");
    form.SetString("  x \n\n");
    EXPECT_EQ(form.GetString(), "  x \r\n\r\n");
    form.SetString(QStringLiteral("no\u00a0break"));
    EXPECT_EQ(form.GetString(), QStringLiteral("no\u00a0break"));
}

TEST_F(TextInputDialog, SettingAnEqualTextRaisesNoChange)
{
    form.SetString("a\r\nb");
    QSignalSpy changes(memo, &QPlainTextEdit::textChanged);
    form.SetString("a\nb");   // normalises to the text already there
    EXPECT_EQ(changes.count(), 0);
    form.SetString("a\nbc");
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(TextInputDialog, EnterInTheMemoIsANewLineTabMovesOnToOk)
{
    ModalScript script;
    script.expect("TGetStringForm", [&](QWidget *) {
        EXPECT_EQ(form.focusWidget(), memo) << "the memo has the focus when the dialog opens";
        QTest::keyClicks(memo, "select *");
        QTest::keyClick(memo, Qt::Key_Return);
        QTest::keyClick(memo, Qt::Key_Enter);
        QTest::keyClicks(memo, "from T");
        EXPECT_TRUE(form.isVisible()) << "Enter closed the dialog";
        QTest::keyClick(memo, Qt::Key_Tab);
        EXPECT_EQ(form.focusWidget(), ok) << "Tab stayed in the memo";
        QTest::keyClick(ok, Qt::Key_Return);
    });
    EXPECT_EQ(form.exec(), 1);
    EXPECT_EQ(form.GetString(), "select *\r\n\r\nfrom T");
}

TEST_F(TextInputDialog, CancelEscAndCloseReturnTwoWhateverTheMemoHolds)
{
    form.SetString("text");
    ModalScript script;
    script.expect("TGetStringForm", ModalScript::clickButton("Cancel"));
    EXPECT_EQ(form.exec(), 2);

    script.expect("TGetStringForm", [](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_EQ(form.exec(), 2);

    script.expect("TGetStringForm", [](QWidget *w) { w->close(); });
    EXPECT_EQ(form.exec(), 2);
}

TEST_F(TextInputDialog, DisabledOkCannotCloseTheDialog)
{
    ModalScript script;
    script.expect("TGetStringForm", [&](QWidget *) {
        ok->click();
        QTest::keyClick(ok, Qt::Key_Return);
        EXPECT_TRUE(form.isVisible());
        cancel->click();
    });
    EXPECT_EQ(form.exec(), 2);
}
