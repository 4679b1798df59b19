// A bare name hides the layer.
#include "DeviceLink.h"
