#pragma once

// Registers the engine's two editions with the platform's class registry:
// "MapPoint.Map.EU.9" (Europe) and "MapPoint.Map.NA.9" (North America). Called once at start.
void RegisterMapEngineClasses();
