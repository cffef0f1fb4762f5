#pragma once

#include <ColumnMapping.h>

#include <QString>
#include <QStringList>

#include <stdexcept>

// A command line that cannot be run as given; the command ends with status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// What orvane-batch was asked to do.
struct BatchOptions {
    QString database;
    QString table;                  // empty: the stored table
    ColumnMapping columns;          // only the roles given with --map
    bool northAmerica = false;      // --edition US
    QString query;                  // replaces "select * from TABLE" when given
    QString settingsFile;
    QString gazetteerFile;
    bool listRuns = false;          // --runs
    bool undo = false;              // --undo [N]
    qint64 undoRun = 0;             // N of --undo N; 0: the last run
    bool help = false;
    bool version = false;

    // Throws UsageError naming what is wrong.
    static BatchOptions Parse(const QStringList &arguments);
    static QString HelpText();
};
