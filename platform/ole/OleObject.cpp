#include "OleObject.h"

OleObject::~OleObject() = default;
