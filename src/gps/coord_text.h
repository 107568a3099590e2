#pragma once
// Degree-minute-second texts of the panel's position labels.
#include <string>

namespace qv {

std::string FormatLatitude(double degrees);   // "N  48°07' 02.28\""
std::string FormatLongitude(double degrees);  // "E 113°16' 02.64\""

}  // namespace qv
