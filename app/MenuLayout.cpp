#include "app/MenuLayout.h"

#include "app/CommandIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/Placeholder.h"

#include <QHash>

const QList<MenuLayout::Popup>& MenuLayout::mainMenu() {
    static const QList<Popup> menu = {
        {"1;&File",
         {{Cmd::FileOpen, "2;&Open...\tCtrl+O"},
          {Cmd::FileSaveAs, "3;&Save As..."},
          {Cmd::Convert, "46;Con&vert..."},
          {Cmd::UserEdit, "19;User Edit"},
          {0, nullptr},
          {Cmd::AppExit, "4;E&xit"}}},
        {"5;&Edit",
         {{Cmd::Undo, "34;undo test\tCtrl+Z"},
          {Cmd::Redo, "99;&Redo\tCtrl+Y"},
          {0, nullptr},
          {Cmd::Resize, "6;&Resize..."},
          {Cmd::ColorSaturation, "7;&Color Saturation..."},
          {Cmd::ColorResolution, "8;C&olor Resolution..."},
          {Cmd::Trimming, "9;&Trimming"},
          {0, nullptr},
          {Cmd::FitToProjector, "45;&Fit to Projector..."}}},
        {"10;&Projector",
         {{Cmd::ProjectorList, "11;&Projector List..."},
          {Cmd::Send, "12;&Send..."},
          {0, nullptr},
          {Cmd::ImageInformation, "48;&Image Information..."},
          {Cmd::TransmissionState, "49;&Transmission State..."},
          {Cmd::CancelTransmit, "50;&Cancel Transmission..."},
          {0, nullptr},
          {Cmd::Schedule, "51;Sc&hedule..."},
          {Cmd::Setting, "52;Settin&g..."}}},
        {"17;&Help", {{Cmd::AppAbout, "18;&About Tessavel..."}}},
    };
    return menu;
}

const QList<int>& MenuLayout::toolbar() {
    static const QList<int> buttons = {
        Cmd::FileOpen,        Cmd::FileSaveAs, 0, Cmd::Undo,          Cmd::Resize, Cmd::ColorSaturation,
        Cmd::ColorResolution, Cmd::Trimming,   0, Cmd::ProjectorList, Cmd::Send,   0,
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

QString MenuLayout::promptString(int id) {
    static const QHash<int, const char*> strings = {
        {Cmd::ProjectorList, "27;Edit the Projector List\nProjector List"},
        {Cmd::Send, "44;Send the Image Data\nSend"},
        {Cmd::ImageInformation, "29;Get the Image Information\nImage Information"},
        {Cmd::TransmissionState, "30;Get the Transmission State\nTransmission State"},
        {Cmd::CancelTransmit, "31;Cancel the transmit\nCancel"},
        {Cmd::Schedule, "32;Set the Schedulet\nSchedule"},
        {Cmd::Setting, "61;Change the authentication setting\nSetting"},
        {Cmd::Resize, "20;Resize the active Image\nResize"},
        {Cmd::ColorSaturation, "24;Color Saturation the active Image\nColor Saturation"},
        {Cmd::Trimming, "26;Trimming the active Image\nTrimming"},
        {Cmd::Convert, "60;Convert the active Image\nConvert"},
        {Cmd::ColorResolution, "25;Color Resolution the active Image\nColor Resolution "},
        {Cmd::Undo, "43;ud"},
        {Cmd::Redo, "100;Redo the change that was undone"},
        {Cmd::FileOpen, "21;Open a Image file\nOpen"},
        {Cmd::FileSave, "63;Save the active Image\nSave"},
        {Cmd::FileSaveAs, "22;Save the active Image\nSave As"},
        {Cmd::AppAbout, "33;About\nAbout"},
        {Cmd::AppExit, "62;Exit Program\nExit"},
        {Cmd::FitToProjector, "47;Fit the picture to a projector\nFit to Projector"},
    };
    const char* s = strings.value(id, nullptr);
    return s != nullptr ? QString::fromLatin1(s) : QString();
}

MenuLayout::Prompt MenuLayout::promptFor(int id) {
    const QString laid = promptString(id);
    const qsizetype br = laid.indexOf(u'\n');
    const QString prompt = br >= 0 ? laid.left(br) : laid;
    if (const auto n = Placeholder::number(prompt)) {
        const QString text = CatalogText(53, static_cast<quint32>(*n));
        return {text, text};
    }
    return {prompt, br >= 0 ? laid.mid(br + 1) : QString()};
}
