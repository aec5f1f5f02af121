// Writing objects to a stream and reading them back, the way every
// streamable class is tested: write with StreamWriter, register the types
// the reader needs, read.
#pragma once

#include <vector>

#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "base/StreamReader.h"
#include "base/StreamWriter.h"

using StreamBytes = std::vector<unsigned char>;

inline StreamBytes writeStream(orvel::Streamable* root) {
    orvel::MemoryDataDest dest;
    orvel::StreamWriter::write(dest, root);
    return StreamBytes(dest.data(), dest.data() + dest.size());
}

// registerTypes(source) registers the factories before the read.
template <class Register>
orvel::counted_ptr<orvel::Streamable> readStream(const StreamBytes& bytes, Register registerTypes) {
    orvel::MemoryDataSource source(bytes.data(), unsigned(bytes.size()), false);
    registerTypes(source);
    return StreamReader::read(source);
}

template <class T, class Register>
orvel::counted_ptr<T> roundTrip(orvel::Streamable* root, Register registerTypes) {
    return readStream(writeStream(root), registerTypes).template cast<T>();
}
