#pragma once
// The designer's side of the model: the editor procedures objects open from
// the inspector and their popup menus, and the few designer services their
// popup commands use. The designer installs them when it is shown; until
// then every hook is unset and the objects simply do not offer the editor.

#include <QImage>
#include <functional>
#include <string>
#include <vector>

class TfrView;

using TfrEditorHook = std::function<void(TfrView& view)>;

struct TfrDesignerEditorHooks {
    TfrEditorHook EditTagHook;
    TfrEditorHook EditMemoHook;
    TfrEditorHook EditRestrictionsHook;
    TfrEditorHook EditFontHook;
    TfrEditorHook EditHighlightHook;
    TfrEditorHook EditCrossSourceHook;
    TfrEditorHook EditBandSourceHook;
    TfrEditorHook EditPictureHook;
    TfrEditorHook EditDataFieldHook;
    // Shows the display-format dialog for the code and text; true on OK.
    std::function<bool(int& formatCode, std::string& formatText)> EditFormatHook;

    // Designer services used by the popup commands.
    std::function<void()> RecordEditUndo;
    std::function<void()> RefreshSelection;
    std::function<std::vector<TfrView*>()> SelectedObjects;

    // Band look: the title tabs option and the hatch the band area is filled with.
    bool ShowBandTitles = true;
    QImage BandHatch;
    // The placeholder picture of an empty picture object.
    QImage EmptyPicture;
};

TfrDesignerEditorHooks& DesignerEditorHooks();

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
