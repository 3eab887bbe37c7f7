#include "CVNDeviceInfo.h"

CCVNDeviceInfo::~CCVNDeviceInfo() = default;
