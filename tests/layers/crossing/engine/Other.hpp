// Another extension is read too.
#include "ui/core/BrowseState.h"
