// The input byte stream under every file format, the object stream, registry
// values and the network protocol. A few virtual byte operations are all a
// source has to provide; the typed readers below decide every encoding once:
// little-endian unless swap is set, compact counts, and the string modes.
// Nothing throws: a failure sets fail, and from then on reads give nothing.
// On a source whose bytes arrive over time (a connection that does not wait
// for them) a typed read takes its value only once every byte of it has
// come: until then it consumes nothing, leaves its target alone and sets
// waiting(), and the same read later gets the whole value. Fail is set only
// when no more bytes can come.
#pragma once

#include <cstring>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "base/StringMode.h"
#include "base/Streamable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"

class StreamReader;

namespace orvel {

class DataSource {
public:
    DataSource() = default;
    virtual ~DataSource();
    DataSource(const DataSource&) = delete;
    DataSource& operator=(const DataSource&) = delete;

    virtual bool good() const = 0;
    // The next byte 0..255, or -1 at the end or after a failure.
    virtual int readByte() = 0;
    // Bytes delivered, up to count.
    virtual unsigned read(void* buffer, unsigned count) = 0;
    // The next byte without consuming it, -1 as for readByte.
    virtual int peekByte() = 0;
    // Drops count bytes; running out of bytes sets fail. A source whose bytes
    // arrive drops them only once all count have come.
    virtual void skip(unsigned count);
    virtual void close();
    virtual bool isSeekable() const;
    virtual unsigned position() const;
    virtual void seek(unsigned position);
    // A seekable source must tell how much is left: length fields are checked
    // against it before anything is allocated for them.
    virtual unsigned bytesRemaining() const;

    // One byte below 255 is the value; 255 is followed by the 32-bit value.
    // 0xFFFFFFFF (and fail) when the data ends.
    unsigned readCompact();
    unsigned short readUInt16();
    int readInt32() { return int(readUInt32()); }
    unsigned readUInt32() {
        unsigned v = 0;
        takeUInt32(v);
        return v;
    }
    // Two 32-bit words, the low one first unless swap is set.
    long long readInt64();

    // The typed reads leave their target unchanged when the data ends.
    DataSource& operator>>(bool& value);
    DataSource& operator>>(char& value);
    DataSource& operator>>(unsigned short& value);
    DataSource& operator>>(int& value) {
        unsigned v;
        if (takeUInt32(v))
            value = int(v);
        return *this;
    }
    DataSource& operator>>(unsigned& value) {
        takeUInt32(value);
        return *this;
    }
    DataSource& operator>>(float& value);
    DataSource& operator>>(long long& value);
    DataSource& operator>>(double& value);
    DataSource& operator>>(orvel_string& text) { return readString(text); }

    // Empties text, then reads one text in the current string mode. A length
    // that the data cannot hold gives an empty text and sets fail.
    DataSource& readString(orvel_string& text);
    // One line: the bytes (0 bytes included) up to LF, CR or the end; one LF
    // or CR directly after the first is consumed with it (when it has not
    // come yet, it is dropped once it does). False at the end with nothing
    // read, and while the line has not come whole (waiting()).
    bool readLine(orvel_string& text);

    void setStringMode(int mode) { stringMode = mode; }

    // Whether the next count bytes are there to be taken. A reader of a
    // value made of several typed reads asks it before it takes any, so that
    // it takes the whole value or leaves its target and the source as they
    // were. A source whose bytes arrive answers false while they have not all
    // come (waiting()) and fails when they never will; a seekable one fails
    // when its data ends before them; any other answers true, and its typed
    // reads find the end.
    bool holds(unsigned long long count);

    // Set on any failed operation; later reads give -1 or nothing.
    bool fail() const { return fail_; }
    // True when the last typed read found its value not yet whole on a
    // source whose bytes still arrive: it consumed nothing and is to be made
    // again later. A reader of records therefore keeps the values it already
    // has and repeats only the one that waited.
    bool waiting() const { return waiting_; }
    void setFail() {
        fail_ = true;
        windowEnd = windowNext;
    }

    // A reference to another object inside an object body. Without a reader
    // attached nothing is read and the slot is left alone. Otherwise a 32-bit
    // id is read, the slot becomes null, and it is filled when the stream's
    // end mark is reached, so it must not move until then and is valid from
    // postRead on. The typed forms cast the object found to the slot's type
    // (null when it is not one); a counted holder is given the stream's
    // record of the object, only when the record's pointee is of its type,
    // and is filled before any postRead. A plain slot given a counted-pointer
    // record holds one of its counts, as every holder did when the count was
    // written: its owner gives it back (or hands it to a holder with
    // counted_ptr::adopt).
    template <class T>
    DataSource& readStreamable(T*& slot);
    template <class T>
    DataSource& readStreamable(counted_ptr<T>& slot);
    // Called by every counted-pointer record's read: such objects get their
    // postRead before all others.
    void noteCountedPtr();

