// Screens as the user sees them, for comparing whole standard outputs.
#pragma once

#include <string>
#include <vector>

namespace tagwright::testing {

inline const std::string kCredits =
    "Thanks for using my utils!\n"
    "Corvellanix - corvellanix@example.org\n"
    "Halverd - https://halverd.example.org/\n"
    "\n";

inline const std::string kBanner =
    "################################################\n"
    "#Varno Save Fix Patching Utility By Corvellanix#\n"
    "#~~~~~~~~~~~~~~~~~Version: 0.8~~~~~~~~~~~~~~~~~#\n"
    "#----------------------------------------------#\n"
    "The program will patch your GBA ROM to the save type of your choice.\n"
    "\n";

// Includes the line end that follows the number typed.
inline const std::string kMainMenu =
    "#######################\n"
    "#Tagwright - Main Menu#\n"
    "-----------------------\n"
    "# 1 - Patch ROM.\n"
    "# 2 - Empty Space Patch ROM.\n"
    "# 3 - Help.\n"
    "# 4 - About.\n"
    "# 5 - Other utils.\n"
    "# 6 - Quit Application.\n"
    "-----------------------\n"
    "Enter Selection:\n";

inline const std::string kFilenamePrompt =
    "Please type name of GBA ROM file.\n"
    "NOTE:Please include the .GBA extension!\n"
    "Filename: \n";

inline const std::string kFoundSpace =
    "\nEmpty Space patching is possible!\n"
    "*IMPORTANT* - This feature is to be considered experimental.\n"
    "It is now active, however.\n\n";

inline const std::string kNoSpace =
    "\nSorry but not enough space was available within the ROM \n"
    "to do empty space patching - please use normal patching!\n\n";

}  // namespace tagwright::testing
