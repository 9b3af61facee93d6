#include "app/MenuLayout.h"

#include "app/CommandIds.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QHash>

const QList<MenuLayout::Popup>& MenuLayout::mainMenu() {
    static const QList<Popup> menu = {
        {msg::MenuFile,
         {{Cmd::FileOpen, msg::MenuOpen},
          {Cmd::FileSaveAs, msg::MenuSaveAs},
          {Cmd::Convert, msg::MenuConvert},
          {Cmd::UserEdit, msg::MenuUserEdit},
          {0, {}},
          {Cmd::AppExit, msg::MenuExit}}},
        {msg::MenuEdit,
         {{Cmd::Undo, msg::MenuUndo},
          {Cmd::Redo, msg::MenuRedo},
          {0, {}},
          {Cmd::Resize, msg::MenuResize},
          {Cmd::ColourSaturation, msg::MenuColourSaturation},
          {Cmd::ColourResolution, msg::MenuColourResolution},
          {Cmd::Trimming, msg::MenuTrimming},
          {0, {}},
          {Cmd::FitToProjector, msg::MenuFitToProjector}}},
        {msg::MenuProjector,
         {{Cmd::ProjectorList, msg::MenuProjectorList},
          {Cmd::Send, msg::MenuSend},
          {0, {}},
          {Cmd::ImageInformation, msg::MenuImageInformation},
          {Cmd::TransmissionState, msg::MenuTransmissionState},
          {Cmd::CancelTransmit, msg::MenuCancelTransmission},
          {0, {}},
          {Cmd::Schedule, msg::MenuSchedule},
          {Cmd::Setting, msg::MenuSetting}}},
        {msg::MenuHelp, {{Cmd::AppAbout, msg::MenuAbout}}},
    };
    return menu;
}

const QList<int>& MenuLayout::toolbar() {
    static const QList<int> buttons = {
        Cmd::FileOpen,         Cmd::FileSaveAs, 0, Cmd::Undo,          Cmd::Resize, Cmd::ColourSaturation,
        Cmd::ColourResolution, Cmd::Trimming,   0, Cmd::ProjectorList, Cmd::Send,   0,
        Cmd::AppAbout};
    return buttons;
}

const QList<MenuLayout::Accelerator>& MenuLayout::accelerators() {
    static const QList<Accelerator> keys = {
        {Cmd::EditCopy, Qt::CTRL | Qt::Key_C}, {Cmd::FileOpen, Qt::CTRL | Qt::Key_O},
        {Cmd::FileSave, Qt::CTRL | Qt::Key_S}, {Cmd::Undo, Qt::CTRL | Qt::Key_Z},
        {Cmd::Redo, Qt::CTRL | Qt::Key_Y},     {Cmd::Redo, Qt::CTRL | Qt::SHIFT | Qt::Key_Z},
    };
    return keys;
}

MenuLayout::Prompt MenuLayout::promptFor(int id) {
    static const QHash<int, CatalogId> prompts = {
        {Cmd::ProjectorList, msg::PromptProjectorList},
        {Cmd::Send, msg::PromptSend},
        {Cmd::ImageInformation, msg::PromptImageInformation},
        {Cmd::TransmissionState, msg::PromptTransmissionState},
        {Cmd::CancelTransmit, msg::PromptCancel},
        {Cmd::Schedule, msg::PromptSchedule},
        {Cmd::Setting, msg::PromptSetting},
        {Cmd::Resize, msg::PromptResize},
        {Cmd::ColourSaturation, msg::PromptColourSaturation},
        {Cmd::Trimming, msg::PromptTrimming},
        {Cmd::Convert, msg::PromptConvert},
        {Cmd::ColourResolution, msg::PromptColourResolution},
        {Cmd::Undo, msg::PromptUndo},
        {Cmd::Redo, msg::PromptRedo},
        {Cmd::FileOpen, msg::PromptOpen},
        {Cmd::FileSave, msg::PromptSave},
        {Cmd::FileSaveAs, msg::PromptSaveAs},
        {Cmd::AppAbout, msg::PromptAbout},
        {Cmd::AppExit, msg::PromptExit},
        {Cmd::FitToProjector, msg::PromptFitToProjector},
    };
    const auto prompt = prompts.constFind(id);
    if (prompt == prompts.cend()) {
        return {};
    }
    const QString text = CatalogText(*prompt);
    return {text, text};
}
