#pragma once

#include "GazetteerFiles.h"
#include "MapViewParts.h"

#include <QString>

// Registers the engine's two editions with the platform's class registry:
// "MapPoint.Map.EU.9" (Europe) and "MapPoint.Map.NA.9" (North America). Called once at start.
// A map made from them looks up addresses in the program's gazetteer and the user's: the one
// named in userGazetteer, which must then exist, or else files.user when it exists. A container
// shows it through makeView (MapWindow::forMap where the program shows maps).
void RegisterMapEngineClasses(const Engine::GazetteerFiles &files, const MapViewMaker &makeView,
                              const QString &userGazetteer = QString());
