// Containers and their layout managers placing spacers of known sizes: the
// exact rectangles each rule gives, and the sizes it asks for.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "gui/BorderLayout.h"
#include "gui/CardLayout.h"
#include "gui/ColumnLayout.h"
#include "gui/Container.h"
#include "gui/RowLayout.h"
#include "gui/Spacer.h"
#include "gui/TileLayout.h"

using pellium::Container;
using pellium::Rect;
using pellium::Spacer;
using Rects = std::vector<Rect>;

namespace {

struct Size {
    int w, h;
};

// A component that wants exactly its size, nothing included.
struct Fixed : pellium::Component {
    Fixed(int w, int h) : size{w, h} {}
    void getPreferredSize(int& w, int& h) override {
        w = size.w;
        h = size.h;
    }
    Size size;
};

// A container at bounds with children of the sizes given (a size with a
// negative width is a child container), each added with its constraint.
orvel::ref_ptr<Container> filled(pellium::LayoutManager* layout, Rect bounds, std::vector<Size> sizes,
                                 std::vector<int> constraints = {}) {
    orvel::ref_ptr<Container> box(new Container);
    box->setLayout(layout);
    box->setBounds(bounds);
    for (size_t i = 0; i < sizes.size(); ++i) {
        pellium::Component* child = sizes[i].w < 0 ? static_cast<pellium::Component*>(new Container)
                                                   : new Fixed(sizes[i].w, sizes[i].h);
        box->add(child, i < constraints.size() ? constraints[i] : -1);
    }
    return box;
}

Rects placed(Container& box) {
    box.layout();
    Rects out;
    for (auto& child : box.children())
        out.push_back(child->getBounds());
    return out;
}

Size preferred(Container& box) {
    Size s{0, 0};
    box.getPreferredSize(s.w, s.h);
    return s;
}

bool operator==(Size a, Size b) { return a.w == b.w && a.h == b.h; }
std::ostream& operator<<(std::ostream& o, Size s) { return o << s.w << "x" << s.h; }

}  // namespace

namespace pellium {
std::ostream& operator<<(std::ostream& o, const Rect& r) {
    return o << "(" << r.x << "," << r.y << "," << r.width << "," << r.height << ")";
}
}  // namespace pellium

TEST(LayoutTest, RowsAndColumns) {
    using Setup = std::function<void(pellium::RowLayout&, pellium::ColumnLayout&)>;
    const struct {
        bool row;
        Setup setup;
        Rects want;
        Size size;
    } cases[] = {
        // Rows in (10, 20, 200, 50) of 30x10 and 40x21: middle alignment rounds toward zero.
        {true, [](auto&, auto&) {}, {{10, 40, 30, 10}, {44, 34, 40, 21}}, {74, 21}},
        {true, [](auto& r, auto&) { r.setJustification(1); }, {{73, 40, 30, 10}, {107, 34, 40, 21}}, {74, 21}},
        {true, [](auto& r, auto&) { r.setJustification(2); }, {{136, 40, 30, 10}, {170, 34, 40, 21}}, {74, 21}},
        {true, [](auto& r, auto&) { r.setEqualWidths(true); }, {{10, 40, 40, 10}, {54, 34, 40, 21}}, {84, 21}},
        {true, [](auto& r, auto&) { r.setAlignment(2); }, {{10, 60, 30, 10}, {44, 49, 40, 21}}, {74, 21}},
        // Columns in (0, 0, 100, 100) of 30x10 and 40x20, the first one pixel below the top.
        {false, [](auto&, auto&) {}, {{0, 89, 30, 10}, {0, 65, 40, 20}}, {40, 34}},
        {false, [](auto&, auto& c) { c.setAlignment(1); }, {{0, 57, 30, 10}, {0, 33, 40, 20}}, {40, 34}},
        {false, [](auto&, auto& c) { c.setAlignment(0); }, {{0, 24, 30, 10}, {0, 0, 40, 20}}, {40, 34}},
        {false, [](auto&, auto& c) { c.setJustification(1); }, {{35, 89, 30, 10}, {30, 65, 40, 20}}, {40, 34}},
    };
    for (const auto& c : cases) {
        auto* row = new pellium::RowLayout;
        auto* column = new pellium::ColumnLayout;
        c.setup(*row, *column);
        orvel::ref_ptr<pellium::LayoutManager> unused(c.row ? static_cast<pellium::LayoutManager*>(column) : row);
        auto box = c.row ? filled(row, {10, 20, 200, 50}, {{30, 10}, {40, 21}})
                         : filled(column, {0, 0, 100, 100}, {{30, 10}, {40, 20}});
        EXPECT_EQ(placed(*box), c.want) << &c - cases;
        EXPECT_EQ(preferred(*box), c.size) << &c - cases;
    }
    // A child without height gets the row's whole height, and no equal width.
    auto* equal = new pellium::RowLayout;
    equal->setEqualWidths(true);
    auto box = filled(equal, {0, 0, 100, 30}, {{20, 10}, {5, 0}});
    box->setInsets(2, 3, 0, 1);
    EXPECT_EQ(placed(*box), (Rects{{2, 11, 20, 10}, {26, 3, 5, 26}}));
}

