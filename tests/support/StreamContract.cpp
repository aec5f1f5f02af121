#include "tests/support/StreamContract.h"

#include <cstring>
#include <map>

namespace support {

namespace {

void appendCompact(StreamBytes& out, unsigned v) {
    if (v < 0xFF) {
        out.push_back((unsigned char)v);
        return;
    }
    out.push_back(0xFF);
    for (int i = 0; i < 4; ++i)
        out.push_back((unsigned char)(v >> (8 * i)));
}

// Reads a compact value at `at`, moving past it; false past the end.
bool readCompact(const StreamBytes& b, std::size_t& at, unsigned& v) {
    if (at >= b.size())
        return false;
    if (b[at] < 0xFF) {
        v = b[at++];
        return true;
    }
    if (at + 5 > b.size())
        return false;
    v = unsigned(b[at + 1]) | unsigned(b[at + 2]) << 8 | unsigned(b[at + 3]) << 16 | unsigned(b[at + 4]) << 24;
    at += 5;
    return true;
}

orvel::counted_ptr<orvel::Streamable> read(const StreamBytes& bytes, const StreamContract& c) {
    return readStream(bytes, [&](orvel::DataSource& source) {
        if (c.registerTypes)
            c.registerTypes(source);
    });
}

void readAndUse(const StreamBytes& bytes, const StreamContract& c) {
    orvel::counted_ptr<orvel::Streamable> got = read(bytes, c);
    if (got && c.use)
        c.use(got.get());
}

}  // namespace

void mutateStream(StreamBytes& bytes, std::mt19937& random, std::size_t from) {
    int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits && bytes.size() > from; ++e) {
        std::size_t at = from + random() % (bytes.size() - from);
        switch (random() % 5) {
        case 0: bytes[at] = (unsigned char)random(); break;
        case 1: bytes[at] = (unsigned char)(random() % 40); break;
        case 2: bytes[at] = 0xFF; break;
        case 3: bytes.insert(bytes.begin() + long(at), (unsigned char)(random() % 64)); break;
        default: bytes.erase(bytes.begin() + long(at)); break;
        }
    }
}

StreamBytes withTagInEveryBody(const StreamBytes& bytes, unsigned tag, const std::string& types) {
    static const char header[] = "ZanthaStream 1.01\n";
    const std::size_t headerSize = sizeof header - 1;
    if (bytes.size() < headerSize || std::memcmp(bytes.data(), header, headerSize) != 0)
        return {};
    StreamBytes out(bytes.begin(), bytes.begin() + long(headerSize));
    std::map<unsigned, std::string> declared;
    std::size_t at = headerSize;
    while (at < bytes.size()) {
        const unsigned char kind = bytes[at];
        std::size_t start = at++;
        unsigned a = 0, length = 0;
        if (kind == '#') {
            out.insert(out.end(), bytes.begin() + long(start), bytes.end());
            return out;
        }
        if (kind == '?') {  // a declaration: id, then the tag as a counted text
            if (!readCompact(bytes, at, a) || !readCompact(bytes, at, length) || at + length > bytes.size())
                return {};
            declared[a] = std::string(bytes.begin() + long(at), bytes.begin() + long(at + length));
            at += length;
            out.insert(out.end(), bytes.begin() + long(start), bytes.begin() + long(at));
            continue;
        }
        if (kind != '!' || !readCompact(bytes, at, a) || at + 4 > bytes.size())
            return {};
        at += 4;  // the record's id
        const std::size_t headEnd = at;
        if (!readCompact(bytes, at, length) || at + length > bytes.size())
            return {};
        out.insert(out.end(), bytes.begin() + long(start), bytes.begin() + long(headEnd));
        StreamBytes tagBytes;
        if (declared[a].compare(0, types.size(), types) == 0)
            appendCompact(tagBytes, tag);
        appendCompact(out, length + unsigned(tagBytes.size()));
        out.insert(out.end(), tagBytes.begin(), tagBytes.end());
        out.insert(out.end(), bytes.begin() + long(at), bytes.begin() + long(at + length));
        at += length;
    }
    return {};
}

::testing::AssertionResult meetsStreamContract(orvel::Streamable* original, const StreamContract& c) {
    const StreamBytes bytes = writeStream(original);
    const std::string expected = c.shape ? c.shape(original) : std::string();
    orvel::counted_ptr<orvel::Streamable> back = read(bytes, c);
    if (!back)
        return ::testing::AssertionFailure() << "the whole stream reads as nothing";
    if (c.shape && c.shape(back.get()) != expected)
        return ::testing::AssertionFailure() << "read back as\n  " << c.shape(back.get()) << "\nnot\n  " << expected;
    const StreamBytes again = writeStream(back.get());
    if (again != bytes) {
        std::size_t at = 0;
        while (at < bytes.size() && at < again.size() && bytes[at] == again[at])
            ++at;
        return ::testing::AssertionFailure() << "written again, the bytes differ from byte " << at << " (sizes "
                                             << bytes.size() << " and " << again.size() << ")";
    }
    if (c.use)
        c.use(back.get());
    back = nullptr;

    if (c.unknownTag) {
        const StreamBytes tagged = withTagInEveryBody(bytes, c.unknownTag, c.taggedTypes);
        if (tagged.empty())
            return ::testing::AssertionFailure() << "not a stream whose records could be tagged";
        orvel::counted_ptr<orvel::Streamable> passed = read(tagged, c);
        if (!passed)
            return ::testing::AssertionFailure() << "with tag " << c.unknownTag << " in every body, nothing was read";
        if (c.shape && c.shape(passed.get()) != expected)
            return ::testing::AssertionFailure() << "with tag " << c.unknownTag << " in every body, read as\n  "
                                                 << c.shape(passed.get()) << "\nnot\n  " << expected;
    }

    forEachCut(bytes, [&](const StreamBytes& part) { readAndUse(part, c); });
    std::mt19937 random(c.seed);
    for (int round = 0; round < c.mutations; ++round) {
        StreamBytes damaged = bytes;
        mutateStream(damaged, random, c.keepHead);
        readAndUse(damaged, c);
    }
    return ::testing::AssertionSuccess();
}

}  // namespace support
