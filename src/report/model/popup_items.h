#pragma once
// The designer's popup menu of an object, as the object describes it. The
// designer turns the list into its menu; choosing an item calls OnClick.

#include <functional>
#include <string>
#include <vector>

// One entry of an object's popup menu in the designer. The designer turns the
// list into its menu; choosing an item calls OnClick.
struct TfrPopupItem {
    std::string Caption; // CP936; empty for a separator
    bool Separator = false;
    bool Checkable = false;
    bool Checked = false;
    bool Enabled = true;
    std::function<void()> OnClick;
};

using TfrPopupMenu = std::vector<TfrPopupItem>;
