#pragma once
// The texts the engine shows the user, word for word.

#include <string_view>

namespace engine_messages {

inline constexpr std::string_view kNoCommunication =
    "Unable to communicate with the unit.  Check your communication settings.";
// Told once when the unit goes in the middle of an operation of many steps; the cause follows.
inline constexpr std::string_view kConnectionLost = "The connection to the unit was lost.";
inline constexpr std::string_view kNoInformation =
    "There is no information available for the selected program";
inline constexpr std::string_view kOnlySigFiles = "Only .sig files are currently supported";
inline constexpr std::string_view kErrorLoadingPatch = "Error loading patch :\n\n";  // + unit text
inline constexpr std::string_view kBankNotEmpty = "Cannot delete bank.  This bank is not empty!";
// + the entries, each in double quotes, separated by ", "
inline constexpr std::string_view kProgramsOutOfRange =
    "The unit lists programs numbered outside 0 to 127, which cannot be loaded; they are left "
    "out: ";

}  // namespace engine_messages
