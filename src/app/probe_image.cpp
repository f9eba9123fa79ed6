#include "app/probe_image.hpp"

namespace tagwright {

RomImage probeImage;

}  // namespace tagwright
