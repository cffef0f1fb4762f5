#pragma once
#include "MapTexts.h"

#include <functional>
#include <memory>

class MapScene;
class QWidget;
class ToolbarSet;
namespace Engine { class Gazetteer; }

// What the on-screen view of a map shows and whom it tells. The view shares the parts, so it may
// outlive the map object; the calls back then do nothing.
struct MapViewParts {
    std::shared_ptr<MapScene> scene;
    std::shared_ptr<ToolbarSet> toolbars;
    MapTexts texts;
    std::shared_ptr<const Engine::Gazetteer> gazetteer;
    std::function<void()> showStartView;   // the user asked for the edition's area
    std::function<void()> painted;         // after each paint of the map
};

// Makes the view a container shows for a map. Empty in a program that shows no map
// (orvane-batch), which then needs no widgets.
using MapViewMaker = std::function<QWidget *(const MapViewParts &parts, QWidget *parent)>;
