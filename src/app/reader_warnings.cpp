#include "app/reader_warnings.hpp"

#include <algorithm>

#include "image/file_layer.hpp"
#include "needs/game_needs.hpp"
#include "report/type_needed.hpp"
#include "report/written_file_check.hpp"

namespace tagwright {

void warnAboutReaders(const std::string& outputName, RomImage& image, TagArea tagArea,
                      const SaveRequest& request, std::ostream& err) {
    // Emulators see the name the file system stored, which is what is judged.
    const std::string name = files::storedName(outputName);
    // The game's code first: a tag for another memory than the one it uses loses saves
    // whatever the readers make of it.
    const auto rom = image.buffer().first(static_cast<std::size_t>(std::max(image.size(), 0)));
    if (const std::string line = codeDisagreement(name, request.type, judgeGameCode(rom));
        !line.empty()) {
        err << line << std::endl;
    }
    const std::string warning = warningAfterSave(name, image, tagArea, request);
    if (!warning.empty()) {
        err << warning << std::endl;
    }
}

}  // namespace tagwright
