#include "media/ModelReading.h"

#include "media/readers/ModraneDatabaseReader.h"
#include "media/readers/ModraneImageReader.h"

namespace modrane {

void setUpModelReading() {
    // Never destroyed: the hooks may be asked until the process ends.
    static ModraneDatabaseReader* const databases = new ModraneDatabaseReader;
    static ModraneImageReader* const images = new ModraneImageReader;
    kessa::setReadHook(databases);
    pellium::ImageReader::setCurrent(images);
}

}  // namespace modrane
