// A bare name hides the layer.
#include "link/DeviceLink.h"
