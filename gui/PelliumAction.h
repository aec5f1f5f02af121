// The toolkit's standard commands (file, edit, view, window, tools and help)
// by numeric id, one shared instance per id, with the icons of the standard
// toolbar.
#pragma once

#include "gui/Action.h"
#include "gui/gl/Image.h"

namespace pellium {

class PelliumAction : public Action {
public:
    enum : int {
        file = 0x10000000,
        fileNew,
        fileOpen,
        fileSave,
        fileSaveAs,
        fileExit,
        edit = 0x10000064,
        editCopy,
        editCut,
        editPaste,
        editDelete,
        editUndo,
        editRedo,
        editSelectAll,
        view = 0x100000C8,
        windowMenu = 0x1000012C,
        tools = 0x10000190,
        help = 0x100001F4,
        helpContents,
        helpAbout
    };

    // The one instance for an id, made on first request and kept for the life
    // of the process. Any id works; one without a standard meaning has an
    // empty label and tooltip and no icon.
    static PelliumAction* get(int id);

    const char* label() const override;
    // Cut from the common controls' toolbar strip; without that library, the
    // picture stored in the program.
    const Image& icon() const override;
    const char* tooltip() const override;
    int id() const override { return id_; }

    // The icon of a standard id from a toolbar strip of square cells, the
    // colour of its top-left pixel made see-through; the stored picture when
    // the strip has no cell for it; empty for an id without an icon.
    static Image makeIcon(int id, const Image& strip);

private:
    explicit PelliumAction(int id) : id_(id) {}

    int id_;
    mutable Image icon_;
    mutable bool iconMade_ = false;
};

}  // namespace pellium
