#include "DataSource.h"

#include "base/Debug.h"
#include "base/StreamReader.h"

namespace orvel {

namespace {

constexpr int lf = 0x0A;
constexpr int cr = 0x0D;
// Texts from sources that cannot tell how much is left start with this much
// and double while bytes keep coming, so a lying length costs at most twice
// the bytes that really arrived.
constexpr unsigned firstStep = 65536;

}  // namespace

DataSource::~DataSource() {
    if (context)
        context->unref();
}

void DataSource::noteCountedPtr() {
    if (context)
        context->noteCountedPtr();
}

void DataSource::addReference(unsigned id, void* slot, FillSlot fill, Hold hold, unsigned index) {
    if (context)
        context->addReference(id, slot, fill, hold, index);
}

void DataSource::addReferences(const std::vector<unsigned>& ids, void* list, FillSlot fill, Hold hold) {
    if (context)
        context->addReferences(ids, list, fill, hold);
}

ReadFinisher* DataSource::finisher(ReadFinisher* (*make)()) { return context ? context->finisher(make) : nullptr; }

const std::vector<unsigned>& DataSource::readReferenceIds(unsigned* listed) {
    static const std::vector<unsigned> none;
    if (listed)
        *listed = 0;
    if (fail_ || (arriving && !wholeList()))
        return none;
    unsigned count = readCompact();
    if (fail_)
        return none;
    if (count >= 21)
        debug("Size=weird\n");
    // Refused before anything is made for it when the data cannot hold it.
    if (!holds(4ull * count))
        return none;
    if (context) {
        // Taken while the data lasts, so a lying count on a source that
        // cannot tell its length costs no more than the bytes that came.
        std::vector<unsigned>& ids = context->idBuffer();
        ids.clear();
        unsigned id;
        for (unsigned i = 0; i < count && takeUInt32(id); ++i)
            ids.push_back(id);
        if (fail_)
            return none;
    }
    if (listed)
        *listed = count;
    return context ? context->idBuffer() : none;
}

void DataSource::skip(unsigned count) {
    if (fail_)
        return;
    if (arriving) {
        if (have(count))
            windowNext += count;
        return;
    }
    unsigned inWindow = unsigned(windowEnd - windowNext);
    if (inWindow > count)
        inWindow = count;
    windowNext += inWindow;
    for (count -= inWindow; count > 0; --count) {
        if (readByte() < 0) {
            setFail();
            return;
        }
    }
}

void DataSource::close() {}

bool DataSource::isSeekable() const { return false; }

unsigned DataSource::position() const { return 0; }

void DataSource::seek(unsigned) {}

unsigned DataSource::bytesRemaining() const { return 0; }

bool DataSource::holds(unsigned long long count) {
    if (fail_)
        return false;
    if (arriving && count <= 0xFFFFFFFFull)
        return have(unsigned(count));
    if (arriving || (isSeekable() && bytesRemaining() < count)) {
        setFail();
        return false;
    }
    return true;
}

DataSource::Supply DataSource::fetch(unsigned) { return Supply::ended; }

bool DataSource::have(unsigned count) {
    if (fail_)
        return false;
    if (unsigned(windowEnd - windowNext) >= count)
        return true;
    switch (fetch(count)) {
    case Supply::enough:
        return true;
    case Supply::later:
        putOff();
        return false;
    case Supply::ended:
        setFail();
        return false;
    }
    return false;
}

// A text in the current mode: up to its end, or its length and then that
// many bytes. A length that no text can have passes, for the ordinary read
// to refuse.
bool DataSource::wholeString() {
    unsigned header = 1;
    unsigned length = 0;
    switch (stringMode) {
    case stringTerminated:
    case stringLineEnd:
        return wholeText(true);
    case stringByteLength:
        if (!have(1))
            return false;
        length = windowNext[0];
        break;
    case stringWordLength:
        if (!have(4))
            return false;
        header = 4;
        length = word(windowNext);
        break;
    case stringCompactLength:
        if (!wholeCompact())
            return false;
        length = countInWindow(header);
        break;
    default:
        return true;
    }
    return length >= orvel_string::npos || have(header + length);
}

// A list of references: its count and one 32-bit id per element. A list
// longer than any window can be never comes whole.
bool DataSource::wholeList() {
    if (!wholeCompact())
        return false;
    unsigned header;
    unsigned long long count = countInWindow(header);
    unsigned long long size = header + 4 * count;
    if (size > 0xFFFFFFFFull) {
        setFail();
        return false;
    }
    return have(unsigned(size));
}

// Up to its end: a LF or CR, or a 0 byte when zeroEnds. When the source
// ends before, what came is read as at the end of any source.
bool DataSource::wholeText(bool zeroEnds) {
    for (unsigned scanned = 0;; ++scanned) {
        if (scanned == unsigned(windowEnd - windowNext)) {
            if (fail_)
                return true;
            switch (fetch(scanned + 1)) {
            case Supply::enough:
                break;
            case Supply::later:
                putOff();
                return false;
            case Supply::ended:
                return true;
            }
        }
        unsigned char c = windowNext[scanned];
        if (c == lf || c == cr || (zeroEnds && c == 0))
            return true;
    }
}

// A second LF or CR right after the first belongs to the same line end.
void DataSource::takeLineEndPair() {
    if (arriving) {
        if (windowNext == windowEnd)
            lineEndOpen = true;
        else if (*windowNext == lf || *windowNext == cr)
            ++windowNext;
        return;
    }
    int next = peekByte();
    if (next == lf || next == cr)
        takeByte();
}

bool DataSource::takeSlow(void* out, unsigned count) {
    if (arriving) {
        if (!have(count))
            return false;
        std::memcpy(out, windowNext, count);
        windowNext += count;
        return true;
    }
    if (fail_)
        return false;
    if (read(out, count) < count) {
        setFail();
        return false;
    }
    return true;
}

int DataSource::takeByteSlow() {
    if (arriving)
        return have(1) ? *windowNext++ : -1;
    if (fail_)
        return -1;
    int c = readByte();
    if (c < 0)
        setFail();
    return c;
}

bool DataSource::takeUInt64(unsigned long long& value) {
    unsigned char b[8];
    if (!take(b, 8))
        return false;
    unsigned long long v = 0;
    for (int i = 0; i < 8; ++i)
        v |= (unsigned long long)b[swap ? 7 - i : i] << (8 * i);
    value = v;
    return true;
}

unsigned DataSource::readCompact() {
    if (arriving && !wholeCompact())
        return 0xFFFFFFFF;
    int c = takeByte();
    if (c < 0)
        return 0xFFFFFFFF;
    if (c != 0xFF)
        return unsigned(c);
    unsigned v;
    return takeUInt32(v) ? v : 0xFFFFFFFF;
}

unsigned short DataSource::readUInt16() {
    unsigned short v = 0;
    *this >> v;
    return v;
}

long long DataSource::readInt64() {
    unsigned long long v = 0;
    takeUInt64(v);
    return (long long)v;
}

DataSource& DataSource::operator>>(bool& value) {
    int c = takeByte();
    if (c >= 0)
        value = c != 0;
    return *this;
}

DataSource& DataSource::operator>>(char& value) {
    int c = takeByte();
    if (c >= 0)
        value = char(c);
    return *this;
}

DataSource& DataSource::operator>>(unsigned short& value) {
    unsigned char b[2];
    if (take(b, 2))
        value = swap ? (unsigned short)(b[0] << 8 | b[1]) : (unsigned short)(b[1] << 8 | b[0]);
    return *this;
}

DataSource& DataSource::operator>>(float& value) {
    unsigned bits;
    if (takeUInt32(bits))
        std::memcpy(&value, &bits, sizeof value);
    return *this;
}

DataSource& DataSource::operator>>(long long& value) {
    unsigned long long v;
    if (takeUInt64(v))
        value = (long long)v;
    return *this;
}

DataSource& DataSource::operator>>(double& value) {
    unsigned long long bits;
    if (takeUInt64(bits))
        std::memcpy(&value, &bits, sizeof value);
    return *this;
}

DataSource& DataSource::readString(orvel_string& text) {
    text.clear();
    if (fail_ || (arriving && !wholeString()))
        return *this;
    switch (stringMode) {
    case stringTerminated:
    case stringLineEnd:
        readTerminated(text);
        break;
    case stringByteLength: {
        int length = takeByte();
        if (length >= 0)
            readCounted(text, unsigned(length));
        break;
    }
    case stringWordLength: {
        unsigned length;
        if (takeUInt32(length))
            readCounted(text, length);
        break;
    }
    case stringCompactLength: {
        unsigned length = readCompact();
        if (!fail_)
            readCounted(text, length);
        break;
    }
    default:
        break;
    }
    return *this;
}

// Up to a 0 byte, the end, LF or CR; a second LF or CR right after the first
// belongs to the same line end.
void DataSource::readTerminated(orvel_string& text) {
    for (;;) {
        int c = takeByte();
        if (c <= 0)
            return;
        if (c == lf || c == cr) {
            takeLineEndPair();
            return;
        }
        text.push_back(char(c));
    }
}

bool DataSource::readLine(orvel_string& text) {
    text.clear();
    if (arriving && !wholeText(false))
        return false;
    for (;;) {
        int c = takeByte();
        if (c < 0)
            return !text.empty();
        if (c == lf || c == cr) {
            takeLineEndPair();
            return true;
        }
        text.push_back(char(c));
    }
}

void DataSource::readCounted(orvel_string& text, unsigned length) {
    if (length == 0)
        return;
    if (length >= orvel_string::npos || (isSeekable() && length > bytesRemaining())) {
        setFail();
        return;
    }
    unsigned step = isSeekable() ? length : firstStep;
    for (unsigned got = 0; got < length;) {
        unsigned chunk = length - got < step ? length - got : step;
        text.resize(got + chunk);
        if (!take(text.data() + got, chunk)) {
            text.clear();
            return;
        }
        got += chunk;
        step = got;
    }
}

}  // namespace orvel
