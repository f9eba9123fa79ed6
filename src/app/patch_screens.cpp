#include "app/patch_screens.hpp"

#include <array>

#include "app/reader_warnings.hpp"
#include "app/screen_image.hpp"
#include "console/console_io.hpp"
#include "console/text_menu.hpp"
#include "image/save_type.hpp"

namespace tagwright {

namespace {

// What tells the two screens apart.
struct PatchScreen {
    const char* title;
    bool embed;  // tag in empty space and write in place, rather than append
};

// Item n is save type n.
constexpr std::array<const char*, 6> kSaveTypeItems = {
    "EEPROM 64kb - patches 64 kilobits of EEPROM.",
    "EEPROM 128kb - patches 128 kilobits of EEPROM.",
    "Flash 1Mb - patches 1024 kilobits of Flash.",
    "Flash 512kb - patches 512 kilobits of Flash.",
    "SRAM 256kb - patches 256 kilobits of SRAM.",
    "SRAM 512kb - patches 512 kilobits of SRAM.",
};

void runPatchScreen(const PatchScreen& screen, std::istream& in, std::ostream& out,
                    std::ostream& err) {
    TextMenu menu(static_cast<std::int32_t>(kSaveTypeItems.size()));
    menu.setTitle(screen.title);
    for (std::size_t i = 0; i < kSaveTypeItems.size(); ++i) {
        menu.setItem(kSaveTypeItems[i], static_cast<std::int32_t>(i + 1));
    }
    menu.setClosingItem("Back to Main Menu.");

    std::string name;
    const auto image = loadRomForScreen(name, in, out, err);
    if (!image || (screen.embed && !image->findEmptySpace(out))) {
        return;
    }
    for (;;) {
        const auto type = saveTypeFromNumber(menu.run(in, out));
        if (menu.sessionEnded()) {
            return;
        }
        if (type) {
            const bool tagged = screen.embed || image->appendedTagFits();
            if (screen.embed) {
                image->embedSaveTag(*type);
            } else if (tagged) {
                image->appendSaveTag(*type);
            } else {
                err << "tagwright: no save tag written: the ROM is shorter than its 192-byte "
                       "header, which covers it"
                    << std::endl;
            }
            image->finalizeHeader();
            writeLine(out, "Enter a name to save the patched rom:");
            if (!readWord(name, in, out)) {
                return;  // never write under the name still held from before
            }
            const TagArea tagArea = screen.embed ? TagArea::Omitted : TagArea::Included;
            if (image->write(name, tagArea, out) && tagged) {
                SaveRequest request;
                request.type = *type;
                request.embedded = screen.embed;
                warnAboutReaders(name, *image, tagArea, request, err);
            }
        }
        if (menu.lastChoice == menu.closingItemNumber()) {
            return;
        }
    }
}

}  // namespace

void savePatchMenu(std::istream& in, std::ostream& out, std::ostream& err) {
    runPatchScreen({"Save Patching Menu -HINT: Most homebrew uses SRAM512kb.", false}, in, out,
                   err);
}

void emptySpacePatchMenu(std::istream& in, std::ostream& out, std::ostream& err) {
    runPatchScreen({"Save Empty Space Patching Menu -HINT: Most homebrew uses SRAM512kb.", true},
                   in, out, err);
}

}  // namespace tagwright
