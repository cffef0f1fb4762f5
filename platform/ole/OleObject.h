#pragma once
class QWidget;

// An object that a container embeds. The object is also its own automation object: callers cast
// it to the interface they expect (the map engine's MapPoint::Map).
class OleObject {
public:
    virtual ~OleObject();
    // The object's on-screen view, owned by parent. Called once per container, on the "show" verb.
    virtual QWidget *createView(QWidget *parent) = 0;
};
