// The model uses a link.
#include "link/DeviceLink.h"
#include "sim/SimUnit.h"
