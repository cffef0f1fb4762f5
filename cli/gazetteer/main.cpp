#include "GazetteerCommand.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    return GazetteerCommand(out, err).run(app.arguments().mid(1));
}
