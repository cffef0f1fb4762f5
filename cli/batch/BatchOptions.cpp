#include "BatchOptions.h"

#include <RunJournal.h>

#include <QCommandLineParser>

namespace {
QString roleWords()
{
    QStringList words;
    for (const ColumnRoleEntry &entry : ColumnRoles::All())
        words << entry.Word();
    return words.join(QLatin1Char(' '));
}
} // namespace

QString BatchOptions::HelpText()
{
    return QStringLiteral(
        "usage: orvane-batch DATABASE [--table NAME] [--map ROLE=COLUMN ...] [--edition EU|US]\n"
        "                    [--query SQL] [--settings FILE] [--gazetteer FILE]\n"
        "       orvane-batch DATABASE --runs\n"
        "       orvane-batch DATABASE --undo [N]\n"
        "\n"
        "Geocodes every record of a customer table, exactly as \"Geocode all\" in the program does,\n"
        "and writes the results into the records.\n"
        "\n"
        "  DATABASE           the database file (SQLite, or a data link file for a server)\n"
        "  --table NAME       the customer table; default: the table chosen last in the program\n"
        "  --map ROLE=COLUMN  the column of one role; roles not given keep the column chosen last\n"
        "                     in the program. Roles: id name country postcode city street\n"
        "                     control status address lat lon\n"
        "  --edition EU|US    the map edition: European (default) or North American\n"
        "  --query SQL        geocode the records of this query instead of the whole table\n"
        "  --settings FILE    the program's settings file (default country and more)\n"
        "  --gazetteer FILE   the user gazetteer with imported streets and postcodes\n"
        "  --runs             list the runs recorded for this database, newest first: number,\n"
        "                     when, how many records, table and columns\n"
        "  --undo [N]         put back what the last run (or run N of --runs) overwrote; records\n"
        "                     changed since that run are left alone and counted\n"
        "  --help             this text\n"
        "  --version          the program's version\n"
        "\n"
        "Ends with the lines \"Records geocoded: N\" and \"Records not geocoded: M\"; an undo with\n"
        "\"Records restored: N\" and \"Records left alone: M\" and why. Every run and every undo is\n"
        "recorded, before its records are saved, in a journal of Orvane's own under\n"
        "$XDG_DATA_HOME/Orvane/runs (never in the database); the last %1 runs are kept.\n"
        "Exit status: 0 the run completed; 1 the run ended with an error (records posted before\n"
        "it keep their values); 2 the command line, the mapping or the table is wrong (nothing\n"
        "is written).\n"
        "SIGINT (Ctrl+C) or SIGTERM stops a query being read, or the run before its next record,\n"
        "with status 1; a second one ends the program at once.\n").arg(RunJournal::KeptRuns);
}

BatchOptions BatchOptions::Parse(const QStringList &given)
{
    // --undo takes a run number or nothing, which the parser cannot express.
    QStringList arguments;
    bool undo = false;
    qint64 undoRun = 0;
    for (qsizetype i = 0; i < given.size(); ++i) {
        const QString &a = given[i];
        if (a != QLatin1String("--undo") && a != QLatin1String("-undo") && !a.startsWith(QLatin1String("--undo="))) {
            arguments << a;
            continue;
        }
        if (undo)
            throw UsageError(QStringLiteral("--undo is given more than once."));
        undo = true;
        QString number = a.section(QLatin1Char('='), 1);
        if (number.isEmpty() && i + 1 < given.size() && !given[i + 1].isEmpty() && given[i + 1].front().isDigit())
            number = given[++i];
        bool ok = true;
        if (!number.isEmpty())
            undoRun = number.toLongLong(&ok);
        if (!ok || (!number.isEmpty() && undoRun <= 0))
            throw UsageError(QStringLiteral("--undo takes the number of a run as --runs lists it, not \"%1\".").arg(number));
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption table(QStringLiteral("table"), {}, QStringLiteral("NAME"));
    const QCommandLineOption map(QStringLiteral("map"), {}, QStringLiteral("ROLE=COLUMN"));
    const QCommandLineOption edition(QStringLiteral("edition"), {}, QStringLiteral("EU|US"));
    const QCommandLineOption query(QStringLiteral("query"), {}, QStringLiteral("SQL"));
    const QCommandLineOption settings(QStringLiteral("settings"), {}, QStringLiteral("FILE"));
    const QCommandLineOption gazetteer(QStringLiteral("gazetteer"), {}, QStringLiteral("FILE"));
    const QCommandLineOption runs(QStringLiteral("runs"));
    const QCommandLineOption help(QStringLiteral("help"));
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({table, map, edition, query, settings, gazetteer, runs, help, version});
    if (!parser.parse(QStringList{QStringLiteral("orvane-batch")} + arguments))
        throw UsageError(parser.errorText());

    BatchOptions options;
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    if (options.help || options.version)
        return options;

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        throw UsageError(QStringLiteral("No database given."));
    if (positional.size() > 1)
        throw UsageError(QStringLiteral("Only one database can be given; also got \"%1\".").arg(positional[1]));
    options.database = positional.first();
    options.listRuns = parser.isSet(runs);
    options.undo = undo;
    options.undoRun = undoRun;
    if (options.listRuns || options.undo) {
        if (options.listRuns && options.undo)
            throw UsageError(QStringLiteral("--runs and --undo cannot be given together."));
        for (const QCommandLineOption *o : {&table, &map, &edition, &query, &settings, &gazetteer})
            if (parser.isSet(*o))
                throw UsageError(QStringLiteral("--%1 has no use with --%2: the run names its table and columns.")
                                     .arg(o->names().first(), options.undo ? QStringLiteral("undo") : QStringLiteral("runs")));
        return options;
    }

    const auto single = [&parser](const QCommandLineOption &option) {
        const QStringList values = parser.values(option);
        if (values.size() > 1)
            throw UsageError(QStringLiteral("--%1 is given more than once.").arg(option.names().first()));
        return values.value(0);
    };
    options.table = single(table);
    options.query = single(query);
    options.settingsFile = single(settings);
    options.gazetteerFile = single(gazetteer);
    if (parser.isSet(table) && options.table.isEmpty())
        throw UsageError(QStringLiteral("--table needs a table name."));
    if (parser.isSet(query) && options.query.trimmed().isEmpty())
        throw UsageError(QStringLiteral("--query needs the SQL text of a query."));

    const QString editionText = single(edition);
    if (!editionText.isEmpty() || parser.isSet(edition)) {
        if (editionText.compare(QLatin1String("US"), Qt::CaseInsensitive) == 0)
            options.northAmerica = true;
        else if (editionText.compare(QLatin1String("EU"), Qt::CaseInsensitive) != 0)
            throw UsageError(QStringLiteral("Unknown edition \"%1\": use EU or US.").arg(editionText));
    }

    for (const QString &pair : parser.values(map)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        const QString role = pair.left(equals).trimmed();
        const QString column = equals < 0 ? QString() : pair.mid(equals + 1).trimmed();
        if (equals < 0 || column.isEmpty())
            throw UsageError(QStringLiteral("--map \"%1\" needs the form ROLE=COLUMN.").arg(pair));
        const std::optional<ColumnRole> given = ColumnRoles::FromWord(role);
        if (!given)
            throw UsageError(QStringLiteral("Unknown role \"%1\" in --map; the roles are: %2.").arg(role, roleWords()));
        if (!options.columns[*given].isEmpty())
            throw UsageError(QStringLiteral("The role %1 is mapped twice.").arg(role));
        options.columns[*given] = column;
    }
    return options;
}
