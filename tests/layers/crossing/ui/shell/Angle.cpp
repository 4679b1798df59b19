// Allowed here, in either form.
#include <qwidget.h>
#include <ui/core/BrowseState.h>
