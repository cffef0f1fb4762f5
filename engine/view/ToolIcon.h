#pragma once
#include <QIcon>
#include <QString>

// Toolbar icons drawn from a glyph, so the engine needs no image files.
QIcon glyphIcon(const QString &glyph);
QIcon pushpinIcon(qint16 symbol);
QIcon copyIcon();
