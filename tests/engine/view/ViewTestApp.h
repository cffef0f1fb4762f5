#pragma once
#include "GuiTestApplication.h"

#include <QApplication>

// The support library's environment makes the application; tests only make sure it is there.
inline QApplication &viewTestApp()
{
    return *qApp;
}
