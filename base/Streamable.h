// The base of every class that can be stored in an object stream. A class
// names itself by a type tag, writes its body to a sink and reads it back
// from a source; references to other objects inside a body go through
// DataDest::writeStreamable and DataSource::readStreamable, and are valid
// from postRead on.
#pragma once

namespace orvel {

class DataSource;
class DataDest;

class Streamable {
public:
    Streamable() = default;
    Streamable(const Streamable&) = default;
    Streamable& operator=(const Streamable&) = default;
    virtual ~Streamable() = default;

    // Registers, with StreamReader::addFactory on the same source, the
    // classes that objects of this class contain.
    virtual void registerTypes(DataSource& source);
    // Reads the body that write wrote.
    virtual void read(DataSource& source) = 0;
    // Called once every reference of the stream is filled in.
    virtual void postRead();
    // The class's tag in streams, such as "zanthorium::kessa::GroupBranch":
    // a text that lives as long as the class does (a literal).
    virtual const char* typeName() const = 0;
    virtual void write(DataDest& dest) = 0;
};

// Work on what a whole stream holds, once it is read (DataSource::finisher):
// a check that no object's postRead can make alone, because it needs the
// links of every object.
class ReadFinisher {
public:
    virtual ~ReadFinisher() = default;
    virtual void finish() = 0;
};

}  // namespace orvel
