#include "media/readers/ModraneImageReader.h"

#include <initializer_list>
#include <vector>

#include "base/Debug.h"
#include "base/FileDataSource.h"
#include "gui/gl/GifReader.h"
#include "media/ModelSearchPaths.h"
#include "media/readers/JpegReader.h"
#include "media/readers/SgiReader.h"

namespace modrane {

namespace {

// No picture within the size limit comes from a larger file.
constexpr unsigned maxFileSize = 1u << 30;

bool oneOf(const orvel_string& extension, std::initializer_list<const char*> list) {
    for (const char* e : list)
        if (extension == e)
            return true;
    return false;
}

}  // namespace

pellium::Image ModraneImageReader::decode(const orvel::FilePath& path, const unsigned char* data, size_t size) {
    pellium::Image image;
    const orvel_string& extension = path.extension();
    if (extension == ".gif")
        pellium::loadGIF(image, data, size);
    else if (oneOf(extension, {".sgi", ".rgb", ".rgba", ".bw", ".int", ".inta"}))
        loadSGI(image, data, size);
    else if (oneOf(extension, {".jpg", ".jpeg", ".jpe", ".jfif"}))
        loadJPEG(image, data, size);
    else
        orvel::debug("---Image %.2000s: no decoder for its kind\n", path.c_str());
    return image;
}

pellium::Image ModraneImageReader::read(const orvel_string& name) {
    const orvel::FilePath path(findModelFile(name));
    if (path.str().empty()) {
        orvel::debug("---Image %.2000s not found\n", name.c_str());
        return pellium::Image();
    }
    orvel::FileDataSource source(path);
    std::vector<unsigned char> bytes(source.good() && source.size() <= maxFileSize ? source.size() : 0);
    if (bytes.empty() || source.read(bytes.data(), unsigned(bytes.size())) != bytes.size()) {
        orvel::debug("---Image %.2000s could not be read\n", path.c_str());
        return pellium::Image();
    }
    return decode(path, bytes.data(), bytes.size());
}

bool ModraneImageReader::exists(const orvel_string& name) { return !findModelFile(name).empty(); }

orvel_string ModraneImageReader::resolve(const orvel_string& name) {
    orvel_string found = findModelFile(name);
    return found.empty() ? name : found;
}

}  // namespace modrane
