#include "HelpViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const char *const HelpFileProperty = "orvaneHelpFile";

QPointer<HelpViewer> &openViewer()
{
    static QPointer<HelpViewer> viewer;
    return viewer;
}
} // namespace

HelpViewer::HelpViewer() : m_browser(new QTextBrowser(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);
    setWindowTitle(tr("Orvane Help"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    m_browser->setOpenExternalLinks(false);
    resize(640, 560);
}

HelpViewer *HelpViewer::showContext(const QString &helpFile, int context)
{
    const QFileInfo info(helpFile);
    if (!info.isFile() || !info.isReadable())
        throw HelpError(QCoreApplication::translate("HelpViewer",
                                                    "The help file \"%1\" cannot be found.")
                            .arg(QDir::toNativeSeparators(helpFile)));
    // One viewer for the whole program, as a help window is.
    HelpViewer *viewer = openViewer();
    if (!viewer) {
        viewer = new HelpViewer;
        openViewer() = viewer;
    }
    viewer->load(helpFile, context);
    viewer->show();
    viewer->raise();
    return viewer;
}

void HelpViewer::load(const QString &helpFile, int context)
{
    if (m_file != helpFile) {
        QFile file(helpFile);
        if (!file.open(QIODevice::ReadOnly))
            throw HelpError(QCoreApplication::translate("HelpViewer",
                                                        "The help file \"%1\" cannot be read.")
                                .arg(QDir::toNativeSeparators(helpFile)));
        m_browser->setSearchPaths({QFileInfo(helpFile).absolutePath()});
        m_browser->setHtml(QString::fromUtf8(file.readAll()));
        m_file = helpFile;
    }
    m_anchor = QStringLiteral("context-%1").arg(context);
    m_browser->scrollToAnchor(m_anchor);
}

void HelpViewer::setApplicationHelpFile(const QString &helpFile)
{
    QCoreApplication::instance()->setProperty(HelpFileProperty, helpFile);
}

QString HelpViewer::applicationHelpFile()
{
    return QCoreApplication::instance()->property(HelpFileProperty).toString();
}

HelpViewer *HelpViewer::showApplicationHelp(int context)
{
    return showContext(applicationHelpFile(), context);
}
