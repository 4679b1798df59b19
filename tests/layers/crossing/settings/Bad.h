// A layer above, in a header.
#include "engine/Librarian.h"
#include "settings/SerialSettings.h"
