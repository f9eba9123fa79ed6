#include "app/other_utils_menu.hpp"

#include <array>

#include "app/screen_image.hpp"
#include "console/console_io.hpp"
#include "console/text_menu.hpp"

namespace tagwright {

namespace {

enum Item : std::int32_t { Pad = 1, Title, GameCode, MakerCode, Version, Save, Back };

// The header fields set from one word: items Title, GameCode and MakerCode, in order.
struct WordField {
    const char* prompt;
    void (RomImage::*apply)(std::string_view);
};
constexpr std::array<WordField, 3> kWordFields = {{
    {"Enter a title fo the ROM:", &RomImage::setTitle},
    {"Enter the (4 character) game code:", &RomImage::setGameCode},
    {"Enter the (2 character) maker code:", &RomImage::setMakerCode},
}};

}  // namespace

void otherUtilsMenu(std::istream& in, std::ostream& out, std::ostream& err) {
    TextMenu menu(6);
    menu.setTitle("Other Utils Menu");
    menu.setItem("Pad to next exact power of 2. No minimum size!", Pad);
    menu.setItem("Set title. Stripped filename if none given.", Title);
    menu.setItem("Set game code (four characters).", GameCode);
    menu.setItem("Set maker code (two characters).", MakerCode);
    menu.setItem("Set game version (number)", Version);
    menu.setItem("Continue with patching/fixing.", Save);
    menu.setClosingItem("Back to Main Menu.");

    std::string name;
    const auto image = loadRomForScreen(name, in, out, err);
    if (!image) {
        return;
    }
    bool pad = false;
    std::int32_t version = 0;
    std::string word;
    for (;;) {
        const std::int32_t choice = menu.run(in, out);
        if (menu.sessionEnded()) {
            return;
        }
        // At the end of the input every prompt gives up and the screen returns at once.
        switch (choice) {
            case Pad:
                writeLine(out, "Padding active.");
                pad = true;
                break;
            case Title:
            case GameCode:
            case MakerCode: {
                const WordField& field = kWordFields[static_cast<std::size_t>(choice - Title)];
                writeLine(out, field.prompt);
                if (!readWord(word, in, out)) {
                    return;
                }
                ((*image).*field.apply)(word);
                break;
            }
            case Version:
                writeLine(out, "Enter a version No. ");
                // A rejected entry keeps the number read before (0 at first).
                if (!readInteger(version, in, out) && endOfInput(in)) {
                    return;
                }
                image->setVersion(version);
                break;
            case Save:
                image->finalizeHeader();
                writeLine(out, "Enter a name to save the patched rom:");
                if (!readWord(name, in, out)) {
                    return;  // never write under the name still held from before
                }
                image->write(name, TagArea::Omitted, out,
                             pad ? Padding::ToPowerOfTwo : Padding::None);
                break;
            default:
                break;
        }
        if (menu.lastChoice == Back) {
            return;
        }
    }
}

}  // namespace tagwright
