#include "OrvaneApplication.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

namespace {
const char *const TerminatedProperty = "orvaneTerminated";

OrvaneApplication *orvaneApp()
{
    return qobject_cast<OrvaneApplication *>(QCoreApplication::instance());
}
} // namespace

OrvaneApplication::OrvaneApplication(int &argc, char **argv) : QApplication(argc, argv) {}

QString OrvaneApplication::Title()
{
    const OrvaneApplication *app = orvaneApp();
    return app && !app->m_title.isEmpty() ? app->m_title : QStringLiteral("Orvane");
}

void OrvaneApplication::SetTitle(const QString &title)
{
    m_title = title;
}

void OrvaneApplication::HandleException(const std::exception &error)
{
    QMessageBox::critical(QApplication::activeWindow(), Title(), QString::fromUtf8(error.what()),
                          QMessageBox::Ok);
}

void OrvaneApplication::Terminate()
{
    QCoreApplication::instance()->setProperty(TerminatedProperty, true);
}

bool OrvaneApplication::Terminated()
{
    return QCoreApplication::instance()->property(TerminatedProperty).toBool();
}

bool OrvaneApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        HandleException(error);
    }
    return false;
}

void OrvaneApplication::LoadTranslations()
{
    // Standard buttons and captions in the system language ("Abbrechen" under German).
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto *translator = new QTranslator(this);
    if (translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"), dir))
        installTranslator(translator);
    else
        delete translator;
}

void OrvaneApplication::ResetTermination()
{
    QCoreApplication::instance()->setProperty(TerminatedProperty, false);
}
