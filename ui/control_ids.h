// Control and command identifiers of the main window and the About box. Each control's
// objectName is its id as decimal text (QString::number(id)), so tests and tools find a
// control by the id it has always had.
#pragma once

namespace tabulor {

inline constexpr int IdStaticSelectDir = -1;  // "Select Directory:" (objectName "-1")
inline constexpr int IdOk = 1;                // Start
inline constexpr int IdSheet1 = 1000;
inline constexpr int IdSheet2 = 1001;
inline constexpr int IdFileList = 1014;
inline constexpr int IdFormatCombo = 1019;
inline constexpr int IdFolderCombo = 1023;
inline constexpr int IdBrowse = 1025;
inline constexpr int IdFilterCombo = 1026;
inline constexpr int IdStaticSelectFiles = 1027;
inline constexpr int IdOpenFolder = 1028;
inline constexpr int IdStaticPreview = 1031;
inline constexpr int IdTree = 1033;
inline constexpr int IdLink = 1042;
inline constexpr int IdStaticFormat = 1057;
inline constexpr int IdStaticFolder = 1058;
inline constexpr int IdGroupOutput = 1062;
inline constexpr int IdAbout = 1063;
inline constexpr int IdPlaceholder = 1074;
inline constexpr int IdCountText = 1075;
inline constexpr int IdStaticDots = 1076;
inline constexpr int IdStaticFilter = 1077;
inline constexpr int IdGrid = 102;

// Commands of the file list's context menu.
inline constexpr int IdCmdCheck = 32787;
inline constexpr int IdCmdUncheck = 32788;
inline constexpr int IdCmdOpen = 32789;
inline constexpr int IdCmdCheckAll = 1081;
inline constexpr int IdCmdUncheckAll = 1082;

// The system-menu command of the About box.
inline constexpr int IdmAboutBox = 0x10;

}  // namespace tabulor
