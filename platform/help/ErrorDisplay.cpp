#include "ErrorDisplay.h"

#include <QApplication>
#include <QMessageBox>

namespace {
QString &title()
{
    static QString text = QStringLiteral("Orvane");
    return text;
}
} // namespace

void ErrorDisplay::Show(const std::exception &error) noexcept
{
    QMessageBox::critical(QApplication::activeWindow(), title(), QString::fromUtf8(error.what()),
                          QMessageBox::Ok);
}

void ErrorDisplay::SetTitle(const QString &text)
{
    title() = text;
}

QString ErrorDisplay::Title()
{
    return title();
}
