// The framed banner that opens the interactive mode. With a title of T characters
// and a version text of V characters, k = (T - V - 9) / 2 (rounded down, at least 0):
//
//   ####################      T + 2 "#"
//   #Title             #
//   #~~~Version: 0.8~~~#      k "~" each side; one short of the frame when T - V - 9 is odd
//   #------------------#      T "-" inside the frame
//   Description               unframed, whole
//                             an empty line
#pragma once

#include <iostream>
#include <string>

namespace tagwright {

class BannerBox {
  public:
    void setTitle(std::string text) { title_ = std::move(text); }
    void setVersion(std::string text) { version_ = std::move(text); }
    void setDescription(std::string text) { description_ = std::move(text); }

    void print(std::ostream& out = std::cout) const;

  private:
    std::string title_;
    std::string version_;
    std::string description_;
};

}  // namespace tagwright
