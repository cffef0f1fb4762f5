#pragma once

#include "ImageList.h"

#include <QObject>

// The program's image lists, created before the main window.
class TIconDataModule : public QObject {
    Q_OBJECT
public:
    explicit TIconDataModule(QObject *owner = nullptr);

    ImageList MainFromButtons;
    ImageList SideBarImages;
    ImageList GrafikButtons;
    ImageList CustomerFrameImageList;
    ImageList TourenFrameImageList;
    ImageList NavigatorImageList;
    ImageList TitleHeaderImageList;
};
