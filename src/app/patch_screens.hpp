// The two save patching screens: each loads one ROM and saves any number of tagged
// copies of it, one per save type chosen, until "Back to Main Menu.".
#pragma once

#include <iostream>

namespace tagwright {

// Appends the chosen save tag after the image; files are 12 bytes longer than the ROM.
void savePatchMenu(std::istream& in = std::cin, std::ostream& out = std::cout);

// Searches the ROM for empty space once and puts the chosen save tag there; files keep
// the ROM's size. Without room it goes straight back to the main menu.
void emptySpacePatchMenu(std::istream& in = std::cin, std::ostream& out = std::cout);

}  // namespace tagwright
