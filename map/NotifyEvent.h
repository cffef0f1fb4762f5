#pragma once
// A notification from the map, with the object that raised it.

#include <functional>

class QObject;

using TNotifyEvent = std::function<void(QObject *sender)>;
