// Shows one component, its view, through a viewport with a vertical and a
// horizontal scroll bar that appear as needed, an optional column header
// above it, the arrow keys and the mouse wheel, and a sunken border. A view
// that is a SizedPage (the HTML pane) is laid out again for the viewport's
// width instead of being asked for its preferred size.
#pragma once

#include <memory>

#include "gui/Color.h"
#include "gui/Container.h"

namespace pellium {

class ScrollBar;
class ViewPane;
struct ScrollPaneInternals;

class ScrollPane : public Container {
public:
    // Content that is laid out for a given width and then has a height.
    class SizedPage {
    public:
        virtual ~SizedPage() = default;
        // The narrowest the page can be laid out.
        virtual int minimumWidth() = 0;
        virtual void setWidth(int width) = 0;
        virtual int width() = 0;
        virtual int height() = 0;
    };

    // Scroll bar policies.
    enum Policy { never = 0, asNeeded = 1, always = 2 };

    explicit ScrollPane(Component* view);
    ~ScrollPane() override;

    // A sunken border 2 pixels wide, or none.
    void setBorder(bool bordered);
    void setHorizontalScrollPolicy(int policy);
    void setVerticalScrollPolicy(int policy);
    // When above 1, the viewport's height (width) is a multiple of it.
    void setRowUnit(int unit);
    void setColumnUnit(int unit);
    // The pixels one key press or wheel notch scrolls.
    void setSteps(int vertical, int horizontal);
    // Filled behind the view; transparent (the default) fills nothing.
    void setBackground(const Color& colour);
    // Shown above the viewport and scrolled sideways with the content.
    void setColumnHeader(Component* header);

    Component* getView() const;
    ScrollBar* verticalBar() const;
    ScrollBar* horizontalBar() const;
    ViewPane* viewPane() const;
    ScrollPaneInternals& internals() const { return *internals_; }

    // The border, then the children.
    void draw(Graphics& g) override;
    // The wheel scrolls while the vertical bar shows; the arrow keys by the steps.
    void handleEvent(const Event& event) override;
    bool wantsEvent(const Event& event) override;
    void handleKey(const Event& event) override;

private:
    // Moves a bar's value within its range; true when it changed.
    bool scroll(ScrollBar* bar, int by);

    std::unique_ptr<ScrollPaneInternals> internals_;
};

}  // namespace pellium