    // Puts the object found for a reference (null for id 0) into its slot,
    // or into element index of a list; true when the slot now holds it.
    using FillSlot = bool (*)(void* slot, unsigned index, Streamable* object);
    // What a slot does with the object it holds. The reader needs to know who
    // owns an object: two owners would both delete it.
    enum class Hold : unsigned char {
        // Keeps the object from being deleted, or freed by what is deleted,
        // with what nothing refers to, and no more.
        refer,
        // A counted holder: it is given the object's counted-pointer record.
        count,
        // Deletes the object, or holds a count of the object's own. A
        // counted-pointer record never owns what such a slot holds, and the
        // root, which the reader hands out itself, is never given to one.
        own,
    };
    template <class T>
    static bool fillPointer(void* slot, unsigned index, Streamable* object);
    template <class T>
    static bool fillCounted(void* slot, unsigned index, Streamable* object);
    template <class T>
    static bool fillElement(void* list, unsigned index, Streamable* object);
    // A list of references: its compact count, then one id per element. It
    // is taken whole or not at all: when the data ends before its last id
    // (fail is set), or while its bytes have not all come on a source whose
    // bytes arrive (waiting()), nothing is taken and no ids are given.
    // Without a reader its ids are left in the data, as every reference is,
    // and none are given. count, when asked for, is the count of a list
    // taken, else 0.
    const std::vector<unsigned>& readReferenceIds(unsigned* count = nullptr);
    // Fills slot when the end mark is reached; counted slots are given only
    // counted-pointer records.
    void addReference(unsigned id, void* slot, FillSlot fill, Hold hold, unsigned index = 0);
    // The elements of a list, ids as readReferenceIds gave them: element i
    // is filled with what ids[i] names, null for 0.
    void addReferences(const std::vector<unsigned>& ids, void* list, FillSlot fill, Hold hold);
    // One reference: its id, then addReference unless the id is 0. Nothing
    // is read without a reader.
    void readReference(void* slot, FillSlot fill, Hold hold) {
        if (!context)
            return;
        unsigned id = readUInt32();
        if (id != 0)
            addReference(id, slot, fill, hold);
    }

    // Work that needs the whole stream read. The finisher make gives is made
    // on the first request of a read and given again to every later one
    // (make is its key); its finish runs once every postRead is made, before
    // what nothing refers to is deleted, and it is deleted with the read,
    // whether it ran or not. Null without a reader.
    ReadFinisher* finisher(ReadFinisher* (*make)());

    // The object-stream reader attached to this source, null until a type is
    // registered on it.
    StreamReader* context = nullptr;
    // Multi-byte values are big-endian when set.
    bool swap = false;
    int stringMode = stringCompactLength;
    // Filled in by the object-stream reader when it attaches itself.
    void* readerTag = nullptr;

protected:
    // A source that clears the flag makes its window true again.
    void clearFail() { fail_ = false; }

    // What a source whose bytes arrive can say about count bytes it is asked
    // for: they are in its window, they have not come yet, or they never
    // will (the connection has ended or failed).
    enum class Supply { enough, later, ended };
    // Set by a source whose bytes arrive over time; its typed reads then ask
    // fetch for the bytes of a whole value before taking any.
    bool arriving = false;
    // Brings what has arrived into the window, until it holds count bytes;
    // a source meant to block waits for them. Only arriving sources are
    // asked, and they show their window with showWindow.
    virtual Supply fetch(unsigned count);
    void showWindow(const unsigned char* next, const unsigned char* end) {
        windowNext = next;
        windowEnd = end;
        waiting_ = false;
    }
    // Set when a line or text ended at the last byte that had come: a LF or
    // CR that arrives next belongs to that end, and the source drops it.
    bool lineEndOpen = false;

    // Bytes already in memory that are the stream's very next ones. A source
    // that has them (a file buffer, a memory block) points this window at
    // them and keeps it true; the typed readers then copy straight out of it,
    // and consuming window bytes must be the same as reading them. Sources
    // without one leave it empty and every read goes through read(). A failed
    // source has an empty window (setFail sees to that), so the fast paths
    // need not test the flag.
    const unsigned char* windowNext = nullptr;
    const unsigned char* windowEnd = nullptr;

private:
    bool fail_ = false;
    bool waiting_ = false;

