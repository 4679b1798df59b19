#pragma once
// The program's icon in every size of the desktop theme (data/icons/, the same files the package
// installs), for the windows' title bars and task lists.

#include <QIcon>

QIcon AppIcon();
