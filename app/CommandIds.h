#pragma once

// Command ids of menus, toolbar and accelerators; they also name the actions
// ("cmd57601") so that tests find them.
namespace Cmd {
inline constexpr int FileOpen = 57601;
inline constexpr int FileSave = 57603;
inline constexpr int FileSaveAs = 57604;
inline constexpr int EditCopy = 57634;
inline constexpr int AppAbout = 57664;
inline constexpr int AppExit = 57665;
inline constexpr int ProjectorList = 32771;
inline constexpr int Send = 32772;
inline constexpr int ImageInformation = 32773;
inline constexpr int TransmissionState = 32774;
inline constexpr int CancelTransmit = 32775;
inline constexpr int Schedule = 32776;
inline constexpr int Setting = 32777;
inline constexpr int Resize = 32778;
inline constexpr int ColorSaturation = 32779;
inline constexpr int Trimming = 32780;
inline constexpr int Convert = 32781;
inline constexpr int ColorResolution = 32790;
inline constexpr int UserEdit = 32800;
inline constexpr int Undo = 32804;
inline constexpr int FitToProjector = 32830; // ours: no laid-out command had it
inline constexpr int Redo = 32831;           // ours too
inline constexpr int SizePane = 32798;
} // namespace Cmd
