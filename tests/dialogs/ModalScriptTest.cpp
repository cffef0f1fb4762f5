#include "ModalScript.h"

#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

// The helper must end any modal loop it did not expect; otherwise a broken test hangs.
TEST(ModalScript, AnswersExpectedModalsInOrder)
{
    ModalScript script;
    script.expect("QMessageBox", ModalScript::pressStandardButton(QMessageBox::Cancel));
    script.expect("QMessageBox", ModalScript::pressStandardButton(QMessageBox::Ok));
    EXPECT_EQ(QMessageBox::question(nullptr, "", "Geocode all records ?", QMessageBox::Ok | QMessageBox::Cancel),
              QMessageBox::Cancel);
    EXPECT_EQ(QMessageBox::question(nullptr, "", "again", QMessageBox::Ok | QMessageBox::Cancel), QMessageBox::Ok);
    EXPECT_TRUE(script.allAnswered());
}

TEST(ModalScript, RejectsStraysAndRecordsThem)
{
    ModalScript script;
    QDialog stray;
    stray.setObjectName("stray");
    EXPECT_EQ(stray.exec(), QDialog::Rejected);

    script.expect("QMessageBox", ModalScript::pressStandardButton(QMessageBox::Ok));
    QDialog wrong;
    wrong.setObjectName("wrong");
    EXPECT_EQ(wrong.exec(), QDialog::Rejected);

    script.finish();
    const QStringList failures = script.takeFailures();
    ASSERT_EQ(failures.size(), 3);
    EXPECT_TRUE(failures[0].contains("unexpected modal QDialog 'stray'")) << failures[0].toStdString();
    EXPECT_TRUE(failures[1].contains("expected modal QMessageBox but QDialog 'wrong'")) << failures[1].toStdString();
    EXPECT_TRUE(failures[2].contains("QMessageBox never appeared")) << failures[2].toStdString();
}

TEST(ModalScript, AnActionThatThrowsEndsTheModalAsAFailure)
{
    ModalScript script;
    script.expect("QDialog", [](QWidget *) { throw std::runtime_error("no scripted answer left"); });
    QDialog dialog;
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    const QStringList failures = script.takeFailures();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains("no scripted answer left")) << failures[0].toStdString();
}

TEST(ModalScript, AnswersAModalOpenedFromInsideAnAction)
{
    ModalScript script;
    QDialog outer;
    outer.setObjectName("outer");
    QMessageBox::StandardButton inner = QMessageBox::NoButton;
    script.expect("outer", [&](QWidget *) {
        inner = QMessageBox::warning(&outer, "", "engine failed");
        outer.done(7);
    });
    script.expect("QMessageBox", ModalScript::pressStandardButton(QMessageBox::Ok));
    EXPECT_EQ(outer.exec(), 7);
    EXPECT_EQ(inner, QMessageBox::Ok);
}
