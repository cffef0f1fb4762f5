#pragma once
// The orvane-gazetteer command line:
//   orvane-gazetteer import FILE... [--gazetteer FILE] [--country XX]
//   orvane-gazetteer lookup [--edition EU|NA] [--country NUMBER] STREET CITY POSTCODE
//   orvane-gazetteer --help | --version

#include <QStringList>
#include <QTextStream>

class GazetteerCommand {
public:
    GazetteerCommand(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}
    // Returns the process exit code; errors are reported on err.
    int run(const QStringList &arguments);

private:
    int import(QStringList arguments);
    int lookup(QStringList arguments);
    int usage();
    static void printUsage(QTextStream &to);
    static QString takeOption(QStringList &arguments, const QString &name);

    QTextStream &m_out, &m_err;
};
