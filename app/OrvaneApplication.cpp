#include "OrvaneApplication.h"

#include "StandardCaptions.h"

#include <ErrorDisplay.h>

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {
const char *const TerminatedProperty = "orvaneTerminated";
} // namespace

OrvaneApplication::OrvaneApplication(int &argc, char **argv) : QApplication(argc, argv) {}

QString OrvaneApplication::Title()
{
    return ErrorDisplay::Title();
}

void OrvaneApplication::SetTitle(const QString &title)
{
    ErrorDisplay::SetTitle(title);
}

void OrvaneApplication::Terminate()
{
    QCoreApplication::instance()->setProperty(TerminatedProperty, true);
}

bool OrvaneApplication::Terminated()
{
    return QCoreApplication::instance()->property(TerminatedProperty).toBool();
}

void OrvaneApplication::LoadTranslations(const QLocale &locale)
{
    // Standard buttons in the system language ("Abbrechen" under German).
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto *qtbase = new QTranslator(QCoreApplication::instance());
    if (qtbase->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), dir))
        installTranslator(qtbase);
    else
        delete qtbase;
    auto *captions = new TStandardCaptions(locale, QCoreApplication::instance());
    if (!captions->isEmpty())
        installTranslator(captions);
    else
        delete captions;
}

void OrvaneApplication::ResetTermination()
{
    QCoreApplication::instance()->setProperty(TerminatedProperty, false);
}
