// The command-line tool reaches the model directly.
#include "demo/DemoUnit.h"
#include "sim/SimUnit.h"
