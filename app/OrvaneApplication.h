#pragma once

#include <QApplication>

class QLocale;

// The application object: its title, its translations and the request to end that a cancelled
// start-up makes. Errors that a handler lets through are shown by ErrorDisplay.
class OrvaneApplication : public QApplication {
    Q_OBJECT
public:
    OrvaneApplication(int &argc, char **argv);

    static QString Title();
    static void SetTitle(const QString &title);

    // Asks the application to end. Only the start-up asks, before the message loop runs, which
    // then does not start.
    static void Terminate();
    static bool Terminated();
    static void ResetTermination();   // a new start-up in the same process

    // Qt's buttons and the standard captions in the language of the locale.
    static void LoadTranslations(const QLocale &locale);
};
