#include "ComboBox.h"

#include <algorithm>

#include "gui/BorderLayout.h"
#include "gui/ComboBoxInfo.h"
#include "gui/ComboBoxList.h"
#include "gui/ComboInternals.h"
#include "gui/ComboLayout.h"
#include "gui/Graphics.h"
#include "gui/GuiRenderer.h"
#include "gui/ScrollPane.h"
#include "gui/TextInput.h"
#include "gui/gl/Font.h"

namespace pellium {

ComboBox::ComboBox(ComboBoxInfo* info) : internals_(new ComboInternals(*this, info)) {
    setLayout(new BorderLayout);
    add(internals_, BorderLayout::centre);
    add(new ComboButton(*internals_), BorderLayout::right);
    internals_->setToolTipFromParent(true);
    setBordered(true);
}

ComboBox::~ComboBox() {
    if (Window::getActivePopup() == internals_)
        Window::closeActivePopup();
}

void ComboBox::setBordered(bool bordered) {
    bordered_ = bordered;
    const int inset = bordered ? 2 : 1;
    setInsets(inset, inset, inset, inset);
}

void ComboBox::getPreferredSize(int& width, int& height) { internals_->getPreferredSize(width, height); }

void ComboBox::draw(Graphics& g) {
    GuiRenderer::instance()->drawBackground(g, WidgetKind::comboField, isEnabled() ? 0 : WidgetState::disabled,
                                            getBounds());
    Container::draw(g);
}

ComboInternals::~ComboInternals() = default;

void ComboInternals::openPopup() {
    if (!info_ || info_->count() <= 0)
        return;
    list_.reset();
    list_ = new ComboBoxList(combo_, std::min(info_->count(), ComboBox::visibleRows), info_);
    Window::setActivePopup(this);
}

void ComboInternals::closePopup() {
    if (!list_ || !list_->isOpen())
        return;
    list_->close();
    combo_.popupClosed();
}

bool ComboInternals::ownsComponent(Component* c, const Event&) {
    return list_ && list_->isOpen() && c->getWindow() == list_.get();
}

void ComboInternals::getPreferredSize(int& width, int& height) {
    const Font* font = getFont().get();
    width = (font ? font->charWidth(0) : 0) * (ComboBox::widthInCharacters + 1) + 6;
    height = 6 + (font ? 2 * font->descent() + font->height() : 0);
}

void ComboInternals::draw(Graphics& g) {
    const int count = info_ ? info_->count() : 0;
    if (count <= 0)
        return;
    const Rect& b = getBounds();
    g.setColor(isEnabled() ? GuiColor::window : GuiColor::face);
    g.fillRect(b);
    const int index = combo_.getSelectedIndex();
    const char* text = index >= 0 && index < count ? info_->text(index) : "choose...";
    int x, y;
    TextInput::textOrigin(b, getFont().get(), 0, combo_.isBordered(), x, y);
    g.setColor(isEnabled() ? GuiColor::window_text : GuiColor::gray_text);
    g.drawStringFitted(text, getFont().get(), x, y, b.width, false);
}

void ComboInternals::handleEvent(const Event& event) {
    if (event.type == EventType::LeftDown)
        openPopup();
}

void ComboButton::press() {
    internals_.openPopup();
    letGo();
    revalidate();
}

void ComboButton::getPreferredSize(int& width, int& height) {
    int w, h;
    internals_.getPreferredSize(w, h);
    width = h - 4;
    height = 0;
}

void ComboButton::getRenderInfo(int& kind, int& state) {
    Button::getRenderInfo(kind, state);
    kind = WidgetKind::comboButton;
}

ComboBoxList::ComboBoxList(ComboBox& combo, int rows, ComboBoxInfo* info) : Window(combo.getWindow()) {
    auto* pane = new ComboBoxPane(combo, rows, info);
    add(pane);
    const Rect& c = combo.getBounds();
    setWindowType(Popup);
    setBounds({c.x, c.y - pane->listHeight, std::max(c.width, pane->listWidth), pane->listHeight});
    // Where the screen ends below, the list opens above the box.
    setPopupAnchor(farEdge, c.y + c.height);
    setTitle("pellium ComboBox popup");
    open();
    combo.popupOpened();
}

void ComboBoxList::drawBackground(Graphics& g) {
    g.setColor(GuiColor::window);
    g.fillRect(getBounds());
    g.setColor(GuiColor::shadow);
    g.drawRect(getBounds());
}

ComboBoxPane::ComboBoxPane(ComboBox& combo, int rows, ComboBoxInfo* info) : combo_(combo) {
    setLabel("ComboBoxPane", true);
    setInsets(0, 0, 0, 0);
    auto* items = new Container;
    items->setLayout(new ComboLayout);
    listHeight = 2;
    int step = 0;
    for (int i = 0; i < info->count(); ++i) {
        auto* item = new ComboBoxItem(combo, i, info);
        item->setMessageDest(this, 0);
        items->add(item);
        int w, h;
        item->getPreferredSize(w, h);
        listWidth = std::max(listWidth, w);
        if (i < rows)
            listHeight += h;
        if (i == 0)
            step = h;
    }
    auto* scroll = new ScrollPane(items);
    scroll->setBorder(false);
    scroll->setHorizontalScrollPolicy(ScrollPane::never);
    // A step of one entry: the wheel and the keys move the list a line at a time.
    scroll->setSteps(step, 0);
    add(scroll);
    int left, bottom, right, top;
    scroll->getInsets(left, bottom, right, top);
    listWidth += left + right;
    listHeight += bottom + top;
}

void ComboBoxPane::message(Component*, int, int detail) {
    combo_.setSelectedIndex(detail);
    combo_.revalidate();
    combo_.sendMessage(detail);
}

ComboBoxItem::ComboBoxItem(ComboBox& combo, int index, ComboBoxInfo* info) : combo_(combo), index_(index) {
    setLabel(info->text(index), true);
    setEnabled(combo.isEnabled());
}

void ComboBoxItem::getPreferredSize(int& width, int& height) {
    const Font* font = getFont().get();
    width = getTextWidth() + 2 * (font ? font->averageWidth() : 0);
    height = (font ? font->externalLeading() + font->height() : 0) + 4;
}

void ComboBoxItem::draw(Graphics& g) {
    const Rect& b = getBounds();
    const Font* font = getFont().get();
    GuiColor::gui_color colour = GuiColor::window_text;
    if (!isEnabled()) {
        colour = GuiColor::gray_text;
    } else if (hot_) {
        g.setColor(GuiColor::selection);
        g.fillRect(b);
        colour = GuiColor::selection_text;
    }
    if (!font)
        return;
    int x, y;
    TextInput::textOrigin(b, font, 0, combo_.isBordered(), x, y);
    g.setColor(colour);
    g.drawString(getLabel(), font, x, b.y + font->descent() + font->externalLeading() / 2);
}

void ComboBoxItem::handleEvent(const Event& event) {
    switch (event.type) {
    case EventType::Enter:
    case EventType::Leave:
        hot_ = event.type == EventType::Enter;
        revalidate();
        break;
    case EventType::LeftUp:
        sendMessage(index_);
        Window::closeActivePopup();
        break;
    default:
        break;
    }
}

}  // namespace pellium
