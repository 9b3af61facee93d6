#pragma once

#include "i18n/CatalogId.h"

// Every catalog text the program looks up by number.
namespace msg {
inline constexpr CatalogId ImgCancel{7, 10};
inline constexpr CatalogId ImgOpenTitle{7, 32};
inline constexpr CatalogId ImgLookIn{7, 33};
inline constexpr CatalogId ImgFileName{7, 34};
inline constexpr CatalogId ImgFilesOfType{7, 35};
inline constexpr CatalogId ImgShowPreview{7, 36};
inline constexpr CatalogId ImgImageProperties{7, 37};
inline constexpr CatalogId ImgFormat{7, 38};
inline constexpr CatalogId ImgDimensions{7, 39};
inline constexpr CatalogId ImgFileSize{7, 40};
inline constexpr CatalogId ImgHelp{7, 41};

inline constexpr CatalogId AboutDlgTitle{9, 1};
inline constexpr CatalogId AboutVersion{9, 2};
inline constexpr CatalogId AddProjectorDlgTitle{9, 3};
inline constexpr CatalogId LabelProjectorName{9, 4};
inline constexpr CatalogId LabelMacAddress{9, 5};
inline constexpr CatalogId LabelIpAddress{9, 6};
inline constexpr CatalogId CheckAuthentication{9, 7};
inline constexpr CatalogId LabelPassword{9, 8};
inline constexpr CatalogId ColumnFileName{9, 13};
inline constexpr CatalogId ButtonExecute{9, 17};
inline constexpr CatalogId ButtonClose{9, 18};
inline constexpr CatalogId CancelDlgTitle{9, 19};
inline constexpr CatalogId LabelStoreNo{9, 20};
inline constexpr CatalogId DiscoveryDlgTitle{9, 21};
inline constexpr CatalogId LabelLocalAddress{9, 22};
inline constexpr CatalogId ButtonStartSearch{9, 23};
inline constexpr CatalogId ButtonRegister{9, 24};
inline constexpr CatalogId ButtonCancel{9, 25};
inline constexpr CatalogId ImageInfoDlgTitle{9, 26};
inline constexpr CatalogId ButtonGet{9, 27};
inline constexpr CatalogId ProjectorListDlgTitle{9, 28};
inline constexpr CatalogId ButtonAdd{9, 29};
inline constexpr CatalogId ButtonDelete{9, 30};
inline constexpr CatalogId ButtonEdit{9, 31};
inline constexpr CatalogId ButtonDiscovery{9, 32};
inline constexpr CatalogId ScheduleDlgTitle{9, 33};
inline constexpr CatalogId ButtonInsert{9, 34};
inline constexpr CatalogId ButtonLoadFile{9, 35};
inline constexpr CatalogId ButtonSaveFile{9, 36};
inline constexpr CatalogId ButtonStop{9, 37};
inline constexpr CatalogId CheckLoop{9, 38};
inline constexpr CatalogId InsertDlgTitle{9, 39};
inline constexpr CatalogId LabelProjectorIpAddress{9, 40};
inline constexpr CatalogId LabelImageFileName{9, 41};
inline constexpr CatalogId LabelInterval{9, 42};
inline constexpr CatalogId ButtonSelect{9, 43};
inline constexpr CatalogId ButtonBrowse{9, 44};
inline constexpr CatalogId SettingDlgTitle{9, 45};
inline constexpr CatalogId TransStateDlgTitle{9, 46};
inline constexpr CatalogId SelectProjectorDlgTitle{9, 47};
inline constexpr CatalogId AppTitle{9, 58};
inline constexpr CatalogId ConfirmExit{9, 59};
inline constexpr CatalogId AskSaveBeforeOpen{9, 60};
inline constexpr CatalogId OpenImageFailed{9, 61};
inline constexpr CatalogId FileDialogFailed{9, 62};
inline constexpr CatalogId SendScheduleRunning{9, 63};
inline constexpr CatalogId SendNoImage{9, 64};
inline constexpr CatalogId SendUnsavedImage{9, 65};
inline constexpr CatalogId SendFailed{9, 66};
inline constexpr CatalogId ReplyTimeout{9, 67};
inline constexpr CatalogId CancelSucceeded{9, 68};
inline constexpr CatalogId CommandRejected{9, 69};
inline constexpr CatalogId CancelRefused{9, 70};
inline constexpr CatalogId ProjectorBusy{9, 71};
inline constexpr CatalogId ReplyNotUnderstood{9, 72};
inline constexpr CatalogId DiscoverySendFailed{9, 73};
inline constexpr CatalogId DiscoveryJoinFailed{9, 74};
inline constexpr CatalogId DiscoveryTtlFailed{9, 75};
inline constexpr CatalogId AskOverwriteProjector{9, 76};
inline constexpr CatalogId StoreEmpty{9, 77};
inline constexpr CatalogId LengthUnit{9, 78};
inline constexpr CatalogId StoreInfoUnreadable{9, 79};
inline constexpr CatalogId AccessDenied{9, 80};
inline constexpr CatalogId StateReplyTimeout{9, 81};
inline constexpr CatalogId TransStateIdle{9, 82};
inline constexpr CatalogId TransStateWaiting{9, 83};
inline constexpr CatalogId TransStateReceiving{9, 84};
inline constexpr CatalogId TransStateStoring{9, 85};
inline constexpr CatalogId TransStateCompleted{9, 86};
inline constexpr CatalogId TransStateFailed{9, 87};
inline constexpr CatalogId StateUnavailable{9, 88};
inline constexpr CatalogId EntryFileUnreadable{9, 89};
inline constexpr CatalogId EntryFileSizeInvalid{9, 90};
inline constexpr CatalogId EntryNotQv1{9, 91};
inline constexpr CatalogId EntryPictureSizeInvalid{9, 92};
inline constexpr CatalogId EntryNotSchedulable{9, 93};
inline constexpr CatalogId EntryAddressUnknown{9, 94};
inline constexpr CatalogId EditProjectorDlgTitle{9, 95};
inline constexpr CatalogId StatusCancelRunning{9, 96};
inline constexpr CatalogId StatusCancelDone{9, 97};
inline constexpr CatalogId StatusCancelFailed{9, 98};
inline constexpr CatalogId StatusSearching{9, 99};
inline constexpr CatalogId StatusSearchDone{9, 100};
inline constexpr CatalogId StatusInfoRunning{9, 101};
inline constexpr CatalogId StatusInfoDone{9, 102};
inline constexpr CatalogId StatusInfoFailed{9, 103};
inline constexpr CatalogId StatusStateRunning{9, 104};
inline constexpr CatalogId StatusStateDone{9, 105};
inline constexpr CatalogId StatusStateFailed{9, 106};
inline constexpr CatalogId ColumnAuthentication{9, 107};
inline constexpr CatalogId ColumnEntryAddress{9, 108};
inline constexpr CatalogId ColumnEntryImageFile{9, 109};
inline constexpr CatalogId ColumnEntryStore{9, 110};
inline constexpr CatalogId ColumnEntryInterval{9, 111};
inline constexpr CatalogId ColumnStatus{9, 112};
inline constexpr CatalogId ImgColourResolutionTitle{9, 113};
inline constexpr CatalogId ImgBitsPerPixel{9, 114};
inline constexpr CatalogId ImgBits1{9, 115};
inline constexpr CatalogId ImgBits2{9, 116};
inline constexpr CatalogId ImgBits4{9, 117};
inline constexpr CatalogId ImgBits8{9, 118};
inline constexpr CatalogId ImgBits24{9, 119};
inline constexpr CatalogId ImgPalette{9, 120};
inline constexpr CatalogId ImgPaletteOptimized{9, 121};
inline constexpr CatalogId ImgPaletteFixed{9, 122};
inline constexpr CatalogId ImgPaletteUniform{9, 123};
inline constexpr CatalogId ImgPaletteWeb{9, 124};
inline constexpr CatalogId ImgPaletteGrayscale{9, 125};
inline constexpr CatalogId ImgPaletteUser{9, 126};
inline constexpr CatalogId ImgDither{9, 127};
inline constexpr CatalogId ImgDitherNone{9, 128};
inline constexpr CatalogId ImgDitherFloydSteinberg{9, 129};
inline constexpr CatalogId ImgDitherOrdered{9, 130};
inline constexpr CatalogId ImgColourCount{9, 131};
inline constexpr CatalogId ImgUserPaletteColours{9, 132};
inline constexpr CatalogId ImgEditColour{9, 133};
inline constexpr CatalogId ImgLoadPalette{9, 134};
inline constexpr CatalogId ImgSavePalette{9, 135};
inline constexpr CatalogId ImgColour{9, 136};
inline constexpr CatalogId ImgRed{9, 137};
inline constexpr CatalogId ImgGreen{9, 138};
inline constexpr CatalogId ImgBlue{9, 139};
inline constexpr CatalogId ImgPaletteIndex{9, 140};
inline constexpr CatalogId ImgRestoreDefaults{9, 141};
inline constexpr CatalogId ImgColoursInUse{9, 142};
inline constexpr CatalogId ImgErrorDiffusion{9, 143};
inline constexpr CatalogId ImgDiffusionStrength{9, 144};
inline constexpr CatalogId ImgReserveSystemColours{9, 145};
inline constexpr CatalogId ImgOriginal{9, 146};
inline constexpr CatalogId ImgResult{9, 147};
inline constexpr CatalogId ImgSortPalette{9, 148};
inline constexpr CatalogId ImgShowPalette{9, 149};
inline constexpr CatalogId ImgFileInformation{9, 150};
inline constexpr CatalogId ImgWidthPixels{9, 151};
inline constexpr CatalogId ImgHeightPixels{9, 152};
inline constexpr CatalogId ImgColourDepth{9, 153};
inline constexpr CatalogId ImgCompression{9, 154};
inline constexpr CatalogId ImgPageCount{9, 155};
inline constexpr CatalogId ImgResolution{9, 156};
inline constexpr CatalogId ImgPageNumber{9, 157};
inline constexpr CatalogId ImgLoadAllPages{9, 158};
inline constexpr CatalogId ImgLoadAsGrayscale{9, 159};
inline constexpr CatalogId ImgPreviousPage{9, 160};
inline constexpr CatalogId ImgNextPage{9, 161};
inline constexpr CatalogId ImgThumbnail{9, 162};
inline constexpr CatalogId ImgSavingOptionsTitle{9, 163};
inline constexpr CatalogId ImgFileFormat{9, 164};
inline constexpr CatalogId ImgSubFormat{9, 165};
inline constexpr CatalogId ImgBitDepth{9, 166};
inline constexpr CatalogId ImgQuality{9, 167};
inline constexpr CatalogId ImgCompressionLevel{9, 168};
inline constexpr CatalogId ImgMultipageOption{9, 169};
inline constexpr CatalogId ImgSaveToFile{9, 170};
inline constexpr CatalogId ImgInterlaced{9, 171};
inline constexpr CatalogId ImgResizeTitle{9, 172};
inline constexpr CatalogId ImgCurrentSize{9, 173};
inline constexpr CatalogId ImgWidth{9, 174};
inline constexpr CatalogId ImgHeight{9, 175};
inline constexpr CatalogId ImgPixels{9, 176};
inline constexpr CatalogId ImgPercent{9, 177};
inline constexpr CatalogId ImgHorizontalDpi{9, 178};
inline constexpr CatalogId ImgVerticalDpi{9, 179};
inline constexpr CatalogId ImgNewSize{9, 180};
inline constexpr CatalogId ImgKeepAspectRatio{9, 181};
inline constexpr CatalogId ImgResampling{9, 182};
inline constexpr CatalogId ImgNearestNeighbor{9, 183};
inline constexpr CatalogId ImgBilinear{9, 184};
inline constexpr CatalogId ImgBicubic{9, 185};
inline constexpr CatalogId ImgLanczos{9, 186};
inline constexpr CatalogId ImgSaturationTitle{9, 187};
inline constexpr CatalogId ImgSaturation{9, 188};
inline constexpr CatalogId ImgApply{9, 189};
inline constexpr CatalogId ImgReset{9, 190};
inline constexpr CatalogId ImgPreview{9, 191};
inline constexpr CatalogId ImgYes{9, 192};
inline constexpr CatalogId ImgNo{9, 193};
inline constexpr CatalogId ImgSaturationValue{9, 194};
inline constexpr CatalogId ImgLessSaturated{9, 195};
inline constexpr CatalogId ImgMoreSaturated{9, 196};
inline constexpr CatalogId ImgBefore{9, 197};
inline constexpr CatalogId ImgAfter{9, 198};
inline constexpr CatalogId ImgAutoPreview{9, 199};
inline constexpr CatalogId ImgOpen{9, 200};
inline constexpr CatalogId ImgOptions{9, 201};
inline constexpr CatalogId ImgProgressTitle{9, 202};
inline constexpr CatalogId ImgPleaseWait{9, 203};
inline constexpr CatalogId ImgLoadingImage{9, 204};
inline constexpr CatalogId ImgSavingImage{9, 205};
inline constexpr CatalogId ImgProcessingImage{9, 206};
inline constexpr CatalogId ImgElapsedTime{9, 207};
inline constexpr CatalogId ImgTimeRemaining{9, 208};
inline constexpr CatalogId ImgPercentComplete{9, 209};
inline constexpr CatalogId ImgCancelOperation{9, 210};
inline constexpr CatalogId ImgOperationComplete{9, 211};
inline constexpr CatalogId ImgOperationFailed{9, 212};
inline constexpr CatalogId EditedDocumentTitle{9, 213};
inline constexpr CatalogId OpenImageDlgTitle{9, 214};
inline constexpr CatalogId BrowseImageDlgTitle{9, 215};
inline constexpr CatalogId EntryStoreText{9, 216};
inline constexpr CatalogId EntryTemporaryText{9, 217};
inline constexpr CatalogId EntryStatusNotRun{9, 218};
inline constexpr CatalogId EntryStatusExecuting{9, 219};
inline constexpr CatalogId EntryStatusDone{9, 220};
inline constexpr CatalogId EntryStatusFailed{9, 221};
inline constexpr CatalogId AuthenticationOn{9, 222};
inline constexpr CatalogId AuthenticationOff{9, 223};
inline constexpr CatalogId LoadScheduleDlgTitle{9, 224};
inline constexpr CatalogId SaveScheduleDlgTitle{9, 225};
inline constexpr CatalogId SaveAsDlgTitle{9, 226};
inline constexpr CatalogId ConvertDlgTitle{9, 227};
inline constexpr CatalogId DropOneFileOnly{9, 228};
inline constexpr CatalogId DropOpenFailed{9, 229};
inline constexpr CatalogId SizePaneText{9, 230};
inline constexpr CatalogId StoreInfoDlgTitle{9, 231};
inline constexpr CatalogId StoreSizeText{9, 238};
inline constexpr CatalogId StoreSizeNone{9, 239};
inline constexpr CatalogId WaitImageInfo{9, 240};
inline constexpr CatalogId ColumnSize{9, 241};
inline constexpr CatalogId ButtonCancelTransmit{9, 242};
inline constexpr CatalogId StoreStateDlgTitle{9, 243};
inline constexpr CatalogId WaitTransState{9, 244};
inline constexpr CatalogId ColumnCancelResult{9, 245};
inline constexpr CatalogId AskDeleteProjectors{9, 246};
inline constexpr CatalogId ColumnMacAddress{9, 300};
inline constexpr CatalogId ButtonFormCancel{9, 301};
inline constexpr CatalogId ButtonOk{9, 302};
inline constexpr CatalogId ProjectorListSaveFailed{9, 400};
inline constexpr CatalogId ScheduleSaveFailed{9, 401};
inline constexpr CatalogId ScheduleFileTruncated{9, 402};
inline constexpr CatalogId AuthSettingSaveFailed{9, 403};
inline constexpr CatalogId ImageSaveFailed{9, 404};
inline constexpr CatalogId ScheduleReadFailed{9, 405};
inline constexpr CatalogId LoginDlgTitle{9, 500};
inline constexpr CatalogId LabelUserName{9, 501};
inline constexpr CatalogId LabelUserPassword{9, 502};
inline constexpr CatalogId LabelRepeatPassword{9, 503};
inline constexpr CatalogId ButtonUserAdministration{9, 504};
inline constexpr CatalogId LoginHint{9, 505};
inline constexpr CatalogId FirstAdminDlgTitle{9, 506};
inline constexpr CatalogId FirstAdminHint{9, 507};
inline constexpr CatalogId LoginWrong{9, 508};
inline constexpr CatalogId UsersFileUnusable{9, 509};
inline constexpr CatalogId PasswordsDiffer{9, 510};
inline constexpr CatalogId PasswordRules{9, 511};
inline constexpr CatalogId UserNameRules{9, 512};
inline constexpr CatalogId UserExists{9, 513};
inline constexpr CatalogId UserUnknown{9, 514};
inline constexpr CatalogId LastAdministrator{9, 515};
inline constexpr CatalogId FirstUserMustBeAdministrator{9, 516};
inline constexpr CatalogId UsersAlreadyCreated{9, 517};
inline constexpr CatalogId UsersSaveFailed{9, 518};
inline constexpr CatalogId PasswordHashFailed{9, 519};
inline constexpr CatalogId LoginLockedOut{9, 520};
inline constexpr CatalogId UserCfgDlgTitle{9, 521};
inline constexpr CatalogId RoleAdministrator{9, 522};
inline constexpr CatalogId RoleUser{9, 523};
inline constexpr CatalogId ColumnRole{9, 524};
inline constexpr CatalogId ButtonSignIn{9, 525};
inline constexpr CatalogId UserCfgSignInHint{9, 526};
inline constexpr CatalogId UserCfgSignedInAs{9, 527};
inline constexpr CatalogId ButtonAddUser{9, 528};
inline constexpr CatalogId ButtonRemoveUser{9, 529};
inline constexpr CatalogId ButtonChangePassword{9, 530};
inline constexpr CatalogId AdministratorRequired{9, 531};
inline constexpr CatalogId AskRemoveUser{9, 532};
inline constexpr CatalogId SelectUserFirst{9, 533};
inline constexpr CatalogId PasswordChanged{9, 534};
inline constexpr CatalogId CtlUsage{9, 550};
inline constexpr CatalogId CtlUnknownCommand{9, 551};
inline constexpr CatalogId CtlBadAddress{9, 552};
inline constexpr CatalogId CtlBadStore{9, 553};
inline constexpr CatalogId CtlMissingValue{9, 554};
inline constexpr CatalogId CtlInputUnreadable{9, 555};
inline constexpr CatalogId ConnectTimedOut{9, 556};
inline constexpr CatalogId UploadSucceeded{9, 557};
inline constexpr CatalogId UploadFileUnreadable{9, 558};
inline constexpr CatalogId UploadFileEmpty{9, 559};
inline constexpr CatalogId UploadRefused{9, 560};
inline constexpr CatalogId DiscoverySocketFailed{9, 561};
inline constexpr CatalogId DiscoveryBindFailed{9, 562};
inline constexpr CatalogId DiscoveryFoundCount{9, 563};
inline constexpr CatalogId ScheduleStopped{9, 564};
inline constexpr CatalogId ScheduleEnded{9, 565};
inline constexpr CatalogId CtlAuthConflict{9, 566};
inline constexpr CatalogId CtlNoAddress{9, 567};
inline constexpr CatalogId UploadConnecting{9, 568};
inline constexpr CatalogId UploadSent{9, 569};
inline constexpr CatalogId UploadWaiting{9, 570};
inline constexpr CatalogId ProjectorListEmpty{9, 571};
inline constexpr CatalogId CtlUnknownOption{9, 572};
inline constexpr CatalogId ScheduleHasNoEntries{9, 573};
inline constexpr CatalogId ConvertUsage{9, 450};
inline constexpr CatalogId ConvertReadFailed{9, 451};
inline constexpr CatalogId ConvertWriteFailed{9, 452};
inline constexpr CatalogId ConvertWrote{9, 453};
inline constexpr CatalogId ConvertFitted{9, 454};
inline constexpr CatalogId ConvertNotSendable{9, 455};
inline constexpr CatalogId ConvertNeedsQv1{9, 456};
inline constexpr CatalogId ConvertPictureSizeInvalid{9, 457};
inline constexpr CatalogId ConvertFileSizeInvalid{9, 458};
inline constexpr CatalogId ConvertFileUnreadable{9, 459};
inline constexpr CatalogId ConvertNotQv1File{9, 460};
inline constexpr CatalogId ConvertTryFit{9, 461};
inline constexpr CatalogId ImagingOk{9, 470};
inline constexpr CatalogId ImagingNoPicture{9, 471};
inline constexpr CatalogId ImagingCannotOpen{9, 472};
inline constexpr CatalogId ImagingEmptyFile{9, 473};
inline constexpr CatalogId ImagingUnknownFormat{9, 474};
inline constexpr CatalogId ImagingTooManyPixels{9, 475};
inline constexpr CatalogId ImagingDecodeFailed{9, 476};
inline constexpr CatalogId ImagingBadArgument{9, 477};
inline constexpr CatalogId ImagingUnsupportedFormat{9, 478};
inline constexpr CatalogId ImagingEncodeFailed{9, 479};
inline constexpr CatalogId ImagingWriteFailed{9, 480};
inline constexpr CatalogId ImagingNotQv1Name{9, 481};
inline constexpr CatalogId ImagingDoesNotFit{9, 482};
inline constexpr CatalogId ImagingOutOfMemory{9, 483};
inline constexpr CatalogId FitDlgTitle{9, 484};
inline constexpr CatalogId FitLabelSize{9, 485};
inline constexpr CatalogId FitLabelScale{9, 486};
inline constexpr CatalogId FitLabelColours{9, 487};
inline constexpr CatalogId FitLabelDither{9, 488};
inline constexpr CatalogId FitLabelSmoothing{9, 489};
inline constexpr CatalogId FitLabelTolerance{9, 490};
inline constexpr CatalogId FitLabelFileSize{9, 491};
inline constexpr CatalogId FitFileSizeText{9, 492};
inline constexpr CatalogId FitLabelQuality{9, 493};
inline constexpr CatalogId FitQualityIdentical{9, 494};
inline constexpr CatalogId FitNone{9, 495};
inline constexpr CatalogId FitCaptionReference{9, 496};
inline constexpr CatalogId FitCaptionShown{9, 497};
inline constexpr CatalogId FitButtonUse{9, 498};
inline constexpr CatalogId FitLabelCandidates{9, 499};

inline constexpr CatalogId ColumnIpAddress{11, 34};
inline constexpr CatalogId ColumnProjectorName{11, 41};

inline constexpr CatalogId MenuFile{53, 1};
inline constexpr CatalogId MenuOpen{53, 2};
inline constexpr CatalogId MenuSaveAs{53, 3};
inline constexpr CatalogId MenuExit{53, 4};
inline constexpr CatalogId MenuEdit{53, 5};
inline constexpr CatalogId MenuResize{53, 6};
inline constexpr CatalogId MenuColourSaturation{53, 7};
inline constexpr CatalogId MenuColourResolution{53, 8};
inline constexpr CatalogId MenuTrimming{53, 9};
inline constexpr CatalogId MenuProjector{53, 10};
inline constexpr CatalogId MenuProjectorList{53, 11};
inline constexpr CatalogId MenuSend{53, 12};
inline constexpr CatalogId MenuHelp{53, 17};
inline constexpr CatalogId MenuAbout{53, 18};
inline constexpr CatalogId MenuUserEdit{53, 19};
inline constexpr CatalogId PromptResize{53, 20};
inline constexpr CatalogId PromptOpen{53, 21};
inline constexpr CatalogId PromptSaveAs{53, 22};
inline constexpr CatalogId PromptColourSaturation{53, 24};
inline constexpr CatalogId PromptColourResolution{53, 25};
inline constexpr CatalogId PromptTrimming{53, 26};
inline constexpr CatalogId PromptProjectorList{53, 27};
inline constexpr CatalogId PromptImageInformation{53, 29};
inline constexpr CatalogId PromptTransmissionState{53, 30};
inline constexpr CatalogId PromptCancel{53, 31};
inline constexpr CatalogId PromptSchedule{53, 32};
inline constexpr CatalogId PromptAbout{53, 33};
inline constexpr CatalogId MenuUndo{53, 34};
inline constexpr CatalogId MenuListAdd{53, 35};
inline constexpr CatalogId MenuListDelete{53, 36};
inline constexpr CatalogId MenuListDiscovery{53, 37};
inline constexpr CatalogId MenuListEdit{53, 38};
inline constexpr CatalogId MenuImage{53, 39};
inline constexpr CatalogId MenuListGetStatus{53, 40};
inline constexpr CatalogId MenuListImageInfo{53, 41};
inline constexpr CatalogId MenuListClose{53, 42};
inline constexpr CatalogId PromptUndo{53, 43};
inline constexpr CatalogId PromptSend{53, 44};

inline constexpr CatalogId LoginFailedThreeTimes{2201, 1000};
inline constexpr CatalogId UserToolMissing{2201, 1001};

inline constexpr CatalogId MenuFitToProjector{53, 45};
inline constexpr CatalogId MenuConvert{53, 46};
inline constexpr CatalogId PromptFitToProjector{53, 47};
inline constexpr CatalogId FitInProgress{9, 440};
inline constexpr CatalogId FitFailed{9, 441};
inline constexpr CatalogId EditFailed{9, 442};
// Command history
inline constexpr CatalogId HistoryWriteFailed{9, 790};
inline constexpr CatalogId HistoryDamaged{9, 791};
inline constexpr CatalogId HistoryLocked{9, 792};
inline constexpr CatalogId HistoryReadFailed{9, 793};
inline constexpr CatalogId CtlHistoryUsage{9, 794};
inline constexpr CatalogId CtlBadDate{9, 795};
inline constexpr CatalogId HistoryDlgTitle{9, 796};
inline constexpr CatalogId HistoryColumnTime{9, 797};
inline constexpr CatalogId HistoryColumnUser{9, 798};
inline constexpr CatalogId HistoryColumnProjector{9, 799};
inline constexpr CatalogId HistoryColumnAddress{9, 800};
inline constexpr CatalogId HistoryColumnCommand{9, 801};
inline constexpr CatalogId HistoryColumnStore{9, 802};
inline constexpr CatalogId HistoryColumnFile{9, 803};
inline constexpr CatalogId HistoryColumnResult{9, 804};
inline constexpr CatalogId HistoryColumnTook{9, 805};
inline constexpr CatalogId HistoryFilterAll{9, 806};
inline constexpr CatalogId HistoryOutcomeSucceeded{9, 807};
inline constexpr CatalogId HistoryOutcomeFailed{9, 808};
inline constexpr CatalogId HistoryLabelSince{9, 809};
inline constexpr CatalogId HistoryLabelUntil{9, 810};
inline constexpr CatalogId HistoryButtonExport{9, 811};
inline constexpr CatalogId HistoryExportFailed{9, 812};
inline constexpr CatalogId HistoryLabelProjector{9, 813};
inline constexpr CatalogId HistoryLabelCommand{9, 814};
inline constexpr CatalogId HistoryLabelResult{9, 815};
inline constexpr CatalogId HistoryCount{9, 816};
inline constexpr CatalogId HistoryLoading{9, 817};
inline constexpr CatalogId MenuImageInformation{53, 48};
inline constexpr CatalogId MenuTransmissionState{53, 49};
inline constexpr CatalogId MenuCancelTransmission{53, 50};
inline constexpr CatalogId MenuSchedule{53, 51};
inline constexpr CatalogId MenuSetting{53, 52};
// Texts that showed English in the Chinese window
inline constexpr CatalogId PromptConvert{53, 60};
inline constexpr CatalogId PromptSetting{53, 61};
inline constexpr CatalogId PromptExit{53, 62};
inline constexpr CatalogId PromptSave{53, 63};
inline constexpr CatalogId ToolbarStandard{53, 64};
inline constexpr CatalogId ResizeFavourBlack{9, 600};
inline constexpr CatalogId AboutCopyright{9, 601};

// Interactive send
inline constexpr CatalogId SendDlgTitle{9, 720};
inline constexpr CatalogId SendColumnStatus{9, 721};
inline constexpr CatalogId SendSelectAll{9, 722};
inline constexpr CatalogId SendSelectNone{9, 723};
inline constexpr CatalogId SendButtonSend{9, 724};
inline constexpr CatalogId SendRetryFailed{9, 725};
inline constexpr CatalogId SendStop{9, 726};
inline constexpr CatalogId SendVerify{9, 727};
inline constexpr CatalogId SendRowWaiting{9, 728};
inline constexpr CatalogId SendRowConnecting{9, 729};
inline constexpr CatalogId SendRowSending{9, 730};
inline constexpr CatalogId SendRowVerdict{9, 731};
inline constexpr CatalogId SendRowVerifying{9, 732};
inline constexpr CatalogId SendRowVerified{9, 733};
inline constexpr CatalogId SendRowDelivered{9, 734};
inline constexpr CatalogId SendRowMismatch{9, 735};
inline constexpr CatalogId SendRowCheckFailed{9, 736};
inline constexpr CatalogId SendRowEmptyStore{9, 737};
inline constexpr CatalogId SendRowStopped{9, 738};
inline constexpr CatalogId SendOutAccessRefused{9, 739};
inline constexpr CatalogId SendOutBusy{9, 740};
inline constexpr CatalogId SendOutRefused{9, 741};
inline constexpr CatalogId SendOutRejected{9, 742};
inline constexpr CatalogId SendOutTimeout{9, 743};
inline constexpr CatalogId SendOutNoConnect{9, 744};
inline constexpr CatalogId SendOutClosed{9, 745};
inline constexpr CatalogId SendOutNotUnderstood{9, 746};
inline constexpr CatalogId SendOutSendFailed{9, 747};
inline constexpr CatalogId SendOutFile{9, 748};
inline constexpr CatalogId SendOutNoGreeting{9, 749};
inline constexpr CatalogId SendSummary{9, 750};
inline constexpr CatalogId SendAskStopAndClose{9, 751};
inline constexpr CatalogId SendFileChanged{9, 752};
inline constexpr CatalogId SendFileNotSendable{9, 753};
inline constexpr CatalogId SendNothingChecked{9, 754};
inline constexpr CatalogId SendNoProjectors{9, 755};

// Projector list, Discovery and CSV import/export
inline constexpr CatalogId DiscoveryRowInList{9, 670};
inline constexpr CatalogId DiscoveryRowNew{9, 671};
inline constexpr CatalogId DiscoveryRowAddressTaken{9, 672};
inline constexpr CatalogId ColumnInList{9, 673};
inline constexpr CatalogId RegisterListFull{9, 674};
inline constexpr CatalogId CsvRowControlCharacter{9, 675};
inline constexpr CatalogId CsvExportPasswordWarning{9, 676};
inline constexpr CatalogId CsvImportDlgTitle{9, 677};
inline constexpr CatalogId CsvRowNew{9, 678};
inline constexpr CatalogId CsvRowReplaces{9, 679};
inline constexpr CatalogId CsvRowBadAddress{9, 680};
inline constexpr CatalogId CsvRowBadMac{9, 681};
inline constexpr CatalogId CsvRowNameTooLong{9, 682};
inline constexpr CatalogId CsvRowPasswordTooLong{9, 683};
inline constexpr CatalogId CsvRowListFull{9, 684};
inline constexpr CatalogId CsvReadFailed{9, 685};
inline constexpr CatalogId CsvWriteFailed{9, 686};
inline constexpr CatalogId CsvNoRows{9, 687};
inline constexpr CatalogId ButtonImport{9, 688};
inline constexpr CatalogId CsvFileFilter{9, 689};
inline constexpr CatalogId CsvImportFileTitle{9, 690};
inline constexpr CatalogId CsvExportFileTitle{9, 691};
inline constexpr CatalogId CsvRowBadAuth{9, 692};
inline constexpr CatalogId CsvRowColumns{9, 693};
inline constexpr CatalogId CsvNotAList{9, 694};
inline constexpr CatalogId CsvExported{9, 695};
inline constexpr CatalogId CsvImported{9, 696};
inline constexpr CatalogId CtlProjectorUsage{9, 697};
inline constexpr CatalogId CsvImportSummary{9, 698};
inline constexpr CatalogId IpFieldName{9, 699};
inline constexpr CatalogId LocalAddressesCut{9, 700};
inline constexpr CatalogId DiscoveryWaiting{9, 701};
inline constexpr CatalogId WaitExecuting{9, 702};
inline constexpr CatalogId MenuListImportCsv{53, 65};
inline constexpr CatalogId MenuListExportCsv{53, 66};
// INI files written in a legacy code page
inline constexpr CatalogId IniSavedAsUtf8{9, 660};

// Schedule stop, entry checks and passwords on the command line
inline constexpr CatalogId UploadStopped{9, 630};
inline constexpr CatalogId EntryPathTooLong{9, 631};
inline constexpr CatalogId EntryPasswordTooLong{9, 632};
inline constexpr CatalogId CtlPasswordOnCommandLine{9, 633};
inline constexpr CatalogId CtlPasswordUnreadable{9, 634};
inline constexpr CatalogId CtlPasswordTooLong{9, 635};
inline constexpr CatalogId CtlStandardInput{9, 636};
inline constexpr CatalogId CtlPasswordTwice{9, 637};
inline constexpr CatalogId CtlPasswordMissing{9, 638};

// Command line of the desktop program.
inline constexpr CatalogId DesktopUsage{9, 770};
inline constexpr CatalogId OptionStandsAlone{9, 771};
inline constexpr CatalogId DesktopOneFile{9, 772};
inline constexpr CatalogId NoDisplay{9, 773};
inline constexpr CatalogId DisplayFailed{9, 774};
// Command history
inline constexpr CatalogId MenuView{53, 85};
inline constexpr CatalogId MenuHistory{53, 86};
inline constexpr CatalogId TipHistory{53, 87};
// Projector board
inline constexpr CatalogId BoardTitle{9, 840};
inline constexpr CatalogId BoardColumnState{9, 841};
inline constexpr CatalogId BoardColumnStore{9, 842};
inline constexpr CatalogId BoardRefresh{9, 843};
inline constexpr CatalogId BoardStop{9, 844};
inline constexpr CatalogId BoardAutoRefresh{9, 845};
inline constexpr CatalogId BoardMinutesSuffix{9, 846};
inline constexpr CatalogId BoardMinutesName{9, 847};
inline constexpr CatalogId BoardRefreshing{9, 848};
inline constexpr CatalogId BoardRefreshedAt{9, 849};
inline constexpr CatalogId BoardRefreshStopped{9, 850};
inline constexpr CatalogId BoardReachable{9, 851};
inline constexpr CatalogId BoardUnreachableSeen{9, 852};
inline constexpr CatalogId BoardUnreachableNever{9, 853};
inline constexpr CatalogId BoardNotAsked{9, 854};
inline constexpr CatalogId BoardReasonConnect{9, 855};
inline constexpr CatalogId BoardReasonRefused{9, 856};
inline constexpr CatalogId BoardReasonTimeout{9, 857};
inline constexpr CatalogId BoardStoreEmpty{9, 858};
inline constexpr CatalogId BoardStoreUnknown{9, 859};
inline constexpr CatalogId BoardStoreHolds{9, 860};
inline constexpr CatalogId BoardNoRecord{9, 861};
inline constexpr CatalogId BoardSentBy{9, 862};
inline constexpr CatalogId BoardSendHere{9, 863};
inline constexpr CatalogId BoardTableName{9, 864};
inline constexpr CatalogId MenuRefreshBoard{53, 96};
inline constexpr CatalogId TipBoard{53, 97};
inline constexpr CatalogId TipRefreshBoard{53, 98};
// Schedule verify and retry options
inline constexpr CatalogId ScheduleVerifyUploads{9, 870};
inline constexpr CatalogId ScheduleRetryUploads{9, 871};
inline constexpr CatalogId ScheduleOptionsUnreadable{9, 872};
inline constexpr CatalogId ScheduleOptionsGarbled{9, 873};
inline constexpr CatalogId ScheduleOptionsSaveFailed{9, 874};
// Stopping a store command
inline constexpr CatalogId StatusCommandStopped{9, 890};
inline constexpr CatalogId WaitQueriesStopped{9, 891};
inline constexpr CatalogId StoreCommandStopped{9, 892};
inline constexpr CatalogId CommandStopped{9, 893};
// The picture document
inline constexpr CatalogId ImagingStopped{9, 930};
inline constexpr CatalogId OpenInProgress{9, 931};
inline constexpr CatalogId SaveInProgress{9, 932};
inline constexpr CatalogId EditInProgress{9, 933};
inline constexpr CatalogId MenuRedo{53, 99};
inline constexpr CatalogId PromptRedo{53, 100};

inline constexpr CatalogId kAll[] = {
    ImgCancel,
    ImgOpenTitle,
    ImgLookIn,
    ImgFileName,
    ImgFilesOfType,
    ImgShowPreview,
    ImgImageProperties,
    ImgFormat,
    ImgDimensions,
    ImgFileSize,
    ImgHelp,
    AboutDlgTitle,
    AboutVersion,
    AddProjectorDlgTitle,
    LabelProjectorName,
    LabelMacAddress,
    LabelIpAddress,
    CheckAuthentication,
    LabelPassword,
    ColumnFileName,
    ButtonExecute,
    ButtonClose,
    CancelDlgTitle,
    LabelStoreNo,
    DiscoveryDlgTitle,
    LabelLocalAddress,
    ButtonStartSearch,
    ButtonRegister,
    ButtonCancel,
    ImageInfoDlgTitle,
    ButtonGet,
    ProjectorListDlgTitle,
    ButtonAdd,
    ButtonDelete,
    ButtonEdit,
    ButtonDiscovery,
    ScheduleDlgTitle,
    ButtonInsert,
    ButtonLoadFile,
    ButtonSaveFile,
    ButtonStop,
    CheckLoop,
    InsertDlgTitle,
    LabelProjectorIpAddress,
    LabelImageFileName,
    LabelInterval,
    ButtonSelect,
    ButtonBrowse,
    SettingDlgTitle,
    TransStateDlgTitle,
    SelectProjectorDlgTitle,
    AppTitle,
    ConfirmExit,
    AskSaveBeforeOpen,
    OpenImageFailed,
    FileDialogFailed,
    SendScheduleRunning,
    SendNoImage,
    SendUnsavedImage,
    SendFailed,
    ReplyTimeout,
    CancelSucceeded,
    CommandRejected,
    CancelRefused,
    ProjectorBusy,
    ReplyNotUnderstood,
    DiscoverySendFailed,
    DiscoveryJoinFailed,
    DiscoveryTtlFailed,
    AskOverwriteProjector,
    StoreEmpty,
    LengthUnit,
    StoreInfoUnreadable,
    AccessDenied,
    StateReplyTimeout,
    TransStateIdle,
    TransStateWaiting,
    TransStateReceiving,
    TransStateStoring,
    TransStateCompleted,
    TransStateFailed,
    StateUnavailable,
    EntryFileUnreadable,
    EntryFileSizeInvalid,
    EntryNotQv1,
    EntryPictureSizeInvalid,
    EntryNotSchedulable,
    EntryAddressUnknown,
    EditProjectorDlgTitle,
    StatusCancelRunning,
    StatusCancelDone,
    StatusCancelFailed,
    StatusSearching,
    StatusSearchDone,
    StatusInfoRunning,
    StatusInfoDone,
    StatusInfoFailed,
    StatusStateRunning,
    StatusStateDone,
    StatusStateFailed,
    ColumnAuthentication,
    ColumnEntryAddress,
    ColumnEntryImageFile,
    ColumnEntryStore,
    ColumnEntryInterval,
    ColumnStatus,
    ImgColourResolutionTitle,
    ImgBitsPerPixel,
    ImgBits1,
    ImgBits2,
    ImgBits4,
    ImgBits8,
    ImgBits24,
    ImgPalette,
    ImgPaletteOptimized,
    ImgPaletteFixed,
    ImgPaletteUniform,
    ImgPaletteWeb,
    ImgPaletteGrayscale,
    ImgPaletteUser,
    ImgDither,
    ImgDitherNone,
    ImgDitherFloydSteinberg,
    ImgDitherOrdered,
    ImgColourCount,
    ImgUserPaletteColours,
    ImgEditColour,
    ImgLoadPalette,
    ImgSavePalette,
    ImgColour,
    ImgRed,
    ImgGreen,
    ImgBlue,
    ImgPaletteIndex,
    ImgRestoreDefaults,
    ImgColoursInUse,
    ImgErrorDiffusion,
    ImgDiffusionStrength,
    ImgReserveSystemColours,
    ImgOriginal,
    ImgResult,
    ImgSortPalette,
    ImgShowPalette,
    ImgFileInformation,
    ImgWidthPixels,
    ImgHeightPixels,
    ImgColourDepth,
    ImgCompression,
    ImgPageCount,
    ImgResolution,
    ImgPageNumber,
    ImgLoadAllPages,
    ImgLoadAsGrayscale,
    ImgPreviousPage,
    ImgNextPage,
    ImgThumbnail,
    ImgSavingOptionsTitle,
    ImgFileFormat,
    ImgSubFormat,
    ImgBitDepth,
    ImgQuality,
    ImgCompressionLevel,
    ImgMultipageOption,
    ImgSaveToFile,
    ImgInterlaced,
    ImgResizeTitle,
    ImgCurrentSize,
    ImgWidth,
    ImgHeight,
    ImgPixels,
    ImgPercent,
    ImgHorizontalDpi,
    ImgVerticalDpi,
    ImgNewSize,
    ImgKeepAspectRatio,
    ImgResampling,
    ImgNearestNeighbor,
    ImgBilinear,
    ImgBicubic,
    ImgLanczos,
    ImgSaturationTitle,
    ImgSaturation,
    ImgApply,
    ImgReset,
    ImgPreview,
    ImgYes,
    ImgNo,
    ImgSaturationValue,
    ImgLessSaturated,
    ImgMoreSaturated,
    ImgBefore,
    ImgAfter,
    ImgAutoPreview,
    ImgOpen,
    ImgOptions,
    ImgProgressTitle,
    ImgPleaseWait,
    ImgLoadingImage,
    ImgSavingImage,
    ImgProcessingImage,
    ImgElapsedTime,
    ImgTimeRemaining,
    ImgPercentComplete,
    ImgCancelOperation,
    ImgOperationComplete,
    ImgOperationFailed,
    EditedDocumentTitle,
    OpenImageDlgTitle,
    BrowseImageDlgTitle,
    EntryStoreText,
    EntryTemporaryText,
    EntryStatusNotRun,
    EntryStatusExecuting,
    EntryStatusDone,
    EntryStatusFailed,
    AuthenticationOn,
    AuthenticationOff,
    LoadScheduleDlgTitle,
    SaveScheduleDlgTitle,
    SaveAsDlgTitle,
    ConvertDlgTitle,
    DropOneFileOnly,
    DropOpenFailed,
    SizePaneText,
    StoreInfoDlgTitle,
    StoreSizeText,
    StoreSizeNone,
    WaitImageInfo,
    ColumnSize,
    ButtonCancelTransmit,
    StoreStateDlgTitle,
    WaitTransState,
    ColumnCancelResult,
    AskDeleteProjectors,
    ColumnMacAddress,
    ButtonFormCancel,
    ButtonOk,
    ProjectorListSaveFailed,
    ScheduleSaveFailed,
    ScheduleFileTruncated,
    AuthSettingSaveFailed,
    ImageSaveFailed,
    ScheduleReadFailed,
    LoginDlgTitle,
    LabelUserName,
    LabelUserPassword,
    LabelRepeatPassword,
    ButtonUserAdministration,
    LoginHint,
    FirstAdminDlgTitle,
    FirstAdminHint,
    LoginWrong,
    UsersFileUnusable,
    PasswordsDiffer,
    PasswordRules,
    UserNameRules,
    UserExists,
    UserUnknown,
    LastAdministrator,
    FirstUserMustBeAdministrator,
    UsersAlreadyCreated,
    UsersSaveFailed,
    PasswordHashFailed,
    LoginLockedOut,
    UserCfgDlgTitle,
    RoleAdministrator,
    RoleUser,
    ColumnRole,
    ButtonSignIn,
    UserCfgSignInHint,
    UserCfgSignedInAs,
    ButtonAddUser,
    ButtonRemoveUser,
    ButtonChangePassword,
    AdministratorRequired,
    AskRemoveUser,
    SelectUserFirst,
    PasswordChanged,
    CtlUsage,
    CtlUnknownCommand,
    CtlBadAddress,
    CtlBadStore,
    CtlMissingValue,
    CtlInputUnreadable,
    ConnectTimedOut,
    UploadSucceeded,
    UploadFileUnreadable,
    UploadFileEmpty,
    UploadRefused,
    DiscoverySocketFailed,
    DiscoveryBindFailed,
    DiscoveryFoundCount,
    ScheduleStopped,
    ScheduleEnded,
    CtlAuthConflict,
    CtlNoAddress,
    UploadConnecting,
    UploadSent,
    UploadWaiting,
    ProjectorListEmpty,
    CtlUnknownOption,
    ScheduleHasNoEntries,
    ConvertUsage,
    ConvertReadFailed,
    ConvertWriteFailed,
    ConvertWrote,
    ConvertFitted,
    ConvertNotSendable,
    ConvertNeedsQv1,
    ConvertPictureSizeInvalid,
    ConvertFileSizeInvalid,
    ConvertFileUnreadable,
    ConvertNotQv1File,
    ConvertTryFit,
    ImagingOk,
    ImagingNoPicture,
    ImagingCannotOpen,
    ImagingEmptyFile,
    ImagingUnknownFormat,
    ImagingTooManyPixels,
    ImagingDecodeFailed,
    ImagingBadArgument,
    ImagingUnsupportedFormat,
    ImagingEncodeFailed,
    ImagingWriteFailed,
    ImagingNotQv1Name,
    ImagingDoesNotFit,
    ImagingOutOfMemory,
    FitDlgTitle,
    FitLabelSize,
    FitLabelScale,
    FitLabelColours,
    FitLabelDither,
    FitLabelSmoothing,
    FitLabelTolerance,
    FitLabelFileSize,
    FitFileSizeText,
    FitLabelQuality,
    FitQualityIdentical,
    FitNone,
    FitCaptionReference,
    FitCaptionShown,
    FitButtonUse,
    FitLabelCandidates,
    ColumnIpAddress,
    ColumnProjectorName,
    MenuFile,
    MenuOpen,
    MenuSaveAs,
    MenuExit,
    MenuEdit,
    MenuResize,
    MenuColourSaturation,
    MenuColourResolution,
    MenuTrimming,
    MenuProjector,
    MenuProjectorList,
    MenuSend,
    MenuHelp,
    MenuAbout,
    MenuUserEdit,
    PromptResize,
    PromptOpen,
    PromptSaveAs,
    PromptColourSaturation,
    PromptColourResolution,
    PromptTrimming,
    PromptProjectorList,
    PromptImageInformation,
    PromptTransmissionState,
    PromptCancel,
    PromptSchedule,
    PromptAbout,
    MenuUndo,
    MenuListAdd,
    MenuListDelete,
    MenuListDiscovery,
    MenuListEdit,
    MenuImage,
    MenuListGetStatus,
    MenuListImageInfo,
    MenuListClose,
    PromptUndo,
    PromptSend,
    LoginFailedThreeTimes,
    UserToolMissing,
    MenuFitToProjector,
    MenuConvert,
    PromptFitToProjector,
    FitInProgress,
    FitFailed,
    EditFailed,
    MenuImageInformation,
    MenuTransmissionState,
    MenuCancelTransmission,
    MenuSchedule,
    MenuSetting,
    PromptConvert,
    PromptSetting,
    PromptExit,
    PromptSave,
    ToolbarStandard,
    ResizeFavourBlack,
    AboutCopyright,
    SendDlgTitle,
    SendColumnStatus,
    SendSelectAll,
    SendSelectNone,
    SendButtonSend,
    SendRetryFailed,
    SendStop,
    SendVerify,
    SendRowWaiting,
    SendRowConnecting,
    SendRowSending,
    SendRowVerdict,
    SendRowVerifying,
    SendRowVerified,
    SendRowDelivered,
    SendRowMismatch,
    SendRowCheckFailed,
    SendRowEmptyStore,
    SendRowStopped,
    SendOutAccessRefused,
    SendOutBusy,
    SendOutRefused,
    SendOutRejected,
    SendOutTimeout,
    SendOutNoConnect,
    SendOutClosed,
    SendOutNotUnderstood,
    SendOutSendFailed,
    SendOutFile,
    SendOutNoGreeting,
    SendSummary,
    SendAskStopAndClose,
    SendFileChanged,
    SendFileNotSendable,
    SendNothingChecked,
    SendNoProjectors,
    DiscoveryRowInList,
    DiscoveryRowNew,
    DiscoveryRowAddressTaken,
    ColumnInList,
    RegisterListFull,
    CsvRowControlCharacter,
    CsvExportPasswordWarning,
    CsvImportDlgTitle,
    CsvRowNew,
    CsvRowReplaces,
    CsvRowBadAddress,
    CsvRowBadMac,
    CsvRowNameTooLong,
    CsvRowPasswordTooLong,
    CsvRowListFull,
    CsvReadFailed,
    CsvWriteFailed,
    CsvNoRows,
    ButtonImport,
    CsvFileFilter,
    CsvImportFileTitle,
    CsvExportFileTitle,
    CsvRowBadAuth,
    CsvRowColumns,
    CsvNotAList,
    CsvExported,
    CsvImported,
    CtlProjectorUsage,
    CsvImportSummary,
    IpFieldName,
    LocalAddressesCut,
    DiscoveryWaiting,
    WaitExecuting,
    MenuListImportCsv,
    MenuListExportCsv,
    IniSavedAsUtf8,
    UploadStopped,
    EntryPathTooLong,
    EntryPasswordTooLong,
    CtlPasswordOnCommandLine,
    CtlPasswordUnreadable,
    CtlPasswordTooLong,
    CtlStandardInput,
    CtlPasswordTwice,
    CtlPasswordMissing,
    DesktopUsage,
    OptionStandsAlone,
    DesktopOneFile,
    NoDisplay,
    DisplayFailed,
    HistoryWriteFailed,
    HistoryDamaged,
    HistoryLocked,
    HistoryReadFailed,
    CtlHistoryUsage,
    CtlBadDate,
    HistoryDlgTitle,
    HistoryColumnTime,
    HistoryColumnUser,
    HistoryColumnProjector,
    HistoryColumnAddress,
    HistoryColumnCommand,
    HistoryColumnStore,
    HistoryColumnFile,
    HistoryColumnResult,
    HistoryColumnTook,
    HistoryFilterAll,
    HistoryOutcomeSucceeded,
    HistoryOutcomeFailed,
    HistoryLabelSince,
    HistoryLabelUntil,
    HistoryButtonExport,
    HistoryExportFailed,
    HistoryLabelProjector,
    HistoryLabelCommand,
    HistoryLabelResult,
    HistoryCount,
    HistoryLoading,
    MenuView,
    MenuHistory,
    TipHistory,
    BoardTitle,
    BoardColumnState,
    BoardColumnStore,
    BoardRefresh,
    BoardStop,
    BoardAutoRefresh,
    BoardMinutesSuffix,
    BoardMinutesName,
    BoardRefreshing,
    BoardRefreshedAt,
    BoardRefreshStopped,
    BoardReachable,
    BoardUnreachableSeen,
    BoardUnreachableNever,
    BoardNotAsked,
    BoardReasonConnect,
    BoardReasonRefused,
    BoardReasonTimeout,
    BoardStoreEmpty,
    BoardStoreUnknown,
    BoardStoreHolds,
    BoardNoRecord,
    BoardSentBy,
    BoardSendHere,
    BoardTableName,
    MenuRefreshBoard,
    TipBoard,
    TipRefreshBoard,
    ScheduleVerifyUploads,
    ScheduleRetryUploads,
    ScheduleOptionsUnreadable,
    ScheduleOptionsGarbled,
    ScheduleOptionsSaveFailed,
    StatusCommandStopped,
    WaitQueriesStopped,
    StoreCommandStopped,
    CommandStopped,
    ImagingStopped,
    OpenInProgress,
    SaveInProgress,
    EditInProgress,
    MenuRedo,
    PromptRedo,
};
} // namespace msg
