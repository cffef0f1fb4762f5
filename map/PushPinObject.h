#pragma once
// The program's own record of a pushpin it placed. The name ties it to the engine's pin, which the
// module never keeps and finds again by name.

#include "IntfList.h"

#include <QByteArray>
#include <QUuid>

class IPushPinObject : public IInterface {
public:
    static constexpr QUuid IID{0xB2CB604F, 0x4F5F, 0x44D8, 0xA8, 0x6F, 0x61, 0x38, 0xCD, 0x32, 0x9B, 0x42};

    virtual QByteArray GetName() const = 0;
    virtual double GetLongitude() const = 0;
    virtual double GetLatitude() const = 0;
    virtual void SetName(const QByteArray &name) = 0;
    virtual void SetLongitude(double longitude) = 0;
    virtual void SetLatitude(double latitude) = 0;
};

class TIntfPushPinObject : public IPushPinObject {
public:
    QByteArray GetName() const override;
    double GetLongitude() const override;
    double GetLatitude() const override;
    void SetName(const QByteArray &name) override;
    void SetLongitude(double longitude) override;
    void SetLatitude(double latitude) override;

private:
    QByteArray FName;
    double FLongitude = 0.0;
    double FLatitude = 0.0;
};
