// A numbered console menu: a framed title, items 1..N, a closing item N+1 and the
// prompt "Enter Selection:". With a title of T characters it prints
//
//   ##########        T + 2 "#"
//   #Title#
//   ----------        T + 2 "-"
//   # 1 - First item
//   # 2 - Quit.       the closing item, last
//   ----------        T + 2 "-"
//   Enter Selection:  (the cursor stays here)
//
// The menu only shows and reads: run() returns the number typed, whatever it is,
// and 0 when no number could be read. The caller acts on it and leaves its loop
// when lastChoice is the closing item's number.
#pragma once

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

namespace tagwright {

class TextMenu {
  public:
    // `itemCount` ordinary items (empty at first), the title "Menu", the closing item "Quit.".
    explicit TextMenu(std::int32_t itemCount);

    void setTitle(std::string text) { title_ = std::move(text); }
    // Item n, 1-based; n = itemCount + 1 is the closing item. Other n are ignored.
    void setItem(std::string text, std::int32_t n);
    void setClosingItem(std::string text) { items_.back() = std::move(text); }

    // Shows the menu, reads one number and returns it (also kept in lastChoice).
    std::int32_t run(std::istream& in = std::cin, std::ostream& out = std::cout);

    std::int32_t itemCount() const { return itemCount_; }
    std::int32_t closingItemNumber() const { return itemCount_ + 1; }
    // True when no further choice can come: the last run read nothing because the
    // input has ended, or its menu could not be written (standard output closed).
    // Callers then leave, instead of showing the menu again and again.
    bool sessionEnded() const { return sessionEnded_; }

    // The number read by the last run; 0 when it read none.
    std::int32_t lastChoice = 0;

  private:
    std::int32_t itemCount_;
    std::string title_ = "Menu";
    std::vector<std::string> items_;  // item n at index n - 1, the closing item last
    bool sessionEnded_ = false;
};

}  // namespace tagwright
