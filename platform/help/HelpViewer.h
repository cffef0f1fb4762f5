#pragma once

#include <QString>
#include <QWidget>

#include <stdexcept>

class QTextBrowser;

class HelpError : public std::runtime_error {
public:
    explicit HelpError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// The help viewer: one window showing the help file (HTML, one section per context number).
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    // Opens helpFile at the section of context; throws HelpError when the file is missing.
    static HelpViewer *showContext(const QString &helpFile, int context);

    // The application's help file, set once at start-up.
    static void setApplicationHelpFile(const QString &helpFile);
    static QString applicationHelpFile();
    static HelpViewer *showApplicationHelp(int context);

    QString currentAnchor() const { return m_anchor; }
    QString helpFile() const { return m_file; }

private:
    HelpViewer();
    void load(const QString &helpFile, int context);

    QTextBrowser *m_browser;
    QString m_file;
    QString m_anchor;
};
