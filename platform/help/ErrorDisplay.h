#pragma once

#include <QString>

#include <exception>

// The one place where an error that a handler lets through is shown: a message box over the
// active window, under the application's title. The program keeps running.
class ErrorDisplay {
public:
    static void Show(const std::exception &error) noexcept;

    static void SetTitle(const QString &title);
    static QString Title();   // "Orvane" until the application sets its own
};
