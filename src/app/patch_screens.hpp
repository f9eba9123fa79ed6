// The two save patching screens: each loads one ROM and saves any number of tagged
// copies of it, one per save type chosen, until "Back to Main Menu.".
#pragma once

#include <iostream>

namespace tagwright {

// Appends the chosen save tag after the image (word-aligned); files are 12 to 15 bytes
// longer than the ROM. A saved file that an emulator will misread gets a warning on
// `err` (reader_warnings.hpp), as in both screens.
void savePatchMenu(std::istream& in = std::cin, std::ostream& out = std::cout,
                   std::ostream& err = std::cerr);

// Searches the ROM for empty space once and puts the chosen save tag there; files keep
// the ROM's size. Without room it goes straight back to the main menu.
void emptySpacePatchMenu(std::istream& in = std::cin, std::ostream& out = std::cout,
                         std::ostream& err = std::cerr);

}  // namespace tagwright
