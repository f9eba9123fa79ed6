#include "app/reader_warnings.hpp"

#include "image/file_layer.hpp"
#include "report/written_file_check.hpp"

namespace tagwright {

void warnAboutReaders(const std::string& outputName, RomImage& image, TagArea tagArea,
                      const SaveRequest& request, std::ostream& err) {
    // Emulators see the name the file system stored, which is what is judged.
    const std::string warning =
        warningAfterSave(files::storedName(outputName), image, tagArea, request);
    if (!warning.empty()) {
        err << warning << std::endl;
    }
}

}  // namespace tagwright
