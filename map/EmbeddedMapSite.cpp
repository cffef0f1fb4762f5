#include "EmbeddedMapSite.h"

#include "MapPoint_TLB.h"
#include "OleContainer.h"

TEmbeddedMapSite::TEmbeddedMapSite(OleContainer *Container) : FContainer(Container) {}

std::shared_ptr<MapPoint::Map> TEmbeddedMapSite::CreateMap(const QString &ProgID)
{
    FContainer->CreateObject(ProgID.toLocal8Bit(), false);
    return MapInterface(FContainer->OleObjectInterface());
}

QObject *TEmbeddedMapSite::ShowMap(const std::shared_ptr<MapPoint::Map> &Map, TNotifyEvent OnAfterRedraw)
{
    FContainer->DoVerb(OleContainer::ShowVerb);
    // Owned here until it listens, so that a failing subscription leaves no wrapper behind.
    auto server = std::make_unique<TMap>(nullptr);
    server->OnAfterRedraw = std::move(OnAfterRedraw);
    server->SetConnectKind(TConnectKind::ckAttachToInterface);
    server->ConnectTo(Map);
    server->setParent(FContainer.data());
    return server.release();
}
