// A node of a tree view: the text the view shows for one thing in its tree.
// Counted, so that the view and the thing it stands for can both hold it.
#pragma once

#include "base/orvel_string.h"

namespace pellium {

class TreeNode {
public:
    const orvel_string& text() const { return text_; }
    void setText(const orvel_string& text) { text_ = text; }

private:
    orvel_string text_;
};

}  // namespace pellium
