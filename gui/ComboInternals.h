// The combo box's text, which owns the popup list while it is open, and its
// arrow button.
#pragma once

#include "base/Refcountable.h"
#include "gui/Button.h"
#include "gui/PopupController.h"

namespace pellium {

class ComboBox;
class ComboBoxInfo;
class ComboBoxList;

// The chosen entry's text; the owner of the popup list while it is open.
class ComboInternals : public Component, public PopupController {
public:
    ComboInternals(ComboBox& combo, ComboBoxInfo* info) : combo_(combo), info_(info) {}
    ~ComboInternals() override;

    // With entries: a new list below the box (above it when the screen ends
    // there), in place of one still open.
    void openPopup();
    void closePopup() override;
    // Whether c is shown in the open list.
    bool ownsComponent(Component* c, const Event& e) override;
    ComboBoxList* list() const { return list_.get(); }
    ComboBoxInfo* info() const { return info_; }

    void getPreferredSize(int& width, int& height) override;
    void draw(Graphics& g) override;
    void handleEvent(const Event& event) override;

private:
    ComboBox& combo_;
    ComboBoxInfo* info_;
    orvel::ref_ptr<ComboBoxList> list_;
};

class ComboButton : public Button {
public:
    explicit ComboButton(ComboInternals& internals) : internals_(internals) { setToolTipFromParent(true); }
    // Opens the popup and shows the button at rest.
    void press() override;
    // As wide as the text is high, less 4.
    void getPreferredSize(int& width, int& height) override;
    void getRenderInfo(int& kind, int& state) override;

private:
    ComboInternals& internals_;
};

}  // namespace pellium
