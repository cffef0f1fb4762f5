#pragma once
// The orvane-gazetteer command line:
//   orvane-gazetteer import FILE... [--gazetteer FILE] [--country XX]
//   orvane-gazetteer list [--gazetteer FILE]
//   orvane-gazetteer remove SOURCE... [--gazetteer FILE]
//   orvane-gazetteer lookup [--edition EU|NA] [--country NUMBER] STREET CITY POSTCODE
//   orvane-gazetteer --help | --version

#include "GazetteerFiles.h"

#include <QStringList>
#include <QTextStream>

#include <atomic>
#include <utility>

class GazetteerCommand {
public:
    // files: the program's gazetteer and the user's, which commands without --gazetteer change.
    // stop, when given, ends an import at its next step when set (by SIGINT or SIGTERM).
    GazetteerCommand(QTextStream &out, QTextStream &err, Engine::GazetteerFiles files, const std::atomic<bool> *stop = nullptr)
        : m_out(out), m_err(err), m_files(std::move(files)), m_stop(stop) {}
    // Returns the process exit code; errors are reported on err.
    int run(const QStringList &arguments);

private:
    int import(QStringList arguments);
    int list(QStringList arguments);
    int remove(QStringList arguments);
    int lookup(QStringList arguments);
    int usage();
    void printUsage(QTextStream &to) const;
    static QString takeOption(QStringList &arguments, const QString &name);

    QTextStream &m_out, &m_err;
    const Engine::GazetteerFiles m_files;
    const std::atomic<bool> *m_stop;
};