    // For an arriving source: whether the next count bytes are in the window
    // now. Without them the read waits (the window is hidden, so that every
    // read goes by fetch until the source shows it again) or, when they will
    // never come, fails.
    bool have(unsigned count);
    void putOff() {
        waiting_ = true;
        windowEnd = windowNext;
    }
    bool wholeCompact() { return have(1) && (*windowNext != 0xFF || have(5)); }
    // The compact count or length in the window, and the bytes it takes.
    unsigned countInWindow(unsigned& header) const {
        header = windowNext[0] == 0xFF ? 5 : 1;
        return header == 5 ? word(windowNext + 1) : windowNext[0];
    }
    bool wholeString();
    bool wholeList();
    bool wholeText(bool zeroEnds);
    void takeLineEndPair();
    unsigned word(const unsigned char* b) const {
        return swap ? unsigned(b[3]) | unsigned(b[2]) << 8 | unsigned(b[1]) << 16 | unsigned(b[0]) << 24
                    : unsigned(b[0]) | unsigned(b[1]) << 8 | unsigned(b[2]) << 16 | unsigned(b[3]) << 24;
    }

    bool take(void* out, unsigned count) {
        if (unsigned(windowEnd - windowNext) >= count) {
            std::memcpy(out, windowNext, count);
            windowNext += count;
            return true;
        }
        return takeSlow(out, count);
    }
    bool takeSlow(void* out, unsigned count);
    // One byte, or -1 with fail set.
    int takeByte() {
        if (windowNext != windowEnd)
            return *windowNext++;
        return takeByteSlow();
    }
    int takeByteSlow();
    bool takeUInt32(unsigned& value) {
        unsigned char b[4];
        if (!take(b, 4))
            return false;
        value = word(b);
        return true;
    }
    bool takeUInt64(unsigned long long& value);
    void readTerminated(orvel_string& text);
    void readCounted(orvel_string& text, unsigned length);
};

template <class T, class = void>
struct DirectlyCastable : std::false_type {};
template <class T>
struct DirectlyCastable<T, std::void_t<decltype(static_cast<T*>(std::declval<Streamable*>()))>> : std::true_type {};

// The object as a T, null when it is none. Most references name an object
// of exactly their slot's class, which needs no walk of the class graph.
template <class T>
T* streamCast(Streamable* object) {
    if constexpr (DirectlyCastable<T>::value) {
        if (object && typeid(*object) == typeid(T))
            return static_cast<T*>(object);
    }
    return dynamic_cast<T*>(object);
}

template <class T>
bool DataSource::fillPointer(void* slot, unsigned, Streamable* object) {
    T* typed = streamCast<T>(object);
    *static_cast<T**>(slot) = typed;
    return typed != nullptr;
}

// By index into the list as it is at the end mark: a list read again in
// the meantime may have moved or shrunk.
template <class T>
bool DataSource::fillElement(void* list, unsigned index, Streamable* object) {
    std::vector<T*>& elements = *static_cast<std::vector<T*>*>(list);
    if (index >= elements.size())
        return false;
    T* typed = streamCast<T>(object);
    elements[index] = typed;
    return typed != nullptr;
}

// A record whose pointee is not a T (or that holds nothing) is not taken: a
// holder that cannot reach the pointee must not keep it alive.
template <class T>
bool DataSource::fillCounted(void* slot, unsigned, Streamable* object) {
    CountedRecord* record = static_cast<CountedRecord*>(object);
    T* typed = streamCast<T>(record->pointee());
    if (!typed)
        return false;
    *static_cast<counted_ptr<T>*>(slot) = counted_ptr<T>::adopt(typed, record);
    return true;
}

template <class T>
DataSource& DataSource::readStreamable(T*& slot) {
    if (!context)
        return *this;
    slot = nullptr;
    readReference(&slot, &fillPointer<T>, Hold::refer);
    return *this;
}

template <class T>
DataSource& DataSource::readStreamable(counted_ptr<T>& slot) {
    if (!context)
        return *this;
    slot.release();
    readReference(&slot, &fillCounted<T>, Hold::count);
    return *this;
}

// A list of references: a compact count, then one reference per element.
// The list is sized to its count. Its elements are filled at the stream's
// end mark, by index, with what the list's last read gave them; without a
// reader they are left as they were, new ones null. A list not taken whole
// leaves the vector as it was.
template <class T>
DataSource& operator>>(DataSource& source, std::vector<T*>& list) {
    unsigned count = 0;
    const std::vector<unsigned>& ids = source.readReferenceIds(&count);
    if (source.fail() || source.waiting())
        return source;
    if (!source.context) {
        list.resize(count);
        return source;
    }
    list.assign(count, nullptr);
    source.addReferences(ids, &list, &DataSource::fillElement<T>, DataSource::Hold::refer);
    return source;
}

}  // namespace orvel
