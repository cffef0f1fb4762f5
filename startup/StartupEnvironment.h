#pragma once

#include "GazetteerFiles.h"

// What the programs take from the environment at start, for their main() to hand on:
// ORVANE_GAZETTEER names the program's gazetteer, ORVANE_USER_GAZETTEER the user's.
Engine::GazetteerFiles GazetteerFilesFromEnvironment();
