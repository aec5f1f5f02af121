// Model reading through files: the search paths, the texture-file reader
// and the external-database reader as the start-up call installs them; an
// external reference of a scene stream loaded from a model file, and a JPEG
// texture found on the search paths drawn under the display.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "media/ModelReading.h"
#include "media/ModelSearchPaths.h"
#include "media/readers/ModraneDatabaseReader.h"
#include "media/readers/ModraneImageReader.h"
#include "scene/Database.h"
#include "scene/ExrefBranch.h"
#include "scene/GeometryBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/Object.h"
#include "scene/StreamNesting.h"
#include "scene/render/Texture.h"
#include "tests/media/PictureFiles.h"
#include "tests/scene/SceneGl.h"
#include "tests/support/LogCapture.h"
#include "tests/support/SceneShape.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using mediatest::toolPicture;

// The program's form of a path, which found files are named by.
std::string programForm(const std::string& path) { return orvel::FilePath(path.c_str()).str().c_str(); }

void touch(const std::string& path, const Bytes& bytes = {1}) {
    fs::create_directories(fs::path(path).parent_path());
    writeFile(path, bytes);
}

// Puts back the search folders and the readers as a test leaves them.
struct ReadingKept {
    ~ReadingKept() {
        modrane::setSearchFolders(folders);
        kessa::setReadHook(nullptr);
        pellium::ImageReader::setCurrent(nullptr);
    }
    const std::vector<orvel_string> folders = modrane::searchFolders();
};

class ModelReading : public ::testing::Test {
protected:
    void TearDown() override { fs::current_path(cwd); }
    ReadingKept kept;
    const fs::path cwd = fs::current_path();
    TempFolder root;
};

// By default the program's folder and the working folder. Then the name as
// given (from the working folder, or from the root) first, and each folder
// in order, whatever the case of the names; a folder of the name is no file.
// The image reader finds, resolves (one key for every spelling) and reads
// by the same rule.
TEST_F(ModelReading, SearchPathsAndTheImageReader) {
    ASSERT_EQ(kept.folders.size(), 2u);
    EXPECT_TRUE(kept.folders[0] == orvel::programFolder() && kept.folders[1] == "");
    for (const char* f : {"here.gif", "first/here.gif", "first/Stone.GIF", "first/both.gif", "second/both.gif", "here/x",
                          "second/Sub/Deep.jpg", "first/dir.gif/x", "second/dir.gif"})
        touch(root / f);
    touch(root / "second/empty.gif", {});
    ToolImages tool;
    touch(root / "second/Navy.GIF", ToolImages::read(tool.make("-size 3x2 xc:navy", "navy.gif")));
    fs::current_path(root.path());
    modrane::setSearchFolders({(root / "first").c_str(), (root / "second/").c_str()});
    const std::pair<std::string, std::string> rows[] = {
        {"here.gif", "here.gif"},  {"HERE.GIF", "here.gif"}, {"stone.gif", root / "first/stone.gif"},
        {"both.gif", root / "first/both.gif"}, {"sub\\deep.JPG", root / "second/sub/deep.jpg"},
        {"dir.gif", root / "second/dir.gif"},  {"here", ""}, {root / "second/both.gif", root / "second/both.gif"},
        {"/sub/deep.jpg", ""}, {"missing.gif", ""}, {"", ""},
    };
    for (const auto& [name, found] : rows)
        EXPECT_EQ(modrane::findModelFile(name.c_str()).c_str(), found.empty() ? "" : programForm(found)) << name;
    modrane::ModraneImageReader reader;
    LogCapture log;
    EXPECT_TRUE(reader.exists("navy.gif") && reader.exists("SUB/deep.jpg") && !reader.exists("here"));
    EXPECT_TRUE(reader.resolve("Navy.gif") == reader.resolve("navy.GIF") && reader.resolve("Gone.gif") == "Gone.gif");
    EXPECT_EQ(reader.resolve("navy.gif").c_str(), programForm(root / "second/navy.gif"));
    const pellium::Image navy = reader.read("navy.gif");
    EXPECT_TRUE(navy.width() == 3 && navy.height() == 2 && navy.constPixels()[5] == 0xFF000080u);
    EXPECT_TRUE(reader.read("gone.gif").empty() && reader.read("empty.gif").empty());
    EXPECT_EQ(log.text(), "---Image gone.gif not found\n---Image " + programForm(root / "second/empty.gif") +
                              " could not be read\n");
}

