// A folder below the view uses it.
#include "ui/view/QuorlinView.h"
