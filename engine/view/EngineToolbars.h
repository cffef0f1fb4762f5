#pragma once
#include "MapEngine.h"

#include <memory>

class ToolbarSet;

// Automation handles on the toolbar set: owner -> list -> toolbar (1-based).
class EngineToolbar : public MapPoint::Toolbar {
public:
    EngineToolbar(std::shared_ptr<ToolbarSet> set, int index);
    QString ToolbarTitle() const override;
    void SetToolbarShown(bool shown) override;

private:
    std::shared_ptr<ToolbarSet> m_set;
    int m_index;
};

class EngineToolbarList : public MapPoint::ToolbarList {
public:
    explicit EngineToolbarList(std::shared_ptr<ToolbarSet> set);
    int ToolbarCount() const override;
    // Throws MapPoint::EngineError outside 1..ToolbarCount.
    std::shared_ptr<MapPoint::Toolbar> ToolbarAt(int index) const override;

private:
    std::shared_ptr<ToolbarSet> m_set;
};

class EngineToolbarOwner : public MapPoint::ToolbarOwner {
public:
    explicit EngineToolbarOwner(std::shared_ptr<ToolbarSet> set);
    std::shared_ptr<MapPoint::ToolbarList> ToolbarList() const override;

private:
    std::shared_ptr<ToolbarSet> m_set;
};
