#include "StaircaseSettings.h"

#include "TextUtils.h"

std::vector<double> positiveStepSizes(const std::string &text)
{
    return stringToVector<double>(text, ",");
}
