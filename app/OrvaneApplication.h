#pragma once

#include <QApplication>

#include <exception>

// The application object: its title, the one place where errors that a handler lets through are
// shown, and the request to end that a cancelled start-up makes.
class OrvaneApplication : public QApplication {
    Q_OBJECT
public:
    OrvaneApplication(int &argc, char **argv);

    static QString Title();
    void SetTitle(const QString &title);

    // Shows the error in a message box; the program keeps running.
    static void HandleException(const std::exception &error);

    // Asks the application to end. Only the start-up asks, before the message loop runs, which
    // then does not start.
    static void Terminate();
    static bool Terminated();
    static void ResetTermination();   // a new start-up in the same process

    bool notify(QObject *receiver, QEvent *event) override;

    void LoadTranslations();

private:
    QString m_title;
};
