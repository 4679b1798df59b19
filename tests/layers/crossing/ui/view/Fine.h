// Allowed: a folder before its own, and the layers below ui.
#include <QWidget>

#include "archive/UnitBackup.h"
#include "engine/Librarian.h"
#include "ui/core/BrowseState.h"
#include "ui/dialogs/CommSetupDlg.h"
#include "ui/list/EntryListCtrl.h"
#include "ui/view/Fine.h"
