#pragma once
// TMap: the event wrapper of the engine's map. It never starts an engine of its own; it attaches
// to a map that already exists and turns the engine's events into notifications.

#include "MapEngine.h"
#include "NotifyEvent.h"

#include <QObject>

#include <memory>

enum class TConnectKind { ckAttachToInterface };

class TMap : public QObject {
    Q_OBJECT
public:
    explicit TMap(QObject *owner);
    ~TMap() override;

    void SetConnectKind(TConnectKind kind);
    TConnectKind ConnectKind() const;
    // Subscribes to the map's events; a map attached before is left first.
    void ConnectTo(std::shared_ptr<MapPoint::Map> map);
    std::shared_ptr<MapPoint::Map> DefaultInterface() const;

    // In the order the engine declares its events; each receives this wrapper as sender.
    TNotifyEvent OnAfterViewChange;
    TNotifyEvent OnAfterRedraw;
    TNotifyEvent OnRouteAfterCalculate;
    TNotifyEvent OnRouteAfterOptimize;
    TNotifyEvent OnNewDataSet;
    TNotifyEvent OnDataMapChange;
    TNotifyEvent OnSelectionChange;
    TNotifyEvent OnBeforeDblClick;
    TNotifyEvent OnBeforeClick;
    TNotifyEvent OnMouseDown;
    TNotifyEvent OnMouseMove;
    TNotifyEvent OnMouseUp;

private:
    class Sink : public MapPoint::MapEvents {
    public:
        explicit Sink(TMap &owner) : m_owner(owner) {}
        void OnAfterViewChange() override { m_owner.Fire(m_owner.OnAfterViewChange); }
        void OnAfterRedraw() override { m_owner.Fire(m_owner.OnAfterRedraw); }
        void OnRouteAfterCalculate() override { m_owner.Fire(m_owner.OnRouteAfterCalculate); }
        void OnRouteAfterOptimize() override { m_owner.Fire(m_owner.OnRouteAfterOptimize); }
        void OnNewDataSet() override { m_owner.Fire(m_owner.OnNewDataSet); }
        void OnDataMapChange() override { m_owner.Fire(m_owner.OnDataMapChange); }
        void OnSelectionChange() override { m_owner.Fire(m_owner.OnSelectionChange); }
        void OnBeforeDblClick() override { m_owner.Fire(m_owner.OnBeforeDblClick); }
        void OnBeforeClick() override { m_owner.Fire(m_owner.OnBeforeClick); }
        void OnMouseDown() override { m_owner.Fire(m_owner.OnMouseDown); }
        void OnMouseMove() override { m_owner.Fire(m_owner.OnMouseMove); }
        void OnMouseUp() override { m_owner.Fire(m_owner.OnMouseUp); }

    private:
        TMap &m_owner;
    };

    void Fire(const TNotifyEvent &handler);
    void Disconnect();

    TConnectKind m_connectKind = TConnectKind::ckAttachToInterface;
    std::shared_ptr<MapPoint::Map> m_map;
    Sink m_sink{*this};
};
