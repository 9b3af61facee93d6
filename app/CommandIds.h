#pragma once

#include <QString>

#include <array>

// The commands of the main window's menus, toolbar and accelerators. Each has a word that
// names its action ("fileOpen" gives "fileOpenAction"), so that tests find actions by name.
namespace Cmd {
enum Id : int {
    FileOpen = 1, // 0 stands for a separator in the layouts
    FileSave,
    FileSaveAs,
    EditCopy,
    AppAbout,
    AppExit,
    ProjectorList,
    Send,
    ImageInformation,
    TransmissionState,
    CancelTransmit,
    Schedule,
    Setting,
    Resize,
    ColourSaturation,
    Trimming,
    Convert,
    ColourResolution,
    UserEdit,
    Undo,
    FitToProjector,
    Redo,
    End // one past the last command
};

struct Word final {
    Id id;
    const char* word;
};

// One row per command, in the order of the ids.
inline constexpr std::array<Word, End - FileOpen> kWords{{
    {FileOpen, "fileOpen"},
    {FileSave, "fileSave"},
    {FileSaveAs, "fileSaveAs"},
    {EditCopy, "editCopy"},
    {AppAbout, "appAbout"},
    {AppExit, "appExit"},
    {ProjectorList, "projectorList"},
    {Send, "send"},
    {ImageInformation, "imageInformation"},
    {TransmissionState, "transmissionState"},
    {CancelTransmit, "cancelTransmit"},
    {Schedule, "schedule"},
    {Setting, "setting"},
    {Resize, "resize"},
    {ColourSaturation, "colourSaturation"},
    {Trimming, "trimming"},
    {Convert, "convert"},
    {ColourResolution, "colourResolution"},
    {UserEdit, "userEdit"},
    {Undo, "undo"},
    {FitToProjector, "fitToProjector"},
    {Redo, "redo"},
}};

constexpr bool wordsFollowIds() {
    for (size_t i = 0; i < kWords.size(); ++i) {
        if (kWords[i].id != static_cast<int>(i) + FileOpen) {
            return false;
        }
    }
    return true;
}
static_assert(wordsFollowIds(), "every command needs its row in kWords, in the order of the ids");

// The object name of a command's action, "fileOpenAction"; empty for a number that is no command.
inline QString actionName(int id) {
    if (id < FileOpen || id >= End) {
        return {};
    }
    return QString::fromLatin1(kWords[static_cast<size_t>(id - FileOpen)].word) + QStringLiteral("Action");
}
} // namespace Cmd