TEST(LayoutTest, BorderCardAndTile) {
    auto* border = new pellium::BorderLayout;
    border->setGaps(5, 3);
    auto box = filled(border, {0, 0, 300, 200}, {{50, 20}, {60, 10}, {40, 30}, {30, 30}, {100, 100}}, {0, 1, 2, 3, 4});
    EXPECT_EQ(placed(*box), (Rects{{0, 180, 300, 20}, {0, 0, 300, 10}, {0, 13, 40, 164}, {270, 13, 30, 164},
                                   {45, 13, 220, 164}}));
    EXPECT_EQ(preferred(*box), (Size{180, 136}));

    // Card 1 of three: a spacer card takes the whole bounds, a container card
    // stays inside the insets; the others hide; an index past the end hides all.
    auto* cards = new pellium::CardLayout;
    box = filled(cards, {0, 0, 100, 80}, {{10, 10}, {20, 5}, {-1, 0}});
    box->setInsets(1, 1, 1, 1);
    cards->setCurrentCard(1);
    EXPECT_EQ(placed(*box)[1], (Rect{0, 0, 100, 80}));
    EXPECT_EQ(preferred(*box), (Size{22, 7}));
    cards->sizeToTallest();
    EXPECT_EQ(preferred(*box), (Size{22, 12}));
    cards->setCurrentCard(2);
    EXPECT_EQ(placed(*box)[2], (Rect{1, 1, 98, 78}));
    EXPECT_FALSE(box->children()[1]->isVisible());
    cards->setCurrentCard(5);
    placed(*box);
    for (auto& child : box->children())
        EXPECT_FALSE(child->isVisible());
    EXPECT_EQ(preferred(*box), (Size{2, 2}));

    // Tiles with the default gaps and equal rows; rows count from the top.
    using pellium::tileCell;
    box = filled(new pellium::TileLayout, {0, 0, 72, 30}, {{30, 10}, {20, 14}, {70, 12}},
                 {tileCell(0, 0, 1, 1), tileCell(0, 1, 1, 1), tileCell(1, 0, 2, 1)});
    EXPECT_EQ(preferred(*box), (Size{72, 30}));
    EXPECT_EQ(placed(*box), (Rects{{0, 18, 30, 10}, {37, 16, 20, 14}, {0, 1, 70, 12}}));
    // A zero span takes no part in the sizes; no constraints at all want 10 x 10.
    box = filled(new pellium::TileLayout, {0, 0, 50, 50}, {{30, 10}, {500, 500}}, {tileCell(0, 0, 1, 1), tileCell(0, 0, 0, 1)});
    EXPECT_EQ(preferred(*box), (Size{30, 10}));
    EXPECT_EQ(preferred(*filled(new pellium::TileLayout, {}, {})), (Size{10, 10}));
}

// A default cell after named ones used to shrink the grid to one cell, and
// the next size computation read past its row and column lists.
TEST(LayoutTest, DefaultTileAfterNamedCellsKeepsTheGrid) {
    using pellium::tileCell;
    auto box = filled(new pellium::TileLayout, {0, 0, 100, 100}, {{10, 10}, {10, 10}}, {tileCell(2, 2, 1, 1), -1});
    EXPECT_EQ(preferred(*box), (Size{24, 34})) << "column 1 is empty; the rows are equal";
    EXPECT_EQ(placed(*box), (Rects{{14, 66, 10, 10}, {0, 90, 10, 10}}));
}

TEST(LayoutTest, ContainersWithoutALayoutManager) {
    // Alone: 10 x 10 (the row leaves its sentinel). One child container:
    // its size plus the insets. Otherwise a row with the container's alignment.
    orvel::ref_ptr<Container> empty(new Container);
    EXPECT_EQ(preferred(*empty), (Size{10, 10}));
    auto box = filled(nullptr, {0, 0, 100, 40}, {{-1, 0}});
    box->setInsets(1, 2, 3, 4);
    EXPECT_EQ(preferred(*box), (Size{14, 16}));
    box = filled(nullptr, {0, 0, 100, 40}, {{10, 5}, {20, 6}});
    box->setAlignment(0);
    box->setJustification(2);
    EXPECT_EQ(placed(*box), (Rects{{66, 0, 10, 5}, {80, 0, 20, 6}}));
    EXPECT_EQ(preferred(*box), (Size{34, 6}));
    box->setImage(pellium::Image(50, 3));
    EXPECT_EQ(preferred(*box), (Size{50, 6}));
    orvel::ref_ptr<Container> spaced(new Container);
    spaced->add(new Spacer(0, 0));
    EXPECT_EQ(preferred(*spaced), (Size{1, 1})) << "a spacer of no size still takes a pixel";
}
