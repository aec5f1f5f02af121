// What a combo box lists: the application object that knows the entries.
#pragma once

namespace pellium {

class ComboBoxInfo {
public:
    virtual ~ComboBoxInfo() = default;
    virtual int count() = 0;
    virtual const char* text(int index) = 0;
};

}  // namespace pellium
