// Only the program's main reaches the demo unit.
#include "demo/DemoUnit.h"
