#include "app/credits_screen.hpp"

namespace tagwright {

void creditsScreen(std::ostream& out) {
    out << "Thanks for using my utils!" << std::endl
        << "Corvellanix - corvellanix@example.org" << std::endl
        << "Halverd - https://halverd.example.org/" << std::endl
        << std::endl;
}

}  // namespace tagwright