// Model files: a door (an object whose root is a square batch), a file
// that is no stream, a stream of an object alone, a model of a kind not
// read. Through the start-up call, an object of a scene stream that names
// the door gets an external reference to its database; one that names a
// missing file keeps no root, and the reader logs each failure.
TEST_F(ModelReading, ExternalDatabasesFromTheSearchPaths) {
    kessa::Database door;
    auto object = std::make_unique<kessa::Object>();
    object->attach(std::make_unique<kessa::GeometryBranch>());
    static_cast<kessa::GeometryBranch*>(object->root())->addBunch(kessa_test::quadBunch({0, -2, 2, 0, 4}));
    door.addObject(std::move(object));
    kessa::Object lone;
    touch(root / "second/Models/Door.mdl", writeStream(&door));
    touch(root / "second/lone.mdl", writeStream(&lone));
    touch(root / "second/broken.mdl", {'Z', 'a', 'n'});
    touch(root / "first/door.tavik");
    modrane::setSearchFolders({(root / "first").c_str(), (root / "second").c_str()});
    modrane::setUpModelReading();
    kessa::KessaDatabaseReader* hook = kessa::readHook();
    pellium::ImageReader* images = pellium::ImageReader::current();
    modrane::setUpModelReading();
    ASSERT_TRUE(dynamic_cast<modrane::ModraneDatabaseReader*>(hook) && dynamic_cast<modrane::ModraneImageReader*>(images) &&
                kessa::readHook() == hook && pellium::ImageReader::current() == images);
    const std::pair<const char*, std::string> rows[] = {
        {"Models/DOOR.MDL", ""},
        {"models\\gone.mdl", "---Exref: models\\gone.mdl not found\n"},
        {"broken.mdl", "---Exref: " + programForm(root / "second/broken.mdl") + " could not be read\n"},
        {"lone.mdl", "---Exref: " + programForm(root / "second/lone.mdl") + " could not be read\n"},
        {"door.tavik", "---Exref: " + programForm(root / "first/door.tavik") + ": no reader for this kind of model\n"},
    };
    for (const auto& [name, line] : rows) {
        LogCapture log;
        const kessa_test::Bytes stream = kessa_test::records(
            {{"zanthorium::kessa::Object", 1, kessa_test::body().byte(1).string("room").byte(21).string(name).byte(0)}});
        orvel::counted_ptr<kessa::Object> room = kessa_test::readScene(stream).cast<kessa::Object>();
        ASSERT_TRUE(room) << name;
        const std::string text = log.text();
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), line.size())), line) << name;
        auto* exref = dynamic_cast<kessa::ExrefBranch*>(room->root());
        ASSERT_EQ(exref != nullptr, line.empty()) << name;
        if (!exref)
            continue;
        EXPECT_EQ(exref->target()->path().str().c_str(), programForm(root / "second/models/door.mdl"));
        EXPECT_EQ(support::sceneShape(exref->target()->rootObject()), support::sceneShape(door.rootObject()));
        room->clean();
        door.clean();
        EXPECT_TRUE(room->bounds().valid() && room->bounds().min() == door.rootObject()->bounds().min() &&
                    room->bounds().max() == door.rootObject()->bounds().max());
    }
}

// ---- chains of files ----

const std::string D = "zanthorium::kessa::Database", O = "zanthorium::kessa::Object", G = "zanthorium::kessa::GroupBranch",
                  I = "zanthorium::kessa::InstanceBranch";

