#include "PelliumAction.h"

#include <map>
#include <memory>

#include "gui/ActionIcons.h"
#include "gui/gl/ResourceModule.h"

namespace pellium {

namespace {

struct Standard {
    int id;
    const char* label;
    const char* tooltip;
    int cell;  // in the standard toolbar strip; -1: no icon
};

const Standard standards[] = {
    {PelliumAction::file, "!File", "", -1},
    {PelliumAction::fileNew, "!New...", "Create a new file", 6},
    {PelliumAction::fileOpen, "!Open...", "Open a file", 7},
    {PelliumAction::fileSave, "!Save", "Save this file to disk", 8},
    {PelliumAction::fileSaveAs, "Save !as...", "Save this file under a different name", -1},
    {PelliumAction::fileExit, "E!xit", "Exit the program", -1},
    {PelliumAction::edit, "!Edit", "", -1},
    {PelliumAction::editCopy, "!Copy", "Copy selection", 1},
    {PelliumAction::editCut, "Cu!t", "Cut selection", 0},
    {PelliumAction::editPaste, "!Paste", "Paste", 2},
    {PelliumAction::editDelete, "!Delete", "Delete items", 5},
    {PelliumAction::editUndo, "!Undo", "Undo previous action", 3},
    {PelliumAction::editRedo, "!Redo", "Redo action", 4},
    {PelliumAction::editSelectAll, "Select all", "", -1},
    {PelliumAction::view, "!View", "", -1},
    {PelliumAction::windowMenu, "!Window", "", -1},
    {PelliumAction::tools, "!Tools", "", -1},
    {PelliumAction::help, "!Help", "", -1},
    {PelliumAction::helpContents, "!Help", "Online documentation", -1},
    {PelliumAction::helpAbout, "!About...", "About this program...", -1},
};

const Standard* standardOf(int id) {
    for (const Standard& s : standards)
        if (s.id == id)
            return &s;
    return nullptr;
}

// The common controls' small colour toolbar strip, read once; empty when the
// library or its bitmap is missing.
const Image& commonStrip() {
    static const Image strip = [] {
        const ResourceModule* module = ResourceModule::find("comctl32.dll");
        const ResourceModule::Bitmap* bitmap = module ? module->bitmap(standardSmallColourBitmap) : nullptr;
        return bitmap ? decodeDib(bitmap->data(), bitmap->size()) : Image();
    }();
    return strip;
}

}  // namespace

PelliumAction* PelliumAction::get(int id) {
    static std::map<int, std::unique_ptr<PelliumAction>> actions;
    std::unique_ptr<PelliumAction>& slot = actions[id];
    if (!slot)
        slot.reset(new PelliumAction(id));
    return slot.get();
}

const char* PelliumAction::label() const {
    const Standard* s = standardOf(id_);
    return s ? s->label : "";
}

const char* PelliumAction::tooltip() const {
    const Standard* s = standardOf(id_);
    return s ? s->tooltip : "";
}

const Image& PelliumAction::icon() const {
    if (!iconMade_) {
        icon_ = makeIcon(id_, commonStrip());
        iconMade_ = true;
    }
    return icon_.empty() ? Action::icon() : icon_;
}

Image PelliumAction::makeIcon(int id, const Image& strip) {
    const Standard* s = standardOf(id);
    if (!s || s->cell < 0)
        return Image();
    const int h = strip.height();
    if (!strip.empty() && (s->cell == 0 ? strip.width() > 0 : s->cell * h < strip.width())) {
        Image icon(strip, s->cell * h, 0, h, h);
        icon.keyOutCornerColour();
        return icon;
    }
    return storedToolbarIcon(s->cell);
}

}  // namespace pellium
