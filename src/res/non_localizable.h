#pragma once
// Names that are part of the tool's contract with the client, its archives and its peers.
// They are never translated and are spelled only here.

namespace kbt::names {

// Registry, all under HKEY_CURRENT_USER.
inline constexpr char16_t kClientKey[] = u"Software\\Kestrove";
inline constexpr char16_t kQueueKey[] = u"Software\\Kestrove\\Queue";
inline constexpr char16_t kDisplayKey[] = u"Software\\Kestrove\\Display";
inline constexpr char16_t kToolKey[] = u"Software\\Kestrove\\Backup\\1.0";
inline constexpr char16_t kDataPathValue[] = u"Data Path";
inline constexpr char16_t kFavoritesFolderValue[] = u"Favorites Folder";
inline constexpr char16_t kLastFileValue[] = u"Last File";
inline constexpr char16_t kBackupTimestampValue[] = u"Backup Timestamp";
inline constexpr char16_t kListviewBitmapValue[] = u"Listview Bitmap";
inline constexpr char16_t kToolbarBitmapValue[] = u"Toolbar Bitmap";
inline constexpr char16_t kTreeviewBitmapValue[] = u"Treeview Bitmap";

// Folders and files.
inline constexpr char16_t kDataFolderName[] = u"Kestrove";
inline constexpr char16_t kSettingsFile[] = u"settings.reg";
inline constexpr char16_t kHistoryFile[] = u"history.dat";
inline constexpr char16_t kCustomFile[] = u"custom.dat";
inline constexpr char16_t kFoldersFile[] = u"folders.dat";
inline constexpr char16_t kFavoritesFile[] = u"favorites.dat";
inline constexpr char16_t kQueueFallbackFile[] = u"queue.dat";
// The tool's own folder, "<local application data>\Kestrove\Backup Tool", and its undo points in
// "Undo\<sequence>" below it.
inline constexpr char16_t kToolFolderParts[][12] = {u"Kestrove", u"Backup Tool"};
inline constexpr char16_t kUndoFolder[] = u"Undo";
// The lock of one run at a time, among the user's named objects (a file name in the native build).
inline constexpr char16_t kRunLockName[] = u"Kestrove Backup Tool run";
// The only kinds of file a display bitmap value or the queue's "Last File" may name.
inline constexpr char16_t kBitmapExtension[] = u".bmp";
inline constexpr char16_t kQueueExtension[] = u".que";

// The settings file: its header, the notice below it, the root names of its sections and the
// marker of a typed hex value line; the registry editor's other value forms.
inline constexpr char16_t kSettingsFileHeader[] = u"Windows Registry Editor Version 5.00";
inline constexpr char16_t kSettingsFileNotice[] = u"; Attention: Please do not modify this file!";
inline constexpr char16_t kRootLocalMachine[] = u"HKEY_LOCAL_MACHINE";
inline constexpr char16_t kRootCurrentUser[] = u"HKEY_CURRENT_USER";
inline constexpr char16_t kRootUsers[] = u"HKEY_USERS";
inline constexpr char16_t kHexValueMarker[] = u"=hex(";
inline constexpr char16_t kDwordValuePrefix[] = u"dword:";
inline constexpr char16_t kBinaryValuePrefix[] = u"hex:";

// The backup location page proposes "<documents>\Kestrove Client Backup-yyyymmdd-hhmmss.zip".
inline constexpr char16_t kDefaultArchivePrefix[] = u"Kestrove Client Backup-";
inline constexpr char16_t kArchiveExtension[] = u".zip";

// The archive comment's first line.
inline constexpr char16_t kBackupMagic[] = u"Kestrove Client Backup File";

// Windows.
inline constexpr char16_t kClientWindowClass[] = u"Kestrove_MainViewClass";
inline constexpr char16_t kLinkWindowClass[] = u"MySysLink";

// The hyperlink control keeps its state in these window properties.
inline constexpr char16_t kLinkTextProperty[] = u"WindowText";
inline constexpr char16_t kLinkFocusProperty[] = u"HasFocus";
inline constexpr char16_t kLinkFontProperty[] = u"hFont";
inline constexpr char16_t kLinkCursorProperty[] = u"IDC_HAND";
inline constexpr char16_t kLinkWidthProperty[] = u"cx";
inline constexpr char16_t kLinkHeightProperty[] = u"cy";
inline constexpr char16_t kLinkHoverProperty[] = u"IsOnItem";

// Messages the wizard sheet answers with its two fonts.
inline constexpr char16_t kTitleFontMessage[] = u"GetExteriorPageTitleFont_531AF056-B8BE-4c4c-B786-AC608DF0DF12";
inline constexpr char16_t kBulletFontMessage[] = u"GetBulletFont_AD347D08-8F65-45ef-982E-6352E8218AD5";

// Faces of the two sheet fonts.
inline constexpr char16_t kTitleFontFace[] = u"Verdana Bold";
inline constexpr char16_t kBulletFontFace[] = u"Marlett";

}  // namespace kbt::names