// File k of a chain of n: its root object holds `groups` groups, one in the
// next; the deepest shows object "wall", whose external database is
// wall.mdl (a wall ten units ahead, facing the origin), and `links` objects
// "link", whose external database is file k + 1 (the last file's name none).
kessa_test::Bytes chainFile(unsigned k, unsigned n, unsigned groups, unsigned links) {
    using kessa_test::grp;
    using kessa_test::obj;
    const std::string next = k + 1 < n ? "f" + std::to_string(k + 1) + ".mdl" : "";
    std::vector<unsigned> objects = {2, 3}, shown = {5000};
    std::vector<kessa_test::Record> r = {{O, 2, obj("top", {10})}, {O, 3, obj("wall", {}, "wall.mdl")}};
    for (unsigned l = 0; l < links; ++l) {
        objects.push_back(4 + l);
        shown.push_back(5001 + l);
        r.push_back({O, 4 + l, obj("link", {}, next)});
    }
    r.insert(r.begin(), {D, 1, kessa_test::dbase(objects, 2)});
    for (unsigned g = 0; g < groups; ++g)
        r.push_back({G, 10 + g, grp("", g + 1 < groups ? std::vector<unsigned>{11 + g} : shown)});
    r.push_back({I, 5000, kessa_test::inst("wall", 3)});
    for (unsigned l = 0; l < links; ++l)
        r.push_back({I, 5001 + l, kessa_test::inst("next", 4 + l)});
    return kessa_test::records(r);
}

// The levels below b, by recursion: every instance and external reference
// followed, every object of a database shown.
int levelsBelow(kessa::Branch* b, std::map<const kessa::Branch*, int>& known) {
    auto [at, made] = known.emplace(b, 0);
    if (!made)
        return at->second;
    int levels = 0;
    auto show = [&](kessa::Object* o) {
        if (o && o->root())
            levels = std::max(levels, 1 + levelsBelow(o->root(), known));
    };
    if (auto* instance = dynamic_cast<kessa::InstanceBranch*>(b))
        show(instance->instance());
    if (auto* exref = dynamic_cast<kessa::ExrefBranch*>(b); exref && exref->target())
        for (kessa::Object* o : exref->target()->objects())
            show(o);
    for (int i = 0; i < b->childCount(); ++i)
        levels = std::max(levels, 1 + levelsBelow(b->child(i), known));
    return known[b] = levels;
}

// Counts the files read.
class CountingReader : public modrane::ModraneDatabaseReader {
public:
    void read(orvel::counted_ptr<kessa::Database>& out, const orvel_string& name) override {
        ++reads;
        ModraneDatabaseReader::read(out, name);
    }
    int reads = 0;
};

