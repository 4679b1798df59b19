#pragma once
// Command ids of the menus, accelerators and toolbar. They stay the program's named constants so
// enable rules and check marks read in terms of the commands they concern.

namespace cmd {

inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;
inline constexpr int ID_VIEW_PATCHINFO = 32801;
inline constexpr int ID_OPTIONS_COMMSETUP = 32772;
inline constexpr int ID_CHANNEL_1 = 32773;  // ... ID_CHANNEL_1 + 15 for channel 16
inline constexpr int ID_CHANNEL_16 = 32788;
inline constexpr int ID_DSP_A = 32793;
inline constexpr int ID_DSP_B = 32794;
inline constexpr int ID_BACK = 32771;
inline constexpr int ID_RENAME_BANK = 32802;  // the list's context menu only
inline constexpr int ID_CREATE_BANK = 32803;
inline constexpr int ID_DELETE = 32805;
inline constexpr int ID_FIND = 32806;
inline constexpr int ID_FIND_NEXT = 32807;
inline constexpr int ID_BACKUP = 32808;
inline constexpr int ID_BACKUP_UNIT = 32809;
inline constexpr int ID_RESTORE_UNIT = 32810;
inline constexpr int ID_LOAD_PATCH = 57601;
inline constexpr int ID_APP_ABOUT = 57664;

// Status pane showing the number of patches.
inline constexpr int ID_INDICATOR_PATCHES = 101;

}  // namespace cmd
