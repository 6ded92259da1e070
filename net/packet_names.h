// Names of the packet families and actions, for logs and tools.
#pragma once

#include <string>

// "UNKNOWN" for every number without a name, negative and above 255 included.
std::string packetFamilyName(int family);
std::string packetActionName(int action);
