#include "FileDataDest.h"

#include "platform/FileSystem.h"

namespace orvel {

FileDataDest::FileDataDest(const char* name) {
    if (name)
        file_ = platform::openFile(name, "wb");
}

FileDataDest::~FileDataDest() { close(); }

DataDest& FileDataDest::writeByte(char c) {
    if (good() && std::fputc((unsigned char)c, file_) == EOF)
        setFail();
    return *this;
}

DataDest& FileDataDest::write(const void* data, unsigned count) {
    if (good() && count > 0 && std::fwrite(data, 1, count, file_) < count)
        setFail();
    return *this;
}

void FileDataDest::close() {
    if (file_ && std::fclose(file_) != 0)
        setFail();
    file_ = nullptr;
}

}  // namespace orvel
