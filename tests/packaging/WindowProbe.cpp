// Loaded into an installed program with LD_PRELOAD, the probe does what a user does at start-up:
// it picks $ORVANE_PROBE_DATABASE in the file dialog and presses the default button of every
// other dialog. Once the main window shows its map, the probe prints what the window shows and
// which files the program has mapped, paints the window into main-window.png and ends the program.
// A message box ends it at once with status 1.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// The files the program has mapped: itself, its libraries, data read through a memory map.
QSet<QString> mappedFiles()
{
    QSet<QString> files;
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (maps.open(QIODevice::ReadOnly))
        for (const QByteArray &line : maps.readAll().split('\n')) {
            const qsizetype path = line.indexOf(" /");
            if (path >= 0)
                files.insert(QString::fromLocal8Bit(line.mid(path + 1)));
        }
    return files;
}

void report(QMainWindow *window)
{
    std::printf("program: %s\n", qPrintable(QCoreApplication::applicationDirPath()));
    std::printf("window: %s\n", window->metaObject()->className());
    const auto *grid = window->findChild<QTableView *>();
    std::printf("rows: %d\n", grid && grid->model() ? grid->model()->rowCount() : -1);
    const QString help = QCoreApplication::instance()->property("orvaneHelpFile").toString();
    std::printf("help: %s%s\n", qPrintable(help), QFileInfo(help).isFile() ? "" : " (missing)");
    for (const QString &file : mappedFiles())
        std::printf("mapped: %s\n", qPrintable(file));
    std::printf("painted: %s\n", window->grab().save(QStringLiteral("main-window.png")) ? "yes" : "no");
    std::fflush(stdout);
}

// What the probe waits for, printed when it changes, so that a start-up that hangs says where.
void waitingFor(const char *what)
{
    static QByteArray last;
    if (last == what)
        return;
    last = what;
    std::printf("waiting: %s\n", what);
    std::fflush(stdout);
}

void step()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (modal)
        waitingFor(modal->metaObject()->className());
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        std::printf("message: %s\n", qPrintable(box->text()));
        std::fflush(stdout);
        std::_Exit(1);
    }
    if (auto *files = qobject_cast<QFileDialog *>(modal)) {
        // Typed into the file name field, as a user does; selectFile() leaves a field that has the
        // focus alone.
        const QString database = qEnvironmentVariable("ORVANE_PROBE_DATABASE");
        if (auto *name = qobject_cast<QLineEdit *>(files->focusWidget()))
            name->setText(database);
        else
            files->selectFile(database);
        static_cast<QDialog *>(files)->accept();   // QFileDialog's own accept(), as Open does
        return;
    }
    if (modal) {
        for (QPushButton *button : modal->findChildren<QPushButton *>())
            if (button->isDefault() && button->isEnabled()) {
                button->click();
                return;
            }
        return;
    }
    // The window shows its map once it is idle after start-up.
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<QMainWindow *>(widget); window && window->isVisible()) {
            const auto children = window->findChildren<QWidget *>();
            if (std::none_of(children.begin(), children.end(),
                             [](const QWidget *w) { return w->inherits("MapWindow") && w->isVisible(); })) {
                waitingFor("the map");
                return;
            }
            report(window);
            QCoreApplication::exit(0);
            return;
        }
}

void startProbe()
{
    auto *timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, &step);
    timer->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
