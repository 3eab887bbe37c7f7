// One printer model looked up in the model table.
#pragma once

#include <string>

class CCVNDeviceInfo {
public:
    virtual ~CCVNDeviceInfo();

    std::string modelName;
    std::string productId;  // four lower-case hexadecimal digits
    int typeCode = 0;       // tens digit: printer type (1 label .. 4 gateway, 5 other)
    bool flag = false;
    int column5 = 0;
    int column6 = 0;
};
