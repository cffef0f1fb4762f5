#include "PushPinObject.h"

QByteArray TIntfPushPinObject::GetName() const { return FName; }
double TIntfPushPinObject::GetLongitude() const { return FLongitude; }
double TIntfPushPinObject::GetLatitude() const { return FLatitude; }
void TIntfPushPinObject::SetName(const QByteArray &name) { FName = name; }
void TIntfPushPinObject::SetLongitude(double longitude) { FLongitude = longitude; }
void TIntfPushPinObject::SetLatitude(double latitude) { FLatitude = latitude; }
