// Something a tree view can show: whether it opens, its children, and the
// node that stands for it in the view, made when first asked for.
#pragma once

#include "base/counted_ptr.h"
#include "gui/TreeNode.h"

namespace pellium {

class TreeViewable {
public:
    virtual bool hasChildren() const = 0;
    virtual int childCount() const = 0;
    virtual TreeViewable* child(int i) = 0;
    virtual const orvel::counted_ptr<TreeNode>& treeNode() = 0;

protected:
    ~TreeViewable() = default;
};

}  // namespace pellium
