// Allowed here.
#include "demo/DemoUnit.h"
#include "quorlin/Version.h"
#include "ui/commands/PatchCommands.h"
