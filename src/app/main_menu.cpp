#include "app/main_menu.hpp"

#include <new>

#include "app/command_line.hpp"
#include "app/credits_screen.hpp"
#include "app/help_screen.hpp"
#include "app/other_utils_menu.hpp"
#include "app/patch_screens.hpp"
#include "app/program_version.hpp"
#include "console/banner_box.hpp"
#include "console/text_menu.hpp"

namespace tagwright {

void introBanner(std::ostream& out) {
    BannerBox banner;
    banner.setTitle("Varno Save Fix Patching Utility By Corvellanix");
    banner.setVersion(kProgramVersion);
    banner.setDescription("The program will patch your GBA ROM to the save type of your choice.");
    banner.print(out);
}

namespace {

enum Item : std::int32_t { Patch = 1, EmptySpacePatch, Help, About, OtherUtils, Quit };

void runScreen(std::int32_t choice, std::istream& in, std::ostream& out, std::ostream& err) {
    switch (choice) {
        case Patch:
            savePatchMenu(in, out, err);
            break;
        case EmptySpacePatch:
            emptySpacePatchMenu(in, out, err);
            break;
        case Help:
            helpScreen(out);
            break;
        case About:
            introBanner(out);
            creditsScreen(out);
            break;
        case OtherUtils:
            otherUtilsMenu(in, out, err);
            break;
        default:
            break;
    }
}

}  // namespace

void mainMenu(std::istream& in, std::ostream& out, std::ostream& err) {
    introBanner(out);
    TextMenu menu(5);
    menu.setTitle("Tagwright - Main Menu");
    menu.setItem("Patch ROM.", Patch);
    menu.setItem("Empty Space Patch ROM.", EmptySpacePatch);
    menu.setItem("Help.", Help);
    menu.setItem("About.", About);
    menu.setItem("Other utils.", OtherUtils);
    menu.setClosingItem("Quit Application.");

    // The end of the input ends the program as "Quit Application." does.
    while (menu.run(in, out) != Quit && !menu.sessionEnded()) {
        try {
            runScreen(menu.lastChoice, in, out, err);
        } catch (const std::bad_alloc&) {
            // The screen's image and texts are gone with it; the menu carries on.
            err << kOutOfMemory << std::endl;
        }
    }
    creditsScreen(out);
}

}  // namespace tagwright
