// A group that shows all or one of its children, by mode: mode 1 shows every
// child while visitAll is set, mode 2 shows the selected child, any other mode
// shows nothing.
#pragma once

#include "scene/GroupBranch.h"

namespace kessa {

class SwitchBranch : public GroupBranch {
public:
    enum Mode : int { allOrNothing = 1, selectOne = 2 };

    explicit SwitchBranch(int mode);

    void traverse(Traverser& traverser) override;

    // An index below 0 shows the first child, one past the end the last.
    void select(int index) { selected_ = index; }
    void setVisitAll(bool on) { visitAll_ = on; }
    // Stored and written for the model library only.
    void setValue(double value) { value_ = value; }

    int mode() const { return mode_; }
    bool visitAll() const { return visitAll_; }
    int selected() const { return selected_; }
    double value() const { return value_; }

    // Stream block after the group's: 1 mode, 2 visitAll, 3 selected, 4 value.
    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::SwitchBranch"; }
    void write(orvel::DataDest& out) override;

private:
    int mode_;
    bool visitAll_ = true;
    int selected_ = 0;
    double value_ = 0;
};

}  // namespace kessa