// Chains of files, each naming the next: at most 16 are read one inside
// another, with a log line, and a file named any number of times is read
// once, so that the files read are in proportion to the files (two links a
// file read 2^n files). A reference that would put anything more than 1,000
// levels below the top of a walk is dropped with a log line: 60 files of
// 998 groups no longer overflow the stack when cleaned or walked. What is
// left is cleaned, drawn, traced, met and gathered, written (and read back
// as it was) and freed, on the stack a thread has by default.
TEST_F(ModelReading, ChainsOfFilesNestWithinTheBounds) {
    kessa::Database wall;
    auto object = std::make_unique<kessa::Object>();
    object->attach(kessa_test::wallAhead());
    wall.addObject(std::move(object));
    touch(root / "wall.mdl", writeStream(&wall));
    modrane::setSearchFolders({root.path().c_str()});
    CountingReader reader;
    kessa::setReadHook(&reader);
    const std::string refused = "!!!Database f17.mdl would nest more than 16 files deep - not read\n";
    const struct {
        unsigned files, groups, links;
        int reads;  // wall.mdl and the files below the first
        int levels;
        std::size_t walls;
        int dropped;
    } rows[] = {
        // Each file reaches its wall 1,000 levels down: from the bottom up,
        // no file can show the next.
        {60, 998, 1, 17, 1000, 1, 16},
        {5000, 1, 1, 17, 51, 17, 0},
        {3, 1, 2, 3, 9, 7, 0},
        {12, 1, 2, 12, 36, 4095, 0},
    };
    double steps = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.files) + " files of " + std::to_string(r.groups) + " groups");
        for (unsigned k = 0; k < r.files; ++k)
            touch(root / ("f" + std::to_string(k) + ".mdl"), chainFile(k, r.files, r.groups, r.links));
        LogCapture log;
        reader.reads = 0;
        const unsigned long before = kessa::InstanceNesting::steps();
        orvel::counted_ptr<kessa::Database> db = kessa_test::readScene(readFile(root / "f0.mdl")).cast<kessa::Database>();
        ASSERT_TRUE(db);
        EXPECT_EQ(reader.reads, r.reads);
        // Four times the files of the row before: the steps a file takes
        // would be four times as many if each looked through those below.
        const double perFile = double(kessa::InstanceNesting::steps() - before) / r.reads;
        if (&r == rows + 3) {
            EXPECT_LT(perFile, 1.5 * steps) << steps << " then " << perFile;
        }
        steps = perFile;
        EXPECT_EQ(log.count(refused), r.files > 17 ? 1 : 0);
        EXPECT_EQ(log.count("!!!ExrefBranch \"\": database "), r.dropped);
        EXPECT_EQ(log.count("!!!"), r.dropped + (r.files > 17 ? 1 : 0)) << log.text();
        EXPECT_EQ(kessa_test::wallsMet(*db), r.walls);
        const kessa_test::Bytes written = writeStream(db.get());
        log.take();
        EXPECT_EQ(writeStream(kessa_test::readScene(written).get()), written);
        EXPECT_EQ(log.text().find("!!!"), std::string::npos) << log.text();
        std::map<const kessa::Branch*, int> known;
        EXPECT_EQ(levelsBelow(db->rootObject()->root(), known), r.levels);
    }
}

// A scene texture named by its file, read through the current reader: each
// quarter of the JPEG shows its colour where the picture has it, not the
// black fallback.
class TextureFile : public kessa_test::SceneGl {
protected:
    ReadingKept kept;
};

TEST_F(TextureFile, AJpegOnTheSearchPathIsDrawnFromItsPixels) {
    TempFolder root;
    ToolImages tool;
    const std::string made =
        tool.make("-size 16x16 xc:red xc:lime +append \\( xc:blue xc:yellow +append \\) -append -quality 95", "q.jpg");
    touch(root / "Textures/Quarters.JPG", ToolImages::read(made));
    modrane::setSearchFolders({"/nowhere", root.path().c_str()});
    modrane::setUpModelReading();
    kessa::Texture texture;
    texture.setFile(orvel::FilePath("textures\\quarters.jpg"));
    texture.setMipmapped(false);
    ASSERT_EQ(texture.width(), 32);
    pellium::setPixelProjection(info());
    clear();
    pellium::disableGLState(5);
    pellium::disableGLState(10);
    pellium::enableGLState(2);
    glColor4f(1, 1, 1, 1);
    texture.drawQuad(8, 8);
    const mediatest::ToolPicture quarters = toolPicture(made);
    const gltest::Pixels frame = pixels();
    // The centres of the quarters; the picture's top row is drawn highest.
    for (auto [x, y] : {std::pair{8, 8}, {24, 8}, {8, 24}, {24, 24}}) {
        const uint16_t* expected = &quarters.rgba[(size_t(31 - y) * 32 + size_t(x)) * 4];
        EXPECT_TRUE(kessa_test::pixelNear(gltest::pixelAt(frame, kessa_test::glSide, 8 + x, 8 + y), expected[0] >> 8,
                                          expected[1] >> 8, expected[2] >> 8, 8))
            << x << ", " << y;
    }
    EXPECT_TRUE(kessa_test::pixelNear(gltest::pixelAt(frame, kessa_test::glSide, 8 + 8, 8 + 24), 255, 0, 0, 24));
}

}  // namespace
